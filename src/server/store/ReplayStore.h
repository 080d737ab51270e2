#pragma once

#include "server/store/ScoreStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where an uploaded replay stands. Other-version: made with a race version or game data this
// server does not re-run; kept for a server that does.
enum class TReplayStatus { Queued = 0, Verified = 1, Failed = 2, Copy = 3, OtherVersion = 4 };

// "queued", "verified", "failed", "copy", "other-version".
std::string_view ReplayStatusName(TReplayStatus status);
std::optional<TReplayStatus> ParseReplayStatus(std::string_view name);

// An uploaded replay as the store keeps it (texts UTF-8), without its bytes.
struct TReplayRecord {
    std::string Id;      // the upload's hash, lowercase hex: the same bytes, the same id
    std::string RaceKey; // the race's identity: seed, boat, data and inputs, not name nor crew
    std::string Client;
    std::int64_t Received = 0; // Unix seconds
    std::string Name;
    std::int32_t Score = 0;
    std::string Crew;
    std::string GameVersion;
    std::string DataHash; // 16 hex digits
    TReplayStatus Status = TReplayStatus::Queued;
    std::string Reason;       // why it failed, or whose copy it is
    std::int64_t EntryId = 0; // the entry it verified (or, a copy, the one its race verified); 0: none
};

// What re-running a replay came to, for the store to record.
struct TReplayOutcome {
    std::string Id;
    bool Reproduced = false;
    std::string Reason; // why not, when not
    // An entry of the same sender with the replay's name, score and crew, received from this
    // long before the upload to this long after it, is the one it stands for; none: it becomes
    // a new entry.
    std::int64_t MatchBeforeSeconds = 0;
    std::int64_t MatchAfterSeconds = 0;
    TEntryState NewEntryState = TEntryState::Shown;
    std::uint64_t NewEntryDigest = 0; // what the game's own submission of the result would carry
};

// The replays beside the scores. Every method may be called from several threads at once and
// throws EStoreUnavailable when the store cannot answer.
class IReplayStore {
  public:
    virtual ~IReplayStore() = default;

    // Keeps a replay (its status Queued or OtherVersion). When these bytes are there already,
    // nothing changes and the stored record comes back with isNew false.
    virtual TReplayRecord AddReplay(const TReplayRecord& replay, std::string_view bytes, bool& isNew) = 0;
    virtual std::optional<TReplayRecord> FindReplay(const std::string& id) = 0;
    virtual std::optional<std::string> ReplayBytes(const std::string& id) = 0;
    // Records the outcome in one transaction: the replay verified (the matching entry marked, or
    // one made), a copy (its race already verified an entry: that one is named), or failed (the
    // matching entry, if any, marked as failed verification). Returns the replay as it now stands.
    virtual TReplayRecord RecordOutcome(const TReplayOutcome& outcome) = 0;
    // Newest first; every status when none is given; limit 0 for no limit.
    virtual std::vector<TReplayRecord> ListReplays(std::optional<TReplayStatus> status,
                                                   std::int64_t limit) = 0;
    // Ids still waiting for their re-run, oldest first (a server that stopped left them).
    virtual std::vector<std::string> QueuedReplays() = 0;
    // Puts a replay kept for another race version back in the queue (for a server that has that
    // version); false when it is not such a replay.
    virtual bool RequeueOtherVersion(const std::string& id) = 0;
    // Verified shown entries received at or after since, best first, ranked among themselves.
    virtual TScorePage TopVerified(std::int64_t since, std::int64_t offset, int limit) = 0;
    // The place a score would take among them, and how many there are.
    virtual std::int64_t RankOfVerified(std::int32_t score, std::int64_t since) = 0;
    virtual std::int64_t CountVerified(std::int64_t since) = 0;
};
