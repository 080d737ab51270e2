#pragma once

#include <string_view>

// Whether SDL's video driver of this name shows its windows to a person. SDL falls back on
// drivers that draw into memory only ("offscreen", "dummy", "evdev") when no display can be
// reached; a game started on one of them would run unseen and never end.
bool ShowsWindowsToAPerson(std::string_view driver);
