// Operations on all layers of a map, style scaling with its exact way back,
// and the layer exchange record.
#include "LayerTestSupport.h"
#include "data/FillRec.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

TLayer* AddLayer(TCollection& parent, const std::string& name, int16_t kind = LayerKindPolygon)
{
    auto* l = new TLayer;
    l->Name = name;
    l->Kind = kind;
    parent.Insert(l);
    return l;
}

// An object that counts how often it is destroyed.
int Destroyed = 0;
class TCounted : public TBaseObject {
public:
    TCounted(int32_t code, int32_t sheet, uint32_t flags = 0)
    {
        Code = code;
        SheetID = sheet;
        SetFlags(flags);
    }
    ~TCounted() override { ++Destroyed; }
    void Draw(const TDrawContext&) const override {}
    bool HitTest(const TDrawContext&, int32_t, int32_t, int32_t&) const override { return false; }

protected:
    TCounted(const TCounted&) = default;
    TBaseObject* CreateCopy() const override { return new TCounted(*this); }
};

std::vector<int32_t> Codes(const TCustomLayer& l)
{
    std::vector<int32_t> codes;
    for (int32_t i = 0; i < l.Count; ++i) codes.push_back(l.Object(i)->Code);
    return codes;
}

class LayerOps : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        Destroyed = 0;
    }
};

// A map with one layer of each scaled kind, plain and styled, each holding
// one object of the matching styled class.
struct TStyledMap {
    TMap Map;
    TLayer* Line = AddLayer(Map, "line", LayerKindLine);
    TLayer* Text = AddLayer(Map, "text", LayerKindText);
    TLayer* Sign = AddLayer(Map, "sign", LayerKindSign);
    TLayer* Area = AddLayer(Map, "area", LayerKindPolygon);
    TLayer* StyledLine = AddLayer(Map, "styled line", LayerKindStyledLine);
    TLayer* StyledText = AddLayer(*AddGroupTo(Map), "styled text", LayerKindStyledText);
    TLayer* StyledSign = AddLayer(Map, "styled sign", LayerKindStyledSign);
    TPolyLineEx* PolyLine = new TPolyLineEx;
    TTextEx* Label = new TTextEx;
    TSignEx* Badge = new TSignEx;
    TPolyLineEx* PlainLayerLine = new TPolyLineEx;

    static TGapLayer* AddGroupTo(TMap& map)
    {
        auto* g = new TGapLayer;
        g->Name = "hidden group";
        g->Flags = LayerFlagHidden;
        map.Insert(g);
        return g;
    }

    TStyledMap(int32_t width, int32_t height, int32_t size)
    {
        for (TLayer* l : {Line, StyledLine}) l->Style2 = width;
        for (TLayer* l : {Text, StyledText}) {
            l->TextFont = Font(height, 0, 0, 400, 204, "Arial");
        }
        for (TLayer* l : {Sign, StyledSign}) l->Style1 = size;
        Area->Style1 = 7;
        Area->Style3 = 7;
        PolyLine->Points = {{0, 0}, {1000, 0}};
        PolyLine->Width = width;
        Label->Text = "x";
        Label->Size = height;
        Badge->Size = size;
        PlainLayerLine->Points = {{0, 0}, {1000, 0}};
        PlainLayerLine->Width = width;
        StyledLine->Insert(PolyLine);
        StyledText->Insert(Label);
        StyledSign->Insert(Badge);
        Line->Insert(PlainLayerLine);
    }

    std::vector<int32_t> Values() const
    {
        return {Line->Style2,     Text->TextFont.Height, Sign->Style1,     Area->Style1,          Area->Style3,
                StyledLine->Style2, StyledText->TextFont.Height, StyledSign->Style1, PolyLine->Width, Label->Size,
                Badge->Size,      PlainLayerLine->Width};
    }
};

} // namespace

