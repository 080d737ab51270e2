#pragma once

#include "engine/archive/ImageArchive.h"

#include <filesystem>
#include <vector>

namespace datagen {

// One PNG showing every picture as the game keys it, over a checkerboard, with
// its name, size and pattern count, and its patterns pulled apart by grid lines.
void WriteContactSheet(const std::filesystem::path& file, const std::vector<TImageArchiveItem>& items);

} // namespace datagen
