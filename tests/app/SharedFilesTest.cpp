// The program's files shared with others: a second running copy of the
// program on a folder (told why it cannot change the signs or the project,
// and losing the first copy nothing), and a sheet another program changed.
#include "CommandsSupport.h"

#include "app/windows/Opt_f.h"
#include "app/windows/SelSgn_f.h"
#include "data/Filer.h"
#include "data/LayerOps.h"
#include "model/WorkSign.h"

#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tarn::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream f(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
}

// The codes of the user signs (layer 307) in the sheet, and how often each is there.
std::map<int32_t, int> SignCodes(const std::string& sheet)
{
    TFileReader ms(sheet);
    TFileContext context;
    ms.SetContext(context);
    TReader r(ms);
    TMap map(r, TLayer::FromMap16{});
    std::map<int32_t, int> codes;
    const TCustomLayer* signs = FindLayerById(map, 307);
    for (int32_t i = 0; signs && i < signs->Count; ++i) ++codes[signs->Object(i)->Code];
    return codes;
}

void ZoomToMiddle(TMainForm& form)
{
    const TRect r = form.Model()->ProjectRect();
    ASSERT_EQ(form.Model()->ZoomAtPoint(*form.View(), {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}, 5000),
              ResultDone);
}

// The chooser's first sample, "Продолжить".
void ChooseFirstSign(QWidget& w, int)
{
    auto& chooser = static_cast<TSelectSignForm&>(w);
    QTest::mouseClick(chooser.SignPanel->Boxes.at(0)->SurfaceWidget(), Qt::LeftButton, {}, QPoint(10, 10));
    chooser.BitBtn1->click();
}

// The first copy (RunningCopy.cpp) adds signs in another process; this
// one, started while it runs, tries every change.
TEST(SharedFiles, ASecondCopyChangesNothingAndSaysWhyAndTheFirstLosesNoSign)
{
    constexpr int Signs = 24;
    TCityCopy city;
    TTempDir sync;
    const std::map<int32_t, int> before = SignCodes(city.File("signs.map"));
    std::string args[] = {TARN_RUNNING_COPY, city.ProgramDir(), sync.Path(), std::to_string(Signs)};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
    pid_t first = -1;
    ASSERT_EQ(posix_spawn(&first, argv[0], nullptr, nullptr, argv, environ), 0);
    for (int i = 0; i < 6000 && !fs::exists(sync.File("first-half")); ++i) QTest::qWait(10);
    {
        TStubServices services;
        auto second = StartForm(city.ProgramDir(), services);
        ZoomToMiddle(*second);
        const std::string signs = ReadFileBytes(city.File("signs.map")), project = ReadFileBytes(city.File("tarn.prj"));
        QWidget* map = second->MapPanel->SurfaceWidget();
        TModalDriver modals([](QWidget& w, int) {
            if (auto* options = dynamic_cast<TOptionsForm*>(&w)) {
                options->SetFontName(LabelFontFamilies().value(0) == options->FontName() ? LabelFontFamilies().value(1)
                                                                                         : LabelFontFamilies().value(0));
                options->BitBtn1->click();
            } else {
                ChooseFirstSign(w, 0);
            }
        });
        second->N1Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(300, 300));
        second->N2Click();  // the first copy's first sign
        QTest::mousePress(map, Qt::LeftButton, {}, QPoint(60, 60));
        QTest::mouseRelease(map, Qt::LeftButton, {}, QPoint(90, 90));
        second->N_2Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(60, 60));
        QTest::mouseClick(second->SpeedButton1, Qt::LeftButton);
        // Told once for each: nothing chosen or asked first, no file changed.
        EXPECT_EQ(modals.Seen, 1) << "only the options";
        EXPECT_EQ(services.Errors, std::vector<std::string>(4, "Из папки " + city.Dir.Path() +
                                                                   " уже запущена другая копия программы: в этой "
                                                                   "копии знаки и проект не могут быть изменены"));
        EXPECT_EQ(ReadFileBytes(city.File("signs.map")), signs);
        EXPECT_EQ(ReadFileBytes(city.File("tarn.prj")), project);
    }
    std::ofstream(sync.File("second-done")) << "\n";
    int status = -1;
    ::waitpid(first, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first copy: " << status;

    // Every sign the first copy added is in the sheet once.
    std::map<int32_t, int> expected = before;
    for (const std::string& code : Lines(sync.File("first-codes"))) ++expected[std::stoi(code)];
    ASSERT_EQ(expected.size(), before.size() + Signs) << "codes given twice";
    EXPECT_EQ(SignCodes(city.File("signs.map")), expected);
}

// The sign sheet changed on disk after the program read it: a new sign is
// not saved over it, the user is told, and the sign stays on the map.
TEST(SharedFiles, ASignWhoseSheetChangedOnDiskStaysOnTheMapAndTheUserIsTold)
{
    TCityCopy city;
    TStubServices services;
    auto started = StartForm(city.ProgramDir(), services);
    TMainForm& form = *started;
    ZoomToMiddle(form);
    const std::string sheet = city.File("signs.map");
    fs::last_write_time(sheet, fs::last_write_time(sheet) + std::chrono::seconds(10));
    const std::string bytes = ReadFileBytes(sheet);
    const TObjectKey key{1, 1, 307, 23, form.WorkSign->NextFreeCode()};
    TModalDriver choose(ChooseFirstSign);
    form.N1Click();
    QTest::mouseClick(form.MapPanel->SurfaceWidget(), Qt::LeftButton, {}, QPoint(200, 150));
    ASSERT_EQ(choose.Seen, 1);
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_EQ(services.Errors[0].rfind(sheet + ": файл изменён на диске", 0), 0u) << services.Errors[0];
    std::vector<uint8_t> header;
    EXPECT_EQ(form.Model()->GetObjectData(form.View(), 1, key, header), ResultDone) << "the sign is kept";
    EXPECT_EQ(ReadFileBytes(sheet), bytes);
}

} // namespace
} // namespace tarn::test
