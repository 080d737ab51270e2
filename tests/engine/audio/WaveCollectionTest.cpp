#include "engine/audio/WaveCollection.h"
#include "engine/archive/WaveArchive.h"
#include "engine/audio/AudioErrors.h"
#include "engine/audio/AudioTestData.h"
#include "engine/audio/GameSound.h"
#include "engine/platform/HeadlessPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include <filesystem>

using namespace audiotest;

namespace {

// A recording of Frames frames at the device rate, every sample Value.
TWave ConstantWave(int frames, int16_t value) {
    return TWave{PcmFormat(1, 44100, 16), ConstantSamples16(frames, value)};
}

class WaveListTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sound.AutoInitialize()); }

    TWaveCollectionItem& AddItem(const std::string& name, int32_t maxPlaying = 0, bool looped = false,
                                 int frames = 1000, int16_t value = 100) {
        TWaveCollectionItem& item = list.Items().Add();
        item.SetName(name);
        item.SetMaxPlayingCount(maxPlaying);
        item.SetLooped(looped);
        item.SetWave(ConstantWave(frames, value));
        item.Restore();
        return item;
    }

    THeadlessPlatform platform;
    TGameSound sound{&platform};
    TGameWaveList list{&sound};
};

} // namespace

TEST_F(WaveListTest, MaxPlayingCountReachedRestartsTheOldestAndMovesItToTheEnd) {
    TWaveCollectionItem& item = AddItem("Money", 2);
    item.Play();
    platform.PullAudio(100);
    item.Play();
    platform.PullAudio(50);
    ASSERT_EQ(item.DuplicateCount(), 2);
    const TSoundVoice* first = &item.Duplicate(0);
    const TSoundVoice* second = &item.Duplicate(1);
    EXPECT_EQ(first->Position(), 150);
    EXPECT_EQ(second->Position(), 50);

    item.Play();
    ASSERT_EQ(item.DuplicateCount(), 2);
    EXPECT_EQ(&item.Duplicate(0), second);
    EXPECT_EQ(&item.Duplicate(1), first);
    EXPECT_EQ(first->Position(), 0);
    EXPECT_TRUE(second->Playing());
    EXPECT_EQ(second->Position(), 50);
    EXPECT_EQ(item.PlayingCount(), 2);
}

TEST_F(WaveListTest, NoLimitMakesAnotherDuplicateWhileAllSound) {
    TWaveCollectionItem& item = AddItem("Tree", 0);
    for (int i = 0; i < 5; ++i) {
        item.Play();
    }
    EXPECT_EQ(item.DuplicateCount(), 5);
    EXPECT_EQ(item.PlayingCount(), 5);
    EXPECT_FALSE(item.MainBuffer()->Playing()); // only the source of the duplicates
    // Duplicates share the main buffer's samples.
    EXPECT_EQ(item.Duplicate(4).Samples(), item.MainBuffer()->Samples());
    // Five at 100 each, mixed.
    EXPECT_EQ(platform.PullAudio(1)[0], 500);
}

TEST_F(WaveListTest, LoopedItemRestartsItsOneInstance) {
    TWaveCollectionItem& item = AddItem("Engine", 0, true, 300);
    item.Play();
    platform.PullAudio(1000); // more than the recording: it wraps
    EXPECT_EQ(item.MainBuffer()->Position(), 100);
    item.Play();
    EXPECT_EQ(item.MainBuffer()->Position(), 0);
    EXPECT_TRUE(item.MainBuffer()->Looping());
    EXPECT_EQ(item.DuplicateCount(), 0);
    EXPECT_EQ(item.PlayingCount(), 1);
    EXPECT_EQ(platform.PullAudio(1)[0], 100);

    item.SetLooped(false); // changing it stops the item
    EXPECT_EQ(item.PlayingCount(), 0);
}

TEST_F(WaveListTest, StopThenPlayReusesTheFirstDuplicate) {
    TWaveCollectionItem& item = AddItem("Bonus");
    item.Play();
    item.Play();
    const TSoundVoice* first = &item.Duplicate(0);
    item.Stop();
    EXPECT_EQ(item.PlayingCount(), 0);
    EXPECT_EQ(platform.PullAudio(1)[0], 0);
    item.Play();
    EXPECT_EQ(item.DuplicateCount(), 2);
    EXPECT_EQ(&item.Duplicate(0), first);
    EXPECT_TRUE(first->Playing());
    // An instance that has ended by itself is reused too.
    platform.PullAudio(2000);
    item.Play();
    EXPECT_EQ(item.DuplicateCount(), 2);
    EXPECT_EQ(item.PlayingCount(), 1);
}

