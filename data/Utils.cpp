#include "Utils.h"

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

namespace tarn {

int64_t RoundEven(long double v)
{
    if constexpr (std::numeric_limits<long double>::digits == 64 && std::endian::native == std::endian::little) {
        // RoundEvenSat's sum, good while |v| < 2^61 (the rounded sum stays
        // below 2^64); the library call saves and restores the floating-point
        // state and is slow.
        if (v > -0x1p61L && v < 0x1p61L) {
            const long double sum = v + 0x1.8p63L;
            uint64_t significand;
            std::memcpy(&significand, &sum, sizeof significand);
            return static_cast<int64_t>(significand - 0xC000000000000000ull);
        }
    }
    // nearbyint honours the default rounding mode: to nearest, halves to even.
    return static_cast<int64_t>(std::nearbyintl(v));
}

int32_t RoundEvenSat(long double v)
{
    if (std::isnan(v)) return 0;
    if (v >= static_cast<long double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (v <= static_cast<long double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if constexpr (std::numeric_limits<long double>::digits == 64 && std::endian::native == std::endian::little) {
        // Every coordinate conversion comes here. Adding 1.5 x 2^63 rounds by
        // the current mode (to nearest, halves to even) as nearbyintl does;
        // the sum's 64-bit significand, stored first, is then 0xC000... + v.
        // No library call and no switch of the x87 rounding mode.
        const long double sum = v + 0x1.8p63L;
        uint64_t significand;
        std::memcpy(&significand, &sum, sizeof significand);
        return static_cast<int32_t>(static_cast<int64_t>(significand - 0xC000000000000000ull));
    } else {
        return static_cast<int32_t>(std::nearbyintl(v));
    }
}

namespace {
bool UsableScale(double s) { return std::isfinite(s) && s > 0; }
} // namespace

void WorldToScreen(double scale, const TRect& world, const TRect& client, int32_t x, int32_t y, int32_t& sx,
                   int32_t& sy)
{
    if (!UsableScale(scale)) {
        sx = client.Left;
        sy = client.Top;
        return;
    }
    long double s = scale;
    sx = RoundEvenSat(static_cast<long double>(client.Left) + static_cast<long double>(int64_t(x) - world.Left) / s);
    sy = RoundEvenSat(static_cast<long double>(client.Top) + static_cast<long double>(int64_t(world.Top) - y) / s);
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
