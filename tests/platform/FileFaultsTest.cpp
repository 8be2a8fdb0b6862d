// Files under the faults of a real machine: two running copies writing one
// settings file (the identifier file: CommonTest) or holding one folder,
// read-only targets, a pipe or a device where a settings file should be, a
// full disk in the middle of a batch, and the leftovers of a save, an ini
// write or a card's folder that was killed.
#include "platform/FolderLock.h"
#include "platform/Ini.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "platform/TempFolders.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarn;
namespace fs = std::filesystem;

namespace {

class FileFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tarn-faults-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
    }
    void TearDown() override
    {
        SetWriteFaultHook(nullptr);
        fs::remove_all(Dir);
    }
    std::string File(const std::string& name) const { return Dir + "/" + name; }
    static std::string Bytes(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    static void Put(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(Dir)) names.insert(e.path().filename().string());
        return names;
    }
    // Runs each body in a process of its own, all at once; true when every one ended with 0.
    static bool InProcesses(const std::vector<std::function<int()>>& bodies)
    {
        std::vector<pid_t> children;
        for (const auto& body : bodies) {
            pid_t pid = ::fork();
            if (pid == 0) {
                int rc = 1;
                try {
                    rc = body();
                } catch (...) {
                }
                ::_exit(rc);
            }
            children.push_back(pid);
        }
        bool ok = true;
        for (pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        return ok;
    }

    std::string Dir;
};

TEST_F(FileFaults, TwoProcessesWritingOneIniFileLoseNoKey)
{
    constexpr int Keys = 300;
    const std::string path = File("tarn.ini");
    auto writer = [&](char who) {
        return [=]() {
            auto ini = TIniFile::Open(path);
            for (int k = 0; k < Keys; ++k) ini->WriteInteger("Keys", std::string(1, who) + std::to_string(k), k);
            return 0;
        };
    };
    ASSERT_TRUE(InProcesses({writer('a'), writer('b')}));
    auto ini = TIniFile::Open(path);
    EXPECT_EQ(ini->ReadSectionKeys("Keys").size(), std::size_t(2 * Keys));
    EXPECT_EQ(ini->ReadInteger("Keys", "a299", -1), 299);
    EXPECT_EQ(ini->ReadInteger("Keys", "b0", -1), 0);
}

