#include "server/service/ReadyReply.h"

#include <zlib.h>

#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace {

constexpr std::size_t kCompressFrom = 1024; // smaller bodies gain too little to pay for the header

std::string HttpDate(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[40];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return text;
}

std::int64_t ParseHttpDate(std::string_view text) {
    std::tm tm{};
    std::string copy(text);
    const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (!end || *end != '\0')
        return -1;
    return static_cast<std::int64_t>(timegm(&tm));
}

std::string Tag(std::string_view body, std::string_view suffix) {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : body) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return "\"" + std::string(text) + std::string(suffix) + "\"";
}

// Whether If-None-Match names the tag (or "*"); weak tags compare by their opaque part.
bool Matches(std::string_view ifNoneMatch, std::string_view tag) {
    std::size_t at = 0;
    while (at < ifNoneMatch.size()) {
        std::size_t comma = ifNoneMatch.find(',', at);
        std::string_view item =
            ifNoneMatch.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item.substr(0, 2) == "W/")
            item.remove_prefix(2);
        if (item == "*" || item == tag)
            return true;
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    return false;
}

TServiceReply NotModifiedFor(const TServiceReply& full, const std::string& etag,
                             const std::string& modified) {
    TServiceReply r;
    r.Status = 304;
    r.Route = full.Route;
    std::string fields =
        "Server: spraydash-scores\r\nETag: " + etag + "\r\nLast-Modified: " + modified + "\r\n";
    for (const auto& [name, value] : full.Headers)
        if (name == "Cache-Control" || name == "Vary")
            fields += name + ": " + value + "\r\n";
    r.Fields = std::make_shared<const std::string>(std::move(fields));
    return r;
}

} // namespace

std::string Gzip(std::string_view body) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("gzip: cannot start");
    std::string out(deflateBound(&stream, static_cast<uLong>(body.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("gzip: cannot compress");
    return out;
}

namespace {
// What the HTTP layer sends of a ready reply: no per-request copies of its header list.
TServiceReply Lean(const TServiceReply& full) {
    TServiceReply r;
    r.Status = full.Status;
    r.Body = full.Body;
    r.Fields = full.Fields;
    r.Route = full.Route;
    return r;
}
} // namespace

TServiceReply TReadyReply::For(const TServiceRequest& request) const {
    bool gzip = request.AcceptsGzip && Gzip.Body;
    const std::string& etag = gzip ? GzipETag : ETag;
    bool current = false;
    if (!request.IfNoneMatch.empty())
        current = Matches(request.IfNoneMatch, etag);
    else if (!request.IfModifiedSince.empty()) {
        std::int64_t since = ParseHttpDate(request.IfModifiedSince);
        current = since >= 0 && since >= Built;
    }
    if (current && Plain.Status == 200)
        return Lean(gzip ? GzipNotModified : NotModified);
    return Lean(gzip ? Gzip : Plain);
}

std::shared_ptr<const TReadyReply> MakeReady(TServiceReply reply, std::int64_t now) {
    auto ready = std::make_shared<TReadyReply>();
    ready->Built = now;
    std::string modified = HttpDate(now);
    std::string_view body = reply.Body ? std::string_view(*reply.Body) : std::string_view();
    ready->ETag = Tag(body, "");
    ready->GzipETag = Tag(body, "-gz");
    bool compress = body.size() >= kCompressFrom;
    if (compress)
        reply.Headers.emplace_back("Vary", "Accept-Encoding");

    TServiceReply plain = reply;
    if (plain.Status == 200) {
        plain.Headers.emplace_back("ETag", ready->ETag);
        plain.Headers.emplace_back("Last-Modified", modified);
    }
    plain.Fields = std::make_shared<const std::string>(ReplyFields(plain));
    ready->NotModified = NotModifiedFor(plain, ready->ETag, modified);
    if (compress) {
        TServiceReply gzip = reply;
        gzip.Body = std::make_shared<const std::string>(::Gzip(body));
        gzip.Headers.emplace_back("Content-Encoding", "gzip");
        if (gzip.Status == 200) {
            gzip.Headers.emplace_back("ETag", ready->GzipETag);
            gzip.Headers.emplace_back("Last-Modified", modified);
        }
        gzip.Fields = std::make_shared<const std::string>(ReplyFields(gzip));
        ready->GzipNotModified = NotModifiedFor(gzip, ready->GzipETag, modified);
        ready->Gzip = std::move(gzip);
    }
    ready->Plain = std::move(plain);
    return ready;
}
