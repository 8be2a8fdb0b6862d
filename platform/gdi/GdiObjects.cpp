// Pens, brushes, bitmaps and the stock objects.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Handles.h"
#include "platform/gdi/Raster.h"

#include <QImage>

#include <array>
#include <cstring>

namespace tarn {

TGdiObject::~TGdiObject()
{
    if (Slot) TGdiHandles::Forget(Slot);
}

TgdiHandle TGdiObject::Handle()
{
    return TGdiHandles::HandleOf(this);
}

TPen::TPen(int32_t style, int32_t width, TColorRef color)
    : TGdiObject(TGdiKind::Pen), PenStyle(style), PenWidth(width), PenColor(color & 0x00FFFFFFu)
{
}

TGdiRef<TPen> TPen::Create(int32_t style, int32_t width, TColorRef color)
{
    if (style < TGDI_PS_SOLID || style > TGDI_PS_INSIDEFRAME) style = TGDI_PS_SOLID;
    if (width < 0) width = 0;
    return TGdiRef<TPen>(new TPen(style, width, color));
}

namespace {
// Bit x of row y is set where the hatch is drawn; the patterns repeat every
// eight pixels from the device origin.
void HatchPattern(int32_t hatch, uint8_t rows[8])
{
    for (int y = 0; y < 8; ++y) {
        uint8_t fdiag = uint8_t(1u << y), bdiag = uint8_t(1u << ((8 - y) & 7));
        uint8_t v = 0;
        switch (hatch) {
        case TGDI_HS_HORIZONTAL: v = y == 0 ? 0xFF : 0; break;
        case TGDI_HS_VERTICAL: v = 0x01; break;
        case TGDI_HS_FDIAGONAL: v = fdiag; break;
        case TGDI_HS_BDIAGONAL: v = bdiag; break;
        case TGDI_HS_CROSS: v = y == 0 ? 0xFF : 0x01; break;
        case TGDI_HS_DIAGCROSS: v = uint8_t(fdiag | bdiag); break;
        default: v = 0xFF; break;
        }
        rows[y] = v;
    }
}
} // namespace

TBrush::TBrush(TStyle style, int32_t hatch, TColorRef color)
    : TGdiObject(TGdiKind::Brush), BrushStyle(style), BrushHatch(hatch), BrushColor(color & 0x00FFFFFFu)
{
    if (style == Hatched) HatchPattern(hatch, Pattern);
}

TGdiRef<TBrush> TBrush::CreateSolid(TColorRef color)
{
    return TGdiRef<TBrush>(new TBrush(Solid, 0, color));
}

TGdiRef<TBrush> TBrush::CreateHatch(int32_t hatch, TColorRef color)
{
    if (hatch < TGDI_HS_HORIZONTAL || hatch > TGDI_HS_DIAGCROSS) return CreateSolid(color);
    return TGdiRef<TBrush>(new TBrush(Hatched, hatch, color));
}

TGdiRef<TBrush> TBrush::CreateNull()
{
    return TGdiRef<TBrush>(new TBrush(Null, 0, 0));
}

// ---- bitmaps ----

int64_t DibRowBytes(int32_t width, uint16_t bitCount)
{
    if (width <= 0 || width > (1 << 24)) return -1;
    switch (bitCount) {
    case 1: case 4: case 8: case 24: case 32: break;
    default: return -1;
    }
    return ((int64_t(width) * bitCount + 31) / 32) * 4;
}

TBitmap::TBitmap(std::unique_ptr<QImage> image) : TGdiObject(TGdiKind::Bitmap), Img(std::move(image)) {}
TBitmap::~TBitmap() = default;

int32_t TBitmap::Width() const { return Img->width(); }
int32_t TBitmap::Height() const { return Img->height(); }

TGdiRef<TBitmap> TBitmap::Create(int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || int64_t(width) * height > (int64_t(1) << 28)) return {};
    auto img = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
    if (img->isNull()) return {};
    img->fill(0xFFFFFFFFu);
    return TGdiRef<TBitmap>(new TBitmap(std::move(img)));
}


TGdiRef<TBitmap> TBitmap::FromDib(const TBitmapInfo& info, const void* bits, std::size_t bitsSize)
{
    gdi::TDibReader rd;
    if (!rd.Init(info, bits, bitsSize)) return {};
    int32_t h = info.Height < 0 ? -info.Height : info.Height;
    TGdiRef<TBitmap> bmp = Create(info.Width, h);
    if (!bmp) return {};
    QImage& img = bmp->Image();
    for (int32_t y = 0; y < h; ++y) {
        int64_t row = info.Height > 0 ? h - 1 - y : y;
        auto* out = reinterpret_cast<uint32_t*>(img.scanLine(y));
        for (int32_t x = 0; x < info.Width; ++x) out[x] = rd.At(x, row);
    }
    return bmp;
}

// ---- stock objects ----

namespace {
struct TStock {
    std::array<TGdiObject*, 14> Objects{};
    TStock()
    {
        auto keep = [](auto ref) {
            TGdiObject* p = ref.Detach();  // the one reference is never released
            return p;
        };
        Objects[TGDI_WHITE_BRUSH] = keep(TBrush::CreateSolid(Rgb(255, 255, 255)));
        Objects[TGDI_LTGRAY_BRUSH] = keep(TBrush::CreateSolid(Rgb(192, 192, 192)));
        Objects[TGDI_GRAY_BRUSH] = keep(TBrush::CreateSolid(Rgb(128, 128, 128)));
        Objects[TGDI_DKGRAY_BRUSH] = keep(TBrush::CreateSolid(Rgb(64, 64, 64)));
        Objects[TGDI_BLACK_BRUSH] = keep(TBrush::CreateSolid(0));
        Objects[TGDI_NULL_BRUSH] = keep(TBrush::CreateNull());
        Objects[TGDI_WHITE_PEN] = keep(TPen::Create(TGDI_PS_SOLID, 0, Rgb(255, 255, 255)));
        Objects[TGDI_BLACK_PEN] = keep(TPen::Create(TGDI_PS_SOLID, 0, 0));
        Objects[TGDI_NULL_PEN] = keep(TPen::Create(TGDI_PS_NULL, 0, 0));
    }
};
TStock& Stock()
{
    static auto* s = new TStock();
    return *s;
}
TGdiObject* StockFont()
{
    static TGdiObject* f = [] {
        TLogFont lf{};
        lf.Height = 16;
        std::memcpy(lf.FaceName, "DejaVu Sans", 12);
        return static_cast<TGdiObject*>(TFont::Create(lf).Detach());
    }();
    return f;
}
} // namespace

TGdiObject* GetStockObject(int32_t id)
{
    if (id == TGDI_SYSTEM_FONT) return StockFont();
    if (id < 0 || id > TGDI_NULL_PEN) return nullptr;
    return Stock().Objects[size_t(id)];
}

TPen* StockPen(int32_t id)
{
    TGdiObject* o = GetStockObject(id);
    return o && o->Kind() == TGdiKind::Pen ? static_cast<TPen*>(o) : nullptr;
}

TBrush* StockBrush(int32_t id)
{
    TGdiObject* o = GetStockObject(id);
    return o && o->Kind() == TGdiKind::Brush ? static_cast<TBrush*>(o) : nullptr;
}

} // namespace tarn
