#include "engine/gfx/Draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Angles are 1/256 of a full turn.
constexpr int kAngleSteps = 256;
constexpr int64_t kOne = 65536; // 1.0 in 16.16 fixed point

const std::array<double, kAngleSteps>& CosTable() {
    static const std::array<double, kAngleSteps> table = [] {
        std::array<double, kAngleSteps> t{};
        for (int i = 0; i < kAngleSteps; ++i)
            t[i] = std::cos(2 * std::numbers::pi * i / kAngleSteps);
        return t;
    }();
    return table;
}

double Cos256(int a) {
    return CosTable()[a & 255];
}
double Sin256(int a) {
    return CosTable()[(a + 192) & 255];
}

void CopyRow(uint16_t* d, const uint16_t* s, int n) {
    std::copy(s, s + n, d);
}

// The hot loop of every sprite and background draw: eight pixels at a time where the CPU allows.
void CopyRowKeyed(uint16_t* __restrict d, const uint16_t* __restrict s, int n, uint16_t key) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i k = _mm_set1_epi16(static_cast<short>(key));
    for (; i + 8 <= n; i += 8) {
        __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i keep = _mm_cmpeq_epi16(sv, k);
        __m128i out = _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, sv));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
    }
#endif
    for (; i < n; ++i) {
        uint16_t v = s[i];
        uint16_t keep = static_cast<uint16_t>(-(v == key));
        d[i] = static_cast<uint16_t>((d[i] & keep) | (v & ~keep));
    }
}

// Smallest k >= 0 with a + k*step >= limit (step > 0).
int64_t StepsToReach(int64_t a, int64_t limit, int64_t step) {
    return (limit - a + step - 1) / step;
}

// Number of steps n >= 0 for which value + n*step stays in [lo, hi); value is inside already.
int64_t StepsInside(int64_t value, int64_t step, int64_t lo, int64_t hi) {
    if (step > 0)
        return (hi - value + step - 1) / step;
    if (step < 0)
        return (value - lo) / -step + 1;
    return INT64_MAX;
}

} // namespace

void DrawSurface(TDirectDrawSurface& dest, int x, int y, const TRect& srcRect, const TDirectDrawSurface* src,
                 bool transparent) {
    if (!src || x > dest.Width() || y > dest.Height())
        return;
    TRect s = srcRect;
    TRect d{x, y, x + s.Width(), y + s.Height()};
    // Clip the destination's top-left, then the source's, then both bottom-right corners.
    if (d.Left < 0) {
        s.Left -= d.Left;
        d.Left = 0;
    }
    if (d.Top < 0) {
        s.Top -= d.Top;
        d.Top = 0;
    }
    if (s.Left < 0) {
        d.Left -= s.Left;
        s.Left = 0;
    }
    if (s.Top < 0) {
        d.Top -= s.Top;
        s.Top = 0;
    }
    if (d.Right > dest.Width()) {
        s.Right -= d.Right - dest.Width();
        d.Right = dest.Width();
    }
    if (d.Bottom > dest.Height()) {
        s.Bottom -= d.Bottom - dest.Height();
        d.Bottom = dest.Height();
    }
    if (s.Right > src->Width()) {
        d.Right -= s.Right - src->Width();
        s.Right = src->Width();
    }
    if (s.Bottom > src->Height()) {
        d.Bottom -= s.Bottom - src->Height();
        s.Bottom = src->Height();
    }
    if (d.Empty() || s.Empty())
        return;
    int w = std::min(d.Width(), s.Width());
    int h = std::min(d.Height(), s.Height());
    uint16_t key = src->ColorKey();
    for (int row = 0; row < h; ++row) {
        uint16_t* dp = dest.Row(d.Top + row) + d.Left;
        const uint16_t* sp = src->Row(s.Top + row) + s.Left;
        if (transparent)
            CopyRowKeyed(dp, sp, w, key);
        else
            CopyRow(dp, sp, w);
    }
}

