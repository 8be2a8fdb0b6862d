// The demo city's labels, placed band by band, the most important first:
// the city's and the town's names, districts, stations, waters and roads,
// the first name of every street on its longest straight stretch, squares,
// parks and woods, the names repeated along long streets, public
// buildings, house numbers. A label is taken where its box, grown by
// what rounding may add on the screen, meets no box taken before in its
// band, no sign drawn in it, and none of the avenues, roads, railway and
// tram lines (but its own line, when it lies between its casings).
#include "CityLabels.h"

#include "CityLabelGeometry.h"
#include "CityNames.h"
#include "CityStyle.h"

#include <algorithm>
#include <cmath>
#include <map>
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
constexpr double SignGap = 4;            // pixels between a sign and the name beside it

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
        : In(in), Out(out), Barriers(in.Barriers, 150), Crossings(in.Crossings, 150), Thin(ThinLines(in), 150),
          StreetIndex(in.Streets.size(), -1), DistrictIndex(in.Districts.size(), -1)
    {
    }
    int64_t Run();

private:
    // What a label must keep clear of, besides the labels and signs of its band.
    struct TRules {
        const TPath* Inside = nullptr;  // its drawn box within this ring
        bool Barriers = true;           // avenues, roads, railway, tram lines
        bool Crossings = false;         // every street
        int Link = 0;                   // its own street's lines it may lie on,
        const TPath* Within = nullptr;  // when cased: between the casings of this line,
        double Half = 0;                // this half width
        bool Thin = false;              // also off the avenues where they are thin lines
    };

    static std::vector<TLabelLine> ThinLines(const TLabelInput& in)
    {
        std::vector<TLabelLine> thin;
        for (TLabelLine l : in.Barriers)
            if (l.LastBand < BandCount) {
                l.HalfMetres = 0;
                l.LastBand = 1 << 20;
                thin.push_back(std::move(l));
            }
        return thin;
    }

    TShape Shape(const std::string& text, L kind) const;
    TBox Drawn(TPt anchor, TPt u, const TShape& s) const;
    TBox Kept(TPt anchor, TPt u, const TShape& s) const;
    // Half a sign's box in the band, metres.
    double SignHalf(double mm) const { return mm / 2 * BandTop(Band) / 1000 + Mpp; }
    // How far from a line's middle a name beside it lies, for the line's
    // drawn half width.
    double Beside(const TShape& s, double metres, double pixels) const
    {
        return metres + pixels * Mpp + 0.61 * s.H + 1.5 * Mpp + 0.2 * s.H + WholeMetre + 0.5 * Mpp;
    }
    // Whether a name fits between the casings of a line of that half width.
    bool Fits(const TShape& s, double half) const { return 0.61 * s.H + 2 * Mpp + WholeMetre <= half; }
    // Takes the label centred on c along dir when the rules allow it.
    bool Take(L kind, const TShape& s, TPt c, TPt dir, const TRules& rules, int link = 0);
    bool Allowed(const TShape& s, TPt c, TPt dir, const TRules& rules, TPt& anchor, int32_t& tenths) const;

    // Labels along a line: the first on the middle of its longest straight
    // stretch, then repeated every `spacing` metres (0: none); they carry
    // the link of the street they name. With `beside`, on either side of
    // the line, that far from it.
    std::vector<TSpot> Along(L kind, const TShape& s, const TPath& line, const TRules& rules, double spacing,
                             std::vector<double>* taken, int link, double beside = 0);
    // A label inside an area, as near `near` (or its middle) as it fits.
    bool InArea(L kind, const TShape& s, const TPath& ring, TPt dir, TRules rules, TPt* at = nullptr,
                TPt near = {0, 0});

    void AddSigns();
    void BigNames();
    void Places();
    void Buildings();
    void Districts();
    void Streets(bool repeats);
    void Areas();
    void Houses();
    // The label just taken becomes a name the search lists read.
    void ToIndex(L layer, int64_t& index);
    void Index();

    const TLabelInput& In;
    std::vector<TFeature>& Out;
    TLineIndex Barriers, Crossings, Thin;
    int Band = 0;
    double Mpp = 1;      // metres per pixel at the band's top at 96 dpi
    std::optional<TBoxIndex> Boxes;
    std::vector<std::vector<double>> StreetTaken;  // per street: where its labels of the band lie
    std::vector<int64_t> StreetIndex, DistrictIndex;  // their names in the index band (into Out)
    int64_t TownIndex = -1;
    int64_t Numbers = 0;
};

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
    const double air = 0.2 * s.H + WholeMetre;
    const double side = 1.5 * Mpp + air, end = (5 + 0.5 * s.Ems) * Mpp + air;
    return {anchor, u, -side, s.W() + end, -LabelDescent * s.H - side, (LabelAscent + LabelDescent) * s.H + side};
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

