#pragma once
// Small plane geometry and a deterministic random source for the plan.
#include "CityPlan.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tarn::city {

constexpr double Pi = 3.14159265358979323846;

// A random source that gives the same numbers on every platform (the
// standard distributions may not).
class TRng {
public:
    explicit TRng(uint32_t seed) : G(seed) {}
    // In [0, 1).
    double U()
    {
        const uint64_t a = G() >> 5, b = G() >> 6;
        return (double(a) * 67108864.0 + double(b)) / 9007199254740992.0;
    }
    double Range(double lo, double hi) { return lo + (hi - lo) * U(); }
    // In [lo, hi].
    int Int(int lo, int hi) { return lo + int(std::floor(U() * double(hi - lo + 1))); }
    bool Chance(double p) { return U() < p; }
    template <class T>
    void Shuffle(std::vector<T>& v)
    {
        for (std::size_t i = v.size(); i > 1; --i) std::swap(v[i - 1], v[std::size_t(U() * double(i))]);
    }

private:
    std::mt19937 G;
};

inline TPt operator+(TPt a, TPt b) { return {a.X + b.X, a.Y + b.Y}; }
inline TPt operator-(TPt a, TPt b) { return {a.X - b.X, a.Y - b.Y}; }
inline TPt operator*(TPt a, double k) { return {a.X * k, a.Y * k}; }
inline double Dot(TPt a, TPt b) { return a.X * b.X + a.Y * b.Y; }
inline double Len(TPt a) { return std::sqrt(Dot(a, a)); }
inline double Dist(TPt a, TPt b) { return Len(a - b); }
inline TPt Lerp(TPt a, TPt b, double t) { return a + (b - a) * t; }
inline TPt Unit(TPt a)
{
    const double l = Len(a);
    return l > 0 ? a * (1.0 / l) : TPt{1, 0};
}
inline TPt Perp(TPt a) { return {-a.Y, a.X}; }

double DistToSegment(TPt p, TPt a, TPt b);
double DistToPath(TPt p, const TPath& path);
double PathLength(const TPath& path);
// The point and the unit direction at a distance along the path.
std::pair<TPt, TPt> PointAlong(const TPath& path, double at);
TPt Centroid(const TPath& ring);
double Area(const TPath& ring);
bool InsideRing(TPt p, const TPath& ring);
// A smooth curve through the points (Catmull-Rom), about `step` apart.
TPath Smooth(const TPath& control, double step);
TPath Ellipse(TPt c, double rx, double ry, double turn, int n);

// The code point of the UTF-8 sequence at i; i moves past it.
char32_t NextCodePoint(const std::string& utf8, std::size_t& i);

} // namespace tarn::city
