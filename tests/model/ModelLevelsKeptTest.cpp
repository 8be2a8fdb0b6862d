// A level switch keeps the sheets the view's map already holds and the new
// levels list again: the map and the picture are those of a fresh read,
// the kept objects are the same objects, and what the user changed and did
// not save stays.
#include "ModelSupport.h"
#include "support/MapBytes.h"

#include "data/LayerWalk.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace tarn::test {
namespace {

TLevel& LevelOf(TModel& m, int i) { return *static_cast<TLevel*>(m.Project->GetItem(i)); }

// Sheets side by side, a kilometre each, with 30, 40, ... signs.
struct TPlaced {
    const char* Name;
    int32_t Id;
    int32_t Column;
};
constexpr TPlaced Sheets[] = {{"s1.map", 101, 1}, {"s2.map", 102, 2}, {"s3.map", 103, 3},
                              {"a.map", 104, 4},  {"b.map", 105, 5}};
// The sample's city level (to 1:100 000) gets s1 and s2, the overview
// (beyond) s1 at the same place and s3; two bands split the city's range,
// each with a sheet of its own: a.map to 1:30 000, b.map to 1:100 000.
struct TBandCity {
    TSampleCity City;
    TBandCity()
    {
        TOpenCity c(City.Prj);
        TModel& m = *c.Model;
        for (const auto& [name, low, high] : {std::tuple{"A", 0, 30000}, std::tuple{"B", 30000, 100000}}) {
            auto band = std::make_unique<TLevel>(name, 0);
            band->MinScale = low;
            band->MaxScale = high;
            m.Project->Add(band.release());
        }
        for (int li = 1; li < 4; ++li) {
            LevelOf(m, li).Scale = LevelOf(m, 0).Scale;
            m.MergeLayers(*LevelOf(m, 0).Map, LevelOf(m, li).Map, 0);
        }
        const std::pair<int, const TPlaced*> listed[] = {{0, &Sheets[0]}, {0, &Sheets[1]}, {1, &Sheets[0]},
                                                         {1, &Sheets[2]}, {2, &Sheets[3]}, {3, &Sheets[4]}};
        for (const auto& [level, s] : listed)
            LevelOf(m, level).Sheets->Add(
                new TSheet(s->Name, s->Id, s->Column * 1000000, 0, 1000000, 1000000, TPoint{1000, 1000}));
        for (const TPlaced& s : Sheets) {
            m.Project->ExpandExtent(TRect{s.Column * 1000000, 1000000, (s.Column + 1) * 1000000, 0});
            WriteSheet(s);
        }
        m.SaveFile(City.Prj, 0);
    }
    void WriteSheet(const TPlaced& s, int32_t extra = 0) const
    {
        std::unique_ptr<TMap> sheet = MakeSheetMap();
        TCustomLayer* signs = FindLayerById(*sheet, SignsId);
        for (int k = 0; k < s.Column * 10 + 20 + extra; ++k) {
            auto o = std::make_unique<TSign>();
            o->Code = 10 + k;
            o->X = 20000 * (k % 50);
            o->Y = 30000 * (k / 50) + 15000 * s.Column;
            signs->Add(o.release());
        }
        WriteFileBytes(City.Dir.File(s.Name), SheetBytes(*sheet));
    }
};

// A model on the project with a view of 200 x 200 pixels at 0.25 mm,
// centred on the third kilometre at 1:20 000, or shown nowhere yet.
struct TShown {
    TWindowSurface Surface{200, 200};
    TModel Model;
    TView View{&Surface};
    TShown(const TBandCity& city, int32_t threads, bool show = true)
    {
        Surface.SetMmPerPixel(0.25);
        Model.ProgramDir = city.City.Dir.Path();
        Model.LoadThreads = threads;
        Model.AttachView(View);
        Model.OpenFile(city.City.Prj);
        if (!show) return;
        Model.ZoomAll(View);
        Model.ZoomAtPoint(View, TPoint{2500000, 500000}, 20000);
    }
    // What another view shows: its map read afresh.
    TShown(const TBandCity& city, const TView& like) : TShown(city, 1, false)
    {
        View.Scale = like.Scale;
        View.WorldRect = like.WorldRect;
        Model.LevelSwitch(View);
    }
    // The objects of the signs layer.
    std::set<const TBaseObject*> Signs() const
    {
        std::set<const TBaseObject*> all;
        const TCustomLayer* l = FindLayerById(*View.Map, SignsId);
        for (int32_t i = 0; l && i < l->Count; ++i) all.insert(l->Object(i));
        return all;
    }
    QImage Picture()
    {
        View.NeedsRedraw = true;
        Model.PaintView(View);
        return Surface.Image().copy();
    }
};

std::size_t Common(const std::set<const TBaseObject*>& a, const std::set<const TBaseObject*>& b)
{
    std::size_t n = 0;
    for (const TBaseObject* o : a) n += b.count(o);
    return n;
}

TEST(KeptSheets, ASwitchGivesTheMapAndThePictureOfAFreshRead)
{
    TBandCity city;
    struct TStep {
        double Denominator;
        std::set<int32_t> Kept;  // the sheets whose objects are the same objects after the step
    };
    const TStep steps[] = {{50000, {SheetId, 101, 102}}, {20000, {SheetId, 101, 102}}, {200000, {101}},
                           {50000, {101}}, {60000, {SheetId, 101, 102, 105}}};
    for (int32_t threads : {1, 4}) {
        TShown shown(city, threads);
        for (const TStep& step : steps) {
            SCOPED_TRACE("1:" + std::to_string(int(step.Denominator)) + " on " + std::to_string(threads));
            shown.Picture();
            const std::set<const TBaseObject*> before = shown.Signs();
            ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, step.Denominator), 0);
            std::size_t kept = 0;
            for (const TBaseObject* o : shown.Signs()) kept += step.Kept.count(o->SheetID);
            EXPECT_GT(kept, 0u);
            EXPECT_EQ(Common(before, shown.Signs()), kept);
            TShown fresh(city, shown.View);
            EXPECT_TRUE(shown.Picture() == fresh.Picture()) << "drawn from the kept entries as from new ones";
            // Both marked at the same view.
            EXPECT_TRUE(SameBytes(MapBytes(*shown.View.Map, ShownFlags), MapBytes(*fresh.View.Map, ShownFlags)));
            for (int li = 0; li < 4; ++li)
                for (int32_t si = 0; si < LevelOf(shown.Model, li).Sheets->Count; ++si)
                    EXPECT_EQ(static_cast<TSheet*>(LevelOf(shown.Model, li).Sheets->GetItem(si))->Flags,
                              static_cast<TSheet*>(LevelOf(fresh.Model, li).Sheets->GetItem(si))->Flags);
        }
    }
}

