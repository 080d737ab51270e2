#include "server/http/HttpServer.h"
#include "server/Log.h"

#include "server/Metrics.h"
#include "server/http/ConnectionTable.h"
#include "server/http/HttpShared.h"
#include "server/http/HttpWire.h"
#include "server/service/ClientAddress.h"
#include "server/service/ReplayUpload.h"
#include "server/service/ScoreService.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
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
constexpr std::size_t kMaxBody = TUploadOptions{}.MaxBytes;
constexpr std::chrono::milliseconds kAcceptRetry{100};
constexpr std::size_t kMaxRefusing = 64; // past this, connections over the cap are closed outright
constexpr std::string_view kHeadEnd = "\r\n\r\n";

class TSession : public std::enable_shared_from_this<TSession> {
  public:
    TSession(tcp::socket socket, TShared& shared, TConnectionTable& table, std::uint64_t id, bool internal)
        : m_stream(std::move(socket)), m_shared(shared), m_table(table), m_id(id), m_internal(internal),
          m_drainTimer(m_stream.get_executor()) {
        m_shared.Metrics.ConnectionOpened();
        boost::system::error_code ec;
        tcp::endpoint peer = m_stream.socket().remote_endpoint(ec);
        if (!ec)
            m_peer = peer.address();
    }

    ~TSession() {
        m_table.Remove(m_id);
        m_shared.Metrics.ConnectionClosed();
    }

    void Start() {
        m_deadline = std::chrono::steady_clock::now() + m_shared.Options.RequestTimeout;
        ReadHead(false);
    }

    // Closes the connection if it still waits idle for its next request (the table gave its
    // place to another); one that has begun a request is let finish it and then closed.
    void Evict() {
        m_keepAlive = false;
        if (!m_idle)
            return;
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.socket().close(ignored);
    }

  private:
    std::string_view Buffered() const {
        auto data = m_buffer.data();
        return {static_cast<const char*>(data.data()), data.size()};
    }

    // Reads until the request's head is complete. Between requests (idle), the first byte of
    // the next one is waited for for the idle time at most; from then on the request's own time
    // limit runs.
    void ReadHead(bool idle) {
        std::string_view buffered = Buffered();
        std::size_t end = buffered.substr(0, kMaxHead + kHeadEnd.size()).find(kHeadEnd);
        if (end != std::string_view::npos) {
            OnHead(end + kHeadEnd.size());
            return;
        }
        if (buffered.size() >= kMaxHead) {
            Refuse(431, "the request line and headers may take 8 KiB at most");
            return;
        }
        if (idle && !buffered.empty()) {
            idle = false;
            m_deadline = std::chrono::steady_clock::now() + m_shared.Options.RequestTimeout;
        }
        if (idle) {
            m_idle = true;
            std::weak_ptr<TSession> weak = weak_from_this();
            auto executor = m_stream.get_executor();
            m_table.SetIdle(m_id, [weak, executor] {
                asio::post(executor, [weak] {
                    if (auto self = weak.lock())
                        self->Evict();
                });
            });
            m_stream.expires_after(m_shared.Options.IdleTimeout);
        } else {
            m_stream.expires_at(m_deadline);
        }
        m_stream.async_read_some(m_buffer.prepare(kFirstRead), [self = shared_from_this(),
                                                                idle](beast::error_code ec, std::size_t n) {
            if (idle) {
                self->m_idle = false;
                self->m_table.SetBusy(self->m_id);
                self->m_deadline = std::chrono::steady_clock::now() + self->m_shared.Options.RequestTimeout;
            }
            if (ec) {
                self->Dropped(ec);
                return;
            }
            self->m_buffer.commit(n);
            self->ReadHead(false);
        });
    }

    // Whether a header line is continued on the next (obsolete line folding), which the parser
    // would quietly join.
    static bool Folded(std::string_view head) {
        for (std::size_t at = head.find("\r\n"); at != std::string_view::npos; at = head.find("\r\n", at + 2))
            if (at + 2 < head.size() && (head[at + 2] == ' ' || head[at + 2] == '\t'))
                return true;
        return false;
    }

