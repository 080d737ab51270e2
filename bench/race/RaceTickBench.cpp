// One race tick and one main-menu tick, each reported against one copy of the 800 × 600 × 2
// back surface measured in the same run (counter x_memcpy; the goal is 3 or less). Times are
// this thread's CPU time, so other work on a shared machine disturbs the ratio little.
#include "BenchGame.h"
#include "app/MForm.h"
#include "app/Messages.h"
#include "context/Frame.h"
#include "context/InterfaceSprites.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"
#include "engine/platform/HeadlessPlatform.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "race/RaceTestContext.h"
#include "race/WallSprite.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr double kTargetRatio = 3.0;

double ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

// The yardstick: one copy of the back surface, the best of a few rounds.
double MemcpyNs() {
    constexpr size_t kBytes = static_cast<size_t>(kScreenWidth) * kScreenHeight * 2;
    constexpr int kCopies = 50;
    std::vector<uint8_t> from(kBytes, 1), to(kBytes, 0);
    double best = 1e18;
    for (int round = 0; round < 5; ++round) {
        const double t0 = ThreadCpuNs();
        for (int i = 0; i < kCopies; ++i) {
            std::memcpy(to.data(), from.data(), kBytes);
            benchmark::ClobberMemory();
        }
        best = std::min(best, (ThreadCpuNs() - t0) / kCopies);
    }
    return best;
}

// Runs the tick as the benchmark's body and reports it against the yardstick.
void TimeTicks(benchmark::State& state, const std::function<void()>& tick) {
    const double copyBefore = MemcpyNs();
    const double t0 = ThreadCpuNs();
    for (auto _ : state) {
        tick();
    }
    const double perTick = (ThreadCpuNs() - t0) / static_cast<double>(state.iterations());
    const double copy = (copyBefore + MemcpyNs()) / 2;
    state.counters["tick_cpu_us"] = perTick / 1000;
    state.counters["memcpy_us"] = copy / 1000;
    state.counters["x_memcpy"] = perTick / copy;
    state.counters["target_x"] = kTargetRatio;
}

// A race with all 30 wall slots in play: six rows of five walls above the boat (obstacles,
// boxes and scenery that stay put while the boat stands still), shield and gun held. On the
// generated pictures with the river under it, or on the tests' small stand-in pictures with no
// river at all (the first form this benchmark took).
struct TRaceWith30Walls {
    THeadlessPlatform Platform;
    std::unique_ptr<TMForm> Form;              // on the generated pictures: the whole game
    std::unique_ptr<TRaceTestContext> StandIn; // on the stand-in pictures: the race alone
    std::unique_ptr<TRace> StandInRace;
    TRace* Race = nullptr;

    ~TRaceWith30Walls() {
        if (StandInRace) {
            StandInRace->FreeRaceSprites();
        }
    }

    bool Start(bool generatedPictures, std::string& error) {
        TGameContext* context = nullptr;
        if (generatedPictures) {
            Platform.OpenWindow("bench", kScreenWidth, kScreenHeight, error);
            TFormConfig config;
            config.RandomSeed = 7;
            config.DataDir = SPRAYDASH_BUILT_DATA;
            Form = std::make_unique<TMForm>(Platform, config);
            try {
                Form->FormCreate();
            } catch (const std::exception& e) {
                error = e.what();
                return false;
            }
            Form->Menus().FreeMainMenu();
            context = Form.get();
            Race = &Form->Race();
        } else {
            StandIn = std::make_unique<TRaceTestContext>(7);
            StandInRace = std::make_unique<TRace>(*StandIn);
            context = StandIn.get();
            Race = StandInRace.get();
        }
        context->Random().Seed(7);
        context->Shell().GameOptions.SoundOn = false;
        context->Shell().GameOptions.MusicOn = false;
        TRace& race = *Race;
        race.SelectedBoat = 2;
        race.StartRace();
        // The level banner goes; the race runs at once.
        if (Form) {
            Form->Messages().CloseMessage();
        } else {
            StandIn->MutableTickView().MessageMode = msgNone;
        }
        TMyCarSprite& boat = *race.PlayerBoat;
        boat.X = 380;
        boat.HasShield = true;
        boat.ShieldMs = 1 << 30;
        boat.HasGun = true;
        boat.GunMs = 1 << 30;

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
        // The first ticks render the HUD's texts; they are cached from then on.
        for (int i = 0; i < 20; ++i) {
            Tick();
        }
        return true;
    }
    void Tick() {
        Race->TimeLeftMs = 50000;
        Race->RaceTick(1);
    }
};

// The boat stands still: only the needle, the HUD and the walls' animations change from one
// frame to the next. On the stand-in pictures, without a river.
void BM_RaceTickWith30Walls(benchmark::State& state) {
    TRaceWith30Walls race;
    std::string error;
    race.Start(false, error);
    TimeTicks(state, [&] { race.Tick(); });
    benchmark::DoNotOptimize(race.Race->Score);
}
BENCHMARK(BM_RaceTickWith30Walls)->Unit(benchmark::kMicrosecond);

// The same on the generated pictures, the river under the walls.
void BM_RaceTickWith30WallsOnTheRiver(benchmark::State& state) {
    TRaceWith30Walls race;
    std::string error;
    if (!race.Start(true, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TimeTicks(state, [&] { race.Tick(); });
    benchmark::DoNotOptimize(race.Race->Score);
}
BENCHMARK(BM_RaceTickWith30WallsOnTheRiver)->Unit(benchmark::kMicrosecond);

// And with the river scrolling under the walls: every pixel of the water changes in every
// frame, as it does while the boat is under way.
void BM_RaceTickWith30WallsScrolling(benchmark::State& state) {
    TRaceWith30Walls race;
    std::string error;
    if (!race.Start(true, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TScrollBackground& river = race.Form->ScrollBack();
    TimeTicks(state, [&] {
        river.Y = river.Y >= kScreenHeight ? 0 : river.Y + 7;
        race.Tick();
    });
    benchmark::DoNotOptimize(race.Race->Score);
}
BENCHMARK(BM_RaceTickWith30WallsScrolling)->Unit(benchmark::kMicrosecond);

// One tick of the main menu at rest (the generated pictures, the column and the panels, a
// caption): as the game runs it, where a frame that repeats the last is left out, and composed
// and presented in full as every frame used to be.
void MainMenuTick(benchmark::State& state, bool reuseFrames) {
    auto game = StartBenchGame(state, SPRAYDASH_BUILT_DATA);
    if (!game) {
        return;
    }
    TMForm& form = *game->Form;
    form.MDraw().ReuseFrames = reuseFrames;
    for (int i = 0; i < 200; ++i) {
        form.MTimerTimer(1);
    }
    TimeTicks(state, [&] { form.MTimerTimer(1); });
}

void BM_MainMenuTick(benchmark::State& state) {
    MainMenuTick(state, true);
}
BENCHMARK(BM_MainMenuTick)->Unit(benchmark::kMicrosecond);

void BM_MainMenuTickComposed(benchmark::State& state) {
    MainMenuTick(state, false);
}
BENCHMARK(BM_MainMenuTickComposed)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
