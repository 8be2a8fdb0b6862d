#pragma once
// The layer exchange record: a flat copy of the attributes of a layer, an
// information layer, a group or a map, through which the application reads
// and changes them without touching the classes.
//
// The fields keep their order; the record is an ordinary aligned struct
// (both sides of the model's interface are this program), copied whole.
// The second colour never carries a font reference: a text layer's font
// travels by value in TextFont, and applying a record copies it into the
// layer.
#include "data/LayerWalk.h"
#include "data/Layers.h"

#include <cstdint>
#include <type_traits>

namespace tarn {

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

static_assert(std::is_trivially_copyable_v<TLayerRec> && std::is_standard_layout_v<TLayerRec>);

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
