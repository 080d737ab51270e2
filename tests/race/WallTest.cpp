#include "RaceFixture.h"

#include "engine/gfx/Surface.h"

class WallTest : public RaceFixture {
  protected:
    void SetUp() override {
        RaceFixture::SetUp();
        StartRace();
        boat().X = 300;
        boat().CentreX = 318;
    }
    // One Step of the wall: its scan finds the boat underneath and applies the effect.
    void Touch(TWallSprite& wall) { wall.Step(1); }
};

TEST_F(WallTest, ShieldIgnoresFisherShipAndFastTraffic) {
    for (TWallKind kind : {wkFisher, wkShip, wkBoat4SameWay, wkBridge}) {
        SCOPED_TRACE(static_cast<int>(kind));
        boat().HasShield = true;
        boat().Speed = 15;
        boat().ScrollStep = 7.5;
        TWallSprite& wall = AddWallOnBoat(kind);
        wall.OwnSpeed = wall.Moving && kind != wkShip ? -2 : 0;
        Touch(wall);
        EXPECT_TRUE(wall.Exploded);
        EXPECT_EQ(boat().BoatState, bsRacing);
        EXPECT_EQ(race().Lives, 3);
        EXPECT_EQ(boat().Speed, 15) << "a shielded boat keeps its speed";
        track().FreeWall(wall.Slot);
    }
}

TEST_F(WallTest, BridgeStopsASlowBoatAndWrecksAFastOne) {
    struct Case {
        double Speed;
        bool Wrecked;
    };
    for (const Case c : {Case{7, false}, Case{50.0 / 7, false}, Case{7.2, true}}) {
        SCOPED_TRACE(c.Speed);
        boat().BoatState = bsRacing;
        boat().Visible = true;
        boat().ControlEnabled = true;
        race().Lives = 3;
        boat().Speed = c.Speed;
        TWallSprite& bridge = AddWallOnBoat(wkBridge);
        Touch(bridge);
        EXPECT_TRUE(bridge.Exploded);
        EXPECT_EQ(boat().Speed, 0);
        EXPECT_EQ(boat().BoatState == bsWrecked, c.Wrecked);
        EXPECT_EQ(race().Lives, c.Wrecked ? 2 : 3);
        track().FreeWall(bridge.Slot);
    }
}

TEST_F(WallTest, TrafficWrecksOnlyWhenClosingFasterThan25Sevenths) {
    struct Case {
        TWallKind Kind;
        double OwnSpeed;
        double BoatSpeed;
        bool Shield;
        bool Finished;
        bool Wrecked;
        double SpeedAfter;
    };
    const Case cases[] = {
        {wkBoat4Oncoming, 3, 0, false, false, false, 0},     // oncoming, stopped boat: closes at 3
        {wkBoat4SameWay, -2.2, 17.8, false, false, true, 0}, // same way at scroll 8.9: closes at 6.7
        {wkBoat4SameWay, -2.2, 17.8, true, false, false, 17.8},
        {wkBoat4SameWay, -2.2, 17.8, false, true, false, 0}, // after the finish: stopped, no life lost
        {wkBoat4Oncoming, 1.5, 3, false, false, false, 0},   // 1.5 + 1.5 = 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.OwnSpeed);
        boat().BoatState = c.Finished ? bsFinished : bsRacing;
        boat().FinishCrossed = c.Finished;
        boat().Visible = true;
        boat().ControlEnabled = true;
        boat().HasShield = c.Shield;
        race().Lives = 3;
        boat().Speed = c.BoatSpeed;
        boat().ScrollStep = c.BoatSpeed * 0.5;
        TWallSprite& traffic = AddWallOnBoat(c.Kind);
        traffic.OwnSpeed = c.OwnSpeed;
        Touch(traffic);
        EXPECT_TRUE(traffic.Exploded);
        EXPECT_EQ(boat().BoatState == bsWrecked, c.Wrecked);
        EXPECT_EQ(race().Lives, c.Wrecked ? 2 : 3);
        EXPECT_DOUBLE_EQ(boat().Speed, c.SpeedAfter);
        track().FreeWall(traffic.Slot);
    }
}

