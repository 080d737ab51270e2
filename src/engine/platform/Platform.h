#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the game needs from the machine it runs on. Two back-ends implement it: SDL for
// the player, and a headless one that tests drive tick by tick (see HeadlessPlatform.h).

enum class TPlatformEventKind {
    MouseMove,       // X, Y in display pixels
    MouseClick,      // left button pressed, X, Y
    MouseDblClick,   // second press of a double click (a click event precedes it)
    MouseRightClick, // right button pressed, X, Y
    KeyDown,         // VirtualKey; Alt/Ctrl/Shift, Repeat
    KeyUp,           // VirtualKey
    Text,            // Text: typed characters, UTF-8
    FocusGained,
    FocusLost,
    CloseRequest, // close box, Alt+F4, window manager
    Minimized,
    Restored,
    Terminate,     // SIGTERM, SIGINT, SIGHUP, SIGQUIT, log-out: save and end now
    Expose,        // the window needs its picture again
    PadConnected,  // a controller or joystick came (or was there at the start); Text: its name
    PadRemoved,    // Text: the name it had
    PadButtonDown, // PadButton: a button of a mapped controller (TPadButton)
    PadButtonUp,
};

struct TPlatformEvent {
    TPlatformEventKind Kind = TPlatformEventKind::Expose;
    int X = 0;
    int Y = 0;
    int VirtualKey = 0; // Windows virtual-key code, 0 when the key has none
    bool Alt = false;
    bool Ctrl = false;
    bool Shift = false;
    bool Repeat = false;
    std::string Text;
    // Counts key presses: a key-down carries its own number, typed text the number of the
    // press that produced it (text can arrive after the key-down it belongs to).
    uint32_t KeySerial = 0;
    // Terminate: the signal that asked for it, 0 when it was not a signal.
    int Signal = 0;
    int PadButton = 0;
};

// The buttons of a controller with a known mapping, by where they sit on a standard pad (A is
// the lower face button, B the right one), whoever made it.
enum TPadButton : int {
    pbA,
    pbB,
    pbX,
    pbY,
    pbBack,
    pbGuide,
    pbStart,
    pbLeftStick,
    pbRightStick,
    pbLeftShoulder,
    pbRightShoulder,
    pbDpadUp,
    pbDpadDown,
    pbDpadLeft,
    pbDpadRight,
    kPadButtonCount,
};

enum TPadAxis : int {
    paLeftX,
    paLeftY,
    paRightX,
    paRightY,
    paLeftTrigger,
    paRightTrigger,
    kPadAxisCount,
};

// Every connected controller with a known mapping, taken together: a button is down when it is
// down on any of them, and an axis reads as the one pushed furthest from its rest.
struct TPadState {
    bool Present = false;
    // Bit N: button N (TPadButton) is down, or was pressed since the last read (a tap shorter
    // than a tick still counts once).
    uint32_t Buttons = 0;
    // -32768..32767, 0 at rest; down and right are positive. Triggers rest at 0.
    std::array<int, kPadAxisCount> Axes{};
    bool Down(TPadButton button) const { return (Buttons >> button) & 1U; }
};

// The first joystick as the multimedia joystick API reports it: raw axis positions
// inside their min..max range, one bit per button.
struct TJoystickState {
    bool Present = false;
    int XMin = 0, XMax = 65535, X = 32767;
    int YMin = 0, YMax = 65535, Y = 32767;
    int ZMin = 0, ZMax = 65535, Z = 32767;
    uint32_t Buttons = 0;
};

// Something that fills the audio stream: called on the audio thread with the device lock
// held, or by hand on the headless back-end.
class IAudioSource {
  public:
    virtual ~IAudioSource() = default;
    // Interleaved signed 16-bit stereo at the device rate; Frames stereo frames.
    virtual void Mix(int16_t* out, int frames) = 0;
};

struct TAudioSpec {
    int Rate = 44100;
    int Channels = 2;
};

// A part of the picture, in display pixels.
struct TPresentRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TPresentRect&) const = default;
};

class IPlatform {
  public:
    virtual ~IPlatform() = default;

