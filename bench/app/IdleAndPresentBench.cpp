// The game idling on its main menu and the cost of presenting one frame, with the real
// SDL back-end. Needs a display (run under Xvfb); reports an error otherwise. The CPU figures
// are the whole process's (user and system time), so run it on a quiet machine.
// BM_PresentRaceFrames needs no display: a full-throttle race's frames into a window's pixels.
#include "BenchGame.h"
#include "app/MForm.h"
#include "context/Frame.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameTimer.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "engine/platform/WindowPicture.h"
#include "menus/Menus.h"
#include "race/Race.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
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

// A throw-away working directory with the generated data and an empty save folder, the game's
// current directory while it lives. Needs a display: the game opens a real window.
class TBenchWorkDir {
  public:
    explicit TBenchWorkDir(benchmark::State& state) {
        namespace fs = std::filesystem;
        if (!std::getenv("DISPLAY")) {
            state.SkipWithError("no DISPLAY: run under Xvfb");
            return;
        }
        m_dir = fs::temp_directory_path() / ("spraydash-bench-" + std::to_string(getpid()));
        fs::create_directories(m_dir / "Data" / "Save");
        std::error_code ec;
        fs::create_directory_symlink(fs::path(SPRAYDASH_BUILT_DATA) / "Res", m_dir / "Data" / "Res", ec);
        fs::create_directory_symlink(fs::path(SPRAYDASH_BUILT_DATA) / "Music", m_dir / "Data" / "Music", ec);
        m_previous = fs::current_path();
        fs::current_path(m_dir);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
    ~TBenchWorkDir() {
        if (m_dir.empty()) {
            return;
        }
        std::error_code ec;
        std::filesystem::current_path(m_previous, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    bool Ready() const { return !m_dir.empty(); }

  private:
    std::filesystem::path m_dir;
    std::filesystem::path m_previous;
};

// Resident memory of this process (the game, SDL and the benchmark library), in megabytes.
double ResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// Runs first, in a fresh process. What the game holds in memory on its main menu after the intro, and a few
// seconds into a race (its pictures, sounds, music, fonts and frames). Counters rss_menu_mb and rss_race_mb
// beside their targets.
void BM_ResidentMemory(benchmark::State& state) {
    constexpr double kMenuTargetMb = 32;
    constexpr double kRaceTargetMb = 40;
    TBenchWorkDir workDir(state);
    if (!workDir.Ready()) {
        return;
    }
    for (auto _ : state) {
        auto platform = CreateSdlPlatform();
        std::string error;
        if (!platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        TMForm form(*platform, TFormConfig{});
        form.FormCreate();
        auto pumpFor = [&](uint32_t ms) {
            const uint32_t start = platform->Ticks();
            while (platform->Ticks() - start < ms) {
                form.PumpOnce(true);
            }
        };
        pumpFor(3000);
        state.counters["rss_menu_mb"] = ResidentMb();
        state.counters["target_menu_mb"] = kMenuTargetMb;
        // Into a race as the boat buttons take the game there.
        form.Menus().FreeMainMenu();
        form.Race().SelectedBoat = 2;
        form.Race().StartRace();
        pumpFor(4000);
        state.counters["rss_race_mb"] = ResidentMb();
        state.counters["target_race_mb"] = kRaceTargetMb;
        form.FormDestroy();
    }
}
BENCHMARK(BM_ResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

struct TIdleFigures {
    double CpuPercent = 0;
    double TicksPerSecond = 0;
    double TickMedianMs = 0;
    double TickP99Ms = 0;
};

// The game on its main menu after the intro: the process's CPU time (all its threads, the
// music's too) over a stretch of idling, and the rhythm of the ticks.
bool MeasureIdle(bool wholeFrames, TIdleFigures& figures, std::string& error) {
    constexpr uint32_t kSettleMs = 3000;
    constexpr uint32_t kMeasureMs = 6000;
    auto platform = CreateSdlPlatform(TSdlDialogs::InProcess, wholeFrames);
    if (!platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
        return false;
    }
    TMForm form(*platform, TFormConfig{});
    form.FormCreate();
    // Sending every frame whole goes with composing every frame in full, as the game once did.
    form.MDraw().ReuseFrames = !wholeFrames;
    std::vector<uint32_t> ticks;
    auto original = form.MTimer().OnTimer;
    form.MTimer().OnTimer = [&](int lag) {
        ticks.push_back(platform->Ticks());
        original(lag);
    };
    uint32_t start = platform->Ticks();
    while (platform->Ticks() - start < kSettleMs) {
        form.PumpOnce(true);
    }
    ticks.clear();
    const double cpu0 = CpuSeconds();
    start = platform->Ticks();
    while (platform->Ticks() - start < kMeasureMs) {
        form.PumpOnce(true);
    }
    const double cpu = CpuSeconds() - cpu0;
    const double wall = (platform->Ticks() - start) / 1000.0;
    std::vector<double> gaps;
    for (size_t i = 1; i < ticks.size(); ++i) {
        gaps.push_back(ticks[i] - ticks[i - 1]);
    }
    std::sort(gaps.begin(), gaps.end());
    figures.CpuPercent = 100.0 * cpu / wall;
    figures.TicksPerSecond = ticks.size() / wall;
    if (!gaps.empty()) {
        figures.TickMedianMs = gaps[gaps.size() / 2];
        figures.TickP99Ms = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
    }
    form.FormDestroy();
    return true;
}

// Idling as the game does (only changed parts of a frame sent, nothing while the menu stands
// still) beside the same game sending every frame whole, in turns within one run so that other
// load on the machine weighs on both alike. Counters: cpu_percent (goal: target_percent or
// less) and cpu_percent_whole_frames, each the mean of the turns; the tick rhythm of the first.
void BM_IdleOnMainMenu(benchmark::State& state) {
    constexpr int kTurns = 2;
    constexpr double kTargetPercent = 1.5;
    TBenchWorkDir workDir(state);
    if (!workDir.Ready()) {
        return;
    }
    for (auto _ : state) {
        TIdleFigures changes, whole, first;
        std::string error;
        bool ok = true;
        for (int turn = 0; turn < kTurns && ok; ++turn) {
            TIdleFigures a, b;
            ok = MeasureIdle(false, a, error) && MeasureIdle(true, b, error);
            if (turn == 0) {
                first = a;
            }
            changes.CpuPercent += a.CpuPercent / kTurns;
            whole.CpuPercent += b.CpuPercent / kTurns;
        }
        if (!ok) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.counters["cpu_percent"] = changes.CpuPercent;
        state.counters["cpu_percent_whole_frames"] = whole.CpuPercent;
        state.counters["target_percent"] = kTargetPercent;
        state.counters["ticks_per_s"] = first.TicksPerSecond;
        state.counters["tick_median_ms"] = first.TickMedianMs;
        state.counters["tick_p99_ms"] = first.TickP99Ms;
    }
}
BENCHMARK(BM_IdleOnMainMenu)->Iterations(1)->Unit(benchmark::kMillisecond);

// A game-sized window to present into; null (and the benchmark skipped) when none opens.
std::unique_ptr<IPlatform> OpenBenchWindow(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY: run under Xvfb");
        return nullptr;
    }
    auto platform = CreateSdlPlatform();
    std::string error;
    if (!platform->OpenWindow("Spraydash", kScreenWidth, kScreenHeight, error)) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    return platform;
}

void BM_PresentFrame(benchmark::State& state) {
    auto platform = OpenBenchWindow(state);
    if (!platform) {
        return;
    }
    std::vector<uint16_t> frame(kScreenWidth * kScreenHeight);
    uint16_t value = 0;
    for (auto _ : state) {
        std::fill(frame.begin(), frame.end(), value++);
        platform->Present(frame.data(), kScreenWidth, kScreenHeight, kScreenWidth);
    }
}
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMicrosecond);

// Presenting a frame the window already shows: compared, and nothing sent.
void BM_PresentUnchangedFrame(benchmark::State& state) {
    auto platform = OpenBenchWindow(state);
    if (!platform) {
        return;
    }
    std::vector<uint16_t> frame(kScreenWidth * kScreenHeight, 0x1234);
    platform->Present(frame.data(), kScreenWidth, kScreenHeight, kScreenWidth);
    for (auto _ : state) {
        platform->Present(frame.data(), kScreenWidth, kScreenHeight, kScreenWidth);
    }
}
BENCHMARK(BM_PresentUnchangedFrame)->Unit(benchmark::kMicrosecond);

// Frames of a race at full throttle on the headless platform (the river scrolling, the course
// coming down it), each with the parts its frame changed, as TGameDraw hands them to the window.
struct TRaceFrames {
    std::vector<std::vector<uint16_t>> Pixels;
    std::vector<std::vector<TPresentRect>> Parts;
};

bool CaptureRaceFrames(benchmark::State& state, int count, TRaceFrames& frames) {
    auto game = StartBenchGame(state, SPRAYDASH_BUILT_DATA);
    if (!game) {
        return false;
    }
    TMForm& form = *game->Form;
    form.Shell().GameOptions.SoundOn = false;
    form.Shell().GameOptions.MusicOn = false;
    form.Menus().FreeMainMenu();
    form.Race().SelectedBoat = 1;
    form.Race().StartRace();
    game->Platform.SetKey(vk::Up, true);
    for (int i = 0; i < 300; ++i) { // past the level's banner, at full speed
        form.MTimerTimer(1);
    }
    while (static_cast<int>(frames.Pixels.size()) < count) {
        form.MTimerTimer(1);
        TDirectDrawSurface* surface = form.MDraw().Surface();
        const std::vector<TRect>* parts = surface ? surface->FrameChanges() : nullptr;
        if (!parts) {
            continue; // a frame drawn whole or not at all: the race under way has none
        }
        std::vector<uint16_t> pixels(static_cast<size_t>(kScreenWidth) * kScreenHeight);
        for (int y = 0; y < kScreenHeight; ++y) {
            std::memcpy(pixels.data() + static_cast<size_t>(y) * kScreenWidth,
                        surface->Pixels() + static_cast<size_t>(y) * surface->Pitch(), kScreenWidth * 2);
        }
        std::vector<TPresentRect> changed;
        for (const TRect& r : *parts) {
            changed.push_back(TPresentRect{r.Left, r.Top, r.Width(), r.Height()});
        }
        frames.Pixels.push_back(std::move(pixels));
        frames.Parts.push_back(std::move(changed));
    }
    form.FormDestroy();
    return true;
}

// One frame of a full-throttle race presented in a sharp window at the argument's factor, as the
// SDL back-end does it: its changed parts converted into the window's 32-bit pixels. The frames
// are taken one after another from a race on the headless platform (and copied into one back
// surface before each is presented, as the game has just drawn it there); the time is that of
// TWindowPicture::Draw alone. Counter written_px: window pixels in the rectangles sent per frame.
void BM_PresentRaceFrames(benchmark::State& state) {
    constexpr int kFrames = 48;
    const int k = static_cast<int>(state.range(0));
    TRaceFrames frames;
    if (!CaptureRaceFrames(state, kFrames, frames)) {
        return;
    }
    std::vector<uint16_t> back(frames.Pixels[0]);
    std::vector<uint32_t> window(static_cast<size_t>(kScreenWidth) * k * kScreenHeight * k);
    const TWindowPixels target{reinterpret_cast<uint8_t*>(window.data()), kScreenWidth * k * 4,
                               kScreenWidth * k, kScreenHeight * k};
    TPixelConverter converter;
    converter.Prepare(16, 8, 0);
    TWindowPicture picture;
    picture.Place(TScreenRect{0, 0, kScreenWidth * k, kScreenHeight * k}, target.W, target.H, kScreenWidth,
                  kScreenHeight);
    picture.Draw(target, converter, back.data(), kScreenWidth, {}, true);
    size_t next = 1;
    double written = 0;
    for (auto _ : state) {
        if (next == frames.Pixels.size()) { // round again from a window that shows the first frame
            next = 1;
            back = frames.Pixels[0];
            picture.Forget();
            picture.Draw(target, converter, back.data(), kScreenWidth, {}, true);
        }
        std::memcpy(back.data(), frames.Pixels[next].data(), back.size() * 2);
        const auto t0 = std::chrono::steady_clock::now();
        picture.Draw(target, converter, back.data(), kScreenWidth, frames.Parts[next], false);
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        for (const TScreenRect& r : picture.Rects()) {
            written += static_cast<double>(r.W) * r.H;
        }
        ++next;
    }
    state.counters["written_px"] = benchmark::Counter(written, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PresentRaceFrames)->Arg(1)->Arg(2)->Arg(3)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
