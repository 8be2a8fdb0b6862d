// The demo city's geometry: a river with embankments, a street grid that
// follows it, districts, blocks with buildings, parks, squares, a railway
// and tram lines, places of interest, labels, and the small town of
// Вербинск north-east of the city.
#include "CityPlan.h"

#include "CityGeometry.h"
#include "CityLabels.h"
#include "CityNames.h"
#include "CityStyle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <set>

namespace tarn::city {

namespace {

// ---------------------------------------------------------------- the world

constexpr double WorldW = 21000;
constexpr double WorldH = 13000;
constexpr TPt CityCentre{7000, 6300};
constexpr double CityA = 6000;  // half width of the city's outline
constexpr double CityB = 4500;  // half height
constexpr TPt TownCentre{18000, 10750};
constexpr double TownTurn = 20 * Pi / 180;

// Half widths of the roadway plus the pavement, metres.
constexpr double AvenueHalf = 11 + 6;
constexpr double StreetHalf = 5.5 + 4.5;
constexpr double LaneHalf = 3.5 + 3;

// The city's name on the map.
constexpr const char* CityLabel = "ЛИСТОГРАД";
// Roads' own lines among the lines labels keep off, above the streets'.
constexpr int RoadLinks = 1000000;

struct TRiver {
    double Y0 = 6200, A1 = 350, L1 = 11000, P1 = 0.8, A2 = 100, L2 = 4300, P2 = 2.0;
    double Y(double x) const { return Y0 + A1 * std::sin(2 * Pi * x / L1 + P1) + A2 * std::sin(2 * Pi * x / L2 + P2); }
    double Half(double x) const { return 110 + 40 * x / WorldW; }
};

enum class TUse : uint8_t { None, Block, Park, Square, Industry, Waste, River, Stadium };
enum class TStyle : uint8_t { Perimeter, Slabs, Houses, Industrial };
enum class TDistrictType : uint8_t { Centre, Mixed, Estates, Houses, Works };
enum class TClass : uint8_t { Avenue, Street, Embankment, Lane, DeadEnd };

// ---------------------------------------------------------------- grids

// A street grid: lines u = 0..Cols-1 and v = 0..Rows-1 mapped onto the
// world, nodes where they cross, cells between them.
class TGrid {
public:
    virtual ~TGrid() = default;
    virtual TPt At(double u, double v) const = 0;

    void Init(int cols, int rows)
    {
        Cols = cols;
        Rows = rows;
        In.assign(std::size_t(cols * rows), 1);
        ColHalf.assign(std::size_t(cols), StreetHalf);
        RowHalf.assign(std::size_t(rows), StreetHalf);
        RowSeg.assign(std::size_t((cols - 1) * rows), -1);
        ColSeg.assign(std::size_t(cols * (rows - 1)), -1);
        Use.assign(std::size_t((cols - 1) * (rows - 1)), TUse::None);
        District.assign(Use.size(), -1);
    }
    bool Node(int i, int j) const { return i >= 0 && j >= 0 && i < Cols && j < Rows && In[std::size_t(j * Cols + i)]; }
    std::size_t Cell(int i, int j) const { return std::size_t(j * (Cols - 1) + i); }
    bool HasCell(int i, int j) const { return i >= 0 && j >= 0 && i < Cols - 1 && j < Rows - 1; }
    TUse UseOf(int i, int j) const { return HasCell(i, j) ? Use[Cell(i, j)] : TUse::None; }
    // The street of row j between nodes i and i + 1, of column i between j and j + 1.
    int& RowPiece(int i, int j) { return RowSeg[std::size_t(j * (Cols - 1) + i)]; }
    int& ColPiece(int i, int j) { return ColSeg[std::size_t(i * (Rows - 1) + j)]; }
    double Sx(int i, int j) const { return Dist(At(i, j + 0.5), At(i + 1, j + 0.5)); }
    double Sy(int i, int j) const { return Dist(At(i + 0.5, j), At(i + 0.5, j + 1)); }
    TPt DirU(double u, double v) const { return Unit(At(u + 0.01, v) - At(u - 0.01, v)); }
    TPt DirV(double u, double v) const { return Unit(At(u, v + 0.01) - At(u, v - 0.01)); }
    TPath RowPath(int j, double u0, double u1) const
    {
        TPath p;
        const int n = std::max(1, int(std::ceil((u1 - u0) * 4)));
        for (int k = 0; k <= n; ++k) p.push_back(At(u0 + (u1 - u0) * k / n, j));
        return p;
    }
    TPath ColPath(int i, double v0, double v1) const
    {
        TPath p;
        const int n = std::max(1, int(std::ceil((v1 - v0) * 4)));
        for (int k = 0; k <= n; ++k) p.push_back(At(i, v0 + (v1 - v0) * k / n));
        return p;
    }
    // The outline of a set of cells (the longest ring), sampled along the lines.
    TPath Outline(const std::vector<uint8_t>& set) const;

    int Cols = 0, Rows = 0;
    std::vector<uint8_t> In;
    std::vector<double> ColHalf, RowHalf;
    std::vector<int> RowSeg, ColSeg;
    std::vector<TUse> Use;
    std::vector<int> District;
};

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

// The city: rows follow the river (the river flows between the two
// embankment rows), columns are gently waved.
class TCityGrid : public TGrid {
public:
    TRiver River;
    std::vector<double> Bx, Amp, Phase;  // columns
    std::vector<double> E;               // rows: offset from their embankment
    std::vector<int> Side;               // rows: -1 south of the river, 1 north
    int RiverRow = -1;                   // the river lies between RiverRow and RiverRow + 1

