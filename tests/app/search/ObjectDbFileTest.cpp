// An object database written field by field in the stored layout, with
// three supplements and a banner file, loaded by the main window's own
// start-up: the lists, the object count, the registry, the banners and the
// ticker lines against tables spelled out here.
#include "../AppSupport.h"
#include "../../db/DbSupport.h"
#include "SearchSupport.h"

#include "app/cards/Cust_f.h"
#include "app/cards/UnCont.h"
#include "app/search/ObjectDb.h"
#include "tools/CityCards.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn::test {
namespace {

TObjectKey Obj(int32_t code) { return {0, 1, 134, 24, code}; }

TRecordFields Rec(const char* name, int32_t group, int32_t subgroup, int extra, TObjectKey key)
{
    TRecordFields r;
    r.Name = name;
    r.Group = group;
    r.SubGroup = subgroup;
    r.Extra = extra;
    r.Key = key;
    return r;
}

TRecordFields Deleted(TRecordFields r)
{
    r.Deleted = 1;
    return r;
}

TDbBytes& Card(TDbBytes& b, TRecordFields r, const char* type, const std::string& data)
{
    r.Type = type;
    r.Data = data;
    return CardRecord(b, r);
}

std::string DatFile()
{
    TDbBytes b;
    b.I32(7);
    Group(b, 10, "Медицина", 0);
    Group(b, 11, "Больницы", 1);
    Group(b, 12, "Аптеки", 1);
    Group(b, 20, "Транспорт", 0);
    Group(b, 30, "Прочее", 2);
    Group(b, 25, "Рынки", 0);    // after 30: out of reach
    Group(b, 20, "Вокзалы", 1);  // likewise
    Record(b, Rec("БОЛЬНИЦА № 1", 10, 11, 0, Obj(1)));
    Record(b, Rec("БОЛЬНИЦА № 2", 10, 11, 1, Obj(2)));
    Record(b, Rec("ВОКЗАЛ", 20, 0, 1, Obj(3)));
    Record(b, Rec("АВТОБУС", 20, 20, 0, Obj(4)));
    Record(b, Rec("АПТЕКА", 0, 12, 0, Obj(5)));
    Card(b, Rec("АПТЕКА НОЧНАЯ", 0, 12, 1, Obj(6)), "TXT", Cp("Круглосуточно"));
    Record(b, Rec("РЫНОК", 25, 0, 0, Obj(7)));
    Record(b, Rec("РЫНОК", 30, 0, 0, Obj(8)));  // the station under the market's name
    Record(b, Deleted(Rec("ЗАКРЫТО", 0, 0, 0, Obj(9))));
    Record(b, Rec("НИЧЕЙ", 0, 0, 0, {1, 7, 0, 0, 0}));
    Record(b, Rec("ПУНКТ", 0, 0, 0, {0, 1, 67, 7, 11}));
    Card(b, Rec("БЕГУЩАЯ СТРОКА", 0, 0, 0, TickerKey), "TXT",
         Cp("|255Первая строка\r\nВторая строка\r\n|Третья строка\r\n"));
    TRecordFields museum = Rec("МУЗЕЙ", 0, 0, 0, Obj(13));
    museum.Type = "TXT";
    museum.Offset = 0x7FFF0000;
    museum.Size = 100;
    Record(b, museum);
    TRecordFields monument = Rec("ПАМЯТНИК", 0, 0, 0, Obj(14));
    monument.Present = 1;  // with "???" nothing follows
    monument.Size = 5;
    Record(b, monument);
    Record(b, Rec("СПРАВКА", 0, 0, 1, Obj(15)));
    return b.B;
}

std::string FirstSupplement()
{
    TDbBytes b;
    b.I32(1);
    Group(b, 1, "Торговля", 0);
    Card(b, Rec("Рынок", 0, 0, 0, Obj(7)), "TXT", Cp("Рынок открыт"));
    Record(b, Deleted(Rec("ВОКЗАЛ", 20, 0, 1, Obj(3))));
    Record(b, Rec("БОЛЬНИЦА НОВАЯ", 1, 11, 0, Obj(1)));
    Record(b, Rec("ПУСТО", 0, 0, 0, {0, 1, 0, 0, 0}));
    return b.B;
}

std::string SecondSupplement()
{
    TDbBytes b;
    b.I32(0);
    Record(b, Rec("ВОКЗАЛ ЦЕНТРАЛЬНЫЙ", 0, 0, 0, Obj(3)));
    return b.B;
}

std::string ThirdSupplement()
{
    TDbBytes b;
    b.I32(1);
    Group(b, 20, "Транспорт", 0);
    Record(b, Rec("ВОКЗАЛ НОВЫЙ", 20, 0, 0, Obj(3)));
    Record(b, Deleted(Rec("АПТЕКА НОЧНАЯ", 0, 12, 1, Obj(6))));
    return b.B;
}

std::string BannerFile()
{
    TDbBytes b;
    b.I32(1);
    Group(b, 1, "Реклама", 0);
    Card(b, Rec("JPG", 0, 0, 0, {0, 1, 136, 24, 1}), "JPG", city::JpgBanner(1, "Banner 1"));
    Card(b, Rec("GIF", 0, 0, 0, {0, 1, 67, 7, 2}), "GIF", city::GifBanner(2, "Banner 2"));
    Card(b, Rec("НЕТ ОБЪЕКТА", 0, 0, 0, {0, 1, 0, 0, 0}), "BMP", city::BmpBanner(3, "Banner 3"));
    Card(b, Rec("BMP", 0, 0, 0, {0, 1, 136, 24, 4}), "BMP", city::BmpBanner(4, "Banner 4"));
    Card(b, Deleted(Rec("СНЯТ", 0, 0, 0, {0, 1, 136, 24, 5})), "JPG", city::JpgBanner(5, "Banner 5"));
    Card(b, Rec("ICO", 0, 0, 0, {0, 1, 136, 24, 6}), "ICO", city::IcoCard({"ICO", {}, 6}));
    Card(b, Rec("WMF", 0, 0, 0, {0, 1, 136, 24, 7}), "WMF", city::WmfCard({"WMF", {}, 7}));
    TRecordFields far = Rec("ДАЛЕКО", 0, 0, 0, {0, 1, 136, 24, 8});
    far.Type = "JPG";
    far.Offset = 0x7FFF0000;
    far.Size = 10;
    Record(b, far);
    Record(b, Rec("БЕЗ КАРТИНКИ", 0, 0, 0, {0, 1, 136, 24, 9}));
    return b.B;
}

// The demo city's map with the database above in place of its own.
bool WriteDatabase(const TCityCopy& city)
{
    for (int32_t n = 1; n <= 99; ++n) std::filesystem::remove(city.File(TTarnDatabase::SupplementName(n)));
    WriteFileBytes(city.File("tarn.dat"), DatFile());
    WriteFileBytes(city.File("tarn.d02"), FirstSupplement());
    WriteFileBytes(city.File("tarn.d05"), SecondSupplement());
    WriteFileBytes(city.File("tarn.d11"), ThirdSupplement());
    WriteFileBytes(city.File("banners.dat"), BannerFile());
    return true;
}

struct THandWrittenCity {
    TCityCopy City;
    bool Written = WriteDatabase(City);
    TStubServices Services;
    TStarted<> Form = StartForm(City.ProgramDir(), Services);
};

TEST(ObjectDbFile, StartUpBuildsTheListsTheCountAndTheRegistryOfTheFiles)
{
    THandWrittenCity db;
    ASSERT_TRUE(db.Services.Errors.empty()) << db.Services.Errors[0];
    const TSearchText& objects = *db.Form->ObjectSearch;
    using TNames = std::vector<std::string>;
    const struct {
        std::initializer_list<const char*> Path;
        TNames Listed;
    } lists[] = {
        {{},
         {"АПТЕКА НОЧНАЯ", "Аптеки", "Больницы", "Медицина", "МУЗЕЙ", "ПАМЯТНИК", "ПУНКТ", "Рынок", "СПРАВКА",
          "Торговля", "Транспорт"}},
        {{"Медицина"}, {"Больницы"}},
        {{"Медицина", "Больницы"}, {"БОЛЬНИЦА № 2"}},
        {{"Больницы"}, {"БОЛЬНИЦА № 2"}},
        {{"Транспорт"}, {"АВТОБУС", "ВОКЗАЛ НОВЫЙ"}},
        {{"Аптеки"}, {"АПТЕКА", "АПТЕКА НОЧНАЯ"}},
        {{"Торговля"}, {"БОЛЬНИЦА НОВАЯ"}},
    };
    for (const auto& l : lists) {
        const TSearch* list = ListAt(objects, l.Path);
        ASSERT_NE(list, nullptr) << l.Listed[0];
        EXPECT_EQ(Names(*list), l.Listed) << (l.Path.size() ? *l.Path.begin() : "the main list");
    }
    EXPECT_EQ(db.Form->ObjList->count(), 11);
    // The supplement's market (its card) stands in the main list, neither the
    // stale key record nor the station listed under the same name.
    const TData& market = *objects.Items.Data(7);
    EXPECT_EQ(market.Kind, CardItemKind);
    EXPECT_TRUE(market.Matches(Obj(7)));
    // Eleven of "tarn.dat" (not the one of a group and subgroup, nor the
    // ticker), two of the first supplement, one each of the others.
    EXPECT_EQ(db.Form->ObjectCount, 15);

    const struct {
        const char* Name;
        uint8_t Kind;
        TObjectKey Key;
    } registered[] = {
        {"Больницы (БОЛЬНИЦА № 2)", ObjectItemKind, Obj(2)},
        {"АВТОБУС", ObjectItemKind, Obj(4)},
        {"Аптеки (АПТЕКА)", ObjectItemKind, Obj(5)},
        {"АПТЕКА НОЧНАЯ", CardItemKind, Obj(6)},
        {"РЫНОК", ObjectItemKind, Obj(8)},
        {"ПУНКТ", ObjectItemKind, {0, 1, 67, 24, 11}},
        {"БЕГУЩАЯ СТРОКА", CardItemKind, TickerKey},
        {"МУЗЕЙ", CardItemKind, Obj(13)},
        {"ПАМЯТНИК", ObjectItemKind, Obj(14)},
        {"СПРАВКА", ObjectItemKind, Obj(15)},
        {"Рынок", CardItemKind, Obj(7)},
        {"БОЛЬНИЦА НОВАЯ", ObjectItemKind, Obj(1)},
        {"ВОКЗАЛ НОВЫЙ", ObjectItemKind, Obj(3)},
    };
    const TSearchObject& actions = *db.Form->SearchObject;
    ASSERT_EQ(actions.Items.Count(), int32_t(std::size(registered)));
    for (int32_t i = 0; i < actions.Items.Count(); ++i) {
        const auto& r = registered[i];
        EXPECT_EQ(Cp1251ToUtf8(actions.Items.Name(i)), r.Name);
        EXPECT_EQ(actions.Items.Data(i)->Kind, r.Kind) << r.Name;
        EXPECT_TRUE(actions.Items.Data(i)->Matches(r.Key)) << r.Name;
    }

    const std::vector<std::pair<std::string, std::optional<int32_t>>> ticker = {
        {"Первая строка", 255}, {"Вторая строка", 0}, {"|Третья строка", std::nullopt}};
    ASSERT_EQ(db.Form->TickerLines.size(), ticker.size());
    for (std::size_t i = 0; i < ticker.size(); ++i) {
        const TTickerLine& line = db.Form->TickerLines[i];
        EXPECT_EQ(line.Text, ticker[i].first);
        EXPECT_EQ(line.Object ? std::optional<int32_t>(line.Object->Colour) : std::nullopt, ticker[i].second)
            << ticker[i].first;
    }
}

TEST(ObjectDbFile, ACardWhoseDataLiesOutsideItsFileFailsAloneWhenOpened)
{
    THandWrittenCity db;
    TSearchText& objects = *db.Form->ObjectSearch;
    objects.ItemIndex = RowOf(db.Form->ObjList, "МУЗЕЙ");
    ASSERT_GE(objects.ItemIndex, 0);
    objects.ExecuteItem(nullptr);
    ASSERT_EQ(db.Services.Errors.size(), 1u);
    EXPECT_EQ(db.Services.Errors[0].rfind("Не удаётся прочитать карточку «МУЗЕЙ»: " + db.City.File("tarn.dat") +
                                              ", смещение 0x7FFF0000, данные: 100 байт данных не лежат в файле",
                                          0),
              0u)
        << db.Services.Errors[0];

    // The supplement's card beside it opens.
    objects.ItemIndex = RowOf(db.Form->ObjList, "Рынок");
    objects.ExecuteItem(nullptr);
    EXPECT_EQ(db.Services.Errors.size(), 1u);
    ASSERT_NE(db.Form.Info->CardForm, nullptr);
    EXPECT_EQ(db.Form.Info->CardForm->Container->GetText().toStdString(), "Рынок открыт");
}

TEST(ObjectDbFile, BannersOfEveryPictureTypeTurnAndOneOutsideTheFileIsPassedOver)
{
    THandWrittenCity db;
    TMainForm& form = *db.Form;
    const struct {
        const char* Name;
        TObjectKey Key;
        uint8_t Shown;  // the viewer's kind after its turn
    } banners[] = {
        {"JPG", {0, 1, 136, 24, 1}, TUniversalContainer::KindJpeg},
        {"GIF", {0, 1, 67, 24, 2}, TUniversalContainer::KindGif},
        {"BMP", {0, 1, 136, 24, 4}, TUniversalContainer::KindBitmap},
        {"ICO", {0, 1, 136, 24, 6}, TUniversalContainer::KindIcon},
        {"WMF", {0, 1, 136, 24, 7}, TUniversalContainer::KindMetafile},
        {"ДАЛЕКО", {0, 1, 136, 24, 8}, TUniversalContainer::KindMetafile},
        {"БЕЗ КАРТИНКИ", {0, 1, 136, 24, 9}, TUniversalContainer::KindMetafile},
    };
    ASSERT_EQ(form.BannerList.Records.size(), std::size(banners));
    for (std::size_t i = 0; i < std::size(banners); ++i) {
        EXPECT_EQ(Cp1251ToUtf8(form.BannerList.Records[i].Name), banners[i].Name);
        EXPECT_EQ(form.BannerList.Records[i].Key, banners[i].Key) << banners[i].Name;
    }
    form.BannerIndex = 0;
    for (const auto& b : banners) {
        form.Timer1Timer();
        EXPECT_EQ(form.BannerViewer->ViewerKind(), b.Shown) << b.Name;
        EXPECT_EQ(form.BannerViewer->toolTip().toStdString(), b.Name);
    }
    // The banner whose picture cannot be read is said once and dropped.
    ASSERT_EQ(db.Services.Errors.size(), 1u);
    EXPECT_NE(db.Services.Errors[0].find(db.City.File("banners.dat") + ", смещение 0x7FFF0000"), std::string::npos)
        << db.Services.Errors[0];
    EXPECT_EQ(form.BannerList.Records.size(), std::size(banners) - 1);
    form.Timer1Timer();
    EXPECT_EQ(form.BannerIndex, 1) << "the turn starts again";
    EXPECT_EQ(form.BannerViewer->ViewerKind(), TUniversalContainer::KindJpeg);
}

} // namespace
} // namespace tarn::test
