#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A part of the picture, in display pixels.
struct TPresentRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TPresentRect&) const = default;
};

// The picture presented last, kept to find what the next one changes: a window is then sent
// only the parts that changed, and nothing at all while the picture stands still.
class TPresentedFrame {
  public:
    // Starts over with a black picture of this size; the next picture changes as a whole.
    void Reset(int width, int height);
    // The next picture changes as a whole (the window lost what it showed).
    void Forget() { m_forgotten = true; }

    // Takes the next picture (RGB565, pitch in pixels), keeps a copy of it and returns the
    // parts that differ from the previous one: top to bottom, not overlapping, empty when the
    // two are the same. A picture of another size changes as a whole.
    const std::vector<TPresentRect>& Update(const uint16_t* pixels, int width, int height, int pitch);

    // The kept picture, rows of Width() pixels.
    const std::vector<uint16_t>& Pixels() const { return m_pixels; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // What the last Update found changed.
    const std::vector<TPresentRect>& Changed() const { return m_changed; }

  private:
    // Changed rows this close together join one part: a few unchanged rows cost less to send
    // again than a part of their own.
    static constexpr int kJoinRows = 8;
    // Beyond this many parts the last one grows to take in the rest.
    static constexpr size_t kMaxParts = 16;

    void AddChangedSpan(int y, int left, int right);

    int m_width = 0;
    int m_height = 0;
    bool m_forgotten = true;
    std::vector<uint16_t> m_pixels;
    std::vector<TPresentRect> m_changed;
    int m_lastChangedRow = -1;
};
