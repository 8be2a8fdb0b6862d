// What choosing an item does, by its payload, in the lists and in the
// action registry; filling a list from a layer of the map.
#include "../AppSupport.h"
#include "SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/search/Info_f.h"
#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>


namespace tarn::test {
namespace {

TObjectKey Place(int32_t code) { return {0, 1, 67, 24, code}; }

TKeyList Highlighted(TMainForm& form)
{
    TKeyList lit;
    form.Model()->HighlightObjects(form.View(), 0, lit);
    return lit;
}

// The program on a copy of the demo city.
class SearchActions : public ::testing::Test {
protected:
    TCityCopy City;
    TStubServices Services;
    TStarted<> Form = StartForm(City.ProgramDir(), Services);
    TInfoModule& Info = *Form.Info;
    TModel* Model = Form->Model();
    TView* View = Form->View();
};

TEST_F(SearchActions, EachKindOfItemDoesWhatItStandsFor)
{
    const TObjectKey house = DetailSheetHouse(*Model, *View);
    Model->ZoomAll(*View);
    QDialog dialog;
    QWidget notADialog;
    QObject* actionSender = nullptr;

    TSearchText list(&Info, Model, View);
    list.OnAction = [&](QObject* sender) { actionSender = sender; };
    list.AddItem(Cp("1 ПЛОЩАДЬ"), MakeObjectData(Model, View, Place(3)));
    list.AddItem(Cp("2 ДОМ"), MakeObjectData(Model, View, house));
    list.AddItem(Cp("3 ТЕКСТ"), MakeData(TTextItemRec{Model, View, Place(4), Cp("Текст о месте")}));
    list.AddItem(Cp("4 ТЕКСТ БЕЗ ОБЪЕКТА"), MakeData(TTextItemRec{Model, View, Place(-1), Cp("Просто текст")}));
    list.AddItem(Cp("5 ФОРМА"), MakeData(TFormItemRec{Model, View, Place(5), &dialog}));
    list.AddItem(Cp("6 НЕ ФОРМА"), MakeData(TFormItemRec{Model, View, Place(5), &notADialog}));
    list.AddItem(Cp("7 ДЕЙСТВИЕ"), MakeActionData());
    list.AddItem(Cp("8 ВЛАДЕЕМЫЙ"), MakeOwnedData(std::make_shared<int>(1)));
    ASSERT_EQ(list.Items.Count(), 8);

    const auto run = [&](int32_t index, QObject* sender) {
        Model->ZoomAll(*View);
        TKeyList lit = Highlighted(*Form), earlier{Place(1)};
        Model->HighlightObjects(View, 2, lit);
        Model->HighlightObjects(View, 1, earlier);
        list.ItemIndex = index;
        return list.ExecuteItem(sender);
    };

    // A map object: alone highlighted in the middle at 1:2500.
    EXPECT_TRUE(run(0, nullptr));
    EXPECT_NEAR(View->Scale / View->MmPerPixel, 2500, 1);
    EXPECT_EQ(Highlighted(*Form), TKeyList{Place(3)});
    // One the map cannot find at this level: the view and highlight stay.
    const TRect whole = [&] { Model->ZoomAll(*View); return View->WorldRect; }();
    EXPECT_TRUE(run(1, nullptr));
    EXPECT_EQ(View->WorldRect, whole);
    EXPECT_EQ(Highlighted(*Form), TKeyList{Place(1)});

    // A text: the one text window, with its button when the text has an object.
    EXPECT_TRUE(run(2, nullptr));
    ASSERT_NE(Info.TextForm, nullptr);
    TInfoForm* text = Info.TextForm.get();
    EXPECT_TRUE(text->isVisible());
    EXPECT_EQ(text->Memo1->toPlainText().toStdString(), "Текст о месте");
    EXPECT_TRUE(text->Panel1->isVisible());
    QTest::mouseClick(text->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Highlighted(*Form), TKeyList{Place(4)}) << "the earlier highlight cleared";
    EXPECT_NEAR(View->Scale / View->MmPerPixel, 2500, 1);
    EXPECT_TRUE(run(3, nullptr));
    EXPECT_EQ(Info.TextForm.get(), text) << "made once";
    EXPECT_EQ(text->Memo1->toPlainText().toStdString(), "Просто текст");
    EXPECT_FALSE(text->Panel1->isVisible());

    // A form: shown modally with its record; what is not a form runs nothing.
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    EXPECT_TRUE(run(4, Form->ObjBtn));
    EXPECT_TRUE(dialog.property("Record").isValid());
    EXPECT_FALSE(run(5, Form->ObjBtn));

    // An action: the list's OnAction with the sender; an owned object: nothing.
    EXPECT_TRUE(run(6, Form->ObjBtn));
    EXPECT_EQ(actionSender, Form->ObjBtn);
    EXPECT_TRUE(run(7, nullptr));
    // No item chosen: nothing, and nothing passed on.
    list.ItemIndex = -1;
    EXPECT_FALSE(list.ExecuteItem(Form->ObjBtn));
}

// A polygon layer's objects have no text: each is listed as the error row
// with its own map-object payload, drawn without an icon and hinted with
// the row's name, as any map object.
TEST_F(SearchActions, ObjectsWithoutTextAreListedAsTheErrorRow)
{
    const std::string error = Cp("## Ошибка !!! ##");
    TLayerSelector water;
    MakeFieldQuery(Cp("Водоёмы"), -1, water);
    TSearch plain(&Info, Model, View, false);
    TSearchText sorted(&Info, Model, View);
    const struct {
        const char* What;
        TSearch& List;
        bool OneRow;
    } lists[] = {{"a plain list: a row each", plain, false}, {"a sorted list: the first", sorted, true}};
    int32_t objects = 0;
    for (const auto& l : lists) {
        const int32_t count = FillFromLayer(l.List, Model, View, false, std::string(), water);
        ASSERT_GT(count, 1) << l.What;
        objects = count;
        ASSERT_EQ(l.List.Items.Count(), l.OneRow ? 1 : count) << l.What;
        for (int32_t i = 0; i < l.List.Items.Count(); ++i) {
            EXPECT_EQ(l.List.Items.Name(i), error) << l.What;
            EXPECT_EQ(l.List.Items.Data(i)->Kind, ObjectItemKind) << l.What;
            EXPECT_TRUE(RowIcon(*l.List.Items.Data(i)).isNull()) << l.What;
        }
    }
    EXPECT_EQ(*sorted.Items.Data(0)->Key(), *plain.Items.Data(0)->Key());
    EXPECT_NE(*plain.Items.Data(0)->Key(), *plain.Items.Data(objects - 1)->Key());
    EXPECT_EQ(sorted.GetItemText(*sorted.Items.Data(0)->Key()), QString::fromUtf8("## Ошибка !!! ##"));
}

TEST_F(SearchActions, RegistryRunsTheFirstActionOfAnObject)
{
    TSearchObject actions(&Info, Model, View);
    QWidget notADialog;
    const TCardRec ticker = [&] {
        const TDataPtr* d = nullptr;
        for (int32_t i = 0; i < Form->SearchObject->Items.Count() && !d; ++i)
            if (Form->SearchObject->Items.Data(i)->Matches(TickerKey)) d = &Form->SearchObject->Items.Data(i);
        return *(*d)->As<TCardRec>();
    }();

    EXPECT_EQ(actions.RegisterObject(Cp("ПЕРВОЕ"), MakeObjectData(Model, View, Place(1))), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("ВТОРОЕ"), MakeData(TTextItemRec{Model, View, Place(1), Cp("Текст")})), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("ТЕКСТ"), MakeData(TTextItemRec{Model, View, Place(2), Cp("Текст места")})), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("ФОРМА"), MakeData(TFormItemRec{Model, View, Place(3), &notADialog})), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("ЗА ФОРМОЙ"), MakeObjectData(Model, View, Place(3))), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("СТРОКА"), MakeData(ticker)), 1);
    EXPECT_EQ(actions.RegisterObject(Cp("ГРУППА"), MakeData(TSubListRec{})), 0) << "names no object";
    EXPECT_EQ(actions.Items.Count(), 6);

    const struct {
        const char* What;
        TObjectKey Key;
        bool Action;
        const char* Text;
    } cases[] = {
        {"a name: the first item of the object", Place(1), true, "ПЕРВОЕ"},
        {"a text", Place(2), true, "Текст места"},
        {"a form that is not one", Place(3), false, "ЗА ФОРМОЙ"},
        {"a card", TickerKey, true, "Справка по программе — клавиша F1."},
        {"nothing registered", Place(9), false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(actions.HasAction(c.Key), c.Key.Code != 9) << c.What;
        EXPECT_EQ(actions.ExecuteObjectAction(c.Key), c.Action) << c.What;
        const std::string text = actions.GetObjectText(c.Key).toStdString();
        if (*c.Text) EXPECT_NE(text.find(c.Text), std::string::npos) << c.What << ": " << text;
        else EXPECT_EQ(text, "") << c.What;
        EXPECT_TRUE(actions.Enabled) << c.What;
    }
    EXPECT_EQ(Info.TextForm->Memo1->toPlainText().toStdString(), "Текст места");
    ASSERT_NE(Info.CardForm, nullptr);
    EXPECT_TRUE(Info.CardForm->isVisible());

    // Reading a card's text hidden leaves the card on the screen as it is.
    const QWidget* shown = Info.CardForm.get();
    EXPECT_FALSE(actions.GetObjectText(TickerKey).isEmpty());
    EXPECT_EQ(Info.CardForm.get(), shown);
    EXPECT_TRUE(Info.CardForm->isVisible());

    // Removed by key: the next item of the object is not promoted.
    EXPECT_EQ(actions.RemoveItemsByKey(Place(1)), 2);
    EXPECT_FALSE(actions.HasAction(Place(1)));
    EXPECT_TRUE(actions.HasAction(Place(2)));
    EXPECT_EQ(actions.RegisterObject(Cp("НОВОЕ"), MakeObjectData(Model, View, Place(1))), 1);
    EXPECT_EQ(actions.GetObjectText(Place(1)).toStdString(), "НОВОЕ");
}

