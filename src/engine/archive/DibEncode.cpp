#include "engine/archive/Dib.h"

#include "engine/archive/ObjectStream.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr int32_t PixelsPerMetre = 2835; // 72 dots per inch
constexpr uint32_t BitmapFileHeaderSize = 14;

uint8_t R(uint32_t c) {
    return static_cast<uint8_t>(c >> 16);
}
uint8_t G(uint32_t c) {
    return static_cast<uint8_t>(c >> 8);
}
uint8_t B(uint32_t c) {
    return static_cast<uint8_t>(c);
}

// Palette in order of first appearance, and each pixel's index into it.
std::vector<uint32_t> BuildPalette(const TDibPicture& picture, int bitCount, std::vector<uint8_t>& indices) {
    std::vector<uint32_t> palette;
    indices.resize(picture.Pixels.size());
    const size_t limit = size_t{1} << bitCount;
    for (size_t i = 0; i < picture.Pixels.size(); ++i) {
        const uint32_t c = picture.Pixels[i] & 0xFFFFFF;
        auto it = std::find(palette.begin(), palette.end(), c);
        if (it == palette.end()) {
            if (palette.size() == limit)
                throw std::invalid_argument("The picture has more than " + std::to_string(limit) +
                                            " colours for a " + std::to_string(bitCount) + "-bit palette");
            palette.push_back(c);
            it = palette.end() - 1;
        }
        indices[i] = static_cast<uint8_t>(it - palette.begin());
    }
    if (palette.empty())
        palette.push_back(0);
    return palette;
}

// One row in the run-length code: runs of equal pixels as (count, value), stretches of
// three or more different pixels as absolute runs padded to 16 bits.
void EncodeRleRow(const uint8_t* row, int width, bool fourBit, std::vector<uint8_t>& out) {
    int i = 0;
    while (i < width) {
        int run = 1;
        while (i + run < width && run < 255 && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(fourBit ? static_cast<uint8_t>((row[i] << 4) | row[i]) : row[i]);
            i += run;
            continue;
        }
        int length = 1;
        while (i + length < width && length < 255 &&
               !(i + length + 1 < width && row[i + length] == row[i + length + 1]))
            ++length;
        if (length < 3) {
            for (int k = 0; k < length; ++k) {
                out.push_back(1);
                out.push_back(fourBit ? static_cast<uint8_t>(row[i + k] << 4) : row[i + k]);
            }
        } else {
            out.push_back(0);
            out.push_back(static_cast<uint8_t>(length));
            size_t bytes = 0;
            for (int k = 0; k < length; k += fourBit ? 2 : 1, ++bytes) {
                if (fourBit)
                    out.push_back(
                        static_cast<uint8_t>((row[i + k] << 4) | (k + 1 < length ? row[i + k + 1] : 0)));
                else
                    out.push_back(row[i + k]);
            }
            if (bytes & 1)
                out.push_back(0);
        }
        i += length;
    }
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

} // namespace

