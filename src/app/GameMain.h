#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "app/MForm.h"

class IPlatform;

// Opens the window, creates the main form and runs the message loop until the game
// ends. Returns the process exit code: non-zero when start-up failed.
int RunGame(IPlatform& platform, const TFormConfig& config);
