// Search lists on their own: the street-name normaliser, typing, keys,
// sorting and equal names, child lists and shared payloads.
#include "../AppSupport.h"
#include "SearchSupport.h"

#include "app/search/SearchT.h"

#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TDataPtr Object(int32_t code) { return MakeObjectData(nullptr, nullptr, {0, 1, 134, 24, code}); }

// A search panel of its own: an edit over a list box, bound to a list.
struct TPanel {
    explicit TPanel(std::initializer_list<const char*> names) : List(nullptr, nullptr, nullptr)
    {
        auto* column = new QVBoxLayout(&Window);
        Edit = new QLineEdit;
        Box = new QListWidget;
        column->addWidget(Edit);
        column->addWidget(Box);
        // What the edit's key-up did before the list took it.
        Saved = TControlHooks::Of(Edit).OnKeyUp.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
            ++SavedKeyUps;
            next(k);
        });
        int32_t code = 0;
        for (const char* n : names) List.AddItem(Cp(n), Object(++code));
        List.SetListBox(Box);
        List.SetEdit(Edit);
    }
    std::string Selected() const { return List.ItemIndex < 0 ? "" : Cp1251ToUtf8(List.Items.Name(List.ItemIndex)); }

    QWidget Window;
    QLineEdit* Edit;
    QListWidget* Box;
    TSearchText List;
    THookToken Saved;
    int SavedKeyUps = 0;
};

TEST(SearchList, NormalisesStreetNames)
{
    TSubText sub;
    for (const char* w : {"УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК", "ПРОСПЕКТ", "ПЛОЩАДЬ"}) sub.Words.push_back(Cp(w));
    const struct {
        const char* Name;
        const char* Listed;
    } cases[] = {
        {"УЛ. 1-Я ПОЛЕВАЯ", "ПОЛЕВАЯ 1-Я, УЛ."},
        {"1-Я УЛ. ПОЛЕВАЯ", "ПОЛЕВАЯ 1-Я, УЛ."},
        {"ПОЛЕВАЯ УЛ. 1-Я", "ПОЛЕВАЯ   1-Я, УЛ."},
        {"УЛ. 8 МАРТА", "8 МАРТА, УЛ."},
        {"ПР. МИРА", "МИРА, ПР."},
        {"ПЕРЕУЛ. ТИХИЙ", "ПЕРЕ ТИХИЙ, УЛ."},
        {"ТУПИК ЛЕСНОЙ", "ЛЕСНОЙ, ТУПИК"},
        {"ЦЕНТРАЛЬНЫЙ", "ЦЕНТРАЛЬНЫЙ"},
        {"ул. лесная", "ул. лесная"},  // the words are found as they are written
    };
    for (const auto& c : cases) {
        std::string name = Cp(c.Name);
        EXPECT_EQ(sub.NormalizeStreetName(name, nullptr), 0) << c.Name;
        EXPECT_EQ(Cp1251ToUtf8(name), c.Listed) << c.Name;
    }
}

