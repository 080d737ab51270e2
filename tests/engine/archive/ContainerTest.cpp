#include "engine/archive/ArchiveTestSupport.h"
#include "engine/archive/WaveArchive.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

TDibPicture SmallPicture() {
    TDibPicture p;
    p.Width = 3;
    p.Height = 2;
    p.Pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFF00FF};
    return p;
}

std::vector<uint8_t> Header(const std::string& resourceName) {
    std::vector<uint8_t> bytes{0xFF, 10, 0};
    for (char c : resourceName)
        bytes.push_back(static_cast<uint8_t>(c));
    bytes.insert(bytes.end(), {0, 0x30, 0x10, 0, 0, 0, 0});
    return bytes;
}

// The object stream of a writer-made archive, to put behind other headers.
std::vector<uint8_t> StreamPart(const std::vector<uint8_t>& archive) {
    const size_t nameEnd = std::find(archive.begin() + 3, archive.end(), 0) - archive.begin();
    return std::vector<uint8_t>(archive.begin() + nameEnd + 7, archive.end());
}

TEST(ArchiveContainer, ItemsRoundTripThroughTheWriter) {
    std::vector<TImageArchiveItem> items(3);
    items[0].Name = "MMB_Active";
    items[0].PatternWidth = 230;
    items[0].PatternHeight = 52;
    items[0].SkipWidth = -3;
    items[0].SkipHeight = 70000;
    items[0].SystemMemory = true;
    items[0].TransparentColor = 0xFF00FF;
    items[0].Picture = SmallPicture();
    items[1].Name = "NoPicture";
    items[1].Transparent = false;
    items[1].TransparentColor = 0x123456;
    items[2].Name = std::string(300, 'x'); // needs the long string code
    items[2].TransparentColor = *ColorFromIdent("clBtnFace");

    const auto read = ReadImageArchive(WriteImageArchive(items));
    ASSERT_EQ(read.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(read[i].Name, items[i].Name);
        EXPECT_EQ(read[i].PatternWidth, items[i].PatternWidth);
        EXPECT_EQ(read[i].PatternHeight, items[i].PatternHeight);
        EXPECT_EQ(read[i].SkipWidth, items[i].SkipWidth);
        EXPECT_EQ(read[i].SkipHeight, items[i].SkipHeight);
        EXPECT_EQ(read[i].SystemMemory, items[i].SystemMemory);
        EXPECT_EQ(read[i].Transparent, items[i].Transparent);
        EXPECT_EQ(read[i].TransparentColor, items[i].TransparentColor);
        EXPECT_EQ(read[i].Picture.has_value(), items[i].Picture.has_value());
    }
    EXPECT_EQ(read[0].Picture->Pixels, SmallPicture().Pixels);
}

TEST(ArchiveContainer, TwentySevenCharacterResourceNamePutsTheStreamAt37) {
    const auto written = WriteImageArchive({TImageArchiveItem{}});
    ASSERT_GT(written.size(), 41u);
    EXPECT_EQ(std::string(written.begin() + 37, written.begin() + 41), "TPF0");

    auto bytes = Header(std::string(27, 'N'));
    ASSERT_EQ(bytes.size(), 37u);
    const auto stream = StreamPart(written);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    EXPECT_EQ(ReadImageArchive(bytes).size(), 1u);
}

TEST(ArchiveContainer, HeaderAndSignatureFaults) {
    const auto stream = StreamPart(WriteImageArchive({}));
    struct Case {
        const char* What;
        std::vector<uint8_t> Bytes;
    };
    std::vector<Case> cases;
    auto withStream = [&](std::vector<uint8_t> header) {
        header.insert(header.end(), stream.begin(), stream.end());
        return header;
    };
    auto noMarker = withStream(Header("X"));
    noMarker[0] = 0xFE;
    cases.push_back({"first byte", noMarker});
    auto wrongType = withStream(Header("X"));
    wrongType[1] = 11;
    cases.push_back({"resource type", wrongType});
    cases.push_back({"name too long", withStream(Header(std::string(76, 'N')))});
    auto badSignature = withStream(Header("X"));
    badSignature[Header("X").size() + 3] = '1';
    cases.push_back({"signature", badSignature});
    for (const Case& c : cases)
        EXPECT_EQ(ImageReadFailure(c.Bytes), "Invalid stream format") << c.What;
    // The longest name that still ends within the first 79 bytes.
    EXPECT_EQ(ImageReadFailure(withStream(Header(std::string(75, 'N')))), "(no failure)");
}

TEST(ArchiveContainer, EveryTruncationIsAReadError) {
    std::vector<TImageArchiveItem> items(2);
    items[0].Name = "A";
    items[0].PatternWidth = 1000;
    items[0].TransparentColor = 0xFF00FF;
    items[0].Picture = SmallPicture();
    items[1].Name = "B";
    const auto full = WriteImageArchive(items);
    for (size_t length = 0; length < full.size(); ++length)
        EXPECT_EQ(ImageReadFailure({full.begin(), full.begin() + length}), "Stream read error") << length;
}

