// The object database reader on files written by hand from the stored
// layout: every field, the records the loader hands on or drops, group
// names, supplements, the gauge, banners and the cards' bytes.
#include "DbSupport.h"

#include "tools/CityData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace tarn::test {
namespace {

// Two groups and two records, byte by byte: a key record, then a card of
// three bytes of text.
const std::string HandWritten = Bytes({
    0x02, 0x00, 0x00, 0x00,                          // 2 table entries
    0x01, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,  // id 1, "А" (code page 1251), level 0
    0x02, 0x00, 0x00, 0x00, 'B', 0x00, 0x01, 0x00, 0x00, 0x00,   // id 2, "B", level 1
    // record 1 at 0x18
    'S', 'h', 'o', 'p', 0x00,                         // name
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,  // group 1, subgroup 2
    0x00, 0x00,                                      // not deleted, no archive
    0x00,                                            // text ""
    '?', '?', '?', 0x00,                             // type: no data
    0x01,                                            // extra listing
    'x', 0x00,                                       // second text
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // key: force 1, model 1,
    0x89, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00,  //      layer 137, sheet 24,
    0x2C, 0x01, 0x00, 0x00,                          //      code 300
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // offset 0, size 0
    0x00,                                            // no data present
    // record 2 at 0x4C
    'C', 'a', 'r', 'd', 0x00,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // group 1, subgroup 0
    0x00, 0x00, 0x00,
    'T', 'X', 'T', 0x00,
    0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,  // key 0, 1, 11, 5, 811
    0x0B, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00,
    0x2B, 0x03, 0x00, 0x00,
    0x7F, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,  // data at 0x7F, 3 bytes
    0x01,                                            // present
    'H', 'i', '!',
});

TEST(TarnData, ReadsEveryFieldOfAHandWrittenFile)
{
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), HandWritten);
    const TLoaded loaded = LoadFolder(dir.Path());
    ASSERT_EQ(loaded.Error, "");
    ASSERT_EQ(loaded.Records.size(), 2u);

    const TLoadedRecord& shop = loaded.Records[0];
    EXPECT_EQ(shop.Record.Name, "Shop");
    EXPECT_EQ(shop.Record.Group, 1);
    EXPECT_EQ(shop.Record.SubGroup, 2);
    EXPECT_EQ(shop.Record.FileType, "???");
    EXPECT_EQ(shop.Record.ExtraListing, 1);
    EXPECT_EQ(shop.Record.Text2, "x");
    EXPECT_EQ(shop.Record.Key, (TObjectKey{1, 1, 137, 24, 300})) << "the force flag as stored";
    EXPECT_EQ(shop.GroupName, Cp("А"));
    EXPECT_EQ(shop.SubGroupName, "B");
    EXPECT_EQ(shop.FileNumber, 0);
    EXPECT_EQ(shop.Kind, ObjectItemKind);
    EXPECT_EQ(shop.Item.Key, shop.Record.Key);

    const TLoadedRecord& card = loaded.Records[1];
    EXPECT_EQ(card.Kind, CardItemKind);
    EXPECT_EQ(card.GroupName, Cp("А"));
    EXPECT_EQ(card.SubGroupName, "");
    EXPECT_EQ(card.Card.Key, (TObjectKey{0, 1, 11, 5, 811}));
    EXPECT_EQ(card.Card.FileType, "TXT");
    EXPECT_EQ(card.Card.DataOffset, 0x7F);
    EXPECT_EQ(card.Card.DataSize, 3);
    EXPECT_EQ(card.Card.Archive, 0);
    EXPECT_EQ(card.Card.ContainerType, "ZIP");
    EXPECT_EQ(ReadCardData(card.Card), "Hi!") << "the file stays open for the card";

    // 50 + position * 50 / 130 at each record.
    EXPECT_EQ(loaded.Gauge, (std::vector<int32_t>{59, 79}));
}

