// Reading and writing the save files at the level of the file system: line ends, what a damaged
// file with endless lines costs in memory, and the order in which a save reaches the disk.
//
// This program watches its own allocations and its fsync and rename calls, so it holds only
// these tests.
#include "app/GameFixture.h"
#include "menus/AllocationWatch.h"
#include "menus/HighScores.h"
#include "menus/OptionsFile.h"
#include "menus/SaveFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
// What reached the disk, in order: "fsync file", "fsync folder <inode>", "rename".
std::mutex g_diskMutex;
std::vector<std::string> g_diskCalls;

void NoteDiskCall(std::string call) {
    std::lock_guard<std::mutex> lock(g_diskMutex);
    g_diskCalls.push_back(std::move(call));
}
} // namespace

// In front of the C library's: the save code's calls land here first.
extern "C" int fsync(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        NoteDiskCall(S_ISDIR(st.st_mode) ? "fsync folder " + std::to_string(st.st_ino) : "fsync file");
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

extern "C" int rename(const char* from, const char* to) {
    NoteDiskCall("rename");
    return static_cast<int>(::syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

namespace {
class SaveIoTest : public ::testing::Test {
  protected:
    TGameFixture Dir;
    std::string Path(const char* name) { return Dir.SavePath(name).string(); }
};

// ---- Lines --------------------------------------------------------------------------------

struct LineCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class LineEndTest : public SaveIoTest, public ::testing::WithParamInterface<LineCase> {};

// Every buffer size from one byte up puts each line end on a buffer boundary at least once, the
// CR of a CR LF among them.
TEST_P(LineEndTest, CrLfAndCrAloneAndLfAloneEndALine) {
    const LineCase& c = GetParam();
    Dir.WriteSave("f", c.bytes);
    for (size_t buffer : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, TSaveFileReader::kBufferSize}) {
        TSaveFileReader reader(Path("f"), buffer);
        std::vector<std::string> lines;
        std::string line;
        while (reader.ReadLine(line, 100)) {
            lines.push_back(line);
        }
        EXPECT_FALSE(reader.Failed());
        EXPECT_EQ(lines, c.lines) << "buffer of " << buffer;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, LineEndTest,
                         ::testing::Values(LineCase{"CrLf", "one\r\ntwo\r\n", {"one", "two"}},
                                           LineCase{"Lf", "one\ntwo\n", {"one", "two"}},
                                           LineCase{"Cr", "one\rtwo\r", {"one", "two"}},
                                           LineCase{"Mixed", "a\rb\r\nc\nd", {"a", "b", "c", "d"}},
                                           LineCase{"EmptyLinesOfEachKind", "\r\n\r\r\n\n", {"", "", "", ""}},
                                           LineCase{"LfThenCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                                           LineCase{"LastLineUnended", "a\r\nb", {"a", "b"}},
                                           LineCase{"Empty", "", {}},
                                           LineCase{"HighBytes", "\xE9\xFF\r\n", {"\xE9\xFF"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveIoTest, OnlyTheBytesAskedForAreKeptAndTheRestOfTheLineIsSkipped) {
    Dir.WriteSave("f", "abcdefgh\rxy\r\n" + std::string(10000, 'z') + "\nlast");
    TSaveFileReader reader(Path("f"), 3);
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line, 4));
    EXPECT_EQ(line, "abcd");
    ASSERT_TRUE(reader.ReadLine(line, 4));
    EXPECT_EQ(line, "xy");
    ASSERT_TRUE(reader.ReadLine(line, 0));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(reader.ReadLine(line, 4));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(reader.ReadLine(line, 4));
}

// ---- Files that are there but cannot be read ----------------------------------------------

struct OpenCase {
    const char* name;
    void (*make)(const fs::path& path);
    bool missing;
    bool failed;
};

class OpenTest : public SaveIoTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenTest, MissingIsToldFromUnreadable) {
    const OpenCase& c = GetParam();
    const fs::path path = Dir.SavePath("hs");
    c.make(path);
    TSaveFileReader reader(path.string());
    EXPECT_EQ(reader.Missing(), c.missing);
    EXPECT_EQ(reader.Failed(), c.failed);
    EXPECT_EQ(SaveFileExists(path.string()), !c.missing);
    if (c.failed) {
        EXPECT_NE(reader.Error().find(path.string()), std::string::npos) << reader.Error();
        std::string line;
        EXPECT_FALSE(reader.ReadLine(line, 10));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenTest,
    ::testing::Values(
        OpenCase{"Missing", [](const fs::path&) {}, true, false},
        OpenCase{"DanglingLink", [](const fs::path& p) { fs::create_symlink("gone", p); }, true, false},
        OpenCase{"FolderAboveIsAFile",
                 [](const fs::path& p) {
                     fs::remove_all(p.parent_path());
                     std::ofstream(p.parent_path()) << "";
                 },
                 true, false},
        OpenCase{"Folder", [](const fs::path& p) { fs::create_directory(p); }, false, true},
        OpenCase{"LinkToItself", [](const fs::path& p) { fs::create_symlink(p.filename(), p); }, false, true},
        OpenCase{"Pipe", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); }, false, true},
        OpenCase{"File", [](const fs::path& p) { std::ofstream(p) << "x"; }, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Endless lines ------------------------------------------------------------------------

constexpr size_t kHugeLine = 4 << 20;
// Far above the reader's buffer and what a line may keep, far below a copy of a huge line.
constexpr size_t kAllocationBound = 64 << 10;

std::string ValidTableLines(const std::string& firstName) {
    std::string s = firstName + "\r\n9000\r\n0\r\n0\r\n";
    for (int i = 2; i <= 10; ++i) {
        s += "N\r\n" + std::to_string(1000 - i) + "\r\n0\r\n0\r\n";
    }
    return s;
}

struct HugeCase {
    const char* name;
    const char* file; // "hs" or "options"
    std::string bytes;
};

class HugeLineTest : public SaveIoTest, public ::testing::WithParamInterface<HugeCase> {};

// A damaged file with a line of megabytes, or megabytes of lines, is read through the reader's
// buffer: nothing the size of the file is ever allocated, and what is kept is what the game could
// have written itself.
TEST_P(HugeLineTest, ReadingCostsNoMemoryInProportionToTheLine) {
    const HugeCase& c = GetParam();
    Dir.WriteSave(c.file, c.bytes);
    THighScoreTable table;
    TGameOptions options;
    std::optional<std::string> check;
    {
        TAllocationWatch watch;
        if (std::string(c.file) == "hs") {
            table.LoadHighScores(Path(c.file));
        } else {
            LoadOptions(Path(c.file), options, check);
        }
        EXPECT_LT(watch.Largest(), kAllocationBound);
    }
    for (int i = 1; i <= 10; ++i) {
        EXPECT_LE(table.Entry(i).EntryName.size(), THighScoreTable::kFileNameMax) << i;
    }
    EXPECT_LE(options.AddInfo.size(), kTextLineMax);
    EXPECT_LE(check.value_or("").size(), THighScoreTable::kFileNameMax);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HugeLineTest,
    ::testing::Values(
        HugeCase{"Name", "hs", ValidTableLines(std::string(kHugeLine, 'A'))},
        HugeCase{"Score", "hs", "A\r\n" + std::string(kHugeLine, '7') + "\r\n"},
        HugeCase{"BlanksBeforeAScore", "hs", "A\r\n" + std::string(kHugeLine, ' ') + "7\r\n"},
        HugeCase{"LinesAfterTheTable", "hs", ValidTableLines("A") + std::string(kHugeLine, '\n')},
        HugeCase{"Text", "options", "0\r\n1\r\n1\r\n" + std::string(kHugeLine, 'x') + "\r\nC\r\n"},
        HugeCase{"Check", "options", "0\r\n1\r\n1\r\nx\r\n" + std::string(kHugeLine, 'C')},
        HugeCase{"Switch", "options", std::string(kHugeLine, '1') + "\r\n"},
        HugeCase{"LinesAfterTheCheck", "options",
                 "0\r\n1\r\n1\r\nx\r\nC\r\n" + std::string(kHugeLine, '\r')}),
    [](const auto& info) { return std::string(info.param.name); });

// Lines longer than the name entry or the options screen take, written by hand, are kept whole
// and written back whole; only a line past the bound of kilobytes is cut.
TEST_F(SaveIoTest, OrdinaryLongLinesAreKeptWholeAndEndlessOnesCutAtTheBound) {
    const std::string twelve = "ABCDEFGHIJKL";
    const std::string twenty = "abcdefghijklmnopqrst";
    Dir.WriteSave("hs", ValidTableLines(twelve));
    Dir.WriteSave("options", "0\r\n1\r\n1\r\n" + twenty + "\r\nCHECK\r\n");
    THighScoreTable table;
    table.LoadHighScores(Path("hs"));
    EXPECT_EQ(table.Entry(1).EntryName, twelve);
    TGameOptions options;
    std::optional<std::string> check;
    LoadOptions(Path("options"), options, check);
    EXPECT_EQ(options.AddInfo, twenty);
    table.SaveHighScores(Path("hs"));
    SaveOptions(Path("options"), options, *check);
    EXPECT_EQ(Dir.ReadSave("hs"), ValidTableLines(twelve));
    EXPECT_EQ(Dir.ReadSave("options"), "0\r\n1\r\n1\r\n" + twenty + "\r\nCHECK\r\n");

    const std::string atBound(kTextLineMax, 'K');
    Dir.WriteSave("hs", ValidTableLines(atBound + std::string(kHugeLine, 'K')));
    Dir.WriteSave("options", "0\r\n1\r\n1\r\n" + atBound + std::string(kHugeLine, 'k') + "\r\nCHECK\r\n");
    table.LoadHighScores(Path("hs"));
    EXPECT_EQ(table.Entry(1).EntryName, atBound);
    EXPECT_EQ(table.Entry(1).EntryScore, 9000) << "the next line is the score";
    EXPECT_EQ(table.Entry(2).EntryName, "N");
    LoadOptions(Path("options"), options, check);
    EXPECT_EQ(options.AddInfo, atBound);
    EXPECT_EQ(check, "CHECK") << "the next line is the check";
}

// A table whose names run past the bound still matches its check: both are cut at the same place.
TEST_F(SaveIoTest, ATableWithNamesPastTheBoundStillMatchesItsCheck) {
    THighScoreTable written;
    written.Entry(1).EntryName = std::string(kTextLineMax + 100, 'Q');
    written.SaveHighScores(Path("hs"));
    SaveOptions(Path("options"), TGameOptions{}, written.ComputeTableCheck());
    THighScoreTable read;
    TGameOptions options;
    read.LoadHighScores(Path("hs"));
    LoadOptions(Path("options"), options, read.TableCheck);
    EXPECT_TRUE(read.TableCheckMatches());
}

// ---- Writing ------------------------------------------------------------------------------

// The new file's data is on the disk before it takes the old one's name, and the folder, which
// holds the name, is synced after the rename: a power cut at any point leaves the old file or
// the whole new one.
TEST_F(SaveIoTest, TheFileIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
    Dir.WriteSave("hs", "old");
    {
        std::lock_guard<std::mutex> lock(g_diskMutex);
        g_diskCalls.clear();
    }
    THighScoreTable().SaveHighScores(Path("hs"));
    struct stat folder {};
    ASSERT_EQ(::stat(Dir.SavePath("").c_str(), &folder), 0);
    std::lock_guard<std::mutex> lock(g_diskMutex);
    EXPECT_EQ(g_diskCalls, (std::vector<std::string>{"fsync file", "rename",
                                                     "fsync folder " + std::to_string(folder.st_ino)}));
    EXPECT_NE(Dir.ReadSave("hs"), "old");
}

TEST_F(SaveIoTest, AStaleTemporaryFileIsRemovedButNothingElseOfItsName) {
    Dir.WriteSave("hs.tmp", "half a table");
    fs::create_directory(Dir.SavePath("options.tmp"));
    RemoveStaleTemporary(Path("hs"));
    RemoveStaleTemporary(Path("options"));
    EXPECT_FALSE(fs::exists(Dir.SavePath("hs.tmp")));
    EXPECT_TRUE(fs::is_directory(Dir.SavePath("options.tmp")));
}
} // namespace
