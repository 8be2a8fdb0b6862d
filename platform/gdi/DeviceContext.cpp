// The device context: state, save and restore, and drawing. Thin pens and
// all fills go straight into the image memory; wide pens, text and
// smoothed stretching go through the context's QPainter.
#include "platform/Error.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Handles.h"
#include "platform/gdi/Raster.h"
#include "platform/gdi/TextStamps.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <cmath>

namespace tarn {

using namespace gdi;

namespace {

// Dash patterns of one-pixel pens: bit k of Mask is pixel k of the period.
struct TDash {
    uint32_t Mask;
    uint8_t Period;
};
constexpr uint32_t Bits(int from, int count) { return ((1u << count) - 1) << from; }
constexpr TDash Dashes[5] = {
    {0, 0},
    {Bits(0, 18), 24},                                           // dash: 18 on, 6 off
    {Bits(0, 3), 6},                                             // dot: 3 on, 3 off
    {Bits(0, 9) | Bits(15, 3), 24},                              // dash-dot: 9, 6, 3, 6
    {Bits(0, 9) | Bits(12, 3) | Bits(18, 3), 24},                // dash-dot-dot: 9, 3, 3, 3, 3, 3
};

QPainter::CompositionMode CompositionOf(int32_t rop)
{
    switch (rop) {
    case TGDI_R2_BLACK: return QPainter::RasterOp_ClearDestination;
    case TGDI_R2_NOTMERGEPEN: return QPainter::RasterOp_NotSourceAndNotDestination;
    case TGDI_R2_MASKNOTPEN: return QPainter::RasterOp_NotSourceAndDestination;
    case TGDI_R2_NOTCOPYPEN: return QPainter::RasterOp_NotSource;
    case TGDI_R2_MASKPENNOT: return QPainter::RasterOp_SourceAndNotDestination;
    case TGDI_R2_NOT: return QPainter::RasterOp_NotDestination;
    case TGDI_R2_XORPEN: return QPainter::RasterOp_SourceXorDestination;
    case TGDI_R2_NOTMASKPEN: return QPainter::RasterOp_NotSourceOrNotDestination;
    case TGDI_R2_MASKPEN: return QPainter::RasterOp_SourceAndDestination;
    case TGDI_R2_NOTXORPEN: return QPainter::RasterOp_NotSourceXorDestination;
    case TGDI_R2_MERGENOTPEN: return QPainter::RasterOp_NotSourceOrDestination;
    case TGDI_R2_MERGEPENNOT: return QPainter::RasterOp_SourceOrNotDestination;
    case TGDI_R2_MERGEPEN: return QPainter::RasterOp_SourceOrDestination;
    case TGDI_R2_WHITE: return QPainter::RasterOp_SetDestination;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

QColor QColorOf(TColorRef c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// Raster operation of source S, pattern P and screen D by its index byte.
inline uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d)
{
    uint32_t r;
    switch (code) {
    case 0xCC: r = s; break;
    case 0x88: r = s & d; break;
    case 0xEE: r = s | d; break;
    case 0x66: r = s ^ d; break;
    case 0x33: r = ~s; break;
    case 0x55: r = ~d; break;
    case 0xF0: r = p; break;
    case 0x00: r = 0; break;
    case 0xFF: r = ~0u; break;
    case 0xAA: r = d; break;
    default:
        r = 0;
        for (int k = 0; k < 8; ++k)
            if (code & (1 << k)) r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
    }
    return r | 0xFF000000u;
}

bool RopUsesSource(uint8_t code) { return ((code >> 2) ^ code) & 0x33; }
bool RopUsesPattern(uint8_t code) { return ((code >> 4) ^ code) & 0x0F; }

} // namespace

struct TDeviceContext::TQt {
    QPainter Painter;
    bool Begun = false;
    bool Failed = false;
    QPainter::CompositionMode Mode = QPainter::CompositionMode_SourceOver;
    QGlyphRun Run;
    gdi::TTextStamps Stamps;
    std::vector<QPointF> Positions;
    std::vector<quint32> Glyphs;
    std::vector<QPointF> Path;

    void SetMode(QPainter::CompositionMode m)
    {
        if (m != Mode) {
            Painter.setCompositionMode(m);
            Mode = m;
        }
    }
};

// ---- life ----

TDeviceContext::TDeviceContext() : Qt(std::make_unique<TQt>()), Filler(std::make_unique<TPolygonFiller>())
{
    InitDefaults();
}

TDeviceContext::TDeviceContext(QImage& image)
    : Qt(std::make_unique<TQt>()), Filler(std::make_unique<TPolygonFiller>())
{
    if (image.format() != QImage::Format_RGB32 || image.isNull())
        throw ETarnError("A device context needs a non-empty RGB32 image");
    AttachImage(&image);
    InitDefaults();
}

TDeviceContext::TDeviceContext(TBitmap& bitmap)
    : OwnBitmap(&bitmap), Qt(std::make_unique<TQt>()), Filler(std::make_unique<TPolygonFiller>())
{
    AttachImage(&bitmap.Image());
    InitDefaults();
}

TDeviceContext::~TDeviceContext()
{
    if (Slot) TGdiHandles::Forget(Slot);
    if (Qt->Begun) Qt->Painter.end();
}

void TDeviceContext::AttachImage(QImage* image)
{
    Img = image;
    Px.Bits = reinterpret_cast<uint32_t*>(image->bits());
    Px.Stride = int32_t(image->bytesPerLine() / 4);
    Px.Width = image->width();
    Px.Height = image->height();
    if (image->dotsPerMeterX() > 0) MmPerPixel = 1000.0 / image->dotsPerMeterX();
}

void TDeviceContext::InitDefaults()
{
    S = TState();
    S.Pen = StockPen(TGDI_BLACK_PEN);
    S.Brush = StockBrush(TGDI_WHITE_BRUSH);
    StateChanged();
}

TgdiHandle TDeviceContext::Handle()
{
    return TGdiHandles::RegisterContext(this, Slot);
}

TDeviceContext* TDeviceContext::FromHandle(TgdiHandle handle)
{
    return TGdiHandles::Context(handle);
}

// ---- state ----

void TDeviceContext::PenChanged()
{
    const TPen* pen = S.Pen.get();
    PainterPenValid = false;
    if (pen->Style() == TGDI_PS_NULL || S.Rop2 == TGDI_R2_NOP) PenMode = PenNone;
    else PenMode = pen->Width() <= 1 ? PenThin : PenWide;
    PenPixel = PixelOf(pen->Color());
    int style = pen->Style();
    const bool dashed = PenMode == PenThin && style >= TGDI_PS_DASH && style <= TGDI_PS_DASHDOTDOT;
    DashMask = dashed ? Dashes[style].Mask : 0;
    DashPeriod = dashed ? Dashes[style].Period : 0;
}

void TDeviceContext::BrushChanged()
{
    BrushMode = S.Brush->Style();
    BrushPixel = PixelOf(S.Brush->Color());
}

void TDeviceContext::StateChanged()
{
    PenChanged();
    BrushChanged();
    BkPixel = PixelOf(S.BkColor);
}

TGdiRef<TPen> TDeviceContext::SelectPen(TPen* pen)
{
    if (!pen) return {};
    if (pen == S.Pen.get()) return pen;  // nothing derived from it changes
    TGdiRef<TPen> old = std::move(S.Pen);
    S.Pen = pen;
    PenChanged();
    return old;
}

TGdiRef<TBrush> TDeviceContext::SelectBrush(TBrush* brush)
{
    if (!brush) return {};
    if (brush == S.Brush.get()) return brush;
    TGdiRef<TBrush> old = std::move(S.Brush);
    S.Brush = brush;
    BrushChanged();
    return old;
}

TFont* TDeviceContext::Font() const
{
    return S.Font ? S.Font.get() : static_cast<TFont*>(GetStockObject(TGDI_SYSTEM_FONT));
}

TGdiRef<TFont> TDeviceContext::SelectFont(TFont* font)
{
    if (!font) return {};
    TGdiRef<TFont> old = Font();
    S.Font = font;
    return old;
}

TGdiRef<TGdiObject> TDeviceContext::SelectObject(TGdiObject* object)
{
    if (!object) return {};
    switch (object->Kind()) {
    case TGdiKind::Pen: return SelectPen(static_cast<TPen*>(object));
    case TGdiKind::Brush: return SelectBrush(static_cast<TBrush*>(object));
    case TGdiKind::Font: return SelectFont(static_cast<TFont*>(object));
    default: return {};
    }
}

int32_t TDeviceContext::SaveDC()
{
    Saved.push_back(S);
    return int32_t(Saved.size());
}

bool TDeviceContext::RestoreDC(int32_t level)
{
    int64_t index = level < 0 ? int64_t(Saved.size()) + level : int64_t(level) - 1;
    if (level == 0 || index < 0 || index >= int64_t(Saved.size())) return false;
    S = std::move(Saved[size_t(index)]);
    Saved.resize(size_t(index));
    StateChanged();
    return true;
}

int32_t TDeviceContext::SetROP2(int32_t mix)
{
    if (mix < TGDI_R2_BLACK || mix > TGDI_R2_WHITE) return 0;
    int32_t old = S.Rop2;
    S.Rop2 = mix;
    PenChanged();
    return old;
}

int32_t TDeviceContext::SetBkMode(int32_t mode)
{
    if (mode != TGDI_TRANSPARENT && mode != TGDI_OPAQUE) return 0;
    return std::exchange(S.BkMode, mode);
}

TColorRef TDeviceContext::SetBkColor(TColorRef color)
{
    TColorRef old = S.BkColor;
    S.BkColor = color & 0x00FFFFFFu;
    BkPixel = PixelOf(S.BkColor);
    return old;
}

TColorRef TDeviceContext::SetTextColor(TColorRef color)
{
    return std::exchange(S.TextColor, color & 0x00FFFFFFu);
}

uint32_t TDeviceContext::SetTextAlign(uint32_t align)
{
    return std::exchange(S.TextAlign, align);
}

int32_t TDeviceContext::SetStretchBltMode(int32_t mode)
{
    if (mode < TGDI_BLACKONWHITE || mode > TGDI_HALFTONE) return 0;
    return std::exchange(S.StretchMode, mode);
}

int32_t TDeviceContext::SetMapMode(int32_t mode)
{
    if (mode < 1 || mode > 8) return 0;
    return std::exchange(S.MapMode, mode);
}

TSize TDeviceContext::SetWindowExt(int32_t cx, int32_t cy)
{
    return std::exchange(S.WindowExt, TSize{cx, cy});
}

TSize TDeviceContext::SetViewportExt(int32_t cx, int32_t cy)
{
    return std::exchange(S.ViewportExt, TSize{cx, cy});
}

TPoint TDeviceContext::MoveTo(int32_t x, int32_t y)
{
    return std::exchange(S.Pos, TPoint{x, y});
}

int32_t TDeviceContext::GetDeviceCaps(int32_t index) const
{
    switch (index) {
    case TGDI_HORZRES: return Px.Width;
    case TGDI_VERTRES: return Px.Height;
    case TGDI_HORZSIZE: return int32_t(std::lround(Px.Width * MmPerPixel));
    case TGDI_VERTSIZE: return int32_t(std::lround(Px.Height * MmPerPixel));
    case TGDI_BITSPIXEL: return 32;
    case TGDI_PLANES: return 1;
    case TGDI_NUMCOLORS: return -1;
    case TGDI_SIZEPALETTE: return 0;
    case TGDI_RASTERCAPS: return 0x0001 | 0x0080 | 0x0800 | 0x2000;  // blits, device-independent bits, stretching
    case TGDI_LOGPIXELSX:
    case TGDI_LOGPIXELSY: return int32_t(std::lround(25.4 / MmPerPixel));
    default: return 0;
    }
}

void TDeviceContext::SetMillimetresPerPixel(double mm)
{
    if (std::isfinite(mm) && mm > 0) MmPerPixel = mm;
}

TColorRef TDeviceContext::GetPixel(int32_t x, int32_t y) const
{
    if (!CanDraw() || uint32_t(x) >= uint32_t(Px.Width) || uint32_t(y) >= uint32_t(Px.Height)) return InvalidColor;
    return ColorOf(Px.Bits[int64_t(y) * Px.Stride + x]);
}

// ---- QPainter ----

bool TDeviceContext::PainterReady()
{
    if (!Img) return false;
    if (!Qt->Begun) {
        if (Qt->Failed) return false;
        if (!Qt->Painter.begin(Img)) {
            Qt->Failed = true;  // another painter owns the image
            return false;
        }
        // Lines and shapes keep their exact pixels; only text is smoothed.
        Qt->Painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform, false);
        Qt->Painter.setRenderHints(QPainter::TextAntialiasing | QPainter::VerticalSubpixelPositioning, true);
        Qt->Begun = true;
        Qt->Mode = QPainter::CompositionMode_SourceOver;
        PainterPenValid = false;
    }
    return true;
}

void TDeviceContext::SyncPainterPen()
{
    if (PainterPenValid) return;
    QPen pen(QColorOf(S.Pen->Color()), S.Pen->Width(), ::Qt::SolidLine, ::Qt::RoundCap, ::Qt::RoundJoin);
    Qt->Painter.setPen(pen);
    Qt->Painter.setBrush(::Qt::NoBrush);
    PainterPenValid = true;
}

// ---- lines ----

namespace {
template <class Put>
void StrokePath(const TRaster& r, const TPoint* p, int32_t n, bool closed, const Put& put)
{
    auto visit = [put](uint32_t* d, int64_t) { put(d); };  // by value: see WalkLine
    for (int32_t i = 0; i + 1 < n; ++i) WalkLine(r, p[i].X, p[i].Y, p[i + 1].X, p[i + 1].Y, visit);
    if (closed && n > 1) WalkLine(r, p[n - 1].X, p[n - 1].Y, p[0].X, p[0].Y, visit);
}
} // namespace

void TDeviceContext::StrokeThin(const TPoint* p, int32_t n, bool closed)
{
    if (!DashPeriod) {
        switch (S.Rop2) {
        case TGDI_R2_COPYPEN: StrokePath(Px, p, n, closed, TPutCopy{PenPixel}); return;
        case TGDI_R2_NOT: StrokePath(Px, p, n, closed, TPutNot{}); return;
        case TGDI_R2_NOTXORPEN: StrokePath(Px, p, n, closed, TPutNotXor{PenPixel}); return;
        default: StrokePath(Px, p, n, closed, TPutMix{S.Rop2, PenPixel}); return;
        }
    }
    // Styled: the pattern runs on along the whole line; gaps take the
    // background colour in opaque mode.
    const uint32_t mask = DashMask;
    const int64_t period = DashPeriod;
    const TPutMix on{S.Rop2, PenPixel}, off{S.Rop2, BkPixel};
    const bool opaque = S.BkMode == TGDI_OPAQUE;
    int64_t offset = 0;
    auto segment = [&](const TPoint& a, const TPoint& b) {
        WalkLine(Px, a.X, a.Y, b.X, b.Y, [&](uint32_t* d, int64_t i) {
            if ((mask >> ((offset + i) % period)) & 1) on(d);
            else if (opaque) off(d);
        });
        offset += std::max(std::abs(int64_t(b.X) - a.X), std::abs(int64_t(b.Y) - a.Y));
    };
    for (int32_t i = 0; i + 1 < n; ++i) segment(p[i], p[i + 1]);
    if (closed && n > 1) segment(p[n - 1], p[0]);
}

void TDeviceContext::StrokeWide(const TPoint* p, int32_t n, bool closed)
{
    if (!Shortcuts) {
        StrokeWideRun(p, n, closed);
        return;
    }
    // The pen reaches no further than its width from the line, round joins
    // and caps included; a run of segments that all stay further than that
    // outside the picture adds no pixel (the outline it makes encloses none
    // of them), so the line goes to the painter in the pieces that can.
    const int64_t m = int64_t(S.Pen->Width()) + 2;
    const int64_t l = -m, t = -m, r = int64_t(Px.Width) + m, b = int64_t(Px.Height) + m;
    auto apart = [&](const TPoint& a, const TPoint& c) {
        return std::max(a.X, c.X) < l || std::min(a.X, c.X) > r || std::max(a.Y, c.Y) < t || std::min(a.Y, c.Y) > b;
    };
    if (closed) {
        // a ring is drawn whole or not at all
        bool near = !apart(p[n - 1], p[0]);
        for (int32_t i = 0; i + 1 < n && !near; ++i) near = !apart(p[i], p[i + 1]);
        if (near) StrokeWideRun(p, n, true);
        return;
    }
    int32_t from = -1;  // first point of the piece being gathered
    for (int32_t i = 0; i + 1 < n; ++i) {
        if (!apart(p[i], p[i + 1])) {
            if (from < 0) from = i;
            continue;
        }
        if (from >= 0) StrokeWideRun(p + from, i + 1 - from, false);
        from = -1;
    }
    if (from >= 0) StrokeWideRun(p + from, n - from, false);
}

void TDeviceContext::StrokeWideRun(const TPoint* p, int32_t n, bool closed)
{
    if (!PainterReady()) return;
    SyncPainterPen();
    Qt->SetMode(CompositionOf(S.Rop2));
    auto& path = Qt->Path;
    path.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) path[size_t(i)] = QPointF(p[i].X + 0.5, p[i].Y + 0.5);
    if (closed) Qt->Painter.drawPolygon(path.data(), n);
    else Qt->Painter.drawPolyline(path.data(), n);
}

void TDeviceContext::LineTo(int32_t x, int32_t y)
{
    TPoint pts[2] = {S.Pos, {x, y}};
    S.Pos = {x, y};
    if (!CanDraw()) return;
    if (PenMode == PenThin) StrokeThin(pts, 2, false);
    else if (PenMode == PenWide) StrokeWide(pts, 2, false);
}

void TDeviceContext::Polyline(const TPoint* points, int32_t count)
{
    if (!CanDraw() || !points || count < 2) return;
    if (PenMode == PenThin) {
        if (count <= 16) PrefetchRows(Px, points, count);
        StrokeThin(points, count, false);
        return;
    }
    if (PenMode == PenWide) StrokeWide(points, count, false);
}

// ---- fills ----

namespace {
struct TFillStyle {
    uint8_t Mode;  // TBrush::TStyle
    uint32_t Pixel;
    uint32_t Bk;
    bool Opaque;
    int32_t Rop;
    const TBrush* Brush;
};

void FillRun(const TRaster& r, const TFillStyle& f, int32_t y, int32_t x0, int32_t x1)
{
    uint32_t* row = r.Bits + int64_t(y) * r.Stride;
    if (f.Mode == TBrush::Solid) {
        switch (f.Rop) {
        case TGDI_R2_COPYPEN: FillPixels(row + x0, x1 - x0, f.Pixel); return;
        case TGDI_R2_NOTXORPEN:
            for (int32_t x = x0; x < x1; ++x) row[x] = ~(row[x] ^ f.Pixel) | 0xFF000000u;
            return;
        default:
            for (int32_t x = x0; x < x1; ++x) row[x] = Mix(f.Rop, row[x], f.Pixel);
            return;
        }
    }
    if (f.Mode != TBrush::Hatched) return;
    const uint32_t bits = f.Brush->PatternRow(y);
    if (f.Rop == TGDI_R2_COPYPEN && Shortcuts) {
        // The hatch repeats every eight pixels: each column of the pattern
        // is set with a stride of eight, in the background colour too when
        // opaque, so the colour and mix are looked at once per column.
        for (int32_t k = 0; k < 8 && x0 + k < x1; ++k) {
            const int32_t x = x0 + k;
            const bool on = (bits >> (x & 7)) & 1;
            if (!on && !f.Opaque) continue;
            const uint32_t v = on ? f.Pixel | 0xFF000000u : f.Bk | 0xFF000000u;
            for (int32_t xx = x; xx < x1; xx += 8) row[xx] = v;
        }
        return;
    }
    for (int32_t x = x0; x < x1; ++x) {
        if ((bits >> (x & 7)) & 1) row[x] = Mix(f.Rop, row[x], f.Pixel);
        else if (f.Opaque) row[x] = Mix(f.Rop, row[x], f.Bk);
    }
}

void FillBox(const TRaster& r, const TFillStyle& f, int64_t l, int64_t t, int64_t rr, int64_t b)
{
    l = std::max<int64_t>(l, 0);
    t = std::max<int64_t>(t, 0);
    rr = std::min<int64_t>(rr, r.Width);
    b = std::min<int64_t>(b, r.Height);
    if (l >= rr) return;
    for (int64_t y = t; y < b; ++y) FillRun(r, f, int32_t(y), int32_t(l), int32_t(rr));
}
} // namespace

void TDeviceContext::Polygon(const TPoint* points, int32_t count)
{
    if (!CanDraw() || !points || count < 2) return;
    if (BrushMode == TBrush::Solid && S.Rop2 == TGDI_R2_COPYPEN) {
        uint32_t* const bits = Px.Bits;
        const int64_t stride = Px.Stride;
        const uint32_t pixel = BrushPixel;
        Filler->Fill(Px, points, count, [=](int32_t y, int32_t x0, int32_t x1) {
            FillPixels(bits + y * stride + x0, x1 - x0, pixel);
        });
    } else if (BrushMode != TBrush::Null && S.Rop2 != TGDI_R2_NOP) {
        TFillStyle f{BrushMode, BrushPixel, BkPixel, S.BkMode == TGDI_OPAQUE, S.Rop2, S.Brush.get()};
        Filler->Fill(Px, points, count, [&](int32_t y, int32_t x0, int32_t x1) { FillRun(Px, f, y, x0, x1); });
    }
    if (PenMode == PenThin) StrokeThin(points, count, true);
    else if (PenMode == PenWide) StrokeWide(points, count, true);
}

void TDeviceContext::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b)
{
    if (!CanDraw()) return;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (r - int64_t(l) < 1 || b - int64_t(t) < 1) return;
    const bool fill = BrushMode != TBrush::Null && S.Rop2 != TGDI_R2_NOP;
    const TFillStyle f{BrushMode, BrushPixel, BkPixel, S.BkMode == TGDI_OPAQUE, S.Rop2, S.Brush.get()};
    if (PenMode == PenThin) {
        // the border pixels belong to the pen, each drawn once
        if (fill) FillBox(Px, f, int64_t(l) + 1, int64_t(t) + 1, int64_t(r) - 1, int64_t(b) - 1);
        TPoint frame[4] = {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}};
        StrokeThin(frame, 4, true);
        return;
    }
    if (fill) FillBox(Px, f, l, t, r, b);
    if (PenMode == PenWide && PainterReady()) {
        SyncPainterPen();
        Qt->SetMode(CompositionOf(S.Rop2));
        double inset = S.Pen->Style() == TGDI_PS_INSIDEFRAME ? S.Pen->Width() / 2.0 : 0.5;
        Qt->Painter.drawRect(QRectF(l + inset, t + inset, double(r) - l - 2 * inset, double(b) - t - 2 * inset));
    }
}

