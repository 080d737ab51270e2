#include "engine/archive/Dib.h"

#include "engine/archive/ArchiveErrors.h"
#include "engine/archive/ObjectStream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <string>

namespace {

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr uint32_t BiBitFields = 3;
constexpr int MaxPaletteEntries = 256;
constexpr size_t BitmapFileHeaderSize = 14;

struct TMasks {
    uint32_t Red, Green, Blue;
};
constexpr TMasks Masks555{0x7C00, 0x03E0, 0x001F};
constexpr TMasks Masks565{0xF800, 0x07E0, 0x001F};
constexpr TMasks Masks888{0xFF0000, 0x00FF00, 0x0000FF};

[[noreturn]] void InvalidDib() {
    throw EInvalidGraphic(ArchiveMessages::DibInvalid);
}

bool ValidBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

bool SameMasks(const TMasks& a, const TMasks& b) {
    return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}

// One colour channel of a packed pixel, scaled to 8 bits.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t top = mask >> shift;
    const uint64_t value = (pixel & mask) >> shift;
    return static_cast<uint32_t>(value * 255 / top);
}

uint32_t Unpack(uint32_t pixel, const TMasks& masks) {
    return (Channel(pixel, masks.Red) << 16) | (Channel(pixel, masks.Green) << 8) |
           Channel(pixel, masks.Blue);
}

struct THeader {
    uint32_t Size = 0;
    int64_t Width = 0, Height = 0;
    int BitCount = 0;
    uint32_t Compression = BiRgb;
    uint32_t ImageSize = 0;
    uint32_t ColorsUsed = 0;
    bool TopDown = false;
};

THeader ReadHeader(TByteReader& in) {
    THeader h;
    if (in.Remaining() < 4)
        InvalidDib();
    h.Size = in.U32();
    if (h.Size != CoreHeaderSize && h.Size != InfoHeaderSize)
        InvalidDib();
    if (in.Remaining() < h.Size - 4)
        InvalidDib();
    if (h.Size == CoreHeaderSize) {
        h.Width = in.U16();
        h.Height = in.U16();
        in.U16(); // planes
        h.BitCount = in.U16();
    } else {
        h.Width = in.I32();
        h.Height = in.I32();
        in.U16(); // planes
        h.BitCount = in.U16();
        h.Compression = in.U32();
        h.ImageSize = in.U32();
        in.U32(); // resolution
        in.U32();
        h.ColorsUsed = in.U32();
        in.U32(); // colours important
    }
    if (h.Height < 0) {
        h.TopDown = true;
        h.Height = -h.Height;
    }
    if (h.Compression > BiBitFields)
        InvalidDib();
    if (!ValidBitCount(h.BitCount))
        throw EInvalidGraphic(ArchiveMessages::BitCountInvalid(h.BitCount));
    if ((h.Compression == BiRle8 && h.BitCount != 8) || (h.Compression == BiRle4 && h.BitCount != 4))
        InvalidDib();
    if (h.Width < 0 || h.Width > MaxDibSide || h.Height > MaxDibSide || h.Width * h.Height > MaxDibPixels)
        InvalidDib();
    return h;
}

// Run-length data to palette indices, one per pixel in file row order. Runs that leave
// the picture are clipped; data that ends without an end-of-bitmap mark ends the picture.
std::vector<uint8_t> DecodeRle(std::span<const uint8_t> data, int width, int height, bool fourBit) {
    std::vector<uint8_t> indices(static_cast<size_t>(width) * height, 0);
    int64_t x = 0, y = 0;
    auto put = [&](uint8_t v) {
        if (x < width && y < height)
            indices[static_cast<size_t>(y) * width + static_cast<size_t>(x)] = v;
        ++x;
    };
    size_t pos = 0;
    while (pos + 1 < data.size() && y < height) {
        const uint8_t count = data[pos];
        const uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(fourBit ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (pos + 1 >= data.size())
                break;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = fourBit ? (value + 1u) / 2 : value;
            for (int k = 0; k < value; ++k) {
                const size_t at = pos + (fourBit ? k / 2 : k);
                if (at >= data.size())
                    break;
                put(fourBit ? ((k & 1) ? data[at] & 0x0F : data[at] >> 4) : data[at]);
            }
            pos += (bytes + 1) & ~size_t{1};
        }
    }
    return indices;
}

} // namespace

