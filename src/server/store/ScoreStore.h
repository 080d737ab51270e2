#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Raised by a store that cannot be reached or cannot answer right now; the server turns it
// into "503 Service Unavailable" rather than a wrong answer.
class EStoreUnavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Raised when the store's data cannot be used at all (a schema newer than this program, a
// file that is not a database); the server does not start.
class EStoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Shown: on the world list. Held: above the score ceiling, waiting for an operator.
// Hidden: taken off the list by an operator.
enum class TEntryState { Shown = 0, Held = 1, Hidden = 2 };

// Whether a replay has shown the entry was really played: none came yet, one reproduced it, or
// the one that came did not.
enum class TVerification { Unverified = 0, Verified = 1, Failed = 2 };

// A result on its way into the store. Texts are UTF-8.
struct TNewScore {
    std::string Name;
    std::int32_t Score = 0;
    std::string Crew;
    std::int64_t Received = 0; // Unix seconds
    std::string Client;        // the sender's address
    std::uint64_t Digest = 0;  // fingerprint of the result as sent
    TEntryState State = TEntryState::Shown;
    // The same result (digest) from the same client received at or after this moment is a
    // resend and is not stored again.
    std::int64_t ResendSince = 0;
};

enum class TSubmitOutcome {
    Stored, // committed durably
    Resent, // an identical earlier submission is already stored
    Failed, // nothing stored
};

// A row of the world list with its place: ties share a place, the next one skips.
struct TRankedEntry {
    std::int64_t Id = 0;
    std::int64_t Rank = 0;
    std::string Name;
    std::int32_t Score = 0;
    std::string Crew;
    std::int64_t Received = 0;
    TVerification Verification = TVerification::Unverified;
    std::string ReplayId; // the replay that verified it; empty: none
};

// Where an entry stands in the list's order: score (best first), then received, then id.
struct TListKey {
    std::int32_t Score = 0;
    std::int64_t Received = 0;
    std::int64_t Id = 0;
};

struct TScorePage {
    std::int64_t Total = 0; // shown entries in the period
    std::vector<TRankedEntry> Entries;
};

// What the server needs from wherever the scores live. Every method may be called from
// several threads at once.
class IScoreStore {
  public:
    virtual ~IScoreStore() = default;

    // Queues a result; done runs exactly once, on some thread of the store's, after the entry
    // is durably committed (Stored), found to be a resend (Resent) or could not be stored.
    virtual void Submit(TNewScore score, std::function<void(TSubmitOutcome)> done) = 0;

    // Shown entries received at or after since, best first (equal scores: earlier first).
    virtual TScorePage Top(std::int64_t since, std::int64_t offset, int limit) = 0;
    // The place a score would take among the shown entries received at or after since.
    virtual std::int64_t RankOf(std::int32_t score, std::int64_t since) = 0;
    virtual std::int64_t CountShown(std::int64_t since) = 0;

    // Changes whenever what Top and RankOf answer may have changed, whoever changed it (this
    // server, another instance, an operator); lets answers be cached until then.
    virtual std::uint64_t Generation() = 0;
    // Whether the store answers right now.
    virtual bool Healthy() = 0;

    // The keys of every shown entry received at or after since, in the list's order; nullopt
    // when the store cannot give them (the list is then read a page at a time).
    virtual std::optional<std::vector<TListKey>> ListKeys(std::int64_t since) {
        (void)since;
        return std::nullopt;
    }
    // The shown entries with these ids (Rank left 0), in any order; ids that are gone or no longer
    // shown are left out.
    virtual std::vector<TRankedEntry> ShownEntries(const std::vector<std::int64_t>& ids) {
        (void)ids;
        return {};
    }

    // Shown entries received at or after since whose name contains text (letters of either case),
    // in the list's order, at most limit (Rank left 0).
    virtual std::vector<TRankedEntry> FindByName(std::int64_t since, const std::string& text, int limit) {
        (void)since;
        (void)text;
        (void)limit;
        return {};
    }

    // For a store that several servers share: takes one submission from the sender's allowance
    // of perMinute, counted in the store so that it holds across the servers. 0 when it is let
    // through, else the seconds until the next one would be; nullopt when the store keeps no
    // such count (each server then counts for itself). Throws EStoreUnavailable.
    virtual std::optional<double> TakeSubmissionToken(const std::string& sender, int perMinute) {
        (void)sender;
        (void)perMinute;
        return std::nullopt;
    }
};

// An entry with everything the operator may look at.
struct TStoredEntry {
    std::int64_t Id = 0;
    std::string Name;
    std::int32_t Score = 0;
    std::string Crew;
    std::int64_t Received = 0;
    std::string Client;
    TEntryState State = TEntryState::Shown;
    std::uint64_t Digest = 0;
};

// The operator's view of the same store.
class IScoreAdmin {
  public:
    virtual ~IScoreAdmin() = default;
    // Newest first; all states when state is empty; limit 0 for no limit.
    virtual std::vector<TStoredEntry> List(std::optional<TEntryState> state, std::int64_t limit) = 0;
    // False when there is no entry with that id.
    virtual bool SetState(std::int64_t id, TEntryState state) = 0;
    virtual bool Delete(std::int64_t id) = 0;
    // Every entry, oldest first, without holding them all in memory.
    virtual void ForEachEntry(const std::function<void(const TStoredEntry&)>& visit) = 0;
    // Adds entries exactly as given (all but the id, which the store gives), in one transaction:
    // all of them or, on failure (EStoreUnavailable), none. An entry the store already holds (the
    // same name, score, crew text, time, sender and fingerprint, whatever its id) is not added
    // again, so importing a file twice, or after a partial copy, stores each entry once. Returns
    // how many were added.
    virtual std::size_t Import(const std::vector<TStoredEntry>& entries) = 0;
};

// How a store is doing, for /metrics.
struct TStoreFigures {
    std::size_t Queued = 0;        // submissions waiting for a commit
    std::uint64_t Commits = 0;     // commits of submissions so far
    double CommitSeconds = 0;      // the time they took
    std::int64_t HeldEntries = -1; // entries held for an operator; -1 when the store cannot say now
};

// A store the server serves from and the operator works on: the SQLite file of one machine,
// or the PostgreSQL database that several servers share.
class IScoreDatabase : public IScoreStore, public IScoreAdmin {
  public:
    // Transactions of submissions this process has committed so far.
    virtual std::uint64_t CommittedBatches() const = 0;
    virtual TStoreFigures Figures() = 0;
};
