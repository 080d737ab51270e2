#include "server/service/ReplayVerifier.h"

#include "app/ReplayVerify.h"
#include "server/Log.h"
#include "server/service/ReplayUpload.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {
// An entry received this long after the upload still matches: several servers' clocks differ a little.
constexpr std::int64_t kMatchAfterSeconds = 60;
constexpr int kWorkerNice = 10;
} // namespace

TReplayVerifier::TReplayVerifier(IReplayStore& store, TVerifierOptions options)
    : m_store(store), m_options(std::move(options)) {
    const TRaceBuild build = RaceBuildOf(m_options.GameData);
    m_raceVersion = build.GameVersion;
    m_dataHash = build.DataHash;
    m_figures.Buckets.assign(kSecondsBuckets.size() + 1, 0);
    for (int i = 0; i < m_options.Workers; ++i)
        m_workers.emplace_back([this] { Work(); });
}

TReplayVerifier::~TReplayVerifier() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

bool TReplayVerifier::Reserve() {
    std::lock_guard lock(m_mutex);
    if (m_reserved >= m_options.QueueCap)
        return false;
    ++m_reserved;
    return true;
}

void TReplayVerifier::Release() {
    std::lock_guard lock(m_mutex);
    if (m_reserved > 0)
        --m_reserved;
    m_idle.notify_all();
}

void TReplayVerifier::Queue(std::string id) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(id));
    }
    m_wake.notify_one();
}

void TReplayVerifier::Resume() {
    std::vector<std::string> ids;
    try {
        // Replays kept by a server of another race version that this one re-runs join the queue.
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(m_dataHash));
        std::size_t adopted = 0;
        for (const TReplayRecord& r : m_store.ListReplays(TReplayStatus::OtherVersion, 0))
            if (r.GameVersion == m_raceVersion && r.DataHash == hash && m_store.RequeueOtherVersion(r.Id))
                ++adopted;
        if (adopted > 0)
            Log(TLogLevel::Info, std::to_string(adopted) + " replays kept for race version " + m_raceVersion +
                                     " are queued for their re-run");
        ids = m_store.QueuedReplays();
    } catch (const std::exception& e) {
        Log(TLogLevel::Warning, std::string("queued replays not taken up: ") + e.what());
        return;
    }
    std::size_t taken = 0;
    for (const std::string& id : ids) {
        if (!Reserve())
            break;
        Queue(id);
        ++taken;
    }
    if (!ids.empty())
        Log(TLogLevel::Info, std::to_string(taken) + " of " + std::to_string(ids.size()) +
                                 " replays left queued are re-run now" +
                                 (taken < ids.size() ? "; the others at a later start" : ""));
}

TVerifierFigures TReplayVerifier::Figures() const {
    std::lock_guard lock(m_mutex);
    TVerifierFigures figures = m_figures;
    figures.Queued = m_queue.size();
    figures.Busy = m_busy;
    return figures;
}

void TReplayVerifier::WaitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_reserved == 0 && m_busy == 0; });
}

void TReplayVerifier::Work() {
    // Re-runs can wait; the pages and the score requests cannot: on a busy machine the workers
    // give way to the threads serving them.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kWorkerNice);
    for (;;) {
        std::string id;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            id = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_busy;
        }
        const auto started = std::chrono::steady_clock::now();
        Verify(id);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        {
            std::lock_guard lock(m_mutex);
            --m_busy;
            --m_reserved;
            std::size_t bucket = 0;
            while (bucket < kSecondsBuckets.size() && seconds > kSecondsBuckets[bucket])
                ++bucket;
            ++m_figures.Buckets[bucket];
            m_figures.Seconds += seconds;
        }
        m_idle.notify_all();
    }
}

void TReplayVerifier::Verify(const std::string& id) {
    std::optional<std::string> bytes;
    try {
        bytes = m_store.ReplayBytes(id);
    } catch (const std::exception& e) {
        Log(TLogLevel::Error,
            "replay " + id + " not re-run: " + e.what() + "; it is re-run at the next start");
        return;
    }
    if (!bytes)
        return; // deleted meanwhile
    TReplayOutcome outcome;
    outcome.Id = id;
    outcome.MatchBeforeSeconds = m_options.MatchWindowSeconds;
    outcome.MatchAfterSeconds = kMatchAfterSeconds;
    try {
        TReplayCheckOptions check;
        check.DataDir = m_options.GameData;
        check.MaxTicks = m_options.MaxTicks;
        check.Deadline = std::chrono::steady_clock::now() + m_options.MaxTime;
        const TReplayVerdict verdict = VerifyReplay(*bytes, check);
        outcome.Reproduced = verdict.Matches;
        outcome.Reason = verdict.Mismatch;
        if (verdict.Replay.Claim) {
            const std::int32_t score = verdict.Replay.Claim->Score;
            outcome.NewEntryState = score > m_options.ScoreCeiling ? TEntryState::Held : TEntryState::Shown;
            outcome.NewEntryDigest =
                SubmissionDigest(verdict.Replay.Name.value_or(""), score, verdict.Replay.Crew.value_or(""));
        }
    } catch (const EReplayError& e) {
        outcome.Reproduced = false;
        outcome.Reason = e.what();
    } catch (const std::exception& e) {
        // The server's own trouble (its data unreadable): the replay stays queued for the next start.
        Log(TLogLevel::Error, "replay " + id + " not re-run: " + e.what());
        return;
    }
    try {
        const TReplayRecord recorded = m_store.RecordOutcome(outcome);
        Log(recorded.Status == TReplayStatus::Verified ? TLogLevel::Info : TLogLevel::Warning,
            "replay " + recorded.Id + " from " + recorded.Client + ": " +
                std::string(ReplayStatusName(recorded.Status)) +
                (recorded.EntryId ? ", entry " + std::to_string(recorded.EntryId) : std::string()) +
                (recorded.Reason.empty() ? std::string() : " (" + recorded.Reason + ")"));
        std::lock_guard lock(m_mutex);
        switch (recorded.Status) {
        case TReplayStatus::Verified:
            ++m_figures.Verified;
            break;
        case TReplayStatus::Copy:
            ++m_figures.Copies;
            break;
        default:
            ++m_figures.Failed;
            break;
        }
    } catch (const std::exception& e) {
        Log(TLogLevel::Error, "replay " + id + ": its outcome could not be recorded (" + e.what() +
                                  "); it is re-run at the next start");
    }
}
