// The search lists in the main window on the demo city: a street or an
// organisation typed and shown on the map, the group windows, the map's
// hover and click actions, the rows' hint and their icons.
#include "../AppSupport.h"
#include "SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/search/Group_f.h"
#include "app/search/Info_f.h"
#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"
#include "platform/Cp1251.h"
#include "tools/CityDatabase.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tarn::test {
namespace {

std::string ObjectText(TMainForm& form, const TObjectKey& key)
{
    std::vector<uint8_t> b;
    if (form.Model()->GetObjectData(form.View(), 3, key, b) != ResultDone) return {};
    return Cp1251ToUtf8(std::string(b.begin(), std::find(b.begin(), b.end(), uint8_t(0))));
}

TEST(SearchWindow, TypedStreetAndEnterShowTheStreetAtOneTo2500)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ListsTakeTheKeyboard(*form);
    const TRect whole = form->View()->WorldRect;

    // Every row reads "NAME, TYPE": the demo city writes the type word first.
    for (const std::string& row : Names(*form->StreetSearch)) EXPECT_EQ(row.find(" ,"), std::string::npos) << row;
    Type(form->StreetE, "лес");
    EXPECT_EQ(form->StreetE->text().toStdString(), "ЛЕСНАЯ, УЛ.");
    EXPECT_EQ(form->StreetE->selectedText().toStdString(), "НАЯ, УЛ.");
    TSearchText& streets = *form->StreetSearch;
    ASSERT_GE(streets.ItemIndex, 0);
    EXPECT_EQ(form->StreetList->currentRow(), streets.ItemIndex);
    const TObjectKey key = *streets.Items.Data(streets.ItemIndex)->Key();
    EXPECT_EQ(ObjectText(*form, key), "УЛ. ЛЕСНАЯ") << "the label the item stands for";

    Press(form->StreetE, Qt::Key_Return, "\r");
    EXPECT_NE(form->View()->WorldRect, whole);
    ExpectShown(*form, key, "the street");
    EXPECT_EQ(form->StreetE->text().toStdString(), "ЛЕСНАЯ, УЛ.");
}

TEST(SearchWindow, OrganisationFromTheObjectListShowsOnTheMap)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ListsTakeTheKeyboard(*form);
    const struct {
        const char* Typed;
        bool ByButton;
    } cases[] = {{"гостиница № 3", false}, {"ГОСТИНИЦА № 4", true}};
    for (const auto& c : cases) {
        form->ObjE->clear();
        Type(form->ObjE, c.Typed);
        TSearchText& objects = *form->ObjectSearch;
        ASSERT_GE(objects.ItemIndex, 0) << c.Typed;
        EXPECT_EQ(form->ObjE->text(), QString::fromUtf8(c.Typed).toUpper());
        const TObjectKey key = *objects.Items.Data(objects.ItemIndex)->Key();
        if (c.ByButton) QTest::mouseClick(form->ObjBtn, Qt::LeftButton);
        else Press(form->ObjE, Qt::Key_Return, "\r");
        ExpectShown(*form, key, c.Typed);
    }
}

