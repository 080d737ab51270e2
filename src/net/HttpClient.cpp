#include "net/HttpClient.h"

#include "net/NetErrors.h"
#include "net/Socket.h"

#include <algorithm>

namespace {

constexpr const char* HttpVersion = "1.1";

void AddHeader(std::string& request, const char* name, const std::string& value) {
    request += name;
    request += ": ";
    request += value;
    request += "\r\n";
}

bool IsRedirect(const THttpReplyHead& head) {
    return (head.Status >= 300 && head.Status <= 399 && head.Status != 304) ||
           head.Header("Location").has_value();
}

bool IsSuccess(const THttpReplyHead& head) {
    return head.Status >= 200 && head.Status <= 299 && !IsRedirect(head);
}

// The server lets the connection live on unless it says otherwise; an HTTP/1.0 server only when it says so.
bool ServerKeepsAlive(const THttpReplyHead& head) {
    for (const char* name : {"Connection", "Proxy-Connection"})
        for (const std::string& value : head.HeadersNamed(name)) {
            if (HeaderHasToken(value, "close"))
                return false;
            if (HeaderHasToken(value, "keep-alive"))
                return true;
        }
    return head.VersionMinor >= 1;
}

std::string ErrorMessage(const TUrl& url, const THttpReplyHead& head) {
    std::string message = "HTTP " + std::to_string(head.Status);
    if (!head.StatusText.empty())
        message += " " + head.StatusText;
    message += " from " + url.HostHeader();
    if (IsRedirect(head)) {
        auto location = head.Header("Location");
        message += location ? " (redirect to " + location->substr(0, 200) + " not followed)"
                            : " (redirect not followed)";
    }
    return message;
}

} // namespace

std::string BuildGetRequest(const TUrl& url, const std::string& cookieHeader) {
    std::string request = "GET " + url.Target + " HTTP/" + HttpVersion + "\r\n";
    AddHeader(request, "Content-Type", THttpClient::ContentType);
    AddHeader(request, "Host", url.HostHeader());
    AddHeader(request, "Accept", THttpClient::Accept);
    AddHeader(request, "User-Agent", THttpClient::UserAgent);
    if (!cookieHeader.empty())
        AddHeader(request, "Cookie", cookieHeader);
    request += "\r\n";
    return request;
}

std::string BuildPostRequest(const TUrl& url, const std::string& cookieHeader, std::string_view contentType,
                             std::string_view body) {
    std::string request = "POST " + url.Target + " HTTP/" + HttpVersion + "\r\n";
    AddHeader(request, "Content-Type", std::string(contentType));
    AddHeader(request, "Content-Length", std::to_string(body.size()));
    AddHeader(request, "Host", url.HostHeader());
    AddHeader(request, "Accept", THttpClient::Accept);
    AddHeader(request, "User-Agent", THttpClient::UserAgent);
    if (!cookieHeader.empty())
        AddHeader(request, "Cookie", cookieHeader);
    request += "\r\n";
    request += body;
    return request;
}

THttpClient::THttpClient() = default;

void THttpClient::TakeSettingsFrom(const THttpClient& other) {
    m_connectTimeout = other.m_connectTimeout;
    m_requestTimeout = other.m_requestTimeout;
    m_errorBodyTimeout = other.m_errorBodyTimeout;
    m_limits = other.m_limits;
    m_cookies = other.m_cookies;
}
THttpClient::~THttpClient() = default;

bool THttpClient::HasIdleConnection() const {
    return m_connection && m_connection->IsOpen();
}

void THttpClient::CloseIdleConnection() {
    DropConnection();
}

void THttpClient::DropConnection() {
    m_connection.reset();
    m_connectionHost.clear();
    m_connectionPort = 0;
}

namespace {
TUrl PlainHttpUrl(const std::string& address) {
    TUrl url = SplitUrl(address);
    if (url.Scheme != "http")
        throw EHttpProtocolError("Cannot fetch '" + address.substr(0, 200) +
                                 "': only plain http is supported");
    return url;
}
} // namespace

