// The keyboard and the mouse as a user meets them: the number pad moves
// the map and types nothing, letters with Ctrl or Alt hand the keyboard to
// the lists, a search edit keeps the user's selection, a row's right-click
// hint lives as long as the press, context menus open on the release, and
// the map shows the hourglass while it paints.
#include "CommandsSupport.h"
#include "cards/CardSupport.h"
#include "search/SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/maptools/BtnBox.h"
#include "app/search/SearchT.h"
#include "db/TarnData.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

enum class TMapAct { None, Move, ZoomIn, ZoomOut, Whole };

TEST(UserInput, KeysOnTheMapMoveZoomOrHandTheKeyboardToTheLists)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TModel& model = *form->Model();
    TView& view = *form->View();
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
    const struct {
        const char* What;
        int Key;
        const char* Text;
        Qt::KeyboardModifiers Modifiers;
        TMapAct Act;
        bool ListsTakeIt;
        const char* Edit;  // the street edit afterwards
    } cases[] = {
        {"pad 4 with Num Lock", Qt::Key_4, "4", pad, TMapAct::Move, false, "ПРОСПЕКТ"},
        {"pad 8 with Num Lock and Ctrl", Qt::Key_8, "", pad | Qt::ControlModifier, TMapAct::Move, false, "ПРОСПЕКТ"},
        {"pad 5 with Num Lock", Qt::Key_5, "5", pad, TMapAct::Whole, false, "ПРОСПЕКТ"},
        {"pad + with Num Lock", Qt::Key_Plus, "+", pad, TMapAct::ZoomIn, false, "ПРОСПЕКТ"},
        {"pad - with Num Lock", Qt::Key_Minus, "-", pad, TMapAct::ZoomOut, false, "ПРОСПЕКТ"},
        {"pad 0 with Num Lock", Qt::Key_0, "0", pad, TMapAct::None, false, "ПРОСПЕКТ"},
        {"pad 4 without Num Lock", Qt::Key_Left, "", pad, TMapAct::Move, false, "ПРОСПЕКТ"},
        {"4 of the main keys", Qt::Key_4, "4", {}, TMapAct::None, true, "4"},
        {"a letter", Qt::Key_A, "ф", {}, TMapAct::None, true, "Ф"},
        {"Ctrl+A", Qt::Key_A, "\x01", Qt::ControlModifier, TMapAct::None, true, ""},
        {"Alt+A", Qt::Key_A, "a", Qt::AltModifier, TMapAct::None, true, ""},
    };
    const TRect project = model.ProjectRect();
    const TPoint centre{(project.Left + project.Right) / 2, (project.Top + project.Bottom) / 2};
    model.ZoomAll(view);
    const TRect whole = view.WorldRect;
    for (const auto& c : cases) {
        form->PageControl1->setCurrentWidget(form->TabSheet1);
        form->SetMapFocused(true);
        form->StreetE->setText("ПРОСПЕКТ");
        ASSERT_EQ(model.ZoomAtPoint(view, centre, 20000), ResultDone);
        const TRect before = view.WorldRect;
        const double scale = view.Scale;
        QWidget* focus = form->focusWidget();
        ASSERT_NE(focus, nullptr);
        Press(focus, c.Key, QString::fromUtf8(c.Text), c.Modifiers);
        model.GetViewState(view);
        TMapAct act = TMapAct::None;
        if (view.Scale < scale) act = TMapAct::ZoomIn;
        else if (view.WorldRect == whole) act = TMapAct::Whole;
        else if (view.Scale > scale) act = TMapAct::ZoomOut;
        else if (!(view.WorldRect == before)) act = TMapAct::Move;
        EXPECT_EQ(int(act), int(c.Act)) << c.What;
        EXPECT_EQ(!form->MapFocused, c.ListsTakeIt) << c.What;
        EXPECT_EQ(form->StreetE->text().left(int(QString::fromUtf8(c.Edit).size())).toStdString(), c.Edit) << c.What;
        if (!*c.Edit) {
            EXPECT_TRUE(form->StreetE->text().isEmpty()) << c.What << ": nothing typed";
        }
        // Letting go of the key leaves the map's plain mode.
        QKeyEvent up(QEvent::KeyRelease, c.Key, {});
        QCoreApplication::sendEvent(form->focusWidget(), &up);
    }
}

