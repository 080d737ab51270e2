#pragma once

#include "context/GameState.h"
#include "engine/platform/Platform.h"

#include <array>
#include <functional>
#include <string>

// What a controller's buttons stand for where the game is: the input states and keys a keyboard
// player would use there. A = fire in the race, yes in a question, Enter elsewhere; B = Esc, no
// in a question; Start = P (pause). The d-pad and the left stick are the arrow keys everywhere.

// The input state each button turns on while held (-1: none).
std::array<int, kPadButtonCount> PadBinds(const TTickView& view);

// The key a button's press stands for, acted on as that key's press (0: none; its input state,
// if any, does the work).
int PadKey(TPadButton button, const TTickView& view);

// While a replay is watched, the keys that steer the watching.
int PadWatchKey(TPadButton button);

// The line shown briefly when a controller comes or goes, with the name it gives: only what the
// game's fonts can draw, shortened until fits says the line fits.
std::string PadNotice(bool connected, const std::string& utf8Name,
                      const std::function<bool(const std::string&)>& fits = {});
