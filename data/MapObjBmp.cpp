#include "data/MapObjBmp.h"
#include "data/Errors.h"
#include "data/MapObjDraw.h"
#include "data/Utils.h"

#include <algorithm>
#include <cmath>

namespace tarn {

using namespace objdraw;

namespace {

// Offsets from the sheet origin wrap as the stored form always did.
int32_t AddWrapped(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) + uint32_t(b)); }
int32_t SubWrapped(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) - uint32_t(b)); }

constexpr uint16_t FilerWanted = 0x01BC;  // the bytes 188, 1

// The four filer values: rnd(v / 10), less 100 x the origin for the corner.
struct TFilerRect {
    int64_t Left, Top, Width, Height;
};

TFilerRect ToFiler(const TBmp& b, const TFileContext& c)
{
    auto tenth = [](int32_t v) { return RoundEven(static_cast<long double>(v) / 10); };
    return {tenth(b.Left) - 100 * int64_t(c.OriginX), tenth(b.Top) - 100 * int64_t(c.OriginY), tenth(b.Width),
            tenth(b.Height)};
}

bool FitsI32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

int32_t FromFiler(TReader& r, int64_t origin, const char* field)
{
    const int64_t at = r.Position();
    const int64_t v = int64_t(r.ReadI32LE(field)) * 10 + 1000 * origin;
    if (!FitsI32(v)) ThrowFormat(r.Stream().Name(), at, field, "the value lies outside the world range");
    return int32_t(v);
}

} // namespace

TBmp::TBmp(TStream& s, TAbstractItem* owner) : TBaseObject(s, owner)
{
    TBaseObject::SetFlags(Flags() | ObjFlagFromFile);
    FFileName = ReadPStrStream(s, "picture file name");
    const TFileContext& c = s.Context();
    Left = AddWrapped(s.readI32LE("picture left"), c.OriginX);
    Top = AddWrapped(s.readI32LE("picture top"), c.OriginY);
    Width = s.readI32LE("picture width");
    Height = s.readI32LE("picture height");
}

TBmp::TBmp(TReader& r)
{
    // The record has no common head; the sheet is set as every loader does.
    SheetID = r.Context().CurrentSheetID;
    FFileName = ReadPStr(r, "picture file name");
    const bool wanted = r.ReadU16LE("picture wanted") != 0;
    const TFileContext& c = r.Context();
    Left = FromFiler(r, c.OriginX, "picture left");
    Top = FromFiler(r, c.OriginY, "picture top");
    Width = FromFiler(r, 0, "picture width");
    Height = FromFiler(r, 0, "picture height");
    if (wanted) TBaseObject::SetFlags(ObjFlagFromFile);
}

TBmp::TBmp(const TBmp& source)
    : TBaseObject(source), Left(source.Left), Top(source.Top), Width(source.Width), Height(source.Height),
      Extra(source.Extra), FFileName(source.FFileName)
{
}

TBmp::~TBmp() = default;

void TBmp::CheckStore() const
{
    CheckPStr(FFileName, "picture file name");
}

void TBmp::StoreFields(TStream& s) const
{
    TBaseObject::StoreFields(s);
    const TFileContext& c = s.Context();
    WritePStrStream(s, FFileName);
    s.writeI32LE(SubWrapped(Left, c.OriginX));
    s.writeI32LE(SubWrapped(Top, c.OriginY));
    s.writeI32LE(Width);
    s.writeI32LE(Height);
}

void TBmp::CheckFiler(const TFileContext& context) const
{
    // No common head is written, so code and attribute need not fit.
    CheckPStr(FFileName, "picture file name");
    const TFilerRect f = ToFiler(*this, context);
    if (!FitsI32(f.Left) || !FitsI32(f.Top) || !FitsI32(f.Width) || !FitsI32(f.Height))
        throw EWriteError("picture rectangle: the corner less the sheet origin does not fit 32 bits");
}

void TBmp::WriteFilerFields(TWriter& w) const
{
    WritePStr(w, FFileName);
    w.WriteU16LE((Flags() & ObjFlagFromFile) ? FilerWanted : 0);
    const TFilerRect f = ToFiler(*this, w.Context());
    w.WriteI32LE(int32_t(f.Left));
    w.WriteI32LE(int32_t(f.Top));
    w.WriteI32LE(int32_t(f.Width));
    w.WriteI32LE(int32_t(f.Height));
}

void TBmp::SetFlags(uint32_t value)
{
    const bool reload = ((value ^ Flags()) & ObjFlagFromFile) != 0;
    if (reload) FreePicture();
    TBaseObject::SetFlags(value);
    if (reload) LoadPicture();
}

bool TBmp::SetFileName(const std::string& name)
{
    if (name == FFileName) return false;
    const bool load = !name.empty() && !FFileName.empty();
    FreePicture();
    FFileName = name;
    return load ? LoadPicture() : false;
}

void TBmp::FreePicture()
{
    FRaster.reset();
    FBitmap = nullptr;
}

bool TBmp::LoadPicture(TFolderNames* names)
{
    FreePicture();
    if (FFileName.empty()) return false;
    try {
        FRaster = TTiledRaster::OpenRaster(FFileName, names);
    } catch (const std::exception&) {
        // missing, unusable or colour-less: try the bitmap cache instead
        FRaster.reset();
    }
    if (FRaster) return false;
    FBitmap = GetCachedBitmap(FFileName, names);
    return FBitmap != nullptr;
}

