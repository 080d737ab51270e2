// What re-running a replay costs, in one run beside the headless soak's play:
//   BM_ReRunReplay          the recorded races again, without pictures (as --verify-replay runs):
//                           x_real_time is game time over this thread's CPU time, each race's
//                           start (loading the race pictures) included; the goal is 1000 or more
//                           (ten minutes of play in 0.6 s, ten_minutes_s). x_real_time_wall is the
//                           same over wall time, which on a shared machine mostly measures the others
//   BM_ReRunReplayPictures  the same with every frame drawn
//   BM_SoakPlay             the soak player on the whole game, menus and drawing included
// and what recording costs a race tick: BM_RaceTick/recording:1 against /recording:0 (the goal is
// within 2 %). Peak memory of one verification is that of `spraydash --verify-replay` alone
// (/usr/bin/time -f %M); peak_rss_mb here is the whole benchmark process so far.
#include "BenchGame.h"
#include "app/GameFixture.h"
#include "app/MForm.h"
#include "app/Messages.h"
#include "app/RaceReplays.h"
#include "app/ReplayVerify.h"
#include "context/GameState.h"
#include "menus/Menus.h"
#include "race/PlayerBoat.h"
#include "race/Race.h"
#include "soak/SoakPlayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

constexpr double kTickMs = 15;

std::vector<std::string> Fixtures() {
    std::vector<std::string> all;
    for (const auto& e : fs::directory_iterator(SPRAYDASH_REPLAY_FIXTURES)) {
        if (e.path().extension() == ".sdreplay") {
            std::ifstream in(e.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << in.rdbuf();
            all.push_back(bytes.str());
        }
    }
    return all;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Game time over this thread's CPU time (the machine is shared: wall time says more about the
// neighbours than about the game), and over wall time.
void ReportSpeed(benchmark::State& state, double ticks, double cpuSeconds, double wallSeconds) {
    state.counters["game_ticks"] = ticks;
    state.counters["x_real_time"] = ticks * kTickMs / 1000 / cpuSeconds;
    state.counters["x_real_time_wall"] = ticks * kTickMs / 1000 / wallSeconds;
    state.counters["peak_rss_mb"] = static_cast<double>(ReadMemoryUse().PeakKb) / 1024;
}

// A replay with no ticks: what every verification costs before its first tick (loading the race
// pictures, starting the race).
std::string EmptyReplay(const std::string& like) {
    TReplay replay = TReplay::Decode(like);
    replay.ClearTicks();
    replay.Claim.reset();
    return replay.Encode();
}

void ReRun(benchmark::State& state, bool pictures) {
    const std::vector<std::string> replays = Fixtures();
    if (replays.empty()) {
        state.SkipWithError("no replay fixtures");
        return;
    }
    TReplayCheckOptions options;
    options.DataDir = SPRAYDASH_BUILT_DATA;
    options.Pictures = pictures;
    double ticks = 0;
    double cpu = 0;
    double wall = 0;
    double startCpu = 0;
    int runs = 0;
    const std::string empty = EmptyReplay(replays.front());
    for (auto _ : state) {
        for (const std::string& bytes : replays) {
            const double c0 = ThreadCpuSeconds();
            const auto t0 = std::chrono::steady_clock::now();
            const TReplayVerdict verdict = VerifyReplay(bytes, options);
            wall += Seconds(std::chrono::steady_clock::now() - t0);
            cpu += ThreadCpuSeconds() - c0;
            ticks += verdict.TicksRun;
            if (!verdict.Matches)
                state.SkipWithError(verdict.Mismatch.c_str());
        }
        const double c0 = ThreadCpuSeconds();
        VerifyReplay(empty, options);
        startCpu += ThreadCpuSeconds() - c0;
        ++runs;
    }
    ReportSpeed(state, ticks, cpu, wall);
    state.counters["start_ms"] = startCpu / runs * 1000;
    // Ten minutes of play at this rate, each race's start included.
    state.counters["ten_minutes_s"] = 600 / (ticks * kTickMs / 1000 / cpu);
}

void BM_ReRunReplay(benchmark::State& state) {
    ReRun(state, false);
}
BENCHMARK(BM_ReRunReplay)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReRunReplayPictures(benchmark::State& state) {
    ReRun(state, true);
}
BENCHMARK(BM_ReRunReplayPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

// The soak player for two simulated minutes a round: menus, races and drawing, headless.
void BM_SoakPlay(benchmark::State& state) {
    if (!TGameFixture::DataAvailable()) {
        state.SkipWithError("the game data has not been generated");
        return;
    }
    double ticks = 0;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        TGameFixture game;
        game.Start(40);
        TSoakPlayer player(game, 40, 2 * 60000);
        player.ReRunReplays = false;
        const double c0 = ThreadCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        player.Run();
        wall += Seconds(std::chrono::steady_clock::now() - t0);
        cpu += ThreadCpuSeconds() - c0;
        ticks += static_cast<double>(player.Stats().Ticks);
    }
    ReportSpeed(state, ticks, cpu, wall);
}
BENCHMARK(BM_SoakPlay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A race tick through the form's timer, throttle held and the shield on so the race goes on,
// with the race recorded or not.
void BM_RaceTick(benchmark::State& state) {
    auto game = StartBenchGame(state, SPRAYDASH_BUILT_DATA);
    if (!game) {
        return;
    }
    TMForm& form = *game->Form;
    form.Shell().GameOptions.SoundOn = false;
    form.Menus().FreeMainMenu();
    form.StartRace(2);
    if (state.range(0) == 0)
        form.Recorder().Abandon();
    form.Messages().CloseMessage();  // the level banner
    game->Platform.SetKey(38, true); // Up
    TRace& race = form.Race();
    auto keepGoing = [&] {
        race.TimeLeftMs = 50000;
        race.Lives = 3;
        race.PlayerBoat->HasShield = true;
        race.PlayerBoat->ShieldMs = 1 << 30;
        if (form.TickView().MessageMode != msgNone) {
            form.Messages().CloseMessage();
        }
    };
    for (int i = 0; i < 200; ++i) {
        keepGoing();
        form.MTimerTimer(1);
    }
    for (auto _ : state) {
        keepGoing();
        form.MTimerTimer(1);
    }
    state.counters["recorded_ticks"] = form.Recorder().Replay().TickCount();
}
BENCHMARK(BM_RaceTick)->ArgName("recording")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Repetitions(3);

} // namespace

BENCHMARK_MAIN();
