// Code page 1251 conversion.
#include "platform/Cp1251.h"
#include "platform/Cp1251Qt.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace tarn;

TEST(Cp1251, ConvertsRussianTextBothWays)
{
    const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, \xB8\xE6 \xA8\xC6 \xB9" "5";  // "Привет, ёж ЁЖ №5"
    EXPECT_EQ(Cp1251ToUtf8(bytes), "Привет, ёж ЁЖ №5");
    EXPECT_EQ(Utf8ToCp1251("Привет, ёж ЁЖ №5"), bytes);
    EXPECT_EQ(Cp1251ToQString(bytes), QStringLiteral("Привет, ёж ЁЖ №5"));
    EXPECT_EQ(QStringToCp1251(QStringLiteral("Улица Ленина")), "\xD3\xEB\xE8\xF6\xE0 \xCB\xE5\xED\xE8\xED\xE0");
}

TEST(Cp1251, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int i = 0; i < 256; ++i) all += char(i);
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(all)), all);
}

TEST(Cp1251, AgreesWithTheSystemConverterOnEveryAssignedByte)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    if (cd == iconv_t(-1)) GTEST_SKIP() << "no CP1251 converter on this system";
    for (int b = 0x20; b < 256; ++b) {
        if (b == 0x98) continue;  // unassigned in the code page
        char in[1] = {char(b)};
        char out[4] = {};
        char* ip = in;
        char* op = out;
        size_t il = 1, ol = 4;
        ASSERT_NE(iconv(cd, &ip, &il, &op, &ol), size_t(-1)) << "byte " << b;
        char16_t want = char16_t(uint8_t(out[0]) | (uint8_t(out[1]) << 8));
        EXPECT_EQ(Cp1251ToUnicode(uint8_t(b)), want) << "byte 0x" << std::hex << b;
    }
    iconv_close(cd);
}

TEST(Cp1251, CharactersOutsideTheCodePageAndBrokenUtf8BecomeTheReplacement)
{
    EXPECT_EQ(Utf8ToCp1251("a\xE2\x82\xAC" "b"), "a\x88" "b") << "the euro sign is in the code page";
    EXPECT_EQ(Utf8ToCp1251("日本"), "??");
    EXPECT_EQ(Utf8ToCp1251("x\xF0\x9F\x98\x80y", '_'), "x_y");
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?") << "truncated sequence";
    EXPECT_EQ(Utf8ToCp1251("\xFF\xD0\x41"), "??A");
    EXPECT_EQ(UnicodeToCp1251(U'\u0401'), 0xA8);
    EXPECT_EQ(UnicodeToCp1251(U'\u4E00'), -1);
}