TEST_F(WaveListTest, MixesTheRecordingThenFallsSilent) {
    TWaveCollectionItem& item = AddItem("Tick", 0, false, 10, -2000);
    item.Play();
    const auto out = platform.PullAudio(12);
    EXPECT_EQ(out[0], -2000);
    EXPECT_EQ(out[1], -2000);
    EXPECT_EQ(out[19], -2000);
    EXPECT_EQ(out[20], 0);
    EXPECT_EQ(item.PlayingCount(), 0);
}

TEST_F(WaveListTest, ChangingMaxPlayingCountFreesDuplicates) {
    TWaveCollectionItem& item = AddItem("Duck");
    item.Play();
    item.SetMaxPlayingCount(-3);
    EXPECT_EQ(item.MaxPlayingCount(), 0); // clamped: no change
    EXPECT_EQ(item.DuplicateCount(), 1);
    item.SetMaxPlayingCount(1);
    EXPECT_EQ(item.DuplicateCount(), 0);
}

TEST_F(WaveListTest, FindIsCaseInsensitiveAndPrefersTheItemNamedLast) {
    TWaveCollectionItem& first = AddItem("Flag");
    EXPECT_EQ(&list.Items().Find("fLAG"), &first);
    TWaveCollectionItem& second = AddItem("FLAG");
    EXPECT_EQ(&list.Items().Find("flag"), &second);
    second.SetName("Weed");
    EXPECT_EQ(&list.Items().Find("Flag"), &first);
    EXPECT_EQ(&list.Items().Find("weed"), &second);
    list.Items().Delete(0);
    EXPECT_EQ(list.Items().TryFind("Flag"), nullptr);
    try {
        list.Items().Find("Flag");
        FAIL();
    } catch (const EWaveCollectionError& error) {
        EXPECT_STREQ(error.what(), "Wave 'Flag' not found");
    }
}

TEST_F(WaveListTest, FinalizeAndInitializeFollowTheSoundComponent) {
    TWaveCollectionItem& item = AddItem("Jump");
    item.Play();
    sound.Finalize();
    EXPECT_FALSE(item.Initialized());
    EXPECT_EQ(item.MainBuffer(), nullptr);
    EXPECT_FALSE(platform.AudioOpen());
    item.Play(); // does nothing
    EXPECT_EQ(item.DuplicateCount(), 0);

    sound.Initialize();
    EXPECT_TRUE(item.Initialized());
    EXPECT_NE(item.MainBuffer(), nullptr);
    item.Play();
    EXPECT_EQ(item.PlayingCount(), 1);
}

TEST_F(WaveListTest, ItemWithoutPlayableRecordingPlaysNothing) {
    TWaveCollectionItem& empty = list.Items().Add();
    empty.SetName("Empty");
    empty.Restore();
    empty.Play();
    EXPECT_EQ(empty.MainBuffer(), nullptr);

    TWaveCollectionItem& bad = list.Items().Add();
    bad.SetWave(TWave{PcmFormat(1, 8000, 12), {1, 2, 3}});
    EXPECT_THROW(bad.Restore(), EDirectSoundBufferError);
    EXPECT_NO_THROW(bad.Play());
    EXPECT_EQ(bad.DuplicateCount(), 0);
}

TEST(WaveListSilent, WithoutDeviceNothingPlaysAndUnknownNamesStillFail) {
    TGameSound sound(nullptr);
    TGameWaveList list(&sound);
    EXPECT_FALSE(sound.AutoInitialize());
    EXPECT_THROW(sound.Initialize(), EDirectSoundError);
    try {
        sound.Initialize();
    } catch (const EDirectSoundError& error) {
        EXPECT_STREQ(error.what(), "DirectSound cannot be initialized");
    }
    TWaveCollectionItem& item = list.Items().Add();
    item.SetName("Engine");
    item.SetWave(ConstantWave(10, 1));
    item.Restore();
    EXPECT_FALSE(item.Initialized());
    EXPECT_NO_THROW(list.Items().Find("Engine").Play());
    EXPECT_NO_THROW(item.Stop());
    EXPECT_EQ(item.PlayingCount(), 0);
    EXPECT_THROW(list.Items().Find("Nothing"), EWaveCollectionError);
}

TEST(SoundComponent, NotifiesListenersNewestFirst) {
    // Outlives the component: its destruction still notifies the listeners.
    std::vector<std::string> seen;
    THeadlessPlatform platform;
    TGameSound sound(&platform);
    auto listen = [&](const char* who) {
        return sound.RegisterNotifyEvent([&seen, who](TGameSound&, TSoundNotifyType type) {
            seen.push_back(who + std::to_string(static_cast<int>(type)));
        });
    };
    listen("a");
    const int b = listen("b");
    ASSERT_TRUE(sound.AutoInitialize());
    EXPECT_EQ(seen, (std::vector<std::string>{"b0", "a0", "b1", "a1", "b3", "a3"}));
    seen.clear();
    listen("c"); // registered late: told at once
    EXPECT_EQ(seen, (std::vector<std::string>{"c1", "c3"}));
    seen.clear();
    sound.UnRegisterNotifyEvent(b);
    sound.Finalize();
    EXPECT_EQ(seen, (std::vector<std::string>{"c2", "a2"}));
}

