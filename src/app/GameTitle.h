#pragma once

// The application's name: the window's caption, the title of its dialogs and what its lines on
// stderr begin with.
inline constexpr const char* kGameTitle = "Spraydash";
