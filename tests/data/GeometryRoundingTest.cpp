// World-to-screen conversion against the exact rule: the quotient in long
// double, rounded half to even, for scales and offsets a view meets and for
// quotients that land on or next to a half.
#include "data/Utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace tarn;

namespace {

// The conversion worked out from its definition.
int32_t Expected(double scale, int32_t origin, int64_t n)
{
    const long double v = static_cast<long double>(origin) + static_cast<long double>(n) / scale;
    return RoundEvenSat(v);
}

::testing::AssertionResult Converts(double scale, const TRect& world, const TRect& client, int32_t x, int32_t y)
{
    int32_t sx, sy;
    WorldToScreen(scale, world, client, x, y, sx, sy);
    const int32_t ex = Expected(scale, client.Left, int64_t(x) - world.Left);
    const int32_t ey = Expected(scale, client.Top, int64_t(world.Top) - y);
    TPoint bulk[2] = {{x, y}, {y, x}};  // the conversion of many points in place, too
    WorldToScreen(scale, world, client, bulk, 2);
    const int32_t bx = Expected(scale, client.Left, int64_t(y) - world.Left);
    const int32_t by = Expected(scale, client.Top, int64_t(world.Top) - x);
    if (sx == ex && sy == ey && bulk[0] == TPoint{ex, ey} && bulk[1] == TPoint{bx, by})
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "scale " << scale << " point (" << x << ", " << y << "): got (" << sx
                                         << ", " << sy << "), in bulk (" << bulk[0].X << ", " << bulk[0].Y << ") and ("
                                         << bulk[1].X << ", " << bulk[1].Y << "), expected (" << ex << ", " << ey
                                         << ") and (" << bx << ", " << by << ")";
}

} // namespace

TEST(GeometryRounding, QuotientsOnAHalfRoundToEven)
{
    // scale 2: odd distances are exact halves; scale 0.5 and 4 likewise at
    // their own steps; 1000 / 3 never lands on one
    const TRect world{0, 0, 0, 0}, client{0, 0, 0, 0};
    struct TCase {
        double Scale;
        int32_t X;
        int32_t Screen;
    } cases[] = {
        {2, 1, 0}, {2, 3, 2}, {2, 5, 2}, {2, 7, 4}, {2, -1, 0}, {2, -3, -2}, {4, 2, 0}, {4, 6, 2},
        {4, 10, 2}, {2, 2147483647, 1073741824}, {2, -2147483647, -1073741824}, {1000.0 / 3, 500, 2},
    };
    for (const TCase& c : cases) {
        int32_t sx, sy;
        WorldToScreen(c.Scale, world, client, c.X, 0, sx, sy);
        EXPECT_EQ(sx, c.Screen) << "scale " << c.Scale << " x " << c.X;
    }
}

TEST(GeometryRounding, AgreesWithTheExactRuleNearHalves)
{
    // Distances next to an exact half: n = (k + 1/2) s +- a few units.
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> scales(0.01, 200000);
    std::uniform_int_distribution<int32_t> ks(-2000000, 2000000), jitter(-3, 3);
    const TRect world{0, 0, 0, 0};
    for (int i = 0; i < 200000; ++i) {
        const double s = i % 3 == 0 ? std::ldexp(1.0, int(ks(rng) % 20)) : scales(rng);
        const double half = (ks(rng) + 0.5) * s;
        if (std::fabs(half) > 2e9) continue;
        const int32_t x = int32_t(std::llround(half)) + jitter(rng);
        const TRect client{ks(rng), ks(rng), 0, 0};
        ASSERT_TRUE(Converts(s, world, client, x, -x));
    }
}

TEST(GeometryRounding, AgreesWithTheExactRuleAHairFromAHalf)
{
    // Scales chosen so that the distance over the scale is a half plus or
    // minus a few units of the last place of a double: a double quotient
    // lands on the half, the long double one beside it.
    std::mt19937 rng(23);
    std::uniform_int_distribution<int32_t> ns(1, INT32_MAX), ks(0, 4000000);
    const TRect world{0, 0, 0, 0};
    int off = 0;
    for (int i = 0; i < 100000; ++i) {
        const int32_t n = ns(rng);
        const long double half = ks(rng) % (n / 2 + 1) + 0.5L;
        const double s = static_cast<double>(n / half);
        if (!(s > 0)) continue;
        const TRect client{ks(rng) - 2000000, 0, 0, 0};
        const long double q = n / static_cast<long double>(s);
        off += q != half;
        ASSERT_TRUE(Converts(s, world, client, n, 0));
    }
    EXPECT_GT(off, 1000) << "the quotients should miss the half by a hair";
}

TEST(GeometryRounding, AgreesWithTheExactRuleOverViews)
{
    // Views from 1:500 to far beyond the world, anywhere in it, and quotients
    // beyond 32 bits that saturate.
    std::mt19937 rng(29);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_real_distribution<double> exponent(-12, 35);
    for (int i = 0; i < 200000; ++i) {
        const double s = std::exp2(exponent(rng));
        const TRect world{any(rng), any(rng), 0, 0};
        const TRect client{any(rng) / 1024, any(rng) / 1024, 0, 0};
        ASSERT_TRUE(Converts(s, world, client, any(rng), any(rng)));
    }
}
