// The demo city's labels, placed band by band, the most important first:
// the city's and the town's names, districts, stations, waters and roads,
// the first name of every street on its longest straight stretch, squares,
// parks and woods, the names repeated along long streets, public
// buildings, house numbers. A label is taken where its box, grown by
// what rounding may add on the screen, meets no box taken before in its
// band and, for names along lines, none of the lines that cross them.
#include "CityLabels.h"

#include "CityLabelGeometry.h"
#include "CityNames.h"
#include "CityStyle.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace tarn::city {

namespace {

using labels::TBox;
using labels::TBoxIndex;
using labels::TLineIndex;

constexpr double CapCentre = 0.365;      // the capitals' middle above the baseline, in ems
constexpr double WholeMetre = 0.71;      // anchors are stored in whole metres
constexpr double MmPerPixel96 = 25.4 / 96;
constexpr int32_t NearestScale = 1000;   // the program zooms no closer
constexpr int StreetIndexBand = 1;       // where showing a street zooms to (1:2 500)
constexpr int DistrictIndexBand = 4;

double Cross(TPt a, TPt b) { return a.X * b.Y - a.Y * b.X; }
TPt DirOf(int32_t tenths)
{
    const double a = tenths / 10.0 * Pi / 180;
    return {std::cos(a), std::sin(a)};
}

// A text in its kind's font in the current band.
struct TShape {
    std::string Text;
    double H = 0;    // em, metres
    double Ems = 0;
    double W() const { return Ems * H; }
};

// A place along a line for a label of some length.
struct TSpot {
    double T = 0;
    TPt C, U;
    bool Straight = false;
};

// Where the labels of a line go: the spots a label of `length` metres
// fits, straight when the line keeps within `tol` of the label's chord.
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

// The middle of the longest run of straight spots (of all, without one).
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

// Spots by their distance from t.
std::vector<std::size_t> Nearest(const std::vector<TSpot>& spots, double t)
{
    std::vector<std::size_t> order(spots.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return std::fabs(spots[a].T - t) < std::fabs(spots[b].T - t); });
    return order;
}

class TPlacer {
public:
    TPlacer(const TLabelInput& in, std::vector<TFeature>& out)
        : In(in), Out(out), Barriers(in.Barriers, 150), Crossings(in.Crossings, 150),
          StreetSpot(in.Streets.size()), DistrictSpot(in.Districts.size())
    {
    }
    int64_t Run();

private:
    // What a label must keep clear of, besides the labels of its band.
    struct TRules {
        const TPath* Inside = nullptr;  // its drawn box within this ring
        bool Barriers = false;          // avenues, railway, tram lines
        bool Crossings = false;         // every street
        int Link = 0;                   // its own street's lines it may lie on
        const TPt* Sign = nullptr;      // a sign (fixed in pixels) it keeps clear of
    };

    TShape Shape(const std::string& text, L kind) const;
    TBox Drawn(TPt anchor, TPt u, const TShape& s) const;
    TBox Kept(TPt anchor, TPt u, const TShape& s) const;
    // Takes the label centred on c along dir when the rules allow it.
    bool Take(L kind, const TShape& s, TPt c, TPt dir, const TRules& rules, int link = 0);
    bool Allowed(const TShape& s, TPt c, TPt dir, const TRules& rules, TPt& anchor, int32_t& tenths) const;

    // Labels along a line: the first on the middle of its longest straight
    // stretch, then repeated every `spacing` metres (0: none); they carry
    // the link of the street they name.
    std::vector<TSpot> Along(L kind, const TShape& s, const TPath& line, const TRules& rules, double spacing,
                             std::vector<double>* taken, int link);
    // A label inside an area, as near `near` (or its middle) as it fits.
    bool InArea(L kind, const TShape& s, const TPath& ring, TPt dir, TRules rules, TPt* at = nullptr,
                TPt near = {0, 0});

    void BigNames();
    void Places();
    void Buildings();
    void Districts();
    void Streets(bool repeats);
    void Areas();
    void Houses();
    void Index();

    const TLabelInput& In;
    std::vector<TFeature>& Out;
    TLineIndex Barriers, Crossings;
    int Band = 0;
    double Mpp = 1;      // metres per pixel at the band's top at 96 dpi
    std::optional<TBoxIndex> Boxes;
    std::vector<std::vector<double>> StreetTaken;  // per street: where its labels of the band lie
    std::vector<std::optional<TSpot>> StreetSpot;  // its first label at 1:2 500
    std::vector<std::optional<TPt>> DistrictSpot;
    std::optional<TPt> TownSpot;
    int64_t Numbers = 0;
};

