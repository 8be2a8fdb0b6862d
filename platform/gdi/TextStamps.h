#pragma once
// Turned and stretched texts kept as the pixels they set. Qt rasterises a
// turned glyph run glyph by glyph and keeps glyphs of only a few turns,
// while a map's street names turn every which way: each redraw drew every
// turned label from its outlines again. Text is drawn without
// antialiasing, so a label is exactly a set of pixels in the text colour
// that moves by whole pixels with its reference point: it is drawn once
// into a stamp and copied from there. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"
#include "platform/gdi/Font.h"

#include <QGlyphRun>

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

struct TStampSpan {
    int32_t Y, X0, X1;  // from the reference point; X1 exclusive
};

struct TStamp {
    // Where the box the stamp was drawn in begins, from the reference point.
    int32_t Left = 0, Top = 0;
    std::vector<TStampSpan> Spans;
    // Qt rounds a glyph's place half away from zero: a copy equals the
    // text drawn at (x, y) while the whole box lies at coordinates of 0 and
    // up, as it did in the stamp.
    bool Fits(int32_t x, int32_t y) const { return int64_t(x) + Left >= 0 && int64_t(y) + Top >= 0; }
};

class TTextStamps {
public:
    // Pixels kept in all, and the largest text box a stamp is made for.
    static constexpr int64_t MaxPixels = int64_t(4) << 20;
    static constexpr int64_t MaxBox = int64_t(512) * 512;

    // The stamp of the run, made on first use by drawing it with the
    // painter settings of a device context; null when the text's box is
    // too large to keep (the caller draws it directly).
    const TStamp* Get(TStampKey key, const QGlyphRun& run, double width);
    // Sets the stamp's pixels to pixel, shifted to (x, y), inside the raster.
    static void Put(const TRaster& px, const TStamp& stamp, int32_t x, int32_t y, uint32_t pixel);

private:
    struct THash {
        std::size_t operator()(const TStampKey& k) const;
    };
    struct TEntry {
        TStamp Stamp;
        int64_t Pixels = 0;
        std::list<TStampKey>::iterator Age;
    };
    std::unordered_map<TStampKey, TEntry, THash> Stamps;
    std::list<TStampKey> Ages;  // the most recently used first
    int64_t Kept = 0;
};

} // namespace tarn::gdi
