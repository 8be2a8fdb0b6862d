#include "TestSupport.h"
#include "data/Project.h"

#include <filesystem>

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

TEST_F(ProjectRecords, LevelsWaitForTheirClass)
{
    // One level (code 1201, class id 114) cannot be read until levels exist.
    std::string filer = Magic("Tessara 4.02Project File") + Bytes({2, 1, 2, 1, 2, 0x10, 0xB1, 0x04});
    EXPECT_THROW(FromFiler<TProject>(filer + std::string(100, '\0')), EFormatError);
    std::string stream = I32(1) + I32(8) + Bytes({114, 0}) + std::string(100, '\0');
    EXPECT_THROW(FromStream<TProject>(stream), EFormatError);
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
    Case cases[4];
    cases[0] = {std::make_unique<TProject>("p"), 113, 1200};
    cases[1] = {std::make_unique<TSheet>("s", 1, 0, 0, 0, 0, TPoint{}), 115, 1202};
    cases[2] = {std::make_unique<TComplObject>(), 117, 1204};
    cases[3] = {std::make_unique<TComplItem>(), 118, 1205};
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
        {"a.map", "a.map"},
    };
    for (const Case& c : cases) EXPECT_EQ(SheetFileInProject(c.Stored), c.Relative) << c.Stored;
}

TEST(SheetPaths, LookedUpWithoutRegardToCase)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("Maps"));
    WriteFileBytes(dir.File("Maps/North.MAP"), "x");
    EXPECT_EQ(ResolveSheetPath(dir.Path(), "maps\\NORTH.map"), dir.File("Maps/North.MAP"));
    EXPECT_EQ(ResolveSheetPath(dir.Path(), "C:\\OLD\\Maps\\missing.map"), dir.File("missing.map"));
}
