// Rectangles, ellipses, polygons and brushes.
#include "GdiSupport.h"

#include <random>

using namespace tarn;
using namespace tarn::test;

namespace {
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0, Red = Rgb(255, 0, 0), Blue = Rgb(0, 0, 255);
}

TEST(GdiShapes, RectangleLeavesOutItsRightAndBottomEdge)
{
    TCanvas cv(30, 30, Blue);
    auto brush = TBrush::CreateSolid(Red);
    cv.DC->SelectBrush(brush);
    cv.DC->Rectangle(5, 5, 15, 15);
    EXPECT_EQ(InkBox(cv.Img, Blue), QRect(5, 5, 10, 10));
    for (int i = 5; i < 15; ++i) {
        EXPECT_EQ(cv.At(i, 5), Black);
        EXPECT_EQ(cv.At(i, 14), Black);
        EXPECT_EQ(cv.At(5, i), Black);
        EXPECT_EQ(cv.At(14, i), Black);
    }
    EXPECT_EQ(Count(cv.Img, Red), 8 * 8);
    EXPECT_EQ(Count(cv.Img, Black), 36);
}

TEST(GdiShapes, RectangleCornersMayComeInAnyOrder)
{
    TCanvas a(20, 20), b(20, 20);
    a.DC->Rectangle(3, 4, 13, 17);
    b.DC->Rectangle(13, 17, 3, 4);
    EXPECT_TRUE(SameImage(a.Img, b.Img));
}

TEST(GdiShapes, EllipseOfSizeTenIsADiscOfRadiusFiveWithoutRightAndBottomEdge)
{
    TCanvas cv(40, 40, Blue);
    cv.DC->Ellipse(15, 15, 25, 25);  // centre (20, 20), radius 5
    const QRect box = InkBox(cv.Img, Blue);
    EXPECT_EQ(box, QRect(15, 15, 10, 10));
    EXPECT_EQ(cv.At(20, 20), White) << "the white stock brush fills";
    EXPECT_EQ(cv.At(15, 20), Black) << "the outline touches the left edge";
    EXPECT_EQ(cv.At(24, 20), Black) << "and the last column inside";
    EXPECT_EQ(cv.At(25, 20), Blue);
    EXPECT_EQ(cv.At(20, 25), Blue);
    for (auto [x, y] : {std::pair{15, 15}, {24, 15}, {15, 24}, {24, 24}}) {
        EXPECT_EQ(cv.At(x, y), Blue) << "corner";
    }
    // round: symmetric about the centre of its box
    for (int y = 15; y < 25; ++y)
        for (int x = 15; x < 25; ++x) EXPECT_EQ(cv.At(x, y), cv.At(39 - x, 39 - y)) << x << ", " << y;
    // the outline is closed: every filled pixel is four-connected only to
    // filled or outline pixels
    for (int y = 16; y < 24; ++y)
        for (int x = 16; x < 24; ++x)
            if (cv.At(x, y) == White) {
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    EXPECT_NE(cv.At(x + dx, y + dy), Blue) << x << ", " << y;
                }
            }
}

TEST(GdiShapes, PolygonFillsOddEven)
{
    // A five-pointed star drawn as one self-crossing outline: the centre
    // pentagon is crossed twice and stays empty, the points are filled.
    TCanvas cv(101, 101, White);
    auto brush = TBrush::CreateSolid(Red);
    cv.DC->SelectBrush(brush);
    cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    const TPoint star[] = {{50, 2}, {79, 92}, {3, 36}, {97, 36}, {21, 92}};
    cv.DC->Polygon(star, 5);
    EXPECT_EQ(cv.At(50, 55), White) << "centre";
    EXPECT_EQ(cv.At(50, 20), Red) << "top point";
    EXPECT_EQ(cv.At(15, 38), Red) << "left point";
    EXPECT_EQ(cv.At(70, 80), Red) << "lower right point";
}

