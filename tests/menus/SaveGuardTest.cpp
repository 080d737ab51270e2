// What the player has earned reaches the disk as soon as it exists, and nothing the game finds at
// the start (a damaged table, a folder it cannot write, another game on the same files) costs the
// player a file or goes unsaid.
#include "app/GameFixture.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "menus/HighScores.h"
#include "menus/Menus.h"
#include "menus/OptionsFile.h"
#include "menus/SaveFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {
constexpr int kColumnX = 560;
constexpr int kOptionsButtonY = 180;

class SaveGuardTest : public GameTest {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
    // A first game leaves a table of its own and the options with its check.
    std::string PlayAndSaveATable() {
        Game.Start();
        Game.Menus().Table.Entry(1) = THighScore{"ME", 6000, 0, 0};
        Game.Stop();
        return Game.ReadSave("hs");
    }
    void FinishIntro() {
        ASSERT_TRUE(Game.RunUntil([&] { return Game.Screen().MenuIntroPhase == 0; }, 1000));
        Game.Tick();
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

// ---- A table that fails its check is put aside, not thrown away ---------------------------------

struct RejectCase {
    const char* name;
    std::string (*damage)(std::string table);
};

class RejectedTableTest : public SaveGuardTest, public ::testing::WithParamInterface<RejectCase> {};

TEST_P(RejectedTableTest, IsKeptBesideTheNewOneAndToldOnce) {
    const std::string table = PlayAndSaveATable();
    const std::string damaged = GetParam().damage(table);
    Game.WriteSave("hs", damaged);

    Game.Start();
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ANONYMOUS") << "the check rule stays";
    ASSERT_EQ(Game.Platform().Warnings().size(), 1u);
    EXPECT_TRUE(Has(Game.Platform().Warnings()[0], "Data/Save/hs.rejected\""))
        << Game.Platform().Warnings()[0];
    EXPECT_EQ(Game.ReadSave("hs.rejected"), damaged) << "what was thrown away must be kept as it was";
    Game.Stop();

    // The next start has nothing to say, and the put-aside copy is still there.
    Game.Start();
    EXPECT_TRUE(Game.Platform().Warnings().empty());
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs.rejected"), damaged);

    // A second damaged table never takes the first one's place.
    Game.WriteSave("hs", damaged + "x");
    Game.Start();
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs.rejected"), damaged);
    EXPECT_EQ(Game.ReadSave("hs.rejected-2"), damaged + "x");
}

INSTANTIATE_TEST_SUITE_P(
    Damage, RejectedTableTest,
    ::testing::Values(RejectCase{"OneBadDigit",
                                 [](std::string t) {
                                     t.replace(t.find("6000"), 4, "6001");
                                     return t;
                                 }},
                      RejectCase{"CutShort", [](std::string t) { return t.substr(0, t.size() / 2); }},
                      RejectCase{"Junk",
                                 [](std::string) { return std::string("\x01\x02junk\r\n12x\r\n", 14); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A table without the options file that vouches for it is kept too.
TEST_F(SaveGuardTest, ATableWhoseOptionsFileIsGoneIsKept) {
    const std::string table = PlayAndSaveATable();
    fs::remove(Game.SavePath("options"));
    Game.Start();
    EXPECT_EQ(Game.ReadSave("hs.rejected"), table);
    EXPECT_EQ(Game.Platform().Warnings().size(), 1u);
}

// ---- The save folder -----------------------------------------------------------------------------

TEST_F(SaveGuardTest, AFolderThatCannotBeWrittenIsToldAtTheStartAndTheEndIsNotASuccess) {
    fs::remove_all(Game.Dir() / "Data" / "Save");
    std::ofstream(Game.Dir() / "Data" / "Save") << ""; // a plain file where the folder should be
    Game.Start();
    ASSERT_EQ(Game.Platform().Warnings().size(), 1u) << "told at the start, before anything is earned";
    EXPECT_TRUE(Has(Game.Platform().Warnings()[0], "\"Data/Save\"")) << Game.Platform().Warnings()[0];
    Game.Tick(3);
    Game.Form().FormDestroy();
    EXPECT_EQ(Game.Form().ExitCode(), 1) << "a game whose files could not be saved ends as a failure";
}

TEST_F(SaveGuardTest, ASecondGameOnTheSameFilesIsTurnedAway) {
    {
        TSaveFolder other((Game.Dir() / "Data" / "Save").string());
        ASSERT_EQ(other.Claim(), TSaveFolder::TClaim::Held);
        try {
            Game.Start();
            FAIL() << "the second game started on files another game holds";
        } catch (const std::runtime_error& e) {
            EXPECT_TRUE(Has(e.what(), "Another Spraydash game")) << e.what();
        }
        Game.Discard();
    }
    // Once the other game has ended, the folder is free; while this one runs, it is not.
    Game.Start();
    TSaveFolder third((Game.Dir() / "Data" / "Save").string());
    EXPECT_EQ(third.Claim(), TSaveFolder::TClaim::InUse);
    Game.Stop();
    TSaveFolder fourth((Game.Dir() / "Data" / "Save").string());
    EXPECT_EQ(fourth.Claim(), TSaveFolder::TClaim::Held);
}

// ---- Earned means saved --------------------------------------------------------------------------

// The game is dropped without its end-of-game save (a crash, a display server gone): what the
// player did is on disk all the same.
TEST_F(SaveGuardTest, OptionsAreOnDiskOnceTheOptionsScreenIsLeftOrFullScreenSwitched) {
    Game.Start();
    FinishIntro();
    Game.KeyDown(vk::Return, true);
    Game.KeyUp(vk::Return);
    EXPECT_EQ(Game.ReadSave("options").substr(0, 3), "1\r\n") << "Alt+Enter's switch is an option too";

    Game.Click(kColumnX, kOptionsButtonY);
    ASSERT_EQ(Game.TickView().GameScreen, gsOptions);
    Game.Tick();
    Game.Shell().GameOptions.AddInfo = "Crew";
    Game.KeyDown(vk::Escape);
    Game.KeyUp(vk::Escape);
    ASSERT_NE(Game.TickView().GameScreen, gsOptions);
    Game.Discard();
    TGameOptions options;
    std::optional<std::string> check;
    LoadOptions(Game.SavePath("options").string(), options, check);
    EXPECT_EQ(options.AddInfo, "Crew");
    EXPECT_TRUE(options.FullScreen);
}

// ---- Ended by a signal ---------------------------------------------------------------------------

TEST_F(SaveGuardTest, ASignalEndsTheGameWithItsNumberAndNoDialog) {
    PlayAndSaveATable();
    Game.Start();
    Game.Menus().Table.Entry(1).EntryScore = 7000;
    // The end-of-game save cannot work: a folder stands where its temporary file would go.
    fs::create_directory(Game.SavePath("hs.tmp"));
    TPlatformEvent hangUp;
    hangUp.Kind = TPlatformEventKind::Terminate;
    hangUp.Signal = SIGHUP;
    Game.Platform().Push(hangUp);
    EXPECT_FALSE(Game.Form().PumpOnce(false));
    testing::internal::CaptureStderr();
    Game.Form().FormDestroy();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Game.Platform().Warnings().empty()) << "a dialog would keep the ended game alive";
    EXPECT_TRUE(Has(said, "Data/Save/hs")) << said;
    EXPECT_EQ(Game.Form().ExitCode(), 128 + SIGHUP);
}
} // namespace
