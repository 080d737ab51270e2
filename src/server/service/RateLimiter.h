#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

// Submissions per sender and minute, as a bucket per sender that refills evenly over the
// minute: a burst of the full allowance is let through, then one every 60/N seconds.
class TRateLimiter {
  public:
    // perMinute 0 turns the limit off.
    explicit TRateLimiter(int perMinute);

    // Whether one more submission from key is let through at nowMs (a steady clock). When it
    // is not, retryAfterSeconds says when the next one would be.
    bool Allow(const std::string& key, std::int64_t nowMs, int& retryAfterSeconds);

    // Senders being tracked (full buckets are forgotten now and then).
    std::size_t Tracked() const;

  private:
    struct TBucket {
        double Tokens;
        std::int64_t LastMs;
    };
    void Prune(std::int64_t nowMs);

    int m_perMinute;
    double m_tokensPerMs;
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, TBucket> m_buckets;
    std::int64_t m_nextPruneMs = 0;
};
