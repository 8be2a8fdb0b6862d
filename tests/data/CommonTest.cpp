#include "TestSupport.h"
#include "data/_Common.h"

#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarn;
using namespace tarn::test;

TEST(History, KeepsAtMost16000States)
{
    THistory h;
    EXPECT_EQ(h.GetPrevInstance(), nullptr);
    for (int i = 0; i < 16001; ++i)
        EXPECT_EQ(h.PutPresentInstance(std::make_unique<TWndState>(TRect{i, i + 1, i + 2, i}, i * 0.5)),
                  std::min(i + 1, 16000));
    EXPECT_EQ(h.Count, 16000);
    // The first state pushed was dropped; the oldest left is the second.
    EXPECT_EQ(static_cast<TWndState*>(h.GetItem(0))->WorldRect.Left, 1);
    std::unique_ptr<TWndState> newest = h.GetPrevInstance();
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(newest->WorldRect, (TRect{16000, 16001, 16002, 16000}));
    EXPECT_EQ(newest->Scale, 8000.0);
    EXPECT_EQ(h.Count, 15999);
}

TEST(Backup, Names)
{
    struct Case {
        const char* File;
        const char* Backup;
    } cases[] = {
        {"tarn.map", "tarn.~ma"}, {"a.prj", "a.~pr"},          {"a.x", "a.~x"},
        {"readme", "readme.~"},   {"/d/v1.2/readme", "/d/v1.2/readme.~"}, {"a.b.map", "a.b.~ma"},
    };
    for (const Case& c : cases) EXPECT_EQ(BackupName(c.File), c.Backup) << c.File;
}

TEST(Backup, CopiesOverAnOlderCopyAndReportsFailure)
{
    TTempDir dir;
    std::string map = dir.File("tarn.map");
    EXPECT_EQ(MakeBackup(map), ""); // nothing to keep yet
    EXPECT_FALSE(std::filesystem::exists(dir.File("tarn.~ma")));

    WriteFileBytes(map, "new sheet\xC0\x00 bytes");
    WriteFileBytes(dir.File("tarn.~ma"), "an older copy");
    EXPECT_EQ(MakeBackup(map), dir.File("tarn.~ma"));
    EXPECT_EQ(ReadFileBytes(dir.File("tarn.~ma")), ReadFileBytes(map));

    // A backup that cannot be written is reported; the original stays.
    std::string prj = dir.File("a.prj");
    WriteFileBytes(prj, "project");
    std::filesystem::create_directory(dir.File("a.~pr"));
    try {
        MakeBackup(prj);
        ADD_FAILURE() << "backed up";
    } catch (const EFileError& e) {
        // Each path named once: what was copied, and where it failed.
        const std::string m = e.what();
        EXPECT_EQ(m, "резервная копия " + prj + ": " + dir.File("a.~pr") + ": не обычный файл, он не будет заменён");
    }
    EXPECT_EQ(ReadFileBytes(prj), "project");
}

TEST(UniqueID, StableAcrossRunsAndFolders)
{
    TTempDir dir;
    {
        TUniqueID ids(dir.Path());
        EXPECT_EQ(ids.GetLayerID("Roads"), 1);
        EXPECT_EQ(ids.GetLayerID("Houses"), 2);
        EXPECT_EQ(ids.GetLayerID("ROADS"), 1); // ini keys ignore case
        EXPECT_EQ(ids.GetFileID("/maps/north/a.map"), 1);
        EXPECT_EQ(ids.GetFileID("/maps/south/a.map"), 1);
        EXPECT_EQ(ids.GetFileID("C:\\TARN\\a.map"), 1);
        EXPECT_EQ(ids.GetFileID("b.map"), 2);
    }
    EXPECT_EQ(ReadFileBytes(dir.File("tsclnt31.ini")),
              "[Layers]\r\nMaxs=2\r\nRoads=1\r\nHouses=2\r\n\r\n[Files]\r\nMaxs=2\r\na.map=1\r\nb.map=2\r\n");
    TUniqueID again(dir.Path());
    EXPECT_EQ(again.GetLayerID("Houses"), 2);
    EXPECT_EQ(again.GetLayerID("Water"), 3);
    EXPECT_EQ(again.GetFileID("a.map"), 1);
}

