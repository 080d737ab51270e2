#include "engine/display/GameDraw.h"
#include "engine/gfx/ImageList.h"
#include "engine/gfx/Surface.h"
#include "engine/sprite/Sprite.h"

#include <gtest/gtest.h>

namespace {

// A picture whose every pixel is distinct, so a drawn pixel tells where it came from.
TPicture Numbered(int w, int h) {
    TPicture p{w, h, {}};
    p.Pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.Pixels[static_cast<size_t>(y) * w + x] =
                static_cast<uint32_t>(((x & 31) << 19) | ((y & 63) << 10) | ((x >> 5) << 3));
    return p;
}

uint16_t PictureAt(const TPicture& p, int x, int y) {
    return RGBValueTo565(p.Pixels[static_cast<size_t>(y) * p.Width + x]);
}

TPictureCollectionItem& AddItem(TPictureCollection& c, TPicture pic, int pw = 0, int ph = 0) {
    TPictureCollectionItem& item = c.Add();
    item.Picture = std::move(pic);
    item.PatternWidth = pw;
    item.PatternHeight = ph;
    item.Transparent = false;
    item.Initialize();
    item.Restore();
    return item;
}

struct AnimCase {
    const char* Name;
    int FrameCount;
    bool Looping;
    double FramePos, FrameSpeed;
    int MoveCount;
    double WantPos, WantSpeed;
};

TEST(ImageSprite, FrameAnimation) {
    const AnimCase cases[] = {
        {"stops on the last frame", 4, false, 2.5, 1, 2, 3, 0},
        {"runs within the frames", 4, false, 0.5, 1, 2, 2.5, 1},
        {"stops on frame 0 backwards", 4, false, 0.5, -1, 1, 0, 0},
        {"no frames, not looping", 0, false, 0, 1, 1, 0, 0},
        {"wraps forward", 4, true, 3.5, 1, 1, 0.5, 1},
        {"wraps backward", 4, true, 0.5, -1, 1, 3.5, -1},
        {"wraps several turns", 4, true, 1, 1, 9, 2, 1},
        {"looping without frames", 0, true, 0, 1, 1, 0, 1},
    };
    TSpriteEngine root;
    for (const AnimCase& c : cases) {
        TImageSprite s(&root);
        s.FrameCount = c.FrameCount;
        s.Looping = c.Looping;
        s.FramePos = c.FramePos;
        s.FrameSpeed = c.FrameSpeed;
        s.Step(c.MoveCount);
        EXPECT_DOUBLE_EQ(s.FramePos, c.WantPos) << c.Name;
        EXPECT_DOUBLE_EQ(s.FrameSpeed, c.WantSpeed) << c.Name;
    }
}

TEST(ImageSprite, RendersCurrentFrameCentredInItsBox) {
    TPictureCollection pictures;
    TPicture pic = Numbered(96, 32);
    TPictureCollectionItem& item = AddItem(pictures, pic, 32, 32);
    TDirectDrawSurface surface(200, 200);
    TSpriteEngine root;
    root.SetSurface(&surface);
    auto* s = new TImageSprite(&root);
    s->Image = &item;
    s->X = 10;
    s->Y = 20;
    s->Width = 41; // 4.5 pixels wider than the picture on each side: truncated to 4
    s->Height = 32;
    s->FrameCount = 3;
    s->FirstFrame = 1;
    s->FramePos = 1.9;
    EXPECT_EQ(s->CurrentFrame(), 2);
    EXPECT_EQ(s->DrawRect(), (TRect{14, 20, 55, 52}));
    root.Draw();
    EXPECT_EQ(surface.PixelAt(14, 20), PictureAt(pic, 64, 0));
    EXPECT_EQ(surface.PixelAt(45, 51), PictureAt(pic, 95, 31));
    EXPECT_EQ(surface.PixelAt(13, 20), 0);
}

TEST(BackgroundSprite, TiledPictureCoversTheSurfaceShiftedByItsPosition) {
    TPictureCollection pictures;
    TPicture pic = Numbered(800, 600);
    TPictureCollectionItem& item = AddItem(pictures, pic);
    TDirectDrawSurface surface(800, 600);
    TSpriteEngine root;
    root.SetSurface(&surface);
    auto* back = new TBackgroundSprite(&root);
    back->Image = &item;
    back->Tiled = true;
    back->ResizeMap(1, 1);
    back->Y = 100;
    EXPECT_FALSE(back->Collidable);
    EXPECT_EQ(back->GetBounds(), root.Viewport());
    root.Draw();
    for (int y : {0, 99, 100, 599})
        for (int x : {0, 399, 799})
            EXPECT_EQ(surface.PixelAt(x, y), PictureAt(pic, x, (y + 500) % 600)) << x << "," << y;

    back->X = -30;
    back->Y = -601;
    root.Draw();
    EXPECT_EQ(surface.PixelAt(0, 0), PictureAt(pic, 30, 1));
    EXPECT_EQ(surface.PixelAt(770, 599), PictureAt(pic, 0, 0));
}

TEST(BackgroundSprite, UntiledMapDrawsItsCellsOnce) {
    TPictureCollection pictures;
    TPicture pic = Numbered(64, 32);
    TPictureCollectionItem& item = AddItem(pictures, pic, 32, 32);
    TDirectDrawSurface surface(200, 100);
    TSpriteEngine root;
    root.SetSurface(&surface);
    auto* back = new TBackgroundSprite(&root);
    back->Image = &item;
    back->ResizeMap(3, 2);
    back->SetCell(0, 0, 1);
    back->SetCell(1, 0, -1);
    back->SetCell(2, 1, 1);
    back->X = -20; // the first column starts 20 pixels off screen
    back->Y = 10;
    EXPECT_EQ(back->GetBounds(), (TRect{-20, 10, 76, 74}));
    surface.Fill(0xFFFF);
    root.Draw();
    EXPECT_EQ(surface.PixelAt(0, 10), PictureAt(pic, 52, 0));  // cell (0,0) shows pattern 1
    EXPECT_EQ(surface.PixelAt(12, 10), 0xFFFF);                // cell (1,0) is empty
    EXPECT_EQ(surface.PixelAt(44, 42), PictureAt(pic, 32, 0)); // cell (2,1) shows pattern 1
    EXPECT_EQ(surface.PixelAt(44, 9), 0xFFFF);
    EXPECT_EQ(surface.PixelAt(76, 42), 0xFFFF);
    EXPECT_EQ(surface.PixelAt(12, 42), PictureAt(pic, 0, 0)); // cell (0,1) defaults to 0
}

TEST(BackgroundSprite, MapSizeAndCells) {
    TSpriteEngine root;
    TBackgroundSprite back(&root);
    back.ResizeMap(3, 2);
    EXPECT_EQ(back.Cell(2, 1), 0);
    back.SetCell(2, 1, 7);
    back.ResizeMap(3, 2); // same size keeps the cells
    EXPECT_EQ(back.Cell(2, 1), 7);
    EXPECT_EQ(back.Cell(3, 0), -1);
    EXPECT_EQ(back.Cell(0, -1), -1);
    back.ResizeMap(5, 0);
    EXPECT_EQ(back.MapCols(), 0);
    EXPECT_EQ(back.MapRows(), 0);
    EXPECT_EQ(back.Cell(0, 0), -1);
    EXPECT_EQ(back.GetBounds(), TRect{}); // no picture
}

// Whether drawing the tree paints every pixel, so the frame needs no clearing beforehand.
TEST(BackgroundSprite, CoversTheViewportOnlyWhenEveryCellIsOpaque) {
    struct Case {
        const char* Name;
        bool Transparent, Tiled, Visible, RootVisible;
        int Cell;
        bool Want;
    };
    const Case cases[] = {
        {"opaque tiled picture", false, true, true, true, 0, true},
        {"another opaque pattern", false, true, true, true, 1, true},
        {"transparent picture", true, true, true, true, 0, false},
        {"not tiled", false, false, true, true, 0, false},
        {"hidden", false, true, false, true, 0, false},
        {"hidden tree", false, true, true, false, 0, false},
        {"empty cell", false, true, true, true, -1, false},
        {"cell past the patterns", false, true, true, true, 2, false},
    };
    for (const Case& c : cases) {
        TPictureCollection pictures;
        TPictureCollectionItem& item = AddItem(pictures, Numbered(64, 32), 32, 32);
        item.Transparent = c.Transparent;
        TDirectDrawSurface surface(100, 60);
        TSpriteEngine root;
        root.SetSurface(&surface);
        root.Visible = c.RootVisible;
        auto* back = new TBackgroundSprite(&root);
        back->Image = &item;
        back->Tiled = c.Tiled;
        back->Visible = c.Visible;
        back->ResizeMap(2, 1);
        back->SetCell(0, 0, 1);
        back->SetCell(1, 0, c.Cell);
        back->X = 13; // any position: a tiled map repeats over the whole surface
        back->Y = -7;
        EXPECT_EQ(root.DrawCoversViewport(), c.Want) << c.Name;
        if (c.Want) {
            surface.Fill(0x1234);
            root.Draw();
            int untouched = 0;
            for (int y = 0; y < surface.Height(); ++y)
                for (int x = 0; x < surface.Width(); ++x)
                    untouched += surface.PixelAt(x, y) == 0x1234;
            EXPECT_EQ(untouched, 0) << c.Name;
        }
    }
    TSpriteEngine bare; // no surface, no background
    EXPECT_FALSE(bare.DrawCoversViewport());
}

TEST(GameSpriteEngine, FollowsTheDisplay) {
    TGameDraw draw(nullptr, 800, 600);
    TGameSpriteEngine sprites(&draw);
    EXPECT_EQ(sprites.Engine().Surface(), nullptr);
    sprites.Draw(); // not initialized: nothing happens
    draw.Initialize();
    ASSERT_NE(sprites.Engine().Surface(), nullptr);
    EXPECT_EQ(sprites.Engine().Surface(), draw.Surface());
    EXPECT_EQ(sprites.Engine().Viewport(), (TRect{0, 0, 800, 600}));
    draw.Finalize();
    EXPECT_EQ(sprites.Engine().Surface(), nullptr);
    sprites.SetGameDraw(nullptr);
    draw.Initialize();
    EXPECT_EQ(sprites.Engine().Surface(), nullptr);
}

} // namespace
