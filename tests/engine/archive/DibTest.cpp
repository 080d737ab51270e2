#include "engine/archive/ArchiveTestSupport.h"

namespace {

// Only full or empty channels, so that every stored form, 16 bits included, keeps them.
constexpr uint32_t Colours[8] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                 0x0000FF, 0xFF00FF, 0xFFFF00, 0x00FFFF};

// Runs on the left (run-length mode), alternating colours on the right (absolute mode).
TDibPicture TestPicture(int width, int height, int colours) {
    TDibPicture p;
    p.Width = width;
    p.Height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.Pixels.push_back(Colours[(x < width / 2 ? y : x + y * 3) % colours]);
    return p;
}

std::vector<uint8_t> Le(std::initializer_list<std::pair<uint32_t, int>> fields) {
    std::vector<uint8_t> out;
    for (auto [value, size] : fields)
        for (int i = 0; i < size; ++i)
            out.push_back(i < 4 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
    return out;
}

std::vector<uint8_t> InfoHeader(int32_t width, int32_t height, int bits, uint32_t compression = 0,
                                uint32_t imageSize = 0, uint32_t coloursUsed = 0) {
    return Le({{40, 4},
               {static_cast<uint32_t>(width), 4},
               {static_cast<uint32_t>(height), 4},
               {1, 2},
               {static_cast<uint32_t>(bits), 2},
               {compression, 4},
               {imageSize, 4},
               {0, 4},
               {0, 4},
               {coloursUsed, 4},
               {0, 4}});
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TDibPicture ReadOnePicture(const std::vector<uint8_t>& record) {
    const auto items = ReadImageArchive(ArchiveWithPictureRecord(record));
    EXPECT_EQ(items.size(), 1u);
    EXPECT_TRUE(items.at(0).Picture.has_value());
    return items.at(0).Picture.value_or(TDibPicture{});
}

struct TFormCase {
    const char* What;
    TDibWriteOptions Options;
    int Width, Height, Colours;
};

TDibWriteOptions Form(int bits, TDibCompression compression = TDibCompression::None) {
    TDibWriteOptions o;
    o.BitCount = bits;
    o.Compression = compression;
    return o;
}
TDibWriteOptions With(TDibWriteOptions o, void (*change)(TDibWriteOptions&)) {
    change(o);
    return o;
}

TEST(DibForms, EveryStoredFormReadsBackTheSamePicture) {
    using C = TDibCompression;
    const std::vector<TFormCase> cases = {
        {"1 bit", Form(1), 13, 7, 2},
        {"4 bits", Form(4), 13, 7, 8},
        {"8 bits", Form(8), 13, 7, 8},
        {"16 bits 5-5-5", Form(16), 13, 7, 8},
        {"16 bits 5-6-5 fields", Form(16, C::BitFields), 13, 7, 8},
        {"16 bits 5-5-5 fields", With(Form(16, C::BitFields), [](TDibWriteOptions& o) { o.Rgb565 = false; }),
         13, 7, 8},
        {"24 bits", Form(24), 13, 7, 8},
        {"24 bits top-down", With(Form(24), [](TDibWriteOptions& o) { o.TopDown = true; }), 13, 7, 8},
        {"32 bits", Form(32), 13, 7, 8},
        {"32 bits fields", Form(32, C::BitFields), 13, 7, 8},
        {"RLE8", Form(8, C::Rle), 13, 7, 8},
        {"RLE8 long runs", Form(8, C::Rle), 700, 3, 8},
        {"RLE4", Form(4, C::Rle), 13, 7, 8},
        {"RLE4 long runs", Form(4, C::Rle), 701, 3, 8},
        {"core 1 bit", With(Form(1), [](TDibWriteOptions& o) { o.CoreHeader = true; }), 13, 7, 2},
        {"core 8 bits", With(Form(8), [](TDibWriteOptions& o) { o.CoreHeader = true; }), 13, 7, 8},
        {"core 24 bits", With(Form(24), [](TDibWriteOptions& o) { o.CoreHeader = true; }), 13, 7, 8},
        {"TBitmap 24 bits", With(Form(24), [](TDibWriteOptions& o) { o.AsBitmapFile = true; }), 13, 7, 8},
        {"TBitmap RLE8", With(Form(8, C::Rle), [](TDibWriteOptions& o) { o.AsBitmapFile = true; }), 13, 7, 8},
    };
    for (const TFormCase& c : cases) {
        const TDibPicture source = TestPicture(c.Width, c.Height, c.Colours);
        TImageArchiveItem item;
        item.Picture = source;
        const auto items = ReadImageArchive(WriteImageArchive({item}, c.Options));
        ASSERT_TRUE(items.at(0).Picture.has_value()) << c.What;
        const TDibPicture& read = *items[0].Picture;
        EXPECT_EQ(read.Width, c.Width) << c.What;
        EXPECT_EQ(read.Height, c.Height) << c.What;
        EXPECT_EQ(read.BitCount, c.Options.BitCount) << c.What;
        EXPECT_EQ(read.Pixels, source.Pixels) << c.What;
    }
}

TEST(DibForms, NegativeHeightMeansTheFirstStoredRowIsTheTop) {
    const auto redRow = Le({{0xFF0000, 3}, {0, 1}}); // one pixel (blue, green, red) + padding
    const auto blueRow = Le({{0x0000FF, 3}, {0, 1}});
    const TDibPicture bottomUp = ReadOnePicture(TDibRecord(Join({InfoHeader(1, 2, 24), redRow, blueRow})));
    const TDibPicture topDown = ReadOnePicture(TDibRecord(Join({InfoHeader(1, -2, 24), blueRow, redRow})));
    EXPECT_EQ(bottomUp.Pixels, (std::vector<uint32_t>{0x0000FF, 0xFF0000})); // blue on top
    EXPECT_EQ(topDown.Pixels, bottomUp.Pixels);
    EXPECT_EQ(topDown.Height, 2);
}

TEST(DibForms, RunLengthEscapesAndPalettes) {
    // Palette: 0 black, 1 red, 2 green, 3 blue (the rest of the 256 entries are not stored).
    const auto palette = Le({{0x000000, 4}, {0xFF0000, 4}, {0x00FF00, 4}, {0x0000FF, 4}});
    // 4 x 3, bottom row first: "R", delta (+2, +1) to (3, 1), "B", end of line, absolute
    // "GBR" padded to an even count, end of bitmap.
    const std::vector<uint8_t> rle8 = {1, 1, 0, 2, 2, 1, 1, 3, 0, 0, 0, 3, 2, 3, 1, 0, 0, 1};
    const TDibPicture p8 = ReadOnePicture(
        TDibRecord(Join({InfoHeader(4, 3, 8, 1, static_cast<uint32_t>(rle8.size()), 4), palette, rle8})));
    const uint32_t K = 0x000000, R = 0xFF0000, G = 0x00FF00, B = 0x0000FF;
    EXPECT_EQ(p8.Pixels, (std::vector<uint32_t>{G, B, R, K, /**/ K, K, K, B, /**/ R, K, K, K}));

    // 5 x 1 absolute "1 2 3 1 2" (3 bytes, padded to 4), then a run of 3 alternating "3 1"
    // that is clipped at the right edge, then the end mark.
    const std::vector<uint8_t> rle4 = {0, 5, 0x12, 0x31, 0x20, 0, 3, 0x31, 0, 1};
    const TDibPicture p4 = ReadOnePicture(
        TDibRecord(Join({InfoHeader(5, 1, 4, 2, static_cast<uint32_t>(rle4.size()), 4), palette, rle4})));
    EXPECT_EQ(p4.Pixels, (std::vector<uint32_t>{R, G, B, R, G}));

    // Data that stops without an end mark leaves the rest at index 0; indices past the
    // stored palette read as black.
    const std::vector<uint8_t> cut = {2, 3, 1, 9};
    const TDibPicture pc = ReadOnePicture(
        TDibRecord(Join({InfoHeader(2, 2, 8, 1, static_cast<uint32_t>(cut.size()), 4), palette, cut})));
    EXPECT_EQ(pc.Pixels, (std::vector<uint32_t>{K, K, B, B}));
}

TEST(DibForms, SixteenBitMasksMustBeOneOfTheTwoKnownLayouts) {
    auto dib = EncodeDib(TestPicture(4, 2, 8), Form(16, TDibCompression::BitFields));
    EXPECT_EQ(ReadOnePicture(TDibRecord(dib)).Pixels, TestPicture(4, 2, 8).Pixels);
    const auto masks = Le({{0x0F00, 4}, {0x00F0, 4}, {0x000F, 4}});
    std::copy(masks.begin(), masks.end(), dib.begin() + 40);
    EXPECT_EQ(ImageReadFailure(ArchiveWithPictureRecord(TDibRecord(dib))), "PixelFormat in invalid");
}

TEST(DibForms, OtherGraphicClassesAndEmptyRecords) {
    const auto archive = HandMadeArchive([](TObjectWriter& o) {
        o.BeginItem();
        o.WritePropertyName("Name");
        o.WriteString("Jpeg");
        o.WritePropertyName("Picture.Data");
        o.WriteBinary(std::vector<uint8_t>{10, 'T', 'J', 'P', 'E', 'G', 'I', 'm', 'a', 'g', 'e', 0xFF, 0xD8});
        o.WriteEndOfList();
        o.BeginItem();
        o.WritePropertyName("Name");
        o.WriteString("Empty");
        o.WritePropertyName("Picture.Data");
        o.WriteBinary(TDibRecord({}));
        o.WriteEndOfList();
        o.BeginItem();
        o.WritePropertyName("Name");
        o.WriteString("Plain");
        o.WriteEndOfList();
    });
    const auto items = ReadImageArchive(archive);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_FALSE(items[0].Picture.has_value());
    ASSERT_TRUE(items[1].Picture.has_value());
    EXPECT_EQ(items[1].Picture->Width, 0);
    EXPECT_TRUE(items[1].Picture->Pixels.empty());
    EXPECT_FALSE(items[2].Picture.has_value());
}

TEST(DibForms, MalformedPicturesFailWithTheirMessage) {
    const auto palette2 = Le({{0, 4}, {0xFFFFFF, 4}});
    const std::vector<uint8_t> fourRows(16, 0);
    struct Case {
        const char* What;
        std::vector<uint8_t> Record;
        const char* Message;
    };
    const std::vector<Case> cases = {
        {"header size 41", TDibRecord(Le({{41, 4}, {0, 37}})), "DIB is invalid"},
        {"short header", TDibRecord(Le({{40, 4}, {1, 4}, {1, 4}})), "DIB is invalid"},
        {"header size cut", TDibRecord({40, 0}), "DIB is invalid"},
        {"compression 4", TDibRecord(InfoHeader(1, 1, 24, 4)), "DIB is invalid"},
        {"RLE8 at 4 bits", TDibRecord(InfoHeader(1, 1, 4, 1)), "DIB is invalid"},
        {"bit count 7", TDibRecord(InfoHeader(1, 1, 7)), "Bitcount in invalid (7)"},
        {"bit count 0", TDibRecord(InfoHeader(1, 1, 0)), "Bitcount in invalid (0)"},
        {"negative width", TDibRecord(InfoHeader(-1, 1, 24)), "DIB is invalid"},
        {"huge size", TDibRecord(InfoHeader(30000, -30000, 1)), "DIB is invalid"},
        {"lowest height", TDibRecord(InfoHeader(1, INT32_MIN, 24)), "DIB is invalid"},
        {"short palette", TDibRecord(Join({InfoHeader(1, 1, 8), palette2})), "Stream read error"},
        {"short pixels", TDibRecord(Join({InfoHeader(1, 5, 1, 0, 0, 2), palette2, fourRows})),
         "Stream read error"},
        {"huge run-length size", TDibRecord(Join({InfoHeader(1, 1, 8, 1, 0xFFFFFFFF, 2), palette2, {0, 1}})),
         "Stream read error"},
        {"short masks", TDibRecord(Join({InfoHeader(1, 1, 16, 3), Le({{0xF800, 4}})})), "Stream read error"},
        {"bitmap without BM",
         Join({{7}, {'T', 'B', 'i', 't', 'm', 'a', 'p'}, Le({{16, 4}}), std::vector<uint8_t>(16, 0)}),
         "DIB is invalid"},
        {"bitmap huge count", Join({{7}, {'T', 'B', 'i', 't', 'm', 'a', 'p'}, Le({{0xFFFFFFFF, 4}})}),
         "Stream read error"},
        {"class name cut", {9, 'T', 'D'}, "Stream read error"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImageReadFailure(ArchiveWithPictureRecord(c.Record)), c.Message) << c.What;
}

TEST(PatternCount, CountsCellsFromTheStoredGeometry) {
    struct Case {
        int Width, Height, PatternWidth, PatternHeight, SkipWidth, SkipHeight, Count;
    };
    const Case cases[] = {
        {96, 32, 32, 32, 0, 0, 3},    {100, 32, 32, 32, 2, 0, 3}, // remainder 32 is one more pattern
        {101, 32, 32, 32, 2, 0, 2},                               // remainder 33 is not
        {230, 260, 230, 52, 0, 0, 5}, {800, 600, 0, 0, 0, 0, 1},  // whole picture
        {10, 10, 5, 5, -5, 0, 0},                                 // no cell size: nothing to cut
        {0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TDibPicture picture;
        picture.Width = c.Width;
        picture.Height = c.Height;
        TImageArchiveItem item;
        item.Picture = std::move(picture);
        item.PatternWidth = c.PatternWidth;
        item.PatternHeight = c.PatternHeight;
        item.SkipWidth = c.SkipWidth;
        item.SkipHeight = c.SkipHeight;
        EXPECT_EQ(ComputePatternCount(item), c.Count) << c.Width << "x" << c.Height;
    }
    const TImageArchiveItem noPicture;
    EXPECT_EQ(ComputePatternCount(noPicture), 0);
}

TEST(DibForms, WriterRefusesWhatItCannotStore) {
    EXPECT_THROW(EncodeDib(TestPicture(4, 4, 8), Form(1)), std::invalid_argument);
    EXPECT_THROW(EncodeDib(TestPicture(4, 4, 2), Form(24, TDibCompression::Rle)), std::invalid_argument);
    EXPECT_THROW(EncodeDib(TestPicture(4, 4, 2), Form(12)), std::invalid_argument);
}

} // namespace