void TBmp::DrawPlaceholder(const TDrawContext& c) const
{
    if (!c.DC) return;
    TDeviceContext& dc = *c.DC;
    int32_t x1, y1, x2, y2;
    WorldToScreen(c, Left, Top, x1, y1);
    WorldToScreen(c, Sat32(int64_t(Left) + Width), Sat32(int64_t(Top) - Height), x2, y2);
    {
        TBrushScope brush(dc, StockBrush(TGDI_NULL_BRUSH));
        dc.Rectangle(x1, y1, x2, y2);
    }
    if (!FFileName.empty()) dc.TextOut(Sat32(int64_t(std::min(x1, x2)) + 3), Sat32(int64_t(std::min(y1, y2)) + 3), FFileName);
}

void TBmp::Draw(const TDrawContext& c) const
{
    if (Flags() & ObjFlagOwnerDraw) {
        TPoint corners[4] = {{Left, Top},
                             {Sat32(int64_t(Left) + Width), Top},
                             {Sat32(int64_t(Left) + Width), Sat32(int64_t(Top) - Height)},
                             {Left, Sat32(int64_t(Top) - Height)}};
        ToScreen(c, corners, 4);
        const TOwnerDrawRec rec{&c, corners, 4, this};
        DrawByOwner(c, &rec);
        return;
    }
    if (!c.DC) return;
    if (c.LayerColour != 0) DrawPlaceholder(c);
    if ((!FBitmap && !FRaster) || !(Flags() & ObjFlagFromFile)) return;
    const int32_t pw = FRaster ? FRaster->Width() : FBitmap->Width();
    const int32_t ph = FRaster ? FRaster->Height() : FBitmap->Height();
    if (pw <= 0 || ph <= 0 || Width == 0 || Height == 0 || !(c.Scale > 0) || !std::isfinite(c.Scale)) return;

    // The picture's rectangle cut to the view widened by three pixels: what
    // clipping its four corners gives, without a point buffer.
    const int64_t d = 3 * int64_t(std::nearbyint(std::min(c.Scale, 1e9)));
    const TRect& w = c.WorldRect;
    const int64_t right = int64_t(Left) + Width, bottom = int64_t(Top) - Height;
    const int64_t x0 = std::max<int64_t>(std::min<int64_t>(Left, right), w.Left - d);
    const int64_t x2 = std::min<int64_t>(std::max<int64_t>(Left, right), w.Right + d);
    const int64_t y0 = std::min<int64_t>(std::max<int64_t>(Top, bottom), w.Top + d);
    const int64_t y2 = std::max<int64_t>(std::min<int64_t>(Top, bottom), w.Bottom - d);
    if (x0 >= x2 || y2 >= y0) return;

    // World units per picture pixel.
    const long double kx = static_cast<long double>(Width) / pw, ky = static_cast<long double>(Height) / ph;
    const auto trunc = [](long double v) { return int64_t(std::clamp<long double>(std::trunc(v), -2e9L, 2e9L)); };
    const auto rnd = [](long double v) { return RoundEvenSat(v); };
    const int32_t sx = int32_t(std::abs(trunc((x0 - Left) / kx)));
    const int32_t sy = int32_t(std::abs(trunc((y0 - Top) / ky)));
    const int32_t sw = std::abs(rnd((x2 - x0) / kx));
    const int32_t sh = std::abs(rnd((y0 - y2) / ky));
    int32_t dx, dy;
    WorldToScreen(c, int32_t(x0), int32_t(y0), dx, dy);
    const int32_t dw = rnd((x2 - x0) / static_cast<long double>(c.Scale));
    const int32_t dh = rnd((y0 - y2) / static_cast<long double>(c.Scale));
    const uint32_t rop = static_cast<uint32_t>(c.SymbolSize);
    TDeviceContext& dc = *c.DC;
    if (FRaster) {
        FRaster->DrawRaster(dc, {dx, dy, Sat32(int64_t(dx) + dw), Sat32(int64_t(dy) + dh)},
                            {sx, sy, Sat32(int64_t(sx) + sw), Sat32(int64_t(sy) + sh)}, rop);
    } else {
        dc.StretchBlt(dx, dy, dw, dh, &FBitmap->Source(), sx, sy, sw, sh, rop);
    }
}

bool TBmp::InView(const TDrawContext& c)
{
    const TRect& r = c.WorldRect;
    SetViewRect(r);
    const int64_t right = int64_t(Left) + Width, bottom = int64_t(Top) - Height;
    return std::min<int64_t>(Left, right) <= r.Right && std::max<int64_t>(Left, right) >= r.Left &&
           std::min<int64_t>(Top, bottom) <= r.Top && std::max<int64_t>(Top, bottom) >= r.Bottom;
}

bool TBmp::HitTest(const TDrawContext&, int32_t x, int32_t y, int32_t&) const
{
    const int64_t t = HitTolerance();
    return int64_t(x) + t >= Left && int64_t(x) - t <= int64_t(Left) + Width && int64_t(y) - t <= Top &&
           int64_t(y) + t >= int64_t(Top) - Height;
}

} // namespace tarn
