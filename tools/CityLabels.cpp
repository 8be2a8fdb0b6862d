// The demo city's labels, placed band by band, the most important first:
// the city's and the town's names, districts, stations, waters and roads,
// the first name of every street on its longest straight stretch, squares,
// parks and woods, the names repeated along long streets, public
// buildings, house numbers. A label is taken where its box, grown by
// what rounding may add on the screen, meets no box taken before in its
// band, no sign drawn in it, and none of the avenues, roads, railway and
// tram lines (but its own line, when it lies between its casings).
#include "CityLabelPlacer.h"

#include <algorithm>

namespace tarn::city {

namespace labels {

namespace {

double Cross(TPt a, TPt b) { return a.X * b.Y - a.Y * b.X; }

} // namespace

std::vector<TSpot> Spots(const TPath& line, double length, double tol)
{
    std::vector<double> at(line.size(), 0.0);
    for (std::size_t k = 1; k < line.size(); ++k) at[k] = at[k - 1] + Dist(line[k - 1], line[k]);
    std::vector<TSpot> out;
    const double total = at.empty() ? 0 : at.back();
    if (total <= 0) return out;
    auto point = [&](double t) {
        t = std::clamp(t, 0.0, total);
        const std::size_t k = std::size_t(std::upper_bound(at.begin() + 1, at.end() - 1, t) - at.begin());
        const double l = at[k] - at[k - 1];
        return Lerp(line[k - 1], line[k], l > 0 ? (t - at[k - 1]) / l : 0.0);
    };
    auto spot = [&](double t, double t0, double t1) {
        const TPt p0 = point(t0), p1 = point(t1);
        TSpot s;
        s.T = t;
        s.U = Unit(p1 - p0);
        s.C = Lerp(p0, p1, 0.5);
        double dev = 0;
        const auto first = std::upper_bound(at.begin(), at.end(), t0) - at.begin();
        for (auto k = std::size_t(first); k < line.size() && at[k] < t1; ++k)
            dev = std::max(dev, std::fabs(Cross(line[k] - p0, s.U)));
        s.Straight = dev <= tol;
        return s;
    };
    if (length >= total) {
        out.push_back(spot(total / 2, 0, total));
        return out;
    }
    const double step = std::max(4.0, length / 12);
    for (double t = length / 2; t <= total - length / 2 + 1e-9; t += step)
        out.push_back(spot(t, t - length / 2, t + length / 2));
    return out;
}

double Middle(const std::vector<TSpot>& spots)
{
    std::size_t best = 0, bestLen = 0;
    for (std::size_t k = 0; k < spots.size();) {
        std::size_t e = k;
        while (e < spots.size() && spots[e].Straight) ++e;
        if (e - k > bestLen) best = k, bestLen = e - k;
        k = e + 1;
    }
    return bestLen ? spots[best + bestLen / 2].T : spots[spots.size() / 2].T;
}

std::vector<std::size_t> Nearest(const std::vector<TSpot>& spots, double t)
{
    std::vector<std::size_t> order(spots.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return std::fabs(spots[a].T - t) < std::fabs(spots[b].T - t); });
    return order;
}

TShape TPlacer::Shape(const std::string& text, L kind) const
{
    const int32_t tenths = kind == L::BigLabels  ? LabelHeight(kind, Band)
                           : LabelKindOf(kind) ? StyleOf(kind, Band).FontHeight
                                               : StyleOf(kind).FontHeight;
    const bool bold = kind == L::BigLabels || StyleOf(kind).FontWeight >= 700;
    return {text, tenths / 10.0, LabelEms(text, bold)};
}

TBox TPlacer::Drawn(TPt anchor, TPt u, const TShape& s) const
{
    return {anchor, u, 0, s.W(), -LabelDescent * s.H, LabelAscent * s.H};
}

TBox TPlacer::Kept(TPt anchor, TPt u, const TShape& s) const
{
    // On the screen the height and each advance round to whole pixels and
    // the anchor to a whole metre; above the baseline the box reaches as far
    // as the frame drawn round a selected label; and a little air.
    const double side = 1.5 * Mpp + 0.2 * s.H + WholeMetre;
    return {anchor, u, -side, s.W() + End(s), -LabelDescent * s.H - side, (LabelAscent + LabelDescent) * s.H + side};
}

bool TPlacer::Allowed(const TShape& s, TPt c, TPt dir, const TRules& rules, TPt& anchor, int32_t& tenths) const
{
    tenths = ReadableTenths(dir);
    const TPt u = DirOf(tenths);
    anchor = c - u * (s.W() / 2) - Perp(u) * (CapCentre * s.H);
    const TBox drawn = Drawn(anchor, u, s);
    if (rules.Inside && !labels::InsideRing(drawn, *rules.Inside)) return false;
    if (rules.Within) {
        // Rounding on the screen moves the letters by a pixel and the
        // anchor by a whole metre.
        const double half = rules.Half - 1.5 * Mpp - WholeMetre;
        for (int k = 0; k < 4; ++k)
            if (DistToPath(drawn.Corner(k), *rules.Within) > half) return false;
    }
    const TBox kept = Kept(anchor, u, s);
    if (!Boxes->Free(kept)) return false;
    if (rules.Barriers && !Barriers.Clear(kept, rules.Link, Mpp, Band)) return false;
    if (rules.Crossings && !Crossings.Clear(kept, rules.Link, Mpp, Band)) return false;
    if (rules.Thin && !Thin.Clear(kept, 0, Mpp, Band)) return false;
    return true;
}

bool TPlacer::Take(L kind, const TShape& s, TPt c, TPt dir, const TRules& rules, int link)
{
    TPt anchor;
    int32_t tenths = 0;
    if (!Allowed(s, c, dir, rules, anchor, tenths)) return false;
    Boxes->Add(Kept(anchor, DirOf(tenths), s));
    Out.emplace_back();
    TFeature& f = Out.back();
    f.Layer = int(kind);
    f.Sheet = TSheetKind::Labels;
    f.Band = Band;
    f.Text = s.Text;
    f.Angle = tenths;
    f.At = anchor;
    f.Link = link;
    return true;
}

std::vector<TSpot> TPlacer::Along(L kind, const TShape& s, const TPath& line, const TRules& rules, double spacing,
                                  std::vector<double>* taken, int link, double beside)
{
    std::vector<TSpot> placed;
    const std::vector<TSpot> spots = Spots(line, s.W(), 0.25 * s.H);
    if (spots.empty()) return placed;
    // Where a label of the spot may lie: on the line, or beside it on
    // either side; answers false when nowhere.
    auto where = [&](const TSpot& p, TPt& centre) {
        if (!p.Straight) return false;
        TPt anchor;
        int32_t tenths = 0;
        if (beside == 0) {
            centre = p.C;
            return Allowed(s, centre, p.U, rules, anchor, tenths);
        }
        for (double side : {1.0, -1.0}) {
            centre = p.C + Perp(p.U) * (side * beside);
            if (Allowed(s, centre, p.U, rules, anchor, tenths)) return true;
        }
        return false;
    };
    auto clearOfTaken = [&](const TSpot& p) {
        for (double t : *taken)
            if (std::fabs(t - p.T) < 0.6 * spacing) return false;
        return true;
    };
    auto take = [&](const TSpot& p) {
        TPt centre;
        if (!clearOfTaken(p) || !where(p, centre) || !Take(kind, s, centre, p.U, rules, link)) return false;
        taken->push_back(p.T);
        TSpot at = p;
        at.C = centre;
        placed.push_back(at);
        return true;
    };
    if (taken->empty()) {
        for (std::size_t k : Nearest(spots, Middle(spots)))
            if (take(spots[k])) break;
        return placed;
    }
    if (spacing <= 0) return placed;
    // Repeats: near each step of `spacing` from the first label, both ways.
    const double first = taken->front(), total = PathLength(line);
    for (int dirn : {1, -1})
        for (double target = first + dirn * spacing; target > -spacing / 2 && target < total + spacing / 2;
             target += dirn * spacing) {
            const TSpot* best = nullptr;
            for (const TSpot& p : spots)
                if (std::fabs(p.T - target) <= spacing / 3 && (!best || std::fabs(p.T - target) < std::fabs(best->T - target))) {
                    TPt centre;
                    if (clearOfTaken(p) && where(p, centre)) best = &p;
                }
            if (best) take(*best);
        }
    return placed;
}

bool TPlacer::InArea(L kind, const TShape& s, const TPath& ring, TPt dir, TRules rules, TPt* at, TPt near)
{
    if (ring.size() < 3) return false;
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const TPt& p : ring) {
        x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y);
        x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
    }
    const TPt mid = near.X == 0 && near.Y == 0 ? Centroid(ring) : near;
    const double step = std::max(s.H / 2, std::max(x1 - x0, y1 - y0) / 80);
    // The grid's points inside the ring, a row at a time: a point is inside
    // when an odd number of the ring's crossings of its row lie right of it.
    std::vector<std::pair<double, TPt>> points;
    std::vector<double> xs;
    for (double y = y0 + step / 2; y < y1; y += step) {
        xs.clear();
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const TPt &a = ring[i], &b = ring[j];
            if ((a.Y > y) != (b.Y > y)) xs.push_back((b.X - a.X) * (y - a.Y) / (b.Y - a.Y) + a.X);
        }
        std::sort(xs.begin(), xs.end());
        std::size_t left = 0;
        for (double x = x0 + step / 2; x < x1; x += step) {
            while (left < xs.size() && xs[left] <= x) ++left;
            if ((xs.size() - left) % 2 == 1) points.push_back({Dist({x, y}, mid), {x, y}});
        }
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [d, p] : points)
        if (Take(kind, s, p, dir, rules)) {
            if (at) *at = p;
            return true;
        }
    return false;
}

void TPlacer::ToIndex(L layer, int64_t& index)
{
    TFeature& f = Out.back();
    f.Layer = int(layer);
    f.Sheet = TSheetKind::Names;
    f.Band = -1;
    index = int64_t(Out.size()) - 1;
}

int64_t TPlacer::Run()
{
    for (Band = 0; Band < BandCount; ++Band) {
        Mpp = BandTop(Band) * MmPerPixel96 / 1000;
        Boxes.emplace(std::max(20.0, LabelHeight(L::StreetLabels, Band) / 10.0 * 4));
        StreetTaken.assign(In.Streets.size(), {});
        AddSigns();
        BigNames();
        if (Band != IndexBand) Districts();
        Places();
        Streets(false);
        Areas();
        if (Band == IndexBand) Districts();
        Streets(true);
        Buildings();
        Houses();
    }
    Index();
    return Numbers;
}

} // namespace labels

int64_t PlaceLabels(const TLabelInput& in, std::vector<TFeature>& out)
{
    labels::TPlacer placer(in, out);
    return placer.Run();
}

} // namespace tarn::city
