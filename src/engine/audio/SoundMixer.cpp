#include "engine/audio/SoundMixer.h"

#include <algorithm>
#include <cassert>
#include <cmath>

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
    m_fraction = 0;
    m_looping = looping;
    m_playing = m_frames > 0;
    // A sound that starts has nothing to glide from.
    m_nowRate = m_rate;
    m_nowVolume = m_volume;
    m_glideLeft = 0;
}

void TSoundVoice::Stop() {
    m_playing = false;
}

void TSoundVoice::SetRate(double rate) {
    if (std::isnan(rate)) {
        return;
    }
    m_rate = std::clamp(rate, kMinRate, kMaxRate);
    StartGlide();
}

void TSoundVoice::SetVolume(double volume) {
    if (std::isnan(volume)) {
        return;
    }
    m_volume = std::clamp(volume, 0.0, 1.0);
    StartGlide();
}

void TSoundVoice::StartGlide() {
    if (!m_playing) {
        m_nowRate = m_rate;
        m_nowVolume = m_volume;
        m_glideLeft = 0;
        return;
    }
    m_rateStep = (m_rate - m_nowRate) / kGlideFrames;
    m_volumeStep = (m_volume - m_nowVolume) / kGlideFrames;
    m_glideLeft = kGlideFrames;
}

void TSoundVoice::MixInto(int32_t* acc, int frames) {
    if (m_glideLeft > 0 || m_nowRate != 1 || m_nowVolume != 1 || m_fraction != 0) {
        MixResampled(acc, frames);
        return;
    }
    // As recorded: the samples are added as they are.
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

void TSoundVoice::MixResampled(int32_t* acc, int frames) {
    constexpr double kFractionUnit = 4294967296.0; // 2^32
    for (; m_playing && frames > 0; --frames, acc += 2) {
        if (m_glideLeft > 0) {
            m_nowRate += m_rateStep;
            m_nowVolume += m_volumeStep;
            if (--m_glideLeft == 0) {
                m_nowRate = m_rate;
                m_nowVolume = m_volume;
            }
        }
        const int16_t* here = m_data + m_position * 2;
        const int16_t* next = nullptr;
        if (m_position + 1 < m_frames) {
            next = here + 2;
        } else if (m_looping) {
            next = m_data;
        }
        const auto t = static_cast<float>(m_fraction / kFractionUnit);
        const auto volume = static_cast<float>(m_nowVolume);
        for (int side = 0; side < 2; ++side) {
            const float a = here[side];
            const float b = next ? next[side] : 0.0f;
            const float v = (a + (b - a) * t) * volume;
            acc[side] += static_cast<int32_t>(v + (v < 0 ? -0.5f : 0.5f));
        }
        const uint64_t advanced = m_fraction + static_cast<uint64_t>(m_nowRate * kFractionUnit);
        m_fraction = static_cast<uint32_t>(advanced);
        m_position += static_cast<int64_t>(advanced >> 32);
        if (m_position >= m_frames) {
            if (m_looping) {
                m_position %= m_frames;
            } else {
                m_position = 0;
                m_fraction = 0;
                m_playing = false;
            }
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
        for (TMixerGroup group : {TMixerGroup::Effects, TMixerGroup::Music}) {
            const int level = Level(group);
            if (level == 0) {
                continue;
            }
            // At full level the group mixes straight in, as it always did.
            int32_t* into = level == 100 ? m_acc.data() : m_groupAcc.data();
            if (level != 100) {
                std::fill_n(m_groupAcc.begin(), n * 2, 0);
            }
            for (TMixerChannel* channel = m_first; channel; channel = channel->m_next) {
                if (channel->Group() == group) {
                    channel->MixInto(into, n);
                }
            }
            if (level != 100) {
                for (int i = 0; i < n * 2; ++i) {
                    m_acc[i] += static_cast<int32_t>(static_cast<int64_t>(m_groupAcc[i]) * level / 100);
                }
            }
        }
        for (int i = 0; i < n * 2; ++i) {
            out[i] = Limit(m_acc[i]);
        }
        out += n * 2;
        frames -= n;
    }
}

void TSoundMixer::SetLevel(TMixerGroup group, int percent) {
    m_levels[static_cast<size_t>(group)] = std::clamp(percent, 0, 100);
}

int16_t TSoundMixer::Limit(int32_t sum) {
    if (sum >= -kLimiterKnee && sum <= kLimiterKnee) {
        return static_cast<int16_t>(sum);
    }
    // Above the knee the sum follows a tanh that leaves it with the slope 1 it had and flattens
    // out at full scale: loud peaks are squeezed, quieter sound underneath is left alone.
    constexpr double kRoom = INT16_MAX - kLimiterKnee;
    const double over = (std::abs(static_cast<double>(sum)) - kLimiterKnee) / kRoom;
    const auto magnitude = static_cast<int32_t>(std::lround(kLimiterKnee + kRoom * std::tanh(over)));
    return static_cast<int16_t>(sum < 0 ? -magnitude : magnitude);
}
