#include "engine/platform/PresentedFrame.h"

#include <algorithm>
#include <cstring>

namespace {

// Pixels compared four at a time: the first and last differing pixel of two rows that differ.
constexpr int kWordPixels = 4;

uint64_t Word(const uint16_t* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

int FirstDifference(const uint16_t* a, const uint16_t* b, int n) {
    int i = 0;
    while (i + kWordPixels <= n && Word(a + i) == Word(b + i))
        i += kWordPixels;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// One past the last differing pixel; the rows differ somewhere at or after `from`.
int LastDifference(const uint16_t* a, const uint16_t* b, int from, int n) {
    int i = n;
    while (i - kWordPixels >= from && Word(a + i - kWordPixels) == Word(b + i - kWordPixels))
        i -= kWordPixels;
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

const std::vector<TPresentRect>& TPresentedFrame::Update(const uint16_t* pixels, int width, int height,
                                                         int pitch) {
    m_changed.clear();
    m_lastChangedRow = -1;
    if (width <= 0 || height <= 0 || !pixels) {
        return m_changed;
    }
    if (m_forgotten || width != m_width || height != m_height) {
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
        m_changed.push_back(TPresentRect{0, 0, width, height});
        return m_changed;
    }
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint16_t);
    for (int y = 0; y < height; ++y) {
        const uint16_t* now = pixels + static_cast<size_t>(y) * pitch;
        uint16_t* kept = m_pixels.data() + static_cast<size_t>(y) * width;
        if (std::memcmp(now, kept, rowBytes) == 0) {
            continue;
        }
        const int left = FirstDifference(now, kept, width);
        const int right = LastDifference(now, kept, left, width);
        std::memcpy(kept + left, now + left, static_cast<size_t>(right - left) * sizeof(uint16_t));
        AddChangedSpan(y, left, right);
    }
    return m_changed;
}

void TPresentedFrame::AddChangedSpan(int y, int left, int right) {
    const bool join =
        !m_changed.empty() && (y - m_lastChangedRow <= kJoinRows || m_changed.size() >= kMaxParts);
    m_lastChangedRow = y;
    if (!join) {
        m_changed.push_back(TPresentRect{left, y, right - left, 1});
        return;
    }
    TPresentRect& part = m_changed.back();
    const int l = std::min(part.X, left);
    const int r = std::max(part.X + part.Width, right);
    part.X = l;
    part.Width = r - l;
    part.Height = y + 1 - part.Y;
}
