#include "data/Bools.h"
#include "data/Utils.h"

#include <algorithm>
#include <cmath>

namespace tarn {

namespace {

// Buffers above this many points are given back after a clip, so one huge
// polygon does not hold its memory for the rest of the session.
constexpr std::size_t KeptCapacity = 1u << 20;

struct TClipState {
    std::vector<TPoint> Current;  // the polygon being clipped
    std::vector<TPoint> Work;     // what the current edge produces
};

TClipState& State()
{
    static TClipState s;
    return s;
}

struct TEdge {
    int Number;      // 1 x = MinX, 2 y = MinY, 3 x = MaxX, 4 y = MaxY
    int32_t K;       // the edge's constant
    int32_t StartB;  // along-coordinate of the edge's first corner

    bool Inside(const TPoint& p) const
    {
        switch (Number) {
        case 1: return p.X >= K;
        case 2: return p.Y >= K;
        case 3: return p.X <= K;
        default: return p.Y <= K;
        }
    }
    bool Vertical() const { return Number == 1 || Number == 3; }
};

// Where the segment a-b meets the edge's line; false when it does not (the
// point is still produced: callers may use it).
bool Intersect(const TEdge& e, const TPoint& a, const TPoint& b, TPoint& out)
{
    const double a1 = e.Vertical() ? a.X : a.Y, a2 = e.Vertical() ? b.X : b.Y;
    const double b1 = e.Vertical() ? a.Y : a.X, b2 = e.Vertical() ? b.Y : b.X;
    const double k = e.K;
    double along = e.StartB;
    bool valid;
    if (!(std::min(a1, a2) <= k && k <= std::max(a1, a2))) {
        valid = false;
    } else if (b1 == b2) {
        along = b1;
        valid = true;
    } else if (a1 == a2 && a1 == k && std::min(b1, b2) <= along && along <= std::max(b1, b2)) {
        valid = true;
    } else if (a1 != a2) {
        along = b2 - (b2 - b1) * (a2 - k) / (a2 - a1);
        valid = true;
    } else {
        along = (b1 + b2) / 2;
        valid = false;
    }
    const int32_t rounded = RoundEvenSat(along);
    out = e.Vertical() ? TPoint{e.K, rounded} : TPoint{rounded, e.K};
    return valid;
}

// One edge: walks the ring from each entering pair (outside, inside) to the
// following exit, appending the entry point, the inside points and the exit
// point, until the walk comes back to the first entering pair's outside
// point S. A polygon with no entering pair produces nothing.
void ClipEdge(const TEdge& e, const std::vector<TPoint>& p, std::vector<TPoint>& out)
{
    const int64_t n = static_cast<int64_t>(p.size());
    auto at = [&](int64_t k) -> const TPoint& { return p[static_cast<std::size_t>(k % n)]; };
    auto in = [&](int64_t k) { return e.Inside(at(k)); };

    int64_t i = 0;
    bool first = true;
    bool haveS = false;
    TPoint s;
    // Every pass but a degenerate one consumes an entering pair; there are
    // at most n of them around the ring.
    for (int64_t pass = 0; pass <= n + 1; ++pass) {
        int64_t j = i + 1;
        bool found = false;
        for (int64_t steps = 0;; ++steps) {
            if (!in(i) && in(j)) {
                found = true;
                break;
            }
            if (haveS && at(j) == s) break;
            if (steps == n + 1) break;
            ++i;
            ++j;
        }
        if (first) {
            s = at(i);
            haveS = true;
        }
        if (first || at(i) != s) {
            if (!found) return;
            first = false;
            TPoint q;
            if (!Intersect(e, at(i), at(j), q)) return;
            out.push_back(q);
            while (in(j)) {
                ++i;
                ++j;
                out.push_back(at(i));
            }
            Intersect(e, at(i), at(j), q);  // the exit, valid or not
            out.push_back(q);
        }
        if (at(j) == s) return;
    }
}

void GiveBackIfHuge(std::vector<TPoint>& v)
{
    if (v.capacity() > KeptCapacity) std::vector<TPoint>().swap(v);
}

} // namespace

int32_t ClipPolygonToRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const TPoint* points, int32_t count,
                          std::vector<TPoint>& result)
{
    result.clear();
    if (count <= 0 || !points) return ClipNoPoints;
    const int32_t minX = std::min(x1, x2), maxX = std::max(x1, x2);
    const int32_t minY = std::min(y1, y2), maxY = std::max(y1, y2);
    // No edge finds an entering pair in a polygon wholly inside: the common
    // case of drawing, answered without the walk.
    if (std::all_of(points, points + count,
                    [&](const TPoint& p) { return p.X >= minX && p.X <= maxX && p.Y >= minY && p.Y <= maxY; })) {
        result.assign(points, points + count);
        return ClipDone;
    }
    const TEdge edges[4] = {{1, minX, minY}, {2, minY, minX}, {3, maxX, minY}, {4, maxY, maxX}};

    TClipState& st = State();
    st.Current.assign(points, points + count);
    for (const TEdge& e : edges) {
        st.Work.clear();
        ClipEdge(e, st.Current, st.Work);
        if (!st.Work.empty()) st.Current.swap(st.Work);
    }
    result.assign(st.Current.begin(), st.Current.end());
    GiveBackIfHuge(st.Current);
    GiveBackIfHuge(st.Work);
    return ClipDone;
}

void ClipForDrawing(const TDrawContext& context, const TPoint* points, int32_t count, std::vector<TPoint>& out)
{
    const long double pixel = std::isfinite(context.Scale) ? std::nearbyintl(context.Scale) : 0;
    const long double d = 3 * pixel;
    const TRect& w = context.WorldRect;
    const int32_t x1 = RoundEvenSat(w.Left - d), y1 = RoundEvenSat(w.Top + d);
    const int32_t x2 = RoundEvenSat(w.Right + d), y2 = RoundEvenSat(w.Bottom - d);
    if (ClipPolygonToRect(x1, y1, x2, y2, points, count, out) != ClipDone || out.empty()) {
        if (count > 0 && points) out.assign(points, points + count);
        else out.clear();
    }
}

} // namespace tarn
