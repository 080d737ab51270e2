#include "engine/platform/WindowPicture.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Sixteen pixels at a time where the processor has AVX2, chosen as the game runs.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define SPRAYDASH_AVX2_BLOCKS 1
#include <immintrin.h>
#endif

namespace {
uint32_t Expand(uint16_t p, int redShift, int greenShift, int blueShift) {
    // Red lies wholly in the high byte and blue in the low one; green's top bits (which fill its
    // low bits on expansion) are in the high byte, so the two halves' tables can be OR-ed.
    const uint32_t r = (p >> 11) & 31;
    const uint32_t g = (p >> 5) & 63;
    const uint32_t b = p & 31;
    const uint32_t r8 = (r << 3) | (r >> 2);
    const uint32_t g8 = (g << 2) | (g >> 4);
    const uint32_t b8 = (b << 3) | (b >> 2);
    return (r8 << redShift) | (g8 << greenShift) | (b8 << blueShift);
}

// a and b mixed, b weighted w / 256, for any layout of 8-bit channels: two channels at a time.
uint32_t Mix(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t keep = 256 - w;
    const uint32_t evens = (((a & 0x00FF00FFU) * keep + (b & 0x00FF00FFU) * w) >> 8) & 0x00FF00FFU;
    const uint32_t odds = (((a >> 8) & 0x00FF00FFU) * keep + ((b >> 8) & 0x00FF00FFU) * w) & 0xFF00FF00U;
    return evens | odds;
}

uint32_t* RowOf(TWindowPixels target, int y) {
    return reinterpret_cast<uint32_t*>(target.Pixels + static_cast<size_t>(y) * target.Pitch);
}
} // namespace

bool TPixelConverter::Prepare(int redShift, int greenShift, int blueShift) {
    const std::array<int, 3> shifts{redShift, greenShift, blueShift};
    if (shifts == m_shifts)
        return false;
    m_shifts = shifts;
    for (int byte = 0; byte < 256; ++byte) {
        m_low[byte] = Expand(static_cast<uint16_t>(byte), redShift, greenShift, blueShift);
        m_high[byte] = Expand(static_cast<uint16_t>(byte << 8), redShift, greenShift, blueShift);
    }
    return true;
}

namespace {
#if defined(__SSE2__)
// Eight pixels in the X server's and Wayland's usual layout (red at 16, green at 8, blue at 0),
// pixels 0-3 and 4-7: each channel's byte worked out in 16-bit lanes from the pixel itself,
// green beside blue in the low half of each word and red in the high half, then interleaved into
// words. Twice as fast as widening to 32-bit lanes first.
struct TEightXrgb {
    __m128i Low;
    __m128i High;
};

inline __attribute__((always_inline)) TEightXrgb ConvertEightToXrgb(const uint16_t* from) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    // r8 = r5 << 3 | r5 >> 2, likewise g8 from six bits and b8 from five.
    const __m128i r =
        _mm_or_si128(_mm_and_si128(_mm_srli_epi16(p, 8), _mm_set1_epi16(0x00F8)), _mm_srli_epi16(p, 13));
    const __m128i g =
        _mm_or_si128(_mm_and_si128(_mm_slli_epi16(p, 5), _mm_set1_epi16(static_cast<short>(0xFC00))),
                     _mm_and_si128(_mm_srli_epi16(p, 1), _mm_set1_epi16(0x0300)));
    const __m128i b = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(p, 3), _mm_set1_epi16(0x00F8)),
                                   _mm_and_si128(_mm_srli_epi16(p, 2), _mm_set1_epi16(0x0007)));
    const __m128i gb = _mm_or_si128(g, b);
    return TEightXrgb{_mm_unpacklo_epi16(gb, r), _mm_unpackhi_epi16(gb, r)};
}

// Streamed stores go to memory without reading the lines first: the window's pixels are read
// by the display server, not by us. They need 16-byte alignment.
template <bool Stream> void Store(uint32_t* to, __m128i v) {
    if constexpr (Stream)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to), v);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v);
}

