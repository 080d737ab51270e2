#include "engine/gfx/Draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
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

void CopyRow(uint16_t* __restrict d, const uint16_t* __restrict s, int n) {
    // The runs of a keyed sprite are often short: a call to the library costs more than these.
    if (n <= 16) {
        for (int i = 0; i < n; ++i)
            d[i] = s[i];
        return;
    }
    std::memcpy(d, s, static_cast<size_t>(n) * sizeof(uint16_t));
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

// The rectangles a copy reads and writes once clipped to both surfaces; false when empty.
bool ClipCopy(const TDirectDrawSurface& dest, int x, int y, const TRect& srcRect,
              const TDirectDrawSurface* src, TRect& d, TRect& s) {
    if (!src || x > dest.Width() || y > dest.Height())
        return false;
    s = srcRect;
    d = TRect{x, y, x + s.Width(), y + s.Height()};
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
        return false;
    const int w = std::min(d.Width(), s.Width());
    const int h = std::min(d.Height(), s.Height());
    d = Bounds(d.Left, d.Top, w, h);
    s = Bounds(s.Left, s.Top, w, h);
    return true;
}

// Operations drawn again only within a part of the surface (clip) give there exactly the pixels
// they give when drawn whole: every pixel's value depends only on the operations at that pixel.
bool Within(const TRect& clip, TRect& r) {
    r = TRect{std::max(r.Left, clip.Left), std::max(r.Top, clip.Top), std::min(r.Right, clip.Right),
              std::min(r.Bottom, clip.Bottom)};
    return !r.Empty();
}

void RunCopy(TDirectDrawSurface& dest, int x, int y, const TRect& srcRect, const TDirectDrawSurface* src,
             bool transparent, const TRect& clip) {
    TRect d, s;
    if (!ClipCopy(dest, x, y, srcRect, src, d, s))
        return;
    const TRect whole = d;
    if (!Within(clip, d))
        return;
    s = Bounds(s.Left + d.Left - whole.Left, s.Top + d.Top - whole.Top, d.Width(), d.Height());
    const int w = d.Width();
    const uint16_t key = src->ColorKey();
    const TKeyRuns* runs = transparent ? &src->KeyRuns() : nullptr;
    for (int row = 0; row < d.Height(); ++row) {
        uint16_t* dp = dest.DrawRow(d.Top + row) + d.Left;
        const uint16_t* sp = src->Row(s.Top + row) + s.Left;
        if (!transparent) {
            CopyRow(dp, sp, w);
            continue;
        }
        const uint16_t* rowRuns = nullptr;
        int count = 0;
        if (!runs->Runs(s.Top + row, rowRuns, count)) {
            CopyRowKeyed(dp, sp, w, key);
            continue;
        }
        // Only the parts of the runs inside the drawn columns.
        for (int i = 0; i < count; ++i) {
            const int begin = std::max<int>(rowRuns[2 * i], s.Left) - s.Left;
            const int end = std::min<int>(rowRuns[2 * i + 1], s.Left + w) - s.Left;
            if (begin < end)
                CopyRow(dp + begin, sp + begin, end - begin);
        }
    }
}

// The rectangle around a turned draw's corners, clamped to dest; false when empty.
bool RotatedBox(const TDirectDrawSurface& dest, int x, int y, int width, int height, const TRect& srcRect,
                const TDirectDrawSurface* src, double centerX, double centerY, int angle, TRect& box) {
    if (dest.Empty() || width == 0 || height == 0 || !src || src->Empty())
        return false;
    const int l = srcRect.Left, t = srcRect.Top, r = srcRect.Right, b = srcRect.Bottom;
    if (l < 0 || t < 0 || r > src->Width() || b > src->Height() || r <= l || b <= t)
        return false;
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
        return false;
    minX = std::clamp(minX, 0, dest.Width());
    maxX = std::clamp(maxX, 0, dest.Width());
    minY = std::clamp(minY, 0, dest.Height());
    maxY = std::clamp(maxY, 0, dest.Height());
    if (maxX - minX < 1 || maxY - minY < 1)
        return false;
    box = TRect{minX, minY, maxX, maxY};
    return true;
}

// One scan line of a turned draw: n pixels from column x, the first texel at (u, v) in 16.16,
// stepping by (dU, dV).
struct TRotatedSpan {
    int Row;
    int X;
    int64_t N;
    int64_t U, V, DU, DV;
};

// Walks the scan lines a turned draw writes (rows within firstRow..endRow), one span per row.
template <typename OnSpan>
void ForRotatedSpans(const TDirectDrawSurface& dest, int x, int y, int width, int height,
                     const TRect& srcRect, const TDirectDrawSurface* src, double centerX, double centerY,
                     int angle, int firstRow, int endRow, OnSpan&& onSpan) {
    TRect box;
    if (!RotatedBox(dest, x, y, width, height, srcRect, src, centerX, centerY, angle, box))
        return;
    const int l = srcRect.Left, t = srcRect.Top, r = srcRect.Right, b = srcRect.Bottom;
    const int sw = r - l;
    const int sh = b - t;
    const int minX = box.Left;
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
    const int64_t spanLimit = dest.Width() - minX;

    for (int row = std::max(box.Top, firstRow); row < std::min(box.Bottom, endRow); ++row) {
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
        const int64_t n =
            std::min({StepsInside(u, dUdX, uLo, uHi), StepsInside(v, dVdX, vLo, vHi), spanLimit - k});
        if (n > 0)
            onSpan(TRotatedSpan{row, static_cast<int>(minX + k), n, u, v, dUdX, dVdX});
    }
}

// The pixels a turned draw writes, exactly; false when none.
bool RotatedBounds(const TDirectDrawSurface& dest, const TDrawOp& op, TRect& bounds) {
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    ForRotatedSpans(dest, op.X, op.Y, op.Width, op.Height, op.Rect, op.Source, op.CenterX, op.CenterY,
                    op.Angle, 0, dest.Height(), [&](const TRotatedSpan& s) {
                        left = std::min(left, s.X);
                        right = std::max(right, static_cast<int>(s.X + s.N));
                        top = std::min(top, s.Row);
                        bottom = std::max(bottom, s.Row + 1);
                    });
    bounds = TRect{left, top, right, bottom};
    return left < right;
}

void RunRotated(TDirectDrawSurface& dest, int x, int y, int width, int height, const TRect& srcRect,
                const TDirectDrawSurface* src, double centerX, double centerY, bool transparent, int angle,
                const TRect& clip) {
    if (!src)
        return;
    const uint16_t key = src->ColorKey();
    const uint16_t* texels = src->Pixels();
    const size_t srcPitch = static_cast<size_t>(src->Pitch());
    ForRotatedSpans(
        dest, x, y, width, height, srcRect, src, centerX, centerY, angle, clip.Top, clip.Bottom,
        [&](const TRotatedSpan& span) {
            // Within the clip: the same steps, fewer of them written.
            const int64_t skip = std::max<int64_t>(0, clip.Left - span.X);
            const int64_t n = std::min<int64_t>(span.N, clip.Right - span.X) - skip;
            if (n <= 0)
                return;
            int64_t u = span.U + skip * span.DU;
            int64_t v = span.V + skip * span.DV;
            uint16_t* dp = dest.DrawRow(span.Row) + span.X + skip;
            if (span.DU == kOne && span.DV == 0 && src != &dest) {
                // Neither turned nor scaled (a boat going straight): consecutive texels of one row.
                const uint16_t* sp =
                    texels + static_cast<size_t>(v >> 16) * srcPitch + static_cast<size_t>(u >> 16);
                if (transparent)
                    CopyRowKeyed(dp, sp, static_cast<int>(n), key);
                else
                    CopyRow(dp, sp, static_cast<int>(n));
                return;
            }
            for (int64_t i = 0; i < n; ++i) {
                const uint16_t texel =
                    texels[static_cast<size_t>(v >> 16) * srcPitch + static_cast<size_t>(u >> 16)];
                if (!transparent || texel != key)
                    dp[i] = texel;
                u += span.DU;
                v += span.DV;
            }
        });
}

void RunFillRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t pixel, const TRect& clip) {
    int l = std::max({rect.Left, 0, clip.Left}), t = std::max({rect.Top, 0, clip.Top});
    int r = std::min({rect.Right, dest.Width(), clip.Right}),
        b = std::min({rect.Bottom, dest.Height(), clip.Bottom});
    if (l >= r)
        return;
    for (int row = t; row < b; ++row)
        std::fill(dest.DrawRow(row) + l, dest.DrawRow(row) + r, pixel);
}

