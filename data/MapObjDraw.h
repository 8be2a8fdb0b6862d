#pragma once
// Drawing helpers the map objects share; internal to the data layer.
#include "data/DrawContext.h"
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace tarn::objdraw {

// The device-point buffer of one draw. Draws reuse one shared buffer; a
// draw that starts while another holds it (an owner-draw hook that draws
// again) gets a buffer of its own.
class TPointScratch {
public:
    TPointScratch();
    ~TPointScratch();
    TPointScratch(const TPointScratch&) = delete;
    TPointScratch& operator=(const TPointScratch&) = delete;
    std::vector<TPoint>& Points() { return *Buf; }

private:
    std::vector<TPoint> Own;
    std::vector<TPoint>* Buf;
    bool Shared;
};

// Pens, brushes and fonts that objects make for themselves come from small
// caches of immutable objects, so steady drawing makes none. The answer
// stays valid until the next call of the same function.
TPen* CachedPen(int32_t style, int32_t width, TColorRef color);
TBrush* CachedSolidBrush(TColorRef color);
TBrush* CachedHatchBrush(int32_t hatch, TColorRef color);
TFont* CachedFont(const TLogFont& font);

inline TColorRef Colour(int32_t c) { return static_cast<TColorRef>(c); }
int32_t Sat32(int64_t v);

// Whether the context's scale can place anything: without one nothing is drawn.
bool Mappable(const TDrawContext& c);
// World points to device pixels, in place.
void ToScreen(const TDrawContext& c, TPoint* points, std::size_t count);
// rnd(value x SizeScale / divisor): widths, heights and sizes in pixels.
int32_t ScaledPixels(int64_t value, double sizeScale, int32_t divisor);

// Selects a pen, brush or font for a scope and puts the previous one back.
template <class T>
class TSelectScope {
public:
    TSelectScope(TDeviceContext& dc, T* object) : Dc(dc), Old(Select(dc, object)) {}
    ~TSelectScope() { Select(Dc, Old.get()); }
    TSelectScope(const TSelectScope&) = delete;
    TSelectScope& operator=(const TSelectScope&) = delete;

private:
    static TGdiRef<T> Select(TDeviceContext& dc, T* object)
    {
        if constexpr (std::is_same_v<T, TPen>) return dc.SelectPen(object);
        else if constexpr (std::is_same_v<T, TBrush>) return dc.SelectBrush(object);
        else return dc.SelectFont(object);
    }
    TDeviceContext& Dc;
    TGdiRef<T> Old;
};
using TPenScope = TSelectScope<TPen>;
using TBrushScope = TSelectScope<TBrush>;
using TFontScope = TSelectScope<TFont>;

// Layer style: the layer's library procedure with a line (or fill) record,
// else one polyline (or polygon) with the pen (and brush) given.
void LayerLine(const TDrawContext& c, TPoint* points, int32_t count, int32_t colour, bool selected, TPen* pen);
void LayerFill(const TDrawContext& c, TPoint* points, int32_t count, bool selected, TPen* pen, TBrush* brush);

// Marks: an oblique cross and a diamond of half size m.
void Cross(TDeviceContext& dc, int32_t x, int32_t y, int32_t m);
void Diamond(TDeviceContext& dc, int32_t x, int32_t y, int32_t m, bool filled);

// Copy-pen mix and a solid pen of width 0 in SelectColour, for a scope.
class TMarkScope {
public:
    explicit TMarkScope(const TDrawContext& c);
    ~TMarkScope();
    TMarkScope(const TMarkScope&) = delete;
    TMarkScope& operator=(const TMarkScope&) = delete;

private:
    TDeviceContext& Dc;
    int32_t OldMix;
    TPenScope Pen;
};

// Crosses at the inner vertices (when crosses), an open diamond at the
// first vertex and a filled one (current brush) at the last.
void VertexMarks(const TDrawContext& c, const TPoint* points, int32_t count, bool crosses);
// One arrow per segment at its middle, in SelectPen.
void Arrows(const TDrawContext& c, const TPoint* points, int32_t count);
// A label in LabelColour and LabelFont scaled by SizeScale / 10; nothing
// when that height is 4 pixels or less. The font record is not changed.
void Label(const TDrawContext& c, const std::string& label, int32_t sx, int32_t sy);

} // namespace tarn::objdraw
