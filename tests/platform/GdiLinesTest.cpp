// Lines and polylines: last pixel left out, clipping, joints, dashes, mixes.
#include "GdiSupport.h"

#include <QPainter>

#include <random>

using namespace tarn;
using namespace tarn::test;

namespace {
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0;
}

TEST(GdiLines, LeaveOutTheirLastPixelInEveryDirection)
{
    struct Case {
        int Dx, Dy;
    };
    for (Case c : {Case{12, 0}, Case{-12, 0}, Case{0, 12}, Case{0, -12}, Case{9, 9}, Case{-9, 9}, Case{9, -9},
                   Case{-9, -9}, Case{12, 5}, Case{-5, 12}, Case{1, 0}}) {
        TCanvas cv(40, 40);
        cv.DC->MoveTo(20, 20);
        cv.DC->LineTo(20 + c.Dx, 20 + c.Dy);
        SCOPED_TRACE(testing::Message() << "to (" << c.Dx << ", " << c.Dy << ")");
        EXPECT_EQ(cv.At(20, 20), Black) << "first pixel";
        EXPECT_EQ(cv.At(20 + c.Dx, 20 + c.Dy), White) << "last pixel must stay";
        EXPECT_EQ(Count(cv.Img, Black), std::max(std::abs(c.Dx), std::abs(c.Dy)));
        EXPECT_EQ(cv.DC->CurrentPosition(), (TPoint{20 + c.Dx, 20 + c.Dy}));
    }
}

TEST(GdiLines, ShallowLineSteppsOnePixelPerColumnNearestToTheTrueLine)
{
    TCanvas cv(20, 10);
    cv.DC->MoveTo(0, 0);
    cv.DC->LineTo(10, 3);
    // y at column x is the true line 0.3 x rounded; the half at x = 5 goes
    // towards the start
    const int expect[10] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 3};
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(cv.At(x, expect[x]), Black) << "column " << x;
        int inColumn = 0;
        for (int y = 0; y < 10; ++y) inColumn += cv.At(x, y) == Black;
        EXPECT_EQ(inColumn, 1) << "column " << x;
    }
}

TEST(GdiLines, ClippedLinesHitTheSamePixelsAsUnclippedOnes)
{
    // The same lines on a small image and, shifted, on one large enough to
    // hold them whole: the window of the large one must equal the small one.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-700, 760);
    const int ox = 800, oy = 800;
    QImage big(2400, 2400, QImage::Format_RGB32);
    for (int k = 0; k < 60; ++k) {
        TCanvas small(64, 48);
        big.fill(Qt::white);
        TDeviceContext bigDC(big);
        TPoint a{coord(rng), coord(rng) / 3}, b{coord(rng) / 4, coord(rng)};
        small.DC->MoveTo(a.X, a.Y);
        small.DC->LineTo(b.X, b.Y);
        bigDC.MoveTo(a.X + ox, a.Y + oy);
        bigDC.LineTo(b.X + ox, b.Y + oy);
        ASSERT_TRUE(SameImage(small.Img, big.copy(ox, oy, 64, 48)))
            << "line (" << a.X << ", " << a.Y << ") to (" << b.X << ", " << b.Y << ")";
    }
}

TEST(GdiLines, FarAwayEndPointsCostNothingAndDrawTheVisiblePart)
{
    TCanvas cv(100, 100);
    cv.DC->MoveTo(-2000000000, 50);
    cv.DC->LineTo(2000000000, 50);
    EXPECT_EQ(Count(cv.Img, Black), 100);
    cv.DC->MoveTo(-2147483647, -2147483647);
    cv.DC->LineTo(2147483647, 2147483647);  // the diagonal through the image
    EXPECT_EQ(cv.At(10, 10), Black);
    EXPECT_EQ(cv.At(99, 99), Black);
}