// A sign added to s1 (kept from the city into the overview) and one to s2
// (in the city only).
TEST(KeptSheets, UnsavedChangesStayWithTheirSheetAndKeepTheProjectUnsaved)
{
    TBandCity city;
    TShown shown(city, 1);
    uint8_t header[ObjectHeaderSize];
    for (int32_t sheet : {101, 102}) {
        TObjectKey key = Key(SignsId, 5 * sheet, sheet);
        TObjectHeader h;
        h.X = 1000000 * (sheet - 100) + 500000;
        h.Y = 500000;
        EncodeObjectHeader(h, header);
        ASSERT_EQ(shown.Model.CreateObject(&shown.View, 3, key, header, sizeof header), 0);
    }
    auto has = [&](int32_t sheet) {
        const TCustomLayer* l = FindLayerById(*shown.View.Map, SignsId);
        return l && l->FindObject(sheet, 5 * sheet) != nullptr;
    };
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 50000), 0);
    EXPECT_TRUE(has(101));
    EXPECT_TRUE(has(102));
    EXPECT_EQ(shown.Model.StructureChanged, 1) << "still to be saved";
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 200000), 0);
    EXPECT_TRUE(has(101)) << "s1 is in the overview too";
    EXPECT_FALSE(has(102)) << "s2 is not: its change is gone, as a read would lose it";
    EXPECT_EQ(shown.Model.StructureChanged, 1);
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 20000), 0);
    EXPECT_TRUE(has(101));
    shown.Model.SaveFile(city.City.Prj, 1);
    EXPECT_EQ(shown.Model.StructureChanged, 0);
    // Saved: the file holds the sign, and the next switch keeps the objects.
    const std::set<const TBaseObject*> before = shown.Signs();
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 50000), 0);
    std::size_t kept = 0;
    for (const TBaseObject* o : shown.Signs()) kept += o->SheetID != 105;
    EXPECT_EQ(Common(before, shown.Signs()), kept);
    EXPECT_EQ(shown.Model.StructureChanged, 0);
    TShown fresh(city, 1);
    const TCustomLayer* l = FindLayerById(*fresh.View.Map, SignsId);
    EXPECT_TRUE(l && l->FindObject(101, 505));
}