namespace {
// The rows of an ellipse with a one-pixel outline, rows [y0, y1) of the
// raster: each row's span is worked out once and kept while its
// neighbours need it.
template <class Put>
void ThinEllipseRows(const TRaster& px, int32_t l, int32_t t, int32_t r, int32_t b, int32_t y0, int32_t y1,
                     bool fill, const TFillStyle& f, const Put& penRef)
{
    const Put pen = penRef;  // a local copy: the pixel stores cannot alias its colour
    struct TSpan {
        bool Ok;
        int32_t A, Z;
    };
    auto spanAt = [&](int32_t y) {
        TSpan sp{};
        sp.Ok = EllipseRow(l, t, r, b, y, sp.A, sp.Z);
        return sp;
    };
    const int64_t width = px.Width;
    TSpan above = spanAt(y0 - 1), here = spanAt(y0);
    for (int32_t y = y0; y < y1; ++y) {
        const TSpan below = spanAt(y + 1);
        const TSpan cur = here;
        here = below;
        if (!cur.Ok) {
            above = cur;
            continue;
        }
        const int32_t a = cur.A, z = cur.Z;
        int64_t ia = a + 1, iz = int64_t(z) - 1;  // interior [ia, iz)
        if (above.Ok && below.Ok) {
            ia = std::max<int64_t>({ia, above.A, below.A});
            iz = std::min<int64_t>({iz, above.Z, below.Z});
        } else {
            iz = ia;
        }
        above = cur;
        if (iz < ia) iz = ia;
        uint32_t* row = px.Bits + int64_t(y) * px.Stride;
        // the left outline [a, ia), the inside [ia, iz), the right outline [iz, z), each clipped
        const int64_t la = std::max<int64_t>(a, 0), lz = std::min<int64_t>({ia, int64_t(z), width});
        for (int64_t x = la; x < lz; ++x) pen(row + x);
        if (fill) {
            const int64_t fa = std::max<int64_t>(ia, 0), fz = std::min<int64_t>(iz, width);
            if (fa < fz) FillRun(px, f, y, int32_t(fa), int32_t(fz));
        }
        const int64_t ra = std::max<int64_t>({iz, int64_t(a), 0}), rz = std::min<int64_t>(z, width);
        for (int64_t x = ra; x < rz; ++x) pen(row + x);
    }
}
} // namespace

