#pragma once

#include <cstdint>
#include <string_view>

class TCanvas;
class TGameDraw;

// A text cursor (the name entry's, the options text line's) blinks with this half-period.
inline constexpr int32_t kCursorBlinkMs = 500;

// Text on the back surface's canvas in one of 13 fixed font slots: the overlays, the race's
// read-outs, the high-score table and the options text all write through it. Text is
// Windows-1252 bytes; before the display can draw, nothing is written and widths are 0.
class TGameText {
  public:
    static constexpr int kFontSlots = 13;

    explicit TGameText(TGameDraw& draw) : m_draw(draw) {}

    // Selects slot 1..13 (any other slot changes nothing).
    void SetTextFont(int slot);
    // Top edge at y; centred: the left edge is x minus half the text's width.
    void DrawText(std::string_view text, int x, int y, bool centred);
    int TextWidth(std::string_view text);
    // Decimal digits of n beyond the first, 0..4, counted on n's low 16 bits taken as unsigned.
    static int DigitCount(int32_t n);

  private:
    TCanvas* Canvas();

    TGameDraw& m_draw;
};
