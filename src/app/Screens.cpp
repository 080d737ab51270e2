#include "app/Screens.h"
#include "context/DataNames.h"

#include "app/Seat.h"
#include "context/GameAudio.h"
#include "context/GameContext.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/Platform.h"
#include "race/Race.h"

void TearDownRace(const TSeat& seat) {
    TGameContext& game = seat.Context;
    game.Audio().StopSound(SoundName::Engine);
    game.Audio().StopMusic();
    game.ShowMouseCursor();
    game.SetTimerEnabled(false);
    game.ScrollBack().X = 0;
    game.ScrollBack().Y = 0;
    seat.Race.FreeRaceSprites();
}

void ShowMouseCursor(IPlatform& platform) {
    while (platform.ShowCursor(true) <= 0) {
    }
}

void HideMouseCursor(IPlatform& platform) {
    while (platform.ShowCursor(false) >= 0) {
    }
}