// Eight converted pixels, each k times, into one row.
template <int K, bool Stream> void StoreEight(uint32_t* to, const TEightXrgb& e) {
    for (const __m128i v : {e.Low, e.High}) {
        if constexpr (K == 1) {
            Store<Stream>(to, v);
        } else if constexpr (K == 2) {
            Store<Stream>(to, _mm_unpacklo_epi32(v, v));
            Store<Stream>(to + 4, _mm_unpackhi_epi32(v, v));
        } else {
            Store<Stream>(to, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 0, 0)));
            Store<Stream>(to + 4, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 2, 1, 1)));
            Store<Stream>(to + 8, _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 2)));
        }
        to += 4 * K;
    }
}

// Runs at least this long are streamed to the window.
constexpr int kStreamRun = 64;

#if defined(SPRAYDASH_AVX2_BLOCKS)
bool g_wideVectorsAllowed = true;

bool WideVectors() {
    static const bool kHasAvx2 = __builtin_cpu_supports("avx2");
    return kHasAvx2 && g_wideVectorsAllowed;
}

// The streamed loop sixteen pixels at a time, for 1 and 2 ×, from pixel i on while sixteen are
// left; row 0 must be 32-byte aligned at pixel i. Returns where it stopped.
template <int K>
__attribute__((target("avx2"))) int StreamSixteens(const uint16_t* from, uint8_t* to, size_t pitch, int i,
                                                   int count) {
    static_assert(K == 1 || K == 2);
    const __m256i redHigh = _mm256_set1_epi16(0x00F8);
    const __m256i greenHigh = _mm256_set1_epi16(static_cast<short>(0xFC00));
    const __m256i greenLow = _mm256_set1_epi16(0x0300);
    const __m256i blueLow = _mm256_set1_epi16(0x0007);
    for (; i + 16 <= count; i += 16) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i));
        const __m256i r =
            _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(p, 8), redHigh), _mm256_srli_epi16(p, 13));
        const __m256i g = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(p, 5), greenHigh),
                                          _mm256_and_si256(_mm256_srli_epi16(p, 1), greenLow));
        const __m256i b = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(p, 3), redHigh),
                                          _mm256_and_si256(_mm256_srli_epi16(p, 2), blueLow));
        const __m256i gb = _mm256_or_si256(g, b);
        // Within each 128-bit half: pixels 0-3 and 8-11, then 4-7 and 12-15.
        const __m256i low = _mm256_unpacklo_epi16(gb, r);
        const __m256i high = _mm256_unpackhi_epi16(gb, r);
        for (int row = 0; row < K; ++row) {
            auto* out = reinterpret_cast<__m256i*>(reinterpret_cast<uint32_t*>(to + row * pitch) + i * K);
            if constexpr (K == 1) {
                _mm256_stream_si256(out, _mm256_permute2x128_si256(low, high, 0x20));
                _mm256_stream_si256(out + 1, _mm256_permute2x128_si256(low, high, 0x31));
            } else {
                const __m256i p0 = _mm256_unpacklo_epi32(low, low); // 0 0 1 1 | 8 8 9 9
                const __m256i p2 = _mm256_unpackhi_epi32(low, low); // 2 2 3 3 | 10 10 11 11
                const __m256i p4 = _mm256_unpacklo_epi32(high, high);
                const __m256i p6 = _mm256_unpackhi_epi32(high, high);
                _mm256_stream_si256(out, _mm256_permute2x128_si256(p0, p2, 0x20));
                _mm256_stream_si256(out + 1, _mm256_permute2x128_si256(p4, p6, 0x20));
                _mm256_stream_si256(out + 2, _mm256_permute2x128_si256(p0, p2, 0x31));
                _mm256_stream_si256(out + 3, _mm256_permute2x128_si256(p4, p6, 0x31));
            }
        }
    }
    return i;
}
#endif

