// Block transfers and device-independent pictures.
#include "GdiSupport.h"

using namespace tarn;
using namespace tarn::test;

namespace {
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0;
}

TEST(GdiBlit, SourceAndKeepsTheBackgroundUnderWhite)
{
    TCanvas src(20, 20, White);
    src.DC->SelectBrush(StockBrush(TGDI_BLACK_BRUSH));
    src.DC->Rectangle(5, 5, 10, 10);  // black square on white
    TCanvas dst(20, 20);
    dst.Img = Noise(20, 20, 11);
    dst.DC = std::make_unique<TDeviceContext>(dst.Img);
    const QImage before = dst.Img.copy();
    ASSERT_TRUE(dst.DC->BitBlt(0, 0, 20, 20, src.DC.get(), 0, 0, TGDI_SRCAND));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            bool black = x >= 5 && x < 10 && y >= 5 && y < 10;
            QRgb want = black ? 0 : before.pixel(x, y) & 0xFFFFFF;
            ASSERT_EQ(dst.Img.pixel(x, y) & 0xFFFFFF, want) << x << ", " << y;
        }
}

TEST(GdiBlit, StretchCopiesEachSourcePixelIntoABlock)
{
    TCanvas src(4, 2);
    const TColorRef colors[8] = {Rgb(1, 0, 0), Rgb(2, 0, 0), Rgb(3, 0, 0), Rgb(4, 0, 0),
                                 Rgb(5, 0, 0), Rgb(6, 0, 0), Rgb(7, 0, 0), Rgb(8, 0, 0)};
    for (int i = 0; i < 8; ++i) {
        auto b = TBrush::CreateSolid(colors[i]);
        src.DC->FillRect({i % 4, i / 4, i % 4 + 1, i / 4 + 1}, b);
    }
    TCanvas dst(20, 20);
    ASSERT_TRUE(dst.DC->StretchBlt(2, 3, 12, 4, src.DC.get(), 0, 0, 4, 2, TGDI_SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 12; ++x) EXPECT_EQ(dst.At(2 + x, 3 + y), colors[(y / 2) * 4 + x / 3]) << x << ", " << y;
    EXPECT_EQ(InkBox(dst.Img, White), QRect(2, 3, 12, 4));

    // a negative width mirrors
    TCanvas m(20, 20);
    m.DC->StretchBlt(14, 3, -12, 4, src.DC.get(), 0, 0, 4, 2, TGDI_SRCCOPY);
    for (int x = 0; x < 12; ++x) EXPECT_EQ(m.At(2 + x, 3), colors[3 - x / 3]) << x;
}

TEST(GdiBlit, UnstretchedCopyTakesOnlyWhatBothPicturesHold)
{
    TCanvas src(4, 2);
    auto colour = [](int x, int y) { return Rgb(uint8_t(10 + x), uint8_t(20 + y), 0); };
    for (int i = 0; i < 8; ++i) {
        auto b = TBrush::CreateSolid(colour(i % 4, i / 4));
        src.DC->FillRect({i % 4, i / 4, i % 4 + 1, i / 4 + 1}, b);
    }
    struct TCase {
        int32_t X, Y, SX, SY;
    };
    // Past the destination's left and bottom; past the source's right and bottom; wholly inside.
    for (TCase t : {TCase{-1, 9, 0, 0}, TCase{5, 5, 2, 1}, TCase{3, 4, 0, 0}}) {
        TCanvas dst(10, 10);
        ASSERT_TRUE(dst.DC->BitBlt(t.X, t.Y, 4, 2, src.DC.get(), t.SX, t.SY, TGDI_SRCCOPY));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const int sx = x - t.X + t.SX, sy = y - t.Y + t.SY;
                const bool copied = x >= t.X && x < t.X + 4 && y >= t.Y && y < t.Y + 2 && sx < 4 && sy < 2;
                EXPECT_EQ(dst.At(x, y), copied ? colour(sx, sy) : White) << t.X << "," << t.Y << ": " << x << ", " << y;
            }
    }
}

TEST(GdiBlit, CopyWithinOneContextReadsTheSourceBeforeWriting)
{
    TCanvas cv(30, 10);
    for (int x = 0; x < 30; ++x) {
        auto b = TBrush::CreateSolid(Rgb(uint8_t(x), 0, 0));
        cv.DC->FillRect({x, 0, x + 1, 10}, b);
    }
    cv.DC->BitBlt(3, 0, 20, 10, cv.DC.get(), 0, 0, TGDI_SRCCOPY);  // overlapping move right
    for (int x = 3; x < 23; ++x) EXPECT_EQ(cv.At(x, 5), Rgb(uint8_t(x - 3), 0, 0)) << x;
}

TEST(GdiBlit, PatternOperationsUseTheSelectedBrush)
{
    TCanvas cv(10, 10);
    cv.DC->SelectBrush(StockBrush(TGDI_GRAY_BRUSH));
    EXPECT_TRUE(cv.DC->BitBlt(0, 0, 5, 5, nullptr, 0, 0, TGDI_PATCOPY));
    EXPECT_EQ(cv.At(2, 2), Rgb(128, 128, 128));
    EXPECT_TRUE(cv.DC->BitBlt(0, 0, 2, 2, nullptr, 0, 0, TGDI_DSTINVERT));
    EXPECT_EQ(cv.At(1, 1), Rgb(127, 127, 127));
    EXPECT_FALSE(cv.DC->BitBlt(0, 0, 2, 2, nullptr, 0, 0, TGDI_SRCCOPY)) << "a source operation needs a source";
}

