// Where the object database's records go: the object list's main list,
// group and subgroup lists, the action registry, and what a supplement
// replaces.
#include "../AppSupport.h"
#include "SearchSupport.h"

#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"
#include "tools/City.h"
#include "tools/CityData.h"
#include "tools/CityDatabase.h"

#include <QLabel>
#include <QListWidget>

#include <gtest/gtest.h>

#include <functional>

namespace tarn::test {
namespace {

// Every list, the main one first.
void EachList(const TSearch& list, const std::function<void(const TSearch&)>& f)
{
    f(list);
    for (const auto& child : list.Children) EachList(*child, f);
}

int ListedCount(const TSearch& main, const TObjectKey& key)
{
    int count = 0;
    EachList(main, [&](const TSearch& l) {
        for (int32_t i = 0; i < l.Items.Count(); ++i) count += l.Items.Data(i)->Matches(key);
    });
    return count;
}

int RegisteredCount(const TSearch& registry, const TObjectKey& key)
{
    int count = 0;
    for (int32_t i = 0; i < registry.Items.Count(); ++i) count += registry.Items.Data(i)->Matches(key);
    return count;
}

city::TDataRecord Record(const char* name, int32_t group, int32_t subgroup, bool extra, TObjectKey key)
{
    city::TDataRecord r;
    r.Name = Cp(name);
    r.Group = group;
    r.SubGroup = subgroup;
    r.ExtraListing = extra;
    r.Key = key;
    r.FileType = city::NoData;
    r.DataPresent = false;
    return r;
}

city::TDataRecord Card(const char* name, int32_t group, int32_t subgroup, TObjectKey key, const std::string& text)
{
    city::TDataRecord r = Record(name, group, subgroup, false, key);
    r.FileType = "TXT";
    r.DataPresent = true;
    r.Data = text;
    return r;
}

TObjectKey Key(int32_t layer, int32_t sheet, int32_t code) { return {0, 1, layer, sheet, code}; }

// A database of every placement rule and a supplement, loaded as the
// main window loads it.
struct TLoaded {
    TLoaded()
    {
        const std::vector<city::TDataGroup> groups = {
            {1, Cp("Медицина"), 0}, {2, Cp("Транспорт"), 0}, {101, Cp("Больницы"), 1}, {201, Cp("Остановки"), 1}};
        city::TDataFileWriter dat(groups);
        dat.Add(Record("БОЛЬНИЦА № 1", 1, 101, false, Key(134, 24, 1)));
        dat.Add(Record("БОЛЬНИЦА № 2", 1, 101, true, Key(134, 24, 2)));
        dat.Add(Record("ВОКЗАЛ", 2, 0, true, Key(134, 24, 3)));
        dat.Add(Record("АВТОБУС", 2, 0, false, Key(134, 24, 4)));
        dat.Add(Record("ОСТАНОВКА", 0, 201, false, Key(134, 24, 5)));
        dat.Add(Record("КИОСК", 0, 201, true, Key(134, 24, 6)));
        dat.Add(Record("СПРАВКА", 0, 0, false, Key(134, 24, 7)));
        dat.Add(Record("ПУНКТ", 9, 0, false, Key(67, 7, 8)));  // no group 9; the places' sheet is 24
        dat.Add(Card("ТЕАТР", 0, 201, Key(134, 24, 9), "Театр"));
        dat.Add(Card("ТЕАТР", 0, 201, Key(134, 24, 10), "Второй театр"));  // a name listed already
        dat.Add(Card("БЕГУЩАЯ СТРОКА", 0, 0, TickerKey, "Строка"));
        dat.Add(Record("НИЧЕЙ", 0, 0, false, Key(0, 0, 0)));
        city::TDataRecord gone = Record("ЗАКРЫТО", 0, 0, false, Key(134, 24, 11));
        gone.Deleted = true;
        dat.Add(gone);
        dat.Save(Dir.File("tarn.dat"));

        city::TDataFileWriter d05(groups);
        d05.Add(Card("СПРАВКА НОВАЯ", 0, 0, Key(134, 24, 7), "Новая справка"));
        city::TDataRecord deleted = Record("ВОКЗАЛ", 2, 0, true, Key(134, 24, 3));
        deleted.Deleted = true;
        d05.Add(deleted);
        d05.Save(Dir.File("tarn.d05"));

        Objects.BeginUpdate();
        TTarnDatabase db(nullptr, nullptr);
        db.OnRecord = [this](const TLoadedRecord& r) { Count += PlaceObjectRecord(Objects, Actions, r); };
        db.Load(Dir.Path() + "/");
        Objects.EndUpdate();
    }
    TTempDir Dir;
    TSearchText Objects{nullptr, nullptr, nullptr};
    TSearchObject Actions{nullptr, nullptr, nullptr};
    int32_t Count = 0;
};

TEST(ObjectDb, RecordsGoWhereThePlacementRulesSay)
{
    TLoaded db;
    using TNames = std::vector<std::string>;
    const struct {
        std::initializer_list<const char*> Path;
        TNames Listed;
    } lists[] = {
        {{}, {"Больницы", "ВОКЗАЛ", "КИОСК", "Медицина", "Остановки", "ПУНКТ", "СПРАВКА НОВАЯ", "Транспорт"}},
        {{"Медицина"}, {"Больницы"}},
        {{"Медицина", "Больницы"}, {"БОЛЬНИЦА № 1", "БОЛЬНИЦА № 2"}},
        {{"Больницы"}, {"БОЛЬНИЦА № 2"}},
        {{"Транспорт"}, {"АВТОБУС", "ВОКЗАЛ"}},
        {{"Остановки"}, {"КИОСК", "ОСТАНОВКА", "ТЕАТР"}},
    };
    for (const auto& l : lists) {
        const TSearch* list = ListAt(db.Objects, l.Path);
        ASSERT_NE(list, nullptr) << l.Listed[0];
        EXPECT_EQ(Names(*list), l.Listed);
    }
    EXPECT_EQ(db.Objects.Children.size(), 4u);
    // Counted: the extra listing of a subgroup, group-only, subgroup-only
    // and main-list records, both theatres (the second one's name was
    // listed already, the add still answers 1), the supplement's record.
    EXPECT_EQ(db.Count, 1 + 2 + 2 + 1 + 2 + 1 + 1);
}

TEST(ObjectDb, EveryRecordIsRegisteredOnceUnderItsName)
{
    TLoaded db;
    const struct {
        const char* Name;
        TObjectKey Key;
    } registered[] = {
        {"Больницы (БОЛЬНИЦА № 1)", Key(134, 24, 1)}, {"Больницы (БОЛЬНИЦА № 2)", Key(134, 24, 2)},
        {"ВОКЗАЛ", Key(134, 24, 3)},                  {"АВТОБУС", Key(134, 24, 4)},
        {"Остановки (ОСТАНОВКА)", Key(134, 24, 5)},    {"Остановки (КИОСК)", Key(134, 24, 6)},
        {"ПУНКТ", Key(67, 24, 8)},                    {"ТЕАТР", Key(134, 24, 9)},
        {"ТЕАТР", Key(134, 24, 10)},                  {"БЕГУЩАЯ СТРОКА", TickerKey},
        {"СПРАВКА НОВАЯ", Key(134, 24, 7)},
    };
    ASSERT_EQ(db.Actions.Items.Count(), int32_t(std::size(registered)));
    for (int32_t i = 0; i < db.Actions.Items.Count(); ++i) {
        EXPECT_EQ(Cp1251ToUtf8(db.Actions.Items.Name(i)), registered[i].Name);
        EXPECT_TRUE(db.Actions.Items.Data(i)->Matches(registered[i].Key)) << registered[i].Name;
        EXPECT_TRUE(db.Actions.HasAction(registered[i].Key)) << registered[i].Name;
    }
    const struct {
        const char* What;
        TObjectKey Key;
        int Listed, Registered;
    } objects[] = {
        {"the ticker: registered once, not listed", TickerKey, 0, 1},
        {"the places' layer: not under its stored sheet", Key(67, 7, 8), 0, 0},
        {"a deleted record in the supplement removes nothing", Key(134, 24, 3), 2, 1},
        {"an equal name in the same list: registered, not listed", Key(134, 24, 10), 0, 1},
    };
    for (const auto& o : objects) {
        EXPECT_EQ(ListedCount(db.Objects, o.Key), o.Listed) << o.What;
        EXPECT_EQ(RegisteredCount(db.Actions, o.Key), o.Registered) << o.What;
    }
    EXPECT_EQ(db.Actions.GetObjectText(Key(134, 24, 7)).toStdString(), "") << "no services: no card is read";
}

TEST(ObjectDb, DemoCityListsItsOrganisationsGroupsAndPlaces)
{
    TCityCopy city;
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    EXPECT_TRUE(services.Errors.empty());
    const TSearchText& objects = *form->ObjectSearch;
    const TSearchObject& actions = *form->SearchObject;
    EXPECT_EQ(form->ObjPanel->text().toStdString(), "  Кол-во объектов: " + std::to_string(form->ObjectCount));
    EXPECT_GT(form->ObjectCount, 20);
    EXPECT_EQ(form->ObjList->count(), objects.Items.Count());

    const struct {
        std::initializer_list<const char*> Path;
        const char* Name;
        bool Listed;
    } cases[] = {
        {{}, "ИНФОРМАЦИОННЫЙ ЦЕНТР «TARN»", true},            // neither group nor subgroup
        {{}, "ГОСТИНИЦА № 2", true},                          // a group of its own, listed in the main list too
        {{"Гостиницы"}, "ГОСТИНИЦА № 2", true},
        {{}, "Банкоматы", true},                              // a subgroup without a group
        {{"Медицина", "Больницы"}, "БОЛЬНИЦА № 2", true},     // group and subgroup
        {{"Больницы"}, "БОЛЬНИЦА № 2", true},                 // and the subgroup's extra listing
        {{"Медицина"}, "БОЛЬНИЦА № 2", false},
        {{"Справка", "Пункты распространения"}, "ДОМ КНИГИ", true},
        {{"Гостиницы"}, "ГОСТИНИЦА «ЛИСТОГРАД» (ПОСЛЕ РЕМОНТА)", true},  // the supplement's
        {{"Гостиницы"}, "ГОСТИНИЦА «ЛИСТОГРАД»", false},
        {{"Торговля и услуги", "Банки"}, "БАНК «ЛИСТОГРАДСКИЙ»", true},   // its deletion in the supplement removes nothing
        {{"Торговля и услуги", "Магазины"}, "МАГАЗИН «НОВОСЁЛ»", true},
        {{"Торговля и услуги", "Магазины"}, "ЗАКРЫТЫЙ МАГАЗИН", false},
        {{}, "-----", false},
        {{}, "БЕГУЩАЯ СТРОКА", false},
    };
    for (const auto& c : cases) {
        const TSearch* list = ListAt(objects, c.Path);
        ASSERT_NE(list, nullptr) << c.Name;
        const std::vector<std::string> names = Names(*list);
        EXPECT_EQ(std::count(names.begin(), names.end(), c.Name), c.Listed ? 1 : 0) << c.Name;
    }
    const TObjectKey ticker{0, 1, city::TickerLayerId, city::TickerSheetId, city::TickerCode};
    EXPECT_EQ(ListedCount(objects, ticker), 0);
    EXPECT_EQ(RegisteredCount(actions, ticker), 1);
    // The eighth place is stored with sheet 7.
    EXPECT_TRUE(actions.HasAction({0, 1, city::PlacesLayerId, city::PlacesSheetId, 8}));
    EXPECT_FALSE(actions.HasAction({0, 1, city::PlacesLayerId, 7, 8}));
    EXPECT_EQ(Cp1251ToUtf8(actions.Items.Name(7)), "Пункты распространения (САЛОН СВЯЗИ «ВОЛНА»)");
}

} // namespace
} // namespace tarn::test