    double ColX(int i, double y) const { return Bx[std::size_t(i)] + Amp[std::size_t(i)] * std::sin(2 * Pi * y / 7000 + Phase[std::size_t(i)]); }
    double RowY(int j, double x) const
    {
        const double e = E[std::size_t(j)];
        const double f = 0.3 + 0.7 * std::exp(-std::fabs(e) / 2200);
        return River.Y0 + Side[std::size_t(j)] * (River.Half(x) + 45) + e + (River.Y(x) - River.Y0) * f;
    }
    TPt At(double u, double v) const override
    {
        u = std::clamp(u, 0.0, double(Cols - 1));
        v = std::clamp(v, 0.0, double(Rows - 1));
        const int i = std::min(int(u), Cols - 2), j = std::min(int(v), Rows - 2);
        const double fu = u - i, fv = v - j;
        double x = Bx[std::size_t(i)] + (Bx[std::size_t(i) + 1] - Bx[std::size_t(i)]) * fu, y = 0;
        for (int k = 0; k < 8; ++k) {
            y = RowY(j, x) + (RowY(j + 1, x) - RowY(j, x)) * fv;
            x = ColX(i, y) + (ColX(i + 1, y) - ColX(i, y)) * fu;
        }
        y = RowY(j, x) + (RowY(j + 1, x) - RowY(j, x)) * fv;
        return {x, y};
    }
};

// The town: a straight grid turned a little.
class TTownGrid : public TGrid {
public:
    double CellW = 240, CellH = 205;
    TPt At(double u, double v) const override
    {
        const double lx = (u - (Cols - 1) / 2.0) * CellW, ly = (v - (Rows - 1) / 2.0) * CellH;
        return {TownCentre.X + lx * std::cos(TownTurn) - ly * std::sin(TownTurn),
                TownCentre.Y + lx * std::sin(TownTurn) + ly * std::cos(TownTurn)};
    }
};

// ---------------------------------------------------------------- districts

struct TDistrict {
    std::string Name;
    TDistrictType Type;
    int Tint;  // 0..2: the library fill 1..3
};

struct TStreet {
    std::string Name;
    TClass Class = TClass::Street;
    TPath Line;
    bool Town = false;
    int Link = 0;
    bool Row = true;      // numbered along u (rows) or v (columns)
    const TGrid* Grid = nullptr;
    int Line0 = 0;        // the row or column index; -1 lanes, -2 squares
    int From = 0;         // the first crossing along it (the column or row index)
    TPath Square;         // a square's outline, labelled inside
    TPt SquareDir{1, 0};
    TPt SquareSign{0, 0};
};

struct TBuilding {
    TPath Ring;
    TPt Centre;
    double Area = 0;
    int Street = -1;      // the street it fronts, for its number
    double Pos = 0;       // along that street
    int Side = 0;
    TPt Dir;              // of that street
    bool Front = false;
    bool Taken = false;   // given to a place of interest
    bool Public = false;  // became a public building
};

struct TBlock {
    const TGrid* Grid = nullptr;
    int I = 0, J = 0;
    double U0 = 0, U1 = 0, V0 = 0, V1 = 0;
    double Sx = 1, Sy = 1;     // metres per unit of u and v
    TStyle Style = TStyle::Perimeter;
    int District = 0;
    int Streets[4] = {-1, -1, -1, -1};  // below (v0), above (v1), left (u0), right (u1)
    double Weight = 0;
    int Quota = 0;
    bool Stub = false;         // a dead end comes in from below at StubS
    double StubS = 0, StubT = 0;
    bool Town = false;
    std::size_t First = 0, Count = 0;  // its buildings
    uint32_t Key = 0;          // seeds its own random source
    double W() const { return (U1 - U0) * Sx; }
    double H() const { return (V1 - V0) * Sy; }
    TPt World(double s, double t) const { return Grid->At(U0 + s / Sx, V0 + t / Sy); }
    TPath Ring() const
    {
        TPath p;
        const int n = 3;
        for (int k = 0; k < n; ++k) p.push_back(World(W() * k / n, 0));
        for (int k = 0; k < n; ++k) p.push_back(World(W(), H() * k / n));
        for (int k = 0; k < n; ++k) p.push_back(World(W() * (n - k) / n, H()));
        for (int k = 0; k < n; ++k) p.push_back(World(0, H() * (n - k) / n));
        return p;
    }
};

// Kinds of places of interest: layer, library sign, label of the building
// (public buildings only: null for a sign on an ordinary building).
struct TPoiKind {
    L Layer;
    int32_t Sign;
    const char* Building;  // UTF-8, "%d" for a number
    uint32_t Fill;
};

const TPoiKind Hospital{L::Medicine, 1, "БОЛЬНИЦА № %d", Rgb(244, 196, 196)};
const TPoiKind Pharmacy{L::Medicine, 6, nullptr, 0};
const TPoiKind Dentist{L::Medicine, 46, nullptr, 0};
const TPoiKind Vet{L::Medicine, 47, nullptr, 0};
const TPoiKind School{L::Education, 2, "ШКОЛА № %d", Rgb(250, 205, 150)};
const TPoiKind Kindergarten{L::Education, 30, "ДЕТСКИЙ САД № %d", Rgb(250, 222, 160)};
const TPoiKind LibraryPoi{L::Education, 19, "БИБЛИОТЕКА № %d", Rgb(220, 205, 235)};
const TPoiKind University{L::Education, 31, "УНИВЕРСИТЕТ", Rgb(230, 200, 160)};
const TPoiKind Shop{L::Trade, 3, nullptr, 0};
const TPoiKind Market{L::Trade, 29, "РЫНОК", Rgb(250, 226, 170)};
const TPoiKind Cafe{L::Trade, 11, nullptr, 0};
const TPoiKind Restaurant{L::Trade, 21, nullptr, 0};
const TPoiKind Bank{L::Trade, 4, nullptr, 0};
const TPoiKind Post{L::Trade, 5, nullptr, 0};
const TPoiKind Atm{L::Trade, 50, nullptr, 0};
const TPoiKind Barber{L::Trade, 48, nullptr, 0};
const TPoiKind Laundry{L::Trade, 49, nullptr, 0};
const TPoiKind Fuel{L::Trade, 16, nullptr, 0};
const TPoiKind CarService{L::Trade, 57, nullptr, 0};
const TPoiKind Museum{L::Culture, 8, "МУЗЕЙ", Rgb(226, 200, 232)};
const TPoiKind Theatre{L::Culture, 9, "ТЕАТР", Rgb(236, 196, 220)};
const TPoiKind Cinema{L::Culture, 20, "КИНОТЕАТР", Rgb(226, 204, 236)};
const TPoiKind Church{L::Culture, 7, "ЦЕРКОВЬ", Rgb(236, 226, 196)};
const TPoiKind Gym{L::Culture, 60, "СПОРТКОМПЛЕКС", Rgb(200, 228, 200)};
const TPoiKind Pool{L::Culture, 54, "БАССЕЙН", Rgb(196, 222, 240)};
const TPoiKind Stadium{L::Culture, 22, "СТАДИОН", Rgb(196, 226, 190)};
const TPoiKind Police{L::Authorities, 17, "ОТДЕЛ ПОЛИЦИИ", Rgb(200, 210, 235)};
const TPoiKind Fire{L::Authorities, 18, "ПОЖАРНАЯ ЧАСТЬ", Rgb(240, 200, 190)};
const TPoiKind Court{L::Authorities, 33, "СУД", Rgb(212, 206, 230)};
const TPoiKind TownHall{L::Authorities, 32, "АДМИНИСТРАЦИЯ ГОРОДА", Rgb(220, 200, 236)};
const TPoiKind Factory{L::Trade, 34, nullptr, 0};

struct TPoiChance {
    const TPoiKind* Kind;
    double P;
};

const std::vector<TPoiChance>& PoiChances(TStyle style, bool centre)
{
    static const std::vector<TPoiChance> perimeter = {
        {&Shop, 0.32}, {&Cafe, 0.14}, {&Pharmacy, 0.11}, {&Bank, 0.05}, {&Atm, 0.05}, {&Post, 0.04},
        {&Restaurant, 0.05}, {&Barber, 0.04}, {&Dentist, 0.04}, {&LibraryPoi, 0.02}, {&Cinema, 0.015},
        {&Police, 0.015}, {&School, 0.05}, {&Kindergarten, 0.05}, {&Hospital, 0.012}, {&Church, 0.015},
        {&Court, 0.006}, {&Laundry, 0.02},
    };
    static const std::vector<TPoiChance> centrePerimeter = {
        {&Shop, 0.30}, {&Cafe, 0.2}, {&Restaurant, 0.1}, {&Bank, 0.08}, {&Atm, 0.06}, {&Post, 0.04},
        {&Pharmacy, 0.1}, {&Museum, 0.06}, {&Theatre, 0.03}, {&Cinema, 0.03}, {&LibraryPoi, 0.03},
        {&Church, 0.03}, {&Court, 0.015}, {&Police, 0.02}, {&School, 0.04}, {&Barber, 0.04},
    };
    static const std::vector<TPoiChance> slabs = {
        {&School, 0.13}, {&Kindergarten, 0.15}, {&Shop, 0.24}, {&Pharmacy, 0.09}, {&Post, 0.035},
        {&Hospital, 0.018}, {&Gym, 0.03}, {&Pool, 0.01}, {&LibraryPoi, 0.02}, {&Police, 0.012},
        {&Fire, 0.008}, {&Atm, 0.03}, {&Laundry, 0.03}, {&Vet, 0.01}, {&Cafe, 0.04},
    };
    static const std::vector<TPoiChance> houses = {
        {&Shop, 0.12}, {&School, 0.04}, {&Kindergarten, 0.04}, {&Church, 0.015}, {&CarService, 0.04},
        {&Post, 0.02}, {&Vet, 0.01}, {&Pharmacy, 0.03},
    };
    static const std::vector<TPoiChance> works = {
        {&Factory, 0.35}, {&CarService, 0.1}, {&Fuel, 0.06}, {&Fire, 0.03},
    };
    switch (style) {
    case TStyle::Perimeter: return centre ? centrePerimeter : perimeter;
    case TStyle::Slabs: return slabs;
    case TStyle::Houses: return houses;
    case TStyle::Industrial: return works;
    }
    return perimeter;
}

// ---------------------------------------------------------------- the builder

class TBuilder {
public:
    TBuilder(uint32_t seed, double budget) : R(seed), Seed(seed), Budget(budget) {}
    TPlan Run();
    // Buildings and house numbers made (what the budget governs).
    int64_t Governed = 0;

private:
    TFeature& Add(L layer, TSheetKind sheet)
    {
        Out.Features.emplace_back();
        TFeature& f = Out.Features.back();
        f.Layer = int(layer);
        f.Sheet = sheet;
        return f;
    }
    TFeature& AddNav(NL layer)
    {
        Out.Nav.emplace_back();
        TFeature& f = Out.Nav.back();
        f.Layer = int(layer);
        return f;
    }
    void Area(L layer, TSheetKind sheet, TPath ring) { Add(layer, sheet).Points = std::move(ring); }
    void Line(L layer, TSheetKind sheet, TPath line, int link = 0)
    {
        TFeature& f = Add(layer, sheet);
        f.Points = std::move(line);
        f.Link = link;
    }
    TFeature& Sign(L layer, TSheetKind sheet, TPt at, int32_t sign, int32_t size = PoiSignSize)
    {
        // The object database points at the places of interest at every
        // scale, so they live on the places' sheet, which both levels load.
        if (sheet == TSheetKind::Detail && IsPlaceOfInterest(layer)) sheet = TSheetKind::Places;
        TFeature& f = Add(layer, sheet);
        f.At = at;
        f.Sign = sign;
        f.Size = size;
        return f;
    }

