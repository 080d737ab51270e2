#include "engine/gfx/Canvas.h"

#include "engine/gfx/Draw.h"
#include "engine/gfx/Surface.h"
#include "engine/gfx/TextRenderer.h"

#include <algorithm>

namespace {

// Wider rims would cost more to grow than any text in the game needs.
constexpr int kMaxOutlineWidth = 8;

// Mixes colour c over pixel d by coverage a (0..255), channel by channel in 5/6/5 bits.
uint16_t Blend565(uint16_t d, uint16_t c, unsigned a) {
    int dr = d >> 11, dg = (d >> 5) & 63, db = d & 31;
    int cr = c >> 11, cg = (c >> 5) & 63, cb = c & 31;
    int ia = static_cast<int>(a) + (a >> 7); // 0..256
    dr += ((cr - dr) * ia) >> 8;
    dg += ((cg - dg) * ia) >> 8;
    db += ((cb - db) * ia) >> 8;
    return static_cast<uint16_t>((dr << 11) | (dg << 5) | db);
}

// Blends one colour into the surface through a coverage mask whose top-left corner is (x, y).
void BlendMask(TDirectDrawSurface& surface, int x, int y, const uint8_t* mask, int w, int h, uint16_t color) {
    int x0 = std::max(x, 0), x1 = std::min(x + w, surface.Width());
    int y0 = std::max(y, 0), y1 = std::min(y + h, surface.Height());
    for (int row = y0; row < y1; ++row) {
        const uint8_t* cov = mask + static_cast<size_t>(row - y) * w;
        uint16_t* dp = surface.Row(row);
        for (int col = x0; col < x1; ++col) {
            unsigned a = cov[col - x];
            if (a == 0)
                continue;
            dp[col] = a == 255 ? color : Blend565(dp[col], color, a);
        }
    }
}

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
        BlendMask(m_surface, x - r + shadow, y - r + shadow, rim.data(), w, h, dark);
        BlendMask(m_surface, x - r, y - r, rim.data(), w, h, dark);
    }
    BlendMask(m_surface, x, y, t->Coverage.data(), t->CoverageWidth, t->CoverageHeight,
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