template <int K>
void ConvertBlocksToXrgb(const TPixelConverter& converter, const uint16_t* from, uint8_t* to, size_t pitch,
                         int count) {
    auto row = [&](int r) { return reinterpret_cast<uint32_t*>(to + r * pitch); };
    auto single = [&](int i) {
        const uint32_t c = converter.Convert(from[i]);
        for (int r = 0; r < K; ++r)
            std::fill_n(row(r) + i * K, K, c);
    };
    bool wide = false;
#if defined(SPRAYDASH_AVX2_BLOCKS)
    wide = K <= 2 && WideVectors() && pitch % 32 == 0;
#endif
    const uintptr_t alignment = wide ? 32 : 16;
    auto aligned = [&](int i) {
        return (reinterpret_cast<uintptr_t>(row(0) + i * K) & (alignment - 1)) == 0;
    };
    int i = 0;
    bool stream = count >= kStreamRun && pitch % alignment == 0;
    if (stream) {
        for (; i < 8 && !aligned(i); ++i)
            single(i);
        stream = aligned(i); // never, for an even factor at an odd word
    }
    if (stream) {
#if defined(SPRAYDASH_AVX2_BLOCKS)
        if constexpr (K <= 2) {
            if (wide)
                i = StreamSixteens<K>(from, to, pitch, i, count);
        }
#endif
        for (; i + 8 <= count; i += 8) {
            const TEightXrgb e = ConvertEightToXrgb(from + i);
            for (int r = 0; r < K; ++r)
                StoreEight<K, true>(row(r) + i * K, e);
        }
    } else {
        for (; i + 8 <= count; i += 8) {
            const TEightXrgb e = ConvertEightToXrgb(from + i);
            for (int r = 0; r < K; ++r)
                StoreEight<K, false>(row(r) + i * K, e);
        }
    }
    for (; i < count; ++i)
        single(i);
}
#endif
} // namespace

void TPixelConverter::ConvertRow(const uint16_t* from, uint32_t* to, int count) const {
    const int rs = m_shifts[0];
    const int gs = m_shifts[1];
    const int bs = m_shifts[2];
    int i = 0;
#if defined(__SSE2__)
    if (IsXrgb()) {
        for (; i + 8 <= count; i += 8)
            StoreEight<1, false>(to + i, ConvertEightToXrgb(from + i));
        for (; i < count; ++i)
            to[i] = Convert(from[i]);
        return;
    }
#endif
    // Any other layout: eight pixels at a time in plain integer arithmetic, which the compiler
    // keeps in vector registers on any machine; table look-ups cannot be vectorised.
    using THalves = uint16_t __attribute__((vector_size(16)));
    using TWords = uint32_t __attribute__((vector_size(32)));
    for (; i + 8 <= count; i += 8) {
        THalves in;
        std::memcpy(&in, from + i, sizeof in);
        const TWords p = __builtin_convertvector(in, TWords);
        const TWords r = (p >> 11) & 31;
        const TWords g = (p >> 5) & 63;
        const TWords b = p & 31;
        const TWords out =
            (((r << 3) | (r >> 2)) << rs) | (((g << 2) | (g >> 4)) << gs) | (((b << 3) | (b >> 2)) << bs);
        std::memcpy(to + i, &out, sizeof out);
    }
    for (; i < count; ++i)
        to[i] = Convert(from[i]);
}

void TPixelConverter::ConvertBlocks(const uint16_t* from, uint8_t* to, size_t pitch, int count, int k) const {
    if (count <= 0)
        return;
#if defined(__SSE2__)
    if (IsXrgb() && k >= 1 && k <= 3) {
        if (k == 1)
            ConvertBlocksToXrgb<1>(*this, from, to, pitch, count);
        else if (k == 2)
            ConvertBlocksToXrgb<2>(*this, from, to, pitch, count);
        else
            ConvertBlocksToXrgb<3>(*this, from, to, pitch, count);
        return;
    }
#endif
    auto* row = reinterpret_cast<uint32_t*>(to);
    if (k == 1) {
        ConvertRow(from, row, count);
        return;
    }
    // Converted into the right end of the first row first, then spread into blocks from the left,
    // which never overwrites a converted pixel before it has been spread; then the other rows.
    uint32_t* converted = row + count * (k - 1);
    ConvertRow(from, converted, count);
    for (int i = 0; i < count; ++i) {
        const uint32_t c = converted[i];
        std::fill_n(row + i * k, k, c);
    }
    for (int r = 1; r < k; ++r)
        std::memcpy(to + r * pitch, row, static_cast<size_t>(count) * k * 4);
}

