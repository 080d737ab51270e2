// The engine's hum in a real race: its pitch and level follow the boat's speed.
#include "app/GameFixture.h"
#include "engine/audio/WaveCollection.h"
#include "engine/platform/KeyCodes.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"

#include <gtest/gtest.h>

namespace {

// Start button, then the first boat: the race is running.
void StartRace(TGameFixture& game) {
    ASSERT_TRUE(game.RunUntil([&] { return game.Screen().MenuIntroPhase == 0; }, 1000));
    game.Tick();
    game.Click(560, 120);
    ASSERT_EQ(game.TickView().GameScreen, gsBoatSelect);
    game.Tick();
    game.Click(40, 200);
    ASSERT_EQ(game.TickView().GameScreen, gsRace);
}

} // namespace

TEST_F(GameTest, EngineHumRisesInPitchAndLevelWithTheBoatsSpeed) {
    StartRace(Game);
    TWaveCollectionItem& engine = Game.Form().MWaveList().Items().Find("Engine");
    TMyCarSprite& boat = *Game.Form().Race().PlayerBoat;
    ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, 300)) << "level banner";
    ASSERT_TRUE(Game.SoundPlaying("Engine"));

    struct Heard {
        double Rate, Volume;
    };
    auto at = [&](double speed) {
        boat.Speed = speed;
        Game.Tick();
        EXPECT_EQ(boat.Speed, speed) << "nothing else changed the speed in this tick";
        EXPECT_EQ(engine.MainBuffer()->Rate(), engine.Rate()) << "the sounding loop follows";
        return Heard{engine.Rate(), engine.Volume()};
    };
    const Heard idle = at(0), half = at(kPlainTopSpeed / 2), top = at(kPlainTopSpeed),
                boosted = at(kEngineTopSpeed);
    EXPECT_LT(idle.Rate, 1);
    EXPECT_NEAR(idle.Volume, 0.5, 0.1) << "about 6 dB down at rest";
    EXPECT_LT(idle.Rate, half.Rate);
    EXPECT_LT(half.Rate, top.Rate);
    EXPECT_LT(top.Rate, boosted.Rate) << "the engine power-up revs higher";
    EXPECT_LT(idle.Volume, half.Volume);
    EXPECT_LT(half.Volume, top.Volume);
    EXPECT_EQ(top.Volume, 1) << "at full throttle the loop plays at its own level";
    EXPECT_EQ(boosted.Volume, 1);

    // Paused, the engine stops; it comes back at the speed the boat still has.
    Game.TapKey('P');
    ASSERT_EQ(Game.TickView().MessageMode, msgPause);
    EXPECT_FALSE(Game.SoundPlaying("Engine"));
    Game.TapKey('P');
    ASSERT_EQ(Game.TickView().MessageMode, msgNone);
    EXPECT_TRUE(Game.SoundPlaying("Engine"));
    EXPECT_EQ(engine.MainBuffer()->Rate(), boosted.Rate);
}
