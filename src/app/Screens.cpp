#include "app/Screens.h"

#include "app/MForm.h"
#include "context/GameAudio.h"
#include "context/InterfaceSprites.h"
#include "engine/gfx/ImageList.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"
#include "race/Race.h"

namespace {
constexpr int kMainMenuButtons = 6;
constexpr int kMenuButtonStartX = 800;
constexpr int kMenuButtonY[kMainMenuButtons] = {114, 174, 237, 299, 361, 423};
constexpr int kTitleCaptionX = 27;
constexpr int kTitleCaptionY = 190;
constexpr int kDisplayWidth = 800;
constexpr int kDisplayHeight = 600;
} // namespace

void TScreens::BuildMainMenu(bool full, int32_t followUp) {
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
    shell.GameScreen = gsMainMenu;
    m_form.Menus().MuteNextHighlight = followUp == 3;
    s.ButtonCount = kMainMenuButtons;
    s.FirstButton = 1;
    s.LastButton = kMainMenuButtons;
    s.MenuFollowUp = followUp;
    if (full) {
        m_form.Audio().PlayScreenMusic();
        s.ActiveButton = followUp == 3 ? 3 : 1;
        s.MenuIntroPhase = 1;
        m_form.ScrollBack().Image = &m_form.MImageList().Items.Find("MMBackground");
        auto* title = new TCaptionSprite(m_form, "NullCaption");
        title->X = kTitleCaptionX;
        title->Y = kTitleCaptionY;
        s.ScreenSprites[TScreenState::kTitleCaption] = title;
        auto* upper = new TCaptionSprite(m_form, "UpPanel");
        upper->X = 0;
        upper->Y = -upper->Height;
        s.ScreenSprites[TScreenState::kUpperPanel] = upper;
        auto* lower = new TCaptionSprite(m_form, "DownPanel");
        lower->X = kDisplayWidth - lower->Width;
        lower->Y = kDisplayHeight;
        s.ScreenSprites[TScreenState::kLowerPanel] = lower;
        for (int i = 1; i <= 5; ++i) {
            s.ScreenSprites[i] = new TMenuButton(m_form, "MMB_Active", "MMB_Inactive", i - 1, i - 1,
                                                 kMenuButtonStartX, kMenuButtonY[i - 1]);
        }
        s.ScreenSprites[6] = new TMenuButton(m_form, "MM_ExitActive", "MM_ExitInactive", 0, 0,
                                             kMenuButtonStartX, kMenuButtonY[5]);
    }
    s.ScreenSprites[TScreenState::kTitleCaption]->Visible = true;
    m_form.SetTimerEnabled(true);
}

void TScreens::TearDownRace() {
    m_form.Audio().StopSound("Engine");
    m_form.Audio().StopMusic();
    ShowMouseCursor();
    m_form.SetTimerEnabled(false);
    m_form.ScrollBack().X = 0;
    m_form.ScrollBack().Y = 0;
    m_form.Race().FreeRaceSprites();
}

void TScreens::FreeMainMenu() {
    TScreenState& s = m_form.Screen();
    s.FreeButtons();
    s.FreeSlot(TScreenState::kTitleCaption);
    s.FreeSlot(TScreenState::kUpperPanel);
    s.FreeSlot(TScreenState::kLowerPanel);
    m_form.SetTimerEnabled(false);
}

void TScreens::ShowMouseCursor() {
    while (m_form.Platform().ShowCursor(true) <= 0) {
    }
}

void TScreens::HideMouseCursor() {
    while (m_form.Platform().ShowCursor(false) >= 0) {
    }
}
