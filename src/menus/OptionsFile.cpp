#include "menus/OptionsFile.h"

#include "menus/HighScores.h"
#include "menus/SaveFiles.h"

namespace {
// Missing and blank lines read as 0, off, as in the table file; a line that holds something
// other than a number keeps the switch's default.
bool ReadSwitch(TSaveFileReader& file, bool fallback) {
    std::string line;
    if (!file.ReadLine(line, kNumberLineMax) || line.find_first_not_of(" \t") == std::string::npos) {
        return false;
    }
    auto n = ParseSaveNumber(line);
    return n ? *n != 0 : fallback;
}
} // namespace

TSaveFileLoad LoadOptions(const std::string& fileName, TGameOptions& options,
                          std::optional<std::string>& tableCheck) {
    RemoveStaleTemporary(fileName);
    TSaveFileReader file(fileName);
    if (file.Missing() || file.Failed()) {
        options = TGameOptions{};
        return TSaveFileLoad{file.Failed(), file.Error()};
    }
    const TGameOptions defaults;
    TGameOptions read;
    read.FullScreen = ReadSwitch(file, defaults.FullScreen);
    read.MusicOn = ReadSwitch(file, defaults.MusicOn);
    read.SoundOn = ReadSwitch(file, defaults.SoundOn);
    read.AddInfo.clear();
    file.ReadLine(read.AddInfo, kTextLineMax);
    // Whether the check line is there at all matters: an empty one is a check like any other.
    std::string check;
    bool hasCheck = file.ReadLine(check, THighScoreTable::kFileNameMax);
    if (file.Failed()) {
        options = TGameOptions{};
        return TSaveFileLoad{true, file.Error()};
    }
    options = read;
    tableCheck = hasCheck ? std::optional<std::string>(check) : std::nullopt;
    return {};
}

void SaveOptions(const std::string& fileName, const TGameOptions& options, const std::string& tableCheck) {
    WriteSaveLines(fileName, {options.FullScreen ? "1" : "0", options.MusicOn ? "1" : "0",
                              options.SoundOn ? "1" : "0", options.AddInfo, tableCheck});
}
