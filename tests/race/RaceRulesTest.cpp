#include "RaceFixture.h"

#include "race/RaceHud.h"

#include <cmath>

namespace {

struct LevelCase {
    int32_t Level;
    int32_t TimeMs;
    int32_t Length;
};

class LevelFormulas : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelFormulas, PairsOfLevelsShareTimeAndLength) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(TRace::LevelTime(c.Level), c.TimeMs);
    EXPECT_EQ(TRace::TrackLength(c.Level), c.Length);
}

INSTANTIATE_TEST_SUITE_P(Race, LevelFormulas,
                         ::testing::Values(LevelCase{1, 60000, 24000}, LevelCase{2, 60000, 24000},
                                           LevelCase{3, 90000, 48000}, LevelCase{4, 90000, 48000},
                                           LevelCase{5, 120000, 72000}, LevelCase{10, 180000, 120000}));

struct HudCase {
    int32_t Level, Score, TimeLeftMs, Lives;
    int LevelX, ScoreX, LivesX;
    const char* Clock; // the four digits
};

class HudLayout : public ::testing::TestWithParam<HudCase> {};

TEST_P(HudLayout, NumbersAreRightAlignedAndTheClockHasFourDigits) {
    const HudCase& c = GetParam();
    const auto texts = RaceHudTexts(c.Level, c.Score, c.TimeLeftMs, c.Lives);
    EXPECT_EQ(texts[0].Text, std::to_string(c.Level));
    EXPECT_EQ(texts[0].X, c.LevelX);
    EXPECT_EQ(texts[0].Y, 80);
    EXPECT_EQ(texts[0].Font, 5);
    EXPECT_EQ(texts[1].Text, std::to_string(c.Score));
    EXPECT_EQ(texts[1].X, c.ScoreX);
    EXPECT_EQ(texts[1].Y, 172);
    EXPECT_EQ(texts[1].Font, 2);
    const std::string clock = texts[2].Text + texts[3].Text + texts[5].Text + texts[6].Text;
    EXPECT_EQ(clock, c.Clock);
    EXPECT_EQ(texts[4].Text, ":");
    EXPECT_EQ(texts[4].X, 58);
    EXPECT_EQ(texts[4].Y, 261);
    EXPECT_EQ(texts[2].X, 28);
    EXPECT_EQ(texts[6].X, 79);
    EXPECT_EQ(texts[7].X, c.LivesX);
    EXPECT_EQ(texts[7].Y, 353);
}

INSTANTIATE_TEST_SUITE_P(Race, HudLayout,
                         ::testing::Values(HudCase{1, 0, 60000, 3, 52, 52, 52, "0100"},
                                           HudCase{10, 12345, 65000, 3, 47, 36, 52, "0105"},
                                           HudCase{100, 999, 119999, 12, 42, 44, 47, "0159"},
                                           HudCase{2, 670, 0, 0, 52, 44, 52, "0000"}));

} // namespace

// Race-level rules, driven through the real race tick.
class RaceClockTest : public RaceFixture {
  protected:
    void Tick(int lag = 1) { race().RaceTick(lag); }
};

TEST_F(RaceClockTest, PowerUpIndicatorPicksTheHeldOneWithLeastTimeLeft) {
    StartRace();
    struct Case {
        bool Gun, Engine, Shield;
        int32_t GunMs, EngineMs, ShieldMs;
        int Shown;
        const char* Text;
        int X;
    };
    // Counters of power-ups not held are 100000, as the race tick keeps them.
    const Case cases[] = {
        {false, false, false, 100000, 100000, 100000, TPowerUpIndicator::kNone, "", 0},
        {true, false, true, 5000, 100000, 9000, puGun, "5", 771},
        {false, true, true, 100000, 10000, 9985, puShield, "9", 771},
        {true, true, false, 10000, 10000, 100000, puEngine, "10", 767},
        {true, true, true, 3000, 3000, 3000, puShield, "3", 771},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Shown);
        boat().HasGun = c.Gun;
        boat().HasEngine = c.Engine;
        boat().HasShield = c.Shield;
        boat().GunMs = c.GunMs;
        boat().EngineMs = c.EngineMs;
        boat().ShieldMs = c.ShieldMs;
        const TPowerUpIndicator indicator = PowerUpIndicator(boat());
        EXPECT_EQ(indicator.Shown, c.Shown);
        EXPECT_EQ(indicator.Seconds.Text, c.Text);
        if (c.Shown != TPowerUpIndicator::kNone) {
            EXPECT_EQ(indicator.Seconds.X, c.X);
            EXPECT_EQ(indicator.Seconds.Y, 419);
        }
        race().DrawPowerUpPanel();
        EXPECT_EQ(race().GunPanel->Visible, c.Shown == puGun);
        EXPECT_EQ(race().EnginePanel->Visible, c.Shown == puEngine);
        EXPECT_EQ(race().ShieldPanel->Visible, c.Shown == puShield);
        EXPECT_EQ(race().NoPowerUpPanel->Visible, c.Shown == TPowerUpIndicator::kNone);
    }
}

