// The demo city's places of interest, transport, waters and woods, the
// scanned plan, the navigator's map, and what its labels are placed on.
#include "CityPlanBuilder.h"

#include <algorithm>

namespace tarn::city::plan {

const TPoiKind Hospital{1, "БОЛЬНИЦА № %d", Rgb(244, 196, 196)};
const TPoiKind Pharmacy{6, nullptr, 0};
const TPoiKind Dentist{46, nullptr, 0};
const TPoiKind Vet{47, nullptr, 0};
const TPoiKind School{2, "ШКОЛА № %d", Rgb(250, 205, 150)};
const TPoiKind Kindergarten{30, "ДЕТСКИЙ САД № %d", Rgb(250, 222, 160)};
const TPoiKind LibraryPoi{19, "БИБЛИОТЕКА № %d", Rgb(220, 205, 235)};
const TPoiKind University{31, "УНИВЕРСИТЕТ", Rgb(230, 200, 160)};
const TPoiKind Shop{3, nullptr, 0};
const TPoiKind Market{29, "РЫНОК", Rgb(250, 226, 170)};
const TPoiKind Cafe{11, nullptr, 0};
const TPoiKind Restaurant{21, nullptr, 0};
const TPoiKind Bank{4, nullptr, 0};
const TPoiKind Post{5, nullptr, 0};
const TPoiKind Atm{50, nullptr, 0};
const TPoiKind Barber{48, nullptr, 0};
const TPoiKind Laundry{49, nullptr, 0};
const TPoiKind Fuel{16, nullptr, 0};
const TPoiKind CarService{57, nullptr, 0};
const TPoiKind Museum{8, "МУЗЕЙ", Rgb(226, 200, 232)};
const TPoiKind Theatre{9, "ТЕАТР", Rgb(236, 196, 220)};
const TPoiKind Cinema{20, "КИНОТЕАТР", Rgb(226, 204, 236)};
const TPoiKind Church{7, "ЦЕРКОВЬ", Rgb(236, 226, 196)};
const TPoiKind Gym{60, "СПОРТКОМПЛЕКС", Rgb(200, 228, 200)};
const TPoiKind Pool{54, "БАССЕЙН", Rgb(196, 222, 240)};
const TPoiKind Stadium{22, "СТАДИОН", Rgb(196, 226, 190)};
const TPoiKind Police{17, "ОТДЕЛ ПОЛИЦИИ", Rgb(200, 210, 235)};
const TPoiKind Fire{18, "ПОЖАРНАЯ ЧАСТЬ", Rgb(240, 200, 190)};
const TPoiKind Court{33, "СУД", Rgb(212, 206, 230)};
const TPoiKind TownHall{32, "АДМИНИСТРАЦИЯ ГОРОДА", Rgb(220, 200, 236)};
const TPoiKind Factory{34, nullptr, 0};

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
        Sign(TSheetKind::Detail, h.Centre, k.Sign).Name = name;
        Housed.push_back({Out.Features.size() - 1, std::size_t(&h - Buildings.data())});
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
    // The places that hand out new data (layer 67, codes 1..8) in the
    // houses of the central avenue that the update window names.
    for (int32_t n = 1; n <= 8; ++n) {
        std::size_t k = 0;
        const std::string number = std::to_string(DistributionHouses[n - 1]);
        while (k < Buildings.size() && !(Buildings[k].Street == CentralAvenue && HouseNumbers[k] == number)) ++k;
        if (k == Buildings.size()) continue;
        TBuilding& h = Buildings[k];
        h.Taken = true;
        TFeature& f = Sign(L::Places, TSheetKind::Places, h.Centre, Shop.Sign);
        f.Code = n;
        Housed.push_back({Out.Features.size() - 1, std::size_t(&h - Buildings.data())});
    }
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
                Sign(TSheetKind::Detail, h->Centre, 10);
                Housed.push_back({Out.Features.size() - 1, std::size_t(h - Buildings.data())});
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
                Sign(TSheetKind::Detail, h->Centre, k.Sign);
                Housed.push_back({Out.Features.size() - 1, std::size_t(h - Buildings.data())});
            }
        }
    }
    // The information centres (layer 11; the information tab shows 4698 and
    // 4680): central buildings on avenues.
    struct TInfoCentre {
        int32_t Code;
        const char* Label;
    };
    static const TInfoCentre infoCentres[] = {
        {811, "ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»"}, {4698, "ГОРОДСКАЯ СПРАВОЧНАЯ"}, {4680, "ТУРИСТИЧЕСКОЕ БЮРО"}};
    std::size_t info = 0;
    for (TBlock& b : Blocks) {
        if (b.Town || Districts[std::size_t(b.District)].Type != TDistrictType::Centre) continue;
        for (std::size_t k = b.First; k < b.First + b.Count && info < std::size(infoCentres); ++k) {
            TBuilding& h = Buildings[k];
            if (h.Taken || !h.Front || Streets[std::size_t(h.Street)].Class != TClass::Avenue) continue;
            h.Taken = true;
            TFeature& f = Sign(L::InfoCentres, TSheetKind::Base, h.Centre, 27);
            f.Code = infoCentres[info].Code;
            f.Text = infoCentres[info].Label;
            f.Name = f.Text;
            Housed.push_back({Out.Features.size() - 1, k});
            ++info;
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
// names keep off, the named buildings and places, the signs.
void TBuilder::CollectLabels()
{
    // The last band whose avenues are drawn with their casing.
    int cased = 0;
    while (cased + 1 < BandCount && StyleOf(L::Avenues).ScaleLimit > BandBottom(cased + 1)) ++cased;
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
            l.Half = avenue ? 11.0 : narrow ? 3.5 : 5.5;
            l.Cased = avenue;
            Labels.Crossings.push_back({s.Line, l.Half, avenue ? 2.0 : 1.0, s.Link});
            if (avenue) Labels.Barriers.push_back({s.Line, 11, 2, s.Link, cased});
        }
        Labels.Streets.push_back(std::move(l));
    }
    Labels.Barriers.push_back({Railway, 1.75, 2.5, 0});
    // The names of public buildings, stations and information centres, and
    // the numbers of the roads, placed like the other labels; the signs.
    for (const TFeature& f : Out.Features) {
        const L layer = L(f.Layer);
        if (layer >= L::Hospitals && layer <= L::UserSigns)
            Labels.Signs.push_back({f.At, SignMillimetres(layer), layer == L::UserSigns, StyleOf(layer).ScaleLimit});
        if (f.Text.empty()) continue;
        if (layer == L::PublicBuildings) Labels.Buildings.push_back({f.Text, f.Points, {1, 0}});
        else if (layer == L::InfoCentres) Labels.Places.push_back({f.Text, f.At, 1, SignMillimetres(layer)});
        else if (IsStation(layer)) Labels.Places.push_back({f.Text, f.At, 3, SignMillimetres(layer)});
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
        if (s.Class == TClass::Avenue) {
            Line(L::AvenueLines, TSheetKind::Base, s.Line, s.Link);
            AddNav(NL::Avenues).Points = s.Line;
        }
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
        TFeature& sign = Sign(TSheetKind::Base, c, 14);
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
        Sign(TSheetKind::Detail, sq + StationDir * 80, 12);
        Sign(TSheetKind::Detail, sq - StationDir * 80, 51);
        Sign(TSheetKind::Detail, sq - StationDir * 40 + Perp(StationDir) * 20, 15);
    }
    {
        const TPt t = Town.At(4, -0.9);
        TFeature& sign = Sign(TSheetKind::Base, t, 14);
        sign.Text = "СТ. ВЕРБИНСК";
        Sign(TSheetKind::Base, {CityCentre.X + 650, 450}, 35).Text = "АЭРОПОРТ";
        const int jr = City.RiverRow;
        Sign(TSheetKind::Base, City.At(ColBound[2] + 1.5, jr + 1) + TPt{0, -40}, 36).Text = "РЕЧНОЙ ВОКЗАЛ";
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
            Sign(TSheetKind::Detail, p + Perp(d) * 20, 13);
        }
    }
    // Bus stops along the other avenues.
    for (const TStreet& s : Streets) {
        if (s.Class != TClass::Avenue || std::find(tram.begin(), tram.end(), s.Link - 1) != tram.end()) continue;
        const double len = PathLength(s.Line);
        int side = 1;
        for (double at = 200; at < len - 100; at += 460) {
            const auto [p, d] = PointAlong(s.Line, at);
            Sign(TSheetKind::Detail, p + Perp(d) * (19.0 * side), 12);
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
        // Roads are lines of their own for the labels, drawn thin with a
        // casing: their numbers lie beside them.
        const int link = RoadLinks + int(Labels.Courses.size());
        Labels.Barriers.push_back({f.Points, 7, 3, link});
        Labels.Courses.push_back({number, f.Points, 6, L::RoadNumbers, link, 7, 3});
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
    // Drawn with its banks: its name beside it, other names off it.
    Labels.Barriers.push_back({creek, 3, 2, 0});
    Labels.Courses.push_back({CreekName, creek, 5, L::WaterNames, 0, 3, 2});
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
    Sign(TSheetKind::Detail, lake + TPt{0, 380}, 58);
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

} // namespace tarn::city::plan
