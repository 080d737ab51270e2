#pragma once

#include "engine/platform/Platform.h"
#include "engine/platform/PresentedFrame.h"

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// A platform without window or sound card for tests: a virtual clock the test advances,
// scripted events and device states, the presented picture kept for reading, and the
// audio stream pulled by hand.
class THeadlessPlatform final : public IPlatform {
  public:
    THeadlessPlatform() = default;

    // Test controls.
    void Advance(uint32_t ms) { m_now += ms; }
    void Push(const TPlatformEvent& event) { m_events.push_back(event); }
    // A termination request once the virtual clock reaches atMs: ends a whole message loop
    // that a test runs unattended.
    void TerminateAt(uint32_t atMs) { m_terminateAt = atMs; }
    void PushKey(int virtualKey, bool down, bool alt = false, bool repeat = false);
    // Typed text; fromLastKey: produced by the last key pressed, arriving after its key-down.
    void PushText(const std::string& utf8, bool fromLastKey = false);
    void PushClick(int x, int y);
    void PushMouseMove(int x, int y);
    // Holds or releases a key in the keyboard state table (what the input states read).
    void SetKey(int virtualKey, bool down) { m_keys[virtualKey & 0xFF] = down ? 0x80 : 0; }
    void SetJoystick(const TJoystickState& state) { m_joystick = state; }
    // A virtual controller with a known mapping: plugging and unplugging it sends what a real
    // one sends; a button sends its event and is held (or let go) for the input states; a press
    // and release between two reads still reads as down once.
    void PlugPad(const std::string& name);
    void UnplugPad();
    void SetPadButton(TPadButton button, bool down);
    void SetPadAxis(TPadAxis axis, int value);
    void SetFocus(bool focus) { m_focus = focus; }
    void SetMinimized(bool minimized) { m_minimized = minimized; }
    // Mixes Frames stereo frames from the audio source (silence when none is open).
    std::vector<int16_t> PullAudio(int frames);

    // The picture as the window would show it: every Present copies only what changed.
    const std::vector<uint16_t>& Frame() const { return m_frame.Pixels(); }
    int FrameWidth() const { return m_frame.Width(); }
    int FrameHeight() const { return m_frame.Height(); }
    uint16_t FramePixel(int x, int y) const {
        return m_frame.Pixels()[static_cast<size_t>(y) * m_frame.Width() + x];
    }
    // The parts the last Present changed: empty when it showed the same picture again.
    const std::vector<TPresentRect>& ChangedRects() const { return m_frame.Changed(); }
    int PresentCount() const { return m_presents; }
    // Presents of a picture known to be the same as the one before (PresentUnchanged).
    int UnchangedPresentCount() const { return m_unchangedPresents; }
    int CursorCount() const { return m_cursorCount; }
    const std::vector<std::string>& OpenedUrls() const { return m_urls; }
    const std::vector<std::string>& FatalErrors() const { return m_errors; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }
    const std::string& WindowTitle() const { return m_title; }
    bool AudioOpen() const { return m_audio != nullptr; }
    int AudioLockDepth() const { return m_audioLock; }

    // IPlatform.
    bool OpenWindow(const std::string& title, int width, int height, std::string& error) override;
    void SetFullScreen(bool fullScreen) override { m_fullScreen = fullScreen; }
    bool IsFullScreen() const override { return m_fullScreen; }
    bool SaveWindowPlacement() override;
    void RestoreWindowPlacement() override;
    bool HasFocus() const override { return m_focus; }
    bool IsMinimized() const override { return m_minimized; }
    void Present(const uint16_t* pixels, int width, int height, int pitch) override;
    void PresentUnchanged(const uint16_t* pixels, int width, int height, int pitch) override;
    void PresentChanged(const uint16_t* pixels, int width, int height, int pitch,
                        const std::vector<TPresentRect>& changed) override;
    bool PollEvent(TPlatformEvent& event) override;
    void WaitEvent(uint32_t timeoutMs) override;
    uint32_t Ticks() const override { return m_now; }
    void GetKeyboardState(uint8_t keys[256]) const override;
    TJoystickState ReadJoystick() override { return m_joystick; }
    TPadState ReadPad() override;
    std::string LoadPadMappings(const std::string& path) override;
    // The mapping files the game asked for.
    const std::vector<std::string>& PadMappingFiles() const { return m_padMappingFiles; }
    int ShowCursor(bool show) override { return m_cursorCount += show ? 1 : -1; }
    void OpenUrl(const std::string& urlOrFile) override { m_urls.push_back(urlOrFile); }
    void ShowFatalError(const std::string& title, const std::string& message) override;
    void ShowWarning(const std::string& title, const std::string& message) override;
    bool OpenAudio(IAudioSource* source, TAudioSpec& obtained) override;
    void CloseAudio() override { m_audio = nullptr; }
    void LockAudio() override { ++m_audioLock; }
    void UnlockAudio() override { --m_audioLock; }

    // Placement bookkeeping, visible to tests of the full-screen switch.
    int SavedPlacements() const { return m_savedPlacements; }
    int RestoredPlacements() const { return m_restoredPlacements; }

  private:
    uint32_t m_now = 1000;
    std::deque<TPlatformEvent> m_events;
    std::array<uint8_t, 256> m_keys{};
    TJoystickState m_joystick;
    TPadState m_pad;
    uint32_t m_padPressed = 0;
    std::string m_padName;
    std::vector<std::string> m_padMappingFiles;
    bool m_focus = true;
    bool m_minimized = false;
    bool m_fullScreen = false;
    bool m_placementStored = false;
    int m_savedPlacements = 0;
    int m_restoredPlacements = 0;
    std::string m_title;
    TPresentedFrame m_frame;
    int m_presents = 0;
    int m_unchangedPresents = 0;
    int m_cursorCount = 0;
    std::vector<std::string> m_urls;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_warnings;
    std::optional<uint32_t> m_terminateAt;
    IAudioSource* m_audio = nullptr;
    int m_audioLock = 0;
    uint32_t m_keySerial = 0;
};
