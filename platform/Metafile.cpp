#include "Metafile.h"

#include "platform/gdi/Gdi.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <queue>

namespace tarn {

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t PlaceableSize = 22;
constexpr std::size_t HeaderSize = 18;
constexpr int32_t MaxPixels = 4096;
// Wider pens and taller fonts only cost time: nothing on a card needs them.
constexpr int32_t MaxPenWidth = 256;
constexpr int32_t MaxFontHeight = 1000;
// Device coordinates stay well inside what the context's arithmetic takes.
constexpr double MaxCoordinate = 1 << 20;
constexpr std::size_t MaxObjects = 65535;

uint16_t U16At(std::string_view b, std::size_t at)
{
    return uint16_t(uint8_t(b[at]) | (uint8_t(b[at + 1]) << 8));
}

uint32_t U32At(std::string_view b, std::size_t at) { return U16At(b, at) | (uint32_t(U16At(b, at + 2)) << 16); }

[[noreturn]] void Fail(const std::string& source, std::size_t offset, const char* field, const std::string& message)
{
    char at[32];
    std::snprintf(at, sizeof at, "0x%zX", offset);
    throw EMetafileError(source + ", offset " + at + ", " + field + ": " + message);
}

} // namespace

TMetafile::TMetafile(std::string_view bytes, std::string source) : Bytes(bytes), Source(std::move(source))
{
    const std::string_view b = Bytes;
    std::size_t at = 0;
    int32_t inch = 0;
    if (b.size() >= 4 && U32At(b, 0) == PlaceableKey) {
        if (b.size() < PlaceableSize) Fail(Source, 0, "placeable header", "the file ends inside it");
        HasPlaceable = true;
        FrameRect = {int16_t(U16At(b, 6)), int16_t(U16At(b, 8)), int16_t(U16At(b, 10)), int16_t(U16At(b, 12))};
        inch = U16At(b, 14);
        if (inch == 0) inch = 1440;  // none given: twips, as most writers mean
        at = PlaceableSize;
    }
    if (b.size() < at + HeaderSize) Fail(Source, at, "metafile header", "the file ends inside it");
    const uint16_t type = U16At(b, at), headerWords = U16At(b, at + 2);
    if (type != 1 && type != 2) Fail(Source, at, "metafile type", std::to_string(type) + " is neither 1 nor 2");
    if (headerWords != 9) Fail(Source, at + 2, "header size", std::to_string(headerWords) + " words, not 9");
    ObjectCount = U16At(b, at + 10);
    at += HeaderSize;

    bool haveOrg = false, haveExt = false;
    TRect window{0, 0, 1000, 1000};
    while (b.size() - at >= 6) {
        const uint32_t words = U32At(b, at);
        const uint16_t function = U16At(b, at + 4);
        if (words < 3) Fail(Source, at, "record size", std::to_string(words) + " words, less than 3");
        if (uint64_t(words) * 2 > b.size() - at)
            Fail(Source, at, "record size", std::to_string(words) + " words, past the end of the file");
        if (function == wmf::Eof) break;
        List.push_back({function, uint32_t(at + 6), words - 3});
        if (function == wmf::SetWindowOrg && words >= 5 && !haveOrg) {
            window.Top = int16_t(U16At(b, at + 6));
            window.Left = int16_t(U16At(b, at + 8));
            haveOrg = true;
        } else if (function == wmf::SetWindowExt && words >= 5 && !haveExt) {
            window.Bottom = int16_t(U16At(b, at + 6));
            window.Right = int16_t(U16At(b, at + 8));
            haveExt = true;
        }
        at += std::size_t(words) * 2;
    }
    if (!HasPlaceable) {
        if (haveExt) {
            window.Right += window.Left;
            window.Bottom += window.Top;
        }
        FrameRect = window;
    }
    const auto pixels = [&](int32_t units) {
        const int64_t n = HasPlaceable ? int64_t(std::abs(units)) * 96 / inch : std::abs(units);
        return int32_t(std::clamp<int64_t>(n, 1, MaxPixels));
    };
    Width = pixels(FrameRect.Right - FrameRect.Left);
    Height = pixels(FrameRect.Bottom - FrameRect.Top);
}

