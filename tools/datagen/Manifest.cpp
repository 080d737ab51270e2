#include "Manifest.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace datagen {

namespace {

int ParseCount(const std::string& text, const char* what, const std::string& where) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535)
        throw DataError(where + ": " + what + " '" + text + "' is not a whole number from 0 to 65535");
    return value;
}

uint32_t ParseColour(const std::string& text, const std::string& where) {
    if (text.size() != 7 || text[0] != '#')
        throw DataError(where + ": matte colour '" + text + "' is not of the form #rrggbb");
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
    if (ec != std::errc() || end != text.data() + 7)
        throw DataError(where + ": matte colour '" + text + "' is not of the form #rrggbb");
    return value;
}

bool IsValidName(const std::string& name) {
    if (name.empty() || name.size() > 255)
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

} // namespace

std::vector<ManifestItem> ReadManifest(const std::filesystem::path& manifestFile) {
    std::ifstream in(manifestFile);
    if (!in)
        throw DataError(manifestFile.string() + ": cannot open the manifest");
    const std::filesystem::path folder = manifestFile.parent_path();
    const std::string shownName = manifestFile.filename().string();

    std::vector<ManifestItem> items;
    std::set<std::string> names;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        // A comment starts with a '#' at the start of a field, so "matte=#rrggbb" is not one.
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) {
                line.erase(i);
                break;
            }
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string w; fields >> w;)
            words.push_back(w);
        if (words.empty())
            continue;

        ManifestItem item;
        item.Where = shownName + ":" + std::to_string(lineNumber);
        if (words.size() < 6)
            throw DataError(item.Where +
                            ": expected 'Name file.svg patternWidth patternHeight skipWidth "
                            "skipHeight [options]', got " +
                            std::to_string(words.size()) + " fields");
        item.Name = words[0];
        if (!IsValidName(item.Name))
            throw DataError(item.Where + ": picture name '" + item.Name +
                            "' must be 1 to 255 letters, digits or underscores");
        if (!names.insert(item.Name).second)
            throw DataError(item.Where + ": picture name '" + item.Name + "' is listed twice");
        item.SvgFile = folder / words[1];
        item.PatternWidth = ParseCount(words[2], "pattern width", item.Where);
        item.PatternHeight = ParseCount(words[3], "pattern height", item.Where);
        item.SkipWidth = ParseCount(words[4], "skip width", item.Where);
        item.SkipHeight = ParseCount(words[5], "skip height", item.Where);
        if ((item.PatternWidth == 0) != (item.PatternHeight == 0))
            throw DataError(item.Where + ": pattern width and height must both be 0 or both be set");
        for (size_t i = 6; i < words.size(); ++i) {
            const std::string& option = words[i];
            if (option == "opaque")
                item.Opaque = true;
            else if (option.rfind("matte=", 0) == 0)
                item.Matte = ParseColour(option.substr(6), item.Where);
            else
                throw DataError(item.Where + ": unknown option '" + option +
                                "' (known: opaque, matte=#rrggbb)");
        }
        items.push_back(std::move(item));
    }
    if (items.empty())
        throw DataError(manifestFile.string() + ": the manifest lists no pictures");
    return items;
}

} // namespace datagen