TShape TPlacer::Shape(const std::string& text, L kind) const
{
    const int32_t tenths = kind == L::BigLabels ? LabelHeight(kind, Band) : StyleOf(kind, Band).FontHeight;
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
    const double air = 0.2 * s.H + WholeMetre;
    const double side = 1.5 * Mpp + air, end = (5 + 0.5 * s.Ems) * Mpp + air;
    return {anchor, u, -side, s.W() + end, -LabelDescent * s.H - side, (LabelAscent + LabelDescent) * s.H + side};
}

bool TPlacer::Allowed(const TShape& s, TPt c, TPt dir, const TRules& rules, TPt& anchor, int32_t& tenths) const
{
    tenths = ReadableTenths(dir);
    const TPt u = DirOf(tenths);
    anchor = c - u * (s.W() / 2) - Perp(u) * (CapCentre * s.H);
    if (rules.Inside && !labels::InsideRing(Drawn(anchor, u, s), *rules.Inside)) return false;
    if (rules.Sign && labels::Touches(Drawn(anchor, u, s), *rules.Sign, *rules.Sign, 12 * Mpp)) return false;
    const TBox kept = Kept(anchor, u, s);
    if (!Boxes->Free(kept)) return false;
    if (rules.Barriers && !Barriers.Clear(kept, rules.Link, Mpp)) return false;
    if (rules.Crossings && !Crossings.Clear(kept, rules.Link, Mpp)) return false;
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
                                  std::vector<double>* taken, int link)
{
    std::vector<TSpot> placed;
    const std::vector<TSpot> spots = Spots(line, s.W(), 0.25 * s.H);
    if (spots.empty()) return placed;
    auto tryAt = [&](const TSpot& p) {
        for (double t : *taken)
            if (std::fabs(t - p.T) < 0.6 * spacing) return false;
        if (!p.Straight || !Take(kind, s, p.C, p.U, rules, link)) return false;
        taken->push_back(p.T);
        placed.push_back(p);
        return true;
    };
    if (taken->empty()) {
        for (std::size_t k : Nearest(spots, Middle(spots)))
            if (tryAt(spots[k])) break;
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
                    bool clear = p.Straight;
                    for (double t : *taken) clear = clear && std::fabs(t - p.T) >= 0.6 * spacing;
                    if (clear) {
                        TPt anchor;
                        int32_t tenths = 0;
                        if (Allowed(s, p.C, p.U, rules, anchor, tenths)) best = &p;
                    }
                }
            if (best) tryAt(*best);
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
    std::vector<std::pair<double, TPt>> points;
    for (double y = y0 + step / 2; y < y1; y += step)
        for (double x = x0 + step / 2; x < x1; x += step)
            if (city::InsideRing({x, y}, ring)) points.push_back({Dist({x, y}, mid), {x, y}});
    std::stable_sort(points.begin(), points.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [d, p] : points)
        if (Take(kind, s, p, dir, rules)) {
            if (at) *at = p;
            return true;
        }
    return false;
}

void TPlacer::Places()
{
    // Beside the sign, whose size is fixed in pixels: right of it, left,
    // below or above.
    const double gap = 13 * Mpp;
    for (const TLabelPlace& p : In.Places) {
        if (Band > p.LastBand) continue;
        const TShape s = Shape(p.Name, L::BuildingLabels);
        const double w = s.W() / 2 + gap, h = gap + 0.6 * s.H;
        for (TPt off : {TPt{w, 0}, TPt{-w, 0}, TPt{0, -h}, TPt{0, h}})
            if (Take(L::BuildingLabels, s, p.At + off, {1, 0}, {})) break;
    }
}

void TPlacer::Buildings()
{
    if (Band > 1) return;
    for (const TLabelArea& b : In.Buildings) {
        if (b.Ring.size() < 3) continue;
        const TShape s = Shape(b.Name, L::BuildingLabels);
        // Its sign stands in the middle: the name goes below it, or above,
        // inside the building where it fits, else over it.
        const TPt c = Centroid(b.Ring), below{0, -(12 * Mpp + 0.6 * s.H)};
        const TRules inside{&b.Ring};
        if (!Take(L::BuildingLabels, s, c + below, {1, 0}, inside) &&
            !Take(L::BuildingLabels, s, c - below, {1, 0}, inside))
            Take(L::BuildingLabels, s, c + below, {1, 0}, {});
    }
}