void TDeviceContext::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b)
{
    if (!CanDraw()) return;
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    if (r - int64_t(l) < 1 || b - int64_t(t) < 1) return;
    const bool fill = BrushMode != TBrush::Null && S.Rop2 != TGDI_R2_NOP;
    const TFillStyle f{BrushMode, BrushPixel, BkPixel, S.BkMode == TGDI_OPAQUE, S.Rop2, S.Brush.get()};
    const int32_t y0 = std::max<int32_t>(t, 0), y1 = std::min<int32_t>(b, Px.Height);
    auto clipRun = [&](int64_t a, int64_t z, auto&& fn) {
        a = std::max<int64_t>(a, 0);
        z = std::min<int64_t>(z, Px.Width);
        if (a < z) fn(int32_t(a), int32_t(z));
    };
    if (y1 - y0 <= 64) {
        // A sign-sized ellipse: ask for its rows at once, so that their cache
        // misses overlap instead of stalling one after the other.
        const int32_t pl = std::clamp<int32_t>(l, 0, Px.Width - 1), pr = std::clamp<int32_t>(r - 1, 0, Px.Width - 1);
        for (int32_t y = y0; y < y1; ++y) {
            const uint32_t* row = Px.Bits + int64_t(y) * Px.Stride;
            __builtin_prefetch(row + pl, 1);
            __builtin_prefetch(row + pr, 1);
        }
    }
    if (PenMode != PenThin) {
        if (fill)
            for (int32_t y = y0; y < y1; ++y) {
                int32_t a, z;
                if (EllipseRow(l, t, r, b, y, a, z))
                    clipRun(a, z, [&](int32_t u, int32_t v) { FillRun(Px, f, y, u, v); });
            }
        if (PenMode == PenWide && PainterReady()) {
            SyncPainterPen();
            Qt->SetMode(CompositionOf(S.Rop2));
            double inset = S.Pen->Style() == TGDI_PS_INSIDEFRAME ? S.Pen->Width() / 2.0 : 0.5;
            Qt->Painter.drawEllipse(
                QRectF(l + inset, t + inset, double(r) - l - 2 * inset, double(b) - t - 2 * inset));
        }
        return;
    }
    // One-pixel outline: the pixels of a row that miss a neighbour inside
    // the ellipse (above, below, left or right) belong to the pen.
    if (S.Rop2 == TGDI_R2_COPYPEN) ThinEllipseRows(Px, l, t, r, b, y0, y1, fill, f, TPutCopy{PenPixel});
    else ThinEllipseRows(Px, l, t, r, b, y0, y1, fill, f, TPutMix{S.Rop2, PenPixel});
}

