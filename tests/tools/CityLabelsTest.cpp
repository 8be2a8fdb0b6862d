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

// A label as drawn: its layer, its text and its box in window pixels.
struct TDrawn {
    std::string Layer;  // UTF-8
    std::string Text;
    int32_t Link = 0;
    int32_t Height = 0; // the text extent's height
    TBox Box;
};

bool Starts(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The text objects the view's drawing draws: layers in their scale limit,
// objects marked in view, boxes reaching into the window.
std::vector<TDrawn> DrawnLabels(TCityView& v)
{
    std::vector<TDrawn> out;
    const TView& view = *v.View;
    const int64_t n = std::llround(view.Scale / view.MmPerPixel);
    const double sizeScale = 1000.0 / view.Scale;
    std::vector<TCustomLayer*> layers;
    CollectLayers(*view.Map, false, layers);
    TDeviceContext dc;
    for (TCustomLayer* l : layers) {
        if (!IsTextKind(l->Kind) || l->ScaleLimit < n) continue;
        const bool own = (l->Flags & LayerFlagOwnAttributes) != 0;
        for (int32_t i = 0; i < l->Count; ++i) {
            const auto* t = dynamic_cast<const TText*>(l->Object(i));
            if (!t || !(t->Flags() & ObjFlagInView) || (t->Flags() & (ObjFlagHidden | ObjFlagTemporary))) continue;
            TLogFont lf = l->TextFont;
            const auto* ex = dynamic_cast<const TTextEx*>(t);
            const double height = own && ex ? ex->Size : lf.Height;
            lf.Height = int32_t(std::nearbyint(height * sizeScale / 10));
            if (std::abs(lf.Height) <= 4) continue;
            lf.Escapement = 0;
            auto font = TFont::Create(lf);
            dc.SelectFont(font);
            const TSize ext = dc.GetTextExtent(t->Text);
            int32_t sx = 0, sy = 0;
            v.Model->ViewWorldToScreen(view, t->X, t->Y, sx, sy);
            const double a = t->Angle / 10.0 * M_PI / 180;
            // Window y runs down: the text runs along (cos, -sin), its
            // letters stand against Perp of that.
            TBox box{{double(sx), double(sy)}, {std::cos(a), -std::sin(a)}, 0, double(ext.Cx),
                     -double(font->Ascent()), double(ext.Cy - font->Ascent())};
            double x0, y0, x1, y1;
            box.Bounds(x0, y0, x1, y1);
            if (x1 < 0 || y1 < 0 || x0 > v.Surface.Image().width() || y0 > v.Surface.Image().height()) continue;
            out.push_back({Cp1251ToUtf8(l->Name), Cp1251ToUtf8(t->Text), t->Attribute, ext.Cy, box});
        }
    }
    return out;
}

// Lines a street name keeps off, in window pixels, with half their drawn
// width (the symbol library's roads, tram lines and railway add pixels).
struct TBarrier {
    TPt P, Q;
    double Half;
    int32_t Link;  // an avenue's own name may lie on it
};

std::vector<TBarrier> Barriers(TCityView& v)
{
    std::vector<TBarrier> out;
    const double sizeScale = 1000.0 / v.View->Scale;
    for (const char* name : {"Проспекты", "Трамвайные линии", "Железная дорога"}) {
        TCustomLayer* l = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251(name)));
        if (!l || !l->Count) continue;
        const double w = std::clamp(std::lround(std::nearbyint(l->Style2 * sizeScale) / 10.0), 1L, 200L);
        const bool avenue = Starts(name, "Проспекты"), tram = Starts(name, "Трамвайные");
        const double half = avenue ? (w + 2) / 2 : tram ? (w + 4) / 2 : std::max(3.0, w + 2) / 2;
        for (int32_t i = 0; i < l->Count; ++i) {
            const auto* line = dynamic_cast<const TPolyLine*>(l->Object(i));
            if (!line) continue;
            std::vector<TPt> pts;
            for (const TPoint& p : line->Points) {
                int32_t sx = 0, sy = 0;
                v.Model->ViewWorldToScreen(*v.View, p.X, p.Y, sx, sy);
                pts.push_back({double(sx), double(sy)});
            }
            for (std::size_t k = 1; k < pts.size(); ++k)
                out.push_back({pts[k - 1], pts[k], half, avenue ? line->Attribute : -1});
        }
    }
    return out;
}

struct TScaleCase {
    const char* Name;
    double Denominator;  // 0: the whole map
    int32_t Width, Height;
    std::vector<const char*> Kinds;  // layers (by the start of their name) that must show
};

