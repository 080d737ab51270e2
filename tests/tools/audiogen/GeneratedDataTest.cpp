// Runs the tool on the real sources, as the build does, and reads back everything it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "Synth.h"
#include "WaveFile.h"
#include "XmPlayback.h"
#include "engine/archive/WaveArchive.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/SoundMixer.h"
#include "engine/audio/Wave.h"

namespace fs = std::filesystem;

namespace {

const std::string Tool = AUDIOGEN_TOOL;
const std::string Assets = SPRAYDASH_ASSETS_DIR;

constexpr double FullScale = 32768;
constexpr int DeviceRate = 44100;
// Headroom every sound keeps on its own, so that an effect over the music stays clear of full scale.
constexpr double MaxPeakDbfs = -5;
constexpr double MaxDc = 0.002;

// Level of one side of a sound; stride 2 and offset 0 or 1 walk one side of interleaved stereo.
struct SideLevel {
    double Dc = 0; // mean, in full scale
    double PeakDbfs = -200;
    double Rms = 0; // in sample units
};

SideLevel Measure(const std::vector<int16_t>& samples, size_t offset = 0, size_t stride = 1) {
    double sum = 0, squares = 0;
    int peak = 0;
    size_t count = 0;
    for (size_t i = offset; i < samples.size(); i += stride, ++count) {
        sum += samples[i];
        squares += static_cast<double>(samples[i]) * samples[i];
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    }
    SideLevel level;
    if (count == 0)
        return level;
    level.Dc = sum / static_cast<double>(count) / FullScale;
    level.PeakDbfs = peak > 0 ? 20 * std::log10(peak / FullScale) : -200;
    level.Rms = std::sqrt(squares / static_cast<double>(count));
    return level;
}

double Db(double ratio) {
    return 20 * std::log10(ratio);
}

class GeneratedData : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Dir = fs::temp_directory_path() / ("audiogen_test_" + std::to_string(::getpid()));
        fs::create_directories(Dir);
        SoundsOk = Run("sounds " + Assets + "/sounds/effects.txt " + (Dir / "Res/Sounds.dxw").string()) == 0;
        MenuOk = Run("music " + Assets + "/music/menu.txt " + (Dir / "Music/Menu.xm").string()) == 0;
        RaceOk = Run("music " + Assets + "/music/race.txt " + (Dir / "Music/Race.xm").string()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(Dir); }

    static int Run(const std::string& args) {
        std::string command = "'" + Tool + "' " + args + " 2>'" + (Dir / "stderr.txt").string() + "'";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Stderr() {
        std::ifstream in(Dir / "stderr.txt");
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::vector<uint8_t> ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static inline fs::path Dir;
    static inline bool SoundsOk = false, MenuOk = false, RaceOk = false;
};

} // namespace

TEST_F(GeneratedData, SoundArchiveHoldsEveryEffectTheGamePlays) {
    ASSERT_TRUE(SoundsOk) << Stderr();
    auto items = ReadWaveArchive((Dir / "Res/Sounds.dxw").string());
    const std::set<std::string> expected = {
        "Engine",          "Shot",          "TimeOver", "GameOver", "B_Act", "Jump",  "Bonus", "BonusLost",
        "PlayerExplosion", "WallExplosion", "Tree",     "Flag",     "Weed",  "Money", "Duck",  "Tick",
        "Finish"};
    std::set<std::string> names;
    std::vector<float> loudness;
    for (const auto& item : items) {
        SCOPED_TRACE(item.Name);
        names.insert(item.Name);
        EXPECT_EQ(item.Looped, item.Name == "Engine" || item.Name == "Shot");
        EXPECT_GE(item.MaxPlayingCount, 1);
        auto wave = audiogen::ParseWaveFile(item.Wave);
        EXPECT_EQ(wave.Channels, 1);
        EXPECT_TRUE(wave.SampleRate == 22050 || wave.SampleRate == 44100);
        EXPECT_EQ(wave.BitsPerSample, 16);
        ASSERT_GT(wave.Samples.size(), 1000u);
        std::vector<float> f(wave.Samples.begin(), wave.Samples.end());
        for (float& s : f)
            s /= 32768.0f;
        loudness.push_back(audiogen::LoudestWindowRms(f, static_cast<size_t>(wave.SampleRate / 20)));
        EXPECT_LT(audiogen::Peak(f), 0.999f) << "clipped";
        if (item.Looped)
            EXPECT_LT(std::fabs(f.back() - f.front()), 0.05f) << "loop seam clicks";
        else
            EXPECT_LT(std::fabs(f.back()), 0.01f) << "ends with a click";
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(items.size(), expected.size());
    auto [quietest, loudest] = std::minmax_element(loudness.begin(), loudness.end());
    EXPECT_GT(*quietest, 0.03f);
    EXPECT_LT(*loudest / *quietest, 4.0f) << "effects differ by more than 12 dB";
}

TEST_F(GeneratedData, MusicModulesPlayLongEnoughAndWrapToTheStart) {
    struct Case {
        bool Ok;
        const char* File;
        double MinSeconds;
    } cases[] = {{MenuOk, "Music/Menu.xm", 60}, {RaceOk, "Music/Race.xm", 90}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        ASSERT_TRUE(c.Ok) << Stderr();
        auto bytes = ReadFile(Dir / c.File);
        ASSERT_GT(bytes.size(), 60u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 17), "Extended Module: ");
        auto played = PlayXm(bytes, 300, false);
        ASSERT_TRUE(played.Loaded) << played.Error;
        EXPECT_EQ(played.RestartPosition, 0);
        EXPECT_GE(played.WrapSeconds, c.MinSeconds);
        EXPECT_LT(played.WrapSeconds, 240);
        EXPECT_EQ(played.OrderAfterWrap, 0);
    }
}

TEST_F(GeneratedData, BadSourceFailsAndLeavesNoOutput) {
    fs::path bad = Dir / "bad.txt", out = Dir / "bad.xm";
    std::ofstream(bad) << "channels 4\npattern P 16\nseq 1 Nothing C4\norder P\n";
    EXPECT_EQ(Run("music " + bad.string() + " " + out.string()), 1);
    EXPECT_NE(Stderr().find("bad.txt:3: unknown instrument 'Nothing'"), std::string::npos) << Stderr();
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Run("sounds " + (Dir / "missing.txt").string() + " " + (Dir / "x.dxw").string()), 1);
    EXPECT_NE(Stderr().find("missing.txt: cannot be opened"), std::string::npos) << Stderr();
    EXPECT_EQ(Run("paint"), 2);
}

