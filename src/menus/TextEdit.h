#pragma once

#include <string>

// Text followed by c while text is shorter than max characters, else text unchanged.
inline std::string AppendChar(const std::string& text, char c, size_t max) {
    return text.size() < max ? text + c : text;
}

// Text without its last character; an empty text stays empty.
inline std::string DeleteLastChar(const std::string& text) {
    return text.empty() ? text : text.substr(0, text.size() - 1);
}
