// Opening and saving ".prj", ".mts" and lone ".map" files through the model.
#include "ModelSupport.h"

#include "data/FlatFile.h"
#include "data/LayerWalk.h"
#include "data/ProjectLinks.h"
#include "model/ModelsInternal.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

const TLevel& Level(const TModel& m, int i) { return *static_cast<const TLevel*>(m.Project->GetItem(i)); }
const TSheet& Sheet(const TLevel& l, int i) { return *static_cast<const TSheet*>(l.Sheets->GetItem(i)); }

std::vector<uint8_t> Get(TOpenCity& c, uint16_t op, const TObjectKey& k, int32_t* result = nullptr)
{
    std::vector<uint8_t> b;
    int32_t r = c.Model->GetObjectData(c.View.get(), op, k, b);
    if (result) *result = r;
    return r == 0 ? b : std::vector<uint8_t>();
}

std::size_t FileCount(const std::string& dir)
{
    std::size_t n = 0;
    for (auto& e : fs::directory_iterator(dir)) n += e.is_regular_file();
    return n;
}

TEST(ModelPrj, OpensEveryPartOfAProjectAndItsSheet)
{
    TOpenCity c;
    TModel& m = *c.Model;
    ASSERT_TRUE(m.Project);
    EXPECT_EQ(m.FileName, c.City.Prj);
    ASSERT_EQ(m.Project->Count, 2);
    EXPECT_EQ(Level(m, 0).Name, "Город");
    EXPECT_EQ(Level(m, 1).MinScale, 100000);
    const TSheet& s = Sheet(Level(m, 0), 0);
    EXPECT_EQ(s.Name, "city.map");
    EXPECT_EQ(s.Flags, SheetFlagLoaded) << "loaded by the view's level switch, writable";
    EXPECT_EQ(m.LibraryName, "tarn.dll");
    EXPECT_EQ(m.StoredValue, 77);
    EXPECT_EQ(m.FileContext.ProjectScale, SampleScale);
    ASSERT_EQ(m.Compounds->Count, 1);
    EXPECT_EQ(static_cast<TComplObject*>(m.Compounds->GetItem(0))->Identifier, 7);
    ASSERT_EQ(m.CollectionA->Count, 1);
    EXPECT_EQ(dynamic_cast<TClientInfo*>(m.CollectionA->GetItem(0))->Number, 42);
    ASSERT_EQ(m.CollectionB->Count, 1);
    EXPECT_NE(dynamic_cast<TAlias*>(m.CollectionB->GetItem(0)), nullptr);
    std::vector<uint8_t> g = Get(c, 2, Key(StreetsId, 1));
    ASSERT_EQ(g.size(), 16u) << "the street came from the sheet into the view's map";
    EXPECT_EQ(GetI32(g.data() + 8), 900000);
    EXPECT_EQ(GetI32(g.data() + 12), 500000);
}

TEST(ModelPrj, SavingWithoutChangesGivesTheSameBytes)
{
    TOpenCity c;
    std::string copy = c.City.Dir.File("copy.PRJ");
    c.Model->SaveFile(copy, 0);
    EXPECT_TRUE(SameBytes(ReadFileBytes(copy), ReadFileBytes(c.City.Prj)));
    EXPECT_EQ(c.Model->FileName, copy);
    TOpenCity again(copy);
    EXPECT_EQ(again.Model->Project->Count, 2) << "a capital extension opens as a project";
}

