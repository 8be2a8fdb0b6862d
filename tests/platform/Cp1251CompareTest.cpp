// Comparing and upper-casing Russian text in code page 1251, the same on
// every machine.
#include "platform/Cp1251.h"
#include "platform/Cp1251Compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace tarn;

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }
std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

} // namespace

TEST(Cp1251Compare, OrdersIgnoringCaseWithYoBesideYe)
{
    const struct {
        const char* A;
        const char* B;
        int Order;
    } cases[] = {
        {"улица", "УЛИЦА", 0},           {"Ёлка", "ёЛКА", 0},             {"street", "STREET", 0},
        {"ЕЛЬ", "ЁЛКА", 1},              // Ё counts as Е: Л = Л, Ь after К
        {"ЕЛКА", "ЁЛКА", -1},            // equal but for Ё: Е first
        {"ЁЖ", "ЕЗ", -1},                // Ж before З decides before Ё
        {"ЖУК", "ЁЖ", 1},                {"ЯМА", "Аист", 1},
        {"1-Я ЛИНИЯ", "АЛЛЕЯ", -1},      // digits before letters
        {"ZOO", "АИСТ", -1},             // Latin before Cyrillic
        {"8 МАРТА", "40 ЛЕТ", 1},        // character by character
        {"МИРА", "МИРА, ПР.", -1},       // a prefix first
        {"А Б", "А-Б", -1},              // blank before punctuation
        {"А-Б", "А1", -1},               // punctuation before digits
        {"«ЛИСТОК»", "ЛИСТОК", -1},      // quotes are punctuation
        {"ЕЖ", "ЄЖ", -1},                {"ЄЖ", "ЖЕ", -1},                // Є between Е and Ж
        {"ИВА", "ІВА", -1},              {"ІВА", "ЙОД", -1},              // І after И
        {"ґанок", "ГАНОК", 1},           {"ґанок", "ДОМ", -1},            // Ґ after Г
    };
    for (const auto& c : cases) {
        const std::string a = Cp(c.A), b = Cp(c.B);
        EXPECT_EQ(Sign(CompareTextCp1251(a, b)), c.Order) << c.A << " : " << c.B;
        EXPECT_EQ(Sign(CompareTextCp1251(b, a)), -c.Order) << c.B << " : " << c.A;
    }
}

TEST(Cp1251Compare, UpperCasesLatinAndCyrillicLetters)
{
    const struct {
        const char* Text;
        const char* Upper;
    } cases[] = {
        {"ул. лесная", "УЛ. ЛЕСНАЯ"},
        {"ёжик Ёлкин", "ЁЖИК ЁЛКИН"},
        {"street 8a", "STREET 8A"},
        {"ґєіїўјљњћќџђѓѕ", "ҐЄІЇЎЈЉЊЋЌЏЂЃЅ"},
        {"«№ 5» — §", "«№ 5» — §"},
    };
    for (const auto& c : cases) EXPECT_EQ(Cp1251ToUtf8(UpperCp1251(Cp(c.Text))), c.Upper) << c.Text;
    for (int b = 0; b < 256; ++b) EXPECT_EQ(UpperCp1251(UpperCp1251(uint8_t(b))), UpperCp1251(uint8_t(b))) << b;
}

TEST(Cp1251Compare, KeysMatchWhereTheTextsMatch)
{
    const std::string key = CollationKeyCp1251(Cp("зелен"));
    EXPECT_TRUE(CollationStartsWithCp1251(Cp("ЗЕЛЁНАЯ, УЛ."), key));
    EXPECT_TRUE(CollationStartsWithCp1251(Cp("Зеленый"), key));
    EXPECT_FALSE(CollationStartsWithCp1251(Cp("ЗЕЛ"), key));
    EXPECT_FALSE(CollationStartsWithCp1251(Cp("ЗАЛЕН"), key));
    EXPECT_NE(CollationKeyCp1251(Cp("УЛ. ЛЕСНАЯ")).find(CollationKeyCp1251(Cp("лес"))), std::string::npos);
    for (int b = 1; b < 256; ++b) EXPECT_NE(CollationByteCp1251(uint8_t(b)), 0) << b;

    // Sorted by key bytes, texts are in the comparator's order.
    std::vector<std::string> names;
    for (const char* n : {"ЯМА", "ёж", "Ель", "1 МАЯ", "Елка", "ZOO", "ёлка", "А-Б", "А Б", "ЄВА"}) names.push_back(Cp(n));
    std::vector<std::string> byKey = names;
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return CompareTextCp1251(a, b) < 0; });
    std::stable_sort(byKey.begin(), byKey.end(), [](const auto& a, const auto& b) {
        return CollationKeyCp1251(a) < CollationKeyCp1251(b);
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(CollationKeyCp1251(names[i]), CollationKeyCp1251(byKey[i])) << Cp1251ToUtf8(names[i]);
}
