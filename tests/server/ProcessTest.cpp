// The executable itself: an acknowledged result survives kill -9, the operator's commands on
// either store, several servers on one database, the command line.

#include "HttpTestClient.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "menus/ScoreSubmission.h"
#include "server/TextEscape.h"
#include "server/store/StoreTarget.h"

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

// The move from one store to the other through admin export --format jsonl and admin import:
// every entry arrives exactly as it was, whatever its texts hold.
struct TMove {
    TStoreKind From;
    TStoreKind To;
};
class TStoreMoveTest : public ::testing::TestWithParam<TMove> {
  protected:
    void SetUp() override { SKIP_WITHOUT_POSTGRES(TStoreKind::Postgres); }
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The export without the ids, which the importing store gives anew.
std::string WithoutIds(const std::string& lines) {
    std::string out;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        out += line.substr(line.find(',')) + "\n";
    return out;
}

TEST_P(TStoreMoveTest, EveryEntryArrivesExactly) {
    TTestDatabase from(GetParam().From);
    TTestDatabase to(GetParam().To, GetParam().To == TStoreKind::Sqlite ? from.Dir().File("moved.db") : "");
    {
        TStoreConfig config;
        config.Target = from.Target();
        std::unique_ptr<IScoreDatabase> store = OpenScoreDatabase(config);
        std::vector<TStoredEntry> entries;
        auto add = [&](const std::string& name, const std::string& crew, TEntryState state) {
            TStoredEntry e;
            e.Name = name;
            e.Crew = crew;
            e.Score = static_cast<std::int32_t>(entries.size()) * 37 - 100;
            e.Received = 1772638220 + static_cast<std::int64_t>(entries.size());
            e.Client = entries.size() % 2 ? "2001:db8::1" : "192.0.2.7";
            e.Digest = 0xF000000000000000ull + entries.size();
            e.State = state;
            entries.push_back(e);
        };
        // Every byte from 32 to 255 in the game's code page, ten to a name as the game sends them.
        for (int first = 32; first < 256; first += 10) {
            std::string bytes;
            for (int b = first; b < std::min(first + 10, 256); ++b)
                bytes += static_cast<char>(b);
            add(WindowsToUtf8(bytes), WindowsToUtf8(bytes.substr(0, 7)), TEntryState::Shown);
        }
        for (const char* formula : {"=1+2", "+1", "-1", "@SUM(A1)", "\tx", "'quoted'", "\"a,b\"", ""})
            add(formula, formula, TEntryState::Held);
        add("hidden", "", TEntryState::Hidden);
        store->Import(entries);
    }
    auto quoted = [](const std::string& target) { return "'" + target + "'"; };
    const std::string exported = from.Dir().File("scores.jsonl");
    ASSERT_EQ(
        RunScoresCommand("--db " + quoted(from.Target()) + " admin export --format jsonl -o " + exported)
            .first,
        0);
    auto [status, said] = RunScoresCommand("--db " + quoted(to.Target()) + " admin import " + exported);
    ASSERT_EQ(status, 0) << said;
    EXPECT_NE(said.find("32 entries imported"), std::string::npos) << said;
    auto [backStatus, back] =
        RunScoresCommand("--db " + quoted(to.Target()) + " admin export --format jsonl");
    ASSERT_EQ(backStatus, 0);
    std::string original = ReadAll(exported);
    EXPECT_EQ(WithoutIds(back), WithoutIds(original));
    EXPECT_NE(original.find("\"name\":\"=1+2\""), std::string::npos)
        << "no formula guard in the lossless form";

    // A broken line adds nothing and is named.
    {
        std::ofstream bad(from.Dir().File("bad.jsonl"));
        bad << original.substr(0, original.find('\n') + 1) << "{\"name\":\"x\"\n";
    }
    auto [badStatus, badSaid] =
        RunScoresCommand("--db " + quoted(to.Target()) + " admin import " + from.Dir().File("bad.jsonl"));
    EXPECT_EQ(badStatus, 1);
    EXPECT_NE(badSaid.find("bad.jsonl:2: "), std::string::npos) << badSaid;
    EXPECT_EQ(
        WithoutIds(RunScoresCommand("--db " + quoted(to.Target()) + " admin export --format jsonl").second),
        WithoutIds(original));

    // The same file again (an operator repeating a move that seemed to fail) adds nothing.
    auto [againStatus, againSaid] =
        RunScoresCommand("--db " + quoted(to.Target()) + " admin import " + exported);
    EXPECT_EQ(againStatus, 0) << againSaid;
    EXPECT_NE(againSaid.find("0 entries imported, 32 already there"), std::string::npos) << againSaid;
    EXPECT_EQ(
        WithoutIds(RunScoresCommand("--db " + quoted(to.Target()) + " admin export --format jsonl").second),
        WithoutIds(original));
}

INSTANTIATE_TEST_SUITE_P(Moves, TStoreMoveTest,
                         ::testing::Values(TMove{TStoreKind::Sqlite, TStoreKind::Postgres},
                                           TMove{TStoreKind::Postgres, TStoreKind::Sqlite}),
                         [](const ::testing::TestParamInfo<TMove>& info) {
                             return std::string(info.param.From == TStoreKind::Sqlite ? "SqliteToPostgres"
                                                                                      : "PostgresToSqlite");
                         });

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
        // Not the address, the file and the places under systemd's state folder (%S).
        if (line.rfind("Environment=", 0) == 0 &&
            line.find("SPRAYDASH_SCORES_LISTEN=") == std::string::npos &&
            line.find("SPRAYDASH_SCORES_DB=") == std::string::npos && line.find('%') == std::string::npos)
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

TEST(ServerProcess, LogsWithTimesAndLevelsAndAnAccessLogReopenedOnHangup) {
    TTempDir dir;
    const std::string log = dir.File("server.log");
    const std::string access = dir.File("access.log");
    TServerProcess server({"--listen", "127.0.0.1:0", "--db", dir.File("scores.db"), "--log-file", log,
                           "--access-log", access});
    ASSERT_EQ(HttpRequest(server.Port(), "/healthz").Status, 200);
    // The line is written once the answer has gone, which the client may see first.
    for (int i = 0; i < 50 && ReadAll(access).empty(); ++i)
        std::this_thread::sleep_for(20ms);
    std::filesystem::rename(access, access + ".1");
    std::filesystem::rename(log, log + ".1");
    server.Signal(SIGHUP);
    std::string reopened;
    for (int i = 0; i < 50 && reopened.find("log files reopened") == std::string::npos; ++i) {
        std::this_thread::sleep_for(20ms);
        reopened = ReadAll(log);
    }
    EXPECT_NE(reopened.find(" info log files reopened\n"), std::string::npos) << reopened;
    ASSERT_EQ(
        HttpRequest(server.Port(), "/nothing?x=\"1\"", "GET", "X-Forwarded-For: 198.51.100.9\r\n").Status,
        404);
    for (int i = 0; i < 50 && ReadAll(access).empty(); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(server.Terminate(), 0);

    std::string first = ReadAll(access + ".1");
    EXPECT_NE(
        first.find("\"client\":\"127.0.0.1\",\"method\":\"GET\",\"target\":\"/healthz\",\"status\":200,"),
        std::string::npos)
        << first;
    std::string second = ReadAll(access);
    EXPECT_NE(second.find("\"target\":\"/nothing?x=\\\"1\\\"\",\"status\":404,"), std::string::npos)
        << second;
    EXPECT_EQ(second.find("/healthz"), std::string::npos) << "after the hangup, a new file";
    // Every line of the log: a UTC time to the millisecond, a level, the message.
    std::istringstream lines(ReadAll(log + ".1") + ReadAll(log));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_GT(line.size(), 26u) << line;
        EXPECT_EQ(line[4], '-');
        EXPECT_EQ(line[10], 'T');
        EXPECT_EQ(line.substr(23, 2), "Z ") << line;
        std::string level = line.substr(25, line.find(' ', 25) - 25);
        EXPECT_TRUE(level == "debug" || level == "info" || level == "warning" || level == "error") << line;
    }
    EXPECT_GE(count, 3) << "listening, reopened, stopped";
}

// The manual page names every option the program has, and reads as one.
TEST(ServerProcess, TheManualPageCoversEveryOption) {
    std::string page = ReadAll(SPRAYDASH_SOURCE_DIR "/packaging/spraydash-scores.8");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page.rfind(".TH SPRAYDASH-SCORES 8 ", 0), 0u);
    std::string help = RunScoresCommand("--help").second;
    std::size_t options = 0;
    for (std::size_t at = help.find("  --"); at != std::string::npos; at = help.find("  --", at + 1)) {
        std::size_t end = help.find_first_of(" =:", at + 4);
        std::string option = help.substr(at + 4, end - at - 4);
        if (option == "help")
            continue;
        // roff writes a hyphen in an option as "\-".
        std::string written = "\\-\\-";
        for (char c : option)
            written += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(page.find(written), std::string::npos) << "--" << option << " is not in the manual page";
        ++options;
    }
    EXPECT_GE(options, 15u);
    if (std::system("command -v man >/dev/null 2>&1") == 0) {
        auto [status, text] = RunCommand("MANWIDTH=80 man -l " SPRAYDASH_SOURCE_DIR
                                         "/packaging/spraydash-scores.8 2>&1 >/dev/null");
        EXPECT_EQ(status, 0);
        EXPECT_EQ(text, "") << "man finds fault with the page";
    }
}

