#include "context/GameAudio.h"
#include "context/GameState.h"
#include "engine/audio/AudioErrors.h"
#include "engine/audio/AudioTestData.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/ModulePlayer.h"
#include "engine/audio/WaveCollection.h"
#include "engine/platform/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include <filesystem>

using namespace audiotest;
namespace fs = std::filesystem;

namespace {

// Runs in a scratch working directory holding Data/Music/Menu.xm (3 orders of 80 ms) and
// Data/Music/Race.xm (2 orders), with the effects "Money" (1000 frames) and "Engine" (looped).
class GameAudioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir / "Data" / "Music");
        previous = fs::current_path();
        fs::current_path(dir);
        TTestModule menu;
        menu.Orders = 3;
        WriteFile("Data/Music/Menu.xm", MakeXm(menu));
        WriteFile("Data/Music/Race.xm", MakeXm({}));

        ASSERT_TRUE(sound.AutoInitialize());
        AddEffect("Money", false);
        AddEffect("Engine", true);
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }

    void AddEffect(const std::string& name, bool looped) {
        TWaveCollectionItem& item = waves.Items().Add();
        item.SetName(name);
        item.SetLooped(looped);
        item.SetWave(TWave{PcmFormat(1, 44100, 16), ConstantSamples16(1000, 300)});
        item.Restore();
    }
    TWaveCollectionItem& Effect(const std::string& name) { return waves.Items().Find(name); }

    // One game tick: 15 ms of audio pulled by the device, then the keep-alive.
    void Tick() {
        platform.PullAudio(661);
        audio.MusicKeepAlive();
    }

    fs::path dir = fs::temp_directory_path() / ("sd_game_audio_test-" + std::to_string(getpid()));
    fs::path previous;
    THeadlessPlatform platform;
    TGameSound sound{&platform};
    TGameWaveList waves{&sound};
    TModulePlayer player{sound.Mixer()};
    TGameOptions options;
    TGameScreen gameScreen = gsMainMenu;
    TGameAudio audio{waves, player, options, gameScreen};
};

} // namespace

TEST_F(GameAudioTest, PlaySoundCutsOffThePreviousInstance) {
    audio.PlaySound("Money");
    platform.PullAudio(200);
    audio.PlaySound("Money");
    EXPECT_EQ(Effect("Money").PlayingCount(), 1);
    EXPECT_EQ(Effect("Money").DuplicateCount(), 1);
    EXPECT_EQ(Effect("Money").Duplicate(0).Position(), 0);
    EXPECT_EQ(platform.PullAudio(1)[0], 300); // one instance, not two summed

    audio.PlaySound("Engine");
    audio.StopSound("Engine");
    EXPECT_EQ(Effect("Engine").PlayingCount(), 0);
}

TEST_F(GameAudioTest, SoundOffStartsNothingAndStopsNothing) {
    audio.PlaySound("Engine");
    audio.ToggleSound();
    EXPECT_FALSE(options.SoundOn);
    audio.PlaySound("Money");
    EXPECT_EQ(Effect("Money").PlayingCount(), 0);
    audio.StopSound("Engine");
    EXPECT_EQ(Effect("Engine").PlayingCount(), 1); // left to play on
    EXPECT_NO_THROW(audio.PlaySound("NotInTheArchive"));
    audio.ToggleSound();
    EXPECT_THROW(audio.PlaySound("NotInTheArchive"), EWaveCollectionError);
}

TEST_F(GameAudioTest, TuneSoundSetsTheSpeedAndLevelOfAnEffectWhileSoundIsOn) {
    audio.PlaySound("Engine");
    audio.TuneSound("Engine", 0.7, 0.5);
    EXPECT_EQ(Effect("Engine").Rate(), 0.7);
    platform.PullAudio(TSoundVoice::kGlideFrames);
    EXPECT_EQ(platform.PullAudio(1)[0], 150);

    audio.ToggleSound();
    audio.TuneSound("Engine", 1.2, 1);
    EXPECT_EQ(Effect("Engine").Volume(), 0.5);
    EXPECT_NO_THROW(audio.TuneSound("NotInTheArchive", 1, 1));
    audio.ToggleSound();
    EXPECT_THROW(audio.TuneSound("NotInTheArchive", 1, 1), EWaveCollectionError);
}

