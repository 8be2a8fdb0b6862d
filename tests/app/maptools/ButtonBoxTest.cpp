// The arrow and zoom buttons and the map's keys on the sample city: one
// table of presses and keys with the view's move or zoom, the key the
// window's own handler got and the key its focused control got.
//
// The view is 25 x 20 pixels at 40 world units a pixel: 1000 x 800 world
// units around the sheet's middle, so a 10 % step is 100 across and 80 up.
#include "../../model/ModelSupport.h"
#include "../AppSupport.h"

#include "app/maptools/BtnBox.h"
#include "platform/Keys.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarn::test {
namespace {

constexpr int32_t None = -1;
// The main window's key set.
constexpr int32_t AppKeys[] = {33, 34, 37, 38, 39, 40, 97, 98, 99, 100, 101, 102, 103, 104, 105, 107, 109};

// A window with an edit that has the keyboard, eight arrow buttons (in
// direction order) and two zoom buttons, bound to a box on the sample city.
struct TBoxCity : TOpenCity {
    explicit TBoxCity(int32_t width = 25, int32_t height = 20, double scale = 40)
    {
        Surface.Resize(width, height);
        View->ClientRect = Surface.ClientRect();
        const int32_t w = int32_t(std::lround(width * scale)), h = int32_t(std::lround(height * scale));
        Model->SetViewRect(*View, TRect{500000 - w / 2, 500000 + h / 2, 500000 - w / 2 + w, 500000 + h / 2 - h});

        auto* l = new QVBoxLayout(&Form);
        l->addWidget(Edit);
        for (QToolButton*& b : Buttons) l->addWidget(b = new QToolButton);
        l->addWidget(In);
        l->addWidget(Out);
        Box = std::make_unique<TButtonBox>(*Model, *View);
        Box->SetUpButton(Buttons[DirUp]);
        Box->SetUpRightButton(Buttons[DirUpRight]);
        Box->SetRightButton(Buttons[DirRight]);
        Box->SetDownRightButton(Buttons[DirDownRight]);
        Box->SetDownButton(Buttons[DirDown]);
        Box->SetDownLeftButton(Buttons[DirDownLeft]);
        Box->SetLeftButton(Buttons[DirLeft]);
        Box->SetUpLeftButton(Buttons[DirUpLeft]);
        Box->SetZoomInButton(In);
        Box->SetZoomOutButton(Out);
        // QTest presses Ctrl ahead of a key with Ctrl: that press is not counted.
        Box->SetKeyForm(&Form, [this](TKeyArgs& k) {
            if (k.Key != VkControl) FormKeys.push_back(k.Key);
        });
        for (int32_t k : AppKeys) Box->KeySet.set(std::size_t(k));
        Box->Enabled = true;
        ControlToken = TControlHooks::Of(Edit).OnKeyDown.Install([this](const auto& next, TKeyArgs& k) {
            if (k.Key != VkControl) ControlKeys.push_back(k.Key);
            next(k);
        });
        Form.show();
        SettleWindow(Form);
        Edit->setFocus();
        Start = View->WorldRect;
        StartScale = View->Scale;
    }
    double Ratio() const { return View->Scale / StartScale; }

