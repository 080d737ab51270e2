#pragma once

#include "menus/UploadQueue.h"
#include "net/HttpClient.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Sends the queued replays to their score servers on a thread of its own, so that no screen
// ever waits for it: a pass over the queue when asked (at the start, after a race's score
// request), each replay tried at most TUploadQueue::kMaxAttempts times in all, what the server
// answers deciding whether it is kept. Silent towards the player: a line on stderr for whoever
// looks into why a replay did not arrive.
class TReplayUploader {
  public:
    // folder: where the queue lives; currentServer: where replays the queue's list lost go.
    // The requests use settingsFrom's time limits and cookies, as they are now.
    TReplayUploader(std::string folder, std::string currentServer, const THttpClient& settingsFrom);
    // Gives up the upload under way within a fraction of a second; that replay stays queued,
    // its try not counted.
    ~TReplayUploader();
    TReplayUploader(const TReplayUploader&) = delete;
    TReplayUploader& operator=(const TReplayUploader&) = delete;

    // Puts the replay into the queue (on disk before this returns, when the folder can be
    // written) for the server, and starts a pass unless startPass is false.
    void Queue(const std::string& replayBytes, const std::string& server, bool startPass = true);
    // A pass over everything queued, on the worker; at once if one is running, after it.
    void TryAll();

    // For tests and tools: waits until no pass runs nor is due; false when the time ran out.
    bool WaitIdle(std::chrono::milliseconds timeout);
    // The whole request's time limit (a replay may take a while on a slow line).
    void SetRequestTimeout(std::chrono::milliseconds timeout);
    // The wall clock in seconds, for how long a server's refusal is remembered.
    std::function<int64_t()> Now;
    // Where the lines for someone debugging go (stderr unless a test listens).
    std::function<void(const std::string&)> Log;

    // The queue as it stands (a copy, taken under the lock).
    std::vector<TUploadQueue::TEntry> Queued();

  private:
    void Run();
    void Pass(std::unique_lock<std::mutex>& lock);
    void EnsureLoaded();
    void SaveQuietly();
    void Tell(const std::string& line);

    TUploadQueue m_queue;
    std::string m_currentServer;
    THttpClient m_settings;
    bool m_loaded = false;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    bool m_passDue = false;
    bool m_busy = false;
    bool m_stopping = false;
    std::atomic<bool> m_abandon{false};
    std::thread m_worker;
};
