#pragma once
// Comparing code page 1251 text "ignoring case by the user's locale", the
// same on every machine: Russian rules fixed here rather than taken from
// the machine's locale. Case is ignored for Latin and Cyrillic letters, Ё
// sorts with Е (and after it when the texts are otherwise equal). Order:
// control characters, blanks, punctuation and symbols, digits, Latin, then
// Cyrillic letters in the alphabet's order (the letters of other Cyrillic
// alphabets beside their nearest Russian letter).
//
// Sorting and searching use the same rules: a text's collation key has one
// byte per character, and two texts match where their keys match.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// Latin and Cyrillic letters to upper case (ё to Ё); other bytes unchanged.
uint8_t UpperCp1251(uint8_t c);
std::string UpperCp1251(std::string_view text);

// The character's place in the order, case and Ё folded; 0 only for byte 0.
uint8_t CollationByteCp1251(uint8_t c);
// The same for every byte, for loops over long texts.
const std::array<uint8_t, 256>& CollationTableCp1251();
// A key per character: keys compare byte by byte as the texts compare
// (before the Ё tie-break), and a text begins with or contains another
// where its key does.
std::string CollationKeyCp1251(std::string_view text);

// <0, 0 or >0. Zero only for texts equal but for case.
int CompareTextCp1251(std::string_view a, std::string_view b);
// The text's collation key against a key, byte by byte (no Ё tie-break).
int CompareCollationCp1251(std::string_view text, std::string_view key);
// The text's collation key begins with the key.
bool CollationStartsWithCp1251(std::string_view text, std::string_view key);

} // namespace tarn
