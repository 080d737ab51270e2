#include "menus/OptionsFile.h"

#include "menus/SaveFiles.h"

#include <vector>

namespace {
constexpr int kLines = 5;

// Missing and blank lines read as 0, off, as in the table file; a line that holds something
// other than a number keeps the switch's default.
bool ReadSwitch(const std::vector<std::string>& lines, size_t index, bool fallback) {
    if (index >= lines.size() || lines[index].find_first_not_of(" \t") == std::string::npos) {
        return false;
    }
    auto n = ParseSaveNumber(lines[index]);
    return n ? *n != 0 : fallback;
}
} // namespace

void LoadOptions(const std::string& fileName, TGameOptions& options, std::string& tableCheck) {
    if (!SaveFileExists(fileName)) {
        options = TGameOptions{};
        return;
    }
    std::vector<std::string> lines = ReadSaveLines(fileName);
    const TGameOptions defaults;
    options.FullScreen = ReadSwitch(lines, 0, defaults.FullScreen);
    options.MusicOn = ReadSwitch(lines, 1, defaults.MusicOn);
    options.SoundOn = ReadSwitch(lines, 2, defaults.SoundOn);
    lines.resize(kLines);
    options.AddInfo = lines[3];
    tableCheck = lines[4];
}

void SaveOptions(const std::string& fileName, const TGameOptions& options, const std::string& tableCheck) {
    WriteSaveLines(fileName, {options.FullScreen ? "1" : "0", options.MusicOn ? "1" : "0",
                              options.SoundOn ? "1" : "0", options.AddInfo, tableCheck});
}
