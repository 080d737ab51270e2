// The high-score table and options files: their exact bytes, how damaged or foreign files are
// read, and how they survive a restart of the game.
#include "menus/SaveFiles.h"
#include "app/GameFixture.h"
#include "menus/HighScores.h"
#include "menus/Menus.h"
#include "menus/OptionsFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kDefaultCheck = "\x28\xA0\x96\x3C\x7A\xE2\xF6\x52\x3E";

std::string DefaultTableFile() {
    std::string s;
    for (int i = 1; i <= 10; ++i) {
        s += "ANONYMOUS\r\n" + std::to_string(5500 - 500 * i) + "\r\n0\r\n0\r\n";
    }
    return s;
}

std::string Crlf(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines) {
        s += l + "\r\n";
    }
    return s;
}

std::string WithoutCr(std::string s) {
    std::erase(s, '\r');
    return s;
}

// The files alone, in a scratch directory; no game is started.
class SaveFileTest : public ::testing::Test {
  protected:
    TGameFixture Dir;
    std::string Path(const char* name) { return Dir.SavePath(name).string(); }
};

// ---- Table ------------------------------------------------------------------------------

TEST_F(SaveFileTest, DefaultTableAndItsCheckString) {
    THighScoreTable table;
    EXPECT_EQ(table.ComputeTableCheck(), kDefaultCheck);
    table.SaveHighScores(Path("hs"));
    EXPECT_EQ(Dir.ReadSave("hs"), DefaultTableFile());
}

TEST_F(SaveFileTest, CheckStringFollowsNamesAndScoresButNotTheReservedFields) {
    THighScoreTable table;
    const std::string base = table.ComputeTableCheck();
    table.Entry(3).Reserved1 = 77;
    table.Entry(4).Reserved2 = -1;
    EXPECT_EQ(table.ComputeTableCheck(), base);
    table.Entry(10).EntryScore = 501;
    EXPECT_NE(table.ComputeTableCheck(), base);
    table.ResetHighScores();
    table.Entry(5).EntryName = "ANONYMOUs";
    EXPECT_NE(table.ComputeTableCheck(), base);
}

struct QualifyCase {
    int32_t score;
    bool qualifies;
};

class QualifyTest : public ::testing::TestWithParam<QualifyCase> {};

TEST_P(QualifyTest, AgainstTheDefaultTable) {
    THighScoreTable table;
    EXPECT_EQ(table.QualifiesForTable(GetParam().score), GetParam().qualifies);
}

INSTANTIATE_TEST_SUITE_P(Scores, QualifyTest,
                         ::testing::Values(QualifyCase{-1, false}, QualifyCase{0, false},
                                           QualifyCase{500, false}, QualifyCase{501, true},
                                           QualifyCase{5000, true}, QualifyCase{5001, true}));

struct SortCase {
    const char* name;
    int32_t score;
    int place; // where the new result lands; 11 = stays out
};

class SortTest : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortTest, NewResultLandsBelowEqualScores) {
    const SortCase& c = GetParam();
    THighScoreTable table;
    table.Entry(THighScoreTable::kSpare) = THighScore{"NEW", c.score, 0, 0};
    table.SortHighScores();
    EXPECT_EQ(table.Entry(c.place).EntryName, "NEW");
    EXPECT_EQ(table.Entry(c.place).EntryScore, c.score);
    for (int i = 1; i < THighScoreTable::kSpare; ++i) {
        EXPECT_GE(table.Entry(i).EntryScore, table.Entry(i + 1).EntryScore) << "order at " << i;
    }
    if (c.place != THighScoreTable::kSpare) {
        EXPECT_EQ(table.Entry(THighScoreTable::kSpare).EntryScore, 500) << "the old tenth drops out";
    }
}

INSTANTIATE_TEST_SUITE_P(Scores, SortTest,
                         ::testing::Values(SortCase{"Tenth", 501, 10}, SortCase{"BelowTheTop", 5000, 2},
                                           SortCase{"Top", 5001, 1}, SortCase{"EqualToTenth", 500, 11},
                                           SortCase{"Middle", 2750, 6}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFileTest, TableFileWithLfLineEndsReadsTheSame) {
    THighScoreTable written;
    written.Entry(1) = THighScore{"Z\xE9ro", 9000, 3, -4};
    written.SaveHighScores(Path("hs"));
    const std::string crlf = Dir.ReadSave("hs");
    Dir.WriteSave("lf", WithoutCr(crlf));

    THighScoreTable a, b;
    a.LoadHighScores(Path("hs"));
    b.LoadHighScores(Path("lf"));
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(a.Entry(i).EntryName, b.Entry(i).EntryName);
        EXPECT_EQ(a.Entry(i).EntryScore, b.Entry(i).EntryScore);
        EXPECT_EQ(a.Entry(i).Reserved1, b.Entry(i).Reserved1);
        EXPECT_EQ(a.Entry(i).Reserved2, b.Entry(i).Reserved2);
    }
    EXPECT_EQ(b.Entry(1).EntryName, "Z\xE9ro");
    EXPECT_EQ(b.Entry(1).Reserved2, -4);
}

