#include "context/GameText.h"

#include "engine/display/GameDraw.h"
#include "engine/gfx/Canvas.h"

#include <cmath>

namespace {
// Notices are written straight over the race; a dark rim keeps yellow readable on bright water.
constexpr int kNoticeOutlinePx = 2;
// The questions' text is bold with a thin rim and shadow: it has to stand out in its window.
constexpr int kQuestionOutlinePx = 1;
constexpr uint32_t kNoticeOutlineColor = RGBColor(10, 22, 48);

struct TFontSlot {
    const char* Name;
    int Size;
    uint8_t R, G, B;
    bool Bold;
    int OutlinePx = 0;
};
constexpr TFontSlot kFontTable[TGameText::kFontSlots] = {
    {"Arial", 16, 3, 9, 255, false},
    {"DS Crystal", 16, 255, 255, 255, false},
    {"Arial", 20, 255, 180, 27, true},
    {"DS Crystal", 19, 11, 39, 210, false},
    {"DS Crystal", 19, 255, 255, 255, false},
    {"DS Crystal", 14, 11, 39, 210, false},
    {"Arial", 30, 255, 241, 0, true, kQuestionOutlinePx},
    {"Arial Black", 30, 11, 39, 210, false},
    {"Arial", 30, 255, 241, 0, false},
    {"Arial", 26, 255, 241, 0, true, kQuestionOutlinePx},
    {"Times New Roman", 30, 45, 91, 240, true},
    {"Arial", 24, 255, 241, 0, true, kQuestionOutlinePx},
    {"DS Crystal", 30, 255, 241, 0, false, kNoticeOutlinePx},
};
} // namespace

TCanvas* TGameText::Canvas() {
    TDirectDrawSurface* surface = m_draw.Surface();
    return surface ? &surface->Canvas() : nullptr;
}

void TGameText::SetTextFont(int slot) {
    TCanvas* canvas = Canvas();
    if (!canvas || slot < 1 || slot > kFontSlots) {
        return;
    }
    const TFontSlot& f = kFontTable[slot - 1];
    canvas->Font.Name = f.Name;
    canvas->Font.Size = f.Size;
    canvas->Font.Color = RGBColor(f.R, f.G, f.B);
    canvas->Font.Bold = f.Bold;
    canvas->Font.Pitch = TFontPitch::fpVariable;
    canvas->Font.OutlineWidth = f.OutlinePx;
    canvas->Font.OutlineColor = kNoticeOutlineColor;
    canvas->BrushStyle = TBrushStyle::bsClear;
}

void TGameText::DrawText(std::string_view text, int x, int y, bool centred) {
    TCanvas* canvas = Canvas();
    if (!canvas) {
        return;
    }
    int left = centred ? static_cast<int>(std::trunc(x - canvas->TextWidth(text) / 2.0)) : x;
    canvas->TextOut(left, y, text);
}

int TGameText::TextWidth(std::string_view text) {
    TCanvas* canvas = Canvas();
    return canvas ? canvas->TextWidth(text) : 0;
}

int TGameText::DigitCount(int32_t n) {
    auto low = static_cast<uint16_t>(n);
    return (low > 9) + (low > 99) + (low > 999) + (low > 9999);
}
