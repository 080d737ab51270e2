#include "server/store/SqliteStore.h"
#include "server/Log.h"

#include "server/store/SqliteDb.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <thread>

namespace {

constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
constexpr std::chrono::milliseconds kPollInterval{500};
// The write-ahead log is copied into the file and started again from its beginning once it holds
// this many pages (SQLite's own automatic checkpoint does the copying at the same size, but
// cannot start the log again while readers keep coming, so under steady reading the log would
// grow without end), and is cut back to this size when started again.
constexpr int kCheckpointPages = 1000;
constexpr std::int64_t kWalSizeLimit = 16 * 1024 * 1024;
constexpr int kStartAttempts = 50;
constexpr std::chrono::milliseconds kStartRetry{100};

// Each step brings the schema from version (index) to version (index + 1). Steps are only ever
// appended: a file written by an older server is brought forward when a newer one opens it.
constexpr std::array<std::string_view, 3> kMigrations = {
    R"sql(
CREATE TABLE scores (
    id       INTEGER PRIMARY KEY,
    name     TEXT    NOT NULL,
    score    INTEGER NOT NULL,
    crew     TEXT    NOT NULL,
    received INTEGER NOT NULL,           -- Unix seconds, UTC
    client   TEXT    NOT NULL,           -- the sender's address
    digest   INTEGER NOT NULL,           -- fingerprint of the result as sent, for resends
    state    INTEGER NOT NULL DEFAULT 0  -- 0 shown, 1 held for approval, 2 hidden
             CHECK (state IN (0, 1, 2))
);
-- The list's order (equal scores: earlier first), and its counts without touching the table.
CREATE INDEX scores_by_place ON scores (state, score DESC, received);
CREATE INDEX scores_by_digest ON scores (digest);
)sql",
    R"sql(
-- Lists of one day, week or month: their entries without walking the whole list.
CREATE INDEX scores_by_time ON scores (state, received);
-- Entries per state, kept by triggers, so the size of the whole list costs no count.
CREATE TABLE score_counts (
    state   INTEGER PRIMARY KEY,
    entries INTEGER NOT NULL
);
INSERT INTO score_counts (state, entries) SELECT state, count(*) FROM scores GROUP BY state;
CREATE TRIGGER scores_counted_on_insert AFTER INSERT ON scores BEGIN
    INSERT INTO score_counts (state, entries) VALUES (NEW.state, 1)
        ON CONFLICT (state) DO UPDATE SET entries = entries + 1;
END;
CREATE TRIGGER scores_counted_on_delete AFTER DELETE ON scores BEGIN
    UPDATE score_counts SET entries = entries - 1 WHERE state = OLD.state;
END;
CREATE TRIGGER scores_counted_on_update AFTER UPDATE OF state ON scores WHEN OLD.state <> NEW.state BEGIN
    UPDATE score_counts SET entries = entries - 1 WHERE state = OLD.state;
    INSERT INTO score_counts (state, entries) VALUES (NEW.state, 1)
        ON CONFLICT (state) DO UPDATE SET entries = entries + 1;
END;
)sql",
    R"sql(
-- Replays: every upload kept with its bytes, and each entry marked by what its replay showed.
ALTER TABLE scores ADD COLUMN verified INTEGER NOT NULL DEFAULT 0  -- 0 none yet, 1 verified, 2 failed
    CHECK (verified IN (0, 1, 2));
ALTER TABLE scores ADD COLUMN replay TEXT;                          -- the replay that verified it
CREATE INDEX scores_verified_by_place ON scores (verified, state, score DESC, received);
CREATE INDEX scores_by_sender ON scores (client, name, score);
CREATE TABLE replays (
    id           TEXT    PRIMARY KEY,       -- hash of the bytes, lowercase hex
    race_key     TEXT    NOT NULL,          -- the race's identity: seed, boat, data, inputs
    bytes        BLOB    NOT NULL,
    client       TEXT    NOT NULL,
    received     INTEGER NOT NULL,
    name         TEXT    NOT NULL,
    score        INTEGER NOT NULL,
    crew         TEXT    NOT NULL,
    game_version TEXT    NOT NULL,
    data_hash    TEXT    NOT NULL,
    status       INTEGER NOT NULL           -- 0 queued, 1 verified, 2 failed, 3 copy, 4 other version
                 CHECK (status BETWEEN 0 AND 4),
    reason       TEXT    NOT NULL DEFAULT '',
    entry        INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX replays_by_race ON replays (race_key, status);
CREATE INDEX replays_by_status ON replays (status, received);
)sql",
};

