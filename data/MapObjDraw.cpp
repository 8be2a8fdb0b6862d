#include "data/MapObjDraw.h"
#include "data/LoadDLL.h"
#include "data/MapObj.h"
#include "data/Utils.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tarn::objdraw {

namespace {

struct TSharedPoints {
    std::vector<TPoint> Points;
    bool Busy = false;
};

TSharedPoints& SharedPoints()
{
    static TSharedPoints s;
    return s;
}

// A handful of entries, replaced in turn: an object's pen or font is
// usually the one of the object before.
template <class Key, class Obj, std::size_t N = 8>
struct TSmallCache {
    Key Keys[N] = {};
    TGdiRef<Obj> Objects[N];
    std::size_t Next = 0;

    template <class Make>
    Obj* Get(const Key& key, Make make)
    {
        for (std::size_t i = 0; i < N; ++i)
            if (Objects[i] && std::memcmp(&Keys[i], &key, sizeof key) == 0) return Objects[i].get();
        const std::size_t i = Next;
        Next = (Next + 1) % N;
        Keys[i] = key;
        Objects[i] = make();
        return Objects[i].get();
    }
};

struct TPenKey {
    int32_t Style, Width;
    TColorRef Color;
};
struct TBrushKey {
    int32_t Kind, Hatch;  // kind 0 solid, 1 hatch
    TColorRef Color;
};

// Kept for the whole process (fonts hold font-system faces, which must not
// be torn down after the application object).
TSmallCache<TPenKey, TPen>& Pens()
{
    static auto* c = new TSmallCache<TPenKey, TPen>();
    return *c;
}
TSmallCache<TBrushKey, TBrush>& Brushes()
{
    static auto* c = new TSmallCache<TBrushKey, TBrush>();
    return *c;
}
TSmallCache<TLogFont, TFont>& Fonts()
{
    static auto* c = new TSmallCache<TLogFont, TFont>();
    return *c;
}

} // namespace

TPointScratch::TPointScratch()
{
    TSharedPoints& s = SharedPoints();
    Shared = !s.Busy;
    if (Shared) {
        s.Busy = true;
        Buf = &s.Points;
    } else {
        Buf = &Own;
    }
    Buf->clear();
}

TPointScratch::~TPointScratch()
{
    if (!Shared) return;
    TSharedPoints& s = SharedPoints();
    s.Busy = false;
    // A huge outline should not hold its memory for the rest of the session.
    if (s.Points.capacity() > (1u << 20)) std::vector<TPoint>().swap(s.Points);
}

TPen* CachedPen(int32_t style, int32_t width, TColorRef color)
{
    return Pens().Get(TPenKey{style, width, color}, [&] { return TPen::Create(style, width, color); });
}

TBrush* CachedSolidBrush(TColorRef color)
{
    return Brushes().Get(TBrushKey{0, 0, color}, [&] { return TBrush::CreateSolid(color); });
}

TBrush* CachedHatchBrush(int32_t hatch, TColorRef color)
{
    return Brushes().Get(TBrushKey{1, hatch, color}, [&] { return TBrush::CreateHatch(hatch, color); });
}

TFont* CachedFont(const TLogFont& font)
{
    // Compared byte for byte: the bytes after the face name's end count too.
    return Fonts().Get(font, [&] { return TFont::Create(font); });
}

int32_t Sat32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

bool Mappable(const TDrawContext& c) { return std::isfinite(c.Scale) && c.Scale > 0; }

void ToScreen(const TDrawContext& c, TPoint* points, std::size_t count)
{
    if (gdi::Shortcuts) {
        WorldToScreen(c.Scale, c.WorldRect, c.ClientRect, points, count);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) WorldToScreen(c, points[i].X, points[i].Y, points[i].X, points[i].Y);
}

int32_t ScaledPixels(int64_t value, double sizeScale, int32_t divisor)
{
    return RoundEvenSat(static_cast<long double>(value) * sizeScale / divisor);
}

void LayerLine(const TDrawContext& c, TPoint* points, int32_t count, int32_t colour, bool selected, TPen* pen)
{
    if (c.LayerProc && c.LayerProcKind == SymbolKindLine) {
        TLineParams rec;
        FillLineParams(rec, c.DC, points, count, c.SymbolSize, c.LinePixelWidth, colour, selected);
        c.LayerProc(1, &rec);
        return;
    }
    TPenScope scope(*c.DC, pen);
    c.DC->Polyline(points, count);
}

