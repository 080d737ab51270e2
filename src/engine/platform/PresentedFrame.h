#pragma once

#include "engine/platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Changed spans gathered row by row, top to bottom, into a few parts of the picture: rows
// close together join one part, and there are never many parts.
class TChangedParts {
  public:
    void Clear();
    // Row y changed from left to right (exclusive); rows come in ascending order.
    void Add(int y, int left, int right);
    const std::vector<TPresentRect>& Parts() const { return m_parts; }

  private:
    // Changed rows this close together join one part, unless it would grow much wider than
    // either: a few unchanged pixels cost less to send again than a part of their own.
    static constexpr int kJoinRows = 8;
    static constexpr int kJoinColumns = 32;
    // Beyond this many parts the last one grows to take in the rest.
    static constexpr size_t kMaxParts = 16;

    std::vector<TPresentRect> m_parts;
    int m_lastRow = -1;
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

    // The next picture is the same as the kept one: nothing changes, unless the kept one was
    // forgotten or has another size, when the picture is taken as Update takes it.
    const std::vector<TPresentRect>& Repeat(const uint16_t* pixels, int width, int height, int pitch);
    bool Forgotten() const { return m_forgotten; }

    // The next picture differs only within the given parts (top to bottom, not overlapping):
    // those are copied and reported, nothing compared. A forgotten picture, or one of another
    // size, is taken as Update takes it.
    const std::vector<TPresentRect>& TakeParts(const uint16_t* pixels, int width, int height, int pitch,
                                               const std::vector<TPresentRect>& parts);

    // As TakeParts, for a window that is then sent those parts and never asks for the kept
    // picture: nothing is copied, and the next Update, having nothing true to compare with,
    // takes its picture as a whole change. A scrolling race saves a copy of the picture a tick.
    const std::vector<TPresentRect>& PassParts(const uint16_t* pixels, int width, int height, int pitch,
                                               const std::vector<TPresentRect>& parts);

    // The kept picture, rows of Width() pixels.
    const std::vector<uint16_t>& Pixels() const { return m_pixels; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // What the last Update found changed.
    const std::vector<TPresentRect>& Changed() const { return m_changed; }

  private:
    // TakeParts (keep: copied) and PassParts (not copied) alike.
    const std::vector<TPresentRect>& Parts(const uint16_t* pixels, int width, int height, int pitch,
                                           const std::vector<TPresentRect>& parts, bool keep);

    int m_width = 0;
    int m_height = 0;
    bool m_forgotten = true;
    bool m_stale = false; // parts were passed on without being copied
    std::vector<uint16_t> m_pixels;
    std::vector<TPresentRect> m_changed;
    TChangedParts m_parts;
};
