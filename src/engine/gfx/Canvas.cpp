#include "engine/gfx/Canvas.h"

#include "engine/gfx/Draw.h"
#include "engine/gfx/Surface.h"
#include "engine/gfx/TextRenderer.h"

#include <algorithm>

namespace {

// Wider rims would cost more to grow than any text in the game needs.
constexpr int kMaxOutlineWidth = 8;

} // namespace

TCanvas::TCanvas(TDirectDrawSurface& surface) : m_surface(surface) {}

TCanvas::~TCanvas() = default;

void TCanvas::TextOut(int x, int y, std::string_view text) {
    if (!m_renderer)
        m_renderer = std::make_unique<TTextRenderer>();
    TTextRenderer::TRenderedText* t = m_renderer->Text(Font, text, true);
    if (!t)
        return;
    if (BrushStyle == TBrushStyle::bsSolid)
        FillRect(m_surface, Bounds(x, y, t->Width, t->Height), RGBValueTo565(BrushColor));
    if (t->Coverage.empty())
        return;
    if (Font.OutlineWidth > 0) {
        const int r = std::min(Font.OutlineWidth, kMaxOutlineWidth);
        const std::vector<uint8_t>& rim = m_renderer->Outline(*t, r);
        const int w = t->CoverageWidth + 2 * r, h = t->CoverageHeight + 2 * r;
        const uint16_t dark = RGBValueTo565(Font.OutlineColor);
        const int shadow = r; // the drop shadow's offset, down and to the right
        DrawCoverage(m_surface, x - r + shadow, y - r + shadow, rim.data(), w, h, dark);
        DrawCoverage(m_surface, x - r, y - r, rim.data(), w, h, dark);
    }
    DrawCoverage(m_surface, x, y, t->Coverage.data(), t->CoverageWidth, t->CoverageHeight,
                 RGBValueTo565(Font.Color));
}

int TCanvas::TextWidth(std::string_view text) {
    if (!m_renderer)
        m_renderer = std::make_unique<TTextRenderer>();
    const TTextRenderer::TRenderedText* t = m_renderer->Text(Font, text, false);
    return t ? t->Width : 0;
}

int TCanvas::TextHeight(std::string_view text) {
    if (!m_renderer)
        m_renderer = std::make_unique<TTextRenderer>();
    const TTextRenderer::TRenderedText* t = m_renderer->Text(Font, text, false);
    return t ? t->Height : 0;
}

// Drawing goes straight into the surface's memory, so there is no context to hand back;
// fonts and rendered texts stay cached for the next frame.
void TCanvas::Release() {}
