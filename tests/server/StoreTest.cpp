// The stores (a SQLite file, a PostgreSQL database), each held to the same cases: order and
// places, periods, resends, group commit, schema versions, changes made elsewhere.

#include "TestDatabase.h"
#include "server/store/PostgresStore.h"
#include "server/store/SqliteStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <future>
#include <thread>

namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kNow = 1772638220;

class TStoreFixture : public ::testing::Test {
  protected:
    // The store kind and, for SQLite, how short a period is read sorted.
    void Use(TStoreKind kind, std::int64_t sortAtMost = 20000) {
        m_kind = kind;
        m_sortAtMost = sortAtMost;
    }

    TTestDatabase& Db() {
        if (!m_db)
            m_db = std::make_unique<TTestDatabase>(m_kind);
        return *m_db;
    }

    std::unique_ptr<IScoreDatabase> Open() {
        if (m_kind == TStoreKind::Sqlite) {
            TSqliteOptions options;
            options.Path = Db().Target();
            options.SortAtMost = m_sortAtMost;
            return std::make_unique<TSqliteStore>(options);
        }
        TPostgresOptions options;
        options.Target = Db().Target();
        return std::make_unique<TPostgresStore>(options);
    }

    IScoreDatabase& Store() {
        if (!m_store)
            m_store = Open();
        return *m_store;
    }

    TSubmitOutcome Add(const std::string& name, std::int32_t score, std::int64_t received = kNow,
                       const std::string& client = "192.0.2.1", std::uint64_t digest = 0,
                       TEntryState state = TEntryState::Shown) {
        TNewScore s;
        s.Name = name;
        s.Score = score;
        s.Crew = "crew";
        s.Received = received;
        s.Client = client;
        s.Digest = digest ? digest : m_nextDigest++;
        s.State = state;
        s.ResendSince = received - 600;
        std::promise<TSubmitOutcome> done;
        Store().Submit(s, [&done](TSubmitOutcome o) { done.set_value(o); });
        return done.get_future().get();
    }

    std::vector<std::pair<std::int64_t, std::string>> Places(std::int64_t since = 0, std::int64_t offset = 0,
                                                             int limit = 100) {
        std::vector<std::pair<std::int64_t, std::string>> places;
        for (const TRankedEntry& e : Store().Top(since, offset, limit).Entries)
            places.emplace_back(e.Rank, e.Name);
        return places;
    }

    TStoreKind m_kind = TStoreKind::Sqlite;
    std::int64_t m_sortAtMost = 20000;
    std::unique_ptr<TTestDatabase> m_db;
    std::unique_ptr<IScoreDatabase> m_store;
    std::uint64_t m_nextDigest = 1;
};

class TStoreTest : public TStoreFixture, public ::testing::WithParamInterface<TStoreKind> {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_POSTGRES(GetParam());
        Use(GetParam());
    }
};

using TPlaces = std::vector<std::pair<std::int64_t, std::string>>;

// Both ways the file store reads the list (a period sorted along time, and walked along the
// places), and the database's own planner.
struct TReadPlan {
    TStoreKind Kind;
    std::int64_t SortAtMost;
    const char* Name;
};
void PrintTo(const TReadPlan& plan, std::ostream* out) {
    *out << plan.Name;
}

class TReadPlanTest : public TStoreFixture, public ::testing::WithParamInterface<TReadPlan> {
  protected:
    void SetUp() override {
        SKIP_WITHOUT_POSTGRES(GetParam().Kind);
        Use(GetParam().Kind, GetParam().SortAtMost);
    }
};

TEST_P(TReadPlanTest, TiesSharePlacesEvenAcrossPages) {
    Add("C", 300, kNow);
    Add("A", 500, kNow);
    Add("B1", 400, kNow);
    Add("B2", 400, kNow + 1); // the later of two equal scores comes second
    Add("D", -5, kNow);
    EXPECT_EQ(Places(), (TPlaces{{1, "A"}, {2, "B1"}, {2, "B2"}, {4, "C"}, {5, "D"}}));
    EXPECT_EQ(Places(0, 2, 2), (TPlaces{{2, "B2"}, {4, "C"}})) << "a page that starts inside a tie";
    EXPECT_EQ(Store().Top(0, 0, 2).Total, 5);
    EXPECT_TRUE(Store().Top(0, 10, 100).Entries.empty());

    EXPECT_EQ(Store().RankOf(1000, 0), 1);
    EXPECT_EQ(Store().RankOf(400, 0), 2) << "a tie takes the shared place";
    EXPECT_EQ(Store().RankOf(399, 0), 4);
    EXPECT_EQ(Store().RankOf(-1000, 0), 6);
}