TEST_F(GeneratedData, EverySoundIsCentredAndKeepsItsHeadroom) {
    ASSERT_TRUE(SoundsOk && MenuOk && RaceOk) << Stderr();
    struct Side {
        std::string Name;
        SideLevel Level;
    };
    std::vector<Side> sides;
    for (const auto& item : ReadWaveArchive((Dir / "Res/Sounds.dxw").string()))
        sides.push_back({item.Name, Measure(audiogen::ParseWaveFile(item.Wave).Samples)});
    // The modules as the game hears them: rendered by the module player, each side on its own.
    for (const char* file : {"Music/Menu.xm", "Music/Race.xm"}) {
        auto played = PlayXm(ReadFile(Dir / file), 300, true);
        ASSERT_TRUE(played.Loaded) << file << ": " << played.Error;
        sides.push_back({std::string(file) + " left", Measure(played.Stereo, 0, 2)});
        sides.push_back({std::string(file) + " right", Measure(played.Stereo, 1, 2)});
    }
    for (const auto& side : sides) {
        SCOPED_TRACE(side.Name);
        EXPECT_LE(std::fabs(side.Level.Dc), MaxDc) << "off centre";
        EXPECT_LE(side.Level.PeakDbfs, MaxPeakDbfs) << "too little headroom";
    }
}

TEST_F(GeneratedData, EngineHumsFiveToSixDecibelsUnderTheRaceMusic) {
    ASSERT_TRUE(SoundsOk && RaceOk) << Stderr();
    double engineRms = 0;
    for (const auto& item : ReadWaveArchive((Dir / "Res/Sounds.dxw").string()))
        if (item.Name == "Engine")
            engineRms = Measure(audiogen::ParseWaveFile(item.Wave).Samples).Rms;
    auto played = PlayXm(ReadFile(Dir / "Music/Race.xm"), 300, true);
    ASSERT_TRUE(played.Loaded) << played.Error;
    // Power per side over the whole pass: the engine sounds the same on both.
    const double musicRms =
        std::hypot(Measure(played.Stereo, 0, 2).Rms, Measure(played.Stereo, 1, 2).Rms) / std::sqrt(2.0);
    ASSERT_GT(engineRms, 0);
    const double under = Db(musicRms / engineRms);
    EXPECT_GE(under, 5.0);
    EXPECT_LE(under, 6.0);
}