// Replays the records; one player per Play.
class TMetafilePlayer {
public:
    TMetafilePlayer(const TMetafile& m, TDeviceContext& dc, const TRect& target) : M(m), B(m.Bytes), Dc(dc), Target(target)
    {
        Map = {m.FrameRect.Left, m.FrameRect.Top, m.FrameRect.Right - m.FrameRect.Left, m.FrameRect.Bottom - m.FrameRect.Top};
        Objects.resize(std::min<std::size_t>(m.ObjectCount, MaxObjects));
        std::vector<uint32_t> free(Objects.size());
        std::iota(free.begin(), free.end(), 0u);
        Free = TFreeSlots(std::greater<>(), std::move(free));
    }

    bool Run(std::chrono::nanoseconds budget)
    {
        // The caller's state comes back however the records end.
        struct TRestore {
            TDeviceContext& Dc;
            int32_t Level;
            ~TRestore() { Dc.RestoreDC(Level); }
        } restore{Dc, Dc.SaveDC()};
        // A metafile starts from the defaults of a new context.
        Dc.SelectPen(StockPen(TGDI_BLACK_PEN));
        Dc.SelectBrush(StockBrush(TGDI_WHITE_BRUSH));
        Dc.SelectObject(GetStockObject(TGDI_SYSTEM_FONT));
        Dc.SetBkMode(TGDI_OPAQUE);
        Dc.SetBkColor(Rgb(255, 255, 255));
        Dc.SetTextColor(0);
        Dc.SetROP2(TGDI_R2_COPYPEN);
        Dc.SetTextAlign(0);
        const auto deadline = std::chrono::steady_clock::now() + budget;
        for (const TMetafile::TRecord& r : M.List) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            R = &r;
            Record();
        }
        return true;
    }

private:
    struct TMap {
        int32_t OrgX, OrgY, ExtX, ExtY;
    };
    enum class TKind : uint8_t { Free, Pen, Brush, Font, Other };
    struct TObject {
        TKind Kind = TKind::Free;
        int32_t PenStyle = 0;
        int32_t PenWidth = 0;
        TColorRef Color = 0;
        TGdiRef<TBrush> Brush;
        TLogFont Font{};
    };

    // Parameter word i of the record, as signed; the record must hold it.
    int16_t P(uint32_t i) const
    {
        if (i >= R->Words) Fail(M.Source, R->Offset, "record parameters", "fewer than the function needs");
        return int16_t(U16At(B, R->Offset + 2 * i));
    }
    uint16_t U(uint32_t i) const { return uint16_t(P(i)); }
    uint32_t U32(uint32_t i) const { return U(i) | (uint32_t(U(i + 1)) << 16); }
    // Bytes from parameter word i on, `n` of them.
    std::string_view Tail(uint32_t i, std::size_t n) const
    {
        if (uint64_t(i) * 2 + n > uint64_t(R->Words) * 2)
            Fail(M.Source, R->Offset, "record parameters", "fewer than the function needs");
        return B.substr(R->Offset + 2 * i, n);
    }

    double ScaleX() const { return double(Target.Right - Target.Left) / (Map.ExtX ? Map.ExtX : 1); }
    double ScaleY() const { return double(Target.Bottom - Target.Top) / (Map.ExtY ? Map.ExtY : 1); }
    static int32_t Clamp(double v) { return int32_t(std::lround(std::clamp(v, -MaxCoordinate, MaxCoordinate))); }
    int32_t X(int32_t x) const { return Clamp(Target.Left + (double(x) - Map.OrgX) * ScaleX()); }
    int32_t Y(int32_t y) const { return Clamp(Target.Top + (double(y) - Map.OrgY) * ScaleY()); }
    TPoint Point(uint32_t i) const { return {X(P(i)), Y(P(i + 1))}; }

    void Record();
    void Create(TObject object);
    void Select(uint16_t index);
    void Shape(bool ellipse);
    void Points(bool closed);
    void PolyPolygon();
    void Text(int32_t x, int32_t y, uint32_t stringWord, std::size_t count);
    void Dib(uint32_t rop, uint32_t srcWord, uint32_t dibWord, bool hasUsage);

    const TMetafile& M;
    std::string_view B;
    TDeviceContext& Dc;
    TRect Target;
    const TMetafile::TRecord* R = nullptr;
    TMap Map{};
    std::vector<TMap> Saved;
    std::vector<TObject> Objects;
    // The free places, lowest on top: a full table is not searched again for
    // every object a hostile file creates.
    using TFreeSlots = std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<>>;
    TFreeSlots Free;
};