TEST_F(LayerOps, ScalingExamples)
{
    struct Case {
        int32_t S;
        uint32_t What;
        std::vector<int32_t> Scaled;
    } cases[] = {
        // S = 1000: lines x1, texts x 1000 x 60 / 28125, signs x10.
        {1000, ScaleLayerValues, {7, 6, 120, 7, 7, 7, 6, 120, 7, 3, 12, 7}},
        {1000, ScaleObjectValues, {7, 3, 12, 7, 7, 7, 3, 12, 7, 6, 120, 7}},
        {1000, ScaleLayerValues | ScaleObjectValues, {7, 6, 120, 7, 7, 7, 6, 120, 7, 6, 120, 7}},
        // S = 28125: the text factor is 60, a font height of 2 would be 120.
        {28125, ScaleLayerValues | ScaleObjectValues, {197, 180, 3375, 7, 7, 197, 180, 3375, 197, 180, 3375, 7}},
        // No project scale, nothing to do.
        {0, ScaleLayerValues | ScaleObjectValues, {7, 3, 12, 7, 7, 7, 3, 12, 7, 3, 12, 7}},
    };
    for (const Case& c : cases) {
        TStyledMap m(7, 3, 12);
        const std::vector<int32_t> before = m.Values();
        ScaleLayerStyles(m.Map, c.What, c.S);
        EXPECT_EQ(m.Values(), c.Scaled) << "S " << c.S << ", what " << c.What;
        UnscaleLayerStyles(m.Map, c.What, c.S);
        EXPECT_EQ(m.Values(), before) << "S " << c.S << ", what " << c.What;
    }
    TMap map;
    TLayer* text = AddLayer(map, "t", LayerKindText);
    text->TextFont.Height = 2;
    ScaleLayerStyles(map, ScaleLayerValues, 28125);
    EXPECT_EQ(text->TextFont.Height, 120);
}

TEST_F(LayerOps, UnscalingGivesTheFileValueBackWithoutDrift)
{
    // S = 500 halves line widths: 7 becomes 4 (3.5 to even) and a plain
    // division would give 8 back.
    TStyledMap m(7, 3, 12);
    ScaleLayerStyles(m.Map, ScaleLayerValues, 500);
    ScaleLayerStyles(m.Map, ScaleObjectValues, 500);
    EXPECT_EQ(m.Line->Style2, 4);
    EXPECT_EQ(m.PolyLine->Width, 4);
    EXPECT_EQ(m.Text->TextFont.Height, 3);  // 3 x 500 x 60 / 28125 = 3.2
    EXPECT_TRUE(m.PolyLine->WidthMemo.Set && m.Label->SizeMemo.Set && m.Badge->SizeMemo.Set);
    // A value changed after scaling is converted by division.
    m.StyledLine->Style2 = 6;
    m.Badge->Size = 61;
    UnscaleLayerStyles(m.Map, ScaleLayerValues | ScaleObjectValues, 500);
    EXPECT_EQ(m.Line->Style2, 7);
    EXPECT_EQ(m.PolyLine->Width, 7);
    EXPECT_EQ(m.Text->TextFont.Height, 3);
    EXPECT_EQ(m.StyledLine->Style2, 12);
    EXPECT_EQ(m.Badge->Size, 12);  // 61 / 5 = 12.2
    EXPECT_FALSE(m.PolyLine->WidthMemo.Set || m.Label->SizeMemo.Set || m.Badge->SizeMemo.Set);
    // Unscaling what was never scaled divides too.
    UnscaleLayerStyles(m.Map, ScaleLayerValues, 500);
    EXPECT_EQ(m.Line->Style2, 14);
}

TEST_F(LayerOps, AValueOutOfRangeChangesNothing)
{
    TStyledMap m(7, 3, 12);
    m.Badge->Size = 300000000;  // x 1000 does not fit 32 bits
    const std::vector<int32_t> before = m.Values();
    EXPECT_THROW(ScaleLayerStyles(m.Map, ScaleLayerValues | ScaleObjectValues, 100000), ERangeError);
    EXPECT_EQ(m.Values(), before);
    EXPECT_FALSE(m.PolyLine->WidthMemo.Set || m.Badge->SizeMemo.Set || m.Line->StyleMemo.Set);
}

namespace {

// The same tree of layers and groups; with clones, each layer also gets a
// clone of every object (the way the savers copy a map).
void CopyTree(const TCollection& from, TCollection& to, bool withClones)
{
    for (int32_t i = 0; i < from.Count; ++i) {
        const TAbstractItem* item = from.Items[static_cast<std::size_t>(i)];
        if (const TCustomLayer* l = AsLayer(item)) {
            auto* c = new TLayer;
            c->Name = l->Name;
            CopyLayerStyle(*l, *c);
            if (withClones) CloneLayerObjects(*l, *c);
            to.Insert(c);
        } else if (const auto* g = dynamic_cast<const TGapLayer*>(item)) {
            auto* c = new TGapLayer;
            c->Name = g->Name;
            c->Flags = g->Flags;
            to.Insert(c);
            CopyTree(*g, *c, withClones);
        }
    }
}

} // namespace

