// Levels of detail: when a change of scale switches the view's map, and
// which sheets a switch loads.
//
// The sample project has the city level (denominators 0 to 100000, the
// sheet city.map covering the whole extent) and an overview level (100000
// to 100000000, no sheets); its views have 0.25 mm per pixel.
#include "ModelSupport.h"

#include "data/LayerWalk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

TLevel& LevelOf(TModel& m, int i) { return *static_cast<TLevel*>(m.Project->GetItem(i)); }
TSheet& SheetOf(TLevel& l, int i) { return *static_cast<TSheet*>(l.Sheets->GetItem(i)); }

int32_t Streets(const TView& v)
{
    TCustomLayer* l = v.Map ? AsLayer(FindLayerByName(*v.Map, "Улицы")) : nullptr;
    return l ? l->Count : -1;
}

struct TSwitches {
    explicit TSwitches(TModel& m)
    {
        Token = m.OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
            Count += a.Code == 12;
            next(a);
        });
    }
    int Count = 0;
    THookToken Token;
};

TEST(Levels, OnlyACrossingOfARangeBoundSwitches)
{
    struct TStep {
        double Denominator;
        bool Switches;
        int32_t StreetsAfter;  // objects of the streets layer in the view's map
    };
    // The city is open at 1:20000.
    const TStep steps[] = {
        {40000, false, 1},      // within the city
        {100000, true, 0},      // the bound belongs to neither level
        {150000, true, 0},      // into the overview (no sheets)
        {99999, true, 1},       // back into the city
        {2000, false, 1},
    };
    TOpenCity c;
    for (const TStep& s : steps) {
        TSwitches sw(*c.Model);
        auto before = c.View->Map;
        ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, s.Denominator), 0);
        EXPECT_EQ(sw.Count, s.Switches ? 1 : 0) << "1:" << s.Denominator;
        EXPECT_EQ(c.View->Map != before, s.Switches) << "1:" << s.Denominator;
        EXPECT_EQ(Streets(*c.View), s.StreetsAfter) << "1:" << s.Denominator;
    }
}

TEST(Levels, TheFirstFitOfAFreshViewSwitches)
{
    TSampleCity city;
    TWindowSurface s(200, 200);
    s.SetMmPerPixel(0.25);
    TModel m;
    m.ProgramDir = city.Dir.Path();
    TView v(&s);
    m.AttachView(v);
    ASSERT_TRUE(m.OpenFile(city.Prj));
    EXPECT_EQ(Streets(v), 0) << "scale 0 lies in no level";
    TSwitches sw(m);
    ASSERT_EQ(m.ZoomAll(v), 0);
    EXPECT_EQ(sw.Count, 1);
    EXPECT_EQ(Streets(v), 1);
}

TEST(Levels, OnlyTheFlagByteKeepsALevelOut)
{
    struct TCase {
        int32_t Flags;
        bool Used;
    };
    for (TCase t : {TCase{0, true}, TCase{1, false}, TCase{0x80, false}, TCase{0x100, true}}) {
        TOpenCity c;
        LevelOf(*c.Model, 0).Flags = t.Flags;
        TSwitches sw(*c.Model);
        c.Model->LevelSwitch(*c.View);
        EXPECT_EQ(Streets(*c.View), t.Used ? 1 : 0) << "flags " << t.Flags;
        EXPECT_EQ(SheetOf(LevelOf(*c.Model, 0), 0).Flags & SheetFlagLoaded, t.Used ? SheetFlagLoaded : 0);
        EXPECT_EQ(sw.Count, 1) << "code 12 once per switch, loaded or not";
        // A level kept out never makes a change of scale inside it switch.
        ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 10000), 0);
        EXPECT_EQ(sw.Count, 1) << "flags " << t.Flags;
    }
}

TEST(Levels, ASheetReachingOneUnitPastTheProjectIsNotLoaded)
{
    struct TCase {
        int32_t OffsetX, OffsetY;
        bool Loaded;
    };
    const TCase cases[] = {{0, 0, true}, {1, 0, false}, {-1, 0, false}, {0, 1, false}, {0, -1, false}};
    for (const TCase& t : cases) {
        TOpenCity c;
        TLevel& city = LevelOf(*c.Model, 0);
        city.OffsetX = t.OffsetX;
        city.OffsetY = t.OffsetY;
        c.Model->LevelSwitch(*c.View);
        EXPECT_EQ(Streets(*c.View), t.Loaded ? 1 : 0) << t.OffsetX << ", " << t.OffsetY;
        EXPECT_EQ(SheetOf(city, 0).Flags, t.Loaded ? SheetFlagLoaded : 0) << t.OffsetX << ", " << t.OffsetY;
    }
}

TEST(Levels, AMissingSheetIsSkippedAndTheOthersStillLoad)
{
    TOpenCity c;
    TLevel& city = LevelOf(*c.Model, 0);
    city.Sheets->InsertAt(0, new TSheet("gone.map", 9, 0, 0, 1000000, 1000000, TPoint{1000, 1000}));
    TSwitches sw(*c.Model);
    c.Model->LevelSwitch(*c.View);
    EXPECT_EQ(sw.Count, 1);
    EXPECT_EQ(SheetOf(city, 0).Flags, SheetFlagLoaded | SheetFlagReadOnly) << "never written back";
    EXPECT_EQ(SheetOf(city, 1).Flags, SheetFlagLoaded);
    EXPECT_EQ(Streets(*c.View), 1);
    EXPECT_NE(c.Model->LastSheetError.find("gone.map"), std::string::npos);
}

TEST(Levels, AReadOnlySheetIsLoadedButNeverSaved)
{
    TOpenCity c;
    ASSERT_EQ(::chmod(c.City.Map.c_str(), 0444), 0);
    c.Model->LevelSwitch(*c.View);
    TSheet& sheet = SheetOf(LevelOf(*c.Model, 0), 0);
    EXPECT_EQ(sheet.Flags, SheetFlagLoaded | SheetFlagReadOnly) << "decided by the permission bits, root or not";
    EXPECT_EQ(Streets(*c.View), 1);
    struct stat before {};
    ASSERT_EQ(::stat(c.City.Map.c_str(), &before), 0);
    c.Model->SaveFile(c.City.Prj, 1);
    struct stat after {};
    ASSERT_EQ(::stat(c.City.Map.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "a rewrite would replace the file";
    EXPECT_FALSE(fs::exists(c.City.Dir.File("city.~ma"))) << "no backup copy either";
    ::chmod(c.City.Map.c_str(), 0644);
}

TEST(Levels, AMapSheetIsKnownByItsExtensionInAnyCase)
{
    TSampleCity city;
    TPrjOptions upper;
    upper.SheetName = "CITY.MAP";
    fs::rename(city.Map, city.Dir.File("CITY.MAP"));
    WriteFileBytes(city.Prj, PrjBytes(upper));
    TOpenCity shouting(city.Prj);
    TOpenCity plain;
    auto markSize = [](const TView& v) {
        TCustomLayer* l = AsLayer(FindLayerByName(*v.Map, "Отметки"));
        return l && l->Count == 1 ? static_cast<const TSignEx*>(l->Object(0))->Size : -1;
    };
    ASSERT_EQ(Streets(*shouting.View), 1);
    EXPECT_NE(markSize(*plain.View), 8) << "a map sheet's object sizes are scaled when loaded";
    EXPECT_EQ(markSize(*shouting.View), markSize(*plain.View));
}

} // namespace
} // namespace tarn::test