TEST_F(SearchActions, HoverLooksUpActionsWithoutServingEvents)
{
    TSearchObject& actions = *Form->SearchObject;
    const TObjectKey hotel = RegisteredKey(actions, "ГОСТИНИЦА № 2");
    ASSERT_TRUE(Form.Info->ShowObjectOnMap(hotel));
    const QPoint centre = ScreenPointOf(*Form, hotel);
    bool served = false;
    QTimer::singleShot(0, [&] { served = true; });
    EXPECT_TRUE(actions.HoverMove(*Form->View(), centre.x(), centre.y()));
    EXPECT_EQ(Form->View()->ViewMode, ModeHover);
    EXPECT_FALSE(served) << "a pending event ran inside the hover";
    QCoreApplication::processEvents();
    EXPECT_TRUE(served);

    // Disabled (a card opening), the hooks do nothing and pass nothing on.
    actions.Enabled = false;
    Form->View()->ViewMode = ModeNormal;
    EXPECT_FALSE(actions.HoverMove(*Form->View(), centre.x(), centre.y()));
    EXPECT_FALSE(actions.MouseDown(*Form->View(), TMouseButton::Left, centre.x(), centre.y()));
    EXPECT_EQ(Form->View()->ViewMode, ModeNormal);
    actions.Enabled = true;
}

