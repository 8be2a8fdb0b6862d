#pragma once
// Pixel routines of the device contexts: mixes, the one-pixel line walker
// and the odd-even polygon filler, all in exact integer arithmetic on RGB32
// image memory. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarn::gdi {

// 0x00BBGGRR <-> 0xFFRRGGBB
inline uint32_t PixelOf(TColorRef c)
{
    return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline TColorRef ColorOf(uint32_t px)
{
    return ((px >> 16) & 0xFFu) | (px & 0xFF00u) | ((px & 0xFFu) << 16);
}

// The sixteen mixes of pen P and screen D; the alpha byte stays opaque.
inline uint32_t Mix(int32_t rop, uint32_t d, uint32_t p)
{
    uint32_t r;
    switch (rop) {
    case TGDI_R2_BLACK: r = 0; break;
    case TGDI_R2_NOTMERGEPEN: r = ~(p | d); break;
    case TGDI_R2_MASKNOTPEN: r = ~p & d; break;
    case TGDI_R2_NOTCOPYPEN: r = ~p; break;
    case TGDI_R2_MASKPENNOT: r = p & ~d; break;
    case TGDI_R2_NOT: r = ~d; break;
    case TGDI_R2_XORPEN: r = p ^ d; break;
    case TGDI_R2_NOTMASKPEN: r = ~(p & d); break;
    case TGDI_R2_MASKPEN: r = p & d; break;
    case TGDI_R2_NOTXORPEN: r = ~(p ^ d); break;
    case TGDI_R2_NOP: r = d; break;
    case TGDI_R2_MERGENOTPEN: r = ~p | d; break;
    case TGDI_R2_MERGEPEN: r = p | d; break;
    case TGDI_R2_MERGEPENNOT: r = p | ~d; break;
    case TGDI_R2_WHITE: r = ~0u; break;
    default: r = p; break;  // copy
    }
    return r | 0xFF000000u;
}

// n pixels of one value.
inline void FillPixels(uint32_t* p, int64_t n, uint32_t v)
{
#ifdef __SSE2__
    if (n >= 4) {
        // four at a time, the last four overlapping what came before
        const __m128i vv = _mm_set1_epi32(int(v));
        uint32_t* const end = p + n - 4;
        for (; p < end; p += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), vv);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(end), vv);
        return;
    }
#endif
    for (; n > 0; --n) *p++ = v;
}

// n pixels copied from another image, their alpha byte made opaque.
inline void CopyOpaque(uint32_t* out, const uint32_t* in, int64_t n)
{
    int64_t i = 0;
#ifdef __SSE2__
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    for (; i + 8 <= n; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(a, alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_or_si128(b, alpha));
    }
#endif
    for (; i < n; ++i) out[i] = in[i] | 0xFF000000u;
}

// Pixel writers, one per mix that matters for speed and one for the rest.
struct TPutCopy {
    uint32_t P;
    void operator()(uint32_t* d) const { *d = P; }
};
struct TPutNot {
    void operator()(uint32_t* d) const { *d = ~*d | 0xFF000000u; }
};
struct TPutNotXor {
    uint32_t P;
    void operator()(uint32_t* d) const { *d = ~(*d ^ P) | 0xFF000000u; }
};
struct TPutMix {
    int32_t Rop;
    uint32_t P;
    void operator()(uint32_t* d) const { *d = Mix(Rop, *d, P); }
};

