// Taking over controls' events: chains in order, taking an event from the
// control, tokens, the window's key preview, mouse, clicks and row drawing.
#include "../AppSupport.h"

#include "app/common/ControlHooks.h"
#include "platform/Keys.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace tarn::test {
namespace {

using TKeyNext = THook<TKeyArgs&>::TNext;
using TCharNext = THook<QChar&>::TNext;
using TMouseNext = THook<TMouseButton, uint32_t, int32_t, int32_t>::TNext;
using TNext = THook<>::TNext;

// A window with two edits, a list of three rows, a label and a button.
struct TControls {
    TControls()
    {
        auto* l = new QVBoxLayout(&Window);
        for (QWidget* w : {static_cast<QWidget*>(Edit), static_cast<QWidget*>(Other), static_cast<QWidget*>(List),
                           static_cast<QWidget*>(Label), static_cast<QWidget*>(Button)})
            l->addWidget(w);
        List->addItems({"один", "два", "три"});
        Window.resize(240, 320);
        Window.show();
        SettleWindow(Window);
        Edit->setFocus();
    }
    QWidget Window;
    QLineEdit* Edit = new QLineEdit;
    QLineEdit* Other = new QLineEdit;
    QListWidget* List = new QListWidget;
    QLabel* Label = new QLabel("метка");
    QPushButton* Button = new QPushButton("кнопка");
};

TEST(ControlHooks, HandlersRunLastInstalledFirstAndDecideWhatTheControlGets)
{
    struct TCase {
        const char* What;
        bool TakeKey;   // the second handler sets the key to 0
        bool StopDown;  // the second handler does not pass the key-down on
        bool TakeChar;  // the character handler sets it to 0
        char16_t Swap;  // the character handler types this instead (0: none)
        const char* Typed;
        const char* Order;
    } const cases[] = {
        {"passed on", false, false, false, 0, "a", "21c"},
        // The character is an event of its own, as on the original platform.
        {"key set to 0", true, false, false, 0, "a", "21c"},
        {"key-down not passed on", false, true, false, 0, "a", "2c"},
        {"both taken", true, false, true, 0, "", "21c"},
        {"character set to 0", false, false, true, 0, "", "21c"},
        {"character swapped", false, false, false, u'б', "б", "21c"},
    };
    for (const TCase& c : cases) {
        TControls w;
        TControlHooks& h = TControlHooks::Of(w.Edit);
        std::string order;
        THookToken first = h.OnKeyDown.Install([&](const TKeyNext& next, TKeyArgs& k) {
            order += '1';
            next(k);
        });
        THookToken second = h.OnKeyDown.Install([&](const TKeyNext& next, TKeyArgs& k) {
            order += '2';
            EXPECT_EQ(k.Key, 'A');
            EXPECT_EQ(k.Text, "a");
            if (c.TakeKey) k.Key = 0;
            if (!c.StopDown) next(k);
        });
        THookToken chars = h.OnKeyPress.Install([&](const TCharNext& next, QChar& ch) {
            order += 'c';
            if (c.TakeChar) ch = QChar();
            if (c.Swap) ch = QChar(c.Swap);
            next(ch);
        });
        QTest::keyClick(w.Edit, Qt::Key_A);
        EXPECT_EQ(w.Edit->text().toStdString(), c.Typed) << c.What;
        EXPECT_EQ(order, c.Order) << c.What;
    }
}

TEST(ControlHooks, TokensRemoveHandlersInAnyOrderAndVanishWithTheControl)
{
    TControls w;
    TControlHooks& h = TControlHooks::Of(w.Edit);
    EXPECT_EQ(&TControlHooks::Of(w.Edit), &h) << "one hooks object per control";
    std::string seen;
    std::vector<THookToken> tokens;
    for (char name : {'a', 'b', 'c'})
        tokens.push_back(h.OnKeyUp.Install([&seen, name](const TKeyNext& next, TKeyArgs& k) {
            seen += name;
            next(k);
        }));
    tokens[1].Reset();
    QTest::keyClick(w.Edit, Qt::Key_X);
    EXPECT_EQ(seen, "ca");
    tokens[2].Reset();
    tokens[0].Reset();
    seen.clear();
    QTest::keyClick(w.Edit, Qt::Key_X);
    EXPECT_EQ(seen, "");

    THookToken late = TControlHooks::Of(w.Other).OnKeyUp.Install([](const TKeyNext& next, TKeyArgs& k) { next(k); });
    EXPECT_TRUE(late.Installed());
    delete w.Other;
    EXPECT_FALSE(late.Installed());
    late.Reset();  // nothing left to remove
}

TEST(ControlHooks, AWindowPreviewsTheKeysOfItsControls)
{
    TControls w;
    std::string order;
    TControlHooks& form = TControlHooks::Of(&w.Window);
    form.SetKeyPreview(true);
    // The window takes letters away from the first edit and hands the
    // keyboard to the second one, as the map hands it to the lists.
    bool handOver = false;
    THookToken preview = form.OnKeyDown.Install([&](const TKeyNext& next, TKeyArgs& k) {
        order += 'p';
        if (handOver && IsLetterOrDigitKey(k.Key, k.Text)) {
            w.Other->setFocus();
            k.Key = 0;
        }
        next(k);
    });
    THookToken own = TControlHooks::Of(w.Edit).OnKeyDown.Install([&](const TKeyNext& next, TKeyArgs& k) {
        order += 'e';
        next(k);
    });
    THookToken other = TControlHooks::Of(w.Other).OnKeyDown.Install([&](const TKeyNext& next, TKeyArgs& k) {
        order += 'o';
        next(k);
    });
    QTest::keyClick(w.Edit, Qt::Key_Q);
    EXPECT_EQ(order, "pe");
    EXPECT_EQ(w.Edit->text(), "q");
    // A key the edit does not use goes no further up: the window saw it.
    order.clear();
    QTest::keyClick(w.Edit, Qt::Key_F5);
    EXPECT_EQ(order, "pe");

    // A key the window took, with a character: the character goes where
    // the keyboard is now, past that control's key-down.
    order.clear();
    handOver = true;
    QTest::sendKeyEvent(QTest::KeyAction::Press, w.Edit, Qt::Key(0x0416), QStringLiteral("ж"), Qt::NoModifier);
    EXPECT_EQ(order, "p");
    EXPECT_EQ(w.Edit->text(), "q");
    EXPECT_EQ(w.Other->text(), "ж");
    EXPECT_TRUE(w.Other->hasFocus());

    // Without the preview the control's own chain alone runs.
    form.SetKeyPreview(false);
    order.clear();
    QTest::keyClick(w.Other, Qt::Key_W);
    EXPECT_EQ(order, "o");
}

TEST(ControlHooks, MouseEventsArriveInTheControlsClientPixels)
{
    TControls w;
    std::vector<std::string> events;
    auto note = [&events](const char* what, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        events.push_back(std::string(what) + " " + std::to_string(int(b)) + " " + std::to_string(s) + " " +
                         std::to_string(x) + "," + std::to_string(y));
    };
    TControlHooks& h = TControlHooks::Of(w.List);
    THookToken down = h.OnMousePress.Install(
        [&](const TMouseNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            note("down", b, s, x, y);
            next(b, s, x, y);
        });
    THookToken up = h.OnMouseRelease.Install(
        [&](const TMouseNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            note("up", b, s, x, y);
            next(b, s, x, y);
        });
    int clicks = 0, doubles = 0;
    THookToken click = h.OnClick.Install([&](const TNext& next) {
        ++clicks;
        next();
    });
    THookToken dbl = h.OnDoubleClick.Install([&](const TNext& next) {
        ++doubles;
        next();
    });
    QWidget* rows = w.List->viewport();
    const QPoint second = w.List->visualItemRect(w.List->item(1)).center();
    QTest::mouseClick(rows, Qt::RightButton, Qt::ShiftModifier, second);
    QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, second);
    QTest::mouseDClick(rows, Qt::LeftButton, Qt::NoModifier, second);
    QTest::mouseRelease(rows, Qt::LeftButton, Qt::NoModifier, second);  // the double click leaves it down
    const std::string at = std::to_string(second.x()) + "," + std::to_string(second.y());
    const std::vector<std::string> expected = {
        "down 1 " + std::to_string(ShiftKey | ShiftRight) + " " + at, "up 1 " + std::to_string(ShiftKey) + " " + at,
        "down 0 " + std::to_string(ShiftLeft) + " " + at,             "up 0 0 " + at,
        "down 0 " + std::to_string(ShiftLeft | ShiftDouble) + " " + at, "up 0 0 " + at,
    };
    EXPECT_EQ(events, expected);
    EXPECT_EQ(w.List->currentRow(), 1);
    EXPECT_EQ(doubles, 1);
    EXPECT_GE(clicks, 1);