void TPlacer::AddSigns()
{
    // A sign of fixed size is largest on the map at the top of the band.
    for (const TLabelSign& g : In.Signs) {
        if (g.ScaleLimit <= BandBottom(Band)) continue;
        const double half = (g.MapUnits ? g.Size / 2 : g.Size / 2 * std::min(g.ScaleLimit, BandTop(Band)) / 1000) + 0.5 * Mpp;
        Boxes->Add(TBox{g.At - TPt{half, half}, {1, 0}, 0, 2 * half, 0, 2 * half});
    }
}

void TPlacer::Places()
{
    // Beside the sign: right of it, left, below or above.
    for (const TLabelPlace& p : In.Places) {
        if (Band > p.LastBand) continue;
        const TShape s = Shape(p.Name, L::BuildingLabels);
        const double gap = SignHalf(p.SignMm) + SignGap * Mpp;
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
        const TPt c = Centroid(b.Ring), below{0, -(SignHalf(4) + SignGap * Mpp + 0.6 * s.H)};
        const TRules inside{&b.Ring};
        if (!Take(L::BuildingLabels, s, c + below, {1, 0}, inside) &&
            !Take(L::BuildingLabels, s, c - below, {1, 0}, inside) && !Take(L::BuildingLabels, s, c + below, {1, 0}, {}))
            Take(L::BuildingLabels, s, c - below, {1, 0}, {});
    }
}

void TPlacer::BigNames()
{
    if (Band < 4) return;
    struct {
        const TLabelArea& Area;
        uint32_t Colour;
    } names[] = {{In.City, Rgb(105, 60, 125)}, {In.Town, Rgb(70, 45, 45)}};
    for (const auto& n : names) {
        if (n.Area.Ring.size() < 3) continue;
        const TShape s = Shape(n.Area.Name, L::BigLabels);
        if (!InArea(L::BigLabels, s, n.Area.Ring, {1, 0}, {})) continue;
        // Negative: the letters' height, as the text layers' fonts give it.
        Out.back().Size = -LabelHeight(L::BigLabels, Band);
        Out.back().Colour = n.Colour;
    }
}

void TPlacer::Districts()
{
    auto place = [&](L kind, const TLabelArea& a) {
        // Clear of the avenues; where they are thin lines, clear of them
        // too where the name fits, else over them; at the smallest
        // scales, where districts are few pixels wide, round their middle.
        const TShape s = Shape(a.Name, kind);
        TRules rules{&a.Ring};
        rules.Thin = Band >= 6;
        if (InArea(kind, s, a.Ring, {1, 0}, rules)) return true;
        if (Band < 6) return false;
        rules.Thin = false;
        if (InArea(kind, s, a.Ring, {1, 0}, rules)) return true;
        rules.Inside = nullptr;
        return InArea(kind, s, a.Ring, {1, 0}, rules);
    };
    if (Band == IndexBand) {
        // The names the lists read, where showing one lands.
        for (std::size_t d = 0; d < In.Districts.size(); ++d)
            if (place(L::DistrictNames, In.Districts[d])) ToIndex(L::DistrictNames, DistrictIndex[d]);
        if (In.Town.Ring.size() >= 3 && place(L::DistrictNames, In.Town)) ToIndex(L::DistrictNames, TownIndex);
        return;
    }
    if (!InBand(L::DistrictLabels, Band)) return;
    for (const TLabelArea& a : In.Districts) place(L::DistrictLabels, a);
}

void TPlacer::ToIndex(L layer, int64_t& index)
{
    TFeature& f = Out.back();
    f.Layer = int(layer);
    f.Sheet = TSheetKind::Names;
    f.Band = -1;
    index = int64_t(Out.size()) - 1;
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
    const L index = L::StreetNames;
    for (std::size_t k : order) {
        const TLabelStreet& st = In.Streets[k];
        const TShape s = Shape(st.Name, L::StreetLabels);
        const L indexLayer = st.Town ? L::TownStreetNames : index;
        if (!st.Square.empty()) {
            if (repeats || !all) continue;
            TRules rules{Band <= 2 ? &st.Square : nullptr};
            TPt near{0, 0};
            if (st.SquareSign.X != 0 || st.SquareSign.Y != 0)
                near = st.SquareSign + Perp(DirOf(ReadableTenths(st.SquareDir))) * (SignHalf(4) + SignGap * Mpp + 0.6 * s.H);
            if (InArea(L::StreetLabels, s, st.Square, st.SquareDir, rules, nullptr, near) && Band == IndexBand)
                ToIndex(indexLayer, StreetIndex[k]);
            continue;
        }
        // On its line between the crossing streets close up; further out,
        // where names are longer than the blocks, off the main lines only. A
        // cased line too narrow for the name has it beside it.
        const bool on = !st.Cased || Fits(s, st.Half);
        TRules rules{nullptr, true, Band <= 2, on ? st.Link : 0};
        if (on && st.Cased) {
            rules.Within = &st.Line;
            rules.Half = st.Half;
        }
        const double beside = on ? 0 : Beside(s, st.Half, 2);
        const std::vector<TSpot> placed =
            Along(L::StreetLabels, s, st.Line, rules, repeats ? spacing : 0, &StreetTaken[k], st.Link, beside);
        if (!repeats && !placed.empty() && Band == IndexBand) ToIndex(indexLayer, StreetIndex[k]);
    }
}

