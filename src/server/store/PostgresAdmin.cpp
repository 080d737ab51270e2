// The operator's work on a PostgreSQL store: listing, hiding, deleting, export and import.
#include "server/store/PostgresStore.h"

#include <pqxx/pqxx>

namespace {

using TReadOnly =
    pqxx::transaction<pqxx::isolation_level::repeatable_read, pqxx::readwrite_policy::read_only>;

constexpr std::int64_t kEntriesPerFetch = 1000;
constexpr std::string_view kEntryColumns =
    "SELECT id, name, score, crew, received, client, state, digest FROM scores ";

TStoredEntry ReadEntry(const pqxx::row& row) {
    TStoredEntry e;
    e.Id = row[0].as<std::int64_t>();
    e.Name = row[1].as<std::string>();
    e.Score = row[2].as<std::int32_t>();
    e.Crew = row[3].as<std::string>();
    e.Received = row[4].as<std::int64_t>();
    e.Client = row[5].as<std::string>();
    e.State = static_cast<TEntryState>(row[6].as<int>());
    e.Digest = static_cast<std::uint64_t>(row[7].as<std::int64_t>());
    return e;
}

} // namespace

std::vector<TStoredEntry> TPostgresStore::List(std::optional<TEntryState> state, std::int64_t limit) {
    std::vector<TStoredEntry> entries;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::read_transaction tx(db);
        entries.clear();
        for (const pqxx::row& row : tx.exec_params(
                 std::string(kEntryColumns) + "WHERE $1::integer < 0 OR state = $1::integer ORDER BY id DESC "
                                              "LIMIT CASE WHEN $2::bigint > 0 THEN $2::bigint END",
                 state ? static_cast<int>(*state) : -1, limit))
            entries.push_back(ReadEntry(row));
    });
    return entries;
}

bool TPostgresStore::SetState(std::int64_t id, TEntryState state) {
    bool changed = false;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::work tx(db);
        pqxx::result r =
            tx.exec_params("UPDATE scores SET state = $1 WHERE id = $2", static_cast<int>(state), id);
        tx.commit();
        changed = r.affected_rows() > 0;
    });
    m_changes.fetch_add(1);
    return changed;
}

bool TPostgresStore::Delete(std::int64_t id) {
    bool changed = false;
    OnAdmin([&](pqxx::connection_base& db) {
        pqxx::work tx(db);
        pqxx::result r = tx.exec_params("DELETE FROM scores WHERE id = $1", id);
        tx.commit();
        changed = r.affected_rows() > 0;
    });
    m_changes.fetch_add(1);
    return changed;
}

void TPostgresStore::ForEachEntry(const std::function<void(const TStoredEntry&)>& visit) {
    bool visited = false;
    OnAdmin([&](pqxx::connection_base& db) {
        if (visited)
            throw EStoreUnavailable(ShownTarget() + ": the connection broke while reading the entries");
        // One snapshot, fetched a thousand at a time.
        TReadOnly tx(db);
        tx.exec("DECLARE every_entry NO SCROLL CURSOR FOR " + std::string(kEntryColumns) + "ORDER BY id");
        for (;;) {
            pqxx::result rows = tx.exec("FETCH " + std::to_string(kEntriesPerFetch) + " FROM every_entry");
            for (const pqxx::row& row : rows) {
                visited = true;
                visit(ReadEntry(row));
            }
            if (static_cast<std::int64_t>(rows.size()) < kEntriesPerFetch)
                break;
        }
        tx.commit();
    });
}

std::size_t TPostgresStore::Import(const std::vector<TStoredEntry>& entries) {
    std::size_t added = 0;
    OnAdmin([&](pqxx::connection_base& db) {
        added = 0;
        pqxx::work tx(db);
        for (const TStoredEntry& e : entries) {
            const auto digest = static_cast<std::int64_t>(e.Digest);
            // An entry already stored (found through the fingerprint's index) is not added again.
            const pqxx::result held = tx.exec_params(
                "SELECT 1 FROM scores WHERE digest = $1 AND client = $2 AND received = $3 AND name = $4 "
                "AND score = $5 AND crew = $6 LIMIT 1",
                digest, e.Client, e.Received, e.Name, e.Score, e.Crew);
            if (!held.empty())
                continue;
            tx.exec_params("INSERT INTO scores (name, score, crew, received, client, digest, state) "
                           "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                           e.Name, e.Score, e.Crew, e.Received, e.Client, digest, static_cast<int>(e.State));
            ++added;
        }
        tx.commit();
    });
    m_changes.fetch_add(1);
    return added;
}
