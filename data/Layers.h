#pragma once
// The layer tree of a map: layers of map objects with their drawing style
// (TLayer, and TInfoLayer whose objects link to information cards), layer
// groups (TGapLayer) and the map itself (TMap), each in its stream form
// (".mts" blocks), its integer filer form (".prj") and its 16-bit filer
// form (".map" sheets).
//
// A layer holds map objects only, a map or a group holds layers and groups
// only: Add refuses anything else and every reader checks what it read, so
// the drawing and the searches can rely on it.
//
// A text layer keeps its font as a member (TextFont); the 32-bit field that
// once referred to it (Colour2 of kinds 6 and 11) has no meaning for them
// and is written as 0.
#include "data/MapObj.h"
#include "data/cObjects.h"
#include "platform/gdi/Gdi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Layer kinds.
constexpr int16_t LayerKindLine = 0;
constexpr int16_t LayerKindPolygon = 1;
constexpr int16_t LayerKindText = 6;
constexpr int16_t LayerKindSign = 7;
constexpr int16_t LayerKindStyledLine = 9;
constexpr int16_t LayerKindStyledPolygon = 10;
constexpr int16_t LayerKindStyledText = 11;
constexpr int16_t LayerKindStyledSign = 12;
constexpr int16_t LayerKindBitmap = 13;
constexpr int16_t LayerKindRaster = 14;  // drawn as a bitmap layer

constexpr bool IsLineKind(int kind) { return kind == LayerKindLine || kind == LayerKindStyledLine; }
constexpr bool IsPolygonKind(int kind) { return kind == LayerKindPolygon || kind == LayerKindStyledPolygon; }
constexpr bool IsTextKind(int kind) { return kind == LayerKindText || kind == LayerKindStyledText; }
constexpr bool IsSignKind(int kind) { return kind == LayerKindSign || kind == LayerKindStyledSign; }
constexpr bool IsBitmapKind(int kind) { return kind == LayerKindBitmap || kind == LayerKindRaster; }

// Bits of the layers' and groups' Flags.
constexpr uint32_t LayerFlagHidden = 0x001;
constexpr uint32_t LayerFlagTransient = 0x004;  // cleared whenever a layer is read from a project
constexpr uint32_t LayerFlagOwnAttributes = 0x008;
constexpr uint32_t LayerFlagSignMapUnits = 0x020;
constexpr uint32_t LayerFlagOpaqueBitmap = 0x040;
constexpr uint32_t LayerFlagTransparentBitmap = 0x100;
constexpr uint32_t LayerFlagShowLabels = 0x400;

// Colour2 of a polygon layer that draws no outline.
constexpr int32_t NoOutlineColour = 0xFFFFFF;

// Fixed-size name fields: at most N - 1 bytes and a terminating zero.
constexpr std::size_t RefNameSize = 13;
constexpr std::size_t LayerTextSize = 100;

// The label font a layer read from a sheet gets: Courier New, 16 by 10.
TLogFont DefaultLabelFont();

// ---------------------------------------------------------------- layers

// The part TLayer and TInfoLayer share: the layer's drawing style. The
// drawing, the searches and the layer-wide operations take either.
class TCustomLayer : public TCollection {
public:
    ~TCustomLayer() override;

    // Refuses (EObjList) anything but a map object.
    int32_t Add(TAbstractItem* item) override;
    // An object other lists share (RefCount above 0) loses one reference
    // instead of being freed, so a shared object is freed exactly once.
    void FreeItem(TAbstractItem* item) override;

    TBaseObject* Object(int32_t index) const { return static_cast<TBaseObject*>(Items[static_cast<std::size_t>(index)]); }
    // The first object with that sheet identifier and code, or null.
    TBaseObject* FindObject(int32_t sheetID, int32_t code) const;

