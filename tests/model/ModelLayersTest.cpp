// Layer lists and attributes, queries, highlight, compound objects, merging.
#include "ModelSupport.h"

#include "data/LayerWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tarn::test {
namespace {

std::vector<std::string> Names(const std::vector<TLayerSelector>& list)
{
    std::vector<std::string> out;
    for (const TLayerSelector& s : list) out.emplace_back(SelectorName(s));
    return out;
}

TEST(LayerLists, ListEachModeAsAsked)
{
    TOpenCity c;
    TModel& m = *c.Model;
    const std::vector<std::string> all = {"Улицы", "Кварталы", "Надписи", "Знаки", "Трассы", "Парки",
                                          "Подписи", "Отметки", "Снимки", "Прочее", "Скрытый"};
    auto without = [&](const std::string& name) {
        std::vector<std::string> v = all;
        v.erase(std::find(v.begin(), v.end(), name));
        return v;
    };
    struct TCase {
        int32_t Mode;
        std::vector<std::string> Expected;
    };
    std::vector<std::string> tree = {"Город", "Улицы", "Кварталы", "Надписи", "Знаки", "Сети", "Трассы", "Парки",
                                     "Подписи", "Отметки", "Снимки", "Прочее", "Скрытый"};
    const TCase cases[] = {
        {0, tree},
        {1, all},
        {65, without("Скрытый")},
        {64, without("Скрытый")},
        {2, without("Скрытый")},
        {66, without("Скрытый")},
        {16, tree},
        {32, all},
        {32 | (1 << 16), {}},
        {16 | (5 << 16), {}},
        {3, {}},
    };
    for (const TCase& t : cases) {
        std::vector<TLayerSelector> list;
        m.GetLayerList(t.Mode, list);
        EXPECT_EQ(Names(list), t.Expected) << "mode " << t.Mode;
    }
    std::vector<TLayerSelector> ids;
    m.GetLayerList(1, ids);
    EXPECT_EQ(+ids[3].LayerID, SignsId);
    std::vector<TLayerSelector> level;
    m.GetLayerList(32, level);
    EXPECT_EQ(+level[0].LayerID, -1) << "level lists carry no identifiers";
}

TEST(LayerInfo, ReadsInformationLayersOnlyAndRefusesATakenName)
{
    TOpenCity c;
    TModel& m = *c.Model;
    TLayerSelector group, signs, byName;
    MakeFieldQuery("Сети", -1, group);
    MakeFieldQuery("", SignsId, signs);
    MakeFieldQuery("Кварталы", -1, byName);
    TLayerRec rec{};
    EXPECT_EQ(m.GetLayerInfo(group, rec), -1) << "a group is no information layer";
    ASSERT_EQ(m.GetLayerInfo(byName, rec), 0);
    EXPECT_EQ(+rec.Colour, int32_t(BlockColour));
    ASSERT_EQ(m.GetLayerInfo(signs, rec), 0);
    EXPECT_STREQ(rec.Name, "Знаки");
    int code4 = 0;
    THookToken t = m.OnNotify.Install([&](const auto&, const TNotifyArgs& a) { code4 += a.Code == 4; });
    TLayerRec renamed = rec;
    std::strcpy(renamed.Name, "Улицы");
    EXPECT_EQ(m.SetLayerInfo(signs, renamed), ResultOutOfRange);
    EXPECT_EQ(code4, 0);
    rec.Colour = 0x0000AA;
    m.Modified = 0;
    EXPECT_EQ(m.SetLayerInfo(signs, rec), 0);
    EXPECT_EQ(code4, 1);
    EXPECT_EQ(m.Modified, 1);
    EXPECT_EQ(FindLayerById(*m.WorkMap, SignsId)->Colour, 0x0000AA);
}

TEST(Queries, FindObjectsAtAPointAndInARectangle)
{
    TOpenCity c;
    TKeyList at;
    EXPECT_TRUE(c.Model->ObjectsAtPoint(c.View.get(), 0x21, at, TPoint{500000, 500000}));
    ASSERT_EQ(at.size(), 1u);
    EXPECT_EQ(at[0], (TObjectKey{0, 1, SignsId, SheetId, 5}));
    TKeyList top;
    EXPECT_TRUE(c.Model->ObjectsAtPoint(c.View.get(), 0x2, top, TPoint{500000, 500000}));
    ASSERT_EQ(top.size(), 1u) << "without bit 1 only the top hit";
    TKeyList in;
    EXPECT_TRUE(c.Model->ObjectsInRect(c.View.get(), 0, in, TRect{400000, 600000, 600000, 400000}));
    EXPECT_NE(std::find(in.begin(), in.end(), TObjectKey{0, 1, SignsId, SheetId, 5}), in.end());
    TKeyList none;
    EXPECT_FALSE(c.Model->ObjectsAtPoint(c.View.get(), 0x21, none, TPoint{50000, 50000}));
    TView noMap;
    EXPECT_FALSE(c.Model->ObjectsAtPoint(&noMap, 0x21, none, TPoint{0, 0}));
}

int CountColour(TWindowSurface& s, TColorRef colour)
{
    TDeviceContext* dc = s.GetDC();
    int n = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) n += dc->GetPixel(x, y) == colour;
    s.ReleaseDC(dc);
    return n;
}

