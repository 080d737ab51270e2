#include "RaceFixture.h"

#include <cmath>
#include <numbers>

class PlayerBoatTest : public RaceFixture {
  protected:
    void SetUp() override {
        RaceFixture::SetUp();
        StartRace();
    }
    void Step(int times = 1) {
        for (int i = 0; i < times; ++i)
            boat().Step(1);
    }
};

TEST_F(PlayerBoatTest, SteersOneUnitPerTickAndStraightensTwoBeforeTurningBack) {
    boat().SteerLeftHeld = true;
    Step(25);
    EXPECT_EQ(boat().SteerAngle, -25);
    Step();
    EXPECT_EQ(boat().SteerAngle, -25);

    boat().SteerLeftHeld = false;
    boat().SteerRightHeld = true;
    std::vector<int32_t> angles;
    for (int i = 0; i < 15; ++i) {
        Step();
        angles.push_back(boat().SteerAngle);
    }
    EXPECT_EQ(angles, (std::vector<int32_t>{-23, -21, -19, -17, -15, -13, -11, -9, -7, -5, -3, -1, 0, 1, 2}));
}

TEST_F(PlayerBoatTest, FullTurnAtTopSpeedMovesSidewaysAndScrolls) {
    boat().X = 300;
    boat().SteerAngle = 25;
    boat().SteerRightHeld = true;
    boat().Speed = boat().TopSpeed;
    Step();
    EXPECT_NEAR(boat().LateralStep, 5.14, 0.005);
    EXPECT_NEAR(boat().ScrollStep, 8.93, 0.005);
    EXPECT_NEAR(boat().X, 300 + boat().LateralStep, 1e-9);
    EXPECT_NEAR(boat().Distance, boat().ScrollStep, 1e-9);
}

TEST_F(PlayerBoatTest, BankLimitsShiftWithTheHeading) {
    struct Case {
        double X;
        int32_t Angle;
        double ExpectedX;
    };
    const double m = std::sin(25 * std::numbers::pi / 128) * 80 / 3;
    const Case cases[] = {
        {590, 0, 609 - 36}, {150, 0, 177}, {590, 25, 609 - m - 36}, {150, -25, 177 + m}, {300, 25, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Angle);
        boat().Speed = 0; // no sideways step: only the limits act
        boat().X = c.X;
        boat().SteerAngle = c.Angle;
        boat().SteerLeftHeld = c.Angle < 0;
        boat().SteerRightHeld = c.Angle > 0;
        Step();
        EXPECT_NEAR(boat().X, c.ExpectedX, 1e-9);
    }
}

TEST_F(PlayerBoatTest, BrakeFromJustAboveStopLeavesASmallNegativeSpeedOnce) {
    boat().Speed = 0.15;
    boat().Brake();
    EXPECT_NEAR(boat().Speed, -0.05, 1e-12);
    boat().Brake();
    EXPECT_EQ(boat().Speed, 0);
}

TEST_F(PlayerBoatTest, EngineRaisesTheLimitsAndLosingItAboveTopSpeedSlowsDown) {
    boat().Speed = 17;
    boat().GainPowerUp(puEngine);
    EXPECT_DOUBLE_EQ(boat().TopSpeed, 150.0 / 7);
    EXPECT_DOUBLE_EQ(boat().Accel, 0.12);
    EXPECT_DOUBLE_EQ(boat().Decel, 0.4);
    EXPECT_EQ(boat().EngineMs, 10000);
    EXPECT_EQ(CountSound("Bonus"), 1);

    boat().Speed = 21;
    boat().LosePowerUp(puEngine, true);
    EXPECT_EQ(boat().SpeedMode, smSlow);
    EXPECT_DOUBLE_EQ(boat().TargetSpeed, 125.0 / 7);
    EXPECT_DOUBLE_EQ(boat().Accel, 0.06);
    EXPECT_EQ(CountSound("BonusLost"), 1);
    Step(10);
    EXPECT_EQ(boat().SpeedMode, smNone);
    EXPECT_LE(boat().Speed, 125.0 / 7);
    EXPECT_GT(boat().Speed, 125.0 / 7 - 0.6);

    boat().GainPowerUp(puEngine);
    boat().Speed = 17;
    boat().LosePowerUp(puEngine, false);
    EXPECT_EQ(boat().SpeedMode, smNone);
    EXPECT_EQ(boat().Speed, 17);
}

