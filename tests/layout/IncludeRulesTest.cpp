#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// Which folder of the game may include which: the walls between the libraries, checked for
// every file rather than by a mark in a few headers. A wall that only holds where someone
// remembered to put a mark does not hold.

namespace {

namespace fs = std::filesystem;

// The library a path under src/ or an include belongs to: its first folder ("engine/gfx/Surface.h"
// → "engine"), except in the server, whose layers are libraries of their own
// ("server/store/Spool.h" → "server/store"; "server/Log.h" → "server").
std::string TopFolder(const std::string& path) {
    const auto slash = path.find('/');
    if (slash == std::string::npos)
        return {};
    const std::string top = path.substr(0, slash);
    const auto second = path.find('/', slash + 1);
    if (top == "server" && second != std::string::npos)
        return path.substr(0, second);
    return top;
}

// What each library may include besides itself. The engine knows no game; context/ is what race/
// and menus/ share; race/ and menus/ never see each other nor the form in app/; replays and the
// HTTP client are leaves the menus use. app/ puts the game together and may include all of it.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"engine", {}},
    {"context", {"engine"}},
    {"race", {"context", "engine"}},
    {"menus", {"context", "engine", "net", "replay"}},
    {"net", {"engine"}},
    {"replay", {"engine"}},
    {"app", {"context", "engine", "net", "race", "menus", "replay"}},
    // The server's layers: transport (http/) hands requests to the service (service/), which
    // keeps its results in the store (store/); what all of them use (the log, the metrics, text
    // escaping) and the program that puts them together lie at the top of server/.
    {"server", {"server/http", "server/service", "server/store", "replay"}},
    {"server/http", {"server", "server/service"}},
    {"server/service", {"server", "server/store", "replay"}},
    {"server/store", {"server"}},
};

// Single headers a library may include from a folder it may not: the server re-runs races
// through the one call the game's own --verify-replay uses, and sees nothing else of the game.
const std::map<std::string, std::set<std::string>> kMayIncludeHeaders = {
    {"server", {"app/ReplayVerify.h"}},
    {"server/service", {"app/ReplayVerify.h"}},
};

// The only files that may see SDL: the SDL back-end, and the text renderer, which draws with
// SDL's font library.
bool MaySeeSdl(const std::string& path) {
    return path.rfind("engine/platform/Sdl", 0) == 0 || path == "engine/gfx/TextRenderer.cpp";
}

struct TInclude {
    std::string File; // relative to src/
    std::string Target;
    bool System = false;
};

// The include a line makes, if it makes one: `#include "x"` or `#include <x>`, spaces allowed.
bool ParseInclude(const std::string& line, std::string& target, bool& system) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#')
        return false;
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0)
        return false;
    i = line.find_first_not_of(" \t", i + 7);
    if (i == std::string::npos || (line[i] != '"' && line[i] != '<'))
        return false;
    system = line[i] == '<';
    const size_t end = line.find(system ? '>' : '"', i + 1);
    if (end == std::string::npos)
        return false;
    target = line.substr(i + 1, end - i - 1);
    return true;
}

std::vector<TInclude> AllIncludes() {
    std::vector<TInclude> found;
    const fs::path src(SPRAYDASH_SRC);
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".in"))
            continue;
        const std::string file = fs::relative(entry.path(), src).generic_string();
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            TInclude inc{file, {}, false};
            if (ParseInclude(line, inc.Target, inc.System))
                found.push_back(inc);
        }
    }
    return found;
}

TEST(IncludeRules, EveryFileKeepsToItsLibrarysWalls) {
    const std::vector<TInclude> includes = AllIncludes();
    ASSERT_GT(includes.size(), 200U) << "the sources were not found under " << SPRAYDASH_SRC;
    std::set<std::string> seenFolders;
    for (const TInclude& inc : includes) {
        const std::string from = TopFolder(inc.File);
        seenFolders.insert(from);
        if (inc.System) {
            if (inc.Target.rfind("SDL", 0) == 0) {
                EXPECT_TRUE(MaySeeSdl(inc.File)) << inc.File << " includes <" << inc.Target << ">";
            }
            continue;
        }
        const std::string to = TopFolder(inc.Target);
        if (from.empty() || to.empty() || to == from)
            continue; // main.cpp, and headers generated into the build's own folders
        if (const auto headers = kMayIncludeHeaders.find(from);
            headers != kMayIncludeHeaders.end() && headers->second.count(inc.Target))
            continue;
        const auto rule = kMayInclude.find(from);
        ASSERT_NE(rule, kMayInclude.end()) << "src/" << from << "/ has no include rule: add one to this test";
        EXPECT_TRUE(rule->second.count(to)) << inc.File << " includes \"" << inc.Target << "\", but " << from
                                            << "/ may not include " << to << "/";
    }
    for (const auto& [folder, allowed] : kMayInclude) {
        EXPECT_TRUE(seenFolders.count(folder)) << "src/" << folder << "/ is gone: its rule should go too";
    }
}

// Inside app/, the whole form is seen only by the form's own files and the two ways into the
// game (the window, and a replay re-run without one); the overlays, the end of the race and the
// replays work from their seat (app/Seat.h).
TEST(IncludeRules, OnlyTheFormAndTheGamesEntriesSeeTheForm) {
    const std::set<std::string> mayIncludeForm = {"app/MForm.cpp",        "app/MFormPads.cpp",
                                                  "app/MFormReplays.cpp", "app/MFormComforts.cpp",
                                                  "app/GameMain.cpp",     "app/ReplayVerify.cpp"};
    for (const TInclude& inc : AllIncludes()) {
        if (inc.Target == "app/MForm.h" && !inc.System) {
            EXPECT_TRUE(mayIncludeForm.count(inc.File))
                << inc.File << " includes the form; give it a seat instead";
        }
    }
}

} // namespace
