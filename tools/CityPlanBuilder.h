#pragma once
// The builder of the demo city's geometry, shared by the files that make
// its parts: the world and its grids, streets, blocks and buildings,
// places, transport, waters and the labels' input. Internal to mkcity.
#include "City.h"
#include "CityGeometry.h"
#include "CityLabels.h"
#include "CityNames.h"
#include "CityPlan.h"
#include "CityStyle.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace tarn::city::plan {

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

// How far from its block's edge a house's middle may stand to front the
// street there.
constexpr double FrontDepth = 60;

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

// The city: rows follow the river (the river flows between the two
// embankment rows), columns are gently waved.
class TCityGrid : public TGrid {
public:
    TRiver River;
    std::vector<double> Bx, Amp, Phase;  // columns
    std::vector<double> E;               // rows: offset from their embankment
    std::vector<int> Side;               // rows: -1 south of the river, 1 north
    int RiverRow = -1;                   // the river lies between RiverRow and RiverRow + 1

    std::vector<double> F;               // rows: how much of the river's bends they follow

    double ColX(int i, double y) const { return Bx[std::size_t(i)] + Amp[std::size_t(i)] * std::sin(2 * Pi * y / 7000 + Phase[std::size_t(i)]); }
    // The row's y at x, the river's middle there given.
    double RowY(int j, double x, double river) const
    {
        return River.Y0 + Side[std::size_t(j)] * (River.Half(x) + 45) + E[std::size_t(j)] + (river - River.Y0) * F[std::size_t(j)];
    }
    double RowY(int j, double x) const { return RowY(j, x, River.Y(x)); }
    void Follow()
    {
        F.clear();
        for (double e : E) F.push_back(0.3 + 0.7 * std::exp(-std::fabs(e) / 2200));
    }
    TPt At(double u, double v) const override
    {
        u = std::clamp(u, 0.0, double(Cols - 1));
        v = std::clamp(v, 0.0, double(Rows - 1));
        const int i = std::min(int(u), Cols - 2), j = std::min(int(v), Rows - 2);
        const double fu = u - i, fv = v - j;
        double x = Bx[std::size_t(i)] + (Bx[std::size_t(i) + 1] - Bx[std::size_t(i)]) * fu, y = 0;
        auto rowY = [&] {
            const double river = River.Y(x), y0 = RowY(j, x, river);
            return y0 + (RowY(j + 1, x, river) - y0) * fv;
        };
        for (int k = 0; k < 8; ++k) {
            y = rowY();
            const double c0 = ColX(i, y);
            x = c0 + (ColX(i + 1, y) - c0) * fu;
        }
        y = rowY();
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

// Kinds of places of interest: library sign (which names their layer),
// label of the building (public buildings only: null for a sign on an
// ordinary building).
struct TPoiKind {
    int32_t Sign;
    const char* Building;  // UTF-8, "%d" for a number
    uint32_t Fill;
};

// The kinds that the areas' buildings take (the others live with the places).
extern const TPoiKind Market;
extern const TPoiKind Stadium;

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
    // A point of the sign's own layer.
    TFeature& Sign(TSheetKind sheet, TPt at, int32_t sign) { return Sign(LayerOfSign(sign), sheet, at, sign); }
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
    double RailwayLow = 0, RailwayHigh = 0;  // its lowest and highest point
    TPt Station, StationDir;
    std::vector<std::pair<TPt, double>> KeepClear;  // circles with no buildings
    int AvenueCol = 0;         // the column through the centre
    int CentralAvenue = -1;    // its street
    int ColBound[3] = {0, 0, 0};
    int RowBound = 0;          // first row of the far north districts
    int SquareCount = 0;
    int ParkNo = 0;
    std::map<const TPoiKind*, int> Numbers;
    // Points on buildings (feature, building), given their address once the
    // houses are numbered.
    std::vector<std::pair<std::size_t, std::size_t>> Housed;
    std::vector<std::string> HouseNumbers;  // by building; empty: none
    std::vector<std::size_t> HouseLabel;    // by building: its number's label; SIZE_MAX: none
};

} // namespace tarn::city::plan
