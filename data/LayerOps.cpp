#include "LayerOps.h"
#include "Errors.h"
#include "LayerWalk.h"
#include "MapObjBmp.h"

#include <algorithm>
#include <vector>

namespace tarn {

namespace {

struct TFactors {
    float Line = 0;
    float Text = 0;
    float Sign = 0;

    explicit TFactors(int32_t s)
        : Line(static_cast<float>(s / 1000.0L)),
          Text(static_cast<float>(s * (1.0L / 28125) * 50 * 1.2L)),
          Sign(static_cast<float>(s / 100.0L))
    {
    }

    float Of(int kind) const
    {
        if (IsLineKind(kind)) return Line;
        if (IsTextKind(kind)) return Text;
        if (IsSignKind(kind)) return Sign;
        return 0;
    }
};

// The layer's own scaled value, or null for kinds without one.
int32_t* LayerValue(TCustomLayer& layer)
{
    if (IsLineKind(layer.Kind)) return &layer.Style2;
    if (IsTextKind(layer.Kind)) return &layer.TextFont.Height;
    if (IsSignKind(layer.Kind)) return &layer.Style1;
    return nullptr;
}

// The scaled value of an object of a styled layer and its memory, or nulls.
struct TObjectValue {
    int32_t* Value = nullptr;
    TStyleMemo* Memo = nullptr;
};

TObjectValue ObjectValue(int kind, TBaseObject* o)
{
    switch (kind) {
    case LayerKindStyledLine:
        if (auto* p = dynamic_cast<TPolyLineEx*>(o)) return {&p->Width, &p->WidthMemo};
        break;
    case LayerKindStyledText:
        if (auto* t = dynamic_cast<TTextEx*>(o)) return {&t->Size, &t->SizeMemo};
        break;
    case LayerKindStyledSign:
        if (auto* g = dynamic_cast<TSignEx*>(o)) return {&g->Size, &g->SizeMemo};
        break;
    default:
        break;
    }
    return {};
}

// One value to convert: where it lives, its new value, and its memory.
struct TChange {
    int32_t* Value;
    int32_t NewValue;
    TStyleMemo* Memo;
    TStyleMemo NewMemo;
};

int32_t Unscaled(int32_t value, float factor, int kind, const TStyleMemo* memo)
{
    if (memo && memo->Set && memo->Kind == kind && memo->Factor == factor && memo->DrawValue == value)
        return memo->FileValue;
    return CheckedRound(static_cast<long double>(value) / factor, "unscaled style value");
}

void Convert(TMap& map, uint32_t what, int32_t projectScale, bool scale)
{
    if (projectScale <= 0) return;
    const TFactors factors(projectScale);
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);

    // Every new value first, so that a value out of range changes nothing.
    std::vector<TChange> changes;
    auto add = [&](int32_t* v, TStyleMemo* memo, int kind, float f) {
        TChange c{v, 0, memo, {}};
        if (scale) {
            c.NewValue = CheckedRound(static_cast<long double>(*v) * f, "scaled style value");
            c.NewMemo = {true, static_cast<int16_t>(kind), f, *v, c.NewValue};
        } else {
            c.NewValue = Unscaled(*v, f, kind, memo);
        }
        changes.push_back(c);
    };
    for (TCustomLayer* layer : layers) {
        const int kind = layer->Kind;
        const float f = factors.Of(kind);
        if (f == 0) continue;
        if (what & ScaleLayerValues) add(LayerValue(*layer), &layer->StyleMemo, kind, f);
        if (what & ScaleObjectValues)
            for (int32_t i = 0; i < layer->Count; ++i)
                if (TObjectValue o = ObjectValue(kind, layer->Object(i)); o.Value) add(o.Value, o.Memo, kind, f);
    }
    for (const TChange& c : changes) {
        *c.Value = c.NewValue;
        *c.Memo = c.NewMemo;
    }
}

} // namespace

void ClearAllLayers(TMap& map)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (TCustomLayer* layer : layers) {
        for (int32_t i = 0; i < layer->Count; ++i) {
            TBaseObject* o = layer->Object(i);
            if (o->RefCount > 0) --o->RefCount;
        }
        layer->Clear();
    }
}

void DeleteTempObjects(TMap& map)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (TCustomLayer* layer : layers) {
        int32_t i = 0;
        while (i < layer->Count) {
            if (layer->Object(i)->Flags() & ObjFlagTemporary) layer->FreeAt(i);
            else ++i;
        }
    }
}

void CopySheetObjects(const TMap& source, TMap& dest, int32_t sheetID)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(source, true, layers);
    for (TCustomLayer* layer : layers) {
        TCustomLayer* target = AsLayer(FindLayerByName(dest, layer->Name));
        if (!target || target == layer) continue;
        for (int32_t i = 0; i < layer->Count; ++i) {
            TBaseObject* o = layer->Object(i);
            if (o->SheetID != sheetID) continue;
            target->Insert(o);
            ++o->RefCount;
        }
    }
}

void ScaleLayerStyles(TMap& map, uint32_t what, int32_t projectScale) { Convert(map, what, projectScale, true); }

void UnscaleLayerStyles(TMap& map, uint32_t what, int32_t projectScale)
{
    Convert(map, what, projectScale, false);
}

void LoadLayerBitmaps(TMap& map, TFolderNames* names)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (TCustomLayer* layer : layers) {
        if (layer->Kind != LayerKindBitmap) continue;
        for (int32_t i = 0; i < layer->Count; ++i)
            if (auto* picture = dynamic_cast<TBmp*>(layer->Object(i))) picture->LoadPicture(names);
    }
}

void CopyLayerStyle(const TCustomLayer& s, TCustomLayer& d)
{
    d.Flags = s.Flags;
    d.Kind = s.Kind;
    d.LayerParam = s.LayerParam;
    d.Colour = s.Colour;
    d.Colour2 = s.Colour2;
    d.Style1 = s.Style1;
    d.Style2 = s.Style2;
    d.Style3 = s.Style3;
    d.ScaleLimit = s.ScaleLimit;
    d.LayerId = s.LayerId;
    d.TextFont = s.TextFont;
    d.LabelFont = s.LabelFont;
    d.LabelColour = s.LabelColour;
    d.LayerTag = s.LayerTag;
    d.LayerText = s.LayerText;
    d.StyleMemo = s.StyleMemo;
}

void CloneLayerObjects(const TCustomLayer& source, TCustomLayer& dest)
{
    dest.SetCapacity(std::max(dest.Capacity, dest.Count + source.Count));
    for (int32_t i = 0; i < source.Count; ++i) {
        std::unique_ptr<TBaseObject> copy = source.Object(i)->Clone();
        dest.Insert(copy.get());
        copy.release();
    }
}

} // namespace tarn