TEST_P(TReadPlanTest, PeriodsAndStatesLimitTheList) {
    Add("old", 900, kNow - 40 * kDay);
    Add("week", 800, kNow - 2 * kDay);
    Add("today", 100, kNow);
    Add("held", 5000000, kNow, "192.0.2.1", 0, TEntryState::Held);
    EXPECT_EQ(Places(0), (TPlaces{{1, "old"}, {2, "week"}, {3, "today"}}));
    EXPECT_EQ(Places(kNow - 3 * kDay), (TPlaces{{1, "week"}, {2, "today"}}));
    EXPECT_EQ(Places(kNow - 100), (TPlaces{{1, "today"}}));
    EXPECT_EQ(Store().CountShown(kNow - 100), 1);
    EXPECT_EQ(Store().RankOf(150, kNow - 100), 1);

    std::vector<TStoredEntry> held = Store().List(TEntryState::Held, 0);
    ASSERT_EQ(held.size(), 1u);
    std::uint64_t before = Store().Generation();
    EXPECT_TRUE(Store().SetState(held[0].Id, TEntryState::Shown));
    EXPECT_NE(Store().Generation(), before) << "cached answers must be rebuilt";
    EXPECT_EQ(Places(kNow - 100), (TPlaces{{1, "held"}, {2, "today"}}));
    EXPECT_TRUE(Store().SetState(held[0].Id, TEntryState::Hidden));
    EXPECT_EQ(Places(kNow - 100), (TPlaces{{1, "today"}}));
    EXPECT_EQ(Store().CountShown(0), 3);
    EXPECT_TRUE(Store().Delete(held[0].Id));
    EXPECT_FALSE(Store().Delete(held[0].Id));
    EXPECT_EQ(Store().CountShown(0), 3);
    std::vector<TStoredEntry> all = Store().List(std::nullopt, 0);
    EXPECT_TRUE(Store().SetState(all.back().Id, TEntryState::Hidden));
    EXPECT_EQ(Store().CountShown(0), 2);
    EXPECT_EQ(Places(0), (TPlaces{{1, "week"}, {2, "today"}}));
    EXPECT_FALSE(Store().SetState(9999, TEntryState::Shown));
}

TEST_P(TStoreTest, AResendWithinTheWindowIsStoredOnce) {
    EXPECT_EQ(Add("Ann", 100, kNow, "192.0.2.1", 77), TSubmitOutcome::Stored);
    EXPECT_EQ(Add("Ann", 100, kNow + 599, "192.0.2.1", 77), TSubmitOutcome::Resent);
    EXPECT_EQ(Add("Ann", 100, kNow + 10, "192.0.2.2", 77), TSubmitOutcome::Stored) << "another sender";
    EXPECT_EQ(Add("Ann", 101, kNow + 10, "192.0.2.1", 78), TSubmitOutcome::Stored) << "another result";
    EXPECT_EQ(Add("Ann", 100, kNow + 601, "192.0.2.1", 77), TSubmitOutcome::Stored) << "after the window";
    EXPECT_EQ(Store().CountShown(0), 4);
}

TEST_P(TStoreTest, WaitingSubmissionsShareACommit) {
    constexpr int kSubmissions = 200;
    std::vector<std::promise<TSubmitOutcome>> done(kSubmissions);
    for (int i = 0; i < kSubmissions; ++i) {
        TNewScore s;
        s.Name = "P" + std::to_string(i);
        s.Score = i;
        s.Received = kNow;
        s.Client = "192.0.2.1";
        s.Digest = static_cast<std::uint64_t>(i + 1);
        Store().Submit(s, [&done, i](TSubmitOutcome o) { done[static_cast<std::size_t>(i)].set_value(o); });
    }
    for (auto& d : done)
        EXPECT_EQ(d.get_future().get(), TSubmitOutcome::Stored);
    EXPECT_EQ(Store().CountShown(0), kSubmissions);
    EXPECT_LT(Store().CommittedBatches(), static_cast<std::uint64_t>(kSubmissions) / 4);
}

