#pragma once

#include "server/store/ScoreStore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// The one thread of a store that writes submissions. It takes every submission waiting at that
// moment and hands them to the store as one batch to commit in one transaction, so a crowd of
// senders shares one sync instead of queueing for one each. The store says how a batch is
// committed and answered; this says when.
class TGroupCommit {
  public:
    struct TPending {
        TNewScore Score;
        std::function<void(TSubmitOutcome)> Done;
    };
    using TCommit = std::function<void(std::vector<TPending>& batch)>;
    // After each batch is answered, outside the time that paces the gathering (housekeeping).
    using TAfterCommit = std::function<void()>;

    // Starts the thread.
    TGroupCommit(int maxBatch, TCommit commit, TAfterCommit afterCommit = {});
    // Commits what is still queued, then stops.
    ~TGroupCommit();
    TGroupCommit(const TGroupCommit&) = delete;
    TGroupCommit& operator=(const TGroupCommit&) = delete;

    // Queues a submission; once stopping, answers it as failed at once.
    void Submit(TNewScore score, std::function<void(TSubmitOutcome)> done);

    // Submissions waiting for the next commit; commits so far and the time they took.
    std::size_t Queued() const { return m_queued.load(); }
    std::uint64_t Commits() const { return m_commits.load(); }
    double CommitSeconds() const { return static_cast<double>(m_commitMicros.load()) / 1e6; }
    // The writer's part of a store's figures, for the store's own to follow.
    TStoreFigures Figures() const {
        TStoreFigures figures;
        figures.Queued = Queued();
        figures.Commits = Commits();
        figures.CommitSeconds = CommitSeconds();
        return figures;
    }

  private:
    void Run();

    const std::size_t m_maxBatch;
    TCommit m_commit;
    TAfterCommit m_afterCommit;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<TPending> m_queue;
    bool m_stopping = false;
    std::atomic<std::size_t> m_queued{0};
    std::atomic<std::uint64_t> m_commits{0};
    std::atomic<std::uint64_t> m_commitMicros{0};
    std::thread m_thread; // last: starts once everything above is ready
};