TEST(ModelPrj, SavingWithSheetsRewritesTheSheetAfterABackup)
{
    TOpenCity c;
    std::string original = ReadFileBytes(c.City.Map);
    uint8_t line[16];
    PutI32(line, 100000);
    PutI32(line + 4, 400000);
    PutI32(line + 8, 700000);
    PutI32(line + 12, 400000);
    int32_t size = 16;
    ASSERT_EQ(c.Model->SetObjectData(c.View.get(), 12, Key(StreetsId, 1), line, size), 0);
    c.Model->SaveFile(c.City.Prj, 1);
    EXPECT_EQ(c.Model->StructureChanged, 0);
    EXPECT_TRUE(SameBytes(ReadFileBytes(c.City.Dir.File("city.~ma")), original));
    TOpenCity back(c.City.Prj);
    std::vector<uint8_t> g = Get(back, 2, Key(StreetsId, 1));
    ASSERT_EQ(g.size(), 16u);
    EXPECT_EQ(GetI32(g.data() + 4), 400000);
    EXPECT_EQ(GetI32(g.data() + 8), 700000);
    // Every other object and its sizes came back as they were.
    std::vector<uint8_t> a = Get(back, 4, Key(StyledSignsId, 1));
    ASSERT_EQ(a.size(), 20u);
    EXPECT_EQ(GetI32(a.data() + 16), 8 * SampleScale / 100) << "the sign size, scaled for drawing";
    EXPECT_EQ(Get(back, 3, Key(StyledLinesId, 1)), (std::vector<uint8_t>{'R', 'o', 'u', 't', 'e', 0}));
}

TEST(ModelPrj, AVersion100ProjectReadsAndSavesWithoutItsExtras)
{
    TSampleCity city;
    TPrjOptions old;
    old.Version = 100;
    old.WithExtras = true;
    old.Layers = false;
    std::string path = city.Dir.File("old.prj");
    WriteFileBytes(path, PrjBytes(old));
    TModel m;
    m.ProgramDir = city.Dir.Path();
    ASSERT_TRUE(m.OpenFile(path));
    EXPECT_EQ(m.Project->Count, 2);
    EXPECT_EQ(m.Compounds->Count, 1) << "read after the extras";
    EXPECT_EQ(m.CollectionB->Count, 1);
    std::string saved = city.Dir.File("saved.prj");
    m.SaveFile(saved, 0);
    TPrjOptions current;
    current.Layers = false;
    EXPECT_TRUE(SameBytes(ReadFileBytes(saved), PrjBytes(current)));
}

TEST(ModelPrj, TheLibraryNameIsCutAt100AndWrittenZeroPadded)
{
    TSampleCity city;
    TPrjOptions o;
    o.Library = std::string(101, 'x');
    WriteFileBytes(city.Prj, PrjBytes(o));
    TOpenCity c(city.Prj);
    EXPECT_EQ(c.Model->LibraryName, std::string(100, 'x'));
    EXPECT_FALSE(c.Model->LibraryLoaded);
    std::string saved = city.Dir.File("saved.prj");
    c.Model->SaveFile(saved, 0);
    TPrjOptions cut;
    cut.Library = std::string(100, 'x');
    EXPECT_TRUE(SameBytes(ReadFileBytes(saved), PrjBytes(cut)));
}

TEST(ModelPrj, TheLibraryIsLoadedFromTheProjectsFolder)
{
    TSampleCity city;
    fs::copy_file(TARN_SYMBOLS_DLL, city.Dir.File("tarn.dll"));
    TOpenCity c(city.Prj);
    EXPECT_EQ(c.Model->LibraryLoaded, 1);
    EXPECT_EQ(fs::path(c.Model->Library.Path()).parent_path(), fs::path(city.Dir.Path()));
}

TEST(ModelPrj, TwoModelsKeepTheirOwnProjectScale)
{
    TSampleCity city;
    TPrjOptions nav;
    nav.ProjectScale = 5000;
    nav.SheetName = "nav.map";  // missing: skipped, so its scale stays
    std::string navPath = city.Dir.File("nav.prj");
    WriteFileBytes(navPath, PrjBytes(nav));
    TOpenCity main(city.Prj);
    TOpenCity navigator(navPath);
    EXPECT_EQ(main.Model->FileContext.ProjectScale, SampleScale);
    EXPECT_EQ(navigator.Model->FileContext.ProjectScale, 5000);
    const TSheet& missing = Sheet(Level(*navigator.Model, 0), 0);
    EXPECT_EQ(missing.Flags, SheetFlagLoaded | SheetFlagReadOnly) << "a missing sheet is never written";
    main.Model->SaveFile(city.Dir.File("a.prj"), 1);
    navigator.Model->SaveFile(city.Dir.File("b.prj"), 1);
    EXPECT_FALSE(fs::exists(city.Dir.File("nav.map")));
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Dir.File("a.prj")), PrjBytes()));
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Dir.File("b.prj")), PrjBytes(nav)));
}

