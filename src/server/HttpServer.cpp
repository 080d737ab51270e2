#include "server/HttpServer.h"

#include "server/ClientAddress.h"
#include "server/Metrics.h"
#include "server/ScoreService.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <array>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <thread>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

constexpr std::size_t kMaxHead = 8 * 1024;
constexpr std::size_t kBufferLimit = 16 * 1024;
constexpr std::size_t kFirstRead = 4 * 1024;
constexpr std::chrono::milliseconds kAcceptRetry{100};
constexpr std::chrono::milliseconds kRefusalLinger{1000};
constexpr std::size_t kMaxRefusing = 64; // past this, connections over the cap are closed outright
constexpr std::string_view kServerName = "spraydash-scores";
constexpr std::string_view kBusyBody = "too many connections; try again shortly\n";

std::string BusyReply() {
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(kBusyBody.size()) + "\r\nRetry-After: 5\r\nConnection: close\r\n\r\n" +
           std::string(kBusyBody);
}

std::string HttpDate() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

// What connections share: the service, the counts and the settings.
struct TShared {
    TShared(THttpOptions options, TScoreService& service, TMetrics& metrics)
        : Options(std::move(options)), Service(service), Metrics(metrics), Clients(Options.TrustedProxies) {}
    THttpOptions Options;
    TScoreService& Service;
    TMetrics& Metrics;
    TClientAddress Clients;
    std::atomic<std::size_t> Open{0};
    std::atomic<std::size_t> Refusing{0};
};

// A connection over the cap: it is told so and closed. Closing at once, with the client's
// request still unread, would reset the connection and could lose the answer on its way, so the
// client gets a moment to read it and hang up first.
class TRefusal : public std::enable_shared_from_this<TRefusal> {
  public:
    TRefusal(tcp::socket socket, TShared& shared) : m_stream(std::move(socket)), m_shared(shared) {
        m_shared.Refusing.fetch_add(1);
    }
    ~TRefusal() { m_shared.Refusing.fetch_sub(1); }

    void Start() {
        m_reply = BusyReply();
        m_stream.expires_after(kRefusalLinger);
        asio::async_write(m_stream, asio::buffer(m_reply),
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec)
                                  return;
                              beast::error_code ignored;
                              self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
                              self->Drain();
                          });
    }

  private:
    void Drain() {
        m_stream.async_read_some(asio::buffer(m_sink),
                                 [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                     if (!ec)
                                         self->Drain();
                                 });
    }

    beast::tcp_stream m_stream;
    TShared& m_shared;
    std::string m_reply;
    std::array<char, 1024> m_sink{};
};

class TSession : public std::enable_shared_from_this<TSession> {
  public:
    TSession(tcp::socket socket, TShared& shared) : m_stream(std::move(socket)), m_shared(shared) {
        m_shared.Metrics.ConnectionOpened();
        boost::system::error_code ec;
        tcp::endpoint peer = m_stream.socket().remote_endpoint(ec);
        if (!ec)
            m_peer = peer.address();
    }

    ~TSession() {
        m_shared.Open.fetch_sub(1);
        m_shared.Metrics.ConnectionClosed();
    }

    void Start() {
        m_deadline = std::chrono::steady_clock::now() + m_shared.Options.RequestTimeout;
        WaitForRequest(false);
    }

  private:
    // Between requests: wait for the first byte of the next one, for the idle time at most;
    // from then on the request's own time limit runs.
    void WaitForRequest(bool idle) {
        if (m_buffer.size() > 0) {
            m_deadline = std::chrono::steady_clock::now() + m_shared.Options.RequestTimeout;
            ReadHead();
            return;
        }
        if (idle)
            m_stream.expires_after(m_shared.Options.IdleTimeout);
        else
            m_stream.expires_at(m_deadline);
        m_stream.async_read_some(m_buffer.prepare(kFirstRead), [self = shared_from_this(),
                                                                idle](beast::error_code ec, std::size_t n) {
            if (ec) {
                self->Dropped(ec);
                return;
            }
            self->m_buffer.commit(n);
            if (idle)
                self->m_deadline = std::chrono::steady_clock::now() + self->m_shared.Options.RequestTimeout;
            self->ReadHead();
        });
    }