void TDeviceContext::FillRect(const TRect& rc, const TBrush* brush)
{
    if (!CanDraw() || !brush || brush->Style() == TBrush::Null) return;
    const TFillStyle f{brush->Style(), PixelOf(brush->Color()), BkPixel, S.BkMode == TGDI_OPAQUE, TGDI_R2_COPYPEN,
                       brush};
    FillBox(Px, f, rc.Left, rc.Top, rc.Right, rc.Bottom);
}

// ---- text ----

TSize TDeviceContext::GetTextExtent(std::string_view text) const
{
    const TFontFace& face = Font()->Face();
    int64_t w = 0;
    for (char c : text) w += face.Advance[uint8_t(c)];
    return {int32_t(std::min<int64_t>(w, INT32_MAX)), face.CellHeight};
}

void TDeviceContext::TextOut(int32_t x, int32_t y, std::string_view text)
{
    if (!CanDraw() || text.empty()) return;
    if (text.size() > 65536) text = text.substr(0, 65536);
    const TFont* font = Font();
    const TFontFace& face = font->Face();
    const TLogFont& lf = font->LogFont();
    const int32_t n = int32_t(text.size());

    auto& glyphs = Qt->Glyphs;
    auto& pos = Qt->Positions;
    glyphs.resize(size_t(n));
    pos.resize(size_t(n));
    int64_t pen = 0;
    for (int32_t i = 0; i < n; ++i) {
        uint8_t c = uint8_t(text[size_t(i)]);
        glyphs[size_t(i)] = face.Glyph[c];
        pos[size_t(i)] = QPointF(double(pen) / face.XScale, 0);
        pen += face.Advance[c];
    }
    const double width = double(pen);

    // Box of the text in its own frame: x along the text, y down; the
    // reference point is the origin.
    double dx = 0;
    switch (S.TextAlign & 6) {
    case TGDI_TA_CENTER: dx = -std::floor(width / 2); break;
    case TGDI_TA_RIGHT: dx = -width; break;
    default: break;
    }
    double base;  // baseline
    switch (S.TextAlign & 24) {
    case TGDI_TA_BASELINE: base = 0; break;
    case TGDI_TA_BOTTOM: base = -face.Descent; break;
    default: base = face.Ascent; break;
    }
    const double esc = lf.Escapement / 10.0;
    const bool turned = (lf.Escapement % 3600) != 0;
    const double rad = esc * M_PI / 180.0, c = std::cos(rad), s = std::sin(rad);

    if (S.BkMode == TGDI_OPAQUE) {
        const TFillStyle f{TBrush::Solid, BkPixel, BkPixel, true, TGDI_R2_COPYPEN, nullptr};
        const double top = base - face.Ascent, bottom = base + face.Descent;
        if (!turned) {
            FillBox(Px, f, x + int64_t(dx), y + int64_t(top), x + int64_t(dx + width), y + int64_t(bottom));
        } else {
            auto at = [&](double u, double v) {
                return TPoint{int32_t(std::lround(x + u * c + v * s)), int32_t(std::lround(y - u * s + v * c))};
            };
            TPoint box[4] = {at(dx, top), at(dx + width, top), at(dx + width, bottom), at(dx, bottom)};
            Filler->Fill(Px, box, 4, [&](int32_t yy, int32_t x0, int32_t x1) { FillRun(Px, f, yy, x0, x1); });
        }
    }
    if (!PainterReady()) return;
    Qt->SetMode(QPainter::CompositionMode_SourceOver);
    Qt->Painter.setPen(QColorOf(S.TextColor));
    PainterPenValid = false;
    QGlyphRun& run = Qt->Run;
    run.setRawFont(face.Raw);
    run.setRawData(glyphs.data(), pos.data(), n);
    run.setUnderline(lf.Underline != 0);
    run.setStrikeOut(lf.StrikeOut != 0);
    if (!turned && face.XScale == 1) {
        Qt->Painter.drawGlyphRun(QPointF(x + dx, y + base), run);
        return;
    }
    if (turned) run.setRawFont(face.Turned);
    // Qt places underlines and strike-outs by where they lie: those are drawn each time.
    if (!lf.Underline && !lf.StrikeOut) {
        gdi::TStampKey key{font->FaceHandle(), std::string(text), lf.Escapement, dx, base};
        if (const gdi::TStamp* stamp = Qt->Stamps.Get(std::move(key), run, width, Qt->Painter.renderHints());
            stamp && stamp->Fits(x, y)) {
            gdi::TTextStamps::Put(Px, *stamp, x, y, PixelOf(S.TextColor));
            return;
        }
    }
    QTransform t;
    t.translate(x, y);
    t.rotate(-esc);
    t.scale(face.XScale, 1);
    Qt->Painter.setTransform(t);
    Qt->Painter.drawGlyphRun(QPointF(dx / face.XScale + GlyphNudge, base + GlyphNudge), run);
    Qt->Painter.resetTransform();
}

