#pragma once

#include "server/LogThrottle.h"
#include "server/store/ScoreStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct TSpoolOptions {
    std::string Path;
    // The database the results belong to, written at the head of the file: a spool is handed
    // over to that database only.
    std::string Owner;
    // Results kept at most; past it a result the store cannot take is refused (503) again.
    std::size_t MaxEntries = 100000;
    // How often a spool with results in it tries the store again.
    std::chrono::milliseconds RetryInterval{250};
};

// Results the store could not take (the database away), kept in a file on the local disk until
// it can: each is synced to the file before its sender hears 200, and a thread hands them to the
// store once it answers again, emptying the file only when every one is stored. A result handed
// over twice (the server stopped half-way through) is recognised by the store as a resend, so
// it is stored once. One process holds the file (a lock); another finds it taken and runs
// without one.
class TSpool {
  public:
    // Opens (creating) the file and starts handing over what an earlier run left in it; throws
    // EStoreError naming the file when it cannot be used.
    TSpool(TSpoolOptions options, IScoreStore& store);
    // Stops handing over (what is still in the file stays there for the next run); Keep still
    // works until the spool goes.
    void Stop();
    ~TSpool();
    TSpool(const TSpool&) = delete;
    TSpool& operator=(const TSpool&) = delete;

    // Keeps a result durably; false when the spool is full or the file cannot be written.
    bool Keep(const TNewScore& score);
    // Results waiting in the file.
    std::size_t Held() const { return m_held.load(); }
    std::uint64_t HandedOver() const { return m_handedOver.load(); }

  private:
    void Run();
    // Hands every kept result to the store; true when all are stored and the file is empty.
    bool HandOver();

    TSpoolOptions m_options;
    IScoreStore& m_store;
    int m_fd = -1;
    off_t m_headSize = 0;
    std::mutex m_fileMutex; // appending, and handing over
    std::atomic<std::size_t> m_held{0};
    std::atomic<std::uint64_t> m_handedOver{0};
    TLogThrottle m_log;

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