// Mixes colour c over pixel d by coverage a (0..255), channel by channel in 5/6/5 bits.
uint16_t Blend565(uint16_t d, uint16_t c, unsigned a) {
    int dr = d >> 11, dg = (d >> 5) & 63, db = d & 31;
    int cr = c >> 11, cg = (c >> 5) & 63, cb = c & 31;
    int ia = static_cast<int>(a) + (a >> 7); // 0..256
    dr += ((cr - dr) * ia) >> 8;
    dg += ((cg - dg) * ia) >> 8;
    db += ((cb - db) * ia) >> 8;
    return static_cast<uint16_t>((dr << 11) | (dg << 5) | db);
}

void RunCoverage(TDirectDrawSurface& dest, int x, int y, const uint8_t* coverage, int w, int h,
                 uint16_t color, const TRect& clip) {
    if (!coverage)
        return;
    const int x0 = std::max({x, 0, clip.Left}), x1 = std::min({x + w, dest.Width(), clip.Right});
    const int y0 = std::max({y, 0, clip.Top}), y1 = std::min({y + h, dest.Height(), clip.Bottom});
    for (int row = y0; row < y1; ++row) {
        const uint8_t* cov = coverage + static_cast<size_t>(row - y) * w;
        uint16_t* dp = dest.DrawRow(row);
        for (int col = x0; col < x1; ++col) {
            const unsigned a = cov[col - x];
            if (a == 0)
                continue;
            dp[col] = a == 255 ? color : Blend565(dp[col], color, a);
        }
    }
}

