#pragma once
// The demo city's object database: "tarn.dat" (groups and subgroups, a key
// record for every place of interest, organisations with cards of every
// kind, the places, help, update, credits, the information centre and the
// ticker text), the supplement "tarn.d05" and "banners.dat".
#include "CityPlan.h"

#include "data/ObjectKey.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

constexpr const char* DatabaseFile = "tarn.dat";
constexpr const char* SupplementFile = "tarn.d05";
constexpr const char* BannerFile = "banners.dat";

// Keys the program builds itself.
constexpr int32_t TickerLayerId = 9999;
constexpr int32_t TickerSheetId = 5;
constexpr int32_t TickerCode = 99;
constexpr int32_t HelpCode = -2;
constexpr int32_t UpdateCode = -1;
constexpr int32_t FirstCreditCode = -5;  // -5 to -3
constexpr int32_t LastCreditCode = -3;
constexpr int32_t InfoCentreCode = 811;
constexpr int32_t InfoLabelCodes[2] = {4698, 4680};

// A map object the database may point at.
struct TDatabaseObject {
    const TFeature* Feature = nullptr;
    TObjectKey Key;
};

struct TDatabaseReport {
    int32_t KeyRecords = 0;   // "tarn.dat": records without data
    int32_t Cards = 0;        // "tarn.dat": records with data
    int32_t Skipped = 0;      // "tarn.dat": a deleted record and one of no object
    int32_t Supplement = 0;   // "tarn.d05"
    int32_t Banners = 0;      // "banners.dat", the record of no object not counted
};

// Writes the three files into dir. `objects` are the places of interest,
// stations and information centres as written to the sheets.
TDatabaseReport WriteObjectDatabase(const std::string& dir, const std::vector<TDatabaseObject>& objects,
                                    uint32_t seed);

} // namespace tarn::city