TEST_F(GameAudioTest, ScreenMusicFollowsTheScreen) {
    audio.PlayScreenMusic();
    const int32_t menu = audio.SongHandle;
    EXPECT_NE(menu, 0);
    gameScreen = gsRace;
    audio.PlayScreenMusic();
    EXPECT_NE(audio.SongHandle, 0);
    EXPECT_NE(audio.SongHandle, menu);
    EXPECT_EQ(player.SongCount(), 1); // the menu module was freed
    // Without the race module the race plays nothing, silently; the menu module still loads.
    fs::remove("Data/Music/Race.xm");
    audio.PlayScreenMusic();
    EXPECT_EQ(audio.SongHandle, 0);
    EXPECT_EQ(player.SongCount(), 0);
    gameScreen = gsOptions;
    audio.PlayScreenMusic();
    EXPECT_NE(audio.SongHandle, 0);
}

TEST_F(GameAudioTest, WrappedModuleIsReloadedInTheNextTick) {
    audio.PlayScreenMusic();
    int32_t handle = audio.SongHandle;
    ASSERT_NE(handle, 0);
    int32_t orderBefore = 0;
    int reloads = 0;
    for (int tick = 0; tick < 40 && reloads == 0; ++tick) {
        orderBefore = audio.LastSongOrder;
        const bool wrapped = player.SongGetOrder(handle) == 0 && orderBefore != 0;
        Tick();
        if (audio.SongHandle != handle) {
            // The order read 0 after being nonzero: reloaded at once, from its start.
            EXPECT_EQ(player.SongGetOrder(audio.SongHandle), 0);
            EXPECT_EQ(audio.LastSongOrder, 0);
            EXPECT_EQ(player.SongCount(), 1);
            ++reloads;
        } else {
            EXPECT_FALSE(wrapped);
        }
    }
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(orderBefore, 2);

    // A screen change takes effect at the next wrap.
    handle = audio.SongHandle;
    gameScreen = gsRace;
    for (int tick = 0; tick < 40 && audio.SongHandle == handle; ++tick) {
        Tick();
    }
    EXPECT_NE(audio.SongHandle, handle);
    // The race module has 2 orders: its wrap comes about 160 ms later, not 240.
    handle = audio.SongHandle;
    int ticks = 0;
    while (audio.SongHandle == handle && ticks < 40) {
        Tick();
        ++ticks;
    }
    EXPECT_GE(ticks, 10);
    EXPECT_LE(ticks, 12);
}

TEST_F(GameAudioTest, MusicOffFreesTheModuleAndOnRestartsItFromTheStart) {
    audio.PlayScreenMusic();
    for (int i = 0; i < 8; ++i) {
        Tick();
    }
    EXPECT_EQ(audio.LastSongOrder, 1);

    audio.ToggleMusic();
    EXPECT_FALSE(options.MusicOn);
    EXPECT_EQ(audio.SongHandle, 0);
    EXPECT_EQ(player.SongCount(), 0);
    audio.PlayScreenMusic(); // screen changes load nothing while music is off
    EXPECT_EQ(player.SongCount(), 0);
    EXPECT_EQ(audio.LastSongOrder, 0);
    Tick();

    audio.ToggleMusic();
    EXPECT_TRUE(options.MusicOn);
    ASSERT_NE(audio.SongHandle, 0);
    EXPECT_TRUE(player.SongPlaying(audio.SongHandle));
    EXPECT_EQ(player.SongGetOrder(audio.SongHandle), 0);
    EXPECT_EQ(audio.LastSongOrder, 0);
    for (int i = 0; i < 8; ++i) {
        Tick();
    }
    EXPECT_EQ(audio.LastSongOrder, 1); // as far in as the first time: it began at its start
}

TEST_F(GameAudioTest, MissingModuleLeavesTheKeepAliveIdle) {
    audio.PlayMusic("Data/Music/Nothing.xm");
    EXPECT_EQ(audio.SongHandle, 0);
    Tick();
    EXPECT_EQ(audio.SongHandle, 0);
    EXPECT_EQ(audio.LastSongOrder, 0);
}