TEST(SearchList, SplitsTypedTextIntoWords)
{
    const struct {
        const char* Typed;
        std::vector<std::string> Words;
    } cases[] = {
        {"1-Я ПОЛ", {"1-Я", "ПОЛ"}},     {"1-Я", {"1", "Я"}},
        {"А-Б В-Г", {"А-Б", "В", "Г"}}, {"ПОЛ  ЕВ", {"ПОЛ", "", "ЕВ"}},
        {"ПОЛ ", {"ПОЛ", ""}},           {"ПОЛ-", {"ПОЛ", ""}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words;
        for (const std::string& w : SplitWords(Cp(c.Typed))) words.push_back(Cp1251ToUtf8(w));
        EXPECT_EQ(words, c.Words) << c.Typed;
    }
}

TEST(SearchList, TypingSelectsTheFirstMatchAndCompletesAPrefix)
{
    const struct {
        const char* Typed;
        const char* Text;      // the edit afterwards
        const char* Selection; // its selected part
        const char* Item;      // selected, "" for none
        bool Saved;            // the edit's own key-up handler ran
    } cases[] = {
        {"ПОЛ", "ПОЛЕВАЯ 1-Я, УЛ.", "ЕВАЯ 1-Я, УЛ.", "ПОЛЕВАЯ 1-Я, УЛ.", false},
        {"пол", "ПОЛЕВАЯ 1-Я, УЛ.", "ЕВАЯ 1-Я, УЛ.", "ПОЛЕВАЯ 1-Я, УЛ.", false},
        {"зелен", "ЗЕЛЁНАЯ, УЛ.", "АЯ, УЛ.", "ЗЕЛЁНАЯ, УЛ.", false},
        {"1-Я ПОЛ", "1-Я ПОЛ", "", "ПОЛЕВАЯ 1-Я, УЛ.", false},
        {"1-Я", "1-Я", "", "ПОЛЕВАЯ 1-Я, УЛ.", false},
        {"МАРТА 8", "МАРТА 8", "", "8 МАРТА, УЛ.", false},
        {"1-Я  ПОЛ", "1-Я  ПОЛ", "", "", true},
        {"СЕВЕРНАЯ УЛИЦА", "СЕВЕРНАЯ УЛИЦА", "", "", true},
        {"ЮЖНАЯ", "ЮЖНАЯ", "", "", true},
    };
    for (const auto& c : cases) {
        TPanel panel{"СЕВЕРНАЯ", "ПОЛЕВАЯ 1-Я, УЛ.", "ЗЕЛЁНАЯ, УЛ.", "8 МАРТА, УЛ.", "МИРА, ПР."};
        const QString typed = QString::fromUtf8(c.Typed);
        Type(panel.Edit, typed.chopped(1));
        panel.SavedKeyUps = 0;
        Type(panel.Edit, typed.right(1));
        EXPECT_EQ(panel.Edit->text().toStdString(), c.Text) << c.Typed;
        EXPECT_EQ(panel.Edit->selectedText().toStdString(), c.Selection) << c.Typed;
        EXPECT_EQ(panel.Selected(), c.Item) << c.Typed;
        EXPECT_EQ(panel.Box->currentRow(), panel.List.ItemIndex) << c.Typed;
        EXPECT_EQ(panel.SavedKeyUps == 1, c.Saved) << c.Typed;
    }
}

TEST(SearchList, WordSearchPassesOverNamesShorterThanTheTypedText)
{
    const struct {
        std::initializer_list<const char*> Names;
        const char* Typed;
        const char* Item;  // selected, "" for none
    } cases[] = {
        {{"МИРА", "ПРОСПЕКТ МИРА"}, "А МИР", "ПРОСПЕКТ МИРА"},
        {{"МИРА"}, "А МИР", ""},
        {{"АМИРА"}, "А МИР", "АМИРА"},  // as long as the text will do
        {{"1ЛЕС", "ЛЕСНАЯ 1-Я"}, "ЛЕС 1", "ЛЕСНАЯ 1-Я"},
    };
    for (const auto& c : cases) {
        TPanel panel(c.Names);
        const QString typed = QString::fromUtf8(c.Typed);
        Type(panel.Edit, typed.chopped(1));
        panel.SavedKeyUps = 0;
        Type(panel.Edit, typed.right(1));
        EXPECT_EQ(panel.Selected(), c.Item) << c.Typed;
        EXPECT_EQ(panel.Edit->text(), typed) << c.Typed << ": the words are not completed";
        EXPECT_EQ(panel.SavedKeyUps == 1, !*c.Item) << c.Typed << ": the edit's own handler runs when none is found";
    }
}

TEST(SearchList, ArrowAndPageKeysMoveThroughTheList)
{
    const struct {
        const char* What;
        int Start;
        int Key;
        int Index;  // afterwards, -1 none
    } cases[] = {
        {"down from none", -1, Qt::Key_Down, 0},      {"down", 3, Qt::Key_Down, 4},
        {"down at the end", 14, Qt::Key_Down, 14},    {"page down", 2, Qt::Key_PageDown, 12},
        {"page down three before the end", 11, Qt::Key_PageDown, 14},
        {"up", 5, Qt::Key_Up, 4},                     {"up at the top", 0, Qt::Key_Up, 0},
        {"up from none", -1, Qt::Key_Up, 0},          {"page up", 13, Qt::Key_PageUp, 3},
        {"page up near the top", 4, Qt::Key_PageUp, 0},
    };
    for (const auto& c : cases) {
        TPanel panel{"А1", "А2", "А3", "А4", "А5", "А6", "А7", "А8", "А9", "Б1", "Б2", "Б3", "Б4", "Б5", "Б6"};
        panel.List.ItemIndex = c.Start;
        Press(panel.Edit, c.Key);
        EXPECT_EQ(panel.List.ItemIndex, c.Index) << c.What;
        EXPECT_EQ(panel.Box->currentRow(), c.Index) << c.What;
        EXPECT_EQ(panel.Edit->text().toStdString(), panel.Selected()) << c.What;
        EXPECT_EQ(panel.Edit->selectedText(), panel.Edit->text()) << c.What;
    }
    TPanel empty{};
    Press(empty.Edit, Qt::Key_Down);
    Press(empty.Edit, Qt::Key_PageUp);
    EXPECT_EQ(empty.List.ItemIndex, -1);
    EXPECT_TRUE(empty.Edit->text().isEmpty());
}

TEST(SearchList, SomeKeysStartNoSearchAndTheMapCanHaveTheKeyboard)
{
    TPanel panel{"ЛЕСНАЯ", "ЛУГОВАЯ"};
    panel.Edit->setText(QString::fromUtf8("ЛУ"));
    for (int key : {Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Space, Qt::Key_Left, Qt::Key_Shift}) {
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(panel.Edit, &up);
        EXPECT_EQ(panel.List.ItemIndex, -1) << key;
    }
    // Enter puts the chosen name into the edit.
    panel.List.ItemIndex = 1;
    Press(panel.Edit, Qt::Key_Return, "\r");
    EXPECT_EQ(panel.Edit->text().toStdString(), "ЛУГОВАЯ");

    // While the map has the keyboard, typing changes nothing.
    panel.Edit->clear();
    panel.List.ItemIndex = -1;
    panel.List.SetAutoSearch(false);
    panel.SavedKeyUps = 0;
    Type(panel.Edit, "лес");
    EXPECT_TRUE(panel.Edit->text().isEmpty());
    EXPECT_EQ(panel.List.ItemIndex, -1);
    EXPECT_EQ(panel.SavedKeyUps, 0);
    panel.List.SetAutoSearch(true);
    Type(panel.Edit, "лес");
    EXPECT_EQ(panel.Selected(), "ЛЕСНАЯ");
}

TEST(SearchList, SortedListKeepsTheFirstOfEqualNames)
{
    const struct {
        const char* What;
        bool Updating;
        std::vector<const char*> Added;
        std::vector<std::string> Listed;
    } cases[] = {
        {"one at a time", false, {"УЛИЦА", "Улица", "АЛЛЕЯ", "ЁЛКИ", "ЕЛКИ"}, {"АЛЛЕЯ", "ЕЛКИ", "ЁЛКИ", "УЛИЦА"}},
        {"in an update", true, {"УЛИЦА", "Улица", "АЛЛЕЯ", "ЁЛКИ", "ЕЛКИ"}, {"АЛЛЕЯ", "ЕЛКИ", "ЁЛКИ", "УЛИЦА"}},
        {"in an update, the first stays", true, {"ёлки", "ЁЛКИ", "Ёлки"}, {"ёлки"}},
    };
    for (const auto& c : cases) {
        TSearchText list(nullptr, nullptr, nullptr);
        QListWidget box;
        list.SetListBox(&box);
        if (c.Updating) list.BeginUpdate();
        std::vector<std::weak_ptr<TData>> payloads;
        for (const char* name : c.Added) {
            const TDataPtr data = Object(int32_t(payloads.size()));
            payloads.push_back(data);
            EXPECT_EQ(list.AddItem(Cp(name), data), 1) << c.What << ": " << name;
        }
        EXPECT_EQ(box.count(), c.Updating ? 0 : int(c.Listed.size())) << c.What << ": shown only after the update";
        if (c.Updating) list.EndUpdate();
        EXPECT_EQ(Names(list), c.Listed) << c.What;
        ASSERT_EQ(box.count(), int(c.Listed.size())) << c.What;
        EXPECT_EQ(box.item(0)->text().toStdString(), c.Listed[0]) << c.What;
        // A name not listed leaves its payload only in the index of sub-lists.
        list.SubLists.clear();
        std::size_t alive = 0;
        for (const auto& p : payloads) alive += !p.expired();
        EXPECT_EQ(alive, c.Listed.size()) << c.What;
    }
}

// Names and object codes of a list and its child lists, in order.
std::vector<std::string> Contents(const TSearch& list)
{
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.Items.Count(); ++i) {
        const TData& d = *list.Items.Data(i);
        out.push_back(Cp1251ToUtf8(list.Items.Name(i)) + (d.Key() ? "#" + std::to_string(d.Key()->Code) : ""));
    }
    for (const auto& child : list.Children) {
        out.push_back("[" + Cp1251ToUtf8(child->Name));
        for (std::string& line : Contents(*child)) out.push_back("  " + line);
    }
    return out;
}

