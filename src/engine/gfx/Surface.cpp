#include "engine/gfx/Surface.h"

#include "engine/gfx/Canvas.h"

#include <algorithm>

TDirectDrawSurface::TDirectDrawSurface() = default;
TDirectDrawSurface::TDirectDrawSurface(int width, int height) {
    SetSize(width, height);
}
TDirectDrawSurface::~TDirectDrawSurface() = default;

void TDirectDrawSurface::SetSize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, 0);
}

void TDirectDrawSurface::Fill(uint16_t pixel) {
    std::fill(m_pixels.begin(), m_pixels.end(), pixel);
}

TCanvas& TDirectDrawSurface::Canvas() {
    if (!m_canvas)
        m_canvas = std::make_unique<TCanvas>(*this);
    return *m_canvas;
}