TEST(ArchiveContainer, PropertyFaults) {
    struct Case {
        const char* What;
        std::function<void(TObjectWriter&)> Property;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {"unknown name",
         [](TObjectWriter& o) {
             o.WritePropertyName("Colour");
             o.WriteInteger(1);
         },
         "Property Colour does not exist"},
        {"unknown picture path",
         [](TObjectWriter& o) {
             o.WritePropertyName("Picture.Pixels");
             o.WriteInteger(1);
         },
         "Property Picture.Pixels does not exist"},
        {"string for integer",
         [](TObjectWriter& o) {
             o.WritePropertyName("PatternWidth");
             o.WriteString("3");
         },
         "Invalid property value"},
        {"integer for boolean",
         [](TObjectWriter& o) {
             o.WritePropertyName("Transparent");
             o.WriteInteger(1);
         },
         "Invalid property value"},
        {"unknown colour",
         [](TObjectWriter& o) {
             o.WritePropertyName("TransparentColor");
             o.WriteIdentifier("clPink");
         },
         "Invalid property value"},
        {"integer for picture",
         [](TObjectWriter& o) {
             o.WritePropertyName("Picture.Data");
             o.WriteInteger(0);
         },
         "Invalid property value"},
        {"huge binary",
         [](TObjectWriter& o) {
             o.WritePropertyName("Picture.Data");
             o.WriteCode(TValueCode::Binary);
             o.WriteU32(0xFFFFFFF0u);
         },
         "Stream read error"},
        {"huge long string",
         [](TObjectWriter& o) {
             o.WritePropertyName("Name");
             o.WriteCode(TValueCode::LString);
             o.WriteU32(0x7FFFFFFFu);
         },
         "Stream read error"},
        {"huge wide string",
         [](TObjectWriter& o) {
             o.WritePropertyName("Name");
             o.WriteCode(TValueCode::WString);
             o.WriteU32(0xFFFFFFFFu);
         },
         "Stream read error"},
    };
    for (const Case& c : cases) {
        const auto bytes = HandMadeArchive([&](TObjectWriter& out) {
            out.BeginItem();
            c.Property(out);
            out.WriteEndOfList();
        });
        EXPECT_EQ(ImageReadFailure(bytes), c.Message) << c.What;
    }
}

TEST(ArchiveContainer, UnknownRootPropertyAndChildObjectsFail) {
    auto stream = [](const std::function<void(TObjectWriter&)>& body) {
        TObjectWriter o;
        for (char c : std::string("TPF0"))
            o.WriteU8(static_cast<uint8_t>(c));
        o.WriteShortString("TPictureCollectionComponent");
        o.WriteShortString("");
        body(o);
        auto bytes = Header("X");
        bytes.insert(bytes.end(), o.Bytes().begin(), o.Bytes().end());
        return bytes;
    };
    EXPECT_EQ(ImageReadFailure(stream([](TObjectWriter& o) {
                  o.WritePropertyName("Items");
                  o.WriteInteger(0);
              })),
              "Property Items does not exist");
    EXPECT_EQ(ImageReadFailure(stream([](TObjectWriter& o) {
                  o.WriteEndOfList();
                  o.WriteShortString("TChild");
                  o.WriteShortString("Child1");
                  o.WritePropertyName("Left");
                  o.WriteInteger(1);
              })),
              "Property Left does not exist");
    // Deeply nested empty children end at a depth limit instead of the stack's.
    EXPECT_EQ(ImageReadFailure(stream([](TObjectWriter& o) {
                  o.WriteEndOfList();
                  for (int i = 0; i < 100000; ++i) {
                      o.WriteShortString("T");
                      o.WriteShortString("");
                      o.WriteEndOfList();
                  }
              })),
              "Invalid stream format");
}

