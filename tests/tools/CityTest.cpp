// The demo city's folder opened through the model: files, levels, sheets,
// layers, objects, the same bytes for the same arguments, the user's files,
// saving user signs, and the command line.
#include "CitySupport.h"

#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObjBmp.h"
#include "data/Utils.h"
#include "data/_Common.h"
#include "platform/Cp1251.h"
#include "tools/CityPlan.h"
#include "tools/CityStyle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <typeindex>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;
using city::TCityReport;

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

std::vector<std::string> FilesOf(const std::string& dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TLevel& LevelOf(TModel& m, int i) { return *static_cast<TLevel*>(m.Project->GetItem(i)); }

std::map<std::string, int32_t> SheetsOf(const TLevel& level)
{
    std::map<std::string, int32_t> sheets;
    for (int32_t i = 0; i < level.Sheets->Count; ++i) {
        const TSheet& s = *static_cast<const TSheet*>(level.Sheets->GetItem(i));
        sheets[s.Name] = s.FileID;
    }
    return sheets;
}

TCustomLayer* Layer(TMap& map, const char* name) { return AsLayer(FindLayerByName(map, Cp(name))); }

std::unique_ptr<TModel> OpenModel(const std::string& project)
{
    auto m = std::make_unique<TModel>();
    m->ProgramDir = fs::path(project).parent_path().string();
    EXPECT_TRUE(m->OpenFile(project));
    return m;
}

// Objects of every sheet named by the project's levels, each sheet once.
int64_t ObjectsInSheets(TModel& m)
{
    std::set<std::string> seen;
    int64_t n = 0;
    for (int32_t li = 0; li < m.Project->Count; ++li)
        for (const auto& [name, id] : SheetsOf(LevelOf(m, li))) {
            if (!seen.insert(name).second) continue;
            TSheetFileState state;
            std::unique_ptr<TMap> sheet = m.LoadSheetFile(name, state, true);
            std::vector<TCustomLayer*> layers;
            CollectLayers(*sheet, true, layers);
            for (TCustomLayer* l : layers) n += l->Count;
        }
    return n;
}

TEST(MkCity, WritesEveryFileStartUpNeedsAndNoOther)
{
    const TCityFolder& c = SharedCity();
    std::vector<std::string> expected = {"banners.dat", "nav.map",  "nav.prj",  "nazv.map",     "nazv0.map",
                                         "obzor.map",   "places.map", "plan.bmp", "plan.map", "plan.tr",
                                         "signs.map",   "tarn.d05", "tarn.dat", "tarn.dll",     "tarn.map",
                                         "tarn.prj",    "tsclnt31.ini", "verbinsk.map"};
    for (int32_t i = 1; i <= c.Report.DetailSheets; ++i) expected.push_back(city::DetailSheetName(i));
    for (int b = 1; b <= city::BandCount; ++b) expected.push_back("nadp" + std::to_string(b) + ".map");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FilesOf(c.Dir.Path()), expected) << "no work folder or temporary file is left behind";

    EXPECT_TRUE(SameBytes(ReadFileBytes(c.File("tarn.dll")), ReadFileBytes(TARN_SYMBOLS_DLL)));
    const std::string magic("Tessara 4.02Project File\0", 25);
    EXPECT_EQ(ReadFileBytes(c.File("tarn.prj")).substr(0, 25), magic);
    EXPECT_EQ(ReadFileBytes(c.File("nav.prj")).substr(0, 25), magic);
    for (const std::string& name : FilesOf(c.Dir.Path())) {
        if (fs::path(name).extension() != ".map") continue;
        EXPECT_EQ(ReadFileBytes(c.File(name)).substr(0, 8), "TARN2.01") << name;
        struct stat st {};
        ASSERT_EQ(::stat(c.File(name).c_str(), &st), 0);
        // Only the user-sign sheet is saved by the program; the city's own
        // sheets are read-only, so saving signs never rewrites them.
        EXPECT_EQ((st.st_mode & 0222) != 0, name == "signs.map") << name;
    }
}

