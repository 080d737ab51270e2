#pragma once

#include "CairoPtr.h"
#include "Manifest.h"

#include "engine/archive/ImageArchive.h"

#include <cstdint>
#include <filesystem>

namespace datagen {

// The colour key of every transparent picture (clFuchsia).
inline constexpr uint32_t kColourKey = 0xFF00FF;

// Rasterizes an SVG at its own integer width × height (ARGB32, premultiplied).
SurfacePtr RasterizeSvg(const std::filesystem::path& svgFile);

// Flattens a rasterized picture for the archive: edge pixels composited onto
// the matte, fully transparent pixels keyed out (unless opaque), and opaque
// pixels that the 16-bit display would confuse with the key nudged off it.
TDibPicture FlattenPicture(cairo_surface_t* raster, uint32_t matte, bool keyTransparent);

// True when a 0x00RRGGBB colour lands on the key's value in 16-bit 5-6-5.
bool CollidesWithKey(uint32_t rgb);

// Number of patterns the game cuts from a picture of the given size.
int PatternCount(int pictureWidth, int pictureHeight, int patternWidth, int patternHeight, int skipWidth,
                 int skipHeight);

// Rasterizes and checks one manifest item and makes its archive item.
TImageArchiveItem BuildItem(const ManifestItem& item);

} // namespace datagen
