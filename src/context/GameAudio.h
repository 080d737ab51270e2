#pragma once

#include "context/GameState.h"

#include <cstdint>
#include <string>

class TGameWaveList;
class TModulePlayer;

// The game's music and sound effects: one tracker module at a time (menu music everywhere but
// in a race) restarted from a fresh load whenever it wraps, and effects played by name. Both obey
// the player's music and sound switches. It borrows the wave list, the module player, the options
// and the current screen, which must all outlive it.
class TGameAudio {
  public:
    static constexpr const char* kMenuMusic = "Data/Music/Menu.xm";
    static constexpr const char* kRaceMusic = "Data/Music/Race.xm";

    TGameAudio(TGameWaveList& waveList, TModulePlayer& player, TGameOptions& options,
               const TGameScreen& gameScreen);
    ~TGameAudio();
    TGameAudio(const TGameAudio&) = delete;
    TGameAudio& operator=(const TGameAudio&) = delete;

    // Replaces the current module by fileName and starts it, if music is on. A missing or broken
    // file plays nothing and reports nothing.
    void PlayMusic(const std::string& fileName);
    void StopMusic();
    // The race module during a race, else the menu module.
    void PlayScreenMusic();
    // First thing in every tick: a module that has wrapped to its start is loaded afresh, for
    // the screen that is current now.
    void MusicKeepAlive();
    void ToggleMusic();
    void ToggleSound();

    // With sound on: cuts off the effect's earlier instances and starts it from its beginning.
    // An unknown name raises the wave list's "Wave 'name' not found".
    void PlaySound(const std::string& name);
    // With sound on: stops every instance of the effect.
    void StopSound(const std::string& name);
    // With sound on: plays the effect, the instances sounding now and those started later, at rate
    // times its recorded speed (the pitch follows) and at volume (0 silent .. 1 as recorded).
    void TuneSound(const std::string& name, double rate, double volume);

    int32_t SongHandle = 0;    // 0 = no module loaded
    int32_t LastSongOrder = 0; // order seen at the previous tick

  private:
    TGameWaveList& m_waveList;
    TModulePlayer& m_player;
    TGameOptions& m_options;
    const TGameScreen& m_gameScreen;
};
