#include "replay/Replay.h"
#include "replay/ReplayFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

TReplay SampleReplay() {
    TReplay r;
    r.GameVersion = "0.1";
    r.DataHash = 0x0123456789ABCDEFULL;
    r.Boat = 2;
    r.Seed = 0xDEADBEEF;
    r.EdgesBefore = 0x5;
    r.Claim = TRaceResult{1234, 3, 0, 0, TRaceEnd::GameOver};
    r.Name = "Zo\xe9";
    r.Crew = "_______";
    r.PictureChecksum = 0xCAFEF00D;
    for (int i = 0; i < 100; ++i)
        r.AddTick(riUp, 1);
    r.AddTick(riUp | riLeft, 1);
    r.AddTick(riUp | riLeft, 3);
    r.AddEvent(TReplayEventKind::Minimize, 0);
    for (int i = 0; i < 50; ++i)
        r.AddTick(riFire | riNoFrame, 1);
    r.AddEvent(TReplayEventKind::Click, 1);
    r.Claim->Ticks = r.TickCount();
    return r;
}

// A well-formed replay whose checksum is made to fit after the bytes were changed.
std::string Reseal(std::string bytes) {
    bytes.resize(bytes.size() - 4);
    const uint32_t crc = Crc32(bytes);
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(crc >> (8 * i));
    return bytes;
}

