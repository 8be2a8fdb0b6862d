// The demo city's geometry: a river with embankments, a street grid that
// follows it, districts, blocks with buildings, parks, squares, a railway
// and tram lines, places of interest, labels, and the small town of
// Вербинск north-east of the city. This file: the grids, districts and
// streets, and the builder's run.
#include "CityPlanBuilder.h"

#include <algorithm>

namespace tarn::city {

namespace plan {

TPath TGrid::Outline(const std::vector<uint8_t>& set) const
{
    auto in = [&](int i, int j) { return HasCell(i, j) && set[Cell(i, j)]; };
    // Directed boundary edges, the set on their left: lattice points (i, j).
    std::multimap<std::pair<int, int>, std::pair<int, int>> next;
    for (int j = 0; j < Rows - 1; ++j)
        for (int i = 0; i < Cols - 1; ++i) {
            if (!in(i, j)) continue;
            if (!in(i, j - 1)) next.insert({{i, j}, {i + 1, j}});
            if (!in(i + 1, j)) next.insert({{i + 1, j}, {i + 1, j + 1}});
            if (!in(i, j + 1)) next.insert({{i + 1, j + 1}, {i, j + 1}});
            if (!in(i - 1, j)) next.insert({{i, j + 1}, {i, j}});
        }
    std::vector<std::pair<int, int>> best;
    while (!next.empty()) {
        std::vector<std::pair<int, int>> ring;
        auto it = next.begin();
        const std::pair<int, int> start = it->first;
        std::pair<int, int> at = start;
        while (true) {
            auto e = next.find(at);
            if (e == next.end()) break;
            ring.push_back(at);
            at = e->second;
            next.erase(e);
            if (at == start) break;
        }
        if (ring.size() > best.size()) best = ring;
    }
    TPath out;
    for (std::size_t k = 0; k < best.size(); ++k) {
        const auto a = best[k], b = best[(k + 1) % best.size()];
        for (int s = 0; s < 4; ++s) {
            const double t = s / 4.0;
            out.push_back(At(a.first + (b.first - a.first) * t, a.second + (b.second - a.second) * t));
        }
    }
    return out;
}

std::string TBuilder::Numbered(const char* pattern, int n) const
{
    std::string s = pattern;
    const std::size_t at = s.find("%d");
    if (at != std::string::npos) s.replace(at, 2, std::to_string(n));
    return s;
}

std::string TBuilder::TakeName(std::vector<std::string>& pool, const std::string& prefix, int& counter)
{
    // When a pool runs dry its names come back numbered: "2-Я ...".
    const std::size_t n = pool.size();
    const std::size_t k = std::size_t(counter++);
    if (k < n) return prefix + pool[k];
    return prefix + std::to_string(k / n + 1) + "-Я " + pool[k % n];
}

void TBuilder::MakeRiver()
{
    City.River.P1 = R.Range(0.4, 1.2);
    City.River.P2 = R.Range(0, 2 * Pi);
    City.River.A1 = R.Range(280, 380);
}

void TBuilder::MakeCityGrid()
{
    TCityGrid& g = City;
    // Columns: about 420 m apart, each waved a little.
    std::vector<double> xs;
    for (double x = CityCentre.X - CityA - 250; x < CityCentre.X + CityA + 250; x += R.Range(360, 430)) xs.push_back(x);
    // Rows: from each embankment outwards, about 320 m apart.
    std::vector<std::pair<int, double>> north, south;
    for (double e = 0; e < 5600; e += R.Range(260, 330)) north.push_back({1, e});
    for (double e = 0; e > -4900; e -= R.Range(260, 330)) south.push_back({-1, e});
    g.Bx = xs;
    const double phase0 = R.Range(0, 2 * Pi);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        g.Amp.push_back(R.Range(40, 80));
        g.Phase.push_back(phase0 + 0.35 * double(i));
    }
    std::reverse(south.begin(), south.end());
    for (const auto& [side, e] : south) {
        g.Side.push_back(side);
        g.E.push_back(e);
    }
    g.RiverRow = int(south.size()) - 1;
    for (const auto& [side, e] : north) {
        g.Side.push_back(side);
        g.E.push_back(e);
    }
    g.Follow();
    g.Init(int(xs.size()), int(g.E.size()));

