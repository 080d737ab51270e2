#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "Synth.h"
#include "WaveFile.h"
#include "XmModule.h"
#include "XmPlayback.h"

using namespace audiogen;

TEST(AudioGenSynth, NoteNamesAndFrequencies) {
    EXPECT_NEAR(ParseFrequency("A4"), 440.0, 1e-9);
    EXPECT_NEAR(ParseFrequency("A3"), 220.0, 1e-9);
    EXPECT_NEAR(ParseFrequency("C4"), 261.6256, 1e-3);
    EXPECT_EQ(ParseNoteName("F#3"), ParseNoteName("Gb3"));
    EXPECT_EQ(ParseNoteName("C0"), 0);
    EXPECT_EQ(ParseNoteName("B7"), 95);
    EXPECT_NEAR(ParseFrequency("1234.5"), 1234.5, 1e-9);
    for (const char* bad : {"H4", "C", "C8", "C#", "-3", "C4x", "4Hz"})
        EXPECT_THROW(ParseFrequency(bad), std::runtime_error) << bad;
}

TEST(AudioGenSynth, LayerErrorsNameTheProblem) {
    struct Case {
        std::vector<std::string> Tokens;
        std::string Expected;
    } cases[] = {
        {{"wave=pulse"}, "unknown wave"},
        {{"f=abc"}, "bad note"},
        {{"amp=loud"}, "'amp' needs a number"},
        {{"colour=red"}, "unknown layer key"},
        {{"f"}, "key=value"},
        {{"repeat=0"}, "repeat count"},
        {{"f=0"}, "needs a frequency"},
        {{"arp=0,4:0"}, "arp step"},
    };
    for (const auto& c : cases) {
        try {
            ParseLayer(c.Tokens);
            ADD_FAILURE() << c.Tokens[0] << " was accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.Expected), std::string::npos) << e.what();
        }
    }
}

TEST(AudioGenSynth, NoiseIsWhiteUnlessGivenAHoldRate) {
    auto crossingsPerSecond = [](const Layer& layer) {
        auto samples = RenderLayers({layer}, 0.5);
        int crossings = 0;
        for (size_t i = 1; i < samples.size(); ++i)
            crossings += (samples[i - 1] < 0) != (samples[i] < 0);
        return crossings * 2.0;
    };
    EXPECT_GT(crossingsPerSecond(ParseLayer({"wave=noise"})), 15000);
    EXPECT_LT(crossingsPerSecond(ParseLayer({"wave=noise", "f=500"})), 600);
}

TEST(AudioGenSynth, CommentsStartOnlyAtAWordBeginningWithHash) {
    EXPECT_EQ(SplitWords("layer f=F#3 amp=1 # a comment f=C4"),
              (std::vector<std::string>{"layer", "f=F#3", "amp=1"}));
}

TEST(AudioGenSynth, CrossfadedLoopJoinsWithoutAJump) {
    // A tone whose period does not divide the loop: without the crossfade the seam would jump.
    Layer tone;
    tone.Freq0 = 437.3;
    tone.Release = 0;
    auto samples = RenderLayers({tone}, 1.0);
    size_t start = 4410, end = 40000;
    CrossfadeLoop(samples, start, end, 2205);
    ASSERT_EQ(samples.size(), end);
    float maxStep = 0;
    for (size_t i = start + 1; i < end; ++i)
        maxStep = std::max(maxStep, std::fabs(samples[i] - samples[i - 1]));
    EXPECT_LE(std::fabs(samples[start] - samples[end - 1]), maxStep * 1.5f);
    EXPECT_THROW(CrossfadeLoop(samples, 100, 30000, 2205), std::runtime_error);
}

TEST(AudioGenWave, WrittenFileParsesBack) {
    std::vector<int16_t> pcm = {0, 1000, -1000, 32767, -32768, 5};
    auto bytes = MakeWaveFile(pcm, 22050);
    ASSERT_EQ(bytes.size(), 44u + pcm.size() * 2);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    uint32_t riffSize = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
    EXPECT_EQ(riffSize, bytes.size() - 8);
    auto info = ParseWaveFile(bytes);
    EXPECT_EQ(info.Channels, 1);
    EXPECT_EQ(info.SampleRate, 22050);
    EXPECT_EQ(info.BitsPerSample, 16);
    EXPECT_EQ(info.Samples, pcm);
    bytes.resize(30);
    EXPECT_THROW(ParseWaveFile(bytes), std::runtime_error);
}

