#pragma once

#include "server/store/ReplayStore.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TMetrics;

struct TVerifierOptions {
    // Holds Res/Res3.dxg, the race's pictures, which decide where things float and collide.
    std::string GameData;
    int Workers = 1; // each re-runs one replay at a time; 0: replays wait in the store
    std::size_t QueueCap = 256;
    // A replay longer than this is not re-run (two hours of play); a re-run taking longer
    // than MaxTime is stopped. Either fails the replay, saying which cap it met.
    std::uint32_t MaxTicks = 480000;
    std::chrono::milliseconds MaxTime{10000};
    // An entry of the same sender received this long before the upload (or a minute after)
    // is the one a replay stands for.
    std::int64_t MatchWindowSeconds = 86400;
    std::int32_t ScoreCeiling = 1000000;
};

// Figures for /metrics.
struct TVerifierFigures {
    std::uint64_t Verified = 0, Failed = 0, Copies = 0;
    std::size_t Queued = 0, Busy = 0;
    std::vector<std::uint64_t> Buckets; // re-runs per bucket of TVerifier::kSecondsBuckets, not cumulative
    double Seconds = 0;
};

// Re-runs uploaded replays on a bounded pool of worker threads and records what they came to.
// The queue holds ids only and a worker reads the bytes from the store when it starts on one, so
// a full queue of the largest replays costs no memory; replays still queued when the server stops
// are taken up again at its next start.
class TReplayVerifier {
  public:
    static constexpr std::array<double, 8> kSecondsBuckets = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 1.0, 10.0};

    // Throws std::runtime_error when the game data cannot be read.
    TReplayVerifier(IReplayStore& store, TVerifierOptions options);
    // Lets the workers finish the replays they run; the queued ones stay queued in the store.
    ~TReplayVerifier();
    TReplayVerifier(const TReplayVerifier&) = delete;
    TReplayVerifier& operator=(const TReplayVerifier&) = delete;

    // What this server re-runs: the race version (the game version replays carry) and the data hash.
    const std::string& RaceVersion() const { return m_raceVersion; }
    std::uint64_t DataHash() const { return m_dataHash; }
    const TVerifierOptions& Options() const { return m_options; }

    // Takes a place in the queue; false when it is full.
    bool Reserve();
    // Gives back a place that Reserve took and that Queue will not use.
    void Release();
    // Queues a stored replay into a place that Reserve took.
    void Queue(std::string id);
    // Queues the replays the store still holds as queued, as far as there is room; the others
    // wait for the next start.
    void Resume();

    TVerifierFigures Figures() const;
    // Blocks until the queue is empty and no worker is busy (for tests and benchmarks).
    void WaitIdle();

  private:
    void Work();
    void Verify(const std::string& id);

    IReplayStore& m_store;
    TVerifierOptions m_options;
    std::string m_raceVersion;
    std::uint64_t m_dataHash = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<std::string> m_queue; // ids
    std::size_t m_reserved = 0;      // places taken, queued or about to be
    std::size_t m_busy = 0;
    bool m_stopping = false;
    TVerifierFigures m_figures;
    std::vector<std::thread> m_workers;
};
