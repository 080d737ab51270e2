#pragma once

#include "context/GameState.h"
#include "menus/SaveFiles.h"

#include <cstddef>
#include <optional>
#include <string>

// The longest free text the options screen takes. A longer line written into the file by hand
// is kept as it is (up to the bound of every text line of the save files).
constexpr size_t kAddInfoMax = 10;

// The options file: full screen, music, sound, the free text line, and the high-score
// table's check string. A file that is missing or cannot be read gives the defaults and leaves
// the check as it is; the result says which of the two it was.
TSaveFileLoad LoadOptions(const std::string& fileName, TGameOptions& options,
                          std::optional<std::string>& tableCheck);
void SaveOptions(const std::string& fileName, const TGameOptions& options, const std::string& tableCheck);
