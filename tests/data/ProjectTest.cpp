#include "TestSupport.h"
#include "data/FileNames.h"
#include "data/Project.h"

#include <cstring>
#include <filesystem>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

std::string Magic(const char* text) { return std::string(text, 24) + std::string(1, '\0'); }

const std::string Reserved4 = Bytes({1, 2, 3, 4});
const std::string Reserved12 = Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});

// Name "P", extent (0, 100, 200, 0), NextID 5, extent set, origin (-50, 20).
const std::string ProjectFields = Bytes({0x01, 0x00, 'P'}) + I32(0) + I32(100) + I32(200) + I32(0) + I32(5) +
                                  Bytes({0x00}) + I32(-50) + I32(20) + Reserved4;
const std::string ProjectFiler = Magic("Tessara 4.02Project File") + Bytes({2, 0, 2, 0, 2, 0x10}) + ProjectFields;
const std::string ProjectStream = I32(0) + I32(8) + ProjectFields;

std::unique_ptr<TProject> SampleProject()
{
    auto p = std::make_unique<TProject>("P");
    p->ExpandExtent({-50, 120, 150, 20});
    p->NextID = 5;
    p->Reserved = {1, 2, 3, 4};
    return p;
}

template <class T>
std::string FilerBytes(const T& item)
{
    TMemoryStream m;
    TWriter w(m);
    item.WriteFiler(w);
    return m.Bytes();
}

template <class T>
std::string StreamBytes(const T& item)
{
    TMemoryStream m;
    item.Store(m);
    return m.Bytes();
}

template <class T>
std::unique_ptr<T> FromFiler(const std::string& bytes, TFileContext* context = nullptr)
{
    TMemoryStream m(bytes);
    if (context) m.SetContext(*context);
    TReader r(m);
    auto item = std::make_unique<T>(r);
    EXPECT_EQ(m.Remaining(), 0) << "bytes left over";
    return item;
}

template <class T>
std::unique_ptr<T> FromStream(const std::string& bytes)
{
    TMemoryStream m(bytes);
    auto item = std::make_unique<T>(m, nullptr);
    EXPECT_EQ(m.Remaining(), 0) << "bytes left over";
    return item;
}

class ProjectRecords : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
};

} // namespace

TEST_F(ProjectRecords, ProjectBothForms)
{
    auto p = SampleProject();
    EXPECT_TRUE(SameBytes(FilerBytes(*p), ProjectFiler));
    EXPECT_TRUE(SameBytes(StreamBytes(*p), ProjectStream));
    EXPECT_TRUE(SameBytes(FilerBytes(*FromFiler<TProject>(ProjectFiler)), ProjectFiler));
    EXPECT_TRUE(SameBytes(StreamBytes(*FromStream<TProject>(ProjectStream)), ProjectStream));
    auto back = FromStream<TProject>(ProjectStream);
    EXPECT_EQ(back->Name, "P");
    EXPECT_EQ(back->Origin, (TPoint{-50, 20}));
    EXPECT_EQ(back->ExtentEmpty, 0);

    // A new project: no extent yet, nothing reserved.
    TProject fresh("");
    EXPECT_TRUE(SameBytes(StreamBytes(fresh), I32(0) + I32(8) + Bytes({0, 0}) + std::string(20, '\0') +
                                                   Bytes({1}) + std::string(12, '\0')));
    EXPECT_TRUE(EveryTruncationFails(ProjectFiler, [](const std::string& b) { FromFiler<TProject>(b); }));
    EXPECT_TRUE(EveryTruncationFails(ProjectStream, [](const std::string& b) { FromStream<TProject>(b); }));
}

TEST_F(ProjectRecords, MagicGivesTheFileVersion)
{
    struct Case {
        const char* Magic;
        int32_t Version;
    } cases[] = {
        {"Tessara 4.02Project File", 102},
        {"Tessara 4.01Project File", 101},
        {"Tessara 4.0AProject File", 100},
        {"Tessara 4.10Project File", 110},
    };
    for (const Case& c : cases) {
        TFileContext context;
        context.FileVersion = 7;
        std::string bytes = Magic(c.Magic) + ProjectFiler.substr(25);
        FromFiler<TProject>(bytes, &context);
        EXPECT_EQ(context.FileVersion, c.Version) << c.Magic;
    }
}