void TMetafilePlayer::Record()
{
    switch (R->Function) {
    case wmf::SetBkColor: Dc.SetBkColor(U32(0) & 0xFFFFFF); break;
    case wmf::SetTextColor: Dc.SetTextColor(U32(0) & 0xFFFFFF); break;
    case wmf::SetBkMode: Dc.SetBkMode(U(0)); break;
    case wmf::SetRop2: Dc.SetROP2(U(0)); break;
    case wmf::SetTextAlign: Dc.SetTextAlign(U(0) & ~1u); break;  // the current position is not moved by text
    case wmf::SetStretchBltMode: Dc.SetStretchBltMode(U(0)); break;
    case wmf::SetWindowOrg: Map.OrgY = P(0), Map.OrgX = P(1); break;
    case wmf::SetWindowExt: Map.ExtY = P(0), Map.ExtX = P(1); break;
    case wmf::OffsetWindowOrg: Map.OrgY += P(0), Map.OrgX += P(1); break;
    case wmf::ScaleWindowExt:
        if (P(0) != 0 && P(2) != 0) {
            Map.ExtY = int32_t(std::clamp<int64_t>(int64_t(Map.ExtY) * P(1) / P(0), -32768, 32767));
            Map.ExtX = int32_t(std::clamp<int64_t>(int64_t(Map.ExtX) * P(3) / P(2), -32768, 32767));
        }
        break;
    case wmf::SaveDC:
        Dc.SaveDC();
        Saved.push_back(Map);
        break;
    case wmf::RestoreDC: {
        // Only levels the metafile saved itself, never the caller's.
        const int16_t n = P(0);
        const std::size_t levels = n < 0 ? std::size_t(-n) : 0;
        if (n >= 0 || levels > Saved.size()) break;
        Dc.RestoreDC(n);
        Map = Saved[Saved.size() - levels];
        Saved.resize(Saved.size() - levels);
        break;
    }
    case wmf::CreatePenIndirect: {
        TObject o;
        o.Kind = TKind::Pen;
        o.PenStyle = U(0) & 0x0F;
        o.PenWidth = P(1);
        o.Color = U32(3) & 0xFFFFFF;
        Create(std::move(o));
        break;
    }
    case wmf::CreateBrushIndirect: {
        TObject o;
        o.Kind = TKind::Brush;
        const uint16_t style = U(0);
        const TColorRef colour = U32(1) & 0xFFFFFF;
        if (style == 1) o.Brush = TBrush::CreateNull();
        else if (style == 2) o.Brush = TBrush::CreateHatch(U(3), colour);
        else o.Brush = TBrush::CreateSolid(colour);
        Create(std::move(o));
        break;
    }
    case wmf::CreateFontIndirect: {
        TObject o;
        o.Kind = TKind::Font;
        TLogFont& f = o.Font;
        f.Height = P(0), f.Width = P(1), f.Escapement = P(2), f.Orientation = P(3), f.Weight = P(4);
        const std::string_view flags = Tail(5, 8);
        f.Italic = uint8_t(flags[0]), f.Underline = uint8_t(flags[1]), f.StrikeOut = uint8_t(flags[2]);
        f.CharSet = uint8_t(flags[3]);
        // The face name runs to its zero byte or the end of the record.
        const std::string_view face = Tail(9, std::min<std::size_t>(31, std::size_t(R->Words) * 2 - 18));
        std::memcpy(f.FaceName, face.data(), std::min(face.find('\0'), face.size()));
        Create(std::move(o));
        break;
    }
    case wmf::CreatePalette:
    case wmf::CreatePatternBrush:
    case wmf::DibCreatePatternBrush:
    case wmf::CreateRegion: {
        // They take a place in the table; a pattern fills in grey.
        TObject o;
        o.Kind = TKind::Other;
        if (R->Function != wmf::CreatePalette && R->Function != wmf::CreateRegion) {
            o.Kind = TKind::Brush;
            o.Brush = TBrush::CreateSolid(Rgb(128, 128, 128));
        }
        Create(std::move(o));
        break;
    }
    case wmf::SelectObject: Select(U(0)); break;
    case wmf::DeleteObject:
        if (U(0) < Objects.size() && Objects[U(0)].Kind != TKind::Free) {
            Objects[U(0)] = TObject{};
            Free.push(U(0));
        }
        break;
    case wmf::MoveTo: Dc.MoveTo(X(P(1)), Y(P(0))); break;
    case wmf::LineTo: Dc.LineTo(X(P(1)), Y(P(0))); break;
    case wmf::Rectangle: Shape(false); break;
    case wmf::Ellipse: Shape(true); break;
    case wmf::Polygon: Points(true); break;
    case wmf::Polyline: Points(false); break;
    case wmf::PolyPolygon: PolyPolygon(); break;
    case wmf::TextOut: {
        const int16_t count = P(0);
        if (count <= 0) break;
        const uint32_t after = 1 + (uint32_t(count) + 1) / 2;
        Text(P(after + 1), P(after), 1, std::size_t(count));
        break;
    }
    case wmf::ExtTextOut: {
        const int16_t count = P(2);
        const uint16_t options = U(3);
        uint32_t at = 4;
        if (options & 0x0006) {  // a clipping or opaque rectangle
            if (options & 0x0002) {
                TRect r{X(P(4)), Y(P(5)), X(P(6)), Y(P(7))};
                if (r.Left > r.Right) std::swap(r.Left, r.Right);
                if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
                const TGdiRef<TBrush> bk = TBrush::CreateSolid(Dc.GetBkColor());
                Dc.FillRect(r, bk.get());
            }
            at = 8;
        }
        if (count > 0) Text(X(P(1)), Y(P(0)), at, std::size_t(count));
        break;
    }
    case wmf::StretchDib: Dib(U32(0), 3, 11, true); break;
    case wmf::DibStretchBlt:
        if (R->Words > 11) Dib(U32(0), 2, 10, false);  // without a picture it only fills with the brush
        break;
    default: break;  // records that draw nothing here
    }
}

