// Uploaded replays over real sockets: every answer the game may get, what re-running them does
// to the entries, and what the page and the API then show.

#include "replay/Replay.h"
#include "HttpTestClient.h"
#include "TestDatabase.h"
#include "app/ReplayVerify.h"
#include "menus/ScoreSubmission.h"
#include "replay/ReplayFiles.h"
#include "server/service/ReplayUpload.h"
#include "server/ServerApp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

constexpr const char* kUploads = "/api/v1/replays";
constexpr const char* kFixtures = SPRAYDASH_SOURCE_DIR "/tests/replay/fixtures/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fixture as the game would upload it: with the name typed at the end of the race.
TReplay Fixture(const std::string& name, const std::string& player = "ACE") {
    TReplay replay = TReplay::Decode(ReadFile(std::string(kFixtures) + name + ".sdreplay"));
    replay.Name = player;
    return replay;
}

// boat1_game_over: 20 points, 2547 ticks.
TReplay GameOver(const std::string& player = "ACE") {
    return Fixture("boat1_game_over", player);
}

TTestConnection::TReply Post(unsigned short port, const std::string& target, const std::string& body,
                             const char* from = nullptr) {
    TTestConnection c(port, from);
    c.Send("POST " + std::string(target) +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    return c.Read();
}

std::string Field(const std::string& json, const std::string& name) {
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"" + name + "\":(\"([^\"]*)\"|null|true|false|[0-9-]+)")))
        return m[2].matched ? m[2].str() : m[1].str();
    return "(missing)";
}

