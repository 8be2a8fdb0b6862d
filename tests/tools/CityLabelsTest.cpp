// The demo city's labels as the program draws them. At the scales a user
// looks at, every band of labels that should show is there, labels are 8
// to 20 pixels tall (measured through the drawing layer), no two labels
// drawn in one view overlap, and no street name lies on an avenue, railway
// or tram line that crosses it. The pictures are kept under the build
// folder. Also the label sizes of every band, the font widths the
// generator places with, and placement on a small made-up street plan.
#include "CitySupport.h"

#include "data/LayerWalk.h"
#include "platform/Cp1251.h"
#include "platform/gdi/Gdi.h"
#include "tools/CityLabelGeometry.h"
#include "tools/CityLabels.h"
#include "tools/CityStyle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace tarn::test {
namespace {

using city::TPt;
using city::labels::TBox;

constexpr double Dpi96 = 25.4 / 96;


bool Starts(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

struct TScaleCase {
    const char* Name;
    double Denominator;  // 0: the whole map
    int32_t Width, Height;
    std::vector<const char*> Kinds;  // layers (by the start of their name) that must show
};

// Round the centre of the city: the central district's name.
TPoint CentreOf(TCityView& v)
{
    TCustomLayer* names = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251("Наименование районов")));
    if (names)
        for (int32_t i = 0; i < names->Count; ++i)
            if (auto* t = dynamic_cast<TText*>(names->Object(i)); t->Text == Utf8ToCp1251("ЦЕНТРАЛЬНЫЙ"))
                return {t->X / 1000, t->Y / 1000};
    ADD_FAILURE() << "no central district";
    return {};
}

// Whether a label that reaches a cased line lies on its own line between
// the casings: every corner within the inside of one of its pieces.
bool BetweenCasings(const TDrawnLabel& d, const std::vector<TCasedPiece>& lines)
{
    for (int k = 0; k < 4; ++k) {
        const TPt c = d.Box.Corner(k);
        bool inside = false;
        for (const TCasedPiece& p : lines)
            inside = inside || (p.Link == d.Link && d.Link != 0 && city::DistToSegment(c, p.P, p.Q) <= p.Inner - 0.5);
        if (!inside) return false;
    }
    return true;
}

