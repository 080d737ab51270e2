#include "menus/Menus.h"

#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/input/GameInput.h"

namespace {
constexpr int kSubScreenX = 12;
constexpr int kSubScreenY = 106;
constexpr int kSubScreenZ = 2;
constexpr double kUpperPanelStep = 1.75;
constexpr double kLowerPanelStep = 1.1666666666666667;
constexpr double kColumnStep = 4;
constexpr double kColumnRestAbove = 558;
constexpr const char* kMenuCaptions[7] = {nullptr, "StartC",    "OptionsC", "HSC",
                                          "HelpC", "VisitWWWC", "ExitC"};
constexpr const char* kHelpPages[4] = {nullptr, "Help1", "Help2", "Help3"};
constexpr const char* kWorldHighScorePath = "/cgi/version.pl?prg=Spraydash&show&type=0";
} // namespace

TMenus::TMenus(TGameContext& context) : m_context(context) {}

TMenus::~TMenus() = default;

TMenuButton* TMenus::Button(int slot) {
    return static_cast<TMenuButton*>(m_context.Screen().ScreenSprites[slot]);
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
    for (int i = 1; i <= s.ButtonCount && i < TScreenState::kSlotCount; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (s.ActiveButton > 0 && s.ActiveButton < TScreenState::kSlotCount && Button(s.ActiveButton) &&
        !Button(s.ActiveButton)->Highlighted) {
        if (MuteNextHighlight) {
            MuteNextHighlight = false;
        } else {
            m_context.Audio().PlaySound("B_Act");
        }
        Button(s.ActiveButton)->ShowActive();
        Button(s.ActiveButton)->Highlighted = true;
    }
}

void TMenus::UpdateOverlayHighlight() {
    auto& s = m_context.Screen();
    for (int i = std::max(s.FirstButton, 1); i <= s.LastButton && i < TScreenState::kSlotCount; ++i) {
        if (i != s.ActiveButton && Button(i)) {
            Button(i)->ShowInactive();
            Button(i)->Highlighted = false;
        }
    }
    if (s.ActiveButton >= s.FirstButton && s.ActiveButton <= s.LastButton && s.ActiveButton > 0 &&
        Button(s.ActiveButton) && !Button(s.ActiveButton)->Highlighted) {
        m_context.Audio().PlaySound("B_Act");
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
    if (TSprite* title = s.ScreenSprites[TScreenState::kTitleCaption]) {
        title->Visible = false;
    }
    m_context.SetTimerEnabled(true);
}

void TMenus::LightMainButton(int slot) {
    if (TMenuButton* b = Button(slot)) {
        b->ShowActive();
    }
}

bool TMenus::LeaveForOtherMainButton(int ownButton) {
    int active = m_context.Screen().ActiveButton;
    return active >= 1 && active <= 6 && active != ownButton;
}

void TMenus::BackToMainMenu() {
    m_context.BuildMainMenu(false, 0);
}

void TMenus::MainMenuTick(int lagCount) {
    auto& s = m_context.Screen();
    if (s.MenuIntroPhase == 0) {
        NavigateVertical(true);
        UpdateButtonHighlight();
        if (auto* title = static_cast<TCaptionSprite*>(s.ScreenSprites[TScreenState::kTitleCaption])) {
            if (s.ActiveButton >= 1 && s.ActiveButton <= 6) {
                title->Visible = true;
                title->SetImage(kMenuCaptions[s.ActiveButton]);
            } else {
                title->Visible = false;
            }
        }
        if (s.MenuFollowUp == 3) {
            OpenHighScoreScreen();
            s.MenuFollowUp = 0;
        }
    }
    if (s.MenuIntroPhase == 1) {
        TSprite* upper = s.ScreenSprites[TScreenState::kUpperPanel];
        TSprite* lower = s.ScreenSprites[TScreenState::kLowerPanel];
        if (upper->Y < 0) {
            upper->Y += kUpperPanelStep;
        }
        if (lower->Y > 600 - lower->Height) {
            lower->Y -= kLowerPanelStep;
        }
        if (upper->Y >= 0 && lower->Y <= 600 - lower->Height) {
            s.MenuIntroPhase = 3;
        }
    }
    if (s.MenuIntroPhase == 3) {
        if (s.ScreenSprites[1]->X > kColumnRestAbove) {
            for (int i = 1; i <= s.ButtonCount; ++i) {
                s.ScreenSprites[i]->X -= kColumnStep;
            }
        } else {
            s.MenuIntroPhase = 0;
        }
    }
    m_context.Frame().DrawFrame(lagCount, true);
    m_context.Frame().PresentFrame();
}

void TMenus::OpenHighScoreScreen() {
    auto& s = m_context.Screen();
    SubScreenTitle = new TCaptionSprite(m_context, "HSB");
    SubScreenTitle->SetZ(kSubScreenZ);
    SubScreenTitle->X = kSubScreenX;
    SubScreenTitle->Y = kSubScreenY;
    s.ScreenSprites[7] = new TMenuButton(m_context, "ClearHS", "ClearHS", 1, 0, 265, 488);
    s.ScreenSprites[8] = new TMenuButton(m_context, "ViewHS", "ViewHS", 1, 0, 148, 530);
    SetSubScreen(gsHighScores, 8, 7, 8, 8);
}

void TMenus::CloseHighScoreScreen() {
    m_context.Screen().FreeSlot(7);
    m_context.Screen().FreeSlot(8);
    delete SubScreenTitle;
    SubScreenTitle = nullptr;
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
    SubScreenTitle = new TCaptionSprite(m_context, kHelpPages[HelpPage]);
    SubScreenTitle->X = kSubScreenX;
    SubScreenTitle->Y = kSubScreenY;
    SubScreenTitle->SetZ(kSubScreenZ);
    s.ScreenSprites[7] = new TMenuButton(m_context, "Previous", "Previous", 1, 0, 160, 510);
    s.ScreenSprites[8] = new TMenuButton(m_context, "Next", "Next", 1, 0, 446, 510);
    SetSubScreen(gsHelp, 8, 7, 8, 8);
}

void TMenus::CloseHelpScreen() {
    CloseHighScoreScreen();
}

void TMenus::OpenBoatScreen() {
    auto& s = m_context.Screen();
    auto* title = new TCaptionSprite(m_context, "StartGameB");
    title->X = kSubScreenX;
    title->Y = kSubScreenY;
    title->SetZ(kSubScreenZ);
    s.ScreenSprites[TScreenState::kBoatTitle] = title;
    s.ScreenSprites[7] = new TMenuButton(m_context, "MenuBoat1_A", "MenuBoat1_I", 0, 0, 28, 192);
    s.ScreenSprites[8] = new TMenuButton(m_context, "MenuBoat2_A", "MenuBoat2_I", 0, 0, 195, 192);
    s.ScreenSprites[9] = new TMenuButton(m_context, "MenuBoat3_A", "MenuBoat3_I", 0, 0, 370, 192);
    SetSubScreen(gsBoatSelect, 9, 7, 9, 7);
}

void TMenus::CloseBoatScreen() {
    for (int slot = 7; slot <= 9; ++slot) {
        m_context.Screen().FreeSlot(slot);
    }
    m_context.Screen().FreeSlot(TScreenState::kBoatTitle);
    m_context.SetTimerEnabled(false);
}

void TMenus::HighScoreTick(int lagCount) {
    UpdateButtonHighlight();
    NavigateVertical(true);
    LightMainButton(3);
    if (LeaveForOtherMainButton(3)) {
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
    LightMainButton(4);
    if (LeaveForOtherMainButton(4)) {
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
    LightMainButton(1);
    if (LeaveForOtherMainButton(1)) {
        CloseBoatScreen();
        BackToMainMenu();
        return;
    }
    m_context.Frame().DrawFrame(lagCount, true);
    m_context.Frame().PresentFrame();
}

// ---- Clicks -------------------------------------------------------------------------

void TMenus::MenuButtonClick(bool fromKeyboard) {
    auto& s = m_context.Screen();
    const int active = s.ActiveButton;
    switch (m_context.Shell().GameScreen) {
    case gsMainMenu:
        if (active >= 1 && active <= 6 && !fromKeyboard) {
            m_context.Audio().PlaySound("B_Act");
        }
        switch (active) {
        case 1:
            OpenBoatScreen();
            break;
        case 2:
            OpenOptionsScreen();
            break;
        case 3:
            OpenHighScoreScreen();
            break;
        case 4:
            OpenHelpScreen();
            break;
        case 5:
            m_context.OpenUrl(HomePageUrl());
            break;
        case 6:
            m_context.OpenMessage(msgExitGame);
            break;
        default:
            break;
        }
        return;
    case gsOptions:
        switch (active) {
        case 7:
            ToggleFullScreen();
            break;
        case 8:
            m_context.Audio().ToggleMusic();
            break;
        case 9:
            m_context.Audio().ToggleSound();
            break;
        case 10:
            if (TextEditing) {
                StopTextEditing();
            } else {
                StartTextEditing();
            }
            break;
        default:
            break;
        }
        if (active != 10) {
            StopTextEditing();
        }
        if (active == 2) {
            CloseOptionsScreen();
            BackToMainMenu();
        }
        return;
    case gsHighScores:
        if (active == 7) {
            m_context.OpenMessage(msgClearTable);
        } else if (active == 8) {
            m_context.OpenUrl(WorldHighScoreUrl());
        } else if (active != 0) {
            CloseHighScoreScreen();
            BackToMainMenu();
        }
        return;
    case gsHelp:
        if (active == 7) {
            HelpPage = HelpPage == 1 ? 3 : HelpPage - 1;
            ShowHelpPage();
        } else if (active == 8) {
            HelpPage = HelpPage == 3 ? 1 : HelpPage + 1;
            ShowHelpPage();
        } else if (active != 0) {
            CloseHelpScreen();
            BackToMainMenu();
        }
        return;
    case gsBoatSelect:
        if (active >= 7 && active <= 9) {
            CloseBoatScreen();
            BackToMainMenu();
            m_context.FreeMainMenu();
            m_context.StartRace(active - 6);
        } else if (active != 0) {
            CloseBoatScreen();
            BackToMainMenu();
        }
        return;
    default:
        return;
    }
}
