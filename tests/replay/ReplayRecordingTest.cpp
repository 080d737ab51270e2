// The game records every race it plays and keeps the replays beside the save files; a kept
// replay re-runs to what the race came to and can be watched from the high-score table.
#include "replay/ReplayGame.h"

#include "app/MForm.h"
#include "app/RaceReplays.h"
#include "context/GameState.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"
#include "menus/Menus.h"
#include "race/Race.h"
#include "replay/ReplayFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {
namespace fs = std::filesystem;
using replay_test::Options;
using replay_test::ReadAll;

constexpr int kMenuTicks = 1000;
constexpr int kBannerTicks = 300;
// The first row of the high-score table, in the middle of its name.
constexpr int kRowOneX = 214;
constexpr int kRowOneY = 165;

class ReplayRecording : public GameTest {
  protected:
    fs::path Replays() const { return Game.Dir() / "Data" / "Save" / "replays"; }

    void StartRace(int boat) {
        ASSERT_TRUE(Game.RunUntil(
            [&] { return Game.TickView().GameScreen == gsMainMenu && Game.Screen().MenuIntroPhase == 0; },
            kMenuTicks));
        Game.Tick();
        Game.KeyDown(vk::Return);
        Game.KeyUp(vk::Return);
        Game.Tick();
        for (int i = 1; i < boat; ++i)
            Game.TapKey(vk::Right);
        Game.KeyDown(vk::Return);
        Game.KeyUp(vk::Return);
        ASSERT_EQ(Game.TickView().GameScreen, gsRace);
        ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().MessageMode == msgNone; }, kBannerTicks));
    }

    // Full throttle with some steering, a pause, and the gun held for a while.
    void Drive() {
        Game.KeyDown(vk::Up);
        for (int i = 0; i < 6; ++i) {
            Game.KeyDown(i % 2 == 0 ? vk::Left : vk::Right);
            Game.Tick(12);
            Game.KeyUp(i % 2 == 0 ? vk::Left : vk::Right);
            Game.Tick(40);
        }
        Game.TapKey('P');
        Game.Tick(20);
        Game.TapKey('P');
        Game.KeyDown(vk::Control);
        Game.Tick(60);
        Game.KeyUp(vk::Control);
    }

    void FinishRace() {
        Game.TapKey(vk::Escape);
        ASSERT_EQ(Game.TickView().MessageMode, msgFinishRace);
        Game.TapKey('Y');
        Game.KeyUp(vk::Up);
    }

    void RightClick(int x, int y) {
        TPlatformEvent e;
        e.Kind = TPlatformEventKind::MouseRightClick;
        e.X = x;
        e.Y = y;
        Game.Platform().Push(e);
        Game.Pump();
    }

    void BackOnHighScores() {
        ASSERT_TRUE(Game.RunUntil([&] { return Game.TickView().GameScreen == gsHighScores; }, kMenuTicks));
        Game.Tick();
    }
};
} // namespace

TEST_F(ReplayRecording, ARacePlayedIsKeptAndReRunsToItsResultAndPicture) {
    StartRace(2);
    Drive();
    FinishRace();
    const std::string bytes = ReadAll(Replays() / kLastRaceReplay);
    ASSERT_FALSE(bytes.empty()) << "no replay of the last race";
    const TReplay replay = TReplay::Decode(bytes);
    ASSERT_TRUE(replay.Claim);
    EXPECT_EQ(replay.Claim->Score, Game.Form().Race().Score);
    EXPECT_EQ(replay.Claim->End, TRaceEnd::Finished);
    EXPECT_EQ(replay.Boat, 2);
    EXPECT_FALSE(replay.Name);
    EXPECT_TRUE(replay.PictureChecksum);

    const TReplayVerdict verdict = VerifyReplay(bytes, Options(true));
    EXPECT_TRUE(verdict.Matches) << verdict.Mismatch;
    EXPECT_EQ(verdict.PictureChecksum, replay.PictureChecksum);

    // Watched in the game to its end (throttle held all along), it leaves no key held behind.
    BackOnHighScores();
    Game.Form().WatchReplayFile((Replays() / kLastRaceReplay).string());
    ASSERT_NE(Game.Form().Player(), nullptr);
    ASSERT_TRUE(Game.RunUntil([&] { return Game.Form().Player() == nullptr; }, 5000));
    EXPECT_EQ(Game.Form().Race().Score, replay.Claim->Score);
    EXPECT_FALSE(Game.Form().MInput().IsOn(isUp));
}

TEST_F(ReplayRecording, TheTableKeepsItsEntriesReplaysAndWatchesThemFromItsRows) {
    StartRace(1);
    Game.Tick(30);
    Game.Form().Race().Score = 5200; // enters the table at the top
    FinishRace();
    ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
    Game.TypeText("ACE");
    Game.KeyDown(vk::Return);
    Game.KeyUp(vk::Return);
    Game.TapKey('N');
    const fs::path kept = Replays() / TableReplayName("ACE", 5200);
    ASSERT_TRUE(fs::exists(kept));
    EXPECT_EQ(TReplay::Decode(ReadAll(kept)).Name, "ACE");
    EXPECT_EQ(TReplay::Decode(ReadAll(Replays() / kLastRaceReplay)).Name, "ACE");

    // A left click on the row clicks the highlighted button, as ever; a right click watches the
    // race; Esc leaves it for the table, which is as it was.
    BackOnHighScores();
    const int lit = Game.Screen().ActiveButton;
    Game.MouseMove(kRowOneX, kRowOneY);
    EXPECT_EQ(Game.Screen().ActiveButton, lit);
    RightClick(kRowOneX, kRowOneY);
    ASSERT_EQ(Game.TickView().GameScreen, gsRace);
    ASSERT_NE(Game.Form().Player(), nullptr);
    Game.Tick(200);
    EXPECT_EQ(Game.Form().Race().Score, 0) << "the watched race is the one recorded, not its claim";
    Game.TapKey(vk::Escape);
    EXPECT_EQ(Game.Form().Player(), nullptr);
    BackOnHighScores();
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ACE");
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 5200);

    // A damaged replay leaves the row what it was: a click there does nothing.
    std::FILE* f = std::fopen(kept.c_str(), "wb");
    std::fputs("SDRP garbage", f);
    std::fclose(f);
    RightClick(kRowOneX, kRowOneY);
    EXPECT_EQ(Game.TickView().GameScreen, gsHighScores);

    // Cleared from the table, the entry's replay goes when the table is saved; the last stays.
    Game.Menus().ResetHighScores();
    Game.Stop();
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_TRUE(fs::exists(Replays() / kLastRaceReplay));
}

TEST_F(ReplayRecording, AMissingReplayFolderOrFileNeverTouchesTheTable) {
    StartRace(3);
    Game.Tick(30);
    Game.Form().Race().Score = 4800;
    FinishRace();
    Game.TypeText("BEA");
    Game.KeyDown(vk::Return);
    Game.KeyUp(vk::Return);
    Game.TapKey('N');
    BackOnHighScores();
    Game.Stop();
    const std::string table = Game.ReadSave("hs");
    fs::remove_all(Replays());
    Game.Start();
    EXPECT_EQ(Game.Menus().Table.Entry(2).EntryName, "BEA");
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), table);
}
