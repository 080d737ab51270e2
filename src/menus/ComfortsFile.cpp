#include "menus/ComfortsFile.h"
#include "engine/text/AsciiText.h"

#include "engine/input/KeyNames.h"
#include "menus/SaveFiles.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {
constexpr const char* kHeader = "# Spraydash settings beyond the options screen; see the README.";
constexpr const char* kRaceKeyNames[TComforts::kRaceKeys] = {"key-throttle", "key-brake", "key-left",
                                                             "key-right", "key-fire"};

bool ReadPercent(const std::string& value, int& into) {
    auto n = ParseSaveNumber(value);
    if (!n || *n < 0 || *n > 100) {
        return false;
    }
    into = static_cast<int>(*n);
    return true;
}
} // namespace

TComfortsLoad LoadComforts(const std::string& fileName, TComforts& comforts) {
    comforts = TComforts{};
    TComfortsLoad load;
    TSaveFileReader file(fileName);
    if (file.Missing()) {
        load.Missing = true;
        return load;
    }
    if (file.Failed()) {
        load.Problem = file.Error() + "\n";
        return load;
    }
    std::string line;
    int number = 0;
    while (file.ReadLine(line, kTextLineMax)) {
        ++number;
        const std::string trimmed = std::string(TrimBlanks(line));
        if (trimmed.empty() || trimmed[0] == '#') {
            continue;
        }
        const size_t equals = trimmed.find('=');
        const std::string name = std::string(TrimBlanks(trimmed.substr(0, equals)));
        // A "#" after the value starts a comment, as at the start of a line.
        const size_t comment = trimmed.find('#');
        const std::string value =
            equals == std::string::npos || comment < equals
                ? std::string()
                : std::string(TrimBlanks(trimmed.substr(equals + 1, comment - equals - 1)));
        bool understood = true;
        bool known = true;
        if (name == "window-scale") {
            auto n = ParseSaveNumber(value);
            understood = value == "auto" || (n && *n >= 1 && *n <= TComforts::kMaxWindowScale);
            comforts.WindowScale = understood && value != "auto" ? static_cast<int>(*n) : 0;
        } else if (name == "fullscreen-scaling") {
            understood = value == "sharp" || value == "fit";
            if (understood) {
                comforts.SharpFullScreen = value == "sharp";
            }
        } else if (name == "music-volume") {
            understood = ReadPercent(value, comforts.MusicVolume);
        } else if (name == "effects-volume") {
            understood = ReadPercent(value, comforts.EffectsVolume);
        } else {
            known = false;
            for (int k = 0; k < TComforts::kRaceKeys; ++k) {
                if (name == kRaceKeyNames[k]) {
                    known = true;
                    comforts.RaceKeys[static_cast<size_t>(k)] = KeyFromName(value);
                    understood = comforts.RaceKeys[static_cast<size_t>(k)] != 0;
                }
            }
        }
        if (!known) {
            comforts.UnknownLines.push_back(line);
        } else if (!understood) {
            load.Problem += "\"" + fileName + "\", line " + std::to_string(number) + ": \"" +
                            trimmed.substr(0, 80) + "\" cannot be read; its default is used.\n";
        }
    }
    if (file.Failed()) {
        load.Problem += file.Error() + "\n";
    }
    return load;
}

void SaveComforts(const std::string& fileName, const TComforts& comforts) {
    std::vector<std::string> lines = {
        kHeader,
        "window-scale = " +
            (comforts.WindowScale == 0 ? std::string("auto") : std::to_string(comforts.WindowScale)),
        std::string("fullscreen-scaling = ") + (comforts.SharpFullScreen ? "sharp" : "fit"),
        "music-volume = " + std::to_string(comforts.MusicVolume),
        "effects-volume = " + std::to_string(comforts.EffectsVolume),
    };
    for (int k = 0; k < TComforts::kRaceKeys; ++k) {
        const int key = comforts.RaceKeys[static_cast<size_t>(k)];
        if (key != 0) {
            lines.push_back(std::string(kRaceKeyNames[k]) + " = " + NameOfKey(key));
        }
    }
    lines.insert(lines.end(), comforts.UnknownLines.begin(), comforts.UnknownLines.end());
    WriteSaveLines(fileName, lines);
}