TEST_F(ProjectRecords, WrongMagicIsRefusedAndLeavesTheVersion)
{
    for (std::string bytes : {Magic("Tessarb 4.02Project File") + ProjectFiler.substr(25), std::string("PK\x03\x04"),
                              std::string(200, 'x')}) {
        TFileContext context;
        context.FileVersion = 7;
        try {
            FromFiler<TProject>(bytes, &context);
            ADD_FAILURE() << "read as a project";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find("Файл не является проектом"), std::string::npos) << e.what();
        }
        EXPECT_EQ(context.FileVersion, 7);
    }
}

namespace {

std::string F64(double v)
{
    char b[8];
    std::memcpy(b, &v, 8);
    return std::string(b, 8);
}

// Sheet "a.map": identifier 7, rectangle (-1000, 200, 40000, 5), origin (0, -1).
const std::string SheetName = Bytes({0x05, 0x00, 'a', '.', 'm', 'a', 'p'});
const std::string SheetFiler =
    SheetName + Bytes({2, 7, 3, 0x18, 0xFC, 3, 0xC8, 0, 4, 0x40, 0x9C, 0, 0, 2, 5, 2, 0, 2, 0xFF}) + Reserved12;
const std::string SheetStream =
    SheetName + I32(7) + I32(-1000) + I32(200) + I32(40000) + I32(5) + I32(0) + I32(-1) + Reserved12;
// An empty map named "M" after its layers, with map scale 2.5.
const std::string MapFields = Bytes({0x01, 0x00, 'M'}) + I32(0) + std::string(32 + 32 + 4 + 8 + 13, '\0') + F64(2.5);
// Level "L1": value 1, scale 2.5, denominators 20000000 to 0, one sheet, flags 1, offsets (10, -20).
const std::string LevelHead = Bytes({0x02, 0x00, 'L', '1'}) + I32(1) + F64(2.5) + I32(20000000) + I32(0);
const std::string LevelTail = I32(1) + I32(10) + I32(-20);
const std::string LevelFiler = LevelHead + Bytes({2, 1, 2, 1, 2, 0x10, 0xB2, 0x04}) + SheetFiler + "TARN2.01" +
                               Bytes({2, 0, 2, 0, 2, 0x10}) + MapFields + LevelTail;
const std::string LevelStream =
    LevelHead + I32(1) + I32(8) + Bytes({115, 0}) + SheetStream + I32(0) + I32(8) + MapFields + LevelTail;

std::unique_ptr<TLevel> SampleLevel(double scale = 2.5)
{
    auto l = std::make_unique<TLevel>("L1", 1);
    l->Scale = scale;
    l->MaxScale = 20000000;
    l->MinScale = 0;
    auto* sheet = new TSheet("a.map", 7, -1000, 200, 40000, 5, {0, -1});
    sheet->Reserved = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    l->Sheets->Insert(sheet);
    l->Map->Name = "M";
    l->Flags = 1;
    l->OffsetX = 10;
    l->OffsetY = -20;
    return l;
}

template <class T>
std::string Written(const T& item, bool filer)
{
    TMemoryStream m;
    TFileContext context;
    context.MapScale = 2.5;
    m.SetContext(context);
    TWriter w(m);
    if (filer) item.WriteFiler(w);
    else item.Store(m);
    return m.Bytes();
}

} // namespace

