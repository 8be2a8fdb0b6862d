#pragma once
// Operations on every layer of a map at once (hidden ones included, in
// tree order), and the conversion of the size-bearing style values between
// the scale-relative form kept in files and the form used for drawing.
//
// Scaled values (the factors come from the project scale S):
//   line kinds 0, 9:  the layer's Style2 and each TPolyLineEx's Width, x S / 1000
//   text kinds 6, 11: the layer font's height and each TTextEx's Size, x S x 60 / 28125
//   sign kinds 7, 12: the layer's Style1 and each TSignEx's Size,     x S / 100
// Scaling remembers the value it converted (the file value) beside the
// value it made, in the layer or object itself; unscaling gives the
// remembered file value back as long as the drawing value was not changed
// since, so opening and saving never drifts a size by rounding. A changed
// value is converted by division.
#include "data/Layers.h"

#include <cstdint>
#include <memory>

namespace tarn {

class TFolderNames;

// Bits of the What argument.
constexpr uint32_t ScaleLayerValues = 1;
constexpr uint32_t ScaleObjectValues = 2;

// Empties every layer's object list without freeing the objects; an object
// that another list shares loses this list's reference.
void ClearAllLayers(TMap& map);
// Removes and frees every object with flag 0x10 (temporary).
void DeleteTempObjects(TMap& map);
// Lists in dest's layer of the same name every object of a source layer
// whose SheetID is sheetID. The objects are shared: each gains a reference
// (RefCount), so freeing both maps frees every object once, and clearing
// either map leaves the other owning them. Source layers whose name is no
// layer of dest are skipped.
void CopySheetObjects(const TMap& source, TMap& dest, int32_t sheetID);

// Multiplies (Scale) or divides (Unscale) the values of the table above by
// their factor, rounding halves to even. A project scale of 0 or less
// changes nothing. A result that does not fit 32 bits raises ERangeError
// before any value is changed.
void ScaleLayerStyles(TMap& map, uint32_t what, int32_t projectScale);
void UnscaleLayerStyles(TMap& map, uint32_t what, int32_t projectScale);

// Opens the picture of every picture object (TBmp) of the bitmap layers
// (kind 13); names holds the folder listings of the load.
void LoadLayerBitmaps(TMap& map, TFolderNames* names = nullptr);

// Copies a layer's attributes (name aside) into another layer, of either
// class: kind, flags, colours, styles, limit, identifier, fonts, label,
// tag and text, and what style scaling remembers. For merging layer trees.
void CopyLayerStyle(const TCustomLayer& source, TCustomLayer& dest);
// Appends to dest a clone of every object of source, carrying what style
// scaling remembers about each, so that a saved copy unscales exactly.
void CloneLayerObjects(const TCustomLayer& source, TCustomLayer& dest);

} // namespace tarn
