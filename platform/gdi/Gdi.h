#pragma once
// Device contexts with the drawing rules the map engine was written for:
// pens, brushes and fonts selected into a context, mixes, background mode,
// lines without their last pixel, shapes without their right and bottom
// edge, odd-even polygons, code page 1251 text. A context draws into a
// QImage (RGB32) with no antialiasing; thin pens and all fills are drawn by
// our own routines straight into the image memory, wide pens, text and
// stretched blits through one long-lived QPainter.
//
// This header has no Qt in it so that the data layer can draw. Objects are
// reference counted (TGdiRef); a context holds a reference to what is
// selected into it, so freeing an object while it is selected is harmless.
// Everything runs on the user-interface thread.
#include "platform/TarnGdi.h"
#include "platform/Types.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

class QImage;

namespace tarn {

using TColorRef = uint32_t;  // 0x00BBGGRR
using TLogFont = TgdiLogFont;

constexpr TColorRef Rgb(uint8_t r, uint8_t g, uint8_t b)
{
    return TColorRef(r) | (TColorRef(g) << 8) | (TColorRef(b) << 16);
}
constexpr TColorRef InvalidColor = 0xFFFFFFFFu;

struct TSize {
    int32_t Cx = 0;
    int32_t Cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

enum class TGdiKind : uint8_t { DC = 1, Pen = 2, Brush = 3, Font = 4, Bitmap = 5 };

// Base of pens, brushes, fonts and bitmaps.
class TGdiObject {
public:
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;

    TGdiKind Kind() const { return ObjKind; }
    // The checked handle under which the symbol library sees this object;
    // made on first use and dropped with the object.
    TgdiHandle Handle();