void DrawSurfaceRotated(TDirectDrawSurface& dest, int x, int y, int width, int height, const TRect& srcRect,
                        const TDirectDrawSurface* src, double centerX, double centerY, bool transparent,
                        int angle) {
    if (dest.Empty() || width == 0 || height == 0 || !src || src->Empty())
        return;
    const int l = srcRect.Left, t = srcRect.Top, r = srcRect.Right, b = srcRect.Bottom;
    if (l < 0 || t < 0 || r > src->Width() || b > src->Height() || r <= l || b <= t)
        return;
    const int sw = r - l;
    const int sh = b - t;

    // Bounding box of the turned corners.
    const double cosA = Cos256(angle);
    const double sinA = Sin256(angle);
    int minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
    for (int corner = 0; corner < 4; ++corner) {
        double px = (corner & 1) ? width : 0;
        double py = (corner & 2) ? height : 0;
        double c = std::trunc(px - width * centerX);
        double d = std::trunc(py - height * centerY);
        int sx = static_cast<int>(std::trunc(c * cosA - d * sinA)) + x;
        int sy = static_cast<int>(std::trunc(c * sinA + d * cosA)) + y;
        minX = std::min(minX, sx);
        maxX = std::max(maxX, sx);
        minY = std::min(minY, sy);
        maxY = std::max(maxY, sy);
    }
    if (minX > dest.Width() || minY > dest.Height() || maxX < 1 || maxY < 1)
        return;
    minX = std::clamp(minX, 0, dest.Width());
    maxX = std::clamp(maxX, 0, dest.Width());
    minY = std::clamp(minY, 0, dest.Height());
    maxY = std::clamp(maxY, 0, dest.Height());
    if (maxX - minX < 1 || maxY - minY < 1)
        return;

    // Texel steps per screen pixel, 16.16; the inverse turn maps screen to picture.
    const int64_t cs = static_cast<int64_t>(std::trunc(Cos256(-angle) * kOne));
    const int64_t sn = static_cast<int64_t>(std::trunc(Sin256(-angle) * kOne));
    const int64_t dUdX = sw * cs / width;
    const int64_t dVdX = sh * sn / height;
    const int64_t dUdY = sw * sn / width;
    const int64_t dVdY = sh * cs / height;
    const int64_t uLo = l * kOne, uHi = r * kOne, vLo = t * kOne, vHi = b * kOne;
    const int64_t u0 = static_cast<int64_t>(std::trunc(centerX * sw * kOne)) + (minX - x) * dUdX + uLo;
    const int64_t v0 = static_cast<int64_t>(std::trunc(centerY * sh * kOne)) + (minX - x) * dVdX + vLo;
    const uint16_t key = src->ColorKey();
    const int64_t spanLimit = dest.Width() - minX;

    for (int row = minY; row < maxY; ++row) {
        int64_t u = u0 - (row - y) * dUdY;
        int64_t v = v0 + (row - y) * dVdY;
        // Skip the leading pixels that fall outside the pattern.
        int64_t k = 0;
        if (dUdX > 0 && u < uLo)
            k = std::max(k, StepsToReach(u, uLo, dUdX));
        else if (dUdX < 0 && u >= uHi)
            k = std::max(k, (uHi + dUdX - u) / dUdX);
        if (dVdX > 0 && v < vLo)
            k = std::max(k, StepsToReach(v, vLo, dVdX));
        else if (dVdX < 0 && v >= vHi)
            k = std::max(k, (vHi + dVdX - v) / dVdX);
        if (k >= spanLimit)
            continue;
        u += k * dUdX;
        v += k * dVdX;
        if (u < uLo || u >= uHi || v < vLo || v >= vHi)
            continue;
        int64_t n = std::min({StepsInside(u, dUdX, uLo, uHi), StepsInside(v, dVdX, vLo, vHi), spanLimit - k});
        uint16_t* dp = dest.Row(row) + minX + k;
        for (int64_t i = 0; i < n; ++i) {
            uint16_t texel = src->Row(static_cast<int>(v >> 16))[u >> 16];
            if (!transparent || texel != key)
                dp[i] = texel;
            u += dUdX;
            v += dVdX;
        }
    }
}

void FillRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t pixel) {
    int l = std::max(rect.Left, 0), t = std::max(rect.Top, 0);
    int r = std::min(rect.Right, dest.Width()), b = std::min(rect.Bottom, dest.Height());
    if (l >= r)
        return;
    for (int row = t; row < b; ++row)
        std::fill(dest.Row(row) + l, dest.Row(row) + r, pixel);
}
