#include "server/store/GroupCommit.h"

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kMaxGather{2}; // longest wait for more submissions to share a commit

} // namespace

TGroupCommit::TGroupCommit(int maxBatch, TCommit commit, TAfterCommit afterCommit)
    : m_maxBatch(static_cast<std::size_t>(std::max(1, maxBatch))), m_commit(std::move(commit)),
      m_afterCommit(std::move(afterCommit)), m_thread([this] { Run(); }) {}

TGroupCommit::~TGroupCommit() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_ready.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TGroupCommit::Submit(TNewScore score, std::function<void(TSubmitOutcome)> done) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopping) {
            m_queue.push_back({std::move(score), std::move(done)});
            m_queued = m_queue.size();
            m_ready.notify_one();
            return;
        }
    }
    done(TSubmitOutcome::Failed);
}

void TGroupCommit::Run() {
    std::vector<TPending> batch;
    std::size_t lastBatch = 0;
    std::chrono::steady_clock::duration lastCommit{};
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_ready.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and everything queued has been answered
        // The senders answered by the last commit are on their way back: a few of them arrive
        // first and would sync alone while the rest queue behind them. Waiting a fraction of a
        // sync for them lets them share the next one. A lone sender never waits.
        auto gatherUntil = std::chrono::steady_clock::now() +
                           std::min<std::chrono::steady_clock::duration>(lastCommit / 2, kMaxGather);
        while (!m_stopping && m_queue.size() < lastBatch &&
               m_ready.wait_until(lock, gatherUntil) != std::cv_status::timeout) {
        }
        while (!m_queue.empty() && batch.size() < m_maxBatch) {
            batch.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        m_queued = m_queue.size();
        lock.unlock();
        auto started = std::chrono::steady_clock::now();
        m_commit(batch);
        lastCommit = std::chrono::steady_clock::now() - started;
        m_commits.fetch_add(1);
        m_commitMicros.fetch_add(static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(lastCommit).count()));
        if (m_afterCommit)
            m_afterCommit();
        lastBatch = batch.size();
        batch.clear();
        lock.lock();
    }
}
