#include "platform/Ini.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tarn;
namespace fs = std::filesystem;

namespace {

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tarn-ini-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        Path = (fs::path(Dir) / "tarn.ini").string();
    }
    void TearDown() override { fs::remove_all(Dir); }

    std::string FileBytes() const
    {
        std::ifstream f(Path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void PutFile(const std::string& bytes) const
    {
        std::ofstream f(Path, std::ios::binary | std::ios::trunc);
        f << bytes;
    }

    std::string Dir;
    std::string Path;
};

} // namespace

TEST_F(IniFile, SectionNameWithASpace)
{
    auto ini = TIniFile::Open(Path);
    ini->WriteInteger("START POSITION", "LEFT", -120);
    ini->WriteInteger("START POSITION", "TOP", 4500);
    EXPECT_EQ(FileBytes(), "[START POSITION]\r\nLEFT=-120\r\nTOP=4500\r\n");
    EXPECT_EQ(ini->ReadInteger("START POSITION", "LEFT", 0), -120);
    EXPECT_EQ(ini->ReadInteger("START POSITION", "TOP", 0), 4500);
}

TEST_F(IniFile, NamesAreTrimmedAndCaseInsensitive)
{
    PutFile("[Options]\r\n  RastrDraw =  1  \r\n[\xCA\xE0\xF0\xF2\xE0]\nkey=v\n");
    auto ini = TIniFile::Open(Path);
    EXPECT_EQ(ini->ReadInteger("  OPTIONS ", "rastrdraw", 7), 1);
    EXPECT_EQ(ini->ReadString("options", " RASTRDRAW", ""), "1");
    // Cyrillic names fold too: "Карта" found as "КАРТА".
    EXPECT_EQ(ini->ReadString("\xCA\xC0\xD0\xD2\xC0", "KEY", ""), "v");
    // Writing through another spelling updates the same line, keeping its name.
    ini->WriteInteger("OPTIONS", "RASTRDRAW", 0);
    EXPECT_EQ(FileBytes(), "[Options]\r\nRastrDraw=0\r\n[\xCA\xE0\xF0\xF2\xE0]\r\nkey=v\r\n");
}

TEST_F(IniFile, DefaultsAndNoFileUntilTheFirstWrite)
{
    auto ini = TIniFile::Open(Path);
    EXPECT_EQ(ini->ReadString("Layers", "Maxs", "-1  "), "-1"); // trailing blanks of a default go
    EXPECT_EQ(ini->ReadInteger("OPTIONS", "RASTRDRAW", 1), 1);
    EXPECT_FALSE(ini->SectionExists("OPTIONS"));
    EXPECT_FALSE(fs::exists(Path));
    ini->WriteString("OPTIONS", "FONTNAME", "Arial");
    EXPECT_TRUE(fs::exists(Path));
    EXPECT_EQ(ini->ReadString("OPTIONS", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini->ReadString("missing", "FONTNAME", "dflt"), "dflt");
}

TEST_F(IniFile, IntegersParseAsTheProfileFunctionsDo)
{
    struct Case {
        const char* Text;
        int32_t Expected;
    } cases[] = {
        {"42", 42},       {"   42", 42},    {"-7x", -7},   {"+3", 3},           {"abc", 0},
        {"12 34", 12},    {"0x10", 0},      {"-", 0},      {"4294967297", 1},   {"2147483648", INT32_MIN},
        {"\t-15;c", -15},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.Text), c.Expected) << '"' << c.Text << '"';

    PutFile("[S]\r\nempty=\r\nword=abc\r\nnum= 17 \r\n");
    auto ini = TIniFile::Open(Path);
    EXPECT_EQ(ini->ReadInteger("S", "empty", 9), 9); // an empty value gives the default
    EXPECT_EQ(ini->ReadInteger("S", "word", 9), 0);
    EXPECT_EQ(ini->ReadInteger("S", "num", 9), 17);
    EXPECT_EQ(ini->ReadInteger("S", "none", 9), 9);
}

TEST_F(IniFile, StringsAreCutAndLoseOnePairOfQuotes)
{
    PutFile("[S]\r\nlong=abcdef\r\nq=\"a b\"\r\nsq='x'\r\nodd=\"a'\r\n");
    auto ini = TIniFile::Open(Path);
    EXPECT_EQ(ini->ReadString("S", "long", "", 3), "abc");
    EXPECT_EQ(ini->ReadString("S", "long", "", 100), "abcdef");
    EXPECT_EQ(ini->ReadString("S", "q", ""), "a b");
    EXPECT_EQ(ini->ReadString("S", "sq", ""), "x");
    EXPECT_EQ(ini->ReadString("S", "odd", ""), "\"a'");
}

