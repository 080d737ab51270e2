#pragma once

// The race and the menus work through TGameContext; the form and its parts are the
// application's own.
#if defined(SPRAYDASH_RACE_LIBRARY) || defined(SPRAYDASH_MENUS_LIBRARY)
#error "race/ and menus/ reach the game through TGameContext (context/GameContext.h), not the form"
#endif

#include "context/GameContext.h"

#include <string>

class IPlatform;

// The score server's base address: the environment's SPRAYDASH_SCORE_SERVER when it is set and
// not blank (a player pointing an installed game at another server), else the one built in.
std::string ScoreServerAddress(const std::string& builtIn, const char* fromEnvironment);

// Opens the window, creates the main form and runs the message loop until the game
// ends. Returns the process exit code: non-zero when start-up failed.
int RunGame(IPlatform& platform, const TFormConfig& config);
