#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TDirectDrawSurface;
class TTextRenderer;

enum class TBrushStyle { bsSolid, bsClear };
enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// 0x00RRGGBB colour from 8-bit channels.
constexpr uint32_t RGBColor(uint8_t r, uint8_t g, uint8_t b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

struct TCanvasFont {
    std::string Name = "Arial"; // family name, resolved through fontconfig
    int Size = 10;              // points at 96 dpi
    uint32_t Color = 0;         // 0x00RRGGBB
    bool Bold = false;
    TFontPitch Pitch = TFontPitch::fpDefault;
    // A dark rim around the letters, with a drop shadow of the same width below and to the
    // right, so text reads over any picture. 0 draws the letters alone.
    int OutlineWidth = 0;
    uint32_t OutlineColor = 0; // 0x00RRGGBB
};

// Text drawing on a surface. Texts are Windows-1252 bytes. Fonts and rendered texts are
// cached, so drawing the same text every frame costs one blend.
class TCanvas {
  public:
    explicit TCanvas(TDirectDrawSurface& surface);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TCanvasFont Font;
    TBrushStyle BrushStyle = TBrushStyle::bsSolid;
    uint32_t BrushColor = 0xFFFFFF; // 0x00RRGGBB, painted behind text with bsSolid

    // Draws text with its top-left corner at (x, y), antialiased, clipped to the surface.
    void TextOut(int x, int y, std::string_view text);
    int TextWidth(std::string_view text);
    int TextHeight(std::string_view text);

    // Ends a drawing pass; call before the surface is presented.
    void Release();

  private:
    TDirectDrawSurface& m_surface;
    std::unique_ptr<TTextRenderer> m_renderer;
};