void RunShade(TDirectDrawSurface& dest, const TRect& rect, uint16_t color, unsigned amount,
              const TRect& clip) {
    const int l = std::max({rect.Left, 0, clip.Left}), t = std::max({rect.Top, 0, clip.Top});
    const int r = std::min({rect.Right, dest.Width(), clip.Right}),
              b = std::min({rect.Bottom, dest.Height(), clip.Bottom});
    if (amount == 0 || l >= r)
        return;
    for (int row = t; row < b; ++row) {
        uint16_t* dp = dest.DrawRow(row);
        for (int col = l; col < r; ++col)
            dp[col] = Blend565(dp[col], color, amount);
    }
}

void RunFill(TDirectDrawSurface& dest, uint16_t pixel, const TRect& clip) {
    if (dest.Empty())
        return;
    if (clip.Left > 0 || clip.Top > 0 || clip.Right < dest.Width() || clip.Bottom < dest.Height()) {
        RunFillRect(dest, clip, pixel, clip);
        return;
    }
    const size_t rowBytes = static_cast<size_t>(dest.Width()) * sizeof(uint16_t);
    // Every frame starts with a fill: a byte-wise set where the value allows (black does), else
    // one row set by hand and copied down.
    if ((pixel & 0xFF) == (pixel >> 8)) {
        std::memset(dest.DrawRow(0), pixel & 0xFF, rowBytes * dest.Height());
        return;
    }
    std::fill_n(dest.DrawRow(0), dest.Width(), pixel);
    for (int y = 1; y < dest.Height(); ++y)
        std::memcpy(dest.DrawRow(y), dest.DrawRow(0), rowBytes);
}

// What a draw from src depends on besides the call's own arguments.
void NoteSource(TDrawOp& op, const TDirectDrawSurface* src) {
    op.Source = src;
    if (src) {
        op.SourceStamp = src->Stamp();
        op.Key = src->ColorKey();
    }
}

} // namespace

bool SameDrawOp(const TDrawOp& a, const uint8_t* aData, const TDrawOp& b, const uint8_t* bData) {
    if (a.Kind != b.Kind || a.Transparent != b.Transparent || a.Pixel != b.Pixel || a.Key != b.Key ||
        a.Source != b.Source || a.SourceStamp != b.SourceStamp || !(a.Rect == b.Rect) || a.X != b.X ||
        a.Y != b.Y || a.Width != b.Width || a.Height != b.Height || a.Angle != b.Angle ||
        a.CenterX != b.CenterX || a.CenterY != b.CenterY || a.Amount != b.Amount || a.DataSize != b.DataSize)
        return false;
    return a.DataSize == 0 || std::memcmp(aData + a.DataOffset, bData + b.DataOffset, a.DataSize) == 0;
}

void RunDrawOp(TDirectDrawSurface& dest, const TDrawOp& op, const uint8_t* data, const TRect* clip) {
    const TRect c = clip ? *clip : TRect{0, 0, dest.Width(), dest.Height()};
    switch (op.Kind) {
    case TDrawOp::TKind::Fill:
        RunFill(dest, op.Pixel, c);
        break;
    case TDrawOp::TKind::FillRect:
        RunFillRect(dest, op.Rect, op.Pixel, c);
        break;
    case TDrawOp::TKind::Copy:
        RunCopy(dest, op.X, op.Y, op.Rect, op.Source, op.Transparent, c);
        break;
    case TDrawOp::TKind::Rotated:
        RunRotated(dest, op.X, op.Y, op.Width, op.Height, op.Rect, op.Source, op.CenterX, op.CenterY,
                   op.Transparent, op.Angle, c);
        break;
    case TDrawOp::TKind::Coverage:
        RunCoverage(dest, op.X, op.Y, data ? data + op.DataOffset : nullptr, op.Width, op.Height, op.Pixel,
                    c);
        break;
    case TDrawOp::TKind::Shade:
        RunShade(dest, op.Rect, op.Pixel, op.Amount, c);
        break;
    }
}