// The list is read along one of two indexes, chosen for the period rather than left to the
// planner (which, without statistics, would sort the whole list for every page): along the
// places for the whole list and long periods, along time (then sorted) for short ones.
constexpr std::string_view kTopWalkSql = "SELECT name, score, crew, received, verified, coalesce(replay, '') "
                                         "FROM scores INDEXED BY scores_by_place "
                                         "WHERE state = 0 AND received >= ?1 "
                                         "ORDER BY score DESC, received, id LIMIT ?2 OFFSET ?3";
constexpr std::string_view kTopSortSql = "SELECT name, score, crew, received, verified, coalesce(replay, '') "
                                         "FROM scores INDEXED BY scores_by_time "
                                         "WHERE state = 0 AND received >= ?1 "
                                         "ORDER BY score DESC, received, id LIMIT ?2 OFFSET ?3";
constexpr std::string_view kHigherWalkSql = "SELECT count(*) FROM scores INDEXED BY scores_by_place WHERE "
                                            "state = 0 AND score > ?2 AND received >= ?1";
constexpr std::string_view kHigherSortSql =
    "SELECT count(*) FROM scores INDEXED BY scores_by_time WHERE state = 0 AND received >= ?1 AND score > ?2";
constexpr std::string_view kCountAllSql =
    "SELECT coalesce((SELECT entries FROM score_counts WHERE state = 0), 0)";
constexpr std::string_view kCountSinceSql =
    "SELECT count(*) FROM scores INDEXED BY scores_by_time WHERE state = 0 AND received >= ?1";
constexpr std::string_view kEntryColumns =
    "SELECT id, name, score, crew, received, client, state, digest FROM scores ";
constexpr std::string_view kResendSql =
    "SELECT 1 FROM scores WHERE digest = ?1 AND client = ?2 AND received >= ?3 LIMIT 1";
// An imported entry already stored: found through the fingerprint's index.
constexpr std::string_view kHeldSql =
    "SELECT 1 FROM scores WHERE digest = ?1 AND client = ?2 AND received = ?3 "
    "AND name = ?4 AND score = ?5 AND crew = ?6 LIMIT 1";
constexpr std::string_view kInsertSql =
    "INSERT INTO scores (name, score, crew, received, client, digest, state) "
    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)";

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TStoredEntry ReadEntry(const TSqliteStatement& row) {
    TStoredEntry e;
    e.Id = row.Int(0);
    e.Name = row.Text(1);
    e.Score = static_cast<std::int32_t>(row.Int(2));
    e.Crew = row.Text(3);
    e.Received = row.Int(4);
    e.Client = row.Text(5);
    e.State = static_cast<TEntryState>(row.Int(6));
    e.Digest = static_cast<std::uint64_t>(row.Int(7));
    return e;
}

