#include "app/GameMain.h"
#include "engine/platform/Platform.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (auto dialogExit = RunSdlDialogProcess(argc, argv))
        return *dialogExit;
    TFormConfig config;
    config.HomeUrl = SPRAYDASH_HOME_URL;
    config.ScoreServer = ScoreServerAddress(SPRAYDASH_SCORE_SERVER, std::getenv("SPRAYDASH_SCORE_SERVER"));
    auto platform = CreateSdlPlatform(TSdlDialogs::OwnProcess);
    return RunGame(*platform, config);
}
