#pragma once

#include "server/service/ClientAddress.h"
#include "server/http/ConnectionTable.h"
#include "server/http/HttpServer.h"
#include "server/Metrics.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

// What the HTTP front's connections share, and the answer to one over the cap.

inline constexpr std::chrono::milliseconds kRefusalLinger{1000};
inline constexpr std::size_t kMetricsConnections = 16;
inline constexpr std::string_view kBusyBody = "too many connections; try again shortly\n";

inline std::string BusyReply() {
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(kBusyBody.size()) + "\r\nRetry-After: 5\r\nConnection: close\r\n\r\n" +
           std::string(kBusyBody);
}

inline TConnectionLimits LimitsFor(const THttpOptions& options) {
    TConnectionLimits limits;
    limits.Max = std::max<std::size_t>(1, options.MaxConnections);
    limits.PerAddress = options.MaxConnectionsPerAddress > 0 ? options.MaxConnectionsPerAddress
                                                             : std::max<std::size_t>(8, limits.Max / 16);
    limits.Reserve = limits.Max / 10;
    return limits;
}

// What connections share: the service, the counts and the settings.
struct TShared {
    TShared(THttpOptions options, TScoreService& service, TMetrics& metrics)
        : Options(std::move(options)), Service(service), Metrics(metrics), Clients(Options.TrustedProxies),
          Table(LimitsFor(Options)),
          MetricsTable({kMetricsConnections, kMetricsConnections, 0, kMetricsConnections}) {}
    THttpOptions Options;
    TScoreService& Service;
    TMetrics& Metrics;
    TClientAddress Clients;
    TConnectionTable Table;
    TConnectionTable MetricsTable; // connections to the metrics address, apart from the public's
    std::atomic<std::size_t> Refusing{0};
};

// A connection over the cap: it is told so and closed. Closing at once, with the client's
// request still unread, would reset the connection and could lose the answer on its way, so the
// client gets a moment to read it and hang up first.
class TRefusal : public std::enable_shared_from_this<TRefusal> {
  public:
    TRefusal(boost::asio::ip::tcp::socket socket, TShared& shared)
        : m_stream(std::move(socket)), m_shared(shared) {
        m_shared.Refusing.fetch_add(1);
    }
    ~TRefusal() { m_shared.Refusing.fetch_sub(1); }

    void Start() {
        m_reply = BusyReply();
        m_stream.expires_after(kRefusalLinger);
        boost::asio::async_write(m_stream, boost::asio::buffer(m_reply),
                                 [self = shared_from_this()](boost::beast::error_code ec, std::size_t) {
                                     if (ec)
                                         return;
                                     boost::beast::error_code ignored;
                                     self->m_stream.socket().shutdown(
                                         boost::asio::ip::tcp::socket::shutdown_send, ignored);
                                     self->Drain();
                                 });
    }

  private:
    void Drain() {
        m_stream.async_read_some(boost::asio::buffer(m_sink),
                                 [self = shared_from_this()](boost::beast::error_code ec, std::size_t) {
                                     if (!ec)
                                         self->Drain();
                                 });
    }

    boost::beast::tcp_stream m_stream;
    TShared& m_shared;
    std::string m_reply;
    std::array<char, 1024> m_sink{};
};
