#include "engine/gfx/Surface.h"

#include "engine/gfx/Canvas.h"

#include <algorithm>
#include <cstring>

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
    if (m_pixels.empty())
        return;
    // Every frame starts with a fill: a byte-wise set where the value allows (black does), else
    // one row set by hand and copied down.
    if ((pixel & 0xFF) == (pixel >> 8)) {
        std::memset(m_pixels.data(), pixel & 0xFF, m_pixels.size() * sizeof(uint16_t));
        return;
    }
    std::fill_n(m_pixels.data(), m_width, pixel);
    for (int y = 1; y < m_height; ++y)
        std::memcpy(Row(y), Row(0), static_cast<size_t>(m_width) * sizeof(uint16_t));
}

TCanvas& TDirectDrawSurface::Canvas() {
    if (!m_canvas)
        m_canvas = std::make_unique<TCanvas>(*this);
    return *m_canvas;
}