    QWidget Form;
    QLineEdit* Edit = new QLineEdit;
    QToolButton* Buttons[8] = {};
    QToolButton* In = new QToolButton;
    QToolButton* Out = new QToolButton;
    std::unique_ptr<TButtonBox> Box;
    THookToken ControlToken;
    std::vector<int32_t> FormKeys, ControlKeys;
    TRect Start;
    double StartScale = 0;
};

TEST(ButtonBox, ButtonsAndKeysMoveAndZoomByTheTable)
{
    enum TWhat { Move, Zoom, Whole };
    struct TCase {
        const char* What;
        int Key;  // a Qt key, or -(1 + button): 0..7 arrows, 8 zoom in, 9 out
        Qt::KeyboardModifiers Mods;
        Qt::MouseButton Mouse;
        int32_t Step;  // preset
        bool Enabled;
        int32_t Extra;  // a further key in the set (0: none)
        TWhat Then;
        int32_t Across, Up;  // the move; or the scale's ratio as Across / Up
        int32_t FormKey, ControlKey;
    };
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier, ctrl = Qt::ControlModifier, no = Qt::NoModifier;
    const Qt::MouseButton left = Qt::LeftButton;
    const TCase cases[] = {
        {"left arrow", Qt::Key_Left, no, left, 0, true, 0, Move, -100, 0, 0, None},
        {"pad 4", Qt::Key_4, pad, left, 0, true, 0, Move, -100, 0, 0, None},
        {"right arrow", Qt::Key_Right, no, left, 0, true, 0, Move, 100, 0, 0, None},
        {"pad 6", Qt::Key_6, pad, left, 0, true, 0, Move, 100, 0, 0, None},
        {"up arrow", Qt::Key_Up, no, left, 0, true, 0, Move, 0, 80, 0, None},
        {"pad 8", Qt::Key_8, pad, left, 0, true, 0, Move, 0, 80, 0, None},
        {"down arrow", Qt::Key_Down, no, left, 0, true, 0, Move, 0, -80, 0, None},
        {"pad 2", Qt::Key_2, pad, left, 0, true, 0, Move, 0, -80, 0, None},
        {"pad 9", Qt::Key_9, pad, left, 0, true, 0, Move, 100, 80, 0, None},
        {"pad 3", Qt::Key_3, pad, left, 0, true, 0, Move, 100, -80, 0, None},
        {"pad 1", Qt::Key_1, pad, left, 0, true, 0, Move, -100, -80, 0, None},
        {"pad 7", Qt::Key_7, pad, left, 0, true, 0, Move, -100, 80, 0, None},
        {"Ctrl and left", Qt::Key_Left, ctrl, left, 0, true, 0, Move, -300, 0, 0, None},
        {"Ctrl and pad 8", Qt::Key_8, ctrl | pad, left, 0, true, 0, Move, 0, 240, 0, None},
        {"page up", Qt::Key_PageUp, no, left, 0, true, 0, Move, 0, 240, 0, None},
        {"page down", Qt::Key_PageDown, no, left, 0, true, 0, Move, 0, -240, 0, None},
        {"step 5 counts as 10", Qt::Key_Left, no, left, 5, true, 0, Move, -100, 0, 0, None},
        {"a step set before", Qt::Key_Left, no, left, 20, true, 0, Move, -200, 0, 0, None},
        {"pad add", Qt::Key_Plus, pad, left, 0, true, 0, Zoom, 1, 2, 0, None},
        {"Ctrl and pad add", Qt::Key_Plus, ctrl | pad, left, 0, true, 0, Move, 0, 0, None, VkAdd},
        {"pad subtract", Qt::Key_Minus, pad, left, 0, true, 0, Zoom, 2, 1, 0, None},
        {"Ctrl and pad subtract", Qt::Key_Minus, ctrl | pad, left, 0, true, 0, Zoom, 2, 1, 0, None},
        {"main minus, not the map's", Qt::Key_Minus, no, left, 0, true, 0, Move, 0, 0, VkOemMinus, VkOemMinus},
        {"main minus in the set", Qt::Key_Minus, no, left, 0, true, VkOemMinus, Zoom, 2, 1, 0, None},
        {"pad 5", Qt::Key_5, pad, left, 0, true, 0, Whole, 0, 0, VkNumpad0 + 5, VkNumpad0 + 5},
        {"F5, not the map's", Qt::Key_F5, no, left, 0, true, 0, Move, 0, 0, VkF1 + 4, VkF1 + 4},
        {"F5 in the set", Qt::Key_F5, no, left, 0, true, VkF1 + 4, Whole, 0, 0, VkF1 + 4, VkF1 + 4},
        {"Shift in the set", Qt::Key_Shift, no, left, 0, true, VkShift, Zoom, 1, 2, 0, None},
        {"a letter", Qt::Key_A, no, left, 0, true, 0, Move, 0, 0, 'A', 'A'},
        {"disabled", Qt::Key_Left, no, left, 0, false, 0, Move, 0, 0, None, VkLeft},
        {"left button", -(1 + DirLeft), no, left, 0, true, 0, Move, -100, 0, None, None},
        {"up-right, right mouse button", -(1 + DirUpRight), no, Qt::RightButton, 0, true, 0, Move, 100, 80, None, None},
        {"down, middle button", -(1 + DirDown), no, Qt::MiddleButton, 0, true, 0, Move, 0, -80, None, None},
        {"down-left", -(1 + DirDownLeft), no, left, 0, true, 0, Move, -100, -80, None, None},
        {"up-left", -(1 + DirUpLeft), no, left, 0, true, 0, Move, -100, 80, None, None},
        {"zoom in", -9, no, left, 0, true, 0, Zoom, 1, 2, None, None},
        {"zoom out", -10, no, left, 0, true, 0, Zoom, 2, 1, None, None},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TBoxCity city;
        city.Box->Step = c.Step;
        city.Box->Enabled = c.Enabled;
        if (c.Extra) city.Box->KeySet.set(std::size_t(c.Extra));
        if (c.Key >= 0) {
            QTest::keyClick(city.Edit, Qt::Key(c.Key), c.Mods);
        } else {
            const int b = -c.Key - 1;
            QToolButton* button = b < 8 ? city.Buttons[b] : b == 8 ? city.In : city.Out;
            QTest::mouseClick(button, c.Mouse);
        }
        const TRect& r = city.View->WorldRect;
        switch (c.Then) {
        case Move:
            EXPECT_EQ(r.Left - city.Start.Left, c.Across);
            EXPECT_EQ(r.Right - city.Start.Right, c.Across);
            EXPECT_EQ(r.Top - city.Start.Top, c.Up);
            EXPECT_EQ(r.Bottom - city.Start.Bottom, c.Up);
            EXPECT_EQ(city.View->Scale, city.StartScale);
            break;
        case Zoom: EXPECT_DOUBLE_EQ(city.Ratio(), double(c.Across) / c.Up); break;
        case Whole:
            EXPECT_DOUBLE_EQ(city.View->Scale, 1000000.0 / 20);
            EXPECT_DOUBLE_EQ(city.View->MaxScale, 1.5 * city.View->Scale);
            break;
        }
        EXPECT_EQ(city.FormKeys, c.FormKey == None ? std::vector<int32_t>{} : std::vector<int32_t>{c.FormKey});
        EXPECT_EQ(city.ControlKeys, c.ControlKey == None ? std::vector<int32_t>{} : std::vector<int32_t>{c.ControlKey});
        if (c.Key >= 0) {
            EXPECT_EQ(city.Box->Step, 0) << "keys leave no step behind";
        }
    }
}

TEST(ButtonBox, MoveIsATenthOfTheWidthTruncatedAndAnotherTagMovesNothing)
{
    for (auto [width, scale, step] : {std::tuple{25, 40.0, 100}, std::tuple{37, 27.0, 99}}) {
        TBoxCity city(width, 40, scale);
        QTest::mouseClick(city.Buttons[DirRight], Qt::LeftButton);
        EXPECT_EQ(city.View->WorldRect.Left - city.Start.Left, step) << width * scale << " wide";
        EXPECT_EQ(city.Box->Step, 10) << "a button leaves the step it raised";
    }
    TBoxCity city;
    int pressed = 0;
    THookToken below = TControlHooks::Of(city.Buttons[DirUp])
                           .OnMousePress.Install([&](const auto&, TMouseButton, uint32_t, int32_t, int32_t) { ++pressed; });
    city.Box->SetUpButton(city.Buttons[DirUp]);  // on top again
    QTest::mouseClick(city.Buttons[DirUp], Qt::LeftButton);
    EXPECT_EQ(pressed, 1) << "a direction press goes on";
    SetTag(city.Buttons[DirUp], 9);
    const TRect before = city.View->WorldRect;
    const int32_t entries = city.View->History->Count;
    QTest::mouseClick(city.Buttons[DirUp], Qt::LeftButton);
    EXPECT_EQ(city.View->WorldRect, before);
    EXPECT_EQ(city.View->History->Count, entries + 1) << "the same area set again";
    EXPECT_EQ(pressed, 1) << "passed on no further";
}

TEST(ButtonBox, ZoomStopsAtItsLimitsAndMovesStayWithin32Bits)
{
    TBoxCity city;
    for (int i = 0; i < 4; ++i) QTest::keyClick(city.Edit, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_DOUBLE_EQ(city.View->Scale, 12.0) << "40, 20, then the finest fit";
    ASSERT_EQ(city.Model->ZoomAll(*city.View), ResultDone);
    const double whole = city.View->Scale;
    for (int i = 0; i < 3; ++i) QTest::mouseClick(city.Out, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(city.View->Scale, 1.5 * whole) << "the view's maximum";

    // A project as large as the coordinates go, and a view over half of it,
    // wider than 2^31.
    city.Model->Project->Extent = TRect{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN};
    city.View->MaxScale = 0;
    ASSERT_EQ(city.Model->SetViewRect(*city.View, TRect{-(1 << 30), 1 << 30, 1 << 30, -(1 << 30)}), ResultDone);
    const TRect start = city.View->WorldRect;
    ASSERT_GT(int64_t(start.Right) - start.Left, int64_t(INT32_MAX));
    city.Box->Step = 10;
    EXPECT_TRUE(city.Box->MoveView(DirRight));
    EXPECT_EQ(int64_t(city.View->WorldRect.Left) - start.Left, (int64_t(start.Right) - start.Left) / 10);
    const TRect moved = city.View->WorldRect;
    const int32_t entries = city.View->History->Count;
    city.Box->Step = 30;
    EXPECT_FALSE(city.Box->MoveView(DirRight)) << "the right edge would pass 2^31";
    city.Box->Step = 60;
    EXPECT_FALSE(city.Box->MoveView(DirUp)) << "the top would pass 2^31";
    EXPECT_EQ(city.View->WorldRect, moved);
    EXPECT_EQ(city.View->History->Count, entries) << "a refused move leaves no trace";
}

} // namespace
} // namespace tarn::test
