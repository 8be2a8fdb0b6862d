#pragma once
// Names of the demo city: streets by kind, districts, parks, the second
// town's streets. UTF-8 here; the sheets get code page 1251.
#include <string>
#include <vector>

namespace tarn::city {

// Proper parts of ordinary streets: "УЛ. " + the part (feminine adjectives,
// names in the genitive, numbered streets).
const std::vector<std::string>& StreetNames();
// Proper parts of avenues: "ПРОСПЕКТ " or "ПР. " + the part.
const std::vector<std::string>& AvenueNames();
// Proper parts of lanes ("ПЕР. ") and dead ends ("ТУПИК ").
const std::vector<std::string>& LaneNames();
const std::vector<std::string>& DeadEndNames();
// Squares, whole: "ПЛ. ЛЕНИНА", "ПЛОЩАДЬ ПОБЕДЫ".
const std::vector<std::string>& SquareNames();
// Parks and public gardens, whole.
const std::vector<std::string>& ParkNames();
// The second town's street names, whole ("УЛ. ЛЕСНАЯ", ...).
const std::vector<std::string>& TownStreetNames();

// The river, the city, the second town.
extern const char* const RiverName;      // "р. ЛИСТВА"
extern const char* const CreekName;
extern const char* const LakeName;
extern const char* const CityName;       // "Листоград"
extern const char* const TownName;       // "ВЕРБИНСК"

} // namespace tarn::city