    void AddRef() { ++Refs; }
    void Release()
    {
        if (--Refs == 0) delete this;
    }
    int32_t RefCount() const { return Refs; }

protected:
    explicit TGdiObject(TGdiKind kind) : ObjKind(kind) {}
    virtual ~TGdiObject();

private:
    friend class TGdiHandles;
    int32_t Refs = 0;
    uint32_t Slot = 0;  // handle table slot + 1; 0 = none
    TGdiKind ObjKind;
};

// Intrusive reference to a GDI object.
template <class T>
class TGdiRef {
public:
    TGdiRef() = default;
    TGdiRef(T* p) : P(p)  // NOLINT: implicit by design, like a raw pointer
    {
        if (P) P->AddRef();
    }
    TGdiRef(const TGdiRef& o) : TGdiRef(o.P) {}
    TGdiRef(TGdiRef&& o) noexcept : P(std::exchange(o.P, nullptr)) {}
    template <class U>
    TGdiRef(TGdiRef<U>&& o) noexcept : P(o.Detach())
    {
    }
    ~TGdiRef()
    {
        if (P) P->Release();
    }
    TGdiRef& operator=(TGdiRef o) noexcept
    {
        std::swap(P, o.P);
        return *this;
    }
    T* get() const { return P; }
    T* operator->() const { return P; }
    T& operator*() const { return *P; }
    explicit operator bool() const { return P != nullptr; }
    operator T*() const { return P; }  // NOLINT
    T* Detach() { return std::exchange(P, nullptr); }

private:
    T* P = nullptr;
};

class TPen final : public TGdiObject {
public:
    // Styles TGDI_PS_*: an unknown style draws solid; width 0 and 1 both draw
    // one pixel wide, and only those widths draw dashes (wider dashed pens
    // draw solid).
    static TGdiRef<TPen> Create(int32_t style, int32_t width, TColorRef color);
    int32_t Style() const { return PenStyle; }
    int32_t Width() const { return PenWidth; }
    TColorRef Color() const { return PenColor; }

private:
    TPen(int32_t style, int32_t width, TColorRef color);
    int32_t PenStyle;
    int32_t PenWidth;
    TColorRef PenColor;
};

class TBrush final : public TGdiObject {
public:
    enum TStyle : uint8_t { Solid = 0, Null = 1, Hatched = 2 };
    static TGdiRef<TBrush> CreateSolid(TColorRef color);
    // Hatches TGDI_HS_*, eight-pixel patterns anchored at the device origin;
    // an unknown hatch style fills solid.
    static TGdiRef<TBrush> CreateHatch(int32_t hatch, TColorRef color);
    static TGdiRef<TBrush> CreateNull();
    TStyle Style() const { return BrushStyle; }
    int32_t Hatch() const { return BrushHatch; }
    TColorRef Color() const { return BrushColor; }
    // Row y (0..7) of the hatch pattern, bit x set where the hatch is drawn.
    uint8_t PatternRow(int32_t y) const { return Pattern[y & 7]; }

private:
    TBrush(TStyle style, int32_t hatch, TColorRef color);
    TStyle BrushStyle;
    int32_t BrushHatch;
    TColorRef BrushColor;
    uint8_t Pattern[8] = {};
};

struct TFontFace;  // a sized face of the font system, shared between fonts

class TFont final : public TGdiObject {
public:
    // Creating is cheap after the first font of a face and size: faces are
    // cached, escapement and decorations are applied when drawing.
    static TGdiRef<TFont> Create(const TLogFont& font);
    const TLogFont& LogFont() const { return Log; }
    const TFontFace& Face() const { return *FaceData; }
    const std::shared_ptr<const TFontFace>& FaceHandle() const { return FaceData; }
    // Cell height (ascent + descent) and ascent in pixels.
    int32_t Height() const;
    int32_t Ascent() const;

private:
    TFont(const TLogFont& font, std::shared_ptr<const TFontFace> face);
    TLogFont Log;
    std::shared_ptr<const TFontFace> FaceData;
};

// A device-independent picture in memory: header fields of a ".bmp" and its
// colour table (entries as stored, 0x00RRGGBB). Height > 0: rows bottom-up.
struct TBitmapInfo {
    int32_t Width = 0;
    int32_t Height = 0;
    uint16_t BitCount = 0;  // 1, 4, 8, 24 or 32
    uint32_t Compression = 0;  // only 0 (none) is drawn
    const uint32_t* Colors = nullptr;
    uint32_t ColorCount = 0;
};

// Bytes per row of such a picture (rows padded to four bytes); -1 when absurd.
int64_t DibRowBytes(int32_t width, uint16_t bitCount);

class TBitmap final : public TGdiObject {
public:
    // White picture of the given size (both at least 1).
    static TGdiRef<TBitmap> Create(int32_t width, int32_t height);
    // Null when the header is unusable or `bitsSize` too small for it.
    static TGdiRef<TBitmap> FromDib(const TBitmapInfo& info, const void* bits, std::size_t bitsSize);
    int32_t Width() const;
    int32_t Height() const;
    QImage& Image() { return *Img; }

private:
    explicit TBitmap(std::unique_ptr<QImage> image);
    ~TBitmap() override;
    std::unique_ptr<QImage> Img;
};

// Stock objects: never deleted; TGDI_* stock ids.
TGdiObject* GetStockObject(int32_t id);
TPen* StockPen(int32_t id);
TBrush* StockBrush(int32_t id);

namespace gdi {
// Shortcuts of drawing that leave every pixel as it was (work on what
// cannot reach the picture left out, conversions done in bulk); a test
// turns them off to draw the plain way and compare.
inline bool Shortcuts = true;

struct TRaster {
    uint32_t* Bits = nullptr;
    int32_t Stride = 0;  // in pixels
    int32_t Width = 0;
    int32_t Height = 0;
};
class TPolygonFiller;
} // namespace gdi

class TDeviceContext {
public:
    // Draws into `image`, which must be Format_RGB32, outlive the context and
    // keep its size (a resized image needs a new context). The context's
    // painter owns the image once text or a wide pen is drawn: keep one
    // context per image.
    explicit TDeviceContext(QImage& image);
    // Draws into the bitmap, which the context keeps alive.
    explicit TDeviceContext(TBitmap& bitmap);
    // Measures text only: drawing calls do nothing.
    TDeviceContext();
    ~TDeviceContext();
    TDeviceContext(const TDeviceContext&) = delete;
    TDeviceContext& operator=(const TDeviceContext&) = delete;

