// The picture generator: manifest checking, keying and matting, grid checks.
#include "Manifest.h"
#include "PictureBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace datagen;

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("datagen_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }
    static std::string Svg(int w, int h, const std::string& body) {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(w) + "\" height=\"" +
               std::to_string(h) + "\" viewBox=\"0 0 " + std::to_string(w) + " " + std::to_string(h) + "\">" +
               body + "</svg>";
    }
    std::string ErrorOf(const std::function<void()>& f) {
        try {
            f();
        } catch (const DataError& e) {
            return e.what();
        }
        return "(no error)";
    }
    fs::path dir_;
};

using ManifestTest = TempFolder;

TEST_F(ManifestTest, ReadsItemsOptionsAndComments) {
    auto file = Write("manifest.txt", "# menu pictures\n"
                                      "\n"
                                      "Back   back.svg  0 0 0 0  opaque   # the background\n"
                                      "Strip  sub/strip.svg 32 16 2 0 matte=#12aBef\n");
    auto items = ReadManifest(file);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].Name, "Back");
    EXPECT_TRUE(items[0].Opaque);
    EXPECT_EQ(items[0].Matte, kRiverWaterMatte);
    EXPECT_EQ(items[0].SvgFile, dir_ / "back.svg");
    EXPECT_EQ(items[1].SvgFile, dir_ / "sub/strip.svg");
    EXPECT_EQ(items[1].PatternWidth, 32);
    EXPECT_EQ(items[1].PatternHeight, 16);
    EXPECT_EQ(items[1].SkipWidth, 2);
    EXPECT_FALSE(items[1].Opaque);
    EXPECT_EQ(items[1].Matte, 0x12ABEFu);
    EXPECT_EQ(items[1].Where, "manifest.txt:4");
}

TEST_F(ManifestTest, RejectsBadLinesNamingTheLine) {
    struct Case {
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"A a.svg 0 0 0", "manifest.txt:2: expected"},
        {"A a.svg x 0 0 0", "manifest.txt:2: pattern width 'x'"},
        {"A a.svg -4 4 0 0", "manifest.txt:2: pattern width '-4'"},
        {"A a.svg 4 0 0 0", "manifest.txt:2: pattern width and height must both"},
        {"A a.svg 0 0 0 0 shiny", "manifest.txt:2: unknown option 'shiny'"},
        {"A a.svg 0 0 0 0 matte=#12345", "manifest.txt:2: matte colour '#12345'"},
        {"A a.svg 0 0 0 0 matte=#12345g", "manifest.txt:2: matte colour"},
        {"Bad-Name a.svg 0 0 0 0", "manifest.txt:2: picture name 'Bad-Name'"},
        {"First b.svg 0 0 0 0", "manifest.txt:2: picture name 'First' is listed twice"},
    };
    for (const auto& c : cases) {
        auto file = Write("manifest.txt", std::string("First f.svg 0 0 0 0\n") + c.line + "\n");
        EXPECT_NE(ErrorOf([&] { ReadManifest(file); }).find(c.expected), std::string::npos)
            << c.line << " gave: " << ErrorOf([&] { ReadManifest(file); });
    }
    EXPECT_NE(ErrorOf([&] { ReadManifest(Write("empty.txt", "# nothing\n")); }).find("lists no pictures"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { ReadManifest(dir_ / "absent.txt"); }).find("absent.txt: cannot open"),
              std::string::npos);
}

using BuildTest = TempFolder;

// A 4 × 1 picture: transparent, half-transparent white, opaque fuchsia, opaque green.
TEST_F(BuildTest, KeysMattesAndNudges) {
    Write("p.svg", Svg(4, 1,
                       "<rect x='1' width='1' height='1' fill='#ffffff' fill-opacity='0.5'/>"
                       "<rect x='2' width='1' height='1' fill='#ff00ff'/>"
                       "<rect x='3' width='1' height='1' fill='#00ff00'/>"));
    ManifestItem item;
    item.Name = "P";
    item.SvgFile = dir_ / "p.svg";
    item.Matte = 0x000080;
    item.Where = "manifest.txt:1";

    TImageArchiveItem keyed = BuildItem(item);
    ASSERT_TRUE(keyed.Picture);
    ASSERT_EQ(keyed.Picture->Pixels.size(), 4u);
    const auto& px = keyed.Picture->Pixels;
    EXPECT_TRUE(keyed.Transparent);
    EXPECT_EQ(keyed.TransparentColor, 0xFF00FF);
    EXPECT_EQ(px[0], kColourKey);
    // Half white over the navy matte.
    EXPECT_NEAR(static_cast<int>(px[1] >> 16), 128, 2);
    EXPECT_NEAR(static_cast<int>(px[1] & 0xFF), 192, 2);
    EXPECT_NE(px[2], kColourKey);
    EXPECT_FALSE(CollidesWithKey(px[2]));
    EXPECT_EQ(px[3], 0x00FF00u);

    item.Opaque = true;
    TImageArchiveItem opaque = BuildItem(item);
    EXPECT_FALSE(opaque.Transparent);
    EXPECT_EQ(opaque.Picture->Pixels[0], 0x000080u) << "an opaque picture shows its matte, not the key";
}

TEST_F(BuildTest, CollisionIsJudgedInSixteenBitColour) {
    EXPECT_TRUE(CollidesWithKey(0xFF00FF));
    EXPECT_TRUE(CollidesWithKey(0xF803F8)); // same 5-6-5 value
    EXPECT_FALSE(CollidesWithKey(0xF704F8));
    EXPECT_FALSE(CollidesWithKey(0xFF04FF));
}

TEST_F(BuildTest, RejectsFilesThatDoNotFit) {
    ManifestItem item;
    item.Name = "Strip";
    item.Where = "manifest.txt:7";

    item.SvgFile = dir_ / "missing.svg";
    EXPECT_NE(ErrorOf([&] { BuildItem(item); }).find("manifest.txt:7: picture 'Strip': file"),
              std::string::npos);

    item.SvgFile = Write("nosize.svg", "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'/>");
    EXPECT_NE(ErrorOf([&] { BuildItem(item); }).find("nosize.svg: the <svg> element needs width and height"),
              std::string::npos);

    item.SvgFile = Write("odd.svg", Svg(100, 30, ""));
    item.PatternWidth = 30;
    item.PatternHeight = 30;
    EXPECT_NE(
        ErrorOf([&] { BuildItem(item); }).find("manifest.txt:7: picture 'Strip' is 100 x 30, which is not"),
        std::string::npos);

    item.SvgFile = Write("broken.svg", "<svg");
    EXPECT_NE(ErrorOf([&] { BuildItem(item); }).find("broken.svg: cannot read the SVG"), std::string::npos);
}

TEST(PatternCount, CutsLikeTheGame) {
    struct Case {
        int w, h, pw, ph, sw, sh, expected;
    };
    const Case cases[] = {
        {96, 32, 32, 32, 0, 0, 3},  {230, 260, 230, 52, 0, 0, 5}, {98, 32, 32, 32, 1, 0, 3},
        {100, 32, 32, 32, 2, 0, 3}, {50, 40, 0, 0, 0, 0, 1},      {64, 64, 32, 32, 0, 0, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PatternCount(c.w, c.h, c.pw, c.ph, c.sw, c.sh), c.expected)
            << c.w << "x" << c.h << " by " << c.pw << "x" << c.ph << " skip " << c.sw;
}

} // namespace
