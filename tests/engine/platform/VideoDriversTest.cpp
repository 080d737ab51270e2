#include "engine/platform/VideoDrivers.h"

#include <gtest/gtest.h>

namespace {

TEST(VideoDrivers, OnlyThoseThatShowAWindowAreAccepted) {
    struct TCase {
        const char* Driver;
        bool Shown;
    };
    for (const TCase& c : {TCase{"x11", true}, TCase{"wayland", true}, TCase{"KMSDRM", true},
                           TCase{"kmsdrm", true}, TCase{"offscreen", false}, TCase{"dummy", false},
                           TCase{"evdev", false}, TCase{"", false}, TCase{"x1", false}, TCase{"x11 ", false}})
        EXPECT_EQ(ShowsWindowsToAPerson(c.Driver), c.Shown) << '"' << c.Driver << '"';
}

} // namespace
