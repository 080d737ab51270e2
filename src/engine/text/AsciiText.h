#pragma once

#include <string>
#include <string_view>

// The small text chores of files and protocols whose keywords are ASCII: header fields, cookie
// attributes, shortcut keys, settings lines. Bytes past ASCII are left as they are, whatever the
// machine's locale says.

// Without the spaces and tabs at either end.
inline std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A to Z as a to z.
inline std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}
