#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The server's side of the score text encoding: symbols back to the payload bytes.
// Empty when a character is not one of the 32 symbols or the bits do not make whole bytes
// after the encoder's front padding.
std::optional<std::string> DecodeScoreText(std::string_view symbols);

// The encoded payload of a request target "/cgi/version.pl?hs&prg=Spraydash&inf=<symbols>";
// empty when the target has any other path or query.
std::optional<std::string> ScoreSymbolsOfTarget(std::string_view target);

// The request target of the first line of a request head ("GET <target> HTTP/1.1").
std::string RequestTarget(std::string_view head);

// How many of the request heads are score requests (the game's replay uploads that follow them
// are not).
std::size_t CountScoreRequests(const std::vector<std::string>& heads);
