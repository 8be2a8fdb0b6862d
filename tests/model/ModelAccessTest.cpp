// Reading, changing, creating and deleting objects by key.
#include "ModelSupport.h"

#include "data/LayerWalk.h"

#include "data/MapObjBmp.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarn::test {
namespace {

struct TCounter {
    explicit TCounter(TModel& m)
        : Token(m.OnNotify.Install([this](const auto&, const TNotifyArgs& a) { ++Codes[a.Code]; }))
    {
    }
    int Codes[32] = {};
    THookToken Token;
};

std::vector<uint8_t> Header(int32_t x, int32_t y, uint16_t flags = 1)
{
    std::vector<uint8_t> b(ObjectHeaderSize);
    TObjectHeader h;
    h.Compound = 1;
    h.X = x;
    h.Y = y;
    h.Flags = flags;
    EncodeObjectHeader(h, b.data());
    return b;
}

TEST(ObjectAccess, AnswersEveryResultCode)
{
    TOpenCity c;
    TModel& m = *c.Model;
    TView* v = c.View.get();
    TView noMap;
    std::vector<uint8_t> b;
    struct TCase {
        const char* What;
        TView* View;
        uint16_t Op;
        TObjectKey Key;
        int32_t Result;
    };
    const TCase cases[] = {
        {"no view", nullptr, 1, Key(StreetsId, 1), ResultNoData},
        {"a view without a map", &noMap, 1, Key(StreetsId, 1), ResultNoData},
        {"a sheet that is not loaded", v, 1, Key(StreetsId, 1, 99), ResultNoLayer},
        {"forced past the sheet test", v, 1, Key(StreetsId, 1, 99, 1), ResultNoObject},
        {"no such layer", v, 1, Key(4242, 1), ResultNoLayer},
        {"no such object", v, 1, Key(StreetsId, 99), ResultNoObject},
        {"index at the count", v, 0, Key(SignsId, 2), ResultNoObject},
        {"index in range", v, 0, Key(SignsId, 1), ResultDone},
        {"operation out of range", v, 6, Key(SignsId, 5), ResultOutOfRange},
        {"out of range, no object", v, 6, Key(SignsId, 77), ResultNoObject},
        {"a sign has no text", v, 3, Key(SignsId, 5), ResultNoData},
        {"a polyline has no attributes", v, 4, Key(StreetsId, 1), ResultNoData},
        {"a picture has no attributes", v, 4, Key(PicturesId, 1), ResultNoObject},
    };
    for (const TCase& t : cases) {
        b.clear();
        EXPECT_EQ(m.GetObjectData(t.View, t.Op, t.Key, b), t.Result) << t.What;
        EXPECT_EQ(b.empty(), t.Result != 0) << t.What << ": a buffer only with success";
    }
    std::vector<uint8_t> key;
    ASSERT_EQ(m.GetObjectData(v, 0, Key(SignsId, 1), key), 0);
    EXPECT_EQ(DecodeObjectKey(key.data()), (TObjectKey{0, 1, SignsId, SheetId, 2}));
    std::vector<uint8_t> all;
    ASSERT_EQ(m.GetObjectData(v, 5, Key(SignsId, 0), all), 0);
    ASSERT_EQ(all.size(), 40u);
    EXPECT_EQ(DecodeObjectKey(all.data()).Code, 5);

    TCounter n(m);
    int32_t size = 20;
    EXPECT_EQ(m.SetObjectData(v, 11, Key(SignsId, 5), nullptr, size), ResultNoData);
    EXPECT_EQ(m.SetObjectData(v, 9, Key(SignsId, 5), Header(0, 0).data(), size), ResultOutOfRange);
    EXPECT_EQ(m.SetObjectData(&noMap, 11, Key(SignsId, 5), Header(0, 0).data(), size), ResultNoData);
    EXPECT_EQ(n.Codes[3], 2) << "every set past the view test sends code 3";
    TObjectKey k = Key(SignsId, 5);
    EXPECT_EQ(m.CreateObject(v, 7, k, nullptr, 0), ResultNoData);
    EXPECT_EQ(n.Codes[2], 1);
    TObjectKey none = Key(NoClassId, 1);
    EXPECT_EQ(m.CreateObject(v, 3, none, Header(0, 0).data(), 20), ResultNoData);
    EXPECT_EQ(n.Codes[2], 1) << "a kind without a class sends nothing";
    TObjectKey nolayer = Key(4242, 1);
    EXPECT_EQ(m.CreateObject(v, 3, nolayer, Header(0, 0).data(), 20), ResultNoData);
    EXPECT_EQ(n.Codes[2], 2);
}

struct TKindCase {
    const char* Name;
    int32_t Layer;
    int Kind;
    uint16_t GeometrySize, AttributeSize;
    std::vector<uint8_t> Attributes;  // set and read back
};

std::vector<uint8_t> I32s(std::initializer_list<int32_t> v)
{
    std::vector<uint8_t> b(4 * v.size());
    std::size_t i = 0;
    for (int32_t x : v) PutI32(b.data() + 4 * i++, x);
    return b;
}

class KindLifecycle : public ::testing::TestWithParam<TKindCase> {};

TEST_P(KindLifecycle, CreatesChangesAndDeletes)
{
    const TKindCase& p = GetParam();
    TOpenCity c;
    TModel& m = *c.Model;
    TView* v = c.View.get();
    TCounter n(m);
    TObjectKey k = Key(p.Layer, 50);
    k.ModelNo = 0;
    ASSERT_EQ(m.CreateObject(v, 3, k, Header(123000, 456000, 1).data(), 20), 0);
    EXPECT_EQ(k.Code, 50) << "a free code is kept";
    EXPECT_EQ(k.ModelNo, 1) << "the new object's key is complete";
    std::vector<uint8_t> b;
    ASSERT_EQ(m.GetObjectData(v, 1, k, b), 0);
    TObjectHeader h = DecodeObjectHeader(b.data());
    EXPECT_EQ(h.X, 123000);
    EXPECT_EQ(h.Y, 456000);
    EXPECT_EQ(h.Flags, 1);
    EXPECT_EQ(h.Compound, 0);
    EXPECT_EQ(h.GeometrySize, p.GeometrySize);
    EXPECT_EQ(h.AttributeSize, p.AttributeSize);

    // The anchor moves through the header.
    std::vector<uint8_t> moved = Header(1000, 2000, 3);
    int32_t size = 20;
    ASSERT_EQ(m.SetObjectData(v, 11, k, moved.data(), size), 0);
    ASSERT_EQ(m.GetObjectData(v, 1, k, b), 0);
    EXPECT_EQ(DecodeObjectHeader(b.data()).X, 1000);
    EXPECT_EQ(DecodeObjectHeader(b.data()).Flags, 3);

    // Text where the kind has one.
    const char text[] = "Имя";
    size = sizeof text;
    bool hasText = p.Kind == 6 || p.Kind == 9 || p.Kind == 10 || p.Kind == 11 || p.Kind == 12 || p.Kind == 13;
    EXPECT_EQ(m.SetObjectData(v, 13, k, text, size), hasText ? 0 : ResultNoData);
    if (p.Kind == 13) {
        ASSERT_EQ(m.GetObjectData(v, 3, k, b), 0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data())), c.City.Dir.File(text)) << "resolved in the project";
    } else if (hasText) {
        ASSERT_EQ(m.GetObjectData(v, 3, k, b), 0);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data()), b.size()), std::string(text, sizeof text));
    }
    if (!p.Attributes.empty()) {
        size = int32_t(p.Attributes.size());
        ASSERT_EQ(m.SetObjectData(v, 14, k, p.Attributes.data(), size), 0);
        ASSERT_EQ(m.GetObjectData(v, 4, k, b), 0);
        EXPECT_EQ(b, p.Attributes);
        size = int32_t(p.Attributes.size()) - 1;
        EXPECT_EQ(m.SetObjectData(v, 14, k, p.Attributes.data(), size), ResultNoData) << "a short buffer";
    }
    EXPECT_EQ(m.CreateObject(v, 2, k, nullptr, 0), 0);
    EXPECT_EQ(m.GetObjectData(v, 1, k, b), ResultNoObject);
    EXPECT_EQ(m.CreateObject(v, 2, k, nullptr, 0), ResultNoObject) << "deleting twice";
    EXPECT_EQ(n.Codes[2], 3) << "create and both deletes send code 2";
}

