#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// A decoded picture, rows top-down.
struct TDibPicture {
    int Width = 0, Height = 0;
    int BitCount = 24;            // as stored in the file
    std::vector<uint32_t> Pixels; // Width*Height, 0x00RRGGBB
};

// The largest picture the decoder accepts. Run-length data can describe a huge canvas in a
// few bytes, so the size is bounded by itself rather than by the data that holds it.
inline constexpr int MaxDibSide = 32767;
inline constexpr int64_t MaxDibPixels = int64_t{1} << 24;

// Decodes a DIB record (header, masks, palette, pixels). Empty input is an empty picture.
TDibPicture DecodeDib(std::span<const uint8_t> bytes);
// Decodes a picture record: a class name, then "TDIB" data or a "TBitmap" BMP file.
// Any other class gives no picture.
std::optional<TDibPicture> DecodePictureRecord(std::span<const uint8_t> bytes);

enum class TDibCompression { None, Rle, BitFields };

// How the writer stores a picture. The defaults give the usual 24-bit info-header DIB; the
// rest exists so that every form the reader takes can be produced.
struct TDibWriteOptions {
    int BitCount = 24;                                   // 1, 4, 8 (palette), 16, 24, 32
    TDibCompression Compression = TDibCompression::None; // Rle needs 8 or 4 bits
    bool CoreHeader = false;                             // 12-byte header, 3-byte palette entries
    bool TopDown = false;                                // negative height (info header only)
    bool Rgb565 = true;                                  // 16-bit bit fields: 5-6-5, else 5-5-5
    bool AsBitmapFile = false;                           // "TBitmap" class with a BMP file
};

// Throws std::invalid_argument for combinations that cannot be stored, or a palette
// picture with more colours than the bit count allows.
std::vector<uint8_t> EncodeDib(const TDibPicture& picture, const TDibWriteOptions& options = {});
std::vector<uint8_t> EncodePictureRecord(const TDibPicture& picture, const TDibWriteOptions& options = {});
