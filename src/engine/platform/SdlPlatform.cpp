#include "engine/platform/DisplayLifeline.h"
#include "engine/platform/EndSignals.h"
#include "engine/platform/MessageText.h"
#include "engine/platform/Platform.h"
#include "engine/platform/PresentedFrame.h"
#include "engine/platform/ScreenGeometry.h"
#include "engine/platform/SdlDialog.h"
#include "engine/platform/SdlKeys.h"
#include "engine/platform/SdlPads.h"
#include "engine/platform/VideoDrivers.h"
#include "engine/platform/WindowPicture.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace {

// What to add to a start-up failure when the likely cause is a start outside any desktop session.
std::string DesktopHint() {
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"))
        return {};
    return " Neither DISPLAY nor WAYLAND_DISPLAY is set: start the game from a desktop session.";
}

// When SDL was left to choose its driver and DISPLAY names a display, that display could not be
// reached: the message names it. Empty otherwise.
std::string UnreachableDisplayMessage() {
    const char* display = std::getenv("DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (!display || !*display || std::getenv("WAYLAND_DISPLAY") || (chosen && *chosen)) {
        return {};
    }
    return "The display \"" + std::string(display) +
           "\" (from DISPLAY) could not be opened: is its display server running, and may this user use it?";
}

std::string NoScreenMessage(const std::string& driver) {
    std::string unreachable = UnreachableDisplayMessage();
    if (!unreachable.empty()) {
        return unreachable;
    }
    return "There is no screen to show the game on: SDL's video driver \"" + driver +
           "\" draws nowhere a person can see." + DesktopHint();
}

class TSdlPlatform final : public IPlatform {
  public:
    TSdlPlatform(TSdlDialogs dialogs, bool wholeFrames) : m_dialogs(dialogs), m_wholeFrames(wholeFrames) {}
    ~TSdlPlatform() override {
        CloseAudio();
        m_pads.reset();
        if (m_cursor) {
            SDL_FreeCursor(m_cursor);
        }
        if (m_window) {
            SDL_DestroyWindow(m_window);
        }
        if (m_sdlStarted) {
            SDL_Quit();
        }
    }

    bool OpenWindow(const std::string& title, int width, int height, std::string& error) override {
        // Without a GPU the window surface would otherwise go through OpenGL on the CPU.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        // Closing the window asks the game first; only a signal or log-out ends it directly.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "0");
        // The game catches the end signals itself, SIGHUP and SIGQUIT among them, and learns
        // which one it was.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        CatchEndSignals();
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
            error = UnreachableDisplayMessage();
            if (error.empty()) {
                error = std::string("SDL could not start: ") + SDL_GetError() + "." + DesktopHint();
            }
            return false;
        }
        m_sdlStarted = true;
        const char* driver = SDL_GetCurrentVideoDriver();
        if (!ShowsWindowsToAPerson(driver ? driver : "")) {
            error = NoScreenMessage(driver ? driver : "none");
            return false;
        }
        // Controllers and sound are optional: the game runs without them.
        m_pads = std::make_unique<TSdlPads>();
        m_pads->Start(m_pending);
        m_width = width;
        m_height = height;
        // On a screen smaller than the picture the window opens scaled down to fit.
        const TScreenRect place = WindowFor(UsableArea(0), width, height);
        m_windowW = place.W;
        m_windowH = place.H;
        m_window = SDL_CreateWindow(title.c_str(), place.X, place.Y, place.W, place.H,
                                    SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
        if (!m_window) {
            error = std::string("The window could not be created: ") + SDL_GetError();
            return false;
        }
        m_cursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
        if (m_cursor) {
            SDL_SetCursor(m_cursor);
        }
        SDL_StartTextInput();
        return true;
    }

