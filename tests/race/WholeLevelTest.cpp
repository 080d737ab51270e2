#include "RaceFixture.h"

#include "engine/platform/KeyCodes.h"

#include <cmath>

namespace {

bool IsThreat(const TWallSprite& wall) {
    switch (wall.Kind) {
    case wkTree:
    case wkWeed:
    case wkFlag:
    case wkFisher:
    case wkShip:
    case wkBridge:
        return true;
    default:
        return IsTrafficKind(wall.Kind);
    }
}

} // namespace

// A whole level played through the form's frame tick on the headless back-end: the script
// holds the throttle and steers around what lies ahead, as a player would.
class WholeLevelTest : public RaceFixture {
  protected:
    // Steering for this tick: -1 left, 0 none, 1 right.
    int Autopilot() {
        const TMyCarSprite& b = boat();
        const double left = b.X - 20;
        const double right = b.X + b.Width + 20;
        const TWallSprite* nearest = nullptr;
        for (int32_t i = 1; i <= TRaceTrack::kSlotCount; ++i) {
            if (!track().WallSlotUsed[i])
                continue;
            const TWallSprite& w = *track().WallSlots[i];
            if (w.Exploded || !w.Collidable || !IsThreat(w))
                continue;
            const bool ahead = w.Y + w.Height > b.Y - 260 && w.Y < b.Y + b.Height;
            const bool inLane = w.X < right && w.X + w.Width > left;
            if (ahead && inLane && (nearest == nullptr || w.Y > nearest->Y))
                nearest = &w;
        }
        if (nearest == nullptr) {
            // Back towards the middle of the river, where there is room either way.
            if (b.CentreX < 300)
                return 1;
            if (b.CentreX > 490)
                return -1;
            return 0;
        }
        const double roomLeft = nearest->X - 177;
        const double roomRight = 609 - (nearest->X + nearest->Width);
        return roomLeft > roomRight ? -1 : 1;
    }

    void Hold(int key, bool down) { platform->SetKey(key, down); }
};

TEST_F(WholeLevelTest, ScriptedRunReachesTheFinishCountsTheTimeBonusAndStartsLevelTwo) {
    race().SelectedBoat = 3;
    race().StartRace();
    ASSERT_EQ(form->Shell.MessageMode, msgLevel);

    Hold(vk::Up, true);
    int ticks = 0;
    int bannerTicks = 0;
    int32_t scoreAtCountdown = -1;
    int32_t timeAtCountdown = -1;
    const int kTickLimit = 10000;
    while (race().Level == 1 && form->Shell.GameScreen == gsRace && ticks < kTickLimit) {
        const int steer = race().PlayerBoat != nullptr ? Autopilot() : 0;
        Hold(vk::Left, steer < 0);
        Hold(vk::Right, steer > 0);
        if (form->Shell.MessageMode == msgLevel)
            ++bannerTicks;
        platform->Advance(15);
        form->MTimerTimer(1);
        ++ticks;
        if (boat().CountingDown && scoreAtCountdown < 0) {
            scoreAtCountdown = race().Score;
            timeAtCountdown = race().TimeLeftMs;
        }
        if (form->Shell.MessageMode == msgTimeOver || form->Shell.MessageMode == msgGameOver)
            break;
    }
    ASSERT_LT(ticks, kTickLimit);
    ASSERT_EQ(form->Shell.GameScreen, gsRace);
    EXPECT_EQ(bannerTicks, 135);
    ASSERT_EQ(race().Level, 2) << "lives " << race().Lives << ", distance " << boat().Distance;
    EXPECT_GE(race().Lives, 1);

    // The remaining time was turned into points: 5 for every started 150 ms.
    ASSERT_GT(timeAtCountdown, 0);
    const int32_t steps = (timeAtCountdown + 149) / 150;
    EXPECT_EQ(race().Score - scoreAtCountdown, 5 * steps);

    // Level two starts afresh behind its banner.
    EXPECT_EQ(form->Shell.MessageMode, msgLevel);
    EXPECT_EQ(race().TimeLeftMs, TRace::LevelTime(2));
    EXPECT_EQ(boat().Distance, 0);
    EXPECT_EQ(track().UsedSlotCount(), 0);
    EXPECT_EQ(race().ProgressMarker->Y, 322);
    EXPECT_GT(platform->PresentCount(), 2000);
}
