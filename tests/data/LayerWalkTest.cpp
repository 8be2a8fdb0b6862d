// The layer tree walk (lists and finds) and the hit tests at a point and in
// a rectangle.
#include "LayerTestSupport.h"
#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

TLayer* AddLayer(TCollection& parent, const std::string& name, int16_t kind = LayerKindPolygon, uint32_t flags = 0,
                 int32_t scaleLimit = 1000000)
{
    auto* l = new TLayer;
    l->Name = name;
    l->Kind = kind;
    l->Flags = flags;
    l->ScaleLimit = scaleLimit;
    parent.Insert(l);
    return l;
}

// A point object hit within the shared tolerance of its anchor.
class TDot : public TBaseObject {
public:
    TDot(int32_t code, int32_t x, int32_t y, uint32_t flags = 0)
    {
        Code = code;
        X = x;
        Y = y;
        SetFlags(flags);
    }
    void Draw(const TDrawContext&) const override {}
    bool HitTest(const TDrawContext&, int32_t x, int32_t y, int32_t&) const override
    {
        const int64_t t = HitTolerance();
        return std::llabs(int64_t(x) - X) <= t && std::llabs(int64_t(y) - Y) <= t;
    }

protected:
    TDot(const TDot&) = default;
    TBaseObject* CreateCopy() const override { return new TDot(*this); }
};

TDot* Dot(TCustomLayer& layer, int32_t code, int32_t x, int32_t y, uint32_t flags = 0)
{
    auto* d = new TDot(code, x, y, flags);
    layer.Insert(d);
    return d;
}

// A view of world (0, 0)-(10000, 8000) at 100 world units per pixel and
// 0.02 mm per pixel: the denominator 5000.
TDrawContext View()
{
    TDrawContext c;
    c.Scale = 100;
    c.MmPerPixel = 0.02;
    c.WorldRect = {0, 8000, 10000, 0};
    c.ClientRect = {0, 0, 100, 80};
    return c;
}

struct THit {
    std::string Layer;
    int32_t Code;
    friend bool operator==(const THit&, const THit&) = default;
    friend std::ostream& operator<<(std::ostream& o, const THit& h) { return o << h.Layer << ":" << h.Code; }
};

std::vector<THit> Hits(const TCollection& result)
{
    std::vector<THit> hits;
    for (int32_t i = 0; i < result.Count; ++i) {
        auto* h = static_cast<TInsideObj*>(result.GetItem(i));
        hits.push_back({h->Layer->Name, h->Object->Code});
    }
    return hits;
}

std::vector<THit> At(const TMap& map, uint32_t flags, TPoint p, const TDrawContext& c = View())
{
    TCollection result;
    bool found = FindObjectsAt(map, c, flags, p, result);
    EXPECT_EQ(found, result.Count > 0);
    return Hits(result);
}

struct TEntry {
    std::string Name;
    int32_t Depth;
    int Value;
    friend bool operator==(const TEntry&, const TEntry&) = default;
    friend std::ostream& operator<<(std::ostream& o, const TEntry& e)
    {
        return o << e.Name << "/" << e.Depth << "/" << e.Value;
    }
};

template <class F>
std::vector<TEntry> Listed(const TMap& map, F list)
{
    TCollection items;
    list(map, items);
    std::vector<TEntry> out;
    for (int32_t i = 0; i < items.Count; ++i) {
        auto* it = static_cast<TItem*>(items.GetItem(i));
        out.push_back({it->Name, it->Depth, it->Kind});
    }
    return out;
}

class LayerTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        SetHitTolerance(0);
    }
    void TearDown() override { SetHitTolerance(0); }
};

} // namespace

