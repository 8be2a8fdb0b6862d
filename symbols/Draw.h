#pragma once
// Drawing helpers of the symbol library, all through the program's C
// drawing interface. Pens, brushes and fonts are made once per colour and
// width and kept for the life of the library.
#include "platform/TarnGdi.h"
#include "platform/TarnSymbols.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tarnsym {

struct TPt {
    double X, Y;
};

inline TgdiColor Rgb(int r, int g, int b) { return TGDI_RGB(r, g, b); }
inline int Red(TgdiColor c) { return int(c & 0xFF); }
inline int Green(TgdiColor c) { return int((c >> 8) & 0xFF); }
inline int Blue(TgdiColor c) { return int((c >> 16) & 0xFF); }
// Mixes `c` with white (t > 0) or black (t < 0) by |t|.
TgdiColor Tint(TgdiColor c, double t);

constexpr TgdiColor None = 0xFFFFFFFFu;  // no fill or no outline
constexpr TgdiColor White = 0x00FFFFFFu, Black = 0;

// Cached drawing objects; a null handle means the null pen or brush.
TgdiHandle PenFor(TgdiColor color, int width, int style = TGDI_PS_SOLID);
TgdiHandle BrushFor(TgdiColor color);
TgdiHandle HatchFor(int hatch, TgdiColor color);
TgdiHandle FontFor(int height, int weight);

// Selects objects and puts the previous ones back when it goes.
class TKeep {
public:
    explicit TKeep(TgdiHandle dc) : DC(dc), Saved(TgdiSaveDC(dc)) {}
    ~TKeep()
    {
        if (Saved) TgdiRestoreDC(DC, -1);
    }
    TKeep(const TKeep&) = delete;
    TKeep& operator=(const TKeep&) = delete;

private:
    TgdiHandle DC;
    int32_t Saved;
};

// A sign's drawing frame: unit coordinates u, v in [-1, 1] across the sign
// (v downward), mapped onto its pixel square.
class TFrame {
public:
    TFrame(TgdiHandle dc, int32_t x, int32_t y, int32_t size) : DC(dc), X(x), Y(y), Half(size / 2.0) {}

    int32_t Px(double u) const { return X + int32_t(std::lround(u * Half)); }
    int32_t Py(double v) const { return Y + int32_t(std::lround(v * Half)); }
    double Half_() const { return Half; }
    // Line width in pixels of `u` units, at least one pixel.
    int Width(double u) const { return std::max(1, int(std::lround(u * Half))); }

    void Disc(double cu, double cv, double r, TgdiColor fill, TgdiColor line = None, double lineU = 0) const;
    void Box(double l, double t, double r, double b, TgdiColor fill, TgdiColor line = None, double lineU = 0) const;
    void Oval(double l, double t, double r, double b, TgdiColor fill, TgdiColor line = None, double lineU = 0) const;
    void Poly(const TPt* p, int n, TgdiColor fill, TgdiColor line = None, double lineU = 0) const;
    void Line(double u0, double v0, double u1, double v1, TgdiColor color, double widthU) const;
    void Lines(const TPt* p, int n, TgdiColor color, double widthU) const;
    // Text centred on (cu, cv), height in units.
    void Text(const char* text, double cu, double cv, double height, TgdiColor color) const;

    TgdiHandle DC;
    int32_t X, Y;

private:
    double Half;
};

// Points of a regular star or polygon around (cu, cv).
void StarPoints(TPt* out, int points, double cu, double cv, double outer, double inner, double turn);

// Walks a polyline by length: `segment` gets each piece [a, b) of the
// pattern's drawn runs; `mark` every `step` pixels the point and direction.
struct TPathWalk {
    const TgdiPoint* P;
    int N;
    double Length() const;
    // Calls fn(x0, y0, x1, y1) for the parts of the line that fall in the
    // "on" runs of the repeating pattern (lengths in pixels, on/off pairs).
    template <class Fn>
    void Dashes(const double* runs, int nRuns, Fn&& fn) const;
    // Calls fn(x, y, dx, dy) every `step` pixels along the line, starting
    // half a step in; (dx, dy) is the unit direction there.
    template <class Fn>
    void Marks(double step, Fn&& fn) const;
};

template <class Fn>
void TPathWalk::Dashes(const double* runs, int nRuns, Fn&& fn) const
{
    double period = 0;
    for (int i = 0; i < nRuns; ++i) period += runs[i];
    if (period <= 0 || N < 2) return;
    int run = 0;
    double left = runs[0];  // of the current run
    for (int i = 0; i + 1 < N; ++i) {
        const double x0 = P[i].X, y0 = P[i].Y, dx = P[i + 1].X - x0, dy = P[i + 1].Y - y0;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (len <= 0) continue;
        double at = 0;
        int guard = 0;
        while (at < len && guard++ < 100000) {
            const double take = std::min(left, len - at);
            if (run % 2 == 0)
                fn(x0 + dx * at / len, y0 + dy * at / len, x0 + dx * (at + take) / len, y0 + dy * (at + take) / len);
            at += take;
            left -= take;
            if (left <= 1e-9) {
                run = (run + 1) % nRuns;
                left = runs[run];
            }
        }
    }
}

template <class Fn>
void TPathWalk::Marks(double step, Fn&& fn) const
{
    if (step <= 0 || N < 2) return;
    double next = step / 2;
    double done = 0;
    int guard = 0;
    for (int i = 0; i + 1 < N; ++i) {
        const double x0 = P[i].X, y0 = P[i].Y, dx = P[i + 1].X - x0, dy = P[i + 1].Y - y0;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (len <= 0) continue;
        while (next <= done + len && guard++ < 100000) {
            const double t = (next - done) / len;
            fn(x0 + dx * t, y0 + dy * t, dx / len, dy / len);
            next += step;
        }
        done += len;
    }
}

// Reads a request record whatever its alignment.
template <class T>
T ReadRecord(const void* p)
{
    T r;
    std::memcpy(&r, p, sizeof r);
    return r;
}

} // namespace tarnsym