void TPlacer::Areas()
{
    const double middle = std::sqrt(double(BandTop(Band)) * std::max<double>(BandBottom(Band), NearestScale));
    for (const TLabelCourse& c : In.Courses) {
        if (Band > c.LastBand) continue;
        std::vector<double> taken;
        const TShape s = Shape(c.Name, c.Kind);
        const bool beside = c.BesideMetres > 0 || c.BesidePixels > 0;
        const TRules rules{nullptr, true, false, beside ? 0 : c.Link};
        const double offset = beside ? Beside(s, c.BesideMetres, c.BesidePixels) : 0;
        Along(c.Kind, s, c.Line, rules, 0, &taken, 0, offset);
        Along(c.Kind, s, c.Line, rules, 900 * middle * 0.25 / 1000, &taken, 0, offset);
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
    const double sign = SignHalf(4);
    for (const TLabelHouse& h : In.Houses) {
        if (h.Ring.size() < 4) continue;
        const TShape s = Shape(h.Number, L::HouseNumbers);
        const TPt c = Centroid(h.Ring);
        const TPt e0 = h.Ring[1] - h.Ring[0], e1 = h.Ring[2] - h.Ring[1];
        const TPt along = Unit(Len(e0) >= Len(e1) ? e0 : e1);
        // Along the long side, or level; inside the building; in its
        // middle, else beside a sign standing there (whose square, turned
        // against the number, reaches further along it).
        const TRules inside{&h.Ring};
        bool done = false;
        for (TPt dir : {along, TPt{1, 0}}) {
            const TPt u = DirOf(ReadableTenths(dir));
            const double aside = sign * (std::fabs(u.X) + std::fabs(u.Y)) + 0.5 * s.W() + 1.5 * Mpp + 0.2 * s.H + WholeMetre;
            for (TPt at : {c, c + u * aside, c - u * aside})
                if (!done && Take(L::HouseNumbers, s, at, dir, inside, h.Link)) done = true;
        }
        Numbers += done;
    }
}

void TPlacer::Index()
{
    // Each name once, with the same code in both sheets of the names: where
    // it was placed in the index band, and closer in without its text
    // (where it would be too big), so that only its key and place remain.
    // A name the band had no room for (none in the demo cities) is put where
    // its label would lie all the same: the lists need it.
    Band = IndexBand;
    std::map<int, int32_t> codes;
    auto add = [&](int64_t drawn, L layer, const std::string& text, TPt c, TPt dir, int link) {
        if (drawn < 0) {
            const TShape s = Shape(text, layer);
            const TPt u = DirOf(ReadableTenths(dir));
            TFeature f;
            f.Layer = int(layer);
            f.Sheet = TSheetKind::Names;
            f.Text = text;
            f.Angle = ReadableTenths(dir);
            f.At = c - u * (s.W() / 2) - Perp(u) * (CapCentre * s.H);
            f.Link = link;
            Out.push_back(std::move(f));
            drawn = int64_t(Out.size()) - 1;
        }
        TFeature& f = Out[std::size_t(drawn)];
        f.Code = ++codes[f.Layer];
        TFeature near = f;
        near.Sheet = TSheetKind::NamesNear;
        near.Text.clear();
        Out.push_back(std::move(near));
    };
    for (std::size_t k = 0; k < In.Streets.size(); ++k) {
        const TLabelStreet& st = In.Streets[k];
        const L layer = st.Town ? L::TownStreetNames : L::StreetNames;
        TSpot at{0, Centroid(st.Square), st.SquareDir, true};
        if (st.Square.empty()) {
            const std::vector<TSpot> spots = Spots(st.Line, Shape(st.Name, layer).W(), 0.25 * Shape(st.Name, layer).H);
            if (spots.empty()) continue;
            at = spots[Nearest(spots, Middle(spots)).front()];
        }
        add(StreetIndex[k], layer, st.Name, at.C, at.U, st.Link);
    }
    for (std::size_t d = 0; d < In.Districts.size(); ++d)
        add(DistrictIndex[d], L::DistrictNames, In.Districts[d].Name, Centroid(In.Districts[d].Ring), {1, 0}, 0);
    if (In.Town.Ring.size() >= 3) add(TownIndex, L::DistrictNames, In.Town.Name, Centroid(In.Town.Ring), {1, 0}, 0);
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

} // namespace

int64_t PlaceLabels(const TLabelInput& in, std::vector<TFeature>& out)
{
    TPlacer placer(in, out);
    return placer.Run();
}

} // namespace tarn::city