namespace {
// An 8 x 4 one-bit picture, rows stored bottom-up and padded to four bytes:
// the bottom row is all set, the top row has its left half set.
const uint8_t Picture[16] = {
    0xFF, 0, 0, 0,  // bottom row (memory row 0)
    0x81, 0, 0, 0,
    0x18, 0, 0, 0,
    0xF0, 0, 0, 0,  // top row
};
const uint32_t BlackWhite[2] = {0x00FFFFFF, 0x00000000};  // index 0 white, 1 black

TBitmapInfo PictureInfo()
{
    TBitmapInfo info;
    info.Width = 8;
    info.Height = 4;
    info.BitCount = 1;
    info.Colors = BlackWhite;
    info.ColorCount = 2;
    return info;
}
} // namespace

TEST(GdiBlit, OneBitPictureDrawsBottomUpWithItsColourTable)
{
    const TBitmapInfo info = PictureInfo();
    TCanvas cv(20, 20, Rgb(0, 0, 255));
    EXPECT_EQ(cv.DC->StretchDIBits(2, 2, 8, 4, 0, 0, 8, 4, Picture, sizeof Picture, info, TGDI_SRCCOPY), 4);
    const char* rows[4] = {"####....", "...##...", "#......#", "########"};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(cv.At(2 + x, 2 + y), rows[y][x] == '#' ? Black : White) << x << ", " << y;
    EXPECT_EQ(InkBox(cv.Img, Rgb(0, 0, 255)), QRect(2, 2, 8, 4));
}

TEST(GdiBlit, OneBitPictureSourceRowsCountFromTheBottomAndStretchWithTheOperation)
{
    const TBitmapInfo info = PictureInfo();
    TCanvas cv(40, 40, Rgb(0, 200, 0));
    // the lower two rows of the picture, doubled, anded with the green
    EXPECT_EQ(cv.DC->StretchDIBits(0, 0, 16, 4, 0, 0, 8, 2, Picture, sizeof Picture, info, TGDI_SRCAND), 2);
    for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(cv.At(x, 0), (x / 2 == 0 || x / 2 == 7) ? Black : Rgb(0, 200, 0)) << x;
        EXPECT_EQ(cv.At(x, 3), Black) << x;
    }
    EXPECT_EQ(cv.At(0, 4), Rgb(0, 200, 0));
}

TEST(GdiBlit, PictureShorterThanItsHeaderIsRefused)
{
    TBitmapInfo info;
    info.Width = 8;
    info.Height = 5;  // needs 20 bytes
    info.BitCount = 1;
    TCanvas cv(10, 10);
    EXPECT_EQ(cv.DC->StretchDIBits(0, 0, 8, 5, 0, 0, 8, 5, Picture, sizeof Picture, info, TGDI_SRCCOPY), 0);
    info.Height = 4;
    info.BitCount = 3;
    EXPECT_EQ(cv.DC->StretchDIBits(0, 0, 8, 4, 0, 0, 8, 4, Picture, sizeof Picture, info, TGDI_SRCCOPY), 0);
    info.BitCount = 1;
    info.Width = -8;
    EXPECT_EQ(cv.DC->StretchDIBits(0, 0, 8, 4, 0, 0, 8, 4, Picture, sizeof Picture, info, TGDI_SRCCOPY), 0);
    EXPECT_EQ(Count(cv.Img, White), 100);
    EXPECT_FALSE(TBitmap::FromDib(info, Picture, sizeof Picture));
}

TEST(GdiBlit, HalftoneShrinkAveragesAndBitmapsCanBeDrawnFrom)
{
    TBitmapInfo info = PictureInfo();
    auto bmp = TBitmap::FromDib(info, Picture, sizeof Picture);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->Width(), 8);
    TDeviceContext mem(*bmp);
    EXPECT_EQ(mem.GetPixel(0, 0), Black) << "top row, left half";
    EXPECT_EQ(mem.GetPixel(7, 0), White);
    TCanvas cv(10, 10);
    cv.DC->SetStretchBltMode(TGDI_HALFTONE);
    cv.DC->StretchBlt(0, 0, 1, 1, &mem, 0, 0, 8, 4, TGDI_SRCCOPY);
    TColorRef c = cv.At(0, 0);
    EXPECT_NE(c, Black);
    EXPECT_NE(c, White) << "a shrunken mixed picture turns grey";
}

TEST(GdiBlit, AbsurdRectanglesDrawWhatLiesInsideWithoutHarm)
{
    const TBitmapInfo info = PictureInfo();
    TCanvas cv(30, 30, Rgb(0, 0, 255));
    cv.DC->SetStretchBltMode(TGDI_HALFTONE);
    // a source rectangle far larger than the picture, shrunk onto the image
    EXPECT_EQ(cv.DC->StretchDIBits(0, 0, 30, 30, 0, 0, 1 << 30, 1 << 30, Picture, sizeof Picture, info,
                                   TGDI_SRCCOPY),
              1 << 30);
    // the picture is the rectangle's bottom corner: at most the pixel there
    // may show it
    EXPECT_GE(Count(cv.Img, Rgb(0, 0, 255)), 30 * 30 - 1);
    // and a destination far larger than the image
    TCanvas big(30, 30, Rgb(0, 0, 255));
    EXPECT_EQ(big.DC->StretchDIBits(-2000000000, -2000000000, INT32_MAX, INT32_MAX, 0, 0, 8, 4, Picture,
                                    sizeof Picture, info, TGDI_SRCCOPY),
              4);
    EXPECT_EQ(Count(big.Img, Rgb(0, 0, 255)), 0) << "covered by the stretched picture";
}
