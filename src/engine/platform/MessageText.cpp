#include "engine/platform/MessageText.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::string_view kCut = "...";

// Length of the well-formed UTF-8 character at the start of s that is printable (not a C0 or C1
// control), or 0.
std::size_t PrintableCharLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80)
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    std::size_t length;
    uint32_t code;
    uint32_t least;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, least = 0xA0; // 0x80..0x9F are the C1 controls
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

std::string PrintableMessage(std::string_view text, std::size_t maxBytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(std::min(text.size(), maxBytes) + kCut.size());
    while (!text.empty()) {
        std::size_t length = text.front() == '\n' ? 1 : PrintableCharLength(text);
        const std::size_t needed = length > 0 ? length : 4;
        if (out.size() + needed > maxBytes) {
            out += kCut;
            break;
        }
        if (length > 0) {
            out.append(text.substr(0, length));
        } else {
            const auto b = static_cast<uint8_t>(text.front());
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
            length = 1;
        }
        text.remove_prefix(length);
    }
    return out;
}