// In an update a sorted list sorts once at the end: adds, removals by key
// and looks meanwhile must come out as one at a time would have them.
TEST(SearchList, AnUpdateEndsAsAddingAndRemovingOneAtATime)
{
    const char* const names[] = {"РЫНОК", "Рынок", "рынок", "ЁЛКИ", "ЕЛКИ", "ёлки", "ВОКЗАЛ", "ВОКЗАЛ НОВЫЙ"};
    const char* const groups[] = {"Торговля", "Транспорт"};
    uint32_t seed = 7;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return int32_t((seed >> 8) % n);
    };
    for (int round = 0; round < 40; ++round) {
        TSearchText now(nullptr, nullptr, nullptr), later(nullptr, nullptr, nullptr);
        later.BeginUpdate();
        std::string steps;
        for (int step = 0; step < 80; ++step) {
            const int32_t code = next(6);
            const std::string name = Cp(names[next(std::size(names))]);
            const std::string group = Cp(groups[next(2)]);
            const bool also = next(2) == 1;
            switch (next(7)) {
            case 0:
            case 1:
                steps += " -" + std::to_string(code);
                ASSERT_EQ(later.RemoveItemsByKey({0, 1, 134, 24, code}), now.RemoveItemsByKey({0, 1, 134, 24, code}))
                    << "round " << round << ":" << steps;
                break;
            case 2:
                steps += " ?";
                ASSERT_EQ(later.Items.Count(), now.Items.Count()) << "round " << round << ":" << steps;
                break;
            case 3:
                steps += " s" + std::to_string(code);
                now.AddToSubList(group, name, also, Object(code));
                later.AddToSubList(group, name, also, Object(code));
                break;
            case 4:
                steps += " g" + std::to_string(code);
                now.AddToSubGroup(group, group + "1", name, also, Object(code));
                later.AddToSubGroup(group, group + "1", name, also, Object(code));
                break;
            default:
                steps += " +" + std::to_string(code);
                now.AddItem(name, Object(code));
                later.AddItem(name, Object(code));
            }
        }
        later.EndUpdate();
        ASSERT_EQ(Contents(later), Contents(now)) << "round " << round << ":" << steps;
    }
}

