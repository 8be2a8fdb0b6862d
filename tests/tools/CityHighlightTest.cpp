// A name found in the lists stands out on the map: shown as the lists show
// it (its place at 1:2 500, the highlight set to it alone and drawn at
// once, then the paint that follows), the region of its label differs
// clearly from the same view without the highlight, and the highlight goes
// as it came. The pictures are kept under the build folder.
#include "CitySupport.h"

#include "data/LayerWalk.h"
#include "model/ViewWork.h"
#include "platform/Cp1251.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarn::test {
namespace {

// The key of the text with that text in the named layer of the view's map.
bool KeyOf(TCityView& v, const char* layer, const char* text, TObjectKey& key)
{
    TCustomLayer* l = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251(layer)));
    if (!l) return false;
    for (int32_t i = 0; i < l->Count; ++i)
        if (auto* t = dynamic_cast<TText*>(l->Object(i)); t && t->Text == Utf8ToCp1251(text)) {
            key = {0, 1, l->LayerId, t->SheetID, t->Code};
            return true;
        }
    return false;
}

// The share of the box's pixels that differ by more than a third of the
// full range in some channel, and their mean difference.
void Compare(const QImage& a, const QImage& b, const city::labels::TBox& box, double& share, double& mean)
{
    double x0, y0, x1, y1;
    box.Bounds(x0, y0, x1, y1);
    int64_t n = 0, differ = 0, sum = 0;
    for (int y = std::max(0, int(std::floor(y0))); y <= std::min(a.height() - 1, int(std::ceil(y1))); ++y)
        for (int x = std::max(0, int(std::floor(x0))); x <= std::min(a.width() - 1, int(std::ceil(x1))); ++x) {
            const city::TPt c{x + 0.5 - box.O.X, y + 0.5 - box.O.Y};
            const double along = city::Dot(c, box.U), across = city::Dot(c, city::Perp(box.U));
            if (along < box.A0 || along > box.A1 || across < box.B0 || across > box.B1) continue;
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q))});
            ++n;
            differ += d > 85;
            sum += d;
        }
    share = n ? double(differ) / double(n) : 0;
    mean = n ? double(sum) / double(n) : 0;
}

TEST(CityHighlight, AShownNameStandsOutAndGoesAsItCame)
{
    const struct {
        const char* Layer;
        const char* Text;
        const char* Image;
    } cases[] = {
        {"Названия улиц", city::CentralAvenueName, "street"},
        {"Названия улиц", "ПЛ. ВОКЗАЛЬНАЯ", "square"},
        {"Улицы ВЕРБИНСКА", "УЛ. ЛЕСНАЯ", "town-street"},
        {"Наименование районов", "ЦЕНТРАЛЬНЫЙ", "district"},
        {"Наименование районов", "ВЕРБИНСК", "town"},
    };
    TCityView v(SharedCity().File(city::ProjectFile), 1000, 700);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Layer) + ": " + c.Text);
        v.ShowAll();
        TObjectKey key;
        ASSERT_TRUE(KeyOf(v, c.Layer, c.Text, key)) << "listed at the whole map";
        TRect r{};
        ASSERT_TRUE(ObjectViewRect(*v.Model, *v.View, key, r));
        ASSERT_EQ(v.Model->SetViewRect(*v.View, r), ResultDone);
        v.Show((double(r.Left) + r.Right) / 2000, (double(r.Top) + r.Bottom) / 2000, 2500);
        const QImage plain = v.Draw();

        const std::vector<TDrawnLabel> drawn = DrawnLabels(v);
        const auto label = std::find_if(drawn.begin(), drawn.end(),
                                        [&](const TDrawnLabel& d) { return d.Layer == c.Layer && d.Text == c.Text; });
        ASSERT_NE(label, drawn.end()) << "the name is drawn where showing it lands";

        TKeyList one{key};
        v.Model->HighlightObjects(v.View.get(), 1, one);
        v.Model->DrawObjects(*v.View, one);
        const QImage lit = v.Draw();
        const std::string image = SaveImage(lit, std::string("highlight-") + c.Image + "-2500");
        SaveImage(plain, std::string("highlight-") + c.Image + "-2500-plain");
        double share = 0, mean = 0;
        Compare(plain, lit, label->Box, share, mean);
        EXPECT_GT(share, 0.5) << image;
        EXPECT_GT(mean, 80) << image;

        v.Model->HighlightObjects(v.View.get(), 2, one);
        EXPECT_TRUE(v.Draw() == plain) << "the highlight goes as it came";
    }
}

} // namespace
} // namespace tarn::test
