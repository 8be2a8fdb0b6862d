// The demo city's blocks: cut from the grids' cells, the areas of the
// cells that are no blocks, buildings laid out by each block's style, and
// the houses' numbers.
#include "CityPlanBuilder.h"

#include <algorithm>
#include <numeric>

namespace tarn::city::plan {

// Blocks of a grid: cells inset by their streets; a lane splits its cell
// in two, a dead end leaves a corridor free.
void TBuilder::MakeBlocks(TGrid& g, bool town)
{
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            const std::size_t c = g.Cell(i, j);
            const TUse use = g.Use[c];
            if (use != TUse::Block && use != TUse::Industry) continue;
            int tag = g.District[c];
            const int district = tag % 1000;
            const int lane = (tag / 1000) % 1000;
            const int stub = tag / 1000000;
            g.District[c] = district;
            TBlock b;
            b.Grid = &g;
            b.I = i;
            b.J = j;
            b.Town = town;
            b.District = district;
            b.Sx = g.Sx(i, j);
            b.Sy = g.Sy(i, j);
            b.U0 = i + g.ColHalf[std::size_t(i)] / b.Sx;
            b.U1 = i + 1 - g.ColHalf[std::size_t(i) + 1] / b.Sx;
            b.V0 = j + g.RowHalf[std::size_t(j)] / b.Sy;
            b.V1 = j + 1 - g.RowHalf[std::size_t(j) + 1] / b.Sy;
            b.Streets[0] = g.RowPiece(i, j);
            b.Streets[1] = g.RowPiece(i, j + 1);
            b.Streets[2] = g.ColPiece(i, j);
            b.Streets[3] = g.ColPiece(i + 1, j);
            const TDistrict& d = Districts[std::size_t(district)];
            b.Key = uint32_t(Seed * 2654435761u + uint32_t(town ? 100000 : 0) + uint32_t(c) * 40503u);
            TRng r(b.Key);
            // The central avenue is lined with houses all along.
            const bool central = !town && (b.Streets[2] == CentralAvenue || b.Streets[3] == CentralAvenue);
            if (use == TUse::Industry) b.Style = TStyle::Industrial;
            else if (central) b.Style = TStyle::Perimeter;
            else switch (d.Type) {
                case TDistrictType::Centre: b.Style = r.Chance(0.9) ? TStyle::Perimeter : TStyle::Slabs; break;
                case TDistrictType::Mixed: b.Style = r.Chance(0.55) ? TStyle::Perimeter : TStyle::Slabs; break;
                case TDistrictType::Estates: b.Style = r.Chance(0.85) ? TStyle::Slabs : TStyle::Perimeter; break;
                case TDistrictType::Houses: b.Style = r.Chance(0.9) ? TStyle::Houses : TStyle::Slabs; break;
                case TDistrictType::Works: b.Style = r.Chance(0.5) ? TStyle::Slabs : TStyle::Houses; break;
                }
            if (b.U1 - b.U0 <= 0 || b.V1 - b.V0 <= 0) continue;
            if (lane > 0) {
                TBlock left = b, right = b;
                const double du = LaneHalf / b.Sx;
                left.U1 = i + 0.5 - du;
                left.Streets[3] = lane - 1;
                right.U0 = i + 0.5 + du;
                right.Streets[2] = lane - 1;
                right.Key = b.Key ^ 0x5bd1e995u;
                Blocks.push_back(left);
                Blocks.push_back(right);
                continue;
            }
            if (stub > 0) {
                b.Stub = true;
                b.StubS = (i + 0.5 - b.U0) * b.Sx;
                b.StubT = (j + 0.42 - b.V0) * b.Sy;
            }
            Blocks.push_back(b);
        }
}