void Migrate(TSqliteDb& db) {
    // The version is read inside the writing transaction: servers starting together on a new
    // file take turns, and each finds what the one before it did.
    db.Exec("BEGIN IMMEDIATE");
    try {
        std::int64_t version = db.QueryInt("PRAGMA user_version");
        if (version > static_cast<std::int64_t>(kMigrations.size()))
            throw EStoreError(db.Path() + ": the schema is version " + std::to_string(version) +
                              ", newer than this program's " + std::to_string(kMigrations.size()) +
                              "; use a newer spraydash-scores");
        for (auto step = static_cast<std::size_t>(version); step < kMigrations.size(); ++step)
            db.Exec(kMigrations[step]);
        if (version < static_cast<std::int64_t>(kMigrations.size()))
            db.Exec("PRAGMA user_version = " + std::to_string(kMigrations.size()));
        db.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

class TReadTransaction {
  public:
    explicit TReadTransaction(TSqliteDb& db) : m_db(db) { m_db.Exec("BEGIN"); }
    ~TReadTransaction() { sqlite3_exec(m_db.Handle(), "COMMIT", nullptr, nullptr, nullptr); }
    TReadTransaction(const TReadTransaction&) = delete;
    TReadTransaction& operator=(const TReadTransaction&) = delete;

  private:
    TSqliteDb& m_db;
};

} // namespace

struct TSqliteStore::TReader {
    TReader(const std::string& path, std::int64_t sortAtMost)
        : SortAtMost(sortAtMost), Db(path, kOpenFlags), TopWalk(Db, kTopWalkSql), TopSort(Db, kTopSortSql),
          HigherWalk(Db, kHigherWalkSql), HigherSort(Db, kHigherSortSql), CountAll(Db, kCountAllSql),
          CountSince(Db, kCountSinceSql) {
        Db.Exec("PRAGMA synchronous = FULL");
    }

    // Shown entries received at or after since.
    std::int64_t Count(std::int64_t since) {
        TStatementUse count(since <= 0 ? CountAll : CountSince);
        if (since > 0)
            count->Bind(1, since);
        return count->Step() ? count->Int(0) : 0;
    }

    // A short period is cheaper sorted; the whole list and long periods are walked in order.
    bool Sorted(std::int64_t since, std::int64_t entries) const { return since > 0 && entries <= SortAtMost; }
    TSqliteStatement& Rows(std::int64_t since, std::int64_t entries) {
        return Sorted(since, entries) ? TopSort : TopWalk;
    }
    TSqliteStatement& Higher(std::int64_t since, std::int64_t entries) {
        return Sorted(since, entries) ? HigherSort : HigherWalk;
    }

    std::int64_t CountHigher(std::int64_t since, std::int64_t entries, std::int32_t score) {
        TStatementUse higher(Higher(since, entries));
        higher->Bind(1, since).Bind(2, std::int64_t{score});
        return higher->Step() ? higher->Int(0) : 0;
    }

    std::int64_t SortAtMost;
    TSqliteDb Db;
    TSqliteStatement TopWalk, TopSort;
    TSqliteStatement HigherWalk, HigherSort;
    TSqliteStatement CountAll, CountSince;
};

class TSqliteStore::TLease {
  public:
    TLease(TSqliteStore& store, std::unique_ptr<TReader> reader)
        : m_store(store), m_reader(std::move(reader)) {}
    ~TLease() { m_store.Return(std::move(m_reader)); }
    TLease(const TLease&) = delete;
    TLease& operator=(const TLease&) = delete;
    TReader* operator->() { return m_reader.get(); }

  private:
    TSqliteStore& m_store;
    std::unique_ptr<TReader> m_reader;
};

int TSqliteStore::LatestSchemaVersion() {
    return static_cast<int>(kMigrations.size());
}

TSqliteStore::TSqliteStore(TSqliteOptions options) : m_options(std::move(options)) {
    try {
        m_writerDb = std::make_unique<TSqliteDb>(m_options.Path, kOpenFlags | SQLITE_OPEN_CREATE);
        // Servers starting together on a new file may find it busy where SQLite does not wait
        // (turning on the write-ahead log while another does the same): a moment later it is not.
        for (int attempt = 1;; ++attempt) {
            try {
                // Readers keep reading while the writer commits; every commit is synced first.
                m_writerDb->Exec("PRAGMA journal_mode = WAL");
                m_writerDb->Exec("PRAGMA synchronous = FULL");
                m_writerDb->Exec("PRAGMA journal_size_limit = " + std::to_string(kWalSizeLimit));
                Migrate(*m_writerDb);
                break;
            } catch (const EStoreUnavailable&) {
                if ((sqlite3_errcode(m_writerDb->Handle()) & 0xFF) != SQLITE_BUSY ||
                    attempt >= kStartAttempts)
                    throw;
                std::this_thread::sleep_for(kStartRetry);
            }
        }
        for (int i = 0; i < std::max(1, m_options.ReadConnections); ++i)
            m_readers.push_back(std::make_unique<TReader>(m_options.Path, m_options.SortAtMost));
        m_pollDb = std::make_unique<TSqliteDb>(m_options.Path, kOpenFlags);
        m_replayDb = std::make_unique<TSqliteDb>(m_options.Path, kOpenFlags);
        m_replayDb->Exec("PRAGMA synchronous = FULL");
        m_lastDataVersion = m_pollDb->QueryInt("PRAGMA data_version");
    } catch (const EStoreUnavailable& e) {
        throw EStoreError(e.what());
    }
    if (m_options.Writer) {
        // The writer checkpoints itself (after answering a batch, not inside its commit).
        sqlite3_wal_hook(
            m_writerDb->Handle(),
            [](void* pages, sqlite3*, const char*, int walPages) {
                *static_cast<int*>(pages) = walPages;
                return SQLITE_OK;
            },
            &m_walPages);
        m_writer = std::make_unique<TGroupCommit>(
            m_options.MaxBatch, [this](std::vector<TPending>& batch) { CommitBatch(batch); },
            [this] {
                if (m_walPages >= kCheckpointPages)
                    Checkpoint();
            });
    }
}

TSqliteStore::~TSqliteStore() {
    m_writer.reset(); // commits what is still queued while the connections are still open
}

void TSqliteStore::Submit(TNewScore score, std::function<void(TSubmitOutcome)> done) {
    if (m_writer)
        m_writer->Submit(std::move(score), std::move(done));
    else
        done(TSubmitOutcome::Failed);
}

void TSqliteStore::CommitBatch(std::vector<TPending>& batch) {
    std::vector<TSubmitOutcome> outcomes(batch.size(), TSubmitOutcome::Failed);
    bool inserted = false;
    TSqliteDb& db = *m_writerDb;
    try {
        // Prepared per batch: a failed batch leaves nothing half-used behind for the next.
        TSqliteStatement resend(db, kResendSql);
        TSqliteStatement insert(db, kInsertSql);
        db.Exec("BEGIN IMMEDIATE");
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const TNewScore& s = batch[i].Score;
            auto digest = static_cast<std::int64_t>(s.Digest);
            resend.Bind(1, digest).Bind(2, s.Client).Bind(3, s.ResendSince);
            bool isResend = resend.Step();
            resend.Reset();
            if (isResend) {
                outcomes[i] = TSubmitOutcome::Resent;
                continue;
            }
            insert.Bind(1, s.Name).Bind(2, std::int64_t{s.Score}).Bind(3, s.Crew).Bind(4, s.Received);
            insert.Bind(5, s.Client).Bind(6, digest).Bind(7, static_cast<std::int64_t>(s.State));
            insert.Step();
            insert.Reset();
            outcomes[i] = TSubmitOutcome::Stored;
            inserted = true;
        }
        db.Exec("COMMIT");
        m_batches.fetch_add(1);
        WritesWork(m_writesFailing);
    } catch (const std::exception& e) {
        m_failureLog.Write(NotWritten(batch.size(), e.what()));
        m_writesFailing = true;
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        outcomes.assign(batch.size(), TSubmitOutcome::Failed);
        inserted = false;
    }
    if (inserted)
        m_localChanges.fetch_add(1);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        try {
            batch[i].Done(outcomes[i]);
        } catch (const std::exception& e) {
            Log(TLogLevel::Error, std::string("answering a submission failed: ") + e.what());
        }
    }
}