TEST(ServerProcess, CommandLine) {
    auto [versionStatus, version] = RunScoresCommand("--version");
    EXPECT_EQ(versionStatus, 0);
    EXPECT_EQ(version.rfind("spraydash-scores ", 0), 0u) << version;
    auto [helpStatus, help] = RunScoresCommand("--help");
    EXPECT_EQ(helpStatus, 0);
    for (const char* option :
         {"--listen", "--db", "--rate-limit", "--trusted-proxy", "--score-ceiling", "--max-connections",
          "--max-connections-per-address", "--metrics-listen", "--request-timeout", "--idle-timeout",
          "--spool", "--spool-limit", "--log-level", "--log-file", "--access-log", "--version", "admin"})
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

// A server whose port (or metrics port) is taken says which address and stops before it has
// made a database or a spool in its place.
TEST(ServerProcess, APortTakenLeavesNoFilesBehind) {
    TTempDir dir;
    TServerProcess first({"--listen", "127.0.0.1:0", "--db", dir.File("first.db")});
    const std::string taken = "127.0.0.1:" + std::to_string(first.Port());
    for (const std::string& listen :
         {"--listen " + taken, "--listen 127.0.0.1:0 --metrics-listen " + taken}) {
        SCOPED_TRACE(listen);
        auto [status, out] = RunScoresCommand(listen + " --db " + dir.File("second.db"));
        EXPECT_EQ(status, 1);
        EXPECT_NE(out.find("cannot listen on " + taken), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(dir.File("second.db")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("second.db.spool")));
    }
}

} // namespace
