// Save files that the game cannot read or write, and what a killed run leaves behind: the
// player's files are never lost, and the player is told.
#include "app/GameFixture.h"
#include "menus/HighScores.h"
#include "menus/Menus.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
class SaveTroubleTest : public GameTest {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
    // A first game leaves a table of its own and options with its check.
    void PlayAndSaveATable() {
        Game.Start();
        Game.Menus().Table.Entry(1) = THighScore{"ME", 6000, 0, 0};
        Game.Stop();
    }
    // Ends the game as the program does and returns what it told the player meanwhile.
    std::vector<std::string> StopAndCollectWarnings() {
        Game.Form().FormDestroy();
        std::vector<std::string> warnings = Game.Platform().Warnings();
        Game.Discard();
        return warnings;
    }
    static bool Mentions(const std::string& text, const std::string& file) {
        return text.find("Data/Save/" + file + "\"") != std::string::npos;
    }
};

// ---- A save that fails at the end ---------------------------------------------------------

struct FailedSaveCase {
    const char* name;
    bool throughExitQuestion; // "Exit the game?" saves the options first, then the end saves both
};

class FailedSaveTest : public SaveTroubleTest, public ::testing::WithParamInterface<FailedSaveCase> {};

TEST_P(FailedSaveTest, IsShownOnceAndTheFilesFromBeforeStay) {
    PlayAndSaveATable();
    const std::string hs = Game.ReadSave("hs");
    const std::string options = Game.ReadSave("options");
    // Neither temporary file can be made where a folder of its name stands.
    fs::create_directory(Game.SavePath("hs.tmp"));
    fs::create_directory(Game.SavePath("options.tmp"));

    Game.Start();
    Game.Menus().Table.Entry(1).EntryScore = 7000;
    Game.Shell().GameOptions.MusicOn = false;
    if (GetParam().throughExitQuestion) {
        Game.Form().ExitGame();
    }
    const std::vector<std::string> warnings = StopAndCollectWarnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(Mentions(warnings[0], "hs")) << warnings[0];
    EXPECT_TRUE(Mentions(warnings[0], "options")) << warnings[0];
    EXPECT_EQ(Game.ReadSave("hs"), hs);
    EXPECT_EQ(Game.ReadSave("options"), options);
}

INSTANTIATE_TEST_SUITE_P(Exits, FailedSaveTest,
                         ::testing::Values(FailedSaveCase{"EndOfProgram", false},
                                           FailedSaveCase{"AfterExitQuestion", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveTroubleTest, ASaveThatWorksTellsNothing) {
    Game.Start();
    Game.Form().ExitGame();
    EXPECT_TRUE(StopAndCollectWarnings().empty());
}

// ---- A file that is there but cannot be read ----------------------------------------------

enum class TUnreadable { Folder, LinkToItself, NoPermission };

struct UnreadableCase {
    const char* name;
    std::vector<std::string> files;
    TUnreadable how;
};

// What is there under a name: a file replaced by another has a new inode and time.
struct TStanding {
    ino_t Inode = 0;
    mode_t Mode = 0;
    long long ChangedNs = 0;
    bool operator==(const TStanding&) const = default;
};

TStanding Standing(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return {};
    }
    return {st.st_ino, st.st_mode, st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

class UnreadableTest : public SaveTroubleTest, public ::testing::WithParamInterface<UnreadableCase> {
  protected:
    fs::path Aside(const std::string& file) { return Game.SavePath(file + ".aside"); }
};

// The file is left exactly as it stands, the player hears of it once, at the start, and once it
// can be read again nothing of it has been lost. An unreadable options file holds the table's
// check, so the table file is kept too; an unreadable table file keeps its check in the options.
TEST_P(UnreadableTest, IsKeptAsItIsAndToldOnce) {
    const UnreadableCase& c = GetParam();
    if (c.how == TUnreadable::NoPermission && ::geteuid() == 0) {
        GTEST_SKIP() << "root reads a file without read permission; the Folder and LinkToItself cases "
                        "cover a file that cannot be opened and one that cannot be read";
    }
    PlayAndSaveATable();
    const std::string hs = Game.ReadSave("hs");
    for (const std::string& file : c.files) {
        const fs::path path = Game.SavePath(file);
        fs::rename(path, Aside(file));
        switch (c.how) {
        case TUnreadable::Folder:
            fs::create_directory(path);
            break;
        case TUnreadable::LinkToItself:
            fs::create_symlink(path.filename(), path);
            break;
        case TUnreadable::NoPermission:
            fs::copy_file(Aside(file), path);
            fs::permissions(path, fs::perms::none);
            break;
        }
    }
    std::vector<TStanding> before;
    for (const std::string& file : c.files) {
        before.push_back(Standing(Game.SavePath(file)));
    }
    const bool optionsUnreadable = c.files.back() == "options";

    Game.Start();
    ASSERT_EQ(Game.Platform().Warnings().size(), 1u);
    for (const std::string& file : c.files) {
        EXPECT_TRUE(Mentions(Game.Platform().Warnings()[0], file)) << Game.Platform().Warnings()[0];
    }
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ANONYMOUS") << "nothing to vouch for the table";
    Game.Shell().GameOptions.MusicOn = false;
    Game.Tick(3);
    Game.Form().ExitGame();
    EXPECT_EQ(StopAndCollectWarnings().size(), 1u) << "told at the start only";

    for (size_t i = 0; i < c.files.size(); ++i) {
        EXPECT_EQ(Standing(Game.SavePath(c.files[i])), before[i]) << c.files[i] << " left as it stood";
    }
    if (optionsUnreadable && c.files.front() != "hs") {
        EXPECT_EQ(Game.ReadSave("hs"), hs) << "the table file goes with its check";
    }

    // Readable again: the player's table is all there.
    for (const std::string& file : c.files) {
        fs::remove(Game.SavePath(file));
        fs::rename(Aside(file), Game.SavePath(file));
    }
    Game.Start();
    EXPECT_TRUE(Game.Platform().Warnings().empty());
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ME");
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 6000);
    EXPECT_EQ(Game.Shell().GameOptions.MusicOn, optionsUnreadable) << "options saved only when readable";
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableTest,
    ::testing::Values(UnreadableCase{"TableFolder", {"hs"}, TUnreadable::Folder},
                      UnreadableCase{"TableLinkToItself", {"hs"}, TUnreadable::LinkToItself},
                      UnreadableCase{"TableNoPermission", {"hs"}, TUnreadable::NoPermission},
                      UnreadableCase{"OptionsFolder", {"options"}, TUnreadable::Folder},
                      UnreadableCase{"OptionsLinkToItself", {"options"}, TUnreadable::LinkToItself},
                      UnreadableCase{"OptionsNoPermission", {"options"}, TUnreadable::NoPermission},
                      UnreadableCase{"BothLinksToThemselves", {"hs", "options"}, TUnreadable::LinkToItself}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- What a killed run leaves -------------------------------------------------------------

TEST_F(SaveTroubleTest, TemporaryFilesOfAKilledRunAreRemovedAtTheStart) {
    PlayAndSaveATable();
    Game.WriteSave("hs.tmp", "ME\r\n60");
    Game.WriteSave("options.tmp", "0\r\n");
    Game.Start();
    EXPECT_FALSE(Game.SaveExists("hs.tmp"));
    EXPECT_FALSE(Game.SaveExists("options.tmp"));
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ME") << "the files themselves are read as before";
}
} // namespace