// Calls put(pixel, step) for the pixels of the line from (x0, y0) towards
// (x1, y1) that lie inside the raster, the last pixel left out; step counts
// pixels from the start, clipped ones included (for dash patterns). Each
// column (or row, for steep lines) gets the pixel nearest to the true line,
// ties going towards the start. Pixels outside are skipped arithmetically,
// so far-away end points cost nothing.
template <class Put>
void WalkLine(const TRaster& r, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Put&& put)
{
    const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t len = xMajor ? adx : ady;  // pixels drawn
    if (len == 0) return;
    const int64_t minorLen = xMajor ? ady : adx;
    const int32_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const ptrdiff_t stepA = xMajor ? sx : ptrdiff_t(sy) * r.Stride;
    const ptrdiff_t stepB = xMajor ? ptrdiff_t(sy) * r.Stride : sx;
    const int64_t twoL = 2 * len, twoM = 2 * minorLen;
    int64_t first = 0, last = len, rem = len - 1;  // minor offset after i steps: floor((2 i M + L - 1) / 2L)
    uint32_t* p;
    if (uint32_t(x0) < uint32_t(r.Width) && uint32_t(x1) < uint32_t(r.Width) && uint32_t(y0) < uint32_t(r.Height) &&
        uint32_t(y1) < uint32_t(r.Height)) {
        p = r.Bits + int64_t(y0) * r.Stride + x0;
    } else {
        const int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
        const int32_t sA = xMajor ? sx : sy, sB = xMajor ? sy : sx;
        const int64_t aLimit = xMajor ? r.Width : r.Height, bLimit = xMajor ? r.Height : r.Width;
        // Steps whose major coordinate is inside.
        if (sA > 0) {
            first = -a0;
            last = aLimit - a0;
        } else {
            first = a0 - aLimit + 1;
            last = a0 + 1;
        }
        first = std::max<int64_t>(first, 0);
        last = std::min<int64_t>(last, len);
        if (first >= last) return;
        // Steps whose minor coordinate is inside.
        int64_t mLo, mHi;
        if (sB > 0) {
            mLo = -b0;
            mHi = bLimit - 1 - b0;
        } else {
            mLo = b0 - bLimit + 1;
            mHi = b0;
        }
        mLo = std::max<int64_t>(mLo, 0);
        if (mLo > mHi) return;
        if (minorLen == 0) {
            if (mLo > 0) return;
        } else {
            auto stepFor = [&](int64_t k) -> int64_t {  // smallest step whose offset reaches k
                if (k <= 0) return 0;
                __int128 num = __int128(twoL) * k - len + 1;
                __int128 q = (num + twoM - 1) / twoM;
                return q > len ? len : int64_t(q);
            };
            first = std::max(first, stepFor(mLo));
            last = std::min(last, stepFor(mHi + 1));
            if (first >= last) return;
        }
        __int128 num = __int128(first) * twoM + len - 1;
        int64_t m = int64_t(num / twoL);
        rem = int64_t(num % twoL);
        int64_t a = a0 + sA * first, b = b0 + sB * m;
        int64_t x = xMajor ? a : b, y = xMajor ? b : a;
        p = r.Bits + y * r.Stride + x;
    }
    // A copy of the writer: the pixel stores then cannot alias its colour,
    // which stays in a register instead of being read again per pixel.
    std::remove_cvref_t<Put> write = put;
    for (int64_t i = first; i < last; ++i) {
        write(p, i);
        p += stepA;
        rem += twoM;
        const int64_t step = -int64_t(rem >= twoL);  // branch-free minor step
        rem -= twoL & step;
        p += stepB & step;
    }
}

// Asks for the image rows under a small shape at once, so that their cache
// misses overlap instead of stalling one after the other.
inline void PrefetchRows(const TRaster& r, const TPoint* pts, int32_t n)
{
    int32_t minX = pts[0].X, maxX = minX, minY = pts[0].Y, maxY = minY;
    for (int32_t i = 1; i < n; ++i) {
        minX = std::min(minX, pts[i].X);
        maxX = std::max(maxX, pts[i].X);
        minY = std::min(minY, pts[i].Y);
        maxY = std::max(maxY, pts[i].Y);
    }
    const int32_t y0 = std::max(minY, 0), y1 = std::min(maxY, r.Height - 1);
    const int32_t x0 = std::max(minX, 0), x1 = std::min(maxX, r.Width - 1);
    if (y1 < y0 || x1 < x0 || y1 - y0 > 64) return;
    for (int32_t y = y0; y <= y1; ++y) {
        const uint32_t* row = r.Bits + int64_t(y) * r.Stride;
        __builtin_prefetch(row + x0, 1);
        __builtin_prefetch(row + x1, 1);
    }
}

