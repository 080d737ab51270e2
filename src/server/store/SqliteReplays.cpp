// The replays of a SQLite store, and the entries they verify.
#include "server/store/SqliteDb.h"
#include "server/store/SqliteStore.h"

#include <sqlite3.h>

namespace {

constexpr std::string_view kReplayColumns = "SELECT id, race_key, client, received, name, score, crew, "
                                            "game_version, data_hash, status, reason, entry FROM replays ";

TReplayRecord ReadReplay(const TSqliteStatement& row) {
    TReplayRecord r;
    r.Id = row.Text(0);
    r.RaceKey = row.Text(1);
    r.Client = row.Text(2);
    r.Received = row.Int(3);
    r.Name = row.Text(4);
    r.Score = static_cast<std::int32_t>(row.Int(5));
    r.Crew = row.Text(6);
    r.GameVersion = row.Text(7);
    r.DataHash = row.Text(8);
    r.Status = static_cast<TReplayStatus>(row.Int(9));
    r.Reason = row.Text(10);
    r.EntryId = row.Int(11);
    return r;
}

std::optional<TReplayRecord> Find(TSqliteDb& db, const std::string& id) {
    TSqliteStatement row(db, std::string(kReplayColumns) + "WHERE id = ?1");
    row.Bind(1, id);
    if (!row.Step())
        return std::nullopt;
    return ReadReplay(row);
}

// A write transaction that is rolled back unless committed.
class TWriteTransaction {
  public:
    explicit TWriteTransaction(TSqliteDb& db) : m_db(db) { m_db.Exec("BEGIN IMMEDIATE"); }
    ~TWriteTransaction() {
        if (!m_done)
            sqlite3_exec(m_db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    TWriteTransaction(const TWriteTransaction&) = delete;
    TWriteTransaction& operator=(const TWriteTransaction&) = delete;
    void Commit() {
        m_db.Exec("COMMIT");
        m_done = true;
    }

  private:
    TSqliteDb& m_db;
    bool m_done = false;
};

// The entry a replay stands for: the same sender's, with its name, score and crew, received in the
// window and not verified yet; the one received nearest the upload when there are several.
std::int64_t MatchingEntry(TSqliteDb& db, const TReplayRecord& replay, const TReplayOutcome& outcome) {
    TSqliteStatement match(db, "SELECT id FROM scores INDEXED BY scores_by_sender "
                               "WHERE client = ?1 AND name = ?2 AND score = ?3 AND crew = ?4 "
                               "AND received BETWEEN ?5 AND ?6 AND verified <> 1 "
                               "ORDER BY abs(received - ?7), id LIMIT 1");
    match.Bind(1, replay.Client)
        .Bind(2, replay.Name)
        .Bind(3, std::int64_t{replay.Score})
        .Bind(4, replay.Crew);
    match.Bind(5, replay.Received - outcome.MatchBeforeSeconds)
        .Bind(6, replay.Received + outcome.MatchAfterSeconds);
    match.Bind(7, replay.Received);
    return match.Step() ? match.Int(0) : 0;
}

} // namespace

TReplayRecord TSqliteStore::AddReplay(const TReplayRecord& replay, std::string_view bytes, bool& isNew) {
    std::lock_guard lock(m_replayMutex);
    TSqliteDb& db = *m_replayDb;
    TWriteTransaction tx(db);
    if (std::optional<TReplayRecord> known = Find(db, replay.Id)) {
        isNew = false;
        return *known;
    }
    TSqliteStatement insert(db,
                            "INSERT INTO replays (id, race_key, bytes, client, received, name, score, crew, "
                            "game_version, data_hash, status, reason) "
                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    insert.Bind(1, replay.Id).Bind(2, replay.RaceKey).BindBlob(3, bytes).Bind(4, replay.Client);
    insert.Bind(5, replay.Received)
        .Bind(6, replay.Name)
        .Bind(7, std::int64_t{replay.Score})
        .Bind(8, replay.Crew);
    insert.Bind(9, replay.GameVersion)
        .Bind(10, replay.DataHash)
        .Bind(11, static_cast<std::int64_t>(replay.Status));
    insert.Bind(12, replay.Reason);
    insert.Step();
    tx.Commit();
    isNew = true;
    return replay;
}

std::optional<TReplayRecord> TSqliteStore::FindReplay(const std::string& id) {
    std::lock_guard lock(m_replayMutex);
    return Find(*m_replayDb, id);
}

std::optional<std::string> TSqliteStore::ReplayBytes(const std::string& id) {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement row(*m_replayDb, "SELECT bytes FROM replays WHERE id = ?1");
    row.Bind(1, id);
    if (!row.Step())
        return std::nullopt;
    return row.Blob(0);
}

TReplayRecord TSqliteStore::RecordOutcome(const TReplayOutcome& outcome) {
    std::lock_guard lock(m_replayMutex);
    TSqliteDb& db = *m_replayDb;
    TWriteTransaction tx(db);
    std::optional<TReplayRecord> found = Find(db, outcome.Id);
    if (!found)
        throw EStoreUnavailable("replay " + outcome.Id + " is no longer stored");
    TReplayRecord replay = *found;
    if (replay.Status != TReplayStatus::Queued)
        return replay; // recorded already (by another instance sharing the store)

    auto setReplay = [&](TReplayStatus status, const std::string& reason, std::int64_t entry) {
        TSqliteStatement update(db, "UPDATE replays SET status = ?1, reason = ?2, entry = ?3 WHERE id = ?4");
        update.Bind(1, static_cast<std::int64_t>(status)).Bind(2, reason).Bind(3, entry).Bind(4, replay.Id);
        update.Step();
        replay.Status = status;
        replay.Reason = reason;
        replay.EntryId = entry;
    };
    auto markEntry = [&](std::int64_t entry, TVerification verification, const std::string& replayId) {
        TSqliteStatement update(db, "UPDATE scores SET verified = ?1, replay = nullif(?2, '') WHERE id = ?3");
        update.Bind(1, static_cast<std::int64_t>(verification)).Bind(2, replayId).Bind(3, entry);
        update.Step();
    };

    if (!outcome.Reproduced) {
        std::int64_t entry = MatchingEntry(db, replay, outcome);
        if (entry != 0)
            markEntry(entry, TVerification::Failed, "");
        setReplay(TReplayStatus::Failed, outcome.Reason, entry);
    } else {
        // One race verifies one entry, whatever name its header now claims.
        TSqliteStatement same(db, "SELECT id, entry FROM replays INDEXED BY replays_by_race "
                                  "WHERE race_key = ?1 AND status = 1 AND id <> ?2 LIMIT 1");
        same.Bind(1, replay.RaceKey).Bind(2, replay.Id);
        if (same.Step()) {
            const std::string original = same.Text(0);
            const std::int64_t entry = same.Int(1);
            setReplay(TReplayStatus::Copy,
                      "the same race as replay " + original + ", which verified entry " +
                          std::to_string(entry),
                      entry);
        } else {
            std::int64_t entry = MatchingEntry(db, replay, outcome);
            if (entry == 0) {
                TSqliteStatement insert(db, "INSERT INTO scores (name, score, crew, received, client, "
                                            "digest, state, verified, replay) "
                                            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, 1, ?8)");
                insert.Bind(1, replay.Name).Bind(2, std::int64_t{replay.Score}).Bind(3, replay.Crew);
                insert.Bind(4, replay.Received).Bind(5, replay.Client);
                insert.Bind(6, static_cast<std::int64_t>(outcome.NewEntryDigest));
                insert.Bind(7, static_cast<std::int64_t>(outcome.NewEntryState)).Bind(8, replay.Id);
                insert.Step();
                entry = sqlite3_last_insert_rowid(db.Handle());
            } else {
                markEntry(entry, TVerification::Verified, replay.Id);
            }
            setReplay(TReplayStatus::Verified, "", entry);
        }
    }
    tx.Commit();
    // Only a verified or failed mark changes what the list shows; a copy changes nothing there.
    if (replay.EntryId != 0 && replay.Status != TReplayStatus::Copy)
        m_localChanges.fetch_add(1);
    return replay;
}

std::vector<TReplayRecord> TSqliteStore::ListReplays(std::optional<TReplayStatus> status,
                                                     std::int64_t limit) {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement rows(*m_replayDb, std::string(kReplayColumns) + (status ? "WHERE status = ?1 " : "") +
                                           "ORDER BY received DESC, id LIMIT ?2");
    if (status)
        rows.Bind(1, static_cast<std::int64_t>(*status));
    rows.Bind(2, limit > 0 ? limit : std::int64_t{-1});
    std::vector<TReplayRecord> replays;
    while (rows.Step())
        replays.push_back(ReadReplay(rows));
    return replays;
}

std::vector<std::string> TSqliteStore::QueuedReplays() {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement rows(*m_replayDb, "SELECT id FROM replays INDEXED BY replays_by_status "
                                       "WHERE status = 0 ORDER BY received, id");
    std::vector<std::string> ids;
    while (rows.Step())
        ids.push_back(rows.Text(0));
    return ids;
}

bool TSqliteStore::RequeueOtherVersion(const std::string& id) {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement update(*m_replayDb,
                            "UPDATE replays SET status = 0, reason = '' WHERE id = ?1 AND status = 4");
    update.Bind(1, id).Step();
    return sqlite3_changes(m_replayDb->Handle()) > 0;
}

TScorePage TSqliteStore::TopVerified(std::int64_t since, std::int64_t offset, int limit) {
    std::lock_guard lock(m_replayMutex);
    TSqliteDb& db = *m_replayDb;
    db.Exec("BEGIN");
    TScorePage page;
    try {
        TSqliteStatement count(db, "SELECT count(*) FROM scores INDEXED BY scores_verified_by_place "
                                   "WHERE verified = 1 AND state = 0 AND received >= ?1");
        count.Bind(1, since);
        page.Total = count.Step() ? count.Int(0) : 0;
        TSqliteStatement rows(
            db, "SELECT id, name, score, crew, received, verified, coalesce(replay, '') FROM scores "
                "INDEXED BY scores_verified_by_place "
                "WHERE verified = 1 AND state = 0 AND received >= ?1 "
                "ORDER BY score DESC, received, id LIMIT ?2 OFFSET ?3");
        rows.Bind(1, since).Bind(2, std::int64_t{limit}).Bind(3, offset);
        while (rows.Step()) {
            TRankedEntry e = RankedEntry(rows, 1);
            e.Id = rows.Int(0);
            page.Entries.push_back(std::move(e));
        }
        TSqliteStatement higher(db, "SELECT count(*) FROM scores INDEXED BY scores_verified_by_place "
                                    "WHERE verified = 1 AND state = 0 AND score > ?2 AND received >= ?1");
        for (std::size_t i = 0; i < page.Entries.size(); ++i) {
            if (i > 0 && page.Entries[i].Score == page.Entries[i - 1].Score) {
                page.Entries[i].Rank = page.Entries[i - 1].Rank;
            } else if (i > 0) {
                page.Entries[i].Rank = offset + static_cast<std::int64_t>(i) + 1;
            } else {
                higher.Bind(1, since).Bind(2, std::int64_t{page.Entries[i].Score});
                page.Entries[i].Rank = 1 + (higher.Step() ? higher.Int(0) : 0);
                higher.Reset();
            }
        }
    } catch (...) {
        sqlite3_exec(db.Handle(), "COMMIT", nullptr, nullptr, nullptr);
        throw;
    }
    db.Exec("COMMIT");
    return page;
}

std::int64_t TSqliteStore::RankOfVerified(std::int32_t score, std::int64_t since) {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement higher(*m_replayDb,
                            "SELECT count(*) FROM scores INDEXED BY scores_verified_by_place "
                            "WHERE verified = 1 AND state = 0 AND score > ?2 AND received >= ?1");
    higher.Bind(1, since).Bind(2, std::int64_t{score});
    return 1 + (higher.Step() ? higher.Int(0) : 0);
}

std::int64_t TSqliteStore::CountVerified(std::int64_t since) {
    std::lock_guard lock(m_replayMutex);
    TSqliteStatement count(*m_replayDb, "SELECT count(*) FROM scores INDEXED BY scores_verified_by_place "
                                        "WHERE verified = 1 AND state = 0 AND received >= ?1");
    count.Bind(1, since);
    return count.Step() ? count.Int(0) : 0;
}
