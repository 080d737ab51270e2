#include "engine/gfx/Canvas.h"

#include "engine/gfx/Draw.h"
#include "engine/gfx/Surface.h"
#include "engine/gfx/TextRenderer.h"

#include <algorithm>

TCanvas::TCanvas(TDirectDrawSurface& surface) : m_surface(surface) {}

TCanvas::~TCanvas() = default;

void TCanvas::TextOut(int x, int y, std::string_view text) {
    if (!m_renderer)
        m_renderer = std::make_unique<TTextRenderer>();
    const TTextRenderer::TRenderedText* t = m_renderer->Text(Font, text, true);
    if (!t)
        return;
    if (BrushStyle == TBrushStyle::bsSolid)
        FillRect(m_surface, Bounds(x, y, t->Width, t->Height), RGBValueTo565(BrushColor));
    if (t->Coverage.empty())
        return;
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
