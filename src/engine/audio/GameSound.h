#pragma once

#include "engine/audio/SoundMixer.h"

#include <functional>
#include <vector>

class IPlatform;

// What the sound component tells the objects that hang on it.
enum class TSoundNotifyType { Initializing, Initialize, Finalize, Restore, Destroying };

// The sound component: owns the mixer and opens the platform's audio device for it. Listeners
// (the wave lists) follow its Initialize, Restore and Finalize notifications.
class TGameSound {
  public:
    using TNotifyEvent = std::function<void(TGameSound& sender, TSoundNotifyType type)>;

    // platform may be null: there is no device and the game runs silent.
    explicit TGameSound(IPlatform* platform);
    ~TGameSound();
    TGameSound(const TGameSound&) = delete;
    TGameSound& operator=(const TGameSound&) = delete;

    // Opens the device and notifies initializing, initialize and restore. Throws
    // EDirectSoundError ("DirectSound cannot be initialized") when there is no device.
    void Initialize();
    // What the component does by itself once its form is loaded: a missing device is not an
    // error, the game then runs silent. Returns whether a device is open.
    bool AutoInitialize();
    // Notifies finalize and closes the device.
    void Finalize();
    bool Initialized() const { return m_initialized; }

    TSoundMixer& Mixer() { return m_mixer; }

    // Listeners are notified in reverse order of registration. A listener registered while the
    // component is initialized is told initialize and restore at once.
    int RegisterNotifyEvent(TNotifyEvent event);
    void UnRegisterNotifyEvent(int id);

  private:
    bool OpenDevice();
    void NotifyInitialized();
    void Notify(TSoundNotifyType type);

    struct TListener {
        int Id;
        TNotifyEvent Event;
    };

    IPlatform* m_platform;
    TSoundMixer m_mixer;
    bool m_initialized = false;
    int m_nextListenerId = 1;
    std::vector<TListener> m_listeners;
};
