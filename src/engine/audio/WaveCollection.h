#pragma once

#include "engine/audio/SoundMixer.h"
#include "engine/audio/Wave.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TGameSound;
class TWaveCollection;
enum class TSoundNotifyType;

// A named recording and the buffers that play it: a main buffer converted once to the device
// format, and duplicates that share its samples so the effect can sound several times at once.
class TWaveCollectionItem {
  public:
    explicit TWaveCollectionItem(TWaveCollection& collection);
    ~TWaveCollectionItem();
    TWaveCollectionItem(const TWaveCollectionItem&) = delete;
    TWaveCollectionItem& operator=(const TWaveCollectionItem&) = delete;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& name);
    // A looped item repeats until stopped and only ever sounds once. Changing it stops the item.
    bool Looped() const { return m_looped; }
    void SetLooped(bool looped);
    // Most instances sounding at once, 0 = no limit; negative values are stored as 0. Changing it
    // frees the duplicates.
    int32_t MaxPlayingCount() const { return m_maxPlayingCount; }
    void SetMaxPlayingCount(int32_t count);
    // Replacing the recording frees the buffers made from the old one.
    const TWave& Wave() const { return m_wave; }
    void SetWave(TWave wave);

    bool Initialized() const { return m_initialized; }
    void Initialize();
    void Finalize();
    // Builds the main buffer. Throws EDirectSoundBufferError when the recording cannot be played.
    void Restore();

    // Starts one instance from the beginning; Wait blocks until it has finished (never for a
    // looped item). Does nothing before Initialize, without sample data or a playable format.
    void Play(bool wait = false);
    // Stops the main buffer and every duplicate.
    void Stop();

    // How every instance plays, those sounding now and those started later: Rate is the speed
    // against the recording's own (1 = as recorded; the pitch follows), Volume 0 (silent) .. 1 (as
    // recorded). Sounding instances glide to a new value within a few milliseconds, so the game can
    // change them every tick. Both are 1 until changed; values out of range are held to it.
    double Rate() const { return m_rate; }
    void SetRate(double rate);
    double Volume() const { return m_volume; }
    void SetVolume(double volume);

    // Run-time state, read under the mixer's lock.
    const TSoundVoice* MainBuffer() const { return m_main.get(); }
    int DuplicateCount() const { return static_cast<int>(m_duplicates.size()); }
    const TSoundVoice& Duplicate(int index) const { return *m_duplicates[index]; }
    int PlayingCount() const;

  private:
    friend class TWaveCollection;

    TSoundMixer* Mixer() const;
    void FreeBuffers();
    void FreeDuplicates();
    // Hands Rate and Volume to a buffer; with the mixer locked.
    void Tune(TSoundVoice& voice) const;

    TWaveCollection& m_collection;
    std::string m_name;
    uint64_t m_nameSerial = 0;
    bool m_looped = false;
    int32_t m_maxPlayingCount = 0;
    TWave m_wave;
    double m_rate = 1;
    double m_volume = 1;

    bool m_initialized = false;
    std::unique_ptr<TSoundVoice> m_main;
    // In the order they were (re)started last; the front is the oldest.
    std::vector<std::unique_ptr<TSoundVoice>> m_duplicates;
};

// The ordered items of one wave list with a case-insensitive name index, and the sound
// component they are initialized for.
class TWaveCollection {
  public:
    TWaveCollection() = default;
    ~TWaveCollection();
    TWaveCollection(const TWaveCollection&) = delete;
    TWaveCollection& operator=(const TWaveCollection&) = delete;

    int Count() const { return static_cast<int>(m_items.size()); }
    TWaveCollectionItem& operator[](int index) { return *m_items[index]; }
    const TWaveCollectionItem& operator[](int index) const { return *m_items[index]; }
    TWaveCollectionItem& Add();
    void Delete(int index);
    void Clear();

    // The item of that name (case-insensitive; of two with the same name, the one named last).
    // Throws EWaveCollectionError ("Wave 'name' not found").
    TWaveCollectionItem& Find(const std::string& name) const;
    TWaveCollectionItem* TryFind(const std::string& name) const;

    // Empties the collection and reads a sound archive into it; when the collection is
    // initialized every item gets its main buffer at once. The collection is left as it was when
    // the archive itself cannot be read; a bad recording ends the load with the items before it.
    void LoadFromFile(const std::string& fileName);

    bool Initialized() const { return m_sound != nullptr; }
    TGameSound* GameSound() const { return m_sound; }
    void Initialize(TGameSound& sound);
    void Restore();
    void Finalize();

  private:
    friend class TWaveCollectionItem;
    void NameChanged(TWaveCollectionItem& item, const std::string& oldName);
    void Unindex(TWaveCollectionItem& item, const std::string& name);

    TGameSound* m_sound = nullptr;
    std::vector<std::unique_ptr<TWaveCollectionItem>> m_items;
    std::unordered_map<std::string, TWaveCollectionItem*> m_index; // lower-cased name
    uint64_t m_nameSerial = 0;
};

// The wave-list component: a collection that follows its sound component's notifications.
class TGameWaveList {
  public:
    explicit TGameWaveList(TGameSound* sound = nullptr);
    ~TGameWaveList();
    TGameWaveList(const TGameWaveList&) = delete;
    TGameWaveList& operator=(const TGameWaveList&) = delete;

    TGameSound* GameSound() const { return m_sound; }
    void SetGameSound(TGameSound* sound);
    TWaveCollection& Items() { return m_items; }
    const TWaveCollection& Items() const { return m_items; }

  private:
    void Notified(TGameSound& sound, TSoundNotifyType type);

    TGameSound* m_sound = nullptr;
    int m_listenerId = 0;
    TWaveCollection m_items;
};
