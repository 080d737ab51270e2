// The replays queued for the score server: what each answer does to a queued replay, the
// queue's bounds, damage found in its folder, and the worker given up when the game ends.
#include "menus/ReplayUploader.h"
#include "menus/UploadQueue.h"
#include "net/TestServer.h"
#include "replay/Replay.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int64_t kNow = 1'800'000'000;
constexpr auto kPassTime = 10s;

std::string SampleReplay(uint32_t seed = 7) {
    TReplay r;
    r.GameVersion = "1.0";
    r.DataHash = 0x1234;
    r.Seed = seed;
    for (int i = 0; i < 40; ++i)
        r.AddTick(i % 3 == 0 ? riUp : riLeft, 1);
    r.Claim = TRaceResult{4200, 2, 1, r.TickCount(), TRaceEnd::Finished};
    r.Name = "Jo\xEB";
    r.Crew = "Lake crew";
    return r.Encode();
}

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Reads each upload whole and answers it with the given status line (no answer when empty).
TTestServer::THandler AnswerUploads(std::string statusLine) {
    return [statusLine](TTestServer::TConn& conn) {
        for (;;) {
            const std::string head = conn.ReadRequest();
            if (head.empty())
                return;
            conn.ReadBody(head);
            if (statusLine.empty()) {
                conn.WaitForClose();
                return;
            }
            const std::string body = "{\"status\": \"x\", \"reason\": \"\", \"id\": \"00\"}";
            conn.Send("HTTP/1.1 " + statusLine + "\r\nContent-Type: application/json\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\n\r\n" + body);
        }
    };
}

class ReplayUploadTest : public ::testing::Test {
  protected:
    ReplayUploadTest() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        Folder = fs::temp_directory_path() / ("spraydash-uploads-" + std::to_string(::getpid())) / name;
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    ~ReplayUploadTest() override { fs::remove_all(Folder.parent_path()); }

    std::unique_ptr<TReplayUploader> Uploader(const std::string& currentServer = "http://127.0.0.1:9") {
        auto uploader = std::make_unique<TReplayUploader>(Folder.string(), currentServer, Settings);
        uploader->Now = [this] { return Clock; };
        uploader->Log = [this](const std::string& line) {
            std::lock_guard lock(LogMutex);
            LogLines.push_back(line);
        };
        return uploader;
    }

    TUploadQueue LoadedQueue(const std::string& adoptFor = "http://127.0.0.1:9") {
        TUploadQueue queue(Folder.string());
        queue.Load(adoptFor, Clock);
        return queue;
    }