    // Nodes inside the city's rounded outline.
    for (int j = 0; j < g.Rows; ++j)
        for (int i = 0; i < g.Cols; ++i) {
            const TPt p = g.At(i, j);
            const double a = std::atan2(p.Y - CityCentre.Y, p.X - CityCentre.X);
            const double wobble = 1 + 0.05 * std::sin(3 * a + phase0) + 0.03 * std::sin(7 * a);
            const double dx = std::fabs(p.X - CityCentre.X) / CityA, dy = std::fabs(p.Y - CityCentre.Y) / CityB;
            g.In[std::size_t(j * g.Cols + i)] = std::pow(dx, 3) + std::pow(dy, 3) <= wobble ? 1 : 0;
        }
    // Avenues: every fourth column from the one through the centre, every
    // fourth row from each embankment.
    int best = 0;
    for (int i = 0; i < g.Cols; ++i)
        if (std::fabs(g.Bx[std::size_t(i)] - CityCentre.X) < std::fabs(g.Bx[std::size_t(best)] - CityCentre.X)) best = i;
    AvenueCol = best;
    for (int i = 0; i < g.Cols; ++i)
        if ((i - AvenueCol) % 4 == 0) g.ColHalf[std::size_t(i)] = AvenueHalf;
    for (int j = 0; j < g.Rows; ++j) {
        const int k = j <= g.RiverRow ? g.RiverRow - j : j - g.RiverRow - 1;
        if (k % 4 == 3) g.RowHalf[std::size_t(j)] = AvenueHalf;
    }
    // Cells: inside, except the river's.
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            const bool in = g.Node(i, j) && g.Node(i + 1, j) && g.Node(i, j + 1) && g.Node(i + 1, j + 1);
            if (!in) continue;
            g.Use[g.Cell(i, j)] = j == g.RiverRow ? TUse::River : TUse::Block;
        }
}

void TBuilder::MakeDistricts()
{
    TCityGrid& g = City;
    const double xs[3] = {CityCentre.X - CityA / 2, CityCentre.X, CityCentre.X + CityA / 2};
    for (int b = 0; b < 3; ++b) {
        int best = AvenueCol;
        for (int i = 0; i < g.Cols; ++i)
            if ((i - AvenueCol) % 4 == 0 &&
                std::fabs(g.Bx[std::size_t(i)] - xs[b]) < std::fabs(g.Bx[std::size_t(best)] - xs[b]))
                best = i;
        ColBound[b] = best;
    }
    RowBound = g.RiverRow + 4;
    for (int j = g.RiverRow + 1; j < g.Rows; ++j)
        if (g.RowHalf[std::size_t(j)] == AvenueHalf && g.E[std::size_t(j)] < 2800) RowBound = j;
    static const char* names[3][4] = {
        {"ЛЕСНОЙ", "ЗАРЕЧНЫЙ", "ЮЖНЫЙ", "ЛУГОВОЙ"},
        {"ПРИРЕЧНЫЙ", "ЦЕНТРАЛЬНЫЙ", "ЛЕНИНСКИЙ", "ОКТЯБРЬСКИЙ"},
        {"СЕВЕРНЫЙ", "ПРИВОКЗАЛЬНЫЙ", "СОВЕТСКИЙ", "ЗАВОДСКОЙ"},
    };
    static const TDistrictType types[3][4] = {
        {TDistrictType::Houses, TDistrictType::Estates, TDistrictType::Estates, TDistrictType::Houses},
        {TDistrictType::Mixed, TDistrictType::Centre, TDistrictType::Mixed, TDistrictType::Estates},
        {TDistrictType::Houses, TDistrictType::Mixed, TDistrictType::Estates, TDistrictType::Works},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) Districts.push_back({names[r][c], types[r][c], (r + c) % 3});
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            if (g.Use[g.Cell(i, j)] != TUse::Block) continue;
            const int c = i < ColBound[0] ? 0 : i < ColBound[1] ? 1 : i < ColBound[2] ? 2 : 3;
            const int r = j < g.RiverRow ? 0 : j < RowBound ? 1 : 2;
            g.District[g.Cell(i, j)] = r * 4 + c;
        }
    Districts.push_back({TownName, TDistrictType::Houses, 0});
}