// Odd-even filling of integer polygons: a pixel is inside when its centre
// is; centres exactly on a left edge are in, on a right edge out, so shapes
// leave out their right and bottom edge and neighbours tile without gaps or
// overlap. Each edge writes its crossing of every row it spans into that
// row's bucket, stepping in exact integer arithmetic; each row then fills
// between pairs of crossings. The buffers are kept between calls, so
// filling allocates nothing once warmed up.
class TPolygonFiller {
public:
    // span(y, x0, x1) for every run [x0, x1) inside the raster, rows top down.
    template <class Span>
    void Fill(const TRaster& r, const TPoint* pts, int32_t n, Span&& span);

private:
    struct TEdge {
        TPoint Top, Bottom;
        int32_t YStart, YEnd;  // visible rows [YStart, YEnd)
    };
    // Where an edge crosses successive rows: Q is the first pixel whose
    // centre is at or right of the edge, ceil(X - 1/2) with X the edge at the
    // row's centre; numerator (2 x0 - 1) D + (2 (y - y0) + 1) DX over 2D.
    struct TStepper {
        int64_t Q, Rem, StepQ, StepR, TwoD;
        void Start(const TPoint& top, const TPoint& bottom, int32_t y, bool small);
        void Next()
        {
            // branch-free: the carry depends on the slope, not predictably
            Rem -= StepR;
            const int64_t carry = Rem >> 63;  // -1 when negative
            Rem += TwoD & carry;
            Q += StepQ - carry;
        }
    };
    template <class Span>
    bool FillMonotone(const TRaster& r, const TPoint* pts, int32_t n, int32_t y0, int32_t y1, bool small,
                      Span& span);

    std::vector<TEdge> Edges;
    std::vector<int32_t> Offsets;  // crossings of each row
    std::vector<int32_t> Cursor;   // next free place of each row of a band
    std::vector<int32_t> Starts;   // first place of each row of a band
    std::vector<int32_t> Xs;       // crossings of a band, row by row
};

inline void TPolygonFiller::TStepper::Start(const TPoint& top, const TPoint& bottom, int32_t y, bool small)
{
    const int64_t d = int64_t(bottom.Y) - top.Y, dx = int64_t(bottom.X) - top.X;
    TwoD = 2 * d;
    const int64_t twoDx = 2 * dx;
    if (small) {
        // Below 2^24 the numerator stays under 2^51, so a correctly rounded
        // quotient is an integer only when the true one is: its ceiling and
        // floor are exact, and cheaper than an integer division.
        const int64_t num = (2 * int64_t(top.X) - 1) * d + (2 * (int64_t(y) - top.Y) + 1) * dx;
        const double q = double(num) / double(TwoD), step = double(twoDx) / double(TwoD);
        Q = int64_t(q);
        Q += double(Q) < q;  // ceiling
        Rem = Q * TwoD - num;
        StepQ = int64_t(step);
        StepQ -= double(StepQ) > step;  // floor
    } else {
        const __int128 num = __int128(2 * int64_t(top.X) - 1) * d + __int128(2 * (int64_t(y) - top.Y) + 1) * dx;
        const __int128 q = num >= 0 ? (num + TwoD - 1) / TwoD : -((-num) / TwoD);
        Q = int64_t(q);
        Rem = int64_t(q * TwoD - num);
        StepQ = twoDx >= 0 ? twoDx / TwoD : -((-twoDx + TwoD - 1) / TwoD);
    }
    StepR = twoDx - StepQ * TwoD;
}

// Polygons whose outline goes down once and up once (convex blocks and
// most small shapes) cross every row exactly twice: walk both chains.
template <class Span>
bool TPolygonFiller::FillMonotone(const TRaster& r, const TPoint* pts, int32_t n, int32_t y0, int32_t y1,
                                  bool small, Span& span)
{
    int32_t top = 0, bottom = 0;
    for (int32_t i = 1; i < n; ++i) {
        if (pts[i].Y < pts[top].Y) top = i;
        if (pts[i].Y >= pts[bottom].Y) bottom = i;
    }
    // forward from top to bottom must never rise, and on from bottom to top
    // never fall
    for (int32_t i = top, k = 0; i != bottom && k < n; ++k) {
        int32_t j = i + 1 == n ? 0 : i + 1;
        if (pts[j].Y < pts[i].Y) return false;
        i = j;
    }
    for (int32_t i = bottom, k = 0; i != top && k < n; ++k) {
        int32_t j = i + 1 == n ? 0 : i + 1;
        if (pts[j].Y > pts[i].Y) return false;
        i = j;
    }
    // chain A runs forward from the top, chain B backward; each row takes
    // the edge of each chain that spans its centre
    auto next = [n](int32_t i) { return i + 1 == n ? 0 : i + 1; };
    auto prev = [n](int32_t i) { return i == 0 ? n - 1 : i - 1; };
    int32_t a = top, aNext = next(top), b = top, bNext = prev(top);
    TStepper sa, sb;
    auto advanceA = [&](int32_t y) {
        while (pts[aNext].Y <= y) {  // stops at the bottom at the latest
            a = aNext;
            aNext = next(a);
        }
        sa.Start(pts[a], pts[aNext], y, small);
    };
    auto advanceB = [&](int32_t y) {
        while (pts[bNext].Y <= y) {
            b = bNext;
            bNext = prev(b);
        }
        sb.Start(pts[b], pts[bNext], y, small);
    };
    advanceA(y0);
    advanceB(y0);
    const int64_t w = r.Width;
    for (int32_t y = y0; y < y1; ++y) {
        if (y >= pts[aNext].Y) advanceA(y);
        if (y >= pts[bNext].Y) advanceB(y);
        int64_t u = std::min(sa.Q, sb.Q), v = std::max(sa.Q, sb.Q);
        u = std::max<int64_t>(u, 0);
        v = std::min(v, w);
        if (u < v) span(y, int32_t(u), int32_t(v));
        sa.Next();
        sb.Next();
    }
    return true;
}