TEST_F(LayerTree, ListsInWalkOrder)
{
    TMap map;
    map.Name = "M";
    AddLayer(map, "A", LayerKindLine, 0x140);
    TGapLayer* g = AddGroup(map, "G");
    AddLayer(*g, "B");
    TGapLayer* h = AddGroup(map, "H", LayerFlagHidden);
    AddLayer(*h, "C");
    TGapLayer* h2 = AddGroup(*h, "H2");
    AddLayer(*h2, "D");
    AddLayer(map, "E", LayerKindLine, LayerFlagHidden);
    auto* info = new TInfoLayer;
    info->Name = "I";
    map.Insert(info);

    EXPECT_EQ(Listed(map, ListLayerTree), (std::vector<TEntry>{{"M", 0, 0},
                                                              {"A", 1, 0x40},
                                                              {"G", 1, 2},
                                                              {"B", 2, 0},
                                                              {"H", 1, 3},
                                                              {"C", 2, 0},
                                                              {"H2", 2, 2},
                                                              {"D", 3, 0},
                                                              {"E", 1, 1},
                                                              {"I", 1, 0}}));
    EXPECT_EQ(Listed(map, ListAllLayers), (std::vector<TEntry>{
                                              {"A", 1, 0x40}, {"B", 2, 0}, {"C", 2, 0}, {"D", 3, 0}, {"E", 1, 1}, {"I", 1, 0}}));
    EXPECT_EQ(Listed(map, ListVisibleLayers), (std::vector<TEntry>{{"A", 1, 0x40}, {"B", 2, 0}, {"I", 1, 0}}));
    map.Name.clear();
    EXPECT_EQ(Listed(map, ListLayerTree).front(), (TEntry{"A", 1, 0x40})) << "a map without a name has no entry";

    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    ASSERT_EQ(layers.size(), 3u);
    EXPECT_EQ(layers[2], info);
}

TEST_F(LayerTree, FindsByNameIdentifierAndOwner)
{
    TMap map;
    TLayer* first = AddLayer(map, "X");
    first->LayerId = 7;
    TGapLayer* g = AddGroup(map, "G", LayerFlagHidden);
    TLayer* second = AddLayer(*g, "X");
    second->LayerId = 7;
    TLayer* other = AddLayer(*g, "Y");
    other->LayerId = 8;

    EXPECT_EQ(FindLayerByName(map, "X"), second) << "the later one in tree order";
    EXPECT_EQ(FindLayerByName(map, "G"), g) << "groups are found too";
    EXPECT_EQ(FindLayerByName(map, "nobody"), &map);
    EXPECT_EQ(FindLayerByName(map, "x"), &map) << "names are compared exactly";
    EXPECT_EQ(FindLayerByName(map, "X "), &map);
    EXPECT_EQ(FindLayerOwner(map, "Y"), g);
    EXPECT_EQ(FindLayerOwner(map, "X"), g);
    EXPECT_EQ(FindLayerOwner(map, "G"), &map);
    EXPECT_EQ(FindLayerOwner(map, "nobody"), &map);
    EXPECT_EQ(FindLayerById(map, 7), second);
    EXPECT_EQ(FindLayerById(map, 8), other);
    EXPECT_EQ(FindLayerById(map, 9), nullptr);

    TDot* a = Dot(*other, 5, 0, 0);
    a->SheetID = 2;
    TDot* b = Dot(*other, 5, 0, 0);
    b->SheetID = 3;
    Dot(*other, 5, 0, 0)->SheetID = 3;
    EXPECT_EQ(other->FindObject(3, 5), b) << "the first with both values";
    EXPECT_EQ(other->FindObject(2, 5), a);
    EXPECT_EQ(other->FindObject(2, 6), nullptr);
}

