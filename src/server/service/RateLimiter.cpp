#include "server/service/RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::int64_t kMinuteMs = 60000;
// Past this many senders in one minute, newcomers wait rather than grow the table without end.
constexpr std::size_t kMaxTracked = 200000;
} // namespace

TRateLimiter::TRateLimiter(int perMinute)
    : m_perMinute(std::max(0, perMinute)), m_tokensPerMs(static_cast<double>(m_perMinute) / kMinuteMs) {}

bool TRateLimiter::Allow(const std::string& key, std::int64_t nowMs, int& retryAfterSeconds) {
    retryAfterSeconds = 0;
    if (m_perMinute == 0)
        return true;
    std::lock_guard lock(m_mutex);
    if (nowMs >= m_nextPruneMs || m_buckets.size() >= kMaxTracked)
        Prune(nowMs);
    auto it = m_buckets.find(key);
    if (it == m_buckets.end()) {
        if (m_buckets.size() >= kMaxTracked) {
            retryAfterSeconds = static_cast<int>(kMinuteMs / 1000);
            return false;
        }
        it = m_buckets.emplace(key, TBucket{static_cast<double>(m_perMinute), nowMs}).first;
    }
    TBucket& b = it->second;
    b.Tokens =
        std::min<double>(m_perMinute, b.Tokens + static_cast<double>(nowMs - b.LastMs) * m_tokensPerMs);
    b.LastMs = nowMs;
    if (b.Tokens >= 1.0) {
        b.Tokens -= 1.0;
        return true;
    }
    retryAfterSeconds = std::max(1, static_cast<int>(std::ceil((1.0 - b.Tokens) / m_tokensPerMs / 1000.0)));
    return false;
}

std::size_t TRateLimiter::Tracked() const {
    std::lock_guard lock(m_mutex);
    return m_buckets.size();
}

void TRateLimiter::Prune(std::int64_t nowMs) {
    m_nextPruneMs = nowMs + kMinuteMs;
    for (auto it = m_buckets.begin(); it != m_buckets.end();) {
        double tokens = it->second.Tokens + static_cast<double>(nowMs - it->second.LastMs) * m_tokensPerMs;
        if (tokens >= m_perMinute)
            it = m_buckets.erase(it);
        else
            ++it;
    }
}