TEST(TarnData, WriterWritesTheHandWrittenBytes)
{
    city::TDataFileWriter w({{1, Cp("А"), 0}, {2, "B", 1}});
    city::TDataRecord shop;
    shop.Name = "Shop";
    shop.Group = 1;
    shop.SubGroup = 2;
    shop.FileType = city::NoData;
    shop.ExtraListing = true;
    shop.Text2 = "x";
    shop.Key = {1, 1, 137, 24, 300};
    shop.DataPresent = false;
    w.Add(shop);
    city::TDataRecord card;
    card.Name = "Card";
    card.Group = 1;
    card.FileType = "TXT";
    card.Key = {0, 1, 11, 5, 811};
    card.Data = "Hi!";
    w.Add(card);
    EXPECT_TRUE(SameBytes(w.Bytes(), HandWritten));
    EXPECT_EQ(w.Records(), 2);

    TTempDir dir;
    w.Save(dir.File("tarn.dat"));
    EXPECT_TRUE(SameBytes(ReadFileBytes(dir.File("tarn.dat")), HandWritten));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no temporary file left";
}

// The loader's rules, each on a file of its own: what it hands on, in order.
struct TExpect {
    std::string Name;
    uint8_t Kind;
    TObjectKey Key;
    std::string Group;
    std::string SubGroup;
    std::string FileType;
};

struct TEdgeCase {
    const char* Case;
    std::vector<TRecordFields> Records;
    std::vector<TExpect> Expected;
};

TRecordFields R(const char* name, TObjectKey key = {0, 1, 134, 24, 1})
{
    TRecordFields r;
    r.Name = name;
    r.Key = key;
    return r;
}

TRecordFields With(TRecordFields r, const std::function<void(TRecordFields&)>& change)
{
    change(r);
    return r;
}

const TObjectKey K{0, 1, 134, 24, 1};

