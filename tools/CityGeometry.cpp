#include "CityGeometry.h"

#include <algorithm>

namespace tarn::city {

double DistToSegment(TPt p, TPt a, TPt b)
{
    const TPt d = b - a;
    const double l2 = Dot(d, d);
    const double t = l2 > 0 ? std::clamp(Dot(p - a, d) / l2, 0.0, 1.0) : 0.0;
    return Dist(p, a + d * t);
}

double DistToPath(TPt p, const TPath& path)
{
    double best = 1e300;
    for (std::size_t i = 1; i < path.size(); ++i) best = std::min(best, DistToSegment(p, path[i - 1], path[i]));
    if (path.size() == 1) best = Dist(p, path[0]);
    return best;
}

double PathLength(const TPath& path)
{
    double l = 0;
    for (std::size_t i = 1; i < path.size(); ++i) l += Dist(path[i - 1], path[i]);
    return l;
}

std::pair<TPt, TPt> PointAlong(const TPath& path, double at)
{
    for (std::size_t i = 1; i < path.size(); ++i) {
        const double l = Dist(path[i - 1], path[i]);
        if (at <= l || i + 1 == path.size()) {
            const double t = l > 0 ? std::clamp(at / l, 0.0, 1.0) : 0.0;
            return {Lerp(path[i - 1], path[i], t), Unit(path[i] - path[i - 1])};
        }
        at -= l;
    }
    return {path.empty() ? TPt{} : path[0], TPt{1, 0}};
}

TPt Centroid(const TPath& ring)
{
    double a = 0, cx = 0, cy = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TPt& p = ring[i];
        const TPt& q = ring[(i + 1) % ring.size()];
        const double c = p.X * q.Y - q.X * p.Y;
        a += c;
        cx += (p.X + q.X) * c;
        cy += (p.Y + q.Y) * c;
    }
    if (std::fabs(a) < 1e-9) {
        TPt s;
        for (const TPt& p : ring) s = s + p;
        return ring.empty() ? s : s * (1.0 / double(ring.size()));
    }
    return {cx / (3 * a), cy / (3 * a)};
}

double Area(const TPath& ring)
{
    double a = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const TPt& p = ring[i];
        const TPt& q = ring[(i + 1) % ring.size()];
        a += p.X * q.Y - q.X * p.Y;
    }
    return std::fabs(a) / 2;
}

bool InsideRing(TPt p, const TPath& ring)
{
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const TPt& a = ring[i];
        const TPt& b = ring[j];
        if ((a.Y > p.Y) != (b.Y > p.Y) && p.X < (b.X - a.X) * (p.Y - a.Y) / (b.Y - a.Y) + a.X) in = !in;
    }
    return in;
}

TPath Smooth(const TPath& c, double step)
{
    TPath out;
    if (c.size() < 2) return c;
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        const TPt p0 = i > 0 ? c[i - 1] : c[i];
        const TPt p1 = c[i], p2 = c[i + 1];
        const TPt p3 = i + 2 < c.size() ? c[i + 2] : c[i + 1];
        const int n = std::max(1, int(std::ceil(Dist(p1, p2) / step)));
        for (int k = 0; k < n; ++k) {
            const double t = double(k) / n, t2 = t * t, t3 = t2 * t;
            const TPt q = (p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 +
                           (p1 * 3 - p0 - p2 * 3 + p3) * t3) *
                          0.5;
            out.push_back(q);
        }
    }
    out.push_back(c.back());
    return out;
}

TPath Ellipse(TPt c, double rx, double ry, double turn, int n)
{
    TPath out;
    const double cs = std::cos(turn), sn = std::sin(turn);
    for (int i = 0; i < n; ++i) {
        const double a = 2 * Pi * i / n;
        const double x = rx * std::cos(a), y = ry * std::sin(a);
        out.push_back({c.X + x * cs - y * sn, c.Y + x * sn + y * cs});
    }
    return out;
}

char32_t NextCodePoint(const std::string& s, std::size_t& i)
{
    const unsigned char b = static_cast<unsigned char>(s[i]);
    int n = 1;
    if (b >= 0xF0) n = 4;
    else if (b >= 0xE0) n = 3;
    else if (b >= 0xC0) n = 2;
    char32_t cp = n > 1 ? char32_t(b & (0x3F >> (n - 1))) : char32_t(b);
    for (int k = 1; k < n && i + std::size_t(k) < s.size(); ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + std::size_t(k)]) & 0x3F);
    i += std::size_t(n);
    return cp;
}

} // namespace tarn::city
