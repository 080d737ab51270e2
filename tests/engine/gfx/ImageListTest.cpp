#include "engine/gfx/ImageList.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TPicture Solid(int w, int h, uint32_t rgb) {
    return TPicture{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, rgb)};
}

struct GeometryCase {
    int PicW, PicH, PatW, PatH, SkipW, SkipH;
    int Count;
    std::vector<TRect> Rects; // the first few, row-major
};

TEST(PictureItem, PatternGeometryBeforeAndAfterRestore) {
    const GeometryCase cases[] = {
        {96, 32, 32, 32, 0, 0, 3, {{0, 0, 32, 32}, {32, 0, 64, 32}, {64, 0, 96, 32}}},
        {100, 32, 32, 32, 2, 0, 3, {{0, 0, 32, 32}, {34, 0, 66, 32}, {68, 0, 100, 32}}},
        {64, 64, 32, 32, 0, 0, 4, {{0, 0, 32, 32}, {32, 0, 64, 32}, {0, 32, 32, 64}}},
        {70, 40, 0, 0, 0, 0, 1, {{0, 0, 70, 40}}}, // no pattern size: the whole picture
        {70, 40, 70, 40, 0, 0, 1, {{0, 0, 70, 40}}},
        {70, 40, 32, 40, 3, 0, 2, {{0, 0, 32, 40}, {35, 0, 67, 40}}},
        {20, 20, 32, 32, 0, 0, 0, {}}, // pattern larger than the picture
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.PicW << "x" << c.PicH << " pattern " << c.PatW << "x" << c.PatH
                                        << " skip " << c.SkipW << "," << c.SkipH);
        TPictureCollection pictures;
        TPictureCollectionItem& item = pictures.Add();
        item.Picture = Solid(c.PicW, c.PicH, 0x123456);
        item.PatternWidth = c.PatW;
        item.PatternHeight = c.PatH;
        item.SkipWidth = c.SkipW;
        item.SkipHeight = c.SkipH;
        EXPECT_EQ(item.PatternCount(), c.Count);
        item.Initialize();
        item.Restore();
        EXPECT_EQ(item.PatternCount(), c.Count);
        for (size_t i = 0; i < c.Rects.size(); ++i) {
            EXPECT_EQ(item.PatternRect(static_cast<int>(i)), c.Rects[i]) << "pattern " << i;
            EXPECT_NE(item.PatternSurface(static_cast<int>(i)), nullptr);
        }
        EXPECT_EQ(item.PatternRect(c.Count), TRect{});
        EXPECT_EQ(item.PatternSurface(c.Count), nullptr);
        EXPECT_EQ(item.PatternSurface(-1), nullptr);
    }
}