TEST_F(LayerOps, OpenSaveOpenLeavesEverySizeUnchanged)
{
    for (int32_t s : {500, 333, 777, 1000, 2500, 28125, 123457}) {
        SCOPED_TRACE(::testing::Message() << "project scale " << s);
        TStyledMap original(7, 3, 11);
        TFormIo io;
        auto view = io.Read<TMap>(io.Write(original.Map, TForm::Sheet, 1.0), TForm::Sheet);
        const std::string stored = io.Write(*view, TForm::Sheet, 1.0);

        // Open: the sheet's layer values, then its objects, scaled.
        ScaleLayerStyles(*view, ScaleLayerValues, s);
        ScaleLayerStyles(*view, ScaleObjectValues, s);
        std::vector<TCustomLayer*> viewLayers;
        CollectLayers(*view, true, viewLayers);
        for (TCustomLayer* l : viewLayers)
            for (int32_t i = 0; i < l->Count; ++i) l->Object(i)->SheetID = 4;

        // Save: a working tree sharing the sheet's objects, a copy holding
        // clones of them, unscaled and written; the working tree cleared.
        TMap working, copy;
        CopyTree(*view, working, false);
        CopySheetObjects(*view, working, 4);
        CopyTree(working, copy, true);
        UnscaleLayerStyles(copy, ScaleLayerValues | ScaleObjectValues, s);
        const std::string saved = io.Write(copy, TForm::Sheet, 1.0);
        ClearAllLayers(working);
        EXPECT_TRUE(SameBytes(saved, stored)) << "every stored size as it was read";

        // Open again: the same drawing sizes as the first time.
        auto reopened = io.Read<TMap>(saved, TForm::Sheet);
        ScaleLayerStyles(*reopened, ScaleLayerValues, s);
        ScaleLayerStyles(*reopened, ScaleObjectValues, s);
        std::vector<TCustomLayer*> again;
        CollectLayers(*reopened, true, again);
        ASSERT_EQ(again.size(), viewLayers.size());
        for (std::size_t i = 0; i < again.size(); ++i) {
            EXPECT_EQ(again[i]->Style1, viewLayers[i]->Style1) << again[i]->Name;
            EXPECT_EQ(again[i]->Style2, viewLayers[i]->Style2) << again[i]->Name;
            EXPECT_EQ(again[i]->TextFont.Height, viewLayers[i]->TextFont.Height) << again[i]->Name;
        }
        const auto width = [](const TCustomLayer* l) { return static_cast<TPolyLineEx*>(l->Object(0))->Width; };
        EXPECT_EQ(width(again[4]), width(viewLayers[4]));
        UnscaleLayerStyles(*reopened, ScaleLayerValues | ScaleObjectValues, s);
        EXPECT_TRUE(SameBytes(io.Write(*reopened, TForm::Sheet, 1.0), stored));
    }
}

TEST_F(LayerOps, SharedObjectsAreFreedOnce)
{
    for (int order = 0; order < 3; ++order) {
        Destroyed = 0;
        {
            auto source = std::make_unique<TMap>();
            auto dest = std::make_unique<TMap>();
            TLayer* a = AddLayer(*source, "A");
            TLayer* b = AddLayer(*source, "B");
            TLayer* missing = AddLayer(*source, "only in source");
            for (int code : {1, 2, 3}) a->Insert(new TCounted(code, code == 2 ? 9 : 4));
            b->Insert(new TCounted(4, 4));
            missing->Insert(new TCounted(5, 4));
            TLayer* destA = AddLayer(*dest, "A");
            destA->Insert(new TCounted(6, 4));
            auto* group = new TGapLayer;
            group->Name = "B";  // a group, not a layer: skipped
            dest->Insert(group);

            CopySheetObjects(*source, *dest, 4);
            EXPECT_EQ(Codes(*destA), (std::vector<int32_t>{6, 1, 3}));
            EXPECT_EQ(a->Object(0)->RefCount, 1);
            if (order == 0) {
                dest.reset();
                EXPECT_EQ(Destroyed, 1) << "only the destination's own object";
                source.reset();
            } else if (order == 1) {
                source.reset();
                EXPECT_EQ(Destroyed, 3) << "the source's unshared objects";
                dest.reset();
            } else {
                std::unique_ptr<TBaseObject> own(destA->Object(0));  // cleared, it is nobody's
                ClearAllLayers(*dest);  // the saver's way: the source keeps them
                EXPECT_EQ(destA->Count, 0);
                EXPECT_EQ(a->Object(0)->RefCount, 0);
                dest.reset();
                EXPECT_EQ(Destroyed, 0) << "cleared lists free nothing";
                source.reset();
            }
        }
        EXPECT_EQ(Destroyed, 6) << "order " << order;
    }
}

