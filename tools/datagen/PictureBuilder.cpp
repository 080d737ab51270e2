#include "PictureBuilder.h"

#include <librsvg/rsvg.h>

#include <cmath>

namespace datagen {

namespace {

struct GObjectDeleter {
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};

// The game cuts patterns with integer division; a picture that is not an exact
// grid silently loses its last row or column, so insist on an exact fit.
bool FitsGrid(int size, int pattern, int skip) {
    if (pattern == 0)
        return true;
    int cell = pattern + skip;
    return size >= pattern && (size + skip) % cell == 0;
}

} // namespace

SurfacePtr RasterizeSvg(const std::filesystem::path& svgFile) {
    GError* error = nullptr;
    std::unique_ptr<RsvgHandle, GObjectDeleter> handle(rsvg_handle_new_from_file(svgFile.c_str(), &error));
    if (!handle) {
        std::string why = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        throw DataError(svgFile.string() + ": cannot read the SVG: " + why);
    }
    gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
    RsvgLength width{}, height{};
    RsvgRectangle viewBox{};
    rsvg_handle_get_intrinsic_dimensions(handle.get(), &hasWidth, &width, &hasHeight, &height, &hasViewBox,
                                         &viewBox);
    if (!hasWidth || !hasHeight || width.unit != RSVG_UNIT_PX || height.unit != RSVG_UNIT_PX)
        throw DataError(svgFile.string() + ": the <svg> element needs width and height in px");
    if (width.length != std::floor(width.length) || height.length != std::floor(height.length) ||
        width.length < 1 || height.length < 1 || width.length > 4096 || height.length > 4096)
        throw DataError(svgFile.string() + ": width and height must be whole pixels from 1 to 4096");
    if (!hasViewBox)
        throw DataError(svgFile.string() + ": the <svg> element needs a viewBox");
    int w = static_cast<int>(width.length), h = static_cast<int>(height.length);

    SurfacePtr surface = NewImageSurface(w, h);
    ContextPtr cr(cairo_create(surface.get()));
    RsvgRectangle viewport{0, 0, static_cast<double>(w), static_cast<double>(h)};
    if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) {
        std::string why = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        throw DataError(svgFile.string() + ": cannot render the SVG: " + why);
    }
    cairo_surface_flush(surface.get());
    return surface;
}

bool CollidesWithKey(uint32_t rgb) {
    uint32_t r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
    return (r >> 3) == 31 && (g >> 2) == 0 && (b >> 3) == 31;
}

TDibPicture FlattenPicture(cairo_surface_t* raster, uint32_t matte, bool keyTransparent) {
    const int w = cairo_image_surface_get_width(raster);
    const int h = cairo_image_surface_get_height(raster);
    const int stride = cairo_image_surface_get_stride(raster);
    const unsigned char* data = cairo_image_surface_get_data(raster);
    const uint32_t mr = matte >> 16 & 0xFF, mg = matte >> 8 & 0xFF, mb = matte & 0xFF;

    TDibPicture picture;
    picture.Width = w;
    picture.Height = h;
    picture.BitCount = 24;
    picture.Pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            uint32_t p = row[x];
            uint32_t a = p >> 24;
            uint32_t out;
            if (a == 0 && keyTransparent) {
                out = kColourKey;
            } else {
                // Cairo stores premultiplied colour, so adding the matte's share finishes the blend.
                uint32_t inv = 255 - a;
                uint32_t r = (p >> 16 & 0xFF) + (mr * inv + 127) / 255;
                uint32_t g = (p >> 8 & 0xFF) + (mg * inv + 127) / 255;
                uint32_t b = (p & 0xFF) + (mb * inv + 127) / 255;
                out = (std::min(r, 255u) << 16) | (std::min(g, 255u) << 8) | std::min(b, 255u);
                if (CollidesWithKey(out))
                    out = (out & 0x00FF00) | 0xF000F0; // one 5-bit step off the key
            }
            picture.Pixels[static_cast<size_t>(y) * w + x] = out;
        }
    }
    return picture;
}

int PatternCount(int pictureWidth, int pictureHeight, int patternWidth, int patternHeight, int skipWidth,
                 int skipHeight) {
    auto count = [](int size, int pattern, int skip) {
        if (pattern <= 0)
            return 1;
        int cell = pattern + skip;
        int n = size / cell;
        if (size - n * cell == pattern)
            ++n;
        return n;
    };
    return count(pictureWidth, patternWidth, skipWidth) * count(pictureHeight, patternHeight, skipHeight);
}

TImageArchiveItem BuildItem(const ManifestItem& item) {
    if (!std::filesystem::exists(item.SvgFile))
        throw DataError(item.Where + ": picture '" + item.Name + "': file " + item.SvgFile.string() +
                        " does not exist");
    SurfacePtr raster = RasterizeSvg(item.SvgFile);
    int w = cairo_image_surface_get_width(raster.get());
    int h = cairo_image_surface_get_height(raster.get());
    if (!FitsGrid(w, item.PatternWidth, item.SkipWidth) || !FitsGrid(h, item.PatternHeight, item.SkipHeight))
        throw DataError(item.Where + ": picture '" + item.Name + "' is " + std::to_string(w) + " x " +
                        std::to_string(h) + ", which is not a whole grid of " +
                        std::to_string(item.PatternWidth) + " x " + std::to_string(item.PatternHeight) +
                        " patterns with skips " + std::to_string(item.SkipWidth) + ", " +
                        std::to_string(item.SkipHeight));

    TImageArchiveItem out;
    out.Name = item.Name;
    out.PatternWidth = item.PatternWidth;
    out.PatternHeight = item.PatternHeight;
    out.SkipWidth = item.SkipWidth;
    out.SkipHeight = item.SkipHeight;
    out.SystemMemory = false;
    out.Transparent = !item.Opaque;
    out.TransparentColor = static_cast<int32_t>(kColourKey);
    out.Picture = FlattenPicture(raster.get(), item.Matte, !item.Opaque);
    return out;
}

} // namespace datagen
