#include "engine/audio/SoundMixer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

TSharedSamples Samples(std::vector<int16_t> interleaved) {
    return std::make_shared<const std::vector<int16_t>>(std::move(interleaved));
}

// Frame i holds (100 i, -100 i).
TSharedSamples Ramp(int frames) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i) {
        s.push_back(static_cast<int16_t>(100 * i));
        s.push_back(static_cast<int16_t>(-100 * i));
    }
    return Samples(std::move(s));
}

// Left samples of Frames mixed frames.
std::vector<int> MixLeft(TSoundMixer& mixer, int frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    mixer.Mix(out.data(), frames);
    std::vector<int> left;
    for (int i = 0; i < frames; ++i)
        left.push_back(out[static_cast<size_t>(i) * 2]);
    return left;
}

// Attaches the voice for the length of a test and takes it out again.
class Attached {
  public:
    Attached(TSoundMixer& mixer, TSoundVoice& voice) : m_mixer(mixer), m_voice(voice) { mixer.Attach(voice); }
    ~Attached() { m_mixer.Detach(m_voice); }
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;

  private:
    TSoundMixer& m_mixer;
    TSoundVoice& m_voice;
};

} // namespace

TEST(SoundMixer, SumsVoicesAndLimitsSoftlyInsteadOfClipping) {
    TSoundMixer mixer;
    auto loud = Samples({30000, -30000, 30000, -30000});
    TSoundVoice a(loud), b(loud), c(Samples({5, 6}));
    Attached ka(mixer, a), kb(mixer, b), kc(mixer, c);
    a.Start(false);
    b.Start(false);
    c.Start(true); // loops its single frame
    std::vector<int16_t> out(8, 99);
    mixer.Mix(out.data(), 4);
    // 60000 is squeezed under full scale, not cut at it; quiet sound passes untouched.
    EXPECT_GT(out[0], 32000);
    EXPECT_LT(out[0], 32767);
    EXPECT_EQ(out[1], -out[0]);
    EXPECT_EQ(out[2], out[0]);
    EXPECT_EQ((std::vector<int16_t>(out.begin() + 4, out.end())), (std::vector<int16_t>{5, 6, 5, 6}));
    EXPECT_FALSE(a.Playing());
    EXPECT_TRUE(c.Playing());
}

TEST(SoundMixer, LimiterLeavesQuietSumsAloneAndBendsLoudOnesSmoothly) {
    constexpr int32_t knee = TSoundMixer::kLimiterKnee;
    for (int32_t x : {0, 1, -1, 1000, -12345, knee, -knee})
        EXPECT_EQ(TSoundMixer::Limit(x), x) << x;
    // Just past the knee the slope is still 1: no kink where limiting begins.
    EXPECT_NEAR(TSoundMixer::Limit(knee + 200) - knee, 200, 2);
    // A sum at full scale is already rounded off; nothing, however large, goes past full scale.
    EXPECT_LT(TSoundMixer::Limit(32767), 30000);
    EXPECT_EQ(TSoundMixer::Limit(INT32_MAX), 32767);
    EXPECT_EQ(TSoundMixer::Limit(INT32_MIN), -32767);
    int previous = TSoundMixer::Limit(0);
    for (int64_t x = 0; x <= 400000; x += 37) {
        const int y = TSoundMixer::Limit(static_cast<int32_t>(x));
        ASSERT_GE(y, previous) << x;
        ASSERT_LE(y - previous, 37) << x; // never steeper than the sum itself
        ASSERT_EQ(TSoundMixer::Limit(static_cast<int32_t>(-x)), -y) << x;
        previous = y;
    }
}

TEST(SoundVoice, RatePlaysFasterOrSlowerWithInterpolatedSamples) {
    struct Case {
        double Rate;
        bool Looping;
        int Frames;
        std::vector<int> Left;
        bool PlayingAfter;
    } cases[] = {
        // Half speed: every other sample lies halfway; the last one leans towards the silence after.
        {0.5,
         false,
         22,
         {0,   50,  100, 150, 200, 250, 300, 350, 400, 450, 500,
          550, 600, 650, 700, 750, 800, 850, 900, 450, 0,   0},
         false},
        {2, false, 7, {0, 200, 400, 600, 800, 0, 0}, false},
        // A loop read across its end blends its last frame into its first.
        {0.75, true, 15, {0, 75, 150, 225, 300, 375, 450, 525, 600, 675, 750, 825, 900, 225, 50}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Rate);
        TSoundMixer mixer;
        TSoundVoice voice(Ramp(10));
        Attached keep(mixer, voice);
        voice.SetRate(c.Rate);
        voice.Start(c.Looping);
        EXPECT_EQ(MixLeft(mixer, c.Frames), c.Left);
        EXPECT_EQ(voice.Playing(), c.PlayingAfter);
    }
}

