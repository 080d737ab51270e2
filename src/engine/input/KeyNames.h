#pragma once

#include <string>

// Keys by the names a person writes in a settings file ("Up", "Space", "A", "Numpad8"…) and their
// virtual-key codes: 0 for a name that is no key, an empty name for a key without one.
int KeyFromName(const std::string& name);
std::string NameOfKey(int virtualKey);
