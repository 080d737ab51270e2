#include "server/service/ScoreService.h"

#include "server/service/ClientAddress.h"
#include "server/service/JsonApi.h"
#include "server/service/OpenApi.h"
#include "server/service/Period.h"
#include "server/service/QueryParams.h"
#include "server/service/ReadyReply.h"
#include "server/store/ReplayStore.h"
#include "server/service/ReplayUpload.h"
#include "server/service/ScoreCodec.h"
#include "server/store/Spool.h"
#include "server/TextEscape.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>
#include <optional>

namespace {

using TRoute = TMetrics::TRoute;

constexpr std::string_view kGamePath = "/cgi/version.pl";
constexpr std::string_view kSubmitPrefix = "hs&prg=Spraydash&inf=";
constexpr std::string_view kPageLocation = "/cgi/version.pl?prg=Spraydash&show&type=0";
constexpr int kPageSize = 100;
constexpr int kApiMaxLimit = 100;
constexpr std::int64_t kMaxOffset = 100000000;
constexpr std::int64_t kDirectPages = 10;
constexpr std::size_t kMaxSearch = 40;
constexpr std::string_view kRetryAfterUnavailable = "5";

constexpr std::string_view kTextType = "text/plain; charset=utf-8";
constexpr std::string_view kHtmlType = "text/html; charset=utf-8";
constexpr std::string_view kJsonType = "application/json";
constexpr std::string_view kPageSecurity = "default-src 'none'; style-src 'unsafe-inline'; img-src data:; "
                                           "base-uri 'none'; form-action 'self'; frame-ancestors 'none'";

TServiceReply Text(int status, std::string text, TRoute route) {
    TServiceReply reply;
    reply.Status = status;
    reply.ContentType = kTextType;
    reply.Body = std::make_shared<const std::string>(std::move(text) + "\n");
    reply.Route = route;
    return reply;
}

TServiceReply Unavailable(TRoute route) {
    TServiceReply reply = Text(503, "the score store is not available right now; try again shortly", route);
    reply.Headers.emplace_back("Retry-After", kRetryAfterUnavailable);
    return reply;
}

TServiceReply JsonReply(TRoute route, std::string json) {
    TServiceReply reply;
    reply.Route = route;
    reply.ContentType = kJsonType;
    reply.Body = std::make_shared<const std::string>(std::move(json));
    reply.Headers.emplace_back("Access-Control-Allow-Origin", "*");
    reply.Headers.emplace_back("Cache-Control", "no-cache");
    return reply;
}

std::optional<TPeriod> PeriodParam(const std::vector<TParam>& params, std::string& error) {
    const TParam* p = Given(params, "period");
    if (!p)
        return TPeriod::All;
    std::optional<TPeriod> period = ParsePeriod(p->Value);
    if (!period)
        error = "period must be today, week, month or all";
    return period;
}

} // namespace

TScoreService::TScoreService(IScoreStore& store, TMetrics& metrics, TServiceOptions options, TSpool* spool)
    : m_store(store), m_metrics(metrics), m_spool(spool), m_options(std::move(options)),
      m_limiter(m_options.RateLimitPerMinute), m_rank(store, [this] { return m_options.SteadyMs(); }) {
    if (!m_options.Clock) {
        m_options.Clock = [] {
            return std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
    }
    if (!m_options.SteadyMs) {
        m_options.SteadyMs = [] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
        };
    }
}