TEST(CityLabels, ReadWellAtEveryBandClearOfEachOtherSignsAndCasings)
{
    const TScaleCase cases[] = {
        {"whole", 0, 1600, 1000, {"Подписи районов", "Подписи улиц", "Названия рек", "Крупные надписи"}},
        {"whole-window", 0, 777, 681, {"Подписи районов", "Названия рек", "Крупные надписи"}},
        {"whole-small", 0, 480, 300, {"Подписи районов", "Названия рек", "Крупные надписи"}},
        {"whole-tiny", 0, 240, 150, {"Названия рек", "Крупные надписи"}},
        {"70000", 70000, 1000, 700, {"Подписи районов", "Названия рек", "Крупные надписи"}},
        {"40000", 40000, 1600, 1000, {"Подписи районов", "Подписи улиц", "Крупные надписи"}},
        {"20000", 20000, 1600, 1000, {"Подписи районов", "Подписи улиц", "Названия рек"}},
        {"10000", 10000, 1600, 1000, {"Подписи улиц", "Подписи парков", "Названия рек"}},
        {"5000", 5000, 1600, 1000, {"Подписи улиц", "Подписи парков"}},
        {"2500", 2500, 1600, 1000, {"Названия улиц", "Подписи улиц", "Номера домов"}},
        {"1200", 1200, 1600, 1000, {"Подписи улиц", "Номера домов"}},
    };
    const TCityFolder& city = SharedCity();
    std::set<int> bands;
    for (const double mm : {0.25, Dpi96})
        for (const TScaleCase& c : cases) {
            TCityView v(city.File(city::ProjectFile), c.Width, c.Height, mm);
            const TPoint centre = CentreOf(v);
            if (c.Denominator > 0) v.Show(centre.X, centre.Y, c.Denominator);
            const std::string image =
                SaveImage(v.Draw(), std::string("labels-") + c.Name + (mm == 0.25 ? "" : "-96dpi"));
            const double n = v.Denominator();
            int band = 0;
            while (band < city::BandCount - 1 && n > city::BandTop(band)) ++band;
            bands.insert(band);
            const std::vector<TDrawnLabel> drawn = DrawnLabels(v);
            const std::vector<TDrawnSign> signs = DrawnSigns(v);
            const std::vector<TCasedPiece> cased = CasedLines(v);
            std::ostringstream where;
            where << c.Name << " at 1:" << std::lround(n) << ", " << mm << " mm a pixel, " << image;
            SCOPED_TRACE(where.str());

            // Each band that should show, and only the labels of the band
            // (the names the lists read in theirs).
            std::map<std::string, int> counts;
            for (const TDrawnLabel& d : drawn) {
                ++counts[d.Layer];
                const bool index = Starts(d.Layer, "Названия улиц") || Starts(d.Layer, "Улицы ВЕРБИНСКА") ||
                                   Starts(d.Layer, "Наименование районов");
                EXPECT_TRUE(Starts(d.Layer, "Крупные надписи") || (index && band == city::IndexBand) ||
                            d.Layer.find(city::BandName(band)) != std::string::npos)
                    << d.Layer << ": " << d.Text;
            }
            for (const char* kind : c.Kinds) {
                int shown = 0;
                for (const auto& [layer, count] : counts) shown += Starts(layer, kind) ? count : 0;
                EXPECT_GT(shown, 0) << kind;
            }
            // Heights; each label clear of the others, of the signs and of
            // the casings of roads, reading one way.
            int overlaps = 0, onSigns = 0, onCasings = 0;
            for (std::size_t i = 0; i < drawn.size(); ++i) {
                const TDrawnLabel& d = drawn[i];
                EXPECT_GE(d.Height, 8) << d.Layer << ": " << d.Text;
                EXPECT_LE(d.Height, 20) << d.Layer << ": " << d.Text;
                const double a = d.Angle / 10.0 * M_PI / 180;
                EXPECT_GT(std::cos(a), -0.5) << d.Text << " reads backwards at " << d.Angle;
                if (std::fabs(std::sin(a)) > std::sin(M_PI / 3) + 1e-9) {
                    EXPECT_GT(d.Angle, 0) << d.Text << " reads downwards at " << d.Angle;
                }
                for (std::size_t j = i + 1; j < drawn.size(); ++j)
                    if (city::labels::Overlap(d.Box, drawn[j].Box) && ++overlaps <= 3)
                        ADD_FAILURE() << "overlap: " << d.Text << " / " << drawn[j].Text;
                for (const TDrawnSign& g : signs)
                    if (city::labels::Overlap(d.Box, g.Box) && ++onSigns <= 3)
                        ADD_FAILURE() << d.Text << " lies on a sign of " << g.Layer;
                bool reaches = false;
                for (const TCasedPiece& p : cased) reaches = reaches || city::labels::Touches(d.Box, p.P, p.Q, p.Outer);
                if (reaches && !BetweenCasings(d, cased) && ++onCasings <= 3)
                    ADD_FAILURE() << d.Text << " crosses a casing";
            }
            EXPECT_EQ(overlaps, 0);
            EXPECT_EQ(onSigns, 0);
            EXPECT_EQ(onCasings, 0);
            int32_t low = 99, high = 0;
            for (const TDrawnLabel& d : drawn) low = std::min(low, d.Height), high = std::max(high, d.Height);
            std::cout << "[ labels   ] " << c.Name << " 1:" << std::lround(n) << " " << mm << " mm, heights " << low
                      << "-" << high << ", " << signs.size() << " signs:";
            for (const auto& [layer, count] : counts) std::cout << " " << layer << " " << count << ";";
            std::cout << "\n";
        }
    EXPECT_EQ(int(bands.size()), city::BandCount) << "every band looked at";
}

