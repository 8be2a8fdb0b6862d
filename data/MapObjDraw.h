#pragma once
// Drawing helpers the map objects share; internal to the data layer.
#include "data/DrawContext.h"
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <string>
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

// World points to device pixels, in place.
void ToScreen(const TDrawContext& c, TPoint* points, std::size_t count);
// rnd(value x SizeScale / divisor): widths, heights and sizes in pixels.
int32_t ScaledPixels(int64_t value, double sizeScale, int32_t divisor);

// Selects a pen (or brush, or font) for a scope and puts the previous one back.
class TPenScope {
public:
    TPenScope(TDeviceContext& dc, TPen* pen) : Dc(dc), Old(dc.SelectPen(pen)) {}
    ~TPenScope() { Dc.SelectPen(Old); }
    TPenScope(const TPenScope&) = delete;
    TPenScope& operator=(const TPenScope&) = delete;

private:
    TDeviceContext& Dc;
    TGdiRef<TPen> Old;
};

class TBrushScope {
public:
    TBrushScope(TDeviceContext& dc, TBrush* brush) : Dc(dc), Old(dc.SelectBrush(brush)) {}
    ~TBrushScope() { Dc.SelectBrush(Old); }
    TBrushScope(const TBrushScope&) = delete;
    TBrushScope& operator=(const TBrushScope&) = delete;

private:
    TDeviceContext& Dc;
    TGdiRef<TBrush> Old;
};

class TFontScope {
public:
    TFontScope(TDeviceContext& dc, TFont* font) : Dc(dc), Old(dc.SelectFont(font)) {}
    ~TFontScope() { Dc.SelectFont(Old); }
    TFontScope(const TFontScope&) = delete;
    TFontScope& operator=(const TFontScope&) = delete;

private:
    TDeviceContext& Dc;
    TGdiRef<TFont> Old;
};

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
