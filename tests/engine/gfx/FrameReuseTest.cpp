// Frames that repeat the previous one are left out; every other frame comes out exactly as if
// it had been drawn op by op.
#include "engine/gfx/Draw.h"
#include "engine/gfx/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kW = 40;
constexpr int kH = 30;

// Sources: a keyed sprite and an opaque picture.
struct TSources {
    TDirectDrawSurface Sprite{8, 8};
    TDirectDrawSurface Picture{kW, kH};
    TSources() {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                Sprite.Row(y)[x] = (x + y) % 3 == 0 ? 0xF81F : static_cast<uint16_t>(0x1000 + x * 8 + y);
        Sprite.SetColorKey(0xF81F);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                Picture.Row(y)[x] = static_cast<uint16_t>(x * 31 + y * 997);
    }
};

// A frame as a list of draws; Variant changes one detail.
using TFrame = std::function<void(TDirectDrawSurface&, TSources&)>;

TFrame Scene(int spriteX, bool withFill = true, int extraDraws = 0) {
    return [=](TDirectDrawSurface& s, TSources& src) {
        if (withFill)
            s.Fill(0);
        DrawSurface(s, 0, 0, TRect{0, 0, kW, kH}, &src.Picture, false);
        DrawSurface(s, spriteX, 5, TRect{0, 0, 8, 8}, &src.Sprite, true);
        DrawSurfaceRotated(s, 20, 15, 8, 8, TRect{0, 0, 8, 8}, &src.Sprite, 0.5, 0.5, true, 40);
        FillRect(s, TRect{1, 1, 4, 4}, 0x07E0);
        for (int i = 0; i < extraDraws; ++i)
            DrawSurface(s, 30, 20 + i, TRect{0, 0, 8, 8}, &src.Sprite, true);
    };
}

std::vector<uint16_t> PixelsOf(const TDirectDrawSurface& s) {
    const uint16_t* p = s.Pixels();
    return {p, p + static_cast<size_t>(s.Width()) * s.Height()};
}

// The same frame drawn on a surface of its own, with no frames: what must come out.
std::vector<uint16_t> Reference(const TFrame& frame, TSources& src) {
    TDirectDrawSurface s(kW, kH);
    s.Fill(0x5555); // whatever lay there before must not matter
    frame(s, src);
    return PixelsOf(s);
}

bool DrawFrame(TDirectDrawSurface& s, const TFrame& frame, TSources& src) {
    s.BeginFrame();
    frame(s, src);
    return s.EndFrame();
}

TEST(FrameReuse, ARepeatedFrameIsLeftOutAndAnyOtherIsDrawnInFull) {
    struct Case {
        const char* Name;
        TFrame Second;
        bool Repeated;
    };
    const Case cases[] = {
        {"the same frame", Scene(3), true},
        {"a sprite moved", Scene(4), false},
        {"one draw fewer", Scene(3, false), false},
        {"one draw more", Scene(3, true, 1), false},
    };
    for (const Case& c : cases) {
        TSources src;
        TDirectDrawSurface s(kW, kH);
        EXPECT_FALSE(DrawFrame(s, Scene(3), src)) << c.Name << ": the first frame";
        EXPECT_EQ(PixelsOf(s), Reference(Scene(3), src)) << c.Name;
        EXPECT_EQ(DrawFrame(s, c.Second, src), c.Repeated) << c.Name;
        EXPECT_EQ(PixelsOf(s), Reference(c.Second, src)) << c.Name;
    }
}