TEST(MkCity, ProjectHasLevelsOfDetailForTheCityTheOverviewEachLabelBandAndTheNames)
{
    std::unique_ptr<TModel> m = OpenModel(SharedCity().File(city::ProjectFile));
    ASSERT_EQ(m->Project->Count, 2 + city::BandCount + 2);
    TLevel& detail = LevelOf(*m, 0);
    TLevel& overview = LevelOf(*m, 1);
    EXPECT_EQ(detail.Name, Cp("Город"));
    EXPECT_EQ(detail.MinScale, 0);
    EXPECT_EQ(detail.MaxScale, city::LevelBoundary);
    EXPECT_EQ(overview.Name, Cp("Обзор"));
    EXPECT_EQ(overview.MinScale, city::LevelBoundary);
    EXPECT_EQ(overview.MaxScale, 20000000);
    EXPECT_DOUBLE_EQ(detail.Scale, 1.0);
    EXPECT_DOUBLE_EQ(overview.Scale, 1.0);

    // Each band of labels: a level of its own over the others, next to the
    // band before it, with only its sheet.
    for (int b = 0; b < city::BandCount; ++b) {
        TLevel& band = LevelOf(*m, 2 + b);
        EXPECT_EQ(band.Name, Cp(("Надписи " + city::BandName(b)).c_str()));
        EXPECT_EQ(band.MinScale, b == 0 ? 0 : LevelOf(*m, 1 + b).MaxScale) << b;
        EXPECT_EQ(band.MaxScale, city::BandTop(b)) << b;
        EXPECT_EQ(SheetsOf(band).size(), 1u) << b;
        EXPECT_TRUE(SheetsOf(band).count("nadp" + std::to_string(b + 1) + ".map")) << b;
    }

    // The names the lists read: drawn from the band where showing a name
    // lands outwards, without their texts closer in; one identifier for
    // both, and one scale where both are read.
    TLevel& names = LevelOf(*m, 2 + city::BandCount);
    TLevel& near = LevelOf(*m, 3 + city::BandCount);
    EXPECT_EQ(names.MinScale, city::BandBottom(city::IndexBand));
    EXPECT_EQ(names.MaxScale, overview.MaxScale);
    EXPECT_EQ(near.MinScale, 0);
    EXPECT_EQ(near.MaxScale, names.MinScale + 1);
    EXPECT_EQ(SheetsOf(names), (std::map<std::string, int32_t>{{city::NamesSheet, city::NamesSheetId}}));
    EXPECT_EQ(SheetsOf(near), (std::map<std::string, int32_t>{{city::NamesNearSheet, city::NamesSheetId}}));

    const auto d = SheetsOf(detail), o = SheetsOf(overview);
    // Sheets the program relies on, with the identifiers it uses, in both
    // levels: searching and user signs work at every scale.
    for (const auto* sheets : {&d, &o}) {
        EXPECT_EQ(sheets->at("tarn.map"), city::BaseSheetId);
        EXPECT_EQ(sheets->at("signs.map"), city::UserSignSheetId);
        EXPECT_EQ(sheets->at("places.map"), city::PlacesSheetId);
    }
    EXPECT_TRUE(o.count("obzor.map"));
    EXPECT_FALSE(d.count("obzor.map"));
    for (const char* name : {"verbinsk.map", "plan.map", "dom01.map"}) {
        EXPECT_TRUE(d.count(name)) << name;
        EXPECT_FALSE(o.count(name)) << name;
    }
    EXPECT_EQ(m->Project->Origin.X, 0);
    EXPECT_EQ(m->Project->Origin.Y, 0);
    EXPECT_EQ(m->LibraryName, "tarn.dll");
    EXPECT_EQ(m->LibraryLoaded, 1) << "the copied symbol library loads from the project's folder";
    EXPECT_EQ(m->FileContext.ProjectScale, 1000);
    ASSERT_EQ(m->Compounds->Count, 1) << "the station's building and sign";
    EXPECT_EQ(static_cast<TComplObject*>(m->Compounds->GetItem(0))->Count, 2);

    std::unique_ptr<TModel> nav = OpenModel(SharedCity().File(city::NavProjectFile));
    ASSERT_EQ(nav->Project->Count, 1);
    EXPECT_EQ(SheetsOf(LevelOf(*nav, 0)).count("nav.map"), 1u);
    EXPECT_EQ(nav->Project->Origin.X, m->Project->Origin.X) << "the navigator shares the city's world";
    EXPECT_EQ(nav->Project->Extent.Right, m->Project->Extent.Right);
}

