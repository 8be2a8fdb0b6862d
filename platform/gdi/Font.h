#pragma once
// The sized face behind a font. Internal to platform/gdi.
#include "platform/gdi/Gdi.h"

#include <QRawFont>

namespace tarn {

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
