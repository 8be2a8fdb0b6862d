// Line styles and area fills.
#include "Signs.h"

#include <algorithm>

namespace tarnsym {

namespace {

void Stroke(TgdiHandle dc, const TgdiPoint* p, int n, TgdiColor color, int width)
{
    TgdiSelectObject(dc, PenFor(color, width));
    TgdiPolyline(dc, p, n);
}

void Segment(TgdiHandle dc, double x0, double y0, double x1, double y1)
{
    TgdiMoveTo(dc, int32_t(std::lround(x0)), int32_t(std::lround(y0)));
    TgdiLineTo(dc, int32_t(std::lround(x1)), int32_t(std::lround(y1)));
}

void Dashed(TgdiHandle dc, const TPathWalk& path, const double* runs, int n, TgdiColor color, int width)
{
    TgdiSelectObject(dc, PenFor(color, width));
    path.Dashes(runs, n, [&](double x0, double y0, double x1, double y1) { Segment(dc, x0, y0, x1, y1); });
}

} // namespace

bool DrawLine(int number, const TLineParams& rec)
{
    if (number < 1 || number > 8) return false;
    if (!rec.Points || rec.Count < 2) return true;
    const TgdiPoint* p = rec.Points;
    const int n = rec.Count;
    const TgdiHandle dc = rec.DC;
    const int w = std::clamp(int(std::lround(rec.Width / 10.0)), 1, 200);
    const double k = std::clamp(rec.Size / 10.0, 0.3, 20.0);  // pattern lengths
    const TgdiColor c = TgdiColor(rec.Colour) & 0xFFFFFF;
    const TPathWalk path{p, n};
    TKeep keep(dc);
    TgdiSetROP2(dc, TGDI_R2_COPYPEN);
    switch (number) {
    case 1:  // road: a dark casing with the road's colour inside
        Stroke(dc, p, n, Tint(c, -0.45), w + 2);
        Stroke(dc, p, n, c, w);
        break;
    case 2: {  // tram line: the rails with sleepers across
        Stroke(dc, p, n, c, std::max(1, w / 2));
        const double half = (w + 4 * k) / 2;
        TgdiSelectObject(dc, PenFor(c, 1));
        path.Marks(10 * k, [&](double x, double y, double dx, double dy) {
            Segment(dc, x - dy * half, y + dx * half, x + dy * half, y - dx * half);
        });
        break;
    }
    case 3: {  // railway: dark line broken by light dashes
        Stroke(dc, p, n, c, std::max(3, w + 2));
        const double runs[] = {8 * k, 8 * k};
        Dashed(dc, path, runs, 2, White, std::max(1, w));
        break;
    }
    case 4: {  // dashed border
        const double runs[] = {10 * k, 6 * k};
        Dashed(dc, path, runs, 2, c, w);
        break;
    }
    case 5: {  // dash-dot border
        const double runs[] = {14 * k, 4 * k, 3 * k, 4 * k};
        Dashed(dc, path, runs, 4, c, w);
        break;
    }
    case 6:  // river: dark banks, lighter water
        Stroke(dc, p, n, Tint(c, -0.3), w + 2);
        Stroke(dc, p, n, Tint(c, 0.35), w);
        break;
    case 7: {  // footpath: a row of dots
        const double r = std::max(1.0, w / 2.0);
        TgdiSelectObject(dc, BrushFor(c));
        TgdiSelectObject(dc, TgdiGetStockObject(TGDI_NULL_PEN));
        path.Marks(std::max(3.0, 2 * r + 3 * k), [&](double x, double y, double, double) {
            TgdiEllipse(dc, int32_t(std::lround(x - r)), int32_t(std::lround(y - r)), int32_t(std::lround(x + r)) + 1,
                        int32_t(std::lround(y + r)) + 1);
        });
        break;
    }
    case 8: {  // fence: a line with ticks on its left
        Stroke(dc, p, n, c, w);
        const double len = 4 * k + w;
        TgdiSelectObject(dc, PenFor(c, std::max(1, w / 2)));
        path.Marks(8 * k, [&](double x, double y, double dx, double dy) { Segment(dc, x, y, x + dy * len, y - dx * len); });
        break;
    }
    }
    return true;
}

namespace {
struct TFillStyle {
    TgdiColor Fill, Outline;
    int Hatch;
    TgdiColor HatchColor;
};
const TFillStyle Fills[8] = {
    {Rgb(253, 246, 205), Rgb(205, 185, 120), -1, 0},                 // 1 district, yellow
    {Rgb(250, 226, 232), Rgb(200, 150, 165), -1, 0},                 // 2 district, pink
    {Rgb(226, 234, 247), Rgb(150, 165, 200), -1, 0},                 // 3 district, blue
    {Rgb(166, 206, 238), Rgb(80, 140, 200), -1, 0},                  // 4 water
    {Rgb(200, 232, 185), Rgb(110, 170, 90), TGDI_HS_DIAGCROSS, Rgb(150, 205, 130)},  // 5 park
    {Rgb(226, 222, 226), Rgb(140, 130, 140), TGDI_HS_FDIAGONAL, Rgb(150, 140, 150)}, // 6 industrial
    {Rgb(243, 226, 205), Rgb(180, 150, 120), -1, 0},                 // 7 housing blocks
    {Rgb(220, 225, 210), Rgb(150, 155, 140), TGDI_HS_CROSS, Rgb(175, 180, 165)},     // 8 waste ground
};
} // namespace

bool DrawFill(int number, const TFillParams& rec)
{
    if (number < 1 || number > 8) return false;
    if (!rec.Points || rec.Count < 2) return true;
    const TFillStyle& s = Fills[number - 1];
    const TgdiHandle dc = rec.DC;
    const int w = std::clamp(int(std::lround(rec.Size / 10.0)), 1, 20);
    TKeep keep(dc);
    TgdiSetROP2(dc, TGDI_R2_COPYPEN);
    TgdiSetBkMode(dc, TGDI_TRANSPARENT);
    TgdiSelectObject(dc, BrushFor(s.Fill));
    TgdiSelectObject(dc, TgdiGetStockObject(TGDI_NULL_PEN));
    TgdiPolygon(dc, rec.Points, rec.Count);
    if (s.Hatch >= 0) {
        TgdiSelectObject(dc, HatchFor(s.Hatch, s.HatchColor));
        TgdiPolygon(dc, rec.Points, rec.Count);
    }
    TgdiColor outline = s.Outline;
    int outlineWidth = w;
    if (rec.Selected) {
        // the caller's highlight colour over the area
        const TgdiColor c = TgdiColor(rec.Colour) & 0xFFFFFF;
        TgdiSelectObject(dc, HatchFor(TGDI_HS_BDIAGONAL, c));
        TgdiPolygon(dc, rec.Points, rec.Count);
        outline = c;
        outlineWidth = w + 1;
    }
    TgdiSelectObject(dc, TgdiGetStockObject(TGDI_NULL_BRUSH));
    TgdiSelectObject(dc, PenFor(outline, outlineWidth));
    TgdiPolygon(dc, rec.Points, rec.Count);
    return true;
}

} // namespace tarnsym
