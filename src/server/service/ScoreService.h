#pragma once

#include "server/LogThrottle.h"
#include "server/Metrics.h"
#include "server/service/RankIndex.h"
#include "server/service/RateLimiter.h"
#include "server/store/ScoreStore.h"
#include "server/service/WorldPage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct TServiceOptions {
    // Submissions per sender and minute; 0 turns the limit off.
    int RateLimitPerMinute = 10;
    // Results above this are stored but held until an operator shows them.
    std::int32_t ScoreCeiling = 1000000;
    // The same result from the same sender within this time is stored once.
    std::int64_t ResendWindowSeconds = 600;
    // Unix seconds now, and a steady clock in milliseconds; tests replace them.
    std::function<std::int64_t()> Clock;
    std::function<std::int64_t()> SteadyMs;
    // /metrics is served only on its own address (--metrics-listen), not to the public.
    bool MetricsSeparate = false;
    // Only entries a replay has verified appear, on the page and in the API.
    bool VerifiedOnly = false;
};

// One request as the service needs it; the HTTP layer has parsed and checked the rest.
struct TServiceRequest {
    std::string_view Method;
    std::string_view Target;
    std::string Client; // the sender's address, proxies already accounted for
    // Arrived on the separate address for metrics (--metrics-listen), which serves nothing else.
    bool Internal = false;
    // What the client holds and takes: answered 304 when its copy is current, gzip when it may.
    bool AcceptsGzip = false;
    std::string_view IfNoneMatch;
    std::string_view IfModifiedSince;
    std::string_view Body; // what a POST carried
};

struct TServiceReply {
    int Status = 200;
    std::string ContentType;
    std::shared_ptr<const std::string> Body;
    std::vector<std::pair<std::string, std::string>> Headers;
    TMetrics::TRoute Route = TMetrics::TRoute::Other;
    // The header fields above, written out once for an answer that is served many times as it
    // is (every line but the status line, Date and Connection); empty: written per answer.
    std::shared_ptr<const std::string> Fields;
};

// The header lines of a reply as sent: type, length, the reply's own headers and the server's
// standing ones, each ending in CRLF.
std::string ReplyFields(const TServiceReply& reply);

// What the server answers, independent of how requests arrive: the game's submission, the
// world page, the JSON API, health and metrics.
class IReplayStore;
class TReplayUploads;
class TSpool;
struct TReadyReply;
struct TWorldPageView;

class TScoreService {
  public:
    // spool: where results go that the store cannot take (none: they are answered 503).
    TScoreService(IScoreStore& store, TMetrics& metrics, TServiceOptions options, TSpool* spool = nullptr);

    // reply runs exactly once: at once for most requests, from the store's thread for a
    // submission (after its commit).
    void Handle(const TServiceRequest& request, std::function<void(TServiceReply)> reply);
    // Takes replays (POST /api/v1/replays and the rest) and offers the verified view; without
    // this the replay addresses answer 404, as on a server from before replays.
    void TakeReplays(TReplayUploads& uploads, IReplayStore& store);

  private:
    struct TCached {
        std::uint64_t Generation;
        std::int64_t Since;
        std::shared_ptr<const TReadyReply> Reply;
        bool Rebuilding = false; // a request is building the page anew
        std::shared_ptr<std::atomic<std::uint64_t>> LastUse;
    };

    // Whether the sender may send one more result now; when not, retryAfter says in how long.
    bool AllowSubmission(const std::string& sender, int& retryAfter);
    void Submit(const TServiceRequest& request, std::string_view symbols,
                std::function<void(TServiceReply)>& reply);
    TServiceReply Page(const TServiceRequest& request, std::string_view query);
    // The page or search of verified entries only.
    TServiceReply VerifiedPage(const TServiceRequest& request, TWorldPageView view, std::int64_t since);
    TServiceReply PageReply(TWorldPageView view);
    // Whether a request asks for verified entries only (or the server shows no others); error
    // when its verified parameter is neither 1/true nor 0/false.
    std::optional<bool> VerifiedOnly(std::string_view value, std::string& error) const;
    TServiceReply ApiScores(const TServiceRequest& request, std::string_view query);
    TServiceReply ApiRank(std::string_view query);
    TServiceReply Health();
    TServiceReply MetricsText();

    // The reply built by make, or the one built for the same key while nothing has changed
    // since (or while another request rebuilds it, or while the store cannot be reached); its
    // header fields are written out once, when it is built.
    TServiceReply Cached(const TServiceRequest& request, const std::string& key, std::int64_t since,
                         const std::function<TServiceReply()>& make);

    IScoreStore& m_store;
    TMetrics& m_metrics;
    TSpool* m_spool;
    TServiceOptions m_options;
    TRateLimiter m_limiter;
    TWorldPage m_page;

    TLogThrottle m_unavailableLog;
    std::shared_mutex m_cacheMutex;
    std::unordered_map<std::string, TCached> m_cache;
    std::atomic<std::uint64_t> m_useClock{0};
    TRankIndex m_rank;
    TReplayUploads* m_uploads = nullptr;
    IReplayStore* m_replays = nullptr;
};
