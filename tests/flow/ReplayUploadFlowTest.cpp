// The race's replay after its score request, through the whole game: sent to the same server
// once the request is over, queued when it cannot be, sent at the next start, and left queued
// when the game is closed meanwhile.
#include "context/GameState.h"
#include "engine/platform/KeyCodes.h"
#include "flow/FlowGame.h"
#include "flow/ScorePayload.h"
#include "menus/Menus.h"
#include "menus/ReplayUploader.h"
#include "net/TestServer.h"
#include "race/Race.h"
#include "replay/Replay.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace {
using namespace std::chrono_literals;

// Music and sound off; no table check, so the default table (500 is its tenth score).
const std::string kOptionsFile = "0\r\n0\r\n0\r\nLake crew\r\n\r\n";
constexpr int32_t kQualifyingScore = 4200;
constexpr auto kUploadTime = 10s;

// Answers score requests with 200 and uploads with uploadStatus; none at all when it is empty
// (the upload is read and held until the game lets go).
TTestServer::THandler ScoreServer(const std::atomic<const char*>& uploadStatus) {
    return [&uploadStatus](TTestServer::TConn& conn) {
        for (;;) {
            const std::string head = conn.ReadRequest();
            if (head.empty()) {
                return;
            }
            std::string status = "200 OK";
            if (head.starts_with("POST ")) {
                conn.ReadBody(head);
                status = uploadStatus.load();
                if (status.empty()) {
                    conn.WaitForClose();
                    return;
                }
            }
            conn.Send("HTTP/1.1 " + status + "\r\nContent-Length: 2\r\n\r\n{}");
        }
    };
}

class ReplayUploadFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TGameFixture::DataAvailable()) {
            GTEST_SKIP() << "the game data has not been generated under " << TGameFixture::GeneratedDataDir();
        }
        Game.Files().WriteSave("options", kOptionsFile);
    }

    // A race finished with a qualifying score, the name typed, and the send question answered:
    // yes sends the result.
    void RaceAndSend(const std::string& name, bool yes = true) {
        ASSERT_NO_FATAL_FAILURE(Game.StartRaceFromMenu());
        Game.Race().Score = kQualifyingScore;
        Game.TapKey(vk::Escape);
        Game.TapKey('Y');
        ASSERT_EQ(Game.TickView().MessageMode, msgEnterName);
        Game.Pump();
        Game.TypeText(name);
        Game.PressKey(vk::Return);
        ASSERT_EQ(Game.TickView().MessageMode, msgSendResult);
        Game.Tick();
        const int key = yes ? 'Y' : 'N';
        Game.KeyDown(key);
        Game.Tick();
        Game.KeyUp(key);
        ASSERT_EQ(Game.TickView().MessageMode, yes ? msgSending : msgNone);
    }

    bool UploadsDone() { return Game.Menus().ReplayUploader()->WaitIdle(kUploadTime); }

    std::vector<std::string> QueuedFiles() {
        std::vector<std::string> files;
        std::error_code ec;
        for (const auto& item : std::filesystem::directory_iterator(Game.SavePath("uploads"), ec)) {
            if (item.path().extension() == ".sdreplay") {
                files.push_back(item.path().filename().string());
            }
        }
        return files;
    }

    TFlowGame Game;
    std::atomic<const char*> UploadStatus{"202 Accepted"};
};