    void ReadHead() {
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(kMaxHead));
        m_stream.expires_at(m_deadline);
        http::async_read_header(
            m_stream, m_buffer, *m_parser,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnHead(ec); });
    }

    void OnHead(beast::error_code ec) {
        m_started = std::chrono::steady_clock::now();
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
            Refuse(431, "the request line and headers may take 8 KiB at most");
            return;
        }
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::operation_aborted || ec == asio::error::connection_reset ||
            ec == asio::error::eof) {
            Dropped(ec);
            return;
        }
        bool bodyFollows = ec == http::error::body_limit || ec == http::error::unexpected_body;
        if (ec && !(bodyFollows && m_parser->is_header_done())) {
            Refuse(400, "malformed request: " + ec.message());
            return;
        }
        const auto& request = m_parser->get();
        m_head = request.method() == http::verb::head;
        m_version = request.version();
        if (bodyFollows || !m_parser->is_done()) {
            // A body follows; the server reads none, so the connection cannot go on.
            bool readable = request.method() == http::verb::get || m_head;
            Refuse(readable ? 400 : 405,
                   readable ? "a GET or HEAD request carries no body" : "only GET and HEAD are served");
            return;
        }
        m_keepAlive = request.keep_alive();

        std::string forwarded;
        auto [first, last] = request.equal_range("X-Forwarded-For");
        for (auto it = first; it != last; ++it) {
            if (!forwarded.empty())
                forwarded += ',';
            forwarded.append(it->value().data(), it->value().size());
        }
        TServiceRequest serviceRequest;
        serviceRequest.Method =
            std::string_view(request.method_string().data(), request.method_string().size());
        serviceRequest.Target = std::string_view(request.target().data(), request.target().size());
        serviceRequest.Client = m_shared.Clients.Resolve(m_peer, forwarded);

        m_stream.expires_never(); // a submission waits for its commit, which has limits of its own
        m_shared.Service.Handle(serviceRequest, [self = shared_from_this()](TServiceReply reply) {
            auto executor = self->m_stream.get_executor();
            asio::dispatch(executor,
                           [self, reply = std::move(reply)]() mutable { self->Respond(std::move(reply)); });
        });
    }

    void Refuse(int status, std::string reason) {
        m_keepAlive = false;
        TServiceReply reply;
        reply.Status = status;
        reply.ContentType = "text/plain; charset=utf-8";
        reply.Body = std::make_shared<const std::string>(std::move(reason) + "\n");
        if (status == 405)
            reply.Headers.emplace_back("Allow", "GET, HEAD");
        Respond(std::move(reply));
    }

    void Respond(TServiceReply reply) {
        m_status = reply.Status;
        m_route = reply.Route;
        m_body = std::move(reply.Body);
        m_response = {};
        m_response.version(m_version == 10 ? 10 : 11);
        m_response.result(static_cast<unsigned>(reply.Status));
        m_response.set(http::field::server, beast::string_view(kServerName.data(), kServerName.size()));
        m_response.set(http::field::date, HttpDate());
        m_response.set(http::field::content_type, reply.ContentType);
        m_response.set("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : reply.Headers)
            m_response.set(name, value);
        std::size_t size = m_body ? m_body->size() : 0;
        if (!m_head && m_body)
            m_response.body() = http::span_body<const char>::value_type(m_body->data(), size);
        m_response.content_length(size);
        m_response.keep_alive(m_keepAlive);
        m_stream.expires_after(m_shared.Options.RequestTimeout);
        http::async_write(
            m_stream, m_response,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnWritten(ec); });
    }

    void OnWritten(beast::error_code ec) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
        m_shared.Metrics.Request(m_route, m_status, seconds);
        m_body.reset();
        if (ec) {
            Dropped(ec);
            return;
        }
        if (!m_keepAlive) {
            beast::error_code ignored;
            m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
            return;
        }
        WaitForRequest(true);
    }

    void Dropped(beast::error_code ec) {
        if (ec == beast::error::timeout)
            m_shared.Metrics.ConnectionTimedOut();
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    }

    beast::tcp_stream m_stream;
    TShared& m_shared;
    asio::ip::address m_peer;
    beast::flat_buffer m_buffer{kBufferLimit};
    std::optional<http::request_parser<http::empty_body>> m_parser;
    http::response<http::span_body<const char>> m_response;
    std::shared_ptr<const std::string> m_body;
    std::chrono::steady_clock::time_point m_deadline;
    std::chrono::steady_clock::time_point m_started;
    bool m_keepAlive = false;
    bool m_head = false;
    unsigned m_version = 11;
    int m_status = 0;
    TMetrics::TRoute m_route = TMetrics::TRoute::Other;
};

} // namespace