class TReplayTest : public ::testing::TestWithParam<TStoreKind> {
  protected:
    void Start(const std::function<void(TServerConfig&)>& adjust = {}) {
        m_app.reset();
        if (!m_db)
            m_db = std::make_unique<TTestDatabase>(GetParam());
        TServerConfig config;
        config.Db = m_db->Target();
        config.Http.Port = 0;
        config.Http.Threads = 2;
        config.Service.RateLimitPerMinute = 0;
        config.Uploads.PerMinute = 0;
        config.SpoolLimit = 0;
        if (adjust)
            adjust(config);
        m_app = std::make_unique<TScoreServerApp>(std::move(config));
        m_app->Start();
    }
    unsigned short Port() const { return m_app->Port(); }
    TTestConnection::TReply Upload(const std::string& bytes, const char* from = nullptr) {
        return Post(Port(), kUploads, bytes, from);
    }
    // Uploads and waits until the replay has been re-run; its status then.
    TTestConnection::TReply UploadAndWait(const std::string& bytes, const char* from = nullptr) {
        TTestConnection::TReply first = Upload(bytes, from);
        EXPECT_EQ(first.Status, 202) << first.Body;
        m_app->Verifier()->WaitIdle();
        return Upload(bytes, from);
    }
    void SendScore(const std::string& name, std::int32_t score, const char* from = nullptr) {
        TTestConnection c(Port(), from);
        c.Send("GET " + BuildScoreRequestUrl("", name, score, "_______") +
               " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        ASSERT_EQ(c.Read().Status, 200);
    }
    std::string Scores(const std::string& query = "") {
        TTestConnection::TReply r = HttpRequest(Port(), "/api/v1/scores" + query);
        EXPECT_EQ(r.Status, 200) << r.Body;
        return r.Body;
    }

    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<TScoreServerApp> m_app;
};

TEST_P(TReplayTest, EveryBadUploadGetsItsOwnAnswerAndNothingIsStoredWrongly) {
    Start([](TServerConfig& c) { c.Verify.MaxTicks = 3000; });
    const std::string good = GameOver().Encode();
    TReplay noClaim = GameOver();
    noClaim.Claim.reset();
    TReplay noName = GameOver();
    noName.Name.reset();
    TReplay badName = GameOver("A|very|long|name");
    TReplay otherVersion = GameOver();
    otherVersion.GameVersion = "0.0-old";
    TReplay otherData = GameOver();
    otherData.DataHash ^= 1;
    TReplay tooLong = Fixture("boat2_three_levels"); // 9277 ticks, over this server's cap

    struct TCase {
        const char* What;
        std::string Bytes;
        int Status;
        const char* Reason; // a part of it
    } cases[] = {
        {"not a replay", "GET / HTTP/1.1 and other junk", 400, "not a replay"},
        {"empty", "", 400, "not a replay"},
        {"truncated", good.substr(0, good.size() / 2), 400, "not a replay"},
        {"one byte flipped", good.substr(0, 20) + char(good[20] ^ 0x40) + good.substr(21), 400,
         "not a replay"},
        {"oversized", std::string(300 * 1024, 'x'), 413, ""},
        {"claims no result", noClaim.Encode(), 422, "claims no result"},
        {"names no player", noName.Encode(), 422, "names no player"},
        {"a name the game would not send", badName.Encode(), 422, "cannot be listed"},
        {"never ends (past the tick cap)", tooLong.Encode(), 422, "more than the 3000"},
        {"another race version", otherVersion.Encode(), 409, "this server verifies version"},
        {"other game data", otherData.Encode(), 409, "this server verifies version"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TTestConnection::TReply r = Upload(c.Bytes);
        EXPECT_EQ(r.Status, c.Status) << r.Body;
        if (*c.Reason) {
            EXPECT_NE(Field(r.Body, "reason").find(c.Reason), std::string::npos) << r.Body;
        }
        if (c.Status != 413) {
            EXPECT_EQ(Field(r.Body, "id"), ReplayUploadId(c.Bytes));
        }
    }
    // Only the other versions are kept, for a server that verifies them; nothing became an entry.
    auto& replays = dynamic_cast<IReplayStore&>(m_app->Store());
    std::vector<TReplayRecord> kept = replays.ListReplays(std::nullopt, 0);
    ASSERT_EQ(kept.size(), 2u);
    for (const TReplayRecord& r : kept)
        EXPECT_EQ(r.Status, TReplayStatus::OtherVersion);
    EXPECT_EQ(Upload(otherVersion.Encode()).Status, 409) << "sent again: the same answer";
    EXPECT_EQ(m_app->Store().CountShown(0), 0);
}

TEST_P(TReplayTest, WrongMethodsAndUnknownIdsAreRefused) {
    Start();
    struct TCase {
        const char* Method;
        std::string Target;
        int Status;
        const char* Allow;
    } cases[] = {
        {"GET", kUploads, 405, "POST"},
        {"PUT", kUploads, 405, "POST"},
        {"POST", "/api/v1/version", 405, "GET, HEAD"},
        {"GET", "/api/v1/replays/0123456789012345678901234567890123456789", 404, ""},
        {"GET", "/api/v1/replays/../../etc/passwd", 404, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Method) + " " + c.Target);
        TTestConnection::TReply r = HttpRequest(Port(), c.Target, c.Method);
        EXPECT_EQ(r.Status, c.Status);
        if (*c.Allow) {
            EXPECT_EQ(r.Headers["allow"], c.Allow);
        }
    }
    // A body is read for an upload only.
    TTestConnection::TReply r = Post(Port(), "/api/v1/scores", "x");
    EXPECT_EQ(r.Status, 405);
    // Chunked bodies are not taken: the game sends a length.
    TTestConnection c(Port());
    c.Send("POST /api/v1/replays HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: "
           "chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n");
    EXPECT_EQ(c.Read().Status, 411);
}

TEST_P(TReplayTest, AReplayVerifiesTheEntryItsScoreRequestMade) {
    Start();
    SendScore("ACE", 20);
    SendScore("BOB", 500); // a forged request: no replay ever comes
    const std::string bytes = GameOver().Encode();
    TTestConnection::TReply first = Upload(bytes);
    ASSERT_EQ(first.Status, 202) << first.Body;
    EXPECT_EQ(Field(first.Body, "status"), "queued");
    m_app->Verifier()->WaitIdle();
    TTestConnection::TReply again = Upload(bytes);
    EXPECT_EQ(again.Status, 200);
    EXPECT_EQ(Field(again.Body, "status"), "verified");

    const std::string all = Scores();
    EXPECT_EQ(Field(all, "total"), "2") << "the entry is verified, not added again";
    EXPECT_NE(all.find("\"name\":\"ACE\",\"score\":20"), std::string::npos);
    const std::string replayLink = "/api/v1/replays/" + ReplayUploadId(bytes);
    EXPECT_NE(all.find("\"verified\":true,\"verification\":\"verified\",\"replay\":\"" + replayLink + "\""),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("\"verified\":false,\"verification\":\"none\",\"replay\":null"), std::string::npos);

    const std::string verified = Scores("?verified=true");
    EXPECT_EQ(Field(verified, "total"), "1");
    EXPECT_EQ(verified.find("BOB"), std::string::npos);

    // The link gives back the very bytes, named for the game to open.
    TTestConnection::TReply file = HttpRequest(Port(), replayLink);
    EXPECT_EQ(file.Status, 200);
    EXPECT_EQ(file.Body, bytes);
    EXPECT_EQ(file.Headers["content-type"], "application/octet-stream");
    EXPECT_EQ(file.Headers["content-disposition"], "attachment; filename=\"spraydash-" +
                                                       ReplayUploadId(bytes).substr(0, 12) +
                                                       kReplayExtension + "\"");

    // The page marks it (with words for screen readers) and links the replay; the view of
    // verified entries leaves the forged one out.
    TTestConnection::TReply page = HttpRequest(Port(), "/cgi/version.pl?prg=Spraydash&show&type=0");
    EXPECT_NE(page.Body.find("href=\"../api/v1/replays/" + ReplayUploadId(bytes) + "\""), std::string::npos);
    EXPECT_NE(page.Body.find("verified; download the replay"), std::string::npos);
    EXPECT_NE(page.Body.find("Verified only"), std::string::npos);
    TTestConnection::TReply verifiedPage =
        HttpRequest(Port(), "/cgi/version.pl?prg=Spraydash&show&type=0&verified=1");
    EXPECT_NE(verifiedPage.Body.find("ACE"), std::string::npos);
    EXPECT_EQ(verifiedPage.Body.find("BOB"), std::string::npos);
}

TEST_P(TReplayTest, AClientThatAsksBeforeSendingTheBodyIsToldToGoOn) {
    Start();
    const std::string bytes = GameOver().Encode();
    TTestConnection c(Port());
    c.Send("POST /api/v1/replays HTTP/1.1\r\nHost: 127.0.0.1\r\nExpect: 100-continue\r\nContent-Length: " +
           std::to_string(bytes.size()) + "\r\n\r\n");
    EXPECT_EQ(c.Read().Status, 100);
    c.Send(bytes);
    EXPECT_EQ(c.Read().Status, 202);
}

TEST_P(TReplayTest, AReplayWithoutItsScoreRequestMakesTheEntry) {
    Start();
    EXPECT_EQ(Field(UploadAndWait(GameOver().Encode()).Body, "status"), "verified");
    const std::string all = Scores();
    EXPECT_EQ(Field(all, "total"), "1");
    EXPECT_EQ(Field(all, "verified"), "true");
    // The game's own request for the result, coming after all, is a resend.
    SendScore("ACE", 20);
    EXPECT_EQ(Field(Scores(), "total"), "1");
}

TEST_P(TReplayTest, AReplayThatDoesNotReproduceFailsWithItsReason) {
    Start();
    TReplay otherScore = GameOver();
    otherScore.Claim->Score = 999;
    TReplay otherInput = GameOver("BOB");
    otherInput.Runs[otherInput.Runs.size() / 2].Inputs ^= riLeft;
    SendScore("ACE", 999);

    for (const TReplay* replay : {&otherScore, &otherInput}) {
        TTestConnection::TReply r = UploadAndWait(replay->Encode());
        EXPECT_EQ(Field(r.Body, "status"), "failed");
        EXPECT_NE(Field(r.Body, "reason"), "null");
    }
    auto& replays = dynamic_cast<IReplayStore&>(m_app->Store());
    std::optional<TReplayRecord> claimed = replays.FindReplay(ReplayUploadId(otherScore.Encode()));
    ASSERT_TRUE(claimed);
    EXPECT_EQ(claimed->Reason, "score 20, claimed 999");
    EXPECT_NE(claimed->EntryId, 0) << "the entry it claimed is marked";
    // The claimed entry stays listed, marked; nothing is verified; the changed race made no entry.
    const std::string all = Scores();
    EXPECT_EQ(Field(all, "total"), "1");
    EXPECT_EQ(Field(all, "verification"), "failed");
    EXPECT_EQ(Field(Scores("?verified=1"), "total"), "0");
}

TEST_P(TReplayTest, OneRaceVerifiesOneEntryWhateverNameItClaims) {
    Start();
    ASSERT_EQ(Field(UploadAndWait(GameOver("ACE").Encode()).Body, "status"), "verified");
    // Downloaded and sent again under another name, from elsewhere.
    TTestConnection::TReply copy = UploadAndWait(GameOver("CHEAT").Encode(), "127.0.0.2");
    EXPECT_EQ(Field(copy.Body, "status"), "copy");
    EXPECT_NE(Field(copy.Body, "reason").find("which verified entry"), std::string::npos) << copy.Body;
    EXPECT_EQ(Field(Scores(), "total"), "1");
    EXPECT_EQ(Scores().find("CHEAT"), std::string::npos);
}

TEST_P(TReplayTest, AnUploadNeverVerifiesAnotherSendersEntry) {
    Start();
    SendScore("ACE", 20, "127.0.0.2");
    ASSERT_EQ(Field(UploadAndWait(GameOver().Encode()).Body, "status"), "verified");
    // The other sender's entry is untouched; the uploader's race is an entry of its own.
    const std::string all = Scores();
    EXPECT_EQ(Field(all, "total"), "2");
    EXPECT_NE(all.find("\"verification\":\"none\""), std::string::npos);
    EXPECT_EQ(Field(Scores("?verified=1"), "total"), "1");
}

TEST_P(TReplayTest, FloodsAndAFullQueueAreToldWhenToComeBack) {
    Start([](TServerConfig& c) {
        c.Uploads.PerMinute = 2;
        c.Verify.Workers = 0; // nothing leaves the queue
        c.Verify.QueueCap = 1;
    });
    EXPECT_EQ(Upload(GameOver("A").Encode()).Status, 202);
    TTestConnection::TReply full = Upload(GameOver("B").Encode());
    EXPECT_EQ(full.Status, 503);
    EXPECT_FALSE(full.Headers["retry-after"].empty());
    TTestConnection::TReply flood = Upload(GameOver("C").Encode());
    EXPECT_EQ(flood.Status, 429);
    EXPECT_FALSE(flood.Headers["retry-after"].empty());
    EXPECT_EQ(Upload(GameOver("C").Encode(), "127.0.0.2").Status, 503)
        << "another address has its own allowance";

    // What was queued when the server stopped is re-run at its next start.
    Start();
    m_app->Verifier()->WaitIdle();
    EXPECT_EQ(Field(Scores("?verified=1"), "total"), "1");
}

TEST_P(TReplayTest, AReplayKeptForAnotherVersionIsVerifiedByAServerThatHasIt) {
    Start();
    // As a server of another race version keeps it: this server's version, unknown to that one.
    const std::string bytes = GameOver().Encode();
    const TReplay replay = TReplay::Decode(bytes);
    TReplayRecord kept;
    kept.Id = ReplayUploadId(bytes);
    kept.RaceKey = ReplayRaceKey(replay);
    kept.Client = "127.0.0.1";
    kept.Received = 1772638220;
    kept.Name = "ACE";
    kept.Score = 20;
    kept.Crew = "_______";
    kept.GameVersion = replay.GameVersion;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(replay.DataHash));
    kept.DataHash = hash;
    kept.Status = TReplayStatus::OtherVersion;
    kept.Reason = "race version " + replay.GameVersion + ": not verified here";
    bool isNew = false;
    dynamic_cast<IReplayStore&>(m_app->Store()).AddReplay(kept, bytes, isNew);
    ASSERT_TRUE(isNew);
    EXPECT_EQ(Upload(bytes).Status, 409) << "this server, started before, left it alone";