// The text extent of `text` in DejaVu Sans with letters `em` pixels tall.
TSize Extent(const std::string& utf8, int32_t em, bool bold = false)
{
    TLogFont lf{};
    lf.Height = -em;
    lf.Weight = bold ? 700 : 400;
    lf.CharSet = 204;
    std::strcpy(lf.FaceName, city::LabelFace);
    TDeviceContext dc;
    auto font = TFont::Create(lf);
    dc.SelectFont(font);
    return dc.GetTextExtent(Utf8ToCp1251(utf8));
}

TEST(CityLabels, BandsCoverEveryScaleAndKeepLabelsEightToTwentyPixelsTall)
{
    using city::L;
    EXPECT_EQ(city::BandBottom(0), 0);
    EXPECT_GE(city::BandTop(0), 1000) << "the nearest scale the program zooms to";
    EXPECT_GE(city::BandTop(city::BandCount - 1), 300000) << "the whole map in a small window";
    std::set<int32_t> ids;
    for (int b = 1; b < city::BandCount; ++b) EXPECT_EQ(city::BandBottom(b), city::BandTop(b - 1));
    for (L kind : {L::HouseNumbers, L::BuildingLabels, L::WaterNames, L::ParkNames, L::RoadNumbers, L::StreetLabels,
                   L::DistrictLabels, L::BigLabels})
        for (int b = 0; b < city::BandCount; ++b) {
            if (kind != L::BigLabels && !city::InBand(kind, b)) continue;
            if (kind == L::BigLabels && b < 4) continue;
            const int32_t tenths = city::LabelHeight(kind, b);
            if (kind != L::BigLabels) {
                const city::TLayerStyle& st = city::StyleOf(kind, b);
                EXPECT_EQ(st.ScaleLimit, city::BandTop(b));
                EXPECT_EQ(st.FontHeight, tenths);
                EXPECT_NE(std::string(st.Name).find(city::BandName(b)), std::string::npos) << st.Name;
                EXPECT_TRUE(ids.insert(st.LayerId).second) << st.Name;
            }
            // At both ends of the band, at 0.25 mm a pixel and at 96 dpi.
            for (double mm : {0.25, Dpi96})
                for (double d : {double(std::max(city::BandBottom(b), 1000)), double(city::BandTop(b))}) {
                    const int32_t em = int32_t(std::nearbyint(tenths * (1000 / (d * mm)) / 10));
                    const int32_t cell = Extent("Hg", em).Cy;
                    EXPECT_GE(cell, 8) << city::StyleOf(kind).Name << " band " << b << " at 1:" << d << ", " << mm;
                    EXPECT_LE(cell, 20) << city::StyleOf(kind).Name << " band " << b << " at 1:" << d << ", " << mm;
                }
        }
    for (int i = 0; i < int(L::Count); ++i) {
        if (city::LabelKindOf(L(i))) continue;
        EXPECT_EQ(ids.count(city::StyleOf(L(i)).LayerId), 0u) << city::StyleOf(L(i)).Name;
    }
    // The names the lists read cover the drawn street labels where a
    // shown name lands: the same size.
    EXPECT_EQ(city::StyleOf(L::StreetNames).FontHeight, city::LabelHeight(L::StreetLabels, 1));
    EXPECT_EQ(city::StyleOf(L::StreetNames).ScaleLimit, city::IndexScaleLimit);
}

TEST(CityLabels, WidthsThePlacementUsesAreThoseTheDrawingLayerMeasures)
{
    const struct {
        const char* Text;
        bool Bold;
    } texts[] = {{"УЛ. КОМСОМОЛЬСКАЯ", false}, {"ПРОСПЕКТ ЭНТУЗИАСТОВ", false}, {"64/1", false}, {"7А", false},
                 {"р. ЛИСТВА", false},         {"ПРИВОКЗАЛЬНЫЙ", true},         {"ШКОЛА № 12", true},
                 {"ЛИСТОГРАД", true},          {"«TARN» 2-Я ЁЛОЧНАЯ, УЛ.", false}};
    for (const auto& t : texts)
        for (int32_t em : {8, 11, 16}) {
            const double expected = city::LabelEms(t.Text, t.Bold) * em;
            const int32_t drawn = Extent(t.Text, em, t.Bold).Cx;
            // Advances round to whole pixels one by one.
            EXPECT_NEAR(drawn, expected, 0.06 * expected + 5) << t.Text << " at " << em;
        }
}