TEST(FrameReuse, ChangesOutsideTheDrawsAreNoticed) {
    struct Case {
        const char* Name;
        std::function<void(TDirectDrawSurface&, TSources&)> Between; // after the first frame
        std::function<void(TDirectDrawSurface&)> During;             // inside the second frame
    };
    const Case cases[] = {
        {"a source repainted in place",
         [](TDirectDrawSurface&, TSources& src) { src.Sprite.Row(2)[2] ^= 0x0841; }, nullptr},
        {"a source's colour key changed",
         [](TDirectDrawSurface&, TSources& src) { src.Sprite.SetColorKey(0x0000); }, nullptr},
        {"drawn on between frames",
         [](TDirectDrawSurface& s, TSources& src) {
             DrawSurface(s, 0, 0, TRect{0, 0, 8, 8}, &src.Sprite, false);
         },
         nullptr},
        {"pixels written between frames", [](TDirectDrawSurface& s, TSources&) { s.Row(7)[7] = 1; }, nullptr},
        {"pixels written within the frame", nullptr, [](TDirectDrawSurface& s) { s.Row(0)[39] = 0x1234; }},
    };
    for (const Case& c : cases) {
        TSources src;
        TDirectDrawSurface s(kW, kH);
        DrawFrame(s, Scene(3), src);
        if (c.Between)
            c.Between(s, src);
        s.BeginFrame();
        Scene(3)(s, src);
        if (c.During)
            c.During(s);
        EXPECT_FALSE(s.EndFrame()) << c.Name;
        std::vector<uint16_t> want = Reference(Scene(3), src);
        if (c.During)
            want[39] = 0x1234;
        EXPECT_EQ(PixelsOf(s), want) << c.Name;
        if (c.During) {
            EXPECT_FALSE(DrawFrame(s, Scene(3), src)) << c.Name << ": the surface held more than the draws";
            EXPECT_EQ(PixelsOf(s), Reference(Scene(3), src)) << c.Name;
        }
        EXPECT_TRUE(DrawFrame(s, Scene(3), src)) << c.Name << ": repeats again from then on";
    }
}

TEST(FrameReuse, ReadingInTheMiddleOfAFrameSeesWhatWasDrawnSoFar) {
    TSources src;
    TDirectDrawSurface s(kW, kH);
    DrawFrame(s, Scene(3), src);
    s.BeginFrame();
    s.Fill(0);
    EXPECT_EQ(s.PixelAt(10, 10), 0) << "the repeated fill is drawn before the read";
    DrawSurface(s, 0, 0, TRect{0, 0, kW, kH}, &src.Picture, false);
    EXPECT_EQ(s.PixelAt(10, 10), src.Picture.PixelAt(10, 10));
    s.EndFrame();
    EXPECT_EQ(s.PixelAt(3, 1), src.Picture.PixelAt(3, 1)) << "a shorter frame is drawn in full";

    // A read in the middle of a frame that goes on to repeat the last one in full: what was
    // drawn for the read is not left half-finished.
    DrawFrame(s, Scene(3), src);
    s.BeginFrame();
    s.Fill(0);
    EXPECT_EQ(s.PixelAt(5, 5), 0);
    DrawSurface(s, 0, 0, TRect{0, 0, kW, kH}, &src.Picture, false);
    DrawSurface(s, 3, 5, TRect{0, 0, 8, 8}, &src.Sprite, true);
    DrawSurfaceRotated(s, 20, 15, 8, 8, TRect{0, 0, 8, 8}, &src.Sprite, 0.5, 0.5, true, 40);
    FillRect(s, TRect{1, 1, 4, 4}, 0x07E0);
    s.EndFrame();
    EXPECT_EQ(PixelsOf(s), Reference(Scene(3), src));

    // A frame begun while another is open ends the open one first; that one was never shown,
    // so the next is drawn in full even when it repeats it.
    DrawFrame(s, Scene(3), src);
    s.BeginFrame();
    Scene(4)(s, src);
    s.BeginFrame();
    Scene(4)(s, src);
    EXPECT_FALSE(s.EndFrame());
    EXPECT_EQ(PixelsOf(s), Reference(Scene(4), src));
    EXPECT_TRUE(DrawFrame(s, Scene(4), src));
}