std::pair<std::string, unsigned short> ParseListenAddress(std::string_view text) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        throw std::invalid_argument("listen address \"" + std::string(text) + "\" lacks \":port\"");
    std::string_view host = text.substr(0, colon);
    std::string_view port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    unsigned value = 0;
    auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535)
        throw std::invalid_argument("listen address \"" + std::string(text) + "\": \"" + std::string(port) +
                                    "\" is not a port number");
    if (host.empty())
        host = "0.0.0.0";
    boost::system::error_code bad;
    asio::ip::make_address(std::string(host), bad);
    if (bad)
        throw std::invalid_argument("listen address \"" + std::string(text) + "\": \"" + std::string(host) +
                                    "\" is not an IP address");
    return {std::string(host), static_cast<unsigned short>(value)};
}

struct THttpServer::TImpl {
    TImpl(THttpOptions options, TScoreService& service, TMetrics& metrics)
        : Threads(options.Threads > 0 ? options.Threads
                                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))),
          Shared(std::move(options), service, metrics), Io(Threads), Acceptor(Io), RetryTimer(Io) {}

    void Listen() {
        boost::system::error_code ec;
        tcp::endpoint endpoint(asio::ip::make_address(Shared.Options.Address, ec), Shared.Options.Port);
        std::string where = Shared.Options.Address + ":" + std::to_string(Shared.Options.Port);
        if (ec)
            throw std::runtime_error("cannot listen on " + where + ": not an IP address");
        if (Acceptor.open(endpoint.protocol(), ec) ||
            Acceptor.set_option(asio::socket_base::reuse_address(true), ec) || Acceptor.bind(endpoint, ec) ||
            Acceptor.listen(asio::socket_base::max_listen_connections, ec))
            throw std::runtime_error("cannot listen on " + where + ": " + ec.message());
    }

    void Accept() {
        Acceptor.async_accept(asio::make_strand(Io), [this](beast::error_code ec, tcp::socket socket) {
            if (ec == asio::error::operation_aborted)
                return;
            if (ec) {
                // Out of descriptors, most likely: wait a moment rather than spin.
                std::fprintf(stderr, "spraydash-scores: accepting a connection failed: %s\n",
                             ec.message().c_str());
                RetryTimer.expires_after(kAcceptRetry);
                RetryTimer.async_wait([this](beast::error_code waitError) {
                    if (!waitError)
                        Accept();
                });
                return;
            }
            if (Shared.Open.load() >= Shared.Options.MaxConnections) {
                Shared.Metrics.ConnectionRefused();
                if (Shared.Refusing.load() < kMaxRefusing)
                    std::make_shared<TRefusal>(std::move(socket), Shared)->Start();
            } else {
                Shared.Open.fetch_add(1);
                std::make_shared<TSession>(std::move(socket), Shared)->Start();
            }
            Accept();
        });
    }

    void RunThreads(std::size_t extra) {
        for (std::size_t i = 0; i < extra; ++i)
            Workers.emplace_back([this] { Io.run(); });
    }

    void JoinThreads() {
        for (auto& worker : Workers)
            if (worker.joinable() && worker.get_id() != std::this_thread::get_id())
                worker.join();
        Workers.clear();
    }

    int Threads;
    // Before the io_context: connections still queued in it refer to this when it goes.
    TShared Shared;
    asio::io_context Io;
    tcp::acceptor Acceptor;
    asio::steady_timer RetryTimer;
    std::vector<std::thread> Workers;
};

THttpServer::THttpServer(THttpOptions options, TScoreService& service, TMetrics& metrics)
    : m_impl(std::make_unique<TImpl>(std::move(options), service, metrics)) {
    m_impl->Listen();
    m_impl->Accept();
}

THttpServer::~THttpServer() {
    Stop();
}

std::string THttpServer::LocalAddress() const {
    boost::system::error_code ec;
    tcp::endpoint endpoint = m_impl->Acceptor.local_endpoint(ec);
    std::string host = endpoint.address().to_string();
    if (endpoint.address().is_v6())
        host = "[" + host + "]";
    return host + ":" + std::to_string(endpoint.port());
}

unsigned short THttpServer::Port() const {
    boost::system::error_code ec;
    return m_impl->Acceptor.local_endpoint(ec).port();
}

void THttpServer::Run(bool stopOnSignals) {
    std::optional<asio::signal_set> signals;
    if (stopOnSignals) {
        signals.emplace(m_impl->Io, SIGINT, SIGTERM);
        signals->async_wait([this](beast::error_code ec, int) {
            if (!ec)
                m_impl->Io.stop();
        });
    }
    m_impl->RunThreads(static_cast<std::size_t>(m_impl->Threads - 1));
    m_impl->Io.run();
    m_impl->JoinThreads();
}

void THttpServer::Start() {
    m_impl->RunThreads(static_cast<std::size_t>(m_impl->Threads));
}

void THttpServer::Stop() {
    m_impl->Io.stop();
    m_impl->JoinThreads();
}
