#include "engine/platform/HeadlessPlatform.h"

#include "engine/platform/MessageText.h"

#include <algorithm>

void THeadlessPlatform::PushKey(int virtualKey, bool down, bool alt, bool repeat) {
    TPlatformEvent e;
    e.Kind = down ? TPlatformEventKind::KeyDown : TPlatformEventKind::KeyUp;
    e.VirtualKey = virtualKey;
    e.Alt = alt;
    e.Repeat = repeat;
    if (down) {
        e.KeySerial = ++m_keySerial;
    }
    m_events.push_back(e);
}

void THeadlessPlatform::PushText(const std::string& utf8, bool fromLastKey) {
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::Text;
    e.Text = utf8;
    // Typed text stands for presses of its own.
    e.KeySerial = fromLastKey ? m_keySerial : ++m_keySerial;
    m_events.push_back(e);
}

void THeadlessPlatform::PushClick(int x, int y) {
    PushMouseMove(x, y);
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::MouseClick;
    e.X = x;
    e.Y = y;
    m_events.push_back(e);
}

void THeadlessPlatform::PushMouseMove(int x, int y) {
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::MouseMove;
    e.X = x;
    e.Y = y;
    m_events.push_back(e);
}

void THeadlessPlatform::PlugPad(const std::string& name) {
    UnplugPad();
    m_pad = TPadState{};
    m_pad.Present = true;
    m_padName = name;
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::PadConnected;
    e.Text = name;
    m_events.push_back(e);
}

void THeadlessPlatform::UnplugPad() {
    if (!m_pad.Present) {
        return;
    }
    m_pad = TPadState{};
    m_padPressed = 0;
    TPlatformEvent e;
    e.Kind = TPlatformEventKind::PadRemoved;
    e.Text = m_padName;
    m_events.push_back(e);
}

void THeadlessPlatform::SetPadButton(TPadButton button, bool down) {
    if (!m_pad.Present || button < 0 || button >= kPadButtonCount || m_pad.Down(button) == down) {
        return;
    }
    const uint32_t bit = 1U << static_cast<unsigned>(button);
    m_pad.Buttons = down ? m_pad.Buttons | bit : m_pad.Buttons & ~bit;
    if (down) {
        m_padPressed |= bit;
    }
    TPlatformEvent e;
    e.Kind = down ? TPlatformEventKind::PadButtonDown : TPlatformEventKind::PadButtonUp;
    e.PadButton = button;
    m_events.push_back(e);
}

void THeadlessPlatform::SetPadAxis(TPadAxis axis, int value) {
    if (m_pad.Present && axis >= 0 && axis < kPadAxisCount) {
        m_pad.Axes[static_cast<size_t>(axis)] = std::clamp(value, -32768, 32767);
    }
}

TPadState THeadlessPlatform::ReadPad() {
    TPadState pad = m_pad;
    pad.Buttons |= m_padPressed;
    m_padPressed = 0;
    return pad;
}

std::string THeadlessPlatform::LoadPadMappings(const std::string& path) {
    m_padMappingFiles.push_back(path);
    return {};
}

std::vector<int16_t> THeadlessPlatform::PullAudio(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(std::max(frames, 0)) * 2, 0);
    if (m_audio && frames > 0) {
        LockAudio();
        m_audio->Mix(out.data(), frames);
        UnlockAudio();
    }
    return out;
}

bool THeadlessPlatform::OpenWindow(const std::string& title, int width, int height, std::string&) {
    m_title = title;
    m_frame.Reset(width, height);
    return true;
}

bool THeadlessPlatform::SaveWindowPlacement() {
    m_placementStored = true;
    ++m_savedPlacements;
    return true;
}

void THeadlessPlatform::RestoreWindowPlacement() {
    if (m_placementStored) {
        ++m_restoredPlacements;
        m_placementStored = false;
    }
}

void THeadlessPlatform::Present(const uint16_t* pixels, int width, int height, int pitch) {
    m_frame.Update(pixels, width, height, pitch);
    ++m_presents;
}

void THeadlessPlatform::PresentChanged(const uint16_t* pixels, int width, int height, int pitch,
                                       const std::vector<TPresentRect>& changed) {
    m_frame.TakeParts(pixels, width, height, pitch, changed);
    ++m_presents;
}

void THeadlessPlatform::PresentUnchanged(const uint16_t* pixels, int width, int height, int pitch) {
    m_frame.Repeat(pixels, width, height, pitch);
    ++m_presents;
    ++m_unchangedPresents;
}

bool THeadlessPlatform::PollEvent(TPlatformEvent& event) {
    if (m_events.empty() && m_terminateAt && m_now >= *m_terminateAt) {
        m_terminateAt.reset();
        event = TPlatformEvent{};
        event.Kind = TPlatformEventKind::Terminate;
        return true;
    }
    if (m_events.empty()) {
        return false;
    }
    event = m_events.front();
    m_events.pop_front();
    return true;
}

void THeadlessPlatform::WaitEvent(uint32_t timeoutMs) {
    // Nothing else can happen on a virtual clock while waiting: time simply passes.
    if (m_events.empty()) {
        m_now += timeoutMs;
    }
}

void THeadlessPlatform::GetKeyboardState(uint8_t keys[256]) const {
    std::copy(m_keys.begin(), m_keys.end(), keys);
}

// Recorded as the SDL back-end shows them.
void THeadlessPlatform::ShowFatalError(const std::string& title, const std::string& message) {
    m_errors.push_back(PrintableMessage(title) + ": " + PrintableMessage(message));
}

void THeadlessPlatform::ShowWarning(const std::string& title, const std::string& message) {
    m_warnings.push_back(PrintableMessage(title) + ": " + PrintableMessage(message));
}

bool THeadlessPlatform::OpenAudio(IAudioSource* source, TAudioSpec& obtained) {
    m_audio = source;
    obtained.Rate = 44100;
    obtained.Channels = 2;
    return true;
}
