// Polylines and polygons.
#include "data/Bools.h"
#include "data/Errors.h"
#include "data/MapObj.h"
#include "data/MapObjDraw.h"
#include "data/Utils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarn {

using namespace objdraw;

namespace {

int32_t Wrapped(int32_t a, int32_t b, bool add)
{
    return static_cast<int32_t>(add ? uint32_t(a) + uint32_t(b) : uint32_t(a) - uint32_t(b));
}

struct TBox {
    int32_t MinX, MaxX, MinY, MaxY;
};

TBox BoundsOf(const std::vector<TPoint>& p)
{
    TBox b{p[0].X, p[0].X, p[0].Y, p[0].Y};
    for (const TPoint& q : p) {
        b.MinX = std::min(b.MinX, q.X);
        b.MaxX = std::max(b.MaxX, q.X);
        b.MinY = std::min(b.MinY, q.Y);
        b.MaxY = std::max(b.MaxY, q.Y);
    }
    return b;
}

bool BoxApart(const TBox& b, const TRect& r)
{
    return b.MinX > r.Right || b.MaxX < r.Left || b.MinY > r.Top || b.MaxY < r.Bottom;
}

bool StrictlyInside(const TPoint& p, const TRect& r)
{
    return r.Left < p.X && p.X < r.Right && r.Bottom < p.Y && p.Y < r.Top;
}

// The segment against the view's edges: left, right, top, bottom.
bool CrossesBorder(const TPoint& a, const TPoint& b, const TRect& r)
{
    const TPoint lt{r.Left, r.Top}, lb{r.Left, r.Bottom}, rt{r.Right, r.Top}, rb{r.Right, r.Bottom};
    return SegmentsIntersect(a, b, lt, lb) || SegmentsIntersect(a, b, rt, rb) || SegmentsIntersect(a, b, lt, rt) ||
           SegmentsIntersect(a, b, lb, rb);
}

// The tolerance square of half side t around (x, y), in 64 bits.
struct TSquare {
    int64_t L, R, B, T;
    TSquare(int32_t x, int32_t y, int32_t t) : L(int64_t(x) - t), R(int64_t(x) + t), B(int64_t(y) - t), T(int64_t(y) + t)
    {
    }
    // Both ends beyond the same side.
    bool Beside(const TPoint& p, const TPoint& q) const
    {
        return (R < p.X && R < q.X) || (L > p.X && L > q.X) || (T < p.Y && T < q.Y) || (B > p.Y && B > q.Y);
    }
    bool Holds(const TPoint& p) const { return L < p.X && p.X < R && B < p.Y && p.Y < T; }
    // The line through p and q passes between the corners.
    bool LineCrosses(const TPoint& p, const TPoint& q) const
    {
        double a, b, c;
        LineCoefficients(p.X, p.Y, q.X, q.Y, a, b, c);
        auto positive = [&](int64_t x, int64_t y) { return a * double(x) + b * double(y) + c > 0; };
        const bool first = positive(L, B);
        return positive(R, B) != first || positive(R, T) != first || positive(L, T) != first;
    }
};

uint64_t SegmentLength(const TPoint& p, const TPoint& q)
{
    const double dx = std::fabs(double(int64_t(q.X) - p.X)), dy = std::fabs(double(int64_t(q.Y) - p.Y));
    const double len = std::nearbyint(std::sqrt(dx * dx + dy * dy));
    return len > 2147483647.0 ? 2147483647u : static_cast<uint64_t>(len);
}

} // namespace

// ---------------------------------------------------------------- TPolyLine

TPolyLine::TPolyLine(TStream& s, TAbstractItem* owner) : TBaseObject(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    const int64_t at = s.Position();
    const int32_t count = s.readI32LE("point count");
    if (count < 0 || uint64_t(count) * 8 > uint64_t(s.Remaining()))
        ThrowFormat(s.Name(), at, "point count", "impossible point count " + std::to_string(count));
    const TFileContext& c = s.Context();
    Points.resize(static_cast<std::size_t>(count));
    for (TPoint& p : Points) {
        p.X = Wrapped(s.readI32LE("points"), c.OriginX, true);
        p.Y = Wrapped(s.readI32LE("points"), c.OriginY, true);
    }
}