namespace {

// One channel pair, one instrument, one note at row 0.
XmModule SingleNoteModule(const std::vector<float>& sample, int baseSemitone, int playedSemitone) {
    XmModule module;
    module.Name = "pitch";
    module.Channels = 2;
    XmPattern pattern;
    pattern.Rows = 32;
    pattern.Cells.assign(64, XmCell{});
    pattern.Cells[0] = XmCell{static_cast<uint8_t>(playedSemitone + 1), 1, 0, 0, 0};
    module.Patterns = {pattern};
    module.Orders = {0};
    XmInstrument inst;
    inst.Name = "tone";
    inst.Sample = ToPcm16(sample);
    inst.Looped = true;
    inst.LoopStart = 0;
    inst.LoopLength = static_cast<uint32_t>(sample.size());
    TuneSample(inst, SynthRate, baseSemitone);
    module.Instruments = {inst};
    return module;
}

double ZeroCrossingFrequency(const std::vector<int16_t>& mono, size_t from, size_t count) {
    int crossings = 0;
    for (size_t i = from + 1; i < from + count; ++i)
        crossings += (mono[i - 1] < 0) != (mono[i] < 0);
    return crossings / 2.0 / (static_cast<double>(count) / 44100.0);
}

} // namespace

TEST(AudioGenXm, NotesPlayAtTheirPitchInLibxmp) {
    struct Case {
        const char* Base;
        const char* Played;
    } cases[] = {{"C5", "A4"}, {"C2", "A2"}, {"A4", "A4"}, {"C4", "E6"}};
    for (const auto& c : cases) {
        // A single cycle of a sine at the base note is a perfect loop only at whole periods, so take
        // a rate-exact period count: 100 cycles, trimmed to whole samples, and accept the rounding.
        double base = ParseFrequency(c.Base);
        Layer tone;
        tone.Freq0 = base;
        tone.Release = 0;
        tone.Attack = 0;
        size_t cycles = 100;
        auto sample = RenderLayers({tone}, cycles / base);
        auto module = SingleNoteModule(sample, ParseNoteName(c.Base), ParseNoteName(c.Played));
        auto played = PlayXm(WriteXm(module), 2, true);
        ASSERT_TRUE(played.Loaded) << played.Error;
        ASSERT_GT(played.Mono.size(), 30000u);
        double expected = ParseFrequency(c.Played);
        EXPECT_NEAR(ZeroCrossingFrequency(played.Mono, 4410, 22050), expected, expected * 0.01)
            << c.Base << " playing " << c.Played;
    }
}

TEST(AudioGenXm, OrderListWrapsToTheStartAfterItsLength) {
    XmModule module;
    module.Channels = 4;
    module.Speed = 6;
    module.Bpm = 125;
    for (int rows : {64, 32}) {
        XmPattern p;
        p.Rows = rows;
        p.Cells.assign(static_cast<size_t>(rows * 4), XmCell{});
        module.Patterns.push_back(p);
    }
    module.Orders = {0, 1, 1, 0};
    auto played = PlayXm(WriteXm(module), 60, false);
    ASSERT_TRUE(played.Loaded) << played.Error;
    EXPECT_EQ(played.Orders, 4);
    EXPECT_EQ(played.RestartPosition, 0);
    EXPECT_EQ(played.OrderAfterWrap, 0);
    EXPECT_NEAR(played.WrapSeconds, 192 * 6 * 2.5 / 125, 0.05);
}

TEST(AudioGenXm, WriterRejectsWhatTheFormatCannotHold) {
    XmModule good;
    good.Channels = 2;
    XmPattern p;
    p.Rows = 4;
    p.Cells.assign(8, XmCell{});
    good.Patterns = {p};
    good.Orders = {0};
    EXPECT_NO_THROW(WriteXm(good));
    auto broken = [&](auto change) {
        XmModule m = good;
        change(m);
        return m;
    };
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.Orders = {1}; })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.Orders.clear(); })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.Channels = 3; })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.RestartPosition = 1; })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.Patterns[0].Cells.pop_back(); })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) { m.Patterns[0].Cells[0].Note = 98; })), std::runtime_error);
    EXPECT_THROW(WriteXm(broken([](XmModule& m) {
                     XmInstrument i;
                     i.Sample = {1, 2, 3};
                     i.Looped = true;
                     i.LoopStart = 2;
                     i.LoopLength = 2;
                     m.Instruments = {i};
                 })),
                 std::runtime_error);
}