TEST(CityLabels, ReadWellAtEveryScale)
{
    const TScaleCase cases[] = {
        {"whole", 0, 1600, 1000, {"Подписи районов", "Подписи улиц", "Названия рек", "Крупные надписи"}},
        {"whole-small", 0, 480, 300, {"Подписи районов", "Названия рек", "Крупные надписи"}},
        {"40000", 40000, 1600, 1000, {"Подписи районов", "Подписи улиц", "Крупные надписи"}},
        {"20000", 20000, 1600, 1000, {"Подписи районов", "Подписи улиц", "Названия рек"}},
        {"10000", 10000, 1600, 1000, {"Подписи улиц", "Подписи парков", "Названия рек"}},
        {"5000", 5000, 1600, 1000, {"Подписи улиц", "Подписи парков"}},
        {"2500", 2500, 1600, 1000, {"Подписи улиц", "Номера домов"}},
    };
    const TCityFolder& city = SharedCity();
    for (const double mm : {0.25, Dpi96})
        for (const TScaleCase& c : cases) {
            TCityView v(city.File(city::ProjectFile), c.Width, c.Height, mm);
            // Round the centre of the city: the central district's name.
            TCustomLayer* names = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251("Наименование районов")));
            ASSERT_NE(names, nullptr);
            TPoint centre{};
            for (int32_t i = 0; i < names->Count; ++i)
                if (auto* t = dynamic_cast<TText*>(names->Object(i)); t->Text == Utf8ToCp1251("ЦЕНТРАЛЬНЫЙ"))
                    centre = {t->X / 1000, t->Y / 1000};
            if (c.Denominator > 0) v.Show(centre.X, centre.Y, c.Denominator);
            const std::string image =
                SaveImage(v.Draw(), std::string("labels-") + c.Name + (mm == 0.25 ? "" : "-96dpi"));
            const double n = v.Denominator();
            int band = 0;
            while (band < city::BandCount - 1 && n > city::BandTop(band)) ++band;
            const std::vector<TDrawn> drawn = DrawnLabels(v);
            const std::vector<TBarrier> barriers = Barriers(v);
            std::ostringstream where;
            where << c.Name << " at 1:" << std::lround(n) << ", " << mm << " mm a pixel, " << image;
            SCOPED_TRACE(where.str());

            // Each band that should show, and only the labels of the band.
            std::map<std::string, int> counts;
            for (const TDrawn& d : drawn) {
                ++counts[d.Layer];
                EXPECT_TRUE(Starts(d.Layer, "Крупные надписи") ||
                            d.Layer.find(city::BandName(band)) != std::string::npos)
                    << d.Layer << ": " << d.Text;
            }
            for (const char* kind : c.Kinds) {
                int shown = 0;
                for (const auto& [layer, count] : counts) shown += Starts(layer, kind) ? count : 0;
                EXPECT_GT(shown, 0) << kind;
            }
            // Heights, overlaps, street names off the lines they cross.
            for (const TDrawn& d : drawn) {
                EXPECT_GE(d.Height, 8) << d.Layer << ": " << d.Text;
                EXPECT_LE(d.Height, 20) << d.Layer << ": " << d.Text;
            }
            int overlaps = 0, crossings = 0;
            for (std::size_t i = 0; i < drawn.size(); ++i)
                for (std::size_t j = i + 1; j < drawn.size(); ++j)
                    if (city::labels::Overlap(drawn[i].Box, drawn[j].Box) && ++overlaps <= 3)
                        ADD_FAILURE() << "overlap: " << drawn[i].Text << " / " << drawn[j].Text;
            for (const TDrawn& d : drawn) {
                if (!Starts(d.Layer, "Подписи улиц")) continue;
                for (const TBarrier& b : barriers)
                    if (b.Link != d.Link && city::labels::Touches(d.Box, b.P, b.Q, b.Half) && ++crossings <= 3)
                        ADD_FAILURE() << d.Text << " lies on a line it crosses";
            }
            EXPECT_EQ(overlaps, 0);
            EXPECT_EQ(crossings, 0);
            int32_t low = 99, high = 0;
            for (const TDrawn& d : drawn) low = std::min(low, d.Height), high = std::max(high, d.Height);
            std::cout << "[ labels   ] " << c.Name << " 1:" << std::lround(n) << " " << mm << " mm, heights " << low
                      << "-" << high << ":";
            for (const auto& [layer, count] : counts) std::cout << " " << layer << " " << count << ";";
            std::cout << "\n";
        }
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

TEST(CityLabels, NamesReadFromLeftToRightAndUprightOnesUpwards)
{
    const struct {
        double Degrees;
        int32_t Tenths;
    } cases[] = {{0, 0},      {1, 0},          {-1.4, 0},    {180, 0},     {30, 300},   {210, 300},  {-30, -300},
                 {150, -300}, {90, 900},       {-90, 900},   {270, 900},   {89, 890},   {91, 900},   {-89, 900},
                 {95, -850},  {-85, -850},     {120.5, -595}};
    for (const auto& c : cases) {
        const double a = c.Degrees * M_PI / 180;
        EXPECT_EQ(city::ReadableTenths({std::cos(a), std::sin(a)}), c.Tenths) << c.Degrees;
    }
}