// Many keys are looked up at once (a box select): the finder must answer as
// the layer's own search does, before and after it indexes a layer, with
// duplicate keys, negative sheets and codes, and keys of other layers.
TEST_F(LayerTree, ObjectFinderAnswersAsTheLayersSearch)
{
    TMap map;
    TLayer* big = AddLayer(map, "big");
    big->LayerId = 7;
    TLayer* small = AddLayer(map, "small");
    small->LayerId = 8;
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> code(-40, 400), sheet(-2, 3);
    for (int i = 0; i < 600; ++i) Dot(*big, code(rng), 0, 0)->SheetID = sheet(rng);
    Dot(*small, 1, 0, 0)->SheetID = 0;

    TObjectFinder finder(map);
    for (int i = 0; i < 300; ++i) {
        const int32_t layerId = i % 7 == 0 ? 8 : (i % 11 == 0 ? 99 : 7);
        const int32_t s = sheet(rng), c = code(rng);
        const TCustomLayer* layer = nullptr;
        TBaseObject* got = finder.Find(layerId, s, c, &layer);
        const TCustomLayer* want = FindLayerById(map, layerId);
        ASSERT_EQ(layer, want) << "search " << i;
        ASSERT_EQ(got, want ? want->FindObject(s, c) : nullptr) << "search " << i << ": layer " << layerId << ", sheet " << s << ", code " << c;
    }
}

TEST_F(LayerTree, DeepTreesStopTheWalk)
{
    TMap map;
    TCollection* parent = &map;
    for (int i = 0; i < MaxLayerTreeDepth + 5; ++i) parent = AddGroup(*parent, "g" + std::to_string(i));
    AddLayer(*parent, "deep");
    EXPECT_THROW(FindLayerByName(map, "deep"), ETarnError);
    TCollection list;
    EXPECT_THROW(ListAllLayers(map, list), ETarnError);
}

TEST_F(LayerTree, PointHitsUpperObjectsOfUpperLayersFirst)
{
    TMap map;
    TLayer* bottom = AddLayer(map, "bottom");
    TLayer* top = AddLayer(map, "top");
    Dot(*bottom, 1, 500, 500);
    Dot(*top, 2, 500, 500);
    Dot(*top, 3, 500, 500);
    Dot(*top, 4, 900, 900);
    EXPECT_EQ(At(map, FindAnyKind, {500, 500}), (std::vector<THit>{{"top", 3}}));
    EXPECT_EQ(At(map, FindAnyKind | FindAll, {500, 500}),
              (std::vector<THit>{{"top", 3}, {"top", 2}, {"bottom", 1}}));
    EXPECT_TRUE(At(map, FindAnyKind | FindAll, {700, 700}).empty());
    SetHitTolerance(200);
    EXPECT_EQ(At(map, FindAnyKind | FindAll, {700, 700}), (std::vector<THit>{{"top", 4}, {"top", 3}, {"top", 2},
                                                                             {"bottom", 1}}));

    // A result that already holds entries keeps them; the answer is about this search.
    TCollection result;
    result.Insert(new TInsideObj(bottom, bottom->Object(0)));
    EXPECT_FALSE(FindObjectsAt(map, View(), FindAnyKind, {5000, 5000}, result));
    EXPECT_EQ(result.Count, 1);
}

