#pragma once
// The demo city generator: writes a complete program folder (project,
// navigator project, map sheets, symbol library, object database)
// through the project's own writers and the model's save sequence.
#include "platform/Error.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace tarn::city {

struct TCityOptions {
    std::string OutDir;
    int32_t Objects = 20000;
    uint32_t Seed = 1;
    // Replace the user's files too ("tarn.ini" removed, the user-sign sheet
    // written anew).
    bool Force = false;
    // The built symbol library to copy as "tarn.dll".
    std::string SymbolLibrary;
};

struct TCityReport {
    std::vector<std::string> Written;  // file names in the folder
    std::vector<std::string> Kept;     // the user's files left as they were
    int64_t Objects = 0;               // map objects in the main project's sheets
    int32_t Streets = 0;               // named streets and squares of the city
    int32_t TownStreets = 0;
    int32_t Districts = 0;
    int32_t DetailSheets = 0;
    // The object database: "tarn.dat" records without and with data (the
    // deleted record and the one of no object not counted), "tarn.d05"
    // records, banners.
    int32_t KeyRecords = 0;
    int32_t Cards = 0;
    int32_t SupplementRecords = 0;
    int32_t Banners = 0;
};

// A bad argument, an output folder that cannot be written.
class ECityError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// The files of the folder, by role.
constexpr const char* ProjectFile = "tarn.prj";
constexpr const char* NavProjectFile = "nav.prj";
constexpr const char* BaseSheet = "tarn.map";
constexpr const char* OverviewSheet = "obzor.map";
constexpr const char* TownSheet = "verbinsk.map";
constexpr const char* PlanSheet = "plan.map";
constexpr const char* PlacesSheet = "places.map";
constexpr const char* UserSignSheet = "signs.map";
constexpr const char* NavSheet = "nav.map";
constexpr const char* NamesSheet = "nazv.map";      // the names the lists read, drawn
constexpr const char* NamesNearSheet = "nazv0.map"; // the same, hidden (closer in)
constexpr const char* SettingsFile = "tarn.ini";
constexpr const char* IdentifierFile = "tsclnt31.ini";

// Sheet identifiers the program relies on.
constexpr int32_t UserSignSheetId = 23;
constexpr int32_t PlacesSheetId = 24;
constexpr int32_t BaseSheetId = 5;
constexpr int32_t NamesSheetId = 6;  // both sheets of the names
// Layer identifiers the program relies on.
constexpr int32_t UserSignLayerId = 307;
constexpr int32_t PlacesLayerId = 67;
constexpr int32_t InfoCentreLayerId = 11;

// The avenue through the centre and its houses where the places that hand
// out new data stand (codes 1 to 8 of their layer), as the update window
// lists them.
constexpr const char* CentralAvenueName = "ПР. ЦЕНТРАЛЬНЫЙ";
constexpr int32_t DistributionHouses[8] = {12, 31, 47, 58, 64, 73, 80, 95};

// The levels of detail: the city's level below this scale denominator, the
// overview above it.
constexpr int32_t LevelBoundary = 25000;

// The name of the i-th (from 1) detail sheet: "dom01.map".
std::string DetailSheetName(int32_t i);

// Writes the folder. Throws ECityError for a folder that cannot be written
// and ETarnError for anything the writers refuse. Everything is made in a
// private folder inside the output first and moved in only when complete,
// so a failure leaves the folder as it was.
TCityReport MakeCity(const TCityOptions& options);

// The command line: "mkcity [--objects N] [--seed S] [--force] OUT".
// Answers the exit code: 0 done, 2 bad arguments, 1 failure; messages go
// to err, the summary to out.
int RunMkCity(const std::vector<std::string>& args, const std::string& symbolLibrary, std::ostream& out,
              std::ostream& err);

} // namespace tarn::city