// A picture whose 16-bit pixels tell every column below 2048 apart, and rows modulo 32.
TPicture Numbered(int w, int h) {
    TPicture p{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.Pixels[static_cast<size_t>(y) * w + x] =
                static_cast<uint32_t>((x & 31) << 19 | ((x >> 5) & 63) << 10 | (y & 31) << 3);
    return p;
}

struct BlockCase {
    int PicW, PicH, PatW, PatH, SkipW, SkipH;
    bool SystemMemory;
    int Index;
    TRect Rect;       // within its surface
    int SurfW, SurfH; // size of the surface holding it
    int PicX, PicY;   // where the pattern sits in the picture
};

TEST(PictureItem, LargePicturesInVideoMemoryAreCutIntoBlocksOfWholeCells) {
    const BlockCase cases[] = {
        // 512-wide blocks of sixteen 32-pixel cells; the last block holds what is left.
        {1100, 32, 32, 32, 0, 0, false, 15, {480, 0, 512, 32}, 512, 32, 480, 0},
        {1100, 32, 32, 32, 0, 0, false, 16, {0, 0, 32, 32}, 512, 32, 512, 0},
        {1100, 32, 32, 32, 0, 0, false, 33, {32, 0, 64, 32}, 76, 32, 1056, 0},
        // In system memory the whole picture stays one surface.
        {1100, 32, 32, 32, 0, 0, true, 33, {1056, 0, 1088, 32}, 1100, 32, 1056, 0},
        // 110-pixel cells: blocks of five cells a side, surfaces numbered row by row.
        {1100, 1100, 100, 100, 10, 10, false, 76, {110, 220, 210, 320}, 550, 550, 660, 770},
        // Overlapping patterns would straddle block edges: kept in one surface.
        {1100, 32, 40, 32, -8, 0, false, 20, {640, 0, 680, 32}, 1100, 32, 640, 0},
    };
    TDirectDrawSurface dest(200, 200);
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.PicW << "x" << c.PicH << " pattern " << c.PatW << "x" << c.PatH << " skip "
                     << c.SkipW << "," << c.SkipH << " system " << c.SystemMemory << " index " << c.Index);
        TPictureCollection pictures;
        TPictureCollectionItem& item = pictures.Add();
        const TPicture pic = Numbered(c.PicW, c.PicH); // the item lets its copy go once converted
        item.Picture = pic;
        item.PatternWidth = c.PatW;
        item.PatternHeight = c.PatH;
        item.SkipWidth = c.SkipW;
        item.SkipHeight = c.SkipH;
        item.SystemMemory = c.SystemMemory;
        item.Transparent = false;
        const int count = item.PatternCount();
        item.Initialize();
        item.Restore();
        EXPECT_EQ(item.PatternCount(), count);
        EXPECT_EQ(item.PatternRect(c.Index), c.Rect);
        TDirectDrawSurface* surface = item.PatternSurface(c.Index);
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->Width(), c.SurfW);
        EXPECT_EQ(surface->Height(), c.SurfH);
        dest.Fill(0);
        item.Draw(&dest, 0, 0, c.Index);
        auto at = [&](int x, int y) {
            return RGBValueTo565(pic.Pixels[static_cast<size_t>(y) * pic.Width + x]);
        };
        EXPECT_EQ(dest.PixelAt(0, 0), at(c.PicX, c.PicY));
        EXPECT_EQ(dest.PixelAt(c.PatW - 1, c.PatH - 1), at(c.PicX + c.PatW - 1, c.PicY + c.PatH - 1));
    }
}

TEST(PictureItem, WithoutPictureHasNoPatterns) {
    TPictureCollection pictures;
    TPictureCollectionItem& item = pictures.Add();
    item.PatternWidth = 32;
    EXPECT_EQ(item.PatternCount(), 0);
    item.Initialize();
    item.Restore();
    EXPECT_EQ(item.PatternCount(), 0);
    TDirectDrawSurface dest(10, 10);
    item.Draw(&dest, 0, 0, 0); // nothing to draw, nothing to fail
}

TEST(PictureCollection, FindIgnoresCaseAndTheLastNamedWins) {
    TPictureCollection pictures;
    TPictureCollectionItem& back = pictures.Add();
    back.SetName("MMBackground");
    TPictureCollectionItem& first = pictures.Add();
    first.SetName("Boat");
    TPictureCollectionItem& second = pictures.Add();
    second.SetName("BOAT");
    EXPECT_EQ(&pictures.Find("mmbackground"), &back);
    EXPECT_EQ(&pictures.Find("boat"), &second);
    EXPECT_EQ(pictures.IndexOf("Boat"), 2);

    first.SetName("Boat"); // the name it has already: it keeps its place behind "BOAT"
    EXPECT_EQ(&pictures.Find("boat"), &second);
    first.SetName("boat"); // renamed last: now it wins
    EXPECT_EQ(&pictures.Find("Boat"), &first);
    pictures.Delete(1);
    EXPECT_EQ(&pictures.Find("Boat"), &second);
    EXPECT_EQ(second.Index(), 1);
    EXPECT_EQ(pictures.TryFind("x"), nullptr);
    // Names of one and two characters hash without reading past their ends.
    TPictureCollectionItem& shortName = pictures.Add();
    shortName.SetName("\xC4");
    EXPECT_EQ(&pictures.Find("\xE4"), &shortName);
}