bool DrawOpBounds(const TDirectDrawSurface& dest, const TDrawOp& op, TRect& bounds) {
    const TRect whole{0, 0, dest.Width(), dest.Height()};
    TRect s;
    switch (op.Kind) {
    case TDrawOp::TKind::Fill:
        bounds = whole;
        return !whole.Empty();
    case TDrawOp::TKind::FillRect:
    case TDrawOp::TKind::Shade:
        bounds = TRect{std::max(op.Rect.Left, 0), std::max(op.Rect.Top, 0),
                       std::min(op.Rect.Right, dest.Width()), std::min(op.Rect.Bottom, dest.Height())};
        return !bounds.Empty();
    case TDrawOp::TKind::Copy:
        return ClipCopy(dest, op.X, op.Y, op.Rect, op.Source, bounds, s);
    case TDrawOp::TKind::Rotated:
        return RotatedBounds(dest, op, bounds);
    case TDrawOp::TKind::Coverage:
        bounds = TRect{std::max(op.X, 0), std::max(op.Y, 0), std::min(op.X + op.Width, dest.Width()),
                       std::min(op.Y + op.Height, dest.Height())};
        return !bounds.Empty();
    }
    return false;
}

bool DrawOpOpaque(const TDrawOp& op) {
    switch (op.Kind) {
    case TDrawOp::TKind::Fill:
    case TDrawOp::TKind::FillRect:
        return true;
    case TDrawOp::TKind::Copy:
        return !op.Transparent;
    default:
        return false;
    }
}

void DrawSurface(TDirectDrawSurface& dest, int x, int y, const TRect& srcRect, const TDirectDrawSurface* src,
                 bool transparent) {
    if (!src || x > dest.Width() || y > dest.Height())
        return;
    TDrawOp op;
    op.Kind = TDrawOp::TKind::Copy;
    op.X = x;
    op.Y = y;
    op.Rect = srcRect;
    op.Transparent = transparent;
    NoteSource(op, src);
    if (!dest.PutOff(op))
        RunDrawOp(dest, op, nullptr);
}

void DrawSurfaceRotated(TDirectDrawSurface& dest, int x, int y, int width, int height, const TRect& srcRect,
                        const TDirectDrawSurface* src, double centerX, double centerY, bool transparent,
                        int angle) {
    if (dest.Empty() || width == 0 || height == 0 || !src || src->Empty())
        return;
    TDrawOp op;
    op.Kind = TDrawOp::TKind::Rotated;
    op.X = x;
    op.Y = y;
    op.Width = width;
    op.Height = height;
    op.Rect = srcRect;
    op.CenterX = centerX;
    op.CenterY = centerY;
    op.Transparent = transparent;
    op.Angle = angle;
    NoteSource(op, src);
    if (!dest.PutOff(op))
        RunDrawOp(dest, op, nullptr);
}

void FillRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t pixel) {
    TDrawOp op;
    op.Kind = TDrawOp::TKind::FillRect;
    op.Rect = rect;
    op.Pixel = pixel;
    if (!dest.PutOff(op))
        RunDrawOp(dest, op, nullptr);
}

void ShadeRect(TDirectDrawSurface& dest, const TRect& rect, uint16_t color, uint8_t amount) {
    if (amount == 0)
        return;
    TDrawOp op;
    op.Kind = TDrawOp::TKind::Shade;
    op.Rect = rect;
    op.Pixel = color;
    op.Amount = amount;
    if (!dest.PutOff(op))
        RunDrawOp(dest, op, nullptr);
}

void DrawCoverage(TDirectDrawSurface& dest, int x, int y, const uint8_t* coverage, int width, int height,
                  uint16_t color) {
    if (!coverage || width <= 0 || height <= 0)
        return;
    TDrawOp op;
    op.Kind = TDrawOp::TKind::Coverage;
    op.X = x;
    op.Y = y;
    op.Width = width;
    op.Height = height;
    op.Pixel = color;
    if (!dest.PutOff(op, coverage, static_cast<size_t>(width) * height))
        RunCoverage(dest, x, y, coverage, width, height, color, TRect{0, 0, dest.Width(), dest.Height()});
}
