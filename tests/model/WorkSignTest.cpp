// User signs on the sample city: the next free code, adding, deleting and
// moving with the mouse, the events that may cancel, the refusals, and the
// sheet saved with its backup and read back.
//
// The sample's sign layer "Знаки" (104) holds codes 5 at pixel (100, 100)
// and 2 at (20, 20) of the sheet city.map (identifier 1); pixel (px, py) is
// world (5000 px, 1000000 - 5000 py); the block covers pixels 40..160.
#include "ModelSupport.h"

#include "data/LayerWalk.h"
#include "model/WorkSign.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarn::test {
namespace {

struct TAnswer : TModelUI {
    bool Answer = false;
    std::vector<std::string> Asked;
    bool Confirm(const std::string& message) override
    {
        Asked.push_back(message);
        return Answer;
    }
};

// The tool on the sample's sign layer, its events written down.
struct TSignCity : TOpenCity {
    TSignCity()
    {
        Model->SetUI(UI);
        // What the tool passes on, below it.
        Passed = Model->OnMouseDown.Install([this](const auto&, TView&, TMouseButton, uint32_t, int32_t, int32_t) {
            Events.push_back("down passed");
        });
        PassedUp = Model->OnMouseUp.Install([this](const auto&, TView&, TMouseButton, uint32_t, int32_t, int32_t) {
            Events.push_back("up passed");
        });
        Tool = std::make_unique<TWorkSign>(Model.get(), View.get());
        MakeFieldQuery("", SignsId, Tool->SignLayer);
        Tool->SignSheetID = SheetId;
        Tool->OnBeforeAdd = [this](const TObjectKey& k, const TPoint& p, bool) { return Event("before add", k, p); };
        Tool->OnAfterAdd = [this](const TObjectKey& k, const TPoint& p, bool) { Event("after add", k, p); };
        Tool->OnBeforeDelete = [this](const TObjectKey& k, bool, bool) { return Event("before delete", k, {}); };
        Tool->OnAfterDelete = [this](const TObjectKey& k, bool, bool) { Event("after delete", k, {}); };
        Tool->OnBeforeMove = [this](const TObjectKey& k, const TPoint& p, bool) { return Event("before move", k, p); };
        Tool->OnAfterMove = [this](const TObjectKey& k, const TPoint& p, bool) { Event("after move", k, p); };
        Surface.Paint();
    }
    int32_t Event(const std::string& what, const TObjectKey& k, const TPoint& p)
    {
        Events.push_back(what);
        Keys.push_back(k);
        Points.push_back(p);
        return what.rfind("before", 0) == 0 ? Cancel : 0;
    }
    void Press(int32_t mode, int32_t x, int32_t y, TMouseButton b = TMouseButton::Left)
    {
        View->ViewMode = mode;
        Model->OnMouseDown(*View, b, 0, x, y);
    }
    void Release(int32_t x, int32_t y, TMouseButton b = TMouseButton::Left) { Model->OnMouseUp(*View, b, 0, x, y); }
    TPoint World(int32_t x, int32_t y) const
    {
        TPoint p;
        Model->ScreenToWorld(*View, x, y, p.X, p.Y);
        return p;
    }
    // The sign's anchor, or nothing.
    bool Anchor(int32_t code, TPoint& at)
    {
        std::vector<uint8_t> b;
        if (Model->GetObjectData(View.get(), 1, Key(SignsId, code, SheetId, 1), b) != ResultDone) return false;
        const TObjectHeader h = DecodeObjectHeader(b.data());
        at = TPoint{h.X, h.Y};
        return true;
    }
    bool Has(int32_t code)
    {
        TPoint at;
        return Anchor(code, at);
    }
    void Create(int32_t code)
    {
        TObjectKey k = Key(SignsId, code, SheetId, 1);
        uint8_t header[ObjectHeaderSize] = {};
        ASSERT_EQ(Model->CreateObject(View.get(), 3, k, header, int32_t(sizeof header)), ResultDone);
        ASSERT_EQ(k.Code, code);
    }

