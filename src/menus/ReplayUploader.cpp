#include "menus/ReplayUploader.h"

#include "net/NetErrors.h"
#include "net/ScoreRequest.h"
#include "replay/Replay.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <set>
#include <system_error>

namespace {
constexpr const char* kContentType = "application/octet-stream";
constexpr std::chrono::milliseconds kUploadTimeout{30000};
// The server's answer is a few words of JSON.
constexpr size_t kMaxAnswerBytes = 64U << 10U;
constexpr size_t kQuotedAnswerBytes = 200;

// How a try ended: an HTTP status, 0 for no answer, or abandoned because the game is ending.
struct TTry {
    int Status = 0;
    bool Abandoned = false;
    std::string Why;
    std::string RetryAfter;
};

// Retry-After in seconds; a date, or anything else, is not heeded (the tries are few anyway).
std::optional<int64_t> RetryAfterSeconds(const std::string& value) {
    constexpr size_t kMaxDigits = 9;
    if (value.empty() || value.size() > kMaxDigits ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(value);
}

TTry PostReplay(THttpClient& client, const std::string& server, const std::string& bytes) {
    TTry outcome;
    try {
        client.Post(ReplayUploadUrl(server), kContentType, bytes);
        outcome.Status = 200;
    } catch (const EHttpError& e) {
        outcome.Status = e.Status();
        outcome.RetryAfter = e.RetryAfter();
        outcome.Why = "HTTP " + std::to_string(e.Status());
        if (!e.Body().empty())
            outcome.Why += ": " + e.Body().substr(0, kQuotedAnswerBytes);
    } catch (const ESocketError& e) {
        outcome.Abandoned = e.Kind() == ESocketError::TKind::Abandoned;
        outcome.Why = DescribeRequestFailure(e);
    } catch (const std::exception& e) {
        outcome.Why = DescribeRequestFailure(e);
    }
    return outcome;
}
} // namespace

TReplayUploader::TReplayUploader(std::string folder, std::string currentServer,
                                 const THttpClient& settingsFrom)
    : m_queue(std::move(folder)), m_currentServer(std::move(currentServer)) {
    m_settings.TakeSettingsFrom(settingsFrom);
    m_settings.SetRequestTimeout(kUploadTimeout);
    TReplyLimits limits;
    limits.MaxBody = kMaxAnswerBytes;
    m_settings.SetLimits(limits);
    Now = [] { return static_cast<int64_t>(std::time(nullptr)); };
    Log = [](const std::string& line) { std::fprintf(stderr, "Spraydash: %s\n", line.c_str()); };
}

TReplayUploader::~TReplayUploader() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_abandon = true;
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

void TReplayUploader::SetRequestTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(m_mutex);
    m_settings.SetRequestTimeout(timeout);
}

void TReplayUploader::Queue(const std::string& replayBytes, const std::string& server, bool startPass) {
    {
        std::lock_guard lock(m_mutex);
        EnsureLoaded();
        try {
            if (!m_queue.Add(replayBytes, server, Now()))
                return;
        } catch (const std::exception& e) {
            // Still sent from memory this run; only a later run cannot retry it.
            Tell("the replay cannot be queued: " + std::string(e.what()));
        }
    }
    if (startPass)
        TryAll();
}

void TReplayUploader::TryAll() {
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return;
    m_passDue = true;
    if (!m_worker.joinable()) {
        try {
            m_worker = std::thread([this] { Run(); });
        } catch (const std::system_error& e) {
            m_passDue = false;
            Tell("the replays cannot be sent: " + std::string(e.what()));
            return;
        }
    }
    m_wake.notify_all();
}

bool TReplayUploader::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return !m_passDue && !m_busy; });
}

std::vector<TUploadQueue::TEntry> TReplayUploader::Queued() {
    std::lock_guard lock(m_mutex);
    EnsureLoaded();
    return m_queue.Entries();
}

