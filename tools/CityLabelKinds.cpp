// The kinds of the demo city's labels, each placed by the rules it keeps:
// signs as obstacles, names beside stations and in buildings, the big names,
// districts, streets (on their line, between an avenue's casings, or beside
// it), waters, parks and woods, house numbers, and the names the lists read.
#include "CityLabelPlacer.h"

#include "CityNames.h"

#include <algorithm>
#include <map>

namespace tarn::city::labels {

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
    // Beside the sign: right of it, left (clear of the room its end
    // keeps), below or above.
    for (const TLabelPlace& p : In.Places) {
        if (Band > p.LastBand) continue;
        const TShape s = Shape(p.Name, L::BuildingLabels);
        const double gap = SignHalf(p.SignMm) + SignGap * Mpp;
        const double w = s.W() / 2 + gap, h = gap + 0.6 * s.H;
        for (TPt off : {TPt{w, 0}, TPt{-w - End(s), 0}, TPt{0, -h}, TPt{0, h}})
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
        // middle, or beside the sign standing there (whose square, turned
        // against the number, reaches further along it).
        const TRules inside{&h.Ring};
        bool done = false;
        for (TPt dir : {along, TPt{1, 0}}) {
            if (done) break;
            if (!h.Sign) {
                done = Take(L::HouseNumbers, s, c, dir, inside, h.Link);
                continue;
            }
            const TPt u = DirOf(ReadableTenths(dir));
            const double aside = sign * (std::fabs(u.X) + std::fabs(u.Y)) + 0.5 * s.W() + 1.5 * Mpp + 0.2 * s.H + WholeMetre;
            for (TPt at : {c + u * aside, c - u * aside})
                if (!done) done = Take(L::HouseNumbers, s, at, dir, inside, h.Link);
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

} // namespace tarn::city::labels
