// Mixing one second of device audio: a playing module with and without 16 effect instances, played
// as recorded or at another speed and volume (the path the engine's hum takes).

#include "engine/audio/AudioTestData.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/WaveCollection.h"
#include "engine/platform/HeadlessPlatform.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <vector>

using namespace audiotest;

namespace {

constexpr int kRate = 44100;
constexpr int kCallbackFrames = 1024; // what the SDL back-end asks for at a time

// A 1.5 s 16-bit mono tone at 22050 Hz, so every instance needs the rate conversion.
TWave ToneWave(double hz) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 33075; ++i) {
        PutU16(data, static_cast<uint16_t>(static_cast<int16_t>(3000 * std::sin(i * hz * 2 * M_PI / 22050))));
    }
    return TWave{PcmFormat(1, 22050, 16), data};
}

void MixOneSecond(benchmark::State& state) {
    const int effects = static_cast<int>(state.range(0));
    const bool tuned = state.range(1) != 0;
    THeadlessPlatform platform;
    TGameSound sound(&platform);
    sound.AutoInitialize();
    TGameWaveList waves(&sound);
    for (int i = 0; i < 4; ++i) {
        TWaveCollectionItem& item = waves.Items().Add();
        item.SetName("Effect" + std::to_string(i));
        item.SetWave(ToneWave(220.0 * (i + 1)));
        item.Restore();
        if (tuned) {
            item.SetRate(0.85);
            item.SetVolume(0.7);
        }
    }

    TTestModule song;
    song.Orders = 16;
    song.RowsPerPattern = 16;
    song.Channels = 8;
    song.Speed = 6;
    song.NoteEveryRow = true;
    const auto path = (std::filesystem::temp_directory_path() / "sd_audio_bench.xm").string();
    WriteFile(path, MakeXm(song));
    TModulePlayer player(sound.Mixer());
    const int32_t handle = player.SongLoadFromFile(path);
    std::filesystem::remove(path);
    if (handle == 0) {
        state.SkipWithError("module did not load");
        return;
    }
    player.SongPlay(handle);

    std::vector<int16_t> out(kCallbackFrames * 2);
    for (auto _ : state) {
        for (int i = 0; i < waves.Items().Count(); ++i) {
            waves.Items()[i].Stop();
        }
        for (int i = 0; i < effects; ++i) {
            waves.Items()[i % 4].Play();
        }
        for (int done = 0; done < kRate; done += kCallbackFrames) {
            sound.Mixer().Mix(out.data(), std::min(kCallbackFrames, kRate - done));
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["instances"] = effects;
    state.counters["tuned"] = tuned ? 1 : 0;
}

} // namespace

BENCHMARK(MixOneSecond)->Args({0, 0})->Args({16, 0})->Args({16, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