void TReplayUploader::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_passDue; });
        if (m_stopping)
            break;
        m_passDue = false;
        m_busy = true;
        Pass(lock);
        m_busy = false;
        m_idle.notify_all();
    }
    m_busy = false;
    m_passDue = false;
    m_idle.notify_all();
}

void TReplayUploader::EnsureLoaded() {
    if (!m_loaded) {
        m_loaded = true;
        m_queue.Load(m_currentServer, Now());
    }
}

void TReplayUploader::Pass(std::unique_lock<std::mutex>& lock) {
    EnsureLoaded();
    // One client for the pass: replays to the same server share its connection.
    THttpClient client;
    client.TakeSettingsFrom(m_settings);
    client.SetAbandonFlag(&m_abandon);
    std::set<std::string> tried;
    // A server that did not answer is not asked again in this pass, nor one that asked for a
    // pause until it is over: its other replays keep their tries.
    std::set<std::string> unanswered;
    for (;;) {
        if (m_stopping)
            return;
        const auto& entries = m_queue.Entries();
        auto next = std::find_if(entries.begin(), entries.end(), [&](const TUploadQueue::TEntry& e) {
            return !tried.contains(e.File) && !unanswered.contains(e.Server) &&
                   !m_queue.Holds(e.Server, Now());
        });
        if (next == entries.end())
            return;
        const TUploadQueue::TEntry entry = *next;
        tried.insert(entry.File);

        std::string bytes;
        try {
            bytes = m_queue.Read(entry);
            TReplay::Decode(bytes);
        } catch (const std::exception& e) {
            Tell("a queued replay is dropped: " + std::string(e.what()));
            m_queue.Remove(entry.File);
            SaveQuietly();
            continue;
        }
        // Counted before it goes out: a run killed meanwhile has used the try.
        m_queue.CountAttempt(entry.File);
        SaveQuietly();

        lock.unlock();
        const TTry outcome = PostReplay(client, entry.Server, bytes);
        lock.lock();

        if (outcome.Abandoned) {
            m_queue.CountAttempt(entry.File, -1);
            SaveQuietly();
            return;
        }
        const std::string what = "the replay " + m_queue.PathOf(entry.File);
        switch (UploadAnswerFor(outcome.Status)) {
        case TUploadAnswer::Done:
            if (outcome.Status < 200 || outcome.Status > 299)
                Tell(what + " was refused by " + entry.Server + " (" + outcome.Why +
                     "); it is not sent again");
            m_queue.Remove(entry.File);
            break;
        case TUploadAnswer::ServerRefuses:
            Tell(entry.Server + " takes no replays (" + outcome.Why + "); none are sent there for now");
            m_queue.RefuseServer(entry.Server, Now());
            break;
        case TUploadAnswer::TryLater: {
            const TUploadQueue::TEntry* now = m_queue.Find(entry.File);
            const int attempts = now ? now->Attempts : TUploadQueue::kMaxAttempts;
            unanswered.insert(entry.Server);
            if (const auto pause = RetryAfterSeconds(outcome.RetryAfter))
                m_queue.HoldServer(entry.Server, *pause, Now());
            if (attempts >= TUploadQueue::kMaxAttempts) {
                Tell(what + " could not be sent to " + entry.Server + " (" + outcome.Why +
                     "); given up after " + std::to_string(attempts) + " tries");
                m_queue.Remove(entry.File);
            } else {
                Tell(what + " could not be sent to " + entry.Server + " (" + outcome.Why + "); try " +
                     std::to_string(attempts) + " of " + std::to_string(TUploadQueue::kMaxAttempts) +
                     ", kept for later");
            }
            break;
        }
        }
        SaveQuietly();
    }
}

void TReplayUploader::SaveQuietly() {
    try {
        m_queue.Save();
    } catch (const std::exception& e) {
        Tell("the upload queue cannot be saved: " + std::string(e.what()));
    }
}

void TReplayUploader::Tell(const std::string& line) {
    if (Log)
        Log(line);
}