TEST_F(PlayerBoatTest, PowerUpsRunOutAfterTenSecondsAndRepickRestarts) {
    boat().GainPowerUp(puGun);
    Step(300);
    EXPECT_EQ(boat().GunMs, 10000 - 300 * 15);
    boat().GainPowerUp(puGun);
    EXPECT_EQ(boat().GunMs, 10000);
    EXPECT_EQ(CountSound("Bonus"), 2);
    Step(667);
    EXPECT_TRUE(boat().HasGun);
    Step();
    EXPECT_FALSE(boat().HasGun);
    EXPECT_EQ(CountSound("BonusLost"), 1);
}

TEST_F(PlayerBoatTest, JumpBoostsToTwiceTheSpeedCappedAtTopSpeed) {
    struct Case {
        double Speed;
        double Target;
    };
    for (const Case c : {Case{6, 12}, Case{10, 125.0 / 7}}) {
        SCOPED_TRACE(c.Speed);
        boat().X = 300;
        boat().SteerAngle = 7;
        boat().Speed = c.Speed;
        const double centre = boat().X + boat().Width / 2.0;
        boat().StartJump();
        EXPECT_TRUE(boat().Jumping);
        EXPECT_EQ(boat().Width, 45);
        EXPECT_DOUBLE_EQ(boat().X + boat().Width / 2.0, centre);
        EXPECT_EQ(boat().SteerAngle, 0);
        EXPECT_DOUBLE_EQ(boat().TargetSpeed, c.Target);
        EXPECT_EQ(boat().SpeedMode, smBoost);
        int ticks = 0;
        while (boat().SpeedMode == smBoost && ticks++ < 100)
            Step();
        EXPECT_GE(boat().Speed, c.Target);
        EXPECT_LT(boat().Speed, c.Target + 3 * 0.06);
        EXPECT_LE(boat().Speed, boat().TopSpeed);
        // 1500 ms in the air, then the normal picture with the centre kept.
        while (boat().Jumping && ticks++ < 200)
            Step();
        EXPECT_EQ(ticks, 101);
        EXPECT_EQ(boat().Width, 36);
    }
}

TEST_F(PlayerBoatTest, WreckOnTheLastLifeOpensGameOverAfterTwoBlastCycles) {
    race().Lives = 1;
    boat().Speed = 10;
    boat().GainPowerUp(puGun);
    boat().Wreck();
    EXPECT_EQ(race().Lives, 0);
    EXPECT_EQ(boat().BoatState, bsWrecked);
    EXPECT_FALSE(boat().Visible);
    EXPECT_FALSE(boat().HasGun);
    EXPECT_TRUE(race().PlayerBlast->Visible);
    EXPECT_EQ(boat().Speed, 0);
    EXPECT_EQ(CountSound("PlayerExplosion"), 1);
    int ticks = 0;
    while (context->TickView().MessageMode == msgNone && ticks++ < 200)
        context->MSpriteEngine().Move(1);
    EXPECT_EQ(context->TickView().MessageMode, msgGameOver);
    EXPECT_EQ(race().Lives, 0);
    EXPECT_FALSE(race().PlayerBlast->Visible);
    EXPECT_NEAR(ticks, 72, 2);
}

TEST_F(PlayerBoatTest, WreckWithLivesLeftRespawnsAStoppedVisibleBoat) {
    boat().Wreck();
    EXPECT_EQ(race().Lives, 2);
    boat().Wreck(); // a wrecked boat cannot be wrecked again
    EXPECT_EQ(race().Lives, 2);
    int ticks = 0;
    while (boat().BoatState == bsWrecked && ticks++ < 200)
        context->MSpriteEngine().Move(1);
    EXPECT_EQ(boat().BoatState, bsRacing);
    EXPECT_TRUE(boat().Visible);
    EXPECT_TRUE(boat().ControlEnabled);
    EXPECT_EQ(boat().Speed, 0);
    EXPECT_FALSE(race().PlayerBlast->Visible);
    EXPECT_EQ(context->TickView().MessageMode, msgNone);
}

TEST_F(PlayerBoatTest, ShieldedOrFinishedBoatIsNeverWrecked) {
    boat().HasShield = true;
    boat().Wreck();
    EXPECT_EQ(boat().BoatState, bsRacing);
    boat().HasShield = false;
    boat().BoatState = bsFinished;
    boat().Wreck();
    EXPECT_EQ(boat().BoatState, bsFinished);
    EXPECT_EQ(race().Lives, 3);
}

