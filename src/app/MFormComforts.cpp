// The form's comforts: the keys that change them on every screen, the short notice that tells
// the player what changed, and applying them to the mixer, the keyboard and the window.
#include "app/MForm.h"

#include "app/KeyAssignment.h"
#include "app/RaceReplays.h"
#include "context/Frame.h"
#include "context/GameText.h"
#include "engine/audio/GameSound.h"
#include "engine/audio/SoundMixer.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"

#include <algorithm>
#include <string>

namespace {
// Comfort keys, on every screen: window size, full-screen scaling, volumes.
constexpr int kEffectsDown = vk::F1 + 6; // F7
constexpr int kEffectsUp = vk::F1 + 7;   // F8
constexpr int kMusicDown = vk::F1 + 8;   // F9
constexpr int kMusicUp = vk::F1 + 9;     // F10
constexpr uint32_t kNoticeShownMs = 1500;
constexpr int kNoticeY = 6;

} // namespace

void TMForm::ApplyComforts() {
    const TComforts& c = m_menus->Comforts;
    {
        TMixerLock lock(m_sound->Mixer());
        m_sound->Mixer().SetLevel(TMixerGroup::Music, c.MusicVolume);
        m_sound->Mixer().SetLevel(TMixerGroup::Effects, c.EffectsVolume);
    }
    AssignKeys(m_input->Keyboard, c);
    m_platform.SetSharpFullScreen(c.SharpFullScreen);
    m_platform.SetWindowScale(c.WindowScale);
    m_frame->BeforePresent = [this] {
        if (m_player) {
            m_player->DrawMark();
        }
        DrawComfortNotice();
    };
}

bool TMForm::ComfortKey(const TPlatformEvent& event) {
    if (!m_created || event.Repeat) {
        return false;
    }
    TComforts& c = m_menus->Comforts;
    auto step = [](int& volume, int by) { volume = std::clamp(volume + by, 0, 100); };
    std::string notice;
    switch (event.VirtualKey) {
    case kEffectsDown:
    case kEffectsUp:
        step(c.EffectsVolume,
             event.VirtualKey == kEffectsUp ? TComforts::kVolumeStep : -TComforts::kVolumeStep);
        notice = "Effects " + std::to_string(c.EffectsVolume) + " %";
        break;
    case kMusicDown:
    case kMusicUp:
        step(c.MusicVolume, event.VirtualKey == kMusicUp ? TComforts::kVolumeStep : -TComforts::kVolumeStep);
        notice = "Music " + std::to_string(c.MusicVolume) + " %";
        break;
    case '0':
    case '1':
    case '2':
    case '3':
        if (!event.Alt) {
            return false;
        }
        if (event.VirtualKey == '0') {
            c.SharpFullScreen = !c.SharpFullScreen;
            notice = c.SharpFullScreen ? "Full screen: sharp pixels" : "Full screen: fit to the screen";
        } else {
            c.WindowScale = m_platform.SetWindowScale(event.VirtualKey - '0');
            notice = "Window " + std::to_string(c.WindowScale) + " \xD7"; // ×
        }
        break;
    default:
        return false;
    }
    ApplyComforts();
    ShowShortNotice(notice);
    SaveQuietly([this] { m_menus->SaveComforts(); });
    return true;
}

void TMForm::ShowShortNotice(const std::string& text) {
    m_noticeText = text;
    m_noticeUntil = m_platform.Ticks() + kNoticeShownMs;
}

void TMForm::DrawComfortNotice() {
    if (m_noticeText.empty()) {
        return;
    }
    if (static_cast<int32_t>(m_platform.Ticks() - m_noticeUntil) >= 0) {
        m_noticeText.clear();
        return;
    }
    m_text->SetTextFont(kShortNoticeFont);
    m_text->DrawText(m_noticeText, kScreenWidth / 2, kNoticeY, true);
}
