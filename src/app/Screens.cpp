#include "app/Screens.h"
#include "context/DataNames.h"

#include "app/MForm.h"
#include "context/Frame.h"
#include "context/GameAudio.h"
#include "context/InterfaceSprites.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"
#include "race/Race.h"

namespace {
constexpr int kMenuButtonStartX = kScreenWidth; // just off the right edge
constexpr int kMenuButtonY[ScreenSlot::LastMainButton + 1] = {0, 114, 174, 237, 299, 361, 423};
constexpr int kTitleCaptionX = 27;
constexpr int kTitleCaptionY = 190;
} // namespace

void TScreens::BuildMainMenu(bool full, TMenuFollowUp followUp) {
    auto& shell = m_form.Shell();
    auto& s = m_form.Screen();
    auto& sprites = s.ScreenSprites;
    shell.GameScreen = gsMainMenu;
    m_form.Menus().MuteNextHighlight = followUp == fuHighScores;
    s.ButtonCount = ScreenSlot::LastMainButton;
    s.FirstButton = ScreenSlot::FirstMainButton;
    s.LastButton = ScreenSlot::LastMainButton;
    s.MenuFollowUp = followUp;
    if (full) {
        m_form.Audio().PlayScreenMusic();
        s.ActiveButton = followUp == fuHighScores ? ScreenSlot::HighScores : ScreenSlot::Start;
        s.MenuIntroPhase = ipPanels;
        m_form.ScrollBack().Image = &m_form.MImageList().Items.Find(PictureName::MMBackground);
        sprites.TitleCaption = new TCaptionSprite(m_form, PictureName::NullCaption);
        sprites.TitleCaption->X = kTitleCaptionX;
        sprites.TitleCaption->Y = kTitleCaptionY;
        // The panels wait just off the top and bottom edges, the buttons off the right edge.
        sprites.UpperPanel = new TCaptionSprite(m_form, PictureName::UpPanel);
        sprites.UpperPanel->X = 0;
        sprites.UpperPanel->Y = -sprites.UpperPanel->Height;
        sprites.LowerPanel = new TCaptionSprite(m_form, PictureName::DownPanel);
        sprites.LowerPanel->X = kScreenWidth - sprites.LowerPanel->Width;
        sprites.LowerPanel->Y = kScreenHeight;
        // The five entries are frames of one strip; the exit button has its own pictures.
        for (int32_t slot = ScreenSlot::Start; slot < ScreenSlot::Exit; ++slot) {
            sprites.Buttons[slot] =
                new TMenuButton(m_form, PictureName::MMB_Active, PictureName::MMB_Inactive, slot - 1,
                                slot - 1, kMenuButtonStartX, kMenuButtonY[slot]);
        }
        sprites.Buttons[ScreenSlot::Exit] =
            new TMenuButton(m_form, PictureName::MM_ExitActive, PictureName::MM_ExitInactive, 0, 0,
                            kMenuButtonStartX, kMenuButtonY[ScreenSlot::Exit]);
    }
    sprites.TitleCaption->Visible = true;
    m_form.SetTimerEnabled(true);
}

void TScreens::TearDownRace() {
    m_form.Audio().StopSound(SoundName::Engine);
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
    TScreenState::FreeCaption(s.ScreenSprites.TitleCaption);
    TScreenState::FreeCaption(s.ScreenSprites.UpperPanel);
    TScreenState::FreeCaption(s.ScreenSprites.LowerPanel);
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
