#pragma once

#include "server/LogThrottle.h"
#include "server/store/GroupCommit.h"
#include "server/store/ReplayStore.h"
#include "server/store/ScoreStore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TSqliteStatement;

class TSqliteDb;

struct TSqliteOptions {
    std::string Path = "scores.db";
    // Connections for reading; each serves one request at a time.
    int ReadConnections = 2;
    // Most submissions committed in one transaction.
    int MaxBatch = 1024;
    // A period of at most this many entries is read along time and sorted; a longer one (and
    // the whole list) is walked along the places.
    std::int64_t SortAtMost = 20000;
    // Serve only (the operator's command needs no writer thread).
    bool Writer = true;
};

// The scores in one SQLite file (write-ahead log, a sync on every commit). One thread writes:
// it takes every submission waiting at that moment and commits them in one transaction, so a
// crowd of senders shares one sync instead of queueing for one each. Readers use connections
// of their own and never wait for the writer.
class TSqliteStore final : public IScoreDatabase, public IReplayStore {
  public:
    // Opens (creating when missing) and brings the schema up to date; throws EStoreError.
    explicit TSqliteStore(TSqliteOptions options);
    // Commits what is still queued, then closes.
    ~TSqliteStore() override;
    TSqliteStore(const TSqliteStore&) = delete;
    TSqliteStore& operator=(const TSqliteStore&) = delete;

    // The schema version this program writes.
    static int LatestSchemaVersion();

    void Submit(TNewScore score, std::function<void(TSubmitOutcome)> done) override;
    TScorePage Top(std::int64_t since, std::int64_t offset, int limit) override;
    std::int64_t RankOf(std::int32_t score, std::int64_t since) override;
    std::int64_t CountShown(std::int64_t since) override;
    std::optional<std::vector<TListKey>> ListKeys(std::int64_t since) override;
    std::vector<TRankedEntry> ShownEntries(const std::vector<std::int64_t>& ids) override;
    std::vector<TRankedEntry> FindByName(std::int64_t since, const std::string& text, int limit) override;
    std::uint64_t Generation() override;
    bool Healthy() override;

    std::vector<TStoredEntry> List(std::optional<TEntryState> state, std::int64_t limit) override;
    bool SetState(std::int64_t id, TEntryState state) override;
    bool Delete(std::int64_t id) override;
    void ForEachEntry(const std::function<void(const TStoredEntry&)>& visit) override;
    std::size_t Import(const std::vector<TStoredEntry>& entries) override;

    std::uint64_t CommittedBatches() const override { return m_batches.load(); }

    TReplayRecord AddReplay(const TReplayRecord& replay, std::string_view bytes, bool& isNew) override;
    std::optional<TReplayRecord> FindReplay(const std::string& id) override;
    std::optional<std::string> ReplayBytes(const std::string& id) override;
    TReplayRecord RecordOutcome(const TReplayOutcome& outcome) override;
    std::vector<TReplayRecord> ListReplays(std::optional<TReplayStatus> status, std::int64_t limit) override;
    std::vector<std::string> QueuedReplays() override;
    bool RequeueOtherVersion(const std::string& id) override;
    TScorePage TopVerified(std::int64_t since, std::int64_t offset, int limit) override;
    std::int64_t RankOfVerified(std::int32_t score, std::int64_t since) override;
    std::int64_t CountVerified(std::int64_t since) override;
    TStoreFigures Figures() override;

  private:
    // An entry of the list from the statement's current row, whose columns from first on are
    // name, score, crew, received, verified and replay (the id, where there is one, is the caller's).
    static TRankedEntry RankedEntry(const TSqliteStatement& row, int first);

    struct TReader;
    using TPending = TGroupCommit::TPending;
    class TLease;

    void CommitBatch(std::vector<TPending>& batch);
    void Checkpoint();
    TLease Lease();
    void Return(std::unique_ptr<TReader> reader);

    TSqliteOptions m_options;

    std::unique_ptr<TSqliteDb> m_writerDb;
    std::atomic<std::uint64_t> m_batches{0};
    int m_walPages = 0; // pages in the write-ahead log after the last commit (writer thread only)
    TLogThrottle m_failureLog;
    bool m_writesFailing = false; // on the writer thread only: to say when they work again

    std::mutex m_readersMutex;
    std::condition_variable m_readerFree;
    std::vector<std::unique_ptr<TReader>> m_readers;

    // Changes by this process count at once; changes by other connections or processes are
    // noticed by polling the file's data version now and then.
    std::atomic<std::uint64_t> m_localChanges{0};
    std::atomic<std::uint64_t> m_externalChanges{0};
    std::mutex m_pollMutex;
    std::unique_ptr<TSqliteDb> m_pollDb;
    std::int64_t m_lastDataVersion = 0;
    std::atomic<std::int64_t> m_nextPollMs{0};
    // Replays are read and written on a connection of their own, one use at a time: they are
    // few next to the pages, and each use is short.
    std::mutex m_replayMutex;
    std::unique_ptr<TSqliteDb> m_replayDb;
    // Last, so it stops (committing what is queued) before anything it commits through goes.
    std::unique_ptr<TGroupCommit> m_writer;
};