    void WriteFile(const std::string& name, const std::string& bytes) {
        std::ofstream(Folder / name, std::ios::binary) << bytes;
    }
    std::string ReadFile(const std::string& name) {
        std::ifstream in(Folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path Folder;
    THttpClient Settings;
    int64_t Clock = kNow;
    std::mutex LogMutex;
    std::vector<std::string> LogLines;
};

TEST(UploadAnswer, TheServersAnswersMeanWhatTheyMean) {
    for (int status : {200, 201, 202, 204, 400, 409, 413, 422})
        EXPECT_EQ(UploadAnswerFor(status), TUploadAnswer::Done) << status;
    for (int status : {404, 405})
        EXPECT_EQ(UploadAnswerFor(status), TUploadAnswer::ServerRefuses) << status;
    for (int status : {0, 301, 408, 429, 500, 502, 503, 504})
        EXPECT_EQ(UploadAnswerFor(status), TUploadAnswer::TryLater) << status;
    EXPECT_EQ(ReplayUploadUrl("http://h:81/prefix//"), "http://h:81/prefix/api/v1/replays");
}

// What the server answers decides whether the replay stays queued, and whether that server
// gets any more.
struct TAnswerCase {
    const char* Name;
    std::string StatusLine; // empty: the server reads the upload and never answers
    bool Kept;
    bool ServerRefused;
};

void PrintTo(const TAnswerCase& c, std::ostream* os) {
    *os << c.Name;
}

class UploadAnswerTest : public ReplayUploadTest, public ::testing::WithParamInterface<TAnswerCase> {};

TEST_P(UploadAnswerTest, DecidesTheReplaysFate) {
    TTestServer server(AnswerUploads(GetParam().StatusLine));
    const std::string replay = SampleReplay();
    {
        auto uploader = Uploader();
        uploader->SetRequestTimeout(500ms);
        uploader->Queue(replay, server.Base() + "/");
        ASSERT_TRUE(uploader->WaitIdle(kPassTime));
        ASSERT_EQ(server.Bodies().size(), 1u);
        EXPECT_EQ(server.Bodies()[0], replay) << "the replay's bytes as the game stores them";
        EXPECT_EQ(server.Requests()[0].rfind("POST /api/v1/replays HTTP/1.1\r\n", 0), 0u)
            << server.Requests()[0];
    }
    // As the next start finds it.
    TUploadQueue queue = LoadedQueue();
    const std::string file = TUploadQueue::FileNameFor(replay);
    if (GetParam().Kept) {
        ASSERT_EQ(queue.Entries().size(), 1u);
        EXPECT_EQ(queue.Entries()[0].Attempts, 1);
        EXPECT_EQ(queue.Entries()[0].Server, server.Base());
        EXPECT_EQ(ReadFile(file), replay);
    } else {
        EXPECT_TRUE(queue.Entries().empty());
        EXPECT_FALSE(fs::exists(Folder / file));
    }
    EXPECT_EQ(queue.Refuses(server.Base(), Clock), GetParam().ServerRefused);
    if (GetParam().ServerRefused) {
        // Nothing more is queued for it, from this run or the next.
        auto uploader = Uploader();
        uploader->Queue(SampleReplay(8), server.Base());
        ASSERT_TRUE(uploader->WaitIdle(kPassTime));
        EXPECT_EQ(server.Bodies().size(), 1u);
        EXPECT_TRUE(uploader->Queued().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, UploadAnswerTest,
                         ::testing::Values(TAnswerCase{"Queued202", "202 Accepted", false, false},
                                           TAnswerCase{"AlreadyThere200", "200 OK", false, false},
                                           TAnswerCase{"Malformed400", "400 Bad Request", false, false},
                                           TAnswerCase{"OtherVersion409", "409 Conflict", false, false},
                                           TAnswerCase{"TooLarge413", "413 Content Too Large", false, false},
                                           TAnswerCase{"NoResult422", "422 Unprocessable Content", false,
                                                       false},
                                           TAnswerCase{"NoEndpoint404", "404 Not Found", false, true},
                                           TAnswerCase{"NoPost405", "405 Method Not Allowed", false, true},
                                           TAnswerCase{"Flood429", "429 Too Many Requests", true, false},
                                           TAnswerCase{"Busy503", "503 Service Unavailable", true, false},
                                           TAnswerCase{"Broken500", "500 Internal Server Error", true, false},
                                           TAnswerCase{"SlowAnswer", "", true, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ReplayUploadTest, NoServerKeepsTheReplayForFiveTriesInAll) {
    const std::string server = "http://127.0.0.1:" + std::to_string(ClosedPort());
    const std::string file = TUploadQueue::FileNameFor(SampleReplay());
    for (int run = 1; run <= TUploadQueue::kMaxAttempts; ++run) {
        auto uploader = Uploader();
        if (run == 1)
            uploader->Queue(SampleReplay(), server);
        else
            uploader->TryAll(); // the next start
        ASSERT_TRUE(uploader->WaitIdle(kPassTime));
        const auto queued = uploader->Queued();
        if (run < TUploadQueue::kMaxAttempts) {
            ASSERT_EQ(queued.size(), 1u) << "run " << run;
            EXPECT_EQ(queued[0].Attempts, run);
        } else {
            EXPECT_TRUE(queued.empty()) << "dropped after the fifth try";
            EXPECT_FALSE(fs::exists(Folder / file));
        }
    }
    std::lock_guard lock(LogMutex);
    ASSERT_FALSE(LogLines.empty());
    EXPECT_NE(LogLines.back().find("given up after 5 tries"), std::string::npos) << LogLines.back();
}

// A server that does not answer costs its other replays no tries; another server's go out.
TEST_F(ReplayUploadTest, AnUnansweringServerHoldsUpOnlyItsOwnReplays) {
    TTestServer good(AnswerUploads("202 Accepted"));
    const std::string dead = "http://127.0.0.1:" + std::to_string(ClosedPort());
    {
        TUploadQueue queue(Folder.string());
        queue.Load(dead, Clock);
        queue.Add(SampleReplay(1), dead, Clock);
        queue.Add(SampleReplay(2), dead, Clock);
        queue.Add(SampleReplay(3), good.Base(), Clock);
    }
    auto uploader = Uploader();
    uploader->TryAll();
    ASSERT_TRUE(uploader->WaitIdle(kPassTime));
    const auto queued = uploader->Queued();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(queued[0].Attempts, 1);
    EXPECT_EQ(queued[1].Attempts, 0) << "the second replay for the dead server was not tried";
    ASSERT_EQ(good.Bodies().size(), 1u);
    EXPECT_EQ(good.Bodies()[0], SampleReplay(3));
}

// "Retry after" in seconds is heeded: the server is left alone until then, its replays' tries
// kept for afterwards.
TEST_F(ReplayUploadTest, APauseTheServerAsksForIsKept) {
    std::atomic<bool> busy{true};
    TTestServer server([&busy](TTestServer::TConn& conn) {
        for (std::string head; !(head = conn.ReadRequest()).empty();) {
            conn.ReadBody(head);
            conn.Send(busy
                          ? "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3600\r\nContent-Length: 0\r\n\r\n"
                          : "HTTP/1.1 202 Accepted\r\nContent-Length: 0\r\n\r\n");
        }
    });
    auto pass = [&] {
        auto uploader = Uploader();
        uploader->TryAll();
        EXPECT_TRUE(uploader->WaitIdle(kPassTime));
        return uploader->Queued();
    };
    {
        auto uploader = Uploader();
        uploader->Queue(SampleReplay(), server.Base());
        ASSERT_TRUE(uploader->WaitIdle(kPassTime));
    }
    ASSERT_EQ(server.Bodies().size(), 1u);
    busy = false;
    Clock += 3599;
    auto queued = pass();
    EXPECT_EQ(server.Bodies().size(), 1u) << "asked again before the pause was over";
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].Attempts, 1);
    Clock += 1;
    EXPECT_TRUE(pass().empty());
    EXPECT_EQ(server.Bodies().size(), 2u);
}

TEST_F(ReplayUploadTest, ARefusalIsForgottenAfterAWeek) {
    TUploadQueue queue = LoadedQueue();
    queue.RefuseServer("http://old.example/", Clock);
    queue.Save();
    EXPECT_FALSE(queue.Add(SampleReplay(), "http://old.example", Clock));
    Clock += TUploadQueue::kRefusalSeconds - 1;
    EXPECT_TRUE(LoadedQueue().Refuses("http://old.example", Clock));
    Clock += 1;
    TUploadQueue later = LoadedQueue();
    EXPECT_FALSE(later.Refuses("http://old.example", Clock));
    EXPECT_TRUE(later.Add(SampleReplay(), "http://old.example", Clock));
    EXPECT_TRUE(later.Add(SampleReplay(), "http://other.example", Clock)) << "the same race is queued once";
    EXPECT_EQ(later.Entries().size(), 1u);
}

TEST_F(ReplayUploadTest, AFullQueueDropsTheOldestFirst) {
    TUploadQueue queue = LoadedQueue();
    for (uint32_t seed = 1; seed <= TUploadQueue::kMaxEntries + 2; ++seed)
        ASSERT_TRUE(queue.Add(SampleReplay(seed), "http://s", Clock));
    ASSERT_EQ(queue.Entries().size(), TUploadQueue::kMaxEntries);
    EXPECT_EQ(queue.Entries().front().File, TUploadQueue::FileNameFor(SampleReplay(3)));
    EXPECT_EQ(queue.Entries().back().File,
              TUploadQueue::FileNameFor(SampleReplay(TUploadQueue::kMaxEntries + 2)));
    EXPECT_FALSE(fs::exists(Folder / TUploadQueue::FileNameFor(SampleReplay(1))));

    // By bytes: large replays push the small ones out, oldest first.
    const uint64_t big = TUploadQueue::kMaxReplayBytes;
    for (char c = 'a'; c < 'a' + static_cast<char>(TUploadQueue::kMaxBytes / big) + 1; ++c)
        ASSERT_TRUE(queue.Add(std::string(big, c), "http://s", Clock));
    uint64_t total = 0;
    for (const auto& entry : queue.Entries())
        total += entry.Size;
    EXPECT_LE(total, TUploadQueue::kMaxBytes);
    EXPECT_EQ(queue.Entries().back().Size, big);
    EXPECT_EQ(LoadedQueue().Entries().size(), queue.Entries().size()) << "the list on disk says the same";

    EXPECT_FALSE(queue.Add(std::string(big + 1, 'z'), "http://s", Clock)) << "larger than any server takes";
    EXPECT_FALSE(queue.Add("", "http://s", Clock));
    EXPECT_FALSE(queue.Add(SampleReplay(99), "http://with space", Clock));
}

// Whatever the folder holds, the game starts, and only sound replays of the queue's own naming go out.
TEST_F(ReplayUploadTest, DamageInTheFolderIsDroppedOrTakenUp) {
    TTestServer server(AnswerUploads("202 Accepted"));
    const std::string kept = SampleReplay(1);
    const std::string orphan = SampleReplay(2);
    const std::string spent = SampleReplay(3);
    const std::string keptFile = TUploadQueue::FileNameFor(kept);
    const std::string damagedFile = TUploadQueue::FileNameFor("damaged");
    const std::string spentFile = TUploadQueue::FileNameFor(spent);
    WriteFile(keptFile, kept);
    WriteFile(TUploadQueue::FileNameFor(orphan), orphan); // a run ended before it was listed
    WriteFile(damagedFile, "not a replay at all");
    WriteFile(spentFile, spent);
    WriteFile(keptFile + ".tmp", "half written");
    fs::create_directories(Folder / TUploadQueue::FileNameFor("a folder"));
    fs::create_directories(Folder.parent_path() / "outside");
    WriteFile("../outside/hs", "the table");
    WriteFile(TUploadQueue::kListName, "replay " + keptFile + " 2 " + server.Base() +
                                           "\r\n"
                                           "replay ../outside/hs 0 " +
                                           server.Base() +
                                           "\n"
                                           "replay " +
                                           TUploadQueue::FileNameFor("gone") + " 0 " + server.Base() +
                                           "\r\n"
                                           "replay " +
                                           damagedFile + " 1 " + server.Base() +
                                           "\r\n"
                                           "replay " +
                                           spentFile + " 5 " + server.Base() +
                                           "\r\n"
                                           "replay " +
                                           TUploadQueue::FileNameFor("a folder") + " 0 " + server.Base() +
                                           "\r\n"
                                           "refused never http://x\r\n" +
                                           std::string(100000, '\x01') + "\r\n\xFF\xFE garbage\r\n");

    auto uploader = Uploader(server.Base());
    uploader->TryAll();
    ASSERT_TRUE(uploader->WaitIdle(kPassTime));
    EXPECT_EQ(server.Bodies(), (std::vector<std::string>{kept, orphan}));
    EXPECT_TRUE(uploader->Queued().empty());
    EXPECT_FALSE(fs::exists(Folder / damagedFile)) << "a damaged replay is dropped, not sent";
    EXPECT_FALSE(fs::exists(Folder / spentFile)) << "a replay tried to the end is dropped";
    EXPECT_FALSE(fs::exists(Folder / (keptFile + ".tmp")));
    EXPECT_TRUE(fs::is_directory(Folder / TUploadQueue::FileNameFor("a folder")))
        << "not the queue's to remove";
    EXPECT_EQ(ReadFile("../outside/hs"), "the table");
}

TEST_F(ReplayUploadTest, AnUnwritableFolderStillSendsFromMemory) {
    TTestServer server(AnswerUploads("202 Accepted"));
    fs::remove_all(Folder);
    std::ofstream(Folder) << "a file where the folder should be";
    auto uploader = Uploader();
    uploader->Queue(SampleReplay(), server.Base());
    ASSERT_TRUE(uploader->WaitIdle(kPassTime));
    EXPECT_EQ(server.Bodies(), std::vector<std::string>{SampleReplay()});
    std::lock_guard lock(LogMutex);
    ASSERT_FALSE(LogLines.empty());
    EXPECT_NE(LogLines.front().find("cannot be queued"), std::string::npos) << LogLines.front();
    fs::remove(Folder);
}

// The game is closed while a server holds the upload: the end does not wait, and the replay
// stays queued with its try not counted.
TEST_F(ReplayUploadTest, ClosingMidUploadAbandonsItAndKeepsTheReplay) {
    TTestServer server(AnswerUploads(""));
    auto uploader = Uploader();
    uploader->Queue(SampleReplay(), server.Base());
    for (int waited = 0; server.Bodies().empty() && waited < 5000; waited += 10)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(server.Bodies().size(), 1u);
    const auto started = std::chrono::steady_clock::now();
    uploader.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    TUploadQueue queue = LoadedQueue();
    ASSERT_EQ(queue.Entries().size(), 1u);
    EXPECT_EQ(queue.Entries()[0].Attempts, 0);
    EXPECT_EQ(queue.Read(queue.Entries()[0]), SampleReplay());
}

} // namespace