    void SetFullScreen(bool fullScreen) override {
        if (!m_window || fullScreen == IsFullScreen()) {
            return;
        }
        if (fullScreen) {
            SDL_GetWindowPosition(m_window, &m_windowedAt.x, &m_windowedAt.y);
            // Full screen is the window manager's job; without one the window would stay where and as
            // large as it was, showing a corner of a picture scaled for the whole screen. Covering the
            // screen first is right either way.
            SDL_Rect screen;
            if (SDL_GetDisplayBounds(DisplayIndex(), &screen) == 0) {
                SDL_SetWindowPosition(m_window, screen.x, screen.y);
                SDL_SetWindowSize(m_window, screen.w, screen.h);
            }
        }
        SDL_SetWindowFullscreen(m_window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        if (!fullScreen) {
            // Neither SDL nor every window manager puts the window back where it was.
            SDL_SetWindowSize(m_window, m_windowW, m_windowH);
            SDL_SetWindowPosition(m_window, m_windowedAt.x, m_windowedAt.y);
            m_placeChecksLeft = kPlaceChecks;
            m_nextPlaceCheck = SDL_GetTicks64() + kPlaceCheckEveryMs;
        }
    }
    // A window manager leaves full screen in its own time: a move that reaches it before it has put
    // the frame back is taken as the frame's place, and the window lands a title bar lower. What
    // SDL reports of the place then cannot be trusted either, so the place is asked for again a
    // few times while it settles; where it is right already, nothing moves.
    void KeepWindowedPlace() {
        if (m_placeChecksLeft == 0 || SDL_GetTicks64() < m_nextPlaceCheck) {
            return;
        }
        if (IsFullScreen()) {
            m_placeChecksLeft = 0;
            return;
        }
        --m_placeChecksLeft;
        m_nextPlaceCheck += kPlaceCheckEveryMs;
        SDL_SetWindowPosition(m_window, m_windowedAt.x, m_windowedAt.y);
    }
    bool IsFullScreen() const override {
        return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    }
    bool SaveWindowPlacement() override {
        if (!m_window) {
            return false;
        }
        SDL_GetWindowPosition(m_window, &m_placement.x, &m_placement.y);
        m_placementStored = true;
        return true;
    }
    // Called before the switch back to a window: the place is taken once the window is one again.
    void RestoreWindowPlacement() override {
        if (!m_window) {
            return;
        }
        if (m_placementStored) {
            m_windowedAt = m_placement;
            m_placementStored = false;
        } else {
            const TScreenRect place = PlaceWindow(UsableArea(DisplayIndex()), m_windowW, m_windowH);
            m_windowedAt = SDL_Point{place.X, place.Y};
        }
        if (!IsFullScreen()) {
            SDL_SetWindowPosition(m_window, m_windowedAt.x, m_windowedAt.y);
        }
    }
    bool HasFocus() const override {
        return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_INPUT_FOCUS) != 0;
    }
    bool IsMinimized() const override {
        return m_window && (SDL_GetWindowFlags(m_window) & SDL_WINDOW_MINIMIZED) != 0;
    }

    void Present(const uint16_t* pixels, int width, int height, int pitch) override {
        if (!m_window) {
            return;
        }
        Send(pixels, width, height, pitch, m_presented.Update(pixels, width, height, pitch));
    }

    void PresentChanged(const uint16_t* pixels, int width, int height, int pitch,
                        const std::vector<TPresentRect>& changed) override {
        if (!m_window) {
            return;
        }
        Send(pixels, width, height, pitch, m_presented.PassParts(pixels, width, height, pitch, changed));
    }

    void PresentUnchanged(const uint16_t* pixels, int width, int height, int pitch) override {
        // The window shows it already, unless it lost it or never got it.
        if (m_wholeFrames || m_picture.NeedsWhole() || m_presented.Forgotten() || !m_window ||
            SDL_GetWindowSurface(m_window) != m_lastTarget) {
            Present(pixels, width, height, pitch);
            return;
        }
        m_presented.Repeat(pixels, width, height, pitch);
    }

