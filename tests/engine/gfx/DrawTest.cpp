#include "engine/gfx/Draw.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A source whose pixel value encodes its column, row by row: value = 1 + x + 100 * y.
void Number(TDirectDrawSurface& s, int w, int h) {
    s.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.Row(y)[x] = static_cast<uint16_t>(1 + x + 100 * y);
}

int CountNonZero(const TDirectDrawSurface& s) {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            n += s.PixelAt(x, y) != 0;
    return n;
}

TEST(DrawSurface, ClipsAgainstTheDestination) {
    TDirectDrawSurface src;
    Number(src, 32, 32);
    TDirectDrawSurface dest(100, 50);

    DrawSurface(dest, -10, 0, TRect{0, 0, 32, 32}, &src, false); // left edge
    EXPECT_EQ(dest.PixelAt(0, 0), 1 + 10);
    EXPECT_EQ(dest.PixelAt(21, 31), 1 + 31 + 3100);
    EXPECT_EQ(dest.PixelAt(22, 0), 0);
    EXPECT_EQ(CountNonZero(dest), 22 * 32);

    dest.Fill(0);
    DrawSurface(dest, 90, 40, TRect{0, 0, 32, 32}, &src, false); // bottom-right corner
    EXPECT_EQ(dest.PixelAt(90, 40), 1);
    EXPECT_EQ(dest.PixelAt(99, 49), 1 + 9 + 900);
    EXPECT_EQ(CountNonZero(dest), 10 * 10);

    dest.Fill(0);
    DrawSurface(dest, 5, -30, TRect{0, 0, 32, 32}, &src, false); // top edge
    EXPECT_EQ(dest.PixelAt(5, 0), 1 + 3000);
    EXPECT_EQ(CountNonZero(dest), 32 * 2);

    dest.Fill(0);
    for (int x : {101, 100, -32, -40})
        DrawSurface(dest, x, 0, TRect{0, 0, 32, 32}, &src, false);
    DrawSurface(dest, 0, 51, TRect{0, 0, 32, 32}, &src, false);
    DrawSurface(dest, 0, 0, TRect{0, 0, 32, 32}, nullptr, false);
    EXPECT_EQ(CountNonZero(dest), 0);
}

TEST(DrawSurface, ClipsAgainstTheSource) {
    TDirectDrawSurface src;
    Number(src, 32, 32);
    TDirectDrawSurface dest(100, 100);
    // A rectangle reaching past the source's edges draws only what the source holds.
    DrawSurface(dest, 10, 10, TRect{-4, -2, 40, 33}, &src, false);
    EXPECT_EQ(dest.PixelAt(14, 12), 1);
    EXPECT_EQ(dest.PixelAt(13, 12), 0);
    EXPECT_EQ(dest.PixelAt(45, 43), 1 + 31 + 3100);
    EXPECT_EQ(CountNonZero(dest), 32 * 32);
}

TEST(DrawSurface, SkipsTheColourKey) {
    TDirectDrawSurface src;
    Number(src, 4, 1);
    src.SetColorKey(2);
    TDirectDrawSurface dest(4, 1);
    dest.Fill(9);
    DrawSurface(dest, 0, 0, TRect{0, 0, 4, 1}, &src, true);
    EXPECT_EQ(dest.PixelAt(0, 0), 1);
    EXPECT_EQ(dest.PixelAt(1, 0), 9);
    EXPECT_EQ(dest.PixelAt(2, 0), 3);
}

// Four quadrants of distinct colours: turned a quarter clockwise, each moves one place round.
TEST(DrawSurfaceRotated, QuarterTurnIsClockwiseAndFullTurnIsNone) {
    enum : uint16_t { TL = 1, TR = 2, BL = 3, BR = 4 };
    TDirectDrawSurface src(2, 2);
    src.Row(0)[0] = TL;
    src.Row(0)[1] = TR;
    src.Row(1)[0] = BL;
    src.Row(1)[1] = BR;
    auto quadrants = [](const TDirectDrawSurface& d) {
        return std::vector<uint16_t>{d.PixelAt(40, 40), d.PixelAt(60, 40), d.PixelAt(40, 60),
                                     d.PixelAt(60, 60)};
    };
    TDirectDrawSurface plain(100, 100);
    DrawSurfaceRotated(plain, 50, 50, 40, 40, TRect{0, 0, 2, 2}, &src, 0.5, 0.5, false, 0);
    EXPECT_EQ(quadrants(plain), (std::vector<uint16_t>{TL, TR, BL, BR}));
    EXPECT_EQ(plain.PixelAt(30, 30), TL);
    EXPECT_EQ(plain.PixelAt(29, 30), 0);
    EXPECT_EQ(plain.PixelAt(69, 69), BR);
    EXPECT_EQ(plain.PixelAt(30, 70), 0);
    EXPECT_EQ(plain.PixelAt(72, 50), 0);

    TDirectDrawSurface full(100, 100);
    DrawSurfaceRotated(full, 50, 50, 40, 40, TRect{0, 0, 2, 2}, &src, 0.5, 0.5, false, 256);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(full.PixelAt(x, y), plain.PixelAt(x, y)) << x << "," << y;

    TDirectDrawSurface quarter(100, 100);
    DrawSurfaceRotated(quarter, 50, 50, 40, 40, TRect{0, 0, 2, 2}, &src, 0.5, 0.5, false, 64);
    EXPECT_EQ(quadrants(quarter), (std::vector<uint16_t>{BL, TL, BR, TR}));
}

