#include "Utils.h"

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tarn {

namespace {
bool UsableScale(double s) { return std::isfinite(s) && s > 0; }

int32_t Sat32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// n / s rounded to the nearest integer in double precision, where that is
// sure to agree with the long double rounding: below 2^30 the quotient is
// within 2^-23 of the true one (and the long double sum with the client
// origin within 2^-30), so a quotient at least 2^-20 away from a half
// rounds the same in both. Answers false for the rest, which take the
// long double path.
inline bool QuickRound(int64_t n, double s, int64_t& out)
{
    const double q = static_cast<double>(n) / s;  // n has at most 33 bits: exact as a double
    if (!(q > -0x1p30 && q < 0x1p30)) return false;
    const double r = (q + 0x1.8p52) - 0x1.8p52;  // to the nearest integer, no library call
    if (std::fabs(std::fabs(q - r) - 0.5) < 0x1p-20) return false;  // q - r is exact
    out = static_cast<int64_t>(r);
    return true;
}
} // namespace

void WorldToScreen(double scale, const TRect& world, const TRect& client, int32_t x, int32_t y, int32_t& sx,
                   int32_t& sy)
{
    if (!UsableScale(scale)) {
        sx = client.Left;
        sy = client.Top;
        return;
    }
    int64_t qx, qy;
    if (QuickRound(int64_t(x) - world.Left, scale, qx) && QuickRound(int64_t(world.Top) - y, scale, qy)) {
        sx = Sat32(client.Left + qx);
        sy = Sat32(client.Top + qy);
        return;
    }
    long double s = scale;
    sx = RoundEvenSat(static_cast<long double>(client.Left) + static_cast<long double>(int64_t(x) - world.Left) / s);
    sy = RoundEvenSat(static_cast<long double>(client.Top) + static_cast<long double>(int64_t(world.Top) - y) / s);
}

void WorldToScreen(double scale, const TRect& world, const TRect& client, TPoint* points, std::size_t count)
{
    // Multiplying by the reciprocal errs by at most 2^-22 below 2^30, still
    // well inside QuickRound's margin of 2^-20 around halves; the scale's
    // range keeps the reciprocal a normal number.
    if (!(scale > 0x1p-500 && scale < 0x1p500)) {
        for (std::size_t i = 0; i < count; ++i)
            WorldToScreen(scale, world, client, points[i].X, points[i].Y, points[i].X, points[i].Y);
        return;
    }
    const double inv = 1.0 / scale;
#ifdef __SSE2__
    // Both coordinates of a point at once, by QuickRound's steps.
    const __m128d inv2 = _mm_set1_pd(inv), magic = _mm_set1_pd(0x1.8p52), limit = _mm_set1_pd(0x1p30);
    const __m128d half = _mm_set1_pd(0.5), margin = _mm_set1_pd(0x1p-20);
    const __m128d abs = _mm_castsi128_pd(_mm_set1_epi64x(INT64_MAX));
    for (std::size_t i = 0; i < count; ++i) {
        TPoint& p = points[i];
        const __m128d n = _mm_set_pd(double(int64_t(world.Top) - p.Y), double(int64_t(p.X) - world.Left));
        const __m128d q = _mm_mul_pd(n, inv2);
        const __m128d r = _mm_sub_pd(_mm_add_pd(q, magic), magic);
        const __m128d off = _mm_and_pd(_mm_sub_pd(_mm_and_pd(_mm_sub_pd(q, r), abs), half), abs);
        const __m128d ok = _mm_and_pd(_mm_cmplt_pd(_mm_and_pd(q, abs), limit), _mm_cmpge_pd(off, margin));
        if (_mm_movemask_pd(ok) == 3) {
            const __m128i k = _mm_cvtpd_epi32(r);  // whole numbers below 2^30: exact
            p.X = Sat32(client.Left + int64_t(_mm_cvtsi128_si32(k)));
            p.Y = Sat32(client.Top + int64_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(k, 1))));
        } else {
            WorldToScreen(scale, world, client, p.X, p.Y, p.X, p.Y);
        }
    }
#else
    auto quick = [inv](int64_t n, int64_t& out) {
        const double q = static_cast<double>(n) * inv;
        if (!(q > -0x1p30 && q < 0x1p30)) return false;
        const double r = (q + 0x1.8p52) - 0x1.8p52;
        if (std::fabs(std::fabs(q - r) - 0.5) < 0x1p-20) return false;
        out = static_cast<int64_t>(r);
        return true;
    };
    for (std::size_t i = 0; i < count; ++i) {
        TPoint& p = points[i];
        int64_t qx, qy;
        if (quick(int64_t(p.X) - world.Left, qx) && quick(int64_t(world.Top) - p.Y, qy)) {
            p.X = Sat32(client.Left + qx);
            p.Y = Sat32(client.Top + qy);
        } else {
            WorldToScreen(scale, world, client, p.X, p.Y, p.X, p.Y);
        }
    }
#endif
}

void ScreenToWorld(double scale, const TRect& world, const TRect& client, int32_t sx, int32_t sy, int32_t& x,
                   int32_t& y)
{
    if (!UsableScale(scale)) {
        x = world.Left;
        y = world.Top;
        return;
    }
    long double s = scale;
    x = RoundEvenSat(static_cast<long double>(int64_t(sx) - client.Left) * s + world.Left);
    y = RoundEvenSat(static_cast<long double>(int64_t(client.Top) - sy) * s + world.Top);
}