void TBuilder::MakeRailway()
{
    const TPath control = {{0, 10600},     {2500, 10200},  {5000, 9850},   {7500, 9750},
                           {10000, 9900},  {12500, 10150}, {14500, 10050}, {16500, 9700},
                           {18000, 9480},  {19500, 9600},  {21000, 9900}};
    TPath shifted;
    const double lift = R.Range(-150, 150);
    for (TPt p : control) shifted.push_back({p.X, p.Y + (p.X < 13000 ? lift : lift * (21000 - p.X) / 8000)});
    Railway = Smooth(shifted, 60);
    RailwayLow = 1e300;
    RailwayHigh = -1e300;
    for (const TPt& p : Railway) {
        RailwayLow = std::min(RailwayLow, p.Y);
        RailwayHigh = std::max(RailwayHigh, p.Y);
    }
    // The station: west of the centre, with its square on the south side.
    double best = 1e300;
    for (std::size_t k = 1; k < Railway.size(); ++k) {
        const double d = std::fabs(Railway[k].X - (CityCentre.X - 2200));
        if (d < best) {
            best = d;
            Station = Railway[k];
            StationDir = Unit(Railway[k] - Railway[k - 1]);
        }
    }
    KeepClear.push_back({Station - Perp(StationDir) * 70, 150});
}

void TBuilder::ChooseCellUses()
{
    TCityGrid& g = City;
    auto isCentralAvenueNode = [&](int i, int j) {
        return g.Node(i, j) && g.ColHalf[std::size_t(i)] == AvenueHalf && g.RowHalf[std::size_t(j)] == AvenueHalf;
    };
    std::vector<std::pair<int, int>> squareCandidates;
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            const std::size_t c = g.Cell(i, j);
            if (g.Use[c] != TUse::Block) continue;
            const TDistrict& d = Districts[std::size_t(g.District[c])];
            TPt centre = g.At(i + 0.5, j + 0.5);
            if (d.Type == TDistrictType::Works) {
                g.Use[c] = R.Chance(0.72) ? TUse::Industry : TUse::Block;
                if (g.Use[c] == TUse::Industry && DistToPath(centre, Railway) < 350 && R.Chance(0.25)) g.Use[c] = TUse::Waste;
                continue;
            }
            if (DistToPath(centre, Railway) < 260 && R.Chance(0.3)) {
                g.Use[c] = R.Chance(0.5) ? TUse::Industry : TUse::Waste;
                continue;
            }
            if (R.Chance(d.Type == TDistrictType::Centre ? 0.09 : 0.065)) g.Use[c] = TUse::Park;
            const bool central = d.Type == TDistrictType::Centre || d.Type == TDistrictType::Mixed;
            if (central && (isCentralAvenueNode(i, j) || isCentralAvenueNode(i + 1, j + 1)))
                squareCandidates.push_back({i, j});
        }
    // The riverside park of the centre, and a stadium south of the river.
    for (int i = ColBound[0]; i < ColBound[1] && i < g.Cols - 1; ++i) {
        const int j = g.RiverRow + 1;
        if (g.Use[g.Cell(i, j)] == TUse::Block && (i == ColBound[0] + 1 || i == ColBound[0] + 2)) g.Use[g.Cell(i, j)] = TUse::Park;
    }
    for (int i = ColBound[0]; i < ColBound[1]; ++i) {
        const int j = g.RiverRow - 2;
        if (j >= 0 && g.UseOf(i, j) == TUse::Block && i == ColBound[0] + 1) g.Use[g.Cell(i, j)] = TUse::Stadium;
    }
    R.Shuffle(squareCandidates);
    for (const auto& [i, j] : squareCandidates) {
        if (SquareCount >= 7) break;
        bool near = false;
        for (int dj = -1; dj <= 1; ++dj)
            for (int di = -1; di <= 1; ++di)
                if (g.UseOf(i + di, j + dj) == TUse::Square) near = true;
        if (near || g.Use[g.Cell(i, j)] != TUse::Block) continue;
        g.Use[g.Cell(i, j)] = TUse::Square;
        ++SquareCount;
    }
}