TEST_F(FileFaults, ReadOnlyFilesAreRefusedWithTheirName)
{
    const std::string ini = File("tarn.ini"), prj = File("tarn.prj");
    Put(ini, "[S]\r\nk=1\r\n");
    Put(prj, "project");
    for (const std::string& path : {ini, prj}) ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    struct TCase {
        std::string Path;
        std::function<void()> Write;
    } cases[] = {
        {ini, [&] { TIniFile::Open(ini)->WriteInteger("S", "k", 2); }},
        {prj, [&] { WriteFileAtomically(prj, "new project"); }},
    };
    for (const TCase& c : cases) {
        struct stat before {};
        ::stat(c.Path.c_str(), &before);
        try {
            c.Write();
            ADD_FAILURE() << c.Path << " was replaced";
        } catch (const EFileError& e) {
            EXPECT_EQ(std::string(e.what()), c.Path + ": файл только для чтения, он не будет заменён");
        }
        struct stat after {};
        ::stat(c.Path.c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << c.Path;
    }
    EXPECT_EQ(TIniFile::Open(ini)->ReadInteger("S", "k", 0), 1);
    EXPECT_EQ(Entries(), (std::set<std::string>{"tarn.ini", "tarn.prj", ".tarn.ini.lock"})) << "no temporary left";
}

TEST_F(FileFaults, AnIniFileThatIsNoRegularFileOrTooLargeIsRefused)
{
    struct TCase {
        const char* What;
        std::function<void(const std::string&)> Make;
    } cases[] = {
        {"pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
        {"link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        {"folder", [](const std::string& p) { fs::create_directory(p); }},
        {"too large",
         [](const std::string& p) {
             Put(p, "");
             fs::resize_file(p, TIniFile::MaxSize + 1);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string path = File(std::string("s-") + std::to_string(&c - cases) + ".ini");
        c.Make(path);
        auto ini = TIniFile::Open(path);
        try {
            ini->ReadString("S", "k", "");
            ADD_FAILURE() << "read";
        } catch (const EFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(path + ": ", 0), 0u) << "named as the program has it: " << e.what();
        }
    }
}

TEST_F(FileFaults, ABatchFailingAtAnyFileChangesNoOldFile)
{
    const std::vector<std::string> names = {"tarn.~ma", "tarn.prj", "tarn.map", "new.map"};
    for (TWriteStep step : {TWriteStep::Write, TWriteStep::Replace})
        for (int failAt = 1; failAt <= int(names.size()); ++failAt) {
            SCOPED_TRACE((step == TWriteStep::Write ? "write " : "rename ") + std::to_string(failAt));
            for (std::size_t i = 0; i + 1 < names.size(); ++i) Put(File(names[i]), "old " + names[i]);
            const std::set<std::string> before = Entries();
            int seen = 0;
            SetWriteFaultHook([&](const std::string&, TWriteStep s) { return s == step && ++seen == failAt ? ENOSPC : 0; });
            try {
                TSafeFileBatch batch;
                for (const std::string& n : names) batch.Add(File(n), "new " + n);
                batch.Commit();
                ADD_FAILURE() << "committed";
            } catch (const EFileError& e) {
                EXPECT_NE(std::string(e.what()).find(strerror(ENOSPC)), std::string::npos) << e.what();
            }
            SetWriteFaultHook(nullptr);
            EXPECT_EQ(Entries(), before) << "a temporary or a new file left";
            for (std::size_t i = 0; i + 1 < names.size(); ++i) EXPECT_EQ(Bytes(File(names[i])), "old " + names[i]);
        }
    // And without a fault, all of them.
    TSafeFileBatch batch;
    for (const std::string& n : names) batch.Add(File(n), "new " + n);
    batch.Commit();
    for (const std::string& n : names) EXPECT_EQ(Bytes(File(n)), "new " + n);
}

TEST_F(FileFaults, LeftoversOfAKilledSaveGoButNotThoseOfARunningOne)
{
    Put(File(".tarn.prj.Ab12Cd"), "killed");
    Put(File(".tarn.map.zzzzzz"), "killed");
    Put(File("tarn.prj"), "old");
    Put(File("tarn.map"), "old");
    Put(File(".profile"), "the user's");
    Put(File(".bashrc.backup"), "the user's, named as ours would be");
    Put(File(".tarn.ini.lock"), "");
    TSafeFileWriter running(File("tarn.map"));  // holds its temporary
    running.Write("half", 4);
    EXPECT_EQ(RemoveLeftoverTemporaries(Dir), 2);
    EXPECT_EQ(Entries(), (std::set<std::string>{"tarn.prj", "tarn.map", ".profile", ".bashrc.backup", ".tarn.ini.lock",
                                                fs::path(running.TempPath()).filename().string()}));
    running.Commit();
    EXPECT_EQ(Bytes(File("tarn.map")), "half");
}

TEST_F(FileFaults, AnIniWriteRemovesWhatKilledWritesLeftButNotARunningWritesTemporary)
{
    Put(File("tarn.ini"), "[S]\r\nk=1\r\n");
    Put(File("tsclnt31.ini"), "[Files]\r\n");
    // Two writes killed halfway, by another program, of either settings file.
    for (const char* name : {"tarn.ini", "tsclnt31.ini"}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TSafeFileWriter w(File(name));
            w.Write("half", 4);
            ::kill(::getpid(), SIGKILL);
        }
        ASSERT_GT(pid, 0);
        ::waitpid(pid, nullptr, 0);
    }
    ASSERT_EQ(Entries().size(), 4u) << "two leftovers";
    TSafeFileWriter running(File("tarn.ini"));
    TIniFile::Open(File("tarn.ini"))->WriteInteger("S", "k", 2);
    EXPECT_EQ(Entries(), (std::set<std::string>{"tarn.ini", "tsclnt31.ini", ".tarn.ini.lock",
                                                fs::path(running.TempPath()).filename().string()}));
    EXPECT_EQ(TIniFile::Open(File("tarn.ini"))->ReadInteger("S", "k", 0), 2);
}

// Whether a name stays inside a folder is decided by where it really leads.
TEST_F(FileFaults, ANameLeadsInsideAFolderOnlyWhenItsRealPathLiesBelowIt)
{
    const std::string proj = File("proj");
    fs::create_directories(proj + "/sub");
    fs::create_directory_symlink("sub", proj + "/in");
    fs::create_directory_symlink("..", proj + "/up");
    const struct {
        std::string Folder, Path;
        bool Inside;
    } cases[] = {
        {proj + "/", proj + "/missing/x", true},
        {proj, proj + "/.", false},
        {proj, File("projX/b"), false},  // the folder's name is a prefix of its neighbour's
        {proj, proj + "/in/x", true},
        {proj, proj + "/up/proj/a", true},
        {proj, proj + "/up/projX/b", false},
        {proj + "/in", proj + "/sub/x", true},  // the folder is taken where its link leads too
    };
    for (const auto& c : cases) EXPECT_EQ(LeadsInside(c.Folder, c.Path), c.Inside) << c.Folder << " | " << c.Path;
}

// The folder's lock: the first copy holds it, a second is told why it
// cannot have it, and a copy that was killed lets it go.
TEST_F(FileFaults, OneCopyHoldsTheFolderUntilItEndsHoweverItEnds)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t first = ::fork();
    if (first == 0) {
        TFolderLock lock(Dir);
        const char held = lock.Held() ? 'y' : 'n';
        (void)!::write(ready[1], &held, 1);
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(first, 0);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    EXPECT_EQ(held, 'y');
    {
        TFolderLock second(Dir);
        EXPECT_FALSE(second.Held());
        EXPECT_EQ(second.Reason(), "Из папки " + Dir +
                                       " уже запущена другая копия программы: в этой копии знаки и проект не могут "
                                       "быть изменены");
    }
    ::kill(first, SIGKILL);
    ::waitpid(first, nullptr, 0);
    TFolderLock after(Dir);
    EXPECT_TRUE(after.Held()) << after.Reason();
    EXPECT_TRUE(after.Reason().empty());
    ::close(ready[0]);
    ::close(ready[1]);
}

// A killed program's card and sound folders go at the next start; a running
// program's folders and anything not marked as the program's stay.
TEST_F(FileFaults, StaleTempFoldersGoOnlyWhenTheirOwnerEnded)
{
    // A killed owner: a process that made its folders and never removed them.
    const pid_t dead = ::fork();
    if (dead == 0) {
        new TOwnedTempFolder(Dir, "tarn-card-");
        new TOwnedTempFolder(Dir, "tarn-sound-");
        ::_exit(0);
    }
    ASSERT_GT(dead, 0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::set<std::string> left = Entries();
    ASSERT_EQ(left.size(), 2u);
    TOwnedTempFolder live(Dir, "tarn-card-");
    ASSERT_FALSE(live.Path().empty()) << live.Error();
    fs::create_directory(File("tarn-card-unmarked"));
    fs::create_directory(File("elsewhere"));
    Put(File("elsewhere/" + std::string(TOwnedTempFolder::Marker)), "1");
    fs::create_directory_symlink(File("elsewhere"), File("tarn-card-link"));
    Put(File("tarn-sound-1.wav"), "RIFF");
    const std::set<std::string> before = Entries();

    EXPECT_EQ(RemoveStaleTempFolders(Dir), 2);
    std::set<std::string> expected = before;
    for (const std::string& gone : left) expected.erase(gone);
    EXPECT_EQ(Entries(), expected);
    EXPECT_TRUE(fs::exists(live.Path() + "/" + TOwnedTempFolder::Marker));
    EXPECT_EQ(RemoveStaleTempFolders(Dir), 0) << "a live folder stays however often it is asked";
}

} // namespace
