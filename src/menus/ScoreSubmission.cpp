#include "menus/ScoreSubmission.h"

#include <array>

namespace {

constexpr std::size_t ByteBits = 8;
constexpr std::size_t SymbolBits = 5;

// Entry b holds the eight-character binary form of b, found by decoding every
// eight-character text of "0" and "1" rather than by formatting numbers.
const std::array<std::string, 256>& ByteBitTable() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (unsigned pattern = 0; pattern < 256; ++pattern) {
            std::string bits(ByteBits, '0');
            for (std::size_t p = 0; p < ByteBits; ++p)
                if (pattern & (1u << p))
                    bits[p] = '1';
            t[BitsToByte(bits)] = bits;
        }
        return t;
    }();
    return table;
}

} // namespace

std::uint8_t BitsToByte(std::string_view eightBits) {
    unsigned value = 0;
    for (std::size_t p = 1; p <= ByteBits && p <= eightBits.size(); ++p)
        if (eightBits[p - 1] == '1')
            value |= 1u << (ByteBits - p);
    return static_cast<std::uint8_t>(value);
}

int GroupValue(std::string_view fiveBits) {
    int sum = 0;
    for (std::size_t p = 1; p <= SymbolBits && p <= fiveBits.size(); ++p)
        if (fiveBits[p - 1] != '0')
            sum += 1 << (SymbolBits - p);
    return sum + 1;
}

std::string TextToBits(std::string_view text) {
    const auto& table = ByteBitTable();
    std::string bits;
    bits.reserve(text.size() * ByteBits);
    for (unsigned char c : text)
        bits += table[c];
    return bits;
}

std::string BitsToSymbols(std::string_view bits) {
    std::string padded((SymbolBits - bits.size() % SymbolBits) % SymbolBits, '0');
    padded += bits;
    std::string symbols;
    symbols.reserve(padded.size() / SymbolBits);
    for (std::size_t i = 0; i < padded.size(); i += SymbolBits)
        symbols += ScoreSymbols[GroupValue(std::string_view(padded).substr(i, SymbolBits)) - 1];
    return symbols;
}

std::string EncodeText(std::string_view text) {
    return BitsToSymbols(TextToBits(text));
}

std::string BuildScorePayload(std::string_view playerName, std::int32_t score, std::string_view addInfo) {
    std::string payload = "type=0";
    payload += "|name=";
    payload += playerName;
    payload += "|score=";
    payload += std::to_string(score);
    payload += "|key=Q";
    payload += "|p=";
    payload += "|add=";
    payload += addInfo;
    payload += "|z=";
    while (payload.size() % SymbolBits != 0)
        payload += '0';
    return payload;
}

std::string BuildScoreRequestUrl(std::string_view serverBase, std::string_view playerName, std::int32_t score,
                                 std::string_view addInfo) {
    // A base written with a closing slash must not double the path's own.
    while (!serverBase.empty() && serverBase.back() == '/')
        serverBase.remove_suffix(1);
    std::string url(serverBase);
    url += ScoreRequestPath;
    url += EncodeText(BuildScorePayload(playerName, score, addInfo));
    return url;
}
