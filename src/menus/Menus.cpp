#include "menus/Menus.h"
#include "context/DataNames.h"

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/input/GameInput.h"
#include "menus/ReplayUploader.h"

namespace {
constexpr double kUpperPanelStep = 1.75;
constexpr double kLowerPanelStep = 1.1666666666666667;
constexpr double kColumnStep = 4;
constexpr double kColumnRestAbove = 558;
// The title caption of each main-menu button, by slot.
constexpr const char* kMenuCaptions[ScreenSlot::LastMainButton + 1] = {
    nullptr,           PictureName::StartC, PictureName::OptionsC,
    PictureName::HSC,  PictureName::HelpC,  PictureName::VisitWWWC,
    PictureName::ExitC};
constexpr int32_t kHelpPageCount = 3;
constexpr const char* kHelpPages[kHelpPageCount + 1] = {nullptr, PictureName::Help1, PictureName::Help2,
                                                        PictureName::Help3};

bool IsMainButton(int32_t slot) {
    return slot >= ScreenSlot::FirstMainButton && slot <= ScreenSlot::LastMainButton;
}
// The high-score screen's two buttons, one above the other on one centre line.
constexpr int kWorldTableX = 148;
constexpr int kWorldTableY = 530;
constexpr int kWorldTableWidth = 250;
constexpr int kClearTableWidth = 130;
constexpr int kClearTableX = kWorldTableX + (kWorldTableWidth - kClearTableWidth) / 2;
constexpr int kClearTableY = 488;
constexpr const char* kWorldHighScorePath = "/cgi/version.pl?prg=Spraydash&show&type=0";
} // namespace

TMenus::TMenus(TGameContext& context) : m_context(context) {}

TMenus::~TMenus() = default;

TMenuButton* TMenus::Button(int32_t slot) {
    return m_context.Screen().ScreenSprites.Button(slot);
}

std::string TMenus::SavePath(const char* name) const {
    return m_context.Config().DataDir + "/Save/" + name;
}

std::string TMenus::HomePageUrl() const {
    return m_context.Config().HomeUrl;
}

std::string TMenus::WorldHighScoreUrl() const {
    std::string base = m_context.Config().ScoreServer;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + kWorldHighScorePath;
}

// ---- Highlight and keyboard stepping ------------------------------------------------