TEST_F(RaceClockTest, PowerUpWindowStaysAsItWasInTheFrameAHeldOneRunsOut) {
    StartRace();
    boat().HasGun = true;
    boat().GunMs = 15;
    boat().EngineMs = 100000;
    boat().HasShield = true;
    boat().ShieldMs = 5000;
    Tick();
    EXPECT_TRUE(race().GunPanel->Visible);
    // The gun runs out in this tick's move; its counter is only reset after the HUD is drawn,
    // so no held power-up wins and the window keeps what it showed.
    Tick();
    EXPECT_FALSE(boat().HasGun);
    EXPECT_TRUE(race().GunPanel->Visible);
    EXPECT_FALSE(race().ShieldPanel->Visible);
    EXPECT_FALSE(race().NoPowerUpPanel->Visible);
    Tick();
    EXPECT_FALSE(race().GunPanel->Visible);
    EXPECT_TRUE(race().ShieldPanel->Visible);
    EXPECT_FALSE(race().NoPowerUpPanel->Visible);
}

TEST_F(RaceClockTest, TickSoundsAtNineToOneSecondsNeverAtZero) {
    StartRace();
    boat().HasShield = true; // nothing on the river may stop the clock test
    boat().ShieldMs = 1000000;
    race().TimeLeftMs = 12000;
    std::vector<int32_t> tickedAt;
    race().OnSoundPlayed = [&](std::string_view name) {
        if (name == "Tick")
            tickedAt.push_back(race().TimeLeftMs);
    };
    while (race().TimeLeftMs > 0)
        Tick();
    // Recorded before the step that takes the clock past 9, 8, … 1 seconds.
    EXPECT_EQ(tickedAt, (std::vector<int32_t>{9000, 8010, 7005, 6000, 5010, 4005, 3000, 2010, 1005}));
}

TEST_F(RaceClockTest, LogicStepsOncePerTickWhateverTheLag) {
    StartRace();
    const int32_t before = race().TimeLeftMs;
    Tick(4);
    EXPECT_EQ(race().TimeLeftMs, before - 15);
}

TEST_F(RaceClockTest, TimeBonusOf20000MsIsWorth670Points) {
    StartRace();
    boat().CountingDown = true;
    boat().ControlEnabled = false;
    race().TimeLeftMs = 20000;
    race().Score = 1000;
    int ticks = 0;
    while (race().Level == 1 && ticks < 1000) {
        Tick();
        ++ticks;
    }
    EXPECT_EQ(race().Score, 1670);
    EXPECT_EQ(ticks, 135); // 134 steps of 150 ms, then the next level
    EXPECT_EQ(race().Level, 2);
    EXPECT_EQ(race().TimeLeftMs, TRace::LevelTime(2));
    EXPECT_EQ(context->TickView().MessageMode, msgLevel);
    EXPECT_FALSE(boat().CountingDown);
    EXPECT_TRUE(boat().ControlEnabled);
}

