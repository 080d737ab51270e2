#include "engine/display/GameDraw.h"
#include "engine/platform/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(GameDraw, BitCountAcceptsOnlyTheFourDepths) {
    TDisplayMode mode;
    for (int ok : {8, 16, 24, 32}) {
        EXPECT_NO_THROW(mode.SetBitCount(ok));
    }
    for (int bad : {0, 15, 64}) {
        try {
            mode.SetBitCount(bad);
            FAIL() << bad;
        } catch (const EDirectDrawError& e) {
            EXPECT_STREQ(e.what(), "It should be either of 8 or 16 or 24 or 32");
        }
    }
}

TEST(GameDraw, NotifiesNewestFirstAndFiresItsEventsInOrder) {
    // Outlives the display: its destruction still notifies the followers.
    std::vector<std::string> log;
    THeadlessPlatform platform;
    TGameDraw draw(&platform, 800, 600);
    draw.RegisterNotification(
        &log, [&](TGameDraw&, TDrawNotifyKind k) { log.push_back("a" + std::to_string(int(k))); });
    int other = 0;
    draw.RegisterNotification(
        &other, [&](TGameDraw&, TDrawNotifyKind k) { log.push_back("b" + std::to_string(int(k))); });
    draw.OnInitialize = [&] { log.push_back("init"); };
    draw.OnFinalize = [&] { log.push_back("fin"); };
    draw.Initialize();
    EXPECT_EQ(log,
              (std::vector<std::string>{"b1", "a1", "b7", "a7", "b2", "a2", "init", "b3", "a3", "b6", "a6"}));
    log.clear();
    draw.RemoveNotification(&other);
    draw.Finalize();
    EXPECT_EQ(log, (std::vector<std::string>{"a5", "fin", "a4"}));
}

TEST(GameDraw, DrawsOnlyWhenInitializedAndPresentsTheBackSurface) {
    THeadlessPlatform platform;
    std::string error;
    platform.OpenWindow("t", 800, 600, error);
    TGameDraw draw(&platform, 800, 600);
    EXPECT_FALSE(draw.CanDraw());
    EXPECT_EQ(draw.Surface(), nullptr);
    draw.Flip();
    EXPECT_EQ(platform.PresentCount(), 0);
    draw.Initialize();
    ASSERT_TRUE(draw.CanDraw());
    draw.Surface()->Fill(0x1234);
    draw.Flip();
    EXPECT_EQ(platform.PresentCount(), 1);
    EXPECT_EQ(platform.FramePixel(799, 599), 0x1234);
}

TEST(GameDraw, EffectiveOptionsFollowTheWindowAndFullScreenRules) {
    THeadlessPlatform platform;
    TGameDraw draw(&platform, 800, 600);
    const TGameDrawOptions form =
        OptionBit(doAllowReboot) | OptionBit(doHardware) | OptionBit(doSelectDriver);
    draw.SetOptions(form);
    EXPECT_EQ(draw.NowOptions(), 0u);
    draw.SetOptions(form | OptionBit(doFullScreen));
    EXPECT_EQ(draw.NowOptions(), OptionBit(doFullScreen) | OptionBit(doAllowReboot));
    draw.Initialize();
    EXPECT_TRUE(platform.IsFullScreen());
}

} // namespace