TEST(PictureCollection, UnknownNameRaises) {
    TPictureCollection pictures;
    try {
        pictures.Find("Nope");
        FAIL() << "no exception";
    } catch (const EPictureCollectionError& e) {
        EXPECT_STREQ(e.what(), "Image 'Nope' not found");
    }
}

TEST(PictureCollection, ColourKeyMatchesAfterConversion) {
    // 0x0F0D0E and 0x0C0C0C are different colours with the same 16-bit value.
    TPictureCollection pictures;
    TPictureCollectionItem& item = pictures.Add();
    item.Picture = TPicture{2, 1, {0x0C0C0C, 0xFF0000}};
    item.SetTransparentColor(0x0F0D0E);
    item.Initialize();
    item.Restore();
    TDirectDrawSurface dest(2, 1);
    dest.Fill(0x1234);
    item.Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(0, 0), 0x1234);
    EXPECT_EQ(dest.PixelAt(1, 0), RGBTo565(255, 0, 0));

    item.SetTransparentColor(0xFF0000); // existing surfaces take the new key
    dest.Fill(0x1234);
    item.Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(0, 0), RGBTo565(12, 12, 12));
    EXPECT_EQ(dest.PixelAt(1, 0), 0x1234);

    item.Transparent = false;
    item.Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(1, 0), RGBTo565(255, 0, 0));
}

TEST(PictureCollection, DrawsNothingBeforeInitializationOrOutOfRange) {
    TPictureCollection pictures;
    TPictureCollectionItem& item = pictures.Add();
    item.Picture = Solid(96, 32, 0xFFFFFF);
    item.PatternWidth = 32;
    item.PatternHeight = 32;
    item.Transparent = false;
    TDirectDrawSurface dest(40, 40);
    item.Restore(); // neither item nor collection initialized
    item.Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(0, 0), 0);
    item.Initialize();
    item.Restore();
    item.Draw(&dest, 0, 0, item.PatternCount());
    item.Draw(&dest, 0, 0, -1);
    item.Draw(nullptr, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(0, 0), 0);
    item.Draw(&dest, 0, 0, 2);
    EXPECT_EQ(dest.PixelAt(0, 0), 0xFFFF);
}

TEST(GameImageList, BuildsAndDropsSurfacesWithTheDisplay) {
    TGameDraw draw(nullptr, 800, 600);
    TGameImageList list(&draw);
    TPictureCollectionItem& item = list.Items.Add();
    item.Picture = Solid(64, 32, 0xFFFFFF);
    item.PatternWidth = 32;
    EXPECT_FALSE(item.Initialized());

    draw.Initialize();
    EXPECT_TRUE(list.Items.Initialized());
    EXPECT_TRUE(item.Initialized());
    EXPECT_NE(item.PatternSurface(1), nullptr);

    draw.Finalize();
    EXPECT_FALSE(item.Initialized());
    EXPECT_EQ(item.PatternSurface(0), nullptr);
    EXPECT_EQ(item.PatternCount(), 2); // computed again from the picture

    draw.Initialize(); // a mode switch: rebuilt
    EXPECT_NE(item.PatternSurface(1), nullptr);

    TGameImageList late(nullptr);
    late.Items.Add().Picture = Solid(8, 8, 0);
    late.SetGameDraw(&draw); // joins a running display
    EXPECT_NE(late.Items.Item(0).PatternSurface(0), nullptr);
}

// Every pattern of an item drawn side by side, row by row: what the item shows.
std::vector<uint16_t> Shown(const TPictureCollectionItem& item) {
    const int count = item.PatternCount();
    TDirectDrawSurface dest(std::max(1, item.Width() * count), std::max(1, item.Height()));
    dest.Fill(0x0841);
    for (int i = 0; i < count; ++i)
        item.Draw(&dest, i * item.Width(), 0, i);
    const uint16_t* p = dest.Pixels();
    return {p, p + static_cast<size_t>(dest.Width()) * dest.Height()};
}

