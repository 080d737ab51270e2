// A whole level played through the game's frame tick on the headless back-end: the script
// holds the throttle and steers around what lies ahead, as a player would.
#include "context/GameState.h"
#include "context/InterfaceSprites.h"
#include "engine/platform/KeyCodes.h"
#include "flow/FlowGame.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/RaceGeometry.h"
#include "race/WallSprite.h"

#include <gtest/gtest.h>

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

// Music and sound off; no table check, so the default table.
const std::string kOptionsFile = "0\r\n0\r\n0\r\n_______\r\n\r\n";
constexpr int kMenuIntroTicks = 1000;

class WholeLevelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TGameFixture::DataAvailable()) {
            GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
        }
        Game.Files().WriteSave("options", kOptionsFile);
        Game.Start("http://127.0.0.1:9");
    }

    TRace& race() { return Game.Race(); }
    TMyCarSprite& boat() { return *race().PlayerBoat; }
    TRaceTrack& track() { return race().Track(); }

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
        const double roomLeft = nearest->X - kWaterLeft;
        const double roomRight = kWaterRight - (nearest->X + nearest->Width);
        return roomLeft > roomRight ? -1 : 1;
    }

    void Hold(int key, bool down) { Game.Platform().SetKey(key, down); }

    TFlowGame Game;
};

TEST_F(WholeLevelTest, ScriptedRunReachesTheFinishCountsTheTimeBonusAndStartsLevelTwo) {
    // The third boat, chosen from the menu.
    ASSERT_TRUE(Game.RunUntil(
        [&] { return Game.TickView().GameScreen == gsMainMenu && Game.Screen().MenuIntroPhase == 0; },
        kMenuIntroTicks));
    Game.Tick();
    Game.PressKey(vk::Return);
    ASSERT_EQ(Game.TickView().GameScreen, gsBoatSelect);
    Game.Screen().ActiveButton = 9;
    Game.Tick();
    Game.PressKey(vk::Return);
    ASSERT_EQ(Game.TickView().GameScreen, gsRace);
    ASSERT_EQ(race().SelectedBoat, 3);
    ASSERT_EQ(Game.TickView().MessageMode, msgLevel);

    Hold(vk::Up, true);
    int ticks = 0;
    int bannerTicks = 0;
    int32_t scoreAtCountdown = -1;
    int32_t timeAtCountdown = -1;
    const int kTickLimit = 10000;
    const int presentsBefore = Game.PresentCount();
    while (race().Level == 1 && Game.TickView().GameScreen == gsRace && ticks < kTickLimit) {
        const int steer = race().PlayerBoat != nullptr ? Autopilot() : 0;
        Hold(vk::Left, steer < 0);
        Hold(vk::Right, steer > 0);
        if (Game.TickView().MessageMode == msgLevel)
            ++bannerTicks;
        Game.Tick();
        ++ticks;
        if (boat().CountingDown && scoreAtCountdown < 0) {
            scoreAtCountdown = race().Score;
            timeAtCountdown = race().TimeLeftMs;
        }
        if (Game.TickView().MessageMode == msgTimeOver || Game.TickView().MessageMode == msgGameOver)
            break;
    }
    ASSERT_LT(ticks, kTickLimit);
    ASSERT_EQ(Game.TickView().GameScreen, gsRace);
    EXPECT_EQ(bannerTicks, 135);
    ASSERT_EQ(race().Level, 2) << "lives " << race().Lives << ", distance " << boat().Distance;
    EXPECT_GE(race().Lives, 1);

    // The remaining time was turned into points: 5 for every started 150 ms.
    ASSERT_GT(timeAtCountdown, 0);
    const int32_t steps = (timeAtCountdown + 149) / 150;
    EXPECT_EQ(race().Score - scoreAtCountdown, 5 * steps);

    // Level two starts afresh behind its banner.
    EXPECT_EQ(Game.TickView().MessageMode, msgLevel);
    EXPECT_EQ(race().TimeLeftMs, TRace::LevelTime(2));
    EXPECT_EQ(boat().Distance, 0);
    EXPECT_EQ(track().UsedSlotCount(), 0);
    EXPECT_EQ(race().ProgressMarker->Y, 322);
    EXPECT_GT(Game.PresentCount() - presentsBefore, 2000);
}
