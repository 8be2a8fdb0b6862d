#include "Program.h"

#include "app/Gauge_f.h"
#include "app/MainForm.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace tarn {

std::string ExecutableDir()
{
    std::string dir = QCoreApplication::applicationDirPath().toStdString();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

int RunProgram(const std::string& programDir, TAppServices& services)
{
    try {
        auto gauge = std::make_unique<TGaugeForm>();
        gauge->show();
        gauge->repaint();
        QGuiApplication::setApplicationDisplayName(QString::fromUtf8(ApplicationTitle));

        TMainForm form(programDir, services, gauge.get());
        try {
            form.FormCreate();
        } catch (const std::exception& e) {
            services.ShowError(e.what());
        }
        // The information, legend, update-places, sign-chooser and options
        // windows are made here.
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
        return code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarn: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarn: unknown failure\n");
    }
    return 1;
}

} // namespace tarn
