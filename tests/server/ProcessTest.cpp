// The executable itself: an acknowledged result survives kill -9, the operator's commands on
// either store, several servers on one database, the command line.

#include "HttpTestClient.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "menus/ScoreSubmission.h"
#include "server/StoreTarget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace {

using namespace std::chrono_literals;

constexpr const char* kPage = "/cgi/version.pl?prg=Spraydash&show&type=0";

std::set<std::string> StoredNames(const std::string& db) {
    TStoreConfig config;
    config.Target = db;
    config.Serving = false;
    std::unique_ptr<IScoreDatabase> store = OpenScoreDatabase(config);
    std::set<std::string> names;
    for (const TStoredEntry& e : store->List(std::nullopt, 0))
        names.insert(e.Name);
    return names;
}

class TServerProcessTest : public ::testing::TestWithParam<TStoreKind> {
  protected:
    void SetUp() override { SKIP_WITHOUT_POSTGRES(GetParam()); }
};

TEST(ServerProcess, AnAcknowledgedResultSurvivesKill9) {
    TTempDir dir;
    const std::string db = dir.File("scores.db");
    std::set<std::string> acknowledged;
    std::mutex mutex;
    constexpr int kRounds = 8;
    constexpr int kSenders = 4;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        TServerProcess server({"--listen", "127.0.0.1:0", "--db", db, "--rate-limit", "0"});
        std::atomic<int> acks{0};
        std::atomic<bool> stop{false};
        std::vector<std::thread> senders;
        for (int s = 0; s < kSenders; ++s) {
            senders.emplace_back([&, s] {
                try {
                    TTestConnection c(server.Port());
                    for (int i = 0; !stop; ++i) {
                        std::string name =
                            "r" + std::to_string(round) + "s" + std::to_string(s) + "n" + std::to_string(i);
                        c.Send("GET " + BuildScoreRequestUrl("", name, i, "crew") +
                               " HTTP/1.1\r\nHost: x\r\n\r\n");
                        TTestConnection::TReply reply = c.Read();
                        if (reply.Status != 200)
                            return; // killed mid-request: this one was never acknowledged
                        std::lock_guard lock(mutex);
                        acknowledged.insert(name);
                        ++acks;
                    }
                } catch (const std::exception&) {
                }
            });
        }
        // Kill at a different moment each round, right after an acknowledgement.
        int target = 1 + round * 7;
        while (acks.load() < target)
            std::this_thread::yield();
        server.Kill9();
        stop = true;
        for (auto& t : senders)
            t.join();
    }
    TServerProcess restarted({"--listen", "127.0.0.1:0", "--db", db});
    EXPECT_EQ(HttpRequest(restarted.Port(), "/healthz").Status, 200);
    std::set<std::string> stored = StoredNames(db);
    std::size_t missing = 0;
    for (const std::string& name : acknowledged)
        missing += stored.count(name) == 0;
    EXPECT_EQ(missing, 0u) << "of " << acknowledged.size() << " acknowledged results";
    EXPECT_GE(acknowledged.size(), static_cast<std::size_t>(kRounds));
}

TEST_P(TServerProcessTest, StopsCleanlyOnTerm) {
    TTestDatabase db(GetParam());
    TServerProcess server({"--listen", "127.0.0.1:0", "--db", db.Target()});
    EXPECT_EQ(HttpRequest(server.Port(), BuildScoreRequestUrl("", "Ann", 5, "x")).Status, 200);
    EXPECT_EQ(server.Terminate(), 0);
    EXPECT_EQ(StoredNames(db.Target()), std::set<std::string>{"Ann"});
}