template <class Span>
void TPolygonFiller::Fill(const TRaster& r, const TPoint* pts, int32_t n, Span&& span)
{
    if (n < 3 || r.Height <= 0 || r.Width <= 0) return;
    int32_t minY = INT32_MAX, maxY = INT32_MIN, minX = INT32_MAX, maxX = INT32_MIN;
    for (int32_t i = 0; i < n; ++i) {
        minY = std::min(minY, pts[i].Y);
        maxY = std::max(maxY, pts[i].Y);
        minX = std::min(minX, pts[i].X);
        maxX = std::max(maxX, pts[i].X);
    }
    // floating point quotients are exact enough for these
    const bool small = minX > -(1 << 24) && maxX < (1 << 24) && minY > -(1 << 24) && maxY < (1 << 24);
    const int32_t y0 = std::max<int32_t>(minY, 0), y1 = std::min<int32_t>(maxY, r.Height);
    if (y0 >= y1 || maxX <= 0 || minX >= r.Width) return;
    PrefetchRows(r, pts, n);
    if (n <= 64 && FillMonotone(r, pts, n, y0, y1, small, span)) return;
    const int32_t rows = y1 - y0;

    // Each edge crosses the rows whose centre lies in [top, bottom); the
    // crossings of each row are counted through a difference array.
    if (Edges.size() < size_t(n)) Edges.resize(size_t(n));
    Offsets.assign(size_t(rows) + 1, 0);
    TEdge* edges = Edges.data();
    int32_t edgeCount = 0;
    for (int32_t i = 0; i < n; ++i) {
        TPoint p = pts[i], q = pts[i + 1 == n ? 0 : i + 1];
        if (p.Y == q.Y) continue;
        if (p.Y > q.Y) std::swap(p, q);
        const int32_t ys = std::max<int32_t>(p.Y, y0), ye = std::min<int32_t>(q.Y, y1);
        if (ys >= ye) continue;
        edges[edgeCount++] = {p, q, ys, ye};
        ++Offsets[size_t(ys - y0)];
        --Offsets[size_t(ye - y0)];
    }
    if (edgeCount < 2) return;
    int32_t running = 0;
    for (int32_t k = 0; k < rows; ++k) {
        running += Offsets[size_t(k)];
        Offsets[size_t(k)] = running;  // crossings of row k
    }
    // Rows go in bands of at most MaxCrossings crossings, so that a
    // pathological outline (thousands of edges over every row) needs no
    // more memory than an ordinary one.
    constexpr int64_t MaxCrossings = int64_t(1) << 20;
    const int64_t w = r.Width;
    for (int32_t ka = 0; ka < rows;) {
        int32_t kb = ka;
        int64_t total = 0;
        while (kb < rows && (kb == ka || total + Offsets[size_t(kb)] <= MaxCrossings)) total += Offsets[size_t(kb++)];
        const int32_t ya = y0 + ka, yb = y0 + kb;
        Cursor.resize(size_t(kb - ka) + 1);
        int32_t sum = 0;
        for (int32_t k = ka; k < kb; ++k) {
            Cursor[size_t(k - ka)] = sum;
            sum += Offsets[size_t(k)];
        }
        Cursor[size_t(kb - ka)] = sum;
        Xs.resize(size_t(sum) + 1);
        int32_t* xs = Xs.data();
        Starts.assign(Cursor.begin(), Cursor.end());  // Cursor moves on as crossings come in
        int32_t* cursor = Cursor.data();
        for (int32_t ei = 0; ei < edgeCount; ++ei) {
            const TEdge& e = edges[ei];
            const int32_t ys = std::max(e.YStart, ya), ye = std::min(e.YEnd, yb);
            if (ys >= ye) continue;
            TStepper st;
            st.Start(e.Top, e.Bottom, ys, small);
            for (int32_t y = ys; y < ye; ++y) {
                // crossings beyond the sides only need to keep their order
                xs[cursor[y - ya]++] = int32_t(st.Q < 0 ? -1 : st.Q > w ? w : st.Q);
                st.Next();
            }
        }
        for (int32_t k = 0; k < kb - ka; ++k) {
            int32_t* a = xs + Starts[size_t(k)];
            const int32_t m = Starts[size_t(k) + 1] - Starts[size_t(k)];
            for (int32_t i = 1; i < m; ++i) {
                int32_t x = a[i], j = i;
                while (j > 0 && a[j - 1] > x) {
                    a[j] = a[j - 1];
                    --j;
                }
                a[j] = x;
            }
            for (int32_t i = 0; i + 1 < m; i += 2) {
                int32_t u = std::max(a[i], 0), v = a[i + 1];
                if (u < v) span(ya + k, u, v);
            }
        }
        ka = kb;
    }
}