void TMenus::UpdateButtonHighlight() {
    auto& s = m_context.Screen();
    for (int32_t i = 1; i <= s.ButtonCount; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (Button(s.ActiveButton) && !Button(s.ActiveButton)->Highlighted) {
        if (MuteNextHighlight) {
            MuteNextHighlight = false;
        } else {
            m_context.Audio().PlaySound(SoundName::B_Act);
        }
        Button(s.ActiveButton)->ShowActive();
        Button(s.ActiveButton)->Highlighted = true;
    }
}

void TMenus::UpdateOverlayHighlight() {
    auto& s = m_context.Screen();
    for (int32_t i = std::max(s.FirstButton, 1); i <= s.LastButton; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (s.ActiveButton >= s.FirstButton && s.ActiveButton <= s.LastButton && Button(s.ActiveButton) &&
        !Button(s.ActiveButton)->Highlighted) {
        m_context.Audio().PlaySound(SoundName::B_Act);
        Button(s.ActiveButton)->ShowActive();
        Button(s.ActiveButton)->Highlighted = true;
    }
}

void TMenus::NavigateVertical(bool wrap) {
    auto& input = m_context.MInput();
    bool up = input.IsOn(isUp);
    bool down = input.IsOn(isDown);
    if (up && NavReady) {
        SelectPrevious(wrap);
    }
    if (down && NavReady) {
        SelectNext(wrap);
    }
    if (!up && !down) {
        NavReady = true;
    }
}

void TMenus::NavigateHorizontal(bool wrap) {
    auto& input = m_context.MInput();
    bool right = input.IsOn(isRight);
    bool left = input.IsOn(isLeft);
    if (right && NavReady) {
        SelectNext(wrap);
    }
    if (left && NavReady) {
        SelectPrevious(wrap);
    }
    if (!right && !left) {
        NavReady = true;
    }
}

void TMenus::SelectNext(bool wrap) {
    auto& s = m_context.Screen();
    NavHitEnd = false;
    if (s.ActiveButton < s.FirstButton || s.ActiveButton > s.LastButton) {
        s.ActiveButton = s.FirstButton;
    }
    if (wrap) {
        s.ActiveButton = s.ActiveButton == s.LastButton ? s.FirstButton : s.ActiveButton + 1;
    } else if (s.ActiveButton < s.LastButton) {
        ++s.ActiveButton;
    } else {
        NavHitEnd = true;
    }
    NavReady = false;
}

void TMenus::SelectPrevious(bool wrap) {
    auto& s = m_context.Screen();
    NavHitEnd = false;
    if (s.ActiveButton < s.FirstButton || s.ActiveButton > s.LastButton) {
        s.ActiveButton = s.FirstButton;
    }
    if (wrap) {
        s.ActiveButton = s.ActiveButton == s.FirstButton ? s.LastButton : s.ActiveButton - 1;
    } else if (s.ActiveButton > s.FirstButton) {
        --s.ActiveButton;
    } else {
        NavHitEnd = true;
    }
    NavReady = false;
}

// ---- Screens ----------------------------------------------------------------------

void TMenus::SetSubScreen(TGameScreen screen, int32_t buttonCount, int32_t first, int32_t last,
                          int32_t active) {
    auto& s = m_context.Screen();
    m_context.Shell().GameScreen = screen;
    s.ButtonCount = buttonCount;
    s.FirstButton = first;
    s.LastButton = last;
    s.ActiveButton = active;
    MuteNextHighlight = false;
    if (TCaptionSprite* title = s.ScreenSprites.TitleCaption) {
        title->Visible = false;
    }
    m_context.SetTimerEnabled(true);
}

void TMenus::LightMainButton(int32_t slot) {
    if (TMenuButton* b = Button(slot)) {
        b->ShowActive();
    }
}

bool TMenus::LeaveForOtherMainButton(int32_t ownButton) {
    const int32_t active = m_context.Screen().ActiveButton;
    return IsMainButton(active) && active != ownButton;
}

void TMenus::BackToMainMenu() {
    m_context.BuildMainMenu(false, fuNone);
}

void TMenus::MainMenuTick(int lagCount) {
    auto& s = m_context.Screen();
    if (s.MenuIntroPhase == ipOver) {
        NavigateVertical(true);
        UpdateButtonHighlight();
        if (TCaptionSprite* title = s.ScreenSprites.TitleCaption) {
            if (IsMainButton(s.ActiveButton)) {
                title->Visible = true;
                title->SetImage(kMenuCaptions[s.ActiveButton]);
            } else {
                title->Visible = false;
            }
        }
        if (s.MenuFollowUp == fuHighScores) {
            OpenHighScoreScreen();
            s.MenuFollowUp = fuNone;
        }
    }
    if (s.MenuIntroPhase == ipPanels) {
        TCaptionSprite* upper = s.ScreenSprites.UpperPanel;
        TCaptionSprite* lower = s.ScreenSprites.LowerPanel;
        if (upper->Y < 0) {
            upper->Y += kUpperPanelStep;
        }
        if (lower->Y > kScreenHeight - lower->Height) {
            lower->Y -= kLowerPanelStep;
        }
        if (upper->Y >= 0 && lower->Y <= kScreenHeight - lower->Height) {
            s.MenuIntroPhase = ipButtons;
        }
    }
    if (s.MenuIntroPhase == ipButtons) {
        if (Button(ScreenSlot::FirstMainButton)->X > kColumnRestAbove) {
            for (int32_t i = 1; i <= s.ButtonCount; ++i) {
                Button(i)->X -= kColumnStep;
            }
        } else {
            s.MenuIntroPhase = ipOver;
        }
    }
    m_context.Frame().DrawFrame(lagCount, true);
    DrawNotice();
    m_context.Frame().PresentFrame();
}

void TMenus::ShowNotice(const std::string& text) {
    m_notice = text;
    m_noticeMs = kNoticeShownMs;
}

void TMenus::DrawNotice() {
    if (m_noticeMs <= 0) {
        return;
    }
    m_noticeMs -= kFrameTickMs;
    TGameText& text = m_context.Text();
    text.SetTextFont(kNoticeFont);
    text.DrawText(m_notice, kNoticeX, kNoticeY, true);
}

void TMenus::OpenHighScoreScreen() {
    auto& s = m_context.Screen();
    SubScreenTitle = NewSubScreenTitle(PictureName::HSB);
    s.ScreenSprites.Buttons[ScreenSlot::ClearTable] = new TMenuButton(
        m_context, PictureName::ClearHS, PictureName::ClearHS, 1, 0, kClearTableX, kClearTableY);
    s.ScreenSprites.Buttons[ScreenSlot::WorldTable] = new TMenuButton(
        m_context, PictureName::ViewHS, PictureName::ViewHS, 1, 0, kWorldTableX, kWorldTableY);
    SetSubScreen(gsHighScores, ScreenSlot::WorldTable, ScreenSlot::ClearTable, ScreenSlot::WorldTable,
                 ScreenSlot::WorldTable);
}

TCaptionSprite* TMenus::NewSubScreenTitle(const std::string& imageName) {
    auto* title = new TCaptionSprite(m_context, imageName);
    title->X = kSubScreenX;
    title->Y = kSubScreenY;
    title->SetZ(kSubScreenZ);
    return title;
}

void TMenus::CloseHighScoreScreen() {
    // The help screen's two buttons sit in the same slots.
    m_context.Screen().FreeButton(ScreenSlot::ClearTable);
    m_context.Screen().FreeButton(ScreenSlot::WorldTable);
    TScreenState::FreeCaption(SubScreenTitle);
    m_context.SetTimerEnabled(false);
}

void TMenus::ShowHelpPage() {
    if (SubScreenTitle) {
        SubScreenTitle->SetImage(kHelpPages[HelpPage]);
    }
}

void TMenus::OpenHelpScreen() {
    auto& s = m_context.Screen();
    HelpPage = 1;
    SubScreenTitle = NewSubScreenTitle(kHelpPages[HelpPage]);
    s.ScreenSprites.Buttons[ScreenSlot::PreviousPage] =
        new TMenuButton(m_context, PictureName::Previous, PictureName::Previous, 1, 0, 160, 510);
    s.ScreenSprites.Buttons[ScreenSlot::NextPage] =
        new TMenuButton(m_context, PictureName::Next, PictureName::Next, 1, 0, 446, 510);
    SetSubScreen(gsHelp, ScreenSlot::NextPage, ScreenSlot::PreviousPage, ScreenSlot::NextPage,
                 ScreenSlot::NextPage);
}

void TMenus::CloseHelpScreen() {
    CloseHighScoreScreen();
}

void TMenus::OpenBoatScreen() {
    auto& s = m_context.Screen();
    auto* title = NewSubScreenTitle(PictureName::StartGameB);
    s.ScreenSprites.BoatTitle = title;
    struct TBoatButton {
        const char* Active;
        const char* Inactive;
        int X;
    };
    static constexpr TBoatButton kBoats[] = {{PictureName::MenuBoat1_A, PictureName::MenuBoat1_I, 28},
                                             {PictureName::MenuBoat2_A, PictureName::MenuBoat2_I, 195},
                                             {PictureName::MenuBoat3_A, PictureName::MenuBoat3_I, 370}};
    int32_t slot = ScreenSlot::FirstBoat;
    for (const TBoatButton& boat : kBoats) {
        s.ScreenSprites.Buttons[slot++] =
            new TMenuButton(m_context, boat.Active, boat.Inactive, 0, 0, boat.X, 192);
    }
    SetSubScreen(gsBoatSelect, ScreenSlot::LastBoat, ScreenSlot::FirstBoat, ScreenSlot::LastBoat,
                 ScreenSlot::FirstBoat);
}

void TMenus::CloseBoatScreen() {
    for (int32_t slot = ScreenSlot::FirstBoat; slot <= ScreenSlot::LastBoat; ++slot) {
        m_context.Screen().FreeButton(slot);
    }
    TScreenState::FreeCaption(m_context.Screen().ScreenSprites.BoatTitle);
    m_context.SetTimerEnabled(false);
}

void TMenus::HighScoreTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateVertical(true);
    LightMainButton(ScreenSlot::HighScores);
    if (LeaveForOtherMainButton(ScreenSlot::HighScores)) {
        CloseHighScoreScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    DrawHighScoreTable();
    m_context.Frame().PresentFrame();
}

void TMenus::HelpTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateHorizontal(false);
    if (NavHitEnd) {
        m_context.ButtonClick(false);
        NavHitEnd = false;
        if (m_context.Shell().GameScreen != gsHelp) {
            return;
        }
    }
    LightMainButton(ScreenSlot::Help);
    if (LeaveForOtherMainButton(ScreenSlot::Help)) {
        CloseHelpScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    m_context.Frame().PresentFrame();
}

void TMenus::BoatSelectTick(int lagCount) {
    NavigateHorizontal(true);
    UpdateButtonHighlight();
    LightMainButton(ScreenSlot::Start);
    if (LeaveForOtherMainButton(ScreenSlot::Start)) {
        CloseBoatScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    m_context.Frame().PresentFrame();
}

// ---- Clicks -------------------------------------------------------------------------

void TMenus::MenuButtonClick(bool fromKeyboard) {
    const int32_t active = m_context.Screen().ActiveButton;
    switch (m_context.Shell().GameScreen) {
    case gsMainMenu:
        if (IsMainButton(active) && !fromKeyboard) {
            m_context.Audio().PlaySound(SoundName::B_Act);
        }
        switch (active) {
        case ScreenSlot::Start:
            OpenBoatScreen();
            break;
        case ScreenSlot::Options:
            OpenOptionsScreen();
            break;
        case ScreenSlot::HighScores:
            OpenHighScoreScreen();
            break;
        case ScreenSlot::Help:
            OpenHelpScreen();
            break;
        case ScreenSlot::WebSite:
            m_context.OpenUrl(HomePageUrl());
            break;
        case ScreenSlot::Exit:
            m_context.OpenMessage(msgExitGame);
            break;
        default:
            break;
        }
        return;
    case gsOptions:
        switch (active) {
        case ScreenSlot::FullScreen:
            ToggleFullScreen();
            break;
        case ScreenSlot::Music:
            m_context.Audio().ToggleMusic();
            break;
        case ScreenSlot::Sound:
            m_context.Audio().ToggleSound();
            break;
        case ScreenSlot::TextLine:
            if (TextEditing) {
                StopTextEditing();
            } else {
                StartTextEditing();
            }
            break;
        default:
            break;
        }
        if (active != ScreenSlot::TextLine) {
            StopTextEditing();
        }
        if (active == ScreenSlot::Options) {
            CloseOptionsScreen();
            BackToMainMenu();
        }
        return;
    case gsHighScores:
        if (active == ScreenSlot::ClearTable) {
            m_context.OpenMessage(msgClearTable);
        } else if (active == ScreenSlot::WorldTable) {
            m_context.OpenUrl(WorldHighScoreUrl());
        } else if (active != ScreenSlot::NoButton) {
            CloseHighScoreScreen();
            BackToMainMenu();
        }
        return;
    case gsHelp:
        if (active == ScreenSlot::PreviousPage) {
            HelpPage = HelpPage == 1 ? kHelpPageCount : HelpPage - 1;
            ShowHelpPage();
        } else if (active == ScreenSlot::NextPage) {
            HelpPage = HelpPage == kHelpPageCount ? 1 : HelpPage + 1;
            ShowHelpPage();
        } else if (active != ScreenSlot::NoButton) {
            CloseHelpScreen();
            BackToMainMenu();
        }
        return;
    case gsBoatSelect:
        if (active >= ScreenSlot::FirstBoat && active <= ScreenSlot::LastBoat) {
            CloseBoatScreen();
            BackToMainMenu();
            m_context.FreeMainMenu();
            m_context.StartRace(active - ScreenSlot::FirstBoat + 1);
        } else if (active != ScreenSlot::NoButton) {
            CloseBoatScreen();
            BackToMainMenu();
        }
        return;
    case gsStartup:
    case gsRace:
        return;
    }
}