std::string DecodeError(const std::string& bytes) {
    try {
        TReplay::Decode(bytes);
    } catch (const EReplayError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(ReplayFormat, WhatIsWrittenReadsBackTheSame) {
    const TReplay r = SampleReplay();
    const TReplay back = TReplay::Decode(r.Encode());
    EXPECT_EQ(back.GameVersion, r.GameVersion);
    EXPECT_EQ(back.DataHash, r.DataHash);
    EXPECT_EQ(back.Boat, r.Boat);
    EXPECT_EQ(back.Seed, r.Seed);
    EXPECT_EQ(back.EdgesBefore, r.EdgesBefore);
    EXPECT_EQ(back.Claim, r.Claim);
    EXPECT_EQ(back.Name, r.Name);
    EXPECT_EQ(back.Crew, r.Crew);
    EXPECT_EQ(back.PictureChecksum, r.PictureChecksum);
    EXPECT_EQ(back.Runs, r.Runs);
    EXPECT_EQ(back.Events, r.Events);
    EXPECT_EQ(back.TickCount(), 152U);
}

TEST(ReplayFormat, HeldInputsAreOneRunAndTheCursorGivesThemBackTickByTick) {
    TReplay r = SampleReplay();
    ASSERT_EQ(r.Runs.size(), 4U);
    EXPECT_EQ(r.Runs[0], (TReplayRun{100, riUp, 1}));

    TReplayCursor cursor(r);
    std::vector<uint32_t> eventTicks;
    uint32_t ticks = 0;
    uint32_t lagSum = 0;
    while (!cursor.AtEnd()) {
        cursor.TakeEvents([&](const TReplayEvent& e) { eventTicks.push_back(e.BeforeTick); });
        lagSum += cursor.Current().LagCount;
        cursor.Advance();
        ++ticks;
    }
    cursor.TakeEvents([&](const TReplayEvent& e) { eventTicks.push_back(e.BeforeTick); });
    EXPECT_EQ(ticks, 152U);
    EXPECT_EQ(lagSum, 151U + 3U);
    EXPECT_EQ(eventTicks, (std::vector<uint32_t>{102, 152}));
}

TEST(ReplayFormat, TenMinutesOfBusyPlayFitEightKilobytes) {
    // A key change every 20 ticks (three a second) for 40000 ticks.
    TReplay r;
    const uint16_t patterns[] = {riUp, riUp | riLeft, riUp, riUp | riRight, riUp | riFire, 0};
    for (uint32_t t = 0; t < 40000; ++t)
        r.AddTick(patterns[(t / 20) % 6], 1);
    EXPECT_LE(r.Encode().size(), 8192U);
}

// Every way a file can be wrong ends in an error naming it, never in a crash or a long run.
TEST(ReplayFormat, DamagedFilesAreToldApart) {
    const std::string good = SampleReplay().Encode();
    struct TCase {
        const char* What;
        std::string Bytes;
        const char* Expected;
    };
    std::string wrongVersion = good;
    wrongVersion[4] = 9;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x40;
    std::string billions = good.substr(0, 4);
    billions += '\x01';
    billions += std::string("\x00", 1);                                      // no game version
    billions += std::string(8, '\0') + '\x01' + std::string(4, '\0') + '\0'; // hash, boat, seed, edges
    billions += '\0';                                                        // no claim
    billions += "\xff\xff\xff\xff\x0f";                                      // 4294967295 ticks
    std::string lyingRuns = good.substr(0, good.size() - 4);
    std::vector<TCase> cases = {
        {"empty", "", "not a replay"},
        {"other file", "PNG\x89 and so on", "not a replay"},
        {"wrong format version", Reseal(wrongVersion), "wrong format version 9"},
        {"one byte changed", flipped, ""},
        {"trailing bytes", Reseal(good + "xxxx"), "trailing bytes"},
        {"oversized", std::string(TReplay::kMaxFileBytes + 1, 'S'), "oversized"},
        {"a tick count of billions", Reseal(billions + "0000"), "tick count 4294967295 is out of range"},
        {"overlong number", Reseal(good.substr(0, 5) + "\xff\xff\xff\xff\xff\xff\x01" + "0000"),
         "longer than"},
    };
    for (size_t cut = 0; cut + 1 < good.size(); cut += 3)
        cases.push_back({"truncated", good.substr(0, cut), ""});
    for (const TCase& c : cases) {
        const std::string error = DecodeError(c.Bytes);
        EXPECT_FALSE(error.empty()) << c.What << " was read as a replay";
        EXPECT_NE(error.find(c.Expected), std::string::npos) << c.What << ": " << error;
    }
    EXPECT_NE(DecodeError(flipped).find("bad checksum"), std::string::npos) << DecodeError(flipped);
    EXPECT_NE(DecodeError(good.substr(0, good.size() - 2)).find("truncated"), std::string::npos);
}

TEST(ReplayFormat, CountsThatDoNotAddUpAreRefused) {
    TReplay r;
    r.AddTick(riUp, 1);
    r.AddTick(riDown, 1);
    const std::string bytes = r.Encode();
    // The header's tick count (right after the flags) says 3 where the runs hold 2.
    std::string lying = bytes;
    const size_t ticksAt = 4 + 1 + 1 + 8 + 1 + 4 + 1 + 1;
    ASSERT_EQ(lying[ticksAt], '\x02');
    lying[ticksAt] = '\x03';
    EXPECT_NE(DecodeError(Reseal(lying)).find("the input runs hold 2 ticks, the header gives 3"),
              std::string::npos)
        << DecodeError(Reseal(lying));
    lying[ticksAt] = '\x01';
    EXPECT_NE(DecodeError(Reseal(lying)).find("more ticks than"), std::string::npos);
}

TEST(ReplayFiles, TableEntriesHaveFilesOfTheirOwnAndPruningKeepsOnlyThose) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() /
        ("replay-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    EXPECT_EQ(TableReplayName("Zo\xe9", 1234), "1234-5a6fe9.sdreplay");
    EXPECT_NE(TableReplayName("A", 5), TableReplayName("A", 50));

    const std::string bytes = SampleReplay().Encode();
    for (const char* name : {"1234-5a6fe9.sdreplay", "500-41.sdreplay", "last.sdreplay"})
        WriteReplayFile((dir / name).string(), bytes);
    std::ofstream(dir / "500-41.sdreplay.tmp") << "left by a killed run";
    std::ofstream(dir / "notes.txt") << "the player's own";
    PruneTableReplays(dir.string(), {"1234-5a6fe9.sdreplay"});
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"1234-5a6fe9.sdreplay", "last.sdreplay", "notes.txt"}));
    EXPECT_EQ(ReadReplayFile((dir / "last.sdreplay").string()), bytes);

    EXPECT_THROW(ReadReplayFile((dir / "missing.sdreplay").string()), EReplayError);
    std::ofstream(dir / "big.sdreplay") << std::string(TReplay::kMaxFileBytes + 10, 'x');
    try {
        ReadReplayFile((dir / "big.sdreplay").string());
        ADD_FAILURE() << "an oversized file was read";
    } catch (const EReplayError& e) {
        EXPECT_NE(std::string(e.what()).find("oversized"), std::string::npos);
    }
    fs::remove_all(dir);
}
