#include "app/Screens.h"
#include "context/DataNames.h"

#include "app/MForm.h"
#include "context/GameAudio.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/Platform.h"
#include "race/Race.h"

void TScreens::TearDownRace() {
    m_form.Audio().StopSound(SoundName::Engine);
    m_form.Audio().StopMusic();
    ShowMouseCursor();
    m_form.SetTimerEnabled(false);
    m_form.ScrollBack().X = 0;
    m_form.ScrollBack().Y = 0;
    m_form.Race().FreeRaceSprites();
}

void TScreens::ShowMouseCursor() {
    while (m_form.Platform().ShowCursor(true) <= 0) {
    }
}

void TScreens::HideMouseCursor() {
    while (m_form.Platform().ShowCursor(false) >= 0) {
    }
}
