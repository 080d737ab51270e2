#pragma once

#include "net/HttpReply.h"

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

// One TCP connection with a deadline: every wait (connect, send, receive) ends
// with an ESocketError once the deadline has passed.
class TSocket : public TByteSource {
  public:
    using Clock = std::chrono::steady_clock;

    TSocket() = default;
    ~TSocket() override;
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    // Looks the host up and connects to the first address that answers, within
    // connectTimeout and never past the deadline.
    void Connect(const std::string& host, int port, Clock::duration connectTimeout);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // False once the peer has closed or reset the connection (or sent bytes nobody asked for).
    bool LooksAlive() const;

    void SetDeadline(Clock::time_point deadline) { m_deadline = deadline; }
    Clock::time_point Deadline() const { return m_deadline; }
    // Once the flag is set, every wait ends within a few tens of milliseconds with an
    // ESocketError of kind Abandoned. The flag must outlive the socket.
    void SetAbandonFlag(const std::atomic<bool>* flag) { m_abandon = flag; }

    void SendAll(std::string_view data);
    // Bytes handed to the connection since it was opened, counted even when a send then fails.
    std::size_t BytesSent() const { return m_bytesSent; }
    std::size_t Read(char* data, std::size_t size) override;

  private:
    // How long the next wait may last: up to the deadline, in short slices while an abandon flag
    // is watched. Throws once the deadline has passed or the flag is set.
    int RemainingMs(const char* what) const;

    int m_fd = -1;
    std::size_t m_bytesSent = 0;
    Clock::time_point m_deadline = Clock::time_point::max();
    const std::atomic<bool>* m_abandon = nullptr;
    std::string m_peer;
};
