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
#include <string>
#include <vector>

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

// How often an object's in-view flag was set where it was clear, in any
// object, other than by a marking: a marking that finds the count as it
// left it knows that no flag changed behind its back.
uint64_t InViewFlagSets();
void NoteInViewFlagSet();
// While one lives, flags set on this thread are a marking's own: not counted.
class TMarkingFlags {
public:
    TMarkingFlags();
    ~TMarkingFlags();
    TMarkingFlags(const TMarkingFlags&) = delete;
    TMarkingFlags& operator=(const TMarkingFlags&) = delete;
};

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

    bool IsMapObject() const override { return true; }

    uint32_t Flags() const { return FFlags; }
    // Every change of the flags goes through here, so a class can react.
    virtual void SetFlags(uint32_t value)
    {
        if (value & ~FFlags & ObjFlagInView) NoteInViewFlagSet();
        FFlags = value;
    }
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

// ---------------------------------------------------------------- lines and areas

// An open line: Count() world points drawn as one polyline, with the
// layer's pen or its library line procedure, optionally with direction
// arrows and vertex marks.
class TPolyLine : public TBaseObject {
public:
    TPolyLine() = default;
    TPolyLine(TStream& stream, TAbstractItem* owner);  // class id 100
    explicit TPolyLine(TReader& reader);                // type code 1001

    void CheckFiler(const TFileContext& context) const override;

    void Draw(const TDrawContext& context) const override;
    // Sets bit 1 (cleared again when false) and adds 1024 (no point outside
    // the view) or 2048 (crossing its border).
    bool InView(const TDrawContext& context) override;
    // index: the segment hit, or the vertex i + 1 when the segment's end lies
    // in the tolerance square.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;
    // In view, and every point strictly inside r.
    bool InRect(const TDrawContext& context, const TRect& r) override;

    int32_t Count() const { return static_cast<int32_t>(Points.size()); }
    // Sum of the rounded segment lengths, each and the sum at most 2147483647.
    int32_t PolyLength() const;
    // Adds p before the first point or after the last; the anchor stays.
    void AddPoint(const TPoint& p, bool atStart);