void TScoreService::Handle(const TServiceRequest& request, std::function<void(TServiceReply)> reply) {
    std::string_view target = request.Target;
    // The absolute form a client sends to a proxy: the path starts after the authority.
    for (std::string_view scheme : {"http://", "https://"}) {
        if (target.substr(0, scheme.size()) == scheme) {
            std::size_t slash = target.find('/', scheme.size());
            target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
        }
    }
    std::size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : target.substr(question + 1);

    TRoute route = TRoute::Other;
    if (path == kGamePath)
        route = query.substr(0, 3) == "hs&" ? TRoute::Submit : TRoute::Page;
    else if (path == "/api/v1/scores")
        route = TRoute::ApiScores;
    else if (path == "/api/v1/rank")
        route = TRoute::ApiRank;
    else if (path == "/api/v1/openapi.json")
        route = TRoute::ApiScores;
    else if (path == "/healthz")
        route = TRoute::Health;
    else if (path == "/metrics")
        route = TRoute::Metrics;

    // The metrics address serves the operator's monitoring only; the public one, when there is
    // a metrics address, not the metrics.
    if (request.Internal ? route != TRoute::Metrics && route != TRoute::Health
                         : route == TRoute::Metrics && m_options.MetricsSeparate) {
        reply(Text(404, request.Internal ? "this address serves /metrics and /healthz" : "nothing here",
                   route));
        return;
    }

    if (TReplayUploads::Serves(path)) {
        try {
            reply(m_uploads ? m_uploads->Handle(request, path)
                            : Text(404, "this server takes no replays", TRoute::Replays));
        } catch (const EStoreUnavailable& e) {
            m_unavailableLog.Write(e.what());
            reply(Unavailable(TRoute::Replays));
        }
        return;
    }

    if (request.Method != "GET" && request.Method != "HEAD") {
        TServiceReply refused = Text(405, "only GET and HEAD are served", route);
        refused.Headers.emplace_back("Allow", "GET, HEAD");
        reply(std::move(refused));
        return;
    }

    if (route == TRoute::Submit && request.Method != "GET") {
        // A result is stored by the game's GET only; a HEAD (a link checker) must store nothing.
        TServiceReply refused = Text(405, "a result is sent with GET", route);
        refused.Headers.emplace_back("Allow", "GET");
        reply(std::move(refused));
        return;
    }

    try {
        switch (route) {
        case TRoute::Submit:
            if (query.substr(0, kSubmitPrefix.size()) != kSubmitPrefix) {
                m_metrics.SubmissionRefused(TMetrics::TRefusal::Malformed);
                reply(Text(400, "a submission reads hs&prg=Spraydash&inf=<result>", route));
                return;
            }
            Submit(request, query.substr(kSubmitPrefix.size()), reply);
            return;
        case TRoute::Page:
            reply(Page(request, query));
            return;
        case TRoute::ApiScores:
            if (path == "/api/v1/openapi.json") {
                static const TServiceReply description = [] {
                    TServiceReply r = JsonReply(TRoute::ApiScores, std::string(OpenApiDocument()));
                    r.Fields = std::make_shared<const std::string>(ReplyFields(r));
                    return r;
                }();
                reply(description);
                return;
            }
            reply(ApiScores(request, query));
            return;
        case TRoute::ApiRank:
            reply(ApiRank(query));
            return;
        case TRoute::Health:
            reply(Health());
            return;
        case TRoute::Metrics:
            reply(MetricsText());
            return;
        case TRoute::Replays:
        case TRoute::Other:
        case TRoute::Count:
            break;
        }
        if (path == "/") {
            TServiceReply moved =
                Text(302, "the world high scores are at " + std::string(kPageLocation), route);
            moved.Headers.emplace_back("Location", kPageLocation);
            reply(std::move(moved));
            return;
        }
        reply(Text(404, "nothing here; the world high scores are at " + std::string(kPageLocation), route));
    } catch (const EStoreUnavailable& e) {
        m_unavailableLog.Write(e.what());
        reply(Unavailable(route));
    }
}

void TScoreService::TakeReplays(TReplayUploads& uploads, IReplayStore& store) {
    m_uploads = &uploads;
    m_replays = &store;
}

std::optional<bool> TScoreService::VerifiedOnly(std::string_view value, std::string& error) const {
    bool asked = false;
    if (value == "1" || value == "true")
        asked = true;
    else if (!value.empty() && value != "0" && value != "false") {
        error = "verified must be 1 (true) or 0 (false)";
        return std::nullopt;
    }
    if ((asked || m_options.VerifiedOnly) && !m_replays) {
        error = "this server verifies no results";
        return std::nullopt;
    }
    return asked || m_options.VerifiedOnly;
}

bool TScoreService::AllowSubmission(const std::string& sender, int& retryAfter) {
    if (m_options.RateLimitPerMinute <= 0)
        return true;
    // Servers sharing a database count in it, so the limit holds across them; while it cannot be
    // asked, each counts for itself.
    try {
        if (std::optional<double> wait = m_store.TakeSubmissionToken(sender, m_options.RateLimitPerMinute)) {
            retryAfter = *wait > 0 ? std::max(1, static_cast<int>(std::ceil(*wait))) : 0;
            return *wait <= 0;
        }
    } catch (const EStoreUnavailable&) {
    }
    return m_limiter.Allow(sender, m_options.SteadyMs(), retryAfter);
}

