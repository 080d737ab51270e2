#include "engine/audio/WaveCollection.h"

#include "engine/archive/WaveArchive.h"
#include "engine/audio/AudioErrors.h"
#include "engine/audio/GameSound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

// How often Play(Wait) looks whether its instance has finished.
constexpr auto kWaitPoll = std::chrono::milliseconds(10);

std::string IndexKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

} // namespace

// ---- TWaveCollectionItem ----

TWaveCollectionItem::TWaveCollectionItem(TWaveCollection& collection) : m_collection(collection) {}

TWaveCollectionItem::~TWaveCollectionItem() {
    FreeBuffers();
}

void TWaveCollectionItem::SetName(const std::string& name) {
    const std::string oldName = m_name;
    m_name = name;
    m_collection.NameChanged(*this, oldName);
}

void TWaveCollectionItem::SetLooped(bool looped) {
    if (looped != m_looped) {
        Stop();
        m_looped = looped;
    }
}

void TWaveCollectionItem::SetMaxPlayingCount(int32_t count) {
    count = std::max(count, 0);
    if (count != m_maxPlayingCount) {
        m_maxPlayingCount = count;
        if (m_initialized) {
            FreeDuplicates();
        }
    }
}

void TWaveCollectionItem::SetWave(TWave wave) {
    FreeBuffers();
    m_wave = std::move(wave);
}

TSoundMixer* TWaveCollectionItem::Mixer() const {
    TGameSound* sound = m_collection.GameSound();
    return sound ? &sound->Mixer() : nullptr;
}

void TWaveCollectionItem::Initialize() {
    Finalize();
    m_initialized = m_collection.Initialized();
}

void TWaveCollectionItem::Finalize() {
    FreeBuffers();
    m_initialized = false;
}

void TWaveCollectionItem::FreeDuplicates() {
    TSoundMixer* mixer = Mixer();
    if (mixer && !m_duplicates.empty()) {
        TMixerLock lock(*mixer);
        for (auto& voice : m_duplicates) {
            mixer->Detach(*voice);
        }
    }
    m_duplicates.clear(); // outside the lock: freeing is not the audio thread's business
}

void TWaveCollectionItem::FreeBuffers() {
    FreeDuplicates();
    if (m_main) {
        if (TSoundMixer* mixer = Mixer()) {
            TMixerLock lock(*mixer);
            mixer->Detach(*m_main);
        }
        m_main.reset();
    }
}

void TWaveCollectionItem::Restore() {
    if (m_wave.Empty()) {
        return;
    }
    if (!m_initialized && m_collection.Initialized()) {
        Initialize();
    }
    TSoundMixer* mixer = Mixer();
    if (!m_initialized || !mixer || m_main) {
        return;
    }
    // Conversion and allocation happen before the lock; the lock only links the buffer in.
    auto samples = std::make_shared<const std::vector<int16_t>>(ConvertWave(m_wave, mixer->Rate()));
    auto main = std::make_unique<TSoundVoice>(std::move(samples));
    {
        TMixerLock lock(*mixer);
        mixer->Attach(*main);
    }
    m_main = std::move(main);
}

void TWaveCollectionItem::Play(bool wait) {
    if (!m_initialized) {
        return;
    }
    if (!m_main) {
        try {
            Restore();
        } catch (const EDirectSoundBufferError&) {
            return; // no main buffer to be had: nothing plays
        }
    }
    TSoundMixer* mixer = Mixer();
    if (!m_main || !mixer) {
        return;
    }

    if (m_looped) {
        TMixerLock lock(*mixer);
        Tune(*m_main);
        m_main->Start(true);
        return;
    }

    TSoundVoice* chosen = nullptr;
    {
        TMixerLock lock(*mixer);
        auto silent = std::find_if(m_duplicates.begin(), m_duplicates.end(),
                                   [](const auto& voice) { return !voice->Playing(); });
        if (silent != m_duplicates.end()) {
            chosen = silent->get();
        } else if (m_maxPlayingCount > 0 && DuplicateCount() >= m_maxPlayingCount) {
            // Cut off the oldest and make it the newest.
            std::rotate(m_duplicates.begin(), m_duplicates.begin() + 1, m_duplicates.end());
            chosen = m_duplicates.back().get();
        }
        if (chosen) {
            Tune(*chosen);
            chosen->Start(false);
        }
    }
    if (!chosen) {
        auto voice = std::make_unique<TSoundVoice>(m_main->Samples());
        chosen = voice.get();
        m_duplicates.push_back(std::move(voice));
        TMixerLock lock(*mixer);
        mixer->Attach(*chosen);
        Tune(*chosen);
        chosen->Start(false);
    }

    if (wait) {
        for (;;) {
            {
                TMixerLock lock(*mixer);
                if (!chosen->Playing()) {
                    break;
                }
            }
            std::this_thread::sleep_for(kWaitPoll);
        }
    }
}

void TWaveCollectionItem::Stop() {
    TSoundMixer* mixer = Mixer();
    if (!m_initialized || !mixer) {
        return;
    }
    TMixerLock lock(*mixer);
    if (m_main) {
        m_main->Stop();
    }
    for (auto& voice : m_duplicates) {
        voice->Stop();
    }
}

void TWaveCollectionItem::SetRate(double rate) {
    if (std::isnan(rate)) {
        return;
    }
    m_rate = std::clamp(rate, TSoundVoice::kMinRate, TSoundVoice::kMaxRate);
    if (TSoundMixer* mixer = Mixer()) {
        TMixerLock lock(*mixer);
        if (m_main) {
            m_main->SetRate(m_rate);
        }
        for (auto& voice : m_duplicates) {
            voice->SetRate(m_rate);
        }
    }
}

