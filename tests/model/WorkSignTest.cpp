// User signs on the sample city: the next free code, adding, deleting and
// moving with the mouse, before-events that cancel, and the refusals.
//
// The sign layer "Знаки" (104) holds codes 5 at pixel (100, 100) and 2 at
// (20, 20) of the sheet city.map (identifier 1); pixel (px, py) is world
// (5000 px, 1000000 - 5000 py); the block covers pixels 40..160.
#include "ModelSupport.h"

#include "model/WorkSign.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tarn::test {
namespace {

using TLog = std::vector<std::string>;

struct TAnswer : TModelUI {
    bool Answer = false;
    TLog Asked;
    bool Confirm(const std::string& message) override
    {
        Asked.push_back(message);
        return Answer;
    }
};

// The tool over a handler that notes what it passes on; its events noted.
struct TSignCity : TOpenCity {
    TSignCity()
    {
        Model->SetUI(UI);
        Below = Model->OnMouseDown.Install([this](const auto&, TView&, TMouseButton, uint32_t, int32_t, int32_t) {
            Events.push_back("down passed");
        });
        BelowUp = Model->OnMouseUp.Install([this](const auto&, TView&, TMouseButton, uint32_t, int32_t, int32_t) {
            Events.push_back("up passed");
        });
        Tool = std::make_unique<TWorkSign>(Model.get(), View.get());
        Tool->SignLayer.LayerID = SignsId;
        Tool->SignSheetID = SheetId;
        auto note = [this](const char* what) {
            return [this, what](const TObjectKey& k, const TPoint&, bool) {
                Events.push_back(what);
                Keys.push_back(k);
                return what[0] == 'b' ? Cancel : 0;
            };
        };
        Tool->OnBeforeAdd = note("before add");
        Tool->OnAfterAdd = note("after add");
        Tool->OnBeforeMove = note("before move");
        Tool->OnAfterMove = note("after move");
        Tool->OnBeforeDelete = [this](const TObjectKey&, bool, bool) {
            Events.push_back("before delete");
            return Cancel;
        };
        Tool->OnAfterDelete = [this](const TObjectKey&, bool, bool) { Events.push_back("after delete"); };
        Surface.Paint();
    }
    void Press(int32_t mode, int32_t x, int32_t y)
    {
        View->ViewMode = mode;
        Model->OnMouseDown(*View, TMouseButton::Left, 0, x, y);
    }
    void Release(int32_t x, int32_t y) { Model->OnMouseUp(*View, TMouseButton::Left, 0, x, y); }
    TPoint World(int32_t x, int32_t y) const
    {
        TPoint p;
        Model->ScreenToWorld(*View, x, y, p.X, p.Y);
        return p;
    }
    // The sign's anchor; (-1, -1) when there is none.
    TPoint Anchor(int32_t code)
    {
        std::vector<uint8_t> b;
        if (Model->GetObjectData(View.get(), 1, Key(SignsId, code, SheetId, 1), b) != ResultDone) return {-1, -1};
        return TPoint{DecodeObjectHeader(b.data()).X, DecodeObjectHeader(b.data()).Y};
    }
    int32_t Make(int32_t op, int32_t code)
    {
        TObjectKey k = Key(SignsId, code, SheetId, 1);
        uint8_t header[ObjectHeaderSize] = {};
        return Model->CreateObject(View.get(), uint16_t(op), k, header, int32_t(sizeof header));
    }

