// Texts: labels at an anchor, turned by an angle.
#include "data/Errors.h"
#include "data/MapObj.h"
#include "data/MapObjDraw.h"
#include "data/Utils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tarn {

using namespace objdraw;

namespace {

constexpr long double Pi = 3.14159265358979323846264338327950288L;

long double Radians(int32_t tenths) { return tenths / 10.0L * Pi / 180; }

// Cosine and sine of a turn, rounded to float. Worked out once for every
// turn within a full circle either way: long double trigonometry costs more
// than the rest of a label's view test, and every label pays it.
struct TTurn {
    float Cos, Sin;
};
TTurn TurnOf(int32_t tenths)
{
    constexpr int32_t Full = 3600;
    auto exact = [](int32_t t) {
        const long double a = Radians(t);
        return TTurn{static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
    };
    static const auto table = [&] {
        std::array<TTurn, 2 * Full + 1> t;
        for (int32_t i = -Full; i <= Full; ++i) t[static_cast<std::size_t>(i + Full)] = exact(i);
        return t;
    }();
    if (tenths >= -Full && tenths <= Full) return table[static_cast<std::size_t>(tenths + Full)];
    return exact(tenths);
}

// Corners of a box of width w along the angle and height h across it, from
// the anchor; ySign +1 turns towards greater world Y (world boxes), -1
// towards smaller pixel rows (device boxes).
template <class T>
void Box(int64_t x, int64_t y, long double w, long double h, T c, T s, int ySign, int64_t out[4][2])
{
    const int64_t wc = RoundEven(w * c), ws = RoundEven(w * s);
    const int64_t hs = RoundEven(h * s), hc = RoundEven(h * c);
    out[0][0] = x;
    out[0][1] = y;
    out[1][0] = x + wc;
    out[1][1] = y + ySign * ws;
    out[3][0] = x - hs;
    out[3][1] = y + ySign * hc;
    out[2][0] = out[3][0] + wc;
    out[2][1] = out[3][1] + ySign * ws;
}

bool InClosed(int64_t x, int64_t y, const TRect& r)
{
    return r.Left <= x && x <= r.Right && r.Bottom <= y && y <= r.Top;
}

} // namespace

TText::TText(TStream& s, TAbstractItem* owner) : TBaseObject(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Angle = s.readI32LE("text angle");
    Text = ReadPStrStream(s, "text");
}

TText::TText(TReader& r) : TBaseObject(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    const TPoint p = ReadFilerPoint(r, "text anchor");
    X = p.X;
    Y = p.Y;
    Text = ReadPStr(r, "text");
    Angle = r.ReadI16LE("text angle");
}

void TText::CheckStore() const
{
    TBaseObject::CheckStore();
    CheckPStr(Text, "text");
}

void TText::StoreFields(TStream& s) const
{
    TBaseObject::StoreFields(s);
    s.writeI32LE(Angle);
    WritePStrStream(s, Text);
}

void TText::CheckFiler(const TFileContext& context) const
{
    TBaseObject::CheckFiler(context);
    CheckFilerPoint(context, {X, Y}, "text anchor");
    CheckPStr(Text, "text");
    CheckFilerI16(Angle, "text angle");
}

void TText::WriteFilerFields(TWriter& w) const
{
    TBaseObject::WriteFilerFields(w);
    WriteFilerPoint(w, {X, Y});
    WritePStr(w, Text);
    w.WriteI16LE(static_cast<int16_t>(Angle));
}

void TText::DrawAnchorMark(const TDrawContext& c, int32_t sx, int32_t sy)
{
    if (!c.DC) return;
    TPenScope pen(*c.DC, CachedPen(TGDI_PS_SOLID, 1, Colour(c.SelectColour)));
    Cross(*c.DC, sx, sy, 3);
}

void TText::DrawFrame(const TDrawContext& c, TDeviceContext& dc, int32_t sx, int32_t sy) const
{
    const TSize ext = dc.GetTextExtent(Text);
    const double a = static_cast<double>(Radians(Angle));
    const double cs = std::cos(a), sn = std::sin(a);
    int64_t box[4][2];
    Box<double>(sx, sy, ext.Cx, ext.Cy, cs, sn, -1, box);
    TPoint frame[4];
    for (int i = 0; i < 4; ++i) frame[i] = {Sat32(box[i][0]), Sat32(box[i][1])};
    const int32_t oldMix = dc.SetROP2(TGDI_R2_NOTXORPEN);
    const TColorRef oldBk = dc.SetBkColor(Colour(c.SelectColour));
    dc.Polygon(frame, 4);
    dc.SetBkColor(oldBk);
    dc.SetROP2(oldMix);
}

void TText::Draw(const TDrawContext& c) const
{
    if (!Mappable(c)) return;
    if (Flags() & ObjFlagOwnerDraw) {
        DrawByOwner(c, nullptr);
        return;
    }
    if (!c.DC || !c.TextFont || std::llabs(int64_t(c.TextFont->Height)) <= 4) return;
    TDeviceContext& dc = *c.DC;
    TLogFont font = *c.TextFont;  // the layer's record keeps its own escapement
    font.Escapement = Angle;
    TFontScope scope(dc, CachedFont(font));
    int32_t sx, sy;
    WorldToScreen(c, X, Y, sx, sy);
    dc.TextOut(sx, sy, Text);
    if (c.DrawOptions[DrawOptionTextAnchors]) DrawAnchorMark(c, sx, sy);
    if (Selected()) DrawFrame(c, dc, sx, sy);
}

bool TText::TextInView(const TDrawContext& c) const
{
    const TRect& r = c.WorldRect;
    SetViewRect(r);
    if (InClosed(X, Y, r)) return true;
    const int64_t height = c.TextFont ? c.TextFont->Height : 0;
    const long double w = static_cast<long double>(Text.size()) * std::llabs(height * 60);
    const long double h = std::llabs(height * 100);
    // No corner lies farther from the anchor than w + h and the roundings:
    // an anchor farther than that from the view needs no turning.
    const long double reach = w + h + 2;
    if (X + reach < r.Left || X - reach > r.Right || Y + reach < r.Bottom || Y - reach > r.Top) return false;
    const TTurn turn = TurnOf(Angle);
    int64_t box[4][2];
    Box<long double>(X, Y, w, h, turn.Cos, turn.Sin, 1, box);
    for (const auto& q : box)
        if (InClosed(q[0], q[1], r)) return true;
    return false;
}

bool TText::InView(const TDrawContext& c) { return TextInView(c); }

bool TText::InRect(const TDrawContext& c, const TRect& r)
{
    const int64_t width = c.TextFont ? static_cast<uint16_t>(c.TextFont->Width) : 0;
    const int64_t h = c.TextFont ? c.TextFont->Height : 0;
    const int64_t w = static_cast<int64_t>(Text.size()) * width;
    if (Angle == 0) return X + w > r.Left && X < r.Right && Y - h < r.Top && Y > r.Bottom;
    const double a = static_cast<double>(Radians(Angle));
    int64_t box[4][2];
    Box<double>(X, Y, w, h, std::cos(a), std::sin(a), -1, box);
    int64_t minX = box[0][0], maxX = box[0][0], minY = box[0][1], maxY = box[0][1];
    for (const auto& q : box) {
        minX = std::min(minX, q[0]);
        maxX = std::max(maxX, q[0]);
        minY = std::min(minY, q[1]);
        maxY = std::max(maxY, q[1]);
    }
    return minX > r.Left && maxX < r.Right && minY < r.Top && maxY > r.Bottom;
}

bool TText::HitTest(const TDrawContext& c, int32_t x, int32_t y, int32_t&) const
{
    if (Text.empty() || !c.TextDC || !TextInView(c)) return false;
    const TTurn turn = TurnOf(Angle);
    const float cs = turn.Cos, sn = turn.Sin;
    const TSize ext = c.TextDC->GetTextExtent(Text);
    const long double scale = std::isfinite(c.Scale) ? c.Scale : 0;
    const int64_t w = RoundEvenSat(ext.Cx * scale), h = RoundEvenSat(ext.Cy * scale);
    int64_t box[4][2];
    Box<long double>(X, Y, w, h, cs, sn, 1, box);
    TPoint label[4];
    for (int i = 0; i < 4; ++i) label[i] = {Sat32(box[i][0]), Sat32(box[i][1])};

    const int64_t t = HitTolerance();
    const TPoint lb{Sat32(x - t), Sat32(y - t)}, rb{Sat32(x + t), Sat32(y - t)};
    const TPoint lt{Sat32(x - t), Sat32(y + t)}, rt{Sat32(x + t), Sat32(y + t)};
    for (const TPoint& q : {lb, rb, lt, rt})
        if (PointInPolygon(q.X, q.Y, label, 4)) return true;
    const TPoint square[4] = {lb, rb, rt, lt};
    for (const TPoint& q : label)
        if (PointInPolygon(q.X, q.Y, square, 4)) return true;
    for (const auto& [p, q] : {std::pair{lb, rb}, std::pair{rb, rt}})
        for (int i = 0; i < 4; ++i)
            if (SegmentsIntersect(p, q, label[i], label[(i + 1) % 4])) return true;
    return false;
}

} // namespace tarn
