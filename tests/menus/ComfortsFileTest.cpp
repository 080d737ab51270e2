// The comforts' file: what it keeps, what it forgives, and that the options file is not touched.
#include "menus/ComfortsFile.h"
#include "app/GameFixture.h"
#include "engine/input/GameInput.h"
#include "engine/input/KeyNames.h"
#include "engine/platform/KeyCodes.h"
#include "menus/Menus.h"

#include <gtest/gtest.h>

#include <string>

namespace {
class ComfortsFileTest : public GameTest {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
    std::string Path() { return Game.SavePath("settings").string(); }
};

TEST_F(ComfortsFileTest, RoundTripsAndKeepsLinesItDoesNotKnow) {
    Game.WriteSave(
        "settings",
        "# mine\r\nwindow-scale = 2  # as large as I like\r\nfullscreen-scaling = fit\r\nmusic-volume=40\r\n"
        "effects-volume = 70\r\nkey-fire = f\r\nkey-throttle = W\r\nfuture-thing = 9\r\n");
    TComforts c;
    TComfortsLoad load = LoadComforts(Path(), c);
    EXPECT_TRUE(load.Problem.empty()) << load.Problem;
    EXPECT_EQ(c.WindowScale, 2);
    EXPECT_FALSE(c.SharpFullScreen);
    EXPECT_EQ(c.MusicVolume, 40);
    EXPECT_EQ(c.EffectsVolume, 70);
    EXPECT_EQ(c.RaceKeys[TComforts::rkFire], 'F');
    EXPECT_EQ(c.RaceKeys[TComforts::rkThrottle], 'W');
    SaveComforts(Path(), c);
    TComforts again;
    LoadComforts(Path(), again);
    EXPECT_EQ(again.MusicVolume, 40);
    EXPECT_EQ(again.RaceKeys[TComforts::rkFire], 'F');
    EXPECT_NE(Game.ReadSave("settings").find("future-thing = 9\r\n"), std::string::npos)
        << "an unknown line was lost";
}

TEST_F(ComfortsFileTest, DamagedValuesFallBackToTheirDefaultsAndAreNamedOnce) {
    Game.WriteSave("settings",
                   "window-scale = 9\r\nmusic-volume = loud\r\neffects-volume = 55\r\nkey-left = Nope\r\n");
    TComforts c;
    TComfortsLoad load = LoadComforts(Path(), c);
    EXPECT_EQ(c.WindowScale, 0) << "the default: as the screen allows";
    EXPECT_EQ(c.MusicVolume, 100);
    EXPECT_EQ(c.EffectsVolume, 55) << "a good line beside bad ones still counts";
    EXPECT_EQ(c.RaceKeys[TComforts::rkLeft], 0);
    EXPECT_NE(load.Problem.find("line 1"), std::string::npos) << load.Problem;
    EXPECT_NE(load.Problem.find("line 2"), std::string::npos) << load.Problem;
    EXPECT_NE(load.Problem.find("line 4"), std::string::npos) << load.Problem;

    // In the game: the start tells it once, together with anything else it found.
    Game.Start();
    EXPECT_EQ(Game.Platform().Warnings().size(), 1u);
    EXPECT_EQ(Game.Menus().Comforts.EffectsVolume, 55);
}

TEST(KeyNames, EveryNamedKeyReadsBackAsItsName) {
    for (const char* name :
         {"A", "Z", "0", "9", "Up", "Down", "Left", "Right", "Space", "Ctrl", "Numpad8", "PageUp"}) {
        EXPECT_EQ(NameOfKey(KeyFromName(name)), name);
    }
    EXPECT_EQ(KeyFromName("a"), 'A');
    EXPECT_EQ(KeyFromName(""), 0);
    EXPECT_EQ(KeyFromName("Return"), 0) << "Enter stays the menus' own key";
}

// Volumes change in steps with their keys, show briefly, survive a restart, and the options file
// stays byte for byte what it always was.
TEST_F(ComfortsFileTest, VolumeKeysStepSaveAndLeaveTheOptionsFileAlone) {
    Game.Start();
    Game.Tick(3);
    Game.Stop();
    const std::string options = Game.ReadSave("options");
    Game.Start();
    for (int i = 0; i < 3; ++i) {
        Game.KeyDown(vk::F1 + 8); // F9: music down
        Game.KeyUp(vk::F1 + 8);
    }
    Game.KeyDown(vk::F1 + 7); // F8: effects up, already at the top
    Game.KeyUp(vk::F1 + 7);
    EXPECT_EQ(Game.Menus().Comforts.MusicVolume, 70);
    EXPECT_EQ(Game.Menus().Comforts.EffectsVolume, 100);
    Game.Tick(2);
    // The notice stands at the top of the picture in the notice font's orange.
    int orange = 0;
    for (int y = 4; y < 34; ++y) {
        for (int x = 300; x < 500; ++x) {
            orange += Game.Pixel(x, y) == TGameFixture::Rgb565(255, 180, 27);
        }
    }
    EXPECT_GT(orange, 20) << "the change was not shown";
    Game.Discard(); // not even the end's save: the key's own save keeps it
    Game.Start();
    EXPECT_EQ(Game.Menus().Comforts.MusicVolume, 70);
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("options"), options);
}

TEST_F(ComfortsFileTest, ARaceKeyCanBeRebound) {
    Game.WriteSave("settings", "key-fire = F\r\nkey-left = A\r\n");
    Game.Start();
    EXPECT_EQ(Game.Form().MInput().Keyboard.Assigns[InputButton(8)][0], 'F');
    EXPECT_EQ(Game.Form().MInput().Keyboard.Assigns[isLeft][0], 'A');
    EXPECT_EQ(Game.Form().MInput().Keyboard.Assigns[isUp][2], vk::Numpad8)
        << "a key not rebound keeps its own";
}
} // namespace
