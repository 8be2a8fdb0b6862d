// Damaged object databases: every cut, negative and oversized sizes, absurd
// counts, data outside the file, unterminated strings and tables out of
// order end with a message naming the file, the offset and the field, after
// the records before the damage were handed on.
#include "DbSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace tarn::test {
namespace {

const char* const Fields[] = {"group count", "group id", "group name", "group level", "name", "group", "subgroup",
                              "deleted", "archive", "text", "type", "extra listing", "second text", "key",
                              "data offset", "data size", "data present", "data"};

bool NamesAField(const std::string& message)
{
    for (const char* f : Fields)
        if (message.find(std::string(", ") + f + ":") != std::string::npos) return true;
    return false;
}

std::string Hex(int64_t offset)
{
    char b[32];
    std::snprintf(b, sizeof b, "offset 0x%llX", static_cast<unsigned long long>(offset));
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
        EXPECT_NE(loaded.Error.find(path + ", offset 0x"), std::string::npos) << "cut at " << n << ": " << loaded.Error;
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

const int64_t SizeField = 5, OffsetField = 9;

TEST(TarnDataDamage, BadFieldsAreReportedWithFileOffsetAndField)
{
    const std::vector<TBadField> cases = {
        {"negative data size with data present (looped for ever)",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = -5; r.Present = 1; r.Data = "abc"; }), SizeField); },
         "data size", 1},
        {"data size past the end of the file",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = 1000; r.Present = 1; r.Data = "abc"; }), SizeField); },
         "data size", 1},
        {"the largest data size",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Size = 0x7FFFFFFF; r.Present = 1; }), SizeField); },
         "data size", 1},
        {"data offset past the end of the file",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Offset = 1000000; r.Size = 4; }), OffsetField); },
         "data offset", 1},
        {"negative data offset",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Offset = -8; r.Size = 4; }), OffsetField); },
         "data offset", 1},
        {"data running past the end of the file",
         [](TDbBytes& b) { return GoodThenBad(b = Table(), Bad([](auto& r) { r.Offset = 10; r.Size = 0x7FFFFFF0; }), OffsetField); },
         "data offset", 1},
        {"a last string without its zero byte",
         [](TDbBytes& b) {
             b = Table();
             Record(b, TRecordFields{});
             const int64_t at = int64_t(b.Size());
             b.Raw(Cp("НЕДОПИСАННОЕ ИМЯ"));
             return at;
         },
         "name", 1},
        {"a negative group count",
         [](TDbBytes& b) {
             b = Table(-1);
             return int64_t(0);
         },
         "group count", 0},
        {"a group count larger than the file allows",
         [](TDbBytes& b) {
             b = Table(0x7FFFFFFF);
             Group(b, 1, "Медицина", 0);
             return int64_t(0);
         },
         "group count", 0},
        {"group ids going down",
         [](TDbBytes& b) {
             b.I32(2);
             Group(b, 5, "Аптеки", 1);
             const int64_t at = int64_t(b.Size());
             Group(b, 1, "Медицина", 0);
             Record(b, TRecordFields{});
             return at;
         },
         "group id", 0},
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