TEST_F(ReplayUploadFlowTest, TheScoreRequestGoesFirstAndTheReplayFollows) {
    TTestServer server(ScoreServer(UploadStatus));
    Game.Start(server.Base() + "/");
    ASSERT_NO_FATAL_FAILURE(RaceAndSend("Ola"));
    ASSERT_TRUE(UploadsDone());

    const auto heads = server.Requests();
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(CountScoreRequests({heads[0]}), 1u) << heads[0];
    EXPECT_EQ(heads[1].rfind("POST /api/v1/replays HTTP/1.1\r\n", 0), 0u) << heads[1];
    EXPECT_NE(heads[1].find("\r\nContent-Type: application/octet-stream\r\n"), std::string::npos);

    // Exactly the replay the game keeps of the race, with the name and the crew text it was sent with.
    const auto bodies = server.Bodies();
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], Game.ReadSave("replays/last.sdreplay"));
    const TReplay replay = TReplay::Decode(bodies[0]);
    EXPECT_EQ(replay.Name, "Ola");
    EXPECT_EQ(replay.Crew, "Lake crew");
    ASSERT_TRUE(replay.Claim);
    EXPECT_EQ(replay.Claim->Score, kQualifyingScore);
    EXPECT_TRUE(QueuedFiles().empty()) << "a replay the server took is not kept";

    // The game went on meanwhile, as ever.
    EXPECT_TRUE(Game.RunUntil([&] { return Game.TickView().GameScreen == gsHighScores; }, 1500));
    EXPECT_TRUE(Game.Platform().FatalErrors().empty());
}

TEST_F(ReplayUploadFlowTest, AResultNotSentSendsNoReplay) {
    TTestServer server(ScoreServer(UploadStatus));
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(RaceAndSend("Kim", false));
    Game.Tick(10);
    ASSERT_TRUE(UploadsDone());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(QueuedFiles().empty());
}

TEST_F(ReplayUploadFlowTest, AReplayTheServerCouldNotTakeGoesAtTheNextStart) {
    UploadStatus = "503 Service Unavailable";
    TTestServer server(ScoreServer(UploadStatus));
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(RaceAndSend("Kim"));
    ASSERT_TRUE(UploadsDone());
    ASSERT_EQ(server.Bodies().size(), 1u);
    const std::string replay = server.Bodies()[0];
    ASSERT_EQ(QueuedFiles().size(), 1u);
    EXPECT_TRUE(Game.Platform().Warnings().empty()) << "the player is not bothered with it";
    Game.Stop();

    UploadStatus = "202 Accepted";
    Game.Start(server.Base());
    ASSERT_TRUE(UploadsDone());
    ASSERT_EQ(server.Bodies().size(), 2u);
    EXPECT_EQ(server.Bodies()[1], replay);
    EXPECT_EQ(CountScoreRequests(server.Requests()), 1u) << "the score request is never repeated";
    EXPECT_TRUE(QueuedFiles().empty());
    EXPECT_NE(Game.ReadSave("hs").find("Kim\r\n4200\r\n"), std::string::npos);
}

TEST_F(ReplayUploadFlowTest, ClosingTheGameMidUploadDoesNotWaitAndKeepsTheReplay) {
    UploadStatus = "";
    TTestServer server(ScoreServer(UploadStatus));
    Game.Start(server.Base());
    ASSERT_NO_FATAL_FAILURE(RaceAndSend("Ray"));
    for (int waited = 0; server.Bodies().empty() && waited < 5000; waited += 10) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(server.Bodies().size(), 1u);
    const auto started = std::chrono::steady_clock::now();
    Game.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(QueuedFiles().size(), 1u);
    EXPECT_NE(Game.ReadSave("uploads/queue").find(" 0 " + server.Base()), std::string::npos)
        << "the abandoned try is not counted: " << Game.ReadSave("uploads/queue");
}

// Whatever stands in the queue's place, the game starts without a word and keeps its files.
TEST_F(ReplayUploadFlowTest, ADamagedQueueTouchesNothingElse) {
    Game.Files().WriteSave("uploads/queue", std::string("replay ../hs 0 http://127.0.0.1:9\r\n") +
                                                std::string(50000, '\xFF') + "\r\nrefused x y\r\n");
    Game.Files().WriteSave("uploads/0123456789abcdef.sdreplay", "not a replay");
    Game.Start("http://127.0.0.1:9");
    ASSERT_TRUE(UploadsDone());
    EXPECT_TRUE(Game.Platform().Warnings().empty());
    EXPECT_TRUE(Game.Platform().FatalErrors().empty());
    EXPECT_TRUE(QueuedFiles().empty()) << "the damaged replay is dropped";
    EXPECT_EQ(Game.ReadSave("options"), kOptionsFile);
}

} // namespace
