// Damaged object databases: every cut, negative and oversized sizes, absurd
// counts and unterminated strings end with a message naming the file, the
// offset and the field, after the records before the damage were handed
// on; a card whose data lies outside its file is kept and fails when read.
#include "DbSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace tarn::test {
namespace {

const char* const Fields[] = {"число групп",  "код группы",       "название группы",
                              "уровень группы", "название",       "группа",
                              "подгруппа",    "признак удаления", "признак архива",
                              "текст",        "тип",              "признак дополнительного списка",
                              "второй текст", "ключ объекта",     "смещение данных",
                              "размер данных", "наличие данных",  "данные"};

bool NamesAField(const std::string& message)
{
    for (const char* f : Fields)
        if (message.find(std::string(", ") + f + ":") != std::string::npos) return true;
    return false;
}

std::string Hex(int64_t offset)
{
    char b[32];
    std::snprintf(b, sizeof b, "смещение 0x%llX", static_cast<unsigned long long>(offset));
    return b;
}

// A table, a key record, a card with data, a key record; where each record ends.
struct TSample {
    std::string Bytes;
    std::vector<std::size_t> RecordEnds;
    std::size_t TableEnd = 0;
};

TSample Sample()
{
    TSample s;
    TDbBytes b;
    b.I32(2);
    Group(b, 1, "Медицина", 0);
    Group(b, 3, "Аптеки", 1);
    s.TableEnd = b.Size();
    TRecordFields a;
    a.Name = "АПТЕКА № 1";
    a.Group = 1;
    a.SubGroup = 3;
    a.Text2 = "ул. Полевая";
    Record(b, a);
    s.RecordEnds.push_back(b.Size());
    TRecordFields card;
    card.Name = "БОЛЬНИЦА";
    card.Type = "TXT";
    card.Data = Cp("Приёмное отделение");
    card.Key.Code = 2;
    CardRecord(b, card);
    s.RecordEnds.push_back(b.Size());
    TRecordFields c;
    c.Name = "МУЗЕЙ";
    c.Key.Code = 3;
    Record(b, c);
    s.RecordEnds.push_back(b.Size());
    s.Bytes = b.B;
    return s;
}

TEST(TarnDataDamage, EveryCutEndsCleanlyAfterTheWholeRecordsBeforeIt)
{
    const TSample s = Sample();
    TTempDir dir;
    const std::string path = dir.File("tarn.dat");
    for (std::size_t n = 0; n < s.Bytes.size(); ++n) {
        WriteFileBytes(path, s.Bytes.substr(0, n));
        const TLoaded loaded = LoadFolder(dir.Path());
        std::size_t whole = 0;
        for (std::size_t end : s.RecordEnds) whole += end <= n ? 1 : 0;
        EXPECT_EQ(loaded.Records.size(), whole) << "cut at " << n;
        const bool boundary = n == 0 || n == s.TableEnd || std::count(s.RecordEnds.begin(), s.RecordEnds.end(), n);
        if (boundary) {
            EXPECT_EQ(loaded.Error, "") << "cut at " << n << " between records";
            continue;
        }
        EXPECT_NE(loaded.Error.find(path + ", смещение 0x"), std::string::npos) << "cut at " << n << ": " << loaded.Error;
        EXPECT_TRUE(NamesAField(loaded.Error)) << "cut at " << n << ": " << loaded.Error;
    }
}

// One field made bad after a good record; the message names where.
struct TBadField {
    const char* Case;
    std::function<int64_t(TDbBytes&)> Write;  // writes the file, answers the bad field's offset
    const char* Field;
    std::size_t Before;  // records handed on first
};

TDbBytes Table(int32_t count = 1)
{
    TDbBytes b;
    b.I32(count);
    if (count == 1) Group(b, 1, "Медицина", 0);
    return b;
}

// Writes a good record, then `bad`; answers the offset of the field that
// lies `back` bytes before the end of bad's fixed fields.
int64_t GoodThenBad(TDbBytes& b, const TRecordFields& bad, int64_t back)
{
    Record(b, TRecordFields{});
    Record(b, bad);
    return int64_t(b.Size() - bad.Data.size()) - back;
}

TRecordFields Bad(const std::function<void(TRecordFields&)>& change)
{
    TRecordFields r;
    r.Name = "ПЛОХАЯ";
    r.Type = "TXT";
    change(r);
    return r;
}

const int64_t SizeField = 5;

TEST(TarnDataDamage, BadFieldsAreReportedWithFileOffsetAndField)
{
    const std::vector<TBadField> cases = {
        {"negative data size with data present (looped for ever)",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = -5; r.Present = 1; r.Data = "abc"; }), SizeField); },
         "размер данных", 1},
        {"data size past the end of the file",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = 1000; r.Present = 1; r.Data = "abc"; }), SizeField); },
         "размер данных", 1},
        {"the largest data size",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = 0x7FFFFFFF; r.Present = 1; }), SizeField); },
         "размер данных", 1},
        {"a last string without its zero byte",
         [](TDbBytes& b) {
             b = Table();
             Record(b, TRecordFields{});
             const int64_t at = int64_t(b.Size());
             b.Raw(Cp("НЕДОПИСАННОЕ ИМЯ"));
             return at;
         },
         "название", 1},
        {"a negative group count",
         [](TDbBytes& b) {
             b = Table(-1);
             return int64_t(0);
         },
         "число групп", 0},
        {"a group count larger than the file allows",
         [](TDbBytes& b) {
             b = Table(0x7FFFFFFF);
             Group(b, 1, "Медицина", 0);
             return int64_t(0);
         },
         "число групп", 0},
    };
    for (const TBadField& c : cases) {
        TDbBytes b;
        const int64_t at = c.Write(b);
        TTempDir dir;
        const std::string path = dir.File("tarn.dat");
        WriteFileBytes(path, b.B);
        const TLoaded loaded = LoadFolder(dir.Path());
        EXPECT_EQ(loaded.Records.size(), c.Before) << c.Case;
        EXPECT_NE(loaded.Error.find(path + ", " + Hex(at) + ", " + c.Field + ":"), std::string::npos)
            << c.Case << ": " << loaded.Error;

        // The banner file is read by the same rules.
        WriteFileBytes(dir.File("banners.dat"), b.B);
        TBannerList banners;
        try {
            LoadBannerFile(dir.File("banners.dat"), banners);
            ADD_FAILURE() << c.Case << ": banners read";
        } catch (const EFormatError& e) {
            EXPECT_NE(std::string(e.what()).find(Hex(at) + ", " + c.Field), std::string::npos) << c.Case << ": " << e.what();
        }
        EXPECT_EQ(banners.Records.size(), c.Before) << c.Case << ": the banners before stay";
        EXPECT_NE(banners.Stream, nullptr);
    }
}

