#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/GameText.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"

// The main menu: its opening slide, the caption of the highlighted button, the notice at its foot
// and what its buttons open.

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
} // namespace

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