TEST(SoundVoice, VolumeAndRateGlideOnASoundingVoiceAndApplyAtOnceOnASilentOne) {
    TSoundMixer mixer;
    TSoundVoice voice(Samples(std::vector<int16_t>(2 * 20000, 10000)));
    Attached keep(mixer, voice);
    voice.SetVolume(0.25); // silent: taken at once
    voice.Start(true);
    EXPECT_EQ(MixLeft(mixer, 1)[0], 2500);

    voice.SetVolume(0.75);
    auto left = MixLeft(mixer, TSoundVoice::kGlideFrames + 10);
    const int step = 5000 / TSoundVoice::kGlideFrames + 1;
    int previous = 2500;
    for (int v : left) {
        ASSERT_GE(v, previous);
        ASSERT_LE(v - previous, step) << "the level jumps";
        previous = v;
    }
    EXPECT_EQ(left[TSoundVoice::kGlideFrames - 1], 7500);
    EXPECT_EQ(left.back(), 7500);

    // Speeding up from 1 to 3 covers twice the ground of the old speed while it glides.
    const int64_t before = voice.Position();
    voice.SetRate(3);
    MixLeft(mixer, TSoundVoice::kGlideFrames);
    EXPECT_NEAR(static_cast<double>(voice.Position() - before), 2.0 * TSoundVoice::kGlideFrames, 2);
    const int64_t glided = voice.Position();
    MixLeft(mixer, 100);
    EXPECT_EQ(voice.Position() - glided, 300);
}

TEST(SoundVoice, RateAndVolumeAreHeldToTheirRangeAndNotANumberIsIgnored) {
    TSoundVoice voice(Ramp(4));
    struct Case {
        double Set, Rate, Volume;
    } cases[] = {
        {100, TSoundVoice::kMaxRate, 1},
        {-2, TSoundVoice::kMinRate, 0},
        {0.5, 0.5, 0.5},
        {std::nan(""), 0.5, 0.5},
    };
    for (const auto& c : cases) {
        voice.SetRate(c.Set);
        voice.SetVolume(c.Set);
        EXPECT_EQ(voice.Rate(), c.Rate) << c.Set;
        EXPECT_EQ(voice.Volume(), c.Volume) << c.Set;
    }
}

TEST(SoundMixer, ChannelsOutlivingTheMixerAreLetGo) {
    auto samples = std::make_shared<const std::vector<int16_t>>(std::vector<int16_t>{1, 1});
    TSoundVoice voice(samples);
    {
        TSoundMixer mixer;
        mixer.Attach(voice);
        EXPECT_TRUE(voice.Attached());
    }
    EXPECT_FALSE(voice.Attached());
}

namespace {
// Music at a steady level, for the group levels.
class TSteadyMusic final : public TMixerChannel {
  public:
    explicit TSteadyMusic(int32_t value) : m_value(value) {}
    ~TSteadyMusic() override { DetachFromMixer(); }
    void MixInto(int32_t* acc, int frames) override {
        for (int i = 0; i < frames * 2; ++i) {
            acc[i] += m_value;
        }
    }
    TMixerGroup Group() const override { return TMixerGroup::Music; }

  private:
    int32_t m_value;
};
} // namespace

// Music and effects each have a level of their own; the steps are heard in the mix.
TEST(SoundMixer, MusicAndEffectsLevelsScaleEachGroupAlone) {
    TSoundMixer mixer;
    TSteadyMusic music(4000);
    TSoundVoice effect(Samples({1000, 1000}));
    mixer.Attach(music);
    Attached ke(mixer, effect);
    effect.Start(true);
    struct Case {
        int music, effects, expected;
    };
    for (const Case& c : {Case{100, 100, 5000}, Case{50, 100, 3000}, Case{100, 30, 4300}, Case{0, 100, 1000},
                          Case{10, 0, 400}, Case{0, 0, 0}}) {
        mixer.SetLevel(TMixerGroup::Music, c.music);
        mixer.SetLevel(TMixerGroup::Effects, c.effects);
        const std::vector<int> left = MixLeft(mixer, 600); // past the chunk size
        EXPECT_EQ(left.front(), c.expected) << c.music << " / " << c.effects;
        EXPECT_EQ(left.back(), c.expected) << c.music << " / " << c.effects;
    }
    mixer.SetLevel(TMixerGroup::Music, 150);
    EXPECT_EQ(mixer.Level(TMixerGroup::Music), 100);
    mixer.Detach(music);
}
