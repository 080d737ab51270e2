#include "context/GameAudio.h"

#include "context/GameState.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/WaveCollection.h"

TGameAudio::TGameAudio(TGameWaveList& waveList, TModulePlayer& player, TGameOptions& options,
                       const TGameScreen& gameScreen)
    : m_waveList(waveList), m_player(player), m_options(options), m_gameScreen(gameScreen) {}

TGameAudio::~TGameAudio() {
    StopMusic();
}

void TGameAudio::PlayMusic(const std::string& fileName) {
    LastSongOrder = 0;
    if (!m_options.MusicOn) {
        return;
    }
    if (SongHandle != 0) {
        m_player.SongFree(SongHandle);
    }
    SongHandle = m_player.SongLoadFromFile(fileName);
    if (SongHandle != 0) {
        m_player.SongPlay(SongHandle);
    }
}

void TGameAudio::StopMusic() {
    if (SongHandle != 0) {
        m_player.SongFree(SongHandle);
    }
    SongHandle = 0;
}

void TGameAudio::PlayScreenMusic() {
    PlayMusic(m_gameScreen == gsRace ? kRaceMusic : kMenuMusic);
}

void TGameAudio::MusicKeepAlive() {
    if (SongHandle == 0) {
        return;
    }
    if (m_player.SongGetOrder(SongHandle) == 0 && LastSongOrder != 0) {
        PlayScreenMusic();
    } else {
        LastSongOrder = m_player.SongGetOrder(SongHandle);
    }
}

void TGameAudio::ToggleMusic() {
    const bool wasOn = m_options.MusicOn;
    m_options.MusicOn = !m_options.MusicOn;
    if (wasOn) {
        StopMusic();
    }
    if (m_options.MusicOn) {
        PlayScreenMusic();
    }
}

void TGameAudio::ToggleSound() {
    m_options.SoundOn = !m_options.SoundOn;
}

void TGameAudio::PlaySound(const std::string& name) {
    if (!m_options.SoundOn) {
        return;
    }
    TWaveCollectionItem& item = m_waveList.Items().Find(name);
    item.Stop();
    item.Play(false);
}

void TGameAudio::StopSound(const std::string& name) {
    if (!m_options.SoundOn) {
        return;
    }
    m_waveList.Items().Find(name).Stop();
}

void TGameAudio::TuneSound(const std::string& name, double rate, double volume) {
    if (!m_options.SoundOn) {
        return;
    }
    TWaveCollectionItem& item = m_waveList.Items().Find(name);
    item.SetRate(rate);
    item.SetVolume(volume);
}
