// Styled objects: polylines, polygons, texts and signs with their own
// drawing attributes.
#include "data/Errors.h"
#include "data/LoadDLL.h"
#include "data/MapObj.h"
#include "data/MapObjDraw.h"
#include "data/Utils.h"

#include <optional>

namespace tarn {

using namespace objdraw;

namespace {

bool OwnAttributes(const TDrawContext& c) { return c.OwnAttributes != 0; }

// Labels: the layer's switch, or in own-attribute mode the object's flag 64.
bool ShowLabels(const TDrawContext& c, uint32_t flags)
{
    return OwnAttributes(c) ? (flags & ObjFlagShowLabel) != 0 : c.ShowLabels != 0;
}

void DrawLabelAt(const TDrawContext& c, uint32_t flags, const std::string& label, int32_t x, int32_t y)
{
    if (label.empty() || !ShowLabels(c, flags)) return;
    int32_t sx, sy;
    WorldToScreen(c, x, y, sx, sy);
    Label(c, label, sx, sy);
}

// Count() values for the stored form: the ones there are, then zeros.
int32_t ValueAt(const std::vector<int32_t>& values, std::size_t i) { return i < values.size() ? values[i] : 0; }

} // namespace

// ---------------------------------------------------------------- TPolyLineEx

TPolyLineEx::TPolyLineEx(TStream& s, TAbstractItem* owner) : TPolyLine(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Color = s.readU32LE("line colour");
    Width = s.readI32LE("line width");
    PenStyle = s.readI32LE("line style");
    Label = ReadPStrStream(s, "line label");
    ValueMode = s.readI32LE("value mode");
    if (ValueMode == 1) {
        Value = s.readI32LE("line value");
    } else if (ValueMode == 2) {
        s.Require(uint64_t(Count()) * 4, "line values");
        Values.resize(Points.size());
        for (int32_t& v : Values) v = s.readI32LE("line values");
    }
    Extra = s.readU32LE("line extra");
}

TPolyLineEx::TPolyLineEx(TReader& r) : TPolyLine(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Color = r.ReadU32LE("line colour");
    Width = r.ReadU16LE("line width");
    PenStyle = r.ReadU16LE("line style");
    Label = ReadPStr(r, "line label");
    ValueMode = r.ReadI16LE("value mode");
    if (ValueMode == 1) {
        Value = r.ReadI32LE("line value");
    } else if (ValueMode == 2) {
        r.Require(uint64_t(Count()) * 4, "line values");
        Values.resize(Points.size());
        for (int32_t& v : Values) v = r.ReadI32LE("line values");
    }
    Extra = r.ReadU32LE("line extra");
}

void TPolyLineEx::CheckStore() const
{
    TPolyLine::CheckStore();
    CheckPStr(Label, "line label");
}

void TPolyLineEx::StoreFields(TStream& s) const
{
    TPolyLine::StoreFields(s);
    s.writeU32LE(Color);
    s.writeI32LE(Width);
    s.writeI32LE(PenStyle);
    WritePStrStream(s, Label);
    s.writeI32LE(ValueMode);
    if (ValueMode == 1) s.writeI32LE(Value);
    else if (ValueMode == 2)
        for (std::size_t i = 0; i < Points.size(); ++i) s.writeI32LE(ValueAt(Values, i));
    s.writeU32LE(Extra);
}

void TPolyLineEx::CheckFiler(const TFileContext& context) const
{
    TPolyLine::CheckFiler(context);
    CheckFilerU16(Width, "line width");
    CheckFilerU16(PenStyle, "line style");
    CheckPStr(Label, "line label");
    CheckFilerI16(ValueMode, "value mode");
}

void TPolyLineEx::WriteFilerFields(TWriter& w) const
{
    TPolyLine::WriteFilerFields(w);
    w.WriteU32LE(Color);
    w.WriteU16LE(static_cast<uint16_t>(Width));
    w.WriteU16LE(static_cast<uint16_t>(PenStyle));
    WritePStr(w, Label);
    w.WriteI16LE(static_cast<int16_t>(ValueMode));
    if (ValueMode == 1) w.WriteI32LE(Value);
    else if (ValueMode == 2)
        for (std::size_t i = 0; i < Points.size(); ++i) w.WriteI32LE(ValueAt(Values, i));
    w.WriteU32LE(Extra);
}

void TPolyLineEx::Draw(const TDrawContext& c) const
{
    TPointScratch scratch;
    std::vector<TPoint>& dev = scratch.Points();
    if (!ToDevice(c, dev, false)) return;
    const int32_t n = Count();
    const int32_t pixelWidth = ScaledPixels(Width, c.SizeScale, 10);
    if (!OwnAttributes(c)) {
        LayerLine(c, dev.data(), n, c.SelectColour, Selected(), Selected() ? c.SelectPen : c.LayerPen);
    } else if (PenStyle > 100) {
        TSymbolProc proc = c.LibraryLoaded ? GetLineProc(c.Library, PenStyle - 100) : nullptr;
        if (!proc) proc = DefaultLineProc;
        TLineParams rec;
        FillLineParams(rec, c.DC, dev.data(), n, 10, pixelWidth, c.SelectColour, Selected());
        proc(1, &rec);
    } else {
        TPenScope pen(*c.DC, CachedPen(PenStyle, pixelWidth, Selected() ? Colour(c.SelectColour) : Color));
        c.DC->Polyline(dev.data(), n);
    }
    if (c.DrawOptions[DrawOptionArrows] && n >= 2) Arrows(c, dev.data(), n);
    DrawLabelAt(c, Flags(), Label, X, Y);
    const bool crosses = c.DrawOptions[DrawOptionVertexMarks] != 0;
    if (n > 0 && (crosses || c.DrawOptions[DrawOptionStyledVertexMarks])) VertexMarks(c, dev.data(), n, crosses);
}

// ---------------------------------------------------------------- TPolygonEx

TPolygonEx::TPolygonEx(TStream& s, TAbstractItem* owner) : TPolygon(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    FillColor = s.readU32LE("fill colour");
    OutlineColor = s.readU32LE("outline colour");
    FillStyle = s.readI32LE("fill style");
    Label = ReadPStrStream(s, "area label");
    OutlinePen = s.readU32LE("outline pen");
}

TPolygonEx::TPolygonEx(TReader& r) : TPolygon(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    FillColor = r.ReadU32LE("fill colour");
    OutlineColor = r.ReadU32LE("outline colour");
    FillStyle = r.ReadI16LE("fill style");
    Label = ReadPStr(r, "area label");
    OutlinePen = r.ReadU32LE("outline pen");
}

void TPolygonEx::CheckStore() const
{
    TPolygon::CheckStore();
    CheckPStr(Label, "area label");
}

void TPolygonEx::StoreFields(TStream& s) const
{
    TPolygon::StoreFields(s);
    s.writeU32LE(FillColor);
    s.writeU32LE(OutlineColor);
    s.writeI32LE(FillStyle);
    WritePStrStream(s, Label);
    s.writeU32LE(OutlinePen);
}

void TPolygonEx::CheckFiler(const TFileContext& context) const
{
    TPolygon::CheckFiler(context);
    CheckFilerI16(FillStyle, "fill style");
    CheckPStr(Label, "area label");
}

void TPolygonEx::WriteFilerFields(TWriter& w) const
{
    TPolygon::WriteFilerFields(w);
    w.WriteU32LE(FillColor);
    w.WriteU32LE(OutlineColor);
    w.WriteI16LE(static_cast<int16_t>(FillStyle));
    WritePStr(w, Label);
    w.WriteU32LE(OutlinePen);
}

void TPolygonEx::Draw(const TDrawContext& c) const
{
    TPointScratch scratch;
    std::vector<TPoint>& dev = scratch.Points();
    if (!ToDevice(c, dev, true)) return;
    const int32_t n = static_cast<int32_t>(dev.size());
    if (!OwnAttributes(c)) {
        LayerFill(c, dev.data(), n, Selected(), c.LayerPen, Selected() ? c.SelectBrush : c.FillBrush);
    } else if (FillStyle > 100) {
        TSymbolProc proc = c.LibraryLoaded ? GetFillProc(c.Library, FillStyle - 100) : nullptr;
        if (!proc) proc = DefaultFillProc;
        TFillParams rec;
        FillFillParams(rec, c.DC, dev.data(), n, 1, c.SelectColour, Selected());
        proc(1, &rec);
    } else {
        const TColorRef fill = Selected() ? Colour(c.SelectColour) : FillColor;
        TBrush* brush = FillStyle == -2   ? (Selected() ? CachedSolidBrush(fill) : StockBrush(TGDI_NULL_BRUSH))
                        : FillStyle == -1 ? CachedSolidBrush(fill)
                                          : CachedHatchBrush(FillStyle, fill);
        TBrushScope brushScope(*c.DC, brush);
        TPenScope pen(*c.DC, CachedPen(static_cast<int32_t>(OutlinePen >> 16),
                                       static_cast<int32_t>(OutlinePen & 0xFFFF), OutlineColor));
        c.DC->Polygon(dev.data(), n);
    }
    DrawLabelAt(c, Flags(), Label, X, Y);
    if (c.DrawOptions[DrawOptionVertexMarks] && n > 0) VertexMarks(c, dev.data(), n, true);
}

// ---------------------------------------------------------------- TTextEx

TTextEx::TTextEx(TStream& s, TAbstractItem* owner) : TText(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    TextColor = s.readU32LE("text colour");
    Size = s.readI32LE("text size");
    Extra = s.readU32LE("text extra");
}

TTextEx::TTextEx(TReader& r) : TText(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    TextColor = r.ReadU32LE("text colour");
    Size = r.ReadI16LE("text size");
    Extra = r.ReadU32LE("text extra");
}

void TTextEx::StoreFields(TStream& s) const
{
    TText::StoreFields(s);
    s.writeU32LE(TextColor);
    s.writeI32LE(Size);
    s.writeU32LE(Extra);
}

void TTextEx::CheckFiler(const TFileContext& context) const
{
    TText::CheckFiler(context);
    CheckFilerI16(Size, "text size");
}

void TTextEx::WriteFilerFields(TWriter& w) const
{
    TText::WriteFilerFields(w);
    w.WriteU32LE(TextColor);
    w.WriteI16LE(static_cast<int16_t>(Size));
    w.WriteU32LE(Extra);
}

void TTextEx::Draw(const TDrawContext& c) const
{
    if (!Mappable(c)) return;
    if (Flags() & ObjFlagOwnerDraw) {
        DrawByOwner(c, nullptr);
        return;
    }
    if (!c.DC || !c.TextFont) return;
    TDeviceContext& dc = *c.DC;
    TLogFont font = *c.TextFont;  // height and angle go into a copy, never into the layer's record
    int32_t oldBkMode = 0;
    if (OwnAttributes(c)) {
        dc.SetTextColor(TextColor);
        font.Height = ScaledPixels(Size, c.SizeScale, 10);
        if (Flags() & ObjFlagOpaqueText) oldBkMode = dc.SetBkMode(TGDI_OPAQUE);
    }
    int32_t sx, sy;
    WorldToScreen(c, X, Y, sx, sy);
    std::optional<TFontScope> selected;
    if (std::llabs(int64_t(font.Height)) > 4) {
        font.Escapement = Angle;
        selected.emplace(dc, CachedFont(font));
        dc.TextOut(sx, sy, Text);
        if (c.DrawOptions[DrawOptionTextAnchors]) DrawAnchorMark(c, sx, sy);
    }
    if (Selected()) DrawFrame(c, dc, sx, sy);
    selected.reset();
    if (oldBkMode) dc.SetBkMode(oldBkMode);
}

bool TTextEx::HitTest(const TDrawContext& c, int32_t x, int32_t y, int32_t& index) const
{
    if (!c.TextDC) return false;
    if (!c.TextFont) return TText::HitTest(c, x, y, index);
    // The view estimate reads the same height as the measuring.
    TLogFont font = *c.TextFont;
    font.Height = ScaledPixels(Size, c.SizeScale, 10);
    TDrawContext own = c;
    own.TextFont = &font;
    TFontScope scope(*c.TextDC, CachedFont(font));
    return TText::HitTest(own, x, y, index);
}

// ---------------------------------------------------------------- TSignEx

TSignEx::TSignEx(TStream& s, TAbstractItem* owner) : TSign(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Label = ReadPStrStream(s, "sign label");
    LabelOffset.X = s.readI32LE("label offset");
    LabelOffset.Y = s.readI32LE("label offset");
    Size = s.readI32LE("sign size");
    DllSignNumber = s.readI32LE("library sign number");
    Extra = s.readU32LE("sign extra");
}

TSignEx::TSignEx(TReader& r) : TSign(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Label = ReadPStr(r, "sign label");
    LabelOffset.X = r.ReadI16LE("label offset");
    LabelOffset.Y = r.ReadI16LE("label offset");
    Size = r.ReadI16LE("sign size");
    DllSignNumber = r.ReadI16LE("library sign number");
    Extra = r.ReadU32LE("sign extra");
}

void TSignEx::CheckStore() const
{
    TSign::CheckStore();
    CheckPStr(Label, "sign label");
}

void TSignEx::StoreFields(TStream& s) const
{
    TSign::StoreFields(s);
    WritePStrStream(s, Label);
    s.writeI32LE(LabelOffset.X);
    s.writeI32LE(LabelOffset.Y);
    s.writeI32LE(Size);
    s.writeI32LE(DllSignNumber);
    s.writeU32LE(Extra);
}

void TSignEx::CheckFiler(const TFileContext& context) const
{
    TSign::CheckFiler(context);
    CheckPStr(Label, "sign label");
    CheckFilerI16(LabelOffset.X, "label offset");
    CheckFilerI16(LabelOffset.Y, "label offset");
    CheckFilerI16(Size, "sign size");
    CheckFilerI16(DllSignNumber, "library sign number");
}

void TSignEx::WriteFilerFields(TWriter& w) const
{
    TSign::WriteFilerFields(w);
    WritePStr(w, Label);
    w.WriteI16LE(static_cast<int16_t>(LabelOffset.X));
    w.WriteI16LE(static_cast<int16_t>(LabelOffset.Y));
    w.WriteI16LE(static_cast<int16_t>(Size));
    w.WriteI16LE(static_cast<int16_t>(DllSignNumber));
    w.WriteU32LE(Extra);
}

void TSignEx::Draw(const TDrawContext& c) const
{
    if (!Mappable(c)) return;
    if (Flags() & ObjFlagOwnerDraw) {
        DrawByOwner(c, nullptr);
        return;
    }
    int32_t sx, sy;
    WorldToScreen(c, X, Y, sx, sy);
    if (!OwnAttributes(c)) {
        if (!c.LayerProc || c.LayerProcKind != SymbolKindSign) return;  // like a plain sign: nothing at all
        DrawSign(c, c.LayerProc, c.SymbolSize, sx, sy);
    } else {
        TSymbolProc proc = c.LibraryLoaded ? GetSignProc(c.Library, DllSignNumber) : nullptr;
        if (!proc) proc = DefaultSignProc;
        const int32_t size = (Flags() & ObjFlagSizeInMapUnits) ? ScaledPixels(Size, c.SizeScale, 100)
                                                                : RoundEvenSat(Size / 26.0L * c.MmPerPixel);
        DrawSign(c, proc, size, sx, sy);
    }
    DrawLabelAt(c, Flags(), Label, Sat32(int64_t(X) + LabelOffset.X), Sat32(int64_t(Y) + LabelOffset.Y));
    if (c.DrawOptions[DrawOptionSignAnchors]) TText::DrawAnchorMark(c, sx, sy);
}

} // namespace tarn