TEST(CityLabels, NamesReadFromLeftToRightAndSteepOnesUpwards)
{
    const struct {
        double Degrees;
        int32_t Tenths;
    } cases[] = {{0, 0},      {1, 0},     {-1.4, 0},  {180, 0},     {30, 300},  {210, 300},   {-30, -300},
                 {150, -300}, {240, 600}, {-60, -600}, {90, 900},   {-90, 900}, {270, 900},   {89, 900},
                 {88, 880},   {91, 900},  {-89, 900},  {95, 950},   {-85, 950}, {-61, 1190},  {119, 1190},
                 {120.5, -595}};
    for (const auto& c : cases) {
        const double a = c.Degrees * M_PI / 180;
        EXPECT_EQ(city::ReadableTenths({std::cos(a), std::sin(a)}), c.Tenths) << c.Degrees;
    }
}

// The box a label feature takes on the map (metres), from its anchor.
TBox BoxOf(const city::TFeature& f)
{
    const city::L kind = city::L(f.Layer);
    const double h = (kind == city::L::BigLabels  ? -f.Size
                      : city::LabelKindOf(kind) ? city::StyleOf(kind, f.Band).FontHeight
                                                : city::StyleOf(kind).FontHeight) /
                     10.0;
    const bool bold = kind == city::L::BigLabels || city::StyleOf(kind).FontWeight >= 700;
    const double a = f.Angle / 10.0 * M_PI / 180;
    return {f.At, {std::cos(a), std::sin(a)}, 0, city::LabelEms(f.Text, bold) * h, -city::LabelDescent * h,
            city::LabelAscent * h};
}

// Whether every corner of the box lies within `half` of the line.
bool Within(const TBox& box, const city::TPath& line, double half)
{
    for (int k = 0; k < 4; ++k)
        if (city::DistToPath(box.Corner(k), line) > half) return false;
    return true;
}

