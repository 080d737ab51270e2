#include "app/GameMain.h"
#include "app/ReplayVerify.h"
#include "engine/platform/Platform.h"
#include "replay/ReplayFiles.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr const char* kUsage = "usage: spraydash [--replay FILE | FILE]\n"
                               "       spraydash --verify-replay FILE [--pictures]\n";
constexpr int kExitMatches = 0;
constexpr int kExitDiffers = 1;
constexpr int kExitUnreadable = 2;

// Re-runs the replay headless and prints one JSON line: 0 when it reproduces its claim, 1 when
// not, 2 when the file is not a replay this game can read.
int VerifyReplayFile(const std::string& path, bool pictures) {
    try {
        TReplayCheckOptions options;
        options.Pictures = pictures;
        const TReplayVerdict verdict = VerifyReplay(ReadReplayFile(path), options);
        std::printf("%s\n", VerdictJson(verdict).c_str());
        return verdict.Matches ? kExitMatches : kExitDiffers;
    } catch (const EReplayError& e) {
        const std::string what = e.what();
        std::fprintf(stderr, "spraydash: %s\n",
                     what.find(path) != std::string::npos ? what.c_str()
                                                          : ("\"" + path + "\": " + what).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "spraydash: the replay cannot be re-run: %s\n", e.what());
    }
    return kExitUnreadable;
}
} // namespace

int main(int argc, char** argv) {
    if (auto dialogExit = RunSdlDialogProcess(argc, argv))
        return *dialogExit;
    TFormConfig config;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--verify-replay" && i + 1 < argc) {
            const bool pictures = i + 2 < argc && std::strcmp(argv[i + 2], "--pictures") == 0;
            return VerifyReplayFile(argv[i + 1], pictures);
        }
        if (arg == "--replay" && i + 1 < argc) {
            config.WatchReplayFile = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && config.WatchReplayFile.empty()) {
            // A file opened from the file manager.
            config.WatchReplayFile = arg;
        } else {
            std::fputs(kUsage, stderr);
            return kExitUnreadable;
        }
    }
    if (!config.WatchReplayFile.empty()) {
        // Told on the terminal before any window opens.
        try {
            TReplay::Decode(ReadReplayFile(config.WatchReplayFile));
        } catch (const EReplayError& e) {
            std::fprintf(stderr, "spraydash: \"%s\": %s\n", config.WatchReplayFile.c_str(), e.what());
            return kExitUnreadable;
        }
    }
    config.HomeUrl = SPRAYDASH_HOME_URL;
    config.ScoreServer = ScoreServerAddress(SPRAYDASH_SCORE_SERVER, std::getenv("SPRAYDASH_SCORE_SERVER"));
    auto platform = CreateSdlPlatform(TSdlDialogs::OwnProcess);
    return RunGame(*platform, config);
}