    Start(); // the next start takes it up
    m_app->Verifier()->WaitIdle();
    TTestConnection::TReply now = Upload(bytes);
    EXPECT_EQ(now.Status, 200);
    EXPECT_EQ(Field(now.Body, "status"), "verified");
}

TEST_P(TReplayTest, AReRunPastItsTimeIsStoppedAndFails) {
    Start([](TServerConfig& c) { c.Verify.MaxTime = std::chrono::milliseconds(1); });
    TTestConnection::TReply r = UploadAndWait(Fixture("boat2_three_levels").Encode());
    EXPECT_EQ(Field(r.Body, "status"), "failed");
    EXPECT_NE(Field(r.Body, "reason").find("longer than the time allowed"), std::string::npos) << r.Body;
}

TEST_P(TReplayTest, VerifiedOnlyShowsNothingElseAnywhere) {
    Start([](TServerConfig& c) { c.Service.VerifiedOnly = true; });
    SendScore("BOB", 500);
    ASSERT_EQ(Field(UploadAndWait(GameOver().Encode()).Body, "status"), "verified");
    const std::string api = Scores();
    EXPECT_EQ(Field(api, "total"), "1");
    EXPECT_EQ(api.find("BOB"), std::string::npos);
    EXPECT_EQ(Scores("?verified=0").find("BOB"), std::string::npos) << "not even when asked for";
    TTestConnection::TReply page = HttpRequest(Port(), "/cgi/version.pl?prg=Spraydash&show&type=0");
    EXPECT_NE(page.Body.find("ACE"), std::string::npos);
    EXPECT_EQ(page.Body.find("BOB"), std::string::npos);
    EXPECT_EQ(page.Body.find("Verified only"), std::string::npos) << "no choice to offer";
    TTestConnection::TReply rank = HttpRequest(Port(), "/api/v1/rank?score=100");
    EXPECT_EQ(Field(rank.Body, "rank"), "1");
    EXPECT_EQ(Field(rank.Body, "total"), "1");
}

