// The demo city across its levels of detail: each band of labels is a level
// of its own over the city's, so zooming between bands keeps the city's
// sheets and reads only the band's; the view then holds and draws what a
// fresh read of the project gives, also when the zoom passed through the
// whole map under a hold of the level.
#include "CitySupport.h"
#include "support/MapBytes.h"

#include "data/LayerWalk.h"
#include "platform/Cp1251.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tarn::test {
namespace {

// The sheets of the levels that hold the denominator: identifiers and the
// files that carry them (the names the lists read keep one identifier in
// two files).
std::set<std::pair<int32_t, std::string>> SheetsAt(const TModel& m, double denominator)
{
    std::set<std::pair<int32_t, std::string>> sheets;
    for (int32_t li = 0; li < m.Project->Count; ++li) {
        const TLevel& level = *static_cast<const TLevel*>(m.Project->GetItem(li));
        if (level.MinScale < denominator && denominator < level.MaxScale)
            for (int32_t si = 0; si < level.Sheets->Count; ++si) {
                const TSheet& s = *static_cast<const TSheet*>(level.Sheets->GetItem(si));
                sheets.insert({s.FileID, s.Name});
            }
    }
    return sheets;
}

// The identifiers whose files both sets hold alike.
std::set<int32_t> Shared(const std::set<std::pair<int32_t, std::string>>& a,
                         const std::set<std::pair<int32_t, std::string>>& b)
{
    std::set<int32_t> ids;
    for (const auto& [id, name] : a) ids.insert(id);
    for (const auto& [id, name] : b) ids.insert(id);
    std::set<int32_t> alike;
    for (int32_t id : ids) {
        auto of = [id](const std::set<std::pair<int32_t, std::string>>& s) {
            std::set<std::string> names;
            for (const auto& [i, name] : s)
                if (i == id) names.insert(name);
            return names;
        };
        if (!of(a).empty() && of(a) == of(b)) alike.insert(id);
    }
    return alike;
}

std::set<const TBaseObject*> ObjectsOf(const TMap& map, const std::set<int32_t>& sheets)
{
    std::set<const TBaseObject*> all;
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    for (const TCustomLayer* l : layers)
        for (int32_t i = 0; i < l->Count; ++i)
            if (sheets.count(l->Object(i)->SheetID)) all.insert(l->Object(i));
    return all;
}

// Each layer's largest code, which new objects count on, is what a scan of
// the view's map finds (the switch takes it from runs summed up elsewhere).
void ExpectLargestCodes(const TModel& m, const TMap& viewMap)
{
    std::map<int32_t, int32_t> largest;
    std::vector<TCustomLayer*> layers;
    CollectLayers(viewMap, true, layers);
    for (const TCustomLayer* l : layers) {
        int32_t& best = largest[l->LayerId];
        for (int32_t i = 0; i < l->Count; ++i) best = std::max(best, l->Object(i)->Code);
    }
    layers.clear();
    CollectLayers(*m.WorkMap, true, layers);
    for (const TCustomLayer* l : layers)
        if (largest.count(l->LayerId)) EXPECT_EQ(l->LargestCode, uint16_t(largest[l->LayerId])) << l->LayerId;
}

// Another model shows the same place, every sheet read for it: the same
// picture, and the same map with the same objects shown.
void ExpectAsFreshRead(TCityView& v, const std::string& project, const QImage& shown)
{
    ExpectLargestCodes(*v.Model, *v.View->Map);
    TCityView fresh(project);
    fresh.View->Scale = v.View->Scale;
    fresh.View->WorldRect = v.View->WorldRect;
    ASSERT_TRUE(fresh.Model->OpenFile(project));
    const QImage expected = fresh.Draw();
    EXPECT_EQ(fresh.View->WorldRect, v.View->WorldRect);
    if (shown != expected) {
        SaveImage(shown, "levels-kept");
        SaveImage(expected, "levels-read");
    }
    EXPECT_TRUE(shown == expected);
    EXPECT_TRUE(SameBytes(MapBytes(*v.View->Map, ShownFlags), MapBytes(*fresh.View->Map, ShownFlags)));
}

TEST(CityLevels, ZoomingAcrossBandsKeepsTheCitysSheetsAndShowsWhatAFreshReadShows)
{
    const std::string project = SharedCity().File(city::ProjectFile);
    TCityView v(project);
    const TRect e = v.Model->ProjectRect();
    const double x = (double(e.Left) + e.Right) / 2000, y = (double(e.Top) + e.Bottom) / 2000;
    v.Draw();
    int switches = 0;
    THookToken counting = v.Model->OnNotify.Install([&](const auto& next, const TNotifyArgs& a) {
        switches += a.Code == 12;
        next(a);
    });
    // Held: by way of the whole map, one switch at most, for where it ends.
    const struct {
        double Denominator;
        bool Held;
        int Switches;
    } steps[] = {{2500, false, 1}, {5000, false, 1},  {2500, false, 1}, {1200, false, 1},
                 {2500, false, 1}, {10000, true, 1}, {2500, true, 1},  {2500, true, 0}};
    for (const auto& step : steps) {
        const double denominator = step.Denominator;
        SCOPED_TRACE("1:" + std::to_string(int(denominator)) + (step.Held ? " held" : ""));
        // The sheets of the levels left and of those entered: the same objects.
        const std::set<int32_t> both = Shared(SheetsAt(*v.Model, v.Denominator()), SheetsAt(*v.Model, denominator));
        const std::set<const TBaseObject*> before = ObjectsOf(*v.View->Map, both);
        switches = 0;
        if (step.Held) {
            TModel::TLevelHold hold(*v.Model, *v.View);
            v.ShowAll();
            v.Show(x, y, denominator);
        } else {
            v.Show(x, y, denominator);
        }
        EXPECT_EQ(switches, step.Switches);
        const QImage shown = v.Draw();
        EXPECT_GT(before.size(), 100u);
        EXPECT_EQ(ObjectsOf(*v.View->Map, both), before);
        ExpectAsFreshRead(v, project, shown);
    }
}

// Back and forth across bands on a city of several house and label sheets:
// the layers that stay move whole, and every step still gives the map and
// the picture of a fresh read.
TEST(CityLevels, BandStepsBackAndForthShowWhatAFreshReadShows)
{
    static const TCityFolder city(100000);
    const std::string project = city.File(city::ProjectFile);
    TCityView v(project);
    const TRect e = v.Model->ProjectRect();
    const double x = (double(e.Left) + e.Right) / 2000, y = (double(e.Top) + e.Bottom) / 2000;
    v.Show(x, y, 2500);
    v.Draw();
    for (double denominator : {5000, 2500, 5000, 10000, 2500, 1200, 2500}) {
        SCOPED_TRACE("1:" + std::to_string(int(denominator)));
        const std::set<int32_t> both = Shared(SheetsAt(*v.Model, v.Denominator()), SheetsAt(*v.Model, denominator));
        const std::set<const TBaseObject*> before = ObjectsOf(*v.View->Map, both);
        v.Show(x, y, denominator);
        const QImage shown = v.Draw();
        EXPECT_GT(before.size(), 10000u);
        EXPECT_EQ(ObjectsOf(*v.View->Map, both), before);
        ExpectAsFreshRead(v, project, shown);
    }
}

} // namespace
// A label highlighted, the band it belongs to left, the highlight taken
// off: the step back shows the label as a fresh read does, not as it was.
TEST(CityLevels, AHighlightTakenOffOutsideItsBandIsGoneOnTheStepBack)
{
    const std::string project = SharedCity().File(city::ProjectFile);
    TCityView v(project);
    const TRect e = v.Model->ProjectRect();
    const double x = (double(e.Left) + e.Right) / 2000, y = (double(e.Top) + e.Bottom) / 2000;
    v.Show(x, y, 2500);
    v.Draw();
    const auto* l = AsLayer(FindLayerByName(*v.View->Map, Utf8ToCp1251("Номера домов 1:1 750 - 1:3 500")));
    ASSERT_TRUE(l && l->Count > 0);
    TKeyList keys{{0, 1, l->LayerId, l->Object(0)->SheetID, l->Object(0)->Code}};
    v.Model->HighlightObjects(v.View.get(), 1, keys);
    v.Show(x, y, 5000);
    v.Model->HighlightObjects(v.View.get(), 2, keys);
    v.Show(x, y, 2500);
    ExpectAsFreshRead(v, project, v.Draw());
}

// The map a switch lets go of is freed aside, or kept for a step back until
// the next switch; one still held elsewhere is left whole to its holder.
TEST(CityLevels, TheMapASwitchLetsGoOfIsFreedUnlessHeldElsewhere)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    const TRect e = v.Model->ProjectRect();
    const double x = (double(e.Left) + e.Right) / 2000, y = (double(e.Top) + e.Bottom) / 2000;
    v.Draw();
    std::weak_ptr<TMap> spent = v.View->Map;
    v.Show(x, y, 2500);
    v.Show(x, y, 1200);
    v.Model->JoinMapFreer();
    EXPECT_TRUE(spent.expired());

    const std::shared_ptr<TMap> held = v.View->Map;
    // Objects shared with the new map are marked for the new view.
    const uint32_t marks = ShownFlags | ObjFlagInView;
    const auto bytes = MapBytes(*held, marks);
    v.Show(x, y, 5000);
    v.Model->JoinMapFreer();
    EXPECT_NE(v.View->Map, held);
    EXPECT_TRUE(SameBytes(MapBytes(*held, marks), bytes));
}

} // namespace tarn::test
