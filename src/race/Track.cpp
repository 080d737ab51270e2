#include "race/Track.h"

#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/WallSprite.h"

#include <algorithm>

namespace {

struct TSpawnEntry {
    TWallKind Kind;
    double BaseChance;
    double LevelFactor;
};

// Spawn indices 1..28 (entry 0 unused).
constexpr std::array<TSpawnEntry, TRaceTrack::kSpawnIndexCount + 1> kSpawnTable{{
    {wkTree, 0, 0},
    {wkTree, 0.1, 1.2},
    {wkWeed, 0.1, 1.2},
    {wkFlag, 0.1, 1.2},
    {wkDuck, 0.1, 1.2},
    {wkFisher, 0.1, 1.2},
    {wkShip, 0.1, 1.2},
    {wkBox10, 0.05, 1.2},
    {wkBox20, 0.05, 1.2},
    {wkBox50, 0.05, 1.2},
    {wkBox100, 0.05, 1.2},
    {wkRamp, 0.3, 1.2},
    {wkBoxGun, 0.05, 1.2},
    {wkBoxShield, 0.05, 1.2},
    {wkBoxEngine, 0.05, 1.2},
    {wkBridge, 0.1, 1.2},
    {wkBoxLife, 0.02, 1.2},
    {wkBoat4SameWay, 0.02, 1.2},
    {wkBoat4Oncoming, 0.005, 1.4},
    {wkBoat5SameWay, 0.02, 1.2},
    {wkBoat5Oncoming, 0.005, 1.4},
    {wkBoat6SameWay, 0.02, 1.2},
    {wkBoat6Oncoming, 0.005, 1.4},
    {wkBoat7SameWay, 0.02, 1.2},
    {wkBoat7Oncoming, 0.005, 1.4},
    {wkBoat8SameWay, 0.02, 1.2},
    {wkBoat8Oncoming, 0.005, 1.4},
    {wkBoat9SameWay, 0.02, 1.2},
    {wkBoat9Oncoming, 0.005, 1.4},
}};

constexpr int kFisherIndex = 5;
constexpr int kFirstTrafficIndex = 17;
constexpr int kRowWallLimit = 2;
constexpr double kRowSpacing = 100;
// Row odds grow with the scroll: e = ScrollStep / 60.
constexpr double kRowScrollDivisor = 60;
constexpr double kTrafficDivisor = 84;
// Each scenery kind comes about once per 3000 units of scroll: odds 0.2 × ScrollStep / 600.
constexpr double kSceneryWeight = 0.2;
constexpr double kSceneryScrollDivisor = 600;
constexpr std::array<TWallKind, 7> kSceneryKinds{wkUmbrellaBlue, wkUmbrellaGreen, wkUmbrellaRed, wkBedLeft,
                                                 wkBedRight,     wkRoomRed,       wkRoomBlue};
// Even levels: trees to ducks, point boxes, power-up boxes, the extra life.
struct TIndexRange {
    int First;
    int Last;
};
constexpr std::array<TIndexRange, 4> kEvenRowGroups{{{1, 4}, {7, 10}, {12, 14}, {16, 16}}};

constexpr double kRemoveBelowY = 1000;
constexpr double kRemoveAboveY = -800;

} // namespace

TWallKind TRaceTrack::RowKind(int index) {
    return kSpawnTable[static_cast<size_t>(index)].Kind;
}

void TRaceTrack::SetSpawnWeights(int32_t level) {
    for (int i = 1; i <= kSpawnIndexCount; ++i) {
        const TSpawnEntry& entry = kSpawnTable[static_cast<size_t>(i)];
        SpawnChance[static_cast<size_t>(i)] =
            level == 1 ? entry.BaseChance : entry.BaseChance * entry.LevelFactor;
    }
}

int32_t TRaceTrack::UsedSlotCount() const {
    return static_cast<int32_t>(std::count(WallSlotUsed.begin() + 1, WallSlotUsed.end(), true));
}

double TRaceTrack::UniformDraw() {
    return m_race.Random(32768) / 32768.0;
}

bool TRaceTrack::FinishWaiting() const {
    const TMyCarSprite* boat = m_race.PlayerBoat;
    return boat != nullptr && !boat->FinishSpawned && TRace::TrackLength(m_race.Level) <= boat->Distance;
}

