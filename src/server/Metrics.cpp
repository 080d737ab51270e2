#include "server/Metrics.h"

#include <cstdio>

namespace {

void Line(std::string& out, std::string_view text) {
    out += text;
    out += '\n';
}

void Help(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    Line(out, help);
    out += "# TYPE ";
    out += name;
    out += ' ';
    Line(out, type);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

std::string_view TMetrics::RouteName(TRoute route) {
    constexpr std::array<std::string_view, kRoutes> names = {"submit",  "page",    "api_scores", "api_rank",
                                                             "healthz", "metrics", "replays",    "other"};
    return names[static_cast<std::size_t>(route)];
}

std::size_t TMetrics::StatusIndex(int status) {
    for (std::size_t i = 0; i + 1 < kStatuses.size(); ++i)
        if (kStatuses[i] == status)
            return i;
    return kStatuses.size() - 1;
}

void TMetrics::Request(TRoute route, int status, double seconds) {
    auto r = static_cast<std::size_t>(route);
    m_requests[r][StatusIndex(status)].fetch_add(1, std::memory_order_relaxed);
    std::size_t bucket = 0;
    while (bucket < kBuckets.size() && seconds > kBuckets[bucket])
        ++bucket;
    m_latency[r][bucket].fetch_add(1, std::memory_order_relaxed);
    m_latencyMicros[r].fetch_add(static_cast<std::uint64_t>(seconds * 1e6), std::memory_order_relaxed);
}

void TMetrics::SubmissionStored(bool held) {
    m_stored.fetch_add(1);
    if (held)
        m_held.fetch_add(1);
}

void TMetrics::SubmissionResent() {
    m_resent.fetch_add(1);
}

void TMetrics::SubmissionRefused(TRefusal reason) {
    m_refused[static_cast<std::size_t>(reason)].fetch_add(1);
}

void TMetrics::AddSource(std::function<void(std::string&)> render) {
    std::lock_guard lock(m_sourcesMutex);
    m_sources.push_back(std::move(render));
}

std::uint64_t TMetrics::RequestCount(TRoute route, int status) const {
    return m_requests[static_cast<std::size_t>(route)][StatusIndex(status)].load();
}

std::string TMetrics::Render() const {
    std::string out;
    out.reserve(8192);

    Help(out, "spraydash_http_requests_total", "counter", "HTTP requests answered, by route and status.");
    for (std::size_t r = 0; r < kRoutes; ++r) {
        for (std::size_t s = 0; s < kStatuses.size(); ++s) {
            std::uint64_t n = m_requests[r][s].load();
            if (n == 0)
                continue;
            out += "spraydash_http_requests_total{route=\"";
            out += RouteName(static_cast<TRoute>(r));
            out += "\",status=\"";
            out += kStatuses[s] != 0 ? std::to_string(kStatuses[s]) : std::string("other");
            Line(out, "\"} " + std::to_string(n));
        }
    }

    Help(out, "spraydash_http_request_duration_seconds", "histogram",
         "Time from a complete request head to the answer handed to the socket.");
    for (std::size_t r = 0; r < kRoutes; ++r) {
        std::string route = "route=\"" + std::string(RouteName(static_cast<TRoute>(r))) + "\"";
        std::uint64_t cumulative = 0;
        for (std::size_t b = 0; b <= kBuckets.size(); ++b) {
            cumulative += m_latency[r][b].load();
            std::string le = b < kBuckets.size() ? Number(kBuckets[b]) : std::string("+Inf");
            Line(out, "spraydash_http_request_duration_seconds_bucket{" + route + ",le=\"" + le + "\"} " +
                          std::to_string(cumulative));
        }
        Line(out, "spraydash_http_request_duration_seconds_sum{" + route + "} " +
                      Number(static_cast<double>(m_latencyMicros[r].load()) / 1e6));
        Line(out,
             "spraydash_http_request_duration_seconds_count{" + route + "} " + std::to_string(cumulative));
    }

    Help(out, "spraydash_submissions_stored_total", "counter", "Results committed to the store.");
    Line(out, "spraydash_submissions_stored_total " + std::to_string(m_stored.load()));
    Help(out, "spraydash_submissions_held_total", "counter",
         "Stored results above the score ceiling, waiting for an operator.");
    Line(out, "spraydash_submissions_held_total " + std::to_string(m_held.load()));
    Help(out, "spraydash_submissions_resent_total", "counter",
         "Results sent again by the same address within the resend window; stored once.");
    Line(out, "spraydash_submissions_resent_total " + std::to_string(m_resent.load()));
    Help(out, "spraydash_submissions_refused_total", "counter", "Results not stored, by reason.");
    constexpr std::array<std::string_view, static_cast<std::size_t>(TRefusal::Count)> reasons = {
        "malformed", "rate_limited", "unavailable"};
    for (std::size_t i = 0; i < reasons.size(); ++i)
        Line(out, "spraydash_submissions_refused_total{reason=\"" + std::string(reasons[i]) + "\"} " +
                      std::to_string(m_refused[i].load()));

    Help(out, "spraydash_connections_open", "gauge", "Client connections open now.");
    Line(out, "spraydash_connections_open " + std::to_string(m_openConnections.load()));
    Help(out, "spraydash_connections_refused_total", "counter",
         "Connections turned away because the connection cap was reached.");
    Line(out, "spraydash_connections_refused_total " + std::to_string(m_refusedConnections.load()));
    Help(out, "spraydash_connections_timed_out_total", "counter",
         "Connections closed because a request or the idle time ran out.");
    Line(out, "spraydash_connections_timed_out_total " + std::to_string(m_timedOutConnections.load()));
    Help(out, "spraydash_connections_evicted_total", "counter",
         "Idle connections closed to make room for a new one under a connection cap.");
    Line(out, "spraydash_connections_evicted_total " + std::to_string(m_evictedConnections.load()));
    Help(out, "spraydash_submissions_spooled_total", "counter",
         "Results kept in the local spool because the store could not take them.");
    Line(out, "spraydash_submissions_spooled_total " + std::to_string(m_spooled.load()));
    std::lock_guard lock(m_sourcesMutex);
    for (const auto& source : m_sources)
        source(out);
    return out;
}
