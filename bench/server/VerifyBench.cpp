// Re-running uploaded replays: how much faster than real time one core does it, whether a
// saturated verifier slows the page, and what busy workers cost in memory.

#include "app/ReplayVerify.h"
#include "replay/Replay.h"
#include "server/HttpTestClient.h"
#include "server/Log.h"
#include "server/ServerApp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

constexpr double kTickSeconds = 0.015;
const char* const kFixtures[] = {"boat1_game_over", "boat2_shot_jump", "boat2_three_levels",
                                 "boat3_pause_and_questions"};

std::string Fixture(int index, const std::string& name) {
    std::ifstream in(std::string(SPRAYDASH_SOURCE_DIR "/tests/replay/fixtures/") + kFixtures[index] +
                         ".sdreplay",
                     std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    TReplay replay = TReplay::Decode(s.str());
    replay.Name = name;
    return replay.Encode();
}

// One replay re-run on one core, as a worker does it (its data read each time).
void BM_VerifyReplay(benchmark::State& state) {
    const std::string bytes = Fixture(static_cast<int>(state.range(0)), "ACE");
    TReplayCheckOptions options;
    options.DataDir = DefaultGameData();
    std::uint32_t ticks = 0;
    for (auto _ : state) {
        TReplayVerdict verdict = VerifyReplay(bytes, options);
        if (!verdict.Matches)
            state.SkipWithError(verdict.Mismatch.c_str());
        ticks = verdict.TicksRun;
    }
    state.SetLabel(kFixtures[state.range(0)]);
    // Seconds of play re-run per second: the multiple of real time.
    state.counters["x_real_time"] = benchmark::Counter(
        ticks * kTickSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VerifyReplay)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

double ResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

struct TServerUnderTest {
    explicit TServerUnderTest(int workers)
        : Dir(std::filesystem::temp_directory_path() / "spraydash-verify-bench") {
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        TLogOptions quiet; // a line per replay would drown the figures
        quiet.Level = TLogLevel::Error;
        ConfigureLog(quiet);
        TServerConfig config;
        config.Db = (Dir / "scores.db").string();
        config.Http.Port = 0;
        config.Http.Threads = 2; // one per core, the default here
        config.Service.RateLimitPerMinute = 0;
        config.Uploads.PerMinute = 0;
        config.SpoolLimit = 0;
        config.Verify.Workers = workers;
        config.Verify.QueueCap = 64;
        App = std::make_unique<TScoreServerApp>(std::move(config));
        App->Start();
        // A list of some length, so the page is a real one.
        for (int i = 0; i < 2000; ++i) {
            TNewScore s;
            s.Name = "P" + std::to_string(i);
            s.Score = (i * 7919) % 100000;
            s.Crew = "crew";
            s.Received = 1765000000 + i;
            s.Client = "192.0.2.1";
            s.Digest = static_cast<std::uint64_t>(i) + 1;
            std::atomic<bool> done{false};
            App->Store().Submit(s, [&done](TSubmitOutcome) { done = true; });
            while (!done)
                std::this_thread::yield();
        }
    }
    ~TServerUnderTest() {
        App.reset();
        std::filesystem::remove_all(Dir);
    }

    // Keeps the verifier's queue full until stopped: each upload a race not seen before.
    void Saturate() {
        Feeding = true;
        Feeder = std::thread([this] {
            int n = 0;
            while (Feeding) {
                const std::string bytes = Fixture(n % 4, "N" + std::to_string(n));
                TTestConnection c(App->Port());
                c.Send("POST /api/v1/replays HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                       std::to_string(bytes.size()) + "\r\nConnection: close\r\n\r\n" + bytes);
                if (c.Read().Status == 202)
                    ++n;
                else // the queue is full: a moment later, as a client told Retry-After would
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    void Stop() {
        Feeding = false;
        if (Feeder.joinable())
            Feeder.join();
    }

    // The 99th percentile of the page's answer time over requests on one kept-alive connection.
    double PageP99Ms(int requests, double* peakMb = nullptr) {
        TTestConnection c(App->Port());
        std::vector<double> ms;
        ms.reserve(static_cast<std::size_t>(requests));
        for (int i = 0; i < requests; ++i) {
            // Pages 1 to 5 in turn: a mix of cached and rebuilt answers as the list changes.
            const std::string target =
                "/cgi/version.pl?prg=Spraydash&show&type=0&page=" + std::to_string(1 + i % 5);
            const auto start = std::chrono::steady_clock::now();
            c.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            if (c.Read().Status != 200)
                return -1;
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            if (peakMb && i % 50 == 0)
                *peakMb = std::max(*peakMb, ResidentMb());
        }
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() * 99 / 100];
    }

    std::filesystem::path Dir;
    std::unique_ptr<TScoreServerApp> App;
    std::atomic<bool> Feeding{false};
    std::thread Feeder;
};

// Idle and saturated in one run, in alternating rounds, so that both see the same machine (the
// other load on it comes and goes).
void BM_PageP99IdleVsSaturated(benchmark::State& state) {
    constexpr int kRounds = 4;
    constexpr int kRequests = 4000;
    TServerUnderTest server(1);
    std::vector<double> idle, busy;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            idle.push_back(server.PageP99Ms(kRequests));
            server.Saturate();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            busy.push_back(server.PageP99Ms(kRequests));
            server.Stop();
            server.App->Verifier()->WaitIdle();
        }
    }
    // The median round of each, so one burst of someone else's load does not decide it.
    std::sort(idle.begin(), idle.end());
    std::sort(busy.begin(), busy.end());
    const double idleP99 = idle[idle.size() / 2], busyP99 = busy[busy.size() / 2];
    const TVerifierFigures figures = server.App->Verifier()->Figures();
    state.counters["idle_p99_ms"] = idleP99;
    state.counters["saturated_p99_ms"] = busyP99;
    state.counters["ratio"] = busyP99 / idleP99;
    state.counters["verified"] = static_cast<double>(figures.Verified + figures.Copies + figures.Failed);
}
BENCHMARK(BM_PageP99IdleVsSaturated)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Resident memory with every worker busy, against the same server idle.
void BM_MemoryAllWorkersBusy(benchmark::State& state) {
    const int workers = static_cast<int>(state.range(0));
    TServerUnderTest server(workers);
    double idle = 0, peak = 0;
    for (auto _ : state) {
        server.PageP99Ms(200);
        idle = ResidentMb();
        peak = idle;
        server.Saturate();
        for (int i = 0; i < 40; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            peak = std::max(peak, ResidentMb());
        }
        server.Stop();
    }
    state.counters["idle_mb"] = idle;
    state.counters["busy_mb"] = peak;
    state.counters["above_idle_mb"] = peak - idle;
}
BENCHMARK(BM_MemoryAllWorkersBusy)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
