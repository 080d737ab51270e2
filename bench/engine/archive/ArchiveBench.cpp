// Start-up reads two image archives of about sixty pictures each; this measures one.

#include "engine/archive/ImageArchive.h"

#include <benchmark/benchmark.h>

namespace {

// Sixty pictures of the game's typical sizes: a few full-screen backgrounds and panels,
// the rest buttons, boats and animation strips.
std::vector<TImageArchiveItem> SixtyPictures() {
    std::vector<TImageArchiveItem> items;
    for (int i = 0; i < 60; ++i) {
        TDibPicture p;
        p.Width = i < 4 ? 800 : i < 20 ? 256 : 96;
        p.Height = i < 4 ? 600 : i < 20 ? 104 : 64;
        p.Pixels.resize(static_cast<size_t>(p.Width) * p.Height);
        for (size_t k = 0; k < p.Pixels.size(); ++k)
            p.Pixels[k] = (k % 7 == 0) ? 0xFF00FF : static_cast<uint32_t>(k * 2654435761u) & 0xFFFFFF;
        TImageArchiveItem item;
        item.Name = "Picture" + std::to_string(i);
        item.TransparentColor = 0xFF00FF;
        item.Picture = std::move(p);
        items.push_back(std::move(item));
    }
    return items;
}

void BM_ReadSixtyPictures(benchmark::State& state) {
    const std::vector<uint8_t> archive = WriteImageArchive(SixtyPictures());
    for (auto _ : state) {
        auto items = ReadImageArchive(std::span<const uint8_t>(archive));
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(archive.size()));
}

} // namespace

BENCHMARK(BM_ReadSixtyPictures)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
