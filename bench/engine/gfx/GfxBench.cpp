// Drawing costs of one frame, against copying the 800 × 600 back surface once.
#include "engine/gfx/Canvas.h"
#include "engine/gfx/Draw.h"
#include "engine/gfx/ImageList.h"
#include "engine/sprite/Sprite.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <string>

namespace {

constexpr int kScreenW = 800;
constexpr int kScreenH = 600;

// A picture with a transparent border and a noisy body, like the game's sprites.
TPicture SpritePicture(int w, int h, uint32_t key) {
    TPicture p{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool border = x < w / 8 || x >= w - w / 8 || y < h / 8 || y >= h - h / 8;
            p.Pixels[static_cast<size_t>(y) * w + x] =
                border ? key : static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
        }
    return p;
}

TPictureCollectionItem& AddItem(TPictureCollection& c, const std::string& name, TPicture pic, int pw,
                                int ph) {
    TPictureCollectionItem& item = c.Add();
    item.SetName(name);
    item.Picture = std::move(pic);
    item.PatternWidth = pw;
    item.PatternHeight = ph;
    item.SetTransparentColor(0xFF00FF);
    item.Initialize();
    item.Restore();
    return item;
}

void BM_Memcpy800x600(benchmark::State& state) {
    TDirectDrawSurface a(kScreenW, kScreenH), b(kScreenW, kScreenH);
    for (auto _ : state) {
        std::memcpy(b.Pixels(), a.Pixels(), static_cast<size_t>(kScreenW) * kScreenH * 2);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Memcpy800x600);

void BM_KeyedPattern64(benchmark::State& state) {
    TPictureCollection c;
    TPictureCollectionItem& item = AddItem(c, "Box", SpritePicture(256, 64, 0xFF00FF), 64, 64);
    TDirectDrawSurface dest(kScreenW, kScreenH);
    for (auto _ : state) {
        item.Draw(&dest, 301, 203, 2);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_KeyedPattern64);

void BM_Rotated84x120(benchmark::State& state) {
    TPictureCollection c;
    TPictureCollectionItem& item = AddItem(c, "Boat", SpritePicture(84, 120, 0xFF00FF), 0, 0);
    TDirectDrawSurface dest(kScreenW, kScreenH);
    int angle = 0;
    for (auto _ : state) {
        item.DrawRotated(&dest, 400, 300, 84, 120, 0, 0.5, 0.5, angle);
        angle = (angle + 5) & 255;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Rotated84x120);

void BM_TiledBackground(benchmark::State& state) {
    TPictureCollection c;
    TPictureCollectionItem& item = AddItem(c, "Water", SpritePicture(kScreenW, kScreenH, 0x000001), 0, 0);
    TDirectDrawSurface dest(kScreenW, kScreenH);
    TSpriteEngine root;
    root.SetSurface(&dest);
    auto* back = new TBackgroundSprite(&root);
    back->Image = &item;
    back->Tiled = true;
    back->ResizeMap(1, 1);
    for (auto _ : state) {
        back->Y += 3;
        root.Draw();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TiledBackground);

// The race's busiest frame: clear, background, 40 sprites, ten short texts.
void BM_FullFrame(benchmark::State& state) {
    TPictureCollection c;
    TPictureCollectionItem& water = AddItem(c, "Water", SpritePicture(kScreenW, kScreenH, 0x000001), 0, 0);
    TPictureCollectionItem& walls = AddItem(c, "Walls", SpritePicture(256, 128, 0xFF00FF), 64, 64);
    TDirectDrawSurface dest(kScreenW, kScreenH);
    TSpriteEngine root;
    root.SetSurface(&dest);
    auto* back = new TBackgroundSprite(&root);
    back->Image = &water;
    back->Tiled = true;
    back->ResizeMap(1, 1);
    back->SetZ(-10);
    for (int i = 0; i < 40; ++i) {
        auto* s = new TImageSprite(&root);
        s->Image = &walls;
        s->Width = 64;
        s->Height = 64;
        s->FrameCount = walls.PatternCount();
        s->FrameSpeed = 0.1;
        s->Looping = true;
        s->X = (i * 97) % 760;
        s->Y = (i * 53) % 560;
    }
    TCanvas& canvas = dest.Canvas();
    canvas.BrushStyle = TBrushStyle::bsClear;
    int frame = 0;
    for (auto _ : state) {
        dest.Fill(0);
        back->Y += 3;
        root.Move(1);
        root.Draw();
        canvas.Font.Name = "Arial";
        canvas.Font.Size = 14;
        canvas.Font.Bold = true;
        canvas.Font.Color = 0xFFFF00;
        for (int t = 0; t < 8; ++t)
            canvas.TextOut(20 + t * 90, 570, "Level 3");
        canvas.Font.Name = "DS Crystal";
        canvas.TextOut(700, 20, std::to_string(frame / 60));       // a clock: changes now and then
        canvas.TextOut(700, 50, std::to_string(1000 + frame % 7)); // a score: changes often
        canvas.Release();
        ++frame;
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullFrame);

// A notice over the race: an outlined 30 pt line. Drawn again every frame from the cache, and
// drawn for the first time (a text not seen before: rendering and growing its outline).
void BM_NoticeText(benchmark::State& state) {
    const bool fresh = state.range(0) != 0;
    TDirectDrawSurface dest(kScreenW, kScreenH);
    TCanvas& canvas = dest.Canvas();
    canvas.BrushStyle = TBrushStyle::bsClear;
    canvas.Font.Name = "DS Crystal";
    canvas.Font.Size = 30;
    canvas.Font.Color = 0xFFF100;
    canvas.Font.OutlineWidth = 2;
    canvas.Font.OutlineColor = 0x0A1630;
    int n = 0;
    for (auto _ : state) {
        canvas.TextOut(240, 300, fresh ? "Level " + std::to_string(++n) : std::string("Try again, please!"));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_NoticeText)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