    void OnHead(std::size_t headSize) {
        m_started = std::chrono::steady_clock::now();
        std::string_view head = Buffered().substr(0, headSize);
        if (Folded(head)) {
            Refuse(400, "header lines continued on the next line (obsolete folding) are not accepted");
            return;
        }
        m_parser.emplace();
        m_parser->header_limit(static_cast<std::uint32_t>(kMaxHead + kHeadEnd.size()));
        beast::error_code ec;
        std::size_t used = m_parser->put(asio::buffer(head.data(), head.size()), ec);
        if (ec == http::error::header_limit) {
            Refuse(431, "the request line and headers may take 8 KiB at most");
            return;
        }
        if (ec || !m_parser->is_header_done()) {
            Refuse(400, "malformed request: " + (ec ? ec.message() : std::string("incomplete head")));
            return;
        }
        m_buffer.consume(used);
        const auto& request = m_parser->get();
        m_head = request.method() == http::verb::head;
        m_version = request.version();
        // Exactly one Host (HTTP/1.1 requires it, and two may name different sites to different
        // readers of the request).
        std::size_t hosts = request.count(http::field::host);
        if (hosts > 1 || (hosts == 0 && m_version >= 11)) {
            Refuse(400, hosts == 0 ? "a request must name its Host" : "a request must name one Host");
            return;
        }
        // A transfer coding this server cannot undo leaves the body's end unknown: what follows
        // cannot be taken for the next request.
        if (request.count(http::field::transfer_encoding) > 0 && !m_parser->chunked()) {
            Refuse(501, "transfer codings other than chunked are not understood");
            return;
        }
        if (!m_parser->is_done()) {
            // Only an uploaded replay carries a body; any other request's cannot be read past,
            // so the connection cannot go on.
            if (request.method() == http::verb::post && TReplayUploads::Serves(PathOf(request.target()))) {
                if (m_parser->chunked() || !m_parser->content_length()) {
                    Refuse(411, "a replay is sent with a Content-Length, not in chunks");
                    return;
                }
                if (*m_parser->content_length() > kMaxBody) {
                    Refuse(413, "a replay may take " + std::to_string(kMaxBody) + " bytes at most");
                    return;
                }
                m_requestBody.assign(static_cast<std::size_t>(*m_parser->content_length()), '\0');
                std::size_t take = std::min(m_requestBody.size(), m_buffer.size());
                asio::buffer_copy(asio::buffer(m_requestBody.data(), take), m_buffer.data());
                m_buffer.consume(take);
                // A client that asks first (curl does for larger bodies) is told to go on.
                auto expect = request.find(http::field::expect);
                if (expect != request.end() && beast::iequals(expect->value(), "100-continue") &&
                    take < m_requestBody.size()) {
                    static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
                    m_stream.expires_at(m_deadline);
                    asio::async_write(m_stream, asio::buffer(kContinue.data(), kContinue.size()),
                                      [self = shared_from_this(), take](beast::error_code ec, std::size_t) {
                                          if (ec)
                                              self->Dropped(ec);
                                          else
                                              self->ReadBody(take);
                                      });
                    return;
                }
                ReadBody(take);
                return;
            }
            bool readable = request.method() == http::verb::get || m_head;
            Refuse(readable ? 400 : 405,
                   readable ? "a GET or HEAD request carries no body" : "only GET and HEAD are served");
            return;
        }
        m_requestBody.clear();
        Dispatch();
    }

    static std::string_view PathOf(beast::string_view target) {
        std::string_view path(target.data(), target.size());
        return path.substr(0, path.find('?'));
    }

    // Reads the rest of a body, within the request's own time limit.
    void ReadBody(std::size_t got) {
        if (got == m_requestBody.size()) {
            Dispatch();
            return;
        }
        m_stream.expires_at(m_deadline);
        m_stream.async_read_some(asio::buffer(m_requestBody.data() + got, m_requestBody.size() - got),
                                 [self = shared_from_this(), got](beast::error_code ec, std::size_t n) {
                                     if (ec) {
                                         self->Dropped(ec);
                                         return;
                                     }
                                     self->ReadBody(got + n);
                                 });
    }

    void Dispatch() {
        const auto& request = m_parser->get();
        m_keepAlive = m_keepAlive && request.keep_alive();

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
        serviceRequest.Internal = m_internal;
        auto field = [&request](http::field name) {
            auto it = request.find(name);
            return it == request.end() ? std::string_view()
                                       : std::string_view(it->value().data(), it->value().size());
        };
        serviceRequest.IfNoneMatch = field(http::field::if_none_match);
        serviceRequest.IfModifiedSince = field(http::field::if_modified_since);
        serviceRequest.AcceptsGzip = AcceptsGzip(field(http::field::accept_encoding));
        serviceRequest.Body = m_requestBody;
        if (AccessLogEnabled()) {
            m_client = serviceRequest.Client;
            m_method = serviceRequest.Method;
            m_target = serviceRequest.Target;
        }

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

    // Sends the answer as it stands: the status line, the header fields (written once for a
    // cached answer), the date and the body, in one gathered write.
    void Respond(TServiceReply reply) {
        m_status = reply.Status;
        m_route = reply.Route;
        m_fields =
            reply.Fields ? std::move(reply.Fields) : std::make_shared<const std::string>(ReplyFields(reply));
        m_body = std::move(reply.Body);
        std::string_view status = StatusLine(m_version == 10 ? 10 : 11, reply.Status);
        std::string_view date = DateLine();
        std::copy(date.begin(), date.end(), m_date.begin());
        std::string_view connection = !m_keepAlive      ? "Connection: close\r\n\r\n"
                                      : m_version == 10 ? "Connection: keep-alive\r\n\r\n"
                                                        : "\r\n";
        std::array<asio::const_buffer, 5> buffers = {
            asio::buffer(status.data(), status.size()), asio::buffer(*m_fields),
            asio::buffer(m_date.data(), date.size()), asio::buffer(connection.data(), connection.size()),
            m_head || !m_body ? asio::const_buffer() : asio::buffer(*m_body)};
        m_answerDeadline = std::chrono::steady_clock::now() + m_shared.Options.RequestTimeout;
        m_stream.expires_at(m_answerDeadline);
        asio::async_write(m_stream, buffers, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            self->OnWritten(ec);
        });
    }

