#include "FillRec.h"

#include <algorithm>
#include <cstring>

namespace tarn {

namespace {

constexpr std::size_t MaxRecName = 100;

void PutName(char (&field)[101], const std::string& name)
{
    std::size_t n = std::min(name.size(), MaxRecName);
    std::memcpy(field, name.data(), n);
    std::memset(field + n, 0, sizeof field - n);
}

std::string TakeName(const char (&field)[101]) { return std::string(field, strnlen(field, MaxRecName)); }

void LayerOut(const TCustomLayer& l, TLayerRec& r)
{
    PutName(r.Name, l.Name);
    r.Flags = l.Flags;
    r.Kind = l.Kind;
    r.LayerParam = l.LayerParam;
    r.Colour = l.Colour;
    r.Colour2 = IsTextKind(l.Kind) ? 0 : l.Colour2;
    r.Style1 = l.Style1;
    r.Style2 = l.Style2;
    r.Style3 = l.Style3;
    r.ScaleLimit = l.ScaleLimit;
    r.LayerId = l.LayerId;
    r.LabelFont = l.LabelFont;
    r.LabelColour = l.LabelColour;
    r.TextFont = l.TextFont;
}

void LayerIn(TCustomLayer& l, const TLayerRec& r)
{
    l.Name = TakeName(r.Name);
    l.Flags = r.Flags;
    l.Kind = r.Kind;
    l.LayerParam = r.LayerParam;
    l.Colour = r.Colour;
    if (IsTextKind(r.Kind)) l.TextFont = r.TextFont;
    else l.Colour2 = r.Colour2;
    l.Style1 = r.Style1;
    l.Style2 = r.Style2;
    l.Style3 = r.Style3;
    l.ScaleLimit = r.ScaleLimit;
    l.LabelFont = r.LabelFont;
    l.LabelColour = r.LabelColour;
}

} // namespace

void FillLayerRec(bool toObject, TLayer& layer, TLayerRec& rec)
{
    if (toObject) {
        LayerIn(layer, rec);
        return;
    }
    LayerOut(layer, rec);
    rec.InfoValue1 = 0;
}

void FillInfoLayerRec(bool toObject, TInfoLayer& layer, TLayerRec& rec)
{
    if (toObject) {
        LayerIn(layer, rec);
        layer.InfoValue2 = rec.InfoValue2;
        layer.InfoText = TakeName(rec.InfoText);
        return;
    }
    LayerOut(layer, rec);
    rec.InfoValue2 = layer.InfoValue2;
    rec.InfoValue1 = layer.InfoValue1;
    PutName(rec.InfoText, layer.InfoText);
}

void FillGapLayerRec(bool toObject, TGapLayer& group, TLayerRec& rec)
{
    if (toObject) {
        group.Name = TakeName(rec.Name);
        group.Flags = rec.Flags;
        return;
    }
    PutName(rec.Name, group.Name);
    rec.Flags = group.Flags;
    rec.Colour = group.GroupTag;
}

void FillMapRec(bool toObject, TMap& map, TLayerRec& rec)
{
    if (toObject) {
        map.Name = TakeName(rec.Name);
        map.Flags = static_cast<int32_t>(rec.Flags);
        return;
    }
    PutName(rec.Name, map.Name);
    rec.Flags = static_cast<uint32_t>(map.Flags);
    rec.Colour = 0;
}

} // namespace tarn
