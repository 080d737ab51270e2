#pragma once

#include "server/service/ScoreService.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class IReplayStore;
class TRateLimiter;
class TReplayVerifier;
struct TReplay;

// The upload's id: SHA-1 of the bytes as lowercase hex (the same bytes, the same id).
std::string ReplayUploadId(std::string_view bytes);
// The race's identity: its start (boat, seed, data, game version) and its inputs, without the
// name, crew text, claimed result or picture its header carries.
std::string ReplayRaceKey(const TReplay& replay);
// The result text the game's own submission of this result carries, and its digest (texts as
// Windows-1252 bytes).
std::string SubmissionPayload(std::string_view name, std::int32_t score, std::string_view crew);
std::uint64_t SubmissionDigest(std::string_view name, std::int32_t score, std::string_view crew);
// "spraydash-<first 12 of the id>.sdreplay"
std::string ReplayFileName(std::string_view id);

struct TUploadOptions {
    std::size_t MaxBytes = 256 * 1024;
    // Uploads per sender address and minute (re-uploads included); 0: no limit.
    int PerMinute = 6;
};

// POST /api/v1/replays, GET /api/v1/replays/{id} and /api/v1/version.
class TReplayUploads {
  public:
    TReplayUploads(IReplayStore& store, TReplayVerifier& verifier, TUploadOptions options,
                   std::function<std::int64_t()> clock, std::function<std::int64_t()> steadyMs);
    ~TReplayUploads();
    TReplayUploads(const TReplayUploads&) = delete;
    TReplayUploads& operator=(const TReplayUploads&) = delete;

    // Whether the path is one of these.
    static bool Serves(std::string_view path);
    // Answers a request for one of them (methods checked here).
    TServiceReply Handle(const TServiceRequest& request, std::string_view path);

    TServiceReply Upload(const TServiceRequest& request);
    // 404 when the id is not a stored replay's.
    TServiceReply Download(std::string_view id);
    TServiceReply Version() const;

  private:
    IReplayStore& m_store;
    TReplayVerifier& m_verifier;
    TUploadOptions m_options;
    std::function<std::int64_t()> m_clock, m_steadyMs;
    std::unique_ptr<TRateLimiter> m_limiter;
};