// Areas of a grid's cells: parks, squares, industry, waste ground, the
// overview's blocks; district tints and borders.
void TBuilder::MakeAreas(TGrid& g, bool town)
{
    std::vector<std::string> squares = SquareNames();
    R.Shuffle(squares);
    int squareNo = 0;
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            const TUse use = g.Use[g.Cell(i, j)];
            if (use == TUse::None || use == TUse::River) continue;
            TBlock cell;
            cell.Grid = &g;
            cell.Sx = g.Sx(i, j);
            cell.Sy = g.Sy(i, j);
            cell.U0 = i + g.ColHalf[std::size_t(i)] / cell.Sx;
            cell.U1 = i + 1 - g.ColHalf[std::size_t(i) + 1] / cell.Sx;
            cell.V0 = j + g.RowHalf[std::size_t(j)] / cell.Sy;
            cell.V1 = j + 1 - g.RowHalf[std::size_t(j) + 1] / cell.Sy;
            const TPath ring = cell.Ring();
            const TPt c = g.At(i + 0.5, j + 0.5);
            switch (use) {
            case TUse::Block: Area(L::Blocks, TSheetKind::Overview, ring); break;
            case TUse::Industry: Area(L::Industry, TSheetKind::Base, ring); break;
            case TUse::Waste: Area(L::Wasteland, TSheetKind::Base, ring); break;
            case TUse::Park: {
                Area(L::Parks, TSheetKind::Base, ring);
                // Paths: the diagonals and a ring round the middle.
                const double w = cell.W(), h = cell.H();
                Line(L::Paths, TSheetKind::Base, {cell.World(0, 0), cell.World(w * 0.35, h * 0.35)});
                Line(L::Paths, TSheetKind::Base, {cell.World(w, h), cell.World(w * 0.65, h * 0.65)});
                Line(L::Paths, TSheetKind::Base, {cell.World(w, 0), cell.World(w * 0.65, h * 0.35)});
                Line(L::Paths, TSheetKind::Base, {cell.World(0, h), cell.World(w * 0.35, h * 0.65)});
                TPath loop;
                for (int k = 0; k <= 24; ++k) {
                    const double a = 2 * Pi * k / 24;
                    loop.push_back(cell.World(w * (0.5 + 0.2 * std::cos(a)), h * (0.5 + 0.2 * std::sin(a))));
                }
                Line(L::Paths, TSheetKind::Base, loop);
                if (R.Chance(0.45)) {
                    const double rx = std::min(w, h) * 0.11;
                    Area(L::Water, TSheetKind::Base, Ellipse(c, rx * 1.3, rx, R.Range(0, Pi), 20));
                } else {
                    Sign(TSheetKind::Detail, c, 24);
                }
                const std::string name = ParkNames()[std::size_t(ParkNo++ % int(ParkNames().size()))];
                // Its sign or pond stands in the middle: the name above.
                Labels.Parks.push_back({name, ring, g.DirU(i + 0.5, j + 0.5), cell.World(w / 2, h * 0.8)});
                break;
            }
            case TUse::Square: {
                Area(L::Squares, TSheetKind::Base, ring);
                const std::string name = town ? "ПЛ. РЫНОЧНАЯ" : squares[std::size_t(squareNo++ % int(squares.size()))];
                TStreet s;
                s.Class = TClass::Street;
                s.Town = town;
                s.Name = name;
                s.Link = int(Streets.size()) + 1;
                s.Line0 = -2;  // labelled inside, not drawn
                s.Square = ring;
                s.SquareDir = g.DirU(i + 0.5, j + 0.5);
                s.SquareSign = c + g.DirV(i + 0.5, j + 0.5) * (-35);
                Streets.push_back(s);
                Sign(TSheetKind::Detail, s.SquareSign, town ? 29 : 25);
                if (town) {
                    TBlock& market = cell;
                    TFeature& f = Add(L::PublicBuildings, TSheetKind::Detail);
                    f.Points = {market.World(20, 20), market.World(80, 20), market.World(80, 55), market.World(20, 55)};
                    f.Colour = Market.Fill;
                    f.Colour2 = Rgb(150, 120, 90);
                    f.Style = -1;
                    f.Text = Market.Building;
                    Sign(TSheetKind::Detail, Centroid(f.Points), Market.Sign);
                }
                break;
            }
            case TUse::Stadium: {
                Area(L::Parks, TSheetKind::Base, ring);
                TFeature& f = Add(L::PublicBuildings, TSheetKind::Detail);
                f.Points = Ellipse(c, cell.W() * 0.36, cell.H() * 0.3, std::atan2(g.DirU(i + 0.5, j + 0.5).Y, g.DirU(i + 0.5, j + 0.5).X), 28);
                f.Colour = Stadium.Fill;
                f.Colour2 = Rgb(80, 130, 80);
                f.Style = -1;
                f.Text = "СТАДИОН «ЛИСТВА»";
                f.At = c;
                Sign(TSheetKind::Detail, c, Stadium.Sign);
                break;
            }
            default: break;
            }
        }
    // District tints and names.
    const int first = town ? int(Districts.size()) - 1 : 0;
    const int last = town ? int(Districts.size()) : int(Districts.size()) - 1;
    for (int d = first; d < last; ++d) {
        std::vector<uint8_t> set(g.Use.size(), 0);
        int n = 0;
        for (int j = 0; j < g.Rows - 1; ++j)
            for (int i = 0; i < g.Cols - 1; ++i)
                if (g.District[g.Cell(i, j)] == d && g.Use[g.Cell(i, j)] != TUse::None) {
                    set[g.Cell(i, j)] = 1;
                    ++n;
                }
        if (n == 0) continue;
        TFeature& area = Add(L::DistrictAreas, TSheetKind::Base);
        area.Points = g.Outline(set);
        area.Style = 101 + Districts[std::size_t(d)].Tint;
        area.Text = Districts[std::size_t(d)].Name;
        // The second town is named like the city, over its whole area.
        if (town) Labels.Town = {Districts[std::size_t(d)].Name, area.Points, {1, 0}};
        else Labels.Districts.push_back({Districts[std::size_t(d)].Name, area.Points, {1, 0}});
        TFeature& nav = AddNav(NL::Districts);
        nav.Points = area.Points;
        nav.Style = area.Style;
    }
    // The border of the city (or the town) round all its cells.
    std::vector<uint8_t> all(g.Use.size(), 0);
    for (std::size_t c = 0; c < g.Use.size(); ++c) all[c] = g.Use[c] != TUse::None;
    TPath border = g.Outline(all);
    if (!town) Labels.City = {CityLabel, border, {1, 0}};
    if (!border.empty()) border.push_back(border.front());
    Line(L::CityBorder, TSheetKind::Base, border);
}

