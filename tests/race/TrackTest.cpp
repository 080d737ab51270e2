#include "RaceFixture.h"

#include <set>

class TrackTest : public RaceFixture {
  protected:
    void SetUp() override {
        RaceFixture::SetUp();
        StartRace();
    }

    std::vector<uint8_t> LiveKinds() {
        std::vector<uint8_t> kinds;
        for (int32_t i = 1; i <= TRaceTrack::kSlotCount; ++i)
            if (track().WallSlotUsed[i])
                kinds.push_back(track().WallSlots[i]->Kind);
        return kinds;
    }

    // Rows on an empty river at e = 1 (row chances equal the weights); the non-traffic kinds
    // of each row in the order they were added. A non-empty `only` keeps those weights and
    // sets every other row weight to 0.
    std::vector<std::vector<uint8_t>> SpawnRows(int32_t level, int rows,
                                                std::vector<std::pair<int, double>> only = {}) {
        race().Level = level;
        track().SetSpawnWeights(level);
        if (!only.empty()) {
            for (int i = 1; i <= 16; ++i)
                track().SpawnChance[i] = 0;
            for (auto [index, chance] : only)
                track().SpawnChance[index] = chance;
        }
        std::vector<std::vector<uint8_t>> result;
        for (int i = 0; i < rows; ++i) {
            track().FreeAllWalls();
            boat().ScrollStep = 60;
            track().RowDistance = 101;
            track().SpawnTrack();
            std::vector<uint8_t> row;
            for (uint8_t kind : LiveKinds())
                if (!IsTrafficKind(kind))
                    row.push_back(kind);
            result.push_back(row);
        }
        track().FreeAllWalls();
        return result;
    }
};

TEST_F(TrackTest, FullTableRefusesNewWallsQuietly) {
    for (int32_t i = 0; i < TRaceTrack::kSlotCount; ++i)
        AddWallAt(wkDuck, 180 + (i % 10) * 40, -900 + (i / 10) * 40);
    EXPECT_EQ(track().UsedSlotCount(), 30);
    EXPECT_EQ(track().AddWall(wkTree), nullptr);
    EXPECT_EQ(track().UsedSlotCount(), 30);
}

