#pragma once

#include "engine/platform/Platform.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TSoundMixer;

// What a channel carries: the two take separate volume levels.
enum class TMixerGroup { Effects, Music };

// Something the mixer adds into the output: a recording's voice or a playing module. Channels
// sit in an intrusive list so that attaching and detaching under the device lock never allocate.
// A derived class detaches itself in its own destructor, before its members go away.
class TMixerChannel {
  public:
    TMixerChannel() = default;
    virtual ~TMixerChannel();
    TMixerChannel(const TMixerChannel&) = delete;
    TMixerChannel& operator=(const TMixerChannel&) = delete;

    // Audio thread, device lock held: adds Frames stereo frames into acc (interleaved L, R).
    virtual void MixInto(int32_t* acc, int frames) = 0;
    virtual TMixerGroup Group() const { return TMixerGroup::Effects; }

    bool Attached() const { return m_mixer != nullptr; }

  protected:
    // Takes the channel out of its mixer's list under the mixer's lock.
    void DetachFromMixer();

  private:
    friend class TSoundMixer;
    TSoundMixer* m_mixer = nullptr;
    TMixerChannel* m_prev = nullptr;
    TMixerChannel* m_next = nullptr;
};

// Samples at the device rate, interleaved stereo: shared by a recording's main buffer and all
// of its duplicates.
using TSharedSamples = std::shared_ptr<const std::vector<int16_t>>;

// One playable instance of a recording: position, playing and looping state, speed and volume.
// Start, Stop, the setters and the status reads are called with the mixer locked (TMixerLock).
class TSoundVoice final : public TMixerChannel {
  public:
    static constexpr double kMinRate = 1.0 / 16;
    static constexpr double kMaxRate = 4;
    // A sounding voice reaches a new speed or volume over this many frames (about 6 ms), so that
    // changing them every game tick neither clicks nor steps.
    static constexpr int kGlideFrames = 256;

    explicit TSoundVoice(TSharedSamples samples);
    ~TSoundVoice() override;

    void Start(bool looping); // from the beginning, at the speed and volume set
    void Stop();
    bool Playing() const { return m_playing; }
    bool Looping() const { return m_playing && m_looping; }
    int64_t Position() const { return m_position; } // in whole frames
    int64_t Frames() const { return m_frames; }
    const TSharedSamples& Samples() const { return m_samples; }

    // Speed against the samples' own (1 = as they are, 2 = twice as fast and an octave up), held to
    // kMinRate..kMaxRate; volume 0 (silent) .. 1 (as recorded). A value that is not a number is
    // ignored. A silent voice takes them at once, a sounding one glides there.
    void SetRate(double rate);
    void SetVolume(double volume);
    double Rate() const { return m_rate; }
    double Volume() const { return m_volume; }

    void MixInto(int32_t* acc, int frames) override;

  private:
    void StartGlide();
    // Linear interpolation between frames; a looped voice reads across its end into its start.
    void MixResampled(int32_t* acc, int frames);

    TSharedSamples m_samples;
    const int16_t* m_data = nullptr;
    int64_t m_frames = 0;
    int64_t m_position = 0;
    uint32_t m_fraction = 0; // of the next frame, in 1/2^32
    bool m_playing = false;
    bool m_looping = false;

    double m_rate = 1, m_volume = 1;         // where the voice is going
    double m_nowRate = 1, m_nowVolume = 1;   // where it is
    double m_rateStep = 0, m_volumeStep = 0; // per frame while gliding
    int m_glideLeft = 0;
};

// Our own effect mixer: sums every attached channel and passes the sum through a soft limiter:
// below kLimiterKnee it is untouched, above it bends smoothly towards full scale, so that a loud
// moment rounds off instead of clipping with a crack.
// The game thread changes channels only under TMixerLock, which holds the device lock while a
// device is open; the audio thread calls Mix with that lock held.
class TSoundMixer final : public IAudioSource {
  public:
    TSoundMixer() = default;
    ~TSoundMixer() override;
    TSoundMixer(const TSoundMixer&) = delete;
    TSoundMixer& operator=(const TSoundMixer&) = delete;

    // The device the mixer feeds, or none; set by the sound component around opening and closing.
    void SetDevice(IPlatform* platform, int rate);
    IPlatform* Device() const { return m_device; }
    int Rate() const { return m_rate; }

    void Lock();
    void Unlock();

    // Call with the mixer locked.
    void Attach(TMixerChannel& channel);
    void Detach(TMixerChannel& channel);

    void Mix(int16_t* out, int frames) override;

    // The level of a group, 0 (silent) .. 100 (as mixed); call with the mixer locked.
    void SetLevel(TMixerGroup group, int percent);
    int Level(TMixerGroup group) const { return m_levels[static_cast<size_t>(group)]; }

    static constexpr int kDefaultRate = 44100;
    // Where the limiter starts to bend, as a sample value: -6 dBFS.
    static constexpr int32_t kLimiterKnee = 16384;

    // The output stage alone: what a summed sample becomes. Odd, rising, the identity up to the
    // knee, and never beyond 16-bit full scale however large the sum.
    static int16_t Limit(int32_t sum);

  private:
    static constexpr int kChunkFrames = 512;

    IPlatform* m_device = nullptr;
    int m_rate = kDefaultRate;
    TMixerChannel* m_first = nullptr;
    std::array<int32_t, kChunkFrames * 2> m_acc{};
    std::array<int32_t, kChunkFrames * 2> m_groupAcc{};
    std::array<int, 2> m_levels{100, 100};
};

// Holds the mixer's lock for a scope.
class TMixerLock {
  public:
    explicit TMixerLock(TSoundMixer& mixer) : m_mixer(mixer) { m_mixer.Lock(); }
    ~TMixerLock() { m_mixer.Unlock(); }
    TMixerLock(const TMixerLock&) = delete;
    TMixerLock& operator=(const TMixerLock&) = delete;

  private:
    TSoundMixer& m_mixer;
};
