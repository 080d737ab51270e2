#include "server/http/HttpWire.h"
#include "server/http/HttpServer.h"

#include "server/service/ScoreService.h"

#include <boost/beast/core/string.hpp>
#include <boost/beast/http/status.hpp>

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;

namespace {
constexpr std::string_view kServerName = "spraydash-scores";
} // namespace

// "Date: ...\r\n", written once a second (per thread) rather than for every answer.
std::string_view DateLine() {
    thread_local std::time_t second = 0;
    thread_local std::array<char, 48> line{};
    thread_local std::size_t size = 0;
    std::time_t now = std::time(nullptr);
    if (now != second) {
        std::tm tm{};
        gmtime_r(&now, &tm);
        size = std::strftime(line.data(), line.size(), "Date: %a, %d %b %Y %H:%M:%S GMT\r\n", &tm);
        second = now;
    }
    return {line.data(), size};
}

// The status line, made once for each status and version.
std::string_view StatusLine(unsigned version, int status) {
    constexpr int kKnown = 600;
    static const std::array<std::array<std::string, kKnown>, 2> lines = [] {
        std::array<std::array<std::string, kKnown>, 2> made;
        for (int v = 0; v < 2; ++v) {
            for (int code = 100; code < kKnown; ++code) {
                beast::string_view reason = http::obsolete_reason(static_cast<http::status>(code));
                made[static_cast<std::size_t>(v)][static_cast<std::size_t>(code)] =
                    (v == 0 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(code) + " " +
                    std::string(reason.data(), reason.size()) + "\r\n";
            }
        }
        return made;
    }();
    int code = status >= 100 && status < kKnown ? status : 500;
    return lines[version == 10 ? 0 : 1][static_cast<std::size_t>(code)];
}

// Bytes written but not yet acknowledged by the client's system.
int Unacknowledged(tcp::socket& socket) {
    int pending = 0;
    if (::ioctl(socket.native_handle(), SIOCOUTQ, &pending) != 0)
        return 0;
    return pending;
}

// Whether Accept-Encoding lets the answer be gzip ("gzip" or "*", not with q=0).
bool AcceptsGzip(std::string_view accepted) {
    std::size_t at = 0;
    while (at < accepted.size()) {
        std::size_t comma = accepted.find(',', at);
        std::string_view item =
            accepted.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        std::size_t semicolon = item.find(';');
        std::string_view coding = item.substr(0, semicolon);
        while (!coding.empty() && coding.front() == ' ')
            coding.remove_prefix(1);
        while (!coding.empty() && coding.back() == ' ')
            coding.remove_suffix(1);
        if (beast::iequals(beast::string_view(coding.data(), coding.size()), "gzip") || coding == "*") {
            std::string_view params =
                semicolon == std::string_view::npos ? std::string_view() : item.substr(semicolon + 1);
            std::size_t q = params.find("q=");
            if (q == std::string_view::npos)
                return true;
            std::string value(params.substr(q + 2));
            return std::strtod(value.c_str(), nullptr) > 0;
        }
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    return false;
}

std::string ReplyFields(const TServiceReply& reply) {
    std::string fields;
    fields.reserve(256);
    fields += "Server: ";
    fields += kServerName;
    fields += "\r\nContent-Type: ";
    fields += reply.ContentType;
    fields += "\r\nContent-Length: ";
    fields += std::to_string(reply.Body ? reply.Body->size() : 0);
    fields += "\r\nX-Content-Type-Options: nosniff\r\n";
    for (const auto& [name, value] : reply.Headers) {
        fields += name;
        fields += ": ";
        fields += value;
        fields += "\r\n";
    }
    return fields;
}

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
    boost::asio::ip::make_address(std::string(host), bad);
    if (bad)
        throw std::invalid_argument("listen address \"" + std::string(text) + "\": \"" + std::string(host) +
                                    "\" is not an IP address");
    return {std::string(host), static_cast<unsigned short>(value)};
}
