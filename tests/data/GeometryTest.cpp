#include "data/Utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace tarn;

TEST(Geometry, AzimuthCoversAllQuadrantsAndAxes)
{
    struct Case {
        int32_t Dx, Dy, Degrees;
    };
    for (Case c : {Case{10, 10, 45}, Case{-10, 10, 135}, Case{-10, -10, 225}, Case{10, -10, 315}, Case{0, 5, 90},
                   Case{0, -5, 270}, Case{-3, 0, 180}, Case{3, 0, 0}, Case{0, 0, 0}, Case{1000, -1, 360},
                   Case{1, 1000, 90}, Case{100, 173, 60}, Case{-173, 100, 150}})
        EXPECT_EQ(Azimuth(c.Dx, c.Dy), c.Degrees) << c.Dx << ", " << c.Dy;
}

TEST(Geometry, DistanceRoundsAndReportsOverflow)
{
    EXPECT_EQ(Distance(3, 4), 5);
    EXPECT_EQ(Distance(-3, -4), 5);
    EXPECT_EQ(Distance(1, 1), 1);
    EXPECT_EQ(Distance(2147483647, 0), 2147483647);
    EXPECT_EQ(Distance(2147483647, 2147483647), -1);
    EXPECT_EQ(Distance(std::numeric_limits<int32_t>::min(), 0), -1);
}

TEST(Geometry, SegmentsIntersectOnlyWhenTheyProperlyCross)
{
    EXPECT_TRUE(SegmentsIntersect({0, 0}, {10, 10}, {0, 10}, {10, 0}));  // X shape
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {5, 5}, {5, 5}, {10, 0}));    // shared end point
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {10, 0}, {5, 0}, {15, 0}));   // collinear overlap
    EXPECT_TRUE(SegmentsIntersect({0, 5}, {10, 5}, {5, 0}, {5, 10}));    // a cross of axis-parallel segments
    EXPECT_FALSE(SegmentsIntersect({0, 5}, {10, 5}, {20, 0}, {20, 10})); // boxes apart
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {10, 10}, {0, 1}, {10, 11})); // parallel
    // Coordinates at the ends of the 32-bit range do not overflow.
    EXPECT_TRUE(SegmentsIntersect({-2147483647, -2147483647}, {2147483647, 2147483647}, {-2147483647, 2147483647},
                                  {2147483647, -2147483647}));
}

TEST(Geometry, PointInRectIncludesAllEdges)
{
    TRect r{0, 10, 20, 0};
    for (TPoint p : {TPoint{0, 5}, TPoint{20, 5}, TPoint{5, 10}, TPoint{5, 0}, TPoint{0, 0}, TPoint{20, 10}})
        EXPECT_TRUE(PointInRect(p, r)) << p.X << "," << p.Y;
    EXPECT_FALSE(PointInRect({21, 5}, r));
    EXPECT_FALSE(PointInRect({5, -1}, r));
}

TEST(Geometry, PointInPolygonOfTheSquare)
{
    const TPoint square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    struct Case {
        int32_t X, Y;
        bool Inside;
    };
    for (Case c : {Case{5, 5, true}, Case{10, 10, true}, Case{15, 5, false}, Case{0, 5, true}, Case{10, 5, false},
                   Case{5, 10, false}, Case{5, 0, false}, Case{-1, 5, false}, Case{0, 0, false}})
        EXPECT_EQ(PointInPolygon(c.X, c.Y, square, 4), c.Inside) << c.X << "," << c.Y;
    EXPECT_FALSE(PointInPolygon(0, 0, square, 0));
}

TEST(Geometry, PointInPolygonCountsVerticesOnTheRayOnce)
{
    // A diamond: the ray from (5,5) passes through the vertex (0,5).
    const TPoint diamond[] = {{5, 0}, {10, 5}, {5, 10}, {0, 5}};
    EXPECT_TRUE(PointInPolygon(5, 5, diamond, 4));
    // A concave shape whose vertex touches the ray without crossing it.
    const TPoint notch[] = {{0, 0}, {10, 0}, {10, 10}, {5, 5}, {0, 10}};
    EXPECT_TRUE(PointInPolygon(8, 5, notch, 5));
    EXPECT_FALSE(PointInPolygon(5, 8, notch, 5));
    // A slanted edge crossing at a rounded X.
    const TPoint tri[] = {{0, 0}, {10, 0}, {0, 10}};
    EXPECT_TRUE(PointInPolygon(4, 5, tri, 3));
    EXPECT_FALSE(PointInPolygon(6, 5, tri, 3));
}

TEST(Geometry, ConversionsRoundHalvesToEven)
{
    TRect world{0, 1000, 1000, 0};
    TRect client{0, 0, 500, 500};
    int32_t sx, sy;
    WorldToScreen(2.0, world, client, 1, 999, sx, sy); // 0.5, 0.5
    EXPECT_EQ(sx, 0);
    EXPECT_EQ(sy, 0);
    WorldToScreen(2.0, world, client, 3, 995, sx, sy); // 1.5, 2.5
    EXPECT_EQ(sx, 2);
    EXPECT_EQ(sy, 2);
    int32_t x, y;
    ScreenToWorld(2.0, world, client, 10, 20, x, y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 960);
    ScreenToWorld(0.25, world, client, 2, 6, x, y); // 0.5 -> 0, -1.5 -> -2
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 998);
    TRect offset{100, 50, 600, 550};
    WorldToScreen(1.0, world, offset, 10, 990, sx, sy);
    EXPECT_EQ(sx, 110);
    EXPECT_EQ(sy, 60);
}

