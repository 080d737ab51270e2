#include "engine/audio/ModulePlayer.h"

// The module player of a program built without a module library (the score server re-runs
// races, which never depend on the music): no module loads, so no song ever plays.

class TModuleSong {};

TModulePlayer::TModulePlayer(TSoundMixer& mixer) : m_mixer(mixer) {}

TModulePlayer::~TModulePlayer() = default;

int32_t TModulePlayer::SongLoadFromFile(const std::string&) {
    return 0;
}

void TModulePlayer::SongPlay(int32_t) {}

void TModulePlayer::SongFree(int32_t) {}

int32_t TModulePlayer::SongGetOrder(int32_t) const {
    return 0;
}

bool TModulePlayer::SongPlaying(int32_t) const {
    return false;
}
