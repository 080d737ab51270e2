#include "app/GameMain.h"

#include "engine/platform/Platform.h"

#include <csignal>
#include <cstdio>
#include <exception>

namespace {
constexpr int kDisplayWidth = 800;
constexpr int kDisplayHeight = 600;
constexpr const char* kTitle = "Spraydash";
} // namespace

std::string ScoreServerAddress(const std::string& builtIn, const char* fromEnvironment) {
    std::string value = fromEnvironment ? fromEnvironment : "";
    std::size_t first = value.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return builtIn;
    std::size_t last = value.find_last_not_of(" \t\r\n");
    return value.substr(first, last - first + 1);
}

int RunGame(IPlatform& platform, const TFormConfig& config) {
    std::string error;
    if (!platform.OpenWindow(kTitle, kDisplayWidth, kDisplayHeight, error)) {
        std::fprintf(stderr, "%s: %s\n", kTitle, error.c_str());
        return 1;
    }
    TMForm form(platform, config);
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        // Nothing has been changed on disk yet: the save files are only written at the end.
        platform.ShowFatalError(kTitle, e.what());
        return 1;
    }
    form.Run();
    form.FormDestroy();
    return 0;
}