    void MakeRiver();
    void MakeCityGrid();
    void MakeDistricts();
    void MakeRailway();
    void ChooseCellUses();
    void MakeCityStreets();
    void MakeTown();
    void MakeTownStreets();
    void MakeBlocks(TGrid& g, bool town);
    void MakeAreas(TGrid& g, bool town);
    void LayOutBuildings();
    void LayOut(TBlock& b, std::vector<TBuilding>& out);
    void Perimeter(TBlock& b, TRng& r, int q, std::vector<TBuilding>& out);
    void Grid(TBlock& b, TRng& r, int q, double s0, double t0, double s1, double t1, double aspect, double fx,
              double fy, bool front, std::vector<TBuilding>& out);
    void Put(TBlock& b, TRng& r, double s0, double t0, double s1, double t1, int side, std::vector<TBuilding>& out);
    bool Excluded(const TBlock& b, TPt c, const TPath& ring, double s0, double t0, double s1) const;
    void NumberHouses();
    void MakePlaces();
    void CollectLabels();
    void MakeTransport();
    void MakeWaterAndNames();
    void MakeSpecialPlaces();
    void MakeScan();
    void MakeNav();
    std::string Numbered(const char* pattern, int n) const;
    std::string TakeName(std::vector<std::string>& pool, const std::string& prefix, int& counter);