TEST(GdiShapes, PolygonLeavesOutRightAndBottomEdgesSoNeighboursTile)
{
    TCanvas cv(40, 40, Black);
    auto white = TBrush::CreateSolid(White);
    cv.DC->SelectBrush(white);
    cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    const TPoint square[] = {{5, 5}, {15, 5}, {15, 15}, {5, 15}};
    cv.DC->Polygon(square, 4);
    EXPECT_EQ(InkBox(cv.Img, Black), QRect(5, 5, 10, 10));
    EXPECT_EQ(Count(cv.Img, White), 100);

    // Two triangles and a skewed strip sharing edges, drawn with xor: every
    // pixel of the union is flipped exactly once.
    TCanvas t(40, 40, Black);
    t.DC->SetROP2(TGDI_R2_XORPEN);
    t.DC->SelectBrush(white);
    t.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    const TPoint a[] = {{3, 3}, {33, 7}, {9, 31}}, b[] = {{33, 7}, {36, 35}, {9, 31}};
    const TPoint c[] = {{3, 3}, {9, 31}, {1, 38}};
    t.DC->Polygon(a, 3);
    t.DC->Polygon(b, 3);
    t.DC->Polygon(c, 3);
    TCanvas whole(40, 40, Black);
    whole.DC->SelectBrush(white);
    whole.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    const TPoint u[] = {{3, 3}, {33, 7}, {36, 35}, {9, 31}, {1, 38}};
    whole.DC->Polygon(u, 5);
    EXPECT_TRUE(SameImage(t.Img, whole.Img)) << SaveImage(t.Img, "tiling");
}

TEST(GdiShapes, PolygonOutlineUsesThePenAndClosesTheRing)
{
    TCanvas cv(30, 30, White);
    cv.DC->SelectBrush(StockBrush(TGDI_NULL_BRUSH));
    const TPoint tri[] = {{2, 2}, {20, 2}, {2, 20}};
    cv.DC->Polygon(tri, 3);
    EXPECT_EQ(cv.At(2, 19), Black) << "closing side from the last point back to the first";
    EXPECT_EQ(cv.At(10, 2), Black);
    EXPECT_EQ(cv.At(5, 5), White) << "null brush";
}

TEST(GdiShapes, HatchStyleThreeRisesLeftToRightAndLeavesGapsByBackgroundMode)
{
    const TColorRef bg = Rgb(200, 220, 240), bk = Rgb(0, 255, 0);
    for (int mode : {TGDI_TRANSPARENT, TGDI_OPAQUE}) {
        TCanvas cv(64, 64, bg);
        auto hatch = TBrush::CreateHatch(TGDI_HS_BDIAGONAL, Red);
        cv.DC->SelectBrush(hatch);
        cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
        cv.DC->SetBkMode(mode);
        cv.DC->SetBkColor(bk);
        // two separate shapes side by side: the pattern is anchored at the
        // device origin, so it runs on across them
        cv.DC->Rectangle(3, 5, 30, 40);
        cv.DC->Rectangle(30, 5, 61, 40);
        const TColorRef gap = mode == TGDI_OPAQUE ? bk : bg;
        int phase = -1;
        for (int y = 5; y < 40; ++y) {
            int inRow = 0;
            for (int x = 3; x < 61; ++x) {
                TColorRef c = cv.At(x, y);
                ASSERT_TRUE(c == Red || c == gap) << "mode " << mode << " at " << x << ", " << y;
                if (c != Red) continue;
                ++inRow;
                if (phase < 0) phase = (x + y) % 8;
                EXPECT_EQ((x + y) % 8, phase) << "one family of rising lines, at " << x << ", " << y;
            }
            EXPECT_GE(inRow, 7) << "one hatch pixel in eight, row " << y;
            EXPECT_LE(inRow, 8) << "row " << y;
        }
        EXPECT_EQ(cv.At(1, 1), bg) << "outside untouched";
    }
}

TEST(GdiShapes, EveryHatchStyleHasItsOwnPattern)
{
    std::vector<QImage> seen;
    for (int h = TGDI_HS_HORIZONTAL; h <= TGDI_HS_DIAGCROSS; ++h) {
        TCanvas cv(16, 16);
        auto brush = TBrush::CreateHatch(h, Black);
        cv.DC->FillRect({0, 0, 16, 16}, brush);
        for (const QImage& other : seen) EXPECT_FALSE(SameImage(cv.Img, other)) << "style " << h;
        seen.push_back(cv.Img);
    }
    // horizontal and vertical lines are one pixel every eight
    EXPECT_EQ(Count(seen[TGDI_HS_HORIZONTAL], Black), 2 * 16);
    EXPECT_EQ(Count(seen[TGDI_HS_VERTICAL], Black), 2 * 16);
    EXPECT_EQ(Count(seen[TGDI_HS_CROSS], Black), 2 * 16 + 2 * 16 - 4);
}

