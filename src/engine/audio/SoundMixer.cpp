#include "engine/audio/SoundMixer.h"

#include <algorithm>
#include <cassert>

TMixerChannel::~TMixerChannel() {
    // Detaching here would be too late: the audio thread could meet a half-destroyed channel.
    assert(m_mixer == nullptr && "a mixer channel must detach itself in its own destructor");
}

void TMixerChannel::DetachFromMixer() {
    if (m_mixer) {
        TMixerLock lock(*m_mixer);
        m_mixer->Detach(*this);
    }
}

TSoundVoice::TSoundVoice(TSharedSamples samples) : m_samples(std::move(samples)) {
    if (m_samples) {
        m_data = m_samples->data();
        m_frames = static_cast<int64_t>(m_samples->size() / 2);
    }
}

TSoundVoice::~TSoundVoice() {
    DetachFromMixer();
}

void TSoundVoice::Start(bool looping) {
    m_position = 0;
    m_looping = looping;
    m_playing = m_frames > 0;
}

void TSoundVoice::Stop() {
    m_playing = false;
}

void TSoundVoice::MixInto(int32_t* acc, int frames) {
    while (m_playing && frames > 0) {
        const int take = static_cast<int>(std::min<int64_t>(frames, m_frames - m_position));
        const int16_t* src = m_data + m_position * 2;
        for (int i = 0; i < take * 2; ++i) {
            acc[i] += src[i];
        }
        acc += take * 2;
        frames -= take;
        m_position += take;
        if (m_position >= m_frames) {
            m_position = 0;
            m_playing = m_looping;
        }
    }
}

TSoundMixer::~TSoundMixer() {
    // Channels that outlive the mixer must not reach back into it.
    Lock();
    while (m_first) {
        TMixerChannel* channel = m_first;
        m_first = channel->m_next;
        channel->m_mixer = nullptr;
        channel->m_prev = channel->m_next = nullptr;
    }
    Unlock();
}

void TSoundMixer::SetDevice(IPlatform* platform, int rate) {
    m_device = platform;
    if (rate > 0) {
        m_rate = rate;
    }
}

void TSoundMixer::Lock() {
    if (m_device) {
        m_device->LockAudio();
    }
}

void TSoundMixer::Unlock() {
    if (m_device) {
        m_device->UnlockAudio();
    }
}

void TSoundMixer::Attach(TMixerChannel& channel) {
    if (channel.m_mixer) {
        return;
    }
    channel.m_mixer = this;
    channel.m_prev = nullptr;
    channel.m_next = m_first;
    if (m_first) {
        m_first->m_prev = &channel;
    }
    m_first = &channel;
}

void TSoundMixer::Detach(TMixerChannel& channel) {
    if (channel.m_mixer != this) {
        return;
    }
    if (channel.m_prev) {
        channel.m_prev->m_next = channel.m_next;
    } else {
        m_first = channel.m_next;
    }
    if (channel.m_next) {
        channel.m_next->m_prev = channel.m_prev;
    }
    channel.m_mixer = nullptr;
    channel.m_prev = channel.m_next = nullptr;
}

void TSoundMixer::Mix(int16_t* out, int frames) {
    while (frames > 0) {
        const int n = std::min(frames, kChunkFrames);
        std::fill_n(m_acc.begin(), n * 2, 0);
        for (TMixerChannel* channel = m_first; channel; channel = channel->m_next) {
            channel->MixInto(m_acc.data(), n);
        }
        for (int i = 0; i < n * 2; ++i) {
            out[i] = static_cast<int16_t>(std::clamp<int32_t>(m_acc[i], INT16_MIN, INT16_MAX));
        }
        out += n * 2;
        frames -= n;
    }
}
