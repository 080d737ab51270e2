#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A one-thread TCP server on 127.0.0.1 and an ephemeral port. Each accepted
// connection is handed to the handler, which talks to the client through TConn.
class TTestServer {
  public:
    class TConn {
      public:
        explicit TConn(int fd, TTestServer& server) : m_fd(fd), m_server(server) {}
        // Reads one request head (up to the empty line); empty when the client closed.
        std::string ReadRequest() {
            while (true) {
                auto end = m_pending.find("\r\n\r\n");
                if (end != std::string::npos) {
                    std::string head = m_pending.substr(0, end + 4);
                    m_pending.erase(0, end + 4);
                    m_server.Record(head);
                    return head;
                }
                if (!WaitReadable())
                    return {};
                char buf[4096];
                ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
                if (n <= 0)
                    return {};
                m_pending.append(buf, static_cast<std::size_t>(n));
            }
        }
        // Reads the body the head announces by Content-Length (none without one); short when the
        // client closed first. Recorded beside the head.
        std::string ReadBody(const std::string& head) {
            std::size_t length = 0;
            std::string lower = head;
            for (char& c : lower)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            auto at = lower.find("\r\ncontent-length:");
            if (at != std::string::npos)
                length = std::stoul(head.substr(at + 17));
            while (m_pending.size() < length) {
                if (!WaitReadable())
                    break;
                char buf[16384];
                ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                m_pending.append(buf, static_cast<std::size_t>(n));
            }
            std::string body = m_pending.substr(0, std::min(length, m_pending.size()));
            m_pending.erase(0, body.size());
            m_server.RecordBody(body);
            return body;
        }
        void Send(const std::string& data) { ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL); }
        // Waits until the client closes or the server stops.
        void WaitForClose() {
            char buf[256];
            while (!m_server.m_stopping) {
                pollfd pfd{m_fd, POLLIN, 0};
                if (::poll(&pfd, 1, 20) > 0 && ::recv(m_fd, buf, sizeof buf, 0) <= 0)
                    return;
            }
        }

      private:
        // Gives up after 5 s, or at once when the server is being stopped.
        bool WaitReadable() {
            for (int waited = 0; waited < 5000 && !m_server.m_stopping; waited += 20) {
                pollfd pfd{m_fd, POLLIN, 0};
                if (::poll(&pfd, 1, 20) > 0)
                    return true;
            }
            return false;
        }

        int m_fd;
        TTestServer& m_server;
        std::string m_pending;
    };

    using THandler = std::function<void(TConn&)>;

    explicit TTestServer(THandler handler) : m_handler(std::move(handler)) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 8) != 0)
            throw std::runtime_error("test server cannot listen");
        socklen_t len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
    }

    ~TTestServer() {
        m_stopping = true;
        m_thread.join();
        ::close(m_listen);
    }

    int Port() const { return m_port; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    int Accepted() const { return m_accepted; }
    std::vector<std::string> Requests() {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    // The bodies read with ReadBody, in order.
    std::vector<std::string> Bodies() {
        std::lock_guard lock(m_mutex);
        return m_bodies;
    }

  private:
    void Record(const std::string& head) {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(head);
    }
    void RecordBody(const std::string& body) {
        std::lock_guard lock(m_mutex);
        m_bodies.push_back(body);
    }

    void Run() {
        while (!m_stopping) {
            pollfd pfd{m_listen, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++m_accepted;
            TConn conn(fd, *this);
            m_handler(conn);
            ::close(fd);
        }
    }

    THandler m_handler;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_bodies;
    std::thread m_thread;
};