TEST_P(TStoreTest, QueuedSubmissionsAreCommittedWhenTheStoreCloses) {
    std::atomic<int> stored{0};
    for (int i = 0; i < 50; ++i) {
        TNewScore s;
        s.Name = "Q";
        s.Received = kNow;
        s.Digest = static_cast<std::uint64_t>(i + 1);
        Store().Submit(s, [&stored](TSubmitOutcome o) { stored += o == TSubmitOutcome::Stored; });
    }
    m_store.reset();
    EXPECT_EQ(stored.load(), 50);
    EXPECT_EQ(Store().CountShown(0), 50);
}

TEST_P(TStoreTest, TextsAreKeptExactly) {
    Add("<b>&\"'|=", 1);
    Add("\xc3\xa9\xe2\x82\xac", 2);
    Add("", 3);
    EXPECT_EQ(Places(), (TPlaces{{1, ""}, {2, "\xc3\xa9\xe2\x82\xac"}, {3, "<b>&\"'|="}}));
}

TEST_P(TStoreTest, ChangesByAnotherProcessAreNoticed) {
    Add("A", 1);
    std::uint64_t before = Store().Generation();
    Db().Exec("UPDATE scores SET state = 2");
    bool noticed = false;
    for (int i = 0; i < 40 && !noticed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        noticed = Store().Generation() != before;
    }
    EXPECT_TRUE(noticed) << "an operator's change reaches the cached pages within a second or two";
    EXPECT_EQ(Store().CountShown(0), 0);
}

TEST_P(TStoreTest, SchemaVersions) {
    Add("kept", 5);
    m_store.reset();
    EXPECT_EQ(Store().CountShown(0), 1) << "reopening keeps the data";
    m_store.reset();

    Db().SetSchemaVersion(99);
    try {
        Open();
        FAIL() << "a schema newer than the program's was opened";
    } catch (const EStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("version 99"), std::string::npos) << e.what();
    }
}

TEST_P(TStoreTest, TheOperatorsViewAndChanges) {
    Add("first", 10, kNow, "192.0.2.7");
    Add("held", 5000000, kNow + 1, "192.0.2.8", 0, TEntryState::Held);
    Add("third", 30, kNow + 2);
    std::vector<TStoredEntry> all = Store().List(std::nullopt, 0);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].Name, "third") << "newest first";
    EXPECT_EQ(all[2].Client, "192.0.2.7");
    EXPECT_EQ(all[1].State, TEntryState::Held);
    EXPECT_EQ(Store().List(std::nullopt, 2).size(), 2u);
    EXPECT_EQ(Store().List(TEntryState::Hidden, 0).size(), 0u);

    std::vector<std::string> visited;
    Store().ForEachEntry([&visited](const TStoredEntry& e) { visited.push_back(e.Name); });
    EXPECT_EQ(visited, (std::vector<std::string>{"first", "held", "third"})) << "oldest first";
}

INSTANTIATE_TEST_SUITE_P(Stores, TStoreTest, ::testing::Values(TStoreKind::Sqlite, TStoreKind::Postgres),
                         StoreKindName);

INSTANTIATE_TEST_SUITE_P(ReadPlans, TReadPlanTest,
                         ::testing::Values(TReadPlan{TStoreKind::Sqlite, 20000, "SqliteSorted"},
                                           TReadPlan{TStoreKind::Sqlite, 0, "SqliteWalked"},
                                           TReadPlan{TStoreKind::Postgres, 0, "Postgres"}),
                         [](const ::testing::TestParamInfo<TReadPlan>& info) {
                             return std::string(info.param.Name);
                         });

// What only a file has: its format across versions, and files that are something else.
class TSqliteFileTest : public TStoreFixture {};

