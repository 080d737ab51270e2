#include "engine/audio/GameSound.h"

#include "engine/audio/AudioErrors.h"
#include "engine/platform/Platform.h"

#include <algorithm>

TGameSound::TGameSound(IPlatform* platform) : m_platform(platform) {}

TGameSound::~TGameSound() {
    Finalize();
    Notify(TSoundNotifyType::Destroying);
}

void TGameSound::Initialize() {
    Finalize();
    if (!OpenDevice()) {
        throw EDirectSoundError(AudioMessages::CannotBeInitialized("DirectSound"));
    }
    NotifyInitialized();
}

bool TGameSound::AutoInitialize() {
    // Only the missing device is forgiven; a listener failing to restore is still an error.
    Finalize();
    if (!OpenDevice()) {
        return false;
    }
    NotifyInitialized();
    return true;
}

bool TGameSound::OpenDevice() {
    TAudioSpec obtained;
    if (!m_platform || !m_platform->OpenAudio(&m_mixer, obtained)) {
        return false;
    }
    m_mixer.SetDevice(m_platform, obtained.Rate);
    m_initialized = true;
    return true;
}

void TGameSound::NotifyInitialized() {
    Notify(TSoundNotifyType::Initializing);
    Notify(TSoundNotifyType::Initialize);
    Notify(TSoundNotifyType::Restore);
}

void TGameSound::Finalize() {
    if (!m_initialized) {
        return;
    }
    Notify(TSoundNotifyType::Finalize);
    m_initialized = false;
    m_platform->CloseAudio();
    m_mixer.SetDevice(nullptr, 0);
}

int TGameSound::RegisterNotifyEvent(TNotifyEvent event) {
    const int id = m_nextListenerId++;
    m_listeners.push_back({id, event});
    if (m_initialized) {
        event(*this, TSoundNotifyType::Initialize);
        event(*this, TSoundNotifyType::Restore);
    }
    return id;
}

void TGameSound::UnRegisterNotifyEvent(int id) {
    std::erase_if(m_listeners, [id](const TListener& listener) { return listener.Id == id; });
}

void TGameSound::Notify(TSoundNotifyType type) {
    // A listener may unregister itself or another while it is being told: walk the ids and
    // call only those still registered.
    std::vector<int> ids;
    ids.reserve(m_listeners.size());
    for (const TListener& listener : m_listeners) {
        ids.push_back(listener.Id);
    }
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        auto it = std::find_if(m_listeners.begin(), m_listeners.end(),
                               [&](const TListener& listener) { return listener.Id == *id; });
        if (it != m_listeners.end()) {
            TNotifyEvent event = it->Event;
            event(*this, type);
        }
    }
}
