#pragma once
// The layers of the demo city: names, kinds, identifiers, groups and the
// drawing style of each, for the main map and for the navigator's map.
// Sizes are drawing values: line widths and font heights in tenths of a
// metre, sign sizes as the layer drawing reads them.
#include "CityPlan.h"

#include <cstdint>
#include <string>

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

// Scale bands of the labels. A band's sheets belong to a level of detail of
// its own, so its labels are drawn from BandBottom (excluded) to BandTop,
// its layers' scale limit; their sizes in map units keep them 8 to 16
// pixels (em) tall over the whole band at 96 dpi and at 0.25 mm a pixel.
constexpr int BandCount = 9;
int32_t BandTop(int band);
int32_t BandBottom(int band);  // 0 for the first band
// "1:1 750 - 1:3 500" ("до 1:1 750" for the first band).
std::string BandName(int band);

// A label kind has a text layer in each band from First to Last; Factor
// scales its letters against the band's size.
struct TLabelKind {
    L Layer;
    int First, Last;
    double Factor;
};
// Null for a layer that is not a label kind.
const TLabelKind* LabelKindOf(L layer);
bool InBand(L layer, int band);
// The font height of a kind's labels in a band (tenths of a metre), as the
// program reads it back from a sheet (sizes are stored scale-relative and
// rounded).
int32_t LabelHeight(L layer, int band);
// The layer of a label kind in a band: the kind's style with the band's
// name, identifier, scale limit and font height.
const TLayerStyle& StyleOf(L layer, int band);
// Index layers (the names the search lists read): drawn in the band where
// showing a name lands (1:2 500), where they are its first street labels
// and its district names, so a highlighted name is drawn with the map.
constexpr int IndexBand = 1;
constexpr int32_t IndexScaleLimit = 3500;  // the band's top

// The project scale the sheets' sizes relate to: style values in the
// sheets are the drawing values above converted with it.
constexpr int32_t CityProjectScale = 1000;

// Sizes of styled signs (TSignEx without map units).
constexpr int32_t PoiSignSize = 1700;      // about 16 pixels at 0.25 mm a pixel
constexpr int32_t UserSignSize = 2000;     // map units: 20 m across
// The size of a sign on the screen in millimetres (signs of fixed size), or
// in metres (user signs, in map units).
double SignMillimetres(L layer);

// The font face of every label.
constexpr const char* LabelFace = "DejaVu Sans";

} // namespace tarn::city