TPolyLine::TPolyLine(TReader& r) : TBaseObject(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    X = r.ReadI16LE("line anchor");
    Y = r.ReadI16LE("line anchor");
    const int64_t at = r.Position();
    const int16_t count = r.ReadI16LE("point count");
    if (count < 0 || int64_t(count) * 4 > r.Remaining())
        ThrowFormat(r.Stream().Name(), at, "point count", "impossible point count " + std::to_string(count));
    Points.resize(static_cast<std::size_t>(count));
    for (TPoint& p : Points) p = ReadFilerPoint(r, "points");
    if (!Points.empty()) {
        X = Points[0].X;
        Y = Points[0].Y;
    }
}

void TPolyLine::StoreFields(TStream& s) const
{
    TBaseObject::StoreFields(s);
    const TFileContext& c = s.Context();
    s.writeI32LE(Count());
    for (const TPoint& p : Points) {
        s.writeI32LE(Wrapped(p.X, c.OriginX, false));
        s.writeI32LE(Wrapped(p.Y, c.OriginY, false));
    }
}

void TPolyLine::CheckFiler(const TFileContext& context) const
{
    TBaseObject::CheckFiler(context);
    CheckFilerI16(Points.size(), "point count");
    for (const TPoint& p : Points) CheckFilerPoint(context, p, "points");
}

void TPolyLine::WriteFilerFields(TWriter& w) const
{
    TBaseObject::WriteFilerFields(w);
    // The anchor is a leftover of the form: reading replaces it by the
    // first point, so only its low 16 bits are kept.
    w.WriteI16LE(static_cast<int16_t>(X));
    w.WriteI16LE(static_cast<int16_t>(Y));
    w.WriteI16LE(static_cast<int16_t>(Count()));
    for (const TPoint& p : Points) WriteFilerPoint(w, p);
}

int32_t TPolyLine::PolyLength() const
{
    uint64_t sum = 0;
    for (std::size_t i = 1; i < Points.size(); ++i) sum += SegmentLength(Points[i - 1], Points[i]);
    return static_cast<int32_t>(std::min<uint64_t>(sum, std::numeric_limits<int32_t>::max()));
}

void TPolyLine::AddPoint(const TPoint& p, bool atStart)
{
    Points.insert(atStart ? Points.begin() : Points.end(), p);
}

bool TPolyLine::ToDevice(const TDrawContext& c, std::vector<TPoint>& dev, bool clip) const
{
    if (!Mappable(c)) return false;
    if (clip) ClipForDrawing(c, Points.data(), Count(), dev);
    else dev.assign(Points.begin(), Points.end());
    ToScreen(c, dev.data(), dev.size());
    if (!(Flags() & ObjFlagOwnerDraw)) return c.DC != nullptr;
    const TOwnerDrawRec rec{&c, dev.data(), static_cast<int32_t>(dev.size()), this};
    DrawByOwner(c, &rec);
    return false;
}

void TPolyLine::Draw(const TDrawContext& c) const
{
    TPointScratch scratch;
    std::vector<TPoint>& dev = scratch.Points();
    if (!ToDevice(c, dev, false)) return;
    const int32_t n = Count();
    LayerLine(c, dev.data(), n, Selected() ? c.SelectColour : c.LayerColour, Selected(),
              Selected() ? c.SelectPen : c.LayerPen);
    if (c.DrawOptions[DrawOptionArrows] && n >= 2) Arrows(c, dev.data(), n);
    if (c.DrawOptions[DrawOptionLineAnchors]) {
        TPoint anchor;
        WorldToScreen(c, X, Y, anchor.X, anchor.Y);
        TMarkScope scope(c);
        Cross(*c.DC, anchor.X, anchor.Y, Max(MarkerSize, 2));
    }
    if (n > 0 && c.DrawOptions[DrawOptionVertexMarks]) VertexMarks(c, dev.data(), n, true);
}

