#pragma once
// The layers of the demo city: names, kinds, identifiers, groups and the
// drawing style of each, for the main map and for the navigator's map.
// Sizes are drawing values: line widths and font heights in tenths of a
// metre, sign sizes as the layer drawing reads them.
#include "CityPlan.h"

#include <cstdint>

namespace tarn::city {

struct TLayerStyle {
    const char* Name;      // UTF-8
    const char* Group;     // UTF-8 path of groups ("Надписи/Вербинск"), or null
    int16_t Kind;
    int32_t LayerId;
    uint32_t Flags;
    int32_t Colour;
    int32_t Colour2;
    int32_t Style1;
    int32_t Style2;
    int32_t Style3;
    int32_t ScaleLimit;
    // Text layers: the height of capitals' em in tenths of a metre; label
    // fonts of styled layers (set on the project's working map).
    int32_t FontHeight;
    int32_t FontWeight;
    bool Italic;
};

constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16; }

const TLayerStyle& StyleOf(L layer);
const TLayerStyle& NavStyleOf(NL layer);

// The project scale the sheets' sizes relate to: style values in the
// sheets are the drawing values above converted with it.
constexpr int32_t CityProjectScale = 1000;

// Sizes of styled signs and texts (TSignEx without map units, TTextEx).
constexpr int32_t PoiSignSize = 1700;      // about 16 pixels at 0.25 mm a pixel
constexpr int32_t StationSignSize = 2300;
constexpr int32_t UserSignSize = 2000;     // map units: 20 m across
constexpr int32_t DistrictLabelSize = 1700;
constexpr int32_t TownLabelSize = 2200;
constexpr int32_t RiverLabelSize = 2000;

// The font face of every label.
constexpr const char* LabelFace = "DejaVu Sans";

} // namespace tarn::city
