#include "data/MapObj.h"
#include "data/Errors.h"
#include "data/Utils.h"

#include <atomic>
#include <cmath>
#include <string>

namespace tarn {

namespace {

struct TObjectState {
    int32_t HitTolerance = 0;
    TRect ViewRect;
};

TObjectState& State()
{
    static TObjectState s;
    return s;
}

// Stored coordinates are offsets from the sheet origin; the sums wrap as
// the stored form always did, so every stored value reads back unchanged.
int32_t AddWrapped(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) + uint32_t(b)); }
int32_t SubWrapped(int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) - uint32_t(b)); }

bool FitsI32(long double v) { return v >= -2147483648.0L && v <= 2147483647.0L; }

} // namespace

namespace {
std::atomic<uint64_t> InViewSets{0};  // objects are also made on the threads that read sheets
thread_local int Marking = 0;
} // namespace

uint64_t InViewFlagSets() { return InViewSets.load(std::memory_order_relaxed); }
void NoteInViewFlagSet()
{
    if (!Marking) InViewSets.fetch_add(1, std::memory_order_relaxed);
}
TMarkingFlags::TMarkingFlags() { ++Marking; }
TMarkingFlags::~TMarkingFlags() { --Marking; }

int32_t HitTolerance() { return State().HitTolerance; }
void SetHitTolerance(int32_t worldUnits) { State().HitTolerance = worldUnits; }
const TRect& ViewRect() { return State().ViewRect; }
void SetViewRect(const TRect& rect) { State().ViewRect = rect; }

// ---------------------------------------------------------------- filer coordinates

namespace {

// The sheet formula in doubles, rounded; false when a half lies so near the
// double result that only the long double formula can tell which way the
// stored value rounds. The bound is four times the double's rounding error
// (three roundings), and covers the long double's as well.
inline bool QuickFilerAxis(double scaled, int32_t origin, double& rounded)
{
    const double shifted = scaled + origin;
    const double v = shifted * 1000.0;
    if (!(v > -0x1p39 && v < 0x1p39)) return false;
    const double bound = (1000.0 * (std::fabs(scaled) + std::fabs(shifted)) + std::fabs(v)) * 0x1p-51;
    const double r = (v + 0x1.8p52) - 0x1.8p52;  // to nearest; below 2^51 exact
    const double fromHalf = std::fabs(std::fabs(v - r) - 0.5);
    if (!(fromHalf > bound)) return false;
    rounded = r;
    return true;
}

} // namespace

bool FilerToWorld(const TFileContext& c, int16_t x16, int16_t y16, TPoint& world)
{
    // Every point of every sheet comes here: the double form answers almost
    // all of them, exactly as the long double one would.
    double qx, qy;
    if (QuickFilerAxis(x16 * c.FilerScale, c.OriginX, qx) &&
        QuickFilerAxis((double(c.YBase) - y16) * c.FilerScale, c.OriginY, qy)) {
        if (!FitsI32(qx) || !FitsI32(qy)) return false;
        world = {static_cast<int32_t>(qx), static_cast<int32_t>(qy)};
        return true;
    }
    const long double scale = c.FilerScale;
    const long double x = (x16 * scale + c.OriginX) * 1000.0L;
    const long double y = ((static_cast<long double>(c.YBase) - y16) * scale + c.OriginY) * 1000.0L;
    // Far outside 32 bits (or NaN) first: RoundEven's quick sum holds below 2^61.
    if (!(x > -0x1p40L && x < 0x1p40L && y > -0x1p40L && y < 0x1p40L)) return false;
    const int64_t rx = RoundEven(x), ry = RoundEven(y);
    if (!FitsI32(rx) || !FitsI32(ry)) return false;
    world = {static_cast<int32_t>(rx), static_cast<int32_t>(ry)};
    return true;
}

bool WorldToFiler(const TFileContext& c, int32_t x, int32_t y, int16_t& x16, int16_t& y16)
{
    const long double scale = c.FilerScale;
    if (!std::isfinite(scale) || scale == 0) return false;
    const long double fx = std::nearbyintl((x / 1000.0L - c.OriginX) / scale);
    const long double fy = std::nearbyintl(c.YBase - (y / 1000.0L - c.OriginY) / scale);
    if (!(fx >= -32768 && fx <= 32767 && fy >= -32768 && fy <= 32767)) return false;
    x16 = static_cast<int16_t>(fx);
    y16 = static_cast<int16_t>(fy);
    return true;
}

TPoint ReadFilerPoint(TReader& reader, const char* field)
{
    const int64_t at = reader.Position();
    const int16_t x16 = reader.ReadI16LE(field);
    const int16_t y16 = reader.ReadI16LE(field);
    TPoint p;
    if (!FilerToWorld(reader.Context(), x16, y16, p))
        ThrowFormat(reader.Stream().Name(), at, field,
                    "point (" + std::to_string(x16) + ", " + std::to_string(y16) + ") lies outside the world range");
    return p;
}

