#include "LayerWalk.h"
#include "Errors.h"
#include "Utils.h"

#include <cmath>
#include <limits>

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

        const bool polygons = IsPolygonKind(layer.Kind);
        for (int32_t i = layer.Count - 1; i >= 0; --i) {
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
        for (int32_t i = 0; i < layer.Count; ++i) {
            TBaseObject* o = layer.Object(i);
            if (o->Flags() & ObjFlagHidden) continue;
            SetViewRect(context.WorldRect);
            if (o->InRect(c, rect)) result.Insert(new TInsideObj(&layer, o));
        }
    }
    return result.Count > 0;
}

} // namespace tarn
