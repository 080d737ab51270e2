#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct TUrl;

// Cookies set by replies, kept in memory for as long as the client lives and
// sent back to the hosts and paths they were set for.
class TCookieJar {
  public:
    using Clock = std::chrono::system_clock;

    // Takes one Set-Cookie value received for a request to url. Malformed or
    // oversized cookies are dropped; an expired one removes its stored namesake.
    void Store(const TUrl& url, std::string_view setCookie, Clock::time_point now = Clock::now());
    // The Cookie header value for a request to url, empty when none matches.
    std::string HeaderFor(const TUrl& url, Clock::time_point now = Clock::now()) const;

    std::size_t Size() const { return m_cookies.size(); }
    void Clear() { m_cookies.clear(); }

    // Bounds that keep a hostile server from growing the jar without end.
    static constexpr std::size_t MaxCookies = 64;
    static constexpr std::size_t MaxCookieBytes = 4096;
    // The longest a cookie is kept, whatever its Max-Age or Expires says.
    static constexpr std::chrono::seconds MaxLifetime{400LL * 24 * 3600};

  private:
    struct TCookie {
        std::string Name;
        std::string Value;
        std::string Domain; // lower case
        bool HostOnly = true;
        std::string Path;
        bool Secure = false;
        bool Persistent = false;
        Clock::time_point Expires{};
        std::size_t Order = 0;
    };

    void DropExpired(Clock::time_point now);

    std::vector<TCookie> m_cookies;
    std::size_t m_nextOrder = 0;
};