// ---- block transfers ----

namespace {

// Source pixels of a transfer: another image, or a device-independent
// picture read in place. Coordinates count rows from the top.
struct TImageSource {
    const uint32_t* Bits;
    int64_t Stride;
    int64_t W, H;
    uint32_t At(int64_t x, int64_t y) const { return Bits[y * Stride + x]; }
};
struct TDibSource {
    const TDibReader* R;
    int64_t W, H;
    bool BottomUp;
    uint32_t At(int64_t x, int64_t y) const { return R->At(int32_t(x), BottomUp ? H - 1 - y : y); }
};

// Which source lines feed each destination line of a stretch: one sample
// (the nearest) or, shrinking in half-tone mode, up to four spread over
// the destination pixel's footprint, averaged.
struct TAxis {
    std::vector<int64_t> Samples;  // 4 per destination line
    std::vector<uint8_t> Count;

    // Destination lines [from, to) of a stretch of `dstLen` lines starting
    // at `dstStart` from `srcLen` source lines at `srcStart` (negative
    // lengths mirror).
    void Build(int64_t from, int64_t to, int64_t dstStart, int64_t dstLen, int64_t srcStart, int64_t srcLen,
               bool smooth)
    {
        const int64_t ad = dstLen < 0 ? -dstLen : dstLen, as = srcLen < 0 ? -srcLen : srcLen;
        const int64_t lo = std::min(dstStart, dstStart + dstLen);
        Samples.assign(size_t(to - from) * 4, 0);
        Count.assign(size_t(to - from), 0);
        for (int64_t i = from; i < to; ++i) {
            const int64_t k = dstLen < 0 ? ad - 1 - (i - lo) : i - lo;
            int64_t* out = &Samples[size_t(i - from) * 4];
            uint8_t n;
            if (smooth && as > ad) {
                const double a = double(k) * double(as) / double(ad), b = double(k + 1) * double(as) / double(ad);
                n = uint8_t(std::min<double>(4, std::ceil(b - a)));
                for (int q = 0; q < n; ++q) out[q] = int64_t(a + (q + 0.5) * (b - a) / n);
            } else {
                // centre of destination pixel k, in exact integers
                __int128 num = __int128(2 * k + 1) * as;
                out[0] = int64_t(num / (2 * ad));
                n = 1;
            }
            for (int q = 0; q < n; ++q) out[q] = srcLen < 0 ? srcStart - 1 - out[q] : srcStart + out[q];
            Count[size_t(i - from)] = n;
        }
    }
};

} // namespace

