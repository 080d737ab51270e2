#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TScoreService;
class TMetrics;

struct THttpOptions {
    std::string Address = "127.0.0.1";
    unsigned short Port = 8080; // 0: any free port
    int Threads = 0;            // 0: one per core
    std::size_t MaxConnections = 1000;
    // Connections one address may hold (a trusted proxy may hold any number); 0: a sixteenth
    // of MaxConnections, at least 8.
    std::size_t MaxConnectionsPerAddress = 0;
    // From a connection's opening (or a request's first byte) to its complete head, and for
    // an answer to be taken (written and received by the client): a client too slow for this
    // is dropped.
    std::chrono::milliseconds RequestTimeout{10000};
    // How long a kept-alive connection may wait for its next request.
    std::chrono::milliseconds IdleTimeout{30000};
    std::vector<std::string> TrustedProxies;
    // A second address that serves only /metrics and /healthz (and then /metrics is not served
    // on the first); empty: none.
    std::string MetricsAddress;
    unsigned short MetricsPort = 0;
};

// "host:port", "[v6]:port" or ":port"; throws std::invalid_argument saying what is wrong.
std::pair<std::string, unsigned short> ParseListenAddress(std::string_view text);

// HTTP/1.1 in front of the service: GET and HEAD (and POST with a length-bounded body for a replay upload),
// request heads of at most 8 KiB, time limits on every read and write, caps on open connections in all and
// per address.
// Binds the addresses a server with these options listens on and lets them go again: a server
// whose port is taken fails before it has created its database or its spool. Throws as
// THttpServer's constructor does.
void CheckListenAddresses(const THttpOptions& options);

class THttpServer {
  public:
    // Binds and listens at once; throws std::runtime_error naming the address on failure.
    THttpServer(THttpOptions options, TScoreService& service, TMetrics& metrics);
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    // The address actually listened on, e.g. "127.0.0.1:43117".
    std::string LocalAddress() const;
    unsigned short Port() const;
    // The metrics address actually listened on; 0 without one.
    unsigned short MetricsPort() const;

    // Serves until Stop() or, when stopOnSignals, SIGINT or SIGTERM.
    void Run(bool stopOnSignals);
    // Serves on background threads.
    void Start();
    // Stops serving and waits for the threads of Start(); not to be called from a handler.
    // Connections still open are dropped.
    void Stop();

  private:
    struct TImpl;
    std::unique_ptr<TImpl> m_impl;
};
