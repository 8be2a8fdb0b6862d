#include "platform/Cp1251Compare.h"

#include <array>

namespace tarn {

namespace {

constexpr uint8_t CapitalYo = 0xA8;
constexpr uint8_t CapitalYe = 0xC5;

// Capital and small letters of the code page outside the ranges that
// differ by 0x20.
constexpr std::pair<uint8_t, uint8_t> OtherCases[] = {
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
    {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
};

// Capital Cyrillic letters in alphabetical order (Ё folds into Е).
constexpr uint8_t Cyrillic[] = {
    0xC0, 0xC1, 0xC2, 0xC3, 0xA5, 0x81, 0xC4, 0x80, 0xC5, 0xAA, 0xC6, 0xC7, 0xBD, 0xC8, 0xB2, 0xAF,
    0xC9, 0xA3, 0xCA, 0x8D, 0xCB, 0x8A, 0xCC, 0xCD, 0x8C, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0x8E, 0xD3,
    0xA1, 0xD4, 0xD5, 0xD6, 0xD7, 0x8F, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
};

struct TTables {
    std::array<uint8_t, 256> Upper{};
    std::array<uint8_t, 256> Collation{};
};

constexpr TTables MakeTables()
{
    TTables t;
    for (int c = 0; c < 256; ++c) t.Upper[c] = uint8_t(c);
    for (int c = 'a'; c <= 'z'; ++c) t.Upper[c] = uint8_t(c - 0x20);
    for (int c = 0xE0; c <= 0xFF; ++c) t.Upper[c] = uint8_t(c - 0x20);
    for (const auto& [capital, small] : OtherCases) t.Upper[small] = capital;

    // Places: byte 0, control characters, blanks, punctuation and symbols in
    // byte order, digits, Latin, Cyrillic.
    std::array<bool, 256> letter{};
    for (int c = 0; c < 256; ++c) letter[c] = t.Upper[c] != c;  // a small letter
    for (const auto& [capital, small] : OtherCases) letter[capital] = true;
    for (int c = 'A'; c <= 'Z'; ++c) letter[c] = true;
    for (int c = 0xC0; c <= 0xDF; ++c) letter[c] = true;

    std::array<uint8_t, 256> place{};
    int next = 1;
    for (int c = 1; c < 0x20; ++c) place[c] = uint8_t(next++);
    place[0x20] = uint8_t(next++);
    place[0xA0] = uint8_t(next++);
    for (int c = 0x21; c < 256; ++c)
        if (c != 0xA0 && !letter[c] && !(c >= '0' && c <= '9')) place[c] = uint8_t(next++);
    for (int c = '0'; c <= '9'; ++c) place[c] = uint8_t(next++);
    for (int c = 'A'; c <= 'Z'; ++c) place[c] = uint8_t(next++);
    for (uint8_t c : Cyrillic) place[c] = uint8_t(next++);
    place[CapitalYo] = place[CapitalYe];
    for (int c = 0; c < 256; ++c) t.Collation[c] = place[t.Upper[c]];
    return t;
}

constexpr TTables Tables = MakeTables();

static_assert(Tables.Collation[0] == 0 && Tables.Collation[1] == 1);
static_assert(Tables.Collation[0xB8] == Tables.Collation[0xC5] && Tables.Collation[0xE5] == Tables.Collation[0xC5]);
static_assert(Tables.Collation['9'] < Tables.Collation['A'] && Tables.Collation['z'] < Tables.Collation[0xC0]);
static_assert(Tables.Collation[0xFF] > Tables.Collation[0xC0] && Tables.Collation[0xDF] == Tables.Collation[0xFF]);

bool IsYo(uint8_t c) { return Tables.Upper[c] == CapitalYo; }

} // namespace

uint8_t UpperCp1251(uint8_t c) { return Tables.Upper[c]; }

std::string UpperCp1251(std::string_view text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = char(Tables.Upper[uint8_t(text[i])]);
    return out;
}

uint8_t CollationByteCp1251(uint8_t c) { return Tables.Collation[c]; }

const std::array<uint8_t, 256>& CollationTableCp1251() { return Tables.Collation; }

std::string CollationKeyCp1251(std::string_view text)
{
    std::string out(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) out[i] = char(Tables.Collation[uint8_t(text[i])]);
    return out;
}

int CompareCollationCp1251(std::string_view text, std::string_view key)
{
    const std::size_t n = text.size() < key.size() ? text.size() : key.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int kt = Tables.Collation[uint8_t(text[i])], kk = uint8_t(key[i]);
        if (kt != kk) return kt - kk;
    }
    if (text.size() == key.size()) return 0;
    return text.size() < key.size() ? -1 : 1;
}

bool CollationStartsWithCp1251(std::string_view text, std::string_view key)
{
    return text.size() >= key.size() && CompareCollationCp1251(text.substr(0, key.size()), key) == 0;
}

int CompareTextCp1251(std::string_view a, std::string_view b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int ka = Tables.Collation[uint8_t(a[i])], kb = Tables.Collation[uint8_t(b[i])];
        if (ka != kb) return ka - kb;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Otherwise equal: Е before Ё at the first place they differ.
    for (std::size_t i = 0; i < n; ++i) {
        const bool ya = IsYo(uint8_t(a[i])), yb = IsYo(uint8_t(b[i]));
        if (ya != yb) return ya ? 1 : -1;
    }
    return 0;
}

} // namespace tarn
