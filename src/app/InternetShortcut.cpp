#include "app/InternetShortcut.h"
#include "engine/text/AsciiText.h"

#include <algorithm>
#include <fstream>

namespace {

// Real shortcuts are a few hundred bytes; anything much larger is not one.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
// Longer addresses are refused by browsers and servers alike.
constexpr std::size_t kMaxUrlBytes = 2048;
constexpr std::string_view kSection = "[internetshortcut]";
constexpr std::string_view kUrlKey = "url";

// An absolute http or https address with a host, and nothing in it that an address never holds
// (spaces, control characters, quotes or angle brackets).
bool IsWebAddress(std::string_view url) {
    if (url.size() > kMaxUrlBytes)
        return false;
    const std::string lower = AsciiLower(url);
    std::size_t rest;
    if (lower.starts_with("http://"))
        rest = 7;
    else if (lower.starts_with("https://"))
        rest = 8;
    else
        return false;
    if (rest == url.size() || url[rest] == '/' || url[rest] == '?' || url[rest] == '#')
        return false;
    return std::none_of(url.begin(), url.end(), [](unsigned char c) {
        return c <= ' ' || c == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`';
    });
}

} // namespace

std::optional<std::string> ShortcutUrl(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool inSection = false;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            inSection = AsciiLower(line) == kSection;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos ||
            AsciiLower(TrimBlanks(line.substr(0, eq))) != kUrlKey)
            continue;
        const std::string_view url = TrimBlanks(line.substr(eq + 1));
        if (IsWebAddress(url))
            return std::string(url);
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> ReadShortcutUrl(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(kMaxFileBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxFileBytes)
        return std::nullopt;
    return ShortcutUrl(text);
}
