#include "server/service/ScoreCodec.h"

#include <array>
#include <charconv>
#include <limits>

namespace {

constexpr std::size_t kSymbolBits = 5;
constexpr std::size_t kGroupSymbols = 8; // eight symbols carry exactly five bytes
constexpr std::size_t kPaddingUnit = 5;

constexpr std::string_view kHead = "type=0|name=";
constexpr std::string_view kScoreField = "|score=";
constexpr std::string_view kAfterScore = "|key=Q|p=|add=";
constexpr std::string_view kTail = "|z=";

// Symbol value + 1 for every byte; 0 for a byte outside the alphabet.
constexpr std::array<std::uint8_t, 256> SymbolValues() {
    std::array<std::uint8_t, 256> values{};
    for (std::size_t v = 0; v < kScoreSymbols.size(); ++v)
        values[static_cast<unsigned char>(kScoreSymbols[v])] = static_cast<std::uint8_t>(v + 1);
    return values;
}
constexpr auto kSymbolValues = SymbolValues();

std::string Printable(char c) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x21 && b < 0x7F)
        return std::string("\"") + c + "\"";
    constexpr std::string_view hex = "0123456789ABCDEF";
    return std::string("byte 0x") + hex[b >> 4] + hex[b & 15];
}

// Bytes the game can put into a name or crew text: no control characters, and none of the five
// bytes Windows-1252 leaves undefined (the game's keyboard input never yields them).
bool IsTextByte(unsigned char b) {
    if (b < 0x20 || b == 0x7F)
        return false;
    return b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D;
}

bool CheckText(std::string_view text, std::string_view what, std::size_t maxLength, std::string& error) {
    if (text.size() > maxLength) {
        error = std::string(what) + " is " + std::to_string(text.size()) + " characters long; at most " +
                std::to_string(maxLength) + " are allowed";
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsTextByte(static_cast<unsigned char>(text[i]))) {
            error = std::string(what) + " holds " + Printable(text[i]) + " at position " +
                    std::to_string(i + 1) + ", which the game never sends";
            return false;
        }
    }
    return true;
}

// The score's decimal text as the game writes it: optional minus, no leading zeros, no "-0".
bool IsCanonicalInteger(std::string_view digits) {
    std::string_view magnitude = digits;
    if (!magnitude.empty() && magnitude.front() == '-')
        magnitude.remove_prefix(1);
    if (magnitude.empty())
        return false;
    for (char c : magnitude)
        if (c < '0' || c > '9')
            return false;
    if (magnitude.size() > 1 && magnitude.front() == '0')
        return false;
    return !(magnitude == "0" && digits.size() == 2);
}

// Digits (with an optional minus) that end just before position end of text.
std::size_t NumberStart(std::string_view text, std::size_t end) {
    std::size_t start = end;
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9')
        --start;
    if (start > 0 && text[start - 1] == '-')
        --start;
    return start;
}

} // namespace

std::optional<std::string> DecodeSymbols(std::string_view symbols, std::string& error) {
    if (symbols.size() % kGroupSymbols != 0) {
        error = "the encoded result has " + std::to_string(symbols.size()) + " symbols, not a multiple of " +
                std::to_string(kGroupSymbols);
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(symbols.size() * kSymbolBits / 8);
    std::uint32_t pending = 0;
    int pendingBits = 0;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        std::uint8_t value = kSymbolValues[static_cast<unsigned char>(symbols[i])];
        if (value == 0) {
            error = "the encoded result holds " + Printable(symbols[i]) + " at position " +
                    std::to_string(i + 1) + ", which is not one of its symbols";
            return std::nullopt;
        }
        pending = (pending << kSymbolBits) | (value - 1u);
        pendingBits += static_cast<int>(kSymbolBits);
        if (pendingBits >= 8) {
            pendingBits -= 8;
            bytes += static_cast<char>((pending >> pendingBits) & 0xFF);
            pending &= (1u << pendingBits) - 1;
        }
    }
    return bytes;
}

std::optional<TScorePayload> ParseScorePayload(std::string_view payload, std::string& error) {
    if (payload.substr(0, kHead.size()) != kHead) {
        error = "the result does not start with \"type=0|name=\"";
        return std::nullopt;
    }
    // From the end: "|z=" and the zeros that bring the length to a multiple of five.
    std::size_t zeros = 0;
    while (zeros < payload.size() && payload[payload.size() - 1 - zeros] == '0')
        ++zeros;
    std::string_view body = payload.substr(0, payload.size() - zeros);
    if (body.size() < kHead.size() + kTail.size() || body.substr(body.size() - kTail.size()) != kTail) {
        error = "the result does not end with \"|z=\" and its padding";
        return std::nullopt;
    }
    if (zeros != (kPaddingUnit - body.size() % kPaddingUnit) % kPaddingUnit) {
        error = "the result's padding is " + std::to_string(zeros) + " zeros instead of " +
                std::to_string((kPaddingUnit - body.size() % kPaddingUnit) % kPaddingUnit);
        return std::nullopt;
    }
    body = body.substr(kHead.size(), body.size() - kHead.size() - kTail.size());

    // What is left is <name>|score=<score>|key=Q|p=|add=<crew>. The first "|key=Q|p=|add=" that
    // directly follows "|score=" and a number ends the score: a name of at most ten characters
    // cannot hold that text, and a split further right would need a crew text far too long.
    for (std::size_t at = body.find(kAfterScore); at != std::string_view::npos;
         at = body.find(kAfterScore, at + 1)) {
        std::size_t numberStart = NumberStart(body, at);
        if (numberStart < kScoreField.size() ||
            body.substr(numberStart - kScoreField.size(), kScoreField.size()) != kScoreField)
            continue;
        std::string_view name = body.substr(0, numberStart - kScoreField.size());
        std::string_view number = body.substr(numberStart, at - numberStart);
        std::string_view crew = body.substr(at + kAfterScore.size());

        TScorePayload result;
        if (!IsCanonicalInteger(number)) {
            error = "the score \"" + std::string(number) + "\" is not written as the game writes numbers";
            return std::nullopt;
        }
        std::int64_t wide = 0;
        auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), wide);
        if (ec != std::errc() || end != number.data() + number.size() ||
            wide < std::numeric_limits<std::int32_t>::min() ||
            wide > std::numeric_limits<std::int32_t>::max()) {
            error = "the score " + std::string(number) + " is outside the 32-bit range";
            return std::nullopt;
        }
        if (!CheckText(name, "the name", kNameMaxLength, error) ||
            !CheckText(crew, "the crew text", kCrewMaxLength, error))
            return std::nullopt;
        result.Name = name;
        result.Score = static_cast<std::int32_t>(wide);
        result.Crew = crew;
        return result;
    }
    error = "the result lacks \"|score=<number>|key=Q|p=|add=\" in that order after the name";
    return std::nullopt;
}

std::uint64_t PayloadDigest(std::string_view payload) {
    // 64-bit FNV-1a: stable across builds and platforms, which the stored digests rely on.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char b : payload) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    return hash;
}