    std::string Name;
    uint32_t Flags = 0;
    int16_t Kind = LayerKindLine;
    int16_t LayerParam = 100;      // kept and exchanged
    int32_t Colour = 0x808080;
    int32_t Colour2 = 0;           // outline colour; no meaning for text layers
    int32_t Style1 = 1;
    int32_t Style2 = 0;
    int32_t Style3 = 0;
    int32_t ScaleLimit = 0;        // largest scale denominator drawn
    int32_t LayerId = 0;
    uint16_t LargestCode = 0;      // run time only: the model's largest object code
    TLogFont TextFont{};           // the font of text layers (kinds 6 and 11)
    TLogFont LabelFont{};
    int32_t LabelColour = 0;
    int32_t LayerTag = 0;          // kept and exchanged
    std::string LayerText;         // kept and exchanged; at most 99 bytes
    TStyleMemo StyleMemo;

    // The searches' summary of the objects' extents, one entry per object.
    // Every marking of a view makes the entries of the objects in view, and
    // of objects new to the list, again; a search that may reach beyond the
    // marked view makes every entry again first. Code that moves an
    // object's points and searches before the next drawing calls
    // InvalidateHitIndex.
    struct THitEntry {
        int32_t MinX, MinY, MaxX, MaxY;  // an outline's extent, a label's or sign's anchor
        int32_t Reach;                   // a label's length; -1 outline, -2 sign, -3 anything else
    };
    //
    // A marking asks only the objects whose entry does not put them apart
    // from the view: code that moves an object's points or anchor in place
    // calls InvalidateHitIndex before the next drawing too.
    void InvalidateHitIndex() const
    {
        HitIndex.clear();
        HitObjects.clear();
        HitFlagged.clear();
        HitBlocks.clear();
        HitViewMarked = false;
    }
    mutable std::vector<THitEntry> HitIndex;
    mutable std::vector<TAbstractItem*> HitObjects;  // the objects the entries stand for
    mutable TRect HitView;                           // the world rectangle of the last marking
    mutable bool HitViewMarked = false;
    // Whose in-view flag the last marking left set, and the count of flag
    // sets it left (InViewFlagSets): while that count stands, the flags of
    // the others are still clear and need not be looked at.
    mutable std::vector<uint8_t> HitFlagged;
    mutable uint64_t HitFlagSets = UINT64_MAX;
    // The entries of each run of HitBlockSize objects summed up, so that a
    // marking passes over a run far from the view at once.
    static constexpr int32_t HitBlockSize = 64;
    struct THitBlock {
        bool Valid = false;    // summed from entries that are all their objects' own
        bool Any = false;      // holds an entry of a class the sum cannot speak for
        bool Flagged = true;   // holds an object the last marking flagged in view
        int32_t MinX = INT32_MAX, MinY = INT32_MAX, MaxX = INT32_MIN, MaxY = INT32_MIN;  // outlines, anchors
        int32_t LongestLabel = -1;  // of the labels, whose anchors the box holds too
    };
    mutable std::vector<THitBlock> HitBlocks;

protected:
    TCustomLayer() = default;
    TCustomLayer(TStream& stream, TAbstractItem* owner);
    // Checks what the stream constructor read.
    void CheckLoadedItems(const TStream& stream) const;
    // Reads the object collection of a filer form; a non-object is a format error.
    void ReadObjects16(TReader& reader);
    void ReadObjects(TReader& reader);
    // Refuses (EWriteError) fields that a form cannot hold; called before writing.
    void CheckCommonFields() const;
};

class TLayer : public TCustomLayer {
public:
    TLayer();
    TLayer(TStream& stream, TAbstractItem* owner);  // class id 111
    struct FromMap16 {};
    explicit TLayer(TReader& reader);               // type code 1009, project form
    TLayer(TReader& reader, FromMap16);             // type code 1009, sheet form

    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;
    void WriteFiler16(TWriter& writer) const override;

    std::string RefName1;  // each at most 12 bytes; "Отсутствует" by default
    std::string RefName2;
    std::string RefName3;
};

class TInfoLayer : public TCustomLayer {
public:
    TInfoLayer();
    TInfoLayer(TStream& stream, TAbstractItem* owner);  // class id 116
    explicit TInfoLayer(TReader& reader);               // type code 1203, project form

    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;
    // Written only: no sheet reads an information layer.
    void WriteFiler16(TWriter& writer) const override;

