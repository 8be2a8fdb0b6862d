#pragma once
// Windows metafiles (".WMF"): the optional placeable header, the metafile
// header, then records of size, function and parameters. The records are
// checked once when the file is read and replayed through a device context,
// within a time budget, with the metafile's window mapped onto a rectangle
// of the device: pens,
// brushes, fonts and their object table, select and delete, lines, shapes,
// polygons and poly-polygons, text, colours and modes, stretched
// device-independent bitmaps. Records the player does not draw are skipped.
#include "platform/Error.h"
#include "platform/Types.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QImage;

namespace tarn {

class TDeviceContext;

// A metafile that cannot be read: "<file>, offset 0x1A, <field>: <message>".
class EMetafileError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

class TMetafile {
public:
    // Checks the headers and every record's size against the bytes; keeps a
    // copy of the bytes. `source` names the file in messages.
    TMetafile(std::string_view bytes, std::string source);

    struct TRecord {
        uint16_t Function = 0;
        uint32_t Offset = 0;  // of the record's first parameter in Bytes
        uint32_t Words = 0;   // parameter words
    };

    bool Placeable() const { return HasPlaceable; }
    // The picture's frame in its logical units: the placeable header's box,
    // else the first window origin and extent, else 0, 0, 1000, 1000.
    const TRect& Frame() const { return FrameRect; }
    // The size it has on a screen of 96 dots per inch, each side 1..4096.
    int32_t PixelWidth() const { return Width; }
    int32_t PixelHeight() const { return Height; }
    const std::vector<TRecord>& Records() const { return List; }

    // The time a replay may take: a hostile file of shapes over the whole
    // picture would take minutes, and no real picture comes near it.
    static constexpr std::chrono::milliseconds PlayBudget{400};

    // Replays the records onto `dc` with the frame mapped onto `target`
    // (device pixels; a negative extent mirrors) until `budget` is spent,
    // looked at between records; false when it stopped there. The context's
    // state is put back afterwards.
    bool Play(TDeviceContext& dc, const TRect& target, std::chrono::nanoseconds budget = PlayBudget) const;

    // The picture drawn on white at `width` x `height` pixels (RGB32), as
    // far as the budget goes.
    QImage Render(int32_t width, int32_t height, std::chrono::nanoseconds budget = PlayBudget) const;

private:
    friend class TMetafilePlayer;
    std::string Bytes;
    std::string Source;
    bool HasPlaceable = false;
    TRect FrameRect;
    int32_t Width = 0;
    int32_t Height = 0;
    uint16_t ObjectCount = 0;
    std::vector<TRecord> List;
};

// Record functions the player draws.
namespace wmf {
enum : uint16_t {
    Eof = 0x0000,
    SaveDC = 0x001E,
    RealizePalette = 0x0035,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    RestoreDC = 0x0127,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DibCreatePatternBrush = 0x0142,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    OffsetWindowOrg = 0x020F,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    ScaleWindowExt = 0x0410,
    Ellipse = 0x0418,
    Rectangle = 0x041B,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    CreateRegion = 0x06FF,
    ExtTextOut = 0x0A32,
    DibStretchBlt = 0x0B41,
    StretchDib = 0x0F43,
};
} // namespace wmf

} // namespace tarn