TWallSprite* TRaceTrack::AddWall(TWallKind kind) {
    int32_t slot = 0;
    for (int32_t i = 1; i <= kSlotCount; ++i) {
        if (!WallSlotUsed[i]) {
            slot = i;
            break;
        }
    }
    if (slot == 0)
        return nullptr;
    // The last free slot is kept for a finish line that is due, so the level always gets one.
    if (kind != wkFinishLine && UsedSlotCount() == kSlotCount - 1 && FinishWaiting())
        return nullptr;
    auto* wall = new TWallSprite(m_race, kind, slot);
    WallSlots[slot] = wall;
    WallSlotUsed[slot] = true;
    if (wall->Blocked) {
        FreeWall(slot);
        return nullptr;
    }
    RowCount += 1;
    return wall;
}

bool TRaceTrack::PlacementBlocked(int32_t slot, double x, double y, int32_t width, int32_t height) const {
    for (int32_t j = 1; j <= kSlotCount; ++j) {
        if (j == slot || !WallSlotUsed[j])
            continue;
        const TWallSprite& w = *WallSlots[j];
        if (std::max(x, w.X) <= std::min(x + width, w.X + w.Width) &&
            std::max(y, w.Y) <= std::min(y + height, w.Y + w.Height))
            return true;
    }
    return false;
}

void TRaceTrack::SpawnScenery() {
    const double s = m_race.PlayerBoat->ScrollStep;
    for (TWallKind kind : kSceneryKinds) {
        if (kSceneryWeight * s / kSceneryScrollDivisor > UniformDraw())
            AddWall(kind);
    }
}

bool TRaceTrack::TryRowWall(int index, double e) {
    if (!(SpawnChance[static_cast<size_t>(index)] * e > UniformDraw()))
        return true;
    // A fisher only ever opens a row.
    if (index == kFisherIndex && RowCount >= 1)
        return false;
    AddWall(RowKind(index));
    return true;
}

void TRaceTrack::SpawnOddRow(double e) {
    for (int i = 1; i <= 16; ++i) {
        if (!TryRowWall(i, e))
            return;
        if (RowCount >= kRowWallLimit)
            return;
    }
}

void TRaceTrack::SpawnEvenRow(double e) {
    for (const TIndexRange& group : kEvenRowGroups) {
        for (int i = group.First; i <= group.Last; ++i) {
            TryRowWall(i, e);
            if (RowCount >= kRowWallLimit)
                break;
        }
    }
}

void TRaceTrack::SpawnTraffic() {
    const bool even = m_race.Level % 2 == 0;
    for (int i = kFirstTrafficIndex; i <= kSpawnIndexCount; ++i) {
        const double chance = SpawnChance[static_cast<size_t>(i)] * (even ? 2 : 1) / kTrafficDivisor;
        if (chance > UniformDraw())
            AddWall(RowKind(i));
    }
}

void TRaceTrack::SpawnTrack() {
    TMyCarSprite& boat = *m_race.PlayerBoat;
    const double e = boat.ScrollStep / kRowScrollDivisor;
    if (FinishWaiting()) {
        // When every slot is taken the finish line is tried again next tick.
        boat.FinishSpawned = AddWall(wkFinishLine) != nullptr;
        return;
    }
    if (!boat.FinishSpawned && RowDistance > kRowSpacing) {
        RowDistance = 0;
        RowCount = 0;
        if (m_race.Level % 2 != 0)
            SpawnOddRow(e);
        else
            SpawnEvenRow(e);
    }
    SpawnTraffic();
}

void TRaceTrack::RemoveSpentWalls() {
    for (int32_t i = 1; i <= kSlotCount; ++i) {
        if (!WallSlotUsed[i])
            continue;
        const TWallSprite& w = *WallSlots[i];
        const bool lastFrame = w.FramePos >= w.FrameCount - 1;
        const bool spent = (lastFrame && !w.Collidable && w.FramePos > 0) || w.Y > kRemoveBelowY ||
                           w.Y < kRemoveAboveY || w.Collected || (w.Exploded && lastFrame);
        if (spent)
            FreeWall(i);
    }
}

void TRaceTrack::FreeWall(int32_t slot) {
    delete WallSlots[slot];
    WallSlots[slot] = nullptr;
    WallSlotUsed[slot] = false;
}

void TRaceTrack::FreeAllWalls() {
    for (int32_t i = 1; i <= kSlotCount; ++i) {
        if (WallSlotUsed[i])
            FreeWall(i);
        WallSlotUsed[i] = false;
    }
}
