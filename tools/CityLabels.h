#pragma once
// Placing the demo city's labels, offline: for every scale band the names
// of streets, districts, waters and parks and the numbers of houses, each
// clear of the other labels of its band and of the signs drawn in it, and
// clear of the avenues, roads, railway and tram lines (a name on its own
// avenue between its casings, or beside it); and the names the search lists
// read, each once.
#include "CityPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

struct TLabelStreet {
    std::string Name;
    TPath Line;          // its centre line; empty for a square
    double Half = 0;     // half its drawn width, metres
    bool Cased = false;  // drawn with a casing: a name lies between its casings or beside it
    TPath Square;        // a square's outline
    TPt SquareDir{1, 0};
    TPt SquareSign{0, 0};  // the sign in it, which its name keeps above; (0, 0): none
    bool Main = false;   // avenues and embankments: named at small scales too
    bool Town = false;   // a street of the second town
    int Link = 0;        // the street's objects share it
};

// A named area: labels go inside it, as near Near as they fit.
struct TLabelArea {
    std::string Name;
    TPath Ring;
    TPt Dir{1, 0};       // the direction its labels prefer
    TPt Near{0, 0};      // (0, 0): its centroid
};

// A name along a line up to a band: watercourses, road numbers.
struct TLabelCourse {
    std::string Name;
    TPath Line;
    int LastBand = 0;
    L Kind = L::WaterNames;
    int Link = 0;        // its own line among the barriers, which it may lie on
    // A line drawn with a casing: its name goes beside it, that far from
    // its middle (metres and pixels); 0: on it.
    double BesideMetres = 0, BesidePixels = 0;
};

// A name beside a sign (stations, information centres), up to a band.
struct TLabelPlace {
    std::string Name;
    TPt At;
    int LastBand = 0;
    double SignMm = 0;   // the sign's size on the screen
};

// A sign that labels keep clear of where its layer is drawn.
struct TLabelSign {
    TPt At;
    double Size = 0;     // millimetres on the screen, or metres in map units
    bool MapUnits = false;
    int32_t ScaleLimit = 0;
};

struct TLabelHouse {
    std::string Number;
    TPath Ring;
    int Link = 0;
    bool Sign = false;   // a sign stands in its middle
};

// A line that labels keep off: half its drawn width in metres and in
// pixels (library lines add pixels at every scale).
struct TLabelLine {
    TPath Line;
    double HalfMetres = 0;
    double HalfPixels = 0;
    int Link = 0;        // its street: that street's own labels may lie on it
    int LastBand = 1 << 20;  // smaller, where it is drawn thin, labels may cross it
};

struct TLabelInput {
    std::vector<TLabelStreet> Streets;
    std::vector<TLabelArea> Districts;
    std::vector<TLabelArea> Parks;   // parks and gardens of the blocks
    std::vector<TLabelArea> Woods;   // woods round the city
    std::vector<TLabelArea> Lakes;
    std::vector<TLabelCourse> Courses;
    std::vector<TLabelArea> Buildings;  // public buildings
    std::vector<TLabelPlace> Places;
    std::vector<TLabelHouse> Houses;
    std::vector<TLabelSign> Signs;
    std::vector<TLabelLine> Barriers;   // avenues, roads, railway, tram lines
    std::vector<TLabelLine> Crossings;  // every street: close up, labels keep between them
    TLabelArea City, Town;              // the big names, over the city and the town
};

// Appends the labels to `out`; answers how many house numbers it placed.
int64_t PlaceLabels(const TLabelInput& in, std::vector<TFeature>& out);

// Shapes of labels, shared with the tests that check the drawn city.
// The width of a text in ems of DejaVu Sans (UTF-8).
double LabelEms(const std::string& utf8, bool bold);
// Heights in ems of the font's ascent and descent.
constexpr double LabelAscent = 0.928;
constexpr double LabelDescent = 0.236;
// A direction's angle in tenths of a degree, so that every label reads one
// way: from left to right, and steep ones (past SteepTenths) from the
// bottom up, whichever way their line runs. Nearly level and nearly
// upright ones are set level and upright, where the letters are crisper.
int32_t ReadableTenths(TPt dir);
constexpr int32_t SteepTenths = 600;

} // namespace tarn::city