TEST(ModelPrj, AFailedOpenLeavesTheModelAsItWas)
{
    TOpenCity c;
    TProject* project = c.Model->Project.get();
    auto map = c.View->Map;
    std::string bad = c.City.Dir.File("bad.prj");
    std::string bytes = ReadFileBytes(c.City.Prj);
    WriteFileBytes(bad, bytes.substr(0, bytes.size() / 2));
    try {
        c.Model->OpenFile(bad);
        FAIL() << "a cut project opened";
    } catch (const EModel& e) {
        EXPECT_EQ(std::string(e.what()), "Ошибка входного файла " + bad);
        EXPECT_FALSE(e.Cause.empty());
    }
    EXPECT_EQ(c.Model->Project.get(), project);
    EXPECT_EQ(c.Model->FileName, c.City.Prj);
    EXPECT_EQ(c.View->Map, map);
    EXPECT_EQ(c.Model->FileContext.ProjectScale, SampleScale);
    WriteFileBytes(bad, "Tessara 4.02Project Filx" + std::string(40, '\0'));
    EXPECT_THROW(c.Model->OpenFile(bad), EModel);
    EXPECT_THROW(c.Model->OpenFile(c.City.Dir.File("missing.prj")), EModel);
    EXPECT_EQ(c.Model->Project.get(), project);
}

TEST(ModelFiles, UnknownExtensionsOpenNothingAndRefuseToSave)
{
    TOpenCity c;
    EXPECT_FALSE(c.Model->OpenFile(c.City.Dir.File("city.doc")));
    try {
        c.Model->SaveFile(c.City.Dir.File("x.Txt"), 0);
        FAIL();
    } catch (const EModel& e) {
        EXPECT_EQ(std::string(e.what()), "Тип файла .Txt не поддерживается...");
    }
    EXPECT_THROW(c.Model->SaveFile(c.City.Dir.File("x.map"), 0), EModel) << "a project is not a lone map";
}

// ---------------------------------------------------------------- block files

TEST(ModelMts, RoundTripsEveryBlockAndTheSheetObjects)
{
    TOpenCity c;
    std::string mts = c.City.Dir.File("city.mts");
    c.Model->SaveFile(mts, 1);
    EXPECT_EQ(Sheet(Level(*c.Model, 0), 0).Name, "city.mts") << "the sheet moved into the block file";
    TOpenCity back(mts);
    TModel& m = *back.Model;
    EXPECT_EQ(m.Project->Count, 2);
    EXPECT_EQ(m.LibraryName, "tarn.dll");
    EXPECT_EQ(m.StoredValue, 77);
    EXPECT_EQ(m.FileContext.ProjectScale, SampleScale);
    EXPECT_EQ(m.Compounds->Count, 1);
    EXPECT_EQ(m.CollectionA->Count, 1);
    EXPECT_EQ(m.CollectionB->Count, 1);
    EXPECT_EQ(m.Header->Version, 102);
    EXPECT_EQ(Get(back, 3, Key(LabelsId, 1)), (std::vector<uint8_t>{'C', 'e', 'n', 't', 'e', 'r', 0}));
    std::vector<uint8_t> g = Get(back, 2, Key(BlocksId, 1));
    EXPECT_EQ(g.size(), 32u);
    std::unique_ptr<TCustomLayer> block = m.LoadLayerBlock("city.mts", StreetsId);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->Count, 1);
    EXPECT_FALSE(m.LoadLayerBlock("city.mts", 4242)) << "no block for that layer";
}