void TPixelConverter::AllowWideVectors(bool allowed) {
#if defined(SPRAYDASH_AVX2_BLOCKS)
    g_wideVectorsAllowed = allowed;
#else
    (void)allowed;
#endif
}

void TPixelConverter::FinishWrites() {
#if defined(__SSE2__)
    _mm_sfence(); // what was streamed reaches memory before the display server is told to read it
#endif
}

void TWindowPicture::Place(const TScreenRect& view, int targetW, int targetH, int pictureW, int pictureH) {
    if (view == m_view && targetW == m_targetW && targetH == m_targetH && pictureW == m_pictureW &&
        pictureH == m_pictureH)
        return;
    m_view = view;
    m_targetW = targetW;
    m_targetH = targetH;
    m_pictureW = pictureW;
    m_pictureH = pictureH;
    m_bordersDirty = true;
    const bool whole = pictureW > 0 && pictureH > 0 && view.W % pictureW == 0 && view.H % pictureH == 0 &&
                       view.W / pictureW == view.H / pictureH;
    m_factor = whole ? view.W / pictureW : 0;
    if (m_factor == 0 && view.W > 0 && view.H > 0 && pictureW > 0 && pictureH > 0) {
        m_columnTaps = Taps(view.W, pictureW);
        m_rowTaps = Taps(view.H, pictureH);
    }
}

std::vector<TWindowPicture::TTap> TWindowPicture::Taps(int destSize, int sourceSize) {
    std::vector<TTap> taps(destSize);
    for (int i = 0; i < destSize; ++i) {
        // The destination pixel's centre in source pixels, in 256ths, less half a pixel: the
        // source sample at or left of it and the weight of the one after.
        int64_t at = (static_cast<int64_t>(2 * i + 1) * sourceSize * 128) / destSize - 128;
        at = std::max<int64_t>(at, 0);
        TTap tap{static_cast<int>(at >> 8), static_cast<uint32_t>(at & 255)};
        if (tap.First >= sourceSize - 1)
            tap = TTap{sourceSize - 1, 0};
        taps[i] = tap;
    }
    return taps;
}

void TWindowPicture::Draw(TWindowPixels target, const TPixelConverter& converter, const uint16_t* pixels,
                          int pitch, const std::vector<TPresentRect>& changed, bool whole) {
    m_rects.clear();
    if (m_view.W <= 0 || m_view.H <= 0 || m_pictureW <= 0 || m_pictureH <= 0 ||
        m_view.X + m_view.W > target.W || m_view.Y + m_view.H > target.H || m_view.X < 0 || m_view.Y < 0) {
        m_wroteWhole = false;
        return;
    }
    if (m_bordersDirty) {
        ClearAll(target);
        m_bordersDirty = false;
        whole = true;
    }
    m_wroteWhole = whole;
    if (m_factor == 0) {
        DrawSmooth(target, converter, pixels, pitch, changed, whole);
        return;
    }
    const std::vector<TPresentRect> all{TPresentRect{0, 0, m_pictureW, m_pictureH}};
    const int k = m_factor;
    for (const TPresentRect& r : whole ? all : changed) {
        DrawSharp(target, converter, pixels, pitch, r);
        m_rects.push_back(TScreenRect{m_view.X + r.X * k, m_view.Y + r.Y * k, r.Width * k, r.Height * k});
    }
    TPixelConverter::FinishWrites();
}

void TWindowPicture::ClearAll(TWindowPixels target) {
    for (int y = 0; y < target.H; ++y)
        std::memset(RowOf(target, y), 0, static_cast<size_t>(target.W) * 4);
}

void TWindowPicture::DrawSharp(TWindowPixels target, const TPixelConverter& converter, const uint16_t* pixels,
                               int pitch, const TPresentRect& r) {
    const int k = m_factor;
    const size_t left = static_cast<size_t>(m_view.X + r.X * k) * 4;
    for (int y = r.Y; y < r.Y + r.Height; ++y) {
        uint8_t* at = target.Pixels + static_cast<size_t>(m_view.Y + y * k) * target.Pitch + left;
        converter.ConvertBlocks(pixels + static_cast<size_t>(y) * pitch + r.X, at,
                                static_cast<size_t>(target.Pitch), r.Width, k);
    }
}

