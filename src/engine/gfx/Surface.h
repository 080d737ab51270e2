#pragma once

#include "engine/gfx/ChangedRows.h"
#include "engine/gfx/DrawOp.h"
#include "engine/gfx/KeyRuns.h"

#include <cstdint>
#include <memory>
#include <vector>

class TCanvas;

// An RGB565 picture in memory: the back surface everything is drawn on, and the
// surface that holds a picture's patterns. Rows are contiguous, Pitch() pixels apart.
class TDirectDrawSurface {
  public:
    TDirectDrawSurface();
    TDirectDrawSurface(int width, int height);
    ~TDirectDrawSurface();
    TDirectDrawSurface(const TDirectDrawSurface&) = delete;
    TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Pitch() const { return m_width; }
    bool Empty() const { return m_width <= 0 || m_height <= 0; }

    // Pixel access. Writing through these is drawing the primitives do not see: a frame under
    // way (BeginFrame) can then no longer be left out.
    uint16_t* Pixels() {
        Touched();
        return m_pixels.data();
    }
    const uint16_t* Pixels() const {
        Settle();
        return m_pixels.data();
    }
    uint16_t* Row(int y) {
        Touched();
        return m_pixels.data() + static_cast<size_t>(y) * m_width;
    }
    const uint16_t* Row(int y) const {
        Settle();
        return m_pixels.data() + static_cast<size_t>(y) * m_width;
    }
    uint16_t PixelAt(int x, int y) const { return Row(y)[x]; }

    // Fills the whole surface with a raw pixel value.
    void Fill(uint16_t pixel);

    // Frames drawn only where they change. Between BeginFrame and EndFrame the drawing
    // primitives (Fill, Draw.h) hand their operations to PutOff, which keeps them; EndFrame
    // compares them with the previous frame's and draws them only within the parts where the
    // two can differ, and not at all when the frame repeats the previous one. Any other access
    // to the pixels draws what was kept first and the rest of the frame as it comes. The caller
    // promises that the frame paints every pixel (it begins with a fill, or with an opaque
    // picture over the whole surface).
    void BeginFrame();
    // Ends the frame; true when it looks exactly like the previous one (nothing was drawn).
    bool EndFrame();
    bool InFrame() const { return m_inFrame; }
    // After a frame that changed: the parts of the surface (top to bottom, not overlapping) it
    // may have changed against the previous frame, found from the operations alone; null when
    // only comparing pixels can tell (the pixels were also written by other means, or the
    // surface did not hold the previous frame).
    const std::vector<TRect>* FrameChanges() const { return m_changesKnown ? &m_changedParts : nullptr; }
    // For the primitives: false when the operation must be drawn now. A coverage hands over its
    // mask, which the frame keeps.
    bool PutOff(const TDrawOp& op, const uint8_t* data = nullptr, size_t size = 0);
    // For the primitives: a row to draw an operation handed to PutOff into.
    uint16_t* DrawRow(int y) { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    // Names the present content: two surfaces, or one surface before and after it was drawn on,
    // never share a stamp.
    uint64_t Stamp() const;
    // The runs of pixels that differ from the colour key, kept until the surface changes.
    const TKeyRuns& KeyRuns() const;

    // Source colour key: the raw pixel value that transparent draws from this surface skip.
    uint16_t ColorKey() const { return m_colorKey; }
    void SetColorKey(uint16_t key) {
        if (key != m_colorKey)
            m_stamp = 0;
        m_colorKey = key;
    }

    // Set for pattern surfaces asked to live in system memory; informational only here.
    bool SystemMemory = false;

    // The text canvas, created on first use.
    TCanvas& Canvas();
    bool HasCanvas() const { return m_canvas != nullptr; }

  private:
    void Settle() const {
        if (m_putOff > 0)
            const_cast<TDirectDrawSurface*>(this)->ReadInFrame();
    }
    void Touched() {
        if (m_inFrame || m_lastFrameKept || m_putOff > 0)
            TouchedInFrame();
        m_stamp = 0;
    }
    void TouchedInFrame();
    void ReadInFrame();
    void RunPutOff();
    bool SameAsLastFrame() const;
    void FindChanges();

    int m_width = 0;
    int m_height = 0;
    std::vector<uint16_t> m_pixels;
    uint16_t m_colorKey = 0;
    std::unique_ptr<TCanvas> m_canvas;
    mutable uint64_t m_stamp = 0; // 0: none given since the last change
    mutable std::unique_ptr<TKeyRuns> m_keyRuns;
    // The frame under way and the one before it.
    bool m_inFrame = false;
    bool m_keeping = false;          // operations are kept, not drawn, until the frame ends
    bool m_drawnOutside = false;     // the frame's pixels were also written by other means
    bool m_lastFrameKept = false;    // the surface holds exactly what m_lastFrame draws
    bool m_beganOnLastFrame = false; // the frame began on a surface holding the last one
    size_t m_putOff = 0;             // operations at the end of m_frame not drawn yet
    std::vector<TDrawOp> m_frame;
    std::vector<uint8_t> m_frameData; // the masks of the frame's coverages
    std::vector<TDrawOp> m_lastFrame;
    std::vector<uint8_t> m_lastFrameData;
    bool m_changesKnown = false;
    TChangedRows m_changes;
    std::vector<TRect> m_changedParts;
};

// 8-bit channels to RGB565 and back, the one conversion used for pixels and colour keys alike.
constexpr uint16_t RGBTo565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// A 0x00RRGGBB colour to RGB565.
constexpr uint16_t RGBValueTo565(uint32_t rgb) {
    return RGBTo565(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                    static_cast<uint8_t>(rgb));
}
constexpr uint8_t Red565(uint16_t p) {
    return static_cast<uint8_t>(((p >> 11) & 31) * 255 / 31);
}
constexpr uint8_t Green565(uint16_t p) {
    return static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63);
}
constexpr uint8_t Blue565(uint16_t p) {
    return static_cast<uint8_t>((p & 31) * 255 / 31);
}