// A key release that changed nothing starts no search: the selection the
// user made stays, and what is typed replaces it.
TEST(UserInput, SearchEditKeepsTheUsersSelection)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ListsTakeTheKeyboard(*form);
    QLineEdit* edit = form->StreetE;
    const struct {
        const char* What;
        std::function<void()> Select;
        const char* Selected;
    } cases[] = {
        {"Ctrl+A", [&] { Press(edit, Qt::Key_A, "\x01", Qt::ControlModifier); }, "ЛЕСНАЯ, УЛ."},
        {"Shift+Home", [&] { Press(edit, Qt::Key_Home, "", Qt::ShiftModifier); }, "ЛЕС"},
        {"Shift+Left from the end", [&] {
             edit->end(false);
             Press(edit, Qt::Key_Left, "", Qt::ShiftModifier);
             Press(edit, Qt::Key_Left, "", Qt::ShiftModifier);
         }, "Л."},
    };
    for (const auto& c : cases) {
        edit->clear();
        Type(edit, "лес");
        ASSERT_EQ(edit->text().toStdString(), "ЛЕСНАЯ, УЛ.");
        c.Select();
        EXPECT_EQ(edit->selectedText().toStdString(), c.Selected) << c.What;
        // What is typed now takes the selection's place.
        Type(edit, "г");
        EXPECT_EQ(edit->text().toStdString().find("ЛЕСНАЯ, УЛ.Г"), std::string::npos) << c.What;
    }
}

// A right press on a row shows the object's text until the release; the
// release comes to the list before any menu opens, and a menu asked for by
// the press opens only then.
TEST(UserInput, RowHintLivesAsLongAsThePressAndMenusOpenOnTheRelease)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ListsTakeTheKeyboard(*form);
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    form->ObjList->resize(200, 400);
    // A card of a picture has no text to show.
    TSearchText& objects = *form->ObjectSearch;
    const TObjectKey picture{0, 1, 134, 24, 9100};
    TCardRec card = DemoCard("BMP");
    card.Key = picture;
    objects.AddItem(Cp("ФОТОГРАФИЯ ПЛОЩАДИ"), MakeData(card));
    const auto firstOf = [&](uint8_t kind) {
        for (int32_t i = 0; i < objects.Items.Count(); ++i)
            if (objects.Items.Data(i)->Kind == kind) return int(i);
        return -1;
    };
    const struct {
        const char* What;
        int Row;
        bool Hint;
    } cases[] = {
        {"a place on the map", firstOf(ObjectItemKind), true},
        {"a card without text", RowOf(form->ObjList, "ФОТОГРАФИЯ ПЛОЩАДИ"), false},
        {"a group", firstOf(SubListKind), false},
    };
    for (const auto& c : cases) {
        const int row = c.Row;
        ASSERT_GE(row, 0) << c.What;
        form->ObjList->scrollToItem(form->ObjList->item(row));
        const QPoint at = form->ObjList->visualItemRect(form->ObjList->item(row)).center();
        services.Hints.clear();
        QTest::mousePress(form->ObjList->viewport(), Qt::RightButton, {}, at);
        // The press asks for a menu; it waits for the release.
        QContextMenuEvent ask(QContextMenuEvent::Mouse, at, form->ObjList->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(form->ObjList->viewport(), &ask);
        EXPECT_EQ(services.HintShown, c.Hint) << c.What;
        EXPECT_EQ(services.Hints.size(), c.Hint ? 1u : 0u) << c.What;
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << c.What;
        QTest::mouseRelease(form->ObjList->viewport(), Qt::RightButton, {}, at);
        EXPECT_FALSE(services.HintShown) << c.What << ": the release hides it";
        QCoreApplication::processEvents();
        // A right click on a row means its hint only: no menu over it.
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << c.What;
    }

    // Elsewhere a menu the press asked for opens after the release.
    QWidget* panel = form->LeftPanel;
    const QPoint at(5, 5);
    QTest::mousePress(panel, Qt::RightButton, {}, at);
    QContextMenuEvent ask(QContextMenuEvent::Mouse, at, panel->mapToGlobal(at));
    QCoreApplication::sendEvent(panel, &ask);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "not on the press";
    QTest::mouseRelease(panel, Qt::RightButton, {}, at);
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 1000));
    EXPECT_EQ(QApplication::activePopupWidget(), form->PopupMenu1);
    form->PopupMenu1->close();
}

// What the services are asked for while the map paints.
struct TBusyServices : TStubServices {
    std::vector<bool> Busy;
    void SetBusy(bool busy) override { Busy.push_back(busy); }
};

TEST(UserInput, HourglassWhileTheMapPaints)
{
    TCityCopy city;
    TBusyServices services;
    auto form = StartForm(city.ProgramDir(), services);
    services.Busy.clear();
    bool busyDuringPaint = false;
    THookToken watch = form->Model()->OnAfterPaint.Install([&](const auto& next, TDrawContext& dc) {
        busyDuringPaint = !services.Busy.empty() && services.Busy.back();
        next(dc);
    });
    form->Model()->InvalidateView(*form->View());
    form->MapPanel->Surface().Paint();
    EXPECT_TRUE(busyDuringPaint);
    EXPECT_EQ(services.Busy, (std::vector<bool>{true, false}));
}

} // namespace
} // namespace tarn::test
