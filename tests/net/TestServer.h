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
        explicit TConn(int fd, TTestServer& server) : fd_(fd), server_(server) {}
        // Reads one request head (up to the empty line); empty when the client closed.
        std::string ReadRequest() {
            while (true) {
                auto end = pending_.find("\r\n\r\n");
                if (end != std::string::npos) {
                    std::string head = pending_.substr(0, end + 4);
                    pending_.erase(0, end + 4);
                    server_.Record(head);
                    return head;
                }
                if (!WaitReadable())
                    return {};
                char buf[4096];
                ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n <= 0)
                    return {};
                pending_.append(buf, static_cast<std::size_t>(n));
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
            while (pending_.size() < length) {
                if (!WaitReadable())
                    break;
                char buf[16384];
                ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                pending_.append(buf, static_cast<std::size_t>(n));
            }
            std::string body = pending_.substr(0, std::min(length, pending_.size()));
            pending_.erase(0, body.size());
            server_.RecordBody(body);
            return body;
        }
        void Send(const std::string& data) { ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL); }
        // Waits until the client closes or the server stops.
        void WaitForClose() {
            char buf[256];
            while (!server_.stopping_) {
                pollfd pfd{fd_, POLLIN, 0};
                if (::poll(&pfd, 1, 20) > 0 && ::recv(fd_, buf, sizeof buf, 0) <= 0)
                    return;
            }
        }

      private:
        // Gives up after 5 s, or at once when the server is being stopped.
        bool WaitReadable() {
            for (int waited = 0; waited < 5000 && !server_.stopping_; waited += 20) {
                pollfd pfd{fd_, POLLIN, 0};
                if (::poll(&pfd, 1, 20) > 0)
                    return true;
            }
            return false;
        }

        int fd_;
        TTestServer& server_;
        std::string pending_;
    };

    using THandler = std::function<void(TConn&)>;

    explicit TTestServer(THandler handler) : handler_(std::move(handler)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listen_, 8) != 0)
            throw std::runtime_error("test server cannot listen");
        socklen_t len = sizeof addr;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~TTestServer() {
        stopping_ = true;
        thread_.join();
        ::close(listen_);
    }

    int Port() const { return port_; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    int Accepted() const { return accepted_; }
    std::vector<std::string> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The bodies read with ReadBody, in order.
    std::vector<std::string> Bodies() {
        std::lock_guard lock(mutex_);
        return bodies_;
    }

  private:
    void Record(const std::string& head) {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
    }
    void RecordBody(const std::string& body) {
        std::lock_guard lock(mutex_);
        bodies_.push_back(body);
    }

    void Run() {
        while (!stopping_) {
            pollfd pfd{listen_, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++accepted_;
            TConn conn(fd, *this);
            handler_(conn);
            ::close(fd);
        }
    }

    THandler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::string> bodies_;
    std::thread thread_;
};
