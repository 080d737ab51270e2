#include "app/GameMain.h"

#include "app/GameTitle.h"
#include "app/MForm.h"
#include "context/Frame.h"

#include "engine/platform/Platform.h"

#include <csignal>
#include <cstdio>
#include <exception>

namespace {
constexpr const char* kTitle = kGameTitle;
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
    if (!platform.OpenWindow(kTitle, kScreenWidth, kScreenHeight, error)) {
        std::fprintf(stderr, "%s: %s\n", kTitle, error.c_str());
        return 1;
    }
    TMForm form(platform, config);
    platform.OnDisplayLost([&form] { form.SaveBeforeTheDisplayGoes(); });
    try {
        form.FormCreate();
    } catch (const std::exception& e) {
        // Nothing has been changed on disk yet: the save files are only written later.
        platform.OnDisplayLost(nullptr);
        platform.ShowFatalError(kTitle, e.what());
        return 1;
    }
    std::string fault;
    try {
        form.Run();
    } catch (const std::exception& e) {
        fault = e.what();
    } catch (...) {
        fault = "an unknown error ended the game";
    }
    // A fault in a tick or an event ends the game but must not cost the player the run:
    // the options and the table go to their files the usual way before anything is shown.
    try {
        form.FormDestroy();
    } catch (const std::exception& e) {
        fault += fault.empty() ? e.what() : std::string("; then: ") + e.what();
    }
    // The form is going: a display lost from here on has nothing left to save.
    platform.OnDisplayLost(nullptr);
    if (!fault.empty()) {
        platform.ShowFatalError(kTitle, fault);
        return 1;
    }
    return form.ExitCode();
}
