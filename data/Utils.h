#pragma once
// Plane geometry and small utilities shared by map objects and views.
// World coordinates grow upward; screen coordinates grow downward.
#include "platform/Types.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace tarn {

// Rounds to the nearest integer, halves to the even neighbour.
inline int64_t RoundEven(long double v)
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

// The same, saturated to the 32-bit range; NaN gives 0.
inline int32_t RoundEvenSat(long double v)
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

// The world/screen transform of a view: world units per pixel, the world
// rectangle shown and the pixel rectangle it is drawn into. A scale that is
// 0, negative or not a number maps every point to the client origin; results
// outside 32 bits saturate.
void WorldToScreen(double scale, const TRect& world, const TRect& client, int32_t x, int32_t y, int32_t& sx,
                   int32_t& sy);
void ScreenToWorld(double scale, const TRect& world, const TRect& client, int32_t sx, int32_t sy, int32_t& x,
                   int32_t& y);

// The same for many points in place, exactly as one by one.
void WorldToScreen(double scale, const TRect& world, const TRect& client, TPoint* points, std::size_t count);

// Any context with Scale, WorldRect and ClientRect (the draw context).
template <class Ctx>
inline void WorldToScreen(const Ctx& c, int32_t x, int32_t y, int32_t& sx, int32_t& sy)
{
    WorldToScreen(c.Scale, c.WorldRect, c.ClientRect, x, y, sx, sy);
}
template <class Ctx>
inline void ScreenToWorld(const Ctx& c, int32_t sx, int32_t sy, int32_t& x, int32_t& y)
{
    ScreenToWorld(c.Scale, c.WorldRect, c.ClientRect, sx, sy, x, y);
}

// Direction in whole degrees anticlockwise from the positive X axis, 0..360.
int32_t Azimuth(int32_t dx, int32_t dy);
// Rounded length of the vector; -1 when it exceeds 2147483647.
int32_t Distance(int32_t dx, int32_t dy);
// A*X + B*Y + C = 0 on the line through both points.
void LineCoefficients(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double& a, double& b, double& c);
// True only for a proper crossing: touching or collinear segments do not intersect.
bool SegmentsIntersect(const TPoint& p1, const TPoint& p2, const TPoint& q1, const TPoint& q2);
// All bounds inclusive; R in world orientation (Top is the largest Y).
bool PointInRect(const TPoint& p, const TRect& r);
bool PointInPolygon(int32_t x, int32_t y, const TPoint* polygon, int32_t count);

inline int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

// |A - B| < 1e-7.
bool SameValue(double a, double b);

// Code page 1251 upper-casing: Latin and Cyrillic letters, and yo.
std::string RusUpperCase(std::string_view s);
uint8_t RusUpperChar(uint8_t c);
// Unsigned comparison of n bytes: -1, 0 or 1.
int CompareBytes(const void* a, const void* b, std::size_t n);

template <class T>
bool FreeAndNilVar(T*& obj)
{
    if (!obj) return false;
    T* p = obj;
    obj = nullptr;
    delete p;
    return true;
}

// The process's current directory with a trailing separator.
std::string GetCurrentDirSlash();

} // namespace tarn
