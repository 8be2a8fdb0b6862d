#pragma once
// Pictures for the raster tests, written in the test into ".bmp" bytes:
// any size, depth, row order and colour-table length.
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarn::test {

struct TTestBmp {
    int32_t Width = 0;
    int32_t Height = 0;
    uint16_t BitCount = 1;
    bool TopDown = false;
    // Colour table written after the header (0x00RRGGBB) and the count put
    // in the header's colours-used field.
    std::vector<uint32_t> Palette;
    uint32_t ColorsUsedField = 0;
    uint32_t HeaderSize = 40;  // 40 or 108 (the table moves with it)
    // Pixel value at (x, y), y from the top: a palette index up to 8 bits,
    // else 0x00RRGGBB.
    std::function<uint32_t(int32_t x, int32_t y)> Pixel;
};

std::string MakeBmp(const TTestBmp& picture);

// An asymmetric one-bit pattern: a solid block in the upper-left quarter,
// a diagonal, and a pseudo-random rest, so that any flip, shift or
// transposition shows.
uint32_t AsymmetricBit(int32_t x, int32_t y);

// The colour that a picture's value shows as (index through the table).
TColorRef ExpectedColor(const TTestBmp& picture, int32_t x, int32_t y);

// A white device context of the given size, with its own image.
struct TTestCanvas {
    TTestCanvas(int32_t width, int32_t height, TColorRef fill = Rgb(255, 255, 255));
    TGdiRef<TBitmap> Bitmap;
    TDeviceContext DC;
    // Writes the image under the build folder, for a failing test to show.
    void Save(const std::string& name) const;
};

} // namespace tarn::test