void TMetafilePlayer::Create(TObject object)
{
    // The lowest free place, as the object table is kept.
    if (!Free.empty()) {
        Objects[Free.top()] = std::move(object);
        Free.pop();
    } else if (Objects.size() < MaxObjects) {
        Objects.push_back(std::move(object));
    }
}

void TMetafilePlayer::Select(uint16_t index)
{
    if (index >= Objects.size()) return;
    const TObject& o = Objects[index];
    switch (o.Kind) {
    case TKind::Pen: {
        int32_t width = 0;
        if (o.PenWidth > 0)
            width = std::clamp<int32_t>(int32_t(std::lround(o.PenWidth * std::abs(ScaleX()))), 1, MaxPenWidth);
        Dc.SelectPen(TPen::Create(o.PenStyle, width, o.Color).get());
        break;
    }
    case TKind::Brush: Dc.SelectBrush(o.Brush.get()); break;
    case TKind::Font: {
        TLogFont f = o.Font;
        const auto scale = [](int32_t v, double s) {
            if (v == 0) return 0;
            const int32_t n = std::clamp<int32_t>(int32_t(std::lround(std::abs(v * s))), 1, MaxFontHeight);
            return v < 0 ? -n : n;
        };
        f.Height = scale(f.Height, ScaleY());
        f.Width = scale(f.Width, ScaleX());
        Dc.SelectFont(TFont::Create(f).get());
        break;
    }
    default: break;
    }
}

void TMetafilePlayer::Shape(bool ellipse)
{
    int32_t left = X(P(3)), top = Y(P(2)), right = X(P(1)), bottom = Y(P(0));
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (ellipse) Dc.Ellipse(left, top, right, bottom);
    else Dc.Rectangle(left, top, right, bottom);
}

void TMetafilePlayer::Points(bool closed)
{
    const int16_t n = P(0);
    if (n <= 0) return;
    P(uint32_t(n) * 2);  // all the points lie in the record
    std::vector<TPoint> pts(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i) pts[std::size_t(i)] = Point(1 + 2 * uint32_t(i));
    if (closed) Dc.Polygon(pts.data(), n);
    else Dc.Polyline(pts.data(), n);
}

