#include "PngFile.h"

#include <png.h>

#include <stdexcept>

TDibPicture ReadPng(const std::string& fileName, std::vector<uint8_t>* alpha) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, fileName.c_str()))
        throw std::runtime_error("Cannot read \"" + fileName + "\": " + image.message);
    if (image.width > static_cast<png_uint_32>(MaxDibSide) ||
        image.height > static_cast<png_uint_32>(MaxDibSide) ||
        int64_t{image.width} * image.height > MaxDibPixels) {
        png_image_free(&image);
        throw std::runtime_error("\"" + fileName + "\" is too large for an archive picture");
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
        throw std::runtime_error("Cannot read \"" + fileName + "\": " + image.message);

    TDibPicture picture;
    picture.Width = static_cast<int>(image.width);
    picture.Height = static_cast<int>(image.height);
    picture.BitCount = 24;
    const size_t count = static_cast<size_t>(picture.Width) * picture.Height;
    picture.Pixels.resize(count);
    if (alpha)
        alpha->resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &rgba[i * 4];
        picture.Pixels[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        if (alpha)
            (*alpha)[i] = p[3];
    }
    return picture;
}

void WritePng(const std::string& fileName, const TDibPicture& picture) {
    if (picture.Width <= 0 || picture.Height <= 0)
        throw std::runtime_error("The picture is empty; nothing to write to \"" + fileName + "\"");
    std::vector<uint8_t> rgb;
    rgb.reserve(picture.Pixels.size() * 3);
    for (uint32_t c : picture.Pixels) {
        rgb.push_back(static_cast<uint8_t>(c >> 16));
        rgb.push_back(static_cast<uint8_t>(c >> 8));
        rgb.push_back(static_cast<uint8_t>(c));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width);
    image.height = static_cast<png_uint_32>(picture.Height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, fileName.c_str(), 0, rgb.data(), 0, nullptr))
        throw std::runtime_error("Cannot write \"" + fileName + "\": " + image.message);
}