TEST(SearchWindow, OrganisationFromAGroupWindowShowsOnTheMap)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ListsTakeTheKeyboard(*form);
    TInfoModule& info = *form.Info;

    // The group "Культура и отдых", its subgroup "Музеи" in a second window.
    Type(form->ObjE, "культура");
    Press(form->ObjE, Qt::Key_Return, "\r");
    ASSERT_EQ(info.GroupForms.size(), 1u);
    TGroupForm* group = GroupWindow(info, 0);
    EXPECT_EQ(group->windowTitle().toStdString(), "Культура и отдых");
    EXPECT_TRUE(group->isVisible());
    EXPECT_TRUE(IsOwnerDrawn(group->ListBox1)) << "drawn like the object list";
    ASSERT_EQ(group->ListBox1->count(), 6);
    Type(group->Edit1, "музеи");
    EXPECT_EQ(group->Edit1->text().toStdString(), "МУЗЕИ");
    QTest::mouseClick(group->ShowBtn, Qt::LeftButton);
    ASSERT_EQ(info.GroupForms.size(), 2u);
    TGroupForm* museums = GroupWindow(info, 1);
    EXPECT_EQ(museums->windowTitle().toStdString(), "Музеи");

    // A double click on a row.
    const int row = RowOf(museums->ListBox1, "МУЗЕЙ № 2");
    ASSERT_GE(row, 0);
    const QRect at = museums->ListBox1->visualItemRect(museums->ListBox1->item(row));
    QTest::mouseClick(museums->ListBox1->viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseDClick(museums->ListBox1->viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseRelease(museums->ListBox1->viewport(), Qt::LeftButton, {}, at.center());
    const TSearchText& list = *museums->SearchList.lock();
    ASSERT_EQ(list.ItemIndex, row);
    ExpectShown(*form, *list.Items.Data(row)->Key(), "a museum from its group window");

    // The group again: the open window comes forward, bound once.
    form->ObjE->clear();
    Type(form->ObjE, "культура");
    Press(form->ObjE, Qt::Key_Return, "\r");
    EXPECT_EQ(info.GroupForms.size(), 2u);
    EXPECT_EQ(form->ObjectSearch->FindChild(Utf8ToCp1251("Культура и отдых"))->ListBox(), group->ListBox1);
}

TEST(SearchWindow, HoverMarksPlacesWithAnActionAndAClickRunsIt)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    TSearchObject& actions = *form->SearchObject;
    const QPoint away(3, 3);

    // A place with a name only: its name as a hint for two seconds.
    const TObjectKey hotel = RegisteredKey(actions, "ГОСТИНИЦА № 3");
    ASSERT_TRUE(form.Info->ShowObjectOnMap(hotel));
    QPoint middle = ScreenPointOf(*form, hotel);
    form->MapPanelMouseMove(0, away.x(), away.y());
    EXPECT_EQ(form->View()->ViewMode, ModeNormal);
    form->MapPanelMouseMove(0, middle.x(), middle.y());
    EXPECT_EQ(form->View()->ViewMode, ModeHover);
    form->MapPanelMouseMove(0, middle.x(), middle.y());
    EXPECT_EQ(form->MapPanel->Surface().Cursor(), CursorHandPoint) << "the hand over a place with an action";
    form->MapPanelMouseMove(0, away.x(), away.y());
    EXPECT_EQ(form->View()->ViewMode, ModeNormal);

    form->MapPanelMouseMove(0, middle.x(), middle.y());
    form->MapPanelMouseDown(TMouseButton::Left, 0, middle.x(), middle.y());
    form->MapPanelMouseUp(TMouseButton::Left, 0, middle.x(), middle.y());
    ASSERT_FALSE(services.Hints.empty());
    const QPoint screen = form->MapPanel->SurfaceWidget()->mapToGlobal(middle);
    EXPECT_EQ(services.Hints.back().Text, "ГОСТИНИЦА № 3");
    EXPECT_EQ(QPoint(services.Hints.back().X, services.Hints.back().Y), screen);
    EXPECT_EQ(services.Hints.back().MaxWidth, 200);
    EXPECT_TRUE(services.HintShown);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !services.HintShown; }, 3000)) << "hidden after two seconds";

    // A right click, and a left click in pan mode, run nothing.
    const std::size_t hints = services.Hints.size();
    form->MapPanelMouseDown(TMouseButton::Right, 0, middle.x(), middle.y());
    form->MapPanelMouseUp(TMouseButton::Right, 0, middle.x(), middle.y());
    form->View()->ViewMode = ModePan;
    form->Model()->LeftMouseDown(*form->View(), 0, middle.x(), middle.y());
    form->Model()->LeftMouseUp(*form->View(), 0, middle.x(), middle.y());
    form->View()->ViewMode = ModeNormal;
    EXPECT_EQ(services.Hints.size(), hints);

    // A place with a card: the card window.
    const TObjectKey theatre = RegisteredKey(actions, "ДРАМАТИЧЕСКИЙ ТЕАТР «ЛИСТОК»");
    ASSERT_TRUE(form.Info->ShowObjectOnMap(theatre));
    middle = ScreenPointOf(*form, theatre);
    EXPECT_EQ(form.Info->CardForm, nullptr);
    form->MapPanelMouseDown(TMouseButton::Left, 0, middle.x(), middle.y());
    form->MapPanelMouseUp(TMouseButton::Left, 0, middle.x(), middle.y());
    ASSERT_NE(form.Info->CardForm, nullptr);
    EXPECT_TRUE(form.Info->CardForm->isVisible());
    EXPECT_TRUE(actions.Enabled);
}