TEST(GdiLines, PolylineDrawsEveryPixelOfItsPathOnce)
{
    // With the xor mix a pixel drawn twice would come back white.
    TCanvas cv(30, 30);
    cv.DC->SetROP2(TGDI_R2_XORPEN);
    auto pen = TPen::Create(TGDI_PS_SOLID, 1, White);
    cv.DC->SelectPen(pen);
    const TPoint path[] = {{2, 2}, {12, 2}, {12, 12}, {2, 12}, {2, 3}};
    cv.DC->Polyline(path, 5);
    EXPECT_EQ(Count(cv.Img, Black), 10 + 10 + 10 + 9);
    EXPECT_EQ(cv.At(2, 3), White) << "the last point stays out";
    EXPECT_EQ(cv.At(12, 2), Black) << "a joint is drawn once";
}

TEST(GdiLines, DashedPenRepeatsItsPatternAlongThePolyline)
{
    TCanvas cv(120, 10);
    auto pen = TPen::Create(TGDI_PS_DASH, 0, Black);
    cv.DC->SelectPen(pen);
    cv.DC->SetBkMode(TGDI_TRANSPARENT);
    const TPoint path[] = {{0, 5}, {30, 5}, {110, 5}};
    cv.DC->Polyline(path, 3);
    // 18 on, 6 off from the start of the whole line, across the vertex at 30
    for (int x = 0; x < 110; ++x) EXPECT_EQ(cv.At(x, 5), (x % 24) < 18 ? Black : White) << "x " << x;
}

TEST(GdiLines, DashGapsTakeTheBackgroundColourOnlyInOpaqueMode)
{
    for (int mode : {TGDI_OPAQUE, TGDI_TRANSPARENT}) {
        TCanvas cv(40, 4, Rgb(0, 0, 255));
        auto pen = TPen::Create(TGDI_PS_DOT, 1, Black);
        cv.DC->SelectPen(pen);
        cv.DC->SetBkMode(mode);
        cv.DC->SetBkColor(Rgb(0, 255, 0));
        cv.DC->MoveTo(0, 1);
        cv.DC->LineTo(12, 1);
        for (int x = 0; x < 12; ++x) {
            TColorRef gap = mode == TGDI_OPAQUE ? Rgb(0, 255, 0) : Rgb(0, 0, 255);
            EXPECT_EQ(cv.At(x, 1), (x % 6) < 3 ? Black : gap) << "mode " << mode << " x " << x;
        }
    }
}

TEST(GdiLines, WidePensDrawSolidAndWide)
{
    TCanvas cv(60, 30);
    auto pen = TPen::Create(TGDI_PS_DASH, 5, Black);  // dashes only at width 0 and 1
    cv.DC->SelectPen(pen);
    cv.DC->MoveTo(10, 15);
    cv.DC->LineTo(50, 15);
    for (int x = 12; x < 48; ++x) {
        EXPECT_EQ(cv.At(x, 15), Black) << x;
        EXPECT_EQ(cv.At(x, 13), Black) << x;
        EXPECT_EQ(cv.At(x, 17), Black) << x;
        EXPECT_EQ(cv.At(x, 11), White) << x;
        EXPECT_EQ(cv.At(x, 19), White) << x;
    }
}

TEST(GdiLines, NullPenAndNopMixDrawNothing)
{
    TCanvas cv(20, 20);
    cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    cv.DC->MoveTo(0, 0);
    cv.DC->LineTo(19, 19);
    cv.DC->SelectPen(StockPen(TGDI_BLACK_PEN));
    cv.DC->SetROP2(TGDI_R2_NOP);
    cv.DC->LineTo(0, 19);
    EXPECT_EQ(Count(cv.Img, White), 400);
}