std::vector<uint8_t> LineAttributes()
{
    std::vector<uint8_t> b = I32s({0x112233, 1, 0, 0, 1, 99});
    PutU16(b.data() + 8, 7);
    PutU16(b.data() + 10, 2);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Model, KindLifecycle,
    ::testing::Values(TKindCase{"Line", StreetsId, 0, 8, 0, {}}, TKindCase{"Polygon", BlocksId, 1, 8, 0, {}},
                      TKindCase{"Text", LabelsId, 6, 8, 4, I32s({900})},
                      TKindCase{"Sign", SignsId, 7, 8, 4, I32s({17})},
                      TKindCase{"StyledLine", StyledLinesId, 9, 8, 24, LineAttributes()},
                      TKindCase{"StyledPolygon", StyledAreasId, 10, 8, 20, I32s({1, 2, -1, 3, 4})},
                      TKindCase{"StyledText", StyledTextsId, 11, 8, 16, I32s({0xFF, 14, 450, 0})},
                      TKindCase{"StyledSign", StyledSignsId, 12, 8, 20, I32s({3, 10, 20, 5, 9})},
                      TKindCase{"Picture", PicturesId, 13, 32, 0, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ObjectAccess, AnObjectMovedIntoTheViewIsMarkedThere)
{
    // The view shows the middle of the sheet; sign 2 stands far up left.
    TOpenCity c;
    TModel& m = *c.Model;
    TView& v = *c.View;
    ASSERT_EQ(m.ZoomAtPoint(v, TPoint{500000, 500000}, 2000), 0);
    m.MarkViewObjects(v);
    TCustomLayer* signs = FindLayerById(*v.Map, SignsId);
    TBaseObject* sign = signs->FindObject(SheetId, 2);
    ASSERT_TRUE(sign);
    EXPECT_FALSE(sign->Flags() & ObjFlagInView);
    std::vector<uint8_t> moved = Header(500000, 490000, uint16_t(sign->Flags() & 0xFFFF));
    int32_t size = 20;
    ASSERT_EQ(m.SetObjectData(&v, 11, Key(SignsId, 2), moved.data(), size), 0);
    m.MarkViewObjects(v);
    EXPECT_TRUE(sign->Flags() & ObjFlagInView) << "marked from where it stood before";
    m.SetObjectData(&v, 11, Key(SignsId, 2), Header(100000, 900000, uint16_t(sign->Flags() & 0xFFFF)).data(), size);
    m.MarkViewObjects(v);
    EXPECT_FALSE(sign->Flags() & ObjFlagInView);
}

TEST(ObjectAccess, NewObjectsTakeTheirLayersStyle)
{
    TOpenCity c;
    TView* v = c.View.get();
    std::vector<uint8_t> b;
    TObjectKey text = Key(StyledTextsId, 9);
    ASSERT_EQ(c.Model->CreateObject(v, 3, text, Header(0, 0).data(), 20), 0);
    ASSERT_EQ(c.Model->GetObjectData(v, 3, text, b), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data())), "no text");
    ASSERT_EQ(c.Model->GetObjectData(v, 4, text, b), 0);
    EXPECT_EQ(GetI32(b.data()), 0x202020);
    EXPECT_EQ(GetI32(b.data() + 4), 10);
    TObjectKey mark = Key(StyledSignsId, 9);
    ASSERT_EQ(c.Model->CreateObject(v, 3, mark, Header(0, 0).data(), 20), 0);
    ASSERT_EQ(c.Model->GetObjectData(v, 4, mark, b), 0);
    EXPECT_EQ(b, I32s({0, 0, 0, 1, 1}));
    EXPECT_EQ(c.Model->GetObjectData(v, 3, mark, b), ResultNoData) << "no label yet";
    TObjectKey picture = Key(PicturesId, 1, 77);
    picture.Force = 1;
    ASSERT_EQ(c.Model->CreateObject(v, 3, picture, Header(0, 0).data(), 20), 0);
    picture.SheetID = SheetId;
    ASSERT_EQ(c.Model->GetObjectData(v, 2, picture, b), 0) << "a picture takes the first sheet";
    EXPECT_EQ(b, I32s({10, 10, 110, 10, 110, -90, 10, -90}));
}