TEST_F(ProjectRecords, LevelBothForms)
{
    TLevel fresh;
    EXPECT_EQ(fresh.Scale, 0);
    EXPECT_EQ(fresh.Sheets->Count, 0);
    EXPECT_EQ(fresh.Map->Count, 0);

    auto level = SampleLevel();
    EXPECT_TRUE(SameBytes(Written(*level, true), LevelFiler));
    EXPECT_TRUE(SameBytes(Written(*level, false), LevelStream));
    for (bool filer : {true, false}) {
        const std::string& golden = filer ? LevelFiler : LevelStream;
        TFileContext context;
        auto back = filer ? FromFiler<TLevel>(golden, &context) : FromStream<TLevel>(golden);
        EXPECT_EQ(back->Name, "L1");
        EXPECT_EQ(back->Value, 1);
        EXPECT_EQ(back->Scale, 2.5);
        EXPECT_EQ(back->MaxScale, 20000000);
        ASSERT_EQ(back->Sheets->Count, 1);
        EXPECT_EQ(static_cast<TSheet*>(back->Sheets->GetItem(0))->Bottom, 200);
        EXPECT_EQ(back->Map->Name, "M");
        EXPECT_EQ(back->OffsetY, -20);
        if (filer) {
            EXPECT_EQ(context.MapScale, 2.5);
        }
        EXPECT_TRUE(SameBytes(Written(*back, filer), golden));
        EXPECT_TRUE(EveryTruncationFails(golden, [filer](const std::string& b) {
            if (filer) FromFiler<TLevel>(b);
            else FromStream<TLevel>(b);
        }));
    }
    // A level whose map is not a map, or whose sheets are not sheets, is refused.
    std::string badMagic = LevelFiler;
    badMagic.replace(badMagic.find("TARN2.01"), 8, "TARN2.00");
    EXPECT_THROW(FromFiler<TLevel>(badMagic), EFormatError);
    std::string levelAsSheet = LevelStream;
    levelAsSheet[LevelHead.size() + 8] = 118;  // a compound member in place of the sheet
    EXPECT_THROW(FromStream<TLevel>(levelAsSheet), EFormatError);
}

TEST_F(ProjectRecords, ProjectsWithLevelsBothForms)
{
    auto p = SampleProject();
    p->Insert(SampleLevel().release());
    const std::string filer = Magic("Tessara 4.02Project File") + Bytes({2, 1, 2, 1, 2, 0x10, 0xB1, 0x04}) +
                              LevelFiler + ProjectFields;
    const std::string stream = I32(1) + I32(8) + Bytes({114, 0}) + LevelStream + ProjectFields;
    EXPECT_TRUE(SameBytes(Written(*p, true), filer));
    EXPECT_TRUE(SameBytes(Written(*p, false), stream));
    auto a = FromFiler<TProject>(filer);
    auto b = FromStream<TProject>(stream);
    ASSERT_EQ(a->Count, 1);
    ASSERT_EQ(b->Count, 1);
    EXPECT_EQ(static_cast<TLevel*>(a->GetItem(0))->Map->Name, "M");
    EXPECT_TRUE(SameBytes(Written(*a, true), filer));
    EXPECT_TRUE(SameBytes(Written(*b, false), stream));
    EXPECT_TRUE(EveryTruncationFails(filer, [](const std::string& x) { FromFiler<TProject>(x); }));

    // A project holds levels only.
    const std::string sheetAsLevel = Magic("Tessara 4.02Project File") + Bytes({2, 1, 2, 1, 2, 0x10, 0xB2, 0x04}) +
                                     SheetFiler + ProjectFields;
    EXPECT_THROW(FromFiler<TProject>(sheetAsLevel), EFormatError);
}

TEST_F(ProjectRecords, ProjectScaleThroughLevels)
{
    struct Case {
        std::vector<double> Scales;
        int32_t ProjectScale;
    } cases[] = {{{1.0, 3.0}, 20000}, {{3.0, 1.0}, 20000}, {{2.5}, 25000}, {{1.0, 0.5, 3.0, 2.0}, 17500}};
    for (const Case& c : cases) {
        TProject p("x");
        for (double s : c.Scales) p.Insert(SampleLevel(s).release());
        TFileContext context;
        p.CalcProjectScale(context);
        EXPECT_EQ(context.ProjectScale, c.ProjectScale);
    }
}

