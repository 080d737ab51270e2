#include "engine/platform/PresentedFrame.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Eight pixels at a time where the CPU allows, else four: the first and the last differing pixel
// of two rows that differ.
#if defined(__SSE2__)
constexpr int kBlock = 8;

bool SameBlock(const uint16_t* a, const uint16_t* b) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(va, vb)) == 0xFFFF;
}
#else
constexpr int kBlock = 4;

bool SameBlock(const uint16_t* a, const uint16_t* b) {
    return std::memcmp(a, b, kBlock * sizeof(uint16_t)) == 0;
}
#endif

int FirstDifference(const uint16_t* a, const uint16_t* b, int n) {
    int i = 0;
    while (i + kBlock <= n && SameBlock(a + i, b + i))
        i += kBlock;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// One past the last differing pixel; the rows differ somewhere at or after `from`.
int LastDifference(const uint16_t* a, const uint16_t* b, int from, int n) {
    int i = n;
    while (i - kBlock >= from && SameBlock(a + i - kBlock, b + i - kBlock))
        i -= kBlock;
    while (i > from && a[i - 1] == b[i - 1])
        --i;
    return i;
}

} // namespace

void TPresentedFrame::Reset(int width, int height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(static_cast<size_t>(m_width) * m_height, 0);
    m_changed.clear();
    m_forgotten = true;
}

void TChangedParts::Clear() {
    m_parts.clear();
    m_lastRow = -1;
}

void TChangedParts::Add(int y, int left, int right) {
    bool join = false;
    if (!m_parts.empty()) {
        const TPresentRect& part = m_parts.back();
        const int width = std::max(part.X + part.Width, right) - std::min(part.X, left);
        const bool narrow = width - std::max(part.Width, right - left) <= kJoinColumns;
        join = (y - m_lastRow <= kJoinRows && narrow) || m_parts.size() >= kMaxParts;
    }
    m_lastRow = y;
    if (!join) {
        m_parts.push_back(TPresentRect{left, y, right - left, 1});
        return;
    }
    TPresentRect& part = m_parts.back();
    const int l = std::min(part.X, left);
    const int r = std::max(part.X + part.Width, right);
    part.X = l;
    part.Width = r - l;
    part.Height = y + 1 - part.Y;
}

const std::vector<TPresentRect>& TPresentedFrame::Update(const uint16_t* pixels, int width, int height,
                                                         int pitch) {
    m_changed.clear();
    if (width <= 0 || height <= 0 || !pixels) {
        return m_changed;
    }
    if (m_forgotten || m_stale || width != m_width || height != m_height) {
        if (width != m_width || height != m_height) {
            m_width = width;
            m_height = height;
            m_pixels.resize(static_cast<size_t>(width) * height);
        }
        for (int y = 0; y < height; ++y) {
            std::memcpy(m_pixels.data() + static_cast<size_t>(y) * width,
                        pixels + static_cast<size_t>(y) * pitch,
                        static_cast<size_t>(width) * sizeof(uint16_t));
        }
        m_forgotten = false;
        m_stale = false;
        m_changed.push_back(TPresentRect{0, 0, width, height});
        return m_changed;
    }
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint16_t);
    m_parts.Clear();
    for (int y = 0; y < height; ++y) {
        const uint16_t* now = pixels + static_cast<size_t>(y) * pitch;
        uint16_t* kept = m_pixels.data() + static_cast<size_t>(y) * width;
        if (std::memcmp(now, kept, rowBytes) == 0) {
            continue;
        }
        const int left = FirstDifference(now, kept, width);
        const int right = LastDifference(now, kept, left, width);
        std::memcpy(kept + left, now + left, static_cast<size_t>(right - left) * sizeof(uint16_t));
        m_parts.Add(y, left, right);
    }
    m_changed = m_parts.Parts();
    return m_changed;
}

const std::vector<TPresentRect>& TPresentedFrame::TakeParts(const uint16_t* pixels, int width, int height,
                                                            int pitch,
                                                            const std::vector<TPresentRect>& parts) {
    return Parts(pixels, width, height, pitch, parts, true);
}

const std::vector<TPresentRect>& TPresentedFrame::PassParts(const uint16_t* pixels, int width, int height,
                                                            int pitch,
                                                            const std::vector<TPresentRect>& parts) {
    return Parts(pixels, width, height, pitch, parts, false);
}

const std::vector<TPresentRect>& TPresentedFrame::Parts(const uint16_t* pixels, int width, int height,
                                                        int pitch, const std::vector<TPresentRect>& parts,
                                                        bool keep) {
    if (m_forgotten || width != m_width || height != m_height || !pixels) {
        return Update(pixels, width, height, pitch);
    }
    m_changed.clear();
    for (const TPresentRect& part : parts) {
        const int l = std::max(part.X, 0), t = std::max(part.Y, 0);
        const int r = std::min(part.X + part.Width, width), b = std::min(part.Y + part.Height, height);
        if (l >= r || t >= b) {
            continue;
        }
        m_changed.push_back(TPresentRect{l, t, r - l, b - t});
        if (!keep) {
            m_stale = true;
            continue;
        }
        for (int y = t; y < b; ++y) {
            std::memcpy(m_pixels.data() + static_cast<size_t>(y) * width + l,
                        pixels + static_cast<size_t>(y) * pitch + l,
                        static_cast<size_t>(r - l) * sizeof(uint16_t));
        }
    }
    return m_changed;
}

const std::vector<TPresentRect>& TPresentedFrame::Repeat(const uint16_t* pixels, int width, int height,
                                                         int pitch) {
    if (m_forgotten || width != m_width || height != m_height) {
        return Update(pixels, width, height, pitch);
    }
    m_changed.clear();
    return m_changed;
}
