#include "engine/gfx/ChangedRows.h"

#include <algorithm>

void TChangedRows::Reset(int height) {
    m_height = std::max(height, 0);
    m_rows.assign(static_cast<size_t>((m_height + kBandRows - 1) / kBandRows), TRow{});
}

// Puts s among the row's sorted intervals, joining those it overlaps or touches; beyond kSpans
// intervals the two closest join.
void TChangedRows::Insert(TRow& row, TSpan s) {
    int i = 0;
    while (i < row.Count && row.Spans[static_cast<size_t>(i)].Right < s.Left)
        ++i;
    int j = i;
    while (j < row.Count && row.Spans[static_cast<size_t>(j)].Left <= s.Right)
        ++j;
    if (i < j) {
        s.Left = std::min(s.Left, row.Spans[static_cast<size_t>(i)].Left);
        s.Right = std::max(s.Right, row.Spans[static_cast<size_t>(j - 1)].Right);
    }
    // Spans i..j-1 give way to s.
    auto* spans = row.Spans.data();
    if (j == i)
        std::move_backward(spans + i, spans + row.Count, spans + row.Count + 1); // room for s
    else if (j - i > 1)
        std::move(spans + j, spans + row.Count, spans + i + 1);
    row.Count += 1 - (j - i);
    spans[i] = s;
    if (row.Count <= kSpans)
        return;
    int closest = 0;
    for (int k = 1; k + 1 < row.Count; ++k)
        if (spans[k + 1].Left - spans[k].Right < spans[closest + 1].Left - spans[closest].Right)
            closest = k;
    spans[closest].Right = spans[closest + 1].Right;
    std::move(spans + closest + 2, spans + row.Count, spans + closest + 1);
    --row.Count;
}

void TChangedRows::Mark(const TRect& r) {
    if (r.Empty())
        return;
    // Every band the rectangle reaches into.
    const int first = std::max(r.Top, 0) / kBandRows;
    const int end =
        std::min((std::min(r.Bottom, m_height) + kBandRows - 1) / kBandRows, static_cast<int>(m_rows.size()));
    for (int b = first; b < end; ++b)
        Insert(m_rows[static_cast<size_t>(b)], TSpan{r.Left, r.Right});
}

void TChangedRows::Clear(const TRect& r) {
    if (r.Empty())
        return;
    // Only the bands the rectangle covers from top to bottom (the last band may be short).
    const int first = (std::max(r.Top, 0) + kBandRows - 1) / kBandRows;
    const int end = r.Bottom >= m_height ? static_cast<int>(m_rows.size()) : r.Bottom / kBandRows;
    for (int b = first; b < end; ++b) {
        TRow& row = m_rows[static_cast<size_t>(b)];
        TRow kept;
        for (int i = 0; i < row.Count; ++i) {
            const TSpan s = row.Spans[static_cast<size_t>(i)];
            if (r.Right <= s.Left || r.Left >= s.Right) {
                kept.Spans[static_cast<size_t>(kept.Count++)] = s; // untouched
            } else if (r.Left > s.Left && r.Right < s.Right) {
                // A hole in the middle: two intervals where there is room, else the whole one.
                if (row.Count + 1 <= kSpans) {
                    kept.Spans[static_cast<size_t>(kept.Count++)] = TSpan{s.Left, r.Left};
                    kept.Spans[static_cast<size_t>(kept.Count++)] = TSpan{r.Right, s.Right};
                } else {
                    kept.Spans[static_cast<size_t>(kept.Count++)] = s;
                }
            } else if (r.Left > s.Left) {
                kept.Spans[static_cast<size_t>(kept.Count++)] = TSpan{s.Left, r.Left};
            } else if (r.Right < s.Right) {
                kept.Spans[static_cast<size_t>(kept.Count++)] = TSpan{r.Right, s.Right};
            }
        }
        row = kept;
    }
}

bool TChangedRows::Contains(int x, int y) const {
    if (y < 0 || y >= m_height)
        return false;
    const TRow& row = m_rows[static_cast<size_t>(y / kBandRows)];
    for (int i = 0; i < row.Count; ++i)
        if (x >= row.Spans[static_cast<size_t>(i)].Left && x < row.Spans[static_cast<size_t>(i)].Right)
            return true;
    return false;
}

// Rows go into bands: a band goes on while its rows have as many intervals as it has parts and
// each lies close to its part. A closed band's parts that came to overlap are joined.
void TChangedRows::Gather(std::vector<TRect>& parts) const {
    parts.clear();
    std::vector<TRect> band;
    int lastRow = -1;
    // A band's parts share their rows; those that came to overlap are joined.
    auto closeBand = [&] {
        std::sort(band.begin(), band.end(), [](const TRect& a, const TRect& b) { return a.Left < b.Left; });
        const size_t first = parts.size();
        for (const TRect& p : band) {
            if (parts.size() > first && parts.back().Right > p.Left)
                parts.back().Right = std::max(parts.back().Right, p.Right);
            else
                parts.push_back(p);
        }
        band.clear();
    };
    // Out of parts: from then on everything goes into one, around all that is left.
    bool collapsed = false;
    for (int b = 0; b < static_cast<int>(m_rows.size()); ++b) {
        const TRow& row = m_rows[static_cast<size_t>(b)];
        if (row.Count == 0)
            continue;
        const int y = b * kBandRows;
        const int bottom = std::min(y + kBandRows, m_height);
        bool goesOn = !collapsed && !band.empty() && b - lastRow <= kJoinBands &&
                      static_cast<int>(band.size()) == row.Count;
        for (int i = 0; goesOn && i < row.Count; ++i) {
            const TRect& p = band[static_cast<size_t>(i)];
            const TSpan& s = row.Spans[static_cast<size_t>(i)];
            const int width = std::max(p.Right, s.Right) - std::min(p.Left, s.Left);
            goesOn = width - std::max(p.Width(), s.Right - s.Left) <= kJoinColumns;
        }
        if (!goesOn && !collapsed &&
            parts.size() + band.size() + static_cast<size_t>(row.Count) > kMaxParts) {
            collapsed = true;
            TRect all = band.empty() ? TRect{row.Spans[0].Left, y, row.Spans[0].Right, bottom} : band.front();
            for (const TRect& p : band) {
                all.Left = std::min(all.Left, p.Left);
                all.Right = std::max(all.Right, p.Right);
            }
            band.assign(1, all);
        }
        if (collapsed) {
            TRect& all = band.front();
            for (int i = 0; i < row.Count; ++i) {
                all.Left = std::min(all.Left, row.Spans[static_cast<size_t>(i)].Left);
                all.Right = std::max(all.Right, row.Spans[static_cast<size_t>(i)].Right);
            }
            all.Bottom = bottom;
        } else if (goesOn) {
            for (int i = 0; i < row.Count; ++i) {
                TRect& p = band[static_cast<size_t>(i)];
                const TSpan& s = row.Spans[static_cast<size_t>(i)];
                p.Left = std::min(p.Left, s.Left);
                p.Right = std::max(p.Right, s.Right);
                p.Bottom = bottom;
            }
        } else {
            closeBand();
            for (int i = 0; i < row.Count; ++i)
                band.push_back(TRect{row.Spans[static_cast<size_t>(i)].Left, y,
                                     row.Spans[static_cast<size_t>(i)].Right, bottom});
        }
        lastRow = b;
    }
    closeBand();
}