// The box a label feature takes on the map (metres), from its anchor.
TBox BoxOf(const city::TFeature& f)
{
    const city::L kind = city::L(f.Layer);
    const double h = (kind == city::L::BigLabels ? -f.Size : city::StyleOf(kind, f.Band).FontHeight) / 10.0;
    const bool bold = kind == city::L::BigLabels || city::StyleOf(kind).FontWeight >= 700;
    const double a = f.Angle / 10.0 * M_PI / 180;
    return {f.At, {std::cos(a), std::sin(a)}, 0, city::LabelEms(f.Text, bold) * h, -city::LabelDescent * h,
            city::LabelAscent * h};
}

TEST(CityLabels, PlacementKeepsNamesApartAndOffTheLinesTheyCross)
{
    using city::L;
    city::TLabelInput in;
    city::TPath row, column, tram, district = {{1800, 0}, {3000, 0}, {3000, 2000}, {1800, 2000}};
    for (int k = 0; k <= 30; ++k) row.push_back({100.0 * k, 1000});
    for (int k = 0; k <= 40; ++k) column.push_back({1500, 100.0 * k});
    for (int k = 15; k <= 40; ++k) tram.push_back({1506, 100.0 * k});  // up the avenue's middle and north
    in.Streets.push_back({"УЛ. ПРЯМАЯ", row, {}, {1, 0}, {0, 0}, false, false, 1});
    in.Streets.push_back({"ПР. ПОПЕРЕЧНЫЙ", column, {}, {1, 0}, {0, 0}, true, false, 2});
    in.Barriers = {{column, 11, 2, 2}, {tram, 1.25, 3, 0}};
    in.Crossings = {{row, 5.5, 1, 1}, {column, 11, 2, 2}};
    in.Districts.push_back({"ПРОБНЫЙ", district, {1, 0}});
    // A house turned by 30 degrees, 40 m by 12 m.
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    city::TPath house;
    for (auto [x, y] : {std::pair{-20, -6}, std::pair{20, -6}, std::pair{20, 6}, std::pair{-20, 6}})
        house.push_back({700 + x * c30 - y * s30, 1300 + x * s30 + y * c30});
    in.Houses.push_back({"12", house, 1});

    std::vector<city::TFeature> out;
    EXPECT_EQ(city::PlaceLabels(in, out), 2) << "the house numbered at both close bands";
    std::map<std::string, int> index;
    std::map<int, std::vector<TBox>> bands;
    std::set<int> streetBands, districtBands;
    for (const city::TFeature& f : out) {
        if (f.Band < 0) {
            ++index[f.Text];
            continue;
        }
        const TBox box = BoxOf(f);
        for (const TBox& other : bands[f.Band]) EXPECT_FALSE(city::labels::Overlap(box, other)) << f.Text << " " << f.Band;
        bands[f.Band].push_back(box);
        EXPECT_GT(f.Angle, -870);
        EXPECT_LE(f.Angle, 900);
        switch (L(f.Layer)) {
        case L::StreetLabels:
            streetBands.insert(f.Band);
            if (f.Text == "УЛ. ПРЯМАЯ") {
                EXPECT_EQ(f.Angle, 0);
                EXPECT_FALSE(city::labels::Touches(box, column.front(), column.back(), 11)) << "over the avenue";
            } else {
                EXPECT_EQ(f.Angle, 900);
                EXPECT_LT(box.Centre().Y, 1500) << "on the avenue, clear of its tram line, band " << f.Band;
                EXPECT_FALSE(city::labels::Touches(box, tram.front(), tram.back(), 1.25)) << f.Band;
            }
            break;
        case L::HouseNumbers:
            EXPECT_EQ(f.Angle, 300) << "along the long side";
            for (int k = 0; k < 4; ++k) EXPECT_TRUE(city::InsideRing(box.Corner(k), house)) << f.Band;
            break;
        case L::DistrictLabels:
            // Inside; at the smallest scales, where districts are a few
            // pixels wide, round their middle.
            districtBands.insert(f.Band);
            if (f.Band <= 5) EXPECT_TRUE(city::labels::InsideRing(box, district)) << f.Band;
            else EXPECT_TRUE(city::InsideRing(box.Centre(), district)) << f.Band;
            break;
        default: ADD_FAILURE() << "unexpected label " << f.Text;
        }
    }
    EXPECT_EQ(index, (std::map<std::string, int>{{"УЛ. ПРЯМАЯ", 1}, {"ПР. ПОПЕРЕЧНЫЙ", 1}, {"ПРОБНЫЙ", 1}}))
        << "each name once in the lists' layers";
    EXPECT_EQ(streetBands, (std::set<int>{0, 1, 2, 3, 4, 5})) << "the avenue named at small scales too";
    EXPECT_EQ(districtBands, (std::set<int>{4, 5, 6, 7}));
}

} // namespace
} // namespace tarn::test