TEST(TarnData, LoaderRulesOnRecords)
{
    const TRecordFields next = R("next");
    const TExpect nextOut{"next", ObjectItemKind, K, "", "", "???"};
    const std::vector<TEdgeCase> cases = {
        {"a key of layer, sheet and code 0 is dropped, whatever its force and model",
         {R("zero", {1, 7, 0, 0, 0}), next},
         {nextOut}},
        {"a deleted record is dropped", {With(R("gone"), [](auto& r) { r.Deleted = 1; }), next}, {nextOut}},
        {"layer 67 is moved to sheet 24", {R("place", {0, 1, 67, 7, 3})}, {{"place", 1, {0, 1, 67, 24, 3}, "", "", "???"}}},
        {"\"???\" with data present skips nothing",
         {With(R("none"), [](auto& r) { r.Present = 1; r.Size = 4; }), next},
         {{"none", 1, K, "", "", "???"}, nextOut}},
        {"data not present skips nothing; the card's data lies elsewhere in the file",
         {With(R("pic"), [](auto& r) { r.Type = "JPG"; r.Offset = 0; r.Size = 4; }), next},
         {{"pic", 6, K, "", "", "JPG"}, nextOut}},
        {"\"???\" is a key record whatever size it claims",
         {With(R("none"), [](auto& r) { r.Size = 10; r.Offset = 0; })},
         {{"none", 1, K, "", "", "???"}}},
        {"a type keeps three characters and its data is skipped",
         {With(R("long"), [](auto& r) { r.Type = "JPEG"; r.Present = 1; r.Size = 2; r.Data = "ab"; r.Offset = 0; }), next},
         {{"long", 6, K, "", "", "JPE"}, nextOut}},
        {"a typed record of no bytes is a key record",
         {With(R("empty"), [](auto& r) { r.Type = "TXT"; r.Present = 1; })},
         {{"empty", 1, K, "", "", "TXT"}}},
        {"a negative size without data is a key record",
         {With(R("minus"), [](auto& r) { r.Type = "TXT"; r.Size = -5; })},
         {{"minus", 1, K, "", "", "TXT"}}},
        {"group and subgroup names by id and level",
         {With(R("both"), [](auto& r) { r.Group = 1; r.SubGroup = 1; }),
          With(R("group"), [](auto& r) { r.Group = 1; }),
          With(R("sub"), [](auto& r) { r.SubGroup = 5; }),
          With(R("levels"), [](auto& r) { r.Group = 5; r.SubGroup = 1; })},
         {{"both", 1, K, Cp("Медицина"), Cp("Больницы"), "???"},
          {"group", 1, K, Cp("Медицина"), "", "???"},
          {"sub", 1, K, "", Cp("Аптеки"), "???"},
          {"levels", 1, K, "", Cp("Больницы"), "???"}}},
    };
    for (const TEdgeCase& c : cases) {
        TDbBytes b;
        b.I32(3);
        Group(b, 1, "Медицина", 0);
        Group(b, 1, "Больницы", 1);
        Group(b, 5, "Аптеки", 1);
        for (const TRecordFields& r : c.Records) Record(b, r);
        TTempDir dir;
        WriteFileBytes(dir.File("tarn.dat"), b.B);
        const TLoaded loaded = LoadFolder(dir.Path());
        EXPECT_EQ(loaded.Error, "") << c.Case;
        ASSERT_EQ(loaded.Records.size(), c.Expected.size()) << c.Case;
        for (std::size_t i = 0; i < c.Expected.size(); ++i) {
            const TExpect& e = c.Expected[i];
            const TLoadedRecord& got = loaded.Records[i];
            EXPECT_EQ(got.Record.Name, e.Name) << c.Case;
            EXPECT_EQ(got.Kind, e.Kind) << c.Case << ": " << e.Name;
            EXPECT_EQ(got.Record.Key, e.Key) << c.Case << ": " << e.Name;
            EXPECT_EQ(got.Kind == CardItemKind ? got.Card.Key : got.Item.Key, e.Key) << c.Case;
            EXPECT_EQ(got.GroupName, e.Group) << c.Case << ": " << e.Name;
            EXPECT_EQ(got.SubGroupName, e.SubGroup) << c.Case << ": " << e.Name;
            EXPECT_EQ(got.Record.FileType, e.FileType) << c.Case << ": " << e.Name;
        }
    }
}

TEST(TarnData, GroupLookUpScansInOrderAndGivesUpAtAGreaterId)
{
    const TGroupTable table = {{1, "a", 0}, {2, "g", 0}, {2, "s", 1}, {7, "b", 1}, {4, "late", 0}};
    const struct {
        int32_t Id, Level;
        const char* Name;
    } cases[] = {
        {1, 0, "a"}, {2, 0, "g"}, {2, 1, "s"}, {7, 1, "b"},
        {1, 1, ""},   // the level must match
        {4, 0, ""},   // stored after a greater id: never reached
        {9, 0, ""},
    };
    const TGroupIndex index(table);
    for (const auto& c : cases) {
        EXPECT_EQ(FindGroupLevelName(table, c.Id, c.Level), c.Name) << c.Id << "/" << c.Level;
        EXPECT_EQ(index.Find(c.Id, c.Level), c.Name) << c.Id << "/" << c.Level << " by the index";
    }
}

// The index stands in for the scan on tables of every shape: ids repeated,
// going down, negative, levels other than 0 and 1.
TEST(TarnData, GroupIndexAnswersAsTheScanDoes)
{
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return int32_t((seed >> 8) % n);
    };
    for (int t = 0; t < 200; ++t) {
        TGroupTable table(std::size_t(next(30)));
        for (std::size_t i = 0; i < table.size(); ++i)
            table[i] = {next(16) - 3, "e" + std::to_string(i), next(3)};
        const TGroupIndex index(table);
        for (int32_t id = -5; id <= 15; ++id)
            for (int32_t level = -1; level <= 2; ++level)
                ASSERT_EQ(index.Find(id, level), FindGroupLevelName(table, id, level))
                    << "table " << t << " of " << table.size() << ", id " << id << ", level " << level;
    }
}