TEST(GdiShapes, FillRectUsesTheGivenBrushAndNoOutline)
{
    TCanvas cv(20, 20);
    auto red = TBrush::CreateSolid(Red);
    cv.DC->SetROP2(TGDI_R2_XORPEN);  // does not apply to FillRect
    cv.DC->FillRect({2, 3, 12, 9}, red);
    EXPECT_EQ(InkBox(cv.Img, White), QRect(2, 3, 10, 6));
    EXPECT_EQ(Count(cv.Img, Red), 60);
    EXPECT_EQ(cv.DC->Brush(), StockBrush(TGDI_WHITE_BRUSH)) << "selection unchanged";
}

TEST(GdiShapes, WidePenOutlinesAndInsideFrameStaysInside)
{
    TCanvas cv(60, 60, White);
    auto inside = TPen::Create(TGDI_PS_INSIDEFRAME, 4, Black);
    cv.DC->SelectPen(inside);
    cv.DC->SelectBrush(StockBrush(TGDI_NULL_BRUSH));
    cv.DC->Rectangle(10, 10, 50, 50);
    EXPECT_EQ(InkBox(cv.Img, White), QRect(10, 10, 40, 40));
    EXPECT_EQ(cv.At(13, 30), Black);
    EXPECT_EQ(cv.At(30, 30), White);
    cv.DC->Ellipse(0, 0, 60, 60);
    EXPECT_EQ(InkBox(cv.Img, White), QRect(0, 0, 60, 60));
}

TEST(GdiShapes, ShapesFarOutsideAreClippedWithoutHarm)
{
    TCanvas cv(50, 50, White);
    cv.DC->Rectangle(-2000000000, -2000000000, 2000000000, 2000000000);
    EXPECT_EQ(Count(cv.Img, White), 2500) << "all inside the frame";
    cv.DC->Ellipse(-100000, 10, 100000, 40);
    EXPECT_EQ(cv.At(25, 25), White);
    const TPoint huge[] = {{-2147483647, -2147483647}, {2147483647, -2147483647}, {0, 2147483647}};
    auto red = TBrush::CreateSolid(Red);
    cv.DC->SelectBrush(red);
    cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    cv.DC->Polygon(huge, 3);
    EXPECT_EQ(Count(cv.Img, Red), 2500);
}

namespace {
// Reference odd-even rule in exact integers: pixel (x, y) is inside when an
// odd number of edges spanning the row's centre cross it at or left of the
// pixel's centre.
bool InsideByCentre(const std::vector<TPoint>& poly, int x, int y)
{
    int crossings = 0;
    for (size_t i = 0; i < poly.size(); ++i) {
        TPoint p = poly[i], q = poly[(i + 1) % poly.size()];
        if (p.Y == q.Y) continue;
        if (p.Y > q.Y) std::swap(p, q);
        if (!(p.Y <= y && y < q.Y)) continue;  // centre y + 1/2 in [p.Y, q.Y)
        // crossing X = p.X + (y + 1/2 - p.Y) dx / d; counted when X <= x + 1/2
        const __int128 d = int64_t(q.Y) - p.Y, dx = int64_t(q.X) - p.X;
        const __int128 lhs = __int128(2 * int64_t(p.X)) * d + (2 * (int64_t(y) - p.Y) + 1) * dx;
        if (lhs <= __int128(2 * int64_t(x) + 1) * d) ++crossings;
    }
    return crossings % 2 == 1;
}
} // namespace

TEST(GdiShapes, PolygonFillMatchesTheExactCentreRule)
{
    std::mt19937 rng(1234);
    for (int k = 0; k < 300; ++k) {
        const int n = 3 + int(rng() % 7);
        const bool huge = k % 10 == 9;  // beyond the floating point shortcut
        std::vector<TPoint> poly;
        for (int i = 0; i < n; ++i) {
            if (huge)
                poly.push_back({int32_t(int64_t(rng() % 400000000) - 200000000) / (i % 2 ? 1 : 3000000) + 20,
                                int32_t(rng() % 100) - 20});
            else
                poly.push_back({int32_t(rng() % 110) - 25, int32_t(rng() % 110) - 25});
        }
        TCanvas cv(64, 64, Black);
        auto white = TBrush::CreateSolid(White);
        cv.DC->SelectBrush(white);
        cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
        cv.DC->Polygon(poly.data(), n);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(cv.At(x, y) == White, InsideByCentre(poly, x, y))
                    << "polygon " << k << " pixel " << x << ", " << y << SaveImage(cv.Img, "fill-rule");
    }
}