TEST_F(IniFile, TwoUsersOfOneFileSeeEachOthersWrites)
{
    auto a = TIniFile::Open(Path);
    auto b = TIniFile::Open(Dir + "/./sub/../tarn.ini");
    EXPECT_EQ(a.get(), b.get());
    a->WriteInteger("TMainForm", "Current_Pos", 3);
    EXPECT_EQ(b->ReadInteger("TMainForm", "Current_Pos", 0), 3);
    b->WriteInteger("TMainForm", "Current_PosImage", 2);
    EXPECT_EQ(a->ReadInteger("TMainForm", "Current_PosImage", 0), 2);
    // A change made on disk by someone else is read again.
    PutFile("[TMainForm]\r\nCurrent_Pos=11\r\n");
    EXPECT_EQ(a->ReadInteger("TMainForm", "Current_Pos", 0), 11);
    EXPECT_EQ(a->ReadInteger("TMainForm", "Current_PosImage", 0), 0);
}

TEST_F(IniFile, Cp1251BytesPassThroughUnchanged)
{
    std::string value = "\xC0\xE1\xE2 \xA8\xB8\xFF\x80\x98";
    auto ini = TIniFile::Open(Path);
    ini->WriteString("OPTIONS", "FONTNAME", value);
    EXPECT_EQ(ini->ReadString("OPTIONS", "FONTNAME", ""), value);
    EXPECT_EQ(FileBytes(), "[OPTIONS]\r\nFONTNAME=" + value + "\r\n");
}

TEST_F(IniFile, WritesKeepTheRestOfTheFile)
{
    PutFile("; settings\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    auto ini = TIniFile::Open(Path);
    ini->WriteString("A", "z", "3");  // new key after the last key of its section
    ini->WriteString("B", "y", "20"); // changed in place
    ini->WriteString("C", "w", "4");  // new section at the end
    EXPECT_EQ(FileBytes(), "; settings\r\n[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=20\r\n\r\n[C]\r\nw=4\r\n");
    EXPECT_EQ(ini->ReadSections(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(ini->ReadSectionKeys("a"), (std::vector<std::string>{"x", "z"}));
    ini->DeleteKey("A", "X");
    ini->EraseSection("b");
    EXPECT_EQ(FileBytes(), "; settings\r\n[A]\r\nz=3\r\n\r\n[C]\r\nw=4\r\n");
    EXPECT_FALSE(ini->ValueExists("A", "x"));
    EXPECT_TRUE(ini->ValueExists("C", "W"));
}

TEST_F(IniFile, ListsGiveTheFirstOfEqualNames)
{
    PutFile("[A]\r\nk=' one '\r\nK=two\r\nm=\r\n[b]\r\n[a]\r\nk=three\r\nz=4\r\n[\xF1\xE5\xF2\xFC]\r\n[\xD1\xC5\xD2\xDC]\r\n");
    auto ini = TIniFile::Open(Path);
    EXPECT_EQ(ini->ReadSections(), (std::vector<std::string>{"A", "b", "\xF1\xE5\xF2\xFC"}));
    EXPECT_EQ(ini->ReadSectionKeys("a"), (std::vector<std::string>{"k", "m"}));
    using Values = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(ini->ReadSectionValues("A"), (Values{{"k", " one "}, {"m", ""}}));
    EXPECT_EQ(ini->ReadString("a", "K", ""), " one ");
    EXPECT_TRUE(ini->ReadSectionValues("none").empty());
}

// Listing must stay linear: a damaged file of many sections or keys may not
// hang the program (equal names were once searched from the top each time).
TEST_F(IniFile, ListsOfAHugeFileStayFast)
{
    std::string bytes = "[S]\r\n";
    for (int i = 0; i < 150000; ++i) bytes += "k" + std::to_string(i) + "=1\r\n";
    for (int i = 0; i < 150000; ++i) bytes += "[s" + std::to_string(i) + "]\r\n";
    PutFile(bytes);
    auto ini = TIniFile::Open(Path);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ini->ReadSections().size(), 150001u);
    EXPECT_EQ(ini->ReadSectionKeys("S").size(), 150000u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(IniFile, RefusesNamesAndValuesThatWouldBreakTheFile)
{
    auto ini = TIniFile::Open(Path);
    ini->WriteString("Layers", "Roads", "1");
    std::string before = FileBytes();
    EXPECT_THROW(ini->WriteString("Layers", "a=b", "1"), EIniError);
    EXPECT_THROW(ini->WriteString("Layers", "a\nb", "1"), EIniError);
    EXPECT_THROW(ini->WriteString("Layers", "[x]", "1"), EIniError);
    EXPECT_THROW(ini->WriteString("Layers", "  ", "1"), EIniError);
    EXPECT_THROW(ini->WriteString("Lay]ers", "k", "1"), EIniError);
    EXPECT_THROW(ini->WriteString("Layers", "k", "1\r\n[Files]"), EIniError);
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(IniFile, FailedWriteLeavesMemoryAsOnDisk)
{
    auto ini = TIniFile::Open(Dir + "/missing-folder/x.ini");
    EXPECT_THROW(ini->WriteInteger("S", "k", 5), EFileError);
    EXPECT_EQ(ini->ReadInteger("S", "k", -1), -1);
}
