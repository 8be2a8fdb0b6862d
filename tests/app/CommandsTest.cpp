// The main window's commands on the demo city: keys that change the mode,
// Tab, full screen, the zoom limits, the mode buttons and the sign menu,
// the information tab's labels and the Shift-click's numbers.
#include "CommandsSupport.h"
#include "search/SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/common/Cursors.h"
#include "app/common/Info_mdl.h"
#include "app/maptools/BtnBox.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace tarn::test {
namespace {

TEST(Commands, CtrlAndAltHoldTheMagnifierAndPanUntilAKeyIsLetUp)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QWidget* map = form->MapPanel->SurfaceWidget();
    const struct {
        Qt::Key Key;
        Qt::KeyboardModifier Modifier;
        int32_t Mode, Cursor;
    } cases[] = {
        {Qt::Key_Control, Qt::ControlModifier, ModeMagnifier, CursorIdZoom},
        {Qt::Key_Alt, Qt::AltModifier, ModePan, CursorIdHand},
        {Qt::Key_Shift, Qt::ShiftModifier, ModeNormal, CursorDefault},
    };
    for (const auto& c : cases) {
        QTest::keyPress(map, c.Key, c.Modifier);
        EXPECT_EQ(form->View()->ViewMode, c.Mode) << c.Key;
        EXPECT_EQ(form->MapPanel->Surface().Cursor(), c.Cursor) << c.Key;
        QTest::keyRelease(map, c.Key);
        EXPECT_EQ(form->View()->ViewMode, ModeNormal) << c.Key;
        EXPECT_EQ(form->MapPanel->Surface().Cursor(), CursorDefault) << c.Key;
    }
}

// Each key to the control that has the keyboard when it is pressed.
void TypeAtFocus(TMainForm& form, const char* utf8)
{
    for (QChar c : QString::fromUtf8(utf8)) {
        QWidget* focus = form.focusWidget() ? form.focusWidget() : form.MapPanel->SurfaceWidget();
        Press(focus, c.toUpper().unicode(), QString(c));
    }
}

// A letter typed while the map has the keyboard hands it to the lists: the
// edit that gets the letter starts afresh from it.
TEST(Commands, TypingOnTheMapGoesToTheLists)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const struct {
        QWidget* Tab;
        const char* Typed;
        QLineEdit* Edit;
        const char* Shown;
    } cases[] = {
        {form->TabSheet1, "лес", form->StreetE, "ЛЕСНАЯ, УЛ."},
        {form->TabSheet3, "культура", form->ObjE, "КУЛЬТУРА И ОТДЫХ"},
        {form->TabSheet2, "лес", form->StreetE, "ЛЕСНАЯ, УЛ."},
    };
    for (const auto& c : cases) {
        form->SetMapFocused(true);
        form->StreetE->setText("ПРОСПЕКТ");
        form->ObjE->setText("ГОСТИНИЦА");
        form->PageControl1->setCurrentWidget(c.Tab);
        ASSERT_TRUE(form->MapFocused);
        // Typed on the map, the letters change nothing there.
        const TRect before = form->View()->WorldRect;
        TypeAtFocus(*form, c.Typed);
        EXPECT_FALSE(form->MapFocused) << c.Typed;
        EXPECT_FALSE(form->ButtonBox->Enabled);
        EXPECT_EQ(form->PageControl1->currentWidget(), c.Tab == form->TabSheet2 ? form->TabSheet1 : c.Tab);
        EXPECT_EQ(c.Edit->text().toUpper().toStdString().rfind(c.Shown, 0), 0u)
            << c.Typed << " gave " << c.Edit->text().toStdString();
        EXPECT_EQ(form->View()->WorldRect, before);
        // The other tab's edit keeps what it held.
        QLineEdit* other = c.Edit == form->ObjE ? form->StreetE : form->ObjE;
        EXPECT_EQ(other->text().toStdString(), other == form->StreetE ? "ПРОСПЕКТ" : "ГОСТИНИЦА") << c.Typed;
    }
    // Tab takes the keys back to the map; the next letter goes to the lists again.
    Press(form->StreetE, Qt::Key_Tab);
    EXPECT_TRUE(form->MapFocused);
    EXPECT_EQ(form->StreetE->text().toStdString(), "ЛЕСНАЯ, УЛ.") << "a key on the map types nothing";
    Press(form->StreetE, Qt::Key_Right);
    EXPECT_EQ(form->StreetE->text().toStdString(), "ЛЕСНАЯ, УЛ.");
    TypeAtFocus(*form, "ф");
    EXPECT_FALSE(form->MapFocused);
    EXPECT_EQ(form->StreetE->text().left(1).toStdString(), "Ф");
}