TEST_F(SaveFileTest, TableFileCutShortReadsEmptyNamesAndZeros) {
    Dir.WriteSave("hs", Crlf({"ONE", "  300 points", "0", "0", "TWO", "-7", "0", "0", "THREE"}));
    THighScoreTable table;
    table.LoadHighScores(Path("hs"));
    EXPECT_EQ(table.Entry(1).EntryName, "ONE");
    EXPECT_EQ(table.Entry(1).EntryScore, 300) << "blanks before, the rest of the line skipped";
    EXPECT_EQ(table.Entry(2).EntryScore, -7);
    EXPECT_EQ(table.Entry(3).EntryName, "THREE");
    EXPECT_EQ(table.Entry(3).EntryScore, 0);
    EXPECT_EQ(table.Entry(10).EntryName, "");
}

struct TextInNumberCase {
    const char* name;
    int line; // 0-based line of the file that gets text instead of a number; -1: none
    const char* text = "lots";
};

class TextInNumberLineTest : public SaveFileTest, public ::testing::WithParamInterface<TextInNumberCase> {};

// Text in any number line gives the default table, also in the reserved fields, which the
// table check does not cover.
TEST_P(TextInNumberLineTest, GivesTheDefaultTable) {
    const TextInNumberCase& c = GetParam();
    THighScoreTable written;
    written.Entry(1) = THighScore{"KEEP", 7000, 3, 4};
    written.SaveHighScores(Path("hs"));
    std::string hs = Dir.ReadSave("hs");
    if (c.line >= 0) {
        size_t at = 0;
        for (int i = 0; i < c.line; ++i) {
            at = hs.find("\r\n", at) + 2;
        }
        hs.replace(at, hs.find("\r\n", at) - at, c.text);
        Dir.WriteSave("hs", hs);
    }
    THighScoreTable table;
    table.LoadHighScores(Path("hs"));
    if (c.line < 0) {
        EXPECT_EQ(table.Entry(1).EntryName, "KEEP");
        EXPECT_EQ(table.Entry(1).Reserved2, 4);
        return;
    }
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(table.Entry(i).EntryName, "ANONYMOUS") << i;
        EXPECT_EQ(table.Entry(i).EntryScore, 5500 - 500 * i) << i;
        EXPECT_EQ(table.Entry(i).Reserved1, 0) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, TextInNumberLineTest,
                         ::testing::Values(TextInNumberCase{"Sound", -1}, TextInNumberCase{"Score", 1},
                                           TextInNumberCase{"Reserved1", 2}, TextInNumberCase{"Reserved2", 3},
                                           TextInNumberCase{"LastReserved", 39},
                                           TextInNumberCase{"DigitsRunIntoText", 1, "7000x"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Options ------------------------------------------------------------------------------

TEST_F(SaveFileTest, OptionsFileWithDefaults) {
    SaveOptions(Path("options"), TGameOptions{}, kDefaultCheck);
    EXPECT_EQ(Dir.ReadSave("options"), Crlf({"0", "1", "1", "_______", kDefaultCheck}));
}

struct SwitchCase {
    const char* name;
    const char* line;
    bool value;
};

class OptionSwitchTest : public SaveFileTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(OptionSwitchTest, AnyNumberButZeroIsOnAndIsWrittenBackAsOne) {
    const SwitchCase& c = GetParam();
    Dir.WriteSave("options", Crlf({c.line, c.line, c.line, "text", "check"}));
    TGameOptions options;
    std::optional<std::string> check;
    LoadOptions(Path("options"), options, check);
    EXPECT_EQ(options.FullScreen, c.value);
    EXPECT_EQ(options.MusicOn, c.value);
    EXPECT_EQ(options.SoundOn, c.value);
    EXPECT_EQ(options.AddInfo, "text");
    EXPECT_EQ(check, "check");
    SaveOptions(Path("options"), options, check.value());
    const std::string v = c.value ? "1" : "0";
    EXPECT_EQ(Dir.ReadSave("options"), Crlf({v, v, v, "text", "check"}));
}

INSTANTIATE_TEST_SUITE_P(Values, OptionSwitchTest,
                         ::testing::Values(SwitchCase{"Two", "2", true}, SwitchCase{"MinusOne", "-1", true},
                                           SwitchCase{"One", "1", true}, SwitchCase{"Zero", "0", false},
                                           SwitchCase{"PaddedZero", "  0", false},
                                           SwitchCase{"Blank", "", false}, SwitchCase{"Blanks", "  ", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveFileTest, OptionsFileWithLfLineEndsAndAnEmptyTextLine) {
    Dir.WriteSave("options", "1\n0\n1\n\n" + kDefaultCheck + "\n");
    TGameOptions options;
    std::optional<std::string> check;
    LoadOptions(Path("options"), options, check);
    EXPECT_TRUE(options.FullScreen);
    EXPECT_FALSE(options.MusicOn);
    EXPECT_TRUE(options.SoundOn);
    EXPECT_EQ(options.AddInfo, "");
    EXPECT_EQ(check, kDefaultCheck);
    SaveOptions(Path("options"), options, check.value());
    EXPECT_EQ(Dir.ReadSave("options"), Crlf({"1", "0", "1", "", kDefaultCheck})) << "an empty line 4";
}

TEST_F(SaveFileTest, MissingOptionsFileGivesDefaultsAndKeepsTheCheck) {
    TGameOptions options;
    options.MusicOn = false;
    std::optional<std::string> check = "kept";
    LoadOptions(Path("options"), options, check);
    EXPECT_FALSE(options.FullScreen);
    EXPECT_TRUE(options.MusicOn);
    EXPECT_TRUE(options.SoundOn);
    EXPECT_EQ(options.AddInfo, "_______");
    EXPECT_EQ(check, "kept");
}

// ---- Writing ------------------------------------------------------------------------------

TEST_F(SaveFileTest, WritingCreatesTheFolderAndLeavesNoTemporaryFile) {
    fs::remove_all(Dir.Dir() / "Data" / "Save");
    THighScoreTable().SaveHighScores(Path("hs"));
    EXPECT_EQ(Dir.ReadSave("hs"), DefaultTableFile());
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(Dir.Dir() / "Data" / "Save")) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST_F(SaveFileTest, FailedWriteKeepsThePreviousFile) {
    Dir.WriteSave("hs", "previous");
    // The temporary file cannot be made where a folder of its name stands.
    fs::create_directory(Dir.SavePath("hs.tmp"));
    try {
        THighScoreTable().SaveHighScores(Path("hs"));
        ADD_FAILURE() << "the write reports its failure";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("hs"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Dir.ReadSave("hs"), "previous");
}

// ---- Through the game ---------------------------------------------------------------------

class SaveGameTest : public GameTest {
  protected:
    void SetUp() override {
        StartInSetUp = false;
        GameTest::SetUp();
    }
    void ExpectDefaultTable() {
        for (int i = 1; i <= 10; ++i) {
            EXPECT_EQ(Game.Menus().Table.Entry(i).EntryName, "ANONYMOUS") << i;
            EXPECT_EQ(Game.Menus().Table.Entry(i).EntryScore, 5500 - 500 * i) << i;
        }
    }
};

TEST_F(SaveGameTest, FirstRunWritesTheDefaultFiles) {
    fs::remove_all(Game.Dir() / "Data" / "Save");
    Game.Start();
    ExpectDefaultTable();
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), DefaultTableFile());
    EXPECT_EQ(Game.ReadSave("options"), Crlf({"0", "1", "1", "_______", kDefaultCheck}));
}

TEST_F(SaveGameTest, TableAndOptionsRoundTripByteForByteThroughARestart) {
    Game.Start();
    Game.Shell().GameOptions.MusicOn = false;
    Game.Shell().GameOptions.AddInfo = "na\xEFve";
    Game.Shell().PlayerName = "J\xF6rg";
    Game.Menus().CommitNameEntry(4200);
    Game.Shell().PlayerName = "";
    Game.Menus().CommitNameEntry(9999);
    Game.Stop();
    const std::string hs = Game.ReadSave("hs");
    const std::string options = Game.ReadSave("options");
    ASSERT_NE(hs.find("J\xF6rg\r\n4200\r\n"), std::string::npos);

    Game.Start();
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "") << "the table was kept";
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 9999);
    EXPECT_FALSE(Game.Shell().GameOptions.MusicOn);
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), hs);
    EXPECT_EQ(Game.ReadSave("options"), options);
}

