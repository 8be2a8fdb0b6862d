#pragma once
// Pixel routines of the device contexts: mixes, the one-pixel line walker
// and the odd-even polygon filler, all in exact integer arithmetic on RGB32
// image memory. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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
    for (int64_t i = first; i < last; ++i) {
        put(p, i);
        p += stepA;
        rem += twoM;
        if (rem >= twoL) {
            rem -= twoL;
            p += stepB;
        }
    }
}

// Odd-even filling of integer polygons: a pixel is inside when its centre
// is; centres exactly on a left edge are in, on a right edge out, so shapes
// leave out their right and bottom edge and neighbours tile without gaps or
// overlap. Edges step in exact integer arithmetic. The buffers are kept
// between calls, so filling allocates nothing once warmed up.
class TPolygonFiller {
public:
    // span(y, x0, x1) for every run [x0, x1) inside the raster, rows top down.
    template <class Span>
    void Fill(const TRaster& r, const TPoint* pts, int32_t n, Span&& span);

private:
    struct TEdge {
        int64_t Q;      // first pixel at or right of the edge on this row
        int64_t Rem;    // 2D * Q - numerator, 0 <= Rem < 2D
        int64_t TwoD;
        int64_t StepQ;  // floor(2 DX / 2D)
        int64_t StepR;  // 2 DX - StepQ * 2D
        int32_t YStart, YEnd;
        void Advance()
        {
            Q += StepQ;
            Rem -= StepR;
            if (Rem < 0) {
                Rem += TwoD;
                ++Q;
            }
        }
    };
    std::vector<TEdge> Edges;
    std::vector<int32_t> Active;
    std::vector<int64_t> Xs;
};

template <class Span>
void TPolygonFiller::Fill(const TRaster& r, const TPoint* pts, int32_t n, Span&& span)
{
    if (n < 3 || r.Height <= 0 || r.Width <= 0) return;
    Edges.clear();
    int32_t yMin = INT32_MAX, yMax = INT32_MIN;
    for (int32_t i = 0; i < n; ++i) {
        TPoint p = pts[i], q = pts[i + 1 == n ? 0 : i + 1];
        if (p.Y == q.Y) continue;
        if (p.Y > q.Y) std::swap(p, q);
        // Rows whose centre lies in [p.Y, q.Y).
        int32_t ys = std::max<int32_t>(p.Y, 0), ye = std::min<int32_t>(q.Y, r.Height);
        if (ys >= ye) continue;
        TEdge e;
        const int64_t d = int64_t(q.Y) - p.Y, dxl = int64_t(q.X) - p.X;
        e.TwoD = 2 * d;
        // First pixel = ceil(X - 1/2) with X the edge at the row's centre:
        // numerator (2 x0 - 1) D + (2 (y - y0) + 1) DX over 2D.
        __int128 num = __int128(2 * int64_t(p.X) - 1) * d + __int128(2 * (int64_t(ys) - p.Y) + 1) * dxl;
        __int128 q128 = num >= 0 ? (num + e.TwoD - 1) / e.TwoD : -((-num) / e.TwoD);
        e.Q = int64_t(q128);
        e.Rem = int64_t(q128 * e.TwoD - num);
        int64_t twoDx = 2 * dxl;
        e.StepQ = twoDx >= 0 ? twoDx / e.TwoD : -((-twoDx + e.TwoD - 1) / e.TwoD);
        e.StepR = twoDx - e.StepQ * e.TwoD;
        e.YStart = ys;
        e.YEnd = ye;
        Edges.push_back(e);
        yMin = std::min(yMin, ys);
        yMax = std::max(yMax, ye);
    }
    if (Edges.size() < 2) return;
    std::sort(Edges.begin(), Edges.end(), [](const TEdge& a, const TEdge& b) { return a.YStart < b.YStart; });
    Active.clear();
    size_t next = 0;
    const int64_t w = r.Width;
    for (int32_t y = yMin; y < yMax; ++y) {
        while (next < Edges.size() && Edges[next].YStart == y) Active.push_back(int32_t(next++));
        Xs.clear();
        size_t keep = 0;
        for (size_t k = 0; k < Active.size(); ++k) {
            TEdge& e = Edges[size_t(Active[k])];
            if (e.YEnd <= y) continue;
            Active[keep++] = Active[k];
            // insertion keeps the crossings sorted; rows hold few of them
            int64_t x = e.Q;
            size_t j = Xs.size();
            Xs.push_back(x);
            while (j > 0 && Xs[j - 1] > x) {
                Xs[j] = Xs[j - 1];
                --j;
            }
            Xs[j] = x;
            e.Advance();
        }
        Active.resize(keep);
        for (size_t k = 0; k + 1 < Xs.size(); k += 2) {
            int64_t x0 = std::max<int64_t>(Xs[k], 0), x1 = std::min<int64_t>(Xs[k + 1], w);
            if (x0 < x1) span(y, int32_t(x0), int32_t(x1));
        }
        if (Active.empty() && next >= Edges.size()) break;
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
