#include "app/MForm.h"
#include "context/Frame.h"
#include "engine/display/GameDraw.h"
#include "engine/platform/HeadlessPlatform.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/RaceTestContext.h"
#include "race/WallSprite.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// One race tick (boat and wall logic, the collision scans, the frame with its HUD and the
// present) with all 30 wall slots in play.
void BM_RaceTickWith30Walls(benchmark::State& state) {
    TRaceTestContext context(7);
    TRace race(context);
    race.SelectedBoat = 2;
    race.StartRace();
    context.Shell().MessageMode = msgNone;
    TMyCarSprite& boat = *race.PlayerBoat;
    boat.X = 380;
    boat.HasShield = true;
    boat.ShieldMs = 1 << 30;
    boat.HasGun = true;
    boat.GunMs = 1 << 30;

    // Six rows of five walls above the boat: obstacles, boxes and scenery that stay put
    // while the boat stands still, so every tick scans and draws the same 30 walls.
    TRaceTrack& track = race.Track();
    const TWallKind kinds[] = {wkTree, wkFlag, wkDuck, wkBox50, wkUmbrellaRed, wkWeed};
    for (int32_t slot = 1; slot <= TRaceTrack::kSlotCount; ++slot) {
        const int row = (slot - 1) / 5;
        const int col = (slot - 1) % 5;
        auto* wall = new TWallSprite(race, kinds[row], slot);
        wall->X = kinds[row] == wkUmbrellaRed ? (col % 2 == 0 ? 127 : 612) : 180 + col * 86;
        wall->Y = 20 + row * 70;
        track.WallSlots[slot] = wall;
        track.WallSlotUsed[slot] = true;
    }

    for (auto _ : state) {
        race.TimeLeftMs = 50000;
        race.RaceTick(1);
    }
    benchmark::DoNotOptimize(race.Score);
    race.FreeRaceSprites();
}
BENCHMARK(BM_RaceTickWith30Walls)->Unit(benchmark::kMicrosecond);

// For scale: one tick of the main menu at rest (the generated pictures, the column and
// the panels, a caption, the frame presented), the same work a menu frame costs.
void BM_MainMenuTick(benchmark::State& state) {
    THeadlessPlatform platform;
    std::string error;
    platform.OpenWindow("bench", kScreenWidth, kScreenHeight, error);
    TFormConfig config;
    config.RandomSeed = 7;
    config.DataDir = SPRAYDASH_BUILT_DATA;
    TMForm form(platform, config);
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    for (int i = 0; i < 200; ++i) {
        form.MTimerTimer(1);
    }
    for (auto _ : state) {
        form.MTimerTimer(1);
    }
}
BENCHMARK(BM_MainMenuTick)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
