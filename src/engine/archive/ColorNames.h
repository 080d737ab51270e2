#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Colour values as archives store them: 0x00BBGGRR, or a system-colour code (high byte
// 0x80, or 0xFF as newer writers use, with the system colour's index in the low byte).

// The value of an identifier such as "clFuchsia" or "clBtnFace" (case-insensitive).
std::optional<int32_t> ColorFromIdent(std::string_view ident);
// The identifier of a value, when it has one (the first name of two that share a value).
std::optional<std::string> ColorToIdent(int32_t color);
bool IsSystemColor(int32_t color);
// A colour value as stored (identifier or number) to 0x00RRGGBB, system colours resolved
// to the classic desktop scheme.
uint32_t ColorValueToRGB(int32_t color);
