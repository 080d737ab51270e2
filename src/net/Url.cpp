#include "net/Url.h"
#include "engine/text/AsciiText.h"

#include "net/NetErrors.h"

#include <algorithm>
#include <cctype>

namespace {

[[noreturn]] void BadUrl(std::string_view url, const char* what) {
    throw EHttpProtocolError("Bad address '" + std::string(url.substr(0, 200)) + "': " + what);
}

} // namespace

std::string TUrl::HostHeader() const {
    if (Port == HttpDefaultPort)
        return Host;
    return Host + ":" + std::to_string(Port);
}

std::string TUrl::LookupHost() const {
    if (Host.size() >= 2 && Host.front() == '[' && Host.back() == ']')
        return Host.substr(1, Host.size() - 2);
    return Host;
}

TUrl SplitUrl(std::string_view url) {
    // Whatever is in the address goes onto the request line verbatim, so anything
    // that would end the line or split its fields is refused here.
    for (unsigned char c : url)
        if (c <= ' ' || c == 127)
            BadUrl(url, "contains a space or control character");

    TUrl out;
    std::string_view rest = url;
    if (auto sep = rest.find("://"); sep != std::string_view::npos && rest.find_first_of("/?#") > sep) {
        out.Scheme = AsciiLower(rest.substr(0, sep));
        rest.remove_prefix(sep + 3);
    } else {
        out.Scheme = "http";
    }
    if (out.Scheme == "http")
        out.Port = HttpDefaultPort;
    else if (out.Scheme == "https")
        out.Port = HttpsDefaultPort;
    else
        BadUrl(url, "unknown scheme");

    if (auto hash = rest.find('#'); hash != std::string_view::npos)
        rest = rest.substr(0, hash);

    std::size_t authorityEnd = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view target =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

    // Credentials in the address are never used: no authentication is configured.
    if (auto at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view portText;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos)
            BadUrl(url, "unterminated IPv6 address");
        out.Host = std::string(authority.substr(0, close + 1));
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                BadUrl(url, "junk after the IPv6 address");
            portText = after.substr(1);
        }
    } else {
        auto colon = authority.find(':');
        out.Host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos)
            portText = authority.substr(colon + 1);
    }
    if (out.Host.empty() || out.Host == "[]")
        BadUrl(url, "no host");

    if (!portText.empty()) {
        if (portText.size() > 5 ||
            !std::all_of(portText.begin(), portText.end(), [](unsigned char c) { return std::isdigit(c); }))
            BadUrl(url, "bad port");
        int port = std::stoi(std::string(portText));
        if (port < 1 || port > 65535)
            BadUrl(url, "port out of range");
        out.Port = port;
    }

    if (target.empty())
        out.Target = "/";
    else if (target.front() == '?')
        out.Target = "/" + std::string(target);
    else
        out.Target = std::string(target);
    return out;
}
