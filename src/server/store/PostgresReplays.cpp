// The replays of a PostgreSQL store, and the entries they verify. Several servers may re-run
// replays on the same database: a race is locked while its outcome is recorded, so that two of
// them never verify two entries with one race.
#include "server/store/PostgresStore.h"

#include <pqxx/pqxx>

namespace {

constexpr std::string_view kReplayColumns = "SELECT id, race_key, client, received, name, score, crew, "
                                            "game_version, data_hash, status, reason, entry FROM replays ";
// The three counts of the verified view read the same entries.
constexpr std::string_view kVerifiedSince = "FROM scores WHERE verified = 1 AND state = 0 AND received >= $1";

TReplayRecord ReadReplay(const pqxx::row& row) {
    TReplayRecord r;
    r.Id = row[0].as<std::string>();
    r.RaceKey = row[1].as<std::string>();
    r.Client = row[2].as<std::string>();
    r.Received = row[3].as<std::int64_t>();
    r.Name = row[4].as<std::string>();
    r.Score = row[5].as<std::int32_t>();
    r.Crew = row[6].as<std::string>();
    r.GameVersion = row[7].as<std::string>();
    r.DataHash = row[8].as<std::string>();
    r.Status = static_cast<TReplayStatus>(row[9].as<int>());
    r.Reason = row[10].as<std::string>();
    r.EntryId = row[11].as<std::int64_t>();
    return r;
}

std::optional<TReplayRecord> Find(pqxx::transaction_base& tx, const std::string& id, bool lock = false) {
    pqxx::result r =
        tx.exec_params(std::string(kReplayColumns) + "WHERE id = $1" + (lock ? " FOR UPDATE" : ""), id);
    if (r.empty())
        return std::nullopt;
    return ReadReplay(r[0]);
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += kDigits[b >> 4U];
        out += kDigits[b & 15U];
    }
    return out;
}

std::string FromHex(std::string_view hex) {
    auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    std::string out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(value(hex[i]) * 16 + value(hex[i + 1]));
    return out;
}

std::int64_t MatchingEntry(pqxx::transaction_base& tx, const TReplayRecord& replay,
                           const TReplayOutcome& outcome) {
    pqxx::result r = tx.exec_params(
        "SELECT id FROM scores WHERE client = $1 AND name = $2 AND score = $3 AND crew = $4 "
        "AND received BETWEEN $5 AND $6 AND verified <> 1 "
        "ORDER BY abs(received - $7), id LIMIT 1 FOR UPDATE",
        replay.Client, replay.Name, replay.Score, replay.Crew, replay.Received - outcome.MatchBeforeSeconds,
        replay.Received + outcome.MatchAfterSeconds, replay.Received);
    return r.empty() ? 0 : r[0][0].as<std::int64_t>();
}

} // namespace

TReplayRecord TPostgresStore::AddReplay(const TReplayRecord& replay, std::string_view bytes, bool& isNew) {
    TReplayRecord stored;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::work tx(db);
        pqxx::result r = tx.exec_params(
            "INSERT INTO replays (id, race_key, bytes, client, received, name, score, crew, game_version, "
            "data_hash, "
            "status, reason) VALUES ($1, $2, decode($3, 'hex'), $4, $5, $6, $7, $8, $9, $10, $11, $12) "
            "ON CONFLICT (id) DO NOTHING RETURNING id",
            replay.Id, replay.RaceKey, Hex(bytes), replay.Client, replay.Received, replay.Name, replay.Score,
            replay.Crew, replay.GameVersion, replay.DataHash, static_cast<int>(replay.Status), replay.Reason);
        isNew = !r.empty();
        stored = isNew ? replay : Find(tx, replay.Id).value_or(replay);
        tx.commit();
    });
    return stored;
}

std::optional<TReplayRecord> TPostgresStore::FindReplay(const std::string& id) {
    std::optional<TReplayRecord> found;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        found = Find(tx, id);
    });
    return found;
}

std::optional<std::string> TPostgresStore::ReplayBytes(const std::string& id) {
    std::optional<std::string> bytes;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        pqxx::result r = tx.exec_params("SELECT encode(bytes, 'hex') FROM replays WHERE id = $1", id);
        bytes = r.empty() ? std::nullopt : std::optional<std::string>(FromHex(r[0][0].as<std::string>()));
    });
    return bytes;
}

