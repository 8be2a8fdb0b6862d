#include "LayerWalk.h"
#include "Errors.h"
#include "Utils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <typeinfo>

namespace tarn {

namespace {

enum class TWalkMode { Tree, All, Visible };

// One recursive walk; visit(item, depth) for every item reached.
template <class Visit>
void Walk(const TCollection& tree, bool includeHidden, int depth, Visit& visit)
{
    if (depth > MaxLayerTreeDepth)
        throw ETarnError("layer groups nested more than " + std::to_string(MaxLayerTreeDepth) + " deep");
    for (int32_t i = 0; i < tree.Count; ++i) {
        TAbstractItem* item = tree.Items[static_cast<std::size_t>(i)];
        visit(item, depth);
        if (AsLayer(item)) continue;
        if (const TGapLayer* group = dynamic_cast<const TGapLayer*>(item))
            if (includeHidden || !(group->Flags & LayerFlagHidden)) Walk(*group, includeHidden, depth + 1, visit);
    }
}

const std::string& NameOf(const TAbstractItem* item)
{
    static const std::string none;
    if (const TCustomLayer* l = AsLayer(item)) return l->Name;
    if (const TGapLayer* g = dynamic_cast<const TGapLayer*>(item)) return g->Name;
    return none;
}

void ListLayers(const TMap& map, TCollection& list, TWalkMode mode)
{
    if (mode == TWalkMode::Tree && !map.Name.empty())
        list.Insert(new TItem(const_cast<TMap*>(&map), map.Name, 0, 0));
    auto visit = [&](TAbstractItem* item, int depth) {
        if (const TCustomLayer* layer = AsLayer(item)) {
            if (mode == TWalkMode::Visible && (layer->Flags & LayerFlagHidden)) return;
            list.Insert(new TItem(item, layer->Name, depth, static_cast<uint8_t>(layer->Flags)));
        } else if (mode == TWalkMode::Tree) {
            if (const TGapLayer* group = dynamic_cast<const TGapLayer*>(item))
                list.Insert(new TItem(item, group->Name, depth, (group->Flags & LayerFlagHidden) ? 3 : 2));
        }
    };
    Walk(map, mode != TWalkMode::Visible, 1, visit);
}

// Scale denominator of the context: round(Scale / MmPerPixel) in 64 bits;
// a scale that cannot be divided counts as larger than any limit.
int64_t Denominator(const TDrawContext& c)
{
    long double n = static_cast<long double>(c.Scale) / c.MmPerPixel;
    if (!(c.MmPerPixel > 0) || !std::isfinite(n) || std::fabs(n) > 9.0e18L)
        return std::numeric_limits<int64_t>::max();
    return RoundEven(n);
}

bool KindAccepted(uint32_t flags, int kind)
{
    return (flags & FindAnyKind) || ((flags & FindPolygons) && IsPolygonKind(kind)) ||
           ((flags & FindLines) && IsLineKind(kind)) || ((flags & FindTexts) && IsTextKind(kind)) ||
           ((flags & FindSigns) && IsSignKind(kind)) || ((flags & FindBitmaps) && kind == LayerKindBitmap) ||
           ((flags & FindAllButTexts) && kind != LayerKindText);
}

// The device context texts are measured on: never drawn into, kept for the
// life of the process.
TDeviceContext& MeasuringDC()
{
    static TDeviceContext* dc = new TDeviceContext();
    return *dc;
}

// The point search tests each object's entry first: outlines farther than
// the tolerance from the point, and labels farther than their longest
// possible box, are never hit. Entries of classes it does not know always
// pass. Type records are compared by address: a class whose record lies
// elsewhere only misses the shortcut.

} // namespace

TCustomLayer::THitEntry HitEntryOf(const TBaseObject* o)
{
    constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
    TCustomLayer::THitEntry e{lo, lo, hi, hi, ReachAny};
    const std::type_info* type = &typeid(*o);
    if (type == &typeid(TPolyLine) || type == &typeid(TPolygon) || type == &typeid(TPolyLineEx) ||
        type == &typeid(TPolygonEx)) {
        const std::vector<TPoint>& pts = static_cast<const TPolyLine*>(o)->Points;
        if (pts.empty()) return e;  // nothing to hit, but let the object say so
        e.Reach = ReachOutline;
        e.MinX = e.MaxX = pts[0].X;
        e.MinY = e.MaxY = pts[0].Y;
        for (const TPoint& p : pts) {
            e.MinX = std::min(e.MinX, p.X);
            e.MaxX = std::max(e.MaxX, p.X);
            e.MinY = std::min(e.MinY, p.Y);
            e.MaxY = std::max(e.MaxY, p.Y);
        }
    } else if (type == &typeid(TText)) {
        const auto* t = static_cast<const TText*>(o);
        e = {t->X, t->Y, t->X, t->Y, static_cast<int32_t>(std::min<std::size_t>(t->Text.size(), INT32_MAX))};
    } else if (type == &typeid(TSign) || type == &typeid(TSignEx) || type == &typeid(TExactPoint)) {
        e = {o->X, o->Y, o->X, o->Y, ReachSign};
    }
    return e;
}

void SumHitBlock(const TCustomLayer& layer, std::size_t block)
{
    TCustomLayer::THitBlock sum;
    const std::size_t begin = block * TCustomLayer::HitBlockSize;
    const std::size_t end = std::min<std::size_t>(begin + TCustomLayer::HitBlockSize, layer.HitIndex.size());
    sum.Valid = end <= layer.HitObjects.size() && end <= std::size_t(layer.Count);
    sum.Flagged = false;
    for (std::size_t k = begin; k < end && sum.Valid; ++k) {
        const TCustomLayer::THitEntry& e = layer.HitIndex[k];
        sum.Valid = layer.HitObjects[k] == layer.Items[k];
        sum.Flagged = sum.Flagged || (k < layer.HitFlagged.size() && layer.HitFlagged[k]);
        if (e.Reach == ReachAny) sum.Any = true;
        if (e.Reach >= 0) sum.LongestLabel = std::max(sum.LongestLabel, e.Reach);
        sum.MinX = std::min(sum.MinX, e.MinX);
        sum.MinY = std::min(sum.MinY, e.MinY);
        sum.MaxX = std::max(sum.MaxX, e.MaxX);
        sum.MaxY = std::max(sum.MaxY, e.MaxY);
    }
    layer.HitBlocks[block] = sum;
}

namespace {

// The layer's entries. They hold for every object that can be found in
// the marked view when the list is the one marked: a search within that
// view uses them as they are; any other search makes them all again.
const std::vector<TCustomLayer::THitEntry>& HitIndexOf(const TCustomLayer& layer, bool withinMarkedView)
{
    const std::size_t n = static_cast<std::size_t>(layer.Count);
    if (withinMarkedView && layer.HitViewMarked && layer.HitObjects.size() == n && layer.HitIndex.size() == n &&
        (n == 0 || std::memcmp(layer.HitObjects.data(), layer.Items.data(), n * sizeof(TAbstractItem*)) == 0))
        return layer.HitIndex;
    layer.HitObjects.assign(layer.Items.begin(), layer.Items.begin() + layer.Count);
    layer.HitBlocks.clear();
    layer.HitIndex.resize(n);
    for (std::size_t i = 0; i < n; ++i) layer.HitIndex[i] = HitEntryOf(layer.Object(int32_t(i)));
    return layer.HitIndex;
}

bool Contains(const TRect& outer, const TRect& inner)
{
    return inner.Left >= outer.Left && inner.Right <= outer.Right && inner.Bottom >= outer.Bottom &&
           inner.Top <= outer.Top;
}

struct TReach {
    int64_t Tolerance = 0;
    int64_t TextPerChar = 0;  // world units a character can take, at most
    int64_t TextCell = 0;     // world units of the label's height
    int64_t SignHalf = 0;     // half the side of a sign's square
};

// Whether the object of the entry can be hit at (x, y): outlines farther
// than the tolerance from the point, labels farther than their longest
// possible box (turned any way, it lies within its width plus its height of
// the anchor) and signs farther than their square are not. Type records are
// compared by address: a class whose record lies elsewhere only misses the
// shortcut.
inline bool MayHit(const TCustomLayer::THitEntry& e, int64_t x, int64_t y, const TReach& r)
{
    const int64_t reach = r.Tolerance + (e.Reach >= 0 ? e.Reach * r.TextPerChar + r.TextCell : 0) +
                          (e.Reach == ReachSign ? r.SignHalf : 0);
    return (x >= e.MinX - reach) & (x <= e.MaxX + reach) & (y >= e.MinY - reach) & (y <= e.MaxY + reach);
}

// Whether the object of the entry can lie in r: an outline lies there only
// with every point strictly inside, a sign with its anchor in the closed
// rectangle, a label only when its box (each character charWidth wide and
// height high, turned any way) can reach r. Other classes always pass.
inline bool MayLieIn(const TCustomLayer::THitEntry& e, const TRect& r, int64_t charWidth, int64_t height)
{
    if (e.Reach == ReachOutline) return e.MinX > r.Left && e.MaxX < r.Right && e.MinY > r.Bottom && e.MaxY < r.Top;
    if (e.Reach == ReachSign) return e.MinX >= r.Left && e.MinX <= r.Right && e.MinY >= r.Bottom && e.MinY <= r.Top;
    if (e.Reach < 0) return true;
    const int64_t reach = e.Reach * charWidth + height + 1;
    return e.MinX >= r.Left - reach && e.MinX <= r.Right + reach && e.MinY >= r.Bottom - reach &&
           e.MinY <= r.Top + reach;
}

} // namespace

int32_t CheckedRound(long double value, const char* what)
{
    if (!std::isfinite(value) || value >= 2147483647.5L || value < -2147483648.5L)
        throw ERangeError(std::string("Range check error: ") + what + " does not fit 32 bits");
    return static_cast<int32_t>(RoundEven(value));
}

void ListLayerTree(const TMap& map, TCollection& list) { ListLayers(map, list, TWalkMode::Tree); }
void ListAllLayers(const TMap& map, TCollection& list) { ListLayers(map, list, TWalkMode::All); }
void ListVisibleLayers(const TMap& map, TCollection& list) { ListLayers(map, list, TWalkMode::Visible); }

void CollectLayers(const TCollection& tree, bool includeHidden, std::vector<TCustomLayer*>& layers)
{
    layers.clear();
    auto visit = [&](TAbstractItem* item, int) {
        if (TCustomLayer* layer = AsLayer(item))
            if (includeHidden || !(layer->Flags & LayerFlagHidden)) layers.push_back(layer);
    };
    Walk(tree, includeHidden, 1, visit);
}

TCollection* FindLayerByName(TMap& map, std::string_view name)
{
    TCollection* found = &map;
    auto visit = [&](TAbstractItem* item, int) {
        if (IsLayerTreeItem(item) && NameOf(item) == name) found = static_cast<TCollection*>(item);
    };
    Walk(map, true, 1, visit);
    return found;
}

TCollection* FindLayerOwner(TMap& map, std::string_view name)
{
    TCollection* owner = &map;
    // The walk with the parent of each item.
    struct Rec {
        static void Go(TCollection& tree, std::string_view name, int depth, TCollection*& owner)
        {
            if (depth > MaxLayerTreeDepth)
                throw ETarnError("layer groups nested more than " + std::to_string(MaxLayerTreeDepth) + " deep");
            for (int32_t i = 0; i < tree.Count; ++i) {
                TAbstractItem* item = tree.Items[static_cast<std::size_t>(i)];
                if (IsLayerTreeItem(item) && NameOf(item) == name) owner = &tree;
                if (TGapLayer* group = dynamic_cast<TGapLayer*>(item)) Go(*group, name, depth + 1, owner);
            }
        }
    };
    Rec::Go(map, name, 1, owner);
    return owner;
}

TCustomLayer* FindLayerById(const TMap& map, int32_t layerId)
{
    TCustomLayer* found = nullptr;
    auto visit = [&](TAbstractItem* item, int) {
        if (TCustomLayer* layer = AsLayer(item))
            if (layer->LayerId == layerId) found = layer;
    };
    Walk(map, true, 1, visit);
    return found;
}

TBaseObject* TObjectFinder::Find(int32_t layerId, int32_t sheetId, int32_t code, const TCustomLayer** layer)
{
    // Searching a layer from the start costs half its objects; after this
    // many searches an index of it has paid for itself.
    constexpr int32_t SearchesBeforeIndex = 32;
    if (!LayerKnown || layerId != LastLayerId) {
        LastLayer = FindLayerById(Map, layerId);
        LastLayerId = layerId;
        LayerKnown = true;
        LastIndex = LastLayer ? &Layers[LastLayer] : nullptr;
    }
    if (layer) *layer = LastLayer;
    if (!LastLayer) return nullptr;
    auto pack = [](int32_t sheet, int32_t c) { return uint64_t(uint32_t(sheet)) << 32 | uint32_t(c); };
    TLayerIndex& index = *LastIndex;
    if (index.Searches < SearchesBeforeIndex) {
        if (++index.Searches < SearchesBeforeIndex || LastLayer->Count == 0)
            return LastLayer->FindObject(sheetId, code);
        index.Objects.reserve(std::size_t(LastLayer->Count));
        for (int32_t i = 0; i < LastLayer->Count; ++i) {
            TBaseObject* o = LastLayer->Object(i);
            index.Objects.emplace_back(pack(o->SheetID, o->Code), o);
        }
        // Stable: the first of equal keys stays first.
        std::stable_sort(index.Objects.begin(), index.Objects.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    const uint64_t key = pack(sheetId, code);
    auto found = std::lower_bound(index.Objects.begin(), index.Objects.end(), key,
                                  [](const auto& e, uint64_t k) { return e.first < k; });
    return found == index.Objects.end() || found->first != key ? nullptr : found->second;
}

int32_t SignPixelSize(const TCustomLayer& layer, const TDrawContext& c)
{
    if (layer.Flags & LayerFlagSignMapUnits)
        return CheckedRound(static_cast<long double>(layer.Style1) * (1000.0L / c.Scale) / 100, "sign size");
    if (!(c.MmPerPixel > 0)) return 0;
    return CheckedRound(2.0L * layer.Style1 / 120 / c.MmPerPixel, "sign size");
}

bool FindObjectsAt(const TMap& map, const TDrawContext& context, uint32_t flags, const TPoint& point,
                   TCollection& result)
{
    if (!(context.Scale > 0) || !std::isfinite(context.Scale)) return false;
    const bool hidden = (flags & FindHidden) != 0;
    const bool all = (flags & FindAll) != 0;
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, hidden, layers);
    const int64_t n = Denominator(context);
    bool found = false;
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        TCustomLayer& layer = **it;
        SetViewRect(context.WorldRect);
        if (!KindAccepted(flags, layer.Kind)) continue;
        if (!hidden && ((layer.Flags & LayerFlagHidden) || layer.ScaleLimit < n)) continue;

        TDrawContext c = context;
        c.SizeScale = 1000.0 / c.Scale;
        TLogFont font{};
        TGdiRef<TFont> previousFont;
        TDeviceContext* dc = nullptr;
        if (IsSignKind(layer.Kind)) {
            if (layer.Flags & LayerFlagSignMapUnits) c.Flags |= DrawFlagSignMapUnits;
            else c.Flags &= ~DrawFlagSignMapUnits;
            // The sign's hit square is its drawn square: half side SymbolSize x 250 world units.
            c.SymbolSize = CheckedRound(SignPixelSize(layer, c) * static_cast<long double>(c.Scale) / 500,
                                        "sign size");
        } else if (IsTextKind(layer.Kind)) {
            font = layer.TextFont;
            font.Height = CheckedRound(font.Height * static_cast<long double>(c.SizeScale) / 10, "font height");
            dc = &MeasuringDC();
            previousFont = dc->SelectFont(TFont::Create(font));
            c.TextFont = &font;
            c.TextDC = dc;
        }
        struct TRestoreFont {
            TDeviceContext* Dc;
            TGdiRef<TFont>& Old;
            ~TRestoreFont()
            {
                if (Dc) Dc->SelectFont(Old);
            }
        } restore{dc, previousFont};

        TReach reach;
        reach.Tolerance = std::llabs(int64_t(HitTolerance()));
        reach.SignHalf = std::llabs(int64_t(c.SymbolSize) * 250);
        if (dc) {
            // No character is wider than twice the larger of a wide letter and the cell.
            const TSize wide = dc->GetTextExtent("W");
            const long double unit = static_cast<long double>(c.Scale);
            // Capped so that a label's reach cannot overflow; a cap that large reaches everything.
            const long double cap = 0x1p31L;
            reach.TextCell = static_cast<int64_t>(std::min(cap, std::ceil(std::max(wide.Cy, 1) * unit)));
            reach.TextPerChar =
                static_cast<int64_t>(std::min(cap, std::ceil(2.0L * std::max({wide.Cx, wide.Cy, 1}) * unit)));
        }
        const bool polygons = IsPolygonKind(layer.Kind);
        const std::vector<TCustomLayer::THitEntry>& index =
            HitIndexOf(layer, !hidden && layer.HitView == context.WorldRect);
        for (int32_t i = layer.Count - 1; i >= 0; --i) {
            if (!MayHit(index[std::size_t(i)], point.X, point.Y, reach)) continue;
            TBaseObject* o = layer.Object(i);
            const uint32_t f = o->Flags();
            if (f & ObjFlagHidden) continue;
            if (!hidden && (f & ObjFlagTemporary)) continue;
            int32_t index = 0;
            bool hit = o->HitTest(c, point.X, point.Y, index);
            if (!hit && polygons)
                if (const TPolygon* polygon = dynamic_cast<const TPolygon*>(o))
                    hit = polygon->ContainsPoint(point.X, point.Y);
            // In view only matters for a hit; asked last, it costs nothing for the rest.
            if (hit && !hidden) hit = o->InView(c);
            if (!hit) continue;
            result.Insert(new TInsideObj(&layer, o));
            found = true;
            if (!all) break;
        }
        if (!all && found) break;
    }
    return found;
}

bool FindObjectsInRect(const TMap& map, const TDrawContext& context, const TRect& rect, TCollection& result)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        TCustomLayer& layer = **it;
        TDrawContext c = context;
        TLogFont font = layer.TextFont;
        if (IsTextKind(layer.Kind)) c.TextFont = &font;
        // A label's box as its InRect measures it: the stored font's width per character.
        const int64_t charWidth = static_cast<uint16_t>(font.Width);
        const int64_t height = std::llabs(int64_t(font.Height));
        const std::vector<TCustomLayer::THitEntry>& index =
            HitIndexOf(layer, layer.HitView == context.WorldRect && Contains(layer.HitView, rect));
        for (int32_t i = 0; i < layer.Count; ++i) {
            if (!MayLieIn(index[std::size_t(i)], rect, charWidth, height)) continue;
            TBaseObject* o = layer.Object(i);
            if (o->Flags() & ObjFlagHidden) continue;
            SetViewRect(context.WorldRect);
            if (o->InRect(c, rect)) result.Insert(new TInsideObj(&layer, o));
        }
    }
    return result.Count > 0;
}

} // namespace tarn
