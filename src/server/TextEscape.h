#pragma once

#include <string>
#include <string_view>

// Names and crew texts arrive as the game's Windows-1252 bytes and are kept as UTF-8. Every
// way they leave the server goes through one of the escapes below.

// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined become U+FFFD.
std::string WindowsToUtf8(std::string_view bytes);

// Text for HTML element content and quoted attribute values.
void AppendHtml(std::string& out, std::string_view text);
// Text inside a JSON string literal (without the quotes); valid UTF-8 is passed through.
void AppendJson(std::string& out, std::string_view text);
// One CSV field: quoted when it needs to be, and a leading "=", "+", "-", "@" or tab turned into
// text with a "'" in front, so that a spreadsheet never runs a player's name as a formula.
std::string CsvField(std::string_view text);
// Text for an operator's terminal: control characters (C0, DEL, C1) become "?".
std::string TerminalSafe(std::string_view text);
