// Two running copies of the program on one folder: the first changes its
// files, the second runs beside it, is told why it cannot change the signs
// or the project, and loses the first one nothing.
#include "AppSupport.h"

#include "data/Filer.h"
#include "data/LayerOps.h"
#include "platform/FolderLock.h"

#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

constexpr int32_t SignLayer = 307;

// A copy of the program started on the folder (see RunningCopy.cpp).
class TCopy {
public:
    TCopy(const char* role, const std::string& folder, const std::string& sync, int count)
        : Log(sync + "/" + role + ".log")
    {
        const std::string n = std::to_string(count);
        std::vector<std::string> args = {TARN_RUNNING_COPY, role, folder, sync, n};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, 2, Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&Pid, argv[0], &io, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&io);
    }
    // The exit code, with what the copy wrote to its error output.
    std::string End()
    {
        int status = 0;
        ::waitpid(Pid, &status, 0);
        std::ifstream f(Log);
        std::stringstream ss;
        ss << f.rdbuf();
        return (WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status)) : std::string("killed")) +
               (ss.str().empty() ? "" : "\n" + ss.str());
    }

private:
    std::string Log;
    pid_t Pid = -1;
};

bool WaitFor(const std::string& path)
{
    for (int i = 0; i < 6000 && !fs::exists(path); ++i) QTest::qWait(10);
    return fs::exists(path);
}

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream f(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
}

// The codes of the signs in the sheet, and how often each is there.
std::map<int32_t, int> SignCodes(const std::string& sheet)
{
    TFileReader ms(sheet);
    TFileContext context;
    ms.SetContext(context);
    TReader r(ms);
    TMap map(r, TLayer::FromMap16{});
    std::map<int32_t, int> codes;
    const TCustomLayer* signs = FindLayerById(map, SignLayer);
    for (int32_t i = 0; signs && i < signs->Count; ++i) ++codes[signs->Object(i)->Code];
    return codes;
}

TEST(TwoCopies, TheSecondChangesNothingAndSaysWhyAndTheFirstLosesNoSign)
{
    constexpr int Signs = 24;
    TCityCopy city;
    TTempDir sync;
    const std::map<int32_t, int> before = SignCodes(city.File("signs.map"));

    TCopy first("first", city.ProgramDir(), sync.Path(), Signs);
    ASSERT_TRUE(WaitFor(sync.File("first-half"))) << first.End();
    TCopy second("second", city.ProgramDir(), sync.Path(), Signs);
    const std::string secondEnd = second.End(), firstEnd = first.End();
    ASSERT_EQ(secondEnd.substr(0, 6), "exit 0") << secondEnd;
    ASSERT_EQ(firstEnd.substr(0, 6), "exit 0") << firstEnd;

    // Told once for each try (a sign added, moved, deleted; the font), and
    // asked nothing first; nothing of the folder's changed.
    const std::string told = "told Из папки " + city.Dir.Path() +
                             " уже запущена другая копия программы: в этой копии знаки и проект не могут быть изменены";
    EXPECT_EQ(Lines(sync.File("second-report")),
              (std::vector<std::string>{"chooser 0", "questions 0", "signs.map kept", "tarn.prj kept", told, told,
                                        told, told}));

    // Every sign the first copy added is in the sheet once.
    std::map<int32_t, int> expected = before;
    for (const std::string& code : Lines(sync.File("first-codes"))) ++expected[std::stoi(code)];
    ASSERT_EQ(expected.size(), before.size() + Signs) << "codes given twice";
    EXPECT_EQ(SignCodes(city.File("signs.map")), expected);
    EXPECT_TRUE(fs::exists(city.File(TFolderLock::FileName)));
}

} // namespace
} // namespace tarn::test