TEST_F(LayerOps, ClearAndDeleteTemporaryObjects)
{
    TMap map;
    TLayer* all = AddLayer(map, "all temporary");
    auto* group = new TGapLayer;
    group->Flags = LayerFlagHidden;
    map.Insert(group);
    TLayer* inGroup = AddLayer(*group, "in group");
    for (int code : {1, 2, 3}) all->Insert(new TCounted(code, 0, ObjFlagTemporary));
    for (int code : {4, 5, 6, 7}) inGroup->Insert(new TCounted(code, 0, code % 2 ? ObjFlagTemporary : 0));
    DeleteTempObjects(map);
    EXPECT_EQ(all->Count, 0);
    EXPECT_EQ(Codes(*inGroup), (std::vector<int32_t>{4, 6}));
    EXPECT_EQ(Destroyed, 5);

    // Clearing frees nothing: the objects belong to someone else.
    std::unique_ptr<TCounted> four(static_cast<TCounted*>(inGroup->Object(0)));
    std::unique_ptr<TCounted> six(static_cast<TCounted*>(inGroup->Object(1)));
    ClearAllLayers(map);
    EXPECT_EQ(inGroup->Count, 0);
    EXPECT_EQ(Destroyed, 5);
}

TEST_F(LayerOps, CopiesCarryTheScaledValuesMemory)
{
    TMap map;
    TLayer* l = AddLayer(map, "l", LayerKindStyledLine);
    l->Style2 = 7;
    auto* p = new TPolyLineEx;
    p->Width = 7;
    l->Insert(p);
    ScaleLayerStyles(map, ScaleLayerValues | ScaleObjectValues, 500);
    TMap copy;
    auto* c = new TInfoLayer;  // a copy may be of the other layer class
    CopyLayerStyle(*l, *c);
    CloneLayerObjects(*l, *c);
    copy.Insert(c);
    EXPECT_TRUE(static_cast<TPolyLineEx*>(c->Object(0))->WidthMemo.Set);
    UnscaleLayerStyles(copy, ScaleLayerValues | ScaleObjectValues, 500);
    EXPECT_EQ(c->Style2, 7);
    EXPECT_EQ(static_cast<TPolyLineEx*>(c->Object(0))->Width, 7);
    EXPECT_NE(c->Object(0), p);
}

// ---------------------------------------------------------------- exchange record

namespace {

TLayerRec Blank()
{
    TLayerRec r;
    std::memset(&r, 0xAB, sizeof r);
    return r;
}

bool SpareUntouched(const TLayerRec& r)
{
    for (uint8_t b : r.Spare)
        if (b != 0xAB) return false;
    return true;
}

} // namespace

