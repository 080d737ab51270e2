#include "PngFile.h"

#include "Manifest.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace datagen {

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

} // namespace

void WritePng(const std::filesystem::path& file, cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);

    std::unique_ptr<FILE, FileCloser> out(std::fopen(file.c_str(), "wb"));
    if (!out)
        throw DataError(file.string() + ": cannot create the PNG file");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw DataError(file.string() + ": cannot start the PNG writer");
    }
    std::vector<png_byte> row(static_cast<size_t>(w) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw DataError(file.string() + ": writing the PNG failed");
    }
    png_init_io(png, out.get());
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            row[x * 3 + 0] = src[x] >> 16 & 0xFF;
            row[x * 3 + 1] = src[x] >> 8 & 0xFF;
            row[x * 3 + 2] = src[x] & 0xFF;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(out.get()) != 0)
        throw DataError(file.string() + ": writing the PNG failed");
}

} // namespace datagen
