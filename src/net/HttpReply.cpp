#include "net/HttpReply.h"
#include "engine/text/AsciiText.h"

#include "net/NetErrors.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr std::size_t ReadChunk = 16 * 1024;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

[[noreturn]] void BadReply(const std::string& what) {
    throw EHttpProtocolError("Bad HTTP reply: " + what);
}

bool IsDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "HTTP/1.1 200 OK"; the text may be missing, as some servers send "HTTP/1.1 200".
void ParseStatusLine(std::string_view line, THttpReplyHead& head) {
    if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." ||
        !std::isdigit(static_cast<unsigned char>(line[7])) || line[8] != ' ')
        BadReply("status line '" + std::string(line.substr(0, 80)) + "'");
    head.VersionMinor = line[7] - '0';
    std::string_view code = line.substr(9, 3);
    if (!IsDigits(code) || (line.size() > 12 && line[12] != ' '))
        BadReply("status code in '" + std::string(line.substr(0, 80)) + "'");
    head.Status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    if (head.Status < 100)
        BadReply("status code " + std::string(code));
    head.StatusText = line.size() > 13 ? std::string(line.substr(13)) : std::string();
}

// Header lines up to the empty line; used for the reply head and for chunked trailers.
void ReadHeaderBlock(TReplyReader& reader, std::vector<std::pair<std::string, std::string>>& headers,
                     std::size_t& bytes) {
    const TReplyLimits& limits = reader.Limits();
    for (;;) {
        std::string line = reader.ReadLine();
        bytes += line.size() + 2;
        if (bytes > limits.MaxHeaderBytes)
            BadReply("header block longer than " + std::to_string(limits.MaxHeaderBytes) + " bytes");
        if (line.empty())
            return;
        if (line.front() == ' ' || line.front() == '\t') {
            // An old-style continuation line belongs to the header before it.
            if (headers.empty())
                BadReply("continuation line before any header");
            std::string& value = headers.back().second;
            value += ' ';
            value += TrimBlanks(line);
            continue;
        }
        auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0)
            BadReply("header line '" + line.substr(0, 80) + "'");
        if (headers.size() >= limits.MaxHeaderCount)
            BadReply("more than " + std::to_string(limits.MaxHeaderCount) + " header lines");
        std::string_view name = TrimBlanks(std::string_view(line).substr(0, colon));
        headers.emplace_back(std::string(name),
                             std::string(TrimBlanks(std::string_view(line).substr(colon + 1))));
    }
}

std::size_t ParseChunkSize(std::string_view line, std::size_t limit) {
    std::string_view digits = TrimBlanks(line.substr(0, line.find(';')));
    if (digits.empty())
        BadReply("empty chunk size line");
    std::size_t size = 0;
    for (unsigned char c : digits) {
        if (!std::isxdigit(c))
            BadReply("chunk size '" + std::string(digits.substr(0, 40)) + "'");
        int v = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (static_cast<std::size_t>(v) > limit || size > (limit - v) / 16)
            BadReply("body longer than " + std::to_string(limit) + " bytes");
        size = size * 16 + v;
    }
    return size;
}

} // namespace

std::size_t TBufferSource::Read(char* data, std::size_t size) {
    std::size_t n = std::min(size, m_data.size());
    std::memcpy(data, m_data.data(), n);
    m_data.remove_prefix(n);
    return n;
}

bool TReplyReader::Fill() {
    if (m_pos > 0) {
        m_buffer.erase(0, m_pos);
        m_pos = 0;
    }
    std::size_t old = m_buffer.size();
    m_buffer.resize(old + ReadChunk);
    std::size_t got = 0;
    try {
        got = m_source.Read(m_buffer.data() + old, ReadChunk);
    } catch (...) {
        m_buffer.resize(old);
        throw;
    }
    m_buffer.resize(old + got);
    m_received += got;
    return got > 0;
}

std::string TReplyReader::ReadLine() {
    std::size_t scanned = m_pos;
    for (;;) {
        auto lf = m_buffer.find('\n', scanned);
        if (lf != std::string::npos) {
            std::size_t end = lf;
            if (end > m_pos && m_buffer[end - 1] == '\r')
                --end;
            if (end - m_pos > m_limits.MaxLine)
                BadReply("line longer than " + std::to_string(m_limits.MaxLine) + " bytes");
            std::string line = m_buffer.substr(m_pos, end - m_pos);
            m_pos = lf + 1;
            return line;
        }
        if (m_buffer.size() - m_pos > m_limits.MaxLine + 1)
            BadReply("line longer than " + std::to_string(m_limits.MaxLine) + " bytes");
        std::size_t alreadyScanned = m_buffer.size() - m_pos; // Fill moves the unread bytes to the front
        if (!Fill())
            throw ESocketError("Connection closed in the middle of a reply line");
        scanned = m_pos + alreadyScanned;
    }
}