TEST_F(ProjectRecords, IdentifiersExtentAndScale)
{
    TProject p("x");
    EXPECT_EQ(p.NewID(), 1);
    EXPECT_EQ(p.NewID(), 2);

    p.ExpandExtent({0, 100, 200, 0});
    EXPECT_EQ(p.Origin, (TPoint{0, 0}));
    EXPECT_EQ(p.Extent, (TRect{0, 100, 200, 0}));
    p.ExpandExtent({-50, 150, 100, 20});
    EXPECT_EQ(p.Origin, (TPoint{-50, 0}));
    EXPECT_EQ(p.Extent, (TRect{0, 150, 250, 0}));

    EXPECT_EQ(ProjectScaleOf(1.0, 3.0), 20000);
    EXPECT_EQ(ProjectScaleOf(2.5, 2.5), 25000);
    EXPECT_EQ(ProjectScaleOf(0.5, 1.0), 7500);
    EXPECT_EQ(ProjectScaleOf(0.00005, 0.00005), 0);   // 1 div 2
    EXPECT_EQ(ProjectScaleOf(-0.00005, -0.00005), 0); // -1 div 2 truncates toward zero
    TFileContext context;
    context.ProjectScale = 123;
    p.CalcProjectScale(context); // no levels: nothing changes
    EXPECT_EQ(context.ProjectScale, 123);
}

TEST_F(ProjectRecords, SheetBothForms)
{
    TSheet s("a.map", 7, -1000, 200, 40000, 5, {0, -1});
    s.Reserved = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    s.Flags = 5;
    std::string name = Bytes({0x05, 0x00, 'a', '.', 'm', 'a', 'p'});
    std::string filer = name + Bytes({2, 7, 3, 0x18, 0xFC, 3, 0xC8, 0, 4, 0x40, 0x9C, 0, 0, 2, 5, 2, 0, 2, 0xFF}) +
                        Reserved12;
    std::string stream = name + I32(7) + I32(-1000) + I32(200) + I32(40000) + I32(5) + I32(0) + I32(-1) + Reserved12;
    EXPECT_TRUE(SameBytes(FilerBytes(s), filer));
    EXPECT_TRUE(SameBytes(StreamBytes(s), stream));
    auto a = FromFiler<TSheet>(filer);
    auto b = FromStream<TSheet>(stream);
    EXPECT_EQ(a->Flags, 0);
    EXPECT_EQ(b->Flags, 0);
    EXPECT_TRUE(SameBytes(FilerBytes(*a), filer));
    EXPECT_TRUE(SameBytes(StreamBytes(*b), stream));
    EXPECT_TRUE(EveryTruncationFails(filer, [](const std::string& x) { FromFiler<TSheet>(x); }));
}

TEST_F(ProjectRecords, CompoundObjectBothForms)
{
    TComplObject c;
    c.Identifier = 300;
    c.Reserved = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    auto* member = new TComplItem;
    EXPECT_EQ(member->RefCount, 0);
    EXPECT_EQ(member->Key, TObjectKey{});
    member->Key = {0, 1, 67, 24, 4698};
    c.Insert(member);
    std::string key = I32(0) + I32(1) + I32(67) + I32(24) + I32(4698) + std::string(12, '\0');
    std::string filer = Bytes({2, 1, 2, 1, 2, 0x10, 0xB5, 0x04}) + key + Bytes({3, 0x2C, 0x01}) + Reserved12;
    std::string stream = I32(1) + I32(8) + Bytes({118, 0}) + key + I32(300) + Reserved12;
    EXPECT_TRUE(SameBytes(FilerBytes(c), filer));
    EXPECT_TRUE(SameBytes(StreamBytes(c), stream));
    auto a = FromFiler<TComplObject>(filer);
    ASSERT_EQ(a->Count, 1);
    EXPECT_EQ(static_cast<TComplItem*>(a->GetItem(0))->Key, (TObjectKey{0, 1, 67, 24, 4698}));
    EXPECT_TRUE(SameBytes(FilerBytes(*a), filer));
    EXPECT_TRUE(SameBytes(StreamBytes(*FromStream<TComplObject>(stream)), stream));
    EXPECT_TRUE(EveryTruncationFails(stream, [](const std::string& x) { FromStream<TComplObject>(x); }));
}