// The group is made now or was there; with AlsoMain the item goes to the
// main list, and to the group's own list only when the group is new.
TEST(SearchList, AddToSubGroupAddsToTheMainListWhenAsked)
{
    using TNames = std::vector<std::string>;
    const struct {
        bool GroupThere;
        bool AlsoMain;
        TNames Main, Group, Subgroup;
    } cases[] = {
        {false, false, {"Транспорт"}, {"Вокзалы"}, {"ВОКЗАЛ"}},
        {false, true, {"ВОКЗАЛ", "Транспорт"}, {"ВОКЗАЛ", "Вокзалы"}, {"ВОКЗАЛ"}},
        {true, false, {"Транспорт"}, {"Вокзалы", "Стоянки"}, {"ВОКЗАЛ"}},
        {true, true, {"ВОКЗАЛ", "Транспорт"}, {"Вокзалы", "Стоянки"}, {"ВОКЗАЛ"}},
    };
    for (const auto& c : cases) {
        TSearchText list(nullptr, nullptr, nullptr);
        if (c.GroupThere) list.AddToSubGroup(Cp("Транспорт"), Cp("Стоянки"), Cp("СТОЯНКА"), false, Object(2));
        EXPECT_EQ(list.AddToSubGroup(Cp("Транспорт"), Cp("Вокзалы"), Cp("ВОКЗАЛ"), c.AlsoMain, Object(1)), 1);
        const std::string what = std::string(c.GroupThere ? "a group there" : "a new group") +
                                 (c.AlsoMain ? ", also the main list" : "");
        EXPECT_EQ(Names(list), c.Main) << what;
        ASSERT_NE(ListAt(list, {"Транспорт"}), nullptr) << what;
        EXPECT_EQ(Names(*ListAt(list, {"Транспорт"})), c.Group) << what;
        ASSERT_NE(ListAt(list, {"Транспорт", "Вокзалы"}), nullptr) << what;
        EXPECT_EQ(Names(*ListAt(list, {"Транспорт", "Вокзалы"})), c.Subgroup) << what;
    }
}