TEST(ModelMts, AMissingBlockKeepsWhatTheModelHad)
{
    TOpenCity c;
    std::string mts = c.City.Dir.File("part.mts");
    {
        std::unique_ptr<TFlatFile> f = TFlatFile::OpenForWriting(mts);
        TMemoryStream s;
        WriteLibraryName(s, "other.dll");
        s.writeI32LE(5);
        s.writeI32LE(1234);
        s.writeU8(0);
        f->NewObject(10005);
        f->WriteObject(10005, s.Bytes().data(), int32_t(s.Bytes().size()));
        f->Commit();
    }
    TProject* project = c.Model->Project.get();
    TMap* work = c.Model->WorkMap.get();
    ASSERT_TRUE(c.Model->OpenFile(mts));
    EXPECT_EQ(c.Model->Project.get(), project);
    EXPECT_EQ(c.Model->WorkMap.get(), work);
    EXPECT_EQ(c.Model->Compounds->Count, 1);
    EXPECT_EQ(c.Model->LibraryName, "other.dll");
    EXPECT_EQ(c.Model->StoredValue, 5);
    EXPECT_EQ(c.Model->FileContext.ProjectScale, SampleScale) << "the sheet loaded again brings its own scale";
}

TEST(ModelMts, LayerIdentifiersThatWouldTakeTheProjectsBlocksAreRefused)
{
    for (int32_t id : {9900, 9906, -95}) {
        TOpenCity c;
        FindLayerById(*c.Model->WorkMap, StreetsId)->LayerId = id;
        std::string mts = c.City.Dir.File("bad.mts");
        EXPECT_THROW(c.Model->SaveFile(mts, 1), EWriteError) << id;
        EXPECT_FALSE(fs::exists(mts)) << id;
    }
}

// ---------------------------------------------------------------- lone sheets

TEST(ModelMap, ALoneSheetOpensAsAProjectOfOneLevel)
{
    TSampleCity city;
    TWindowSurface surface(200, 200);
    surface.SetMmPerPixel(0.25);
    TModel m;
    m.ProgramDir = city.Dir.Path();
    TView v(&surface);
    v.Scale = 5000;
    m.AttachView(v);
    int code14 = 0;
    THookToken t = m.OnNotify.Install([&](const auto&, const TNotifyArgs& a) { code14 += a.Code == 14; });
    std::string upper = city.Dir.File("CITY.MAP");
    fs::rename(city.Map, upper);
    ASSERT_TRUE(m.OpenFile(upper));
    EXPECT_EQ(code14, 1);
    EXPECT_EQ(m.OpenedFromMap, 1);
    ASSERT_EQ(m.Project->Count, 1);
    const TLevel& l = Level(m, 0);
    EXPECT_EQ(l.Value, 1);
    EXPECT_EQ(l.MinScale, 0);
    EXPECT_EQ(l.MaxScale, 20000000);
    EXPECT_EQ(l.Scale, 1.0);
    ASSERT_EQ(l.Sheets->Count, 1);
    EXPECT_EQ(Sheet(l, 0).Name, "CITY.MAP");
    EXPECT_EQ(Sheet(l, 0).Width, 1000000);
    EXPECT_EQ(m.WorkMap->Name, "Город");
    EXPECT_EQ(m.LibraryName, "tarn.dll");
    EXPECT_EQ(m.FileContext.ProjectScale, 10000) << "from the level's scale";
    TCustomLayer* streets = AsLayer(FindLayerByName(*v.Map, "Улицы"));
    ASSERT_TRUE(streets);
    EXPECT_EQ(streets->Count, 1);
    EXPECT_NE(dynamic_cast<TInfoLayer*>(FindLayerByName(*m.WorkMap, "Улицы")), nullptr);
}

