#include "Draw.h"

#include <algorithm>

namespace tarnsym {

TgdiColor Tint(TgdiColor c, double t)
{
    auto mix = [t](int v) {
        double r = t >= 0 ? v + (255 - v) * t : v * (1 + t);
        return std::clamp(int(std::lround(r)), 0, 255);
    };
    return Rgb(mix(Red(c)), mix(Green(c)), mix(Blue(c)));
}

namespace {
// A small cache of drawing objects by key; the oldest entry makes room.
struct TCache {
    static constexpr int Size = 96;
    uint64_t Keys[Size] = {};
    TgdiHandle Handles[Size] = {};
    int Next = 0;

    template <class Make>
    TgdiHandle Get(uint64_t key, Make&& make)
    {
        for (int i = 0; i < Size; ++i)
            if (Handles[i] && Keys[i] == key) return Handles[i];
        if (Handles[Next]) TgdiDeleteObject(Handles[Next]);
        Keys[Next] = key;
        Handles[Next] = make();
        TgdiHandle h = Handles[Next];
        Next = (Next + 1) % Size;
        return h;
    }
};
TCache Pens, Brushes, Fonts;
} // namespace

TgdiHandle PenFor(TgdiColor color, int width, int style)
{
    if (color == None) return TgdiGetStockObject(TGDI_NULL_PEN);
    uint64_t key = uint64_t(color) | (uint64_t(uint32_t(width) & 0xFFFF) << 32) | (uint64_t(style & 0xFF) << 48);
    return Pens.Get(key, [&] { return TgdiCreatePen(style, width, color); });
}

TgdiHandle BrushFor(TgdiColor color)
{
    if (color == None) return TgdiGetStockObject(TGDI_NULL_BRUSH);
    return Brushes.Get(color, [&] { return TgdiCreateSolidBrush(color); });
}

TgdiHandle HatchFor(int hatch, TgdiColor color)
{
    uint64_t key = uint64_t(color) | (uint64_t(hatch + 1) << 40);
    return Brushes.Get(key, [&] { return TgdiCreateHatchBrush(hatch, color); });
}

TgdiHandle FontFor(int height, int weight)
{
    uint64_t key = uint64_t(uint32_t(height)) | (uint64_t(weight) << 32);
    return Fonts.Get(key, [&] {
        TgdiLogFont lf;
        std::memset(&lf, 0, sizeof lf);
        lf.Height = height;
        lf.Weight = weight;
        std::strcpy(lf.FaceName, "DejaVu Sans");
        return TgdiCreateFont(&lf);
    });
}

void TFrame::Disc(double cu, double cv, double r, TgdiColor fill, TgdiColor line, double lineU) const
{
    TgdiSelectObject(DC, BrushFor(fill));
    TgdiSelectObject(DC, PenFor(line, line == None ? 0 : Width(lineU), TGDI_PS_INSIDEFRAME));
    TgdiEllipse(DC, Px(cu - r), Py(cv - r), Px(cu + r), Py(cv + r));
}

void TFrame::Box(double l, double t, double r, double b, TgdiColor fill, TgdiColor line, double lineU) const
{
    TgdiSelectObject(DC, BrushFor(fill));
    TgdiSelectObject(DC, PenFor(line, line == None ? 0 : Width(lineU), TGDI_PS_INSIDEFRAME));
    TgdiRectangle(DC, Px(l), Py(t), Px(r), Py(b));
}

void TFrame::Oval(double l, double t, double r, double b, TgdiColor fill, TgdiColor line, double lineU) const
{
    TgdiSelectObject(DC, BrushFor(fill));
    TgdiSelectObject(DC, PenFor(line, line == None ? 0 : Width(lineU), TGDI_PS_INSIDEFRAME));
    TgdiEllipse(DC, Px(l), Py(t), Px(r), Py(b));
}

void TFrame::Poly(const TPt* p, int n, TgdiColor fill, TgdiColor line, double lineU) const
{
    TgdiPoint pts[64];
    n = std::min(n, 64);
    for (int i = 0; i < n; ++i) pts[i] = {Px(p[i].X), Py(p[i].Y)};
    TgdiSelectObject(DC, BrushFor(fill));
    TgdiSelectObject(DC, PenFor(line, line == None ? 0 : Width(lineU)));
    TgdiPolygon(DC, pts, n);
}

void TFrame::Line(double u0, double v0, double u1, double v1, TgdiColor color, double widthU) const
{
    TPt p[2] = {{u0, v0}, {u1, v1}};
    Lines(p, 2, color, widthU);
}

void TFrame::Lines(const TPt* p, int n, TgdiColor color, double widthU) const
{
    TgdiPoint pts[64];
    n = std::min(n, 64);
    for (int i = 0; i < n; ++i) pts[i] = {Px(p[i].X), Py(p[i].Y)};
    const int w = Width(widthU);
    TgdiSelectObject(DC, PenFor(color, w));
    TgdiPolyline(DC, pts, n);
    if (w == 1 && n >= 2) {
        // a one-pixel line leaves out its last pixel: put it in
        TgdiMoveTo(DC, pts[n - 1].X, pts[n - 1].Y);
        TgdiLineTo(DC, pts[n - 1].X + 1, pts[n - 1].Y);
    }
}

void TFrame::Text(const char* text, double cu, double cv, double height, TgdiColor color) const
{
    const int h = std::max(4, int(std::lround(height * Half)));
    TgdiSelectObject(DC, FontFor(-h, 700));
    TgdiSetTextColor(DC, color);
    TgdiSetBkMode(DC, TGDI_TRANSPARENT);
    TgdiSetTextAlign(DC, TGDI_TA_CENTER | TGDI_TA_BASELINE);
    // capitals stand about 0.73 of the character height above the baseline
    TgdiTextOut(DC, Px(cu), Py(cv) + int32_t(std::lround(h * 0.365)), text, int32_t(std::strlen(text)));
}

void StarPoints(TPt* out, int points, double cu, double cv, double outer, double inner, double turn)
{
    const double pi = 3.14159265358979323846;
    for (int i = 0; i < 2 * points; ++i) {
        double a = turn + pi * i / points;
        double r = i % 2 == 0 ? outer : inner;
        out[i] = {cu + r * std::sin(a), cv - r * std::cos(a)};
    }
}

double TPathWalk::Length() const
{
    double len = 0;
    for (int i = 0; i + 1 < N; ++i) {
        double dx = P[i + 1].X - P[i].X, dy = P[i + 1].Y - P[i].Y;
        len += std::sqrt(dx * dx + dy * dy);
    }
    return len;
}

} // namespace tarnsym
