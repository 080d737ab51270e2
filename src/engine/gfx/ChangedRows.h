#pragma once

#include "engine/gfx/Rect.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// What changed on a surface: a few intervals of columns per band of kBandRows rows, marked and
// cleared rectangle by rectangle, then gathered into a few rectangles to draw and to send. Marks
// grow to whole bands and clears shrink to whole bands, so the marks always cover at least what
// was marked and not cleared.
class TChangedRows {
  public:
    static constexpr int kBandRows = 8;

    void Reset(int height);
    // The marks grow to cover r (and may cover a little more, never less).
    void Mark(const TRect& r);
    // r is taken off the marks where that keeps them few (never more than r is taken).
    void Clear(const TRect& r);
    bool Contains(int x, int y) const;
    // Every mark, as rectangles: top to bottom, not overlapping, at most kMaxParts of them.
    void Gather(std::vector<TRect>& parts) const;

    static constexpr size_t kMaxParts = 16;

  private:
    // Marked bands this close together are gathered into one part, unless it would grow much
    // wider than either: a few unmarked pixels cost less than a part of their own.
    static constexpr int kJoinBands = 1;
    static constexpr int kJoinColumns = 32;
    // Intervals a row keeps; beyond that the two closest join.
    static constexpr int kSpans = 4;

    struct TSpan {
        int Left = 0;
        int Right = 0;
    };
    struct TRow {
        int Count = 0;
        std::array<TSpan, kSpans + 1> Spans; // room for one more before the closest join
    };
    static void Insert(TRow& row, TSpan s);

    std::vector<TRow> m_rows; // one per band
    int m_height = 0;
};