TEST_F(LayerTree, KindsHiddenLayersScaleLimitsAndObjectFlags)
{
    TMap map;
    const int16_t kinds[] = {0, 1, 6, 7, 9, 10, 11, 12, 13};
    for (int16_t k : kinds) Dot(*AddLayer(map, "k" + std::to_string(k), k), k, 100, 100);
    struct Case {
        uint32_t Flags;
        std::vector<int32_t> Codes;  // top first
    } cases[] = {
        {FindAnyKind, {13, 12, 11, 10, 9, 7, 6, 1, 0}},
        {FindPolygons, {10, 1}},
        {FindLines, {9, 0}},
        {FindTexts, {11, 6}},
        {FindSigns, {12, 7}},
        {FindBitmaps, {13}},
        {FindAllButTexts, {13, 12, 11, 10, 9, 7, 1, 0}},
        {FindLines | FindSigns, {12, 9, 7, 0}},
        {0, {}},
    };
    for (const Case& c : cases) {
        std::vector<int32_t> codes;
        for (const THit& h : At(map, c.Flags | FindAll, {100, 100})) codes.push_back(h.Code);
        EXPECT_EQ(codes, c.Codes) << std::hex << c.Flags;
    }

    // Hidden layers, hidden groups and layers beyond their limit: only with 0x100.
    TMap tree;
    Dot(*AddLayer(tree, "hidden", LayerKindPolygon, LayerFlagHidden), 1, 100, 100);
    Dot(*AddLayer(*AddGroup(tree, "G", LayerFlagHidden), "in hidden group"), 2, 100, 100);
    Dot(*AddLayer(tree, "limit 4999", LayerKindPolygon, 0, 4999), 3, 100, 100);
    Dot(*AddLayer(tree, "limit 5000", LayerKindPolygon, 0, 5000), 4, 100, 100);
    TLayer* flags = AddLayer(tree, "flags");
    Dot(*flags, 5, 100, 100, ObjFlagTemporary);
    Dot(*flags, 6, 100, 100, ObjFlagHidden);
    Dot(*flags, 7, -100, -100);  // out of the view
    Dot(*flags, 8, 100, 100, ObjFlagHidden | ObjFlagTemporary);
    EXPECT_EQ(At(tree, FindAnyKind | FindAll, {100, 100}), (std::vector<THit>{{"limit 5000", 4}}));
    EXPECT_EQ(At(tree, FindAnyKind | FindAll | FindHidden, {100, 100}),
              (std::vector<THit>{{"flags", 5}, {"limit 5000", 4}, {"limit 4999", 3}, {"in hidden group", 2},
                                 {"hidden", 1}}));
    EXPECT_TRUE(At(tree, FindAnyKind | FindAll, {-100, -100}).empty());
    EXPECT_EQ(At(tree, FindAnyKind | FindAll | FindHidden, {-100, -100}), (std::vector<THit>{{"flags", 7}}));
}

TEST_F(LayerTree, PolygonInteriorsAndClosedLines)
{
    TMap map;
    TLayer* lines = AddLayer(map, "lines", LayerKindLine);
    auto* ring = new TPolyLine;
    ring->Points = {{1000, 1000}, {3000, 1000}, {3000, 3000}, {1000, 3000}, {1000, 1000}};
    ring->Code = 1;
    lines->Insert(ring);
    TLayer* areas = AddLayer(map, "areas", LayerKindStyledPolygon);
    auto* square = new TPolygon;
    square->Points = {{5000, 1000}, {7000, 1000}, {7000, 3000}, {5000, 3000}};
    square->Code = 2;
    areas->Insert(square);
    // A polygon in a line layer is tested on its outline only.
    auto* inLines = new TPolygon;
    inLines->Points = {{1000, 5000}, {3000, 5000}, {3000, 7000}, {1000, 7000}};
    inLines->Code = 3;
    lines->Insert(inLines);

    SetHitTolerance(10);
    EXPECT_EQ(At(map, FindAnyKind, {6000, 2000}), (std::vector<THit>{{"areas", 2}}));
    EXPECT_TRUE(At(map, FindAnyKind, {2000, 2000}).empty()) << "inside a closed line";
    EXPECT_EQ(At(map, FindAnyKind, {2000, 1000}), (std::vector<THit>{{"lines", 1}})) << "on the line";
    EXPECT_TRUE(At(map, FindAnyKind, {2000, 6000}).empty());
    EXPECT_EQ(At(map, FindAnyKind, {7000, 2000}), (std::vector<THit>{{"areas", 2}})) << "on the outline";
}