    void OnWritten(beast::error_code ec) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
        m_shared.Metrics.Request(m_route, m_status, seconds);
        if (AccessLogEnabled()) {
            TAccessEntry entry;
            entry.Client = m_client;
            entry.Method = m_method;
            entry.Target = m_target;
            entry.Status = m_status;
            entry.Bytes = m_head || !m_body ? 0 : m_body->size();
            entry.Seconds = seconds;
            entry.Route = TMetrics::RouteName(m_route);
            LogAccess(entry);
        }
        m_body.reset();
        m_fields.reset();
        if (ec) {
            Dropped(ec);
            return;
        }
        if (!m_keepAlive) {
            beast::error_code ignored;
            m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
            return;
        }
        if (!m_watching) {
            m_watching = true;
            WatchTaken();
        }
        ReadHead(true);
    }

    // An answer handed to the system may still sit in its buffers because the client does not
    // read: the client has until the request's time limit to take
    // it, like any other part of the exchange, rather than the idle time meant for clients that
    // have read their answers. One timer per connection looks at the latest answer.
    void WatchTaken() {
        m_drainTimer.expires_at(m_answerDeadline);
        std::weak_ptr<TSession> weak = weak_from_this();
        m_drainTimer.async_wait([weak](beast::error_code ec) {
            auto self = weak.lock();
            if (ec || !self)
                return;
            if (self->m_answerDeadline > std::chrono::steady_clock::now()) {
                self->WatchTaken(); // a later answer: its own time
                return;
            }
            self->m_watching = false;
            if (!self->Untaken())
                return;
            self->m_shared.Metrics.ConnectionTimedOut();
            beast::error_code ignored;
            self->m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
            self->m_stream.socket().close(ignored);
        });
    }

    // Whether the last answer is still on its way: bytes the client's system has not yet taken.
    // (An answer that fits in the client's buffers is taken as far as the server can tell; the
    // connection then idles, and is the first to give way when the caps are reached.)
    bool Untaken() { return Unacknowledged(m_stream.socket()) > 0; }

    void Dropped(beast::error_code ec) {
        if (ec == beast::error::timeout)
            m_shared.Metrics.ConnectionTimedOut();
        beast::error_code ignored;
        m_drainTimer.cancel();
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    }

    beast::tcp_stream m_stream;
    TShared& m_shared;
    TConnectionTable& m_table;
    const std::uint64_t m_id;
    const bool m_internal;
    asio::steady_timer m_drainTimer;
    asio::ip::address m_peer;
    beast::flat_buffer m_buffer{kBufferLimit};
    std::optional<http::request_parser<http::empty_body>> m_parser;
    std::shared_ptr<const std::string> m_fields;
    std::array<char, 48> m_date{};
    std::shared_ptr<const std::string> m_body;
    std::chrono::steady_clock::time_point m_deadline;
    std::chrono::steady_clock::time_point m_answerDeadline;
    std::chrono::steady_clock::time_point m_started;
    bool m_watching = false;
    std::string m_client, m_method, m_target; // for the access log
    std::string m_requestBody;

    bool m_keepAlive = true;
    bool m_idle = false;
    bool m_head = false;
    unsigned m_version = 11;
    int m_status = 0;
    TMetrics::TRoute m_route = TMetrics::TRoute::Other;
};

void ListenOn(tcp::acceptor& acceptor, const std::string& address, unsigned short port) {
    boost::system::error_code ec;
    tcp::endpoint endpoint(asio::ip::make_address(address, ec), port);
    std::string where = address + ":" + std::to_string(port);
    if (ec)
        throw std::runtime_error("cannot listen on " + where + ": not an IP address");
    if (acceptor.open(endpoint.protocol(), ec) ||
        acceptor.set_option(asio::socket_base::reuse_address(true), ec) || acceptor.bind(endpoint, ec) ||
        acceptor.listen(asio::socket_base::max_listen_connections, ec))
        throw std::runtime_error("cannot listen on " + where + ": " + ec.message());
}
} // namespace

