#include "engine/gfx/Surface.h"

#include "engine/gfx/Canvas.h"

#include <algorithm>
#include <atomic>

TDirectDrawSurface::TDirectDrawSurface() = default;
TDirectDrawSurface::TDirectDrawSurface(int width, int height) {
    SetSize(width, height);
}
TDirectDrawSurface::~TDirectDrawSurface() = default;

void TDirectDrawSurface::SetSize(int width, int height) {
    Touched();
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, 0);
}

void TDirectDrawSurface::Fill(uint16_t pixel) {
    TDrawOp op;
    op.Kind = TDrawOp::TKind::Fill;
    op.Pixel = pixel;
    if (!PutOff(op))
        RunDrawOp(*this, op, nullptr);
}

uint64_t TDirectDrawSurface::Stamp() const {
    // Handed out only when asked for, so drawing on a surface costs no more than forgetting one.
    static std::atomic<uint64_t> next{0};
    if (m_stamp == 0)
        m_stamp = next.fetch_add(1, std::memory_order_relaxed) + 1;
    return m_stamp;
}

const TKeyRuns& TDirectDrawSurface::KeyRuns() const {
    if (!m_keyRuns)
        m_keyRuns = std::make_unique<TKeyRuns>();
    if (!m_keyRuns->Fits(Stamp(), m_colorKey))
        m_keyRuns->Build(*this);
    return *m_keyRuns;
}

TCanvas& TDirectDrawSurface::Canvas() {
    if (!m_canvas)
        m_canvas = std::make_unique<TCanvas>(*this);
    return *m_canvas;
}