TEST(Geometry, ConversionsGuardBadScalesAndSaturate)
{
    TRect world{-2147483647 - 1, 2147483647, 2147483647, -2147483647 - 1};
    TRect client{7, 9, 100, 100};
    int32_t sx = 1, sy = 1;
    for (double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        WorldToScreen(bad, world, client, 5, 5, sx, sy);
        EXPECT_EQ(sx, 7);
        EXPECT_EQ(sy, 9);
    }
    WorldToScreen(1e-9, world, client, 2147483647, -2147483647 - 1, sx, sy);
    EXPECT_EQ(sx, 2147483647);
    EXPECT_EQ(sy, 2147483647);
    int32_t x, y;
    ScreenToWorld(1e12, TRect{0, 0, 0, 0}, TRect{0, 0, 0, 0}, -5, -5, x, y);
    EXPECT_EQ(x, -2147483647 - 1);
    EXPECT_EQ(y, 2147483647);
}

TEST(Geometry, SameValueIsStrict)
{
    EXPECT_FALSE(SameValue(1.0, 1.0000001));
    EXPECT_TRUE(SameValue(1.0, 1.00000005));
    EXPECT_TRUE(SameValue(-3.0, -3.0));
}

TEST(Utilities, RusUpperCaseFollowsCodePage1251)
{
    // ё -> Ё, я -> Я, а -> А, z -> Z; digits, Ё and punctuation unchanged.
    EXPECT_EQ(RusUpperCase("\xB8\xFF\xE0z"), "\xA8\xDF\xC0Z");
    EXPECT_EQ(RusUpperCase("09\xA8.-"), "09\xA8.-");
    EXPECT_EQ(RusUpperCase("\xF3\xEB. \xEB\xE5\xED\xE8\xED\xE0"), "\xD3\xCB. \xCB\xC5\xCD\xC8\xCD\xC0");
}

TEST(Utilities, CompareBytesIsUnsigned)
{
    EXPECT_EQ(CompareBytes("\x80", "\x7F", 1), 1);
    EXPECT_EQ(CompareBytes("ab", "ac", 2), -1);
    EXPECT_EQ(CompareBytes("ab", "ab", 2), 0);
}

TEST(Utilities, FreeAndNilVarReportsWhetherItFreed)
{
    int* p = new int(3);
    EXPECT_TRUE(FreeAndNilVar(p));
    EXPECT_EQ(p, nullptr);
    EXPECT_FALSE(FreeAndNilVar(p));
    EXPECT_EQ(GetCurrentDirSlash().back(), '/');
}

TEST(Geometry, RoundEvenSatHalvesToEvenAndSaturates)
{
    struct Case {
        long double In;
        int32_t Out;
    } cases[] = {{0.5L, 0},          {1.5L, 2},          {2.5L, 2},           {-0.5L, 0},
                 {-1.5L, -2},        {-2.5L, -2},        {2.4999999L, 2},     {-7.2L, -7},
                 {2147483646.5L, 2147483646}, {2147483647.4L, 2147483647}, {3e12L, 2147483647},
                 {-2147483648.6L, -2147483647 - 1}, {-1e300L, -2147483647 - 1}};
    for (const Case& c : cases) EXPECT_EQ(RoundEvenSat(c.In), c.Out) << double(c.In);
    EXPECT_EQ(RoundEvenSat(std::numeric_limits<long double>::quiet_NaN()), 0);
    // The same as the library's rounding everywhere in range.
    uint64_t s = 88172645463325252ull;
    for (int i = 0; i < 100000; ++i) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        const long double v = (static_cast<long double>(int64_t(s % 8000000000ull)) - 4e9L) / 4;
        ASSERT_EQ(RoundEvenSat(v), static_cast<int32_t>(std::clamp<long double>(std::nearbyintl(v), -2147483648.0L,
                                                                                 2147483647.0L)))
            << double(v);
    }
}

TEST(Geometry, RoundEvenMatchesTheLibraryOverTheWholeRange)
{
    struct Case {
        long double In;
        int64_t Out;
    } cases[] = {{0.5L, 0},       {1.5L, 2},   {2.5L, 2}, {-2.5L, -2}, {-0.4L, 0}, {4611686018427387903.5L, 4611686018427387904},
                 {-0x1p62L, -4611686018427387904}, {0x1p62L + 1, 4611686018427387905}, {9e18L, 9000000000000000000}};
    for (const Case& c : cases) EXPECT_EQ(RoundEven(c.In), c.Out) << double(c.In);
    uint64_t s = 2463534242ull;
    for (int i = 0; i < 100000; ++i) {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        // Magnitudes from fractions to beyond 2^62, halves included.
        const long double v = std::ldexp(static_cast<long double>(int64_t(s)) / 2, -int(s % 70));
        ASSERT_EQ(RoundEven(v), static_cast<int64_t>(std::nearbyintl(v))) << double(v);
    }
}
