#include "engine/audio/ModulePlayer.h"
#include "engine/audio/AudioTestData.h"
#include "engine/audio/GameSound.h"
#include "engine/platform/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

using namespace audiotest;

namespace {

class ModulePlayerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sound.AutoInitialize()); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(dir);
        const std::string path = (dir / name).string();
        WriteFile(path, bytes);
        return path;
    }

    // Pulls 10 ms slices until the song's order goes from nonzero back to 0; returns the number
    // of slices, or -1 when it has not wrapped within limit slices.
    int SlicesUntilWrap(int32_t handle, int limit) {
        int32_t last = 0;
        for (int i = 1; i <= limit; ++i) {
            platform.PullAudio(441);
            const int32_t order = player.SongGetOrder(handle);
            if (order == 0 && last != 0) {
                return i;
            }
            last = order;
        }
        return -1;
    }

    std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("sd_audio_module_test-" + std::to_string(getpid()));
    THeadlessPlatform platform;
    TGameSound sound{&platform};
    TModulePlayer player{sound.Mixer()};
};

bool Audible(const std::vector<int16_t>& samples) {
    return std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
}

} // namespace

TEST_F(ModulePlayerTest, MissingOrBrokenFilesGiveNoHandle) {
    EXPECT_EQ(player.SongLoadFromFile((dir / "none.xm").string()), 0);
    EXPECT_EQ(player.SongLoadFromFile(Write("junk.xm", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd'})), 0);
    auto truncated = MakeXm({});
    truncated.resize(100);
    EXPECT_EQ(player.SongLoadFromFile(Write("short.xm", truncated)), 0);
    EXPECT_EQ(player.SongCount(), 0);
    // Unknown handles are harmless.
    player.SongPlay(42);
    player.SongFree(42);
    EXPECT_EQ(player.SongGetOrder(42), 0);
}

TEST_F(ModulePlayerTest, PlaysInTheMixerAndAdvancesItsOrder) {
    const int32_t handle = player.SongLoadFromFile(Write("a.xm", MakeXm({})));
    ASSERT_NE(handle, 0);
    EXPECT_FALSE(Audible(platform.PullAudio(441))); // loaded, not yet playing
    player.SongPlay(handle);
    EXPECT_TRUE(player.SongPlaying(handle));
    EXPECT_EQ(player.SongGetOrder(handle), 0);
    EXPECT_TRUE(Audible(platform.PullAudio(441)));
    platform.PullAudio(441 * 9); // 4 rows of 20 ms per order: order 1 by 100 ms
    EXPECT_EQ(player.SongGetOrder(handle), 1);

    player.SongFree(handle);
    EXPECT_EQ(player.SongCount(), 0);
    EXPECT_FALSE(Audible(platform.PullAudio(441)));
}

TEST_F(ModulePlayerTest, WrapsToOrderZeroWhateverTheRestartPosition) {
    for (int restart : {0, 2}) {
        TTestModule m;
        m.Orders = 3;
        m.RestartPosition = restart;
        const int32_t handle = player.SongLoadFromFile(Write("w.xm", MakeXm(m)));
        ASSERT_NE(handle, 0);
        player.SongPlay(handle);
        // 3 orders of 80 ms: the wrap shows within the 25th slice, and again one length later.
        const int first = SlicesUntilWrap(handle, 40);
        EXPECT_GE(first, 24) << restart;
        EXPECT_LE(first, 25) << restart;
        const int second = SlicesUntilWrap(handle, 40);
        EXPECT_GE(second, 23) << restart;
        EXPECT_LE(second, 25) << restart;
        EXPECT_TRUE(Audible(platform.PullAudio(441)));
        player.SongFree(handle);
    }
}

TEST_F(ModulePlayerTest, SongsCanBeLoadedWithoutADevice) {
    TGameSound silent(nullptr);
    TModulePlayer quiet(silent.Mixer());
    const int32_t handle = quiet.SongLoadFromFile(Write("q.xm", MakeXm({})));
    EXPECT_NE(handle, 0);
    quiet.SongPlay(handle);
    EXPECT_EQ(quiet.SongGetOrder(handle), 0);
}