TEST_F(SaveGameTest, ClearingTheTableAndLeavingWritesTheDefaults) {
    Game.Start();
    Game.Menus().Table.Entry(1).EntryScore = 123456;
    Game.Menus().ResetHighScores();
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), DefaultTableFile());
    EXPECT_EQ(Game.ReadSave("options"), Crlf({"0", "1", "1", "_______", kDefaultCheck}));
}

struct HandEditCase {
    const char* name;
    const char* from;
    const char* to;
    bool resets;
};

class HandEditTest : public SaveGameTest, public ::testing::WithParamInterface<HandEditCase> {};

TEST_P(HandEditTest, EditedTableIsResetAtTheNextStartUnlessOnlyReservedChanged) {
    const HandEditCase& c = GetParam();
    Game.Start();
    Game.Menus().Table.Entry(1).EntryName = "ME";
    Game.Menus().Table.Entry(1).EntryScore = 6000;
    Game.Stop();
    std::string hs = Game.ReadSave("hs");
    auto at = hs.find(c.from);
    ASSERT_NE(at, std::string::npos);
    hs.replace(at, std::string(c.from).size(), c.to);
    Game.WriteSave("hs", hs);

    Game.Start();
    if (c.resets) {
        ExpectDefaultTable();
    } else {
        EXPECT_EQ(Game.Menus().Table.Entry(1).EntryName, "ME");
        EXPECT_EQ(Game.Menus().Table.Entry(1).Reserved1, 5);
    }
}

