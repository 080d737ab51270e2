#include "engine/gfx/TextRenderer.h"

// The text renderer of a program built without fonts (the score server re-runs races, which
// never depend on how a text looks): no font opens, so every text measures and draws as nothing.

TTextRenderer::TTextRenderer() = default;

TTextRenderer::~TTextRenderer() = default;

TTextRenderer::TRenderedText* TTextRenderer::Text(const TCanvasFont&, std::string_view, bool) {
    return nullptr;
}

int TTextRenderer::LineHeight(const TCanvasFont&) {
    return 0;
}

const std::vector<uint8_t>& TTextRenderer::Outline(TRenderedText& text, int) {
    return text.Outline;
}
