#pragma once
// Code page 1251 (Cyrillic) <-> Unicode. Files and the data layer keep 1251
// bytes; the drawing layer and the application convert at their edge.
// Byte 0x98, which the code page leaves unassigned, maps to U+0098 so that
// every byte string survives a round trip.
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

char16_t Cp1251ToUnicode(uint8_t byte);
// -1 when the code page has no such character.
int UnicodeToCp1251(char32_t ch);

std::string Cp1251ToUtf8(std::string_view cp1251);
std::u16string Cp1251ToUtf16(std::string_view cp1251);
// Characters outside the code page (and malformed UTF-8) become `replacement`.
std::string Utf8ToCp1251(std::string_view utf8, char replacement = '?');
std::string Utf16ToCp1251(std::u16string_view utf16, char replacement = '?');

} // namespace tarn