INSTANTIATE_TEST_SUITE_P(Edits, HandEditTest,
                         ::testing::Values(HandEditCase{"Score", "\r\n6000\r\n", "\r\n9000\r\n", true},
                                           HandEditCase{"Name", "ME\r\n", "YOU\r\n", true},
                                           HandEditCase{"Reserved", "6000\r\n0\r\n", "6000\r\n5\r\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct LineEndCase {
    const char* name;
    const char* end;
};

class LineEndGameTest : public SaveGameTest, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(LineEndGameTest, FilesFromElsewhereReadTheSame) {
    Game.Start();
    Game.Menus().Table.Entry(2).EntryName = "LINUX";
    Game.Shell().GameOptions.MusicOn = false;
    Game.Shell().GameOptions.AddInfo = "ends";
    Game.Stop();
    for (const char* file : {"hs", "options"}) {
        std::string bytes = Game.ReadSave(file);
        for (size_t at = 0; (at = bytes.find("\r\n", at)) != std::string::npos;
             at += std::strlen(GetParam().end)) {
            bytes.replace(at, 2, GetParam().end);
        }
        Game.WriteSave(file, bytes);
    }
    Game.Start();
    EXPECT_EQ(Game.Menus().Table.Entry(2).EntryName, "LINUX") << "the table passed its check";
    EXPECT_FALSE(Game.Shell().GameOptions.MusicOn);
    EXPECT_TRUE(Game.Shell().GameOptions.SoundOn);
    EXPECT_EQ(Game.Shell().GameOptions.AddInfo, "ends");
}

INSTANTIATE_TEST_SUITE_P(Ends, LineEndGameTest,
                         ::testing::Values(LineEndCase{"Lf", "\n"}, LineEndCase{"Cr", "\r"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Enter without a name is allowed; ten such entries leave a table whose check line is empty, and
// that is still a check line, unlike one that is not there at all.
struct EmptyNamesCase {
    const char* name;
    const char* checkLine; // what follows the options' fourth line
    bool kept;
};

class EmptyNamesTest : public SaveGameTest, public ::testing::WithParamInterface<EmptyNamesCase> {};

TEST_P(EmptyNamesTest, TableOfTenEmptyNames) {
    const EmptyNamesCase& c = GetParam();
    std::string hs;
    for (int i = 1; i <= 10; ++i) {
        hs += "\r\n" + std::to_string(10000 - 100 * i) + "\r\n0\r\n0\r\n";
    }
    Game.WriteSave("hs", hs);
    Game.WriteSave("options", std::string("0\r\n1\r\n1\r\n_______\r\n") + c.checkLine);
    Game.Start();
    if (!c.kept) {
        ExpectDefaultTable();
        return;
    }
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(Game.Menus().Table.Entry(i).EntryName, "") << i;
        EXPECT_EQ(Game.Menus().Table.Entry(i).EntryScore, 10000 - 100 * i) << i;
    }
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), hs);
    EXPECT_EQ(Game.ReadSave("options"), Crlf({"0", "1", "1", "_______", ""}));
}

INSTANTIATE_TEST_SUITE_P(Checks, EmptyNamesTest,
                         ::testing::Values(EmptyNamesCase{"CheckLineEmpty", "\r\n", true},
                                           EmptyNamesCase{"CheckLineMissing", "", false},
                                           EmptyNamesCase{"CheckLineWrong", "x\r\n", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A name or a text of megabytes (with a check that matches it) is cut at the bound of a text line;
// the table still passes its check, and what is written back is the cut one.
TEST_F(SaveGameTest, HugeNameAndTextAreCutAndTheTableKept) {
    const size_t huge = 3 << 20;
    THighScoreTable table;
    table.Entry(1) = THighScore{"LONGNAME" + std::string(huge, 'x'), 9000, 0, 0};
    table.SaveHighScores(Game.SavePath("hs").string());
    TGameOptions options;
    options.AddInfo = "free text " + std::string(huge, 'y');
    SaveOptions(Game.SavePath("options").string(), options, table.ComputeTableCheck());

    const std::string cutName = ("LONGNAME" + std::string(kTextLineMax, 'x')).substr(0, kTextLineMax);
    const std::string cutText = ("free text " + std::string(kTextLineMax, 'y')).substr(0, kTextLineMax);
    Game.Start();
    EXPECT_TRUE(Game.Menus().Table.Entry(1).EntryName == cutName);
    EXPECT_EQ(Game.Menus().Table.Entry(1).EntryScore, 9000) << "the table passed its check";
    EXPECT_TRUE(Game.Shell().GameOptions.AddInfo == cutText);
    Game.Tick(3);
    Game.Stop();
    EXPECT_LT(fs::file_size(Game.SavePath("hs")), 2 * kTextLineMax);
    EXPECT_LT(fs::file_size(Game.SavePath("options")), 3 * kTextLineMax);
    Game.Start();
    EXPECT_TRUE(Game.Menus().Table.Entry(1).EntryName == cutName) << "what was written back loads";
}

struct DamagedCase {
    const char* name;
    const char* hs; // nullptr: leave the saved one
    const char* options;
};

class DamagedFilesTest : public SaveGameTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFilesTest, StartUpGoesOnWithTheDefaultTable) {
    const DamagedCase& c = GetParam();
    Game.Start();
    Game.Menus().Table.Entry(1).EntryName = "KEEPME";
    Game.Stop();
    if (c.hs) {
        Game.WriteSave("hs", c.hs);
    }
    if (c.options) {
        Game.WriteSave("options", c.options);
    }
    ASSERT_NO_THROW(Game.Start());
    EXPECT_EQ(Game.TickView().GameScreen, gsMainMenu);
    ExpectDefaultTable();
    Game.Tick(5);
    Game.Stop();
    EXPECT_EQ(Game.ReadSave("hs"), DefaultTableFile()) << "a sound table is written at the end";
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFilesTest,
    ::testing::Values(DamagedCase{"TableCutShort", "KEEPME\r\n5000\r\n0\r\n", nullptr},
                      DamagedCase{"TableWithText", "KEEPME\r\nmany\r\n0\r\n0\r\n", nullptr},
                      DamagedCase{"TableEmpty", "", nullptr},
                      DamagedCase{"TableBinary", "\x01\x02\xFF\xFE\r\n\x80\n\n\n", nullptr},
                      DamagedCase{"OptionsCutShort", nullptr, "1\r\n"},
                      DamagedCase{"OptionsWithText", nullptr, "yes\r\nno\r\n1\r\nx\r\n"},
                      DamagedCase{"OptionsEmpty", nullptr, ""},
                      // No check line left: nothing vouches for the blank table.
                      DamagedCase{"BothEmpty", "", ""},
                      DamagedCase{"BothCutShort", "\r\n", "0\r\n1\r\n1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveGameTest, OptionsCutShortReadAsOffAndEmpty) {
    Game.WriteSave("options", "1\r\n");
    Game.Start();
    EXPECT_TRUE(Game.Shell().GameOptions.FullScreen);
    EXPECT_FALSE(Game.Shell().GameOptions.MusicOn);
    EXPECT_FALSE(Game.Shell().GameOptions.SoundOn);
    EXPECT_EQ(Game.Shell().GameOptions.AddInfo, "");
}

TEST_F(SaveGameTest, UnwritableSaveFolderDoesNotTakeTheGameDown) {
    Game.Start();
    fs::remove_all(Game.Dir() / "Data" / "Save");
    std::ofstream(Game.Dir() / "Data" / "Save") << ""; // a plain file where the folder should be
    ASSERT_TRUE(fs::is_regular_file(Game.Dir() / "Data" / "Save"));
    EXPECT_NO_THROW(Game.Stop());
}
} // namespace
