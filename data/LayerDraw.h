#pragma once
// Drawing a map: its visible layers bottom to top, each within its scale
// limit, with the layer's pens, brushes, font and symbol procedure made
// ready in the draw context for its objects. Every routine takes the
// context by value and works on its own copy.
//
// A layer pass leaves the device context as it found it (selected pen,
// brush and font, background mode and colour, text colour and alignment,
// mix), so what one layer sets never reaches the next. Passes make their
// tools once per layer and nothing per object.
#include "data/DrawContext.h"
#include "data/Layers.h"
#include "data/ObjectKey.h"

#include <span>

namespace tarn {

// Marks the objects in view, then draws each visible layer whose
// ScaleLimit is at least round(Scale / MmPerPixel), or with flag 8 in the
// context each line and polygon layer. Around each drawn layer the
// model's hook gets code 21 (phase 0 before, 1 after, the layer, the
// address of the pass's context); the drawing ends after the layer at
// which the context's stop flag (4) is set.
void DrawMap(const TMap& map, TDrawContext context);

// One layer: all its objects in view that are neither temporary nor
// hidden, or with only given, that object (and, when its Attribute is
// not 0, every object of the layer in view with the same Attribute).
// Raises ERangeError when a pixel width or size does not fit 32 bits.
void DrawLayer(const TCustomLayer& layer, TDrawContext context, const TBaseObject* only);

// Sets or clears every object's in-view flag (1) in the visible layers.
void MarkObjectsInView(const TMap& map, TDrawContext context);

// Appends the objects [from, to) of source to target with their search
// entries and what the marking knows of their in-view flags, so that the
// next marking of target asks only those near its view. The objects stay
// in source too: the caller takes them out of one or shares them.
void AppendMarkedObjects(TCustomLayer& target, const TCustomLayer& source, int32_t from, int32_t to);
// The entries of a layer just read, made where its objects are at hand
// (on the thread that read them), with their in-view flags as they stand;
// valid while nothing else sets a flag or changes the list.
void MakeReadEntries(const TCustomLayer& layer);
// After appends of objects with and without entries: the entries of
// target's objects stand as they are, and their flags as far as known.
void SettleMarkedObjects(TCustomLayer& target);

// Draws the objects named by the keys (layer identifier, sheet, code) with
// their layers' styles; keys whose layer or object is missing are skipped.
void DrawObjectList(const TMap& map, TDrawContext context, std::span<const TObjectKey> keys);

} // namespace tarn
