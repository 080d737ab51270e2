#pragma once

#include <cairo.h>

#include <filesystem>

namespace datagen {

// Writes an ARGB32 image surface as an opaque RGB PNG (alpha is dropped: the
// sheets and previews are drawn over a solid background).
void WritePng(const std::filesystem::path& file, cairo_surface_t* surface);

} // namespace datagen