TEST(KeptSheets, ASheetChangedOnDiskIsReadAgainUnlessItHoldsUnsavedChanges)
{
    for (bool unsaved : {false, true}) {
        SCOPED_TRACE(unsaved ? "with a change not saved" : "unchanged in memory");
        TBandCity city;
        TShown shown(city, 1);
        std::vector<uint8_t> b;
        ASSERT_EQ(shown.Model.GetObjectData(&shown.View, 1, Key(SignsId, 10, 101), b), 0);
        TObjectHeader h = DecodeObjectHeader(b.data());
        const int32_t x = h.X;
        if (unsaved) {
            int32_t size = int32_t(ObjectHeaderSize);
            h.X += 1000;
            EncodeObjectHeader(h, b.data());
            ASSERT_EQ(shown.Model.SetObjectData(&shown.View, 11, Key(SignsId, 10, 101), b.data(), size), 0);
        }
        city.WriteSheet(Sheets[0], 5);  // s1 with five signs more
        ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 50000), 0);
        const TCustomLayer* l = FindLayerById(*shown.View.Map, SignsId);
        ASSERT_TRUE(l);
        EXPECT_EQ(l->FindObject(101, 10 + 30) != nullptr, !unsaved) << "the file's new signs";
        EXPECT_EQ(l->FindObject(101, 10)->X, unsaved ? x + 1000 : x) << "the user's move";
    }
}

// A sign given another sheet in place, amid its old sheet's signs: the
// next switch sorts it with its new sheet, as a save and a read would.
TEST(KeptSheets, AnObjectGivenAnotherSheetMovesWithIt)
{
    TBandCity city;
    TShown shown(city, 1);
    uint8_t key[ObjectKeySize];
    EncodeObjectKey(Key(SignsId, 1000, 102), key);
    int32_t size = int32_t(sizeof key);
    ASSERT_EQ(shown.Model.SetObjectData(&shown.View, 10, Key(SignsId, 20, 101), key, size), 0);
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 50000), 0);
    const TCustomLayer* l = FindLayerById(*shown.View.Map, SignsId);
    ASSERT_TRUE(l && l->FindObject(102, 1000));
    std::vector<int32_t> runs;  // the sheets in the order their signs lie
    for (int32_t i = 0; i < l->Count; ++i)
        if (runs.empty() || runs.back() != l->Object(i)->SheetID) runs.push_back(l->Object(i)->SheetID);
    EXPECT_EQ(std::set<int32_t>(runs.begin(), runs.end()).size(), runs.size()) << "each sheet's signs lie together";
}

// Another view took the registered view's state: it shows the old map, whose
// kept objects both maps now list.
TEST(KeptSheets, AViewStillShowingTheOldMapKeepsItsObjects)
{
    TBandCity city;
    TShown shown(city, 1);
    TView copy(&shown.Surface);
    copy.ClientRect = shown.View.ClientRect;
    ASSERT_EQ(shown.Model.GetViewState(copy), 0);
    // Flags aside, which the new map's marking sets on the objects both list.
    const std::string before = MapBytes(*copy.Map, ShownFlags | ObjFlagInView);
    ASSERT_EQ(shown.Model.SetScaleDenominator(shown.View, 50000), 0);
    EXPECT_NE(copy.Map, shown.View.Map);
    EXPECT_TRUE(SameBytes(MapBytes(*copy.Map, ShownFlags | ObjFlagInView), before));
    const std::set<const TBaseObject*> now = shown.Signs();
    std::size_t shared = 0, kept = 0;
    const TCustomLayer* l = FindLayerById(*copy.Map, SignsId);
    for (int32_t i = 0; i < l->Count; ++i) shared += now.count(l->Object(i));
    for (const TBaseObject* o : now) kept += o->SheetID != 105;
    EXPECT_EQ(shared, kept);
    copy.Map.reset();  // each object freed once, the kept ones by the new map
    EXPECT_EQ(shown.Signs(), now);
}

} // namespace
} // namespace tarn::test