// F1 and the credits run the actions of their fixed objects: cards here.
TEST(Commands, F1AndTheCreditsOpenTheirCards)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    const struct {
        QWidget* Control;  // null: F1 on the map
        int32_t Code;
    } cases[] = {{nullptr, -2}, {form->Image1, -3}, {form->Label3, -4}, {form->Image5, -5}, {form->Label1, -3}};
    for (const auto& c : cases) {
        if (c.Control) QTest::mouseClick(c.Control, Qt::LeftButton);
        else Press(form->MapPanel->SurfaceWidget(), Qt::Key_F1);
        TInfoModule& info = form->Info();
        ASSERT_NE(info.CardForm, nullptr) << c.Code;
        ASSERT_TRUE(info.CardForm->CardRec()) << c.Code;
        EXPECT_EQ(info.CardForm->CardRec()->Key.Code, c.Code);
        EXPECT_EQ(info.CardForm->CardRec()->Key.LayerID, 67);
    }
    EXPECT_TRUE(services.Errors.empty());
}

TEST(Commands, TabHandsTheKeyboardBetweenTheMapAndTheLists)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QWidget* map = form->MapPanel->SurfaceWidget();
    ASSERT_TRUE(form->MapFocused);
    EXPECT_TRUE(form->ButtonBox->Enabled);
    for (bool mapHasKeys : {false, true, false}) {
        QTest::keyClick(map, Qt::Key_Tab);
        EXPECT_EQ(form->MapFocused, mapHasKeys);
        EXPECT_EQ(form->ButtonBox->Enabled, mapHasKeys);
        // The side that has the keyboard shows blue.
        EXPECT_EQ(form->LeftPanel->autoFillBackground(), !mapHasKeys);
        EXPECT_EQ(form->RightPanel->autoFillBackground(), mapHasKeys);
    }
    // A click on the map takes the keyboard back.
    QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(form->MapFocused);
    // The information tab gives way to the streets when the map takes the keys.
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->SetMapFocused(true);
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
}

TEST(Commands, FullScreenAndBackKeepTheWindowAndItsPanels)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    form->Splitter2->setSizes({700, 280});
    QCoreApplication::processEvents();
    const QRect bounds = form->geometry();
    const int tools = form->LeftPanel->width(), nav = form->NavPanel->height();
    QWidget* map = form->MapPanel->SurfaceWidget();
    form->SetMapFocused(false);
    form->SetMapFocused(true);

    QTest::keyClick(map, Qt::Key_F5);
    SettleWindow(*form);
    EXPECT_TRUE(form->LeftPanel->isHidden());
    EXPECT_TRUE(form->windowState() & Qt::WindowFullScreen);
    EXPECT_EQ(form->geometry(), form->screen()->geometry());
    // Out of sight, the lists cannot take the keyboard.
    form->SetMapFocused(false);
    EXPECT_TRUE(form->MapFocused);
    QTest::keyClick(map, Qt::Key_Tab);
    EXPECT_TRUE(form->MapFocused);

    QTest::keyClick(map, Qt::Key_F5);
    SettleWindow(*form);
    EXPECT_FALSE(form->LeftPanel->isHidden());
    EXPECT_EQ(form->geometry(), bounds);
    EXPECT_EQ(form->LeftPanel->width(), tools);
    EXPECT_EQ(form->NavPanel->height(), nav);
    EXPECT_EQ(form->Splitter2->widget(0), form->RightPanel) << "the map stays on the left";
}

// The zoom buttons zoom on the press and set their limits on the release;
// the keyboard's zoom-in stops where the button does.
TEST(Commands, ZoomButtonsAndKeysStopAtTheirLimits)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    const double whole = DenominatorOf(*form);
    ASSERT_GT(whole, 100000) << "the demo city shows whole at a scale smaller than 1:100 000";
    enum TPress { In, Out, Key };
    const struct {
        double Start;
        TPress Press;
        double End;
    } cases[] = {
        {1800, In, 1000},     {4000, In, 2000},     {3000, In, 1000},      {1000, In, 1000},
        {1800, Key, 1000},    {4000, Key, 2000},    {1000, Key, 1000},     {60000, Out, 100000},
        {40000, Out, 100000}, {20000, Out, 40000},  {whole, Out, whole * 1.5},
    };
    QWidget* map = form->MapPanel->SurfaceWidget();
    for (const auto& c : cases) {
        ASSERT_EQ(form->Model()->SetScaleDenominator(*form->View(), c.Start), ResultDone);
        if (c.Press == In) QTest::mouseClick(form->ZoomInBtn, Qt::LeftButton);
        else if (c.Press == Out) QTest::mouseClick(form->ZoomOutBtn, Qt::LeftButton);
        else QTest::keyClick(map, Qt::Key_Plus, Qt::KeypadModifier);
        EXPECT_NEAR(DenominatorOf(*form), c.End, c.End * 1e-6) << "from 1:" << c.Start << " press " << c.Press;
    }
}

