#pragma once

#include "net/Cookies.h"
#include "net/HttpReply.h"
#include "net/Url.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

class TSocket;

// The request line and headers of a GET, in the order and spelling servers have
// always received from the game. cookieHeader is left out when empty.
std::string BuildGetRequest(const TUrl& url, const std::string& cookieHeader);

// A POST of body with its length given up front (never chunked), headers and body in one string.
std::string BuildPostRequest(const TUrl& url, const std::string& cookieHeader, std::string_view contentType,
                             std::string_view body);

// HTTP/1.1 GET and POST over plain TCP. Keeps its cookies and one idle connection for its
// lifetime; redirects are reported, not followed. One request at a time. A request is
// sent at most once: once any byte of it has gone out it is never repeated, since the
// server may already have acted on it.
class THttpClient {
  public:
    static constexpr const char* Accept = "text/html, */*";
    static constexpr const char* UserAgent = "Mozilla/3.0 (compatible; Spraydash)";
    static constexpr const char* ContentType = "text/html";

    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Sends the GET and returns the reply body. Raises ESocketError (lookup, connection,
    // transfer, time), EHttpProtocolError (bad address or reply) or EHttpError (status).
    std::string Get(const std::string& url);
    // Sends body as a POST and returns the reply body; raises as Get does.
    std::string Post(const std::string& url, std::string_view contentType, std::string_view body);

    void SetConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    void SetRequestTimeout(std::chrono::milliseconds timeout) { m_requestTimeout = timeout; }
    void SetErrorBodyTimeout(std::chrono::milliseconds timeout) { m_errorBodyTimeout = timeout; }
    void SetLimits(const TReplyLimits& limits) { m_limits = limits; }
    // A flag that, once set (from any thread), ends the request under way within a few tens of
    // milliseconds with an ESocketError of kind Abandoned. It must outlive the client.
    void SetAbandonFlag(const std::atomic<bool>* flag) { m_abandon = flag; }

    // Another client's time limits, reply limits and cookies, for a request run apart from it.
    void TakeSettingsFrom(const THttpClient& other);

    const TCookieJar& Cookies() const { return m_cookies; }
    TCookieJar& Cookies() { return m_cookies; }
    // Whether a connection is being kept for the next request.
    bool HasIdleConnection() const;
    // Closes the kept connection, so that the next request opens a fresh one.
    void CloseIdleConnection();

  private:
    std::string Send(const TUrl& url, const std::string& request);
    struct TAttempt {
        bool Reused = false;
        bool RequestStarted = false; // some byte of the request went out
    };
    std::string Exchange(const TUrl& url, const std::string& request,
                         std::chrono::steady_clock::time_point deadline, TAttempt& attempt);
    void DropConnection();

    std::chrono::milliseconds m_connectTimeout{5000};
    std::chrono::milliseconds m_requestTimeout{10000};
    std::chrono::milliseconds m_errorBodyTimeout{2000};
    TReplyLimits m_limits;
    const std::atomic<bool>* m_abandon = nullptr;
    TCookieJar m_cookies;
    std::unique_ptr<TSocket> m_connection;
    std::string m_connectionHost;
    int m_connectionPort = 0;
};
