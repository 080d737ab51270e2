#include "server/service/ReplayUpload.h"

#include "replay/Replay.h"
#include "replay/ReplayFiles.h"
#include "server/BuildInfo.h"
#include "server/service/ClientAddress.h"
#include "server/service/RateLimiter.h"
#include "server/service/ReplayVerifier.h"
#include "server/service/ScoreCodec.h"
#include "server/TextEscape.h"

#include <boost/uuid/detail/sha1.hpp>

#include <cstdio>

namespace {

using TRoute = TMetrics::TRoute;

constexpr std::string_view kRetryAfterBusy = "30";
constexpr std::string_view kUploadPath = "/api/v1/replays";
constexpr std::string_view kVersionPath = "/api/v1/version";

void AppendString(std::string& out, std::string_view text) {
    out += '"';
    AppendJson(out, text);
    out += '"';
}

std::string Hex64(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

TServiceReply Answer(int status, std::string_view state, const std::string& reason, const std::string& id) {
    std::string json = "{\"status\":";
    AppendString(json, state);
    json += ",\"reason\":";
    if (reason.empty())
        json += "null";
    else
        AppendString(json, reason);
    json += ",\"id\":";
    AppendString(json, id);
    json += "}\n";
    TServiceReply reply;
    reply.Status = status;
    reply.Route = TRoute::Replays;
    reply.ContentType = "application/json";
    reply.Body = std::make_shared<const std::string>(std::move(json));
    reply.Headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

// Where a replay already uploaded stands: 200 with its status, or 409 again for another version.
TServiceReply Standing(const TReplayRecord& r) {
    return Answer(r.Status == TReplayStatus::OtherVersion ? 409 : 200, ReplayStatusName(r.Status), r.Reason,
                  r.Id);
}

bool IsUploadId(std::string_view id) {
    if (id.size() != 40)
        return false;
    for (char c : id)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

} // namespace

std::string_view ReplayStatusName(TReplayStatus status) {
    switch (status) {
    case TReplayStatus::Queued:
        return "queued";
    case TReplayStatus::Verified:
        return "verified";
    case TReplayStatus::Failed:
        return "failed";
    case TReplayStatus::Copy:
        return "copy";
    case TReplayStatus::OtherVersion:
        return "other-version";
    }
    return "queued";
}

std::optional<TReplayStatus> ParseReplayStatus(std::string_view name) {
    for (auto status : {TReplayStatus::Queued, TReplayStatus::Verified, TReplayStatus::Failed,
                        TReplayStatus::Copy, TReplayStatus::OtherVersion})
        if (ReplayStatusName(status) == name)
            return status;
    return std::nullopt;
}

std::string ReplayUploadId(std::string_view bytes) {
    boost::uuids::detail::sha1 sha;
    sha.process_bytes(bytes.data(), bytes.size());
    boost::uuids::detail::sha1::digest_type digest;
    sha.get_digest(digest);
    std::string hex;
    for (unsigned int word : digest) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", word);
        hex += part;
    }
    return hex;
}

std::string ReplayRaceKey(const TReplay& replay) {
    TReplay race = replay;
    race.Name.reset();
    race.Crew.reset();
    race.Claim.reset();
    race.PictureChecksum.reset();
    return ReplayUploadId(race.Encode());
}

std::string SubmissionPayload(std::string_view name, std::int32_t score, std::string_view crew) {
    std::string payload = "type=0|name=" + std::string(name) + "|score=" + std::to_string(score) +
                          "|key=Q|p=|add=" + std::string(crew) + "|z=";
    while (payload.size() % 5 != 0)
        payload += '0';
    return payload;
}

std::uint64_t SubmissionDigest(std::string_view name, std::int32_t score, std::string_view crew) {
    return PayloadDigest(SubmissionPayload(name, score, crew));
}

std::string ReplayFileName(std::string_view id) {
    return "spraydash-" + std::string(id.substr(0, 12)) + kReplayExtension;
}

TReplayUploads::TReplayUploads(IReplayStore& store, TReplayVerifier& verifier, TUploadOptions options,
                               std::function<std::int64_t()> clock, std::function<std::int64_t()> steadyMs)
    : m_store(store), m_verifier(verifier), m_options(options), m_clock(std::move(clock)),
      m_steadyMs(std::move(steadyMs)), m_limiter(std::make_unique<TRateLimiter>(options.PerMinute)) {}

TReplayUploads::~TReplayUploads() = default;

TServiceReply TReplayUploads::Upload(const TServiceRequest& request) {
    const std::string_view bytes = request.Body;
    const std::string id = ReplayUploadId(bytes);
    int retryAfter = 0;
    if (!m_limiter->Allow(RateKey(request.Client), m_steadyMs(), retryAfter)) {
        TServiceReply limited = Answer(429, "refused",
                                       "too many replays from this address; try again in " +
                                           std::to_string(retryAfter) + " seconds",
                                       id);
        limited.Headers.emplace_back("Retry-After", std::to_string(retryAfter));
        return limited;
    }
    if (bytes.size() > m_options.MaxBytes)
        return Answer(413, "refused",
                      "a replay may take " + std::to_string(m_options.MaxBytes) + " bytes at most", id);

    if (std::optional<TReplayRecord> known = m_store.FindReplay(id))
        return Standing(*known);

    TReplay replay;
    try {
        replay = TReplay::Decode(bytes);
    } catch (const EReplayError& e) {
        return Answer(400, "refused", std::string("not a replay this server can read: ") + e.what(), id);
    }
    if (!replay.Claim)
        return Answer(422, "refused", "the replay claims no result", id);
    if (!replay.Name)
        return Answer(422, "refused", "the replay names no player, so it stands for no entry", id);
    // The same rules as for the game's own submission of the result: a name or crew text it
    // would refuse there cannot become an entry here.
    std::string error;
    const std::string payload =
        SubmissionPayload(*replay.Name, replay.Claim->Score, replay.Crew.value_or(""));
    if (!ParseScorePayload(payload, error))
        return Answer(422, "refused", "the replay's result cannot be listed: " + error, id);
    if (replay.TickCount() > m_verifier.Options().MaxTicks)
        return Answer(422, "refused",
                      "the replay holds " + std::to_string(replay.TickCount()) + " ticks, more than the " +
                          std::to_string(m_verifier.Options().MaxTicks) + " this server re-runs",
                      id);

    TReplayRecord record;
    record.Id = id;
    record.RaceKey = ReplayRaceKey(replay);
    record.Client = request.Client;
    record.Received = m_clock();
    record.Name = WindowsToUtf8(*replay.Name);
    record.Score = replay.Claim->Score;
    record.Crew = WindowsToUtf8(replay.Crew.value_or(""));
    record.GameVersion = replay.GameVersion;
    record.DataHash = Hex64(replay.DataHash);

    // Another race version or other game data: kept for a server that re-runs those.
    if (replay.GameVersion != m_verifier.RaceVersion() || replay.DataHash != m_verifier.DataHash()) {
        record.Status = TReplayStatus::OtherVersion;
        record.Reason = "race version " + replay.GameVersion + " with data " + record.DataHash +
                        "; this server verifies version " + m_verifier.RaceVersion() + " with data " +
                        Hex64(m_verifier.DataHash()) + " (the replay is kept for a server that does)";
        bool isNew = false;
        return Standing(m_store.AddReplay(record, bytes, isNew));
    }

    if (!m_verifier.Reserve()) {
        TServiceReply busy = Answer(503, "refused", "the verification queue is full; try again later", id);
        busy.Headers.emplace_back("Retry-After", kRetryAfterBusy);
        return busy;
    }
    bool isNew = false;
    TReplayRecord stored;
    try {
        stored = m_store.AddReplay(record, bytes, isNew);
    } catch (...) {
        m_verifier.Release();
        throw;
    }
    if (!isNew) {
        // Sent at the same moment through another connection, or another instance.
        m_verifier.Release();
        return Standing(stored);
    }
    m_verifier.Queue(id);
    return Answer(202, "queued", "", id);
}

bool TReplayUploads::Serves(std::string_view path) {
    return path == kUploadPath || path == kVersionPath ||
           (path.size() > kUploadPath.size() &&
            path.substr(0, kUploadPath.size() + 1) == std::string(kUploadPath) + "/");
}

TServiceReply TReplayUploads::Handle(const TServiceRequest& request, std::string_view path) {
    const bool reading = request.Method == "GET" || request.Method == "HEAD";
    if (path == kUploadPath ? request.Method != "POST" : !reading) {
        TServiceReply refused;
        refused.Status = 405;
        refused.Route = TRoute::Replays;
        refused.ContentType = "text/plain; charset=utf-8";
        refused.Body = std::make_shared<const std::string>(
            path == kUploadPath ? "a replay is sent with POST\n" : "only GET and HEAD are served\n");
        refused.Headers.emplace_back("Allow", path == kUploadPath ? "POST" : "GET, HEAD");
        return refused;
    }
    if (path == kUploadPath)
        return Upload(request);
    if (path == kVersionPath)
        return Version();
    return Download(path.substr(kUploadPath.size() + 1));
}

TServiceReply TReplayUploads::Download(std::string_view id) {
    std::optional<std::string> bytes;
    if (IsUploadId(id))
        bytes = m_store.ReplayBytes(std::string(id));
    TServiceReply reply;
    reply.Route = TRoute::Replays;
    if (!bytes) {
        reply.Status = 404;
        reply.ContentType = "text/plain; charset=utf-8";
        reply.Body = std::make_shared<const std::string>("no replay with this id\n");
        return reply;
    }
    reply.ContentType = "application/octet-stream";
    reply.Body = std::make_shared<const std::string>(std::move(*bytes));
    reply.Headers.emplace_back("Content-Disposition", "attachment; filename=\"" + ReplayFileName(id) + "\"");
    // The same id always names the same bytes.
    reply.Headers.emplace_back("Cache-Control", "public, max-age=31536000, immutable");
    reply.Headers.emplace_back("Access-Control-Allow-Origin", "*");
    return reply;
}

TServiceReply TReplayUploads::Version() const {
    std::string json = "{\"server\":";
    AppendString(json, kServerVersion);
    json += ",\"verifies\":[{\"race_version\":";
    AppendString(json, m_verifier.RaceVersion());
    json += ",\"data_hash\":\"" + Hex64(m_verifier.DataHash()) + "\"}]}\n";
    TServiceReply reply;
    reply.Route = TRoute::Replays;
    reply.ContentType = "application/json";
    reply.Body = std::make_shared<const std::string>(std::move(json));
    reply.Headers.emplace_back("Access-Control-Allow-Origin", "*");
    reply.Headers.emplace_back("Cache-Control", "no-cache");
    return reply;
}
