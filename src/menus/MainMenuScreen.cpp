#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"

// The main menu: how it is built and freed, its opening slide, the caption of the highlighted button, the
// notice at its foot and what its buttons open.

namespace {
constexpr int kMenuButtonStartX = kScreenWidth; // just off the right edge
constexpr int kMenuButtonY[ScreenSlot::LastMainButton + 1] = {0, 114, 174, 237, 299, 361, 423};
constexpr int kTitleCaptionX = 27;
constexpr int kTitleCaptionY = 190;
constexpr double kUpperPanelStep = 1.75;
constexpr double kLowerPanelStep = 1.1666666666666667;
constexpr double kColumnStep = 4;
constexpr double kColumnRestAbove = 558;
// The title caption of each main-menu button, by slot.
constexpr const char* kMenuCaptions[ScreenSlot::LastMainButton + 1] = {
    nullptr,           PictureName::StartC, PictureName::OptionsC,
    PictureName::HSC,  PictureName::HelpC,  PictureName::VisitWWWC,
    PictureName::ExitC};
} // namespace

void TMenus::BuildMainMenu(bool full, TMenuFollowUp followUp) {
    auto& s = m_context.Screen();
    auto& sprites = s.ScreenSprites;
    m_context.ChangeScreen(gsMainMenu);
    MuteNextHighlight = followUp == fuHighScores;
    s.ButtonCount = ScreenSlot::LastMainButton;
    s.FirstButton = ScreenSlot::FirstMainButton;
    s.LastButton = ScreenSlot::LastMainButton;
    s.MenuFollowUp = followUp;
    if (full) {
        m_context.Audio().PlayScreenMusic();
        s.ActiveButton = followUp == fuHighScores ? ScreenSlot::HighScores : ScreenSlot::Start;
        s.MenuIntroPhase = ipPanels;
        m_context.ScrollBack().Image = &m_context.MImageList().Items.Find(PictureName::MMBackground);
        sprites.TitleCaption = new TCaptionSprite(m_context, PictureName::NullCaption);
        sprites.TitleCaption->X = kTitleCaptionX;
        sprites.TitleCaption->Y = kTitleCaptionY;
        // The panels wait just off the top and bottom edges, the buttons off the right edge.
        sprites.UpperPanel = new TCaptionSprite(m_context, PictureName::UpPanel);
        sprites.UpperPanel->X = 0;
        sprites.UpperPanel->Y = -sprites.UpperPanel->Height;
        sprites.LowerPanel = new TCaptionSprite(m_context, PictureName::DownPanel);
        sprites.LowerPanel->X = kScreenWidth - sprites.LowerPanel->Width;
        sprites.LowerPanel->Y = kScreenHeight;
        // The five entries are frames of one strip; the exit button has its own pictures.
        for (int32_t slot = ScreenSlot::Start; slot < ScreenSlot::Exit; ++slot) {
            sprites.Buttons[slot] =
                new TMenuButton(m_context, PictureName::MMB_Active, PictureName::MMB_Inactive, slot - 1,
                                slot - 1, kMenuButtonStartX, kMenuButtonY[slot]);
        }
        sprites.Buttons[ScreenSlot::Exit] =
            new TMenuButton(m_context, PictureName::MM_ExitActive, PictureName::MM_ExitInactive, 0, 0,
                            kMenuButtonStartX, kMenuButtonY[ScreenSlot::Exit]);
    }
    sprites.TitleCaption->Visible = true;
    m_context.SetTimerEnabled(true);
}

void TMenus::FreeMainMenu() {
    TScreenState& s = m_context.Screen();
    s.FreeButtons();
    TScreenState::FreeCaption(s.ScreenSprites.TitleCaption);
    TScreenState::FreeCaption(s.ScreenSprites.UpperPanel);
    TScreenState::FreeCaption(s.ScreenSprites.LowerPanel);
    m_context.SetTimerEnabled(false);
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

void TMenus::MainMenuClick(bool fromKeyboard) {
    // The buttons only answer once they have slid into place.
    if (m_context.Screen().MenuIntroPhase != ipOver) {
        return;
    }
    const int32_t active = m_context.Screen().ActiveButton;
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
}

bool TMenus::MainMenuEscape() {
    return false;
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