void TWaveCollectionItem::SetVolume(double volume) {
    if (std::isnan(volume)) {
        return;
    }
    m_volume = std::clamp(volume, 0.0, 1.0);
    if (TSoundMixer* mixer = Mixer()) {
        TMixerLock lock(*mixer);
        if (m_main) {
            m_main->SetVolume(m_volume);
        }
        for (auto& voice : m_duplicates) {
            voice->SetVolume(m_volume);
        }
    }
}

void TWaveCollectionItem::Tune(TSoundVoice& voice) const {
    voice.SetRate(m_rate);
    voice.SetVolume(m_volume);
}

int TWaveCollectionItem::PlayingCount() const {
    TSoundMixer* mixer = Mixer();
    if (!mixer) {
        return 0;
    }
    TMixerLock lock(*mixer);
    int count = m_main && m_main->Playing() ? 1 : 0;
    for (const auto& voice : m_duplicates) {
        count += voice->Playing() ? 1 : 0;
    }
    return count;
}

// ---- TWaveCollection ----

TWaveCollection::~TWaveCollection() {
    Clear();
}

TWaveCollectionItem& TWaveCollection::Add() {
    m_items.push_back(std::make_unique<TWaveCollectionItem>(*this));
    TWaveCollectionItem& item = *m_items.back();
    NameChanged(item, std::string());
    return item;
}

void TWaveCollection::Delete(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    std::unique_ptr<TWaveCollectionItem> item = std::move(m_items[index]);
    m_items.erase(m_items.begin() + index);
    Unindex(*item, item->Name());
}

void TWaveCollection::Clear() {
    m_index.clear();
    m_items.clear();
}

TWaveCollectionItem* TWaveCollection::TryFind(const std::string& name) const {
    auto it = m_index.find(IndexKey(name));
    return it == m_index.end() ? nullptr : it->second;
}

TWaveCollectionItem& TWaveCollection::Find(const std::string& name) const {
    TWaveCollectionItem* item = TryFind(name);
    if (!item) {
        throw EWaveCollectionError(AudioMessages::WaveNotFound(name));
    }
    return *item;
}

void TWaveCollection::LoadFromFile(const std::string& fileName) {
    std::vector<TWaveArchiveItem> recordings = ReadWaveArchive(fileName);
    Clear();
    for (TWaveArchiveItem& recording : recordings) {
        TWave wave;
        try {
            wave = ReadRiffWave(recording.Wave);
        } catch (EWaveError& error) {
            error.SetFileName(fileName);
            error.SetItemName(recording.Name);
            throw;
        }
        TWaveCollectionItem& item = Add();
        item.SetName(recording.Name);
        item.SetLooped(recording.Looped);
        item.SetMaxPlayingCount(recording.MaxPlayingCount);
        item.SetWave(std::move(wave));
    }
    if (m_sound) {
        Initialize(*m_sound);
        Restore();
    }
}

void TWaveCollection::NameChanged(TWaveCollectionItem& item, const std::string& oldName) {
    Unindex(item, oldName);
    item.m_nameSerial = ++m_nameSerial;
    m_index[IndexKey(item.Name())] = &item;
}

void TWaveCollection::Unindex(TWaveCollectionItem& item, const std::string& name) {
    const std::string key = IndexKey(name);
    auto it = m_index.find(key);
    if (it == m_index.end() || it->second != &item) {
        return;
    }
    // The name now leads to the item that carried it last before this one, if any.
    TWaveCollectionItem* previous = nullptr;
    for (const auto& other : m_items) {
        if (other.get() != &item && IndexKey(other->Name()) == key &&
            (!previous || other->m_nameSerial > previous->m_nameSerial)) {
            previous = other.get();
        }
    }
    if (previous) {
        it->second = previous;
    } else {
        m_index.erase(it);
    }
}

void TWaveCollection::Initialize(TGameSound& sound) {
    Finalize();
    m_sound = &sound;
    for (auto& item : m_items) {
        item->Initialize();
    }
}

void TWaveCollection::Restore() {
    for (auto& item : m_items) {
        item->Restore();
    }
}

void TWaveCollection::Finalize() {
    for (auto& item : m_items) {
        item->Finalize();
    }
    m_sound = nullptr;
}

// ---- TGameWaveList ----

TGameWaveList::TGameWaveList(TGameSound* sound) {
    SetGameSound(sound);
}

TGameWaveList::~TGameWaveList() {
    SetGameSound(nullptr);
}

void TGameWaveList::SetGameSound(TGameSound* sound) {
    if (sound == m_sound) {
        return;
    }
    if (m_sound) {
        m_sound->UnRegisterNotifyEvent(m_listenerId);
        m_items.Finalize();
    }
    m_sound = sound;
    m_listenerId = 0;
    if (m_sound) {
        m_listenerId = m_sound->RegisterNotifyEvent(
            [this](TGameSound& sender, TSoundNotifyType type) { Notified(sender, type); });
    }
}

void TGameWaveList::Notified(TGameSound& sound, TSoundNotifyType type) {
    switch (type) {
    case TSoundNotifyType::Initialize:
        m_items.Initialize(sound);
        break;
    case TSoundNotifyType::Restore:
        m_items.Restore();
        break;
    case TSoundNotifyType::Finalize:
        m_items.Finalize();
        break;
    case TSoundNotifyType::Destroying:
        m_items.Finalize();
        m_sound = nullptr;
        m_listenerId = 0;
        break;
    case TSoundNotifyType::Initializing:
        break;
    }
}