TEST_F(LayerTree, TextsAreMeasuredInTheirLayersFont)
{
    // The layer's font at the view's size (SizeScale 10, so the stored
    // height 20 is 20 pixels), measured as the drawing would draw it.
    TLogFont font = Font(20, 0, 0, 400, 0, "DejaVu Sans");
    TDeviceContext measure;
    TGdiRef<TFont> f = TFont::Create(font);
    measure.SelectFont(f);
    const TSize extent = measure.GetTextExtent("Hello");
    ASSERT_GT(extent.Cx, 20);
    const int32_t w = extent.Cx * 100, h = extent.Cy * 100;  // world units

    TMap map;
    TLayer* names = AddLayer(map, "names", LayerKindText);
    names->TextFont = font;
    auto* text = new TText;
    text->Text = "Hello";
    text->X = 1000;
    text->Y = 1000;
    text->Code = 1;
    names->Insert(text);
    // The label box runs from the anchor right by the width and up by the height.
    EXPECT_EQ(At(map, FindTexts, {1000 + w / 2, 1000 + h / 2}).size(), 1u);
    EXPECT_EQ(At(map, FindTexts, {1000 + w - 50, 1000 + h - 50}).size(), 1u);
    EXPECT_TRUE(At(map, FindTexts, {1000 + w + 150, 1000 + h / 2}).empty());
    EXPECT_TRUE(At(map, FindTexts, {1000 + w / 2, 1000 + h + 150}).empty());
    EXPECT_TRUE(At(map, FindTexts, {1000 + w / 2, 850}).empty()) << "below the baseline corner";
    // A larger font makes a larger box.
    names->TextFont.Height = 40;
    EXPECT_EQ(At(map, FindTexts, {1000 + w + 150, 1000 + h / 2}).size(), 1u);
    EXPECT_EQ(names->TextFont.Height, 40) << "the layer's font keeps its height";
}

TEST_F(LayerTree, SignsAreHitWithinTheirDrawnSize)
{
    // Style1 24 draws 20 pixels: 1000 world units each side of the anchor.
    TMap map;
    TLayer* signs = AddLayer(map, "signs", LayerKindSign);
    signs->Style1 = 24;
    auto* s = new TSign;
    s->X = 5000;
    s->Y = 4000;
    s->Code = 1;
    signs->Insert(s);
    EXPECT_EQ(At(map, FindSigns, {5900, 4000}).size(), 1u);
    EXPECT_EQ(At(map, FindSigns, {5000, 3000}).size(), 1u) << "on the edge";
    EXPECT_TRUE(At(map, FindSigns, {6100, 4000}).empty());
    // In map units (flag 0x20): Style1 200 draws round(200 x 10 / 100) = 20 pixels.
    signs->Flags = LayerFlagSignMapUnits;
    signs->Style1 = 200;
    EXPECT_EQ(At(map, FindSigns, {5900, 4000}).size(), 1u);
    EXPECT_TRUE(At(map, FindSigns, {6100, 4000}).empty());
}

TEST_F(LayerTree, RectangleFindsWhatLiesInside)
{
    TMap map;
    TLayer* bottom = AddLayer(map, "bottom");
    TLayer* top = AddLayer(map, "top");
    TLayer* hidden = AddLayer(map, "hidden", LayerKindPolygon, LayerFlagHidden);
    Dot(*bottom, 1, 1000, 1000);
    Dot(*bottom, 2, 1500, 1500);
    Dot(*bottom, 3, 9000, 9000);
    Dot(*top, 4, 1200, 1200);
    Dot(*top, 5, 1300, 1300, ObjFlagHidden);
    Dot(*top, 6, 1400, 1400, ObjFlagTemporary);
    Dot(*hidden, 7, 1000, 1000);
    auto* line = new TPolyLine;
    line->Points = {{1100, 1100}, {1900, 1900}};
    line->Code = 8;
    top->Insert(line);
    auto* longLine = new TPolyLine;
    longLine->Points = {{1100, 1100}, {4000, 1900}};
    longLine->Code = 9;
    top->Insert(longLine);

    TCollection result;
    EXPECT_TRUE(FindObjectsInRect(map, View(), {500, 2000, 2000, 500}, result));
    EXPECT_EQ(Hits(result), (std::vector<THit>{{"top", 4}, {"top", 6}, {"top", 8}, {"bottom", 1}, {"bottom", 2}}));
    TCollection none;
    EXPECT_FALSE(FindObjectsInRect(map, View(), {5000, 6000, 6000, 5000}, none));
    EXPECT_TRUE(FindObjectsInRect(map, View(), {5000, 6000, 6000, 5000}, result)) << "result was not empty";
}