TEST(MkCity, WorkingMapHasTheLayersTheProgramReads)
{
    std::unique_ptr<TModel> m = OpenModel(SharedCity().File(city::ProjectFile));
    TMap& work = *m->WorkMap;
    struct TWanted {
        const char* Name;
        int32_t Id;  // 0: any
        int16_t Kind;
    };
    const TWanted wanted[] = {
        {"Названия улиц", 0, LayerKindText},
        {"Улицы ВЕРБИНСКА", 0, LayerKindText},
        {"Наименование районов", 0, LayerKindText},
        {"Пользовательские знаки", city::UserSignLayerId, LayerKindStyledSign},
        {"Пункты распространения", city::PlacesLayerId, LayerKindStyledSign},
        {"Справочные центры", city::InfoCentreLayerId, LayerKindSign},
        {"Скан плана застройки", 0, LayerKindBitmap},
    };
    for (const TWanted& w : wanted) {
        TCustomLayer* l = Layer(work, w.Name);
        ASSERT_NE(l, nullptr) << w.Name;
        EXPECT_EQ(l->Kind, w.Kind) << w.Name;
        if (w.Id) {
            EXPECT_EQ(l->LayerId, w.Id) << w.Name;
        }
    }
    TCollection* town = FindLayerByName(work, Cp("Вербинск"));
    ASSERT_NE(dynamic_cast<TGapLayer*>(town), nullptr) << "the second town's labels form a group";
    EXPECT_NE(FindLayerOwner(work, Cp("Улицы ВЕРБИНСКА")), nullptr);

    std::vector<TCustomLayer*> layers;
    CollectLayers(work, true, layers);
    std::set<int> kinds;
    std::set<int32_t> ids;
    TUniqueID identifiers(SharedCity().Dir.Path());
    for (TCustomLayer* l : layers) {
        kinds.insert(l->Kind);
        EXPECT_TRUE(ids.insert(l->LayerId).second) << "identifier " << l->LayerId << " twice";
        EXPECT_NE(dynamic_cast<TInfoLayer*>(l), nullptr) << "the working map holds information layers";
        EXPECT_GT(l->ScaleLimit, 0) << Cp1251ToUtf8(l->Name);
        EXPECT_EQ(identifiers.GetLayerID(l->Name), l->LayerId) << "the identifier file agrees";
    }
    EXPECT_EQ(kinds, (std::set<int>{0, 1, 6, 7, 9, 10, 11, 12, 13}));
    EXPECT_EQ(identifiers.GetFileID("signs.map"), city::UserSignSheetId);
    EXPECT_EQ(identifiers.GetFileID("places.map"), city::PlacesSheetId);

    // Scale limits: labels by their band (the names the lists read in the
    // band where showing them lands), the main roads always: with their
    // casing close up, as thin lines further out.
    EXPECT_EQ(Layer(work, "Названия улиц")->ScaleLimit, city::IndexScaleLimit);
    EXPECT_EQ(Layer(work, "Номера домов 1:1 750 - 1:3 500")->ScaleLimit, 3500);
    EXPECT_LE(Layer(work, "Жилые дома")->ScaleLimit, city::LevelBoundary);
    EXPECT_GE(Layer(work, "Проспекты")->ScaleLimit, city::LevelBoundary);
    EXPECT_GE(Layer(work, "Осевые линии проспектов")->ScaleLimit, 1000000);
    EXPECT_GE(Layer(work, "Водоёмы")->ScaleLimit, 1000000);
}