    std::shared_ptr<TAnswer> UI = std::make_shared<TAnswer>();
    TPanel Panel{*Model, *View};
    THookToken Passed, PassedUp;
    std::unique_ptr<TWorkSign> Tool;
    int32_t Cancel = 0;
    std::vector<std::string> Events;
    std::vector<TObjectKey> Keys;
    std::vector<TPoint> Points;
};

using TLog = std::vector<std::string>;

TEST(WorkSign, NewSignTakesTheLowestFreeCodeAndAKeyWithEveryField)
{
    TSignCity c;
    EXPECT_EQ(c.Tool->NextFreeCode(), 1);
    c.Create(1);
    c.Create(4);
    TObjectKey five = Key(SignsId, 5, SheetId, 1);
    ASSERT_EQ(c.Model->CreateObject(c.View.get(), 2, five, nullptr, 0), ResultDone);
    ASSERT_EQ(c.Tool->NextFreeCode(), 3) << "codes 1, 2 and 4 are taken";

    c.Press(ModeAddSign, 150, 40);
    EXPECT_EQ(c.Events, (TLog{"before add", "after add", "down passed"}));
    const TObjectKey expected{1, 1, SignsId, SheetId, 3};
    EXPECT_EQ(c.Keys, (std::vector<TObjectKey>{expected, expected}));
    TPoint at;
    ASSERT_TRUE(c.Anchor(3, at));
    EXPECT_EQ(at, c.World(150, 40));
    EXPECT_EQ(c.Points.back(), at);
    EXPECT_EQ(c.Tool->NextFreeCode(), 5);
}

TEST(WorkSign, RightPressWhileAddingAddsNothingAndPassesOn)
{
    TSignCity c;
    c.Press(ModeAddSign, 150, 40, TMouseButton::Right);
    EXPECT_EQ(c.Events, (TLog{"down passed"}));
    EXPECT_FALSE(c.Has(1));
}

TEST(WorkSign, BeforeEventThatAnswersNonZeroCancelsWithoutAnAfterEvent)
{
    struct TCase {
        const char* What;
        int32_t Mode;
        TLog Events;
    } const cases[] = {
        {"add", ModeAddSign, {"before add", "down passed"}},
        {"delete", ModeDeleteSign, {"before delete", "down passed"}},
        {"move", ModeMoveSign, {"down passed", "before move", "up passed"}},
    };
    for (const TCase& t : cases) {
        TSignCity c;
        c.Cancel = -1;
        TPoint before;
        ASSERT_TRUE(c.Anchor(5, before));
        c.Press(t.Mode, t.Mode == ModeAddSign ? 150 : 100, t.Mode == ModeAddSign ? 40 : 100);
        if (t.Mode == ModeMoveSign) c.Release(150, 150);
        EXPECT_EQ(c.Events, t.Events) << t.What;
        TPoint after;
        EXPECT_TRUE(c.Anchor(5, after)) << t.What;
        EXPECT_EQ(after, before) << t.What;
        EXPECT_FALSE(c.Has(1)) << t.What;
        EXPECT_FALSE(c.Model->StructureChanged) << t.What;
    }
}

TEST(WorkSign, DeletePressTakesTheSignUnderItAndIgnoresOtherLayers)
{
    TSignCity c;
    c.Press(ModeDeleteSign, 150, 150);  // on the block, beside every sign
    EXPECT_EQ(c.Events, TLog{}) << "not passed on";
    c.Press(ModeDeleteSign, 100, 100);  // sign 5 on the street and the block
    EXPECT_EQ(c.Events, (TLog{"before delete", "after delete", "down passed"}));
    EXPECT_EQ(c.Keys.front().Code, 5);
    EXPECT_FALSE(c.Has(5));
    EXPECT_TRUE(c.Has(2));
    EXPECT_TRUE(c.UI->Asked.empty()) << "the tool's own question only on request";

    // Another layer's tool sees nothing of it.
    TSignCity other;
    MakeFieldQuery("", BlocksId, other.Tool->SignLayer);
    other.Press(ModeDeleteSign, 100, 100);
    EXPECT_EQ(other.Events, TLog{});
    EXPECT_TRUE(other.Has(5));
}

TEST(WorkSign, DeleteAsksWhenToldAndCancelKeepsTheSign)
{
    for (bool ok : {false, true}) {
        TSignCity c;
        c.UI->Answer = ok;
        EXPECT_EQ(c.Tool->DeleteSign(Key(SignsId, 5), true, false), ok ? 1 : 0);
        EXPECT_EQ(c.UI->Asked, TLog{"Удалить объект?"});
        EXPECT_EQ(c.Has(5), !ok);
        EXPECT_EQ(c.Events, (ok ? TLog{"before delete", "after delete"} : TLog{"before delete"}));
    }
}

TEST(WorkSign, DragMovesThePickedSignAndAPressBesideMovesNothing)
{
    TSignCity c;
    c.Press(ModeMoveSign, 100, 100);
    c.Release(150, 30);
    EXPECT_EQ(c.Events, (TLog{"down passed", "before move", "after move", "up passed"}));
    TPoint at;
    ASSERT_TRUE(c.Anchor(5, at));
    EXPECT_EQ(at, c.World(150, 30));

    c.Events.clear();
    c.Press(ModeMoveSign, 170, 170);
    c.Release(60, 60);
    EXPECT_EQ(c.Events, TLog{}) << "neither press nor release passed on";
    ASSERT_TRUE(c.Anchor(5, at));
    EXPECT_EQ(at, c.World(150, 30));
    TPoint two;
    ASSERT_TRUE(c.Anchor(2, two));
    EXPECT_EQ(two, (TPoint{100000, 900000}));

    EXPECT_EQ(c.Tool->MoveSign(Key(SignsId, 77), {1, 1}, false), 0) << "no such sign: no after-event";
    EXPECT_EQ(c.Events.back(), "before move");
}

TEST(WorkSign, AddIsRefusedWhereTheSheetCouldNotKeepTheSign)
{
    struct TCase {
        const char* What;
        int32_t Code;          // the key's code
        int32_t Taken;         // a sign with this code made first (0: none)
        bool ReadOnly;
        double Denominator;    // the view's scale (the overview holds no sheets)
        const char* Refusal;   // a part of the reason; empty: added
    } const cases[] = {
        {"free code", 9, 0, false, 20000, ""},
        {"largest 16-bit code", 32767, 0, false, 20000, ""},
        {"past 16 bits", 32768, 0, false, 20000, "does not fit the 16-bit codes"},
        {"taken, and the next past 16 bits", 2, 32767, false, 20000, "sign code 32768"},
        {"read-only sheet", 9, 0, true, 20000, "is read-only"},
        {"sheet not loaded", 9, 0, false, 200000, "is not loaded"},
    };
    for (const TCase& t : cases) {
        TSignCity c;
        if (t.ReadOnly) {
            ::chmod(c.City.Map.c_str(), 0444);
            c.Model->OpenFile(c.City.Prj);
        }
        ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, t.Denominator), ResultDone);
        if (t.Taken) c.Create(t.Taken);
        c.Events.clear();
        const int32_t added = c.Tool->AddSign(Key(SignsId, t.Code, SheetId, 1), {300000, 300000}, false);
        EXPECT_EQ(added, *t.Refusal ? 0 : 1) << t.What;
        if (*t.Refusal) {
            EXPECT_NE(c.Tool->Refusal.find(t.Refusal), std::string::npos) << t.What << ": " << c.Tool->Refusal;
            EXPECT_EQ(c.Events, TLog{}) << t.What << ": nobody asked for a sign that cannot be placed";
        } else {
            EXPECT_EQ(c.Tool->Refusal, "") << t.What;
            EXPECT_EQ(c.Events, (TLog{"before add", "after add"})) << t.What;
        }
    }
}

