#include "server/TextEscape.h"

#include <array>

namespace {

// Code points of bytes 0x80..0x9F; 0 for the five that the code page leaves undefined.
constexpr std::array<char32_t, 32> kHighHalf = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendHex4(std::string& out, unsigned value) {
    constexpr std::string_view hex = "0123456789abcdef";
    out += "\\u00";
    out += hex[(value >> 4) & 15];
    out += hex[value & 15];
}

} // namespace

std::string WindowsToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else if (b < 0xA0)
            AppendUtf8(out, kHighHalf[b - 0x80] != 0 ? kHighHalf[b - 0x80] : kReplacement);
        else
            AppendUtf8(out, b);
    }
    return out;
}

void AppendHtml(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

void AppendJson(std::string& out, std::string_view text) {
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '<':
            // Keeps "</script>" and "<!--" inert should a site paste the JSON into a page.
            AppendHex4(out, b);
            break;
        default:
            if (b < 0x20 || b == 0x7F)
                AppendHex4(out, b);
            else
                out += c;
        }
    }
}

std::string CsvField(std::string_view text) {
    std::string field;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' ||
                          text[0] == '\t' || text[0] == '\r'))
        field += '\'';
    field += text;
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string TerminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x20 || b == 0x7F) {
            out += '?';
        } else if (b == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            out += '?'; // U+0080..U+009F in UTF-8: a terminal may read it as a control sequence
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
