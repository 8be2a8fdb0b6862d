#pragma once
// The sized face behind a font. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"

#include <QRawFont>

namespace tarn {

// Turned and stretched runs start this far (in the run's frame) past their
// place: a stretched advance or a right angle puts glyphs on whole
// pixels, where floating-point noise would round them one way here and
// the other way a few pixels on, so a stamp would not match.
constexpr double GlyphNudge = 1.0 / 512;

struct TFontFace {
    QRawFont Raw;
    // The same face unhinted, for turned text: hinting snaps stems to the
    // pixel grid of upright text and deforms letters at an angle.
    QRawFont Turned;
    int32_t PixelSize = 0;
    int32_t Ascent = 0;
    int32_t Descent = 0;
    int32_t CellHeight = 0;
    int32_t AvgCharWidth = 0;
    double XScale = 1;          // a requested character width stretches the face
    quint32 Glyph[256] = {};    // by code page 1251 byte
    int32_t Advance[256] = {};  // whole pixels, stretch included
};

} // namespace tarn
