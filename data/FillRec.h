#pragma once
// The layer exchange record: a flat copy of the attributes of a layer, an
// information layer, a group or a map, through which the application reads
// and changes them without touching the classes.
//
// The record keeps its packed offsets. The second colour at 113 never
// carries a font reference: a text layer's font travels by value in
// TextFont, after the 322 bytes the record always had; applying a record
// copies that font into the layer.
#include "data/LayerWalk.h"
#include "data/Layers.h"

#include <cstddef>
#include <cstdint>

namespace tarn {

#pragma pack(push, 1)
struct TLayerRec {
    char Name[101];        // zero-terminated, at most 100 characters
    uint32_t Flags;
    int16_t Kind;
    int16_t LayerParam;
    int32_t Colour;        // a group: its GroupTag (out only); a map: 0 (out only)
    int32_t Colour2;       // 0 for text layers
    int32_t Style1;
    int32_t Style2;
    int32_t Style3;
    int32_t ScaleLimit;
    int32_t LayerId;       // out only
    int32_t InfoValue2;
    int32_t InfoValue1;    // out only
    char InfoText[101];    // zero-terminated, at most 100 characters
    TLogFont LabelFont;
    int32_t LabelColour;
    uint8_t Spare[12];     // never touched by the fillers
    TLogFont TextFont;     // the font of a text layer (kinds 6, 11)
};
#pragma pack(pop)

static_assert(offsetof(TLayerRec, Flags) == 101 && offsetof(TLayerRec, Kind) == 105 &&
              offsetof(TLayerRec, LayerParam) == 107 && offsetof(TLayerRec, Colour) == 109 &&
              offsetof(TLayerRec, Colour2) == 113 && offsetof(TLayerRec, Style1) == 117 &&
              offsetof(TLayerRec, Style2) == 121 && offsetof(TLayerRec, Style3) == 125 &&
              offsetof(TLayerRec, ScaleLimit) == 129 && offsetof(TLayerRec, LayerId) == 133 &&
              offsetof(TLayerRec, InfoValue2) == 137 && offsetof(TLayerRec, InfoValue1) == 141 &&
              offsetof(TLayerRec, InfoText) == 145 && offsetof(TLayerRec, LabelFont) == 246 &&
              offsetof(TLayerRec, LabelColour) == 306 && offsetof(TLayerRec, Spare) == 310 &&
              offsetof(TLayerRec, TextFont) == 322 && sizeof(TLayerRec) == 382);

// toObject false: the object's attributes into the record (only the fields
// of its class); true: the record into the object (never LayerId nor
// InfoValue1). Applying a record replaces the name; a layer takes flags,
// kind, parameter, colours (a text kind: the record's font), styles,
// scale limit, label font and colour; an information layer also
// InfoValue2 and InfoText. Groups and maps exchange name and flags.
void FillLayerRec(bool toObject, TLayer& layer, TLayerRec& rec);
void FillInfoLayerRec(bool toObject, TInfoLayer& layer, TLayerRec& rec);
void FillGapLayerRec(bool toObject, TGapLayer& group, TLayerRec& rec);
void FillMapRec(bool toObject, TMap& map, TLayerRec& rec);

} // namespace tarn