TEST_F(ProjectRecords, ClassIdsAndTypeCodes)
{
    struct Case {
        std::unique_ptr<TAbstractItem> Item;
        int Id;
        uint16_t Code;
    };
    Case cases[5];
    cases[0] = {std::make_unique<TProject>("p"), 113, 1200};
    cases[1] = {std::make_unique<TLevel>("l"), 114, 1201};
    cases[2] = {std::make_unique<TSheet>("s", 1, 0, 0, 0, 0, TPoint{}), 115, 1202};
    cases[3] = {std::make_unique<TComplObject>(), 117, 1204};
    cases[4] = {std::make_unique<TComplItem>(), 118, 1205};
    for (const Case& c : cases) {
        EXPECT_EQ(GetItemClassId(c.Item.get()), c.Id) << ClassNameOf(*c.Item);
        EXPECT_EQ(TypeCodeOf(typeid(*c.Item), TFilerForm::Project), c.Code) << ClassNameOf(*c.Item);
        EXPECT_EQ(TypeCodeOf(typeid(*c.Item), TFilerForm::Map16), 0) << ClassNameOf(*c.Item);
    }
}

TEST(SheetPaths, StoredNamesBecomeRelative)
{
    struct Case {
        const char* Stored;
        const char* Relative;
    } cases[] = {
        {"C:\\CITY\\TARN.MAP", "TARN.MAP"}, {"d:north.map", "north.map"},   {"maps\\north.map", "maps/north.map"},
        {"\\\\server\\share\\a.map", "a.map"}, {"/home/u/b.map", "b.map"}, {".\\a.map", "a.map"},
        {"a.map", "a.map"}, {"maps\\..\\a.map", "a.map"}, {"maps/./x/../b.map", "maps/b.map"},
        {"C:\\CITY\\..\\..\\a.map", "a.map"},
    };
    for (const Case& c : cases) EXPECT_EQ(SheetFileInProject(c.Stored), c.Relative) << c.Stored;
    // What would lead out of the folder, or name no file in it, is refused.
    for (const char* outside : {"../a.map", "..\\a.map", "maps/../../a.map", "..", "maps/.."}) {
        try {
            SheetFileInProject(outside);
            ADD_FAILURE() << outside;
        } catch (const EOutsideFolder& e) {
            EXPECT_EQ(std::string(e.what()).find(std::string("\"") + outside + "\""), 0u) << e.what();
        }
    }
}

TEST(SheetPaths, EachFolderIsListedOncePerLoad)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("Maps"));
    for (const char* f : {"Maps/North.MAP", "Maps/south.map", "Plan.BMP"}) WriteFileBytes(dir.File(f), "x");
    TFolderNames names;
    EXPECT_EQ(names.Resolve(dir.Path(), "maps\\NORTH.map"), dir.File("Maps/North.MAP"));
    EXPECT_EQ(names.Resolve(dir.Path(), "MAPS/south.map"), dir.File("Maps/south.map"));
    EXPECT_EQ(names.Resolve(dir.Path(), "maps/gone.map"), dir.File("Maps/gone.map"));
    EXPECT_EQ(names.Find(dir.File("plan.bmp")), dir.File("Plan.BMP"));
    EXPECT_EQ(names.Find(dir.File("plan.tr")), dir.File("plan.tr"));
    EXPECT_EQ(names.Listed(), 2) << "the project's folder and Maps";
}

TEST(SheetPaths, LookedUpWithoutRegardToCase)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("Maps"));
    WriteFileBytes(dir.File("Maps/North.MAP"), "x");
    EXPECT_EQ(ResolveSheetPath(dir.Path(), "maps\\NORTH.map"), dir.File("Maps/North.MAP"));
    EXPECT_EQ(ResolveSheetPath(dir.Path(), "C:\\OLD\\Maps\\missing.map"), dir.File("missing.map"));
}
