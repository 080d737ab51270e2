#include "engine/platform/ScreenGeometry.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const TScreenRect& r, std::ostream* out) {
    *out << r.W << "x" << r.H << "+" << r.X << "+" << r.Y;
}

namespace {

struct TFitCase {
    int TargetW, TargetH;
    TScreenRect View;
};

TEST(ScreenGeometry, TheScaledPictureIsCentredOnTheScreen) {
    for (const TFitCase& c : {
             TFitCase{800, 600, {0, 0, 800, 600}},       // the window itself
             TFitCase{640, 480, {0, 0, 640, 480}},       // a smaller screen of the same shape
             TFitCase{1024, 768, {0, 0, 1024, 768}},     //
             TFitCase{1920, 1080, {240, 0, 1440, 1080}}, // wide: bands left and right
             TFitCase{1280, 1024, {0, 32, 1280, 960}},   // tall: bands above and below
             TFitCase{1366, 768, {171, 0, 1024, 768}},   // odd band widths round down on the left
             TFitCase{800, 601, {0, 0, 800, 600}},       //
             TFitCase{3, 2, {0, 0, 2, 2}},               // tiny, never empty
             TFitCase{0, 0, {0, 0, 0, 0}},               // nothing to draw on
         }) {
        EXPECT_EQ(FitPicture(c.TargetW, c.TargetH, 800, 600), c.View) << c.TargetW << "x" << c.TargetH;
    }
}

struct TPlaceCase {
    TScreenRect Area;
    TScreenRect Window;
};

TEST(ScreenGeometry, TheWindowOpensWithItsTopLeftOnTheScreen) {
    for (const TPlaceCase& c : {
             TPlaceCase{{0, 0, 1024, 768}, {112, 84, 800, 600}},       // centred
             TPlaceCase{{0, 0, 800, 600}, {0, 0, 800, 600}},           // just fits
             TPlaceCase{{0, 0, 640, 480}, {0, 0, 800, 600}},           // larger than the screen
             TPlaceCase{{0, 24, 640, 456}, {0, 24, 800, 600}},         // below a panel
             TPlaceCase{{0, 0, 1024, 500}, {112, 0, 800, 600}},        // only too tall
             TPlaceCase{{1920, 0, 1280, 1024}, {2160, 212, 800, 600}}, // a second screen
             TPlaceCase{{0, 0, 0, 0}, {0, 0, 800, 600}},               // no screen known
         }) {
        EXPECT_EQ(PlaceWindow(c.Area, 800, 600), c.Window);
    }
}

// A screen smaller than the picture gets a window scaled down to fit it, frame and title bar
// included, instead of one cut off at the right and the bottom.
TEST(ScreenGeometry, OnASmallScreenTheWindowIsScaledToFit) {
    for (const TPlaceCase& c : {
             TPlaceCase{{0, 0, 1024, 768}, {112, 84, 800, 600}}, // fits: as it is
             TPlaceCase{{0, 0, 640, 480}, {53, 40, 533, 400}},   // smaller both ways
             TPlaceCase{{0, 24, 640, 456}, {69, 64, 501, 376}},  // below a panel
             TPlaceCase{{0, 0, 1024, 500}, {232, 40, 560, 420}}, // only too tall
             TPlaceCase{{0, 0, 0, 0}, {0, 0, 800, 600}},         // no screen known
         }) {
        EXPECT_EQ(WindowFor(c.Area, 800, 600), c.Window) << c.Area.W << "x" << c.Area.H;
    }
}

TEST(ScreenGeometry, OnlyAPointerThatChangesItsPlaceOnTheScreenHasMoved) {
    TPointerTrack pointer;
    EXPECT_TRUE(pointer.Moved(10, 10)) << "the first report";
    EXPECT_FALSE(pointer.Moved(10, 10)) << "the window moved under it";
    EXPECT_TRUE(pointer.Moved(11, 10));
}

} // namespace

namespace {
TEST(ScreenGeometry, SharpFullScreenTakesTheLargestWholeFactor) {
    EXPECT_EQ(SharpPicture(1920, 1080, 800, 600), (TScreenRect{560, 240, 800, 600}))
        << "1.8 × would be uneven";
    EXPECT_EQ(SharpPicture(3840, 2160, 800, 600), (TScreenRect{720, 180, 2400, 1800}));
    EXPECT_EQ(SharpPicture(640, 480, 800, 600), FitPicture(640, 480, 800, 600)) << "not even 1 × fits";
}

TEST(ScreenGeometry, TheLargestWindowScaleLeavesRoomForTheFrame) {
    EXPECT_EQ(LargestWholeScale({0, 0, 3840, 2160}, 800, 600), 3);
    EXPECT_EQ(LargestWholeScale({0, 0, 1920, 1080}, 800, 600), 1);
    EXPECT_EQ(LargestWholeScale({0, 0, 2560, 1440}, 800, 600), 2);
    EXPECT_EQ(LargestWholeScale({0, 0, 640, 480}, 800, 600), 1);
}

TEST(ScreenGeometry, AWindowOpensReadableOnEveryScreen) {
    EXPECT_EQ(ReadableWholeScale({0, 0, 3840, 2160}, 800, 600), 2);
    EXPECT_EQ(ReadableWholeScale({0, 0, 1920, 1080}, 800, 600), 1);
    EXPECT_EQ(ReadableWholeScale({0, 0, 640, 480}, 800, 600), 1);
}
} // namespace
