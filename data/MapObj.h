#pragma once
// Map objects: the base of every vector and picture object of a layer, and
// the objects themselves (polylines, polygons, texts, signs and their styled
// forms). Layers draw, test and copy them through the virtual operations of
// TBaseObject without knowing their class.
//
// Reading and writing take the sheet's origin, YBase, FilerScale and
// CurrentSheetID from the stream's TFileContext. Drawing and hit testing
// share the small state below (hit tolerance, view rectangle), which the
// model sets; everything runs on the user-interface thread.
#include "data/DrawContext.h"
#include "data/FileContext.h"
#include "data/Filer.h"
#include "data/UArrays.h"
#include "platform/Types.h"

#include <cstdint>
#include <memory>

namespace tarn {

// Bits of TBaseObject::Flags().
constexpr uint32_t ObjFlagInView = 0x0001;
constexpr uint32_t ObjFlagSelected = 0x0002;
constexpr uint32_t ObjFlagOpaqueText = 0x0004;      // TTextEx: opaque background
constexpr uint32_t ObjFlagSizeInMapUnits = 0x0008;  // TSignEx: Size in map units
constexpr uint32_t ObjFlagTemporary = 0x0010;       // never saved
constexpr uint32_t ObjFlagShowLabel = 0x0040;       // styled objects drawing their own attributes
constexpr uint32_t ObjFlagFromFile = 0x0080;
constexpr uint32_t ObjFlagWhollyInView = 0x0400;
constexpr uint32_t ObjFlagPartlyInView = 0x0800;
constexpr uint32_t ObjFlagCoversView = 0x1000;
constexpr uint32_t ObjFlagHidden = 0x2000;          // neither drawn nor hit
constexpr uint32_t ObjFlagOwnerDraw = 0x4000;       // drawn by the model's hook (code 22)

// ---------------------------------------------------------------- shared state

// Half side, in world units, of the square in which a point hits a line.
// The model sets it before drawing a view and before each point search.
int32_t HitTolerance();
void SetHitTolerance(int32_t worldUnits);

// The world rectangle of the last context tested by an InView.
const TRect& ViewRect();
void SetViewRect(const TRect& rect);

// Half size in pixels of anchor and vertex marks (at least 2 is used).
constexpr int32_t MarkerSize = 3;
// Direction arrow of polylines, pixels before scaling; the tip is (0, 0).
constexpr TPoint ArrowShape[3] = {{-15, 6}, {0, 0}, {-15, -6}};

// ---------------------------------------------------------------- filer coordinates

// A filer point (x16, y16) in world units:
// x = round((x16 * FilerScale + OriginX) * 1000),
// y = round(((YBase - y16) * FilerScale + OriginY) * 1000).
// False when the result does not fit 32 bits.
bool FilerToWorld(const TFileContext& context, int16_t x16, int16_t y16, TPoint& world);
// The inverse: false when the point does not fit 16 bits or FilerScale
// cannot divide.
bool WorldToFiler(const TFileContext& context, int32_t x, int32_t y, int16_t& x16, int16_t& y16);

// Reads one filer point; a point outside the world range is a format error.
TPoint ReadFilerPoint(TReader& reader, const char* field);
// Refuses (EWriteError) a point that the filer form cannot hold.
void CheckFilerPoint(const TFileContext& context, const TPoint& p, const char* field);
void WriteFilerPoint(TWriter& writer, const TPoint& p);

// Refuses a value that does not fit a signed (or unsigned) 16-bit field.
void CheckFilerI16(int64_t value, const char* field);
void CheckFilerU16(int64_t value, const char* field);

// ---------------------------------------------------------------- TBaseObject

class TBaseObject;

// What an object drawn by its owner hands to the model's hook (code 22);
// it lives only during the call.
struct TOwnerDrawRec {
    const TDrawContext* Context = nullptr;  // the object's copy
    const TPoint* Points = nullptr;         // device pixels
    int32_t Count = 0;
    const TBaseObject* Object = nullptr;
};

class TBaseObject : public TAbstractItem {
public:
    // Create: no reference count, no owner, all fields 0.
    TBaseObject();
    // The stream head (flags, code, attribute, anchor less the origin).
    TBaseObject(TStream& stream, TAbstractItem* owner);
    // The filer head (flags byte, code and attribute as 16 bits).
    explicit TBaseObject(TReader& reader);
    ~TBaseObject() override = default;

    uint32_t Flags() const { return FFlags; }
    // Every change of the flags goes through here, so a class can react.
    virtual void SetFlags(uint32_t value) { FFlags = value; }
    bool Selected() const { return (FFlags & ObjFlagSelected) != 0; }

    // The stream form: CheckStore, then the fields. Classes extend
    // CheckStore and StoreFields, not Store.
    void Store(TStream& stream) const override;
    // Throws EWriteError when the stream form cannot hold the object.
    virtual void CheckStore() const {}

    // The filer form: CheckFiler, then the fields, so a value that does not
    // fit refuses the write before a byte is written. A sheet writer may
    // call CheckFiler on every object before it starts.
    void WriteFiler(TWriter& writer) const;
    virtual void CheckFiler(const TFileContext& context) const;

    virtual void Draw(const TDrawContext& context) const = 0;
    // Whether the object touches the context's world rectangle; the base
    // tests the anchor against the closed rectangle. Sets ViewRect.
    virtual bool InView(const TDrawContext& context);
    // Whether the world point hits the object; lines and polygons put the
    // segment or vertex hit into index. Texts measure in context.TextDC,
    // which the caller prepares with the layer's font selected.
    virtual bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const = 0;
    // Whether the object lies in the world rectangle r; the base answers
    // InView for a copy of the context showing r.
    virtual bool InRect(const TDrawContext& context, const TRect& r);

    // A new object of the same class with every field copied (deep).
    std::unique_ptr<TBaseObject> Clone() const { return std::unique_ptr<TBaseObject>(CreateCopy()); }

    // Hands the object to the model's hook (code 22) with info, the address
    // of an owner-draw record (null for texts and signs); without a hook
    // nothing is drawn.
    void DrawByOwner(const TDrawContext& context, const TOwnerDrawRec* info) const;

    int32_t X = 0;          // anchor, world units, Y upward
    int32_t Y = 0;
    int32_t Code = 0;       // with SheetID, the object's identity in its layer
    int32_t Attribute = 0;  // carried, never interpreted
    int32_t SheetID = 0;    // the sheet it was loaded from; not stored

protected:
    // CreateCopy's part: the head of source.
    TBaseObject(const TBaseObject& source);
    // The virtual copy constructor: every class answers new T(*this).
    virtual TBaseObject* CreateCopy() const = 0;
    // Each class writes its parent's fields first, then its own.
    virtual void StoreFields(TStream& stream) const;
    virtual void WriteFilerFields(TWriter& writer) const;

private:
    uint32_t FFlags = 0;
};

} // namespace tarn