// A card's offset and size are looked at only when its data is read: the
// record and the ones after it are kept, in "tarn.dat" and "banners.dat"
// alike; deleted and zero-key records are dropped before they matter.
TEST(TarnDataDamage, CardDataOutsideTheFileIsKeptAndFailsWhenRead)
{
    const TObjectKey none{0, 1, 0, 0, 0};
    const struct {
        const char* Case;
        int32_t Offset, Size;
        int Deleted;
        TObjectKey Key;
        const char* Message;  // after the file's name; null: the record is dropped
    } cases[] = {
        {"an offset past the end", 1000000, 4, 0, TRecordFields{}.Key,
         ", смещение 0xF4240, данные: 4 байта данных не лежат в файле длиной "},
        {"a negative offset", -8, 4, 0, TRecordFields{}.Key,
         ", данные: отрицательное смещение -8, 4 байта данных не лежат в файле длиной "},
        {"data running past the end", 10, 0x7FFFFFF0, 0, TRecordFields{}.Key,
         ", смещение 0xA, данные: 2147483632 байта данных не лежат в файле длиной "},
        {"deleted", 1000000, 4, 1, TRecordFields{}.Key, nullptr},
        {"a zero key", -8, 4, 0, none, nullptr},
    };
    for (const auto& c : cases) {
        TDbBytes b = Table();
        Record(b, TRecordFields{});
        Record(b, Bad([&](auto& r) {
                   r.Offset = c.Offset;
                   r.Size = c.Size;
                   r.Deleted = c.Deleted;
                   r.Key = c.Key;
               }));
        TRecordFields after;
        after.Name = "ПОСЛЕ";
        Record(b, after);
        TTempDir dir;
        const std::string path = dir.File("tarn.dat");
        WriteFileBytes(path, b.B);
        const TLoaded loaded = LoadFolder(dir.Path());
        EXPECT_EQ(loaded.Error, "") << c.Case;
        std::vector<std::string> names;
        for (const TLoadedRecord& r : loaded.Records) names.push_back(Cp1251ToUtf8(r.Record.Name));
        const std::vector<std::string> kept = {"ИМЯ", "ПЛОХАЯ", "ПОСЛЕ"}, dropped = {"ИМЯ", "ПОСЛЕ"};
        EXPECT_EQ(names, c.Message ? kept : dropped) << c.Case;
        if (c.Message && loaded.Records.size() == 3) {
            const TLoadedRecord& card = loaded.Records[1];
            EXPECT_EQ(card.Kind, CardItemKind) << c.Case;
            EXPECT_EQ(card.Card.Name, Cp("ПЛОХАЯ")) << c.Case;
            try {
                ReadCardData(card.Card);
                ADD_FAILURE() << c.Case << ": read";
            } catch (const EFormatError& e) {
                EXPECT_NE(std::string(e.what()).find(path + c.Message), std::string::npos) << c.Case << ": " << e.what();
            }
        }
        WriteFileBytes(dir.File("banners.dat"), b.B);
        TBannerList banners;
        LoadBannerFile(dir.File("banners.dat"), banners);
        EXPECT_EQ(banners.Records.size(), names.size()) << c.Case;
    }
}

TEST(TarnDataDamage, ADamagedSupplementStopsAfterTheRecordsBeforeIt)
{
    const TSample s = Sample();
    TTempDir dir;
    WriteFileBytes(dir.File("tarn.dat"), s.Bytes);
    WriteFileBytes(dir.File("tarn.d02"), s.Bytes.substr(0, s.RecordEnds[0] + 3));
    WriteFileBytes(dir.File("tarn.d03"), s.Bytes);
    const TLoaded loaded = LoadFolder(dir.Path());
    EXPECT_NE(loaded.Error.find(dir.File("tarn.d02")), std::string::npos) << loaded.Error;
    ASSERT_EQ(loaded.Records.size(), s.RecordEnds.size() + 1);
    EXPECT_EQ(loaded.Records.back().FileNumber, 2);
}

} // namespace
} // namespace tarn::test
