#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a score server's answer to a replay upload means for the replay.
enum class TUploadAnswer {
    Done,          // taken, or refused for good: asking again would get the same answer
    ServerRefuses, // the server takes no replays at all (one from before they existed)
    TryLater,      // busy, away, or no answer: the replay stays queued
};

// The answer an HTTP status means; 0 stands for no answer at all.
TUploadAnswer UploadAnswerFor(int status);

// Where a server takes replays: beside its score request, under the same prefix.
std::string ReplayUploadUrl(const std::string& server);

// The replays waiting to go to a score server, in a folder of the save folder: each replay as
// the game wrote it, in a file named by its content (so the same race is never queued twice),
// and a list, "queue", that keeps their order (oldest first), the server each goes to and how
// often each was tried, the servers that said they take no replays, and those that asked for a
// pause.
//
// Nothing in the folder is trusted: lines that make no sense are dropped, a listed file that is
// gone drops its line, a replay file the list does not know (a run that ended between writing
// the two) is taken up for the current server, and only names of the queue's own making are
// ever opened or removed. Not thread-safe: the uploader guards it.
class TUploadQueue {
  public:
    struct TEntry {
        std::string File; // name inside the folder
        std::string Server;
        int Attempts = 0;
        uint64_t Size = 0;
        // The bytes, when they could not be written to the folder: sent from memory this run.
        std::optional<std::string> Unsaved;
    };

    // At most this many tries per replay; one more failure drops it.
    static constexpr int kMaxAttempts = 5;
    // The queue's bounds: past either, the oldest replays go first.
    static constexpr size_t kMaxEntries = 16;
    static constexpr uint64_t kMaxBytes = 2U << 20U;
    // Servers refuse larger bodies, so a larger replay is not queued.
    static constexpr uint64_t kMaxReplayBytes = 256U << 10U;
    // A server that said it takes no replays is asked again after this long: it may have learnt.
    static constexpr int64_t kRefusalSeconds = 7 * 24 * 60 * 60;
    // The longest a server's "retry after" is heeded: a longer one is taken for a mistake.
    static constexpr int64_t kMaxHoldSeconds = 24 * 60 * 60;
    static constexpr const char* kListName = "queue";

    explicit TUploadQueue(std::string folder) : m_folder(std::move(folder)) {}

    // Reads the folder. Replays found without a line are taken up for adoptFor.
    void Load(const std::string& adoptFor, int64_t now);
    // Queues a replay for the server; false when it is not (the server refuses replays, the
    // replay is too large or empty, the server's address is unusable). An unwritable folder
    // keeps the replay in memory for this run; the error is thrown after that.
    bool Add(const std::string& bytes, const std::string& server, int64_t now);

    const std::vector<TEntry>& Entries() const { return m_entries; }
    const TEntry* Find(const std::string& file) const;
    // The bytes of a queued replay; throws with the file and the reason.
    std::string Read(const TEntry& entry) const;
    void CountAttempt(const std::string& file, int by = 1);
    // Removes the replay from the list and its file from the folder.
    void Remove(const std::string& file);
    // The server takes no replays: its queued ones are dropped, and none are queued for it.
    void RefuseServer(const std::string& server, int64_t now);
    bool Refuses(const std::string& server, int64_t now) const;
    // The server asked to be left alone for a while (busy, or too much from this address): its
    // replays wait, their tries not counted, until then (at most kMaxHoldSeconds).
    void HoldServer(const std::string& server, int64_t seconds, int64_t now);
    bool Holds(const std::string& server, int64_t now) const;
    // Writes the list; throws with the file and the reason.
    void Save() const;

    const std::string& Folder() const { return m_folder; }
    std::string PathOf(const std::string& file) const { return m_folder + "/" + file; }
    // The file name a replay's bytes are queued under.
    static std::string FileNameFor(const std::string& bytes);

  private:
    struct TServerMark {
        std::string Server;
        int64_t Time = 0; // a refusal: since when; a hold: until when
    };
    void KeepWithinBounds();

    std::string m_folder;
    std::vector<TEntry> m_entries;
    std::vector<TServerMark> m_refusals;
    std::vector<TServerMark> m_holds;
};
