#pragma once
// The application's windows under test: a services stub that records what
// the program shows, copies of the demo city, and a main window started on
// one offscreen.
#include "../data/TestSupport.h"
#include "app/MainForm.h"
#include "app/Program.h"
#include "app/common/AppServices.h"
#include "app/common/Info_mdl.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn::test {

struct TStubServices : TAppServices {
    struct THint {
        std::string Text;
        int32_t X, Y, MaxWidth;
    };

    std::vector<std::string> Errors;
    std::vector<int32_t> Gauge;
    int Loops = 0;
    std::function<int(TMainForm&)> Loop;      // runs in place of the message loop
    std::function<void(int32_t)> OnProgress;  // runs as the gauge shows each value
    std::vector<std::string> Addresses;       // opened by the shell
    std::vector<std::string> Documents;
    std::vector<std::vector<uint8_t>> Sounds;  // played from memory
    std::vector<std::string> SoundFiles;
    int SoundStops = 0;
    std::vector<THint> Hints;  // every hint shown
    bool HintShown = false;

    void ShowError(const std::string& message) override { Errors.push_back(message); }
    bool Confirm(const std::string&) override { return false; }
    void SetBusy(bool) override {}
    void Progress(int32_t value) override
    {
        Gauge.push_back(value);
        if (OnProgress) OnProgress(value);
    }
    int RunLoop(TMainForm& form) override
    {
        ++Loops;
        return Loop ? Loop(form) : 0;
    }
    bool OpenAddress(const std::string& address) override
    {
        Addresses.push_back(address);
        return true;
    }
    bool OpenDocument(const std::string& path) override
    {
        Documents.push_back(path);
        return true;
    }
    void PlaySound(const std::vector<uint8_t>& wave) override { Sounds.push_back(wave); }
    void PlaySoundFile(const std::string& path) override { SoundFiles.push_back(path); }
    void StopSound() override { ++SoundStops; }
    void ShowHint(const std::string& text, int32_t x, int32_t y, int32_t maxWidth) override
    {
        Hints.push_back({text, x, y, maxWidth});
        HintShown = true;
    }
    void HideHint() override { HintShown = false; }
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

// A program started on a folder as the program block starts it: its
// shared services, main window (T: TMainForm or a test's subclass) and
// other windows; they go in the program's order.
template <class T = TMainForm>
struct TStarted {
    std::unique_ptr<TInfoModule> Info;
    std::unique_ptr<T> Form;
    std::unique_ptr<TProgramWindows> Windows;
    T* operator->() const { return Form.get(); }
    T& operator*() const { return *Form; }
};

// Creates the windows on the folder (program file "tarn"), shows the main
// window and lets it settle.
template <class T = TMainForm>
TStarted<T> StartForm(const std::string& programDir, TAppServices& services, QSize size = QSize(FormWidth, FormHeight))
{
    TStarted<T> s;
    s.Info = std::make_unique<TInfoModule>(programDir, "tarn", services);
    s.Form = std::make_unique<T>(*s.Info);
    s.Form->resize(size);
    s.Form->FormCreate();
    s.Windows = CreateProgramWindows(*s.Info);
    s.Form->show();
    SettleWindow(*s.Form);
    return s;
}
// A house of a detail sheet, loaded only at the city's level of detail;
// the view is left there, at 1:2500.
TObjectKey DetailSheetHouse(TModel& model, TView& view);
// The map panel as the screen shows it (a grab of the window, cut to the panel).
QImage GrabMapPanel(TMainForm& form);
// The share of pixels that are not the map's white paper.
double PaperlessShare(const QImage& image);
// Writes the image under the build folder; answers its path.
std::string SaveAppImage(const QImage& image, const std::string& name);

} // namespace tarn::test
