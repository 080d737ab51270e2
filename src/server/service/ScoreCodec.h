#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The game's result text as it travels in a submission: bytes packed five bits to a symbol
// of a 32-symbol alphabet, eight symbols for every five bytes.
inline constexpr std::string_view kScoreSymbols = "ABCDEFGHJKLMNPQRSTUVWXY123456789";

// The longest name the game's name entry takes, and the longest crew text of its options.
inline constexpr std::size_t kNameMaxLength = 10;
inline constexpr std::size_t kCrewMaxLength = 10;

// The symbols back to the bytes the game encoded. Refuses (nullopt, reason in error) a length
// that is not a whole number of eight-symbol groups and any symbol outside the alphabet.
std::optional<std::string> DecodeSymbols(std::string_view symbols, std::string& error);

// One result as the game sent it; texts are the game's single-byte Windows-1252 bytes.
struct TScorePayload {
    std::string Name;
    std::int32_t Score = 0;
    std::string Crew;
};

// Reads the decoded result text:
//   type=0|name=<name>|score=<score>|key=Q|p=|add=<crew>|z=<"0" padding to a multiple of five>
// Name and crew may hold "|" and "=", so the fixed parts are matched from both ends instead of
// splitting on separators. Refuses anything the game would not send: another field order, a
// missing or extra field, a name or crew text longer than the game allows, control characters
// or bytes the code page leaves undefined, a score that is not a canonical 32-bit decimal, and
// padding that is not the game's.
std::optional<TScorePayload> ParseScorePayload(std::string_view payload, std::string& error);

// A stable fingerprint of a decoded result, for telling a resend from a new result.
std::uint64_t PayloadDigest(std::string_view payload);