void CheckFilerPoint(const TFileContext& context, const TPoint& p, const char* field)
{
    int16_t x16, y16;
    if (!WorldToFiler(context, p.X, p.Y, x16, y16))
        throw EWriteError(std::string(field) + ": the point (" + std::to_string(p.X) + ", " + std::to_string(p.Y) +
                          ") does not fit the 16-bit coordinates of the sheet");
}

void WriteFilerPoint(TWriter& writer, const TPoint& p)
{
    int16_t x16 = 0, y16 = 0;
    if (!WorldToFiler(writer.Context(), p.X, p.Y, x16, y16))
        throw EWriteError("the point (" + std::to_string(p.X) + ", " + std::to_string(p.Y) +
                          ") does not fit the 16-bit coordinates of the sheet");
    writer.WriteI16LE(x16);
    writer.WriteI16LE(y16);
}

void CheckFilerI16(int64_t value, const char* field)
{
    if (value < -32768 || value > 32767)
        throw EWriteError(std::string(field) + ": " + std::to_string(value) +
                          " does not fit its 16-bit field (-32768..32767)");
}

void CheckFilerU16(int64_t value, const char* field)
{
    if (value < 0 || value > 65535)
        throw EWriteError(std::string(field) + ": " + std::to_string(value) +
                          " does not fit its 16-bit field (0..65535)");
}

// ---------------------------------------------------------------- TBaseObject

TBaseObject::TBaseObject() { SetFlags(0); }

TBaseObject::TBaseObject(TStream& s, TAbstractItem* owner) : TAbstractItem(s, owner)
{
    const uint32_t flags = s.readU32LE("object flags");
    Code = s.readI32LE("object code");
    Attribute = s.readI32LE("object attribute");
    const TFileContext& c = s.Context();
    X = AddWrapped(s.readI32LE("object anchor"), c.OriginX);
    Y = AddWrapped(s.readI32LE("object anchor"), c.OriginY);
    SheetID = c.CurrentSheetID;
    SetFlags(flags & ~ObjFlagSelected);
}

TBaseObject::TBaseObject(TReader& r)
{
    const int8_t flags = static_cast<int8_t>(r.ReadU8("object flags"));
    Code = r.ReadI16LE("object code");
    Attribute = r.ReadI16LE("object attribute");
    SheetID = r.Context().CurrentSheetID;
    // Sign-extended: a byte of 128 or more also sets 256 and 512.
    SetFlags((static_cast<uint32_t>(int32_t(flags)) & ~ObjFlagSelected) & 0x3FFu);
}

TBaseObject::TBaseObject(const TBaseObject& source)
    : TAbstractItem(), X(source.X), Y(source.Y), Code(source.Code), Attribute(source.Attribute),
      SheetID(source.SheetID)
{
    SetFlags(source.FFlags);
}

void TBaseObject::Store(TStream& stream) const
{
    CheckStore();
    StoreFields(stream);
}

void TBaseObject::StoreFields(TStream& s) const
{
    const TFileContext& c = s.Context();
    s.writeU32LE(FFlags);
    s.writeI32LE(Code);
    s.writeI32LE(Attribute);
    s.writeI32LE(SubWrapped(X, c.OriginX));
    s.writeI32LE(SubWrapped(Y, c.OriginY));
}

void TBaseObject::WriteFiler(TWriter& writer) const
{
    CheckFiler(writer.Context());
    WriteFilerFields(writer);
}

void TBaseObject::CheckFiler(const TFileContext&) const
{
    // Read back sign-extended: anything else would come back as another code.
    CheckFilerI16(Code, "object code");
    CheckFilerI16(Attribute, "object attribute");
}

void TBaseObject::WriteFilerFields(TWriter& w) const
{
    w.WriteU8(static_cast<uint8_t>(FFlags & 0xFF));
    w.WriteI16LE(static_cast<int16_t>(Code));
    w.WriteI16LE(static_cast<int16_t>(Attribute));
}

bool TBaseObject::InView(const TDrawContext& context)
{
    SetViewRect(context.WorldRect);
    return PointInRect({X, Y}, context.WorldRect);
}

bool TBaseObject::InRect(const TDrawContext& context, const TRect& r)
{
    TDrawContext copy = context;
    copy.WorldRect = r;
    return InView(copy);
}

void TBaseObject::DrawByOwner(const TDrawContext& context, const TOwnerDrawRec* info) const
{
    if (context.Model && context.Model->HasNotifyHook())
        context.Model->CallNotifyHook(22, 0, 0, reinterpret_cast<intptr_t>(info));
}

} // namespace tarn