TEST(ExplosionTiming, EightPatternBlastWrapsEvery36Ticks) {
    // FrameSpeed 0.225 of 8 patterns: 35.6 ticks per cycle.
    TSpriteEngine root;
    auto& blast = *new TImageSprite(&root); // owned by the root
    blast.FrameCount = 8;
    blast.Looping = true;
    blast.FrameSpeed = 15 / 1000.0 * 15;
    std::vector<int> wraps;
    double last = 0;
    for (int tick = 1; tick <= 80; ++tick) {
        blast.Step(1);
        if (blast.FramePos < last)
            wraps.push_back(tick);
        last = blast.FramePos;
    }
    EXPECT_EQ(wraps, (std::vector<int>{36, 72}));
    blast.FramePos = 0;
    blast.Step(2);
    EXPECT_DOUBLE_EQ(blast.FramePos, 0.45); // a lag of 2 plays two steps' worth of frames
}

class GunTest : public PlayerBoatTest {
  protected:
    void Aim(double x, int32_t angle) {
        boat().X = x;
        boat().SteerAngle = angle;
        boat().CentreX = boat().X + boat().Width / 2.0;
        boat().CentreY = boat().Y + boat().Height / 2.0;
        boat().HasGun = true;
    }
};

TEST_F(GunTest, StraightShotPassesShotProofWallsAndHitsTheFirstOther) {
    Aim(300, 0);
    const double cx = boat().CentreX;
    TWallSprite& tree = AddWallAt(wkTree, cx - 45, 300);
    TWallSprite& flag = AddWallAt(wkFlag, cx - 12, 100);
    TWallSprite& duck = AddWallAt(wkDuck, cx - 12, 40);
    race().Score = 0;
    boat().FireGun();
    EXPECT_FALSE(tree.Exploded);
    EXPECT_TRUE(flag.Exploded);
    EXPECT_FALSE(duck.Exploded) << "a hit ends the shot";
    EXPECT_EQ(race().Score, 5);
    boat().FireGun(); // the exploding flag still stops the shot
    EXPECT_FALSE(duck.Exploded);
    EXPECT_EQ(race().Score, 5);
}

TEST_F(GunTest, ShotStopsAtTheTopOfTheScreenAndAtTheWaterEdges) {
    Aim(300, 0);
    TWallSprite& above = AddWallAt(wkDuck, boat().CentreX - 12, -30);
    boat().FireGun();
    EXPECT_FALSE(above.Exploded);

    // Turned right: the trace ends at X 608, just short of scenery on the right bank.
    Aim(500, 25);
    TWallSprite& umbrella = AddWallAt(wkUmbrellaRed, 609, 380);
    umbrella.Height = 200;
    umbrella.Y = 300;
    boat().FireGun();
    EXPECT_FALSE(umbrella.Exploded);

    TWallSprite& duck = AddWallAt(wkDuck, 560, 455);
    boat().FireGun();
    EXPECT_TRUE(duck.Exploded);
}

// What is drawn of a shot follows the trace: it ends inside what it hit, or where it left the water.
TEST_F(GunTest, TheShotDrawnEndsWhereTheTraceEnded) {
    Aim(300, 0);
    const double cx = boat().CentreX;
    TWallSprite& flag = AddWallAt(wkFlag, cx - 12, 100);
    boat().FireGun();
    ASSERT_TRUE(flag.Exploded);
    EXPECT_TRUE(boat().ShotFired);
    EXPECT_TRUE(boat().ShotHit);
    EXPECT_GT(boat().ShotEndX, flag.X);
    EXPECT_LT(boat().ShotEndX, flag.X + flag.Width);
    EXPECT_GT(boat().ShotEndY, flag.Y);
    EXPECT_LT(boat().ShotEndY, flag.Y + flag.Height);

    Aim(500, 25);
    boat().FireGun();
    EXPECT_FALSE(boat().ShotHit);
    EXPECT_GT(boat().ShotEndX, 608 - 1) << "a shot turned right ends at the water's right edge";
}

TEST_F(GunTest, ShootingScoresByKind) {
    struct Case {
        TWallKind Kind;
        int32_t Points;
    };
    const Case cases[] = {{wkRamp, 10},         {wkFlag, 5},          {wkFisher, 5}, {wkShip, 30},
                          {wkBridge, 10},       {wkDuck, 5},          {wkBox100, 0}, {wkBoxLife, 0},
                          {wkBoat4SameWay, 20}, {wkBoat4Oncoming, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        TWallSprite& wall = AddWallAt(c.Kind, 300, 100);
        race().Score = 0;
        race().ScoreShot(wall);
        EXPECT_EQ(race().Score, c.Points);
        track().FreeWall(wall.Slot);
    }
}