void TPlacer::BigNames()
{
    if (Band < 4) return;
    const TRules rules{nullptr, Band <= 5, false, 0};
    struct {
        const TLabelArea& Area;
        uint32_t Colour;
    } names[] = {{In.City, Rgb(105, 60, 125)}, {In.Town, Rgb(70, 45, 45)}};
    for (const auto& n : names) {
        if (n.Area.Ring.size() < 3) continue;
        const TShape s = Shape(n.Area.Name, L::BigLabels);
        TPt at;
        if (!InArea(L::BigLabels, s, n.Area.Ring, {1, 0}, rules, &at)) continue;
        // Negative: the letters' height, as the text layers' fonts give it.
        Out.back().Size = -LabelHeight(L::BigLabels, Band);
        Out.back().Colour = n.Colour;
        if (&n.Area == &In.Town && Band == DistrictIndexBand) TownSpot = at;
    }
}

void TPlacer::Districts()
{
    if (!InBand(L::DistrictLabels, Band)) return;
    for (std::size_t d = 0; d < In.Districts.size(); ++d) {
        const TLabelArea& a = In.Districts[d];
        // Close up clear of the avenues; at the smallest scales, where
        // avenues are thin lines and districts few pixels wide, over them.
        TRules rules{&a.Ring, Band <= 5, false, 0};
        TPt at;
        const TShape s = Shape(a.Name, L::DistrictLabels);
        bool placed = InArea(L::DistrictLabels, s, a.Ring, {1, 0}, rules, &at);
        if (!placed && Band >= 6) {
            rules.Inside = nullptr;
            placed = InArea(L::DistrictLabels, s, a.Ring, {1, 0}, rules, &at);
        }
        if (placed && Band == DistrictIndexBand) DistrictSpot[d] = at;
    }
}

void TPlacer::Streets(bool repeats)
{
    const bool all = Band <= 3;
    if (!InBand(L::StreetLabels, Band)) return;
    // Names repeat about every 1000 pixels in the band's middle: once or
    // twice along each street a window shows.
    const double middle = std::sqrt(double(BandTop(Band)) * std::max<double>(BandBottom(Band), NearestScale));
    const double spacing = 1000 * middle * 0.25 / 1000;
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < In.Streets.size(); ++k)
        if (all || In.Streets[k].Main) order.push_back(k);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const TLabelStreet &x = In.Streets[a], &y = In.Streets[b];
        if (x.Main != y.Main) return x.Main;
        return PathLength(x.Line) > PathLength(y.Line);
    });
    for (std::size_t k : order) {
        const TLabelStreet& st = In.Streets[k];
        const TShape s = Shape(st.Name, L::StreetLabels);
        if (!st.Square.empty()) {
            if (repeats || !all) continue;
            TRules rules{Band <= 2 ? &st.Square : nullptr, true, false, 0};
            TPt at, near{0, 0};
            if (st.SquareSign.X != 0 || st.SquareSign.Y != 0) {
                near = st.SquareSign + Perp(DirOf(ReadableTenths(st.SquareDir))) * (12 * Mpp + 0.6 * s.H);
                rules.Sign = &st.SquareSign;
            }
            if (InArea(L::StreetLabels, s, st.Square, st.SquareDir, rules, &at, near) && Band == StreetIndexBand)
                StreetSpot[k] = TSpot{0, at, st.SquareDir, true};
            continue;
        }
        // Close up a name keeps between the streets that cross it; further
        // out, where names are longer than the blocks, off the main lines.
        const TRules rules{nullptr, true, Band <= 2, st.Link};
        const std::vector<TSpot> placed =
            Along(L::StreetLabels, s, st.Line, rules, repeats ? spacing : 0, &StreetTaken[k], st.Link);
        if (!repeats && !placed.empty() && Band == StreetIndexBand) StreetSpot[k] = placed.front();
    }
}