TEST(DrawSurfaceRotated, ScalesAroundThePivotAndRespectsTheKey) {
    TDirectDrawSurface src(4, 2);
    src.Fill(7);
    src.Row(0)[0] = 5;
    src.SetColorKey(5);
    TDirectDrawSurface dest(100, 100);
    // Pivot at the picture's top-left corner: the 8 × 4 scaled picture starts at (10, 20).
    DrawSurfaceRotated(dest, 10, 20, 8, 4, TRect{0, 0, 4, 2}, &src, 0, 0, true, 0);
    EXPECT_EQ(dest.PixelAt(10, 20), 0); // keyed texel, scaled to 2 × 2
    EXPECT_EQ(dest.PixelAt(11, 21), 0);
    EXPECT_EQ(dest.PixelAt(12, 20), 7);
    EXPECT_EQ(dest.PixelAt(17, 23), 7);
    EXPECT_EQ(CountNonZero(dest), 8 * 4 - 4);
}

// Neither turned nor scaled, a turned draw is the picture copied as it is, its pivot at (x, y),
// from the left edge and between the top and bottom of the box its corners make (which drops the
// last row when the pivot falls inside a pixel): keyed or not, from a part of the source, clipped
// at every edge.
TEST(DrawSurfaceRotated, UnturnedAndUnscaledIsAPlainCopyAroundThePivot) {
    TDirectDrawSurface src;
    Number(src, 40, 30);
    src.SetColorKey(static_cast<uint16_t>(1 + 7 + 100 * 3));
    src.Row(5)[9] = src.ColorKey();
    src.Row(20)[30] = src.ColorKey();
    const TRect part{3, 2, 36, 27}; // 33 × 25
    constexpr int kW = 33, kH = 25;
    constexpr uint16_t kBack = 0xABCD;
    for (const bool keyed : {false, true}) {
        for (const auto& [cx, cy] : {std::pair{0.5, 0.5}, std::pair{0.0, 0.0}, std::pair{0.3, 0.7}}) {
            for (const auto& [x, y] :
                 {std::pair{30, 20}, std::pair{2, 3}, std::pair{58, 45}, std::pair{-20, -15}}) {
                const int left = x + static_cast<int>(std::trunc(-kW * cx));
                const int top = y + static_cast<int>(std::trunc(-kH * cy));
                const int bottom = y + static_cast<int>(std::trunc(kH - kH * cy));
                TDirectDrawSurface plain(60, 50);
                plain.Fill(kBack);
                DrawSurface(plain, x - static_cast<int>(kW * cx), y - static_cast<int>(kH * cy), part, &src,
                            keyed);
                for (const int angle : {0, 256}) {
                    TDirectDrawSurface turned(60, 50);
                    turned.Fill(kBack);
                    DrawSurfaceRotated(turned, x, y, kW, kH, part, &src, cx, cy, keyed, angle);
                    for (int py = 0; py < 50; ++py)
                        for (int px = 0; px < 60; ++px) {
                            const bool inBox = px >= left && py >= top && py < bottom;
                            ASSERT_EQ(turned.PixelAt(px, py), inBox ? plain.PixelAt(px, py) : kBack)
                                << "keyed " << keyed << ", pivot " << cx << "," << cy << ", at " << x << ","
                                << y << ", angle " << angle << ": pixel " << px << "," << py;
                        }
                }
            }
        }
    }
}