// Keys of the objects of a layer in the view's map.
std::multiset<std::pair<int32_t, int32_t>> KeysIn(const TView& v, const char* layer)
{
    std::multiset<std::pair<int32_t, int32_t>> keys;
    if (TCustomLayer* l = Layer(*v.Map, layer))
        for (int32_t i = 0; i < l->Count; ++i) keys.insert({l->Object(i)->SheetID, l->Object(i)->Code});
    return keys;
}

TEST(MkCity, ZoomingInSwitchesTheLevelAndLoadsTheDetailSheets)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    v.ShowAll();
    ASSERT_GT(v.Denominator(), city::LevelBoundary);
    ASSERT_EQ(v.Denominator() > 28000 && v.Denominator() < 56000, true) << v.Denominator();
    const char* wholeBand = "Подписи районов 1:28 000 - 1:56 000";
    const char* streetBand = "Подписи улиц 1:1 750 - 1:3 500";
    EXPECT_FALSE(KeysIn(*v.View, wholeBand).empty());
    EXPECT_TRUE(KeysIn(*v.View, streetBand).empty());
    const auto streetsAbove = KeysIn(*v.View, "Названия улиц");
    const auto placesAbove = KeysIn(*v.View, "Пункты распространения");
    // The places of interest, which the object database points at, are
    // loaded at both levels, on the places' sheet.
    const auto shopsAbove = KeysIn(*v.View, "Магазины");
    EXPECT_GT(shopsAbove.size(), 100u);
    for (const auto& [sheet, code] : shopsAbove) EXPECT_EQ(sheet, city::PlacesSheetId);
    EXPECT_TRUE(KeysIn(*v.View, "Жилые дома").empty());
    EXPECT_FALSE(KeysIn(*v.View, "Кварталы").empty());

    v.Show(7000, 6300, 2500);
    EXPECT_TRUE(KeysIn(*v.View, wholeBand).empty()) << "each band's labels come with its level";
    EXPECT_FALSE(KeysIn(*v.View, streetBand).empty());
    EXPECT_FALSE(KeysIn(*v.View, "Жилые дома").empty());
    EXPECT_TRUE(KeysIn(*v.View, "Кварталы").empty());
    EXPECT_FALSE(KeysIn(*v.View, "Скан плана застройки").empty());
    // What start-up lists at the whole-map scale is found again close up:
    // the same keys at both levels.
    EXPECT_EQ(KeysIn(*v.View, "Названия улиц"), streetsAbove);
    EXPECT_EQ(KeysIn(*v.View, "Пункты распространения"), placesAbove);
    EXPECT_EQ(KeysIn(*v.View, "Магазины"), shopsAbove);
    std::multiset<std::pair<int32_t, int32_t>> places;
    for (int32_t code = 1; code <= 8; ++code) places.insert({city::PlacesSheetId, code});
    EXPECT_EQ(placesAbove, places) << "the places the object database points at";
    EXPECT_EQ(KeysIn(*v.View, "Справочные центры"),
              (std::multiset<std::pair<int32_t, int32_t>>{
                  {city::BaseSheetId, 811}, {city::BaseSheetId, 4698}, {city::BaseSheetId, 4680}}));
    for (const auto& [sheet, code] : KeysIn(*v.View, "Пользовательские знаки")) EXPECT_EQ(sheet, city::UserSignSheetId);
}

// The street list reads each label's text by its key (not forced) at the
// whole-map scale, and zooms to it at any scale: the names' sheet, listed
// by both levels, answers at both.
TEST(MkCity, LabelsOfSheetsSharedByBothLevelsAnswerAtEither)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    const std::pair<int32_t, int32_t> label = *KeysIn(*v.View, "Названия улиц").begin();
    const int32_t layer = Layer(*v.View->Map, "Названия улиц")->LayerId;
    const TObjectKey key{0, 1, layer, label.first, label.second};
    for (double denominator : {0.0, 2500.0}) {
        if (denominator > 0) v.Show(7000, 6300, denominator);
        std::vector<uint8_t> text, geometry;
        EXPECT_EQ(v.Model->GetObjectData(v.View.get(), 3, key, text), ResultDone) << v.Denominator();
        EXPECT_EQ(v.Model->GetObjectData(v.View.get(), 2, key, geometry), ResultDone) << v.Denominator();
    }
}

