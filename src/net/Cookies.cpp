#include "net/Cookies.h"
#include "engine/text/AsciiText.h"

#include "net/Url.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <optional>

namespace {

bool IsIpLiteral(std::string_view host) {
    if (!host.empty() && host.front() == '[')
        return true;
    return !host.empty() &&
           std::all_of(host.begin(), host.end(), [](unsigned char c) { return std::isdigit(c) || c == '.'; });
}

bool DomainMatches(std::string_view host, std::string_view domain) {
    if (host == domain)
        return true;
    return !IsIpLiteral(host) && host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.';
}

// The directory of the request path, the path a cookie gets when it names none.
std::string DefaultPath(std::string_view target) {
    std::string_view path = target.substr(0, target.find('?'));
    if (path.empty() || path.front() != '/')
        return "/";
    auto slash = path.rfind('/');
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (!requestPath.starts_with(cookiePath))
        return false;
    return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
           requestPath[cookiePath.size()] == '/';
}

// Dates in the form servers send, "Wed, 21 Oct 2015 07:28:00 GMT", with or without the dashes of the old
// form; seconds since 1970.
std::optional<std::time_t> ParseCookieDate(std::string_view text) {
    std::string s(text);
    std::replace(s.begin(), s.end(), '-', ' ');
    for (const char* format : {"%a, %d %b %Y %H:%M:%S", "%A, %d %b %y %H:%M:%S", "%a %b %d %H:%M:%S %Y"}) {
        std::tm tm{};
        const char* end = strptime(s.c_str(), format, &tm);
        if (end == nullptr)
            continue;
        if (tm.tm_year < 70)
            tm.tm_year += 100;
        return timegm(&tm);
    }
    return std::nullopt;
}

// A date as a point on the jar's clock, no later than latest. The clock counts in units too fine to
// reach far-off years (a date after 2262 would overflow it), so the limit is applied in seconds first.
TCookieJar::Clock::time_point ExpiryAt(std::time_t date, TCookieJar::Clock::time_point latest) {
    using namespace std::chrono;
    const auto latestSeconds = duration_cast<seconds>(latest.time_since_epoch()).count();
    if (date >= latestSeconds)
        return latest;
    // Anything before 1970 is long past.
    return TCookieJar::Clock::from_time_t(std::max<std::time_t>(date, 0));
}

} // namespace

void TCookieJar::DropExpired(Clock::time_point now) {
    std::erase_if(m_cookies, [now](const TCookie& c) { return c.Persistent && c.Expires <= now; });
}

void TCookieJar::Store(const TUrl& url, std::string_view setCookie, Clock::time_point now) {
    if (setCookie.size() > MaxCookieBytes)
        return;
    std::string_view pair = setCookie.substr(0, setCookie.find(';'));
    std::string_view attrs =
        pair.size() < setCookie.size() ? setCookie.substr(pair.size() + 1) : std::string_view();
    auto eq = pair.find('=');
    if (eq == std::string_view::npos)
        return;
    TCookie cookie;
    cookie.Name = std::string(TrimBlanks(pair.substr(0, eq)));
    cookie.Value = std::string(TrimBlanks(pair.substr(eq + 1)));
    if (cookie.Name.empty())
        return;
    for (char c : cookie.Name + cookie.Value)
        if (static_cast<unsigned char>(c) < ' ' || c == 127)
            return;

    const std::string host = AsciiLower(url.LookupHost());
    cookie.Domain = host;
    cookie.Path = DefaultPath(url.Target);

    std::optional<Clock::time_point> maxAgeExpiry;
    while (!attrs.empty()) {
        std::string_view attr = attrs.substr(0, attrs.find(';'));
        attrs.remove_prefix(std::min(attrs.size(), attr.size() + 1));
        auto aeq = attr.find('=');
        std::string key = AsciiLower(TrimBlanks(attr.substr(0, aeq)));
        std::string_view value =
            aeq == std::string_view::npos ? std::string_view() : TrimBlanks(attr.substr(aeq + 1));
        if (key == "domain" && !value.empty()) {
            std::string domain = AsciiLower(value.front() == '.' ? value.substr(1) : value);
            // A server may widen a cookie to its parent domains, never to a foreign one.
            if (!DomainMatches(host, domain))
                return;
            if (domain != host) {
                cookie.Domain = domain;
                cookie.HostOnly = false;
            }
        } else if (key == "path" && !value.empty() && value.front() == '/') {
            cookie.Path = std::string(value);
        } else if (key == "secure") {
            cookie.Secure = true;
        } else if (key == "max-age" && !value.empty()) {
            try {
                long long seconds = std::stoll(std::string(value));
                seconds = std::clamp(seconds, -1LL, static_cast<long long>(MaxLifetime.count()));
                maxAgeExpiry = seconds <= 0 ? Clock::time_point::min() : now + std::chrono::seconds(seconds);
            } catch (const std::exception&) {
            }
        } else if (key == "expires" && !maxAgeExpiry) {
            if (auto when = ParseCookieDate(value)) {
                cookie.Persistent = true;
                cookie.Expires = ExpiryAt(*when, now + MaxLifetime);
            }
        }
    }
    if (maxAgeExpiry) {
        cookie.Persistent = true;
        cookie.Expires = *maxAgeExpiry;
    }

    auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&](const TCookie& c) {
        return c.Name == cookie.Name && c.Domain == cookie.Domain && c.Path == cookie.Path;
    });
    if (cookie.Persistent && cookie.Expires <= now) {
        if (same != m_cookies.end())
            m_cookies.erase(same);
        return;
    }
    if (same != m_cookies.end()) {
        cookie.Order = same->Order;
        *same = std::move(cookie);
        return;
    }
    DropExpired(now);
    if (m_cookies.size() >= MaxCookies) {
        auto oldest = std::min_element(m_cookies.begin(), m_cookies.end(),
                                       [](const TCookie& a, const TCookie& b) { return a.Order < b.Order; });
        m_cookies.erase(oldest);
    }
    cookie.Order = m_nextOrder++;
    m_cookies.push_back(std::move(cookie));
}

std::string TCookieJar::HeaderFor(const TUrl& url, Clock::time_point now) const {
    const std::string host = AsciiLower(url.LookupHost());
    const std::string_view path = std::string_view(url.Target).substr(0, url.Target.find('?'));
    const bool secure = url.Scheme == "https";

    std::vector<const TCookie*> matching;
    for (const TCookie& c : m_cookies) {
        if (c.Persistent && c.Expires <= now)
            continue;
        if (c.Secure && !secure)
            continue;
        if (c.HostOnly ? host != c.Domain : !DomainMatches(host, c.Domain))
            continue;
        if (!PathMatches(path, c.Path))
            continue;
        matching.push_back(&c);
    }
    // Longer paths first, then the order the cookies were first set.
    std::stable_sort(matching.begin(), matching.end(), [](const TCookie* a, const TCookie* b) {
        if (a->Path.size() != b->Path.size())
            return a->Path.size() > b->Path.size();
        return a->Order < b->Order;
    });
    std::string header;
    for (const TCookie* c : matching) {
        if (!header.empty())
            header += "; ";
        header += c->Name + "=" + c->Value;
    }
    return header;
}
