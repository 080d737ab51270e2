#include "engine/archive/ImageArchive.h"
#include "engine/display/GameDraw.h"
#include "engine/display/GameImageList.h"
#include "engine/gfx/ImageList.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class LoadFromFile : public ::testing::Test {
  protected:
    void SetUp() override {
        path = (std::filesystem::temp_directory_path() / ("gfx_load_" + std::to_string(::getpid()) + ".dxg"))
                   .string();
        TImageArchiveItem boat;
        boat.Name = "Boat";
        boat.PatternWidth = 32;
        boat.PatternHeight = 32;
        boat.TransparentColor = 0x00FF00FF; // fuchsia, stored as 0x00BBGGRR
        boat.Picture = TDibPicture{96, 32, 24, std::vector<uint32_t>(96 * 32, 0xFF00FF)};
        boat.Picture->Pixels[40] = 0x336699; // one visible pixel in pattern 1
        TImageArchiveItem empty;
        empty.Name = "NoPicture";
        WriteImageArchiveFile(path, {boat, empty});
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string path;
};

TEST_F(LoadFromFile, ReplacesTheItemsWithTheArchives) {
    TPictureCollection pictures;
    pictures.Add().SetName("Old");
    pictures.LoadFromFile(path);
    ASSERT_EQ(pictures.Count(), 2);
    EXPECT_EQ(pictures.TryFind("Old"), nullptr);
    TPictureCollectionItem& boat = pictures.Find("boat");
    EXPECT_EQ(boat.PatternCount(), 3);
    EXPECT_EQ(boat.TransparentColor(), 0xFF00FFu);
    EXPECT_FALSE(boat.Initialized()); // the collection was not initialized
    EXPECT_FALSE(pictures.Find("NoPicture").Picture.has_value());
}

TEST_F(LoadFromFile, IntoAnInitializedCollectionBuildsTheSurfacesAtOnce) {
    TGameDraw draw(nullptr, 800, 600);
    draw.Initialize();
    TGameImageList list(&draw);
    list.Items.LoadFromFile(path);
    TPictureCollectionItem& boat = list.Items.Find("Boat");
    ASSERT_NE(boat.PatternSurface(1), nullptr);
    TDirectDrawSurface dest(32, 32);
    boat.Draw(&dest, 0, 0, 1);
    EXPECT_EQ(dest.PixelAt(8, 0), RGBTo565(0x33, 0x66, 0x99));
    EXPECT_EQ(dest.PixelAt(9, 0), 0); // the key colour is not drawn
}

TEST_F(LoadFromFile, UnreadableFileLeavesTheCollectionAlone) {
    TPictureCollection pictures;
    pictures.Add().SetName("Kept");
    EXPECT_THROW(pictures.LoadFromFile(path + ".missing"), EArchiveError);
    EXPECT_NE(pictures.TryFind("Kept"), nullptr);
}

} // namespace