// Ids 5 then 1: the records are all read; group 1 is never found, as the
// scan gives up at 5, and subgroup 5 is.
TEST(TarnData, GroupTableOutOfOrderIsReadAndLookedUpInTableOrder)
{
    const std::string bytes = Bytes({
        0x02, 0x00, 0x00, 0x00,                                      // 2 entries
        0x05, 0x00, 0x00, 0x00, 'P', 0x00, 0x01, 0x00, 0x00, 0x00,  // id 5, "P", level 1
        0x01, 0x00, 0x00, 0x00, 'M', 0x00, 0x00, 0x00, 0x00, 0x00,  // id 1, "M", level 0
        // "a": group 1, subgroup 5, no data, key 0, 1, 134, 24, 1
        'a', 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, '?', '?', '?', 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x86, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x01, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        // "b": group 1 alone, key 0, 1, 134, 24, 2
        'b', 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, '?', '?', '?', 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x86, 0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x02, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    });
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), bytes);
    WriteFileBytes(dir.File("banners.dat"), bytes);
    const TLoaded loaded = LoadFolder(dir.Path());
    ASSERT_EQ(loaded.Error, "");
    ASSERT_EQ(loaded.Records.size(), 2u);
    EXPECT_EQ(loaded.Records[0].GroupName, "");
    EXPECT_EQ(loaded.Records[0].SubGroupName, "P");
    EXPECT_EQ(loaded.Records[1].GroupName, "");
    EXPECT_EQ(loaded.Records[1].SubGroupName, "");
    TBannerList banners;
    LoadBannerFile(dir.File("banners.dat"), banners);
    EXPECT_EQ(banners.Records.size(), 2u);
}

TEST(TarnData, CardCarriesArchiveAndMainFileCutToAHundredCharacters)
{
    TDbBytes b;
    b.I32(0);
    TRecordFields zip = R("site");
    zip.Archive = 1;
    zip.Type = "ZIP";
    zip.Text = std::string(150, 'm');
    zip.Data = "PK..";
    CardRecord(b, zip);
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), b.B);
    const TLoaded loaded = LoadFolder(dir.Path());
    ASSERT_EQ(loaded.Records.size(), 1u) << loaded.Error;
    const TCardRec& c = loaded.Records[0].Card;
    EXPECT_EQ(c.Archive, 1);
    EXPECT_EQ(c.ContainerType, "ZIP");
    EXPECT_EQ(c.MainFile, std::string(100, 'm'));
    EXPECT_EQ(loaded.Records[0].Record.Text.size(), 150u) << "the record keeps the whole text";
    EXPECT_EQ(ReadCardData(c), "PK..");
}

// A file of one table entry and one card with this name and group 1.
std::string OneCardFile(const std::string& groupName, const std::string& name, const std::string& data)
{
    TDbBytes b;
    b.I32(1);
    Group(b, 1, groupName, 0);
    TRecordFields r = R(name.c_str());
    r.Group = 1;
    r.Type = "TXT";
    r.Data = data;
    CardRecord(b, r);
    return b.B;
}