TEST(SoundComponent, AutoInitializeForgivesOnlyTheMissingDevice) {
    THeadlessPlatform platform;
    TGameSound sound(&platform);
    TGameWaveList list(&sound);
    TWaveCollectionItem& bad = list.Items().Add();
    bad.SetWave(TWave{PcmFormat(1, 8000, 12), {1, 2, 3}});
    EXPECT_THROW(sound.AutoInitialize(), EDirectSoundBufferError);
}

TEST(WaveListLifetime, SoundComponentDestroyedFirst) {
    THeadlessPlatform platform;
    auto sound = std::make_unique<TGameSound>(&platform);
    TGameWaveList list(sound.get());
    sound->AutoInitialize();
    TWaveCollectionItem& item = list.Items().Add();
    item.SetWave(ConstantWave(10, 1));
    item.Restore();
    item.Play();
    sound.reset();
    EXPECT_EQ(list.GameSound(), nullptr);
    EXPECT_FALSE(item.Initialized());
}

class WaveArchiveLoadTest : public WaveListTest {
  protected:
    void TearDown() override { std::filesystem::remove(path); }
    std::string path = (std::filesystem::temp_directory_path() /
                        ("sd_audio_test_sounds-" + std::to_string(getpid()) + ".dxw"))
                           .string();
};

TEST_F(WaveArchiveLoadTest, LoadsItemsWithMainBuffersReady) {
    std::vector<TWaveArchiveItem> items(2);
    items[0] = {"Engine", true, 0, RiffWave(PcmFormat(1, 22050, 8), std::vector<uint8_t>(50, 200), "LIST")};
    items[1] = {"Money", false, 3, RiffWave(PcmFormat(2, 44100, 16), ConstantSamples16(20, 5))};
    WriteWaveArchiveFile(path, items);
    AddItem("Old");

    list.Items().LoadFromFile(path);
    ASSERT_EQ(list.Items().Count(), 2);
    EXPECT_EQ(list.Items().TryFind("Old"), nullptr);
    TWaveCollectionItem& engine = list.Items().Find("engine");
    EXPECT_TRUE(engine.Looped());
    ASSERT_NE(engine.MainBuffer(), nullptr);
    EXPECT_EQ(engine.MainBuffer()->Frames(), 100); // 22050 Hz doubled
    TWaveCollectionItem& money = list.Items().Find("Money");
    EXPECT_EQ(money.MaxPlayingCount(), 3);
    EXPECT_EQ(money.MainBuffer()->Frames(), 10);
    money.Play();
    EXPECT_EQ(money.PlayingCount(), 1);
}

TEST_F(WaveArchiveLoadTest, BadRecordingFailsNamingItsItem) {
    std::vector<TWaveArchiveItem> items(2);
    items[0] = {"Good", false, 0, RiffWave(PcmFormat(1, 8000, 8), {1, 2})};
    items[1] = {"Broken", false, 0, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}};
    WriteWaveArchiveFile(path, items);
    try {
        list.Items().LoadFromFile(path);
        FAIL();
    } catch (const EWaveError& error) {
        EXPECT_STREQ(error.what(), "Wave is invalid");
        EXPECT_EQ(error.ItemName(), "Broken");
        EXPECT_EQ(error.FileName(), path);
    }
    EXPECT_EQ(list.Items().Count(), 1);
}

TEST_F(WaveArchiveLoadTest, MissingFileLeavesTheCollectionAlone) {
    AddItem("Kept");
    EXPECT_THROW(list.Items().LoadFromFile(path + ".missing"), EArchiveError);
    EXPECT_NE(list.Items().TryFind("Kept"), nullptr);
}

TEST_F(WaveListTest, RateAndVolumeReachTheInstancesSoundingAndThoseStartedLater) {
    for (bool looped : {false, true}) {
        SCOPED_TRACE(looped);
        TWaveCollectionItem& item = AddItem(looped ? "Engine" : "Bonus", 0, looped, 5000, 1000);
        item.Play();
        EXPECT_EQ(platform.PullAudio(1)[0], 1000); // as recorded until told otherwise
        item.SetRate(1.5);
        item.SetVolume(0.5);
        platform.PullAudio(TSoundVoice::kGlideFrames);
        EXPECT_EQ(platform.PullAudio(1)[0], 500);
        item.Stop();
        item.Play();
        EXPECT_EQ(platform.PullAudio(1)[0], 500) << "a fresh instance starts at the level set";
        const TSoundVoice& voice = looped ? *item.MainBuffer() : item.Duplicate(item.DuplicateCount() - 1);
        EXPECT_EQ(voice.Rate(), 1.5);
        item.Stop();
    }
}
