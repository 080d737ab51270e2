#pragma once

#include "app/MForm.h"
#include "context/Frame.h"
#include "engine/platform/HeadlessPlatform.h"

#include <benchmark/benchmark.h>

#include <exception>
#include <memory>
#include <string>

// The whole game on the headless platform over the data the build generated, on its main menu,
// for benchmarks that time its ticks.
struct TBenchGame {
    THeadlessPlatform Platform; // before the form, which borrows it
    std::unique_ptr<TMForm> Form;
};

// Null, with the benchmark skipped and the reason given, when the game cannot start.
inline std::unique_ptr<TBenchGame> StartBenchGame(benchmark::State& state, const std::string& dataDir) {
    auto game = std::make_unique<TBenchGame>();
    std::string error;
    game->Platform.OpenWindow("bench", kScreenWidth, kScreenHeight, error);
    TFormConfig config;
    config.RandomSeed = 7;
    config.DataDir = dataDir;
    game->Form = std::make_unique<TMForm>(game->Platform, config);
    try {
        game->Form->FormCreate();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return nullptr;
    }
    return game;
}
