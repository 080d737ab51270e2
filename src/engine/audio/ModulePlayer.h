#pragma once

#include "engine/audio/SoundMixer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class TModuleSong;

// Tracker music rendered into the effect mixer. Songs are known by handle (0 = none). A playing
// song runs on its own, pulled by the mixer; at the module's end it goes back to order 0 and
// plays on, whatever restart position the module names, so its order reads 0 after the end.
// The order can be polled from the game thread at any time.
class TModulePlayer {
  public:
    explicit TModulePlayer(TSoundMixer& mixer);
    ~TModulePlayer();
    TModulePlayer(const TModulePlayer&) = delete;
    TModulePlayer& operator=(const TModulePlayer&) = delete;

    // Loads a module file; 0 when it is missing, unreadable or not a module.
    int32_t SongLoadFromFile(const std::string& fileName);
    // Starts background playback from where the song stands (its start after loading).
    void SongPlay(int32_t handle);
    // Stops the song and releases it; unknown handles are ignored.
    void SongFree(int32_t handle);
    // Pattern-order position of the song, 0 at its start; 0 for unknown handles.
    int32_t SongGetOrder(int32_t handle) const;

    int SongCount() const { return static_cast<int>(m_songs.size()); }
    bool SongPlaying(int32_t handle) const;

  private:
    TSoundMixer& m_mixer;
    int32_t m_nextHandle = 1;
    std::map<int32_t, std::unique_ptr<TModuleSong>> m_songs;
};
