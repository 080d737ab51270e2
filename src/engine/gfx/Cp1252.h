#pragma once

#include <string>
#include <string_view>

// The game keeps its texts as Windows-1252 bytes; fonts and the platform speak UTF-8.
std::string Cp1252ToUtf8(std::string_view text);
// Characters the code page lacks, and malformed UTF-8, are dropped.
std::string Utf8ToCp1252(std::string_view text);