TEST(TarnData, SupplementsFollowInNumberOrderEachWithItsOwnTable)
{
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), OneCardFile("Медицина", "main", "m"));
    WriteFileBytes(dir.File("tarn.d12"), OneCardFile("Транспорт", "twelve", "twelve's"));
    WriteFileBytes(dir.File("tarn.d05"), OneCardFile("Гостиницы", "five", "five's"));
    WriteFileBytes(dir.File("tarn.d07"), "");  // no table, no records
    WriteFileBytes(dir.File("tarn.d00"), OneCardFile("x", "not read", "x"));
    WriteFileBytes(dir.File("tarn.d100"), OneCardFile("x", "not read", "x"));
    std::vector<TLoadedRecord> got;
    std::vector<int32_t> gauge;
    {
        TTarnDatabase db(nullptr, nullptr);
        db.OnRecord = [&got](const TLoadedRecord& r) { got.push_back(r); };
        db.OnGauge = [&gauge](int32_t g) { gauge.push_back(g); };
        db.Load(dir.Path() + "/");
        EXPECT_EQ(db.Files().size(), 4u) << "tarn.dat, d05, d07, d12 stay open";
        EXPECT_TRUE(db.GroupTable().empty() == false && db.GroupTable()[0].Name == Cp("Транспорт"))
            << "the table of the file read last";
    }
    ASSERT_EQ(got.size(), 3u);
    const struct {
        const char* Name;
        int32_t File;
        const char* Group;
        const char* Data;
    } expected[] = {{"main", 0, "Медицина", "m"}, {"five", 5, "Гостиницы", "five's"}, {"twelve", 12, "Транспорт", "twelve's"}};
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Record.Name, expected[i].Name);
        EXPECT_EQ(got[i].FileNumber, expected[i].File) << expected[i].Name;
        EXPECT_EQ(got[i].GroupName, Cp(expected[i].Group)) << expected[i].Name;
        EXPECT_EQ(ReadCardData(got[i].Card), expected[i].Data) << "read from its own file after the loader went";
    }
    EXPECT_EQ(gauge.size(), 1u) << "the gauge follows tarn.dat only";
    EXPECT_EQ(TTarnDatabase::SupplementName(5), "tarn.d05");
}

TEST(TarnData, EachRecordTellsWhetherAnEarlierOneNamedItsObject)
{
    const auto file = [](const std::vector<TRecordFields>& records) {
        TDbBytes b;
        b.I32(0);
        for (const TRecordFields& r : records) Record(b, r);
        return b.B;
    };
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), file({R("a", {0, 1, 134, 24, 1}), R("place", {0, 1, 67, 7, 3}),
                                               With(R("gone", {0, 1, 134, 24, 9}), [](auto& r) { r.Deleted = 1; }),
                                               R("twice", {0, 1, 134, 24, 2}), R("twice again", {0, 1, 134, 24, 2})}));
    WriteFileBytes(dir.File("tarn.d01"),
                   file({R("a again", {1, 7, 134, 24, 1}), R("place again", {0, 1, 67, 24, 3}),
                         R("gone again", {0, 1, 134, 24, 9}), R("new", {0, 1, 134, 24, 5}),
                         R("new again", {0, 1, 134, 24, 5}), R("other sheet", {0, 1, 134, 25, 1})}));
    const TLoaded loaded = LoadFolder(dir.Path());
    ASSERT_EQ(loaded.Error, "");
    const struct {
        const char* Name;
        bool Seen;
        const char* Why;
    } expected[] = {
        {"a", false, "the first of its object"},
        {"place", false, "the first of its object"},
        {"twice", false, "the first of its object"},
        {"twice again", true, "named earlier in the same file"},
        {"a again", true, "force and model are not compared"},
        {"place again", true, "the places' sheet is compared after the move to 24"},
        {"gone again", false, "a deleted record was never handed on"},
        {"new", false, "no earlier record"},
        {"new again", true, "named earlier in the same supplement"},
        {"other sheet", false, "the sheet differs"},
    };
    ASSERT_EQ(loaded.Records.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(loaded.Records[i].Record.Name, expected[i].Name);
        EXPECT_EQ(loaded.Records[i].KeySeen, expected[i].Seen) << expected[i].Name << ": " << expected[i].Why;
    }
}

TEST(TarnData, GaugeIsReckonedInSixtyFourBits)
{
    // 44 MB: position times 50 passes 32 bits.
    TDbBytes b;
    b.I32(0);
    TRecordFields big = R("big");
    big.Type = "BMP";
    big.Data = std::string(44000000, 'p');
    CardRecord(b, big);
    const int64_t second = int64_t(b.Size());
    Record(b, R("after"));
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), b.B);
    const TLoaded loaded = LoadFolder(dir.Path());
    ASSERT_EQ(loaded.Error, "");
    ASSERT_EQ(loaded.Records.size(), 2u);
    EXPECT_EQ(loaded.Gauge, (std::vector<int32_t>{50, int32_t(50 + second * 50 / int64_t(b.Size()))}));
    EXPECT_EQ(loaded.Gauge.back(), 99);
}