TEST(UniqueID, TwoRunningProgramsNeverGiveOneIdentifierTwice)
{
    constexpr int Names = 200;
    TTempDir dir;
    auto give = [&](char who) {
        pid_t pid = ::fork();
        if (pid != 0) return pid;
        int rc = 0;
        try {
            TUniqueID ids(dir.Path());
            for (int n = 0; n < Names; ++n) ids.GetFileID(std::string(1, who) + std::to_string(n) + ".map");
        } catch (...) {
            rc = 1;
        }
        ::_exit(rc);
    };
    for (pid_t pid : {give('a'), give('b')}) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TUniqueID ids(dir.Path());
    std::set<int32_t> seen;
    for (char who : {'a', 'b'})
        for (int n = 0; n < Names; ++n) {
            const std::string name = std::string(1, who) + std::to_string(n) + ".map";
            EXPECT_TRUE(seen.insert(ids.GetFileID(name)).second) << name << " has another name's identifier";
        }
    EXPECT_EQ(seen.size(), std::size_t(2 * Names)) << "a name was lost and given a new identifier";
    EXPECT_EQ(*seen.rbegin(), 2 * Names);
}

TEST(UniqueID, NamesThatWouldBreakTheFileAreEscaped)
{
    TTempDir dir;
    TUniqueID ids(dir.Path());
    const char* names[] = {"Maxs", "a=b", "two\r\nlines", " padded ", "%25", "[Files]", ";note", ""};
    int32_t expected = 0;
    for (const char* n : names) EXPECT_EQ(ids.GetLayerID(n), ++expected) << '"' << n << '"';
    EXPECT_EQ(ids.GetLayerID("Plain"), ++expected); // "Maxs" was not overwritten
    for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(ids.GetLayerID(names[i]), i + 1) << '"' << names[i] << '"';
    EXPECT_EQ(TUniqueID::KeyOf("a=b"), "%a%3Db");
    EXPECT_EQ(TUniqueID::KeyOf("Maxs"), "%Maxs");
    EXPECT_EQ(TUniqueID::KeyOf("%25"), "%%2525");
    EXPECT_EQ(TUniqueID::KeyOf("Roads 1"), "Roads 1");
}

TEST(UniqueID, AValueThatIsNoNumberWritesNothing)
{
    TTempDir dir;
    std::string ini = dir.File("tsclnt31.ini");
    WriteFileBytes(ini, "[Layers]\r\nMaxs=many\r\n");
    TUniqueID ids(dir.Path());
    EXPECT_THROW(ids.GetLayerID("Roads"), EFormatError);
    WriteFileBytes(ini, "[Layers]\r\nMaxs=3\r\nRoads=1x\r\n");
    EXPECT_THROW(ids.GetLayerID("Roads"), EFormatError);
    EXPECT_EQ(ReadFileBytes(ini), "[Layers]\r\nMaxs=3\r\nRoads=1x\r\n");
}

TEST(UniqueID, NewNamesNeverGetAnIdentifierTheFileAlreadyGives)
{
    TTempDir dir;
    std::string ini = dir.File("tsclnt31.ini");
    // "Maxs" lost, or behind the names' identifiers; values that are no
    // number belong to other names and are passed over.
    WriteFileBytes(ini, "[Layers]\r\nRoads=4\r\nOld=x\r\n[Files]\r\nMaxs=2\r\na.map=1\r\nb.map=9\r\n");
    TUniqueID ids(dir.Path());
    EXPECT_EQ(ids.GetLayerID("Water"), 5);
    EXPECT_EQ(ids.GetLayerID("Roads"), 4);
    EXPECT_EQ(ids.GetFileID("c.map"), 10);
    EXPECT_EQ(ids.GetFileID("d.map"), 11);
    EXPECT_EQ(ids.GetFileID("a.map"), 1);
}

TEST(MapHeaderBlock, StreamForm)
{
    RegisterTestClasses();
    TMapHeaderBlock fresh;
    TMemoryStream m;
    fresh.Store(m);
    EXPECT_TRUE(SameBytes(m.Bytes(), Bytes({0x66, 0, 0, 0, 0, 0, 0, 0})));

    // Registered as 131; strings kept as read.
    std::string stored = Bytes({0x83, 0x00, 0x65, 0, 0, 0, 0x02, 0x00, 'a', 'b', 0x01, 0x00, 0xC0});
    TMemoryStream in(stored);
    std::unique_ptr<TAbstractItem> item(LoadRegisteredItem(in, nullptr));
    auto* header = dynamic_cast<TMapHeaderBlock*>(item.get());
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Version, 101);
    EXPECT_EQ(header->Text1, "ab");
    EXPECT_EQ(header->Text2, "\xC0");
    TMemoryStream out;
    StoreItem(out, header);
    EXPECT_TRUE(SameBytes(out.Bytes(), stored));
    EXPECT_TRUE(EveryTruncationFails(stored, [](const std::string& b) {
        TMemoryStream s(b);
        delete LoadRegisteredItem(s, nullptr);
    }));
}