std::string THttpClient::Get(const std::string& address) {
    const TUrl url = PlainHttpUrl(address);
    return Send(url, BuildGetRequest(url, m_cookies.HeaderFor(url)));
}

std::string THttpClient::Post(const std::string& address, std::string_view contentType,
                              std::string_view body) {
    const TUrl url = PlainHttpUrl(address);
    return Send(url, BuildPostRequest(url, m_cookies.HeaderFor(url), contentType, body));
}

std::string THttpClient::Send(const TUrl& url, const std::string& request) {
    const auto deadline = std::chrono::steady_clock::now() + m_requestTimeout;

    TAttempt attempt;
    try {
        return Exchange(url, request, deadline, attempt);
    } catch (const EHttpError&) {
        throw; // a complete reply: the connection's fate is already settled
    } catch (const ESocketError&) {
        DropConnection();
        // A kept connection found broken before any byte of the request went out is worth a
        // second try on a fresh one. Once the request has started, the server may have taken it
        // and dropped the connection before answering: sending it again could act on it twice.
        if (!attempt.Reused || attempt.RequestStarted)
            throw;
    } catch (...) {
        DropConnection();
        throw;
    }
    TAttempt fresh;
    try {
        return Exchange(url, request, deadline, fresh);
    } catch (const EHttpError&) {
        throw;
    } catch (...) {
        DropConnection();
        throw;
    }
}

std::string THttpClient::Exchange(const TUrl& url, const std::string& request,
                                  std::chrono::steady_clock::time_point deadline, TAttempt& attempt) {
    const std::string host = url.LookupHost();
    if (m_connection &&
        (m_connectionHost != host || m_connectionPort != url.Port || !m_connection->LooksAlive()))
        DropConnection();
    attempt.Reused = m_connection != nullptr;
    if (!m_connection) {
        auto socket = std::make_unique<TSocket>();
        socket->SetAbandonFlag(m_abandon);
        socket->SetDeadline(deadline);
        socket->Connect(host, url.Port, m_connectTimeout);
        m_connection = std::move(socket);
        m_connectionHost = host;
        m_connectionPort = url.Port;
    }
    TSocket& socket = *m_connection;
    socket.SetAbandonFlag(m_abandon);
    socket.SetDeadline(deadline);
    const std::size_t sentBefore = socket.BytesSent();
    try {
        socket.SendAll(request);
    } catch (...) {
        attempt.RequestStarted = socket.BytesSent() != sentBefore;
        throw;
    }
    attempt.RequestStarted = true;

    TReplyReader reader(socket, m_limits);
    const THttpReplyHead head = ReadReplyHead(reader);
    for (const std::string& value : head.HeadersNamed("Set-Cookie"))
        m_cookies.Store(url, value);

    const bool success = IsSuccess(head);
    std::string body;
    TBodyPlan plan;
    if (success) {
        plan = PlanBody(head, m_limits);
        ReadReplyBody(reader, plan, body);
    } else {
        // The status is the news; its body is only read for the error's sake, briefly,
        // and a body that is cut short, late or malformed still gives the HTTP error.
        socket.SetDeadline(std::min(deadline, std::chrono::steady_clock::now() + m_errorBodyTimeout));
        try {
            plan = PlanBody(head, m_limits);
            ReadReplyBody(reader, plan, body);
        } catch (const ENetError&) {
            DropConnection();
            throw EHttpError(head.Status, head.StatusText, std::move(body), ErrorMessage(url, head),
                             head.Header("Retry-After").value_or(""));
        }
    }

    const bool reusable = ServerKeepsAlive(head) && plan.Framing != TBodyFraming::UntilClose &&
                          !(head.Header("Transfer-Encoding") && head.Header("Content-Length")) &&
                          !reader.HasBufferedBytes() && socket.LooksAlive();
    if (!reusable)
        DropConnection();

    if (!success)
        throw EHttpError(head.Status, head.StatusText, std::move(body), ErrorMessage(url, head),
                         head.Header("Retry-After").value_or(""));
    return body;
}