TEST(Commands, ModeButtonsAndTheSignMenuLeaveOneModeInForce)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QWidget* map = form->MapPanel->SurfaceWidget();
    // Measuring shows its panel while its button is down.
    QTest::mouseClick(form->WayBtn, Qt::LeftButton);
    EXPECT_EQ(form->View()->ViewMode, ModeMeasure);
    EXPECT_EQ(form->MapPanel->Surface().Cursor(), CursorIdPen);
    EXPECT_FALSE(form->WayPanel->isHidden());
    QTest::mouseClick(form->LupaBtn, Qt::LeftButton);
    EXPECT_EQ(form->View()->ViewMode, ModeMagnifier);
    EXPECT_FALSE(form->WayBtn->isChecked());
    EXPECT_TRUE(form->WayPanel->isHidden());

    // A sign mode lets the mode buttons up, so a mouse move keeps it.
    const struct {
        QAction* Item;
        int32_t Mode, Cursor;
    } menu[] = {{form->N1, ModeAddSign, CursorIdPen},
                {form->N_2, ModeDeleteSign, CursorHandPoint},
                {form->N2, ModeMoveSign, CursorHandPoint}};
    for (const auto& m : menu) {
        QTest::mouseClick(form->MoveBtn, Qt::LeftButton);
        ASSERT_TRUE(form->MoveBtn->isChecked());
        m.Item->trigger();
        QTest::mouseMove(map, QPoint(60, 70));
        EXPECT_EQ(form->View()->ViewMode, m.Mode);
        EXPECT_EQ(form->MapPanel->Surface().Cursor(), m.Cursor);
        EXPECT_FALSE(form->MoveBtn->isChecked() || form->LupaBtn->isChecked() || form->WayBtn->isChecked());
    }
}

TEST(Commands, InformationLabelsShowTheirObjectsAndShiftClickNamesThem)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QWidget* map = form->MapPanel->SurfaceWidget();
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    const struct {
        QLabel* Label;
        int32_t Code;
    } labels[] = {{form->Label5, 4698}, {form->Label6, 4680}};
    for (const auto& l : labels) {
        QTest::mouseClick(l.Label, Qt::LeftButton);
        EXPECT_NEAR(DenominatorOf(*form), 2500, 1e-6);
        EXPECT_EQ(form->Model()->Highlight, (TKeyList{{0, 1, 11, 5, l.Code}}));
        // Shift and the right button name it under the objects above it.
        std::vector<uint8_t> header;
        ASSERT_EQ(form->Model()->GetObjectData(form->View(), 1, TObjectKey{0, 1, 11, 5, l.Code}, header), ResultDone);
        int32_t x = 0, y = 0;
        const TObjectHeader h = DecodeObjectHeader(header.data());
        form->Model()->ViewWorldToScreen(*form->View(), h.X, h.Y, x, y);
        const QPoint at(x, y);
        QTest::mousePress(map, Qt::RightButton, Qt::ShiftModifier, at);
        QTest::mouseRelease(map, Qt::RightButton, Qt::ShiftModifier, at);
        EXPECT_TRUE(form->NumPanel->isVisibleTo(form->StatusBar1));
        EXPECT_EQ(form->NumPanel->text().toStdString(), "11; " + std::to_string(l.Code));
        QTest::mouseClick(map, Qt::LeftButton, {}, at);
        EXPECT_TRUE(form->NumPanel->isHidden());
        EXPECT_TRUE(form->Model()->Highlight.empty()) << "a press on the map clears the highlight";
    }
}

TEST(Commands, EnterListHintsAndTheWebSite)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    // Enter in the street edit is swallowed.
    QChar enter('\r'), letter('A');
    form->StreetEKeyPress(enter);
    form->StreetEKeyPress(letter);
    EXPECT_TRUE(enter.isNull());
    EXPECT_EQ(letter, QChar('A'));
    // A list's hint is the row under the mouse.
    form->StreetList->resize(200, 300);
    const QRect row = form->StreetList->visualItemRect(form->StreetList->item(0));
    form->StreetListMouseMove(form->StreetList, 0, row.center().x(), row.center().y());
    EXPECT_EQ(form->StreetList->toolTip(), form->StreetList->item(0)->text());
    form->StreetListMouseMove(form->StreetList, 0, row.center().x(), -5);
    EXPECT_TRUE(form->StreetList->toolTip().isEmpty());
    // The web site goes to the shell.
    QTest::mouseClick(form->InetLabel, Qt::LeftButton);
    ASSERT_EQ(services.Addresses.size(), 1u);
    EXPECT_EQ(services.Addresses[0].rfind("https://", 0), 0u);
}

} // namespace
} // namespace tarn::test