TEST(ObjectAccess, ATakenCodeBecomesTheLayersLargestPlusOne)
{
    TOpenCity c;
    TObjectKey k = Key(SignsId, 2);
    ASSERT_EQ(c.Model->CreateObject(c.View.get(), 3, k, Header(0, 0).data(), 20), 0);
    EXPECT_EQ(k.Code, 6) << "codes 2 and 5 are taken";
    TObjectKey free = Key(SignsId, 3);
    ASSERT_EQ(c.Model->CreateObject(c.View.get(), 3, free, Header(0, 0).data(), 20), 0);
    EXPECT_EQ(free.Code, 3);
}

TEST(ObjectAccess, ShortBuffersChangeNothing)
{
    TOpenCity c;
    TModel& m = *c.Model;
    TView* v = c.View.get();
    std::vector<uint8_t> big(64, 0);
    struct TCase {
        uint16_t Op;
        TObjectKey Key;
        int32_t Size;
    };
    const TCase cases[] = {
        {10, Key(SignsId, 5), 19}, {11, Key(SignsId, 5), 19}, {12, Key(StreetsId, 1), 7},
        {12, Key(SignsId, 5), 7},  {14, Key(SignsId, 5), 3},  {14, Key(StyledLinesId, 1), 23},
        {14, Key(StyledAreasId, 1), 19},
    };
    std::vector<uint8_t> before;
    for (const TCase& t : cases) {
        ASSERT_EQ(m.GetObjectData(v, 2, t.Key, before), 0);
        int32_t size = t.Size;
        EXPECT_EQ(m.SetObjectData(v, t.Op, t.Key, big.data(), size), ResultNoData) << t.Op << " " << t.Size;
        std::vector<uint8_t> after;
        m.GetObjectData(v, 2, t.Key, after);
        EXPECT_EQ(after, before);
    }
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    int32_t size = 4;
    EXPECT_EQ(m.SetObjectData(v, 13, Key(LabelsId, 1), unterminated, size), ResultNoData);
    std::vector<uint8_t> text;
    ASSERT_EQ(m.GetObjectData(v, 3, Key(LabelsId, 1), text), 0);
    EXPECT_EQ(text.size(), 7u) << "the old text stays";
    TObjectKey k = Key(SignsId, 40);
    EXPECT_EQ(m.CreateObject(v, 3, k, big.data(), 19), ResultNoData);
    EXPECT_EQ(m.GetObjectData(v, 1, k, text), ResultNoObject);
}