    std::shared_ptr<TAnswer> UI = std::make_shared<TAnswer>();
    TPanel Panel{*Model, *View};
    THookToken Below, BelowUp;
    std::unique_ptr<TWorkSign> Tool;
    int32_t Cancel = 0;
    TLog Events;
    std::vector<TObjectKey> Keys;
};

TEST(WorkSign, NewSignTakesTheLowestFreeCodeAndAKeyWithEveryField)
{
    TSignCity c;
    EXPECT_EQ(c.Tool->NextFreeCode(), 1);
    ASSERT_EQ(c.Make(3, 1), ResultDone);
    ASSERT_EQ(c.Make(3, 4), ResultDone);
    ASSERT_EQ(c.Make(2, 5), ResultDone);
    c.Press(ModeAddSign, 150, 40);  // codes 1, 2 and 4 taken
    EXPECT_EQ(c.Events, (TLog{"before add", "after add", "down passed"}));
    const TObjectKey three{1, 1, SignsId, SheetId, 3};
    EXPECT_EQ(c.Keys, (std::vector<TObjectKey>{three, three}));
    EXPECT_EQ(c.Anchor(3), c.World(150, 40));
    EXPECT_EQ(c.Tool->NextFreeCode(), 5);
}

TEST(WorkSign, BeforeEventThatAnswersNonZeroCancelsWithoutAnAfterEvent)
{
    const struct {
        int32_t Mode;
        TLog Events;
    } cases[] = {
        {ModeAddSign, {"before add", "down passed"}},
        {ModeDeleteSign, {"before delete", "down passed"}},
        {ModeMoveSign, {"down passed", "before move", "up passed"}},
    };
    for (const auto& t : cases) {
        TSignCity c;
        c.Cancel = -1;
        c.Press(t.Mode, t.Mode == ModeAddSign ? 150 : 100, t.Mode == ModeAddSign ? 40 : 100);
        if (t.Mode == ModeMoveSign) c.Release(150, 150);
        EXPECT_EQ(c.Events, t.Events) << "mode " << t.Mode;
        EXPECT_EQ(c.Anchor(5), (TPoint{500000, 500000})) << "mode " << t.Mode;
        EXPECT_EQ(c.Anchor(1), (TPoint{-1, -1})) << "mode " << t.Mode;
        EXPECT_FALSE(c.Model->StructureChanged) << "mode " << t.Mode;
    }
}

TEST(WorkSign, DeleteTakesTheSignUnderThePressAndAsksOnlyWhenTold)
{
    TSignCity c;
    c.Press(ModeDeleteSign, 150, 150);  // on the block, beside every sign
    EXPECT_EQ(c.Events, TLog{}) << "not passed on";
    c.Press(ModeDeleteSign, 100, 100);  // sign 5, on the street and the block
    EXPECT_EQ(c.Events, (TLog{"before delete", "after delete", "down passed"}));
    EXPECT_EQ(c.Anchor(5), (TPoint{-1, -1}));
    EXPECT_TRUE(c.UI->Asked.empty());

    for (bool ok : {false, true}) {
        EXPECT_EQ(c.Tool->DeleteSign(Key(SignsId, 2), true, false), ok ? 1 : 0);
        EXPECT_EQ(c.UI->Asked.back(), "Удалить объект?");
        EXPECT_EQ(c.Anchor(2) == (TPoint{-1, -1}), ok);
        c.UI->Answer = true;
    }
    // A sign that could not be placed goes silently.
    ASSERT_EQ(c.Make(3, 7), ResultDone);
    c.Events.clear();
    EXPECT_EQ(c.Tool->RemoveSign(Key(SignsId, 7)), 1);
    EXPECT_EQ(c.Anchor(7), (TPoint{-1, -1}));
    EXPECT_EQ(c.Events, TLog{});
    EXPECT_EQ(c.UI->Asked.size(), 2u);
}

TEST(WorkSign, DragMovesThePickedSignAndAPressBesideMovesNothing)
{
    TSignCity c;
    c.Press(ModeMoveSign, 100, 100);
    c.Release(150, 30);
    EXPECT_EQ(c.Events, (TLog{"down passed", "before move", "after move", "up passed"}));
    EXPECT_EQ(c.Anchor(5), c.World(150, 30));
    c.Events.clear();
    c.Press(ModeMoveSign, 170, 170);
    c.Release(60, 60);
    EXPECT_EQ(c.Events, TLog{}) << "neither press nor release passed on";
    EXPECT_EQ(c.Anchor(5), c.World(150, 30));
    EXPECT_EQ(c.Anchor(2), (TPoint{100000, 900000}));
}

TEST(WorkSign, AddIsRefusedWhereTheSheetCouldNotKeepTheSign)
{
    const struct {
        int32_t Code;        // the key's code
        int32_t Taken;       // a sign made first (0: none)
        bool ReadOnly;
        double Denominator;  // 200000: the overview, which holds no sheet
        const char* Refusal;
    } cases[] = {
        {32767, 0, false, 20000, ""},
        {32768, 0, false, 20000, "Код знака 32768 не помещается в 16-разрядные коды"},
        {2, 32767, false, 20000, "Код знака 32768"},  // taken: the model would give the largest + 1
        {9, 0, true, 20000, "city.map доступен только для чтения"},
        {9, 0, false, 200000, "city.map не загружен"},
    };
    for (const auto& t : cases) {
        TSignCity c;
        if (t.ReadOnly) {
            ::chmod(c.City.Map.c_str(), 0444);
            c.Model->OpenFile(c.City.Prj);
        }
        ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, t.Denominator), ResultDone);
        if (t.Taken) {
            ASSERT_EQ(c.Make(3, t.Taken), ResultDone);
        }
        const int32_t added = c.Tool->AddSign(Key(SignsId, t.Code, SheetId, 1), {300000, 300000}, false);
        EXPECT_EQ(added, *t.Refusal ? 0 : 1) << t.Refusal;
        EXPECT_NE(c.Tool->Refusal.find(t.Refusal), std::string::npos) << c.Tool->Refusal;
        EXPECT_EQ(c.Events, (*t.Refusal ? TLog{} : TLog{"before add", "after add"})) << "nobody asked in vain";
    }
}

