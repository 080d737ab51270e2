#pragma once

#include "app/GameState.h"

#include <string>

// The options file: full screen, music, sound, the free text line, and the high-score
// table's check string.
void LoadOptions(const std::string& fileName, TGameOptions& options, std::string& tableCheck);
void SaveOptions(const std::string& fileName, const TGameOptions& options, const std::string& tableCheck);