TEST(SearchWindow, RightClickOnARowShowsTheObjectsTextAtTheMapsCorner)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    QListWidget* list = form->ObjList;
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    SettleWindow(*form);
    const QPoint corner = form->MapPanel->SurfaceWidget()->mapToGlobal(QPoint(0, 0));

    const int card = RowOf(list, "ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»");
    const int group = RowOf(list, "Медицина");
    ASSERT_GE(card, 0);
    ASSERT_GE(group, 0);
    const struct {
        const char* What;
        int Row;
        const char* Hint;  // null: none
    } cases[] = {
        {"a card's row: the card's text", card, "Справки об организациях, улицах и транспорте города."},
        {"a group's row: selected, no hint", group, nullptr},
    };
    for (const auto& c : cases) {
        services.Hints.clear();
        list->scrollToItem(list->item(c.Row));
        const QPoint at = list->visualItemRect(list->item(c.Row)).center();
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
        EXPECT_EQ(list->currentRow(), c.Row) << c.What;
        EXPECT_EQ(form->ObjectSearch->ItemIndex, c.Row) << c.What;
        EXPECT_EQ(form->ObjE->text(), list->item(c.Row)->text()) << c.What;
        if (c.Hint) {
            ASSERT_EQ(services.Hints.size(), 1u) << c.What;
            EXPECT_NE(services.Hints[0].Text.find(c.Hint), std::string::npos) << services.Hints[0].Text;
            EXPECT_EQ(QPoint(services.Hints[0].X, services.Hints[0].Y), corner) << c.What;
            EXPECT_EQ(services.Hints[0].MaxWidth, 350);
            EXPECT_TRUE(services.HintShown);
        } else {
            EXPECT_TRUE(services.Hints.empty()) << c.What;
        }
        // Released anywhere, the hint goes.
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(1, 1));
        EXPECT_FALSE(services.HintShown) << c.What;
    }

    // Below the last row: nothing selected.
    list->scrollToBottom();
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(5, list->viewport()->height() - 2));
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(5, list->viewport()->height() - 2));
    EXPECT_EQ(form->ObjectSearch->ItemIndex, -1);
    EXPECT_EQ(list->currentRow(), -1);
}

// Icons are in colour; the rows' text and background are grey.
bool Coloured(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).hsvSaturation() > 100) return true;
    return false;
}

TEST(SearchWindow, ObjectRowsShowTheirKindsIcon)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    form->PageControl1->setCurrentWidget(form->TabSheet3);
    SettleWindow(*form);
    QListWidget* list = form->ObjList;
    EXPECT_TRUE(IsOwnerDrawn(list));
    EXPECT_FALSE(IsOwnerDrawn(form->StreetList));
    const QImage rows = list->viewport()->grab().toImage();
    const std::string path = SaveAppImage(rows, "object-list-rows");
    // Folders for groups, an icon for cards, none for map objects.
    const struct {
        const char* Name;
        bool Icon;
    } cases[] = {{"Медицина", true}, {"ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»", true}, {"ГОСТИНИЦА № 2", false}};
    for (const auto& c : cases) {
        const int row = RowOf(list, c.Name);
        ASSERT_GE(row, 0) << c.Name;
        const QRect r = list->visualItemRect(list->item(row));
        EXPECT_EQ(Coloured(rows.copy(r.left(), r.top(), r.height(), r.height())), c.Icon) << c.Name << " " << path;
        EXPECT_EQ(RowIcon(*form->ObjectSearch->Items.Data(row)).isNull(), !c.Icon) << c.Name;
    }
}

