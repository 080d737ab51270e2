#include "app/GameMain.h"
#include "engine/platform/Platform.h"

int main() {
    TFormConfig config;
    config.HomeUrl = SPRAYDASH_HOME_URL;
    config.ScoreServer = SPRAYDASH_SCORE_SERVER;
    auto platform = CreateSdlPlatform();
    return RunGame(*platform, config);
}
