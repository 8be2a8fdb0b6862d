#pragma once
// The sheets of the demo city's folder: the layer trees every sheet
// carries, the plan's features as map objects, the sheets written in the
// 16-bit form, and the tiles that keep a sheet's layers within their codes.
// Internal to mkcity.
#include "CityPlan.h"
#include "CityStyle.h"

#include "data/Layers.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tarn::city::write {

constexpr int32_t FirstDetailSheetId = 30;
constexpr int32_t FirstLabelSheetId = 500;  // 100 a band
constexpr int32_t MaxCodesPerLayer = 32000;  // codes are 16-bit in a sheet

std::string Cp(const std::string& utf8);
inline int32_t Metres(double m) { return int32_t(std::lround(m)); }

// A sheet's rectangle in whole metres.
struct TSheetRect {
    int32_t Left = 0, Bottom = 0, Width = 0, Height = 0;
};

struct TSheetOut {
    std::string Name;
    int32_t Id = 0;
    TSheetRect Rect;
    bool Nav = false;
    std::vector<std::size_t> Features;  // indexes into the plan's lists
};

struct TWritten {
    int32_t SheetId = 0;
    int32_t Code = 0;
};

TLogFont LabelFont(int32_t height, int32_t weight, bool italic);
// Every layer style of the main map in tree order: a label kind gives one
// layer per band.
std::vector<const TLayerStyle*> MainStyles();

// Fills a sheet's layers with its features; codes count from 1 in each
// layer unless a feature brings its own. Answers where each feature went.
void WriteSheet(const std::string& dir, const TSheetOut& sheet, const std::vector<TFeature>& features,
                std::map<std::size_t, TWritten>& keys, int64_t& objects);
// The detail tiles: the smallest grid whose every tile keeps each layer
// within the 16-bit codes of a sheet; the second town's objects go to its
// own sheet.
std::vector<TSheetOut> DetailSheets(const TPlan& plan, const std::vector<std::size_t>& detail, TSheetOut& town);
// The sheets of a band's labels, tiled the same way.
std::vector<TSheetOut> LabelSheets(const TPlan& plan, int band, const std::vector<std::size_t>& labels);

} // namespace tarn::city::write
