#include "data/LoadDLL.h"
#include "data/Utils.h"
#include "platform/Paths.h"

#include <cstdio>
#include <cstring>

namespace tarn {

bool LoadDrawDll(const char* fileName, const std::string& folder, TDynLib& handle)
{
    if (!fileName || std::strlen(fileName) < 6) return false;
    std::string path = ResolveLibraryPath(fileName, folder);
    if (path.empty() || (!folder.empty() && !LeadsInside(folder, path))) {
        handle.Close();
        return false;
    }
    return handle.Open(path);
}

int32_t GetDllSize(const TDynLib* library)
{
    if (!library) return DefaultDllSize;
    auto size = reinterpret_cast<TSymbolSizeProc>(library->Symbol("GETSIZE"));
    return size ? size() : DefaultDllSize;
}

int32_t DllSizeDivisor(int32_t size)
{
    return size > 0 ? size : DefaultDllSize;
}

namespace {
TSymbolProc Find(const TDynLib* library, const char* prefix, int32_t n)
{
    if (!library) return nullptr;
    char name[26] = {};
    std::snprintf(name, sizeof name, "%s%d", prefix, static_cast<int>(n));
    return reinterpret_cast<TSymbolProc>(library->Symbol(name));
}

TgdiHandle HandleOf(TDeviceContext* dc) { return dc ? dc->Handle() : nullptr; }
int32_t Capped(int32_t size) { return size > MaxSymbolSize ? MaxSymbolSize : size; }
} // namespace

TSymbolProc GetSignProc(const TDynLib* library, int32_t n) { return Find(library, "SIGN", n); }
TSymbolProc GetLineProc(const TDynLib* library, int32_t n) { return Find(library, "LINE", n); }
TSymbolProc GetFillProc(const TDynLib* library, int32_t n) { return Find(library, "FILL", n); }

void FillSignParams(TSignParams& rec, TDeviceContext* dc, int32_t x, int32_t y, int32_t signNumber, int32_t size,
                    bool selected)
{
    rec.X = x;
    rec.Y = y;
    rec.DC = HandleOf(dc);
    rec.SignNumber = signNumber;
    rec.Size = Capped(size);
    rec.Selected = selected ? 1 : 0;
}

void FillLineParams(TLineParams& rec, TDeviceContext* dc, TPoint* points, int32_t count, int32_t size, int32_t width,
                    int32_t colour, bool selected)
{
    rec.DC = HandleOf(dc);
    rec.Points = reinterpret_cast<TgdiPoint*>(points);
    rec.Count = count;
    rec.Size = Capped(size);
    rec.Width = width;
    rec.Colour = colour;
    rec.Selected = selected ? 1 : 0;
}

void FillFillParams(TFillParams& rec, TDeviceContext* dc, TPoint* points, int32_t count, int32_t size,
                    int32_t colour, bool selected)
{
    rec.DC = HandleOf(dc);
    rec.Points = reinterpret_cast<TgdiPoint*>(points);
    rec.Count = count;
    rec.Size = Capped(size);
    rec.Colour = colour;
    rec.Selected = selected ? 1 : 0;
}

// ---- built-in procedures ----

namespace {
template <class T>
T Read(const void* record)
{
    T r;
    std::memcpy(&r, record, sizeof r);
    return r;
}

// The built-ins run once per object: their pens and brushes are made once
// (per colour) rather than for every call.
TPen* BlackPen() { return StockPen(TGDI_BLACK_PEN); }

TBrush* SelectedSignBrush()
{
    static TBrush* b = TBrush::CreateSolid(Rgb(32, 32, 32)).Detach();
    return b;
}

TPen* LinePen(TColorRef color)
{
    static TGdiRef<TPen> pen;
    if (!pen || pen->Color() != color) pen = TPen::Create(TGDI_PS_SOLID, 0, color);
    return pen.get();
}

TBrush* FillHatch(TColorRef color)
{
    static TGdiRef<TBrush> brush;
    if (!brush || brush->Color() != color) brush = TBrush::CreateHatch(TGDI_HS_BDIAGONAL, color);
    return brush.get();
}

TColorRef ColourOf(int32_t colour, uint8_t selected) { return selected ? TColorRef(colour) & 0xFFFFFFu : 0; }
} // namespace

uint8_t DefaultSignProc(int32_t mode, void* record)
{
    if (!record) return 0;
    if (mode == 2) {
        const int32_t zero = 0;
        std::memcpy(record, &zero, sizeof zero);  // the record's first field, X
        return 1;
    }
    if (mode != 1) return 0;
    const auto rec = Read<TSignParams>(record);
    TDeviceContext* dc = TDeviceContext::FromHandle(rec.DC);
    if (!dc) return 1;
    const int64_t r = RoundEven(50.0L * rec.Size / 100);
    TGdiRef<TPen> oldPen = dc->SelectPen(BlackPen());
    TGdiRef<TBrush> oldBrush = dc->SelectBrush(rec.Selected ? SelectedSignBrush() : StockBrush(TGDI_WHITE_BRUSH));
    auto clamp = [](int64_t v) { return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v); };
    dc->Ellipse(clamp(rec.X - r), clamp(rec.Y - r), clamp(rec.X + r), clamp(rec.Y + r));
    dc->SelectBrush(oldBrush);
    dc->SelectPen(oldPen);
    return 1;
}

uint8_t DefaultLineProc(int32_t mode, void* record)
{
    if (!record || mode != 1) return 0;
    const auto rec = Read<TLineParams>(record);
    TDeviceContext* dc = TDeviceContext::FromHandle(rec.DC);
    if (!dc || !rec.Points || rec.Count < 2) return 1;
    TGdiRef<TPen> old = dc->SelectPen(LinePen(ColourOf(rec.Colour, rec.Selected)));
    dc->Polyline(reinterpret_cast<const TPoint*>(rec.Points), rec.Count);
    dc->SelectPen(old);
    return 1;
}

uint8_t DefaultFillProc(int32_t mode, void* record)
{
    if (!record || mode != 1) return 0;
    const auto rec = Read<TFillParams>(record);
    TDeviceContext* dc = TDeviceContext::FromHandle(rec.DC);
    if (!dc || !rec.Points || rec.Count < 2) return 1;
    TGdiRef<TBrush> old = dc->SelectBrush(FillHatch(ColourOf(rec.Colour, rec.Selected)));
    dc->Polygon(reinterpret_cast<const TPoint*>(rec.Points), rec.Count);
    dc->SelectBrush(old);
    return 1;
}

} // namespace tarn
