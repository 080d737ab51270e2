#include "app/GameMain.h"
#include "engine/platform/Platform.h"

#include <cstdlib>

int main() {
    TFormConfig config;
    config.HomeUrl = SPRAYDASH_HOME_URL;
    config.ScoreServer = ScoreServerAddress(SPRAYDASH_SCORE_SERVER, std::getenv("SPRAYDASH_SCORE_SERVER"));
    auto platform = CreateSdlPlatform();
    return RunGame(*platform, config);
}