void TScoreService::Submit(const TServiceRequest& request, std::string_view symbols,
                           std::function<void(TServiceReply)>& reply) {
    int retryAfter = 0;
    if (!AllowSubmission(RateKey(request.Client), retryAfter)) {
        m_metrics.SubmissionRefused(TMetrics::TRefusal::RateLimited);
        TServiceReply limited = Text(429,
                                     "too many results from this address; try again in " +
                                         std::to_string(retryAfter) + " seconds",
                                     TRoute::Submit);
        limited.Headers.emplace_back("Retry-After", std::to_string(retryAfter));
        reply(std::move(limited));
        return;
    }

    std::string error;
    std::optional<std::string> payload = DecodeSymbols(symbols, error);
    std::optional<TScorePayload> result;
    if (payload)
        result = ParseScorePayload(*payload, error);
    if (!result) {
        m_metrics.SubmissionRefused(TMetrics::TRefusal::Malformed);
        reply(Text(400, "malformed result: " + error, TRoute::Submit));
        return;
    }

    TNewScore score;
    score.Name = WindowsToUtf8(result->Name);
    score.Score = result->Score;
    score.Crew = WindowsToUtf8(result->Crew);
    score.Received = m_options.Clock();
    score.Client = request.Client;
    score.Digest = PayloadDigest(*payload);
    score.State = result->Score > m_options.ScoreCeiling ? TEntryState::Held : TEntryState::Shown;
    score.ResendSince = score.Received - m_options.ResendWindowSeconds;
    bool held = score.State == TEntryState::Held;

    // The store may answer after this service is gone (it commits what is queued when it
    // closes), so the answer holds on to nothing of the service but the metrics.
    TMetrics& metrics = m_metrics;
    TSpool* spool = m_spool;
    std::optional<TNewScore> copy;
    if (spool)
        copy = score;
    m_store.Submit(std::move(score), [&metrics, held, spool, copy = std::move(copy),
                                      reply = std::move(reply)](TSubmitOutcome outcome) {
        switch (outcome) {
        case TSubmitOutcome::Stored:
            metrics.SubmissionStored(held);
            reply(Text(200, held ? "stored; shown once an operator has looked at it" : "stored",
                       TRoute::Submit));
            return;
        case TSubmitOutcome::Resent:
            metrics.SubmissionResent();
            reply(Text(200, "already stored", TRoute::Submit));
            return;
        case TSubmitOutcome::Failed:
            break;
        }
        if (spool && spool->Keep(*copy)) {
            metrics.SubmissionSpooled();
            reply(Text(200, "kept; stored as soon as the database answers again", TRoute::Submit));
            return;
        }
        metrics.SubmissionRefused(TMetrics::TRefusal::Unavailable);
        reply(Unavailable(TRoute::Submit));
    });
}