TEST(MkCity, HoldsEveryObjectClass)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    std::set<std::type_index> classes;
    const TBmp* picture = nullptr;
    auto collect = [&] {
        std::vector<TCustomLayer*> layers;
        CollectLayers(*v.View->Map, true, layers);
        for (TCustomLayer* l : layers)
            for (int32_t i = 0; i < l->Count; ++i) {
                classes.insert(typeid(*l->Object(i)));
                if (auto* b = dynamic_cast<const TBmp*>(l->Object(i))) picture = b;
            }
    };
    collect();
    v.Show(7000, 6300, 2500);
    collect();
    for (const std::type_index t : {std::type_index(typeid(TPolyLine)), std::type_index(typeid(TPolygon)),
                                    std::type_index(typeid(TPolyLineEx)), std::type_index(typeid(TPolygonEx)),
                                    std::type_index(typeid(TText)), std::type_index(typeid(TTextEx)),
                                    std::type_index(typeid(TSign)), std::type_index(typeid(TSignEx)),
                                    std::type_index(typeid(TExactPoint)), std::type_index(typeid(TBmp))})
        EXPECT_TRUE(classes.count(t)) << t.name();
    ASSERT_NE(picture, nullptr);
    EXPECT_NE(picture->Raster(), nullptr) << "the scanned plan is shown through its tiled cache";
    EXPECT_EQ(picture->FileName(), SharedCity().File("plan.bmp"));
}

TEST(MkCity, StreetLabelsUseEveryStreetTypeWordAndFollowTheStreets)
{
    TCityView v(SharedCity().File(city::ProjectFile));
    TCustomLayer* streets = Layer(*v.View->Map, "Названия улиц");
    ASSERT_NE(streets, nullptr);
    std::set<std::string> names;
    int turned = 0;
    for (int32_t i = 0; i < streets->Count; ++i) {
        const TText& t = *static_cast<const TText*>(streets->Object(i));
        names.insert(t.Text);
        turned += t.Angle != 0;
        EXPECT_EQ(RusUpperCase(t.Text), t.Text) << "names are written in capitals";
    }
    EXPECT_GE(names.size(), 140u);
    EXPECT_EQ(int32_t(names.size()), SharedCity().Report.Streets);
    EXPECT_EQ(streets->Count, int32_t(names.size())) << "each name once";
    EXPECT_GT(turned, streets->Count / 2) << "labels lie along their streets";
    for (const char* word : {"УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК", "ПРОСПЕКТ", "ПЛОЩАДЬ"}) {
        const std::string w = Cp(word);
        EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& n) { return n.find(w) != n.npos; }))
            << word;
    }
    std::set<std::string> town;
    TCustomLayer* townStreets = Layer(*v.View->Map, "Улицы ВЕРБИНСКА");
    for (int32_t i = 0; i < townStreets->Count; ++i) town.insert(static_cast<const TText*>(townStreets->Object(i))->Text);
    EXPECT_TRUE(town.count(Cp("УЛ. ЛЕСНАЯ")));
    EXPECT_EQ(int32_t(town.size()), SharedCity().Report.TownStreets);
    EXPECT_EQ(townStreets->Count, int32_t(town.size()));
    std::set<std::string> districts;
    TCustomLayer* areas = Layer(*v.View->Map, "Наименование районов");
    for (int32_t i = 0; i < areas->Count; ++i) districts.insert(static_cast<const TText*>(areas->Object(i))->Text);
    EXPECT_EQ(districts.size(), 13u) << "twelve districts and the second town";
    EXPECT_EQ(areas->Count, 13);
    EXPECT_TRUE(districts.count(Cp("ЦЕНТРАЛЬНЫЙ")));
    EXPECT_TRUE(districts.count(Cp("ВЕРБИНСК")));
}