std::vector<uint8_t> EncodeDib(const TDibPicture& picture, const TDibWriteOptions& options) {
    const int bits = options.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        throw std::invalid_argument("Cannot store a picture with " + std::to_string(bits) +
                                    " bits per pixel");
    const bool rle = options.Compression == TDibCompression::Rle;
    const bool bitFields = options.Compression == TDibCompression::BitFields;
    if (rle && bits != 8 && bits != 4)
        throw std::invalid_argument("Run-length pictures have 4 or 8 bits per pixel");
    if (bitFields && bits != 16 && bits != 32)
        throw std::invalid_argument("Bit fields need 16 or 32 bits per pixel");
    if (options.CoreHeader && (options.Compression != TDibCompression::None || options.TopDown))
        throw std::invalid_argument("A core header has neither compression nor top-down rows");
    if (picture.Width < 0 || picture.Height < 0 ||
        picture.Pixels.size() != static_cast<size_t>(picture.Width) * picture.Height)
        throw std::invalid_argument("The picture's pixels do not match its size");
    if (options.CoreHeader && (picture.Width > 0xFFFF || picture.Height > 0xFFFF))
        throw std::invalid_argument("A core header holds sizes up to 65535");
    if (picture.Width == 0 || picture.Height == 0)
        return {};

    const int w = picture.Width;
    const int h = picture.Height;
    std::vector<uint8_t> indices;
    std::vector<uint32_t> palette;
    if (bits <= 8) {
        palette = BuildPalette(picture, bits, indices);
        if (options.CoreHeader)
            palette.resize(size_t{1} << bits, 0);
    }
    const bool rgb565 = bits == 16 && bitFields && options.Rgb565;

    // Rows in file order.
    auto sourceRow = [&](int fileRow) { return options.TopDown ? fileRow : h - 1 - fileRow; };
    std::vector<uint8_t> pixels;
    if (rle) {
        for (int fileRow = 0; fileRow < h; ++fileRow) {
            EncodeRleRow(indices.data() + static_cast<size_t>(sourceRow(fileRow)) * w, w, bits == 4, pixels);
            pixels.push_back(0);
            pixels.push_back(fileRow + 1 < h ? 0 : 1);
        }
    } else {
        const size_t rowBytes = (static_cast<size_t>(bits) * w + 31) / 32 * 4;
        pixels.assign(rowBytes * h, 0);
        for (int fileRow = 0; fileRow < h; ++fileRow) {
            const size_t y = static_cast<size_t>(sourceRow(fileRow));
            uint8_t* dst = pixels.data() + rowBytes * fileRow;
            for (int x = 0; x < w; ++x) {
                const uint32_t c = picture.Pixels[y * w + x];
                const uint8_t index = bits <= 8 ? indices[y * w + x] : 0;
                switch (bits) {
                case 1:
                    dst[x / 8] |= static_cast<uint8_t>(index << (7 - x % 8));
                    break;
                case 4:
                    dst[x / 2] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
                    break;
                case 8:
                    dst[x] = index;
                    break;
                case 16: {
                    const uint32_t v = rgb565 ? ((R(c) >> 3) << 11) | ((G(c) >> 2) << 5) | (B(c) >> 3)
                                              : ((R(c) >> 3) << 10) | ((G(c) >> 3) << 5) | (B(c) >> 3);
                    dst[x * 2] = static_cast<uint8_t>(v);
                    dst[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
                    break;
                }
                case 24:
                    dst[x * 3] = B(c);
                    dst[x * 3 + 1] = G(c);
                    dst[x * 3 + 2] = R(c);
                    break;
                default:
                    dst[x * 4] = B(c);
                    dst[x * 4 + 1] = G(c);
                    dst[x * 4 + 2] = R(c);
                    break;
                }
            }
        }
    }

    std::vector<uint8_t> out;
    if (options.CoreHeader) {
        Put32(out, CoreHeaderSize);
        Put16(out, static_cast<uint32_t>(w));
        Put16(out, static_cast<uint32_t>(h));
        Put16(out, 1);
        Put16(out, static_cast<uint32_t>(bits));
    } else {
        Put32(out, InfoHeaderSize);
        Put32(out, static_cast<uint32_t>(w));
        Put32(out, static_cast<uint32_t>(options.TopDown ? -h : h));
        Put16(out, 1);
        Put16(out, static_cast<uint32_t>(bits));
        Put32(out, rle ? (bits == 8 ? 1 : 2) : bitFields ? 3 : 0);
        Put32(out, static_cast<uint32_t>(pixels.size()));
        Put32(out, PixelsPerMetre);
        Put32(out, PixelsPerMetre);
        Put32(out, static_cast<uint32_t>(palette.size()));
        Put32(out, 0);
    }
    if (bitFields) {
        if (bits == 16) {
            Put32(out, rgb565 ? 0xF800 : 0x7C00);
            Put32(out, rgb565 ? 0x07E0 : 0x03E0);
            Put32(out, 0x001F);
        } else {
            Put32(out, 0xFF0000);
            Put32(out, 0x00FF00);
            Put32(out, 0x0000FF);
        }
    }
    for (uint32_t c : palette) {
        out.push_back(B(c));
        out.push_back(G(c));
        out.push_back(R(c));
        if (!options.CoreHeader)
            out.push_back(0);
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

std::vector<uint8_t> EncodePictureRecord(const TDibPicture& picture, const TDibWriteOptions& options) {
    const std::vector<uint8_t> dib = EncodeDib(picture, options);
    TObjectWriter out;
    if (!options.AsBitmapFile) {
        out.WriteShortString("TDIB");
        out.Bytes().insert(out.Bytes().end(), dib.begin(), dib.end());
        return std::move(out.Bytes());
    }
    out.WriteShortString("TBitmap");
    if (dib.empty()) {
        out.WriteU32(0);
        return std::move(out.Bytes());
    }
    const uint32_t fileSize = BitmapFileHeaderSize + static_cast<uint32_t>(dib.size());
    // Pixels follow the header, masks and palette.
    const size_t headerSize = dib[0] | (dib[1] << 8);
    uint32_t pixelOffset = BitmapFileHeaderSize + static_cast<uint32_t>(headerSize);
    if (options.Compression == TDibCompression::BitFields)
        pixelOffset += 12;
    if (options.BitCount <= 8) {
        const uint32_t entries = options.CoreHeader
                                     ? (1u << options.BitCount)
                                     : (dib[32] | (dib[33] << 8) | (dib[34] << 16) | (dib[35] << 24));
        pixelOffset += entries * (options.CoreHeader ? 3 : 4);
    }
    out.WriteU32(fileSize);
    out.WriteU8('B');
    out.WriteU8('M');
    out.WriteU32(fileSize);
    out.WriteU32(0);
    out.WriteU32(pixelOffset);
    out.Bytes().insert(out.Bytes().end(), dib.begin(), dib.end());
    return std::move(out.Bytes());
}
