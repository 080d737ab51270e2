#pragma once

#include "engine/platform/Platform.h"
#include "engine/platform/ScreenGeometry.h"

#include <array>
#include <cstdint>
#include <vector>

// RGB565 to a window's 32-bit pixels through two byte-indexed tables: several times faster than
// a generic converting blit on machines without a GPU.
class TPixelConverter {
  public:
    // Sets the tables up for 8-bit channels at these shifts; true when they changed.
    bool Prepare(int redShift, int greenShift, int blueShift);
    uint32_t Convert(uint16_t p) const { return m_low[p & 0xFF] | m_high[p >> 8]; }
    // A run of pixels at once: what a scrolling race spends most of its presenting on.
    void ConvertRow(const uint16_t* from, uint32_t* to, int count) const;
    // A run of pixels each made a k × k block: k rows of count × k pixels from `to` on, pitch
    // bytes apart. Long runs may go straight to memory, past the caches: FinishWrites() once all
    // are written, before the window is told to show them.
    void ConvertBlocks(const uint16_t* from, uint8_t* to, size_t pitch, int count, int k) const;
    static void FinishWrites();
    // Whether ConvertBlocks may use the processor's widest vectors where it has them (AVX2, 16
    // pixels at a time); they are, unless a test turns them off to check the 8-pixel way.
    static void AllowWideVectors(bool allowed);

  private:
    // The usual layout of 32-bit windows, red at 16, green at 8, blue at 0.
    bool IsXrgb() const { return m_shifts[0] == 16 && m_shifts[1] == 8 && m_shifts[2] == 0; }

    std::array<int, 3> m_shifts{-1, -1, -1};
    std::array<uint32_t, 256> m_low{};
    std::array<uint32_t, 256> m_high{};
};

// A window's 32-bit pixels, lent for one picture.
struct TWindowPixels {
    uint8_t* Pixels = nullptr;
    int Pitch = 0; // bytes
    int W = 0;
    int H = 0;
};

// The game's 16-bit picture in a window, at a view the back-end chooses. A view that is a whole
// multiple of the picture is sharp: each pixel a k × k block, and only the changed parts are
// written, so idling at 2 × costs what it does at 1 ×. Any other view is a smooth fit (bilinear),
// which also writes only the rows and columns that the changed parts reach.
class TWindowPicture {
  public:
    // Places the picture at view in a window of this size; a new place clears the bars and sends
    // the picture whole.
    void Place(const TScreenRect& view, int targetW, int targetH, int pictureW, int pictureH);
    const TScreenRect& View() const { return m_view; }
    // The window lost what it showed (exposed, new surface): the next picture goes out whole.
    void Forget() { m_bordersDirty = true; }
    bool NeedsWhole() const { return m_bordersDirty; }
    // The whole factor of the view, 0 when it is a smooth fit.
    int Factor() const { return m_factor; }

    // Writes the changed parts of the picture (all of it when whole) into the window. Afterwards
    // WroteWhole() says whether the window must be sent whole, else Rects() are its changed parts.
    void Draw(TWindowPixels target, const TPixelConverter& converter, const uint16_t* pixels, int pitch,
              const std::vector<TPresentRect>& changed, bool whole);
    bool WroteWhole() const { return m_wroteWhole; }
    const std::vector<TScreenRect>& Rects() const { return m_rects; }

  private:
    // One destination pixel's two neighbouring source samples: First and First + 1, the second
    // weighted Weight / 256.
    struct TTap {
        int First = 0;
        uint32_t Weight = 0;
    };
    static std::vector<TTap> Taps(int destSize, int sourceSize);
    void ClearAll(TWindowPixels target);
    void DrawSharp(TWindowPixels target, const TPixelConverter& converter, const uint16_t* pixels, int pitch,
                   const TPresentRect& r);
    void DrawSmooth(TWindowPixels target, const TPixelConverter& converter, const uint16_t* pixels, int pitch,
                    const std::vector<TPresentRect>& changed, bool whole);
    // Source row `row`, blended across columns [from, to) of the view, into line.
    void BlendRow(int row, int from, int to, std::vector<uint32_t>& line) const;

    TScreenRect m_view;
    int m_targetW = 0;
    int m_targetH = 0;
    int m_pictureW = 0;
    int m_pictureH = 0;
    int m_factor = 0;
    bool m_bordersDirty = true;
    bool m_wroteWhole = false;
    std::vector<TScreenRect> m_rects;
    // Smooth fit: the picture already converted to the window's pixels, which source rows the
    // changed parts touched, and the taps of every column and row of the view.
    std::vector<uint32_t> m_source;
    std::vector<uint8_t> m_rowChanged;
    std::vector<TTap> m_columnTaps;
    std::vector<TTap> m_rowTaps;
    std::vector<uint32_t> m_upper;
    std::vector<uint32_t> m_lower;
    std::vector<uint32_t> m_line;
};