    std::vector<TPoint> Points;  // world units

protected:
    TPolyLine(const TPolyLine&) = default;
    TBaseObject* CreateCopy() const override { return new TPolyLine(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
    // The segments 0..Count()-2 against the tolerance square around (x, y).
    bool HitPath(int32_t x, int32_t y, int32_t& index) const;
    // The points in device pixels, cut to the view first for areas. An
    // object drawn by its owner is handed over here, and false answered.
    bool ToDevice(const TDrawContext& context, std::vector<TPoint>& dev, bool clip) const;
};

// A closed, filled ring: the closing side runs from the last point back to
// the first. Stored exactly as a polyline.
class TPolygon : public TPolyLine {
public:
    TPolygon() = default;
    TPolygon(TStream& stream, TAbstractItem* owner) : TPolyLine(stream, owner) {}  // class id 102
    explicit TPolygon(TReader& reader) : TPolyLine(reader) {}                     // type code 1005

    // Cut to the view (ClipForDrawing) before converting.
    void Draw(const TDrawContext& context) const override;
    // Adds 1024 (bounding box strictly inside), 2048 (outline crosses the
    // border) or 4096 (covers the view); clears bit 1 when false.
    bool InView(const TDrawContext& context) override;
    // The outline only (closing side: index Count() - 1); the interior is
    // ContainsPoint's.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;
    // Inside, or on one of the vertices.
    bool ContainsPoint(int32_t x, int32_t y) const;

protected:
    TPolygon(const TPolygon&) = default;
    TBaseObject* CreateCopy() const override { return new TPolygon(*this); }
};

// ---------------------------------------------------------------- texts

// A label at an anchor, turned by Angle tenths of a degree anticlockwise,
// drawn in the layer's font (context.TextFont) with baseline alignment.
class TText : public TBaseObject {
public:
    TText() = default;
    TText(TStream& stream, TAbstractItem* owner);  // class id 104
    explicit TText(TReader& reader);                // type code 1007

    void CheckStore() const override;
    void CheckFiler(const TFileContext& context) const override;

    // Nothing when the font's height is 4 pixels or less. The font record
    // is never changed: the angle goes into a copy.
    void Draw(const TDrawContext& context) const override;
    // The anchor, or a corner of the box estimated from the font height.
    bool InView(const TDrawContext& context) override;
    // Measures the text in context.TextDC (the layer's font selected there
    // by the caller); no TextDC, no hit. index is not used.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;
    bool InRect(const TDrawContext& context, const TRect& r) override;

    // An oblique cross of half size 3 in SelectColour at (sx, sy).
    static void DrawAnchorMark(const TDrawContext& context, int32_t sx, int32_t sy);

    std::string Text;  // code page 1251; empty for none
    int32_t Angle = 0;

protected:
    TText(const TText&) = default;
    TBaseObject* CreateCopy() const override { return new TText(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
    bool TextInView(const TDrawContext& context) const;
    // The label's frame in device pixels, measured in dc.
    void DrawFrame(const TDrawContext& context, TDeviceContext& dc, int32_t sx, int32_t sy) const;
};

// ---------------------------------------------------------------- signs

// A point drawn by the layer's sign procedure.
class TSign : public TBaseObject {
public:
    TSign() = default;
    TSign(TStream& stream, TAbstractItem* owner);  // class id 106
    explicit TSign(TReader& reader);                // type code 1008

    void CheckFiler(const TFileContext& context) const override;

    // Nothing at all without context.LayerProc.
    void Draw(const TDrawContext& context) const override;
    // The tolerance square and the sign square (half side SymbolSize x 250)
    // overlap by a corner of either, bounds included.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;

    int32_t SignNumber = 0;

protected:
    TSign(const TSign&) = default;
    TBaseObject* CreateCopy() const override { return new TSign(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
    void DrawSign(const TDrawContext& context, TSymbolProc proc, int32_t size, int32_t sx, int32_t sy) const;
};

// A sign carrying two further values through every form.
class TExactPoint : public TSign {
public:
    TExactPoint() = default;
    TExactPoint(TStream& stream, TAbstractItem* owner);  // class id 109
    explicit TExactPoint(TReader& reader);                // type code 1012

    int32_t Extra1 = 0;
    int32_t Extra2 = 0;

protected:
    TExactPoint(const TExactPoint&) = default;
    TBaseObject* CreateCopy() const override { return new TExactPoint(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
};

// What style scaling converted, so that converting back gives exactly the
// value read from the file (see LayerOps.h). Layers and styled objects
// keep their own.
struct TStyleMemo {
    bool Set = false;
    int16_t Kind = 0;
    float Factor = 0;
    int32_t FileValue = 0;
    int32_t DrawValue = 0;
};

// ---------------------------------------------------------------- styled objects
//
// In a layer whose context has OwnAttributes set they draw with their own
// colour, width, style, size and label; otherwise like their plain parent.
// Their own fields follow the parent's in every stored form.

class TPolyLineEx : public TPolyLine {
public:
    TPolyLineEx() = default;
    TPolyLineEx(TStream& stream, TAbstractItem* owner);  // class id 101
    explicit TPolyLineEx(TReader& reader);                // type code 1004

    void CheckStore() const override;
    void CheckFiler(const TFileContext& context) const override;
    void Draw(const TDrawContext& context) const override;

    TColorRef Color = 0;
    int32_t Width = 0;     // tenths: pixels = Width x SizeScale / 10
    TStyleMemo WidthMemo;  // run time only
    int32_t PenStyle = 0;  // 0..100 pen style, above: library line PenStyle - 100
    std::string Label;
    int32_t ValueMode = 0;  // 0 none, 1 Value, 2 Values (one per point)
    int32_t Value = 0;
    // Stored as exactly Count() values: missing ones as 0, surplus ones
    // dropped, so a record always reads back.
    std::vector<int32_t> Values;
    uint32_t Extra = 0;

protected:
    TPolyLineEx(const TPolyLineEx&) = default;
    TBaseObject* CreateCopy() const override { return new TPolyLineEx(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
};

class TPolygonEx : public TPolygon {
public:
    TPolygonEx() = default;
    TPolygonEx(TStream& stream, TAbstractItem* owner);  // class id 103
    explicit TPolygonEx(TReader& reader);                // type code 1022

    void CheckStore() const override;
    void CheckFiler(const TFileContext& context) const override;
    void Draw(const TDrawContext& context) const override;

    TColorRef FillColor = 0;
    TColorRef OutlineColor = 0;
    int32_t FillStyle = 0;  // -2 none, -1 solid, 0..100 hatch, above: library fill FillStyle - 100
    std::string Label;
    uint32_t OutlinePen = 0;  // low 16 bits width in pixels, high 16 bits pen style

protected:
    TPolygonEx(const TPolygonEx&) = default;
    TBaseObject* CreateCopy() const override { return new TPolygonEx(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
};

class TTextEx : public TText {
public:
    TTextEx() = default;
    TTextEx(TStream& stream, TAbstractItem* owner);  // class id 105
    explicit TTextEx(TReader& reader);                // type code 1023

    void CheckFiler(const TFileContext& context) const override;
    void Draw(const TDrawContext& context) const override;
    // Measures with its own size (whatever the mode) in context.TextDC,
    // starting from context.TextFont; the caller's font is put back.
    bool HitTest(const TDrawContext& context, int32_t x, int32_t y, int32_t& index) const override;

    TColorRef TextColor = 0;
    int32_t Size = 10;  // font height in tenths of a size unit
    TStyleMemo SizeMemo;  // run time only
    uint32_t Extra = 0;

protected:
    TTextEx(const TTextEx&) = default;
    TBaseObject* CreateCopy() const override { return new TTextEx(*this); }
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
};

class TSignEx : public TSign {
public:
    TSignEx() = default;
    TSignEx(TStream& stream, TAbstractItem* owner);  // class id 107
    explicit TSignEx(TReader& reader);                // type code 1020

    void CheckStore() const override;
    void CheckFiler(const TFileContext& context) const override;
    void Draw(const TDrawContext& context) const override;

    std::string Label;
    TPoint LabelOffset;  // world units from the anchor, stored unconverted
    int32_t DllSignNumber = 0;  // the library's "SIGN" n
    int32_t Size = 1;           // map units with flag 8, else screen units
    TStyleMemo SizeMemo;        // run time only
    uint32_t Extra = 0;

protected:
    TSignEx(const TSignEx&) = default;
    TBaseObject* CreateCopy() const override { return new TSignEx(*this); }
    // Size is stored before DllSignNumber.
    void StoreFields(TStream& stream) const override;
    void WriteFilerFields(TWriter& writer) const override;
};

} // namespace tarn