TServiceReply TScoreService::Page(const TServiceRequest& request, std::string_view query) {
    std::vector<TParam> params = SplitQuery(query);
    const TParam* prg = Find(params, "prg");
    const TParam* show = Find(params, "show");
    const TParam* type = Find(params, "type");
    if (!show)
        return Text(400, "the game's address serves hs&... (a result) or show&... (the world list)",
                    TRoute::Page);
    if (!prg || prg->Value != "Spraydash" || !type || type->Value != "0")
        return Text(400, "the world list is at ?prg=Spraydash&show&type=0", TRoute::Page);
    std::string error;
    std::optional<TPeriod> period = PeriodParam(params, error);
    if (!period)
        return Text(400, error, TRoute::Page);
    std::int64_t page = 1;
    if (const TParam* p = Given(params, "page")) {
        std::optional<std::int64_t> n = ParseInt(p->Value, 1, kMaxOffset / kPageSize);
        if (!n)
            return Text(400, "page must be a number from 1", TRoute::Page);
        page = *n;
    }

    // A search by name, or the place a score would take ("where am I").
    std::optional<std::string> search;
    if (const TParam* p = Given(params, "name")) {
        search = PercentDecoded(p->Value);
        if (!search || search->size() > kMaxSearch)
            return Text(400, "name must be text of at most " + std::to_string(kMaxSearch) + " bytes",
                        TRoute::Page);
    }
    std::optional<std::int32_t> score;
    if (const TParam* p = Given(params, "score")) {
        std::optional<std::int64_t> n = ParseInt(p->Value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max());
        if (!n)
            return Text(400, "score must be a 32-bit whole number", TRoute::Page);
        score = static_cast<std::int32_t>(*n);
    }

    const TParam* verifiedParam = Given(params, "verified");
    std::optional<bool> verified = VerifiedOnly(verifiedParam ? verifiedParam->Value : "", error);
    if (!verified)
        return Text(400, error, TRoute::Page);

    std::int64_t since = PeriodStart(*period, m_options.Clock());
    if (*verified) {
        TWorldPageView view;
        view.Period = *period;
        view.Page = page;
        view.PageSize = kPageSize;
        view.Search = search;
        view.Score = score;
        return VerifiedPage(request, std::move(view), since);
    }
    std::int64_t scoreRank = 0;
    std::shared_ptr<const TRankIndex::TSnapshot> list;
    if (score || search)
        list = m_rank.Get(since);
    if (score) {
        scoreRank = list ? list->RankOf(*score) : m_store.RankOf(*score, since);
        page = (scoreRank - 1) / kPageSize + 1;
    }
    std::int64_t offset = (page - 1) * kPageSize;
    auto render = [&](TScorePage scores) {
        TWorldPageView view;
        view.Period = *period;
        view.Page = page;
        view.PageSize = kPageSize;
        view.Scores = std::move(scores);
        view.Search = search;
        view.Score = score;
        view.ScoreRank = scoreRank;
        return PageReply(std::move(view));
    };
    if (search) {
        std::string key = "find/" + std::string(PeriodName(*period)) + "/" + *search;
        return Cached(request, key, since, [&] {
            TScorePage found;
            found.Entries = m_store.FindByName(since, *search, kPageSize);
            found.Total = list ? list->Count() : m_store.CountShown(since);
            for (TRankedEntry& e : found.Entries)
                e.Rank = list ? list->RankOf(e.Score) : m_store.RankOf(e.Score, since);
            return render(std::move(found));
        });
    }
    if (score) {
        std::optional<TScorePage> scores = m_rank.Page(since, offset, kPageSize);
        return MakeReady(render(scores ? std::move(*scores) : m_store.Top(since, offset, kPageSize)),
                         m_options.Clock())
            ->For(request);
    }
    // The first pages are read directly and kept until the next change; pages further down, and
    // those past the end, come from the list's order in memory, so that a crowd of them neither
    // reads the list over and over nor pushes the first pages out of the cache.
    if (page > kDirectPages) {
        if (std::optional<TScorePage> scores = m_rank.Page(since, offset, kPageSize))
            return MakeReady(render(std::move(*scores)), m_options.Clock())->For(request);
    }
    std::string key = "page/" + std::string(PeriodName(*period)) + "/" + std::to_string(page);
    return Cached(request, key, since, [&] { return render(m_store.Top(since, offset, kPageSize)); });
}

TServiceReply TScoreService::PageReply(TWorldPageView view) {
    view.VerifiedChoice = m_replays && !m_options.VerifiedOnly;
    TServiceReply reply;
    reply.Route = TRoute::Page;
    reply.ContentType = kHtmlType;
    // A page past the end of the list is no page: it says so, with a way to the last one.
    reply.Status = view.Scores.Entries.empty() && view.Page > 1 && !view.Search ? 404 : 200;
    reply.Body = std::make_shared<const std::string>(m_page.Render(view));
    reply.Headers.emplace_back("Content-Security-Policy", kPageSecurity);
    reply.Headers.emplace_back("Referrer-Policy", "no-referrer");
    reply.Headers.emplace_back("Cache-Control", "no-cache");
    return reply;
}

TServiceReply TScoreService::VerifiedPage(const TServiceRequest& request, TWorldPageView view,
                                          std::int64_t since) {
    view.Verified = true;
    std::string key = "verified/" + std::string(PeriodName(view.Period)) + "/" + std::to_string(view.Page);
    if (view.Search)
        key += "/find/" + *view.Search;
    if (view.Score)
        key += "/score/" + std::to_string(*view.Score);
    return Cached(request, key, since, [&] {
        if (view.Score) {
            view.ScoreRank = m_replays->RankOfVerified(*view.Score, since);
            view.Page = (view.ScoreRank - 1) / kPageSize + 1;
        }
        if (view.Search) {
            // Verified entries are a part of the list: a name is looked for among all, then kept
            // when verified.
            for (TRankedEntry& e : m_store.FindByName(since, *view.Search, kPageSize * 4)) {
                if (e.Verification != TVerification::Verified ||
                    view.Scores.Entries.size() >= static_cast<std::size_t>(kPageSize))
                    continue;
                e.Rank = m_replays->RankOfVerified(e.Score, since);
                view.Scores.Entries.push_back(std::move(e));
            }
            view.Scores.Total = m_replays->CountVerified(since);
        } else {
            view.Scores = m_replays->TopVerified(since, (view.Page - 1) * kPageSize, kPageSize);
        }
        return PageReply(std::move(view));
    });
}

