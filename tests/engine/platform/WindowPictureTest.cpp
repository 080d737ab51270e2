#include "engine/platform/WindowPicture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kWhite = 0xFFFF;
constexpr uint16_t kRed = 0xF800;
constexpr uint16_t kBlue = 0x001F;

TPixelConverter Xrgb() {
    TPixelConverter c;
    c.Prepare(16, 8, 0);
    return c;
}

// A window's pixels with a pitch wider than its width, so rows are addressed by pitch; by
// default an odd number of words, so rows start on and off 16-byte boundaries.
struct TWindow {
    int W, H, Pitch; // Pitch in words
    std::vector<uint32_t> Pixels;
    TWindow(int w, int h, int pitch = 0)
        : W(w), H(h), Pitch(pitch ? pitch : w + 3), Pixels(static_cast<size_t>(Pitch) * h, 0xDEADBEEF) {}
    TWindowPixels Lend() { return TWindowPixels{reinterpret_cast<uint8_t*>(Pixels.data()), Pitch * 4, W, H}; }
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Pitch + x]; }
};

struct TSource {
    int W, H;
    std::vector<uint16_t> Pixels;
    TSource(int w, int h, uint16_t fill = 0) : W(w), H(h), Pixels(static_cast<size_t>(w) * h, fill) {}
    uint16_t& At(int x, int y) { return Pixels[static_cast<size_t>(y) * W + x]; }
    uint16_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * W + x]; }
};

void DrawAll(TWindowPicture& picture, TWindow& window, const TSource& source, const TScreenRect& view) {
    picture.Place(view, window.W, window.H, source.W, source.H);
    picture.Draw(window.Lend(), Xrgb(), source.Pixels.data(), source.W, {}, true);
}

TEST(PixelConverter, RowsConvertAsSinglePixelsDoInEveryLayout) {
    std::vector<uint16_t> all(65536 + 5);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint16_t>(i * 40503U);
    for (const auto& [r, g, b] : {std::array{16, 8, 0}, std::array{0, 8, 16}, std::array{24, 16, 8}}) {
        TPixelConverter c;
        c.Prepare(r, g, b);
        std::vector<uint32_t> row(all.size());
        c.ConvertRow(all.data(), row.data(), static_cast<int>(all.size()));
        for (size_t i = 0; i < all.size(); ++i)
            ASSERT_EQ(row[i], c.Convert(all[i]))
                << "pixel " << all[i] << " at shifts " << r << "," << g << "," << b;
    }
    TPixelConverter c;
    c.Prepare(16, 8, 0);
    EXPECT_EQ(c.Convert(0xF800), 0x00FF0000U);
    EXPECT_EQ(c.Convert(0x07E0), 0x0000FF00U);
    EXPECT_EQ(c.Convert(0x001F), 0x000000FFU);
    EXPECT_EQ(c.Convert(0x8410), 0x00848284U); // mid grey: the high bits fill the low ones
}

