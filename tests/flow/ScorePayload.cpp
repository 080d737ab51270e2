#include "flow/ScorePayload.h"

namespace {
// Written out here rather than taken from the game, so a changed alphabet shows.
constexpr std::string_view kSymbols = "ABCDEFGHJKLMNPQRSTUVWXY123456789";
constexpr std::string_view kTargetPrefix = "/cgi/version.pl?hs&prg=Spraydash&inf=";
} // namespace

std::optional<std::string> DecodeScoreText(std::string_view symbols) {
    std::string bits;
    for (char c : symbols) {
        const auto value = kSymbols.find(c);
        if (value == std::string_view::npos) {
            return std::nullopt;
        }
        for (int bit = 4; bit >= 0; --bit) {
            bits += ((value >> bit) & 1) ? '1' : '0';
        }
    }
    // The encoder pads the bit text in front to a multiple of five; those bits must be zeros.
    const std::size_t pad = bits.size() % 8;
    if (bits.find('1') < pad) {
        return std::nullopt;
    }
    std::string bytes;
    for (std::size_t i = pad; i < bits.size(); i += 8) {
        unsigned value = 0;
        for (std::size_t j = 0; j < 8; ++j) {
            value = (value << 1) | (bits[i + j] == '1' ? 1u : 0u);
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

std::optional<std::string> ScoreSymbolsOfTarget(std::string_view target) {
    if (target.substr(0, kTargetPrefix.size()) != kTargetPrefix) {
        return std::nullopt;
    }
    return std::string(target.substr(kTargetPrefix.size()));
}

std::string RequestTarget(std::string_view head) {
    const auto lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const auto first = line.find(' ');
    const auto last = line.rfind(' ');
    if (first == std::string_view::npos || last <= first) {
        return {};
    }
    return std::string(line.substr(first + 1, last - first - 1));
}

std::size_t CountScoreRequests(const std::vector<std::string>& heads) {
    std::size_t count = 0;
    for (const std::string& head : heads) {
        if (head.starts_with("GET ") && ScoreSymbolsOfTarget(RequestTarget(head))) {
            ++count;
        }
    }
    return count;
}
