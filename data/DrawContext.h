#pragma once
// The record every drawing and testing operation of the map engine
// receives, passed by value: the view's geometry, the model's drawing
// options and symbol library, and during a layer pass the layer's ready
// drawing tools. Every handle in it is borrowed: whoever fills a field
// keeps the object alive for as long as the record is used.
#include "platform/DynLib.h"
#include "platform/TarnSymbols.h"
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <type_traits>

namespace tarn {

class TWindowSurface;  // the window a view draws on

// What the drawing tells the model: the model implements it. Code 21
// comes before (a = 0) and after (a = 1) each layer with b = the layer and
// c = the address of the pass's context, which the hook may change (the
// stop bit); code 22 hands over an object that its owner draws, c = the
// address of its owner-draw record (0 for texts and signs).
class TDrawNotify {
public:
    virtual bool HasNotifyHook() const = 0;
    // Calls the change hook itself, without the model's own bookkeeping.
    virtual void CallNotifyHook(int32_t code, intptr_t a, intptr_t b, intptr_t c) = 0;

protected:
    ~TDrawNotify() = default;
};

// Bits of TDrawContext::Flags.
constexpr uint32_t DrawFlagDevice = 0x01;       // MmPerPixel comes from the device
constexpr uint32_t DrawFlagKeepExtents = 0x02;  // window and viewport extents left as they are
constexpr uint32_t DrawFlagStop = 0x04;         // the map drawing ends after the current layer
constexpr uint32_t DrawFlagAllScales = 0x08;    // line and polygon layers drawn beyond their scale limit
constexpr uint32_t DrawFlagSignMapUnits = 0x20; // the sign layer's sizes are in map units

// Bytes of TDrawContext::DrawOptions.
constexpr int DrawOptionVertexMarks = 0;  // line and polygon vertices
constexpr int DrawOptionTextAnchors = 1;
constexpr int DrawOptionSignAnchors = 2;
constexpr int DrawOptionLineAnchors = 3;
constexpr int DrawOptionArrows = 4;
constexpr int DrawOptionStyledVertexMarks = 5;

// What TDrawContext::LayerProc draws.
constexpr uint8_t SymbolKindNone = 0;
constexpr uint8_t SymbolKindSign = 1;
constexpr uint8_t SymbolKindLine = 2;
constexpr uint8_t SymbolKindFill = 3;

struct TDrawContext {
    uint32_t Flags = 0;
    TDeviceContext* DC = nullptr;
    TWindowSurface* Wnd = nullptr;   // for measuring text in hit tests
    double Scale = 0;                // world units per pixel
    TRect WorldRect;                 // Top is the largest Y
    TRect ClientRect;
    double SizeScale = 0;            // 1000 / Scale
    int32_t LinePixelWidth = 0;      // ten times the layer pen's pixel width
    int32_t LayerColour = 0;         // bitmap layers: 1 when the background is transparent
    uint8_t OwnAttributes = 0;
    uint8_t ShowLabels = 0;
    TLogFont* TextFont = nullptr;    // height already in pixels for the pass
    TLogFont* LabelFont = nullptr;
    int32_t LabelColour = 0;
    TSymbolProc LayerProc = nullptr;
    // Which record LayerProc takes: a layer's file may hold objects of
    // another kind, and a procedure must never get a record shorter than its own.
    uint8_t LayerProcKind = 0;       // a SymbolKind* value
    int32_t SymbolSize = 0;          // bitmap layers: the raster operation
    TBrush* FillBrush = nullptr;
    TBrush* SelectBrush = nullptr;
    TPen* SelectPen = nullptr;
    TPen* LayerPen = nullptr;
    double MmPerPixel = 0;
    uint8_t DrawOptions[6] = {};
    int32_t SelectColour = 0;
    uint32_t Spare2 = 0;
    int32_t PixelTolerance = 0;
    uint8_t LibraryLoaded = 0;
    const TDynLib* Library = nullptr;
    TDeviceContext* TextDC = nullptr;
    TDrawNotify* Model = nullptr;
};

static_assert(std::is_trivially_copyable_v<TDrawContext>, "the draw context is passed by value");
static_assert(std::is_standard_layout_v<TDrawContext>);

} // namespace tarn