// Runs of every length from every place, each pixel made a k × k block, in rows whose pitch is
// and is not a multiple of 16 bytes: the blocks hold the pixels converted one by one, and nothing
// around them is written. (Long runs in the usual layout are streamed from a 16- or 32-byte
// boundary on, sixteen pixels at a time where the processor can, else eight.)
TEST(PixelConverter, BlocksHoldThePixelsAtEveryFactorPlaceAndLength) {
    std::vector<uint16_t> source(300);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint16_t>(i * 40503U + 11);
    constexpr uint32_t kGuard = 0xDEADBEEF;
    // count pixels from source[from] at word `at` of a window whose rows are pitchWords apart.
    auto check = [&](const TPixelConverter& c, int k, int count, int pitchWords, int at, int from) {
        std::vector<uint32_t> window(static_cast<size_t>(pitchWords) * (k + 1) + 16, kGuard);
        const size_t first = 4 + static_cast<size_t>(at); // the vector itself is 16-byte aligned
        c.ConvertBlocks(source.data() + from, reinterpret_cast<uint8_t*>(window.data() + first),
                        static_cast<size_t>(pitchWords) * 4, count, k);
        TPixelConverter::FinishWrites();
        for (size_t w = 0; w < window.size(); ++w) {
            const int64_t offset = static_cast<int64_t>(w) - static_cast<int64_t>(first);
            const int64_t row = offset >= 0 ? offset / pitchWords : -1;
            const int64_t x = offset >= 0 ? offset % pitchWords : -1;
            const bool inside = row >= 0 && row < k && x < count * k;
            if (window[w] != (inside ? c.Convert(source[from + x / k]) : kGuard))
                return "word " + std::to_string(offset) + (inside ? " is wrong" : " was written");
        }
        return std::string();
    };
    for (const bool wide : {true, false}) {
        TPixelConverter::AllowWideVectors(wide);
        for (const auto& [r, g, b] : {std::array{16, 8, 0}, std::array{0, 8, 16}}) {
            TPixelConverter c;
            c.Prepare(r, g, b);
            for (int k = 1; k <= 4; ++k)
                for (const int count : {0, 1, 7, 8, 9, 63, 64, 65, 71, 130})
                    // A pitch that is a multiple of 32 bytes, of 16 only, or of neither.
                    for (const int extra : {0, 4, 1})
                        for (int at = 0; at < 8; ++at)
                            for (int from = 0; from < 8; from += 3) {
                                const int pitchWords = (count * k + 8 + 7) / 8 * 8 + extra;
                                ASSERT_EQ(check(c, k, count, pitchWords, at, from), "")
                                    << "shifts " << r << "," << g << "," << b
                                    << (wide ? ", widest vectors" : "") << ", " << k << "x, " << count
                                    << " pixels from " << from << " at word " << at << ", pitch "
                                    << pitchWords;
                            }
        }
    }
    TPixelConverter::AllowWideVectors(true);
}

TEST(WindowPicture, WholeFactorMakesBlocksAndSendsOnlyTheChangedParts) {
    TSource source(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            source.At(x, y) = static_cast<uint16_t>((y * 4 + x) * 0x0841);
    TWindow window(10, 8);
    TWindowPicture picture;
    DrawAll(picture, window, source, TScreenRect{1, 1, 8, 6});
    const TPixelConverter c = Xrgb();
    EXPECT_EQ(picture.Factor(), 2);
    EXPECT_TRUE(picture.WroteWhole());
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inView = x >= 1 && x < 9 && y >= 1 && y < 7;
            const uint32_t expected = inView ? c.Convert(source.At((x - 1) / 2, (y - 1) / 2)) : 0U;
            ASSERT_EQ(window.At(x, y), expected) << x << "," << y;
        }
    }

    source.At(2, 1) = kWhite;
    picture.Draw(window.Lend(), c, source.Pixels.data(), source.W, {TPresentRect{2, 1, 1, 1}}, false);
    EXPECT_FALSE(picture.WroteWhole());
    ASSERT_EQ(picture.Rects().size(), 1U);
    EXPECT_EQ(picture.Rects()[0], (TScreenRect{5, 3, 2, 2}));
    EXPECT_EQ(window.At(6, 4), 0x00FFFFFFU);
}

TEST(WindowPicture, ChangedPartsAtEveryWholeFactorLandAsBlocks) {
    for (int k = 1; k <= 4; ++k) {
        TSource source(7, 4);
        for (size_t i = 0; i < source.Pixels.size(); ++i)
            source.Pixels[i] = static_cast<uint16_t>(i * 2311U);
        TWindow window(7 * k + 2, 4 * k);
        TWindowPicture picture;
        DrawAll(picture, window, source, TScreenRect{2, 0, 7 * k, 4 * k});
        for (int x = 2; x < 6; ++x)
            source.At(x, 2) = static_cast<uint16_t>(0xF000 + x);
        picture.Draw(window.Lend(), Xrgb(), source.Pixels.data(), source.W, {TPresentRect{2, 2, 4, 1}},
                     false);
        const TPixelConverter c = Xrgb();
        for (int y = 0; y < 4 * k; ++y)
            for (int x = 0; x < 7 * k; ++x)
                ASSERT_EQ(window.At(2 + x, y), c.Convert(source.At(x / k, y / k)))
                    << k << "x at " << x << "," << y;
    }
}

