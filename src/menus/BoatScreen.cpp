#include "menus/Menus.h"

#include "context/DataNames.h"
#include "context/Frame.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "context/ScreenState.h"

// The boat choice before a race: three boats side by side; a click on one starts the race.

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

void TMenus::BoatSelectClick(bool) {
    const int32_t active = m_context.Screen().ActiveButton;
    if (active >= ScreenSlot::FirstBoat && active <= ScreenSlot::LastBoat) {
        CloseBoatScreen();
        BackToMainMenu();
        m_context.FreeMainMenu();
        m_context.StartRace(active - ScreenSlot::FirstBoat + 1);
    } else if (active != ScreenSlot::NoButton) {
        CloseBoatScreen();
        BackToMainMenu();
    }
}

bool TMenus::BoatSelectEscape() {
    m_context.Screen().ActiveButton = ScreenSlot::Start;
    return true;
}