TEST(Highlight, OnDrawsInTheSelectColourAndOffLeavesNone)
{
    TOpenCity c;
    TModel& m = *c.Model;
    int code8 = 0;
    THookToken t = m.OnNotify.Install([&](const auto&, const TNotifyArgs& a) { code8 += a.Code == 8; });
    TKeyList block = {Key(BlocksId, 1)};
    m.HighlightObjects(c.View.get(), 1, block);
    EXPECT_GT(CountColour(c.Surface, SelectRed), 10000) << "the block filled in red";
    m.HighlightObjects(c.View.get(), 1, block);
    EXPECT_EQ(m.Highlight.size(), 1u) << "a key highlighted twice is kept once";
    TKeyList current;
    m.HighlightObjects(c.View.get(), 0, current);
    EXPECT_EQ(current, block);
    TCustomLayer* l = FindLayerById(*c.View->Map, BlocksId);
    EXPECT_TRUE(l->Object(0)->Selected());
    m.HighlightObjects(c.View.get(), 2, current);
    EXPECT_EQ(CountColour(c.Surface, SelectRed), 0);
    EXPECT_GT(CountColour(c.Surface, BlockColour), 10000);
    EXPECT_FALSE(l->Object(0)->Selected());
    EXPECT_TRUE(m.Highlight.empty());
    EXPECT_EQ(code8, 4);
}

TEST(Highlight, MarksComeBackAfterALevelSwitch)
{
    TOpenCity c;
    TKeyList sign = {Key(SignsId, 5)};
    c.Model->HighlightObjects(c.View.get(), 1, sign);
    c.Model->LevelSwitch(*c.View);
    EXPECT_TRUE(FindLayerById(*c.View->Map, SignsId)->FindObject(SheetId, 5)->Selected());
}

TEST(Compounds, GroupReadAndUngroup)
{
    TOpenCity c;
    TModel& m = *c.Model;
    std::vector<uint8_t> b;
    TObjectKey compoundKey{0, 1, -1, -1, 9};
    b = EncodeKeyList({Key(SignsId, 5), Key(LabelsId, 1)});
    ASSERT_EQ(m.CompoundObjects(3, compoundKey, b, 0), 0);
    ASSERT_EQ(m.CompoundObjects(0, compoundKey, b, 1), 0);
    TKeyList keys;
    ASSERT_TRUE(DecodeKeyList(b.data(), b.size(), keys));
    EXPECT_EQ(keys, (TKeyList{{0, 1, -1, -1, 7}, {0, 1, -1, -1, 9}}));
    ASSERT_EQ(m.CompoundObjects(0, Key(SignsId, 5), b, 2), 0);
    EXPECT_EQ(DecodeObjectKey(b.data()), compoundKey);
    EXPECT_EQ(m.CompoundObjects(0, Key(SignsId, 2), b, 2), ResultNoObject);
    ASSERT_EQ(m.CompoundObjects(0, compoundKey, b, 0), 0);
    ASSERT_EQ(b.size(), 20u + 64u);
    EXPECT_EQ(GetI32(b.data()), 9);
    EXPECT_EQ(GetI32(b.data() + 4), 2);
    EXPECT_EQ(DecodeObjectKey(b.data() + 52), Key(LabelsId, 1));
    EXPECT_EQ(m.CompoundObjects(1, compoundKey, b, 0), ResultNoData);
    std::vector<uint8_t> header;
    ASSERT_EQ(m.GetObjectData(c.View.get(), 1, Key(StreetsId, 1), header), 0);
    EXPECT_EQ(DecodeObjectHeader(header.data()).Compound, 1);

    // Ungrouping by the compound's own key, as the pick tool does.
    b = EncodeKeyList({compoundKey});
    ASSERT_EQ(m.CompoundObjects(2, compoundKey, b, 0), 0);
    EXPECT_EQ(m.Compounds->Count, 1);
    b = EncodeKeyList({Key(BlocksId, 1)});
    ASSERT_EQ(m.CompoundObjects(2, compoundKey, b, 0), 0);
    EXPECT_EQ(m.Compounds->Count, 0) << "a member's key removes its compound";
    b = {1, 0, 0, 0, 1, 2};
    EXPECT_EQ(m.CompoundObjects(3, compoundKey, b, 0), ResultNoData) << "a key list shorter than its count";
    EXPECT_EQ(m.Compounds->Count, 0);
    EXPECT_EQ(m.Modified, 1);
}