// What a window sent only Rects() (all of it when written whole) ends up showing: the view's
// pixels are copied from what was written into the window, the rest stays as it was.
void Send(const TWindowPicture& picture, const TWindow& written, TWindow& screen) {
    if (picture.WroteWhole()) {
        screen.Pixels = written.Pixels;
        return;
    }
    for (const TScreenRect& r : picture.Rects()) {
        ASSERT_GE(r.X, picture.View().X);
        ASSERT_GE(r.Y, picture.View().Y);
        ASSERT_LE(r.X + r.W, picture.View().X + picture.View().W);
        ASSERT_LE(r.Y + r.H, picture.View().Y + picture.View().H);
        for (int y = r.Y; y < r.Y + r.H; ++y)
            for (int x = r.X; x < r.X + r.W; ++x)
                screen.Pixels[static_cast<size_t>(y) * screen.Pitch + x] = written.At(x, y);
    }
}

void ExpectShows(const TWindow& screen, const TSource& source, const TScreenRect& view, int k,
                 const std::string& what) {
    const TPixelConverter c = Xrgb();
    for (int y = 0; y < view.H; ++y)
        for (int x = 0; x < view.W; ++x)
            ASSERT_EQ(screen.At(view.X + x, view.Y + y), c.Convert(source.At(x / k, y / k)))
                << what << " at " << x << "," << y;
}

// Random changes in random parts that cover them, at every whole factor and at places on and off
// the window's 16-byte grid, parts long enough to be streamed among them: the window, sent only
// the rectangles written, shows the picture, and so does one that lost its picture and was sent
// it whole.
TEST(WindowPicture, ChangedPartsEndAsAWholeDrawWould) {
    uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525U + 1013904223U;
        return seed >> 8;
    };
    for (int k = 1; k <= 3; ++k) {
        constexpr int kW = 150;
        constexpr int kH = 20;
        TSource source(kW, kH);
        for (uint16_t& p : source.Pixels)
            p = static_cast<uint16_t>(next());
        const TScreenRect view{k, 1, kW * k, kH * k};
        TWindow window(kW * k + 4, kH * k + 1, (kW * k + 4 + 3) / 4 * 4); // rows 16-byte aligned
        TWindow screen = window;
        TWindowPicture picture;
        DrawAll(picture, window, source, view);
        Send(picture, window, screen);
        for (int round = 0; round < 60; ++round) {
            std::vector<TPresentRect> parts;
            int top = 0;
            while (top < kH) {
                const int y = top + static_cast<int>(next() % 3);
                const int h = 1 + static_cast<int>(next() % 5);
                if (y >= kH)
                    break;
                const int x = static_cast<int>(next() % kW);
                const int w = 1 + static_cast<int>(next() % static_cast<uint32_t>(kW - x));
                TPresentRect part{x, y, w, std::min(h, kH - y)};
                parts.push_back(part);
                // A few pixels of the part change, sometimes to what they were.
                for (int n = static_cast<int>(next() % 4); n > 0; --n) {
                    const int px = part.X + static_cast<int>(next() % static_cast<uint32_t>(part.Width));
                    const int py = part.Y + static_cast<int>(next() % static_cast<uint32_t>(part.Height));
                    if (next() % 4)
                        source.At(px, py) = static_cast<uint16_t>(next());
                }
                top = part.Y + part.Height;
            }
            const bool lost = round % 17 == 16;
            if (lost)
                picture.Forget();
            picture.Draw(window.Lend(), Xrgb(), source.Pixels.data(), source.W, parts, false);
            EXPECT_EQ(picture.WroteWhole(), lost);
            Send(picture, window, screen);
            ExpectShows(screen, source, view, k, std::to_string(k) + "x, round " + std::to_string(round));
        }
    }
}

