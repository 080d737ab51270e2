#pragma once

#include "server/Log.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Lets one message through per interval and counts the ones held back, so a database that is
// down for a minute under load leaves a line a second in the log rather than a flood.
class TLogThrottle {
  public:
    explicit TLogThrottle(std::chrono::milliseconds interval = std::chrono::seconds(1))
        : m_interval(interval) {}

    // Logs the message as a warning unless one went out within the interval.
    void Write(std::string_view message) {
        std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
        std::int64_t next = m_nextMs.load();
        if (now < next || !m_nextMs.compare_exchange_strong(next, now + m_interval.count())) {
            m_held.fetch_add(1);
            return;
        }
        std::uint64_t held = m_held.exchange(0);
        if (held > 0)
            Log(TLogLevel::Warning,
                std::string(message) + " (and " + std::to_string(held) + " more like it)");
        else
            Log(TLogLevel::Warning, message);
    }

  private:
    const std::chrono::milliseconds m_interval;
    std::atomic<std::int64_t> m_nextMs{0};
    std::atomic<std::uint64_t> m_held{0};
};

// What a store says when a batch of results could not be written. They are not lost for that:
// the spool keeps them when there is one, and otherwise their senders are answered 503.
inline std::string NotWritten(std::size_t count, std::string_view why) {
    return "writing " + std::to_string(count) +
           " results to the database failed (kept in the spool if there is one, else answered 503): " +
           std::string(why);
}

// The first batch written after failures says so, so an outage's end is in the log as its start is.
inline void WritesWork(bool& failing) {
    if (failing)
        Log(TLogLevel::Info, "the database takes results again");
    failing = false;
}