// Random frames that change a little, a lot, or not at all from one to the next: what a frame
// is said to have changed covers every pixel that did, and every frame comes out as drawn.
TEST(FrameReuse, TheChangesFoundCoverEveryChangedPixel) {
    TSources src;
    const uint8_t mask[12] = {0, 40, 255, 255, 128, 0, 255, 255, 255, 9, 0, 255}; // 4 × 3
    struct TPlaced {
        int Kind, X, Y, A;
    };
    std::mt19937 random(5);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::vector<TPlaced> scene;
    for (int i = 0; i < 12; ++i)
        scene.push_back(TPlaced{pick(0, 5), pick(-10, kW), pick(-10, kH), pick(0, 255)});
    auto frameOf = [&](const std::vector<TPlaced>& placed) -> TFrame {
        return [placed, &mask](TDirectDrawSurface& s, TSources& sources) {
            // Every frame begins by covering the surface: a fill, or the opaque picture.
            if (placed.size() % 2 == 0)
                s.Fill(0x0841);
            else
                DrawSurface(s, 0, 0, TRect{0, 0, kW, kH}, &sources.Picture, false);
            for (const TPlaced& p : placed) {
                switch (p.Kind) {
                case 0:
                    DrawSurface(s, p.X, p.Y, TRect{0, 0, 8, 8}, &sources.Sprite, true);
                    break;
                case 1:
                    DrawSurface(s, p.X, p.Y, TRect{2, 2, 12, 9}, &sources.Picture, false);
                    break;
                case 2:
                    DrawSurfaceRotated(s, p.X, p.Y, 8, 8, TRect{0, 0, 8, 8}, &sources.Sprite, 0.5, 0.5, true,
                                       p.A);
                    break;
                case 3:
                    FillRect(s, Bounds(p.X, p.Y, 6, 5), static_cast<uint16_t>(p.A * 97));
                    break;
                case 5:
                    ShadeRect(s, Bounds(p.X, p.Y, 14, 9), static_cast<uint16_t>(p.A * 59),
                              static_cast<uint8_t>(p.A));
                    break;
                default:
                    DrawCoverage(s, p.X, p.Y, mask, 4, 3, static_cast<uint16_t>(p.A * 131));
                    break;
                }
            }
        };
    };
    TDirectDrawSurface s(kW, kH);
    std::vector<uint16_t> before = Reference(frameOf(scene), src);
    DrawFrame(s, frameOf(scene), src);
    int known = 0, repeated = 0;
    for (int round = 0; round < 400; ++round) {
        const int edits = pick(0, 3);
        for (int e = 0; e < edits; ++e) {
            TPlaced& p = scene[static_cast<size_t>(pick(0, static_cast<int>(scene.size()) - 1))];
            switch (pick(0, 4)) {
            case 0:
                p.X += pick(-3, 3);
                break;
            case 1:
                p.A = pick(0, 255);
                break;
            case 2:
                p.Kind = pick(0, 5);
                break;
            case 3:
                scene.push_back(TPlaced{pick(0, 5), pick(-10, kW), pick(-10, kH), pick(0, 255)});
                break;
            default:
                if (scene.size() > 2)
                    scene.erase(scene.begin() + pick(0, static_cast<int>(scene.size()) - 1));
                break;
            }
        }
        const std::vector<uint16_t> want = Reference(frameOf(scene), src);
        repeated += DrawFrame(s, frameOf(scene), src) ? 1 : 0;
        ASSERT_EQ(PixelsOf(s), want) << "round " << round;
        if (const std::vector<TRect>* parts = s.FrameChanges()) {
            ++known;
            for (size_t a = 0; a < parts->size(); ++a)
                for (size_t b = a + 1; b < parts->size(); ++b)
                    ASSERT_FALSE(OverlapRect((*parts)[a], (*parts)[b]))
                        << "round " << round << ": parts overlap";
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    const size_t i = static_cast<size_t>(y) * kW + x;
                    const bool inside = std::any_of(parts->begin(), parts->end(), [&](const TRect& r) {
                        return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                    });
                    ASSERT_TRUE(want[i] == before[i] || inside)
                        << "round " << round << ": pixel " << x << "," << y << " changed unnoticed";
                }
        }
        before = want;
    }
    EXPECT_GT(known, 200) << "most frames are found out from their operations";
    EXPECT_GT(repeated, 20) << "frames with no edit repeat the last";
}

// An unchanged opaque picture drawn over a change hides it: no change is found under it.
TEST(FrameReuse, AnOpaqueCoverHidesTheChangesBeneathIt) {
    TSources src;
    TDirectDrawSurface s(kW, kH);
    auto frame = [](int spriteX) -> TFrame {
        return [spriteX](TDirectDrawSurface& surface, TSources& sources) {
            surface.Fill(0);
            DrawSurface(surface, spriteX, 10, TRect{0, 0, 8, 8}, &sources.Sprite, true);
            DrawSurface(surface, 0, 0, TRect{0, 0, 20, kH}, &sources.Picture, false); // the left half
        };
    };
    DrawFrame(s, frame(2), src);
    EXPECT_FALSE(DrawFrame(s, frame(16), src)); // from under the cover to its edge
    const std::vector<TRect>* parts = s.FrameChanges();
    ASSERT_NE(parts, nullptr);
    EXPECT_EQ(*parts, (std::vector<TRect>{{20, 8, 24, 24}}))
        << "what the cover hides is neither drawn nor sent";
    EXPECT_EQ(PixelsOf(s), Reference(frame(16), src));
}

} // namespace