    TRng R;
    uint32_t Seed;
    TLabelInput Labels;   // what the labels are placed on, gathered on the way
    double Budget;
    TPlan Out;
    TCityGrid City;
    TTownGrid Town;
    std::vector<TDistrict> Districts;
    std::vector<TStreet> Streets;
    std::vector<TBlock> Blocks;
    std::vector<TBuilding> Buildings;
    TPath Railway;
    TPt Station, StationDir;
    std::vector<std::pair<TPt, double>> KeepClear;  // circles with no buildings
    int AvenueCol = 0;         // the column through the centre
    int ColBound[3] = {0, 0, 0};
    int RowBound = 0;          // first row of the far north districts
    int SquareCount = 0;
    int ParkNo = 0;
    std::map<const TPoiKind*, int> Numbers;
};

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
            s.Name = TakeName(avenues, full ? "ПРОСПЕКТ " : "ПР. ", na);
        } else if (cls == TClass::Embankment) {
            s.Name = g.Side[std::size_t(line)] > 0 ? "НАБЕРЕЖНАЯ ЛИСТВЫ" : "НАБЕРЕЖНАЯ ЗАРЕЧНАЯ";
        } else {
            std::string n = TakeName(streets, "", ns);
            s.Name = R.Chance(0.12) ? n + " УЛ." : "УЛ. " + n;
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
            if (use == TUse::Industry) b.Style = TStyle::Industrial;
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
                    Sign(L::Culture, TSheetKind::Detail, c, 24);
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
                Sign(L::Culture, TSheetKind::Detail, s.SquareSign, town ? 29 : 25);
                if (town) {
                    TBlock& market = cell;
                    TFeature& f = Add(L::PublicBuildings, TSheetKind::Detail);
                    f.Points = {market.World(20, 20), market.World(80, 20), market.World(80, 55), market.World(20, 55)};
                    f.Colour = Market.Fill;
                    f.Colour2 = Rgb(150, 120, 90);
                    f.Style = -1;
                    f.Text = Market.Building;
                    Sign(L::Trade, TSheetKind::Detail, Centroid(f.Points), Market.Sign);
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
                Sign(L::Culture, TSheetKind::Detail, c, Stadium.Sign);
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
    if (!b.Town) {
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
    if (side >= 0 && b.Streets[side] >= 0) {
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
            if (hash % 23 == 0) text += "А";
            else if (hash % 31 == 0) text += "/1";
            n += 2;
            Labels.Houses.push_back({text, h.Ring, st.Link});
        }
    }
}

void TBuilder::MakePlaces()
{
    // Places of interest on the blocks' buildings: big ones become public
    // buildings with their name, the others carry a sign.
    auto publicBuilding = [&](TBuilding& h, const TPoiKind& k, const std::string& name) {
        h.Taken = true;
        h.Public = true;
        TFeature& f = Add(L::PublicBuildings, TSheetKind::Detail);
        f.Points = h.Ring;
        f.Colour = k.Fill;
        f.Colour2 = Rgb(120, 100, 110);
        f.Style = -1;
        f.Text = name;
        Sign(k.Layer, TSheetKind::Detail, h.Centre, k.Sign).Name = name;
    };
    // The biggest free building, one standing in the courtyard first.
    auto biggest = [&](TBlock& b) -> TBuilding* {
        TBuilding* best = nullptr;
        for (std::size_t k = b.First; k < b.First + b.Count; ++k) {
            const TBuilding& h = Buildings[k];
            if (h.Taken) continue;
            if (!best || (!h.Front && best->Front) || (h.Front == best->Front && h.Area > best->Area))
                best = &Buildings[k];
        }
        return best;
    };
    auto anyFront = [&](TBlock& b, TRng& r) -> TBuilding* {
        std::vector<TBuilding*> list;
        for (std::size_t k = b.First; k < b.First + b.Count; ++k)
            if (!Buildings[k].Taken && Buildings[k].Front) list.push_back(&Buildings[k]);
        if (list.empty()) return nullptr;
        return list[std::size_t(r.U() * double(list.size()))];
    };
    // The town hall by the first square, the university and the hotel.
    bool hall = false, university = false;
    int hotels = 0;
    for (TBlock& b : Blocks) {
        if (b.Count == 0) continue;
        TRng r(b.Key ^ 0x27d4eb2du);
        const TDistrict& d = Districts[std::size_t(b.District)];
        const bool centre = d.Type == TDistrictType::Centre;
        if (!b.Town && centre && !hall) {
            bool bySquare = false;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di)
                    if (b.Grid->UseOf(b.I + di, b.J + dj) == TUse::Square) bySquare = true;
            if (bySquare)
                if (TBuilding* h = biggest(b)) {
                    publicBuilding(*h, TownHall, TownHall.Building);
                    hall = true;
                    continue;
                }
        }
        if (!b.Town && !university && d.Name == std::string("ЛЕНИНСКИЙ") && b.Style == TStyle::Perimeter)
            if (TBuilding* h = biggest(b)) {
                publicBuilding(*h, University, "ЛИСТОГРАДСКИЙ УНИВЕРСИТЕТ");
                university = true;
                continue;
            }
        if (!b.Town && centre && hotels < 4 && r.Chance(0.12))
            if (TBuilding* h = anyFront(b, r)) {
                h->Taken = true;
                Sign(L::Hotels, TSheetKind::Detail, h->Centre, 10);
                ++hotels;
            }
        for (const TPoiChance& c : PoiChances(b.Style, centre)) {
            if (!r.Chance(b.Town ? c.P * 1.6 : c.P)) continue;
            const TPoiKind& k = *c.Kind;
            if (k.Building) {
                TBuilding* h = biggest(b);
                if (!h) continue;
                const int n = ++Numbers[&k];
                publicBuilding(*h, k, Numbered(k.Building, n));
            } else {
                TBuilding* h = anyFront(b, r);
                if (!h) continue;
                h->Taken = true;
                Sign(k.Layer, TSheetKind::Detail, h->Centre, k.Sign);
            }
        }
    }
    // The places the object database points at (layer 67, codes 1..8) and
    // the information centres (layer 11; the information tab shows 4698 and
    // 4680): central buildings on avenues.
    struct TInfoCentre {
        int32_t Code;
        const char* Label;
    };
    static const TInfoCentre infoCentres[] = {
        {811, "ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»"}, {4698, "ГОРОДСКАЯ СПРАВОЧНАЯ"}, {4680, "ТУРИСТИЧЕСКОЕ БЮРО"}};
    const int infoCount = int(std::size(infoCentres));
    int placeNo = 0, info = 0;
    for (TBlock& b : Blocks) {
        if (b.Town || Districts[std::size_t(b.District)].Type != TDistrictType::Centre) continue;
        for (std::size_t k = b.First; k < b.First + b.Count && (placeNo < 8 || info < infoCount); ++k) {
            TBuilding& h = Buildings[k];
            if (h.Taken || !h.Front || Streets[std::size_t(h.Street)].Class != TClass::Avenue) continue;
            h.Taken = true;
            if (info < infoCount) {
                TFeature& f = Sign(L::InfoCentres, TSheetKind::Base, h.Centre, 27, 2000);
                f.Code = infoCentres[info].Code;
                f.Text = infoCentres[info].Label;
                f.Name = f.Text;
                ++info;
            } else {
                TFeature& f = Add(L::Places, TSheetKind::Places);
                f.At = h.Centre;
                f.Code = ++placeNo;
            }
            break;
        }
    }
    // Sample user signs near the centre.
    const TPt c = City.At(AvenueCol + 0.5, City.RiverRow + 2.5);
    const int32_t userSigns[3] = {37, 38, 40};
    for (int k = 0; k < 3; ++k) {
        TFeature& f = Sign(L::UserSigns, TSheetKind::UserSigns, c + TPt{k * 90.0 - 90, 40.0 * (k % 2)}, userSigns[k],
                           UserSignSize);
        f.Flags = 0x08;
    }
}

// What the labels are placed on: the streets and squares, the lines their
// names keep off, the named buildings and places.
void TBuilder::CollectLabels()
{
    for (const TStreet& s : Streets) {
        TLabelStreet l;
        l.Name = s.Name;
        l.Town = s.Town;
        l.Link = s.Link;
        l.Main = s.Class == TClass::Avenue || s.Class == TClass::Embankment;
        if (s.Line0 == -2) {
            l.Square = s.Square;
            l.SquareDir = s.SquareDir;
            l.SquareSign = s.SquareSign;
        } else {
            l.Line = s.Line;
            // Half the drawn width: the roadways, and the avenues' casing.
            const bool narrow = s.Class == TClass::Lane || s.Class == TClass::DeadEnd;
            const bool avenue = s.Class == TClass::Avenue;
            Labels.Crossings.push_back({s.Line, avenue ? 11.0 : narrow ? 3.5 : 5.5, avenue ? 2.0 : 1.0, s.Link});
            if (avenue) Labels.Barriers.push_back({s.Line, 11, 2, s.Link});
        }
        Labels.Streets.push_back(std::move(l));
    }
    Labels.Barriers.push_back({Railway, 1.75, 2.5, 0});
    // The names of public buildings, stations and information centres, and
    // the numbers of the roads, placed like the other labels.
    for (const TFeature& f : Out.Features) {
        if (f.Text.empty()) continue;
        switch (L(f.Layer)) {
        case L::PublicBuildings: Labels.Buildings.push_back({f.Text, f.Points, {1, 0}}); break;
        case L::Stations: Labels.Places.push_back({f.Text, f.At, 3}); break;
        case L::InfoCentres: Labels.Places.push_back({f.Text, f.At, 1}); break;
        default: break;
        }
    }
}

void TBuilder::MakeTransport()
{
    // Street lines.
    for (const TStreet& s : Streets) {
        if (s.Line0 == -2) continue;
        L layer = L::Streets;
        if (s.Class == TClass::Avenue) layer = L::Avenues;
        if (s.Class == TClass::Lane || s.Class == TClass::DeadEnd) layer = L::Lanes;
        Line(layer, TSheetKind::Base, s.Line, s.Link);
        if (s.Class == TClass::Avenue) AddNav(NL::Avenues).Points = s.Line;
    }
    // The railway, its stations and the navigator's copy.
    Line(L::Railway, TSheetKind::Base, Railway);
    AddNav(NL::Railway).Points = Railway;
    {
        TFeature& station = Add(L::PublicBuildings, TSheetKind::Detail);
        const TPt c = Station - Perp(StationDir) * 45;
        const TPt a = StationDir * 55, n = Perp(StationDir) * 14;
        station.Points = {c - a - n, c + a - n, c + a + n, c - a + n};
        station.Colour = Rgb(236, 214, 190);
        station.Colour2 = Rgb(120, 100, 110);
        station.Style = -1;
        station.Text = "ВОКЗАЛ ЛИСТОГРАД-ПАССАЖИРСКИЙ";
        Out.StationBuilding = int(Out.Features.size()) - 1;
        TFeature& sign = Sign(L::Stations, TSheetKind::Base, c, 14, StationSignSize);
        sign.Text = "ЛИСТОГРАД-ПАССАЖИРСКИЙ";
        Out.StationSign = int(Out.Features.size()) - 1;
        // Its square, labelled with the streets.
        const TPt sq = Station - Perp(StationDir) * 130;
        TPath ring = {sq - a - n * 2.5, sq + a - n * 2.5, sq + a + n * 2.5, sq - a + n * 2.5};
        Area(L::Squares, TSheetKind::Base, ring);
        TStreet s;
        s.Name = "ПЛ. ВОКЗАЛЬНАЯ";
        s.Link = int(Streets.size()) + 1;
        s.Line0 = -2;
        s.Square = ring;
        s.SquareDir = StationDir;
        Streets.push_back(s);
        ++SquareCount;
        Sign(L::Stops, TSheetKind::Detail, sq + StationDir * 80, 12);
        Sign(L::Trade, TSheetKind::Detail, sq - StationDir * 80, 51);
        Sign(L::Trade, TSheetKind::Detail, sq - StationDir * 40 + Perp(StationDir) * 20, 15);
    }
    {
        const TPt t = Town.At(4, -0.9);
        TFeature& sign = Sign(L::Stations, TSheetKind::Base, t, 14, StationSignSize);
        sign.Text = "СТ. ВЕРБИНСК";
        Sign(L::Stations, TSheetKind::Base, {CityCentre.X + 650, 450}, 35, StationSignSize).Text = "АЭРОПОРТ";
        const int jr = City.RiverRow;
        Sign(L::Stations, TSheetKind::Base, City.At(ColBound[2] + 1.5, jr + 1) + TPt{0, -40}, 36, StationSignSize).Text =
            "РЕЧНОЙ ВОКЗАЛ";
    }
    // A tram route up the central avenue from the south, along the avenue
    // row north of the river to the east and up the eastern avenue: every
    // avenue keeps stretches without rails, where its name can lie.
    const int turnRow = City.RiverRow + 4;
    auto avenue = [&](bool row, int line, int cross) -> const TStreet* {
        for (const TStreet& s : Streets) {
            const int last = s.From + int(s.Line.size() - 1) / 4;
            if (!s.Town && s.Class == TClass::Avenue && s.Row == row && s.Line0 == line && s.From <= cross &&
                cross <= last)
                return &s;
        }
        return nullptr;
    };
    // The part of a grid street between two of its crossings.
    auto part = [](const TStreet& s, int from, int to) {
        const std::size_t n = s.Line.size();
        const std::size_t a = std::min(n - 1, std::size_t(std::max(0, (from - s.From) * 4)));
        const std::size_t b = std::min(n - 1, std::size_t(std::max(0, (to - s.From) * 4)));
        return TPath(s.Line.begin() + std::ptrdiff_t(a), s.Line.begin() + std::ptrdiff_t(b) + 1);
    };
    std::vector<std::pair<const TStreet*, TPath>> route;
    const TStreet* south = avenue(false, AvenueCol, turnRow);
    const TStreet* across = avenue(true, turnRow, AvenueCol);
    const TStreet* north = avenue(false, AvenueCol + 8, turnRow);
    if (south) route.push_back({south, part(*south, south->From, turnRow)});
    if (across) route.push_back({across, part(*across, AvenueCol, north ? AvenueCol + 8 : 1 << 20)});
    if (north) route.push_back({north, part(*north, turnRow, 1 << 20)});
    std::vector<int> tram;
    for (const auto& [s, piece] : route) {
        if (piece.size() < 2) continue;
        tram.push_back(s->Link - 1);
        Line(L::Tram, TSheetKind::Base, piece, s->Link);
        Labels.Barriers.push_back({piece, 1.25, 3, 0});
        const double len = PathLength(piece);
        for (double at = 250; at < len - 100; at += 520) {
            const auto [p, d] = PointAlong(piece, at);
            Sign(L::Stops, TSheetKind::Detail, p + Perp(d) * 20, 13);
        }
    }
    // Bus stops along the other avenues.
    for (const TStreet& s : Streets) {
        if (s.Class != TClass::Avenue || std::find(tram.begin(), tram.end(), s.Link - 1) != tram.end()) continue;
        const double len = PathLength(s.Line);
        int side = 1;
        for (double at = 200; at < len - 100; at += 460) {
            const auto [p, d] = PointAlong(s.Line, at);
            Sign(L::Stops, TSheetKind::Detail, p + Perp(d) * (19.0 * side), 12);
            side = -side;
        }
    }
    // Roads out of the city: to Вербинск, to the west and to the south.
    int eastRow = City.RiverRow + 4;
    int i1 = -1, i0 = -1;
    for (int i = 0; i < City.Cols; ++i)
        if (City.Node(i, eastRow)) {
            if (i0 < 0) i0 = i;
            i1 = i;
        }
    auto road = [&](TPath control, const char* number, int values) {
        TFeature& f = Add(L::Roads, TSheetKind::Base);
        f.Points = Smooth(control, 120);
        f.Colour = Rgb(235, 140, 50);
        f.Width = 140;
        f.Style = 0;
        f.Text = number;
        double km = values;
        f.Values.push_back(int32_t(km));
        for (std::size_t k = 1; k < f.Points.size(); ++k) {
            km += Dist(f.Points[k - 1], f.Points[k]) / 1000;
            f.Values.push_back(int32_t(std::lround(km)));
        }
        AddNav(NL::Roads).Points = f.Points;
        // Roads are lines of their own for the labels: their numbers lie on them.
        const int link = RoadLinks + int(Labels.Courses.size());
        Labels.Barriers.push_back({f.Points, 7, 1, link});
        Labels.Courses.push_back({number, f.Points, 6, L::RoadNumbers, link});
    };
    if (i1 >= 0) {
        const TPt e = City.At(i1, eastRow), w = City.At(i0, eastRow);
        const TPt t = Town.At(0, 2);
        road({e, e + TPt{700, 150}, Lerp(e, t, 0.6) + TPt{0, 200}, t - TPt{350, 120}, t}, "А-108", 12);
        road({w, w - TPt{500, -200}, {300, w.Y + 500}, {0, w.Y + 600}}, "Р-22", 34);
    }
    {
        int j0 = -1;
        for (int j = 0; j < City.Rows; ++j)
            if (City.Node(AvenueCol, j)) {
                j0 = j;
                break;
            }
        if (j0 >= 0) {
            const TPt s = City.At(AvenueCol, j0);
            road({s, s - TPt{-200, 500}, {CityCentre.X + 400, 500}, {CityCentre.X + 700, 0}}, "М-10", 101);
        }
    }
    // Survey points at street crossings.
    TRng r(Seed ^ 0x9e3779b9u);
    for (int k = 0; k < 30; ++k) {
        const int i = r.Int(0, City.Cols - 1), j = r.Int(0, City.Rows - 1);
        if (!City.Node(i, j)) continue;
        TFeature& f = Add(L::SurveyPoints, TSheetKind::Detail);
        f.At = City.At(i, j) + TPt{r.Range(-9, 9), r.Range(-9, 9)};
        f.Exact = true;
        f.Extra1 = 11800 + r.Int(0, 2500);  // height, centimetres
        f.Extra2 = 1000 + k;                // the point's number
    }
}

void TBuilder::MakeWaterAndNames()
{
    const TRiver& rv = City.River;
    // The river from edge to edge.
    TPath north, south, centre;
    for (double x = 0; x <= WorldW; x += 100) {
        north.push_back({x, rv.Y(x) + rv.Half(x)});
        south.push_back({x, rv.Y(x) - rv.Half(x)});
        centre.push_back({x, rv.Y(x)});
    }
    TPath ring = north;
    ring.insert(ring.end(), south.rbegin(), south.rend());
    Area(L::Water, TSheetKind::Base, ring);
    AddNav(NL::Water).Points = ring;
    // Embankment walls where the city meets the river.
    for (int j : {City.RiverRow, City.RiverRow + 1}) {
        double x0 = 1e300, x1 = -1e300;
        for (int i = 0; i < City.Cols; ++i)
            if (City.Node(i, j)) {
                x0 = std::min(x0, City.At(i, j).X);
                x1 = std::max(x1, City.At(i, j).X);
            }
        if (x0 > x1) continue;
        const TPath& bank = j == City.RiverRow ? south : north;
        TPath wall;
        for (const TPt& p : bank)
            if (p.X >= x0 && p.X <= x1) wall.push_back(p);
        Line(L::Embankments, TSheetKind::Base, wall);
    }
    Labels.Courses.push_back({RiverName, centre, BandCount - 1});
    // The creek from the north down to the river, east of the city.
    TPath creek = Smooth({{15900, 13000}, {15500, 11600}, {15950, 10200}, {15400, 8400}, {15250, rv.Y(15250)}}, 40);
    Line(L::Streams, TSheetKind::Base, creek);
    Labels.Courses.push_back({CreekName, creek, 5});
    // The lake south-west of the city, outside its outline.
    TPt lake{1700, 1900};
    for (int k = 0; k < 20; ++k) {
        bool clear = true;
        for (const TBlock& b : Blocks)
            if (!b.Town && Dist(b.World(b.W() / 2, b.H() / 2), lake) < 650) clear = false;
        if (clear) break;
        lake = lake - TPt{60, 60};
    }
    TPath lakeRing;
    for (int k = 0; k < 36; ++k) {
        const double a = 2 * Pi * k / 36;
        const double rr = 300 * (1 + 0.12 * std::sin(3 * a + 1) + 0.06 * std::sin(5 * a));
        lakeRing.push_back({lake.X + rr * 1.3 * std::cos(a), lake.Y + rr * std::sin(a)});
    }
    Area(L::Water, TSheetKind::Base, lakeRing);
    AddNav(NL::Water).Points = lakeRing;
    Labels.Lakes.push_back({LakeName, lakeRing, {1, 0}});
    Sign(L::Culture, TSheetKind::Detail, lake + TPt{0, 380}, 58);
    // Woods round the city.
    const struct {
        TPt C;
        double R;
        const char* Name;
    } woods[] = {{{1300, 11700}, 850, "ЛЕСОПАРК СОСНОВЫЙ"},
                 {{12600, 12050}, 700, "БЕРЁЗОВЫЙ ЛЕС"},
                 {{19300, 4300}, 900, "ВЕРБНАЯ РОЩА"},
                 {{4100, 650}, 480, "ЮЖНЫЙ ЛЕСОПАРК"},
                 {{11400, 1150}, 620, "ДУБРАВА"}};
    for (const auto& w : woods) {
        const double p1 = R.Range(0, 2 * Pi), p2 = R.Range(0, 2 * Pi);
        TPath ring;
        for (int k = 0; k < 48; ++k) {
            const double a = 2 * Pi * k / 48;
            const double rr = w.R * (1 + 0.16 * std::sin(3 * a + p1) + 0.08 * std::sin(7 * a + p2));
            ring.push_back({w.C.X + rr * 1.25 * std::cos(a), w.C.Y + rr * std::sin(a)});
        }
        Labels.Woods.push_back({w.Name, ring, {1, 0}});
        Area(L::Parks, TSheetKind::Base, ring);
    }
}

void TBuilder::MakeScan()
{
    TScanArea& s = Out.Scan;
    s.TopLeft = {13900, 4100};
    s.Width = 2200;
    s.Height = 2500;
    s.PixelsW = 1760;
    s.PixelsH = 2000;
    TFeature& f = Add(L::ScannedPlan, TSheetKind::Plan);
    f.At = s.TopLeft;
    f.PictureW = s.Width;
    f.PictureH = s.Height;
    f.Text = "plan.bmp";
    f.Flags = 0x80;
    // The land it shows lies waste for now.
    Area(L::Wasteland, TSheetKind::Base,
         {{s.TopLeft.X - 60, s.TopLeft.Y + 60},
          {s.TopLeft.X + s.Width + 60, s.TopLeft.Y + 60},
          {s.TopLeft.X + s.Width + 60, s.TopLeft.Y - s.Height - 60},
          {s.TopLeft.X - 60, s.TopLeft.Y - s.Height - 60}});
}

void TBuilder::MakeNav()
{
    for (const TFeature& f : Out.Features) {
        if (f.Layer == int(L::Parks) && city::Area(f.Points) > 45000) AddNav(NL::Parks).Points = f.Points;
        if (f.Layer == int(L::Industry)) AddNav(NL::Industry).Points = f.Points;
    }
}

TPlan TBuilder::Run()
{
    Out.Seed = Seed;
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
    MakePlaces();
    // Ordinary buildings (public ones are objects of their own).
    for (const TBlock& b : Blocks)
        for (std::size_t k = b.First; k < b.First + b.Count; ++k) {
            const TBuilding& h = Buildings[k];
            if (h.Public) continue;
            Add(b.Style == TStyle::Industrial ? L::Works : L::Houses, TSheetKind::Detail).Points = h.Ring;
            ++Governed;
        }
    NumberHouses();
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

} // namespace

TPlan MakePlan(uint32_t seed, int32_t objects)
{
    objects = std::clamp(objects, MinObjects, MaxObjects);
    // The buildings and their numbers take what the rest of the city leaves.
    // Blocks fill up unevenly, so the budget is corrected until the count
    // comes within a percent or two (the passes are deterministic).
    double budget = std::max(1000.0, objects * 0.5);
    for (int pass = 0;; ++pass) {
        TBuilder builder(seed, budget);
        TPlan p = builder.Run();
        const double total = double(p.Features.size());
        const double governed = double(builder.Governed);
        if (pass == 3 || std::fabs(total - objects) <= objects * 0.015 || governed <= 0) return p;
        const double wanted = std::max(100.0, objects - (total - governed));
        budget = std::max(200.0, budget * wanted / governed);
    }
}

} // namespace tarn::city