TEST(SearchWindow, GroupListHintIsTheRowUnderTheMouseAndClearsOverEmptyRows)
{
    TStubServices services;
    TTempDir dir;
    TInfoModule info(dir.Path() + "/", "tarn", services);
    auto list = std::make_shared<TSearchText>(&info, nullptr, nullptr);
    int32_t code = 0;
    for (const char* name : {"АПТЕКА", "БОЛЬНИЦА", "ПОЛИКЛИНИКА"})
        list->AddItem(Utf8ToCp1251(name), MakeObjectData(nullptr, nullptr, {0, 1, 134, 24, ++code}));
    QPointer<TGroupForm> group = OpenGroupWindow(info, list, nullptr);
    group->resize(300, 300);
    SettleWindow(*group);
    QListWidget* box = group->ListBox1;
    const auto row = [box](int i) { return box->visualItemRect(box->item(i)).center(); };
    const QPoint below(5, box->viewport()->height() - 2);
    const struct {
        const char* What;
        QPoint At;
        const char* Hint;
    } moves[] = {
        {"the first row", row(0), "АПТЕКА"},   {"below the rows", below, ""},
        {"the last row", row(2), "ПОЛИКЛИНИКА"}, {"the middle row", row(1), "БОЛЬНИЦА"},
        {"below again", below, ""},
    };
    for (const auto& m : moves) {
        QMouseEvent move(QEvent::MouseMove, m.At, box->viewport()->mapToGlobal(m.At), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(box->viewport(), &move);
        EXPECT_EQ(box->toolTip().toStdString(), m.Hint) << m.What;
    }
    group->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return group.isNull(); }));
}

TEST(SearchWindow, GroupWindowClosedMaximisedReopensMaximised)
{
    TCityCopy city;
    TStubServices services;
    QRect textWindow;
    {
        auto form = StartForm(city.ProgramDir(), services);
        TSearchText& objects = *form->ObjectSearch;
        objects.ItemIndex = RowOf(form->ObjList, "Медицина");
        ASSERT_TRUE(objects.ExecuteItem(nullptr));
        ASSERT_EQ(form.Info->GroupForms.size(), 1u);
        QPointer<TGroupForm> group = GroupWindow(*form.Info, 0);
        group->showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return group->isMaximized(); }));
        group->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return group.isNull(); }));
        // The group's list outlives its window's controls.
        const TSearchText& medicine = *objects.FindChild(Utf8ToCp1251("Медицина"));
        EXPECT_EQ(medicine.ListBox(), nullptr);
        EXPECT_EQ(objects.RemoveItemsByKey(*medicine.FindChild(Utf8ToCp1251("Аптеки"))->Items.Data(0)->Key()), 1);

        // The text window hides on close and keeps its place too.
        ShowTextWindow(*form.Info, TTextItemRec{form->Model(), form->View(), {0, 1, 67, 24, 1}, "Text"});
        form.Info->TextForm->setGeometry(40, 50, 300, 200);
        textWindow = form.Info->TextForm->frameGeometry();
        form.Info->TextForm->close();
        EXPECT_FALSE(form.Info->TextForm->isVisible());
    }
    std::ifstream in(city.File("tarn.ini"));
    std::stringstream ini;
    ini << in.rdbuf();
    EXPECT_NE(ini.str().find("[GROUPFORM]"), std::string::npos) << ini.str();
    EXPECT_NE(ini.str().find("WINDOWSTATE=2"), std::string::npos) << ini.str();
    const auto position = TIniFile::Open(city.File("tarn.ini"));
    EXPECT_EQ(ReadPlacement(*position, InfoFormSection, {}),
              (TWindowPlacement{textWindow.x(), textWindow.y(), textWindow.width(), textWindow.height(), 0}))
        << "the whole window";

    auto form = StartForm(city.ProgramDir(), services);
    form->ObjectSearch->ItemIndex = RowOf(form->ObjList, "Медицина");
    ASSERT_TRUE(form->ObjectSearch->ExecuteItem(nullptr));
    ASSERT_EQ(form.Info->GroupForms.size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return GroupWindow(*form.Info, 0)->isMaximized(); }));
}

} // namespace
} // namespace tarn::test
