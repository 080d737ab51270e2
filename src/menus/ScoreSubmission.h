#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The score server's own text encoding: bytes become bits, bits become symbols
// of a 32-character alphabet, five bits each.
inline constexpr std::string_view ScoreSymbols = "ABCDEFGHJKLMNPQRSTUVWXY123456789";

// Path and fixed query that precede the encoded result.
inline constexpr std::string_view ScoreRequestPath = "/cgi/version.pl?hs&prg=Spraydash&inf=";

// Eight characters, position p = 1..8 setting bit 8 - p when it is "1"; missing positions count as "0".
std::uint8_t BitsToByte(std::string_view eightBits);
// Five characters, position p = 1..5 adding 2^(5 - p) when it is anything but "0"; gives 1..32.
int GroupValue(std::string_view fiveBits);
// Eight "0"/"1" characters per byte, most significant bit first.
std::string TextToBits(std::string_view text);
// One symbol per five bits, after padding the bits with "0" in front to a multiple of five.
std::string BitsToSymbols(std::string_view bits);
std::string EncodeText(std::string_view text);

// The "|"-separated result text, padded with "0" to a multiple of five characters.
// The name and the free text go in unchanged, byte for byte.
std::string BuildScorePayload(std::string_view playerName, std::int32_t score, std::string_view addInfo);

// The whole submission address: the server's base address (scheme, host, optional port),
// the request path and the encoded payload.
std::string BuildScoreRequestUrl(std::string_view serverBase, std::string_view playerName, std::int32_t score,
                                 std::string_view addInfo);
