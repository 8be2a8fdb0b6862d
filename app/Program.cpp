#include "Program.h"

#include "app/Gauge_f.h"
#include "app/MainForm.h"
#include "app/common/Info_mdl.h"
#include "app/windows/Inf_f.h"
#include "app/windows/Legend_f.h"
#include "app/windows/Opt_f.h"
#include "app/windows/SelSgn_f.h"
#include "app/windows/Update_f.h"
#include "platform/TempFolders.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <memory>

namespace tarn {

TProgramWindows::TProgramWindows(TInfoModule& info) : Info(info) { Info.Windows = this; }

TProgramWindows::~TProgramWindows()
{
    if (Info.Windows == this) Info.Windows = nullptr;
    // The last made goes first.
    OptionsForm.reset();
    SelectSignForm.reset();
    UpdateForm.reset();
    LegendForm.reset();
    InformationForm.reset();
}

namespace {

template <class T>
void MakeWindow(TInfoModule& info, std::unique_ptr<T>& window)
{
    try {
        window = std::make_unique<T>(info);
    } catch (const std::exception& e) {
        info.Services.ShowError(e.what());
    }
}

} // namespace

std::unique_ptr<TProgramWindows> CreateProgramWindows(TInfoModule& info)
{
    auto w = std::make_unique<TProgramWindows>(info);
    MakeWindow(info, w->InformationForm);
    MakeWindow(info, w->LegendForm);
    MakeWindow(info, w->UpdateForm);
    MakeWindow(info, w->SelectSignForm);
    MakeWindow(info, w->OptionsForm);
    return w;
}

bool InstallQtTranslations()
{
    static bool installed = [] {
        auto* translator = new QTranslator(QCoreApplication::instance());
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        // "qt_ru" gathers the modules' catalogues; "qtbase_ru" alone will do.
        if (!translator->load(QStringLiteral("qt_ru"), folder) && !translator->load(QStringLiteral("qtbase_ru"), folder)) {
            delete translator;
            return false;
        }
        return QCoreApplication::installTranslator(translator);
    }();
    return installed;
}

std::string ExecutableDir()
{
    std::string dir = QCoreApplication::applicationDirPath().toStdString();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string ExecutableName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString(); }

int RunProgram(const std::string& programDir, const std::string& programFile, TAppServices& services)
{
    try {
        InstallQtTranslations();
        // Folders of cards and sounds left by a run that was killed.
        RemoveStaleTempFolders(QDir::tempPath().toStdString());
        auto gauge = std::make_unique<TGaugeForm>();
        gauge->ShowNow();
        // The title goes with messages and the task list; the windows keep
        // their own captions (a display name would be added to each).
        QCoreApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));

        TInfoModule info(programDir, programFile, services);
        TMainForm form(info, gauge.get());
        try {
            form.FormCreate();
        } catch (const std::exception& e) {
            services.ShowError(e.what());
        }
        std::unique_ptr<TProgramWindows> windows = CreateProgramWindows(info);
        form.SetGauge(nullptr);
        gauge.reset();

        form.show();
        if (!form.Model()) return 1;  // the show step closed the window
        const int code = services.RunLoop(form);
        try {
            form.FormDestroy();
        } catch (const std::exception& e) {
            services.ShowError(e.what());
        }
        windows.reset();
        return code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarn: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarn: unknown failure\n");
    }
    return 1;
}

} // namespace tarn
