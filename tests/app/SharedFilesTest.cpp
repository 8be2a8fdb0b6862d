// The program's files shared with others: two running copies of the
// program on one folder (the first changes its files, the second runs beside
// it, is told why it cannot change the signs or the project, and loses the
// first one nothing), and a sheet another program changed under it.
#include "CommandsSupport.h"

#include "app/windows/SelSgn_f.h"
#include "model/WorkSign.h"

#include "data/Filer.h"
#include "data/LayerOps.h"
#include "platform/FolderLock.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
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

TEST(SharedFiles, ASecondCopyChangesNothingAndSaysWhyAndTheFirstLosesNoSign)
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

// The sign sheet changed on disk after the program read it: a new sign is
// not saved over it, the user is told, and the sign stays on the map.
TEST(SharedFiles, ASignWhoseSheetChangedOnDiskStaysOnTheMapAndTheUserIsTold)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TMainForm& form = *started;
    const TRect r = form.Model()->ProjectRect();
    ASSERT_EQ(form.Model()->ZoomAtPoint(*form.View(), {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}, 5000),
              ResultDone);
    const std::string sheet = city.File("signs.map");
    fs::last_write_time(sheet, fs::last_write_time(sheet) + std::chrono::seconds(10));
    const std::string bytes = ReadFileBytes(sheet);
    const TObjectKey key{1, 1, SignLayer, 23, form.WorkSign->NextFreeCode()};
    TModalDriver choose([](QWidget& w, int) {
        auto& chooser = static_cast<TSelectSignForm&>(w);
        QTest::mouseClick(chooser.SignPanel->Boxes.at(0)->SurfaceWidget(), Qt::LeftButton, {}, QPoint(10, 10));
        chooser.BitBtn1->click();
    });
    form.N1Click();
    QTest::mouseClick(form.MapPanel->SurfaceWidget(), Qt::LeftButton, {}, QPoint(200, 150));
    ASSERT_EQ(choose.Seen, 1);
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_EQ(services.Errors[0].rfind(sheet + ": файл изменён на диске", 0), 0u) << services.Errors[0];
    std::vector<uint8_t> header;
    EXPECT_EQ(form.Model()->GetObjectData(form.View(), 1, key, header), ResultDone) << "the sign is kept";
    EXPECT_EQ(ReadFileBytes(sheet), bytes);
    EXPECT_EQ(form.View()->ViewMode, ModeNormal);
}

} // namespace
} // namespace tarn::test
