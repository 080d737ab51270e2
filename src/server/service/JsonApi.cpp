#include "server/service/JsonApi.h"

#include "server/TextEscape.h"

namespace {

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    AppendJson(out, text);
    out += '"';
}

void AppendPeriod(std::string& out, TPeriod period, std::int64_t since) {
    out += "\"period\":";
    AppendString(out, PeriodName(period));
    out += ",\"since\":";
    if (period == TPeriod::All)
        out += "null";
    else
        AppendString(out, FormatIsoUtc(since));
}

} // namespace

std::string ScoresJson(TPeriod period, std::int64_t since, std::int64_t offset, int limit,
                       const TScorePage& page) {
    std::string out;
    out.reserve(256 + page.Entries.size() * 120);
    out += '{';
    AppendPeriod(out, period, since);
    out += ",\"offset\":" + std::to_string(offset) + ",\"limit\":" + std::to_string(limit) +
           ",\"total\":" + std::to_string(page.Total) + ",\"entries\":[";
    bool first = true;
    for (const TRankedEntry& e : page.Entries) {
        if (!first)
            out += ',';
        first = false;
        out += "{\"rank\":" + std::to_string(e.Rank) + ",\"name\":";
        AppendString(out, e.Name);
        out += ",\"score\":" + std::to_string(e.Score) + ",\"crew\":";
        AppendString(out, e.Crew);
        out += ",\"time\":";
        AppendString(out, FormatIsoUtc(e.Received));
        out += e.Verification == TVerification::Verified ? ",\"verified\":true" : ",\"verified\":false";
        out += ",\"verification\":";
        AppendString(out, e.Verification == TVerification::Verified ? "verified"
                          : e.Verification == TVerification::Failed ? "failed"
                                                                    : "none");
        out += ",\"replay\":";
        if (e.ReplayId.empty())
            out += "null";
        else
            AppendString(out, "/api/v1/replays/" + e.ReplayId);
        out += '}';
    }
    out += "]}\n";
    return out;
}

std::string RankJson(TPeriod period, std::int64_t since, std::int32_t score, std::int64_t rank,
                     std::int64_t total) {
    std::string out = "{";
    AppendPeriod(out, period, since);
    out += ",\"score\":" + std::to_string(score) + ",\"rank\":" + std::to_string(rank) +
           ",\"total\":" + std::to_string(total) + "}\n";
    return out;
}