TEST_F(LayerTree, PointSearchSeesObjectsAddedMovedOrTurned)
{
    TMap map;
    TLayer* lines = AddLayer(map, "lines", LayerKindLine);
    SetHitTolerance(10);
    auto* a = new TPolyLine;
    a->Points = {{1000, 1000}, {2000, 1000}};
    a->Code = 1;
    lines->Insert(a);
    EXPECT_TRUE(At(map, FindAnyKind, {5000, 1000}).empty());
    // Added after a search.
    auto* b = new TPolyLine;
    b->Points = {{4000, 1000}, {6000, 1000}};
    b->Code = 2;
    lines->Insert(b);
    EXPECT_EQ(At(map, FindAnyKind, {5000, 1000}), (std::vector<THit>{{"lines", 2}}));
    // Moved in place after the view was marked: found once the mover says
    // so, after the next marking, or by a search beyond the marked view.
    MarkObjectsInView(map, View());
    a->Points[1] = {3000, 3000};
    lines->InvalidateHitIndex();
    EXPECT_EQ(At(map, FindAnyKind, {2500, 2500}), (std::vector<THit>{{"lines", 1}}));
    MarkObjectsInView(map, View());
    a->Points[1] = {3000, 5000};
    MarkObjectsInView(map, View());
    EXPECT_EQ(At(map, FindAnyKind, {2500, 4000}), (std::vector<THit>{{"lines", 1}}));
    a->Points[1] = {3000, 7000};
    EXPECT_EQ(At(map, FindAnyKind | FindHidden, {2500, 5500}), (std::vector<THit>{{"lines", 1}}));
    TDrawContext other = View();
    other.WorldRect = {0, 9000, 10000, 0};
    a->Points[1] = {3000, 1000};
    EXPECT_EQ(At(map, FindAnyKind, {2500, 1000}, other), (std::vector<THit>{{"lines", 1}}));
    // Replaced by another object at the same place in the list.
    auto* c = new TPolyLine;
    c->Points = {{7000, 7000}, {8000, 7000}};
    c->Code = 3;
    lines->SetItem(0, c);
    delete a;
    EXPECT_EQ(At(map, FindAnyKind, {7500, 7000}), (std::vector<THit>{{"lines", 3}}));

    // A label turned a quarter: its box runs up from the anchor and to the left.
    TLayer* names = AddLayer(map, "names", LayerKindText);
    names->TextFont = Font(20, 0, 0, 400, 0, "DejaVu Sans");
    auto* text = new TText;
    text->Text = "Hello";
    text->X = 5000;
    text->Y = 1000;
    text->Angle = 900;
    names->Insert(text);
    SetHitTolerance(0);
    EXPECT_EQ(At(map, FindTexts, {4500, 3000}).size(), 1u);
    EXPECT_TRUE(At(map, FindTexts, {5500, 3000}).empty());
}

namespace {

// The searches done the plain way, object by object, for comparison.
std::vector<THit> PlainAt(const TMap& map, const TDrawContext& view, TPoint p)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    std::vector<THit> hits;
    TDeviceContext measure;
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        TCustomLayer& l = **it;
        TDrawContext c = view;
        c.SizeScale = 1000 / c.Scale;
        TLogFont font = l.TextFont;
        font.Height = int32_t(std::lround(font.Height * c.SizeScale / 10));
        TGdiRef<TFont> made = TFont::Create(font);
        measure.SelectFont(made);
        if (IsTextKind(l.Kind)) {
            c.TextFont = &font;
            c.TextDC = &measure;
        }
        if (IsSignKind(l.Kind)) c.SymbolSize = int32_t(std::lround(SignPixelSize(l, c) * c.Scale / 500));
        for (int32_t i = l.Count - 1; i >= 0; --i) {
            TBaseObject* o = l.Object(i);
            if (o->Flags() & (ObjFlagHidden | ObjFlagTemporary)) continue;
            int32_t index = 0;
            bool hit = o->HitTest(c, p.X, p.Y, index);
            if (!hit && IsPolygonKind(l.Kind))
                if (auto* polygon = dynamic_cast<TPolygon*>(o)) hit = polygon->ContainsPoint(p.X, p.Y);
            if (hit && o->InView(c)) hits.push_back({l.Name, o->Code});
        }
    }
    return hits;
}

