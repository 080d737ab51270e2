#pragma once

#include <stdexcept>
#include <string>

// Everything the HTTP client raises derives from ENetError, so a caller that
// does not care why a request failed catches one class.
class ENetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Name lookup, connecting, sending, receiving, running out of time, and being given up by the
// client's owner.
class ESocketError : public ENetError {
  public:
    enum class TKind { Lookup, Connect, Timeout, Transfer, Abandoned };

    explicit ESocketError(const std::string& message, TKind kind = TKind::Transfer)
        : ENetError(message), m_kind(kind) {}

    TKind Kind() const { return m_kind; }

  private:
    TKind m_kind;
};

// An address the client cannot use, or a reply that is not well-formed HTTP or
// breaks one of the client's size limits.
class EHttpProtocolError : public ENetError {
  public:
    using ENetError::ENetError;
};

// A well-formed reply whose status the client treats as a failure, redirects included.
class EHttpError : public ENetError {
  public:
    EHttpError(int status, std::string statusText, std::string body, const std::string& message,
               std::string retryAfter = {})
        : ENetError(message), m_status(status), m_statusText(std::move(statusText)), m_body(std::move(body)),
          m_retryAfter(std::move(retryAfter)) {}

    int Status() const { return m_status; }
    const std::string& StatusText() const { return m_statusText; }
    const std::string& Body() const { return m_body; }
    // The reply's Retry-After value as sent, empty when it had none.
    const std::string& RetryAfter() const { return m_retryAfter; }

  private:
    int m_status;
    std::string m_statusText;
    std::string m_body;
    std::string m_retryAfter;
};
