// One running copy of the program on a folder, as the program block starts
// it, for the test of two copies at once (SharedFilesTest). Driven through its
// windows, offscreen:
//
//   tarn_running_copy first FOLDER SYNC COUNT
//     adds COUNT signs, each saved; halfway it writes SYNC/first-half and
//     waits for SYNC/second-done; then writes the codes it gave, one a line,
//     to SYNC/first-codes.
//   tarn_running_copy second FOLDER SYNC COUNT
//     tries to add a sign, to move and to delete the first sign the first
//     copy placed, and to change the labels' font; writes what it was told
//     and what it saw to SYNC/second-report, then SYNC/second-done.
//
// FOLDER ends in a separator. The exit code is 0 when the copy did its part.
#include "app/MainForm.h"
#include "app/Program.h"
#include "app/common/AppServices.h"
#include "app/common/Info_mdl.h"
#include "app/windows/Opt_f.h"
#include "app/windows/SelSgn_f.h"
#include "model/WorkSign.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QToolButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tarn;
namespace fs = std::filesystem;

struct TServices : TAppServices {
    std::vector<std::string> Errors;
    int Questions = 0;
    void ShowError(const std::string& message) override { Errors.push_back(message); }
    bool Confirm(const std::string&) override
    {
        ++Questions;
        return true;
    }
    void SetBusy(bool) override {}
};

// Acts on each modal window shown while it lives.
class TModals {
public:
    explicit TModals(std::function<void(QWidget&)> act) : Act(std::move(act))
    {
        Timer.setInterval(0);
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget(); w && w != Last) {
                Last = w;
                ++Seen;
                Act(*w);
                Last = nullptr;
            }
        });
        Timer.start();
    }
    int Seen = 0;

private:
    std::function<void(QWidget&)> Act;
    QWidget* Last = nullptr;
    QTimer Timer;
};

std::string Bytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool WaitFor(const std::string& path)
{
    for (int i = 0; i < 6000 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

void Touch(const std::string& path) { std::ofstream(path) << "\n"; }

// The n-th place a sign goes, in map panel pixels.
QPoint Place(int n) { return QPoint(60 + 24 * (n % 16), 60 + 24 * (n / 16)); }

// The chooser's first sample at size 50, and "Продолжить".
void ChooseFirstSign(QWidget& w)
{
    auto& chooser = static_cast<TSelectSignForm&>(w);
    QTest::mouseClick(chooser.SignPanel->Boxes.at(0)->SurfaceWidget(), Qt::LeftButton, {}, QPoint(10, 10));
    chooser.Edit1->setValue(50);
    chooser.BitBtn1->click();
}

int First(TMainForm& form, TServices& services, const std::string& sync, int count)
{
    QWidget* map = form.MapPanel->SurfaceWidget();
    std::ofstream codes(sync + "/first-codes.part");
    for (int i = 0; i < count; ++i) {
        if (i == count / 2) {
            Touch(sync + "/first-half");
            if (!WaitFor(sync + "/second-done")) return 3;
        }
        const TObjectKey key{1, 1, 307, 23, form.WorkSign->NextFreeCode()};
        TModals choose(ChooseFirstSign);
        form.N1Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, Place(i));
        std::vector<uint8_t> header;
        if (choose.Seen != 1 || form.Model()->GetObjectData(form.View(), 1, key, header) != ResultDone) return 4;
        codes << key.Code << "\n";
    }
    codes.close();
    fs::rename(sync + "/first-codes.part", sync + "/first-codes");
    return services.Errors.empty() ? 0 : 5;
}

int Second(TMainForm& form, TServices& services, const std::string& dir, const std::string& sync, int count)
{
    QWidget* map = form.MapPanel->SurfaceWidget();
    const std::string signs = Bytes(dir + "signs.map"), project = Bytes(dir + "tarn.prj");
    int modals = 0;
    {
        TModals choose(ChooseFirstSign);
        form.N1Click();
        QTest::mouseClick(map, Qt::LeftButton, {}, Place(count));
        modals += choose.Seen;
    }
    form.N2Click();
    QTest::mousePress(map, Qt::LeftButton, {}, Place(0));
    QTest::mouseRelease(map, Qt::LeftButton, {}, Place(0) + QPoint(30, 30));
    form.N_2Click();
    QTest::mouseClick(map, Qt::LeftButton, {}, Place(0));
    {
        TModals options([](QWidget& w) {
            auto& o = static_cast<TOptionsForm&>(w);
            for (const QString& f : LabelFontFamilies())
                if (f != o.FontName()) {
                    o.SetFontName(f);
                    break;
                }
            o.BitBtn1->click();
        });
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        if (options.Seen != 1) return 3;
    }
    std::ofstream report(sync + "/second-report.part");
    report << "chooser " << modals << "\nquestions " << services.Questions << "\nsigns.map "
           << (Bytes(dir + "signs.map") == signs ? "kept" : "changed") << "\ntarn.prj "
           << (Bytes(dir + "tarn.prj") == project ? "kept" : "changed") << "\n";
    for (const std::string& e : services.Errors) report << "told " << e << "\n";
    report.close();
    fs::rename(sync + "/second-report.part", sync + "/second-report");
    Touch(sync + "/second-done");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s first|second FOLDER SYNC COUNT\n", argv[0]);
        return 2;
    }
    const std::string role = argv[1], dir = argv[2], sync = argv[3];
    const int count = std::atoi(argv[4]);
    TServices services;
    int rc = 1;
    try {
        TInfoModule info(dir, "tarn", services);
        auto form = std::make_unique<TMainForm>(info);
        form->resize(1000, 700);
        form->FormCreate();
        std::unique_ptr<TProgramWindows> windows = CreateProgramWindows(info);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) return 6;
        QCoreApplication::processEvents();
        const TRect r = form->Model()->ProjectRect();
        form->Model()->ZoomAtPoint(*form->View(), {int32_t((int64_t(r.Left) + r.Right) / 2),
                                                   int32_t((int64_t(r.Top) + r.Bottom) / 2)}, 5000);
        form->MapPanel->Surface().Paint();
        rc = role == "first" ? First(*form, services, sync, count) : Second(*form, services, dir, sync, count);
        form->FormDestroy();
        windows.reset();
        form.reset();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", role.c_str(), e.what());
        return 7;
    }
    for (const std::string& e : services.Errors) std::fprintf(stderr, "%s was told: %s\n", role.c_str(), e.c_str());
    return rc;
}
