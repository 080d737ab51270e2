#include "server/service/ReadyReply.h"
#include "server/service/ScoreService.h"

#include <algorithm>

namespace {
constexpr std::size_t kMaxCached = 256;
} // namespace

TServiceReply TScoreService::Cached(const TServiceRequest& request, const std::string& key,
                                    std::int64_t since, const std::function<TServiceReply()>& make) {
    // Read before building, so a change that lands while building makes the result stale.
    std::uint64_t generation = m_store.Generation();
    {
        std::shared_lock lock(m_cacheMutex);
        auto it = m_cache.find(key);
        if (it != m_cache.end() && it->second.Generation == generation && it->second.Since == since) {
            it->second.LastUse->store(m_useClock.fetch_add(1, std::memory_order_relaxed),
                                      std::memory_order_relaxed);
            return it->second.Reply->For(request);
        }
    }
    std::shared_ptr<const TReadyReply> previous;
    {
        std::unique_lock lock(m_cacheMutex);
        auto it = m_cache.find(key);
        if (it != m_cache.end() && it->second.Since == since) {
            if (it->second.Generation == generation)
                return it->second.Reply->For(request);
            // Under load every change would send every reader of a page to the store at once:
            // one request rebuilds it, and the others meanwhile get the copy from just before
            // the change (a few milliseconds behind).
            if (it->second.Rebuilding)
                return it->second.Reply->For(request);
            it->second.Rebuilding = true;
            previous = it->second.Reply;
        }
    }
    auto giveUp = [this, &key] {
        std::unique_lock lock(m_cacheMutex);
        auto it = m_cache.find(key);
        if (it != m_cache.end())
            it->second.Rebuilding = false;
    };
    std::shared_ptr<const TReadyReply> built;
    try {
        built = MakeReady(make(), m_options.Clock());
    } catch (const EStoreUnavailable&) {
        giveUp();
        // While the store is away, readers get the last copy built rather than an error.
        if (previous)
            return previous->For(request);
        throw;
    } catch (...) {
        giveUp();
        throw;
    }
    std::unique_lock lock(m_cacheMutex);
    if (m_cache.size() >= kMaxCached && m_cache.find(key) == m_cache.end()) {
        // The answer used longest ago makes room; the busy ones (the first page) stay.
        auto oldest = std::min_element(m_cache.begin(), m_cache.end(), [](const auto& a, const auto& b) {
            return a.second.LastUse->load() < b.second.LastUse->load();
        });
        m_cache.erase(oldest);
    }
    m_cache[key] = TCached{generation, since, built, false,
                           std::make_shared<std::atomic<std::uint64_t>>(m_useClock.fetch_add(1))};
    return built->For(request);
}
