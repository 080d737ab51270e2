#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// What the server has answered, for /metrics in the Prometheus text format. Counting is lock-free.
class TMetrics {
  public:
    enum class TRoute { Submit, Page, ApiScores, ApiRank, Health, Metrics, Replays, Other, Count };
    enum class TRefusal { Malformed, RateLimited, Unavailable, Count };

    static std::string_view RouteName(TRoute route);

    void Request(TRoute route, int status, double seconds);
    void SubmissionStored(bool held);
    void SubmissionResent();
    void SubmissionRefused(TRefusal reason);
    void ConnectionOpened() { m_openConnections.fetch_add(1); }
    void ConnectionClosed() { m_openConnections.fetch_sub(1); }
    void ConnectionRefused() { m_refusedConnections.fetch_add(1); }
    void ConnectionTimedOut() { m_timedOutConnections.fetch_add(1); }
    void ConnectionEvicted() { m_evictedConnections.fetch_add(1); }
    std::int64_t OpenConnections() const { return m_openConnections.load(); }

    std::uint64_t RequestCount(TRoute route, int status) const;
    std::uint64_t StoredCount() const { return m_stored.load(); }

    // Adds lines of its own (HELP, TYPE and samples) to every rendering: the store's figures,
    // the process's.
    void AddSource(std::function<void(std::string&)> render);

    void SubmissionSpooled() { m_spooled.fetch_add(1); }

    std::string Render() const;

  private:
    static constexpr std::array<int, 16> kStatuses = {200, 202, 204, 304, 400, 404, 405, 408,
                                                      409, 413, 422, 429, 431, 500, 503, 0 /* other */};
    static constexpr std::array<double, 12> kBuckets = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                        0.05,   0.1,   0.25,   0.5,   1.0,  2.5};
    static constexpr std::size_t kRoutes = static_cast<std::size_t>(TRoute::Count);
    static std::size_t StatusIndex(int status);

    std::array<std::array<std::atomic<std::uint64_t>, kStatuses.size()>, kRoutes> m_requests{};
    // Per route: one count per bucket (not cumulative; summed when rendered), then the rest.
    std::array<std::array<std::atomic<std::uint64_t>, kBuckets.size() + 1>, kRoutes> m_latency{};
    std::array<std::atomic<std::uint64_t>, kRoutes> m_latencyMicros{};
    std::atomic<std::uint64_t> m_stored{0};
    std::atomic<std::uint64_t> m_held{0};
    std::atomic<std::uint64_t> m_resent{0};
    std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(TRefusal::Count)> m_refused{};
    std::atomic<std::int64_t> m_openConnections{0};
    std::atomic<std::uint64_t> m_refusedConnections{0};
    std::atomic<std::uint64_t> m_timedOutConnections{0};
    std::atomic<std::uint64_t> m_evictedConnections{0};
    std::atomic<std::uint64_t> m_spooled{0};
    mutable std::mutex m_sourcesMutex;
    std::vector<std::function<void(std::string&)>> m_sources;
};
