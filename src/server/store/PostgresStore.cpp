#include "server/store/PostgresStore.h"
#include "server/Log.h"

#include "server/store/DatabaseAddress.h"
#include "server/store/PostgresSchema.h"

#include <libpq-fe.h>
#include <pqxx/pqxx>

#include <poll.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace {

using TReadOnly =
    pqxx::transaction<pqxx::isolation_level::repeatable_read, pqxx::readwrite_policy::read_only>;

constexpr std::string_view kChannel = "spraydash_scores";
// After a failed attempt, calls fail at once for this long instead of each trying again: a
// database that is down is not hammered by every request, and answers stay fast.
constexpr std::chrono::milliseconds kRetryConnectAfter{250};
constexpr std::chrono::milliseconds kListenWait{250};
// How long the outcome of a commit cut off by a broken connection is waited for.
constexpr std::chrono::seconds kLearnOutcomeFor{10};
constexpr int kConnectTimeoutSeconds = 5;
constexpr std::string_view kReadTimeout = "10s";
constexpr std::string_view kWriteTimeout = "30s";
constexpr std::string_view kCountAllSql =
    "SELECT coalesce(sum(entries), 0) FROM score_counts WHERE state = 0";
constexpr std::string_view kCountSinceSql = "SELECT count(*) FROM scores WHERE state = 0 AND received >= $1";
constexpr std::string_view kTopSql =
    "SELECT name, score, crew, received, verified, coalesce(replay, '') FROM scores "
    "WHERE state = 0 AND received >= $1 "
    "ORDER BY score DESC, received, id LIMIT $2 OFFSET $3";
constexpr std::string_view kHigherSql =
    "SELECT count(*) FROM scores WHERE state = 0 AND received >= $1 AND score > $2";
constexpr std::string_view kLockDigestsSql =
    "SELECT pg_advisory_xact_lock(d) FROM "
    "(SELECT DISTINCT unnest($1::bigint[]) AS d ORDER BY d) AS digests";
// Stores a result unless the same one from the same sender is already there (then no row).
constexpr std::string_view kInsertSql =
    "INSERT INTO scores (name, score, crew, received, client, digest, state) "
    "SELECT $1, $2, $3, $4, $5, $6, $7 WHERE NOT EXISTS "
    "(SELECT 1 FROM scores WHERE digest = $6 AND client = $5 AND received >= $8) RETURNING id";

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// libpq's messages end in a newline and may run over several lines.
std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

enum class TRole { Reader, Writer, Other };

} // namespace

namespace {

// The database's notices and the messages of a connection it ends go to the log as one line
// each, not raw to standard error.
void LogNotice(const char* message) {
    Log(TLogLevel::Debug, "database: " + OneLine(message ? message : ""));
}

class TNoticesToLog final : public pqxx::errorhandler {
  public:
    explicit TNoticesToLog(pqxx::connection_base& db) : pqxx::errorhandler(db) {}
    bool operator()(const char message[]) noexcept override {
        try {
            LogNotice(message);
        } catch (...) {
        }
        return false;
    }
};

} // namespace

struct TPostgresStore::TConnection : pqxx::connection {
    explicit TConnection(const std::string& target) : pqxx::connection(target), Notices(*this) {}
    TNoticesToLog Notices;
};

// Makes connections to one database, and after a failure refuses for a moment.
class TPostgresStore::TConnector {
  public:
    explicit TConnector(std::string target)
        : m_target(WithConnectTimeout(std::move(target), kConnectTimeoutSeconds)),
          m_shown(RedactedTarget(m_target)) {}

    const std::string& Shown() const { return m_shown; }
    const std::string& Target() const { return m_target; }

