// Pictures of the demo city drawn through the model, kept under the build
// folder for a look.
#include "CitySupport.h"

#include "data/LayerWalk.h"
#include "platform/Cp1251.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// The world point (metres) of the first text object with that text in the
// named layer of the view's map.
TPoint Label(const TCityView& v, const char* layer, const char* text)
{
    TCustomLayer* l = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251(layer)));
    if (l)
        for (int32_t i = 0; i < l->Count; ++i)
            if (auto* t = dynamic_cast<TText*>(l->Object(i)); t && t->Text == Utf8ToCp1251(text))
                return {t->X / 1000, t->Y / 1000};
    ADD_FAILURE() << "no label " << text << " in " << layer;
    return {0, 0};
}

TEST(CityImages, WholeCityAndStreetLevel)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    v.ShowAll();
    QImage all = v.Draw();
    const std::string allPath = SaveImage(all, "city-whole");
    EXPECT_GT(InkShare(all), 0.3) << allPath;

    const TPoint centre = Label(v, "Наименование районов", "ЦЕНТРАЛЬНЫЙ");
    v.Show(centre.X, centre.Y, 2500);
    QImage street = v.Draw();
    const std::string streetPath = SaveImage(street, "city-2500");
    EXPECT_GT(InkShare(street), 0.6) << streetPath;

    v.Show(centre.X, centre.Y, 5000);
    SaveImage(v.Draw(), "city-5000");
    v.Show(centre.X, centre.Y, 10000);
    SaveImage(v.Draw(), "city-10000");
    v.Show(centre.X, centre.Y, 20000);
    SaveImage(v.Draw(), "city-20000");
    v.Show(centre.X, centre.Y, 40000);
    SaveImage(v.Draw(), "city-40000");
    const TPoint town = Label(v, "Наименование районов", "ВЕРБИНСК");
    v.Show(town.X, town.Y, 6000);
    SaveImage(v.Draw(), "verbinsk-6000");
    v.Show(15000, 2850, 12000);
    SaveImage(v.Draw(), "plan-12000");
    v.Show(centre.X + 300, centre.Y - 700, 1200);
    SaveImage(v.Draw(), "city-1200");

    // The whole map in the main window's map panel of a usual size.
    TCityView window(SharedCity().File(city::ProjectFile), 777, 681);
    SaveImage(window.Draw(), "city-whole-window");

    TCityView nav(SharedCity().File(city::NavProjectFile), 220, 150);
    nav.ShowAll();
    SaveImage(nav.Draw(), "navigator");
}

} // namespace
} // namespace tarn::test