TEST(Merging, ModesChooseSkippingClassesAndLevels)
{
    TOpenCity c;
    TModel& m = *c.Model;
    std::unique_ptr<TMap> plain;
    m.MergeLayers(*m.WorkMap, plain, 0);
    EXPECT_NE(dynamic_cast<TLayer*>(FindLayerByName(*plain, "Трассы")), nullptr);
    EXPECT_NE(dynamic_cast<TGapLayer*>(FindLayerOwner(*plain, "Трассы")), nullptr) << "kept in its group";
    EXPECT_EQ(FindLayerById(*plain, SignsId)->Count, 0) << "objects are not copied";
    std::unique_ptr<TMap> twice;
    m.MergeLayers(*plain, twice, 0);
    m.MergeLayers(*plain, twice, TModel::MergeSkipNamed);
    std::vector<TCustomLayer*> layers;
    CollectLayers(*twice, true, layers);
    EXPECT_EQ(layers.size(), 11u) << "mode 2 skips names already there";
    std::unique_ptr<TMap> info;
    m.MergeLayers(*plain, info, TModel::MergeInfoLayers);
    EXPECT_NE(dynamic_cast<TInfoLayer*>(FindLayerByName(*info, "Улицы")), nullptr);

    TMap extra;
    auto layer = std::make_unique<TLayer>();
    layer->Name = "Новый";
    extra.Add(layer.release());
    m.MergeLayers(extra, m.WorkMap, TModel::MergeToLevels);
    for (int i = 0; i < 2; ++i) {
        TLevel& level = *static_cast<TLevel*>(m.Project->GetItem(i));
        EXPECT_NE(AsLayer(FindLayerByName(*level.Map, "Новый")), nullptr) << "level " << i;
    }
}

TEST(Merging, CopiesWithObjectsAreDeep)
{
    TOpenCity c;
    std::unique_ptr<TMap> copy = c.Model->CopyMapWithObjects(*c.View->Map);
    TCustomLayer* a = FindLayerById(*c.View->Map, SignsId);
    TCustomLayer* b = FindLayerById(*copy, SignsId);
    ASSERT_EQ(b->Count, a->Count);
    EXPECT_NE(b->Object(0), a->Object(0));
    EXPECT_EQ(b->Object(0)->Code, a->Object(0)->Code);
}

TEST(Extents, WideningTheExtentRefreshesTheViews)
{
    TOpenCity c;
    auto before = c.View->Map;
    c.Model->SetExtent(TRect{-500000, 1500000, 200000, -100000});
    EXPECT_EQ(c.Model->Project->Origin, (TPoint{-500000, -100000}));
    EXPECT_EQ(c.Model->ProjectRect(), (TRect{0, 1600000, 1500000, 0}));
    EXPECT_NE(c.View->Map, before);
}

TEST(NamedObjects, TheModelOwnsWhatIsRegistered)
{
    struct TTool {
        int* Alive;
        ~TTool() { --*Alive; }
    };
    int alive = 1;
    {
        TModel m;
        auto tool = std::make_unique<TTool>();
        tool->Alive = &alive;
        m.AddObject("tsMapView", std::move(tool));
        EXPECT_NE(m.FindNamedObject<TTool>("tsMapView"), nullptr);
        EXPECT_EQ(m.FindNamedObject<int>("tsMapView"), nullptr);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

} // namespace
} // namespace tarn::test