    // Window.
    virtual bool OpenWindow(const std::string& title, int width, int height, std::string& error) = 0;
    virtual void SetFullScreen(bool fullScreen) = 0;
    virtual bool IsFullScreen() const = 0;
    virtual bool SaveWindowPlacement() = 0;
    // The window shows the picture at scale × its size (1, 2, 3), as far as the screen allows, or
    // (0) at the size that reads well on this screen; returns the scale taken. Back-ends without a window of
    // their own stay at 1.
    virtual int SetWindowScale(int scale) {
        (void)scale;
        return 1;
    }
    // Full screen: the picture at the largest whole factor with bands around (sharp pixels), or
    // scaled to fill the screen's height or width (fit).
    virtual void SetSharpFullScreen(bool sharp) { (void)sharp; }
    virtual void RestoreWindowPlacement() = 0;
    virtual bool HasFocus() const = 0; // our window is the foreground window
    virtual bool IsMinimized() const = 0;
    // Shows an RGB565 picture (Pitch in pixels), scaled to fit in full screen. Only what changed
    // since the last picture is sent to the window, nothing when the picture is the same.
    virtual void Present(const uint16_t* pixels, int width, int height, int pitch) = 0;
    // The same picture as the last Present, known to be so without comparing it.
    virtual void PresentUnchanged(const uint16_t* pixels, int width, int height, int pitch) {
        Present(pixels, width, height, pitch);
    }
    // A picture known to differ from the last one presented only within the changed parts (they
    // do not overlap), so nothing needs comparing.
    virtual void PresentChanged(const uint16_t* pixels, int width, int height, int pitch,
                                const std::vector<TPresentRect>& changed) {
        (void)changed;
        Present(pixels, width, height, pitch);
    }

    // Events and time.
    virtual bool PollEvent(TPlatformEvent& event) = 0;
    // Sleeps until an event is pending or timeoutMs have passed.
    virtual void WaitEvent(uint32_t timeoutMs) = 0;
    virtual uint32_t Ticks() const = 0; // milliseconds

    // Input devices, read once per tick. Keys: 256 entries by virtual-key code, high bit = down.
    virtual void GetKeyboardState(uint8_t keys[256]) const = 0;
    // The first joystick that no controller mapping is known for.
    virtual TJoystickState ReadJoystick() = 0;
    virtual TPadState ReadPad() { return {}; }
    // Controller mappings from a file of mapping lines, in addition to the built-in ones, and
    // applied to pads already connected. Returns what is wrong with the file, empty when it was
    // read or is not there.
    virtual std::string LoadPadMappings(const std::string& path) {
        (void)path;
        return {};
    }

    // Pointer: ShowCursor(true/false) raises/lowers the display count and returns the new
    // count; the pointer shows while the count is 0 or more.
    virtual int ShowCursor(bool show) = 0;

    // Desktop.
    virtual void OpenUrl(const std::string& urlOrFile) = 0;
    virtual void ShowFatalError(const std::string& title, const std::string& message) = 0;
    // A problem the player must know about that does not end the game (a save file that
    // could not be written or read): a warning dialog, and the same text on stderr.
    virtual void ShowWarning(const std::string& title, const std::string& message) = 0;
    // Runs lastWords when the display goes away under the game, just before the process ends:
    // the last chance to save. Back-ends whose display cannot go away ignore it.
    virtual void OnDisplayLost(std::function<void()> lastWords) { (void)lastWords; }

    // Audio device: one stereo 16-bit stream. Returns false when there is no device; the
    // game then runs silent.
    virtual bool OpenAudio(IAudioSource* source, TAudioSpec& obtained) = 0;
    virtual void CloseAudio() = 0;
    virtual void LockAudio() = 0;
    virtual void UnlockAudio() = 0;
};

// RAII for the audio device lock.
class TAudioLock {
  public:
    explicit TAudioLock(IPlatform& platform) : m_platform(platform) { m_platform.LockAudio(); }
    ~TAudioLock() { m_platform.UnlockAudio(); }
    TAudioLock(const TAudioLock&) = delete;
    TAudioLock& operator=(const TAudioLock&) = delete;

  private:
    IPlatform& m_platform;
};

// Where the SDL platform shows its message boxes: in this process, or (for the game itself) in a
// copy of the game's executable started for each box, which ends together with the game.
enum class TSdlDialogs { InProcess, OwnProcess };

// wholeFrames: every Present sends the whole picture, changed or not (to measure what sending
// only the changes saves).
std::unique_ptr<IPlatform> CreateSdlPlatform(TSdlDialogs dialogs = TSdlDialogs::InProcess,
                                             bool wholeFrames = false);

// A program whose platform shows its boxes in their own process hands its arguments here first:
// when they ask for such a box, this shows it and returns the code to end the process with.
std::optional<int> RunSdlDialogProcess(int argc, char** argv);