    std::unique_ptr<TConnection> Connect(TRole role) {
        std::int64_t now = SteadyMs();
        {
            std::lock_guard lock(m_mutex);
            if (now < m_refuseUntilMs)
                throw EStoreUnavailable(m_shown + ": " + m_lastError);
        }
        try {
            auto db = std::make_unique<TConnection>(m_target);
            // A broken connection must fail, not be made again behind the store's back: the
            // store drops it itself, and a listener would miss what happened in between.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            db->inhibit_reactivation(true);
#pragma GCC diagnostic pop
            pqxx::nontransaction setup(*db);
            setup.exec("SET application_name = 'spraydash-scores'");
            if (role == TRole::Reader) {
                setup.exec("SET statement_timeout = '" + std::string(kReadTimeout) + "'");
                db->prepare("count_all", std::string(kCountAllSql));
                db->prepare("count_since", std::string(kCountSinceSql));
                db->prepare("top", std::string(kTopSql));
                db->prepare("higher", std::string(kHigherSql));
            } else if (role == TRole::Writer) {
                setup.exec("SET statement_timeout = '" + std::string(kWriteTimeout) + "'");
                // A result is acknowledged only once it is on disk; a database set to commit
                // without waiting for its log would break that promise.
                if (setup.exec("SHOW synchronous_commit")[0][0].as<std::string>() == "off")
                    setup.exec("SET synchronous_commit = on");
                db->prepare("lock_digests", std::string(kLockDigestsSql));
                db->prepare("insert", std::string(kInsertSql));
            }
            setup.commit();
            return db;
        } catch (const std::exception& e) {
            std::lock_guard lock(m_mutex);
            m_lastError = OneLine(e.what());
            m_refuseUntilMs = SteadyMs() + kRetryConnectAfter.count();
            throw EStoreUnavailable(m_shown + ": " + m_lastError);
        }
    }

  private:
    const std::string m_target;
    const std::string m_shown;
    std::mutex m_mutex;
    std::int64_t m_refuseUntilMs = 0;
    std::string m_lastError;
};

class TPostgresStore::TLease {
  public:
    explicit TLease(TPostgresStore& store) : m_store(store) {
        std::unique_lock lock(store.m_readersMutex);
        store.m_readerFree.wait(lock, [&store] { return store.m_freeReaders > 0; });
        --store.m_freeReaders;
        for (auto& slot : store.m_readers) {
            if (!slot.Busy) {
                slot.Busy = true;
                m_slot = &slot;
                break;
            }
        }
    }
    ~TLease() {
        {
            std::lock_guard lock(m_store.m_readersMutex);
            m_slot->Busy = false;
            ++m_store.m_freeReaders;
        }
        m_store.m_readerFree.notify_one();
    }
    TLease(const TLease&) = delete;
    TLease& operator=(const TLease&) = delete;
    std::unique_ptr<TConnection>& Db() { return m_slot->Db; }

  private:
    TPostgresStore& m_store;
    TReaderSlot* m_slot = nullptr;
};

namespace {

// Runs work on a connection, made when there is none. A connection that has waited in the pool
// may have been ended by a database restart since: work that fails on one is tried once more on
// a new connection. A failed connection is dropped; the failure comes out as EStoreUnavailable.
template <typename TConnectionPtr, typename TMake, typename TWork>
auto OnConnection(TConnectionPtr& db, TMake&& make, const std::string& shown, TWork&& work) {
    bool fresh = !db;
    for (;;) {
        if (!db)
            db = make();
        try {
            return work(*db);
        } catch (const pqxx::failure& e) {
            db.reset();
            if (fresh)
                throw EStoreUnavailable(shown + ": " + OneLine(e.what()));
            fresh = true;
        }
    }
}

} // namespace

template <typename TWork> auto TPostgresStore::Read(TWork&& work) {
    TLease lease(*this);
    TConnector& connector = m_replica ? *m_replica : *m_primary;
    return OnConnection(
        lease.Db(), [&connector] { return connector.Connect(TRole::Reader); }, connector.Shown(),
        std::forward<TWork>(work));
}

template <typename TWork> auto TPostgresStore::Admin(TWork&& work) {
    std::lock_guard lock(m_adminMutex);
    return OnConnection(
        m_adminDb, [this] { return m_primary->Connect(TRole::Other); }, m_primary->Shown(),
        std::forward<TWork>(work));
}

int TPostgresStore::LatestSchemaVersion() {
    return PostgresSchemaVersion();
}

