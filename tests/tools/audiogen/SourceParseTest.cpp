#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "Effects.h"
#include "Song.h"

using namespace audiogen;

namespace {

std::string ErrorOf(void (*parse)(const std::string&), const std::string& text) {
    try {
        parse(text);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(accepted)";
}

void ParseEffectsText(const std::string& text) {
    std::istringstream in(text);
    ParseEffects(in, "fx.txt");
}

void ParseSongText(const std::string& text) {
    std::istringstream in(text);
    ParseSong(in, "song.txt");
}

const std::string SongHead = "channels 4\n"
                             "instrument Tone base=C4 len=0.2\n"
                             "layer wave=sine f=C4\n";

} // namespace

TEST(AudioGenSources, EffectErrorsNameFileAndLine) {
    struct Case {
        std::string Text, Expected;
    } cases[] = {
        {"layer wave=sine f=100\n", "fx.txt:1: layer before any effect"},
        {"effect A len=0.1\nlayer wave=sine f=100\n\neffect A len=0.1\n",
         "fx.txt:4: effect 'A' defined twice"},
        {"effect A\n", "fx.txt:1: effect 'A' needs len="},
        {"effect A len=0.1 max=-1\n", "fx.txt:1: max= must not be negative"},
        {"effect A len=0.1 loud\n", "fx.txt:1: unknown effect option 'loud'"},
        {"effect A len=short\n", "fx.txt:1: bad number in 'len=short'"},
        {"effect A len=0.1\nlayer wave=sine f=100 q\n", "fx.txt:2: expected key=value"},
        {"effect A len=0.1\n", "fx.txt: effect 'A' has no layers"},
        {"sound A\n", "fx.txt:1: expected 'effect' or 'layer'"},
    };
    for (const auto& c : cases)
        EXPECT_NE(ErrorOf(ParseEffectsText, c.Text).find(c.Expected), std::string::npos)
            << ErrorOf(ParseEffectsText, c.Text);
}

TEST(AudioGenSources, EffectsAreEquallyLoudAndLoopsCloseTheirSeam) {
    std::istringstream in("effect Quiet len=0.3\nlayer wave=sine f=300 amp=0.01\n"
                          "effect Loud len=0.3\nlayer wave=saw f=300 amp=5\n"
                          "effect Hum loop len=0.5\nlayer wave=saw f=97.3 am=7:0.5\n");
    auto effects = ParseEffects(in, "fx.txt");
    ASSERT_EQ(effects.size(), 3u);
    auto quiet = RenderEffect(effects[0]), loud = RenderEffect(effects[1]), hum = RenderEffect(effects[2]);
    auto rms = [](const std::vector<int16_t>& pcm) {
        std::vector<float> f(pcm.begin(), pcm.end());
        return LoudestWindowRms(f, 2205);
    };
    EXPECT_NEAR(rms(quiet) / rms(loud), 1.0, 0.1);
    ASSERT_EQ(hum.size(), static_cast<size_t>(0.5 * SynthRate));
    // The step from the last sample back to the first is no bigger than a saw's ordinary steps.
    EXPECT_LT(std::abs(hum.back() - hum.front()), 1500);
}

namespace {

double MeanOf(const std::vector<int16_t>& pcm, size_t from = 0) {
    double sum = 0;
    for (size_t i = from; i < pcm.size(); ++i)
        sum += pcm[i];
    return pcm.size() > from ? sum / static_cast<double>(pcm.size() - from) / 32768 : 0;
}

} // namespace

TEST(AudioGenSources, LopsidedSoundsComeOutCentred) {
    // Narrow pulses, a kick whose first swing outweighs the rest, noise held at a crawl: each would
    // leave the sound off centre.
    const char* layers[] = {
        "layer wave=square f=110 duty=0.1 lp=2000",
        "layer wave=square f=55 duty=0.3 am=25:0.5",
        "layer wave=sine f=170:45 d=0.05",
        "layer wave=noise f=20 seed=3",
    };
    for (const char* layer : layers) {
        for (const char* head : {"effect A len=0.4\n", "effect A loop len=0.5\n"}) {
            SCOPED_TRACE(std::string(head) + layer);
            std::istringstream in(std::string(head) + layer + "\n");
            auto pcm = RenderEffect(ParseEffects(in, "fx.txt").at(0));
            EXPECT_LT(std::fabs(MeanOf(pcm)), 0.002);
        }
        SCOPED_TRACE(layer);
        std::istringstream in(std::string("channels 4\ninstrument Held base=C4 len=1 loop=0.3:1\n") + layer +
                              "\npattern P 16\norder P\n");
        auto module = ParseSong(in, "song.txt");
        const auto& held = module.Instruments.at(0);
        EXPECT_LT(std::fabs(MeanOf(held.Sample)), 0.002);
        EXPECT_LT(std::fabs(MeanOf(held.Sample, held.LoopStart)), 0.0005) << "the part that repeats";
    }
}

TEST(AudioGenSources, SongGainLowersEveryInstrument) {
    auto peakOfFirstSample = [](const std::string& gainLine) {
        std::istringstream in(SongHead + gainLine + "pattern P 16\norder P\n");
        const auto module = ParseSong(in, "song.txt");
        int peak = 0;
        for (int16_t v : module.Instruments.at(0).Sample)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        return peak;
    };
    EXPECT_NEAR(peakOfFirstSample("gain -6\n") / static_cast<double>(peakOfFirstSample("")), 0.5, 0.01);
}

TEST(AudioGenSources, SongErrorsNameFileAndLine) {
    struct Case {
        std::string Text, Expected;
    } cases[] = {
        {SongHead + "pattern P 16\nseq 1 Tone C4:8 D4:9\norder P\n", "song.txt:5: sequence is 17 rows long"},
        {SongHead + "pattern P 16\nseq 1 Tone C4:8 D4 E4\norder P\n", "song.txt:5: notes run past"},
        {SongHead + "pattern P 16\nseq 5 Tone C4\norder P\n", "song.txt:5: channel must be"},
        {SongHead + "pattern P 16\nseq 1 Piano C4\norder P\n", "song.txt:5: unknown instrument 'Piano'"},
        {SongHead + "pattern P 16\nchords 3 Tone G3 C:16\norder P\n",
         "song.txt:5: a chord needs three channels"},
        {SongHead + "pattern P 16\nchords 1 Tone G3 Cx:16\norder P\n", "unknown chord quality 'x'"},
        {SongHead + "pattern P 16\ngrid 1 Tone x.y.\norder P\n", "song.txt:5: grid step 'y'"},
        {SongHead + "pattern P 16\norder Q\n", "song.txt:5: unknown pattern 'Q'"},
        {SongHead + "pattern P 16\npattern R 8 from P\n", "song.txt:5: pattern 'P' has another row count"},
        {SongHead + "pattern P 16\n", "song.txt: no order list"},
        {SongHead + "pattern P 16\nchannels 6\n", "song.txt:5: channels must come before"},
        {SongHead + "instrument Pad base=C4 len=1 loop=0.5:2\n", "song.txt:4: loop must lie within"},
        {SongHead + "pattern P 16\norder P\nrestart 1\n", "song.txt: restart position past"},
        {"pattern P 16\nseq 1 Tone C9\n", "song.txt:2: unknown instrument"},
        {SongHead + "pattern P 16\nseq 1 Tone C9\norder P\n", "song.txt:5: bad note 'C9'"},
        {SongHead + "gain 2\n", "song.txt:4: gain must lie between -40 and 0 dB"},
    };
    for (const auto& c : cases)
        EXPECT_NE(ErrorOf(ParseSongText, c.Text).find(c.Expected), std::string::npos)
            << c.Expected << " <- " << ErrorOf(ParseSongText, c.Text);
}

TEST(AudioGenSources, SongStepsChordsAndGridsLandOnTheirRows) {
    std::istringstream in(SongHead + "pattern P 16\n"
                                     "seq 1 Tone C4:4 -:2 ~ E4@20*2\n"
                                     "chords 2 Tone G3 Am:8 F\n"
                                     "order P P\n");
    auto module = ParseSong(in, "song.txt");
    ASSERT_EQ(module.Patterns.size(), 1u);
    ASSERT_EQ(module.Orders, (std::vector<uint8_t>{0, 0}));
    const auto& cells = module.Patterns[0].Cells;
    auto at = [&](int row, int ch) { return cells[static_cast<size_t>(row * 4 + ch)]; };
    EXPECT_EQ(at(0, 0).Note, 49); // C-4
    EXPECT_EQ(at(4, 0).Note, XmKeyOff);
    EXPECT_EQ(at(6, 0).Note, 0);
    EXPECT_EQ(at(8, 0).Note, 53); // E-4
    EXPECT_EQ(at(8, 0).Volume, 0x10 + 20);
    EXPECT_EQ(at(10, 0).Note, 53);
    // A minor from G3 up: A3 C4 E4; F: A3 C4 F4.
    EXPECT_EQ(at(0, 1).Note, 46);
    EXPECT_EQ(at(0, 2).Note, 49);
    EXPECT_EQ(at(0, 3).Note, 53);
    EXPECT_EQ(at(8, 3).Note, 54);
    EXPECT_NEAR(SongDuration(module), 32 * 6 * 2.5 / 125, 1e-9);
}
