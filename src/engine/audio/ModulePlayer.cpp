#include "engine/audio/ModulePlayer.h"

#include <algorithm>
#include <atomic>
#include <xmp.h>

// One loaded module with its own player context. The game thread loads, attaches and frees it;
// the audio thread renders it frame by frame inside MixInto.
class TModuleSong final : public TMixerChannel {
  public:
    TModuleSong() : m_context(xmp_create_context()) {}

    ~TModuleSong() override {
        DetachFromMixer();
        if (m_started) {
            xmp_end_player(m_context);
        }
        if (m_loaded) {
            xmp_release_module(m_context);
        }
        if (m_context) {
            xmp_free_context(m_context);
        }
    }

    bool Load(const std::string& fileName, int rate) {
        if (!m_context || xmp_load_module(m_context, fileName.c_str()) != 0) {
            return false;
        }
        m_loaded = true;
        if (xmp_start_player(m_context, rate, 0) != 0) {
            return false;
        }
        m_started = true;
        return true;
    }

    int32_t Order() const { return m_order.load(std::memory_order_relaxed); }
    TMixerGroup Group() const override { return TMixerGroup::Music; }

    void MixInto(int32_t* acc, int frames) override {
        while (frames > 0) {
            if (m_pendingFrames == 0 && !RenderFrame()) {
                return;
            }
            const int take = std::min(frames, m_pendingFrames);
            for (int i = 0; i < take * 2; ++i) {
                acc[i] += m_pending[i];
            }
            acc += take * 2;
            frames -= take;
            m_pending += take * 2;
            m_pendingFrames -= take;
        }
    }

  private:
    // Renders the next tick of the module into the player's own buffer.
    bool RenderFrame() {
        if (xmp_play_frame(m_context) != 0) {
            return false;
        }
        xmp_frame_info info;
        xmp_get_frame_info(m_context, &info);
        if (info.loop_count > m_loopCount) {
            // The player has looped on its own, to the module's restart position; begin again at
            // order 0 instead so that the wrap shows, and drop the tick it rendered.
            m_loopCount = info.loop_count;
            xmp_restart_module(m_context);
            // Some player versions apply the restart one tick late: drop ticks until order 0.
            for (int tries = 0; tries < 4; ++tries) {
                if (xmp_play_frame(m_context) != 0) {
                    return false;
                }
                xmp_get_frame_info(m_context, &info);
                if (info.pos == 0) {
                    break;
                }
            }
            m_loopCount = info.loop_count;
        }
        m_order.store(info.pos, std::memory_order_relaxed);
        m_pending = static_cast<const int16_t*>(info.buffer);
        m_pendingFrames = info.buffer_size / 4;
        return m_pendingFrames > 0;
    }

    xmp_context m_context;
    bool m_loaded = false;
    bool m_started = false;
    int m_loopCount = 0;
    const int16_t* m_pending = nullptr;
    int m_pendingFrames = 0;
    std::atomic<int32_t> m_order{0};
};

TModulePlayer::TModulePlayer(TSoundMixer& mixer) : m_mixer(mixer) {}

TModulePlayer::~TModulePlayer() = default;

int32_t TModulePlayer::SongLoadFromFile(const std::string& fileName) {
    auto song = std::make_unique<TModuleSong>();
    if (!song->Load(fileName, m_mixer.Rate())) {
        return 0;
    }
    const int32_t handle = m_nextHandle++;
    if (m_nextHandle <= 0) {
        m_nextHandle = 1;
    }
    m_songs[handle] = std::move(song);
    return handle;
}

void TModulePlayer::SongPlay(int32_t handle) {
    auto it = m_songs.find(handle);
    if (it != m_songs.end()) {
        TMixerLock lock(m_mixer);
        m_mixer.Attach(*it->second);
    }
}

void TModulePlayer::SongFree(int32_t handle) {
    auto it = m_songs.find(handle);
    if (it == m_songs.end()) {
        return;
    }
    std::unique_ptr<TModuleSong> song = std::move(it->second);
    m_songs.erase(it);
    song.reset(); // detaches under the lock, releases the module outside it
}

int32_t TModulePlayer::SongGetOrder(int32_t handle) const {
    auto it = m_songs.find(handle);
    return it == m_songs.end() ? 0 : it->second->Order();
}

bool TModulePlayer::SongPlaying(int32_t handle) const {
    auto it = m_songs.find(handle);
    return it != m_songs.end() && it->second->Attached();
}