    int32_t InfoValue1 = 0;
    int32_t InfoValue2 = 0;
    std::string InfoText;  // not in the project form
};

// A layer group: holds layers and groups.
class TGapLayer : public TCollection {
public:
    TGapLayer() = default;
    TGapLayer(TStream& stream, TAbstractItem* owner);  // class id 112
    explicit TGapLayer(TReader& reader);               // type code 1010, project form
    TGapLayer(TReader& reader, TLayer::FromMap16);     // type code 1010, sheet form

    int32_t Add(TAbstractItem* item) override;

    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;
    void WriteFiler16(TWriter& writer) const override;

    std::string Name;
    uint32_t Flags = 0;     // 1 hidden
    int32_t GroupTag = 0;   // stream form only
    std::string GroupText;  // stream form only; at most 99 bytes
};

// ---------------------------------------------------------------- the map

// Eight integers, four reals and one more integer; the model gives them
// their meaning. Sheets store the reals as 6-byte reals.
struct TMapParams {
    std::array<int32_t, 8> Ints{};
    std::array<double, 4> Reals{};
    int32_t Last = 0;
    friend bool operator==(const TMapParams&, const TMapParams&) = default;
};

// The 8 bytes that begin a map in a project and in a sheet.
constexpr char MapMagic[] = "TARN2.01";
// The older sheet magic, followed by six more fields.
constexpr char OldSheetMagic[] = "TS 4.01 ";
constexpr std::size_t MapMagicSize = 8;

class TMap : public TCollection {
public:
    TMap();
    // Stream form (class id 110): the layers, then the fields; no magic.
    TMap(TStream& stream, TAbstractItem* owner);
    // Project form: "TARN2.01", the layers, the fields.
    explicit TMap(TReader& reader);
    // Sheet form: "TARN2.01" or "TS 4.01 ", the layers, the fields with
    // 6-byte reals, and after the old magic six more fields.
    TMap(TReader& reader, TLayer::FromMap16);

    int32_t Add(TAbstractItem* item) override;

    // Every writer stores the context's MapScale and checks the whole tree
    // (layers, groups and objects) before it writes a byte.
    void Store(TStream& stream) const override;
    void WriteFiler(TWriter& writer) const override;
    void WriteFiler16(TWriter& writer) const override;

    std::string Name;
    int32_t Flags = 0;
    TMapParams MapParams;
    std::array<uint8_t, 8> MapExtra{};  // sheets carry the first 4 bytes
    std::string ShortName;              // at most 12 bytes
    // Read only from sheets with the old magic.
    std::unique_ptr<TCollection> Extras;
    std::string ExtraText1;
    std::string ExtraText2;
    std::string ExtraText3;
    std::array<uint8_t, 8> ExtraData{};
    uint16_t ExtraWord = 0;

private:
    void ReadFields(TStream& stream);
    void WriteFields(TStream& stream) const;
};

// Whether an item may sit in a map or a group: a layer or a group.
bool IsLayerTreeItem(const TAbstractItem* item);
inline TCustomLayer* AsLayer(TAbstractItem* item) { return dynamic_cast<TCustomLayer*>(item); }
inline const TCustomLayer* AsLayer(const TAbstractItem* item) { return dynamic_cast<const TCustomLayer*>(item); }

// The 6-byte real of sheets: exponent byte biased by 129 (0: the value 0),
// 39 mantissa bits below an implicit 1, least significant byte first, the
// sign in the top bit of the last byte.
double Real48ToDouble(const uint8_t bytes[6]);
// Rounds to the nearest 6-byte real (halves to even); values too small
// become 0; EWriteError for infinities, NaN and values too large.
void DoubleToReal48(double value, uint8_t bytes[6]);

// The sheet-form entry of the type-code table for a layer or a group.
template <class T>
TFilerFormFns Map16FilerFns()
{
    return {[](TReader& r) -> TAbstractItem* { return new T(r, TLayer::FromMap16{}); },
            [](TWriter& w, const TAbstractItem& item) { static_cast<const T&>(item).WriteFiler16(w); }};
}

} // namespace tarn