TEST_F(WallTest, EffectsOfTheKinds) {
    struct Case {
        TWallKind Kind;
        const char* Sound;
        int32_t ScoreAfter; // from 150
        int32_t LivesAfter;
        bool Collected;
    };
    const Case cases[] = {
        {wkDuck, "Duck", 50, 3, true},       {wkBox10, "Money", 160, 3, true},
        {wkBox20, "Money", 170, 3, true},    {wkBox50, "Money", 200, 3, true},
        {wkBox100, "Money", 250, 3, true},   {wkBoxLife, "Bonus", 150, 4, true},
        {wkBoxGun, "Bonus", 150, 3, true},   {wkTree, "Tree", 150, 3, false},
        {wkFlag, "Flag", 150, 3, false},     {wkWeed, "Weed", 150, 3, false},
        {wkRoomRed, nullptr, 150, 3, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Kind));
        sounds.clear();
        race().Score = 150;
        race().Lives = 3;
        boat().Speed = 10;
        TWallSprite& wall = AddWallOnBoat(c.Kind);
        Touch(wall);
        EXPECT_FALSE(wall.Collidable) << "a wall acts on the boat once";
        EXPECT_EQ(race().Score, c.ScoreAfter);
        EXPECT_EQ(race().Lives, c.LivesAfter);
        EXPECT_EQ(wall.Collected, c.Collected);
        if (c.Sound != nullptr)
            EXPECT_EQ(CountSound(c.Sound), 1);
        else
            EXPECT_TRUE(sounds.empty());
        track().FreeWall(wall.Slot);
    }
}

TEST_F(WallTest, SlowDownProgramsOfTreeFlagAndWeed) {
    boat().Speed = 10;
    Touch(AddWallOnBoat(wkTree));
    EXPECT_EQ(boat().SpeedMode, smSlow);
    EXPECT_DOUBLE_EQ(boat().TargetSpeed, 5);

    boat().Speed = 4;
    Touch(AddWallOnBoat(wkFlag));
    EXPECT_DOUBLE_EQ(boat().TargetSpeed, 0);

    boat().Speed = 10;
    Touch(AddWallOnBoat(wkWeed));
    EXPECT_TRUE(boat().SpeedMode == smDriftLeft || boat().SpeedMode == smDriftRight);
    EXPECT_DOUBLE_EQ(boat().DriftMs, 700);
    EXPECT_DOUBLE_EQ(boat().TargetSpeed, 10 - 25.0 / 7);
}

TEST_F(WallTest, DuckNeverTakesTheScoreBelowZero) {
    race().Score = 40;
    Touch(AddWallOnBoat(wkDuck));
    EXPECT_EQ(race().Score, 0);
}

TEST_F(WallTest, RampLaunchesOnlyFromItsLowerHalfAndNotAJumpingBoat) {
    // Boat top edge in the ramp's lower half.
    TWallSprite& low = AddWallAt(wkRamp, boat().X, boat().Y - 40);
    Touch(low);
    EXPECT_TRUE(boat().Jumping);
    // A jumping boat ignores walls altogether.
    TWallSprite& duck = AddWallOnBoat(wkDuck);
    Touch(duck);
    EXPECT_TRUE(duck.Collidable);
    EXPECT_FALSE(duck.Collected);
    boat().EndJump();
    // Upper half: touched once, no jump, and never again.
    TWallSprite& high = AddWallAt(wkRamp, boat().X, boat().Y - 10);
    Touch(high);
    EXPECT_FALSE(boat().Jumping);
    EXPECT_FALSE(high.Collidable);
}

