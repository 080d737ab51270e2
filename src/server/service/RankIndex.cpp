#include "server/service/RankIndex.h"

#include <algorithm>

namespace {
// Periods in use at once: the four tabs, and the previous day's while a new one begins.
constexpr std::size_t kMaxSlots = 8;
} // namespace

std::int64_t TRankIndex::TSnapshot::RankOf(std::int32_t score) const {
    // Keys run from the best score down: the better ones are those before the first that is not.
    auto firstNotBetter = std::partition_point(Keys.begin(), Keys.end(),
                                               [score](const TListKey& k) { return k.Score > score; });
    return 1 + static_cast<std::int64_t>(firstNotBetter - Keys.begin());
}

TRankIndex::TRankIndex(IScoreStore& store, std::function<std::int64_t()> steadyMs,
                       std::chrono::milliseconds maxAge)
    : m_store(store), m_steadyMs(std::move(steadyMs)), m_maxAge(maxAge) {}

std::shared_ptr<const TRankIndex::TSnapshot> TRankIndex::Get(std::int64_t since) {
    // Read before taking the copy, so a change that lands meanwhile makes it stale.
    std::uint64_t generation = m_store.Generation();
    std::int64_t now = m_steadyMs();
    std::shared_ptr<const TSnapshot> previous;
    {
        std::lock_guard lock(m_mutex);
        if (m_unsupported)
            return nullptr;
        TSlot& slot = m_slots[since];
        previous = slot.Current;
        bool fresh = previous && previous->Generation == generation;
        bool youngEnough = previous && now - previous->TakenMs < m_maxAge.count();
        if (fresh || (previous && (slot.Building || youngEnough)))
            return previous;
        if (slot.Building) {
            // Nothing to answer from yet: this request takes its own copy below.
        } else {
            slot.Building = true;
        }
    }
    auto snapshot = std::make_shared<TSnapshot>();
    snapshot->Generation = generation;
    snapshot->Since = since;
    snapshot->TakenMs = now;
    std::optional<std::vector<TListKey>> keys;
    try {
        keys = m_store.ListKeys(since);
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_slots[since].Building = false;
        if (previous)
            return previous; // the store is away: the last copy
        throw;
    }
    std::lock_guard lock(m_mutex);
    TSlot& slot = m_slots[since];
    slot.Building = false;
    if (!keys) {
        m_unsupported = true;
        return nullptr;
    }
    snapshot->Keys = std::move(*keys);
    if (!slot.Current || slot.Current->Generation <= generation)
        slot.Current = snapshot;
    // Past periods (yesterday's today) go; the map is keyed by since, oldest first.
    while (m_slots.size() > kMaxSlots)
        m_slots.erase(m_slots.begin());
    return snapshot;
}

std::optional<TScorePage> TRankIndex::Page(std::int64_t since, std::int64_t offset, int limit) {
    std::shared_ptr<const TSnapshot> list = Get(since);
    if (!list)
        return std::nullopt;
    TScorePage page;
    page.Total = list->Count();
    if (offset >= page.Total)
        return page;
    auto first = list->Keys.begin() + offset;
    auto last = list->Keys.begin() + std::min(page.Total, offset + limit);
    std::vector<std::int64_t> ids;
    for (auto it = first; it != last; ++it)
        ids.push_back(it->Id);
    std::vector<TRankedEntry> found = m_store.ShownEntries(ids);
    if (found.size() != ids.size())
        return std::nullopt;
    std::sort(found.begin(), found.end(), [](const TRankedEntry& a, const TRankedEntry& b) {
        if (a.Score != b.Score)
            return a.Score > b.Score;
        if (a.Received != b.Received)
            return a.Received < b.Received;
        return a.Id < b.Id;
    });
    for (std::size_t i = 0; i < found.size(); ++i) {
        const TListKey& key = first[static_cast<std::ptrdiff_t>(i)];
        // An entry whose score changed since the copy (it cannot, but an operator's SQL can).
        if (found[i].Id != key.Id || found[i].Score != key.Score)
            return std::nullopt;
        found[i].Rank = list->RankOf(found[i].Score);
    }
    page.Entries = std::move(found);
    return page;
}
