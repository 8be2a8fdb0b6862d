#include "PictureSupport.h"

#include <filesystem>
#include <fstream>

namespace tarn::test {

namespace {
void Put16(std::string& b, uint16_t v)
{
    b.push_back(char(v & 0xFF));
    b.push_back(char(v >> 8));
}
void Put32(std::string& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(char((v >> (8 * i)) & 0xFF));
}
} // namespace

std::string MakeBmp(const TTestBmp& p)
{
    const int64_t rowBytes = (int64_t(p.Width) * p.BitCount + 31) / 32 * 4;
    const uint32_t offBits = 14 + p.HeaderSize + 4 * uint32_t(p.Palette.size());
    std::string b;
    b += "BM";
    Put32(b, uint32_t(offBits + rowBytes * p.Height));
    Put32(b, 0);
    Put32(b, offBits);
    Put32(b, p.HeaderSize);
    Put32(b, uint32_t(p.Width));
    Put32(b, uint32_t(p.TopDown ? -p.Height : p.Height));
    Put16(b, 1);
    Put16(b, p.BitCount);
    Put32(b, 0);  // no compression
    Put32(b, 0);  // image size left to the reader
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, p.ColorsUsedField);
    Put32(b, 0);
    b.resize(14 + p.HeaderSize, '\0');
    for (uint32_t c : p.Palette) Put32(b, c);
    std::string row;
    for (int32_t r = 0; r < p.Height; ++r) {
        const int32_t y = p.TopDown ? r : p.Height - 1 - r;
        row.assign(size_t(rowBytes), '\0');
        for (int32_t x = 0; x < p.Width; ++x) {
            uint32_t v = p.Pixel(x, y);
            switch (p.BitCount) {
            case 1: row[size_t(x / 8)] = char(uint8_t(row[size_t(x / 8)]) | ((v & 1) << (7 - x % 8))); break;
            case 4: row[size_t(x / 2)] = char(uint8_t(row[size_t(x / 2)]) | ((v & 15) << ((x & 1) ? 0 : 4))); break;
            case 8: row[size_t(x)] = char(v); break;
            case 24:
                row[size_t(3 * x)] = char(v & 0xFF);
                row[size_t(3 * x + 1)] = char((v >> 8) & 0xFF);
                row[size_t(3 * x + 2)] = char((v >> 16) & 0xFF);
                break;
            case 32:
                for (int k = 0; k < 4; ++k) row[size_t(4 * x + k)] = char((v >> (8 * k)) & 0xFF);
                break;
            }
        }
        // Row padding is deliberately not zero: readers must ignore it.
        for (int64_t k = (int64_t(p.Width) * p.BitCount + 7) / 8; k < rowBytes; ++k) row[size_t(k)] = char(0xA5);
        if (p.BitCount == 1 && p.Width % 8) row[size_t(p.Width / 8)] |= char(0xFF >> (p.Width % 8));
        b += row;
    }
    return b;
}

uint32_t AsymmetricBit(int32_t x, int32_t y)
{
    if (x < 40 && y < 20) return 1;            // a block at the top left only
    if (x == y) return 1;                      // a diagonal
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return (h >> 15) & 1;
}

TColorRef ExpectedColor(const TTestBmp& p, int32_t x, int32_t y)
{
    uint32_t v = p.Pixel(x, y);
    if (p.BitCount <= 8) {
        uint32_t n = p.ColorsUsedField ? p.ColorsUsedField : (1u << p.BitCount);
        v = v < n && v < p.Palette.size() ? p.Palette[v] : 0;
    }
    // 0x00RRGGBB to 0x00BBGGRR
    return Rgb(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
}

TTestCanvas::TTestCanvas(int32_t width, int32_t height, TColorRef fill)
    : Bitmap(TBitmap::Create(width, height)), DC(*Bitmap)
{
    if (fill != Rgb(255, 255, 255)) {
        TGdiRef<TBrush> brush = TBrush::CreateSolid(fill);
        DC.FillRect(TRect{0, 0, width, height}, brush.get());
    }
}

void TTestCanvas::Save(const std::string& name) const
{
    std::filesystem::create_directories(TARN_TEST_OUTPUT);
    std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".ppm";
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << DC.Width() << " " << DC.Height() << "\n255\n";
    for (int32_t y = 0; y < DC.Height(); ++y)
        for (int32_t x = 0; x < DC.Width(); ++x) {
            TColorRef c = DC.GetPixel(x, y);
            f.put(char(c & 0xFF)).put(char((c >> 8) & 0xFF)).put(char((c >> 16) & 0xFF));
        }
}

} // namespace tarn::test