TEST(DrawSurfaceRotated, ClipsAndRejectsBadInput) {
    TDirectDrawSurface src(10, 10);
    src.Fill(3);
    TDirectDrawSurface dest(20, 20);
    DrawSurfaceRotated(dest, 0, 0, 10, 10, TRect{0, 0, 10, 10}, &src, 0.5, 0.5, false, 32); // at the corner
    EXPECT_GT(CountNonZero(dest), 0);
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(dest.PixelAt(x, 19), 0);
    dest.Fill(0);
    DrawSurfaceRotated(dest, 200, 200, 10, 10, TRect{0, 0, 10, 10}, &src, 0.5, 0.5, false, 10);
    DrawSurfaceRotated(dest, 10, 10, 0, 10, TRect{0, 0, 10, 10}, &src, 0.5, 0.5, false, 10);
    DrawSurfaceRotated(dest, 10, 10, 10, 10, TRect{0, 0, 11, 10}, &src, 0.5, 0.5, false, 10);
    DrawSurfaceRotated(dest, 10, 10, 10, 10, TRect{5, 5, 5, 10}, &src, 0.5, 0.5, false, 10);
    DrawSurfaceRotated(dest, 10, 10, 10, 10, TRect{0, 0, 10, 10}, nullptr, 0.5, 0.5, false, 10);
    EXPECT_EQ(CountNonZero(dest), 0);
}

TEST(DrawSurfaceRotated, EveryAngleStaysInsideTheSurface) {
    TDirectDrawSurface src(84, 120);
    src.Fill(1);
    TDirectDrawSurface dest(100, 100);
    for (int angle = -300; angle < 300; angle += 7)
        for (int pos : {-30, 0, 50, 99, 130})
            DrawSurfaceRotated(dest, pos, pos / 2, 84, 120, TRect{0, 0, 84, 120}, &src, 0.5, 0.5, true,
                               angle);
    SUCCEED(); // run under the sanitizers, this is the out-of-bounds check
}

TEST(Surface, FillSetsEveryPixel) {
    // Values whose two bytes are equal and values whose bytes differ take different ways.
    for (uint16_t value : {0x0000, 0x0101, 0xFFFF, 0x1234, 0x00FF, 0xF800}) {
        TDirectDrawSurface s(13, 7);
        s.Row(3)[5] = 0x5555;
        s.Fill(value);
        int wrong = 0;
        for (int y = 0; y < s.Height(); ++y)
            for (int x = 0; x < s.Width(); ++x)
                wrong += s.PixelAt(x, y) != value;
        EXPECT_EQ(wrong, 0) << "value " << value;
    }
    TDirectDrawSurface empty;
    empty.Fill(0x1234); // nothing to fill, nothing happens
    EXPECT_TRUE(empty.Empty());
}

TEST(FillRect, ClipsToTheSurface) {
    TDirectDrawSurface dest(20, 10);
    FillRect(dest, TRect{-50, 0, -10, 10}, 7); // wholly left of the surface
    FillRect(dest, TRect{30, 0, 40, 10}, 7);   // wholly right of it
    FillRect(dest, TRect{0, -20, 20, -5}, 7);  // wholly above it
    EXPECT_EQ(CountNonZero(dest), 0);
    FillRect(dest, TRect{-5, 8, 3, 30}, 7);
    EXPECT_EQ(CountNonZero(dest), 3 * 2);
    EXPECT_EQ(dest.PixelAt(2, 9), 7);
}

// A shade mixes its colour in by its amount and keeps what lies beneath; outside its rectangle,
// and with amount 0, nothing changes.
TEST(ShadeRect, MixesItsColourInWithinTheClippedRectangle) {
    TDirectDrawSurface dest(20, 10);
    const uint16_t white = 0xFFFF;
    dest.Fill(white);
    ShadeRect(dest, TRect{-5, -5, 10, 4}, 0x0000, 128);
    const uint16_t half = dest.PixelAt(0, 0);
    EXPECT_EQ(half >> 11, 15) << "red halfway to black";
    EXPECT_EQ((half >> 5) & 63, 31) << "green halfway to black";
    EXPECT_EQ(dest.PixelAt(9, 3), half);
    EXPECT_EQ(dest.PixelAt(10, 3), white);
    EXPECT_EQ(dest.PixelAt(9, 4), white);
    ShadeRect(dest, TRect{0, 0, 20, 10}, 0x0000, 0);
    EXPECT_EQ(dest.PixelAt(15, 8), white);
    ShadeRect(dest, TRect{0, 0, 20, 10}, 0x001F, 255);
    EXPECT_EQ(dest.PixelAt(15, 8), 0x001F);
}

} // namespace