void TBuilder::LayOutBuildings()
{
    // The budget is shared by weight: area and how densely each style builds.
    double total = 0;
    for (TBlock& b : Blocks) {
        const double area = std::max(0.0, b.W() * b.H());
        double density = 1.0;
        switch (b.Style) {
        case TStyle::Perimeter: density = 1.0; break;
        case TStyle::Slabs: density = 0.45; break;
        case TStyle::Houses: density = 1.5; break;
        case TStyle::Industrial: density = 0.22; break;
        }
        b.Weight = area * density;
        total += b.Weight;
    }
    for (TBlock& b : Blocks) {
        const int minimum = 1;  // no block stands empty
        b.Quota = std::max(minimum, int(std::lround(Budget * b.Weight / std::max(total, 1.0))));
    }
    for (TBlock& b : Blocks) {
        b.First = Buildings.size();
        LayOut(b, Buildings);
        b.Count = Buildings.size() - b.First;
    }
}

bool TBuilder::Excluded(const TBlock& b, TPt c, const TPath& ring, double s0, double t0, double s1) const
{
    if (b.Stub && s1 > b.StubS - 12 && s0 < b.StubS + 12 && t0 < b.StubT + 12) return true;
    // Only houses within reach of the railway's band need the distance.
    if (!b.Town && c.Y > RailwayLow - 90 && c.Y < RailwayHigh + 90) {
        const double d = DistToPath(c, Railway);
        if (d < 45) return true;
        if (d < 90)
            for (const TPt& p : ring)
                if (DistToPath(p, Railway) < 22) return true;
    }
    for (const auto& [p, r] : KeepClear)
        if (Dist(c, p) < r) return true;
    return false;
}

// One building: the local rectangle (s, t) mapped onto the block; side is
// the block side whose street it fronts (-1: none).
void TBuilder::Put(TBlock& b, TRng& r, double s0, double t0, double s1, double t1, int side, std::vector<TBuilding>& out)
{
    (void)r;
    if (s1 - s0 < 4 || t1 - t0 < 4) return;
    TBuilding h;
    h.Ring = {b.World(s0, t0), b.World(s1, t0), b.World(s1, t1), b.World(s0, t1)};
    h.Centre = b.World((s0 + s1) / 2, (t0 + t1) / 2);
    if (Excluded(b, h.Centre, h.Ring, s0, t0, s1)) return;
    h.Area = (s1 - s0) * (t1 - t0);
    // A house fronts its street when it stands near it: it takes its number
    // and its address from it.
    const double fromEdge[4] = {(t0 + t1) / 2, b.H() - (t0 + t1) / 2, (s0 + s1) / 2, b.W() - (s0 + s1) / 2};
    if (side >= 0 && b.Streets[side] >= 0 && fromEdge[side] <= FrontDepth) {
        h.Street = b.Streets[side];
        h.Front = true;
        const double u = b.U0 + (s0 + s1) / 2 / b.Sx, v = b.V0 + (t0 + t1) / 2 / b.Sy;
        if (side <= 1) {
            h.Pos = u;
            h.Side = side == 0 ? 1 : 0;
            h.Dir = b.Grid->DirU(u, side == 0 ? b.J : b.J + 1);
        } else {
            h.Pos = v;
            h.Side = side == 2 ? 1 : 0;
            h.Dir = b.Grid->DirV(side == 2 ? b.I : b.I + 1, v);
        }
    }
    out.push_back(std::move(h));
}

