#include "engine/display/GameTimer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TimerFixture : ::testing::Test {
    TGameTimer timer;
    std::vector<int> lags;
    void SetUp() override {
        timer.SetInterval(15);
        timer.OnTimer = [this](int lag) { lags.push_back(lag); };
        timer.SetEnabled(true, 1000);
    }
};

TEST_F(TimerFixture, LagCountIsWholeIntervalsSinceTheLastTick) {
    struct Case {
        uint32_t after;
        std::vector<int> expected;
    };
    const Case cases[] = {{10, {}}, {15, {1}}, {31, {2}}, {200, {13}}};
    for (const auto& c : cases) {
        TGameTimer t;
        std::vector<int> got;
        t.SetInterval(15);
        t.OnTimer = [&](int lag) { got.push_back(lag); };
        t.SetEnabled(true, 5000);
        t.Idle(5000 + c.after);
        EXPECT_EQ(got, c.expected) << "after " << c.after << " ms";
    }
}

TEST_F(TimerFixture, IntervalZeroTicksOnEveryIdleCallWithElapsedMilliseconds) {
    timer.SetInterval(0);
    timer.Idle(1000); // nothing elapsed: still a tick, at least 1
    timer.Idle(1007);
    EXPECT_EQ(lags, (std::vector<int>{1, 7}));
    EXPECT_EQ(timer.Interval(), 0);
}

TEST_F(TimerFixture, RestsWithoutFocusAndResumesWithoutCatchUpLag) {
    timer.Idle(1015);
    timer.SetApplicationActive(false, 1020);
    timer.Idle(1500);
    EXPECT_EQ(lags.size(), 1u) << "no tick while another application is active";
    timer.SetApplicationActive(true, 3000);
    timer.Idle(3010);
    timer.Idle(3015);
    EXPECT_EQ(lags, (std::vector<int>{1, 1})) << "the first tick after focus returns has no catch-up lag";
}

TEST_F(TimerFixture, DisabledTimerNeverTicksAndReEnablingIsIdempotent) {
    timer.SetEnabled(false, 1000);
    timer.Idle(2000);
    EXPECT_TRUE(lags.empty());
    timer.SetEnabled(true, 2000);
    timer.SetEnabled(true, 2100); // the same value again: the last-tick time is kept
    timer.Idle(2015);
    EXPECT_EQ(lags, (std::vector<int>{1}));
}

TEST_F(TimerFixture, TellsTheLoopHowLongItMaySleep) {
    EXPECT_EQ(timer.MsUntilNextTick(1000), 15u);
    EXPECT_EQ(timer.MsUntilNextTick(1010), 5u);
    EXPECT_EQ(timer.MsUntilNextTick(1020), 0u);
}

TEST_F(TimerFixture, FramesPerSecondCountsTheLastFullSecond) {
    for (uint32_t t = 1015; t <= 2005; t += 15) {
        timer.Idle(t);
    }
    EXPECT_EQ(timer.FramesPerSecond(), 67);
}

} // namespace