    // A key that moves the current row clicks the list too.
    clicks = 0;
    w.List->setFocus();
    QTest::keyClick(w.List, Qt::Key_Down);
    EXPECT_EQ(w.List->currentRow(), 2);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(w.List, Qt::Key_Down);  // already the last row
    EXPECT_EQ(clicks, 1);

    // A press not passed on never reaches the list.
    THookToken stop = h.OnMousePress.Install([](const TMouseNext&, TMouseButton, uint32_t, int32_t, int32_t) {});
    QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, w.List->visualItemRect(w.List->item(0)).center());
    EXPECT_EQ(w.List->currentRow(), 2);
}

TEST(ControlHooks, ClicksOfButtonsLabelsAndTheirTags)
{
    TControls w;
    std::vector<int32_t> clicked;
    std::vector<THookToken> tokens;
    SetTag(w.Label, -3);
    SetTag(w.Button, 7);
    for (QWidget* c : {static_cast<QWidget*>(w.Label), static_cast<QWidget*>(w.Button)})
        tokens.push_back(TControlHooks::Of(c).OnClick.Install([&clicked, c](const TNext& next) {
            clicked.push_back(TagOf(c));
            next();
        }));
    QTest::mouseClick(w.Label, Qt::LeftButton);
    QTest::mouseClick(w.Label, Qt::RightButton);  // not a click
    QTest::mouseClick(w.Button, Qt::LeftButton);
    w.Button->click();
    EXPECT_EQ(clicked, (std::vector<int32_t>{-3, 7, 7}));
    EXPECT_EQ(TagOf(w.Edit), 0) << "no tag set";
    EXPECT_EQ(TagOf(nullptr), 0);
}

TEST(ControlHooks, ListRowsAreDrawnThroughTheChain)
{
    TControls w;
    const QPoint probe = w.List->visualItemRect(w.List->item(1)).center() + QPoint(30, 0);
    auto pixel = [&] { return w.List->viewport()->grab().toImage().pixelColor(probe); };
    const QColor plain = pixel();
    std::vector<int32_t> drawn;
    THookToken red = TControlHooks::Of(w.List).OnDrawItem.Install([&](const THook<TDrawItemArgs&>::TNext& next,
                                                                      TDrawItemArgs& row) {
        drawn.push_back(row.Index);
        if (row.Index == 1) row.Painter.fillRect(row.Rect, Qt::red);
        else next(row);
    });
    EXPECT_EQ(pixel(), QColor(Qt::red));
    EXPECT_NE(std::find(drawn.begin(), drawn.end(), 0), drawn.end());
    red.Reset();
    EXPECT_EQ(pixel(), plain);
}

} // namespace
} // namespace tarn::test