TEST(ArchiveContainer, AcceptsTheOptionalFormsOfTheStream) {
    // Object prefix with an order value, a colour table, order hints before items,
    // wide and UTF-8 names, a four-byte integer, an identifier in another case.
    TObjectWriter o;
    for (char c : std::string("TPF0"))
        o.WriteU8(static_cast<uint8_t>(c));
    o.WriteU8(0xF2);
    o.WriteInteger(5);
    o.WriteShortString("TPictureCollectionComponent");
    o.WriteShortString("Res1");
    o.WritePropertyName("List.ColorTable");
    o.WriteBinary(std::vector<uint8_t>(1024, 7));
    o.WritePropertyName("List");
    o.BeginCollection();
    o.WriteInteger(0);
    o.BeginItem();
    o.WritePropertyName("name");
    o.WriteCode(TValueCode::WString);
    o.WriteU32(4);
    for (uint8_t b : std::vector<uint8_t>{'C', 0, 'a', 0, 'f', 0, 0xE9, 0})
        o.WriteU8(b);
    o.WritePropertyName("TRANSPARENTCOLOR");
    o.WriteIdentifier("CLFUCHSIA");
    o.WriteEndOfList();
    o.WriteInteger(1);
    o.BeginItem();
    o.WritePropertyName("Name");
    o.WriteCode(TValueCode::Utf8String);
    const std::string euro = "\xE2\x82\xAC 5";
    o.WriteU32(static_cast<uint32_t>(euro.size()));
    for (char c : euro)
        o.WriteU8(static_cast<uint8_t>(c));
    o.WritePropertyName("PatternWidth");
    o.WriteCode(TValueCode::Int32);
    o.WriteU32(7);
    o.WriteEndOfList();
    o.WriteEndOfList();
    o.WriteEndOfList();
    o.WriteEndOfList();
    auto bytes = Header("RES1");
    bytes.insert(bytes.end(), o.Bytes().begin(), o.Bytes().end());

    const auto items = ReadImageArchive(bytes);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Name, "Caf\xE9");
    EXPECT_EQ(items[0].TransparentColor, 0xFF00FF);
    EXPECT_EQ(items[1].Name, "\x80 5");
    EXPECT_EQ(items[1].PatternWidth, 7);
}

TEST(ArchiveColors, FuchsiaIsWrittenAsItsIdentifierAndColoursResolve) {
    TImageArchiveItem item;
    item.Name = "Key";
    item.TransparentColor = 0xFF00FF;
    const auto bytes = WriteImageArchive({item});
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find(std::string("\x07\x09") + "clFuchsia"), std::string::npos);
    EXPECT_EQ(ReadImageArchive(bytes)[0].TransparentColor, 0xFF00FF);

    EXPECT_EQ(ColorValueToRGB(0xFF00FF), 0xFF00FFu);
    EXPECT_EQ(ColorValueToRGB(0x0000FF), 0xFF0000u); // clRed is stored blue-green-red
    EXPECT_EQ(ColorValueToRGB(0x563412), 0x123456u);
    EXPECT_EQ(ColorValueToRGB(*ColorFromIdent("clBtnFace")), 0xD4D0C8u);
    EXPECT_EQ(ColorValueToRGB(static_cast<int32_t>(0xFF00000Fu)), 0xD4D0C8u); // newer system-colour code
    EXPECT_EQ(ColorValueToRGB(static_cast<int32_t>(0x800000FFu)), 0u);        // no such system colour
    EXPECT_EQ(ColorToIdent(0x123456), std::nullopt);
}

TEST(ArchiveFiles, OpenFailureNamesTheFileAndReadFailuresKeepIt) {
    try {
        ReadImageArchive(std::string("/nonexistent/Res1.dxg"));
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file \"/nonexistent/Res1.dxg\". No such file or directory");
    }
    const std::string path = (std::filesystem::temp_directory_path() / "archive_test_file.dxg").string();
    TImageArchiveItem item;
    item.Name = "Broken";
    item.Picture = SmallPicture();
    WriteImageArchiveFile(path, {item});
    EXPECT_EQ(ReadImageArchive(path)[0].Name, "Broken");
    auto bytes = WriteImageArchive({item});
    bytes.resize(bytes.size() - 10);
    WriteArchiveFile(path, bytes);
    try {
        ReadImageArchive(path);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
        EXPECT_EQ(e.FileName(), path);
        EXPECT_EQ(e.ItemName(), "Broken");
    }
    std::remove(path.c_str());
}

TEST(WaveArchive, RoundTripAndStoredValues) {
    std::vector<TWaveArchiveItem> items(2);
    items[0].Name = "Engine";
    items[0].Looped = true;
    items[0].Wave = {'R', 'I', 'F', 'F', 1, 2, 3};
    items[1].Name = "Money";
    items[1].MaxPlayingCount = 3;
    const auto read = ReadWaveArchive(WriteWaveArchive(items));
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].Name, "Engine");
    EXPECT_TRUE(read[0].Looped);
    EXPECT_EQ(read[0].Wave, items[0].Wave);
    EXPECT_EQ(read[1].MaxPlayingCount, 3);
    EXPECT_FALSE(read[1].Looped);
    EXPECT_TRUE(read[1].Wave.empty());

    // A negative count is kept as 0; a picture property does not exist on a sound.
    const auto negative = WriteArchiveContainer("TWaveCollectionComponent", [](TObjectWriter& o) {
        o.BeginItem();
        o.WritePropertyName("MaxPlayingCount");
        o.WriteInteger(-4);
        o.WriteEndOfList();
    });
    EXPECT_EQ(ReadWaveArchive(negative)[0].MaxPlayingCount, 0);
    const auto pictureInSounds = WriteArchiveContainer("TWaveCollectionComponent", [](TObjectWriter& o) {
        o.BeginItem();
        o.WritePropertyName("PatternWidth");
        o.WriteInteger(1);
        o.WriteEndOfList();
    });
    try {
        ReadWaveArchive(pictureInSounds);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Property PatternWidth does not exist");
    }
}

} // namespace
