#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>

// A plain blocking HTTP/1.1 client on 127.0.0.1 that sends exactly the bytes it is given,
// so tests can send what a browser or a broken client would.
class TTestConnection {
  public:
    // from: a loopback address of its own (127.0.0.2, ...) to come from another client address;
    // receiveBuffer: a small receive buffer, for a client that takes its answers slowly.
    explicit TTestConnection(unsigned short port, const char* from = nullptr, int receiveBuffer = 0) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd >= 0 && receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (m_fd >= 0 && from) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &local.sin_addr);
            if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
                throw std::runtime_error(std::string("cannot bind to ") + from);
        }
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
    ~TTestConnection() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TTestConnection(const TTestConnection&) = delete;
    TTestConnection& operator=(const TTestConnection&) = delete;

    bool Send(const std::string& bytes) {
        return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    struct TReply {
        int Status = 0;                             // 0: the connection closed without an answer
        std::map<std::string, std::string> Headers; // names in lower case
        std::string Body;
    };

    // Reads one answer; headOnly for the answer to HEAD (a length but no body).
    TReply Read(bool headOnly = false, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        TReply reply;
        std::size_t end;
        while ((end = m_pending.find("\r\n\r\n")) == std::string::npos)
            if (!Fill(timeout))
                return reply;
        std::string head = m_pending.substr(0, end);
        m_pending.erase(0, end + 4);
        reply.Status = std::stoi(head.substr(9, 3));
        std::size_t pos = head.find("\r\n");
        while (pos != std::string::npos) {
            std::size_t next = head.find("\r\n", pos + 2);
            std::string line =
                head.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
            std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                std::size_t v = line.find_first_not_of(' ', colon + 1);
                reply.Headers[name] = v == std::string::npos ? "" : line.substr(v);
            }
            pos = next;
        }
        std::size_t length =
            reply.Headers.count("content-length") ? std::stoul(reply.Headers["content-length"]) : 0;
        if (headOnly)
            return reply;
        while (m_pending.size() < length)
            if (!Fill(timeout))
                return reply;
        reply.Body = m_pending.substr(0, length);
        m_pending.erase(0, length);
        return reply;
    }

    // Whether the server has closed the connection (waits up to timeout for it).
    bool ClosedWithin(std::chrono::milliseconds timeout) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        char c;
        return ::recv(m_fd, &c, 1, MSG_PEEK) <= 0;
    }

  private:
    bool Fill(std::chrono::milliseconds timeout) {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        char buf[16384];
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        m_pending.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    int m_fd = -1;
    std::string m_pending;
};

// One GET (or another method) on a connection of its own.
inline TTestConnection::TReply HttpRequest(unsigned short port, const std::string& target,
                                           const std::string& method = "GET",
                                           const std::string& headers = "") {
    TTestConnection c(port);
    c.Send(method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers +
           "Connection: close\r\n\r\n");
    return c.Read(method == "HEAD");
}
