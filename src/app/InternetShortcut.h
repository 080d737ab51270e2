#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Internet shortcut files ("[InternetShortcut]" with a "URL=" line), as dropped beside the game.

// The web address the shortcut text names, when it is a plain http or https address; nothing
// for any other kind of link (file, javascript, a program...), which a shortcut the player did
// not write must not be able to open.
std::optional<std::string> ShortcutUrl(std::string_view text);

// The same for a file; a missing, unreadable or oversized file names nothing.
std::optional<std::string> ReadShortcutUrl(const std::filesystem::path& file);
