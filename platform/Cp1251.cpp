#include "platform/Cp1251.h"

#include <array>

namespace tarn {

namespace {
// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char16_t High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C,
    0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9,
    0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}
} // namespace

char16_t Cp1251ToUnicode(uint8_t byte)
{
    if (byte < 0x80) return byte;
    if (byte >= 0xC0) return char16_t(0x0410 + (byte - 0xC0));
    return High[byte - 0x80];
}

int UnicodeToCp1251(char32_t ch)
{
    if (ch < 0x80) return int(ch);
    if (ch >= 0x0410 && ch <= 0x044F) return int(ch - 0x0410 + 0xC0);
    for (int i = 0; i < 64; ++i)
        if (High[i] == ch) return 0x80 + i;
    return -1;
}

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char c : cp1251) AppendUtf8(out, Cp1251ToUnicode(uint8_t(c)));
    return out;
}

std::u16string Cp1251ToUtf16(std::string_view cp1251)
{
    std::u16string out(cp1251.size(), u'\0');
    for (std::size_t i = 0; i < cp1251.size(); ++i) out[i] = Cp1251ToUnicode(uint8_t(cp1251[i]));
    return out;
}

std::string Utf8ToCp1251(std::string_view s, char replacement)
{
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        uint8_t b = uint8_t(s[i]);
        char32_t c;
        std::size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            n = 2;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            n = 3;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            n = 4;
        } else {
            out += replacement;
            ++i;
            continue;
        }
        bool ok = i + n <= s.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            uint8_t t = uint8_t(s[i + k]);
            if ((t & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (t & 0x3F);
        }
        if (!ok) {
            out += replacement;
            ++i;
            continue;
        }
        int v = UnicodeToCp1251(c);
        out += v < 0 ? replacement : char(v);
        i += n;
    }
    return out;
}

std::string Utf16ToCp1251(std::u16string_view s, char replacement)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            ++i;  // a surrogate pair is never in the code page
            out += replacement;
            continue;
        }
        int v = UnicodeToCp1251(c);
        out += v < 0 ? replacement : char(v);
    }
    return out;
}

} // namespace tarn