TPostgresStore::TPostgresStore(TPostgresOptions options) : m_options(std::move(options)) {
    m_primary = std::make_unique<TConnector>(m_options.Target);
    if (!m_options.ReadTarget.empty())
        m_replica = std::make_unique<TConnector>(m_options.ReadTarget);
    try {
        std::unique_ptr<TConnection> db = m_primary->Connect(TRole::Other);
        MigratePostgresSchema(*db, m_primary->Shown());
        m_adminDb = std::move(db);
    } catch (const EStoreUnavailable& e) {
        throw EStoreError(e.what());
    } catch (const pqxx::failure& e) {
        throw EStoreError(m_primary->Shown() + ": " + OneLine(e.what()));
    }
    m_readers = std::vector<TReaderSlot>(static_cast<std::size_t>(std::max(1, m_options.ReadConnections)));
    m_freeReaders = static_cast<int>(m_readers.size());
    if (m_options.Writer)
        m_writer = std::make_unique<TGroupCommit>(
            m_options.MaxBatch, [this](std::vector<TPending>& batch) { CommitBatch(batch); });
    if (m_options.Listen)
        m_listener = std::thread([this] { ListenLoop(); });
}

TPostgresStore::~TPostgresStore() {
    m_writer.reset(); // commits what is still queued while the connections are still open
    m_stopListening = true;
    if (m_listener.joinable())
        m_listener.join();
}

void TPostgresStore::Submit(TNewScore score, std::function<void(TSubmitOutcome)> done) {
    if (m_writer)
        m_writer->Submit(std::move(score), std::move(done));
    else
        done(TSubmitOutcome::Failed);
}

void TPostgresStore::CommitBatch(std::vector<TPending>& batch) {
    std::vector<TSubmitOutcome> outcomes(batch.size(), TSubmitOutcome::Failed);
    bool inserted = false;
    std::string digests = "{";
    for (const TPending& p : batch)
        digests += std::to_string(static_cast<std::int64_t>(p.Score.Digest)) + ",";
    digests.back() = '}';
    // A connection that broke while idle (the database restarted) fails at the first statement;
    // the batch is then tried once more on a new one. Once the commit has been asked for, it is
    // never tried again: it may have happened.
    bool fresh = !m_writerDb;
    bool committing = false;
    std::string xid;
    for (;;) {
        try {
            if (!m_writerDb)
                m_writerDb = m_primary->Connect(TRole::Writer);
            pqxx::work tx(*m_writerDb);
            // Another server may be storing the same result (a resend through another instance):
            // the one that locks its digest second sees the first one's row.
            tx.exec_prepared("lock_digests", digests);
            inserted = false;
            for (std::size_t i = 0; i < batch.size(); ++i) {
                const TNewScore& s = batch[i].Score;
                pqxx::result id = tx.exec_prepared("insert", s.Name, s.Score, s.Crew, s.Received, s.Client,
                                                   static_cast<std::int64_t>(s.Digest),
                                                   static_cast<int>(s.State), s.ResendSince);
                outcomes[i] = id.empty() ? TSubmitOutcome::Resent : TSubmitOutcome::Stored;
                inserted = inserted || !id.empty();
            }
            xid = tx.exec("SELECT txid_current()")[0][0].as<std::string>();
            committing = true;
            tx.commit();
            m_batches.fetch_add(1);
            WritesWork(m_writesFailing);
            break;
        } catch (const std::exception& e) {
            m_writerDb.reset();
            if (committing && Committed(xid)) {
                m_batches.fetch_add(1);
                break;
            }
            if (!fresh && !committing && dynamic_cast<const pqxx::failure*>(&e)) {
                fresh = true;
                continue;
            }
            // Also when the commit's outcome could not be learned: the sender hears 503 and sends
            // again, and a resend of a stored result is recognised.
            m_failureLog.Write(NotWritten(batch.size(), OneLine(e.what())));
            m_writesFailing = true;
            outcomes.assign(batch.size(), TSubmitOutcome::Failed);
            inserted = false;
            break;
        }
    }
    if (inserted)
        m_changes.fetch_add(1);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        try {
            batch[i].Done(outcomes[i]);
        } catch (const std::exception& e) {
            Log(TLogLevel::Error, std::string("answering a submission failed: ") + e.what());
        }
    }
}

bool TPostgresStore::Committed(const std::string& xid) {
    // The connection broke while committing (the database stopping, say): the transaction may
    // have committed. Its outcome is asked for once the database answers again, for a while, so
    // that a stored result is not answered 503 (nor, worse, a lost one 200).
    auto giveUpAt = std::chrono::steady_clock::now() + kLearnOutcomeFor;
    while (std::chrono::steady_clock::now() < giveUpAt) {
        try {
            std::unique_ptr<TConnection> db = m_primary->Connect(TRole::Other);
            pqxx::nontransaction tx(*db);
            pqxx::field status = tx.exec_params("SELECT txid_status($1::bigint)", xid)[0][0];
            if (status.is_null())
                return false;
            std::string outcome = status.as<std::string>();
            if (outcome != "in progress")
                return outcome == "committed";
        } catch (const std::exception&) {
        }
        std::this_thread::sleep_for(kListenWait);
    }
    return false;
}

