#pragma once
// The demo city as geometry: every map object of the city in metres (Y up),
// with the layer and the sheet it belongs to. Made from a seed and an
// object count alone, so the same arguments always give the same city.
#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

struct TPt {
    double X = 0;
    double Y = 0;
};
using TPath = std::vector<TPt>;

// The layers of the main map, in drawing order (CityLayers.h gives their
// names, kinds and styles).
enum class L : int {
    DistrictAreas,
    Industry,
    Wasteland,
    Parks,
    Squares,
    Water,
    Streams,
    Embankments,
    ScannedPlan,
    CityBorder,
    DistrictBorders,
    Blocks,
    Houses,
    Works,
    PublicBuildings,
    Bridges,
    Paths,
    Lanes,
    Streets,
    // Avenues as thin lines where the cased ones are left out.
    AvenueLines,
    Avenues,
    Roads,
    Railway,
    Tram,
    // Labels by scale band (CityStyle.h gives the bands): each kind is one
    // text layer per band it shows in.
    HouseNumbers,
    BuildingLabels,
    WaterNames,
    ParkNames,
    RoadNumbers,
    StreetLabels,
    DistrictLabels,
    // The names the search lists read, each once: the first street labels
    // and the district names of the band where showing a name lands.
    StreetNames,
    TownStreetNames,
    DistrictNames,
    // The city's and the second town's names, sized per band.
    BigLabels,
    // Points by kind, one sign layer each (CityStyle.cpp gives their signs).
    Hospitals, Pharmacies, Dentists, Vets,
    Schools, Kindergartens, Libraries, Universities,
    Museums, Theatres, Cinemas, Churches, SportsHalls, Pools, Stadiums, Fountains, Monuments, Beaches,
    Shops, Markets, Cafes, Restaurants, Banks, CashMachines, PostOffices, Hairdressers, Laundries,
    FuelStations, CarServices, Factories,
    PoliceStations, FireStations, Courts, TownHalls,
    Hotels,
    BusStops, TramStops, Taxis, Parkings,
    RailwayStations, Airports, RiverPorts,
    SurveyPoints,
    InfoCentres,
    // The places where new data is handed out: shops, drawn with the shops' sign.
    Places,
    UserSigns,
    Count
};

// The layers of the navigator's map.
enum class NL : int { Districts, Water, Parks, Industry, Avenues, Railway, Roads, Count };

// Which sheet an object goes to. Detail objects go to the tile of the city
// under their anchor, or to the second town's sheet.
// Labels go to the sheets of their scale band. The names the search lists
// read go to two sheets of one identifier: drawn where showing a name lands,
// hidden closer in, where they would be too big.
enum class TSheetKind : uint8_t { Base, Overview, Detail, Places, UserSigns, Plan, Labels, Names, NamesNear };

struct TFeature {
    int Layer = 0;            // L or NL
    TSheetKind Sheet = TSheetKind::Base;
    TPath Points;             // lines and areas (areas not closed)
    TPt At;                   // texts and signs; areas: the label point
    std::string Text;         // UTF-8; labels, picture file name
    int32_t Angle = 0;        // texts: tenths of a degree, anticlockwise
    int32_t Band = -1;        // labels: the scale band (sheet Labels)
    int32_t Sign = 0;         // signs: the library's sign (the layer's, for plain sign layers)
    int32_t Size = 0;         // styled texts and signs, in drawing units
    uint32_t Colour = 0;      // styled objects (0x00BBGGRR)
    uint32_t Colour2 = 0;     // outline of styled areas
    int32_t Style = 0;        // fill of styled areas, pen of styled lines
    int32_t Width = 0;        // styled lines, tenths of a metre
    int32_t Link = 0;         // objects of one street share it (the object attribute)
    uint32_t Flags = 0;       // object flags to store
    bool Exact = false;       // an exact point (two more values)
    int32_t Extra1 = 0;
    int32_t Extra2 = 0;
    int32_t Code = 0;         // a fixed code; 0: the next one of its layer and sheet
    std::vector<int32_t> Values;  // styled lines: one per point
    double PictureW = 0;      // pictures: the rectangle (At is the upper-left corner)
    double PictureH = 0;
    std::string Name;         // places of interest: their name in the object database (UTF-8), if given
    std::string Address;      // points on a numbered house: "УЛ. ЛЕСНАЯ, 14" (UTF-8)
};

// The layers of the places of interest that the object database lists
// (stations and information centres are listed too, as themselves).
constexpr bool IsPlaceOfInterest(L layer) { return layer >= L::Hospitals && layer <= L::Parkings; }
constexpr bool IsStation(L layer) { return layer >= L::RailwayStations && layer <= L::RiverPorts; }
// The layer of the points drawn with the library's sign, or L::Count.
L LayerOfSign(int32_t sign);

// The one-bit scanned plan shown by the raster layer.
struct TScanArea {
    TPt TopLeft;              // world metres
    double Width = 0;         // metres
    double Height = 0;
    int32_t PixelsW = 0;
    int32_t PixelsH = 0;
};

struct TPlan {
    double WorldW = 0;        // the world rectangle from (0, 0), metres
    double WorldH = 0;
    // The city's rectangle, cut into the tiles of the detail sheets.
    double CityX0 = 0, CityY0 = 0, CityX1 = 0, CityY1 = 0;
    // The second town's rectangle: its detail objects go to its own sheet.
    double TownX0 = 0, TownY0 = 0, TownX1 = 0, TownY1 = 0;
    std::vector<TFeature> Features;
    std::vector<TFeature> Nav;
    TScanArea Scan;
    uint32_t Seed = 0;
    int32_t StreetCount = 0;      // named streets, squares included
    int32_t TownStreetCount = 0;
    int32_t DistrictCount = 0;
    int32_t BuildingCount = 0;
    // A compound object: the railway station's building and sign (indexes into Features).
    int32_t StationBuilding = -1;
    int32_t StationSign = -1;
};

// The city for a seed, with about `objects` map objects in all.
TPlan MakePlan(uint32_t seed, int32_t objects);

// The objects a plan holds at least, whatever the count asked for.
constexpr int32_t MinObjects = 10000;  // the labels of every scale alone are some 5 000
constexpr int32_t MaxObjects = 1000000;

} // namespace tarn::city
