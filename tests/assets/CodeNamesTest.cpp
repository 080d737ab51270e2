#include "app/DataNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

// Quoted words in the game's code that are texts, not picture or effect names.
const std::set<std::string> kNotNames = {"ABCDEFGHJKLMNPQRSTUVWXY123456789",
                                         "ANONYMOUS",
                                         "Arial",
                                         "Controller",
                                         "Data",
                                         "Pause",
                                         "REPLAY",
                                         "Spraydash"};

// Every name the game's code spells out must be in the lists the built archives are checked
// against, so a picture or effect the code asks for cannot be missing from the data.
TEST(DataNames, CoverEveryNameTheGameAsksFor) {
    std::set<std::string> known;
    for (auto name : kMenuPictureNames) {
        known.emplace(name);
    }
    for (auto name : kRacePictureNames) {
        known.emplace(name);
    }
    for (auto name : kSoundNames) {
        known.emplace(name);
    }
    const std::regex quotedWord("\"([A-Z][A-Za-z0-9_]{2,})\"");
    int files = 0;
    for (const char* folder : {"app", "context", "menus", "race"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::path(SPRAYDASH_SRC) / folder)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") {
                continue;
            }
            ++files;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string source = text.str();
            for (std::sregex_iterator it(source.begin(), source.end(), quotedWord), end; it != end; ++it) {
                const std::string word = (*it)[1];
                if (!kNotNames.count(word)) {
                    EXPECT_TRUE(known.count(word)) << word << " in " << entry.path().filename();
                }
            }
        }
    }
    EXPECT_GT(files, 10);
}

} // namespace