template <class Source>
bool TDeviceContext::Transfer(const Source* src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                              int32_t sw, int32_t sh, uint32_t rop)
{
    const uint8_t code = uint8_t(rop >> 16);
    const bool useSrc = src && RopUsesSource(code), usePat = RopUsesPattern(code);
    if (w == 0 || h == 0) return true;
    if (useSrc && (sw == 0 || sh == 0)) return false;
    const int64_t dl = std::min<int64_t>(x, int64_t(x) + w), dt = std::min<int64_t>(y, int64_t(y) + h);
    const int64_t cl = std::max<int64_t>(dl, 0), ct = std::max<int64_t>(dt, 0);
    const int64_t cr = std::min<int64_t>(dl + std::abs(int64_t(w)), Px.Width);
    const int64_t cb = std::min<int64_t>(dt + std::abs(int64_t(h)), Px.Height);
    if (cl >= cr || ct >= cb) return true;
    const bool smooth = S.StretchMode == TGDI_HALFTONE;
    TAxis cols, rows;
    if (useSrc) {
        cols.Build(cl, cr, x, w, sx, sw, smooth);
        rows.Build(ct, cb, y, h, sy, sh, smooth);
    }
    const TBrush* brush = S.Brush.get();
    for (int64_t yy = ct; yy < cb; ++yy) {
        uint32_t* out = Px.Bits + yy * Px.Stride;
        const int64_t* rs = useSrc ? &rows.Samples[size_t(yy - ct) * 4] : nullptr;
        const int nr = useSrc ? rows.Count[size_t(yy - ct)] : 0;
        const uint8_t patRow = brush->Style() == TBrush::Hatched ? brush->PatternRow(int32_t(yy)) : 0xFF;
        for (int64_t xx = cl; xx < cr; ++xx) {
            uint32_t sp = 0;
            if (useSrc) {
                const int64_t* cs = &cols.Samples[size_t(xx - cl) * 4];
                const int nc = cols.Count[size_t(xx - cl)];
                uint32_t r = 0, g = 0, b = 0, n = 0;
                for (int i = 0; i < nr; ++i) {
                    if (rs[i] < 0 || rs[i] >= src->H) continue;
                    for (int j = 0; j < nc; ++j) {
                        if (cs[j] < 0 || cs[j] >= src->W) continue;
                        const uint32_t p = src->At(cs[j], rs[i]);
                        r += (p >> 16) & 0xFF;
                        g += (p >> 8) & 0xFF;
                        b += p & 0xFF;
                        ++n;
                    }
                }
                if (n == 0) continue;  // outside the source: left alone
                sp = n == 1 ? (r << 16) | (g << 8) | b : ((r + n / 2) / n << 16) | ((g + n / 2) / n << 8) | ((b + n / 2) / n);
            }
            uint32_t pp = 0;
            if (usePat)
                pp = brush->Style() == TBrush::Null ? 0xFF000000u : ((patRow >> (xx & 7)) & 1) ? BrushPixel : BkPixel;
            out[xx] = code == 0xCC ? sp | 0xFF000000u : Rop3(code, pp, sp, out[xx]);
        }
    }
    return true;
}

