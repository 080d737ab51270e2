#include "server/EntryLines.h"

#include "server/Admin.h"
#include "server/TextEscape.h"

#include <charconv>
#include <limits>

namespace {

void Text(std::string& out, std::string_view key, std::string_view value) {
    out += ",\"";
    out += key;
    out += "\":\"";
    AppendJson(out, value);
    out += '"';
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A cursor over one line of JSON: a flat object of strings and whole numbers.
class TReader {
  public:
    explicit TReader(std::string_view text) : m_text(text) {}

    void Space() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Take(char c) {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool AtEnd() {
        Space();
        return m_at == m_text.size();
    }
    bool Peek(char c) {
        Space();
        return m_at < m_text.size() && m_text[m_at] == c;
    }

    std::optional<std::string> String() {
        if (!Take('"'))
            return std::nullopt;
        std::string out;
        while (m_at < m_text.size()) {
            char c = m_text[m_at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size())
                return std::nullopt;
            switch (m_text[m_at++]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::optional<std::uint32_t> c1 = Hex4();
                if (!c1)
                    return std::nullopt;
                std::uint32_t code = *c1;
                if (code >= 0xD800 && code < 0xDC00) {
                    if (!(m_at + 1 < m_text.size() && m_text[m_at] == '\\' && m_text[m_at + 1] == 'u'))
                        return std::nullopt;
                    m_at += 2;
                    std::optional<std::uint32_t> c2 = Hex4();
                    if (!c2 || *c2 < 0xDC00 || *c2 >= 0xE000)
                        return std::nullopt;
                    code = 0x10000 + ((code - 0xD800) << 10) + (*c2 - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    return std::nullopt;
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::optional<std::int64_t> Integer() {
        Space();
        std::int64_t value = 0;
        auto [end, ec] = std::from_chars(m_text.data() + m_at, m_text.data() + m_text.size(), value);
        if (ec != std::errc() || end == m_text.data() + m_at)
            return std::nullopt;
        m_at = static_cast<std::size_t>(end - m_text.data());
        return value;
    }

  private:
    std::optional<std::uint32_t> Hex4() {
        if (m_at + 4 > m_text.size())
            return std::nullopt;
        std::uint32_t value = 0;
        auto [end, ec] = std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, value, 16);
        if (ec != std::errc() || end != m_text.data() + m_at + 4)
            return std::nullopt;
        m_at += 4;
        return value;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

} // namespace

std::string EntryJsonLine(const TStoredEntry& e) {
    std::string out = "{\"id\":" + std::to_string(e.Id) + ",\"received\":" + std::to_string(e.Received);
    Text(out, "state", EntryStateName(e.State));
    out += ",\"score\":" + std::to_string(e.Score);
    Text(out, "name", e.Name);
    Text(out, "crew", e.Crew);
    Text(out, "client", e.Client);
    out += ",\"digest\":" + std::to_string(static_cast<std::int64_t>(e.Digest)) + "}";
    return out;
}

std::optional<TStoredEntry> ParseEntryJsonLine(std::string_view line, std::string& error) {
    TReader in(line);
    TStoredEntry e;
    unsigned seen = 0;
    enum : unsigned {
        kId = 1,
        kReceived = 2,
        kState = 4,
        kScore = 8,
        kName = 16,
        kCrew = 32,
        kClient = 64,
        kDigest = 128
    };
    constexpr unsigned kRequired = kReceived | kState | kScore | kName | kCrew | kClient | kDigest;
    if (!in.Take('{')) {
        error = "not a JSON object";
        return std::nullopt;
    }
    bool first = true;
    while (!in.Peek('}')) {
        if (!first && !in.Take(',')) {
            error = "expected \",\" or \"}\"";
            return std::nullopt;
        }
        first = false;
        std::optional<std::string> key = in.String();
        if (!key || !in.Take(':')) {
            error = "expected a quoted field name and \":\"";
            return std::nullopt;
        }
        auto integer = [&](unsigned bit, std::int64_t min, std::int64_t max) -> std::optional<std::int64_t> {
            std::optional<std::int64_t> n = in.Integer();
            if (!n || *n < min || *n > max)
                error = "\"" + *key + "\" must be a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max);
            seen |= bit;
            return n && *n >= min && *n <= max ? n : std::nullopt;
        };
        auto text = [&](unsigned bit) -> std::optional<std::string> {
            std::optional<std::string> s = in.String();
            if (!s)
                error = "\"" + *key + "\" must be a JSON string";
            seen |= bit;
            return s;
        };
        constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
        constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
        if (*key == "id") {
            auto n = integer(kId, 0, kMax);
            if (!n)
                return std::nullopt;
            e.Id = *n;
        } else if (*key == "received") {
            auto n = integer(kReceived, kMin, kMax);
            if (!n)
                return std::nullopt;
            e.Received = *n;
        } else if (*key == "score") {
            auto n = integer(kScore, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max());
            if (!n)
                return std::nullopt;
            e.Score = static_cast<std::int32_t>(*n);
        } else if (*key == "digest") {
            auto n = integer(kDigest, kMin, kMax);
            if (!n)
                return std::nullopt;
            e.Digest = static_cast<std::uint64_t>(*n);
        } else if (*key == "state") {
            auto s = text(kState);
            std::optional<TEntryState> state = s ? ParseEntryState(*s) : std::nullopt;
            if (!state) {
                error = "\"state\" must be \"shown\", \"held\" or \"hidden\"";
                return std::nullopt;
            }
            e.State = *state;
        } else if (*key == "name" || *key == "crew" || *key == "client") {
            auto s = text(*key == "name" ? kName : *key == "crew" ? kCrew : kClient);
            if (!s)
                return std::nullopt;
            (*key == "name" ? e.Name : *key == "crew" ? e.Crew : e.Client) = std::move(*s);
        } else {
            error = "unknown field \"" + *key + "\"";
            return std::nullopt;
        }
    }
    in.Take('}');
    if (!in.AtEnd()) {
        error = "text after the object";
        return std::nullopt;
    }
    if ((seen & kRequired) != kRequired) {
        error = "a field is missing (received, state, score, name, crew, client and digest are needed)";
        return std::nullopt;
    }
    return e;
}
