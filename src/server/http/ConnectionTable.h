#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct TConnectionLimits {
    // Open connections at most.
    std::size_t Max = 1000;
    // Open connections from one address at most (a trusted proxy is exempt: it carries everyone's).
    std::size_t PerAddress = 64;
    // The last slots under Max, kept for addresses holding at most ReserveShare connections, so
    // one busy address (or a few) cannot take every slot from a health check or a new player.
    std::size_t Reserve = 100;
    std::size_t ReserveShare = 4;
};

// Who holds which connection, and which of them wait idle between requests. When a new
// connection would pass a limit, the oldest idle connection that stands in its way is closed to
// make room (an idle connection costs its client nothing to open again); only when none is idle
// is the newcomer refused.
class TConnectionTable {
  public:
    using TCloser = std::function<void()>;

    explicit TConnectionTable(TConnectionLimits limits);

    // A new connection from address: its id, or nothing when it is refused. The closers of the
    // idle connections evicted for it are appended to evicted, to be called outside the table.
    std::optional<std::uint64_t> Admit(const std::string& address, bool exempt,
                                       std::vector<TCloser>& evicted);
    // The connection waits for its next request (closer ends it) or has one under way.
    void SetIdle(std::uint64_t id, TCloser closer);
    void SetBusy(std::uint64_t id);
    // The connection is gone (no-op for one already evicted).
    void Remove(std::uint64_t id);

    std::size_t Open() const;
    std::size_t OpenFrom(const std::string& address) const;
    std::uint64_t Evicted() const;

  private:
    struct TEntry {
        std::string Address;
        std::uint64_t IdleSeq = 0; // 0: busy
        TCloser Closer;
    };
    // Closes the longest-idle connection, of address when given; false when there is none.
    bool EvictOldestIdle(const std::string* address, std::vector<TCloser>& evicted);
    void Forget(std::unordered_map<std::uint64_t, TEntry>::iterator it);

    const TConnectionLimits m_limits;
    mutable std::mutex m_mutex;
    std::unordered_map<std::uint64_t, TEntry> m_entries;
    std::unordered_map<std::string, std::size_t> m_perAddress;
    std::map<std::uint64_t, std::uint64_t> m_idle; // idle sequence (oldest first) -> id
    std::uint64_t m_nextId = 1;
    std::uint64_t m_nextIdleSeq = 1;
    std::uint64_t m_evicted = 0;
};
