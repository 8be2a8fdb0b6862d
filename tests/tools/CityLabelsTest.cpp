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
            std::cout << "[ labels   ] " << c.Name << " 1:" << std::lround(n) << " " << mm << " mm:";
            for (const auto& [layer, count] : counts) std::cout << " " << layer << " " << count << ";";
            std::cout << "\n";
        }
}

} // namespace
} // namespace tarn::test