// Row spans of the ellipse inscribed in [l, r) x [t, b): pixels whose centre
// lies inside or on it. Answers false for an empty row.
inline bool EllipseRow(int32_t l, int32_t t, int32_t r, int32_t b, int32_t y, int32_t& x0, int32_t& x1)
{
    if (y < t || y >= b || r <= l) return false;
    const double cx = (double(l) + r) / 2, cy = (double(t) + b) / 2;
    const double rx = (double(r) - l) / 2, ry = (double(b) - t) / 2;
    const double dy = (y + 0.5 - cy) / ry;
    const double k = 1 - dy * dy;
    if (k < 0) return false;
    const double hw = rx * std::sqrt(k);
    const double lo = std::ceil(cx - hw - 0.5 - 1e-9), hi = std::floor(cx + hw - 0.5 + 1e-9);
    if (lo > hi) return false;
    x0 = int32_t(lo);
    x1 = int32_t(hi) + 1;
    return true;
}

// Reads pixels of an uncompressed picture; row r counted in memory order.
struct TDibReader {
    const uint8_t* Bits;
    int64_t RowBytes;
    uint16_t BitCount;
    uint32_t Palette[256];

    bool Init(const TBitmapInfo& info, const void* bits, std::size_t size)
    {
        if (info.Compression != 0 || !bits) return false;
        RowBytes = DibRowBytes(info.Width, info.BitCount);
        if (RowBytes < 0 || info.Height == 0 || info.Height == INT32_MIN) return false;
        int64_t rows = info.Height < 0 ? -int64_t(info.Height) : info.Height;
        if (rows > (1 << 24) || uint64_t(RowBytes) * uint64_t(rows) > size) return false;
        Bits = static_cast<const uint8_t*>(bits);
        BitCount = info.BitCount;
        if (BitCount <= 8) {
            uint32_t n = 1u << BitCount;
            for (uint32_t i = 0; i < n; ++i) {
                uint32_t c = (info.Colors && i < info.ColorCount) ? info.Colors[i] : (i == 0 ? 0u : 0xFFFFFFu);
                Palette[i] = 0xFF000000u | (c & 0x00FFFFFFu);
            }
        }
        return true;
    }
    // Pixel (x, memory row) as 0xFFRRGGBB.
    uint32_t At(int32_t x, int64_t row) const
    {
        const uint8_t* p = Bits + row * RowBytes;
        switch (BitCount) {
        case 1: return Palette[(p[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return Palette[(p[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
        case 8: return Palette[p[x]];
        case 24: p += 3 * int64_t(x); return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        default: p += 4 * int64_t(x); return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
    }
};

} // namespace tarn::gdi