void TPostgresStore::ListenLoop() {
    // On libpq itself: the C++ library loses a result whenever a listening connection breaks,
    // and this thread only ever listens.
    std::unique_ptr<PGconn, decltype(&PQfinish)> db(nullptr, &PQfinish);
    while (!m_stopListening) {
        if (!db) {
            db.reset(PQconnectdb(m_primary->Target().c_str()));
            PQsetNoticeProcessor(
                db.get(), [](void*, const char* message) { LogNotice(message); }, nullptr);
            bool listening = PQstatus(db.get()) == CONNECTION_OK;
            if (listening) {
                PGresult* listen = PQexec(db.get(), ("LISTEN " + std::string(kChannel)).c_str());
                listening = PQresultStatus(listen) == PGRES_COMMAND_OK;
                PQclear(listen);
            }
            if (!listening) {
                db.reset();
                std::this_thread::sleep_for(kListenWait);
                continue;
            }
            m_listening = true;
            m_changes.fetch_add(1); // whatever happened while not listening
        }
        pollfd socket{PQsocket(db.get()), POLLIN, 0};
        if (::poll(&socket, 1, static_cast<int>(kListenWait.count())) <= 0)
            continue;
        if (!PQconsumeInput(db.get())) {
            Log(TLogLevel::Warning,
                "no longer hearing of other servers' changes: " + OneLine(PQerrorMessage(db.get())));
            m_listening = false;
            db.reset();
            m_changes.fetch_add(1);
            continue;
        }
        while (PGnotify* notification = PQnotifies(db.get())) {
            PQfreemem(notification);
            m_changes.fetch_add(1);
        }
    }
    m_listening = false;
}

std::uint64_t TPostgresStore::Generation() {
    // Without notifications, and with a replica that may still be behind a notification,
    // cached answers live at most one refresh interval.
    if (!m_listening || m_replica) {
        std::int64_t now = SteadyMs();
        std::int64_t next = m_nextRefreshMs.load();
        if (now >= next &&
            m_nextRefreshMs.compare_exchange_strong(next, now + m_options.RefreshInterval.count()))
            m_changes.fetch_add(1);
    }
    return m_changes.load();
}

TRankedEntry TPostgresStore::RankedEntry(const pqxx::row& row, int first) {
    TRankedEntry e;
    e.Name = row[first].as<std::string>();
    e.Score = row[first + 1].as<std::int32_t>();
    e.Crew = row[first + 2].as<std::string>();
    e.Received = row[first + 3].as<std::int64_t>();
    e.Verification = static_cast<TVerification>(row[first + 4].as<int>());
    e.ReplayId = row[first + 5].as<std::string>();
    return e;
}

TScorePage TPostgresStore::Top(std::int64_t since, std::int64_t offset, int limit) {
    return Read([&](pqxx::connection& db) {
        // One snapshot for the rows, the total and the places, whatever commits meanwhile.
        TReadOnly tx(db);
        TScorePage page;
        page.Total =
            (since <= 0 ? tx.exec_prepared("count_all") : tx.exec_prepared("count_since", since))[0][0]
                .as<std::int64_t>();
        for (const pqxx::row& row : tx.exec_prepared("top", since, limit, offset)) {
            page.Entries.push_back(RankedEntry(row, 0));
        }
        if (page.Entries.empty())
            return page;
        // One more than the better scores; later rows tie with the one above or take their position.
        page.Entries.front().Rank =
            1 + tx.exec_prepared("higher", since, page.Entries.front().Score)[0][0].as<std::int64_t>();
        for (std::size_t i = 1; i < page.Entries.size(); ++i) {
            page.Entries[i].Rank = page.Entries[i].Score == page.Entries[i - 1].Score
                                       ? page.Entries[i - 1].Rank
                                       : offset + static_cast<std::int64_t>(i) + 1;
        }
        tx.commit();
        return page;
    });
}

