// Loading the options from a damaged file whose text line runs for tens of megabytes: the load
// scans the line through the reader's fixed buffer and keeps ten bytes of it, so it takes
// milliseconds and the process grows by no more than the buffer ("max_rss_kib" stays flat as the
// line grows).
#include "menus/OptionsFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::string WriteOptionsWithLongText(size_t textBytes) {
    std::string path =
        (std::filesystem::temp_directory_path() / ("spraydash-bench-options-" + std::to_string(getpid())))
            .string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "0\r\n1\r\n1\r\n";
    const std::string chunk(1 << 20, 'x');
    for (size_t written = 0; written < textBytes; written += chunk.size()) {
        out << chunk;
    }
    out << "\r\nCHECK\r\n";
    return path;
}

long MaxRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_LoadOptionsWithLongTextLine(benchmark::State& state) {
    const size_t textBytes = static_cast<size_t>(state.range(0)) << 20;
    const std::string path = WriteOptionsWithLongText(textBytes);
    for (auto _ : state) {
        TGameOptions options;
        std::optional<std::string> check;
        LoadOptions(path, options, check);
        benchmark::DoNotOptimize(options.AddInfo.data());
        if (options.AddInfo.size() != kAddInfoMax || check != "CHECK") {
            state.SkipWithError("the file did not read as expected");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(textBytes));
    state.counters["max_rss_kib"] = static_cast<double>(MaxRssKib());
    std::remove(path.c_str());
}

BENCHMARK(BM_LoadOptionsWithLongTextLine)->Arg(16)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