bool TPolyLine::InView(const TDrawContext& c)
{
    const TRect& r = c.WorldRect;
    SetViewRect(r);
    SetFlags(Flags() | ObjFlagInView);
    bool anyIn = false, anyOut = false;
    // The bounds come along: a line wholly outside needs them next.
    TBox bounds{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
    for (const TPoint& p : Points) {
        bounds.MinX = std::min(bounds.MinX, p.X);
        bounds.MaxX = std::max(bounds.MaxX, p.X);
        bounds.MinY = std::min(bounds.MinY, p.Y);
        bounds.MaxY = std::max(bounds.MaxY, p.Y);
        if (StrictlyInside(p, r)) anyIn = true;
        else anyOut = true;
        if (anyIn && anyOut) break;
    }
    if (!anyOut) {
        SetFlags(Flags() | ObjFlagWhollyInView);
        return true;
    }
    if (anyIn) {
        SetFlags(Flags() | ObjFlagPartlyInView);
        return true;
    }
    bool result = false;
    if (!BoxApart(bounds, r)) {
        for (std::size_t i = 0; i + 1 < Points.size() && !result; ++i)
            result = CrossesBorder(Points[i], Points[i + 1], r);
        if (result) SetFlags(Flags() | ObjFlagPartlyInView);
    }
    if (!result) SetFlags(Flags() ^ ObjFlagInView);
    return result;
}

bool TPolyLine::InRect(const TDrawContext& c, const TRect& r)
{
    if (!InView(c) || Points.empty()) return false;
    return std::all_of(Points.begin(), Points.end(), [&](const TPoint& p) { return StrictlyInside(p, r); });
}

bool TPolyLine::HitPath(int32_t x, int32_t y, int32_t& index) const
{
    const TSquare sq(x, y, HitTolerance());
    for (std::size_t i = 0; i + 1 < Points.size(); ++i) {
        index = static_cast<int32_t>(i);
        const TPoint& p = Points[i];
        const TPoint& q = Points[i + 1];
        if (sq.Beside(p, q)) continue;
        if (sq.Holds(p)) return true;
        if (sq.Holds(q)) {
            index = static_cast<int32_t>(i + 1);
            return true;
        }
        if (sq.LineCrosses(p, q)) return true;
    }
    return false;
}

bool TPolyLine::HitTest(const TDrawContext&, int32_t x, int32_t y, int32_t& index) const
{
    return HitPath(x, y, index);
}

// ---------------------------------------------------------------- TPolygon

void TPolygon::Draw(const TDrawContext& c) const
{
    TPointScratch scratch;
    std::vector<TPoint>& dev = scratch.Points();
    if (!ToDevice(c, dev, true)) return;
    const int32_t n = static_cast<int32_t>(dev.size());
    LayerFill(c, dev.data(), n, Selected(), Selected() ? c.SelectPen : c.LayerPen,
              Selected() ? c.SelectBrush : c.FillBrush);
    if (c.DrawOptions[DrawOptionVertexMarks] && n > 0) {
        TMarkScope scope(c);
        const int32_t m = Max(MarkerSize, 2);
        for (const TPoint& p : dev) Cross(*c.DC, p.X, p.Y, m);
    }
}

bool TPolygon::InView(const TDrawContext& c)
{
    const TRect& r = c.WorldRect;
    SetViewRect(r);
    bool result = false;
    if (!Points.empty()) {
        const TBox box = BoundsOf(Points);
        if (!BoxApart(box, r)) {
            if (std::any_of(Points.begin(), Points.end(), [&](const TPoint& p) { return StrictlyInside(p, r); })) {
                const bool boxInside = box.MinX > r.Left && box.MaxX < r.Right && box.MinY > r.Bottom && box.MaxY < r.Top;
                SetFlags(Flags() | (boxInside ? ObjFlagWhollyInView : ObjFlagPartlyInView));
                result = true;
            } else {
                const std::size_t n = Points.size();
                for (std::size_t i = 0; i < n && !result; ++i)
                    result = CrossesBorder(Points[i], Points[(i + 1) % n], r);
                if (result) {
                    SetFlags(Flags() | ObjFlagPartlyInView);
                } else if (ContainsPoint(r.Left, r.Top)) {
                    SetFlags(Flags() | ObjFlagCoversView);
                    result = true;
                }
            }
        }
    }
    if (!result) SetFlags(Flags() & ~ObjFlagInView);
    return result;
}

bool TPolygon::HitTest(const TDrawContext&, int32_t x, int32_t y, int32_t& index) const
{
    if (HitPath(x, y, index)) return true;
    if (Points.empty()) return false;
    const TSquare sq(x, y, HitTolerance());
    const TPoint& last = Points.back();
    const TPoint& first = Points.front();
    if (sq.Beside(last, first) || !sq.LineCrosses(last, first)) return false;
    index = Count() - 1;
    return true;
}

bool TPolygon::ContainsPoint(int32_t x, int32_t y) const
{
    if (Points.empty()) return false;
    // PointInPolygon leaves the first vertex out of its vertex test.
    return Points[0] == TPoint{x, y} || PointInPolygon(x, y, Points.data(), Count());
}

} // namespace tarn