void TBuilder::Perimeter(TBlock& b, TRng& r, int q, std::vector<TBuilding>& out)
{
    const double W = b.W(), H = b.H();
    const double d = r.Range(13, 17), g = 6;
    struct TSide {
        double Len;
        int Cap, Count;
    };
    const double sideLen[4] = {W, W, std::max(0.0, H - 2 * d - 2 * g), std::max(0.0, H - 2 * d - 2 * g)};
    TSide sides[4];
    int cap = 0;
    for (int k = 0; k < 4; ++k) {
        sides[k] = {sideLen[k], int(std::floor((sideLen[k] + g) / (9 + g))), 0};
        cap += sides[k].Cap;
    }
    // Most go round the edge, the rest into the courtyard.
    const int ring = std::min(cap, q <= 6 ? q : std::max(6, int(std::lround(q * 0.62))));
    double totalLen = 0;
    for (const TSide& s : sides) totalLen += s.Len;
    int given = 0;
    for (int k = 0; k < 4; ++k) {
        sides[k].Count = std::min(sides[k].Cap, int(std::floor(ring * sides[k].Len / std::max(totalLen, 1.0))));
        given += sides[k].Count;
    }
    for (int k = 0; given < ring; k = (k + 1) % 4)
        if (sides[k].Count < sides[k].Cap) {
            ++sides[k].Count;
            ++given;
        }
    // A row of houses along the central avenue, whatever the budget.
    for (int k = 2; k < 4; ++k)
        if (b.Streets[k] == CentralAvenue) sides[k].Count = std::max(sides[k].Count, std::min(sides[k].Cap, 6));
    for (int k = 0; k < 4; ++k) {
        const int n = sides[k].Count;
        if (n == 0) continue;
        const double len = sides[k].Len;
        std::vector<double> w(static_cast<std::size_t>(n), 0.0);
        for (double& x : w) x = r.Range(0.75, 1.25);
        const double sum = std::accumulate(w.begin(), w.end(), 0.0);
        double avail = len - (n - 1) * g;
        double at = 0;
        if (n == 1) {
            avail = std::min(len, std::max(20.0, len * 0.6));
            at = (len - avail) / 2;
        }
        const double depth = d + r.Range(-1.5, 1.5);
        for (int m = 0; m < n; ++m) {
            const double l = avail * w[std::size_t(m)] / sum;
            const double a = at, e = at + l;
            at = e + g;
            switch (k) {
            case 0: Put(b, r, a, 0, e, depth, 0, out); break;
            case 1: Put(b, r, a, H - depth, e, H, 1, out); break;
            case 2: Put(b, r, 0, d + g + a, depth, d + g + e, 2, out); break;
            case 3: Put(b, r, W - depth, d + g + a, W, d + g + e, 3, out); break;
            }
        }
    }
    if (q > ring) Grid(b, r, q - ring, d + 14, d + 14, W - d - 14, H - d - 14, 1.3, 0.62, 0.6, false, out);
}

