#pragma once
// Turned and stretched texts kept as the coverage of their pixels. Qt
// rasterises a turned glyph run glyph by glyph and keeps glyphs of only a
// few turns, while a map's street names turn every which way: each redraw
// drew every turned label from its outlines again. A label's coverage
// moves by whole pixels with its reference point, so it is drawn once into
// a stamp and blended in the text colour from there, as Qt blends a
// glyph's coverage. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Font.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarn::gdi {

// What the glyph run of one undecorated text out draws, apart from where and in which colour.
struct TStampKey {
    std::shared_ptr<const TFontFace> Face;  // held, so its address names it while the stamp lives
    std::string Text;
    int32_t Escapement = 0;
    double Dx = 0;    // the run's start along the text, before the stretch
    double Base = 0;  // the baseline below the reference point
    bool operator==(const TStampKey& o) const
    {
        return Face == o.Face && Text == o.Text && Escapement == o.Escapement && Dx == o.Dx && Base == o.Base;
    }
};

// A run of covered pixels of one row, from the reference point; X1 exclusive.
struct TStampSpan {
    int32_t Y, X0, X1;
    uint32_t At;  // the first pixel's coverage in TStamp::Coverage
};

// Where glyphs of the run overlap Qt blends the text colour once per glyph:
// a pixel covered twice or more keeps each glyph's coverage, in the run's order.
struct TStampOverlap {
    int32_t Y, X;
    uint32_t At;      // in TStamp::Coverage
    uint32_t Count;   // the coverages of the second glyph there and after
};

struct TStamp {
    // Where the box the stamp was drawn in begins, from the reference point.
    int32_t Left = 0, Top = 0;
    std::vector<TStampSpan> Spans;
    std::vector<TStampOverlap> Overlaps;
    std::vector<uint8_t> Coverage;  // 0 to 255 a pixel
    // Qt rounds a glyph's place half away from zero: a copy equals the
    // text drawn at (x, y) while the whole box lies at coordinates of 0 and
    // up, as it did in the stamp.
    bool Fits(int32_t x, int32_t y) const { return int64_t(x) + Left >= 0 && int64_t(y) + Top >= 0; }
};

// The text colour over an opaque pixel at a coverage, as Qt's raster
// engine blends a glyph: c a / 255 + d (255 - a) / 255 by channel, each
// product rounded as Qt rounds it.
inline uint32_t BlendCoverage(uint32_t dst, uint32_t colour, uint32_t coverage)
{
    auto mul = [](uint32_t x, uint32_t a) {
        uint64_t t = ((uint64_t(x) | (uint64_t(x) << 24)) & 0x00FF00FF00FF00FFull) * a;
        t = (t + ((t >> 8) & 0x00FF00FF00FF00FFull) + 0x0080008000800080ull) >> 8;
        t &= 0x00FF00FF00FF00FFull;
        return uint32_t(t) | uint32_t(t >> 24);
    };
    const uint32_t s = mul(colour | 0xFF000000u, coverage);
    return s + mul(dst, 255 - (s >> 24));
}

class TTextStamps {
public:
    // Bytes kept in all, and the largest text box a stamp is made for.
    static constexpr int64_t MaxBytes = int64_t(8) << 20;
    static constexpr int64_t MaxBox = int64_t(512) * 512;

    // The stamp of the run, made on first use by drawing it with the
    // context's text hints; null when the text's box is too large to keep
    // (the caller draws it directly).
    const TStamp* Get(TStampKey key, const QGlyphRun& run, double width, QPainter::RenderHints hints);
    // Blends the stamp in the colour (0xFFRRGGBB) shifted to (x, y), inside the raster.
    static void Put(const TRaster& px, const TStamp& stamp, int32_t x, int32_t y, uint32_t colour);

private:
    struct THash {
        std::size_t operator()(const TStampKey& k) const;
    };
    struct TEntry {
        TStamp Stamp;
        int64_t Bytes = 0;
        std::list<TStampKey>::iterator Age;
    };
    std::unordered_map<TStampKey, TEntry, THash> Stamps;
    std::list<TStampKey> Ages;  // the most recently used first
    int64_t Kept = 0;
    // Where a stamp is drawn: the glyphs' pixels, each pixel's first
    // coverage, the columns each row's glyph boxes reach, and the pixels
    // and coverages of the second glyph on a pixel and after.
    QImage Scratch;
    std::vector<uint8_t> First;
    std::vector<std::pair<int, int>> Reach;
    std::vector<std::pair<uint32_t, uint8_t>> More;
};

} // namespace tarn::gdi
