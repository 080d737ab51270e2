#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace datagen {

// Thrown for anything wrong in a manifest or in a file it names; the message
// starts with the file (and line) so the author can go straight to it.
class DataError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The river's water colour: the matte that sprites are usually drawn over.
inline constexpr uint32_t kRiverWaterMatte = 0x2B8FD6;

// One line of a picture manifest:
// Name  file.svg  patternWidth patternHeight skipWidth skipHeight  [opaque] [matte=#rrggbb]
struct ManifestItem {
    std::string Name;
    std::filesystem::path SvgFile; // resolved against the manifest's folder
    int PatternWidth = 0, PatternHeight = 0, SkipWidth = 0, SkipHeight = 0;
    bool Opaque = false;
    uint32_t Matte = kRiverWaterMatte; // 0x00RRGGBB
    std::string Where;                 // "manifest.txt:12", for messages
};

std::vector<ManifestItem> ReadManifest(const std::filesystem::path& manifestFile);

} // namespace datagen