void TBuilder::MakeCityStreets()
{
    TCityGrid& g = City;
    std::vector<std::string> streets = StreetNames(), avenues = AvenueNames(), lanes = LaneNames(),
                             ends = DeadEndNames();
    R.Shuffle(streets);
    R.Shuffle(avenues);
    R.Shuffle(lanes);
    R.Shuffle(ends);
    int ns = 0, na = 0;
    auto newStreet = [&](TClass cls, bool row, int line, int from, TPath path) -> int {
        TStreet s;
        s.Class = cls;
        s.Row = row;
        s.Line0 = line;
        s.From = from;
        s.Grid = &g;
        s.Line = std::move(path);
        s.Link = int(Streets.size()) + 1;
        if (cls == TClass::Avenue) {
            const bool full = R.Chance(0.5);
            // The one through the centre is named after it.
            if (!row && line == AvenueCol) s.Name = CentralAvenueName;
            else s.Name = TakeName(avenues, full ? "ПРОСПЕКТ " : "ПР. ", na);
        } else if (cls == TClass::Embankment) {
            s.Name = g.Side[std::size_t(line)] > 0 ? "НАБЕРЕЖНАЯ ЛИСТВЫ" : "НАБЕРЕЖНАЯ ЗАРЕЧНАЯ";
        } else {
            // The type word first, as the street list expects it.
            s.Name = TakeName(streets, "УЛ. ", ns);
        }
        Streets.push_back(std::move(s));
        return int(Streets.size()) - 1;
    };
    // Rows: avenues whole, other rows cut in two at the middle boundary.
    for (int j = 0; j < g.Rows; ++j) {
        int i0 = -1, i1 = -1;
        for (int i = 0; i < g.Cols; ++i)
            if (g.Node(i, j)) {
                if (i0 < 0) i0 = i;
                i1 = i;
            }
        if (i0 < 0 || i1 - i0 < 1) continue;
        const bool avenue = g.RowHalf[std::size_t(j)] == AvenueHalf;
        const bool embankment = j == g.RiverRow || j == g.RiverRow + 1;
        std::vector<std::pair<int, int>> parts;
        if (avenue || embankment || i1 - i0 < 17 || ColBound[1] - i0 < 4 || i1 - ColBound[1] < 4) parts.push_back({i0, i1});
        else parts = {{i0, ColBound[1]}, {ColBound[1], i1}};
        for (const auto& [a, b] : parts) {
            const TClass cls = embankment ? TClass::Embankment : avenue ? TClass::Avenue : TClass::Street;
            const int s = newStreet(cls, true, j, a, g.RowPath(j, a, b));
            for (int i = a; i < b; ++i) g.RowPiece(i, j) = s;
        }
    }
    // Columns: avenues cross the river on bridges; the others stop at the
    // embankments and change their name at the far north boundary.
    for (int i = 0; i < g.Cols; ++i) {
        const bool avenue = g.ColHalf[std::size_t(i)] == AvenueHalf;
        std::vector<std::pair<int, int>> runs;
        int start = -1;
        for (int j = 0; j <= g.Rows; ++j) {
            const bool in = j < g.Rows && g.Node(i, j) && !(start >= 0 && !avenue && j == g.RiverRow + 1);
            if (in && start < 0) start = j;
            if (!in && start >= 0) {
                runs.push_back({start, j - 1});
                start = j < g.Rows && g.Node(i, j) ? j : -1;
            }
        }
        for (const auto& [a, b] : runs) {
            if (b - a < 1) continue;
            std::vector<std::pair<int, int>> parts;
            if (!avenue && a < RowBound - 3 && b > RowBound + 3) parts = {{a, RowBound}, {RowBound, b}};
            else parts.push_back({a, b});
            for (const auto& [p, q] : parts) {
                const int s = newStreet(avenue ? TClass::Avenue : TClass::Street, false, i, p, g.ColPath(i, p, q));
                for (int j = p; j < q; ++j) g.ColPiece(i, j) = s;
                if (avenue && i == AvenueCol) CentralAvenue = s;
            }
        }
    }
    // Bridges where the avenues cross the river.
    for (int i = 0; i < g.Cols; ++i) {
        if (g.ColHalf[std::size_t(i)] != AvenueHalf || g.ColPiece(i, g.RiverRow) < 0) continue;
        const double sx = g.Sx(std::min(i, g.Cols - 2), g.RiverRow);
        const double du = (AvenueHalf + 2) / sx;
        TPath ring;
        const double v0 = g.RiverRow - 0.05, v1 = g.RiverRow + 1.05;
        for (int k = 0; k <= 8; ++k) ring.push_back(g.At(i + du, v0 + (v1 - v0) * k / 8));
        for (int k = 8; k >= 0; --k) ring.push_back(g.At(i - du, v0 + (v1 - v0) * k / 8));
        Area(L::Bridges, TSheetKind::Base, ring);
    }
    // Lanes through blocks and dead ends into them.
    std::vector<std::pair<int, int>> cells;
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i)
            if (g.Use[g.Cell(i, j)] == TUse::Block) cells.push_back({i, j});
    R.Shuffle(cells);
    int nl = 0, nd = 0, lanesMade = 0, endsMade = 0;
    for (const auto& [i, j] : cells) {
        const TDistrict& d = Districts[std::size_t(g.District[g.Cell(i, j)])];
        if (d.Type == TDistrictType::Works) continue;
        if (lanesMade < 16 && g.Sx(i, j) > 320) {
            TStreet s;
            s.Class = TClass::Lane;
            s.Row = false;
            s.Grid = &g;
            s.Line0 = -1;
            s.Line = TPath();
            for (int k = 0; k <= 4; ++k) s.Line.push_back(g.At(i + 0.5, j + k / 4.0));
            s.Name = TakeName(lanes, "ПЕР. ", nl);
            s.Link = int(Streets.size()) + 1;
            Streets.push_back(std::move(s));
            // The cell remembers its lane (street index + 1) above its
            // district, and a dead end above that: MakeBlocks takes them.
            g.District[g.Cell(i, j)] += 1000 * (int(Streets.size()));
            ++lanesMade;
        } else if (endsMade < 10 && g.Sy(i, j) > 240 && g.Sx(i, j) > 240) {
            TStreet s;
            s.Class = TClass::DeadEnd;
            s.Row = false;
            s.Grid = &g;
            s.Line0 = -1;
            for (int k = 0; k <= 3; ++k) s.Line.push_back(g.At(i + 0.5, j + 0.42 * k / 3.0));
            s.Name = TakeName(ends, "ТУПИК ", nd);
            s.Link = int(Streets.size()) + 1;
            Streets.push_back(std::move(s));
            g.District[g.Cell(i, j)] += 1000 * 1000 * (int(Streets.size()));
            ++endsMade;
        }
        if (lanesMade >= 16 && endsMade >= 10) break;
    }
}