void TBuilder::Grid(TBlock& b, TRng& r, int q, double s0, double t0, double s1, double t1, double aspect, double fx,
                    double fy, bool front, std::vector<TBuilding>& out)
{
    const double W = s1 - s0, H = t1 - t0;
    if (q <= 0 || W < 9 || H < 9) return;
    const double minCell = 9;
    int nx = std::max(1, int(std::lround(std::sqrt(q * W / (H * aspect)))));
    nx = std::min(nx, std::max(1, int(W / minCell)));
    int ny = std::max(1, (q + nx - 1) / nx);
    ny = std::min(ny, std::max(1, int(H / minCell)));
    if (nx * ny < q) nx = std::min(std::max(1, int(W / minCell)), (q + ny - 1) / ny);
    q = std::min(q, nx * ny);
    std::vector<int> keep(std::size_t(nx * ny), 1);
    std::vector<int> order(keep.size());
    std::iota(order.begin(), order.end(), 0);
    r.Shuffle(order);
    for (int k = 0; k < nx * ny - q; ++k) keep[std::size_t(order[std::size_t(k)])] = 0;
    const double cw = W / nx, ch = H / ny;
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            if (!keep[std::size_t(y * nx + x)]) continue;
            const double bw = std::min(cw - 3, cw * fx * r.Range(0.85, 1.1));
            const double bh = std::min(ch - 3, ch * fy * r.Range(0.85, 1.1));
            const double cx = s0 + cw * (x + 0.5) + (cw - bw) * r.Range(-0.25, 0.25);
            const double cy = t0 + ch * (y + 0.5) + (ch - bh) * r.Range(-0.25, 0.25);
            int side = -1;
            if (front) {
                if (y == 0) side = 0;
                else if (y == ny - 1) side = 1;
                else if (x == 0) side = 2;
                else if (x == nx - 1) side = 3;
            }
            Put(b, r, cx - bw / 2, cy - bh / 2, cx + bw / 2, cy + bh / 2, side, out);
        }
}

void TBuilder::LayOut(TBlock& b, std::vector<TBuilding>& out)
{
    TRng r(b.Key);
    const double W = b.W(), H = b.H();
    const int q = b.Quota;
    switch (b.Style) {
    case TStyle::Perimeter: Perimeter(b, r, q, out); break;
    case TStyle::Slabs: {
        // Long slabs across the longer side while there is room for them,
        // then smaller blocks of flats.
        const bool along = W >= H;
        const double longSide = along ? W : H, shortSide = along ? H : W;
        const int rows = std::max(1, int((shortSide - 20) / 42));
        const int perRow = std::max(1, int((longSide - 20) / 95));
        if (q <= rows * perRow) {
            if (along) Grid(b, r, q, 10, 10, W - 10, H - 10, W / H * rows / perRow, 0.82, 0.32, true, out);
            else Grid(b, r, q, 10, 10, W - 10, H - 10, W / H * perRow / rows, 0.32, 0.82, true, out);
        } else {
            Grid(b, r, q, 8, 8, W - 8, H - 8, 1.4, 0.6, 0.5, true, out);
        }
        break;
    }
    case TStyle::Houses: Grid(b, r, q, 4, 4, W - 4, H - 4, 1.15, 0.5, 0.45, true, out); break;
    case TStyle::Industrial: Grid(b, r, q, 12, 12, W - 12, H - 12, 1.6, 0.72, 0.62, false, out); break;
    }
}

void TBuilder::NumberHouses()
{
    HouseNumbers.assign(Buildings.size(), std::string());
    HouseLabel.assign(Buildings.size(), SIZE_MAX);
    std::map<int, std::vector<std::size_t>> byStreet;
    for (std::size_t k = 0; k < Buildings.size(); ++k)
        if (Buildings[k].Front) byStreet[Buildings[k].Street].push_back(k);
    for (auto& [street, list] : byStreet) {
        std::stable_sort(list.begin(), list.end(),
                         [&](std::size_t a, std::size_t b) { return Buildings[a].Pos < Buildings[b].Pos; });
        int odd = 1, even = 2;
        const TStreet& st = Streets[std::size_t(street)];
        for (std::size_t k : list) {
            TBuilding& h = Buildings[k];
            int& n = h.Side == 0 ? odd : even;
            std::string text = std::to_string(n);
            const uint32_t hash = uint32_t(k * 2654435761u) ^ Seed;
            // The houses the update window names keep their plain numbers.
            const bool named = street == CentralAvenue &&
                               std::find(std::begin(DistributionHouses), std::end(DistributionHouses), n) !=
                                   std::end(DistributionHouses);
            if (!named && hash % 23 == 0) text += "А";
            else if (!named && hash % 31 == 0) text += "/1";
            n += 2;
            HouseNumbers[k] = text;
            HouseLabel[k] = Labels.Houses.size();
            Labels.Houses.push_back({text, h.Ring, st.Link});
        }
    }
}

} // namespace tarn::city::plan