TEST(SearchList, ChildListsShareTheirPayloadsWithTheParent)
{
    std::weak_ptr<TData> shared, child;
    std::weak_ptr<TSearchText> group;
    {
        TSearchText list(nullptr, nullptr, nullptr);
        const TDataPtr both = Object(1), alone = Object(2);
        shared = both;
        child = alone;
        EXPECT_EQ(list.AddToSubList(Cp("Медицина"), Cp("БОЛЬНИЦА"), true, both), 1);
        EXPECT_EQ(list.AddToSubList(Cp("Медицина"), Cp("АПТЕКА"), false, alone), 1);
        EXPECT_EQ(list.AddToSubGroup(Cp("Транспорт"), Cp("Вокзалы"), Cp("ВОКЗАЛ"), false, Object(3)), 1);
        ASSERT_EQ(list.Children.size(), 2u);
        group = list.Children[0];
        EXPECT_EQ(Names(list), (std::vector<std::string>{"БОЛЬНИЦА", "Медицина", "Транспорт"}));
        EXPECT_EQ(Names(*list.Children[0]), (std::vector<std::string>{"АПТЕКА", "БОЛЬНИЦА"}));
        const TSearchText& transport = *list.FindChild(Cp("Транспорт"));
        EXPECT_EQ(Names(transport), std::vector<std::string>{"Вокзалы"});
        EXPECT_EQ(Names(*transport.FindChild(Cp("Вокзалы"))), std::vector<std::string>{"ВОКЗАЛ"});
        EXPECT_EQ(list.Items.Data(1)->Kind, SubListKind);

        // Removal by key takes the object out of every list and frees nothing
        // that a list still holds.
        EXPECT_EQ(list.RemoveItemsByKey({0, 1, 134, 24, 1}), 2);
        EXPECT_EQ(Names(list), (std::vector<std::string>{"Медицина", "Транспорт"}));
        EXPECT_EQ(Names(*list.Children[0]), std::vector<std::string>{"АПТЕКА"});
        EXPECT_EQ(list.RemoveItemsByKey({7, 9, 134, 24, 3}), 1) << "model number and force are not compared";
        EXPECT_EQ(list.RemoveItemsByKey({0, 1, 134, 24, 3}), 0);
        EXPECT_FALSE(child.expired());
    }
    EXPECT_TRUE(shared.expired());
    EXPECT_TRUE(child.expired());
    EXPECT_TRUE(group.expired());
}

} // namespace
} // namespace tarn::test
