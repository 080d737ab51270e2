#pragma once

#include "server/store/ScoreStore.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The whole list's order in memory, per period, taken from the store once per change (at most
// every MaxAge under a stream of changes): a place costs a binary search, and a page anywhere in
// the list a hundred lookups by id, whatever the list's length. While one request takes a new
// copy, the others answer from the one before.
class TRankIndex {
  public:
    struct TSnapshot {
        std::uint64_t Generation = 0;
        std::int64_t Since = 0;
        std::int64_t TakenMs = 0;
        std::vector<TListKey> Keys; // the list's order

        std::int64_t Count() const { return static_cast<std::int64_t>(Keys.size()); }
        // The place score would take: one more than the better scores.
        std::int64_t RankOf(std::int32_t score) const;
    };

    TRankIndex(IScoreStore& store, std::function<std::int64_t()> steadyMs,
               std::chrono::milliseconds maxAge = std::chrono::milliseconds(250));

    // The list of entries received at or after since; null when the store gives no keys. Throws
    // EStoreUnavailable when there is no copy and the store cannot give one.
    std::shared_ptr<const TSnapshot> Get(std::int64_t since);

    // A page of the list from the copy (places included), read by id; nullopt when the store
    // gives no keys, or an entry changed since the copy was taken (read the page directly then).
    std::optional<TScorePage> Page(std::int64_t since, std::int64_t offset, int limit);

  private:
    struct TSlot {
        std::shared_ptr<const TSnapshot> Current;
        bool Building = false;
    };

    IScoreStore& m_store;
    std::function<std::int64_t()> m_steadyMs;
    const std::chrono::milliseconds m_maxAge;
    std::mutex m_mutex;
    std::map<std::int64_t, TSlot> m_slots; // by since
    bool m_unsupported = false;
};