    // Handle for the symbol library; FromHandle answers null for anything
    // that is not a live context.
    TgdiHandle Handle();
    static TDeviceContext* FromHandle(TgdiHandle handle);

    bool CanDraw() const { return Px.Bits != nullptr; }
    int32_t Width() const { return Px.Width; }
    int32_t Height() const { return Px.Height; }
    QImage* Image() const { return Img; }

    // Selecting answers the previous object (null and no change for null).
    TGdiRef<TPen> SelectPen(TPen* pen);
    TGdiRef<TBrush> SelectBrush(TBrush* brush);
    TGdiRef<TFont> SelectFont(TFont* font);
    TGdiRef<TGdiObject> SelectObject(TGdiObject* object);
    TPen* Pen() const { return S.Pen.get(); }
    TBrush* Brush() const { return S.Brush.get(); }
    TFont* Font() const;  // the system font until another is selected

    // The whole state (objects, colours, modes, position) on a stack.
    // SaveDC answers the new depth; RestoreDC(n > 0) goes back to depth n,
    // RestoreDC(n < 0) |n| levels up; false when there is no such level.
    int32_t SaveDC();
    bool RestoreDC(int32_t level);

    // Setters answer the previous value; an invalid value changes nothing
    // and answers 0.
    int32_t SetROP2(int32_t mix);
    int32_t GetROP2() const { return S.Rop2; }
    int32_t SetBkMode(int32_t mode);
    int32_t GetBkMode() const { return S.BkMode; }
    TColorRef SetBkColor(TColorRef color);
    TColorRef GetBkColor() const { return S.BkColor; }
    TColorRef SetTextColor(TColorRef color);
    TColorRef GetTextColor() const { return S.TextColor; }
    uint32_t SetTextAlign(uint32_t align);
    uint32_t GetTextAlign() const { return S.TextAlign; }
    int32_t SetStretchBltMode(int32_t mode);
    int32_t GetStretchBltMode() const { return S.StretchMode; }
    // Mapping mode and extents are kept (and saved) but drawing stays one
    // logical unit per pixel, which is how the views set them up.
    int32_t SetMapMode(int32_t mode);
    int32_t GetMapMode() const { return S.MapMode; }
    TSize SetWindowExt(int32_t cx, int32_t cy);
    TSize SetViewportExt(int32_t cx, int32_t cy);

    TPoint MoveTo(int32_t x, int32_t y);  // answers the previous position
    TPoint CurrentPosition() const { return S.Pos; }

    // Pens of width 0 and 1 draw one pixel wide, with their dashes (gaps in
    // the background colour in opaque mode); lines leave out their last
    // pixel and LineTo moves the current position. Rectangles and ellipses
    // fill with the brush inside the pen's outline and leave out their right
    // and bottom edge; a wide inside-frame pen stays within them; ellipse
    // outlines are solid. Polygons fill odd-even, then outline the closed
    // ring. Everything is clipped to the image.
    void LineTo(int32_t x, int32_t y);
    void Polyline(const TPoint* points, int32_t count);
    void Polygon(const TPoint* points, int32_t count);
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Fills with `brush` (not the selected one), no outline, mix copy.
    void FillRect(const TRect& rect, const TBrush* brush);
    // Code page 1251 bytes at the reference point, by the text alignment,
    // colour, background mode and the selected font (with its escapement).
    void TextOut(int32_t x, int32_t y, std::string_view text);
    // Width of the text and cell height of the selected font, unturned.
    TSize GetTextExtent(std::string_view text) const;