std::vector<THit> PlainInRect(const TMap& map, const TDrawContext& view, const TRect& r)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, false, layers);
    std::vector<THit> hits;
    for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
        TCustomLayer& l = **it;
        TDrawContext c = view;
        TLogFont font = l.TextFont;
        if (IsTextKind(l.Kind)) c.TextFont = &font;
        for (int32_t i = 0; i < l.Count; ++i) {
            TBaseObject* o = l.Object(i);
            if (!(o->Flags() & ObjFlagHidden) && o->InRect(c, r)) hits.push_back({l.Name, o->Code});
        }
    }
    return hits;
}

} // namespace

TEST_F(LayerTree, SearchesAnswerAsTheObjectsThemselvesWould)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> coord(-2000, 12000), step(-1500, 1500), angle(-1800, 1800);
    TMap map;
    TLayer* areas = AddLayer(map, "areas", LayerKindPolygon);
    TLayer* lines = AddLayer(map, "lines", LayerKindStyledLine);
    TLayer* names = AddLayer(map, "names", LayerKindText);
    names->TextFont = Font(14, 7, 0, 400, 0, "DejaVu Sans");
    TLayer* styled = AddLayer(map, "styled names", LayerKindStyledText);
    styled->TextFont = Font(10, 5, 0, 400, 0, "DejaVu Sans");
    TLayer* signs = AddLayer(map, "signs", LayerKindSign);
    signs->Style1 = 24;
    TLayer* dots = AddLayer(map, "dots", LayerKindSign);
    int32_t code = 0;
    for (int i = 0; i < 300; ++i) {
        auto* p = i % 2 ? new TPolygon : new TPolygonEx;
        const TPoint c{coord(rng), coord(rng)};
        for (int k = 0; k < 5; ++k) p->Points.push_back({c.X + step(rng), c.Y + step(rng)});
        p->Code = ++code;
        areas->Insert(p);
        auto* l = i % 2 ? new TPolyLine : new TPolyLineEx;
        l->Points = {{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
        l->Code = ++code;
        lines->Insert(l);
        auto* t = i % 3 ? new TText : new TTextEx;
        t->Text = std::string(1 + i % 9, 'W');
        t->X = coord(rng);
        t->Y = coord(rng);
        t->Angle = i % 4 ? angle(rng) : 0;
        t->Code = ++code;
        (i % 3 ? names : styled)->Insert(t);
        auto* s = i % 2 ? new TSign : new TExactPoint;
        s->X = coord(rng);
        s->Y = coord(rng);
        s->Code = ++code;
        signs->Insert(s);
        Dot(*dots, ++code, coord(rng), coord(rng), i % 7 ? 0 : ObjFlagTemporary);
    }
    const TDrawContext view = View();
    MarkObjectsInView(map, view);
    std::uniform_int_distribution<int32_t> size(100, 6000);
    int found = 0, foundInRects = 0;
    for (int32_t tolerance : {0, 150}) {
        SetHitTolerance(tolerance);
        for (int q = 0; q < 300; ++q) {
            const TPoint p{coord(rng), coord(rng)};
            const auto plain = PlainAt(map, view, p);
            ASSERT_EQ(At(map, FindAnyKind | FindAll, p), plain) << p.X << ", " << p.Y;
            found += int(plain.size());
            const int32_t w = size(rng), h = size(rng);
            const TRect r{p.X, p.Y + h, p.X + w, p.Y};
            TCollection result;
            FindObjectsInRect(map, view, r, result);
            const auto plainIn = PlainInRect(map, view, r);
            ASSERT_EQ(Hits(result), plainIn) << p.X << ", " << p.Y << " " << w << " x " << h;
            foundInRects += int(plainIn.size());
        }
    }
    EXPECT_GT(found, 100) << "the comparison saw hits";
    EXPECT_GT(foundInRects, 100);
}