TEST(WorkSign, RemovingASignThatCouldNotBePlacedAsksNothing)
{
    TSignCity c;
    c.UI->Answer = false;
    EXPECT_EQ(c.Tool->RemoveSign(Key(SignsId, 5)), 1);
    EXPECT_FALSE(c.Has(5));
    EXPECT_EQ(c.Tool->RemoveSign(Key(SignsId, 5)), 0);
    EXPECT_TRUE(c.UI->Asked.empty());
    EXPECT_EQ(c.Events, TLog{});
}

TEST(WorkSign, SavedSheetKeepsItsBackupAndShowsTheSignsOnTheNextOpening)
{
    TSignCity c;
    const std::string before = ReadFileBytes(c.City.Map);
    c.Press(ModeAddSign, 150, 40);
    ASSERT_TRUE(c.Has(1));
    c.Press(ModeMoveSign, 100, 100);
    c.Release(30, 170);
    c.Tool->SaveModel();

    EXPECT_EQ(ReadFileBytes(c.City.Dir.File("city.~ma")), before) << "the backup holds the sheet as it was";
    EXPECT_NE(ReadFileBytes(c.City.Map), before);
    for (const auto& e : std::filesystem::directory_iterator(c.City.Dir.Path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "city.prj" || name == "city.map" || name == "city.~ma" || name == "city.~pr" ||
                    name == "tsclnt31.ini")
            << "left behind: " << name;
    }

    TOpenCity again(c.City.Prj);
    std::vector<uint8_t> b;
    ASSERT_EQ(again.Model->GetObjectData(again.View.get(), 1, Key(SignsId, 1), b), ResultDone);
    EXPECT_EQ(DecodeObjectHeader(b.data()).X, c.World(150, 40).X);
    EXPECT_EQ(DecodeObjectHeader(b.data()).Y, c.World(150, 40).Y);
    ASSERT_EQ(again.Model->GetObjectData(again.View.get(), 1, Key(SignsId, 5), b), ResultDone);
    EXPECT_EQ(DecodeObjectHeader(b.data()).X, c.World(30, 170).X);
    TKeyList found;
    again.Model->ObjectsAtPoint(again.View.get(), 32, found, c.World(150, 40));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Code, 1);
}

} // namespace
} // namespace tarn::test