// Once converted the source's pixels are let go; the surfaces then hold the picture through a
// mode switch and are cut again from themselves when the pattern geometry changes.
TEST(PictureItem, KeepsOnlyTheConvertedPicture) {
    struct Geometry {
        int PatW, PatH, SkipW, SkipH;
        bool SystemMemory;
    };
    const Geometry geometries[] = {
        {0, 0, 0, 0, false},    // the whole picture
        {40, 30, 0, 0, false},  // blocks of whole cells
        {40, 30, 2, 1, false},  // cells with gaps
        {100, 60, 0, 0, true},  // one surface in system memory
        {700, 60, 0, 0, false}, // blocks that are not square
    };
    const TPicture source = [] {
        TPicture p{1400, 130, std::vector<uint32_t>(1400 * 130)};
        for (size_t i = 0; i < p.Pixels.size(); ++i)
            p.Pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
        return p;
    }();
    auto fresh = [&](const Geometry& g, TPictureCollection& c) -> TPictureCollectionItem& {
        TPictureCollectionItem& item = c.Add();
        item.Picture = source;
        item.PatternWidth = g.PatW;
        item.PatternHeight = g.PatH;
        item.SkipWidth = g.SkipW;
        item.SkipHeight = g.SkipH;
        item.SystemMemory = g.SystemMemory;
        item.Transparent = false;
        item.Initialize();
        item.Restore();
        return item;
    };
    for (const Geometry& from : geometries) {
        TPictureCollection pictures;
        TPictureCollectionItem& item = fresh(from, pictures);
        ASSERT_TRUE(item.Picture);
        EXPECT_TRUE(item.Picture->Pixels.empty()) << "the source is let go";
        EXPECT_EQ(item.Picture->Width, 1400);
        const std::vector<uint16_t> before = Shown(item);

        item.Finalize(); // a mode switch
        EXPECT_EQ(item.PatternSurface(0), nullptr);
        item.Initialize();
        item.Restore();
        EXPECT_EQ(Shown(item), before) << "the kept surfaces, taken into use again";

        for (const Geometry& to : geometries) {
            item.PatternWidth = to.PatW;
            item.PatternHeight = to.PatH;
            item.SkipWidth = to.SkipW;
            item.SkipHeight = to.SkipH;
            item.SystemMemory = to.SystemMemory;
            item.Restore();
            TPictureCollection reference;
            EXPECT_EQ(Shown(item), Shown(fresh(to, reference)))
                << "cut again from " << from.PatW << "x" << from.PatH << " to " << to.PatW << "x" << to.PatH;
        }
    }

    TPictureCollection pictures;
    TPictureCollectionItem& item = fresh(geometries[0], pictures);
    item.Picture = Solid(10, 10, 0xFF0000); // a new picture is taken up
    item.Restore();
    EXPECT_EQ(item.Width(), 10);
    EXPECT_EQ(Shown(item)[0], RGBValueTo565(0xFF0000));
    item.Picture = TPicture{10, 10, std::vector<uint32_t>(5, 0)}; // pixels missing: nothing drawn
    item.Restore();
    TDirectDrawSurface dest(10, 10);
    item.Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.PixelAt(0, 0), RGBValueTo565(0xFF0000))
        << "the old surfaces still draw, nothing read past";
}

TEST(PictureCollection, InitializeNeedsAnInitializedDisplay) {
    TGameDraw draw(nullptr, 800, 600);
    TPictureCollection pictures;
    try {
        pictures.Initialize(draw.Initialized());
        FAIL() << "no exception";
    } catch (const EPictureCollectionError& e) {
        EXPECT_STREQ(e.what(), "TPictureCollection cannot be initialized");
    }
}

} // namespace
