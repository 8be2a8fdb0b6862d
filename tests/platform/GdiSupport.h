#pragma once
// Helpers of the drawing tests: images with a context on them, pixel
// counts, ink boxes, image comparison with the first differing pixel, and
// images saved under the build folder for a look when a test fails.
#include "platform/gdi/Gdi.h"

#include <QImage>
#include <QRect>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarn::test {

struct TCanvas {
    QImage Img;
    std::unique_ptr<TDeviceContext> DC;
    TCanvas(int w, int h, TColorRef fill = Rgb(255, 255, 255));
    TColorRef At(int x, int y) const { return DC->GetPixel(x, y); }
};

// Pixels of exactly that colour.
int Count(const QImage& img, TColorRef color);
// Bounding box of the pixels that differ from `background`; empty for none.
QRect InkBox(const QImage& img, TColorRef background);
// Deterministic coloured noise.
QImage Noise(int w, int h, uint32_t seed);
::testing::AssertionResult SameImage(const QImage& actual, const QImage& expected);
// Writes the image to <build>/tests/platform/output/<name>.png; answers the path.
std::string SaveImage(const QImage& img, const std::string& name);

TLogFont DejaVu(int32_t height, int32_t escapement = 0, int32_t weight = 400);

} // namespace tarn::test
