// Runs the tool on the real sources, as the build does, and reads back everything it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "Synth.h"
#include "WaveFile.h"
#include "XmPlayback.h"
#include "engine/archive/WaveArchive.h"

namespace fs = std::filesystem;

namespace {

const std::string Tool = AUDIOGEN_TOOL;
const std::string Assets = SPRAYDASH_ASSETS_DIR;

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