// An unstretched copy (or mask) of a device-independent picture, row by
// row: the pixels the general path would pick, each source row decoded in
// one loop for its depth. Pixels outside the source are left alone.
template <class Dib>
void TDeviceContext::CopyDibRows(const Dib& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int64_t sy,
                                 bool mask)
{
    const int64_t shiftX = int64_t(sx) - x, shiftY = sy - y;
    const int64_t left = std::max<int64_t>({x, 0, -shiftX});
    const int64_t right = std::min<int64_t>({int64_t(x) + w, Px.Width, src.W - shiftX});
    const int64_t top = std::max<int64_t>({y, 0, -shiftY});
    const int64_t bottom = std::min<int64_t>({int64_t(y) + h, Px.Height, src.H - shiftY});
    if (left >= right || top >= bottom) return;
    const TDibReader& rd = *src.R;
    for (int64_t yy = top; yy < bottom; ++yy) {
        const int64_t row = yy + shiftY;
        const uint8_t* in = rd.Bits + (src.BottomUp ? src.H - 1 - row : row) * rd.RowBytes;
        uint32_t* out = Px.Bits + yy * Px.Stride;
        auto put = [&](int64_t xx, uint32_t p) {
            out[xx] = mask ? (p & out[xx]) | 0xFF000000u : p | 0xFF000000u;
        };
        switch (rd.BitCount) {
        case 1:
            for (int64_t xx = left; xx < right; ++xx) {
                const int64_t c = xx + shiftX;
                put(xx, rd.Palette[(in[c >> 3] >> (7 - (c & 7))) & 1]);
            }
            break;
        case 4:
            for (int64_t xx = left; xx < right; ++xx) {
                const int64_t c = xx + shiftX;
                put(xx, rd.Palette[(in[c >> 1] >> ((c & 1) ? 0 : 4)) & 0xF]);
            }
            break;
        case 8:
            for (int64_t xx = left; xx < right; ++xx) put(xx, rd.Palette[in[xx + shiftX]]);
            break;
        default: {
            const int64_t bytes = rd.BitCount == 24 ? 3 : 4;
            for (int64_t xx = left; xx < right; ++xx) {
                const uint8_t* q = in + bytes * (xx + shiftX);
                put(xx, (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0]);
            }
        }
        }
    }
}