TEST_F(SearchActions, FillsFromALayerOfTheMap)
{
    const TSubText& words = *Form->SubText;

    // Every object of the layer counts; the list holds each name once.
    TSearchText streets(Form.Info.get(), Model, View);
    streets.OnItem = [&](std::string& name, const TDataPtr& d) { return words.NormalizeStreetName(name, d); };
    streets.UseOnItem = true;
    const int32_t count = streets.FillList(Cp("Названия улиц"));
    TLayerRec layer{};
    TLayerSelector named;
    MakeFieldQuery(Cp("Названия улиц"), -1, named);
    ASSERT_EQ(Model->GetLayerInfo(named, layer), 0);
    std::vector<uint8_t> b;
    ASSERT_EQ(Model->GetObjectData(View, 5, {1, 1, layer.LayerId, 1, 0}, b), ResultDone);
    EXPECT_EQ(count, int32_t(b.size() / 20));
    EXPECT_LE(streets.Items.Count(), count) << "a street with several labels is listed once";
    const std::vector<std::string> names = Names(streets);
    EXPECT_EQ(std::count(names.begin(), names.end(), "ЛЕСНАЯ, УЛ."), 1);
    ASSERT_EQ(streets.SubLists.size(), 1u);
    EXPECT_EQ(streets.SubLists[0].Data->Kind, LayerEntryKind);
    EXPECT_EQ(streets.SubLists[0].Name, Cp("Названия улиц"));

    // The second town's streets carry its name; a layer the map lacks adds nothing.
    TSearchText town(Form.Info.get(), Model, View);
    town.OnItem = streets.OnItem;
    town.UseOnItem = true;
    EXPECT_GT(town.FillSubList(Cp("Улицы ВЕРБИНСКА"), Cp("Вербинск")), 0);
    for (int32_t i = 0; i < town.Items.Count(); ++i) {
        const std::string name = Cp1251ToUtf8(town.Items.Name(i));
        EXPECT_EQ(name.substr(name.size() - std::string(" (Вербинск)").size()), " (Вербинск)") << name;
        EXPECT_NE(name.find(", "), std::string::npos) << name << ": normalised before the suffix";
    }
    EXPECT_EQ(town.FillList(Cp("Вербинск")), 0) << "a group holds no objects";
    EXPECT_EQ(town.FillList(Cp("Нет такого слоя")), 0);
    EXPECT_EQ(town.SubLists.size(), 2u) << "the town's streets, and the group by its name";

    // The main window's street list: streets, the town's, the districts.
    const std::vector<std::string> listed = Names(*Form->StreetSearch);
    for (const char* name : {"ЛЕСНАЯ, УЛ.", "ЛЕСНАЯ, УЛ. (Вербинск)", "ПОЛЕВАЯ 1-Я, УЛ. (Вербинск)", "8 МАРТА, УЛ.",
                             "ЦЕНТРАЛЬНЫЙ, ПР.", "ВЕРБИНСК"})
        EXPECT_EQ(std::count(listed.begin(), listed.end(), name), 1) << name;
    EXPECT_EQ(Form->StreetList->count(), int(listed.size()));
}

} // namespace
} // namespace tarn::test