int32_t Azimuth(int32_t dx, int32_t dy)
{
    if (dx == 0 && dy == 0) return 0;
    if (dx == 0) return dy > 0 ? 90 : 270;
    if (dy == 0) return dx > 0 ? 0 : 180;
    double a = std::fabs(static_cast<double>(dx));
    double b = std::fabs(static_cast<double>(dy));
    const double degrees = 57.29577951308232;
    int32_t t = b >= a ? 90 - static_cast<int32_t>(RoundEven(std::atan(a / b) * degrees))
                       : static_cast<int32_t>(RoundEven(std::atan(b / a) * degrees));
    if (dx > 0 && dy > 0) return t;
    if (dx < 0 && dy > 0) return 180 - t;
    if (dx < 0 && dy < 0) return 180 + t;
    return 360 - t;
}

int32_t Distance(int32_t dx, int32_t dy)
{
    double a = std::fabs(static_cast<double>(dx));
    double b = std::fabs(static_cast<double>(dy));
    double len = std::sqrt(a * a + b * b);
    double r = std::nearbyint(len);
    if (r > 2147483647.0) return -1;
    return static_cast<int32_t>(r);
}

void LineCoefficients(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double& a, double& b, double& c)
{
    a = static_cast<double>(y2) - y1;
    b = static_cast<double>(x1) - x2;
    c = static_cast<double>(x2) * y1 - static_cast<double>(x1) * y2;
}

bool SegmentsIntersect(const TPoint& p1, const TPoint& p2, const TPoint& q1, const TPoint& q2)
{
    if (p1.Y == p2.Y || q1.Y == q2.Y || p1.X == p2.X || q1.X == q2.X) {
        if (std::max(p1.X, p2.X) < std::min(q1.X, q2.X)) return false;
        if (std::min(p1.X, p2.X) > std::max(q1.X, q2.X)) return false;
        if (std::max(p1.Y, p2.Y) < std::min(q1.Y, q2.Y)) return false;
        if (std::min(p1.Y, p2.Y) > std::max(q1.Y, q2.Y)) return false;
    }
    double a1, b1, c1, a2, b2, c2;
    LineCoefficients(p1.X, p1.Y, p2.X, p2.Y, a1, b1, c1);
    LineCoefficients(q1.X, q1.Y, q2.X, q2.Y, a2, b2, c2);
    double d1 = a1 * q1.X + b1 * q1.Y + c1;
    double d2 = a1 * q2.X + b1 * q2.Y + c1;
    double d3 = a2 * p1.X + b2 * p1.Y + c2;
    double d4 = a2 * p2.X + b2 * p2.Y + c2;
    return d1 * d2 < 0 && d3 * d4 < 0;
}

bool PointInRect(const TPoint& p, const TRect& r)
{
    return r.Left <= p.X && p.X <= r.Right && r.Bottom <= p.Y && p.Y <= r.Top;
}

bool PointInPolygon(int32_t x, int32_t y, const TPoint* pts, int32_t count)
{
    if (count <= 0 || !pts) return false;
    int32_t minX = pts[0].X, maxX = pts[0].X, minY = pts[0].Y, maxY = pts[0].Y;
    for (int32_t i = 1; i < count; ++i) {
        minX = std::min(minX, pts[i].X);
        maxX = std::max(maxX, pts[i].X);
        minY = std::min(minY, pts[i].Y);
        maxY = std::max(maxY, pts[i].Y);
    }
    if (x < minX || x > maxX || y < minY || y > maxY) return false;
    for (int32_t i = 1; i < count; ++i)
        if (pts[i].X == x && pts[i].Y == y) return true;

    auto opposite = [y](int32_t ya, int32_t yb) { return (ya < y && yb > y) || (ya > y && yb < y); };
    int32_t crossings = 0;
    for (int32_t i = 0; i < count; ++i) {
        const TPoint& a = pts[i];
        const TPoint& b = pts[(i + 1) % count];
        if (a.X > x && b.X > x) continue;
        if (a.X <= x && a.Y == y) {
            const TPoint& prev = pts[(i + count - 1) % count];
            if (opposite(prev.Y, b.Y)) ++crossings;
        } else if (a.X <= x && b.X <= x) {
            if (opposite(a.Y, b.Y)) ++crossings;
        } else if (opposite(a.Y, b.Y)) {
            long double xc = static_cast<long double>(a.X) +
                             static_cast<long double>(RoundEven(static_cast<long double>(int64_t(b.X) - a.X) *
                                                                (int64_t(y) - a.Y) / (int64_t(b.Y) - a.Y)));
            if (xc <= x) ++crossings;
        }
    }
    return (crossings & 1) != 0;
}

bool SameValue(double a, double b)
{
    return std::fabs(static_cast<long double>(a) - static_cast<long double>(b)) < 1e-7L;
}

uint8_t RusUpperChar(uint8_t c)
{
    if ((c >= 'a' && c <= 'z') || c >= 224) return static_cast<uint8_t>(c - 32);
    if (c == 184) return 168;
    return c;
}

std::string RusUpperCase(std::string_view s)
{
    std::string r(s);
    for (char& ch : r) ch = static_cast<char>(RusUpperChar(static_cast<uint8_t>(ch)));
    return r;
}

int CompareBytes(const void* a, const void* b, std::size_t n)
{
    int c = std::memcmp(a, b, n);
    return c > 0 ? 1 : c < 0 ? -1 : 0;
}

std::string GetCurrentDirSlash()
{
    std::error_code ec;
    std::string d = std::filesystem::current_path(ec).string();
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}

} // namespace tarn
