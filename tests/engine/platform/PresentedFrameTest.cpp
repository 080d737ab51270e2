#include "engine/platform/PresentedFrame.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A picture with a distinct value in every pixel; Pitch may exceed Width.
struct TPic {
    int Width, Height, Pitch;
    std::vector<uint16_t> Pixels;
    TPic(int w, int h, int pitch = 0) : Width(w), Height(h), Pitch(pitch ? pitch : w) {
        Pixels.resize(static_cast<size_t>(Pitch) * h);
        for (size_t i = 0; i < Pixels.size(); ++i)
            Pixels[i] = static_cast<uint16_t>(i * 7 + 1);
    }
    uint16_t& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Pitch + x]; }
};

const std::vector<TPresentRect>& Present(TPresentedFrame& f, const TPic& p) {
    return f.Update(p.Pixels.data(), p.Width, p.Height, p.Pitch);
}

// What a window shows when it is sent only the changed parts: it must end up showing the picture.
void ExpectWindowShows(std::vector<uint16_t>& window, const TPic& p, const std::vector<TPresentRect>& parts) {
    int lastBottom = 0;
    for (const TPresentRect& r : parts) {
        ASSERT_GE(r.X, 0);
        ASSERT_GE(r.Y, lastBottom) << "parts run top to bottom without overlapping";
        ASSERT_GT(r.Width, 0);
        ASSERT_GT(r.Height, 0);
        ASSERT_LE(r.X + r.Width, p.Width);
        ASSERT_LE(r.Y + r.Height, p.Height);
        lastBottom = r.Y + r.Height;
        for (int y = r.Y; y < r.Y + r.Height; ++y)
            for (int x = r.X; x < r.X + r.Width; ++x)
                window[static_cast<size_t>(y) * p.Width + x] = p.Pixels[static_cast<size_t>(y) * p.Pitch + x];
    }
    int wrong = 0;
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            wrong += window[static_cast<size_t>(y) * p.Width + x] !=
                     p.Pixels[static_cast<size_t>(y) * p.Pitch + x];
    EXPECT_EQ(wrong, 0);
}

TEST(PresentedFrame, FindsWhatChanged) {
    struct Case {
        const char* Name;
        std::vector<std::pair<int, int>> Edits; // pixels changed after the first picture
        std::vector<TPresentRect> Want;
    };
    const Case cases[] = {
        {"nothing", {}, {}},
        {"one pixel", {{5, 7}}, {{5, 7, 1, 1}}},
        {"first and last pixel of a row", {{0, 3}, {36, 3}}, {{0, 3, 37, 1}}},
        {"the last pixel of the picture", {{36, 29}}, {{36, 29, 1, 1}}},
        {"rows close together join", {{2, 10}, {30, 14}}, {{2, 10, 29, 5}}},
        {"rows far apart stay apart", {{2, 0}, {30, 20}}, {{2, 0, 1, 1}, {30, 20, 1, 1}}},
    };
    for (const Case& c : cases) {
        TPresentedFrame frame;
        TPic pic(37, 30); // an odd width: the word-wise scan has a tail
        EXPECT_EQ(Present(frame, pic), (std::vector<TPresentRect>{{0, 0, 37, 30}}))
            << c.Name << ": first picture";
        for (auto [x, y] : c.Edits)
            pic.At(x, y) ^= 0x0420;
        EXPECT_EQ(Present(frame, pic), c.Want) << c.Name;
        EXPECT_EQ(frame.Pixels(), pic.Pixels) << c.Name << ": the kept picture follows";
        EXPECT_TRUE(Present(frame, pic).empty()) << c.Name << ": shown again, it changes nothing";
    }
}

TEST(PresentedFrame, StartsOverAsAWhole) {
    TPresentedFrame frame;
    frame.Reset(20, 10);
    EXPECT_EQ(frame.Pixels(), std::vector<uint16_t>(200, 0)) << "black until the first picture";
    TPic black(20, 10);
    std::fill(black.Pixels.begin(), black.Pixels.end(), 0);
    EXPECT_EQ(Present(frame, black).size(), 1u) << "after a reset even a black picture goes out";

    frame.Forget();
    EXPECT_EQ(Present(frame, black), (std::vector<TPresentRect>{{0, 0, 20, 10}})) << "forgotten";

    TPic wider(24, 10, 32); // another size, rows further apart than they are wide
    EXPECT_EQ(Present(frame, wider), (std::vector<TPresentRect>{{0, 0, 24, 10}})) << "resized";
    EXPECT_EQ(frame.Width(), 24);
    EXPECT_EQ(frame.Pixels()[24], wider.At(0, 1)) << "rows kept without the pitch's gap";
    EXPECT_TRUE(Present(frame, wider).empty());

    EXPECT_TRUE(frame.Update(nullptr, 0, 0, 0).empty()) << "no picture, nothing changes";
}

// Random edits, from single pixels to most of the picture: sending only the changed parts
// always leaves the window showing exactly the picture, in a bounded number of parts.
TEST(PresentedFrame, ChangedPartsRebuildEveryPicture) {
    std::mt19937 random(17);
    TPic pic(101, 300, 104); // tall enough for more separate changes than parts
    TPresentedFrame frame;
    std::vector<uint16_t> window(static_cast<size_t>(pic.Width) * pic.Height, 0xDEAD);
    ExpectWindowShows(window, pic, Present(frame, pic));
    for (int round = 0; round < 300; ++round) {
        const int edits = std::uniform_int_distribution<int>(0, round % 10 == 0 ? 3000 : 40)(random);
        for (int i = 0; i < edits; ++i) {
            const int x = std::uniform_int_distribution<int>(0, pic.Width - 1)(random);
            const int y = std::uniform_int_distribution<int>(0, pic.Height - 1)(random);
            pic.At(x, y) = static_cast<uint16_t>(random());
        }
        const std::vector<TPresentRect>& parts = Present(frame, pic);
        EXPECT_LE(parts.size(), 16u);
        ExpectWindowShows(window, pic, parts);
        if (HasFatalFailure() || HasNonfatalFailure())
            FAIL() << "round " << round;
    }
}

} // namespace

namespace {
// Parts passed on without a copy: reported as given; repeating the picture still sends nothing,
// but the next compared picture goes out whole, since the kept one is no longer true.
TEST(PresentedFrame, PassedPartsLeaveTheNextComparedPictureWhole) {
    TPresentedFrame frame;
    TPic pic(20, 10);
    Present(frame, pic);
    pic.At(3, 4) ^= 0x0420;
    const std::vector<TPresentRect> parts{{3, 4, 1, 1}};
    EXPECT_EQ(frame.PassParts(pic.Pixels.data(), 20, 10, 20, parts), parts);
    EXPECT_TRUE(frame.Repeat(pic.Pixels.data(), 20, 10, 20).empty());
    EXPECT_EQ(Present(frame, pic), (std::vector<TPresentRect>{{0, 0, 20, 10}}));
    EXPECT_EQ(frame.Pixels(), pic.Pixels);
    EXPECT_TRUE(Present(frame, pic).empty()) << "true again after the whole picture";
}
} // namespace