TEST(MkCity, ObjectCountFollowsTheRequest)
{
    for (int32_t objects : {city::MinObjects, 20000, 60000}) {
        TCityFolder c(objects, 5);
        EXPECT_NEAR(double(c.Report.Objects), objects, objects * 0.03) << objects;
        std::unique_ptr<TModel> m = OpenModel(c.File(city::ProjectFile));
        EXPECT_EQ(ObjectsInSheets(*m), c.Report.Objects) << objects;
    }
}

TEST(MkCity, SameArgumentsGiveTheSameBytes)
{
    TCityFolder a(city::MinObjects, 7), b(city::MinObjects, 7), other(city::MinObjects, 8);
    const std::vector<std::string> files = FilesOf(a.Dir.Path());
    ASSERT_EQ(files, FilesOf(b.Dir.Path()));
    for (const std::string& name : files)
        EXPECT_TRUE(SameBytes(ReadFileBytes(b.File(name)), ReadFileBytes(a.File(name)))) << name;
    EXPECT_NE(ReadFileBytes(other.File("tarn.map")), ReadFileBytes(a.File("tarn.map"))) << "another seed, another city";
}

TEST(MkCity, KeepsTheUsersFilesUnlessForced)
{
    TCityFolder c(city::MinObjects, 3);
    const std::string generated = ReadFileBytes(c.File("signs.map"));
    WriteFileBytes(c.File("tarn.ini"), "[OPTIONS]\nRASTRDRAW=0\n");
    WriteFileBytes(c.File("signs.map"), "the user's signs");
    city::TCityOptions o;
    o.OutDir = c.Dir.Path();
    o.Objects = city::MinObjects;
    o.Seed = 3;
    o.SymbolLibrary = TARN_SYMBOLS_DLL;
    const TCityReport again = city::MakeCity(o);
    EXPECT_EQ(again.Kept, (std::vector<std::string>{"signs.map", "tarn.ini"}));
    EXPECT_EQ(ReadFileBytes(c.File("signs.map")), "the user's signs");
    EXPECT_EQ(ReadFileBytes(c.File("tarn.ini")), "[OPTIONS]\nRASTRDRAW=0\n");

    o.Force = true;
    const TCityReport forced = city::MakeCity(o);
    EXPECT_TRUE(forced.Kept.empty());
    EXPECT_TRUE(SameBytes(ReadFileBytes(c.File("signs.map")), generated));
    EXPECT_FALSE(fs::exists(c.File("tarn.ini"))) << "a forced run starts the program afresh";
}

TEST(MkCity, SavingUserSignsRewritesOnlyTheirSheet)
{
    TCityFolder c(city::MinObjects, 4);
    std::map<std::string, std::string> before;
    for (const std::string& name : FilesOf(c.Dir.Path())) before[name] = ReadFileBytes(c.File(name));
    TCityView v(c.File(city::ProjectFile));
    v.Show(7000, 6300, 2500);
    TObjectKey key{0, 1, city::UserSignLayerId, city::UserSignSheetId, 1};
    TObjectHeader h;
    h.X = 7000000;
    h.Y = 6300000;
    h.Flags = 1;
    uint8_t header[ObjectHeaderSize];
    EncodeObjectHeader(h, header);
    ASSERT_EQ(v.Model->CreateObject(v.View.get(), 3, key, header, int32_t(sizeof header)), ResultDone);
    v.Model->SaveFile(c.File(city::ProjectFile), 1);

    for (const auto& [name, bytes] : before) {
        if (name == "signs.map" || name == "tarn.prj") continue;
        EXPECT_TRUE(SameBytes(ReadFileBytes(c.File(name)), bytes)) << name;
    }
    EXPECT_NE(ReadFileBytes(c.File("signs.map")), before["signs.map"]);
    EXPECT_TRUE(fs::exists(c.File("signs.~ma")));
    EXPECT_FALSE(fs::exists(c.File("tarn.~ma"))) << "read-only sheets are neither saved nor backed up";
    TCityView again(c.File(city::ProjectFile));
    EXPECT_EQ(KeysIn(*again.View, "Пользовательские знаки").size(), 4u) << "three samples and the new sign";
}