    // Block transfers from another context (or this one) with a raster
    // operation of source, pattern (the selected brush) and screen.
    bool BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const TDeviceContext* source, int32_t sx,
                int32_t sy, uint32_t rop);
    bool StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const TDeviceContext* source, int32_t sx,
                    int32_t sy, int32_t sw, int32_t sh, uint32_t rop);
    // Source rectangle in picture pixels; for a bottom-up picture sy counts
    // from the bottom row. Answers the number of source rows used, 0 when
    // nothing could be drawn.
    int32_t StretchDIBits(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx, int32_t sy, int32_t sw,
                          int32_t sh, const void* bits, std::size_t bitsSize, const TBitmapInfo& info,
                          uint32_t rop);

    int32_t GetDeviceCaps(int32_t index) const;
    // Physical size reported by GetDeviceCaps; default from the image's
    // resolution (96 dots per inch when it has none).
    void SetMillimetresPerPixel(double mm);
    double MillimetresPerPixel() const { return MmPerPixel; }

    // The colour at a pixel, InvalidColor outside the picture.
    TColorRef GetPixel(int32_t x, int32_t y) const;
    // Asks for the image memory of rows [y - half, y + half] around column x
    // ahead of drawing there (a hint: draws nothing, and anything outside
    // the image is ignored). For small shapes drawn in scattered places.
    void Prefetch(int32_t x, int32_t y, int32_t half) const
    {
        if (!CanDraw() || uint32_t(x) >= uint32_t(Px.Width)) return;
        const int64_t y0 = std::max<int64_t>(int64_t(y) - half, 0), y1 = std::min<int64_t>(int64_t(y) + half, Px.Height - 1);
        for (int64_t r = y0; r <= y1; ++r) __builtin_prefetch(Px.Bits + r * Px.Stride + x, 1);
    }

private:
    struct TState {
        TGdiRef<TPen> Pen;
        TGdiRef<TBrush> Brush;
        TGdiRef<TFont> Font;
        TColorRef BkColor = Rgb(255, 255, 255);
        TColorRef TextColor = 0;
        int32_t BkMode = TGDI_OPAQUE;
        int32_t Rop2 = TGDI_R2_COPYPEN;
        int32_t StretchMode = TGDI_BLACKONWHITE;
        int32_t MapMode = 1;
        uint32_t TextAlign = 0;
        TSize WindowExt{1, 1};
        TSize ViewportExt{1, 1};
        TPoint Pos;
    };
    struct TQt;

    void InitDefaults();
    void AttachImage(QImage* image);
    void PenChanged();
    void BrushChanged();
    void StateChanged();
    bool PainterReady();
    void SyncPainterPen();
    void StrokeThin(const TPoint* points, int32_t count, bool closed);
    void StrokeWide(const TPoint* points, int32_t count, bool closed);
    void StrokeWideRun(const TPoint* points, int32_t count, bool closed);
    template <class Dib>
    void CopyDibRows(const Dib& src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int64_t sy, bool mask);
    template <class Source>
    bool Transfer(const Source* src, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy, int32_t sw,
                  int32_t sh, uint32_t rop);

    gdi::TRaster Px;
    QImage* Img = nullptr;
    TGdiRef<TBitmap> OwnBitmap;
    std::unique_ptr<TQt> Qt;
    TState S;
    std::vector<TState> Saved;
    double MmPerPixel = 25.4 / 96;
    uint32_t Slot = 0;  // handle table slot + 1

    // Derived from the state, kept current by the setters.
    enum : uint8_t { PenNone, PenThin, PenWide };
    uint8_t PenMode = PenThin;
    uint32_t PenPixel = 0xFF000000u;
    uint32_t DashMask = 0;  // pixel k of the period is drawn when bit k is set
    uint8_t DashPeriod = 0;  // 0: solid
    uint8_t BrushMode = TBrush::Solid;
    uint32_t BrushPixel = 0xFFFFFFFFu;
    uint32_t BkPixel = 0xFFFFFFFFu;
    bool PainterPenValid = false;

    std::unique_ptr<gdi::TPolygonFiller> Filler;
};

// Before fonts are used a GUI application object must exist; the program
// makes its own, anything else (tests, tools) gets one made here on first
// use, on the offscreen platform when no display is set.
void EnsureGuiApplication();

} // namespace tarn
