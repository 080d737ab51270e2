#pragma once

#include "engine/archive/ArchiveErrors.h"
#include "engine/archive/ColorNames.h"
#include "engine/archive/Dib.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One picture item as an image archive stores it.
struct TImageArchiveItem {
    std::string Name;
    int32_t PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
    bool SystemMemory = false;
    bool Transparent = true;
    int32_t TransparentColor = 0; // a colour value as stored (0x00BBGGRR or a system-colour code)
    std::optional<TDibPicture> Picture;
};

// The number of patterns an item's picture is cut into, counted from the stored geometry
// alone (before any surface exists). 0 without a picture.
int ComputePatternCount(const TImageArchiveItem& item);

// Readers of an image archive; every failure raises an EArchiveError subclass.
std::vector<TImageArchiveItem> ReadImageArchive(const std::string& fileName);
std::vector<TImageArchiveItem> ReadImageArchive(std::span<const uint8_t> bytes);

// Writers; pictures are stored as options says (24-bit DIBs by default).
std::vector<uint8_t> WriteImageArchive(const std::vector<TImageArchiveItem>& items,
                                       const TDibWriteOptions& options = {});
void WriteImageArchiveFile(const std::string& fileName, const std::vector<TImageArchiveItem>& items,
                           const TDibWriteOptions& options = {});
