#include "GdiSupport.h"

#include <cstring>
#include <filesystem>
#include <sstream>

namespace tarn::test {

TCanvas::TCanvas(int w, int h, TColorRef fill) : Img(w, h, QImage::Format_RGB32)
{
    Img.fill(QColor(int(fill & 0xFF), int((fill >> 8) & 0xFF), int((fill >> 16) & 0xFF)));
    DC = std::make_unique<TDeviceContext>(Img);
}

namespace {
TColorRef ColorAt(const QImage& img, int x, int y)
{
    QRgb p = img.pixel(x, y);
    return Rgb(uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p)));
}
} // namespace

int Count(const QImage& img, TColorRef color)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += ColorAt(img, x, y) == color;
    return n;
}

QRect InkBox(const QImage& img, TColorRef background)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (ColorAt(img, x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

QImage Noise(int w, int h, uint32_t seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    uint32_t s = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            img.setPixel(x, y, 0xFF000000u | (s & 0xFFFFFFu));
        }
    return img;
}

::testing::AssertionResult SameImage(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if ((actual.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF)) {
                std::ostringstream m;
                m << "first difference at (" << x << ", " << y << "): " << std::hex << (actual.pixel(x, y) & 0xFFFFFF)
                  << " instead of " << (expected.pixel(x, y) & 0xFFFFFF);
                return ::testing::AssertionFailure() << m.str();
            }
    return ::testing::AssertionSuccess();
}

std::string SaveImage(const QImage& img, const std::string& name)
{
    std::filesystem::create_directories(TARN_TEST_OUTPUT);
    std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    img.save(QString::fromStdString(path));
    return path;
}

TLogFont DejaVu(int32_t height, int32_t escapement, int32_t weight)
{
    TLogFont lf{};
    lf.Height = height;
    lf.Escapement = escapement;
    lf.Orientation = escapement;
    lf.Weight = weight;
    std::memcpy(lf.FaceName, "DejaVu Sans", 12);
    return lf;
}

} // namespace tarn::test
