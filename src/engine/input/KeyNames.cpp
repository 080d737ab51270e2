#include "engine/input/KeyNames.h"

#include "engine/platform/KeyCodes.h"

#include <cctype>
#include <utility>
#include <vector>

namespace {
const std::vector<std::pair<const char*, int>>& NamedKeys() {
    static const std::vector<std::pair<const char*, int>> keys = [] {
        std::vector<std::pair<const char*, int>> k = {
            {"Up", vk::Up},         {"Down", vk::Down},     {"Left", vk::Left},       {"Right", vk::Right},
            {"Space", vk::Space},   {"Shift", vk::Shift},   {"Ctrl", vk::Control},    {"Tab", vk::Tab},
            {"Insert", vk::Insert}, {"Delete", vk::Delete}, {"Home", vk::Home},       {"End", vk::End},
            {"PageUp", vk::Prior},  {"PageDown", vk::Next}, {"Numpad8", vk::Numpad8},
        };
        return k;
    }();
    return keys;
}

} // namespace

int KeyFromName(const std::string& name) {
    if (name.size() == 1) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            return c;
        }
    }
    if (name.size() == 7 && name.rfind("Numpad", 0) == 0 && name[6] >= '0' && name[6] <= '9') {
        return vk::Numpad0 + (name[6] - '0');
    }
    for (const auto& [keyName, code] : NamedKeys()) {
        if (name == keyName) {
            return code;
        }
    }
    return 0;
}

std::string NameOfKey(int virtualKey) {
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        return std::string(1, static_cast<char>(virtualKey));
    }
    if (virtualKey >= vk::Numpad0 && virtualKey <= vk::Numpad0 + 9) {
        return "Numpad" + std::to_string(virtualKey - vk::Numpad0);
    }
    for (const auto& [keyName, code] : NamedKeys()) {
        if (virtualKey == code) {
            return keyName;
        }
    }
    return {};
}