// A copy of the program that may not write the folder, or a sheet that may
// not be written: each change is refused once, with the reason, before any
// question, and nothing changes.
TEST(WorkSign, EveryChangeIsRefusedOnceBeforeAnyQuestionWhereTheFilesMayNotChange)
{
    const std::string another = "Из папки уже запущена другая копия программы";
    const struct {
        bool ModelReadOnly;  // else the sheet's file is read-only
        int32_t Mode;
        const char* Refusal;
    } cases[] = {
        {true, ModeAddSign, another.c_str()},
        {true, ModeDeleteSign, another.c_str()},
        {true, ModeMoveSign, another.c_str()},
        {false, ModeDeleteSign, "city.map доступен только для чтения"},
        {false, ModeMoveSign, "city.map доступен только для чтения"},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(std::to_string(t.Mode) + (t.ModelReadOnly ? " read-only model" : " read-only sheet"));
        TSignCity c;
        if (t.ModelReadOnly) {
            c.Model->ReadOnlyReason = another;
        } else {
            ::chmod(c.City.Map.c_str(), 0444);
            c.Model->OpenFile(c.City.Prj);
        }
        TLog refused;
        c.Tool->OnRefused = [&](const TObjectKey&, const std::string& why) { refused.push_back(why); };
        c.Press(t.Mode, t.Mode == ModeAddSign ? 150 : 100, t.Mode == ModeAddSign ? 40 : 100);
        if (t.Mode == ModeMoveSign) c.Release(150, 150);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_NE(refused[0].find(t.Refusal), std::string::npos) << refused[0];
        EXPECT_EQ(c.Tool->Refusal, refused[0]);
        for (const std::string& e : c.Events) EXPECT_EQ(e.find("before"), std::string::npos) << e;
        EXPECT_EQ(c.Anchor(5), (TPoint{500000, 500000}));
        EXPECT_EQ(c.Anchor(1), (TPoint{-1, -1}));
        EXPECT_TRUE(c.UI->Asked.empty());
    }
}

} // namespace
} // namespace tarn::test