TEST_F(WallTest, MovingWallsDestroyEachOtherAndFishersAndBridges) {
    struct Case {
        TWallKind Mover;
        TWallKind Other;
        bool BothExplode;
    };
    const Case cases[] = {{wkBoat4SameWay, wkBoat4Oncoming, true}, {wkBoat4SameWay, wkShip, true},
                          {wkBoat4Oncoming, wkFisher, true},       {wkBoat4Oncoming, wkBridge, true},
                          {wkBoat4SameWay, wkTree, false},         {wkBoat5SameWay, wkWeed, false}};
    boat().X = 180; // out of the way
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Other));
        TWallSprite& mover = AddWallAt(c.Mover, 400, 100);
        TWallSprite& other = AddWallAt(c.Other, 390, 110);
        Touch(mover);
        EXPECT_EQ(mover.Exploded, c.BothExplode);
        EXPECT_EQ(other.Exploded, c.BothExplode);
        track().FreeWall(mover.Slot);
        track().FreeWall(other.Slot);
    }
}

TEST_F(WallTest, ShipBouncesBetweenTheBanksFacingItsWay) {
    boat().ScrollStep = 0;
    TWallSprite& ship = AddWallAt(wkShip, 607 - 140, 100);
    ship.DriftX = 10.0 / 7;
    ship.Step(1);
    EXPECT_DOUBLE_EQ(ship.X, 607 - 140);
    EXPECT_DOUBLE_EQ(ship.DriftX, -10.0 / 7);
    EXPECT_EQ(ship.Image, &race().Picture("ShipLeft"));
    ship.X = 177.5;
    ship.Step(1);
    EXPECT_DOUBLE_EQ(ship.X, 177);
    EXPECT_DOUBLE_EQ(ship.DriftX, 10.0 / 7);
    EXPECT_EQ(ship.Image, &race().Picture("ShipRight"));
}

TEST_F(WallTest, TrafficKeepsClearOfTheBanks) {
    boat().ScrollStep = 0;
    TWallSprite& traffic = AddWallAt(wkBoat4SameWay, 220, 100);
    traffic.OwnSpeed = 0;
    traffic.DriftX = -5;
    traffic.SwerveMs = 300;
    traffic.Step(1);
    EXPECT_DOUBLE_EQ(traffic.X, 218);
    EXPECT_EQ(traffic.DriftX, 0);
    EXPECT_EQ(traffic.SwerveMs, 0);
    traffic.X = 560 - traffic.Width;
    traffic.DriftX = 8;
    traffic.SwerveMs = 300;
    traffic.Step(1);
    EXPECT_DOUBLE_EQ(traffic.X + traffic.Width, 566);
}

TEST_F(WallTest, ExplosionIsCentredWhereTheWallWasAndKeepsScrolling) {
    TWallSprite& flag = AddWallAt(wkFlag, 300, 100); // 24 × 40
    flag.Explode();
    EXPECT_EQ(flag.Width, 48);
    EXPECT_DOUBLE_EQ(flag.X, 300 - 12);
    EXPECT_DOUBLE_EQ(flag.Y, 100 - 4);
    EXPECT_EQ(flag.FrameCount, 8);
    EXPECT_FALSE(flag.Looping);
    boat().ScrollStep = 5;
    flag.Step(1);
    EXPECT_DOUBLE_EQ(flag.Y, 101);
}

TEST_F(WallTest, BonusBoxIsLitFromTheSideItFloatsOn) {
    struct Case {
        double X;
        const char* Box;
    };
    for (const Case c : {Case{392, "BoxLeft"}, Case{393, "BoxRight"}}) {
        SCOPED_TRACE(c.Box);
        TWallSprite& box = AddWallAt(wkBox50, c.X, 200);
        TDirectDrawSurface& surface = *context->MDraw().Surface();
        surface.Fill(0);
        box.Render();
        const uint32_t rgb = ColourOf(PictureIndex(c.Box));
        const uint16_t expected = RGBTo565((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        // Below the bonus picture, which sits centred on the box and 4 pixels higher.
        EXPECT_EQ(surface.PixelAt(static_cast<int>(c.X) + 1, 230), expected);
        const uint32_t bonus = ColourOf(PictureIndex("Bonus50"));
        EXPECT_EQ(surface.PixelAt(static_cast<int>(c.X) + 16, 210),
                  RGBTo565((bonus >> 16) & 0xFF, (bonus >> 8) & 0xFF, bonus & 0xFF));
        track().FreeWall(box.Slot);
    }
}