TEST_P(TReplayTest, TheServerSaysWhatItVerifiesAndCountsItsWork) {
    Start();
    const TRaceBuild build = RaceBuildOf(DefaultGameData());
    TTestConnection::TReply version = HttpRequest(Port(), "/api/v1/version");
    EXPECT_EQ(version.Status, 200);
    EXPECT_EQ(Field(version.Body, "race_version"), build.GameVersion);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(build.DataHash));
    EXPECT_EQ(Field(version.Body, "data_hash"), hash);

    UploadAndWait(GameOver().Encode());
    TReplay bad = GameOver("BOB");
    bad.Claim->Score = 1;
    UploadAndWait(bad.Encode());
    const std::string metrics = HttpRequest(Port(), "/metrics").Body;
    for (const char* line :
         {"spraydash_replay_verifications_total{outcome=\"verified\"} 1",
          "spraydash_replay_verifications_total{outcome=\"failed\"} 1", "spraydash_replay_queue_length 0",
          "spraydash_replay_verification_seconds_count 2"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line;
}

TEST_P(TReplayTest, WhatOneServerVerifiesEveryServerOnTheDatabaseShows) {
    if (GetParam() != TStoreKind::Postgres)
        GTEST_SKIP() << "one SQLite file is one server's";
    Start();
    TServerConfig other;
    other.Db = m_db->Target();
    other.Http.Port = 0;
    other.Http.Threads = 1;
    other.SpoolLimit = 0;
    TScoreServerApp second(std::move(other));
    second.Start();
    // The page of the second is read before, so that it is cached when the first verifies.
    const std::string page = "/cgi/version.pl?prg=Spraydash&show&type=0";
    EXPECT_EQ(HttpRequest(second.Port(), page).Body.find("ACE"), std::string::npos);
    ASSERT_EQ(Field(UploadAndWait(GameOver().Encode()).Body, "status"), "verified");
    const std::string replay = ReplayUploadId(GameOver().Encode());
    std::string seen;
    for (int i = 0; i < 100 && seen.find(replay) == std::string::npos; ++i) {
        seen = HttpRequest(second.Port(), page).Body;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(seen.find("href=\"../api/v1/replays/" + replay + "\""), std::string::npos);
    // And its own upload of the same race is a copy.
    TTestConnection::TReply copy = Post(second.Port(), kUploads, GameOver("OTHER").Encode());
    EXPECT_EQ(copy.Status, 202);
    second.Verifier()->WaitIdle();
    EXPECT_EQ(Field(Post(second.Port(), kUploads, GameOver("OTHER").Encode()).Body, "status"), "copy");
}

INSTANTIATE_TEST_SUITE_P(Stores, TReplayTest, ::testing::Values(TStoreKind::Sqlite, TStoreKind::Postgres),
                         StoreKindName);

} // namespace