TEST(GdiLines, AllSixteenMixesFollowTheirTruthTables)
{
    const uint32_t d = 0x3C5AA5, p = 0x0FF00F;  // as 0x00BBGGRR
    struct Mix {
        int Rop;
        uint32_t Expect;
    };
    const Mix mixes[] = {
        {TGDI_R2_BLACK, 0},          {TGDI_R2_NOTMERGEPEN, ~(p | d)}, {TGDI_R2_MASKNOTPEN, ~p & d},
        {TGDI_R2_NOTCOPYPEN, ~p},    {TGDI_R2_MASKPENNOT, p & ~d},    {TGDI_R2_NOT, ~d},
        {TGDI_R2_XORPEN, p ^ d},     {TGDI_R2_NOTMASKPEN, ~(p & d)},  {TGDI_R2_MASKPEN, p & d},
        {TGDI_R2_NOTXORPEN, ~(p ^ d)}, {TGDI_R2_NOP, d},              {TGDI_R2_MERGENOTPEN, ~p | d},
        {TGDI_R2_COPYPEN, p},        {TGDI_R2_MERGEPENNOT, p | ~d},   {TGDI_R2_MERGEPEN, p | d},
        {TGDI_R2_WHITE, 0xFFFFFF},
    };
    for (const Mix& m : mixes) {
        TCanvas cv(40, 40, d);
        auto thin = TPen::Create(TGDI_PS_SOLID, 0, p), wide = TPen::Create(TGDI_PS_SOLID, 4, p);
        auto brush = TBrush::CreateSolid(p);
        cv.DC->SetROP2(m.Rop);
        cv.DC->SelectPen(thin);
        cv.DC->MoveTo(2, 2);
        cv.DC->LineTo(30, 2);  // thin line, own routine
        cv.DC->SelectPen(wide);
        cv.DC->MoveTo(2, 10);
        cv.DC->LineTo(30, 10);  // wide line, painter
        cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
        cv.DC->SelectBrush(brush);
        cv.DC->Rectangle(2, 20, 30, 30);  // fill
        const TColorRef want = m.Expect & 0xFFFFFF;
        EXPECT_EQ(cv.At(15, 2), want) << "thin pen, mix " << m.Rop;
        EXPECT_EQ(cv.At(15, 10), want) << "wide pen, mix " << m.Rop;
        EXPECT_EQ(cv.At(15, 25), want) << "fill, mix " << m.Rop;
        EXPECT_EQ(cv.At(35, 35), d) << "outside, mix " << m.Rop;
    }
}

TEST(GdiLines, NotXorFrameDrawnTwiceRestoresThePicture)
{
    TCanvas cv(80, 60);
    cv.Img = Noise(80, 60, 3);
    cv.DC = std::make_unique<TDeviceContext>(cv.Img);
    const QImage before = cv.Img.copy();
    auto frame = [&] {
        cv.DC->SetROP2(TGDI_R2_NOTXORPEN);
        cv.DC->SelectBrush(StockBrush(TGDI_NULL_BRUSH));
        cv.DC->SelectPen(StockPen(TGDI_BLACK_PEN));
        cv.DC->Rectangle(5, 5, 70, 50);
        auto red = TPen::Create(TGDI_PS_SOLID, 0, Rgb(255, 0, 0));
        cv.DC->SelectPen(red);
        const TPoint label[] = {{10, 40}, {60, 12}, {66, 22}, {16, 50}};  // a turned label's frame
        cv.DC->SelectBrush(StockBrush(TGDI_GRAY_BRUSH));
        cv.DC->Polygon(label, 4);
        auto wide = TPen::Create(TGDI_PS_SOLID, 3, Rgb(0, 128, 255));
        cv.DC->SelectPen(wide);
        cv.DC->MoveTo(0, 59);
        cv.DC->LineTo(79, 0);
        cv.DC->SelectPen(StockPen(TGDI_BLACK_PEN));
    };
    frame();
    EXPECT_FALSE(SameImage(cv.Img, before));
    frame();
    EXPECT_TRUE(SameImage(cv.Img, before)) << SaveImage(cv.Img, "notxor-twice");
}

TEST(GdiLines, NotMixInvertsTheScreenForRubberBands)
{
    TCanvas cv(30, 30, Rgb(10, 200, 30));
    cv.DC->SetROP2(TGDI_R2_NOT);
    cv.DC->MoveTo(0, 5);
    cv.DC->LineTo(20, 5);
    EXPECT_EQ(cv.At(3, 5), Rgb(245, 55, 225));
    cv.DC->MoveTo(0, 5);
    cv.DC->LineTo(20, 5);
    EXPECT_EQ(Count(cv.Img, Rgb(10, 200, 30)), 900);
}
