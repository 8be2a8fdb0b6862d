// The first of two running copies of the program on one folder
// (SharedFilesTest), driven through its windows offscreen:
//   tarn_running_copy FOLDER SYNC COUNT
// adds COUNT signs, the n-th at map pixel (60 + 24 (n % 16), 60 + 24 (n / 16))
// at 1:5000 over the city's middle, each saved; halfway it writes
// SYNC/first-half and waits for SYNC/second-done. Then it writes the codes
// it gave, one a line, to SYNC/first-codes. Exit code 0 when it did so
// without a message.
#include "app/MainForm.h"
#include "app/Program.h"
#include "app/windows/SelSgn_f.h"
#include "model/WorkSign.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace tarn;
namespace fs = std::filesystem;

struct TServices : TAppServices {
    std::vector<std::string> Errors;
    void ShowError(const std::string& message) override { Errors.push_back(message); }
    void SetBusy(bool) override {}
};

int AddSigns(TMainForm& form, const std::string& sync, int count)
{
    // The chooser's first sample, "Продолжить".
    int chosen = 0;
    QTimer chooser;
    chooser.setInterval(0);
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        if (auto* w = dynamic_cast<TSelectSignForm*>(QApplication::activeModalWidget())) {
            QTest::mouseClick(w->SignPanel->Boxes.at(0)->SurfaceWidget(), Qt::LeftButton, {}, QPoint(10, 10));
            w->BitBtn1->click();
            ++chosen;
        }
    });
    chooser.start();
    std::ofstream codes(sync + "/first-codes.part");
    for (int i = 0; i < count; ++i) {
        if (i == count / 2) {
            std::ofstream(sync + "/first-half") << "\n";
            for (int wait = 0; wait < 6000 && !fs::exists(sync + "/second-done"); ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const TObjectKey key{1, 1, 307, 23, form.WorkSign->NextFreeCode()};
        form.N1Click();
        QTest::mouseClick(form.MapPanel->SurfaceWidget(), Qt::LeftButton, {}, QPoint(60 + 24 * (i % 16), 60 + 24 * (i / 16)));
        std::vector<uint8_t> header;
        if (chosen != i + 1 || form.Model()->GetObjectData(form.View(), 1, key, header) != ResultDone) return 3;
        codes << key.Code << "\n";
    }
    codes.close();
    fs::rename(sync + "/first-codes.part", sync + "/first-codes");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 4) return 2;
    TServices services;
    int rc = 1;
    try {
        TInfoModule info(argv[1], "tarn", services);
        TMainForm form(info);
        form.resize(1000, 700);
        form.FormCreate();
        std::unique_ptr<TProgramWindows> windows = CreateProgramWindows(info);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) return 4;
        const TRect r = form.Model()->ProjectRect();
        form.Model()->ZoomAtPoint(*form.View(), {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}, 5000);
        rc = AddSigns(form, argv[2], std::atoi(argv[3]));
        form.FormDestroy();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 5;
    }
    for (const std::string& e : services.Errors) std::fprintf(stderr, "told: %s\n", e.c_str());
    return services.Errors.empty() ? rc : 6;
}