TEST(MkCity, SheetPicturesKeepTheirNameRelativeToTheProject)
{
    TCityFolder c(city::MinObjects, 6);
    ASSERT_EQ(::chmod(c.File("plan.map").c_str(), 0644), 0);
    TCityView v(c.File(city::ProjectFile));
    v.Show(15000, 2850, 10000);
    v.Model->SaveFile(c.File(city::ProjectFile), 1);
    const std::string sheet = ReadFileBytes(c.File("plan.map"));
    EXPECT_NE(sheet.find("plan.bmp"), std::string::npos);
    EXPECT_EQ(sheet.find(c.Dir.Path()), std::string::npos) << "no folder is stored with the picture's name";
    TCityView again(c.File(city::ProjectFile));
    again.Show(15000, 2850, 10000);
    const TCustomLayer* raster = Layer(*again.View->Map, "Скан плана застройки");
    ASSERT_EQ(raster->Count, 1);
    EXPECT_NE(static_cast<const TBmp*>(raster->Object(0))->Raster(), nullptr);
}

// ---------------------------------------------------------------- the command line

struct TRun {
    int Code;
    std::string Out, Err;
};

TRun MkCity(const std::vector<std::string>& args, const std::string& library = TARN_SYMBOLS_DLL)
{
    std::ostringstream out, err;
    const int code = city::RunMkCity(args, library, out, err);
    return {code, out.str(), err.str()};
}

TEST(MkCityCommandLine, RefusesBadArgumentsWithAMessage)
{
    TTempDir dir;
    const std::string out = dir.File("city");
    const struct {
        std::vector<std::string> Args;
        const char* Message;
    } cases[] = {
        {{}, "no output folder"},
        {{"--objects"}, "--objects needs a value"},
        {{"--objects", "abc", out}, "--objects needs a whole number"},
        {{"--objects", "100", out}, "--objects needs a whole number from 10000"},
        {{"--objects", "-5", out}, "--objects needs a whole number"},
        {{"--objects", "99999999999", out}, "--objects needs a whole number"},
        {{"--seed", "-1", out}, "--seed needs a whole number"},
        {{"--seed", "4294967296", out}, "--seed needs a whole number"},
        {{"--seed"}, "--seed needs a value"},
        {{"--colour", out}, "unknown option --colour"},
        {{out, dir.File("other")}, "one output folder only"},
    };
    for (const auto& c : cases) {
        const TRun r = MkCity(c.Args);
        EXPECT_EQ(r.Code, 2) << c.Message;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << r.Err;
    }
    EXPECT_FALSE(fs::exists(out)) << "nothing is written after a bad argument";
}

TEST(MkCityCommandLine, UnwritableFolderOrMissingLibraryFails)
{
    TTempDir dir;
    WriteFileBytes(dir.File("file"), "x");
    const TRun notFolder = MkCity({dir.File("file")});
    EXPECT_EQ(notFolder.Code, 1);
    EXPECT_NE(notFolder.Err.find("is not a folder"), std::string::npos) << notFolder.Err;
    const TRun under = MkCity({dir.File("file") + "/city"});
    EXPECT_EQ(under.Code, 1);
    EXPECT_NE(under.Err.find("cannot create the folder"), std::string::npos) << under.Err;
    const TRun library = MkCity({dir.File("city")}, dir.File("missing.dll"));
    EXPECT_EQ(library.Code, 1);
    EXPECT_NE(library.Err.find("cannot read the symbol library"), std::string::npos) << library.Err;
    EXPECT_EQ(ReadFileBytes(dir.File("file")), "x");
}

TEST(MkCityCommandLine, WritesTheFolderAndSaysWhat)
{
    TTempDir dir;
    const TRun r = MkCity({"--objects", "10000", "--seed", "9", dir.File("city")});
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("map objects"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find(" cards, 3 records in tarn.d05, 3 banners"), std::string::npos) << r.Out;
    EXPECT_TRUE(fs::exists(dir.File("city/tarn.prj")));
    const TRun help = MkCity({"--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_NE(help.Out.find("usage: mkcity"), std::string::npos);
}

} // namespace
} // namespace tarn::test