    bool PollEvent(TPlatformEvent& event) override {
        if (int signal = TakeEndSignal()) {
            event = TPlatformEvent{};
            event.Kind = TPlatformEventKind::Terminate;
            event.Signal = signal;
            return true;
        }
        KeepWindowedPlace();
        SDL_Event e;
        // SDL ends a poll cycle at a marker that it queues when it pumps. A wait pumps too, and
        // what arrives during the wait lands behind that marker: one poll would stop in front
        // of it, and the tick would run before those events are handled. Poll a second cycle.
        for (int cycle = 0; cycle < 2; ++cycle) {
            while (m_pending.empty() && SDL_PollEvent(&e)) {
                if (Translate(e, event)) {
                    return true;
                }
            }
            if (!m_pending.empty()) {
                event = m_pending.front();
                m_pending.pop_front();
                return true;
            }
        }
        return false;
    }
    void WaitEvent(uint32_t timeoutMs) override {
        // Short enough that a caught signal ends the game well within a second.
        SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<uint32_t>(timeoutMs, kLongestWaitMs)));
    }
    uint32_t Ticks() const override { return SDL_GetTicks(); }

    void GetKeyboardState(uint8_t keys[256]) const override {
        // The table follows the key events handed out so far, not SDL's own table: SDL updates
        // that one as soon as it pumps, so a tick could act on a key whose key-down (and the
        // text it types) the form has not seen yet. SDL sends key-ups for held keys when the
        // window loses the focus and key-downs for keys held when it gets it back.
        // A tap shorter than a tick still counts once: keys pressed since the last read read
        // as down even when they are already up again.
        std::memset(keys, 0, 256);
        for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
            if (!m_scancodesDown[sc]) {
                continue;
            }
            auto scancode = static_cast<SDL_Scancode>(sc);
            int code = VirtualKeyFromSdl(scancode, SDL_GetKeyFromScancode(scancode));
            if (code > 0 && code < 256) {
                keys[code] = 0x80;
            }
        }
        for (int code = 0; code < 256; ++code) {
            if (m_pressedSinceRead[code]) {
                keys[code] = 0x80;
            }
        }
        m_pressedSinceRead.fill(false);
    }

    TJoystickState ReadJoystick() override { return m_pads ? m_pads->ReadJoystick() : TJoystickState{}; }
    TPadState ReadPad() override { return m_pads ? m_pads->ReadPad() : TPadState{}; }
    std::string LoadPadMappings(const std::string& path) override {
        return m_pads ? m_pads->LoadMappings(path, m_pending) : std::string{};
    }

    int ShowCursor(bool show) override {
        m_cursorCount += show ? 1 : -1;
        SDL_ShowCursor(m_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
        return m_cursorCount;
    }

    void OpenUrl(const std::string& urlOrFile) override {
        std::string url = urlOrFile;
        if (url.find("://") == std::string::npos) {
            std::error_code ec;
            url = "file://" + std::filesystem::absolute(urlOrFile, ec).string();
        }
        SDL_OpenURL(url.c_str());
    }

    void ShowFatalError(const std::string& title, const std::string& message) override {
        ShowMessage(TDialogKind::Error, title, message);
    }
    void ShowWarning(const std::string& title, const std::string& message) override {
        ShowMessage(TDialogKind::Warning, title, message);
    }
    int SetWindowScale(int scale) override {
        if (!m_window) {
            return 1;
        }
        // As large as asked for, as far as the screen takes it with the window's frame.
        const TScreenRect area = UsableArea(DisplayIndex());
        if (scale == 0) {
            scale = ReadableWholeScale(area, m_width, m_height);
        }
        scale = std::clamp(scale, 1, LargestWholeScale(area, m_width, m_height));
        // 1 × on a screen smaller than the picture is the window scaled down to fit.
        const TScreenRect place = scale > 1 ? PlaceWindow(area, m_width * scale, m_height * scale)
                                            : WindowFor(area, m_width, m_height);
        m_windowW = place.W;
        m_windowH = place.H;
        if (!IsFullScreen()) {
            SDL_SetWindowSize(m_window, m_windowW, m_windowH);
            SDL_SetWindowPosition(m_window, place.X, place.Y);
            m_windowedAt = SDL_Point{place.X, place.Y};
        }
        return scale;
    }
    void SetSharpFullScreen(bool sharp) override {
        m_sharpFullScreen = sharp;
        m_picture.Forget();
    }
    void OnDisplayLost(std::function<void()> lastWords) override {
        const char* driver = SDL_GetCurrentVideoDriver();
        const char* display = std::getenv("DISPLAY");
        if (driver && std::string_view(driver) == "x11") {
            HoldDisplayLifeline(display ? display : "", std::move(lastWords));
        }
    }

    bool OpenAudio(IAudioSource* source, TAudioSpec& obtained) override {
        CloseAudio();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        m_audioStarted = true;
        SDL_AudioSpec want{};
        want.freq = 44100;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &TSdlPlatform::AudioCallback;
        want.userdata = source;
        SDL_AudioSpec have{};
        // A fixed rate: SDL converts when the device differs, and the music player needs a rate it supports.
        m_audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (m_audio == 0) {
            return false;
        }
        obtained.Rate = have.freq;
        obtained.Channels = 2;
        SDL_PauseAudioDevice(m_audio, 0);
        return true;
    }
    void CloseAudio() override {
        if (m_audio != 0) {
            SDL_CloseAudioDevice(m_audio);
            m_audio = 0;
        }
        if (m_audioStarted) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            m_audioStarted = false;
        }
    }
    void LockAudio() override {
        if (m_audio != 0) {
            SDL_LockAudioDevice(m_audio);
        }
    }
    void UnlockAudio() override {
        if (m_audio != 0) {
            SDL_UnlockAudioDevice(m_audio);
        }
    }

  private:
    void ShowMessage(TDialogKind kind, const std::string& title, const std::string& message) {
        const std::string shownTitle = PrintableMessage(title, kMaxTitleBytes);
        const std::string shownMessage = PrintableMessage(message);
        std::fprintf(stderr, "%s: %s\n", shownTitle.c_str(), shownMessage.c_str());
        std::fflush(stderr);
        ShowSdlDialog(kind, shownTitle, shownMessage, m_window, m_dialogs == TSdlDialogs::OwnProcess);
    }

    static void AudioCallback(void* user, Uint8* stream, int length) {
        static_cast<IAudioSource*>(user)->Mix(reinterpret_cast<int16_t*>(stream), length / 4);
    }

    int DisplayIndex() const { return std::max(0, SDL_GetWindowDisplayIndex(m_window)); }

    static TScreenRect UsableArea(int display) {
        SDL_Rect area;
        if (SDL_GetDisplayUsableBounds(display, &area) != 0 && SDL_GetDisplayBounds(display, &area) != 0) {
            return TScreenRect{};
        }
        return TScreenRect{area.x, area.y, area.w, area.h};
    }

    // Sends the changed parts of the picture to the window (all of it when the window lost what
    // it showed).
    void Send(const uint16_t* pixels, int width, int height, int pitch,
              const std::vector<TPresentRect>& changed) {
        SDL_Surface* target = SDL_GetWindowSurface(m_window);
        if (!target || target->format->BytesPerPixel != 4) {
            m_presented.Forget(); // nothing was shown: the next picture goes out whole
            return;
        }
        m_picture.Place(ViewOf(target->w, target->h, width, height), target->w, target->h, width, height);
        const bool newTables =
            m_converter.Prepare(target->format->Rshift, target->format->Gshift, target->format->Bshift);
        // A new window surface holds nothing yet; an exposed window lost what it showed.
        const bool whole = m_wholeFrames || newTables || m_picture.NeedsWhole() || target != m_lastTarget;
        if (!whole && changed.empty()) {
            return; // the window already shows this picture
        }
        if (SDL_MUSTLOCK(target)) {
            SDL_LockSurface(target);
        }
        m_picture.Draw(
            TWindowPixels{static_cast<uint8_t*>(target->pixels), target->pitch, target->w, target->h},
            m_converter, pixels, pitch, changed, whole);
        if (SDL_MUSTLOCK(target)) {
            SDL_UnlockSurface(target);
        }
        m_lastTarget = target;
        if (m_picture.WroteWhole()) {
            SDL_UpdateWindowSurface(m_window);
            return;
        }
        m_rects.clear();
        for (const TScreenRect& r : m_picture.Rects()) {
            m_rects.push_back(SDL_Rect{r.X, r.Y, r.W, r.H});
        }
        if (!m_rects.empty()) {
            SDL_UpdateWindowSurfaceRects(m_window, m_rects.data(), static_cast<int>(m_rects.size()));
        }
    }

    // Where the picture is in a window of this size: sharp in full screen when asked, else fitted.
    TScreenRect ViewOf(int targetW, int targetH, int pictureW, int pictureH) const {
        return IsFullScreen() && m_sharpFullScreen ? SharpPicture(targetW, targetH, pictureW, pictureH)
                                                   : FitPicture(targetW, targetH, pictureW, pictureH);
    }

    // Window coordinates to display pixels. The view is worked out from the window's size now, not
    // taken from the last picture sent: a pointer that moves right after the window changed size
    // must land where the player sees it.
    void ToDisplay(int wx, int wy, int& x, int& y) const {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(m_window, &w, &h);
        const TScreenRect view = ViewOf(w, h, m_width, m_height);
        if (view.W <= 0 || view.H <= 0) {
            x = wx;
            y = wy;
            return;
        }
        x = static_cast<int>(static_cast<int64_t>(wx - view.X) * m_width / view.W);
        y = static_cast<int>(static_cast<int64_t>(wy - view.Y) * m_height / view.H);
    }

    bool Translate(const SDL_Event& e, TPlatformEvent& out) {
        out = TPlatformEvent{};
        switch (e.type) {
        case SDL_QUIT:
            out.Kind = TPlatformEventKind::Terminate;
            return true;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                out.Kind = TPlatformEventKind::CloseRequest;
                return true;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                out.Kind = TPlatformEventKind::FocusGained;
                return true;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                out.Kind = TPlatformEventKind::FocusLost;
                return true;
            case SDL_WINDOWEVENT_MINIMIZED:
                out.Kind = TPlatformEventKind::Minimized;
                return true;
            case SDL_WINDOWEVENT_RESTORED:
                out.Kind = TPlatformEventKind::Restored;
                return true;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                m_picture.Forget();
                out.Kind = TPlatformEventKind::Expose;
                return true;
            default:
                return false;
            }
        case SDL_MOUSEMOTION: {
            // The window moving or changing size under a pointer that stands still (the switch to
            // full screen and back) is no move of the player's: it would take the highlight off
            // a question's answer. (SDL's own global pointer state is only refreshed by raw input
            // events, which not every server sends: the window's place plus the pointer's place in
            // it is the same.)
            int windowX = 0;
            int windowY = 0;
            SDL_GetWindowPosition(m_window, &windowX, &windowY);
            if (!m_pointer.Moved(windowX + e.motion.x, windowY + e.motion.y)) {
                return false;
            }
            out.Kind = TPlatformEventKind::MouseMove;
            ToDisplay(e.motion.x, e.motion.y, out.X, out.Y);
            return true;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_RIGHT) {
                out.Kind = TPlatformEventKind::MouseRightClick;
            } else if (e.button.button == SDL_BUTTON_LEFT) {
                out.Kind =
                    e.button.clicks >= 2 ? TPlatformEventKind::MouseDblClick : TPlatformEventKind::MouseClick;
            } else {
                return false;
            }
            ToDisplay(e.button.x, e.button.y, out.X, out.Y);
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            out.Kind = e.type == SDL_KEYDOWN ? TPlatformEventKind::KeyDown : TPlatformEventKind::KeyUp;
            out.VirtualKey = VirtualKeyFromSdl(e.key.keysym.scancode, e.key.keysym.sym);
            out.Alt = (e.key.keysym.mod & KMOD_ALT) != 0;
            out.Ctrl = (e.key.keysym.mod & KMOD_CTRL) != 0;
            out.Shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
            out.Repeat = e.key.repeat != 0;
            if (e.key.keysym.scancode >= 0 && e.key.keysym.scancode < SDL_NUM_SCANCODES) {
                m_scancodesDown[e.key.keysym.scancode] = e.type == SDL_KEYDOWN;
            }
            if (e.type == SDL_KEYDOWN) {
                out.KeySerial = ++m_keySerial;
                if (out.VirtualKey > 0 && out.VirtualKey < 256) {
                    m_pressedSinceRead[out.VirtualKey] = true;
                }
            }
            return true;
        case SDL_TEXTINPUT:
            out.Kind = TPlatformEventKind::Text;
            out.Text = e.text.text;
            out.KeySerial = m_keySerial;
            return true;
        default:
            // Controllers: what they do comes as events of their own, queued.
            if (m_pads) {
                m_pads->Handle(e, m_pending);
            }
            return false;
        }
    }

    static constexpr std::size_t kMaxTitleBytes = 200;

    TSdlDialogs m_dialogs;
    std::array<bool, SDL_NUM_SCANCODES> m_scancodesDown{};
    mutable std::array<bool, 256> m_pressedSinceRead{};
    uint32_t m_keySerial = 0;
    bool m_sdlStarted = false;
    bool m_audioStarted = false;
    SDL_Window* m_window = nullptr;
    SDL_Cursor* m_cursor = nullptr;
    std::unique_ptr<TSdlPads> m_pads;
    std::deque<TPlatformEvent> m_pending; // events that came several from one of SDL's
    SDL_AudioDeviceID m_audio = 0;
    static constexpr uint32_t kLongestWaitMs = 250;
    int m_width = 0; // the picture
    int m_height = 0;
    int m_windowW = 0; // the window, when not full screen
    int m_windowH = 0;
    TPointerTrack m_pointer;
    bool m_sharpFullScreen = true;
    int m_cursorCount = 0;
    SDL_Point m_placement{};
    bool m_placementStored = false;
    SDL_Point m_windowedAt{}; // where the window goes when it leaves full screen
    static constexpr int kPlaceChecks = 3;
    static constexpr uint64_t kPlaceCheckEveryMs = 500;
    int m_placeChecksLeft = 0;
    uint64_t m_nextPlaceCheck = 0;
    TPixelConverter m_converter;
    bool m_wholeFrames = false;
    TPresentedFrame m_presented;
    SDL_Surface* m_lastTarget = nullptr;
    std::vector<SDL_Rect> m_rects;
    TWindowPicture m_picture;
};

} // namespace

std::unique_ptr<IPlatform> CreateSdlPlatform(TSdlDialogs dialogs, bool wholeFrames) {
    return std::make_unique<TSdlPlatform>(dialogs, wholeFrames);
}