void TSqliteStore::Checkpoint() {
    // Waits (a moment: readers here are short) for the readers still using the log's older
    // pages, so the next commit writes the log from its beginning. Another process holding the
    // file may keep it busy: then the pages are copied at least, and the next batch tries again.
    int rc =
        sqlite3_wal_checkpoint_v2(m_writerDb->Handle(), nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
    if (rc == SQLITE_BUSY)
        rc = sqlite3_wal_checkpoint_v2(m_writerDb->Handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                       nullptr);
    if (rc == SQLITE_OK)
        m_walPages = 0;
    else
        m_failureLog.Write(m_options.Path + ": checkpoint failed: " + sqlite3_errmsg(m_writerDb->Handle()));
}

TSqliteStore::TLease TSqliteStore::Lease() {
    std::unique_lock lock(m_readersMutex);
    m_readerFree.wait(lock, [this] { return !m_readers.empty(); });
    std::unique_ptr<TReader> reader = std::move(m_readers.back());
    m_readers.pop_back();
    return TLease(*this, std::move(reader));
}

void TSqliteStore::Return(std::unique_ptr<TReader> reader) {
    {
        std::lock_guard lock(m_readersMutex);
        m_readers.push_back(std::move(reader));
    }
    m_readerFree.notify_one();
}

TRankedEntry TSqliteStore::RankedEntry(const TSqliteStatement& row, int first) {
    TRankedEntry e;
    e.Name = row.Text(first);
    e.Score = static_cast<std::int32_t>(row.Int(first + 1));
    e.Crew = row.Text(first + 2);
    e.Received = row.Int(first + 3);
    e.Verification = static_cast<TVerification>(row.Int(first + 4));
    e.ReplayId = row.Text(first + 5);
    return e;
}

TScorePage TSqliteStore::Top(std::int64_t since, std::int64_t offset, int limit) {
    TLease reader = Lease();
    // One snapshot for the rows, the total and the places, whatever commits meanwhile.
    TReadTransaction snapshot(reader->Db);
    TScorePage page;
    page.Total = reader->Count(since);
    {
        TStatementUse rows(reader->Rows(since, page.Total));
        rows->Bind(1, since).Bind(2, std::int64_t{limit}).Bind(3, offset);
        while (rows->Step()) {
            page.Entries.push_back(RankedEntry(*rows, 0));
        }
    }
    if (page.Entries.empty())
        return page;
    // A place is one more than the number of better scores; only the first row needs counting,
    // as every later row either ties with the one above or sits at its own position.
    page.Entries.front().Rank = 1 + reader->CountHigher(since, page.Total, page.Entries.front().Score);
    for (std::size_t i = 1; i < page.Entries.size(); ++i) {
        page.Entries[i].Rank = page.Entries[i].Score == page.Entries[i - 1].Score
                                   ? page.Entries[i - 1].Rank
                                   : offset + static_cast<std::int64_t>(i) + 1;
    }
    return page;
}

std::int64_t TSqliteStore::RankOf(std::int32_t score, std::int64_t since) {
    TLease reader = Lease();
    TReadTransaction snapshot(reader->Db);
    return 1 + reader->CountHigher(since, reader->Count(since), score);
}

std::optional<std::vector<TListKey>> TSqliteStore::ListKeys(std::int64_t since) {
    TLease reader = Lease();
    TReadTransaction snapshot(reader->Db);
    std::int64_t count = reader->Count(since);
    TSqliteStatement rows(
        reader->Db, std::string(reader->Sorted(since, count)
                                    ? "SELECT score, received, id FROM scores INDEXED BY scores_by_time "
                                    : "SELECT score, received, id FROM scores INDEXED BY scores_by_place ") +
                        "WHERE state = 0 AND received >= ?1 ORDER BY score DESC, received, id");
    rows.Bind(1, since);
    std::vector<TListKey> keys;
    keys.reserve(static_cast<std::size_t>(count));
    while (rows.Step())
        keys.push_back({static_cast<std::int32_t>(rows.Int(0)), rows.Int(1), rows.Int(2)});
    return keys;
}

std::vector<TRankedEntry> TSqliteStore::ShownEntries(const std::vector<std::int64_t>& ids) {
    TLease reader = Lease();
    TSqliteStatement row(reader->Db,
                         "SELECT id, name, score, crew, received, verified, coalesce(replay, '') FROM scores "
                         "WHERE id = ?1 AND state = 0");
    std::vector<TRankedEntry> entries;
    entries.reserve(ids.size());
    TReadTransaction snapshot(reader->Db);
    for (std::int64_t id : ids) {
        row.Bind(1, id);
        if (row.Step()) {
            TRankedEntry e = RankedEntry(row, 1);
            e.Id = row.Int(0);
            entries.push_back(std::move(e));
        }
        row.Reset();
    }
    return entries;
}

std::vector<TRankedEntry> TSqliteStore::FindByName(std::int64_t since, const std::string& text, int limit) {
    TLease reader = Lease();
    TSqliteStatement rows(reader->Db,
                          "SELECT id, name, score, crew, received, verified, coalesce(replay, '') "
                          "FROM scores INDEXED BY scores_by_place "
                          "WHERE state = 0 AND received >= ?1 AND instr(lower(name), lower(?2)) > 0 "
                          "ORDER BY score DESC, received, id LIMIT ?3");
    rows.Bind(1, since).Bind(2, text).Bind(3, std::int64_t{limit});
    std::vector<TRankedEntry> entries;
    while (rows.Step()) {
        TRankedEntry e = RankedEntry(rows, 1);
        e.Id = rows.Int(0);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::int64_t TSqliteStore::CountShown(std::int64_t since) {
    TLease reader = Lease();
    return reader->Count(since);
}

std::uint64_t TSqliteStore::Generation() {
    std::int64_t now = SteadyMs();
    if (now >= m_nextPollMs.load(std::memory_order_relaxed)) {
        std::unique_lock lock(m_pollMutex, std::try_to_lock);
        if (lock.owns_lock() && now >= m_nextPollMs.load()) {
            m_nextPollMs.store(now + kPollInterval.count());
            try {
                std::int64_t version = m_pollDb->QueryInt("PRAGMA data_version");
                if (version != m_lastDataVersion) {
                    m_lastDataVersion = version;
                    m_externalChanges.fetch_add(1);
                }
            } catch (const EStoreUnavailable&) {
                m_externalChanges.fetch_add(1); // cannot tell: assume it changed
            }
        }
    }
    return m_localChanges.load() + m_externalChanges.load();
}

bool TSqliteStore::Healthy() {
    try {
        TLease reader = Lease();
        reader->Db.QueryInt("SELECT count(*) FROM sqlite_schema");
        return true;
    } catch (const EStoreUnavailable&) {
        return false;
    }
}

std::vector<TStoredEntry> TSqliteStore::List(std::optional<TEntryState> state, std::int64_t limit) {
    TLease reader = Lease();
    TSqliteStatement rows(reader->Db, std::string(kEntryColumns) +
                                          "WHERE ?1 < 0 OR state = ?1 ORDER BY id DESC LIMIT ?2");
    rows.Bind(1, state ? static_cast<std::int64_t>(*state) : -1).Bind(2, limit > 0 ? limit : -1);
    std::vector<TStoredEntry> entries;
    while (rows.Step())
        entries.push_back(ReadEntry(rows));
    return entries;
}

bool TSqliteStore::SetState(std::int64_t id, TEntryState state) {
    TLease reader = Lease();
    TSqliteStatement update(reader->Db, "UPDATE scores SET state = ?1 WHERE id = ?2");
    update.Bind(1, static_cast<std::int64_t>(state)).Bind(2, id).Step();
    bool changed = sqlite3_changes(reader->Db.Handle()) > 0;
    m_localChanges.fetch_add(1);
    return changed;
}

bool TSqliteStore::Delete(std::int64_t id) {
    TLease reader = Lease();
    TSqliteStatement remove(reader->Db, "DELETE FROM scores WHERE id = ?1");
    remove.Bind(1, id).Step();
    bool changed = sqlite3_changes(reader->Db.Handle()) > 0;
    m_localChanges.fetch_add(1);
    return changed;
}

void TSqliteStore::ForEachEntry(const std::function<void(const TStoredEntry&)>& visit) {
    TLease reader = Lease();
    TSqliteStatement rows(reader->Db, std::string(kEntryColumns) + "ORDER BY id");
    while (rows.Step())
        visit(ReadEntry(rows));
}

std::size_t TSqliteStore::Import(const std::vector<TStoredEntry>& entries) {
    TLease reader = Lease();
    TSqliteDb& db = reader->Db;
    TSqliteStatement held(db, kHeldSql);
    TSqliteStatement insert(db, kInsertSql);
    std::size_t added = 0;
    db.Exec("BEGIN IMMEDIATE");
    try {
        for (const TStoredEntry& e : entries) {
            held.Bind(1, static_cast<std::int64_t>(e.Digest)).Bind(2, e.Client).Bind(3, e.Received);
            held.Bind(4, e.Name).Bind(5, std::int64_t{e.Score}).Bind(6, e.Crew);
            const bool there = held.Step();
            held.Reset();
            if (there)
                continue;
            insert.Bind(1, e.Name).Bind(2, std::int64_t{e.Score}).Bind(3, e.Crew).Bind(4, e.Received);
            insert.Bind(5, e.Client).Bind(6, static_cast<std::int64_t>(e.Digest));
            insert.Bind(7, static_cast<std::int64_t>(e.State));
            insert.Step();
            insert.Reset();
            ++added;
        }
        db.Exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    m_localChanges.fetch_add(1);
    return added;
}

TStoreFigures TSqliteStore::Figures() {
    TStoreFigures figures = m_writer ? m_writer->Figures() : TStoreFigures{};
    try {
        TLease reader = Lease();
        figures.HeldEntries =
            reader->Db.QueryInt("SELECT coalesce((SELECT entries FROM score_counts WHERE state = 1), 0)");
    } catch (const EStoreUnavailable&) {
    }
    return figures;
}