void TBuilder::MakeTown()
{
    TTownGrid& g = Town;
    g.Init(9, 6);
    const int mainRow = 2;
    g.RowHalf[mainRow] = AvenueHalf;
    for (int j = 0; j < g.Rows - 1; ++j)
        for (int i = 0; i < g.Cols - 1; ++i) {
            g.Use[g.Cell(i, j)] = TUse::Block;
            g.District[g.Cell(i, j)] = int(Districts.size()) - 1;
        }
    g.Use[g.Cell(4, 2)] = TUse::Square;
    g.Use[g.Cell(1, 3)] = TUse::Park;
    g.Use[g.Cell(6, 0)] = TUse::Park;
}

void TBuilder::MakeTownStreets()
{
    TTownGrid& g = Town;
    std::vector<std::string> names;
    for (const std::string& n : TownStreetNames())
        if (n != "УЛ. СОВЕТСКАЯ") names.push_back(n);
    std::size_t k = 0;
    auto add = [&](TClass cls, bool row, int line, TPath path, std::string name) {
        TStreet s;
        s.Class = cls;
        s.Row = row;
        s.Line0 = line;
        s.Grid = &g;
        s.Line = std::move(path);
        s.Town = true;
        s.Name = std::move(name);
        s.Link = int(Streets.size()) + 1;
        Streets.push_back(std::move(s));
        return int(Streets.size()) - 1;
    };
    for (int j = 0; j < g.Rows; ++j) {
        const bool main = g.RowHalf[std::size_t(j)] == AvenueHalf;
        const int s = add(main ? TClass::Avenue : TClass::Street, true, j, g.RowPath(j, 0, g.Cols - 1),
                          main ? "УЛ. СОВЕТСКАЯ" : names[k++ % names.size()]);
        for (int i = 0; i < g.Cols - 1; ++i) g.RowPiece(i, j) = s;
    }
    for (int i = 0; i < g.Cols; ++i) {
        const int s = add(TClass::Street, false, i, g.ColPath(i, 0, g.Rows - 1), names[k++ % names.size()]);
        for (int j = 0; j < g.Rows - 1; ++j) g.ColPiece(i, j) = s;
    }
    TPath lane;
    for (int q = 0; q <= 4; ++q) lane.push_back(g.At(2.5, 3 + q / 4.0));
    add(TClass::Lane, false, -1, lane, "ПЕР. ТИХИЙ");
    g.District[g.Cell(2, 3)] += 1000 * int(Streets.size());
    TPath end;
    for (int q = 0; q <= 3; ++q) end.push_back(g.At(5.5, 4 + 0.45 * q / 3.0));
    add(TClass::DeadEnd, false, -1, end, "ТУПИК ГЛУХОЙ");
    g.District[g.Cell(5, 4)] += 1000 * 1000 * int(Streets.size());
}

