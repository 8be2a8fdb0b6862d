#pragma once
// The application's windows under test: a services stub that records what
// the program shows, copies of the demo city, and a main window started on
// one offscreen.
#include "../data/TestSupport.h"
#include "app/AppServices.h"
#include "app/MainForm.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn::test {

struct TStubServices : TAppServices {
    std::vector<std::string> Errors;
    std::vector<int32_t> Gauge;
    int Loops = 0;
    std::function<int(TMainForm&)> Loop;  // runs in place of the message loop

    void ShowError(const std::string& message) override { Errors.push_back(message); }
    bool Confirm(const std::string&) override { return false; }
    void SetBusy(bool) override {}
    void Progress(int32_t value) override { Gauge.push_back(value); }
    int RunLoop(TMainForm& form) override
    {
        ++Loops;
        return Loop ? Loop(form) : 0;
    }
};

// A private copy of the demo city (made once per run by mkcity).
struct TCityCopy {
    TCityCopy();
    TTempDir Dir;
    // The folder with its trailing separator, as the program takes it.
    std::string ProgramDir() const { return Dir.Path() + "/"; }
    std::string File(const std::string& name) const { return Dir.File(name); }
};

// The size the tests give the main window.
constexpr int FormWidth = 1000;
constexpr int FormHeight = 700;

// Waits until the window is on the (offscreen) screen and its events ran.
void SettleWindow(QWidget& window);

// Creates the window on the folder, shows it and lets it settle. T is
// TMainForm or a test's subclass.
template <class T = TMainForm>
std::unique_ptr<T> StartForm(const std::string& programDir, TAppServices& services,
                             QSize size = QSize(FormWidth, FormHeight))
{
    auto form = std::make_unique<T>(programDir, services);
    form->resize(size);
    form->FormCreate();
    form->show();
    SettleWindow(*form);
    return form;
}
// The map panel as the screen shows it (a grab of the window, cut to the panel).
QImage GrabMapPanel(TMainForm& form);
// The share of pixels that are not the map's white paper.
double PaperlessShare(const QImage& image);
// Writes the image under the build folder; answers its path.
std::string SaveAppImage(const QImage& image, const std::string& name);

} // namespace tarn::test