TEST_F(LayerOps, RecordOutOfEachClass)
{
    TLayer l;
    l.Name = std::string(150, 'n');
    l.Flags = 0x401;
    l.Kind = LayerKindPolygon;
    l.LayerParam = 55;
    l.Colour = 1;
    l.Colour2 = 2;
    l.Style1 = 3;
    l.Style2 = 4;
    l.Style3 = 5;
    l.ScaleLimit = 6;
    l.LayerId = 7;
    l.LabelFont = Font(9, 0, 0, 400, 0, "Tahoma");
    l.LabelColour = 8;
    TLayerRec r = Blank();
    FillLayerRec(false, l, r);
    EXPECT_EQ(std::string(r.Name), std::string(100, 'n'));
    EXPECT_EQ(r.Flags, 0x401u);
    EXPECT_EQ(r.Kind, LayerKindPolygon);
    EXPECT_EQ(r.LayerParam, 55);
    EXPECT_EQ(r.Colour, 1);
    EXPECT_EQ(r.Colour2, 2);
    EXPECT_EQ(r.Style1, 3);
    EXPECT_EQ(r.Style2, 4);
    EXPECT_EQ(r.Style3, 5);
    EXPECT_EQ(r.ScaleLimit, 6);
    EXPECT_EQ(r.LayerId, 7);
    EXPECT_EQ(r.InfoValue1, 0);
    EXPECT_EQ(r.LabelColour, 8);
    EXPECT_STREQ(r.LabelFont.FaceName, "Tahoma");
    EXPECT_TRUE(SpareUntouched(r));

    // A text layer hands its font over by value, never as an address.
    l.Kind = LayerKindText;
    l.TextFont = Font(-20, 0, 0, 700, 204, "Arial");
    FillLayerRec(false, l, r);
    EXPECT_EQ(r.Colour2, 0);
    EXPECT_TRUE(SameFont(r.TextFont, l.TextFont));

    TInfoLayer info;
    info.Name = "i";
    info.InfoValue1 = 11;
    info.InfoValue2 = 22;
    FillInfoLayerRec(false, info, r);
    EXPECT_EQ(r.InfoValue1, 11);
    EXPECT_EQ(r.InfoValue2, 22);
    EXPECT_STREQ(r.InfoText, "") << "no information text";
    info.InfoText = std::string(120, 't');
    FillInfoLayerRec(false, info, r);
    EXPECT_EQ(std::string(r.InfoText), std::string(100, 't'));

    TGapLayer g;
    g.Name = "g";
    g.Flags = 1;
    g.GroupTag = 99;
    FillGapLayerRec(false, g, r);
    EXPECT_STREQ(r.Name, "g");
    EXPECT_EQ(r.Flags, 1u);
    EXPECT_EQ(r.Colour, 99);
    TMap m;
    m.Name = "m";
    m.Flags = -2;
    FillMapRec(false, m, r);
    EXPECT_STREQ(r.Name, "m");
    EXPECT_EQ(r.Flags, 0xFFFFFFFEu);
    EXPECT_EQ(r.Colour, 0);
    EXPECT_TRUE(SpareUntouched(r));
}

TEST_F(LayerOps, RecordIntoEachClass)
{
    TLayer l;
    l.Kind = LayerKindPolygon;
    l.LayerId = 7;
    TLayerRec r = Blank();
    FillLayerRec(false, l, r);
    std::strcpy(r.Name, "renamed");
    r.LayerId = 1234;     // not taken
    r.InfoValue1 = 5;     // not a layer's
    r.Kind = LayerKindText;
    r.Colour2 = 0x7777;   // a text kind takes the font instead
    r.TextFont = Font(-15, 0, 0, 400, 204, "DejaVu Sans");
    r.Style2 = 42;
    r.LabelColour = 3;
    FillLayerRec(true, l, r);
    EXPECT_EQ(l.Name, "renamed");
    EXPECT_EQ(l.LayerId, 7);
    EXPECT_EQ(l.Kind, LayerKindText);
    EXPECT_TRUE(SameFont(l.TextFont, r.TextFont)) << "a polygon layer turned text layer has the record's font";
    EXPECT_EQ(l.Colour2, 0);
    EXPECT_EQ(l.Style2, 42);
    EXPECT_EQ(l.LabelColour, 3);

    // Changing the font through the record reaches the layer when applied.
    FillLayerRec(false, l, r);
    r.TextFont.Height = -30;
    FillLayerRec(true, l, r);
    EXPECT_EQ(l.TextFont.Height, -30);
    r.Kind = LayerKindLine;
    FillLayerRec(true, l, r);
    EXPECT_EQ(l.Colour2, 0) << "the record's colour 2 of a text layer was 0";

    // A name without its terminator is cut at 100 characters.
    std::memset(r.Name, 'z', sizeof r.Name);
    FillLayerRec(true, l, r);
    EXPECT_EQ(l.Name, std::string(100, 'z'));

    TInfoLayer info;
    info.InfoValue1 = 11;
    FillInfoLayerRec(false, info, r);
    r.InfoValue1 = 99;
    r.InfoValue2 = 33;
    std::strcpy(r.InfoText, "card");
    FillInfoLayerRec(true, info, r);
    EXPECT_EQ(info.InfoValue1, 11);
    EXPECT_EQ(info.InfoValue2, 33);
    EXPECT_EQ(info.InfoText, "card");

    TGapLayer g;
    g.GroupTag = 5;
    std::strcpy(r.Name, "group");
    r.Flags = 1;
    r.Colour = 77;
    FillGapLayerRec(true, g, r);
    EXPECT_EQ(g.Name, "group");
    EXPECT_EQ(g.Flags, 1u);
    EXPECT_EQ(g.GroupTag, 5);
    TMap m;
    FillMapRec(true, m, r);
    EXPECT_EQ(m.Name, "group");
    EXPECT_EQ(m.Flags, 1);
    EXPECT_TRUE(SpareUntouched(r));
}