std::int64_t TPostgresStore::RankOf(std::int32_t score, std::int64_t since) {
    return Read([&](pqxx::connection& db) {
        pqxx::read_transaction tx(db);
        return 1 + tx.exec_prepared("higher", since, score)[0][0].as<std::int64_t>();
    });
}

std::optional<std::vector<TListKey>> TPostgresStore::ListKeys(std::int64_t since) {
    return Read([&](pqxx::connection& db) {
        pqxx::read_transaction tx(db);
        std::vector<TListKey> keys;
        for (const pqxx::row& row :
             tx.exec_params("SELECT score, received, id FROM scores WHERE state = 0 AND received >= $1 "
                            "ORDER BY score DESC, received, id",
                            since))
            keys.push_back({row[0].as<std::int32_t>(), row[1].as<std::int64_t>(), row[2].as<std::int64_t>()});
        return std::optional<std::vector<TListKey>>(std::move(keys));
    });
}

std::vector<TRankedEntry> TPostgresStore::ShownEntries(const std::vector<std::int64_t>& ids) {
    std::string list = "{";
    for (std::int64_t id : ids)
        list += std::to_string(id) + ",";
    list.back() = '}';
    if (ids.empty())
        list = "{}";
    return Read([&](pqxx::connection& db) {
        pqxx::read_transaction tx(db);
        std::vector<TRankedEntry> entries;
        for (const pqxx::row& row :
             tx.exec_params("SELECT id, name, score, crew, received, verified, coalesce(replay, '') "
                            "FROM scores WHERE id = ANY($1::bigint[]) AND state = 0",
                            list)) {
            TRankedEntry e = RankedEntry(row, 1);
            e.Id = row[0].as<std::int64_t>();
            entries.push_back(std::move(e));
        }
        return entries;
    });
}

std::vector<TRankedEntry> TPostgresStore::FindByName(std::int64_t since, const std::string& text, int limit) {
    return Read([&](pqxx::connection& db) {
        pqxx::read_transaction tx(db);
        std::vector<TRankedEntry> entries;
        for (const pqxx::row& row : tx.exec_params(
                 "SELECT id, name, score, crew, received, verified, coalesce(replay, '') FROM scores "
                 "WHERE state = 0 AND received >= $1 "
                 "AND strpos(lower(name), lower($2)) > 0 ORDER BY score DESC, received, id LIMIT $3",
                 since, text, limit)) {
            TRankedEntry e = RankedEntry(row, 1);
            e.Id = row[0].as<std::int64_t>();
            entries.push_back(std::move(e));
        }
        return entries;
    });
}

std::int64_t TPostgresStore::CountShown(std::int64_t since) {
    return Read([&](pqxx::connection& db) {
        pqxx::read_transaction tx(db);
        return (since <= 0 ? tx.exec_prepared("count_all") : tx.exec_prepared("count_since", since))[0][0]
            .as<std::int64_t>();
    });
}

std::optional<double> TPostgresStore::TakeSubmissionToken(const std::string& sender, int perMinute) {
    std::lock_guard lock(m_rateMutex);
    return OnConnection(
        m_rateDb, [this] { return m_primary->Connect(TRole::Other); }, m_primary->Shown(),
        [&](pqxx::connection& db) {
            pqxx::nontransaction tx(db);
            return tx.exec_params("SELECT take_submission_token($1, $2)", sender, perMinute)[0][0]
                .as<double>();
        });
}

bool TPostgresStore::Healthy() {
    try {
        return Read([](pqxx::connection& db) {
            pqxx::nontransaction tx(db);
            tx.exec("SELECT 1");
            return true;
        });
    } catch (const EStoreUnavailable&) {
        return false;
    }
}

const std::string& TPostgresStore::ShownTarget() const {
    return m_primary->Shown();
}

void TPostgresStore::OnAdmin(const std::function<void(pqxx::connection_base&)>& work) {
    Admin([&](pqxx::connection& db) { work(db); });
}

TStoreFigures TPostgresStore::Figures() {
    TStoreFigures figures = m_writer ? m_writer->Figures() : TStoreFigures{};
    try {
        figures.HeldEntries = Read([](pqxx::connection& db) {
            pqxx::read_transaction tx(db);
            return tx.exec("SELECT coalesce(sum(entries), 0) FROM score_counts WHERE state = 1")[0][0]
                .as<std::int64_t>();
        });
    } catch (const EStoreUnavailable&) {
    }
    return figures;
}