TEST_F(RaceClockTest, TimeOutBrakesAMovingBoatFirstThenTakesALife) {
    struct Case {
        int32_t Lives;
        int32_t LivesAfter;
        uint8_t Message;
    };
    for (const Case c : {Case{3, 2, msgTimeOver}, Case{1, 0, msgGameOver}}) {
        SCOPED_TRACE(c.Lives);
        StartRace();
        race().Lives = c.Lives;
        boat().Speed = 5;
        race().TimeLeftMs = 0;
        Tick();
        EXPECT_EQ(boat().SpeedMode, smBrake);
        EXPECT_EQ(race().Lives, c.Lives) << "a moving boat loses no life yet";
        EXPECT_EQ(context->TickView().MessageMode, msgNone);
        int ticks = 0;
        while (context->TickView().MessageMode == msgNone && ticks++ < 200)
            Tick();
        EXPECT_LE(boat().Speed, 0);
        EXPECT_EQ(race().Lives, c.LivesAfter);
        EXPECT_EQ(context->TickView().MessageMode, c.Message);
        race().FreeRaceSprites();
        context->MutableTickView().MessageMode = msgNone;
    }
}

TEST_F(RaceClockTest, TimeOutAfterTheFinishLineCostsNothing) {
    StartRace();
    race().FinishLineY = boat().Y + 50; // the line is behind the boat
    boat().FinishCrossed = true;
    boat().BoatState = bsFinished;
    race().TimeLeftMs = 0;
    Tick(); // the boat stops on the line, the empty bonus ends at once
    EXPECT_EQ(race().Lives, 3);
    EXPECT_EQ(race().Level, 2);
    EXPECT_EQ(race().Score, 0);
}

TEST_F(RaceClockTest, AWreckThatOutlastsTheClockCostsOneLifeAndTheRestartShowsTheBoat) {
    StartRace();
    race().TimeLeftMs = 30;
    boat().Wreck();
    EXPECT_EQ(race().Lives, 2);
    int ticks = 0;
    while (context->TickView().MessageMode == msgNone && ticks++ < 400)
        Tick();
    EXPECT_EQ(context->TickView().MessageMode, msgTimeOver);
    EXPECT_EQ(race().Lives, 2) << "the wreck already took this level's life";
    race().OnTimeOverEnded();
    EXPECT_TRUE(boat().Visible);
    EXPECT_EQ(boat().BoatState, bsRacing);
    EXPECT_EQ(race().TimeLeftMs, TRace::LevelTime(1));
}

TEST_F(RaceClockTest, ProgressMarkerRunsFrom322To41AndStops) {
    StartRace();
    boat().Distance = TRace::TrackLength(1) / 2.0;
    Tick();
    EXPECT_NEAR(race().ProgressMarker->Y, 322 - 140.5, 0.2);
    boat().Distance = TRace::TrackLength(1);
    Tick();
    EXPECT_NEAR(race().ProgressMarker->Y, 41, 0.2);
    boat().Distance = 2.0 * TRace::TrackLength(1);
    Tick();
    EXPECT_NEAR(race().ProgressMarker->Y, 41, 0.2);
}

TEST_F(RaceClockTest, NeedleWobbleRunsOneMinusOneZeroThreeTicksEach) {
    StartRace();
    race().NeedleWobble = 0;
    race().NeedleWobbleMs = -1;
    std::vector<int32_t> seen;
    for (int i = 0; i < 10; ++i) {
        race().DrawSpeedNeedle();
        seen.push_back(race().NeedleWobble);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 1, 1, -1, -1, -1, 0, 0, 0, 1}));
}

TEST_F(RaceClockTest, CrossingTheFinishLineBrakesAndStartsTheCountdownOnceStopped) {
    StartRace();
    boat().Speed = 2;
    race().FinishLineY = boat().Y + 1;
    Tick();
    EXPECT_TRUE(boat().FinishCrossed);
    EXPECT_EQ(boat().BoatState, bsFinished);
    EXPECT_EQ(CountSound("Finish"), 1);
    int ticks = 0;
    while (!boat().CountingDown && ticks++ < 100)
        Tick();
    EXPECT_TRUE(boat().CountingDown);
    EXPECT_FALSE(boat().ControlEnabled);
    EXPECT_EQ(boat().Speed, 0);
}