TEST(CityLabels, PlacementKeepsNamesApartOffSignsAndOffCasings)
{
    using city::L;
    city::TLabelInput in;
    city::TPath row, column, tram, district = {{1800, 0}, {3000, 0}, {3000, 2000}, {1800, 2000}};
    for (int k = 0; k <= 30; ++k) row.push_back({100.0 * k, 1000});
    for (int k = 0; k <= 40; ++k) column.push_back({1500, 100.0 * k});
    for (int k = 15; k <= 40; ++k) tram.push_back({1506, 100.0 * k});  // up the avenue's middle and north
    in.Streets.push_back({"УЛ. ПРЯМАЯ", row, 5.5, false, {}, {1, 0}, {0, 0}, false, false, 1});
    in.Streets.push_back({"ПР. ПОПЕРЕЧНЫЙ", column, 11, true, {}, {1, 0}, {0, 0}, true, false, 2});
    in.Barriers = {{column, 11, 2, 2, 5}, {tram, 1.25, 3, 0}};
    in.Crossings = {{row, 5.5, 1, 1}, {column, 11, 2, 2}};
    in.Districts.push_back({"ПРОБНЫЙ", district, {1, 0}});
    // A house turned by 30 degrees, 50 m by 12 m, a shop's sign in its
    // middle; a bus stop on the street.
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    city::TPath house;
    for (auto [x, y] : {std::pair{-25, -6}, std::pair{25, -6}, std::pair{25, 6}, std::pair{-25, 6}})
        house.push_back({700 + x * c30 - y * s30, 1300 + x * s30 + y * c30});
    in.Houses.push_back({"12", house, 1, true});
    in.Signs = {{{700, 1300}, 4, false, 12000}, {{1100, 1000}, 4, false, 6000}};

    std::vector<city::TFeature> out;
    EXPECT_EQ(city::PlaceLabels(in, out), 2) << "the house numbered at both close bands, beside its sign";
    std::map<std::string, std::pair<int, int>> index;  // drawn, without text
    std::map<int, std::vector<TBox>> bands;
    std::set<int> streetBands, districtBands;
    for (const city::TFeature& f : out) {
        if (f.Sheet == city::TSheetKind::NamesNear) {
            EXPECT_TRUE(f.Text.empty());
            ++index[std::to_string(f.Layer) + "/" + std::to_string(f.Code)].second;
            continue;
        }
        const int band = f.Band < 0 ? city::IndexBand : f.Band;
        if (f.Sheet == city::TSheetKind::Names) ++index[std::to_string(f.Layer) + "/" + std::to_string(f.Code)].first;
        const TBox box = BoxOf(f);
        for (const TBox& other : bands[band]) EXPECT_FALSE(city::labels::Overlap(box, other)) << f.Text << " " << band;
        bands[band].push_back(box);
        for (const city::TLabelSign& g : in.Signs) {
            if (g.ScaleLimit <= city::BandBottom(band)) continue;
            const double half = g.Size / 2 * std::min(g.ScaleLimit, city::BandTop(band)) / 1000;
            const TBox sign{g.At - TPt{half, half}, {1, 0}, 0, 2 * half, 0, 2 * half};
            EXPECT_FALSE(city::labels::Overlap(box, sign)) << f.Text << " on a sign, band " << band;
        }
        EXPECT_GE(f.Angle, -city::SteepTenths);
        EXPECT_LT(f.Angle, 1800 - city::SteepTenths);
        switch (L(f.Layer)) {
        case L::StreetLabels: case L::StreetNames:
            streetBands.insert(band);
            if (f.Text == "УЛ. ПРЯМАЯ") {
                EXPECT_EQ(f.Angle, 0);
                EXPECT_FALSE(city::labels::Touches(box, column.front(), column.back(), 11)) << "over the avenue";
            } else if (band <= 1) {
                EXPECT_EQ(f.Angle, 900);
                EXPECT_TRUE(Within(box, column, 11)) << "between the avenue's casings, band " << band;
                EXPECT_FALSE(city::labels::Touches(box, tram.front(), tram.back(), 1.25)) << band;
            } else {
                EXPECT_EQ(f.Angle, 900);
                EXPECT_FALSE(city::labels::Touches(box, column.front(), column.back(), 11)) << "beside, band " << band;
            }
            break;
        case L::HouseNumbers:
            EXPECT_EQ(f.Angle, 300) << "along the long side";
            for (int k = 0; k < 4; ++k) EXPECT_TRUE(city::InsideRing(box.Corner(k), house)) << band;
            break;
        case L::DistrictLabels: case L::DistrictNames:
            // Inside; at the smallest scales, where districts are a few
            // pixels wide, round their middle.
            districtBands.insert(band);
            if (band <= 5) EXPECT_TRUE(city::labels::InsideRing(box, district)) << band;
            else EXPECT_TRUE(city::InsideRing(box.Centre(), district)) << band;
            break;
        default: ADD_FAILURE() << "unexpected label " << f.Text;
        }
    }
    EXPECT_EQ(index.size(), 3u) << "the two streets and the district";
    for (const auto& [key, n] : index) EXPECT_EQ(n, std::make_pair(1, 1)) << key << ": once drawn, once without its text";
    EXPECT_EQ(streetBands, (std::set<int>{0, 1, 2, 3, 4, 5})) << "the avenue named at small scales too";
    EXPECT_EQ(districtBands, (std::set<int>{city::IndexBand, 4, 5, 6, 7}));
}

} // namespace
} // namespace tarn::test