TEST_P(TServerProcessTest, OperatorCommands) {
    TTestDatabase database(GetParam());
    // Quoted: a PostgreSQL address holds characters the shell would take.
    const std::string db = "'" + database.Target() + "'";
    {
        TServerProcess server(
            {"--listen", "127.0.0.1:0", "--db", database.Target(), "--score-ceiling", "1000"});
        ASSERT_EQ(HttpRequest(server.Port(), BuildScoreRequestUrl("", "=cmd|' /C", 10, "crew,one")).Status,
                  200);
        ASSERT_EQ(HttpRequest(server.Port(), BuildScoreRequestUrl("", "Big", 5000, "x")).Status, 200);

        auto [status, held] = RunScoresCommand("--db " + db + " admin list --state held");
        EXPECT_EQ(status, 0);
        EXPECT_NE(held.find("Big"), std::string::npos) << held;
        EXPECT_NE(held.find("1 entry"), std::string::npos) << held;
        EXPECT_EQ(HttpRequest(server.Port(), kPage).Body.find(">Big<"), std::string::npos);
        EXPECT_EQ(RunScoresCommand("--db " + db + " admin show 2").first, 0);
        // The running server notices the operator's change by itself.
        bool shown = false;
        for (int i = 0; i < 40 && !shown; ++i) {
            shown = HttpRequest(server.Port(), kPage).Body.find(">Big<") != std::string::npos;
            if (!shown)
                std::this_thread::sleep_for(100ms);
        }
        EXPECT_TRUE(shown);
    }
    EXPECT_EQ(RunScoresCommand("--db " + db + " admin hide 1").first, 0);
    auto [missingStatus, missing] = RunScoresCommand("--db " + db + " admin delete 99");
    EXPECT_EQ(missingStatus, 1);
    EXPECT_NE(missing.find("entry 99: no such entry"), std::string::npos);

    const std::string csvFile = database.Dir().File("all.csv");
    EXPECT_EQ(RunScoresCommand("--db " + db + " admin export -o " + csvFile).first, 0);
    std::ifstream csv(csvFile, std::ios::binary);
    std::stringstream text;
    text << csv.rdbuf();
    std::string lines = text.str();
    EXPECT_EQ(lines.substr(0, 41), "id,received,state,score,name,crew,client\r");
    EXPECT_NE(lines.find(",hidden,10,'=cmd|' /C,\"crew,one\",127.0.0.1\r\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find(",shown,5000,Big,x,127.0.0.1\r\n"), std::string::npos) << lines;
}

INSTANTIATE_TEST_SUITE_P(Stores, TServerProcessTest,
                         ::testing::Values(TStoreKind::Sqlite, TStoreKind::Postgres), StoreKindName);

TEST(ServerProcess, TwoServersOnOneDatabaseShowEachOthersResultsWithinASecond) {
    SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres);
    TTestDatabase db(TStoreKind::Postgres);
    TServerProcess a({"--listen", "127.0.0.1:0", "--db", db.Target(), "--rate-limit", "0"});
    TServerProcess b({"--listen", "127.0.0.1:0", "--db", db.Target(), "--rate-limit", "0"});
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE("round " + std::to_string(i));
        std::string name = "Via" + std::to_string(i);
        ASSERT_NE(HttpRequest(b.Port(), kPage).Status, 0); // b has a cached page to give up
        ASSERT_EQ(HttpRequest(a.Port(), BuildScoreRequestUrl("", name, 100 + i, "x")).Status, 200);
        auto sent = std::chrono::steady_clock::now();
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() - sent < 1s)
            seen = HttpRequest(b.Port(), kPage).Body.find(">" + name + "<") != std::string::npos;
        EXPECT_TRUE(seen) << "not on the other server's page within one second";
    }
}

// The installed service as the unit starts it (its environment; the address and file changed for
// the test), behind a proxy on the same machine as the documentation recommends: each player
// keeps a rate limit of their own.
TEST(ServerProcess, TheInstalledUnitTrustsTheLocalProxy) {
    std::ifstream unit(SPRAYDASH_SOURCE_DIR "/packaging/spraydash-scores.service.in");
    ASSERT_TRUE(unit) << "the unit's template";
    std::vector<std::string> environment;
    std::string execStart;
    for (std::string line; std::getline(unit, line);) {
        if (line.rfind("Environment=", 0) == 0 && line.find("SPRAYDASH_SCORES_LISTEN=") == std::string::npos &&
            line.find("SPRAYDASH_SCORES_DB=") == std::string::npos)
            environment.push_back(line.substr(12));
        if (line.rfind("ExecStart=", 0) == 0)
            execStart = line;
    }
    ASSERT_EQ(execStart, "ExecStart=@SPRAYDASH_SCORES_BIN@ $SPRAYDASH_SCORES_OPTIONS")
        << "the test gives the server only the unit's environment";
    TTempDir dir;
    TServerProcess server({"--listen", "127.0.0.1:0", "--db", dir.File("scores.db")}, environment);
    int stored = 0;
    for (int player = 0; player < 12; ++player) {
        std::string from = "X-Forwarded-For: 203.0.113." + std::to_string(player + 1) + "\r\n";
        stored += HttpRequest(server.Port(), BuildScoreRequestUrl("", "P" + std::to_string(player), 10, "x"),
                              "GET", from)
                      .Status == 200;
    }
    EXPECT_EQ(stored, 12) << "all players shared the proxy's rate limit";
}

TEST(ServerProcess, CommandLine) {
    auto [helpStatus, help] = RunScoresCommand("--help");
    EXPECT_EQ(helpStatus, 0);
    for (const char* option :
         {"--listen", "--db", "--rate-limit", "--trusted-proxy", "--score-ceiling", "--max-connections",
          "--max-connections-per-address", "--metrics-listen", "--request-timeout", "--idle-timeout", "admin"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    TTempDir dir;
    auto [badStatus, bad] = RunScoresCommand("--listen nowhere --db " + dir.File("x.db"));
    EXPECT_EQ(badStatus, 1);
    EXPECT_NE(bad.find("\"nowhere\""), std::string::npos) << bad;
    auto [dbStatus, dbError] = RunScoresCommand("--listen 127.0.0.1:0 --db " + dir.File("no/such/dir/x.db"));
    EXPECT_EQ(dbStatus, 1);
    EXPECT_NE(dbError.find("no/such/dir/x.db"), std::string::npos) << dbError;
    auto [typoStatus, typo] = RunScoresCommand("--db " + dir.File("typo.db") + " admin list");
    EXPECT_EQ(typoStatus, 1);
    EXPECT_NE(typo.find("typo.db: no such database"), std::string::npos) << typo;
    EXPECT_FALSE(std::filesystem::exists(dir.File("typo.db")));
}

} // namespace
