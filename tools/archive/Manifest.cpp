#include "Manifest.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

int32_t ParseInt(const std::string& text, const char* what) {
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::runtime_error(std::string(what) + " \"" + text + "\" is not a whole number");
    return value;
}

bool ParseYesNo(const std::string& text) {
    if (text == "yes")
        return true;
    if (text == "no")
        return false;
    throw std::runtime_error("transparency \"" + text + "\" is neither yes nor no");
}

} // namespace

int32_t ParseManifestColor(const std::string& text) {
    if (const auto ident = ColorFromIdent(text))
        return *ident;
    if (text.size() == 7 && text[0] == '#') {
        uint32_t rgb = 0;
        const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
        if (error == std::errc() && end == text.data() + 7)
            return static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
    }
    throw std::runtime_error("colour \"" + text +
                             "\" is neither a colour name such as clFuchsia nor #RRGGBB");
}

std::vector<TManifestEntry> ReadManifest(const std::string& fileName) {
    std::ifstream file(fileName);
    if (!file)
        throw std::runtime_error("Cannot open manifest \"" + fileName + "\"");
    const std::filesystem::path folder = std::filesystem::path(fileName).parent_path();
    std::vector<TManifestEntry> entries;
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;)
            f.push_back(field);
        if (f.empty() || f[0][0] == '#')
            continue;
        try {
            if (f.size() != 8 && f.size() != 9)
                throw std::runtime_error("expected 8 fields (or 9 with systemmemory), found " +
                                         std::to_string(f.size()));
            TManifestEntry e;
            e.Line = lineNumber;
            e.Item.Name = f[0];
            e.PngPath = (folder / f[1]).string();
            e.Item.PatternWidth = ParseInt(f[2], "pattern width");
            e.Item.PatternHeight = ParseInt(f[3], "pattern height");
            e.Item.SkipWidth = ParseInt(f[4], "skip width");
            e.Item.SkipHeight = ParseInt(f[5], "skip height");
            e.Item.Transparent = ParseYesNo(f[6]);
            e.Item.TransparentColor = ParseManifestColor(f[7]);
            if (f.size() == 9) {
                if (f[8] != "systemmemory")
                    throw std::runtime_error("unknown option \"" + f[8] + "\"");
                e.Item.SystemMemory = true;
            }
            if (e.Item.Name.size() > 255)
                throw std::runtime_error("the name is longer than 255 characters");
            entries.push_back(std::move(e));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(fileName + ":" + std::to_string(lineNumber) + ": " + error.what());
        }
    }
    return entries;
}
