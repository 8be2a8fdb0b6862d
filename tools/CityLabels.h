#pragma once
// Placing the demo city's labels, offline: for every scale band the names
// of streets, districts, waters and parks and the numbers of houses, each
// clear of the other labels of its band, street names clear of the
// avenues, railway and tram lines that cross them; and the names the
// search lists read, each once.
#include "CityPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

struct TLabelStreet {
    std::string Name;
    TPath Line;          // its centre line; empty for a square
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
};

// A name beside a sign (stations, information centres), up to a band.
struct TLabelPlace {
    std::string Name;
    TPt At;
    int LastBand = 0;
};

struct TLabelHouse {
    std::string Number;
    TPath Ring;
    int Link = 0;
};

// A line that labels keep off: half its drawn width in metres and in
// pixels (library lines add pixels at every scale).
struct TLabelLine {
    TPath Line;
    double HalfMetres = 0;
    double HalfPixels = 0;
    int Link = 0;        // its street: that street's own labels may lie on it
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
// A direction's angle in tenths of a degree in (-870, 900], so the text
// reads from left to right, nearly upright ones from the bottom up; nearly
// level ones are set level, where the letters are crisper.
int32_t ReadableTenths(TPt dir);

} // namespace tarn::city
