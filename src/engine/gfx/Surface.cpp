#include "engine/gfx/Surface.h"

#include <algorithm>

void TDirectDrawSurface::SetSize(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, 0);
}

void TDirectDrawSurface::Fill(uint16_t pixel) { std::fill(m_pixels.begin(), m_pixels.end(), pixel); }
