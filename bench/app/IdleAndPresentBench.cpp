// The game idling on its main menu and the cost of presenting one frame, with the real
// SDL back-end. Needs a display (run under Xvfb); reports an error otherwise.
#include "app/MForm.h"
#include "context/Frame.h"
#include "engine/display/GameTimer.h"
#include "engine/platform/Platform.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A throw-away working directory with the generated data and an empty save folder.
std::filesystem::path MakeWorkDir() {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("spraydash-bench-" + std::to_string(getpid()));
    fs::create_directories(dir / "Data" / "Save");
    std::error_code ec;
    fs::create_directory_symlink(fs::path(SPRAYDASH_BUILT_DATA) / "Res", dir / "Data" / "Res", ec);
    fs::create_directory_symlink(fs::path(SPRAYDASH_BUILT_DATA) / "Music", dir / "Data" / "Music", ec);
    return dir;
}

void BM_IdleOnMainMenu(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY: run under Xvfb");
        return;
    }
    auto dir = MakeWorkDir();
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    for (auto _ : state) {
        auto platform = CreateSdlPlatform();
        std::string error;
        if (!platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        TMForm form(*platform, TFormConfig{});
        form.FormCreate();
        std::vector<uint32_t> ticks;
        auto original = form.MTimer().OnTimer;
        form.MTimer().OnTimer = [&](int lag) {
            ticks.push_back(platform->Ticks());
            original(lag);
        };
        // Let the intro finish, then measure the menu at rest.
        uint32_t start = platform->Ticks();
        while (platform->Ticks() - start < 2000) {
            form.PumpOnce(true);
        }
        ticks.clear();
        double cpu0 = CpuSeconds();
        start = platform->Ticks();
        while (platform->Ticks() - start < 5000) {
            form.PumpOnce(true);
        }
        double cpu = CpuSeconds() - cpu0;
        double wall = (platform->Ticks() - start) / 1000.0;
        std::vector<double> gaps;
        for (size_t i = 1; i < ticks.size(); ++i) {
            gaps.push_back(ticks[i] - ticks[i - 1]);
        }
        std::sort(gaps.begin(), gaps.end());
        state.counters["cpu_percent"] = 100.0 * cpu / wall;
        state.counters["ticks_per_s"] = ticks.size() / wall;
        if (!gaps.empty()) {
            state.counters["tick_median_ms"] = gaps[gaps.size() / 2];
            state.counters["tick_p99_ms"] = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
        }
        form.FormDestroy();
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_IdleOnMainMenu)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PresentFrame(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY: run under Xvfb");
        return;
    }
    auto platform = CreateSdlPlatform();
    std::string error;
    if (!platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<uint16_t> frame(800 * 600);
    uint16_t value = 0;
    for (auto _ : state) {
        std::fill(frame.begin(), frame.end(), value++);
        platform->Present(frame.data(), 800, 600, 800);
    }
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