void TReplyReader::ReadExact(std::size_t count, std::string& out) {
    while (count > 0) {
        if (m_pos == m_buffer.size() && !Fill())
            throw ESocketError("Connection closed in the middle of the reply body");
        std::size_t n = std::min(count, m_buffer.size() - m_pos);
        out.append(m_buffer, m_pos, n);
        m_pos += n;
        count -= n;
    }
}

void TReplyReader::ReadToClose(std::string& out) {
    for (;;) {
        std::size_t n = m_buffer.size() - m_pos;
        if (out.size() + n > m_limits.MaxBody)
            BadReply("body longer than " + std::to_string(m_limits.MaxBody) + " bytes");
        out.append(m_buffer, m_pos, n);
        m_pos = m_buffer.size();
        if (!Fill())
            return;
    }
}

std::optional<std::string> THttpReplyHead::Header(std::string_view name) const {
    for (const auto& [key, value] : Headers)
        if (EqualNoCase(key, name))
            return value;
    return std::nullopt;
}

std::vector<std::string> THttpReplyHead::HeadersNamed(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& [key, value] : Headers)
        if (EqualNoCase(key, name))
            out.push_back(value);
    return out;
}

bool HeaderHasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        auto comma = value.find(',');
        if (EqualNoCase(TrimBlanks(value.substr(0, comma)), token))
            return true;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

THttpReplyHead ReadReplyHead(TReplyReader& reader) {
    const TReplyLimits& limits = reader.Limits();
    for (int interim = 0;; ++interim) {
        if (interim > limits.MaxInterimReplies)
            BadReply("more than " + std::to_string(limits.MaxInterimReplies) + " interim replies");
        THttpReplyHead head;
        std::size_t bytes = 0;
        std::string status = reader.ReadLine();
        // Tolerate blank lines a sloppy server leaves before the status line.
        while (status.empty()) {
            bytes += 2;
            if (bytes > limits.MaxHeaderBytes)
                BadReply("no status line");
            status = reader.ReadLine();
        }
        bytes += status.size() + 2;
        ParseStatusLine(status, head);
        ReadHeaderBlock(reader, head.Headers, bytes);
        // 100 Continue and the other informational replies (103 Early Hints) precede the real one;
        // 101 would switch protocols, which this client never asks for.
        if (head.Status >= 100 && head.Status < 200 && head.Status != 101)
            continue;
        return head;
    }
}

TBodyPlan PlanBody(const THttpReplyHead& head, const TReplyLimits& limits) {
    if ((head.Status >= 100 && head.Status < 200) || head.Status == 204 || head.Status == 304)
        return {TBodyFraming::None, 0};
    // Chunked framing wins over a Content-Length sent beside it, as HTTP/1.1 demands.
    for (const std::string& te : head.HeadersNamed("Transfer-Encoding"))
        if (HeaderHasToken(te, "chunked"))
            return {TBodyFraming::Chunked, 0};
    std::vector<std::string> lengths = head.HeadersNamed("Content-Length");
    if (lengths.empty())
        return {TBodyFraming::UntilClose, 0};
    const std::string& text = lengths.front();
    for (const std::string& other : lengths)
        if (other != text)
            BadReply("conflicting Content-Length values");
    if (!IsDigits(text))
        BadReply("Content-Length '" + text.substr(0, 40) + "'");
    if (text.size() > 12 || std::stoull(text) > limits.MaxBody)
        BadReply("body longer than " + std::to_string(limits.MaxBody) + " bytes");
    return {TBodyFraming::Length, static_cast<std::size_t>(std::stoull(text))};
}

void ReadReplyBody(TReplyReader& reader, const TBodyPlan& plan, std::string& body) {
    const TReplyLimits& limits = reader.Limits();
    body.clear();
    switch (plan.Framing) {
    case TBodyFraming::None:
        break;
    case TBodyFraming::Length:
        body.reserve(plan.Length);
        reader.ReadExact(plan.Length, body);
        break;
    case TBodyFraming::UntilClose:
        reader.ReadToClose(body);
        break;
    case TBodyFraming::Chunked:
        for (;;) {
            std::size_t size = ParseChunkSize(reader.ReadLine(), limits.MaxBody - body.size());
            if (size == 0)
                break;
            reader.ReadExact(size, body);
            if (!reader.ReadLine().empty())
                BadReply("chunk not followed by a line end");
        }
        {
            std::vector<std::pair<std::string, std::string>> trailers;
            std::size_t bytes = 0;
            ReadHeaderBlock(reader, trailers, bytes);
        }
        break;
    }
}
