// Races played on the real game under Xvfb with scripted keys (tests/replay/record_fixtures.py),
// re-run from their replays: each must come to the result it recorded, the same with and without
// pictures, with the last picture named in fixtures/expected.txt (tests/replay/update_expected.py
// writes it again when the race's looks change).
#include "replay/ReplayGame.h"

#include "race/PlayerBoat.h"
#include "race/Race.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using replay_test::Options;
using replay_test::ReadAll;

struct TExpected {
    std::string Name;
    TRaceResult Result;
    std::string Picture;
};

std::vector<TExpected> ExpectedResults() {
    std::vector<TExpected> all;
    std::ifstream in(fs::path(SPRAYDASH_REPLAY_FIXTURES) / "expected.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        TExpected e;
        std::string end;
        fields >> e.Name >> e.Result.Score >> e.Result.Level >> e.Result.Lives >> e.Result.Ticks >> end >>
            e.Picture;
        e.Result.End = end == "game-over" ? TRaceEnd::GameOver : TRaceEnd::Finished;
        all.push_back(e);
    }
    return all;
}

std::string Fixture(const std::string& name) {
    return ReadAll(fs::path(SPRAYDASH_REPLAY_FIXTURES) / (name + ".sdreplay"));
}

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

class ReplayFixtures : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TGameFixture::DataAvailable())
            GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
    }
};
} // namespace

TEST_F(ReplayFixtures, EachRaceComesOutAsPlayed) {
    const std::vector<TExpected> expected = ExpectedResults();
    ASSERT_GE(expected.size(), 3U);
    bool gameOver = false;
    int jumps = 0;
    int shots = 0;
    for (const TExpected& e : expected) {
        SCOPED_TRACE(e.Name);
        const std::string bytes = Fixture(e.Name);
        ASSERT_FALSE(bytes.empty());
        TReplayCheckOptions options = Options(false);
        bool jumping = false;
        options.AfterTick = [&](const TRace& race) {
            const TMyCarSprite& boat = *race.PlayerBoat;
            jumps += boat.Jumping && !jumping;
            jumping = boat.Jumping;
            shots += boat.HasGun && boat.Firing;
        };
        const TReplayVerdict plain = VerifyReplay(bytes, options);
        EXPECT_TRUE(plain.Matches) << plain.Mismatch;
        ASSERT_TRUE(plain.Reproduced);
        EXPECT_EQ(*plain.Reproduced, e.Result);
        EXPECT_EQ(plain.Replay.Claim, e.Result);

        const TReplayVerdict drawn = VerifyReplay(bytes, Options(true));
        ASSERT_TRUE(drawn.Reproduced);
        EXPECT_EQ(*drawn.Reproduced, e.Result) << "drawing the frames changed the race";
        ASSERT_TRUE(drawn.PictureChecksum);
        EXPECT_EQ(Hex8(*drawn.PictureChecksum), e.Picture);
        gameOver = gameOver || e.Result.End == TRaceEnd::GameOver;
    }
    EXPECT_TRUE(gameOver) << "no fixture ends in game over";
    EXPECT_GT(jumps, 0) << "no fixture jumps from a ramp";
    EXPECT_GT(shots, 0) << "no fixture fires the gun (ticks with the gun on board and fire held)";
}

TEST_F(ReplayFixtures, AChangedInputOrClaimDoesNotMatch) {
    const std::string bytes = Fixture(ExpectedResults().front().Name);
    const TReplay original = TReplay::Decode(bytes);

    // One input changed, as someone editing the file would (the checksum made to fit).
    TReplay edited = original;
    ASSERT_GT(edited.Runs.size(), 4U);
    TReplayRun& run = edited.Runs[edited.Runs.size() / 2];
    run.Inputs ^= riLeft | riUp;
    const TReplayVerdict inputChanged = VerifyReplay(edited.Encode(), Options(false));
    EXPECT_FALSE(inputChanged.Matches);

    TReplay claimed = original;
    claimed.Claim->Score += 10;
    const TReplayVerdict scoreChanged = VerifyReplay(claimed.Encode(), Options(false));
    EXPECT_FALSE(scoreChanged.Matches);
    EXPECT_NE(scoreChanged.Mismatch.find("claimed " + std::to_string(original.Claim->Score + 10)),
              std::string::npos)
        << scoreChanged.Mismatch;
    EXPECT_NE(VerdictJson(scoreChanged).find("\"match\":false"), std::string::npos);

    // A race the replay runs out on: the result is what the ticks came to, unmatched.
    TReplay cut = original;
    cut.Runs.resize(cut.Runs.size() / 2);
    TReplay recounted = cut;
    recounted.ClearTicks();
    for (const TReplayRun& r : cut.Runs)
        for (uint32_t i = 0; i < r.Count; ++i)
            recounted.AddTick(r.Inputs, r.LagCount);
    const TReplayVerdict shortened = VerifyReplay(recounted.Encode(), Options(false));
    EXPECT_FALSE(shortened.Matches);
    EXPECT_FALSE(shortened.Reproduced);
}

TEST_F(ReplayFixtures, ReplaysOfOtherGameDataOrDamagedOnesAreNotRun) {
    const std::string bytes = Fixture(ExpectedResults().front().Name);
    TReplay other = TReplay::Decode(bytes);
    other.DataHash ^= 1;
    try {
        VerifyReplay(other.Encode(), Options(false));
        ADD_FAILURE() << "a replay of other game data was run";
    } catch (const EReplayError& e) {
        EXPECT_NE(std::string(e.what()).find("other game data"), std::string::npos) << e.what();
    }
    std::string flipped = bytes;
    flipped[flipped.size() / 2] ^= 0x10;
    EXPECT_THROW(VerifyReplay(flipped, Options(false)), EReplayError);
}