TPlan TBuilder::Run()
{
    Out.Seed = Seed;
    // Buildings and their numbers, and some twenty thousand other objects:
    // growing the list would move every feature again and again.
    Out.Features.reserve(std::size_t(Budget * 2.5) + 20000);
    Out.WorldW = WorldW;
    Out.WorldH = WorldH;
    MakeRiver();
    MakeCityGrid();
    MakeDistricts();
    MakeRailway();
    ChooseCellUses();
    MakeCityStreets();
    MakeTown();
    MakeTownStreets();
    MakeBlocks(City, false);
    MakeBlocks(Town, true);
    MakeAreas(City, false);
    MakeAreas(Town, true);
    LayOutBuildings();
    MakeWaterAndNames();
    MakeTransport();
    NumberHouses();
    MakePlaces();
    // Ordinary buildings (public ones are objects of their own).
    for (const TBlock& b : Blocks)
        for (std::size_t k = b.First; k < b.First + b.Count; ++k) {
            const TBuilding& h = Buildings[k];
            if (h.Public) continue;
            Add(b.Style == TStyle::Industrial ? L::Works : L::Houses, TSheetKind::Detail).Points = h.Ring;
            ++Governed;
        }
    // Points on numbered houses get their address.
    for (const auto& [feature, building] : Housed) {
        const TBuilding& h = Buildings[building];
        if (HouseLabel[building] != SIZE_MAX) Labels.Houses[HouseLabel[building]].Sign = true;
        if (h.Street < 0 || HouseNumbers[building].empty()) continue;
        const TStreet& street = Streets[std::size_t(h.Street)];
        // The second town's addresses say so first.
        Out.Features[feature].Address = (street.Town ? std::string(TownName) + ", " : std::string()) + street.Name +
                                        ", " + HouseNumbers[building];
    }
    MakeScan();
    MakeNav();
    CollectLabels();
    Governed += PlaceLabels(Labels, Out.Features);
    int town = 0, city = 0;
    for (const TStreet& s : Streets) (s.Town ? town : city)++;
    Out.StreetCount = city;
    Out.TownStreetCount = town;
    Out.DistrictCount = int(Districts.size()) - 1;
    Out.BuildingCount = int(Buildings.size());
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const TBlock& b : Blocks)
        if (!b.Town)
            for (const TPt& p : b.Ring()) {
                x0 = std::min(x0, p.X);
                y0 = std::min(y0, p.Y);
                x1 = std::max(x1, p.X);
                y1 = std::max(y1, p.Y);
            }
    Out.CityX0 = std::floor(x0 / 100) * 100 - 200;
    Out.CityY0 = std::floor(y0 / 100) * 100 - 200;
    Out.CityX1 = std::ceil(x1 / 100) * 100 + 200;
    Out.CityY1 = std::ceil(y1 / 100) * 100 + 200;
    Out.TownX0 = TownCentre.X - 1500;
    Out.TownY0 = TownCentre.Y - 1300;
    Out.TownX1 = TownCentre.X + 1500;
    Out.TownY1 = TownCentre.Y + 1300;
    return std::move(Out);
}

} // namespace plan

TPlan MakePlan(uint32_t seed, int32_t objects)
{
    objects = std::clamp(objects, MinObjects, MaxObjects);
    // The buildings and their numbers take what the rest of the city leaves.
    // Blocks fill up unevenly, so the budget is corrected until the count
    // comes within a percent or two (the passes are deterministic).
    double budget = std::max(1000.0, objects * 0.5);
    for (int pass = 0;; ++pass) {
        plan::TBuilder builder(seed, budget);
        TPlan p = builder.Run();
        const double total = double(p.Features.size());
        const double governed = double(builder.Governed);
        if (pass == 3 || std::fabs(total - objects) <= objects * 0.015 || governed <= 0) return p;
        const double wanted = std::max(100.0, objects - (total - governed));
        budget = std::max(200.0, budget * wanted / governed);
    }
}

} // namespace tarn::city