TEST(WindowPicture, SmoothFitOfOneColourIsThatColourEverywhereInTheView) {
    for (const TScreenRect view :
         {TScreenRect{0, 0, 7, 5}, TScreenRect{2, 0, 13, 10}, TScreenRect{0, 1, 3, 2}}) {
        TSource source(4, 3, 0x7BEF);
        TWindow window(view.X + view.W + 1, view.Y + view.H);
        TWindowPicture picture;
        DrawAll(picture, window, source, view);
        EXPECT_EQ(picture.Factor(), 0);
        const uint32_t grey = Xrgb().Convert(0x7BEF);
        for (int y = view.Y; y < view.Y + view.H; ++y)
            for (int x = view.X; x < view.X + view.W; ++x)
                ASSERT_EQ(window.At(x, y), grey) << view.W << "x" << view.H << " at " << x << "," << y;
        EXPECT_EQ(window.At(view.X + view.W, view.Y), 0U) << "the bar beside the view is cleared";
    }
}

TEST(WindowPicture, SmoothFitBlendsNeighboursWithoutMixingChannels) {
    // Red beside blue, three times as wide: the edges keep their colours, the middle is a
    // mixture of red and blue only, with no green from one channel's carry into the next.
    TSource source(2, 1);
    source.At(0, 0) = kRed;
    source.At(1, 0) = kBlue;
    TWindow window(6, 1);
    TWindowPicture picture;
    DrawAll(picture, window, source, TScreenRect{0, 0, 6, 1});
    EXPECT_EQ(window.At(0, 0), 0x00FF0000U);
    EXPECT_EQ(window.At(5, 0), 0x000000FFU);
    uint32_t lastRed = 0xFF;
    for (int x = 1; x < 5; ++x) {
        const uint32_t p = window.At(x, 0);
        EXPECT_EQ(p & 0x0000FF00U, 0U) << x;
        EXPECT_NEAR(static_cast<int>(((p >> 16) & 0xFF) + (p & 0xFF)), 0xFF, 1) << x; // weights sum to one
        EXPECT_LE((p >> 16) & 0xFF, lastRed) << x;
        lastRed = (p >> 16) & 0xFF;
    }
}

// The smooth fit sends only the rows and columns that a change reaches; what the window ends up
// showing must be exactly what drawing the whole picture again gives.
TEST(WindowPicture, SmoothFitPartialDrawsEndAsAWholeDrawWould) {
    const TScreenRect view{3, 0, 43, 32};
    TSource source(20, 15);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525U + 1013904223U;
        return seed >> 8;
    };
    for (uint16_t& p : source.Pixels)
        p = static_cast<uint16_t>(next());
    TWindow window(50, 32);
    TWindowPicture picture;
    DrawAll(picture, window, source, view);
    for (int round = 0; round < 40; ++round) {
        const int x = static_cast<int>(next() % 20);
        const int y = static_cast<int>(next() % 15);
        const int w = 1 + static_cast<int>(next() % static_cast<uint32_t>(20 - x));
        const int h = 1 + static_cast<int>(next() % static_cast<uint32_t>(std::min(4, 15 - y)));
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx)
                source.At(xx, yy) = static_cast<uint16_t>(next());
        picture.Draw(window.Lend(), Xrgb(), source.Pixels.data(), source.W, {TPresentRect{x, y, w, h}},
                     false);
        ASSERT_FALSE(picture.WroteWhole());
        for (const TScreenRect& r : picture.Rects()) {
            ASSERT_GE(r.X, view.X);
            ASSERT_LE(r.X + r.W, view.X + view.W);
        }
        TWindow fresh(50, 32);
        TWindowPicture again;
        DrawAll(again, fresh, source, view);
        for (int wy = 0; wy < 32; ++wy)
            for (int wx = 0; wx < 50; ++wx)
                ASSERT_EQ(window.At(wx, wy), fresh.At(wx, wy))
                    << "round " << round << " at " << wx << "," << wy;
    }
}

TEST(WindowPicture, AViewOutsideTheWindowWritesNothing) {
    TSource source(4, 3, kWhite);
    TWindow window(4, 3);
    TWindowPicture picture;
    picture.Place(TScreenRect{2, 0, 4, 3}, 4, 3, 4, 3);
    picture.Draw(window.Lend(), Xrgb(), source.Pixels.data(), source.W, {}, true);
    EXPECT_EQ(window.At(0, 0), 0xDEADBEEFU);
    EXPECT_FALSE(picture.WroteWhole());
}

} // namespace
