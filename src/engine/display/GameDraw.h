#pragma once

#include "engine/gfx/Surface.h"
#include "engine/platform/Platform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class IPlatform;

class EGameDrawError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EDirectDrawError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Display options; bit N of a TGameDrawOptions is option N.
enum TGameDrawOption : uint32_t {
    doFullScreen = 0,
    doNoWindowChange = 1,
    doAllowReboot = 2,
    doWaitVBlank = 3,
    doAllowPalette256 = 4,
    doSystemMemory = 5,
    doStretch = 6,
    doCenter = 7,
    doFlip = 8,
    do3D = 9,
    doDirectX7Mode = 10,
    doRetainedMode = 11,
    doHardware = 12,
    doSelectDriver = 13,
    doZBuffer = 14,
};
using TGameDrawOptions = uint32_t;
constexpr TGameDrawOptions OptionBit(TGameDrawOption o) {
    return 1u << o;
}

// What the display tells the components that follow it (image lists, sprite engine).
enum class TDrawNotifyKind {
    Destroying = 0,
    Initializing = 1,
    Initialize = 2,
    InitializeSurface = 3,
    Finalize = 4,
    FinalizeSurface = 5,
    Restore = 6,
    SurfaceSize = 7,
};

class TGameDraw;
using TDrawNotification = std::function<void(TGameDraw&, TDrawNotifyKind)>;

struct TDisplayMode {
    int Width = 800;
    int Height = 600;
    int BitCount() const { return m_bitCount; }
    // Accepts 8, 16, 24 or 32 bits per pixel.
    void SetBitCount(int value);

  private:
    int m_bitCount = 16;
};

// The display: owns the 16-bit back surface everything is drawn on and presents it
// through the platform, in the window or scaled to the full screen.
class TGameDraw {
  public:
    TGameDraw(IPlatform* platform, int surfaceWidth, int surfaceHeight);
    ~TGameDraw();
    TGameDraw(const TGameDraw&) = delete;
    TGameDraw& operator=(const TGameDraw&) = delete;

    TDisplayMode Display;

    void Initialize();
    void Finalize();
    void Restore();
    bool CanDraw() const;
    // Begins composing a frame that paints every pixel of the back surface (it starts with a
    // fill or an opaque background over all of it). When such a frame repeats the one before
    // it, drawing it again and sending it to the window are left out.
    void BeginFrame();
    void Flip();

    // Off: every frame is drawn and sent in full, repeated or not (to compare against).
    bool ReuseFrames = true;

    bool Initialized() const { return m_initialized; }
    // The back surface; null while the display is not initialized.
    TDirectDrawSurface* Surface() { return m_initialized ? m_surface.get() : nullptr; }
    int SurfaceWidth() const { return m_surfaceWidth; }
    int SurfaceHeight() const { return m_surfaceHeight; }

    TGameDrawOptions Options() const { return m_options; }
    TGameDrawOptions NowOptions() const { return m_nowOptions; }
    void SetOptions(TGameDrawOptions options);

    // Callbacks run in reverse order of registration.
    void RegisterNotification(const void* owner, TDrawNotification callback);
    void RemoveNotification(const void* owner);

    std::function<void()> OnInitialize;
    std::function<void()> OnFinalize;

  private:
    void Notify(TDrawNotifyKind kind);

    IPlatform* m_platform; // may be null: a display without an output, for tests of drawing code
    int m_surfaceWidth;
    int m_surfaceHeight;
    std::unique_ptr<TDirectDrawSurface> m_surface;
    bool m_initialized = false;
    bool m_calledInitialize = false;
    bool m_updating = false;
    TGameDrawOptions m_options = 0;
    TGameDrawOptions m_nowOptions = 0;
    struct TNotifyEntry {
        const void* Owner;
        TDrawNotification Callback;
    };
    std::vector<TNotifyEntry> m_notifications;
    std::vector<TPresentRect> m_changedParts;
};
