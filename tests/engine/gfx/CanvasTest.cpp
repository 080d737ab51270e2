#include "engine/gfx/Canvas.h"
#include "engine/gfx/Cp1252.h"
#include "engine/gfx/Surface.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

int CountPixels(const TDirectDrawSurface& s, uint16_t value) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            n += s.PixelAt(x, y) == value;
    return n;
}

TEST(Canvas, DrawsTextInTheFontColour) {
    TDirectDrawSurface surface(300, 100);
    TCanvas& canvas = surface.Canvas();
    canvas.Font.Name = "Arial";
    canvas.Font.Size = 20;
    canvas.Font.Bold = true;
    canvas.Font.Color = RGBColor(255, 255, 0);
    canvas.BrushStyle = TBrushStyle::bsClear;
    canvas.TextOut(10, 10, "Score 1234");
    canvas.Release();
    const uint16_t yellow = RGBTo565(255, 255, 0);
    EXPECT_GT(CountPixels(surface, yellow), 50);
    // Antialiased edges mix into the background; nothing else is drawn.
    for (int y = 0; y < surface.Height(); ++y)
        for (int x = 0; x < surface.Width(); ++x) {
            uint16_t p = surface.PixelAt(x, y);
            ASSERT_EQ(Blue565(p), 0) << x << "," << y;
            if (x < 10 || y < 10) {
                ASSERT_EQ(p, 0) << x << "," << y;
            }
        }
}

TEST(Canvas, WidthGrowsWithTheTextAndTheSize) {
    TDirectDrawSurface surface(10, 10);
    TCanvas& canvas = surface.Canvas();
    canvas.Font.Name = "Times New Roman";
    canvas.Font.Size = 12;
    int one = canvas.TextWidth("W");
    int four = canvas.TextWidth("WWWW");
    EXPECT_GT(one, 0);
    EXPECT_GT(four, 3 * one);
    EXPECT_EQ(canvas.TextWidth(""), 0);
    canvas.Font.Size = 24;
    EXPECT_GT(canvas.TextWidth("WWWW"), four);
    EXPECT_GT(canvas.TextHeight("W"), 20);
}

// Fonts are looked up once each; going back and forth between them, each text is still measured
// in the font asked for, whichever field tells them apart.
TEST(Canvas, EachFontKeepsItsOwnMeasuresWhenFontsTakeTurns) {
    TDirectDrawSurface surface(10, 10);
    TCanvas& canvas = surface.Canvas();
    struct TFont {
        const char* Name;
        int Size;
        bool Bold;
        TFontPitch Pitch;
    };
    const TFont fonts[] = {{"Arial", 12, false, TFontPitch::fpDefault},
                           {"Arial", 24, false, TFontPitch::fpDefault},
                           {"Arial", 12, true, TFontPitch::fpDefault},
                           {"Times New Roman", 12, false, TFontPitch::fpDefault},
                           {"Arial", 12, false, TFontPitch::fpFixed}};
    auto measure = [&](const TFont& f) {
        canvas.Font.Name = f.Name;
        canvas.Font.Size = f.Size;
        canvas.Font.Bold = f.Bold;
        canvas.Font.Pitch = f.Pitch;
        return std::pair{canvas.TextWidth("Wiggly 0123"), canvas.TextHeight("Wiggly 0123")};
    };
    std::vector<std::pair<int, int>> first;
    for (const TFont& f : fonts)
        first.push_back(measure(f));
    EXPECT_GT(first[1].first, first[0].first) << "larger";
    EXPECT_GT(first[2].first, first[0].first) << "bold";
    EXPECT_NE(first[3].first, first[0].first) << "another family";
    for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < std::size(fonts); ++i)
            EXPECT_EQ(measure(fonts[(i * 3 + round) % std::size(fonts)]),
                      first[(i * 3 + round) % std::size(fonts)]);
}

TEST(Canvas, EveryGameFontAndUnknownFamiliesDraw) {
    for (const char* family :
         {"Arial", "Arial Black", "Times New Roman", "DS Crystal", "No Such Font 42", ""}) {
        TDirectDrawSurface surface(200, 60);
        TCanvas& canvas = surface.Canvas();
        canvas.Font.Name = family;
        canvas.Font.Size = 14;
        canvas.Font.Color = RGBColor(255, 255, 255);
        canvas.BrushStyle = TBrushStyle::bsClear;
        canvas.TextOut(2, 2, "LEVEL 3");
        EXPECT_GT(CountPixels(surface, 0xFFFF), 0) << family;
        EXPECT_GT(canvas.TextWidth("LEVEL 3"), 0) << family;
    }
}

TEST(Canvas, SolidBrushPaintsBehindTheText) {
    TDirectDrawSurface surface(200, 60);
    TCanvas& canvas = surface.Canvas();
    canvas.Font.Size = 12;
    canvas.BrushStyle = TBrushStyle::bsSolid;
    canvas.BrushColor = RGBColor(0, 0, 255);
    canvas.TextOut(-5, 50, "clipped at both edges");
    EXPECT_EQ(surface.PixelAt(0, 59), RGBTo565(0, 0, 255));
    EXPECT_EQ(surface.PixelAt(0, 49), 0);
}

TEST(Cp1252, RoundTripsThroughUtf8) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        if (c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D)
            all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80 \xE9\xFC"), "\u20AC \u00E9\u00FC");
    EXPECT_EQ(Cp1252ToUtf8("a\x81z"), "az"); // undefined byte dropped
    EXPECT_EQ(Utf8ToCp1252("\u0160\u2122"), "\x8A\x99");
    EXPECT_EQ(Utf8ToCp1252("a\u4E2Db\U0001F600c"), "abc"); // missing from the code page
    EXPECT_EQ(Utf8ToCp1252("x\xC3"), "x");                 // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xFFok\x80"), "ok");           // stray bytes
}

} // namespace
