// The C interface of TarnGdi.h over the device contexts: every handle is
// looked up in the handle table, and a bad one does nothing.
#include "platform/TarnGdi.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Handles.h"

#include <string_view>

using namespace tarn;

static_assert(sizeof(TgdiPoint) == sizeof(TPoint) && alignof(TgdiPoint) == alignof(TPoint));
static_assert(sizeof(TgdiRect) == sizeof(TRect));

namespace {
template <class T>
TgdiHandle Adopt(TGdiRef<T> obj)
{
    return obj ? TGdiHandles::Register(obj.get(), true) : nullptr;
}
const TPoint* PointsOf(const TgdiPoint* p) { return reinterpret_cast<const TPoint*>(p); }
} // namespace

extern "C" {

TgdiHandle TgdiCreatePen(int32_t style, int32_t width, TgdiColor color)
{
    return Adopt(TPen::Create(style, width, color));
}

TgdiHandle TgdiCreateSolidBrush(TgdiColor color)
{
    return Adopt(TBrush::CreateSolid(color));
}

TgdiHandle TgdiCreateHatchBrush(int32_t hatch, TgdiColor color)
{
    return Adopt(TBrush::CreateHatch(hatch, color));
}

TgdiHandle TgdiCreateFont(const TgdiLogFont* font)
{
    if (!font) return nullptr;
    return Adopt(TFont::Create(*font));
}

TgdiHandle TgdiGetStockObject(int32_t id)
{
    TGdiObject* o = GetStockObject(id);
    return o ? o->Handle() : nullptr;
}

int32_t TgdiDeleteObject(TgdiHandle object)
{
    return TGdiHandles::Delete(object) ? 1 : 0;
}

TgdiHandle TgdiSelectObject(TgdiHandle dc, TgdiHandle object)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    TGdiObject* o = TGdiHandles::Object(object);
    if (!c || !o) return nullptr;
    TGdiRef<TGdiObject> old = c->SelectObject(o);
    return old ? old->Handle() : nullptr;
}

int32_t TgdiSaveDC(TgdiHandle dc)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SaveDC() : 0;
}

int32_t TgdiRestoreDC(TgdiHandle dc, int32_t level)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c && c->RestoreDC(level) ? 1 : 0;
}

int32_t TgdiSetROP2(TgdiHandle dc, int32_t mix)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetROP2(mix) : 0;
}

int32_t TgdiGetROP2(TgdiHandle dc)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->GetROP2() : 0;
}

int32_t TgdiSetBkMode(TgdiHandle dc, int32_t mode)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetBkMode(mode) : 0;
}

TgdiColor TgdiSetBkColor(TgdiHandle dc, TgdiColor color)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetBkColor(color) : InvalidColor;
}

TgdiColor TgdiSetTextColor(TgdiHandle dc, TgdiColor color)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetTextColor(color) : InvalidColor;
}

uint32_t TgdiSetTextAlign(TgdiHandle dc, uint32_t align)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetTextAlign(align) : 0;
}

int32_t TgdiSetStretchBltMode(TgdiHandle dc, int32_t mode)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->SetStretchBltMode(mode) : 0;
}

int32_t TgdiGetDeviceCaps(TgdiHandle dc, int32_t index)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    return c ? c->GetDeviceCaps(index) : 0;
}

int32_t TgdiMoveTo(TgdiHandle dc, int32_t x, int32_t y)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c) return 0;
    c->MoveTo(x, y);
    return 1;
}

int32_t TgdiLineTo(TgdiHandle dc, int32_t x, int32_t y)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c) return 0;
    c->LineTo(x, y);
    return 1;
}

int32_t TgdiPolyline(TgdiHandle dc, const TgdiPoint* points, int32_t count)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c || !points || count < 0) return 0;
    c->Polyline(PointsOf(points), count);
    return 1;
}

int32_t TgdiPolygon(TgdiHandle dc, const TgdiPoint* points, int32_t count)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c || !points || count < 0) return 0;
    c->Polygon(PointsOf(points), count);
    return 1;
}

int32_t TgdiRectangle(TgdiHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c) return 0;
    c->Rectangle(left, top, right, bottom);
    return 1;
}

int32_t TgdiEllipse(TgdiHandle dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c) return 0;
    c->Ellipse(left, top, right, bottom);
    return 1;
}

int32_t TgdiFillRect(TgdiHandle dc, const TgdiRect* rect, TgdiHandle brush)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    TGdiObject* b = TGdiHandles::Object(brush);
    if (!c || !rect || !b || b->Kind() != TGdiKind::Brush) return 0;
    c->FillRect(TRect{rect->Left, rect->Top, rect->Right, rect->Bottom}, static_cast<TBrush*>(b));
    return 1;
}

int32_t TgdiTextOut(TgdiHandle dc, int32_t x, int32_t y, const char* text, int32_t length)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c || !text || length < 0) return 0;
    c->TextOut(x, y, std::string_view(text, size_t(length)));
    return 1;
}

int32_t TgdiGetTextExtent(TgdiHandle dc, const char* text, int32_t length, int32_t* cx, int32_t* cy)
{
    TDeviceContext* c = TGdiHandles::Context(dc);
    if (!c || !text || length < 0) return 0;
    TSize s = c->GetTextExtent(std::string_view(text, size_t(length)));
    if (cx) *cx = s.Cx;
    if (cy) *cy = s.Cy;
    return 1;
}

} // extern "C"