void TPlacer::Areas()
{
    const double middle = std::sqrt(double(BandTop(Band)) * std::max<double>(BandBottom(Band), NearestScale));
    for (const TLabelCourse& c : In.Courses) {
        if (Band > c.LastBand) continue;
        std::vector<double> taken;
        const TShape s = Shape(c.Name, c.Kind);
        const TRules rules{nullptr, true, false, c.Link};
        Along(c.Kind, s, c.Line, rules, 0, &taken, 0);
        Along(c.Kind, s, c.Line, rules, 900 * middle * 0.25 / 1000, &taken, 0);
    }
    if (Band <= 5)
        for (const TLabelArea& a : In.Lakes) InArea(L::WaterNames, Shape(a.Name, L::WaterNames), a.Ring, a.Dir, {&a.Ring});
    if (Band >= 2 && Band <= 6)
        for (const TLabelArea& a : In.Woods) InArea(L::ParkNames, Shape(a.Name, L::ParkNames), a.Ring, a.Dir, {&a.Ring});
    if (Band <= 3)
        for (const TLabelArea& a : In.Parks)
            InArea(L::ParkNames, Shape(a.Name, L::ParkNames), a.Ring, a.Dir, {&a.Ring}, nullptr, a.Near);
}

void TPlacer::Houses()
{
    if (!InBand(L::HouseNumbers, Band)) return;
    for (const TLabelHouse& h : In.Houses) {
        if (h.Ring.size() < 4) continue;
        const TShape s = Shape(h.Number, L::HouseNumbers);
        const TPt c = Centroid(h.Ring);
        const TPt e0 = h.Ring[1] - h.Ring[0], e1 = h.Ring[2] - h.Ring[1];
        const TPt along = Len(e0) >= Len(e1) ? e0 : e1;
        // Along the long side, or upright; inside the building.
        const TRules inside{&h.Ring};
        if (Take(L::HouseNumbers, s, c, along, inside, h.Link) || Take(L::HouseNumbers, s, c, {1, 0}, inside, h.Link))
            ++Numbers;
    }
}

void TPlacer::Index()
{
    // The search lists' names, each once, where a band-1 label of the same
    // size lies (or would lie), so a highlighted name covers the drawn one.
    Band = StreetIndexBand;
    for (std::size_t k = 0; k < In.Streets.size(); ++k) {
        const TLabelStreet& st = In.Streets[k];
        const TShape s = Shape(st.Name, L::StreetLabels);
        TSpot at;
        if (StreetSpot[k]) {
            at = *StreetSpot[k];
        } else if (!st.Square.empty()) {
            at = {0, Centroid(st.Square), st.SquareDir, true};
        } else {
            const std::vector<TSpot> spots = Spots(st.Line, s.W(), 0.25 * s.H);
            if (spots.empty()) continue;
            at = spots[Nearest(spots, Middle(spots)).front()];
        }
        const int32_t tenths = ReadableTenths(at.U);
        const TPt u = DirOf(tenths);
        Out.emplace_back();
        TFeature& f = Out.back();
        f.Layer = int(st.Town ? L::TownStreetNames : L::StreetNames);
        f.Sheet = TSheetKind::Base;
        f.Text = st.Name;
        f.Angle = tenths;
        f.At = at.C - u * (s.W() / 2) - Perp(u) * (CapCentre * s.H);
        f.Link = st.Link;
    }
    auto district = [&](const std::string& name, TPt c) {
        const TShape s{name, StyleOf(L::DistrictNames).FontHeight / 10.0, LabelEms(name, true)};
        Out.emplace_back();
        TFeature& f = Out.back();
        f.Layer = int(L::DistrictNames);
        f.Sheet = TSheetKind::Base;
        f.Text = name;
        f.At = c - TPt{s.W() / 2, CapCentre * s.H};
    };
    for (std::size_t d = 0; d < In.Districts.size(); ++d)
        district(In.Districts[d].Name, DistrictSpot[d] ? *DistrictSpot[d] : Centroid(In.Districts[d].Ring));
    if (In.Town.Ring.size() >= 3) district(In.Town.Name, TownSpot ? *TownSpot : Centroid(In.Town.Ring));
}

int64_t TPlacer::Run()
{
    for (Band = 0; Band < BandCount; ++Band) {
        Mpp = BandTop(Band) * MmPerPixel96 / 1000;
        Boxes.emplace(std::max(20.0, LabelHeight(L::StreetLabels, Band) / 10.0 * 4));
        StreetTaken.assign(In.Streets.size(), {});
        BigNames();
        Districts();
        Places();
        Streets(false);
        Areas();
        Streets(true);
        Buildings();
        Houses();
    }
    Index();
    return Numbers;
}

} // namespace

int64_t PlaceLabels(const TLabelInput& in, std::vector<TFeature>& out)
{
    TPlacer placer(in, out);
    return placer.Run();
}

} // namespace tarn::city