TEST_F(TrackTest, PlacementTouchingAnotherWallCountsEdgesAndCorners) {
    TWallSprite& wall = AddWallAt(wkDuck, 300, 100); // 24 × 20: x 300..324, y 100..120
    struct Case {
        double X, Y;
        int W, H;
        bool Blocked;
    };
    const Case cases[] = {
        {310, 110, 10, 10, true}, // overlap
        {324, 100, 10, 10, true}, // shares the right edge
        {290, 120, 10, 10, true}, // shares the bottom-left corner
        {324, 120, 10, 10, true}, // touches only the bottom-right corner
        {325, 100, 10, 10, false}, {300, 121, 10, 10, false}, {289, 90, 10, 9, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(track().PlacementBlocked(0, c.X, c.Y, c.W, c.H), c.Blocked) << c.X << "," << c.Y;
    EXPECT_FALSE(track().PlacementBlocked(wall.Slot, 310, 110, 10, 10)) << "a wall never blocks itself";
}

TEST_F(TrackTest, WallWhosePlaceTouchesAnotherIsDropped) {
    // A finish line across the whole river at the spawn height blocks every river wall.
    TWallSprite& line = AddWallAt(wkFinishLine, 177, -140);
    (void)line;
    const int32_t before = track().UsedSlotCount();
    track().RowCount = 0;
    EXPECT_EQ(track().AddWall(wkTree), nullptr);
    EXPECT_EQ(track().UsedSlotCount(), before);
    EXPECT_EQ(track().RowCount, 0);
}

TEST_F(TrackTest, FinishLineIgnoresOverlapAndStopsRowsAndTrafficInItsTick) {
    AddWallAt(wkTree, 300, -140);
    boat().Distance = TRace::TrackLength(1);
    boat().ScrollStep = 60;
    track().RowDistance = 500;
    track().SetSpawnWeights(1);
    for (double& chance : track().SpawnChance)
        chance = 100; // every test would succeed
    track().SpawnTrack();
    EXPECT_TRUE(boat().FinishSpawned);
    EXPECT_EQ(track().UsedSlotCount(), 2);
    EXPECT_EQ(LiveKinds().back(), wkFinishLine);
    EXPECT_EQ(track().RowDistance, 500) << "no row in the finish line's tick";
    for (int32_t i = 1; i <= TRaceTrack::kSlotCount; ++i)
        if (track().WallSlotUsed[i])
            track().WallSlots[i]->Y = 300; // clear the spawn line for the traffic
    // Afterwards rows stay off but traffic goes on.
    track().SpawnTrack();
    for (uint8_t kind : LiveKinds())
        EXPECT_TRUE(kind == wkTree || kind == wkFinishLine || IsTrafficKind(kind)) << int(kind);
    EXPECT_GT(track().UsedSlotCount(), 2);
}

TEST_F(TrackTest, FinishLineWaitsForASlotWhenTheTableIsFull) {
    for (int32_t i = 0; i < TRaceTrack::kSlotCount; ++i)
        AddWallAt(wkDuck, 180 + (i % 10) * 40, 100 + (i / 10) * 40);
    boat().Distance = TRace::TrackLength(1);
    boat().ScrollStep = 0;
    track().SpawnTrack();
    EXPECT_FALSE(boat().FinishSpawned);
    track().FreeWall(7);
    // Scenery and traffic may not take the freed slot from the finish line.
    boat().ScrollStep = 600;
    track().SpawnScenery();
    EXPECT_EQ(track().UsedSlotCount(), 29);
    track().SpawnTrack();
    EXPECT_TRUE(boat().FinishSpawned);
    EXPECT_EQ(track().WallSlots[7]->Kind, wkFinishLine);
}

TEST_F(TrackTest, EvenLevelsNeverSpawnFisherShipRampOrBridge) {
    std::set<uint8_t> seen;
    for (const auto& row : SpawnRows(2, 2000))
        seen.insert(row.begin(), row.end());
    for (uint8_t kind : {wkFisher, wkShip, wkRamp, wkBridge})
        EXPECT_EQ(seen.count(kind), 0u) << int(kind);
    EXPECT_TRUE(seen.count(wkTree) && seen.count(wkBox10) && seen.count(wkBoxGun));
}

TEST_F(TrackTest, EvenLevelGroupsEachMakeTheirFirstTestAfterTwoWalls) {
    // Ducks, 10-point, gun and life boxes: one sure pick in each of the four groups.
    int longest = 0;
    for (const auto& row : SpawnRows(2, 100, {{4, 1}, {7, 1}, {12, 1}, {16, 1}})) {
        EXPECT_LE(row.size(), 4u);
        EXPECT_EQ(row.front(), wkDuck);
        longest = std::max(longest, static_cast<int>(row.size()));
    }
    EXPECT_EQ(longest, 4);
}

TEST_F(TrackTest, OddLevelRowsHoldTwoWallsAtMostAndAFisherOnlyFirst) {
    for (const auto& row : SpawnRows(1, 300))
        EXPECT_LE(row.size(), 2u);
    // A fisher after another wall ends the row.
    for (const auto& row : SpawnRows(1, 50, {{4, 1}, {5, 1}, {6, 1}}))
        EXPECT_EQ(row, std::vector<uint8_t>{wkDuck});
    // A fisher may open it.
    for (const auto& row : SpawnRows(1, 50, {{5, 1}, {6, 1}})) {
        ASSERT_FALSE(row.empty());
        EXPECT_EQ(row.front(), wkFisher);
    }
}

TEST_F(TrackTest, StoppedBoatGetsTrafficOnly) {
    boat().ScrollStep = 0;
    track().SetSpawnWeights(1);
    int traffic = 0;
    for (int tick = 0; tick < 20000; ++tick) {
        track().RowDistance = 101; // a row is due, but at zero speed every chance is 0
        track().SpawnScenery();
        track().SpawnTrack();
        for (uint8_t kind : LiveKinds()) {
            EXPECT_TRUE(IsTrafficKind(kind)) << int(kind);
            traffic += 1;
        }
        track().FreeAllWalls();
    }
    EXPECT_GT(traffic, 10);
}

TEST_F(TrackTest, SpawnWeightsOfLevelOneAndLater) {
    struct Case {
        int Index;
        double Level1;
        double Level2;
    };
    const Case cases[] = {
        {1, 0.1, 0.12}, {11, 0.3, 0.36}, {17, 0.02, 0.024}, {18, 0.005, 0.007}, {16, 0.02, 0.024}};
    for (int level : {1, 2, 7}) {
        track().SetSpawnWeights(level);
        for (const Case& c : cases)
            EXPECT_NEAR(track().SpawnChance[c.Index], level == 1 ? c.Level1 : c.Level2, 1e-12) << c.Index;
    }
    EXPECT_EQ(TRaceTrack::RowKind(5), wkFisher);
    EXPECT_EQ(TRaceTrack::RowKind(28), 34);
}

TEST_F(TrackTest, SpentWallsAreRemoved) {
    struct Case {
        const char* What;
        double Y;
        bool Collected;
        bool Explode;
        bool Removed;
    };
    const Case cases[] = {
        {"on the water", 300, false, false, false},     {"below 1000", 1001, false, false, true},
        {"above -800", -801, false, false, true},       {"collected", 300, true, false, true},
        {"explosion playing", 300, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TWallSprite& wall = AddWallAt(wkFlag, 300, c.Y);
        wall.Collected = c.Collected;
        if (c.Explode)
            wall.Explode();
        const int32_t slot = wall.Slot;
        track().RemoveSpentWalls();
        EXPECT_EQ(!track().WallSlotUsed[slot], c.Removed);
        track().FreeAllWalls();
    }
    TWallSprite& flag = AddWallAt(wkFlag, 300, 300);
    flag.Explode();
    flag.FramePos = 7;
    track().RemoveSpentWalls();
    EXPECT_EQ(track().UsedSlotCount(), 0) << "an explosion on its last frame is removed";
}

TEST_F(TrackTest, WallsArePlacedInsideTheirRange) {
    for (int i = 0; i < 300; ++i) {
        track().FreeAllWalls();
        for (TWallKind kind :
             {wkTree, wkDuck, wkBedLeft, wkBedRight, wkUmbrellaRed, wkBoat4SameWay, wkFinishLine}) {
            TWallSprite* wall = track().AddWall(kind);
            ASSERT_NE(wall, nullptr);
            EXPECT_EQ(wall->Y, -140);
            if (kind == wkBedLeft || (wall->OnShore && wall->X < 177)) {
                EXPECT_GE(wall->X, 127);
                EXPECT_LE(wall->X + wall->Width, 174);
            } else if (wall->OnShore) {
                EXPECT_GE(wall->X, 610);
                EXPECT_LE(wall->X + wall->Width, 660);
            } else if (kind == wkFinishLine) {
                EXPECT_EQ(wall->X, 177);
            } else {
                EXPECT_GE(wall->X, 178);
                EXPECT_LE(wall->X + wall->Width, 608);
            }
            track().FreeWall(wall->Slot);
        }
    }
}