void LayerFill(const TDrawContext& c, TPoint* points, int32_t count, bool selected, TPen* pen, TBrush* brush)
{
    if (c.LayerProc && c.LayerProcKind == SymbolKindFill) {
        TFillParams rec;
        FillFillParams(rec, c.DC, points, count, 1, c.SelectColour, selected);
        c.LayerProc(1, &rec);
        return;
    }
    TPenScope penScope(*c.DC, pen);
    TBrushScope brushScope(*c.DC, brush);
    c.DC->Polygon(points, count);
}

void Cross(TDeviceContext& dc, int32_t x, int32_t y, int32_t m)
{
    const int32_t l = Sat32(int64_t(x) - m), r = Sat32(int64_t(x) + m);
    const int32_t t = Sat32(int64_t(y) - m), b = Sat32(int64_t(y) + m);
    dc.MoveTo(l, t);
    dc.LineTo(r, b);
    dc.MoveTo(r, t);
    dc.LineTo(l, b);
}

void Diamond(TDeviceContext& dc, int32_t x, int32_t y, int32_t m, bool filled)
{
    const TPoint p[5] = {{x, Sat32(int64_t(y) + m)},
                         {Sat32(int64_t(x) + m), y},
                         {x, Sat32(int64_t(y) - m)},
                         {Sat32(int64_t(x) - m), y},
                         {x, Sat32(int64_t(y) + m)}};
    if (filled) dc.Polygon(p, 5);
    else dc.Polyline(p, 5);
}

TMarkScope::TMarkScope(const TDrawContext& c)
    : Dc(*c.DC), OldMix(c.DC->SetROP2(TGDI_R2_COPYPEN)), Pen(*c.DC, CachedPen(TGDI_PS_SOLID, 0, Colour(c.SelectColour)))
{
}

TMarkScope::~TMarkScope() { Dc.SetROP2(OldMix); }

void VertexMarks(const TDrawContext& c, const TPoint* p, int32_t count, bool crosses)
{
    if (!c.DC || count <= 0) return;
    const int32_t m = Max(MarkerSize, 2);
    TMarkScope scope(c);
    if (crosses)
        for (int32_t i = 1; i < count - 1; ++i) Cross(*c.DC, p[i].X, p[i].Y, m);
    Diamond(*c.DC, p[0].X, p[0].Y, m, false);
    Diamond(*c.DC, p[count - 1].X, p[count - 1].Y, m, true);
}

void Arrows(const TDrawContext& c, const TPoint* p, int32_t count)
{
    if (!c.DC || count < 2) return;
    TPenScope pen(*c.DC, c.SelectPen);
    const long double pi = 3.14159265358979323846264338327950288L;
    const long double scale = c.SizeScale;
    for (int32_t i = 0; i + 1 < count; ++i) {
        const int32_t a = Azimuth(Sat32(int64_t(p[i + 1].X) - p[i].X), Sat32(int64_t(p[i + 1].Y) - p[i].Y));
        const float cs = static_cast<float>(std::cos(a * pi / 180));
        const float sn = static_cast<float>(std::sin(a * pi / 180));
        const long double mx = (static_cast<long double>(p[i].X) + p[i + 1].X) / 2;
        const long double my = (static_cast<long double>(p[i].Y) + p[i + 1].Y) / 2;
        TPoint arrow[3];
        for (int k = 0; k < 3; ++k) {
            const long double ax = ArrowShape[k].X, ay = ArrowShape[k].Y;
            arrow[k].X = RoundEvenSat((ax * cs + ay * sn) * scale + mx);
            arrow[k].Y = RoundEvenSat(my - (ay * cs - ax * sn) * scale);
        }
        c.DC->Polyline(arrow, 3);
    }
}

void Label(const TDrawContext& c, const std::string& label, int32_t sx, int32_t sy)
{
    if (!c.DC || label.empty() || !c.LabelFont) return;
    c.DC->SetTextColor(Colour(c.LabelColour));
    TLogFont font = *c.LabelFont;
    font.Height = ScaledPixels(font.Height, c.SizeScale, 10);
    if (std::llabs(int64_t(font.Height)) <= 4) return;
    TFontScope scope(*c.DC, CachedFont(font));
    c.DC->TextOut(sx, sy, label);
}

} // namespace tarn::objdraw