TEST(ModelMap, SavingALoneSheetBacksItUpAndReadsBackTheSame)
{
    TSampleCity city;
    std::string original = ReadFileBytes(city.Map);
    TOpenCity c(city.Map);
    c.Model->SaveFile(city.Map, 1);
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Dir.File("city.~ma")), original));
    TOpenCity back(city.Map);
    TCustomLayer* a = AsLayer(FindLayerByName(*c.View->Map, "Отметки"));
    TCustomLayer* b = AsLayer(FindLayerByName(*back.View->Map, "Отметки"));
    ASSERT_TRUE(a && b);
    ASSERT_EQ(b->Count, 1);
    EXPECT_EQ(static_cast<TSignEx*>(b->Object(0))->Size, static_cast<TSignEx*>(a->Object(0))->Size);
    EXPECT_EQ(b->Style1, a->Style1) << "layer sizes converted back exactly once";
    std::vector<TCustomLayer*> la, lb;
    CollectLayers(*c.View->Map, true, la);
    CollectLayers(*back.View->Map, true, lb);
    ASSERT_EQ(lb.size(), la.size()) << "every layer written, the picture layer too";
    for (std::size_t i = 0; i < la.size(); ++i) {
        EXPECT_EQ(lb[i]->Name, la[i]->Name);
        EXPECT_EQ(lb[i]->Count, la[i]->Count) << la[i]->Name;
        EXPECT_EQ(lb[i]->Style2, la[i]->Style2) << la[i]->Name;
    }
}

TEST(ModelMap, AFailedWriteLeavesTheOldSheet)
{
    TSampleCity city;
    TOpenCity c(city.Map);
    std::string before = ReadFileBytes(city.Map);
    std::size_t files = FileCount(city.Dir.Path());
    uint8_t far[16] = {};
    PutI32(far, 2000000000);
    int32_t size = 16;
    TCustomLayer* streets = AsLayer(FindLayerByName(*c.View->Map, "Улицы"));
    TObjectKey k = Key(streets->LayerId, 1, streets->Object(0)->SheetID);
    ASSERT_EQ(c.Model->SetObjectData(c.View.get(), 12, k, far, size), 0);
    EXPECT_THROW(c.Model->SaveFile(city.Map, 1), EWriteError);
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Map), before));
    EXPECT_EQ(FileCount(city.Dir.Path()), files) << "no backup, no temporary file left";
}

TEST(ModelMap, AStoredSizeThatDoesNotFitRefusesTheSave)
{
    TSampleCity city;
    TOpenCity c(city.Map);
    std::string before = ReadFileBytes(city.Map);
    const_cast<TSheet&>(Sheet(Level(*c.Model, 0), 0)).Width = 40000000;  // 40000 stored units
    EXPECT_THROW(c.Model->SaveFile(city.Map, 1), EWriteError);
    EXPECT_TRUE(SameBytes(ReadFileBytes(city.Map), before));
}

TEST(ModelMap, CorruptInputLeavesTheModelUnchanged)
{
    TSampleCity city;
    TOpenCity c(city.Map);
    TProject* project = c.Model->Project.get();
    auto map = c.View->Map;
    std::string bad = city.Dir.File("bad.map");
    std::string bytes = ReadFileBytes(city.Map);
    bytes[3] = 'X';
    WriteFileBytes(bad, bytes);
    EXPECT_THROW(c.Model->OpenFile(bad), EModel);
    WriteFileBytes(bad, bytes.substr(0, 8) + bytes.substr(8, 40));
    EXPECT_THROW(c.Model->OpenFile(bad), EModel);
    EXPECT_EQ(c.Model->Project.get(), project);
    EXPECT_EQ(c.View->Map, map);
    EXPECT_EQ(c.Model->OpenedFromMap, 1);
    EXPECT_EQ(c.Model->FileName, city.Map);
}

TEST(ModelFiles, OpeningAnotherFileRebuildsTheViewsMaps)
{
    TOpenCity c;
    auto before = c.View->Map;
    int switches = 0;
    THookToken t = c.Model->OnNotify.Install([&](const auto&, const TNotifyArgs& a) { switches += a.Code == 12; });
    ASSERT_TRUE(c.Model->OpenFile(c.City.Map));
    EXPECT_EQ(switches, 1);
    EXPECT_NE(c.View->Map, before);
    TCustomLayer* streets = AsLayer(FindLayerByName(*c.View->Map, "Улицы"));
    ASSERT_TRUE(streets);
    EXPECT_EQ(streets->LayerId, FindLayerById(*c.Model->WorkMap, streets->LayerId)->LayerId);
    EXPECT_EQ(streets->Count, 1);
}

} // namespace
} // namespace tarn::test