bool TDeviceContext::StretchBlt(int32_t x, int32_t y, int32_t w, int32_t h, const TDeviceContext* source,
                                int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop)
{
    if (!CanDraw()) return false;
    if (!RopUsesSource(uint8_t(rop >> 16))) return Transfer<TImageSource>(nullptr, x, y, w, h, 0, 0, 1, 1, rop);
    if (!source || !source->CanDraw()) return false;
    QImage copy;
    if (rop == TGDI_SRCCOPY && source != this && w > 0 && h > 0 && sw == w && sh == h) {
        // An unstretched copy (a view's picture to its window) row by row:
        // the pixels the general path would pick, without sampling.
        const int64_t left = std::max<int64_t>({x, 0, int64_t(x) - sx});
        const int64_t right = std::min<int64_t>({int64_t(x) + w, Px.Width, int64_t(x) - sx + source->Px.Width});
        const int64_t top = std::max<int64_t>({y, 0, int64_t(y) - sy});
        const int64_t bottom = std::min<int64_t>({int64_t(y) + h, Px.Height, int64_t(y) - sy + source->Px.Height});
        const int64_t shift = int64_t(sx) - x;
        for (int64_t yy = top; yy < bottom; ++yy) {
            uint32_t* out = Px.Bits + yy * Px.Stride;
            const uint32_t* in = source->Px.Bits + (yy - y + sy) * source->Px.Stride;
            if (!Shortcuts)
                for (int64_t xx = left; xx < right; ++xx) out[xx] = in[xx + shift] | 0xFF000000u;
            else if (left < right)
                CopyOpaque(out + left, in + left + shift, right - left);
        }
        return true;
    }
    TImageSource src{source->Px.Bits, source->Px.Stride, source->Px.Width, source->Px.Height};
    if (source == this) {
        // the source may overlap the destination: read from a copy
        copy = Img->copy();
        src.Bits = reinterpret_cast<const uint32_t*>(copy.constBits());
        src.Stride = copy.bytesPerLine() / 4;
    }
    return Transfer(&src, x, y, w, h, sx, sy, sw, sh, rop);
}

bool TDeviceContext::BitBlt(int32_t x, int32_t y, int32_t w, int32_t h, const TDeviceContext* source, int32_t sx,
                            int32_t sy, uint32_t rop)
{
    return StretchBlt(x, y, w, h, source, sx, sy, w, h, rop);
}

int32_t TDeviceContext::StretchDIBits(int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                                      int32_t sw, int32_t sh, const void* bits, std::size_t bitsSize,
                                      const TBitmapInfo& info, uint32_t rop)
{
    if (!CanDraw() || sw <= 0 || sh <= 0) return 0;
    TDibReader rd;
    if (!rd.Init(info, bits, bitsSize)) return 0;
    TDibSource src{&rd, info.Width, info.Height < 0 ? -int64_t(info.Height) : info.Height, info.Height > 0};
    // A bottom-up picture counts the source's y from its bottom row.
    const int64_t top = src.BottomUp ? src.H - (int64_t(sy) + sh) : sy;
    if (top < INT32_MIN || top > INT32_MAX) return 0;
    if ((rop == TGDI_SRCCOPY || rop == TGDI_SRCAND) && w == sw && h == sh) {
        CopyDibRows(src, x, y, w, h, sx, top, rop == TGDI_SRCAND);
        return sh;
    }
    if (!Transfer(&src, x, y, w, h, sx, int32_t(top), sw, sh, rop)) return 0;
    return sh;
}

} // namespace tarn