// The loudest effect laid over the race music where the sum is worst: its strongest sample of the
// same sign on the music's peak. The game's own mixer and module player play the second around it.
TEST_F(GeneratedData, LoudestEffectOverTheRaceMusicNeverReachesTheClamp) {
    ASSERT_TRUE(SoundsOk && RaceOk) << Stderr();
    std::string loudestName;
    std::vector<int16_t> loudest; // interleaved stereo at the device rate, as the game plays it
    int loudestPeak = 0;
    for (const auto& item : ReadWaveArchive((Dir / "Res/Sounds.dxw").string())) {
        auto samples = ConvertWave(ReadRiffWave(item.Wave), DeviceRate);
        int peak = 0;
        for (int16_t v : samples)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        if (peak > loudestPeak) {
            loudestPeak = peak;
            loudestName = item.Name;
            loudest = std::move(samples);
        }
    }
    SCOPED_TRACE(loudestName);
    auto music = PlayXm(ReadFile(Dir / "Music/Race.xm"), 300, true);
    ASSERT_TRUE(music.Loaded) << music.Error;
    ASSERT_FALSE(music.Stereo.empty());
    size_t musicPeak = 0;
    for (size_t i = 0; i < music.Stereo.size(); ++i)
        if (std::abs(music.Stereo[i]) > std::abs(music.Stereo[musicPeak]))
            musicPeak = i;
    const int sign = music.Stereo[musicPeak] < 0 ? -1 : 1;
    const size_t side = musicPeak % 2;
    size_t effectPeak = side;
    for (size_t i = side; i < loudest.size(); i += 2)
        if (sign * loudest[i] > sign * loudest[effectPeak])
            effectPeak = i;
    ASSERT_GE(musicPeak, effectPeak) << "the music peaks before the effect could start";
    const size_t startFrame = (musicPeak - effectPeak) / 2;

    int rawPeak = 0;
    for (size_t i = 0; i < loudest.size() && startFrame * 2 + i < music.Stereo.size(); ++i)
        rawPeak = std::max(rawPeak, std::abs(music.Stereo[startFrame * 2 + i] + loudest[i]));
    EXPECT_LT(rawPeak, 32767) << "the sum itself reaches full scale";

    TSoundMixer mixer;
    TModulePlayer player(mixer);
    const int32_t song = player.SongLoadFromFile((Dir / "Music/Race.xm").string());
    ASSERT_NE(song, 0);
    player.SongPlay(song);
    std::vector<int16_t> out(static_cast<size_t>(DeviceRate) * 2);
    for (size_t done = 0; done < startFrame;) {
        const size_t n = std::min<size_t>(DeviceRate, startFrame - done);
        mixer.Mix(out.data(), static_cast<int>(n));
        done += n;
    }
    TSoundVoice effect(std::make_shared<const std::vector<int16_t>>(loudest));
    mixer.Attach(effect);
    effect.Start(false);
    mixer.Mix(out.data(), DeviceRate);
    mixer.Detach(effect);
    int mixedPeak = 0;
    for (int16_t v : out)
        mixedPeak = std::max(mixedPeak, std::abs(static_cast<int>(v)));
    EXPECT_GE(mixedPeak, std::abs(music.Stereo[musicPeak])) << "the effect was not heard over the music";
    EXPECT_LT(mixedPeak, 32767);
}

// The small effects (a button, the pick-ups) are short: what the ear weighs is their loudest
// moment, against the race music's level over the whole pass and against its loudest moments.
TEST_F(GeneratedData, SmallEffectsReadClearlyOverTheRaceMusic) {
    ASSERT_TRUE(SoundsOk && RaceOk) << Stderr();
    auto played = PlayXm(ReadFile(Dir / "Music/Race.xm"), 300, true);
    ASSERT_TRUE(played.Loaded) << played.Error;
    const double musicRms =
        std::hypot(Measure(played.Stereo, 0, 2).Rms, Measure(played.Stereo, 1, 2).Rms) / std::sqrt(2.0);
    double musicLoudest = 0;
    for (size_t side = 0; side < 2; ++side) {
        std::vector<float> f;
        for (size_t i = side; i < played.Stereo.size(); i += 2)
            f.push_back(played.Stereo[i]);
        musicLoudest = std::max<double>(musicLoudest, audiogen::LoudestWindowRms(f, DeviceRate / 20));
    }
    ASSERT_GT(musicRms, 0);
    std::cout << "race music: " << Db(musicRms / FullScale) << " dBFS RMS, loudest 50 ms "
              << Db(musicLoudest / FullScale) << " dBFS\n";
    const std::set<std::string> small = {"B_Act", "Bonus", "BonusLost", "Money"};
    int found = 0;
    for (const auto& item : ReadWaveArchive((Dir / "Res/Sounds.dxw").string())) {
        if (!small.count(item.Name))
            continue;
        ++found;
        SCOPED_TRACE(item.Name);
        auto wave = audiogen::ParseWaveFile(item.Wave);
        std::vector<float> f(wave.Samples.begin(), wave.Samples.end());
        const double loudest = audiogen::LoudestWindowRms(f, static_cast<size_t>(wave.SampleRate / 20));
        std::cout << item.Name << ": loudest 50 ms " << Db(loudest / FullScale) << " dBFS, "
                  << Db(loudest / musicRms) << " dB over the music's RMS, peak "
                  << Measure(wave.Samples).PeakDbfs << " dBFS\n";
        EXPECT_GE(Db(loudest / musicRms), 4.0);
        EXPECT_GE(loudest, musicLoudest);
    }
    EXPECT_EQ(found, static_cast<int>(small.size()));
}