TEST(BannerFile, KeepsItsStreamAndTheBannersInFileOrder)
{
    TDbBytes b;
    b.I32(1);
    Group(b, 1, "Реклама", 0);
    const struct {
        const char* Name;
        TObjectKey Key;
        int Deleted;
        const char* Data;
    } records[] = {
        {"first", {0, 1, 136, 24, 5}, 0, "GIF89a"},
        {"none", {0, 1, 0, 0, 0}, 0, "x"},
        {"gone", {0, 1, 136, 24, 6}, 1, "x"},
        {"place", {0, 1, 67, 2, 3}, 0, "BM"},
    };
    for (const auto& r : records) {
        TRecordFields f = R(r.Name, r.Key);
        f.Deleted = r.Deleted;
        f.Type = "GIF";
        f.Data = r.Data;
        CardRecord(b, f);
    }
    TTempDir dir;
    WriteFileBytes(dir.File("banners.dat"), b.B);
    TBannerList banners;
    LoadBannerFile(dir.File("banners.dat"), banners);
    ASSERT_NE(banners.Stream, nullptr);
    ASSERT_EQ(banners.Records.size(), 2u);
    EXPECT_EQ(banners.Records[0].Name, "first");
    EXPECT_EQ(banners.Records[1].Name, "place");
    EXPECT_EQ(banners.Records[1].Key.SheetID, 24);
    const TTarnData& first = banners.Records[0];
    EXPECT_EQ(ReadDataBytes(*banners.Stream, first.DataOffset, first.DataSize), "GIF89a");
}

TEST(TarnData, DataOutsideTheFileIsRefusedWhenRead)
{
    TTempDir dir;
    WriteFileBytes(dir.File("d"), "0123456789");
    std::shared_ptr<TStream> s = OpenDataFile(dir.File("d"));
    EXPECT_EQ(ReadDataBytes(*s, 2, 3), "234");
    EXPECT_EQ(ReadDataBytes(*s, 10, 0), "");
    for (const auto& [offset, size] : std::vector<std::pair<int64_t, int64_t>>{{8, 3}, {-1, 2}, {11, 0}, {0, -1}}) {
        try {
            ReadDataBytes(*s, offset, size);
            ADD_FAILURE() << offset << "+" << size << " read";
        } catch (const EFormatError& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find(dir.File("d") + ", "), std::string::npos) << m;
            EXPECT_NE(m.find("данные: "), std::string::npos) << m;
        }
    }
}

TEST(TarnData, DataPastTheLimitIsRefusedBeforeAnythingIsRead)
{
    // A sparse file: a record naming 2 GB of it costs nothing unless read.
    TTempDir dir;
    WriteFileBytes(dir.File("d"), "x");
    std::filesystem::resize_file(dir.File("d"), int64_t(2) << 30);
    std::shared_ptr<TStream> s = OpenDataFile(dir.File("d"));
    EXPECT_EQ(ReadDataBytes(*s, 1, MaxRecordDataBytes).size(), std::size_t(MaxRecordDataBytes));
    for (const int64_t size : {MaxRecordDataBytes + 1, (int64_t(2) << 30) - 1}) {
        try {
            ReadDataBytes(*s, 1, size, "\xC1\xE0\xED\xED\xE5\xF0");
            ADD_FAILURE() << size << " read";
        } catch (const EFormatError& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find("запись «Баннер»: " + std::to_string(size)), std::string::npos) << m;
            EXPECT_NE(m.find("67108864"), std::string::npos) << m;
        }
    }
}

} // namespace
} // namespace tarn::test
