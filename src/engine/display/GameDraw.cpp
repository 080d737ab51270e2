#include "engine/display/GameDraw.h"

#include "engine/platform/Platform.h"

#include <algorithm>

void TDisplayMode::SetBitCount(int value) {
    if (value != 8 && value != 16 && value != 24 && value != 32) {
        throw EDirectDrawError("It should be either of 8 or 16 or 24 or 32");
    }
    m_bitCount = value;
}

TGameDraw::TGameDraw(IPlatform* platform, int surfaceWidth, int surfaceHeight)
    : m_platform(platform), m_surfaceWidth(surfaceWidth), m_surfaceHeight(surfaceHeight) {
    Display.Width = surfaceWidth;
    Display.Height = surfaceHeight;
}

TGameDraw::~TGameDraw() {
    Notify(TDrawNotifyKind::Destroying);
    // Followers must not hear the finalize of a display they may already have left.
    m_notifications.clear();
    OnInitialize = nullptr;
    OnFinalize = nullptr;
    Finalize();
}

void TGameDraw::SetOptions(TGameDrawOptions options) {
    constexpr TGameDrawOptions kBits10To14 = OptionBit(doDirectX7Mode) | OptionBit(doRetainedMode) |
                                             OptionBit(doHardware) | OptionBit(doSelectDriver) |
                                             OptionBit(doZBuffer);
    if (!m_initialized) {
        TGameDrawOptions now = options;
        if (!(now & OptionBit(doFullScreen))) {
            now &= ~(OptionBit(doNoWindowChange) | OptionBit(doAllowReboot) | OptionBit(doAllowPalette256) |
                     OptionBit(doFlip));
        }
        if (!(now & OptionBit(do3D))) {
            now &= ~kBits10To14;
        }
        if (now & OptionBit(doSystemMemory)) {
            now &= ~OptionBit(doFlip);
        }
        if (now & OptionBit(doDirectX7Mode)) {
            now &= ~OptionBit(doRetainedMode);
        }
        now &= ~OptionBit(doHardware);
        m_nowOptions = now;
    } else {
        constexpr TGameDrawOptions kLive =
            OptionBit(doWaitVBlank) | OptionBit(doStretch) | OptionBit(doCenter) | (1u << 15);
        m_nowOptions = (m_nowOptions & ~kLive) | (options & kLive);
        if (!(m_nowOptions & OptionBit(do3D))) {
            m_nowOptions &= ~(OptionBit(doRetainedMode) | OptionBit(doHardware) | OptionBit(doSelectDriver) |
                              OptionBit(doZBuffer));
        }
    }
    m_options = options;
}

void TGameDraw::Initialize() {
    m_calledInitialize = true;
    Finalize();
    m_updating = true;
    Notify(TDrawNotifyKind::Initializing);
    try {
        if (m_platform) {
            // The desktop's own full-screen mode with the picture scaled to fit: no video-mode
            // change, so this cannot fail the way a mode switch can.
            m_platform->SetFullScreen((m_nowOptions & OptionBit(doFullScreen)) != 0);
        }
        m_surface =
            std::make_unique<TDirectDrawSurface>(std::max(m_surfaceWidth, 1), std::max(m_surfaceHeight, 1));
        m_surface->Fill(0);
    } catch (...) {
        m_updating = false;
        m_surface.reset();
        throw;
    }
    m_updating = false;
    m_initialized = true;
    Notify(TDrawNotifyKind::SurfaceSize);
    Notify(TDrawNotifyKind::Initialize);
    if (OnInitialize) {
        OnInitialize();
    }
    Notify(TDrawNotifyKind::InitializeSurface);
    Restore();
}

void TGameDraw::Finalize() {
    if (!m_initialized) {
        return;
    }
    m_updating = true;
    Notify(TDrawNotifyKind::FinalizeSurface);
    if (OnFinalize) {
        OnFinalize();
    }
    Notify(TDrawNotifyKind::Finalize);
    m_surface.reset();
    m_initialized = false;
    m_updating = false;
    SetOptions(m_options);
}

void TGameDraw::Restore() {
    if (!m_initialized || m_updating) {
        return;
    }
    // A memory surface is never lost, so restoring always succeeds.
    Notify(TDrawNotifyKind::Restore);
}

bool TGameDraw::CanDraw() const {
    return m_initialized && !m_updating && m_surface != nullptr;
}

void TGameDraw::BeginFrame() {
    if (ReuseFrames && CanDraw()) {
        m_surface->BeginFrame();
    }
}

void TGameDraw::Flip() {
    if (!CanDraw()) {
        return;
    }
    const bool repeated = m_surface->EndFrame();
    if (!m_platform) {
        return;
    }
    const TDirectDrawSurface& frame = *m_surface;
    if (repeated) {
        m_platform->PresentUnchanged(frame.Pixels(), frame.Width(), frame.Height(), frame.Pitch());
    } else if (const std::vector<TRect>* parts = frame.FrameChanges()) {
        m_changedParts.clear();
        for (const TRect& r : *parts) {
            m_changedParts.push_back(TPresentRect{r.Left, r.Top, r.Width(), r.Height()});
        }
        m_platform->PresentChanged(frame.Pixels(), frame.Width(), frame.Height(), frame.Pitch(),
                                   m_changedParts);
    } else {
        m_platform->Present(frame.Pixels(), frame.Width(), frame.Height(), frame.Pitch());
    }
}

void TGameDraw::RegisterNotification(const void* owner, TDrawNotification callback) {
    m_notifications.push_back({owner, std::move(callback)});
}

void TGameDraw::RemoveNotification(const void* owner) {
    std::erase_if(m_notifications, [owner](const TNotifyEntry& e) { return e.Owner == owner; });
}

void TGameDraw::Notify(TDrawNotifyKind kind) {
    // A callback may remove itself (or others): walk a copy, newest first.
    auto entries = m_notifications;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        it->Callback(*this, kind);
    }
}
