// Zip archives of cards: names decoded and checked, sites unpacked with
// their folders, and hostile archives refused whole with nothing written,
// neither in the card's folder nor beside it.
#include "CardSupport.h"

#include "app/cards/Unzip.h"

#include <sys/stat.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarn::test {
namespace {

struct TEntry {
    std::string Name;  // bytes as stored
    std::string Data;
    bool Utf8 = false;
    bool Deflate = false;
    uint32_t UnixMode = 0;      // 0: made on DOS
    int64_t DeclaredSize = -1;  // -1: the data's own
};

void Put16(std::string& b, uint32_t v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}
void Put32(std::string& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

std::string RawDeflate(const std::string& data)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// An archive laid out by the format's description: local headers, the
// central directory, its end.
std::string Zip(const std::vector<TEntry>& entries)
{
    std::string local, central;
    for (const TEntry& e : entries) {
        const std::string packed = e.Deflate ? RawDeflate(e.Data) : e.Data;
        const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(e.Data.data()), uInt(e.Data.size())));
        const uint32_t size = e.DeclaredSize >= 0 ? uint32_t(e.DeclaredSize) : uint32_t(e.Data.size());
        const uint32_t flags = e.Utf8 ? 0x0800 : 0, method = e.Deflate ? 8 : 0, offset = uint32_t(local.size());
        Put32(local, 0x04034B50u);
        for (uint32_t v : {20u, flags, method, 0u, 0x2821u}) Put16(local, v);
        for (uint32_t v : {crc, uint32_t(packed.size()), size}) Put32(local, v);
        Put16(local, uint32_t(e.Name.size()));
        Put16(local, 0);
        local += e.Name + packed;
        Put32(central, 0x02014B50u);
        Put16(central, e.UnixMode ? 0x0314 : 0x0014);  // made by Unix or DOS
        for (uint32_t v : {20u, flags, method, 0u, 0x2821u}) Put16(central, v);
        for (uint32_t v : {crc, uint32_t(packed.size()), size}) Put32(central, v);
        for (uint32_t v : {uint32_t(e.Name.size()), 0u, 0u, 0u, 0u}) Put16(central, v);
        const bool folder = !e.Name.empty() && (e.Name.back() == '/' || e.Name.back() == '\\');
        Put32(central, e.UnixMode ? e.UnixMode << 16 : folder ? 0x10u : 0x20u);
        Put32(central, offset);
        central += e.Name;
    }
    std::string b = local + central;
    Put32(b, 0x06054B50u);
    for (uint32_t v : {0u, 0u, uint32_t(entries.size()), uint32_t(entries.size())}) Put16(b, v);
    Put32(b, uint32_t(central.size()));
    Put32(b, uint32_t(local.size()));
    Put16(b, 0);
    return b;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Unzip, UnpacksASiteWithItsFoldersAndDecodedNames)
{
    TTempDir dir;
    const std::string page(3000, 'p');
    const int32_t files = UnzipToFolder(
        Zip({{"Site/", ""},
             {"Site\\Img\\Logo.bmp", "BM..."},
             {"Site/index.htm", page, false, true},
             {"Сайт/Главная.htm", "utf", true},
             {"\x8F\xE0\xA8\xA2\xA5\xE2.txt", "dos"},  // "Привет" in code page 866
             {"./Site//Deep/./x.txt", "x"}}),
        dir.Path(), "card.zip");
    EXPECT_EQ(files, 5);
    EXPECT_EQ(FilesUnder(dir.Path()),
              (std::vector<std::string>{"Site/", "Site/Deep/", "Site/Deep/x.txt", "Site/Img/", "Site/Img/Logo.bmp",
                                        "Site/index.htm", "Привет.txt", "Сайт/", "Сайт/Главная.htm"}));
    EXPECT_EQ(ReadFile(dir.File("Site/index.htm")), page) << "a packed entry";
    struct stat st {};
    ASSERT_EQ(::stat(dir.File("Site/Img").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Unzip, ChecksEveryNameByTheSameRules)
{
    const struct {
        const char* Name;
        const char* Path;  // "" refused
        const char* Why;
    } cases[] = {
        {"index.htm", "index.htm", ""},
        {"site\\img\\a.jpg", "site/img/a.jpg", ""},
        {"a//b/./c.txt", "a/b/c.txt", ""},
        {"folder/", "folder/", ""},
        {"../evil.txt", "", "\"..\" in the name"},
        {"a/../../evil.txt", "", "\"..\" in the name"},
        {"a\\..\\b.txt", "", "\"..\" in the name"},
        {"/etc/passwd", "", "an absolute path"},
        {"\\\\server\\share\\x", "", "an absolute path"},
        {"C:\\evil.txt", "", "a drive letter or a colon in the name"},
        {"c:evil.txt", "", "a drive letter or a colon in the name"},
        {"file.txt:stream", "", "a drive letter or a colon in the name"},
        {"bad\x01name", "", "a control character in the name"},
        {"", "", "an empty name"},
        {"./", "", "a name of no file"},
    };
    for (const auto& c : cases) {
        QString why;
        EXPECT_EQ(SafeRelativePath(QString::fromUtf8(c.Name), &why).toStdString(), c.Path) << c.Name;
        EXPECT_EQ(why.toStdString(), c.Why) << c.Name;
    }
    EXPECT_TRUE(SafeRelativePath(QString(300, QLatin1Char('a'))).isEmpty()) << "a part past 255 bytes";
}

TEST(Unzip, FindsTheMainFileIgnoringCase)
{
    TTempDir dir;
    UnzipToFolder(Zip({{"SITE/INDEX.HTM", "i"}, {"SITE/Pages/More.htm", "m"}}), dir.Path(), "card.zip");
    const struct {
        const char* Name;
        const char* Found;  // relative; "" none
    } cases[] = {
        {"site\\index.htm", "SITE/INDEX.HTM"}, {"SITE/INDEX.HTM", "SITE/INDEX.HTM"},
        {"site/pages/MORE.HTM", "SITE/Pages/More.htm"}, {"site/missing.htm", ""},
        {"../" , ""}, {"site/../../etc/passwd", ""}, {"C:\\site\\index.htm", ""}, {"/SITE/INDEX.HTM", ""},
    };
    for (const auto& c : cases) {
        const std::string found = FindInFolder(dir.Path(), QString::fromUtf8(c.Name));
        EXPECT_EQ(found, *c.Found ? dir.File(c.Found) : std::string()) << c.Name;
    }
}

TEST(Unzip, RefusesHostileArchivesWritingNothing)
{
    const TZipLimits small{3, 100, 200, uint64_t(1) << 20};
    const struct {
        const char* What;
        std::string Archive;
        const char* Why;
        TZipLimits Limits;
    } cases[] = {
        {"a parent folder", Zip({{"ok.txt", "ok"}, {"../evil.txt", "x"}}), "\"..\" in the name", {}},
        {"a deeper parent", Zip({{"a/../../evil.txt", "x"}}), "\"..\" in the name", {}},
        {"old separators", Zip({{"a\\..\\..\\evil.txt", "x"}}), "\"..\" in the name", {}},
        {"an absolute path", Zip({{"/tmp/evil.txt", "x"}}), "an absolute path", {}},
        {"a drive letter", Zip({{"C:\\evil.txt", "x"}}), "a drive letter", {}},
        {"a link", Zip({{"ok.txt", "ok"}, {"link", "/etc/passwd", false, false, 0120777}}), "a link", {}},
        {"a device", Zip({{"dev", "", false, false, 0020666}}), "a special file", {}},
        {"a bomb", Zip({{"zeros.bmp", std::string(8 << 20, '\0'), false, true}}), "packed more than 200 to 1", {}},
        {"too many entries", Zip({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}), "4 entries, more than 3", small},
        {"too many bytes", Zip({{"a", std::string(60, 'a')}, {"b", std::string(60, 'b')}}),
         "more than 100 bytes unpacked", small},
        {"a size that lies", Zip({{"ok.txt", "ok"}, {"short.txt", "0123456789", false, false, 0, 5}}), "", {}},
        {"no archive", "PK\x03\x04 is not enough", "not a readable zip archive", {}},
    };
    for (const auto& c : cases) {
        TTempDir parent;
        const std::string folder = parent.File("card");
        std::filesystem::create_directory(folder);
        try {
            UnzipToFolder(c.Archive, folder, "tarn.dat, card at 1234", c.Limits);
            ADD_FAILURE() << c.What << ": accepted";
        } catch (const EZipError& e) {
            EXPECT_NE(std::string(e.what()).find("tarn.dat, card at 1234"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Why), std::string::npos) << c.What << ": " << e.what();
        }
        EXPECT_EQ(FilesUnder(parent.Path()), std::vector<std::string>{"card/"}) << c.What;
    }
}

TEST(Unzip, HostileArchiveCardShowsNothingAndSaysWhy)
{
    TCardServices s;
    TTempDir parent;
    const TCardRec card = CardOfBytes(Zip({{"index.htm", "<p>x</p>"}, {"../../evil.htm", "x"}}), "ZIP", true, "index.htm");
    OpenCardWindow(s.Info, card);
    SettleWindow(*s.Info.CardForm);
    EXPECT_EQ(s.Info.CardForm->Container->ViewerKind(), TUniversalContainer::KindNone);
    ASSERT_EQ(s.Services.Errors.size(), 1u);
    EXPECT_NE(s.Services.Errors[0].find("test.dat, card at 4, entry \"../../evil.htm\": \"..\" in the name"),
              std::string::npos)
        << s.Services.Errors[0];
    EXPECT_EQ(FilesUnder(s.Info.CardForm->TempFolder()), std::vector<std::string>{".tarn-owner"}) << "the mark alone";
    EXPECT_TRUE(CardPlainText(s.Info, card).isEmpty());
    EXPECT_EQ(s.Services.Errors.size(), 1u) << "a hidden read says nothing";

    // A main file that names a place outside the folder is not looked for there.
    const TCardRec outside = CardOfBytes(Zip({{"index.htm", "<p>x</p>"}}), "ZIP", true, "..\\index.htm");
    OpenCardWindow(s.Info, outside);
    EXPECT_EQ(s.Info.CardForm->Container->ViewerKind(), TUniversalContainer::KindNone);
}

} // namespace
} // namespace tarn::test
