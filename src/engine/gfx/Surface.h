#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class TCanvas;

// An RGB565 picture in memory: the back surface everything is drawn on, and the
// surface that holds a picture's patterns. Rows are contiguous, Pitch() pixels apart.
class TDirectDrawSurface {
  public:
    TDirectDrawSurface();
    TDirectDrawSurface(int width, int height);
    ~TDirectDrawSurface();
    TDirectDrawSurface(const TDirectDrawSurface&) = delete;
    TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Pitch() const { return m_width; }
    bool Empty() const { return m_width <= 0 || m_height <= 0; }

    uint16_t* Pixels() { return m_pixels.data(); }
    const uint16_t* Pixels() const { return m_pixels.data(); }
    uint16_t* Row(int y) { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    const uint16_t* Row(int y) const { return m_pixels.data() + static_cast<size_t>(y) * m_width; }
    uint16_t PixelAt(int x, int y) const { return Row(y)[x]; }

    // Fills the whole surface with a raw pixel value.
    void Fill(uint16_t pixel);

    // Source colour key: the raw pixel value that transparent draws from this surface skip.
    uint16_t ColorKey() const { return m_colorKey; }
    void SetColorKey(uint16_t key) { m_colorKey = key; }

    // Set for pattern surfaces asked to live in system memory; informational only here.
    bool SystemMemory = false;

    // The text canvas, created on first use.
    TCanvas& Canvas();
    bool HasCanvas() const { return m_canvas != nullptr; }

  private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint16_t> m_pixels;
    uint16_t m_colorKey = 0;
    std::unique_ptr<TCanvas> m_canvas;
};

// 8-bit channels to RGB565 and back, the one conversion used for pixels and colour keys alike.
constexpr uint16_t RGBTo565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}
// A 0x00RRGGBB colour to RGB565.
constexpr uint16_t RGBValueTo565(uint32_t rgb) {
    return RGBTo565(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                    static_cast<uint8_t>(rgb));
}
constexpr uint8_t Red565(uint16_t p) {
    return static_cast<uint8_t>(((p >> 11) & 31) * 255 / 31);
}
constexpr uint8_t Green565(uint16_t p) {
    return static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63);
}
constexpr uint8_t Blue565(uint16_t p) {
    return static_cast<uint8_t>((p & 31) * 255 / 31);
}
