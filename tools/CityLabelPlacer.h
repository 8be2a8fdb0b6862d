#pragma once
// The placer of the demo city's labels, shared by the files that place
// them: shapes of labels, places along lines, and the placer itself with
// the rules a label keeps. Internal to mkcity.
#include "CityLabelGeometry.h"
#include "CityLabels.h"
#include "CityStyle.h"

#include <cmath>
#include <optional>
#include <vector>

namespace tarn::city::labels {

constexpr double CapCentre = 0.365;      // the capitals' middle above the baseline, in ems
constexpr double WholeMetre = 0.71;      // anchors are stored in whole metres
constexpr double MmPerPixel96 = 25.4 / 96;
constexpr int32_t NearestScale = 1000;   // the program zooms no closer
constexpr double SignGap = 4;            // pixels between a sign and the name beside it

inline TPt DirOf(int32_t tenths)
{
    const double a = tenths / 10.0 * Pi / 180;
    return {std::cos(a), std::sin(a)};
}

// A text in its kind's font in the current band.
struct TShape {
    std::string Text;
    double H = 0;    // em, metres
    double Ems = 0;
    double W() const { return Ems * H; }
};

// A place along a line for a label of some length.
struct TSpot {
    double T = 0;
    TPt C, U;
    bool Straight = false;
};

// Where the labels of a line go: the spots a label of `length` metres
// fits, straight when the line keeps within `tol` of the label's chord.
std::vector<TSpot> Spots(const TPath& line, double length, double tol);
// The middle of the longest run of straight spots (of all, without one).
double Middle(const std::vector<TSpot>& spots);
// Spots by their distance from t.
std::vector<std::size_t> Nearest(const std::vector<TSpot>& spots, double t);

// Places the labels of every band, the most important first.
class TPlacer {
public:
    TPlacer(const TLabelInput& in, std::vector<TFeature>& out)
        : In(in), Out(out), Barriers(in.Barriers, 150), Crossings(in.Crossings, 150), Thin(ThinLines(in), 150),
          StreetIndex(in.Streets.size(), -1), DistrictIndex(in.Districts.size(), -1)
    {
    }
    int64_t Run();

private:
    // What a label must keep clear of, besides the labels and signs of its band.
    struct TRules {
        const TPath* Inside = nullptr;  // its drawn box within this ring
        bool Barriers = true;           // avenues, roads, railway, tram lines
        bool Crossings = false;         // every street
        int Link = 0;                   // its own street's lines it may lie on,
        const TPath* Within = nullptr;  // when cased: between the casings of this line,
        double Half = 0;                // this half width
        bool Thin = false;              // also off the avenues where they are thin lines
    };

    static std::vector<TLabelLine> ThinLines(const TLabelInput& in)
    {
        std::vector<TLabelLine> thin;
        for (TLabelLine l : in.Barriers)
            if (l.LastBand < BandCount) {
                l.HalfMetres = 0;
                l.LastBand = 1 << 20;
                thin.push_back(std::move(l));
            }
        return thin;
    }

    TShape Shape(const std::string& text, L kind) const;
    TBox Drawn(TPt anchor, TPt u, const TShape& s) const;
    TBox Kept(TPt anchor, TPt u, const TShape& s) const;
    // What the box keeps beyond the text's end: each advance may round up
    // on the screen.
    double End(const TShape& s) const { return (5 + 0.5 * s.Ems) * Mpp + 0.2 * s.H + WholeMetre; }
    // Half a sign's box in the band, metres.
    double SignHalf(double mm) const { return mm / 2 * BandTop(Band) / 1000 + Mpp; }
    // How far from a line's middle a name beside it lies, for the line's
    // drawn half width.
    double Beside(const TShape& s, double metres, double pixels) const
    {
        return metres + pixels * Mpp + 0.61 * s.H + 1.5 * Mpp + 0.2 * s.H + WholeMetre + 0.5 * Mpp;
    }
    // Whether a name fits between the casings of a line of that half width.
    bool Fits(const TShape& s, double half) const { return 0.61 * s.H + 2 * Mpp + WholeMetre <= half; }
    // Takes the label centred on c along dir when the rules allow it.
    bool Take(L kind, const TShape& s, TPt c, TPt dir, const TRules& rules, int link = 0);
    bool Allowed(const TShape& s, TPt c, TPt dir, const TRules& rules, TPt& anchor, int32_t& tenths) const;

    // Labels along a line: the first on the middle of its longest straight
    // stretch, then repeated every `spacing` metres (0: none); they carry
    // the link of the street they name. With `beside`, on either side of
    // the line, that far from it.
    std::vector<TSpot> Along(L kind, const TShape& s, const TPath& line, const TRules& rules, double spacing,
                             std::vector<double>* taken, int link, double beside = 0);
    // A label inside an area, as near `near` (or its middle) as it fits.
    bool InArea(L kind, const TShape& s, const TPath& ring, TPt dir, TRules rules, TPt* at = nullptr,
                TPt near = {0, 0});

    void AddSigns();
    void BigNames();
    void Places();
    void Buildings();
    void Districts();
    void Streets(bool repeats);
    void Areas();
    void Houses();
    // The label just taken becomes a name the search lists read.
    void ToIndex(L layer, int64_t& index);
    void Index();

    const TLabelInput& In;
    std::vector<TFeature>& Out;
    TLineIndex Barriers, Crossings, Thin;
    int Band = 0;
    double Mpp = 1;      // metres per pixel at the band's top at 96 dpi
    std::optional<TBoxIndex> Boxes;
    std::vector<std::vector<double>> StreetTaken;  // per street: where its labels of the band lie
    std::vector<int64_t> StreetIndex, DistrictIndex;  // their names in the index band (into Out)
    int64_t TownIndex = -1;
    int64_t Numbers = 0;
};

} // namespace tarn::city::labels
