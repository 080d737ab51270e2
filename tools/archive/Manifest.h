#pragma once

#include "engine/archive/ImageArchive.h"

#include <string>
#include <vector>

// The text manifest that `pack` builds an image archive from.
struct TManifestEntry {
    TImageArchiveItem Item; // everything but the picture
    std::string PngPath;    // resolved against the manifest's folder
    int Line = 0;
};

// Throws std::runtime_error naming the manifest and line of the first fault.
std::vector<TManifestEntry> ReadManifest(const std::string& fileName);
// A colour as the manifest writes it: an identifier such as clFuchsia, or #RRGGBB.
int32_t ParseManifestColor(const std::string& text);

inline constexpr const char* ManifestHelp =
    "Manifest format (pack):\n"
    "  One item per line, fields separated by spaces or tabs:\n"
    "    NAME PNG PATTERN_WIDTH PATTERN_HEIGHT SKIP_WIDTH SKIP_HEIGHT TRANSPARENT COLOUR [systemmemory]\n"
    "  NAME            the item's name (no spaces)\n"
    "  PNG             the picture, relative to the manifest's folder\n"
    "  PATTERN_WIDTH   size of one pattern in pixels; 0 = the whole picture\n"
    "  PATTERN_HEIGHT\n"
    "  SKIP_WIDTH      gap between neighbouring patterns in pixels\n"
    "  SKIP_HEIGHT\n"
    "  TRANSPARENT     yes or no: whether COLOUR is left undrawn\n"
    "  COLOUR          the transparent colour: an identifier such as clFuchsia or clBlack,\n"
    "                  or #RRGGBB\n"
    "  systemmemory    optional: keep the item's pattern surfaces in system memory\n"
    "  Blank lines and lines starting with '#' are ignored. Items keep the manifest's order.\n"
    "  Where a transparent item's PNG has alpha, pixels less than half opaque become COLOUR.\n"
    "  Example:\n"
    "    MMB_Active  buttons/active.png  230 52 0 0  yes clFuchsia\n";