struct THttpServer::TImpl {
    TImpl(THttpOptions options, TScoreService& service, TMetrics& metrics)
        : Threads(options.Threads > 0 ? options.Threads
                                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))),
          Shared(std::move(options), service, metrics), Io(Threads), Acceptor(Io), MetricsAcceptor(Io),
          RetryTimer(Io) {}

    void Listen(tcp::acceptor& acceptor, const std::string& address, unsigned short port) {
        ListenOn(acceptor, address, port);
    }

    void Accept(tcp::acceptor& acceptor, bool internal) {
        acceptor.async_accept(
            asio::make_strand(Io), [this, &acceptor, internal](beast::error_code ec, tcp::socket socket) {
                if (ec == asio::error::operation_aborted)
                    return;
                if (ec) {
                    // Out of descriptors, most likely: wait a moment rather than spin.
                    Log(TLogLevel::Error, "accepting a connection failed: " + ec.message());
                    RetryTimer.expires_after(kAcceptRetry);
                    RetryTimer.async_wait([this, &acceptor, internal](beast::error_code waitError) {
                        if (!waitError)
                            Accept(acceptor, internal);
                    });
                    return;
                }
                Admit(std::move(socket), internal);
                Accept(acceptor, internal);
            });
    }

    void Admit(tcp::socket socket, bool internal) {
        boost::system::error_code ec;
        tcp::endpoint peer = socket.remote_endpoint(ec);
        if (ec)
            return; // gone already
        TConnectionTable& table = internal ? Shared.MetricsTable : Shared.Table;
        std::vector<TConnectionTable::TCloser> evicted;
        std::optional<std::uint64_t> id =
            table.Admit(AddressText(peer.address()), Shared.Clients.Trusted(peer.address()), evicted);
        for (auto& close : evicted) {
            Shared.Metrics.ConnectionEvicted();
            if (close)
                close();
        }
        if (!id) {
            Shared.Metrics.ConnectionRefused();
            if (Shared.Refusing.load() < kMaxRefusing)
                std::make_shared<TRefusal>(std::move(socket), Shared)->Start();
            return;
        }
        std::make_shared<TSession>(std::move(socket), Shared, table, *id, internal)->Start();
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
    tcp::acceptor MetricsAcceptor;
    asio::steady_timer RetryTimer;
    std::vector<std::thread> Workers;
};

void CheckListenAddresses(const THttpOptions& options) {
    asio::io_context io;
    tcp::acceptor acceptor(io);
    ListenOn(acceptor, options.Address, options.Port);
    if (!options.MetricsAddress.empty()) {
        tcp::acceptor metrics(io);
        ListenOn(metrics, options.MetricsAddress, options.MetricsPort);
    }
}

THttpServer::THttpServer(THttpOptions options, TScoreService& service, TMetrics& metrics)
    : m_impl(std::make_unique<TImpl>(std::move(options), service, metrics)) {
    const THttpOptions& o = m_impl->Shared.Options;
    m_impl->Listen(m_impl->Acceptor, o.Address, o.Port);
    if (!o.MetricsAddress.empty())
        m_impl->Listen(m_impl->MetricsAcceptor, o.MetricsAddress, o.MetricsPort);
    m_impl->Accept(m_impl->Acceptor, false);
    if (m_impl->MetricsAcceptor.is_open())
        m_impl->Accept(m_impl->MetricsAcceptor, true);
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

unsigned short THttpServer::MetricsPort() const {
    if (!m_impl->MetricsAcceptor.is_open())
        return 0;
    boost::system::error_code ec;
    return m_impl->MetricsAcceptor.local_endpoint(ec).port();
}

void THttpServer::Run(bool stopOnSignals) {
    std::optional<asio::signal_set> signals;
    std::function<void()> wait;
    if (stopOnSignals) {
        // SIGHUP: the logs are reopened (after logrotate moved them); the others stop.
        signals.emplace(m_impl->Io, SIGINT, SIGTERM, SIGHUP);
        wait = [this, &signals, &wait] {
            signals->async_wait([this, &wait](beast::error_code ec, int signal) {
                if (ec)
                    return;
                if (signal != SIGHUP) {
                    Log(TLogLevel::Info, "stopping on signal " + std::to_string(signal));
                    m_impl->Io.stop();
                    return;
                }
                ReopenLogs();
                wait();
            });
        };
        wait();
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