TDibPicture DecodeDib(std::span<const uint8_t> bytes) {
    TDibPicture picture;
    if (bytes.empty())
        return picture;
    TByteReader in(bytes);
    const THeader h = ReadHeader(in);
    picture.Width = static_cast<int>(h.Width);
    picture.Height = static_cast<int>(h.Height);
    picture.BitCount = h.BitCount;

    TMasks masks = h.BitCount == 16 ? Masks555 : Masks888;
    if (h.Compression == BiBitFields) {
        masks.Red = in.U32();
        masks.Green = in.U32();
        masks.Blue = in.U32();
        if (h.BitCount == 16 && !SameMasks(masks, Masks555) && !SameMasks(masks, Masks565))
            throw EInvalidGraphic(ArchiveMessages::PixelFormatInvalid);
    }

    uint32_t paletteCount = h.ColorsUsed;
    if (paletteCount == 0 && h.BitCount <= 8)
        paletteCount = 1u << h.BitCount;
    paletteCount = std::min<uint32_t>(paletteCount, MaxPaletteEntries);
    const size_t entrySize = h.Size == CoreHeaderSize ? 3 : 4;
    const auto paletteBytes = in.Bytes(uint64_t{paletteCount} * entrySize);
    // Indices past the stored entries read as black.
    std::array<uint32_t, MaxPaletteEntries> palette{};
    for (uint32_t i = 0; i < paletteCount; ++i) {
        const uint8_t* e = &paletteBytes[i * entrySize];
        palette[i] = (uint32_t{e[2]} << 16) | (uint32_t{e[1]} << 8) | e[0];
    }

    const int width = picture.Width;
    const int height = picture.Height;
    if (width == 0 || height == 0)
        return picture;
    picture.Pixels.resize(static_cast<size_t>(width) * height);
    auto destRow = [&](int64_t fileRow) {
        const int64_t y = h.TopDown ? fileRow : height - 1 - fileRow;
        return picture.Pixels.data() + static_cast<size_t>(y) * width;
    };

    if (h.Compression == BiRle8 || h.Compression == BiRle4) {
        const auto data = in.Bytes(h.ImageSize != 0 ? h.ImageSize : in.Remaining());
        const auto indices = DecodeRle(data, width, height, h.Compression == BiRle4);
        for (int row = 0; row < height; ++row) {
            uint32_t* out = destRow(row);
            const uint8_t* src = indices.data() + static_cast<size_t>(row) * width;
            for (int x = 0; x < width; ++x)
                out[x] = palette[src[x]];
        }
        return picture;
    }

    const uint64_t rowBytes = (static_cast<uint64_t>(h.BitCount) * width + 31) / 32 * 4;
    const auto data = in.Bytes(rowBytes * height);
    for (int row = 0; row < height; ++row) {
        const uint8_t* src = data.data() + rowBytes * row;
        uint32_t* out = destRow(row);
        for (int x = 0; x < width; ++x) {
            switch (h.BitCount) {
            case 1:
                out[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                out[x] = palette[(x & 1) ? src[x / 2] & 0x0F : src[x / 2] >> 4];
                break;
            case 8:
                out[x] = palette[src[x]];
                break;
            case 16:
                out[x] = Unpack(src[x * 2] | (src[x * 2 + 1] << 8), masks);
                break;
            case 24:
                out[x] = (uint32_t{src[x * 3 + 2]} << 16) | (uint32_t{src[x * 3 + 1]} << 8) | src[x * 3];
                break;
            default: {
                const uint8_t* p = src + x * 4;
                out[x] = Unpack(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                    (uint32_t{p[3]} << 24),
                                masks);
            }
            }
        }
    }
    return picture;
}

std::optional<TDibPicture> DecodePictureRecord(std::span<const uint8_t> bytes) {
    TByteReader in(bytes);
    const std::string className = in.ShortString();
    if (className == "TDIB")
        return DecodeDib(bytes.subspan(in.Position()));
    if (className != "TBitmap")
        return std::nullopt;
    const auto file = in.Bytes(in.U32());
    if (file.empty())
        return TDibPicture{};
    if (file.size() < BitmapFileHeaderSize || file[0] != 'B' || file[1] != 'M')
        InvalidDib();
    return DecodeDib(file.subspan(BitmapFileHeaderSize));
}