TEST(ObjectAccess, GeometryOfTwentyBytesGivesAPolylineTwoPoints)
{
    TOpenCity c;
    std::vector<uint8_t> g = I32s({1, 2, 3, 4, 5});
    int32_t size = 20;
    ASSERT_EQ(c.Model->SetObjectData(c.View.get(), 12, Key(StreetsId, 1), g.data(), size), 0);
    std::vector<uint8_t> b;
    ASSERT_EQ(c.Model->GetObjectData(c.View.get(), 2, Key(StreetsId, 1), b), 0);
    EXPECT_EQ(b, I32s({1, 2, 3, 4}));
}

TEST(ObjectAccess, APolygonFillWordIsBuiltFromItsHalves)
{
    TOpenCity c;
    std::vector<uint8_t> a = I32s({1, 2, 3, 0x7, 0x9});
    int32_t size = 24;
    ASSERT_EQ(c.Model->SetObjectData(c.View.get(), 14, Key(StyledAreasId, 1), a.data(), size), 0);
    EXPECT_EQ(size, 20);
    TCustomLayer* l = FindLayerById(*c.View->Map, StyledAreasId);
    EXPECT_EQ(static_cast<TPolygonEx*>(l->Object(0))->OutlinePen, 0x00070009u);
}

TEST(ObjectAccess, APictureNeedsASheet)
{
    TOpenCity c;
    static_cast<TLevel*>(c.Model->Project->GetItem(0))->Sheets->FreeAll();
    TObjectKey k = Key(PicturesId, 1, SheetId, 1);
    EXPECT_EQ(c.Model->CreateObject(c.View.get(), 3, k, Header(0, 0).data(), 20), ResultNoData);
}

TEST(ObjectKeys, FieldQueriesKeepAtMost100Characters)
{
    TLayerSelector s;
    std::memset(s.Name, 'z', sizeof s.Name);
    MakeFieldQuery(std::string(150, 'a'), 7, s);
    EXPECT_EQ(SelectorName(s), std::string(100, 'a'));
    EXPECT_EQ(s.Name[100], '\0');
    EXPECT_EQ(+s.LayerID, 7);
    TObjectKey k;
    k.Force = 9;
    MakeObjectKey(1, 2, 3, 4, k);
    EXPECT_EQ(k, (TObjectKey{9, 1, 3, 2, 4})) << "sheet before layer; Force kept";
    EXPECT_EQ(NewObjectKey(1, 23, 307, 5), (TObjectKey{1, 1, 307, 23, 5}));
}

} // namespace
} // namespace tarn::test
