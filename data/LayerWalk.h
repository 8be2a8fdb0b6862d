#pragma once
// Walking a map's layer tree: layer lists for the legend and the layer
// interface, finding layers by name or identifier, and the hit tests
// (objects at a point, objects in a rectangle).
//
// The walk keeps no state outside the call, so walks may nest. Items are
// visited in list order, a group before its contents; a hidden group
// (flag 1) is descended into only when hidden items are included.
#include "data/DrawContext.h"
#include "data/Layers.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn {

// Groups nested deeper than this stop a walk with an ETarnError.
constexpr int MaxLayerTreeDepth = 256;

// A hit: the layer and the object; neither is owned. Made with no
// reference count and no owner.
class TInsideObj : public TAbstractItem {
public:
    TInsideObj(TCustomLayer* layer, TBaseObject* object) : Layer(layer), Object(object) {}
    TCustomLayer* Layer = nullptr;
    TBaseObject* Object = nullptr;
};

// TItem entries (name, depth, value, the item) appended to list; the list
// owns them. The map's own items have depth 1.
//   ListLayerTree: the map itself first when it has a name (depth 0, value
//   0), then every layer (value: the low byte of its flags) and group
//   (value 2, hidden 3), hidden ones included.
//   ListAllLayers: every layer, hidden ones included.
//   ListVisibleLayers: the layers that are not hidden and not in a hidden group.
void ListLayerTree(const TMap& map, TCollection& list);
void ListAllLayers(const TMap& map, TCollection& list);
void ListVisibleLayers(const TMap& map, TCollection& list);

// The layers of the tree in walk order, without making entries: the form
// the drawing and the searches use.
void CollectLayers(const TCollection& tree, bool includeHidden, std::vector<TCustomLayer*>& layers);

// The last layer or group whose name is exactly name; the map itself when
// none is (callers address the map by a name that no layer has).
TCollection* FindLayerByName(TMap& map, std::string_view name);
// The map or group that holds the last item named name; the map when none.
TCollection* FindLayerOwner(TMap& map, std::string_view name);
// The last layer with that identifier, or null.
TCustomLayer* FindLayerById(const TMap& map, int32_t layerId);

// Finds the objects of many keys in one map: the layer of the last key is
// kept, and a layer asked for more than a few objects is indexed by sheet
// and code once (the first of equal keys, as the layer's own search finds
// it). The map's layers and objects must not change while it is used.
class TObjectFinder {
public:
    explicit TObjectFinder(const TMap& map) : Map(map) {}
    TBaseObject* Find(int32_t layerId, int32_t sheetId, int32_t code, const TCustomLayer** layer = nullptr);

private:
    struct TLayerIndex {
        int32_t Searches = 0;
        std::vector<std::pair<uint64_t, TBaseObject*>> Objects;  // sorted by key, then by place
    };
    const TMap& Map;
    bool LayerKnown = false;
    int32_t LastLayerId = 0;
    TCustomLayer* LastLayer = nullptr;
    TLayerIndex* LastIndex = nullptr;
    std::unordered_map<const TCustomLayer*, TLayerIndex> Layers;
};

// Bits of FindObjectsAt's flags.
constexpr uint32_t FindAll = 0x001;          // every hit; else the top object of the top layer that has one
constexpr uint32_t FindAnyKind = 0x002;
constexpr uint32_t FindPolygons = 0x004;     // kinds 1, 10
constexpr uint32_t FindLines = 0x008;        // kinds 0, 9
constexpr uint32_t FindTexts = 0x010;        // kinds 6, 11
constexpr uint32_t FindSigns = 0x020;        // kinds 7, 12
constexpr uint32_t FindBitmaps = 0x040;      // kind 13
constexpr uint32_t FindAllButTexts = 0x080;  // every kind but 6
constexpr uint32_t FindHidden = 0x100;       // hidden layers too; no scale, in-view or temporary test

// Appends a TInsideObj per object hit at the world point, top layer first
// and in each layer the upper (later) object first; true when anything was
// found. Hits follow each object's HitTest with the shared HitTolerance
// (which the caller sets), and for polygon layers also a point inside a
// polygon. Objects with flag 0x2000 are never hit. The context needs
// Scale, WorldRect, ClientRect and MmPerPixel; texts are measured in their
// layer's font on a measuring device context of our own.
bool FindObjectsAt(const TMap& map, const TDrawContext& context, uint32_t flags, const TPoint& point,
                   TCollection& result);

// Appends a TInsideObj per object of the visible layers whose InRect
// answers true for the world rectangle, top layer first; objects with flag
// 0x2000 are left out. True when result is not empty afterwards.
bool FindObjectsInRect(const TMap& map, const TDrawContext& context, const TRect& rect, TCollection& result);

// The point search's entry for an object (see TCustomLayer::HitIndex).
TCustomLayer::THitEntry HitEntryOf(const TBaseObject* object);
// The sum of a run of entries: valid only when each is its object's own.
void SumHitBlock(const TCustomLayer& layer, std::size_t block);
// True when every object of a valid block surely lies outside the view.
inline bool BlockOutsideView(const TCustomLayer::THitBlock& b, const TRect& r, int32_t fontHeight);

// Reach of the entries that are no label: an outline's extent, a sign's
// anchor, anything else (always asked).
constexpr int32_t ReachOutline = -1, ReachSign = -2, ReachAny = -3;

// True when the object of a fresh entry surely lies outside the view:
// its InView, with a layer font of that height, would answer false.
inline bool OutsideView(const TCustomLayer::THitEntry& e, const TRect& r, int32_t fontHeight)
{
    switch (e.Reach) {
    case ReachAny:
        return false;
    case ReachOutline:  // TPolyLine::InView and TPolygon::InView: the bounds apart
        return e.MinX > r.Right || e.MaxX < r.Left || e.MinY > r.Top || e.MaxY < r.Bottom;
    case ReachSign:  // TBaseObject::InView: the anchor in the closed rectangle
        return !(r.Left <= e.MinX && e.MinX <= r.Right && r.Bottom <= e.MinY && e.MinY <= r.Top);
    default: {  // TText::TextInView, as it measures
        if (r.Left <= e.MinX && e.MinX <= r.Right && r.Bottom <= e.MinY && e.MinY <= r.Top) return false;
        const int64_t height = fontHeight;
        const long double w = static_cast<long double>(e.Reach) * std::llabs(height * 60);
        const long double reach = w + std::llabs(height * 100) + 2;
        return e.MinX + reach < r.Left || e.MinX - reach > r.Right || e.MinY + reach < r.Bottom ||
               e.MinY - reach > r.Top;
    }
    }
}

// The pixel size of a layer's signs as the layer pass draws them.
int32_t SignPixelSize(const TCustomLayer& layer, const TDrawContext& context);

// round(value), refusing (ERangeError) what does not fit 32 bits.
int32_t CheckedRound(long double value, const char* what);

inline bool BlockOutsideView(const TCustomLayer::THitBlock& b, const TRect& r, int32_t fontHeight)
{
    if (!b.Valid || b.Any) return false;
    long double reach = 0;
    if (b.LongestLabel >= 0) {
        const int64_t height = fontHeight;
        reach = static_cast<long double>(b.LongestLabel) * std::llabs(height * 60) + std::llabs(height * 100) + 2;
    }
    return b.MinX - reach > r.Right || b.MaxX + reach < r.Left || b.MinY - reach > r.Top || b.MaxY + reach < r.Bottom;
}

} // namespace tarn