TServiceReply TScoreService::ApiScores(const TServiceRequest& request, std::string_view query) {
    std::vector<TParam> params = SplitQuery(query);
    std::string error;
    if (!KnownParams(params, {"period", "offset", "limit", "verified"}, error))
        return Text(400, error, TRoute::ApiScores);
    const TParam* verifiedParam = Given(params, "verified");
    std::optional<bool> verified = VerifiedOnly(verifiedParam ? verifiedParam->Value : "", error);
    if (!verified)
        return Text(400, error, TRoute::ApiScores);
    std::optional<TPeriod> period = PeriodParam(params, error);
    if (!period)
        return Text(400, error, TRoute::ApiScores);
    std::int64_t offset = 0;
    std::int64_t limit = kApiMaxLimit;
    if (const TParam* p = Given(params, "offset")) {
        std::optional<std::int64_t> n = ParseInt(p->Value, 0, kMaxOffset);
        if (!n)
            return Text(400, "offset must be a number from 0 to " + std::to_string(kMaxOffset),
                        TRoute::ApiScores);
        offset = *n;
    }
    if (const TParam* p = Given(params, "limit")) {
        std::optional<std::int64_t> n = ParseInt(p->Value, 1, kApiMaxLimit);
        if (!n)
            return Text(400, "limit must be a number from 1 to " + std::to_string(kApiMaxLimit),
                        TRoute::ApiScores);
        limit = *n;
    }
    std::int64_t since = PeriodStart(*period, m_options.Clock());
    std::string key = std::string(*verified ? "api-verified/" : "api/") + std::string(PeriodName(*period)) +
                      "/" + std::to_string(offset) + "/" + std::to_string(limit);
    return Cached(request, key, since, [&] {
        const int count = static_cast<int>(limit);
        return JsonReply(TRoute::ApiScores,
                         ScoresJson(*period, since, offset, count,
                                    *verified ? m_replays->TopVerified(since, offset, count)
                                              : m_store.Top(since, offset, count)));
    });
}

TServiceReply TScoreService::ApiRank(std::string_view query) {
    std::vector<TParam> params = SplitQuery(query);
    std::string error;
    if (!KnownParams(params, {"score", "period", "verified"}, error))
        return Text(400, error, TRoute::ApiRank);
    const TParam* verifiedParam = Given(params, "verified");
    std::optional<bool> verified = VerifiedOnly(verifiedParam ? verifiedParam->Value : "", error);
    if (!verified)
        return Text(400, error, TRoute::ApiRank);
    std::optional<TPeriod> period = PeriodParam(params, error);
    if (!period)
        return Text(400, error, TRoute::ApiRank);
    const TParam* p = Find(params, "score");
    std::optional<std::int64_t> score = p ? ParseInt(p->Value, std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max())
                                          : std::nullopt;
    if (!score)
        return Text(400, "score must be a 32-bit whole number", TRoute::ApiRank);
    std::int64_t since = PeriodStart(*period, m_options.Clock());
    auto value = static_cast<std::int32_t>(*score);
    if (*verified)
        return JsonReply(TRoute::ApiRank,
                         RankJson(*period, since, value, m_replays->RankOfVerified(value, since),
                                  m_replays->CountVerified(since)));
    // From the list's order in memory: a binary search, whatever score is asked for.
    if (std::shared_ptr<const TRankIndex::TSnapshot> list = m_rank.Get(since))
        return JsonReply(TRoute::ApiRank,
                         RankJson(*period, since, value, list->RankOf(value), list->Count()));
    std::string key = "rank/" + std::string(PeriodName(*period)) + "/" + std::to_string(value);
    TServiceRequest plain; // a place is answered whole
    return Cached(plain, key, since, [&] {
        return JsonReply(TRoute::ApiRank, RankJson(*period, since, value, m_store.RankOf(value, since),
                                                   m_store.CountShown(since)));
    });
}

TServiceReply TScoreService::Health() {
    if (!m_store.Healthy())
        return Unavailable(TRoute::Health);
    TServiceReply reply = Text(200, "ok", TRoute::Health);
    reply.Headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

TServiceReply TScoreService::MetricsText() {
    TServiceReply reply;
    reply.Route = TRoute::Metrics;
    reply.ContentType = "text/plain; version=0.0.4; charset=utf-8";
    reply.Body = std::make_shared<const std::string>(m_metrics.Render());
    reply.Headers.emplace_back("Cache-Control", "no-store");
    return reply;
}
