#pragma once

#include "race/WallSprite.h"

#include <array>
#include <cstdint>

class TRace;

// The course generator and the 30 wall slots: scenery, rows of obstacles and bonuses,
// traffic, the finish line, and the removal of spent walls.
class TRaceTrack {
  public:
    static constexpr int32_t kSlotCount = 30;
    static constexpr int kSpawnIndexCount = 28;

    explicit TRaceTrack(TRace& race) : m_race(race) {}

    // Adds one wall if a slot is free and its place touches no other wall; returns it, or null.
    TWallSprite* AddWall(TWallKind kind);
    // The proposed box touches (edges and corners included) the box of a wall in another slot.
    bool PlacementBlocked(int32_t slot, double x, double y, int32_t width, int32_t height) const;
    void SpawnScenery();
    void SpawnTrack();
    void RemoveSpentWalls();
    void FreeAllWalls();
    void FreeWall(int32_t slot);
    // The spawn weights of a level: the base weights on level 1, raised from level 2 on.
    void SetSpawnWeights(int32_t level);
    int32_t UsedSlotCount() const;

    // Wall kind spawned by a spawn index 1..28.
    static TWallKind RowKind(int index);

    // Slots 1..30; index 0 is unused. A slot's wall is valid only while its flag is set.
    std::array<TWallSprite*, kSlotCount + 1> WallSlots{};
    std::array<bool, kSlotCount + 1> WallSlotUsed{};
    double RowDistance = 0;
    int32_t RowCount = 0;
    std::array<double, kSpawnIndexCount + 1> SpawnChance{}; // 1..28

  private:
    bool TryRowWall(int index, double e);
    void SpawnOddRow(double e);
    void SpawnEvenRow(double e);
    void SpawnTraffic();
    // Whether the finish line is due but still waits for a slot.
    bool FinishWaiting() const;
    double UniformDraw();

    TRace& m_race;
};
