#pragma once

#include "server/Log.h"

#include <atomic>
#include <chrono>
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
