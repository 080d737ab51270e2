#include "net/Socket.h"

#include "net/NetErrors.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

namespace {

struct TAddrInfoDeleter {
    void operator()(addrinfo* p) const { freeaddrinfo(p); }
};
using TAddrInfoPtr = std::unique_ptr<addrinfo, TAddrInfoDeleter>;

// getaddrinfo has no time limit of its own, so a slow resolver runs on a
// thread of its own that is left behind (it cleans up after itself) when time runs out.
struct TLookup {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    int Result = 0;
    TAddrInfoPtr Addresses;
};

// A client being given up must not wait out a whole time limit first: its waits are cut into
// slices this long, the abandon flag looked at between them.
constexpr std::chrono::milliseconds AbandonSlice{50};

[[noreturn]] void ThrowAbandoned(const std::string& what) {
    throw ESocketError(what + " was abandoned", ESocketError::TKind::Abandoned);
}

TAddrInfoPtr Resolve(const std::string& host, int port, std::chrono::steady_clock::time_point deadline,
                     const std::atomic<bool>* abandon) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    const std::string service = std::to_string(port);

    // Literal addresses need no resolver.
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0)
        return TAddrInfoPtr(found);

    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    auto lookup = std::make_shared<TLookup>();
    try {
        std::thread([lookup, host, service, hints] {
            addrinfo* result = nullptr;
            int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
            std::lock_guard lock(lookup->Mutex);
            lookup->Result = rc;
            lookup->Addresses.reset(result);
            lookup->Finished = true;
            lookup->Done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        throw ESocketError("Cannot look up host '" + host + "': " + e.what(), ESocketError::TKind::Lookup);
    }
    std::unique_lock lock(lookup->Mutex);
    while (!lookup->Finished) {
        if (abandon && abandon->load())
            ThrowAbandoned("Looking up host '" + host + "'");
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            throw ESocketError("Looking up host '" + host + "' timed out", ESocketError::TKind::Timeout);
        lookup->Done.wait_until(lock, abandon ? std::min(deadline, now + AbandonSlice) : deadline);
    }
    if (lookup->Result != 0)
        throw ESocketError("Cannot look up host '" + host + "': " + gai_strerror(lookup->Result),
                           ESocketError::TKind::Lookup);
    return std::move(lookup->Addresses);
}

std::string Describe(const std::string& host, int port) {
    return host + ":" + std::to_string(port);
}

} // namespace

TSocket::~TSocket() {
    Close();
}

void TSocket::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int TSocket::RemainingMs(const char* what) const {
    if (m_abandon && m_abandon->load())
        ThrowAbandoned(std::string(what) + " " + m_peer);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
    if (left <= 0)
        throw ESocketError(std::string(what) + " " + m_peer + " timed out", ESocketError::TKind::Timeout);
    return static_cast<int>(std::min<long long>(left, m_abandon ? AbandonSlice.count() : 60'000));
}

void TSocket::Connect(const std::string& host, int port, Clock::duration connectTimeout) {
    Close();
    m_bytesSent = 0;
    m_peer = Describe(host, port);
    const Clock::time_point connectDeadline = std::min(m_deadline, Clock::now() + connectTimeout);
    TAddrInfoPtr addresses = Resolve(host, port, connectDeadline, m_abandon);

    std::string lastError = "no address";
    for (addrinfo* ai = addresses.get(); ai != nullptr; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            lastError = std::strerror(errno);
            continue;
        }
        m_fd = fd;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0)
            break;
        if (errno != EINPROGRESS) {
            lastError = std::strerror(errno);
            Close();
            continue;
        }
        pollfd pfd{fd, POLLOUT, 0};
        int ready = 0;
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(connectDeadline - Clock::now()).count();
            if (left <= 0)
                break;
            if (m_abandon && m_abandon->load()) {
                Close();
                ThrowAbandoned("Connecting to " + m_peer);
            }
            ready =
                ::poll(&pfd, 1,
                       static_cast<int>(m_abandon ? std::min<long long>(left, AbandonSlice.count()) : left));
            if (ready != 0)
                break;
        }
        if (ready <= 0) {
            lastError = ready == 0 ? "timed out" : std::strerror(errno);
            Close();
            if (ready == 0)
                break; // the time is spent for every further address too
            continue;
        }
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        if (error == 0)
            break;
        lastError = std::strerror(error);
        Close();
    }
    if (m_fd < 0)
        throw ESocketError("Cannot connect to " + m_peer + ": " + lastError,
                           lastError == "timed out" ? ESocketError::TKind::Timeout
                                                    : ESocketError::TKind::Connect);
    int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool TSocket::LooksAlive() const {
    if (m_fd < 0)
        return false;
    pollfd pfd{m_fd, POLLIN, 0};
    int ready = ::poll(&pfd, 1, 0);
    if (ready == 0)
        return true;
    // Readable while idle means a close, a reset or unrequested bytes: none leave the connection usable.
    return false;
}

void TSocket::SendAll(std::string_view data) {
    while (!data.empty()) {
        if (m_fd < 0)
            throw ESocketError("Sending to " + m_peer + " on a closed connection");
        // MSG_NOSIGNAL: a peer that has gone must give an error, not SIGPIPE.
        ssize_t n = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            m_bytesSent += static_cast<std::size_t>(n);
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd pfd{m_fd, POLLOUT, 0};
            int ready = ::poll(&pfd, 1, RemainingMs("Sending to"));
            if (ready < 0 && errno != EINTR)
                throw ESocketError("Sending to " + m_peer + " failed: " + std::strerror(errno));
            continue;
        }
        throw ESocketError("Sending to " + m_peer + " failed: " + std::strerror(errno));
    }
}

std::size_t TSocket::Read(char* data, std::size_t size) {
    for (;;) {
        if (m_fd < 0)
            throw ESocketError("Reading from " + m_peer + " on a closed connection");
        ssize_t n = ::recv(m_fd, data, size, 0);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw ESocketError("Reading from " + m_peer + " failed: " + std::strerror(errno));
        pollfd pfd{m_fd, POLLIN, 0};
        int ready = ::poll(&pfd, 1, RemainingMs("Reading from"));
        if (ready < 0 && errno != EINTR)
            throw ESocketError("Reading from " + m_peer + " failed: " + std::strerror(errno));
    }
}