TReplayRecord TPostgresStore::RecordOutcome(const TReplayOutcome& outcome) {
    TReplayRecord replay;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::work tx(db);
        std::optional<TReplayRecord> found = Find(tx, outcome.Id, true);
        if (!found)
            throw EStoreUnavailable("replay " + outcome.Id + " is no longer stored");
        replay = *found;
        if (replay.Status != TReplayStatus::Queued)
            return; // recorded already, by another server
        tx.exec_params("SELECT pg_advisory_xact_lock(hashtext($1)::bigint << 1)", replay.RaceKey);
        auto setReplay = [&](TReplayStatus status, const std::string& reason, std::int64_t entry) {
            tx.exec_params("UPDATE replays SET status = $1, reason = $2, entry = $3 WHERE id = $4",
                           static_cast<int>(status), reason, entry, replay.Id);
            replay.Status = status;
            replay.Reason = reason;
            replay.EntryId = entry;
        };
        if (!outcome.Reproduced) {
            std::int64_t entry = MatchingEntry(tx, replay, outcome);
            if (entry != 0)
                tx.exec_params("UPDATE scores SET verified = 2 WHERE id = $1", entry);
            setReplay(TReplayStatus::Failed, outcome.Reason, entry);
        } else if (pqxx::result same = tx.exec_params("SELECT id, entry FROM replays WHERE race_key = $1 AND "
                                                      "status = 1 AND id <> $2 LIMIT 1",
                                                      replay.RaceKey, replay.Id);
                   !same.empty()) {
            const std::int64_t entry = same[0][1].as<std::int64_t>();
            setReplay(TReplayStatus::Copy,
                      "the same race as replay " + same[0][0].as<std::string>() + ", which verified entry " +
                          std::to_string(entry),
                      entry);
        } else {
            std::int64_t entry = MatchingEntry(tx, replay, outcome);
            if (entry == 0) {
                entry = tx.exec_params(
                              "INSERT INTO scores (name, score, crew, received, client, digest, state, "
                              "verified, replay) VALUES ($1, $2, $3, $4, $5, $6, $7, 1, $8) RETURNING id",
                              replay.Name, replay.Score, replay.Crew, replay.Received, replay.Client,
                              static_cast<std::int64_t>(outcome.NewEntryDigest),
                              static_cast<int>(outcome.NewEntryState), replay.Id)[0][0]
                            .as<std::int64_t>();
            } else {
                tx.exec_params("UPDATE scores SET verified = 1, replay = $1 WHERE id = $2", replay.Id, entry);
            }
            setReplay(TReplayStatus::Verified, "", entry);
        }
        tx.commit();
    });
    // Only a verified or failed mark changes what the list shows; a copy changes nothing there.
    if (replay.EntryId != 0 && replay.Status != TReplayStatus::Copy)
        m_changes.fetch_add(1);
    return replay;
}

std::vector<TReplayRecord> TPostgresStore::ListReplays(std::optional<TReplayStatus> status,
                                                       std::int64_t limit) {
    std::vector<TReplayRecord> replays;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        replays.clear();
        for (const pqxx::row& row : tx.exec_params(std::string(kReplayColumns) +
                                                       "WHERE $1::integer < 0 OR status = $1::integer "
                                                       "ORDER BY received DESC, id "
                                                       "LIMIT CASE WHEN $2::bigint > 0 THEN $2::bigint END",
                                                   status ? static_cast<int>(*status) : -1, limit))
            replays.push_back(ReadReplay(row));
    });
    return replays;
}

std::vector<std::string> TPostgresStore::QueuedReplays() {
    std::vector<std::string> ids;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        ids.clear();
        for (const pqxx::row& row : tx.exec("SELECT id FROM replays WHERE status = 0 ORDER BY received, id"))
            ids.push_back(row[0].as<std::string>());
    });
    return ids;
}

bool TPostgresStore::RequeueOtherVersion(const std::string& id) {
    bool changed = false;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::work tx(db);
        changed =
            tx.exec_params("UPDATE replays SET status = 0, reason = '' WHERE id = $1 AND status = 4", id)
                .affected_rows() > 0;
        tx.commit();
    });
    return changed;
}

TScorePage TPostgresStore::TopVerified(std::int64_t since, std::int64_t offset, int limit) {
    TScorePage page;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::transaction<pqxx::isolation_level::repeatable_read, pqxx::readwrite_policy::read_only> tx(db);
        page = {};
        page.Total =
            tx.exec_params("SELECT count(*) " + std::string(kVerifiedSince), since)[0][0].as<std::int64_t>();
        for (const pqxx::row& row : tx.exec_params(
                 "SELECT id, name, score, crew, received, verified, coalesce(replay, '') " +
                     std::string(kVerifiedSince) + " ORDER BY score DESC, received, id LIMIT $2 OFFSET $3",
                 since, limit, offset)) {
            TRankedEntry e = RankedEntry(row, 1);
            e.Id = row[0].as<std::int64_t>();
            page.Entries.push_back(std::move(e));
        }
        for (std::size_t i = 0; i < page.Entries.size(); ++i) {
            if (i > 0 && page.Entries[i].Score == page.Entries[i - 1].Score)
                page.Entries[i].Rank = page.Entries[i - 1].Rank;
            else if (i > 0)
                page.Entries[i].Rank = offset + static_cast<std::int64_t>(i) + 1;
            else
                page.Entries[i].Rank =
                    1 + tx.exec_params("SELECT count(*) " + std::string(kVerifiedSince) + " AND score > $2",
                                       since, page.Entries[i].Score)[0][0]
                            .as<std::int64_t>();
        }
        tx.commit();
    });
    return page;
}

std::int64_t TPostgresStore::RankOfVerified(std::int32_t score, std::int64_t since) {
    std::int64_t higher = 0;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        higher = tx.exec_params("SELECT count(*) " + std::string(kVerifiedSince) + " AND score > $2", since,
                                score)[0][0]
                     .as<std::int64_t>();
    });
    return 1 + higher;
}

std::int64_t TPostgresStore::CountVerified(std::int64_t since) {
    std::int64_t count = 0;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        count =
            tx.exec_params("SELECT count(*) " + std::string(kVerifiedSince), since)[0][0].as<std::int64_t>();
    });
    return count;
}