void TWindowPicture::BlendRow(int row, int from, int to, std::vector<uint32_t>& line) const {
    const uint32_t* src = m_source.data() + static_cast<size_t>(row) * m_pictureW;
    const int last = m_pictureW - 1;
    for (int x = from; x < to; ++x) {
        const TTap& t = m_columnTaps[x];
        line[x] = t.Weight ? Mix(src[t.First], src[std::min(t.First + 1, last)], t.Weight) : src[t.First];
    }
}

void TWindowPicture::DrawSmooth(TWindowPixels target, const TPixelConverter& converter,
                                const uint16_t* pixels, int pitch, const std::vector<TPresentRect>& changed,
                                bool whole) {
    const int w = m_pictureW;
    const int h = m_pictureH;
    // The changed parts, converted once, and which source rows and columns they cover.
    m_source.resize(static_cast<size_t>(w) * h);
    m_rowChanged.assign(h, whole ? 1 : 0);
    int spanFrom = whole ? 0 : w;
    int spanTo = whole ? w : 0;
    const std::vector<TPresentRect> all{TPresentRect{0, 0, w, h}};
    for (const TPresentRect& r : whole ? all : changed) {
        const int x0 = std::clamp(r.X, 0, w);
        const int x1 = std::clamp(r.X + r.Width, x0, w);
        const int y0 = std::clamp(r.Y, 0, h);
        const int y1 = std::clamp(r.Y + r.Height, y0, h);
        for (int y = y0; y < y1; ++y) {
            const uint16_t* src = pixels + static_cast<size_t>(y) * pitch;
            converter.ConvertRow(src + x0, m_source.data() + static_cast<size_t>(y) * w + x0, x1 - x0);
            m_rowChanged[y] = 1;
        }
        if (x1 > x0 && y1 > y0) {
            spanFrom = std::min(spanFrom, x0);
            spanTo = std::max(spanTo, x1);
        }
    }
    if (spanFrom >= spanTo)
        return;
    // The view's columns that read a changed column (columns' taps only grow from left to right).
    int from = 0;
    while (from < m_view.W && m_columnTaps[from].First + 1 < spanFrom)
        ++from;
    int to = m_view.W;
    while (to > from && m_columnTaps[to - 1].First >= spanTo)
        --to;
    if (from >= to)
        return;
    m_upper.resize(m_view.W);
    m_lower.resize(m_view.W);
    int upperRow = -1;
    int lowerRow = -1;
    int bandTop = -1;
    auto closeBand = [&](int y) {
        if (bandTop >= 0)
            m_rects.push_back(TScreenRect{m_view.X + from, m_view.Y + bandTop, to - from, y - bandTop});
        bandTop = -1;
    };
    for (int y = 0; y < m_view.H; ++y) {
        const TTap& t = m_rowTaps[y];
        const int a = t.First;
        const int b = std::min(a + 1, h - 1);
        if (!m_rowChanged[a] && !(t.Weight && m_rowChanged[b])) {
            closeBand(y);
            continue;
        }
        if (bandTop < 0)
            bandTop = y;
        // Rows are blended across once each and reused by the view rows that share them.
        if (upperRow != a) {
            if (lowerRow == a) {
                std::swap(m_upper, m_lower);
                lowerRow = -1;
            } else {
                BlendRow(a, from, to, m_upper);
            }
            upperRow = a;
        }
        uint32_t* out = RowOf(target, m_view.Y + y) + m_view.X;
        if (!t.Weight) {
            std::memcpy(out + from, m_upper.data() + from, static_cast<size_t>(to - from) * 4);
            continue;
        }
        if (lowerRow != b) {
            BlendRow(b, from, to, m_lower);
            lowerRow = b;
        }
        for (int x = from; x < to; ++x)
            out[x] = Mix(m_upper[x], m_lower[x], t.Weight);
    }
    closeBand(m_view.H);
}