void TMetafilePlayer::PolyPolygon()
{
    const uint16_t rings = U(0);
    if (rings == 0) return;
    std::vector<uint16_t> counts(rings);
    uint64_t total = 0;
    for (uint32_t i = 0; i < rings; ++i) total += counts[i] = U(1 + i);
    if (total == 0) return;
    const uint32_t first = 1 + rings;
    // Counted wide: the counts can add up past what 32 bits hold twice.
    if (first + total * 2 > R->Words)
        Fail(M.Source, R->Offset, "record parameters", "fewer than the function needs");
    std::vector<TPoint> pts(total);
    for (uint32_t i = 0; i < total; ++i) pts[i] = Point(first + 2 * i);
    if (rings == 1) {
        Dc.Polygon(pts.data(), int32_t(total));
        return;
    }
    // One odd-even fill of every ring, each joined to the first point and
    // back (the joins cancel out), then each ring's outline alone.
    std::vector<TPoint> fill;
    fill.reserve(total + 2 * rings);
    std::size_t at = 0;
    for (uint16_t c : counts) {
        if (c == 0) continue;
        fill.insert(fill.end(), pts.begin() + std::ptrdiff_t(at), pts.begin() + std::ptrdiff_t(at + c));
        fill.push_back(pts[at]);
        fill.push_back(pts[0]);
        at += c;
    }
    TGdiRef<TPen> pen = Dc.SelectPen(StockPen(TGDI_NULL_PEN));
    Dc.Polygon(fill.data(), int32_t(fill.size()));
    Dc.SelectPen(pen.get());
    TGdiRef<TBrush> brush = Dc.SelectBrush(StockBrush(TGDI_NULL_BRUSH));
    at = 0;
    for (uint16_t c : counts) {
        if (c > 0) Dc.Polygon(pts.data() + at, c);
        at += c;
    }
    Dc.SelectBrush(brush.get());
}

void TMetafilePlayer::Text(int32_t x, int32_t y, uint32_t stringWord, std::size_t count)
{
    const std::string_view s = Tail(stringWord, count);
    if (R->Function == wmf::TextOut) {
        x = X(x);
        y = Y(y);
    }
    Dc.TextOut(x, y, s);
}

void TMetafilePlayer::Dib(uint32_t rop, uint32_t srcWord, uint32_t dibWord, bool hasUsage)
{
    if (hasUsage && U(2) != 0) return;  // colours as palette indices: no palette here
    const int32_t srcH = P(srcWord), srcW = P(srcWord + 1), ySrc = P(srcWord + 2), xSrc = P(srcWord + 3);
    const int32_t dstH = P(srcWord + 4), dstW = P(srcWord + 5), yDst = P(srcWord + 6), xDst = P(srcWord + 7);
    const std::size_t bytes = std::size_t(R->Words - std::min(R->Words, dibWord)) * 2;
    const std::string_view dib = Tail(dibWord, bytes);
    if (dib.size() < 40) return;
    const uint32_t headerSize = U32At(dib, 0);
    if (headerSize < 40 || headerSize > dib.size()) return;
    TBitmapInfo info;
    info.Width = int32_t(U32At(dib, 4));
    info.Height = int32_t(U32At(dib, 8));
    info.BitCount = U16At(dib, 14);
    info.Compression = U32At(dib, 16);
    const uint32_t used = U32At(dib, 32);
    uint32_t colours = 0;
    if (info.BitCount <= 8) colours = used ? used : 1u << info.BitCount;
    if (colours > 256 || uint64_t(headerSize) + uint64_t(colours) * 4 > dib.size()) return;
    std::vector<uint32_t> table(colours);
    for (uint32_t i = 0; i < colours; ++i) table[i] = U32At(dib, headerSize + 4 * i);
    info.Colors = table.data();
    info.ColorCount = colours;
    const std::size_t bitsAt = headerSize + std::size_t(colours) * 4;

    int32_t left = X(xDst), top = Y(yDst), right = X(xDst + dstW), bottom = Y(yDst + dstH);
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right == left || bottom == top || srcW <= 0 || srcH <= 0) return;
    Dc.StretchDIBits(left, top, right - left, bottom - top, xSrc, ySrc, srcW, srcH, dib.data() + bitsAt,
                     dib.size() - bitsAt, info, rop);
}

bool TMetafile::Play(TDeviceContext& dc, const TRect& target, std::chrono::nanoseconds budget) const
{
    return TMetafilePlayer(*this, dc, target).Run(budget);
}

QImage TMetafile::Render(int32_t width, int32_t height, std::chrono::nanoseconds budget) const
{
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        TDeviceContext dc(image);
        Play(dc, {0, 0, image.width(), image.height()}, budget);
    }
    return image;
}

} // namespace tarn
