// Signs and exact points.
#include "data/Errors.h"
#include "data/LoadDLL.h"
#include "data/MapObj.h"
#include "data/MapObjDraw.h"
#include "data/Utils.h"

namespace tarn {

using namespace objdraw;

// ---------------------------------------------------------------- TSign

TSign::TSign(TStream& s, TAbstractItem* owner) : TBaseObject(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    SignNumber = s.readI32LE("sign number");
}

TSign::TSign(TReader& r) : TBaseObject(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    const TPoint p = ReadFilerPoint(r, "sign anchor");
    X = p.X;
    Y = p.Y;
    SignNumber = r.ReadI16LE("sign number");
}

void TSign::StoreFields(TStream& s) const
{
    TBaseObject::StoreFields(s);
    s.writeI32LE(SignNumber);
}

void TSign::CheckFiler(const TFileContext& context) const
{
    TBaseObject::CheckFiler(context);
    CheckFilerPoint(context, {X, Y}, "sign anchor");
    CheckFilerI16(SignNumber, "sign number");
}

void TSign::WriteFilerFields(TWriter& w) const
{
    TBaseObject::WriteFilerFields(w);
    WriteFilerPoint(w, {X, Y});
    w.WriteI16LE(static_cast<int16_t>(SignNumber));
}

void TSign::DrawSign(const TDrawContext& c, TSymbolProc proc, int32_t size, int32_t sx, int32_t sy) const
{
    TSignParams rec;
    FillSignParams(rec, c.DC, sx, sy, SignNumber, size, Selected());
    proc(1, &rec);
}

void TSign::Draw(const TDrawContext& c) const
{
    if (!Mappable(c)) return;
    if (Flags() & ObjFlagOwnerDraw) {
        DrawByOwner(c, nullptr);
        return;
    }
    if (!c.LayerProc || c.LayerProcKind != SymbolKindSign) return;
    int32_t sx, sy;
    WorldToScreen(c, X, Y, sx, sy);
    DrawSign(c, c.LayerProc, c.SymbolSize, sx, sy);
    if (c.DrawOptions[DrawOptionSignAnchors]) TText::DrawAnchorMark(c, sx, sy);
}

bool TSign::HitTest(const TDrawContext& c, int32_t x, int32_t y, int32_t&) const
{
    const int64_t h = int64_t(c.SymbolSize) * 250;
    const int64_t t = HitTolerance();
    const int64_t cl = int64_t(x) - t, cr = int64_t(x) + t, cb = int64_t(y) - t, ct = int64_t(y) + t;
    const int64_t sl = int64_t(X) - h, sr = int64_t(X) + h, sb = int64_t(Y) - h, st = int64_t(Y) + h;
    auto inSign = [&](int64_t px, int64_t py) { return sl <= px && px <= sr && sb <= py && py <= st; };
    auto inClick = [&](int64_t px, int64_t py) { return cl <= px && px <= cr && cb <= py && py <= ct; };
    return inSign(cl, cb) || inSign(cr, cb) || inSign(cr, ct) || inSign(cl, ct) || inClick(sl, sb) ||
           inClick(sr, sb) || inClick(sr, st) || inClick(sl, st);
}

// ---------------------------------------------------------------- TExactPoint

TExactPoint::TExactPoint(TStream& s, TAbstractItem* owner) : TSign(s, owner)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Extra1 = s.readI32LE("exact point values");
    Extra2 = s.readI32LE("exact point values");
}

TExactPoint::TExactPoint(TReader& r) : TSign(r)
{
    SetFlags(Flags() | ObjFlagFromFile);
    Extra1 = r.ReadI32LE("exact point values");
    Extra2 = r.ReadI32LE("exact point values");
}

void TExactPoint::StoreFields(TStream& s) const
{
    TSign::StoreFields(s);
    s.writeI32LE(Extra1);
    s.writeI32LE(Extra2);
}

void TExactPoint::WriteFilerFields(TWriter& w) const
{
    TSign::WriteFilerFields(w);
    w.WriteI32LE(Extra1);
    w.WriteI32LE(Extra2);
}

} // namespace tarn