TEST_F(TSqliteFileTest, AFileOfTheFirstVersionIsBroughtForward) {
    // The first schema, as the first released server wrote it.
    Db().Exec(R"sql(
        CREATE TABLE scores (id INTEGER PRIMARY KEY, name TEXT NOT NULL, score INTEGER NOT NULL,
            crew TEXT NOT NULL, received INTEGER NOT NULL, client TEXT NOT NULL, digest INTEGER NOT NULL,
            state INTEGER NOT NULL DEFAULT 0 CHECK (state IN (0, 1, 2)));
        CREATE INDEX scores_by_place ON scores (state, score DESC, received);
        CREATE INDEX scores_by_digest ON scores (digest);
        INSERT INTO scores (name, score, crew, received, client, digest, state) VALUES
            ('A', 10, '', 1772638220, 'x', 1, 0), ('B', 30, '', 1772638220, 'x', 2, 0),
            ('C', 20, '', 1772638220, 'x', 3, 1);
        PRAGMA user_version = 1;)sql");

    EXPECT_EQ(Store().CountShown(0), 2);
    EXPECT_EQ(Places(0), (TPlaces{{1, "B"}, {2, "A"}}));
    for (const TRankedEntry& e : Store().Top(0, 0, 10).Entries) {
        EXPECT_EQ(e.Verification, TVerification::Unverified) << e.Name << ": no replay has come for it";
        EXPECT_EQ(e.ReplayId, "");
    }
    Add("D", 5);
    EXPECT_EQ(Store().CountShown(0), 3);
    EXPECT_EQ(Store().List(std::nullopt, 0).size(), 4u);
    m_store.reset();
    EXPECT_EQ(Db().Exec("PRAGMA user_version"), std::to_string(TSqliteStore::LatestSchemaVersion()));
}

TEST_F(TSqliteFileTest, ServersStartingTogetherOnANewFileAllStart) {
    constexpr int kTrials = 20;
    constexpr int kServers = 4;
    for (int trial = 0; trial < kTrials; ++trial) {
        const std::string path = Db().Dir().File("new" + std::to_string(trial) + ".db");
        std::atomic<int> ready{0};
        std::vector<std::string> failures(kServers);
        std::vector<std::thread> servers;
        for (int i = 0; i < kServers; ++i) {
            servers.emplace_back([&, i] {
                ++ready;
                while (ready.load() < kServers)
                    std::this_thread::yield();
                try {
                    TSqliteOptions options;
                    options.Path = path;
                    options.ReadConnections = 1;
                    TSqliteStore store(options);
                } catch (const std::exception& e) {
                    failures[static_cast<std::size_t>(i)] = e.what();
                }
            });
        }
        for (auto& t : servers)
            t.join();
        for (const std::string& failure : failures)
            EXPECT_EQ(failure, "") << "trial " << trial;
    }
}

TEST_F(TSqliteFileTest, AFileThatIsNoDatabaseIsNamed) {
    const std::string path = Db().Dir().File("notes.txt");
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fputs("these are not the scores you are looking for, not by a long way at all\n", f);
        std::fclose(f);
    }
    TSqliteOptions options;
    options.Path = path;
    try {
        TSqliteStore store(options);
        FAIL() << "a text file was opened as the database";
    } catch (const EStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("notes.txt"), std::string::npos) << e.what();
    }
}

TEST_F(TSqliteFileTest, TheLogStaysSmallUnderSteadyReading) {
    // Readers always in the middle of a page keep the log from starting again by itself.
    Store();
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i)
        readers.emplace_back([&] {
            while (!stop)
                Store().Top(0, 0, 100);
        });
    constexpr int kBatches = 600;
    constexpr int kPerBatch = 50;
    for (int b = 0; b < kBatches; ++b) {
        std::vector<std::promise<TSubmitOutcome>> done(kPerBatch);
        for (int i = 0; i < kPerBatch; ++i) {
            TNewScore s;
            s.Name = "P" + std::to_string(b * kPerBatch + i);
            s.Score = (b * 7919 + i * 104729) % 100000;
            s.Received = kNow;
            s.Digest = m_nextDigest++;
            Store().Submit(s,
                           [&done, i](TSubmitOutcome o) { done[static_cast<std::size_t>(i)].set_value(o); });
        }
        for (auto& d : done)
            ASSERT_EQ(d.get_future().get(), TSubmitOutcome::Stored);
    }
    stop = true;
    for (auto& t : readers)
        t.join();
    auto log = std::filesystem::file_size(Db().Target() + "-wal");
    std::printf("write-ahead log after %d batches under steady reading: %.1f MB\n", kBatches, log / 1e6);
    EXPECT_LT(log, 8u * 1000 * 1000) << "about 4 MB between checkpoints";
    EXPECT_EQ(Store().CountShown(0), kBatches * kPerBatch);
}

} // namespace
