#pragma once
// The program block: the loading window, the main window's creation, the
// program's other windows, the message loop and the end. A QApplication
// must exist.
#include "app/common/AppServices.h"

#include <memory>
#include <string>

namespace tarn {

class TInfoModule;
class TInformationForm;
class TLegendForm;
class TOptionsForm;
class TSelectSignForm;
class TUpdateForm;

// The windows the program makes after the main window, in that order; they
// live until the program ends and go first to last made.
struct TProgramWindows {
    explicit TProgramWindows(TInfoModule& info);
    ~TProgramWindows();
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;

    TInfoModule& Info;
    std::unique_ptr<TInformationForm> InformationForm;
    std::unique_ptr<TLegendForm> LegendForm;
    std::unique_ptr<TUpdateForm> UpdateForm;
    std::unique_ptr<TSelectSignForm> SelectSignForm;
    std::unique_ptr<TOptionsForm> OptionsForm;
};

// Makes them, after the main window's creation step; a window that fails
// to be made is reported and left out. The shared services point at them
// while they live.
std::unique_ptr<TProgramWindows> CreateProgramWindows(TInfoModule& info);

// Runs the program on its folder (ending in a separator) and file name
// ("tarn"); answers the process's exit code: 1 when start-up stopped (the
// message was shown).
int RunProgram(const std::string& programDir, const std::string& programFile, TAppServices& services);

// Qt's own texts (standard buttons, an edit's menu) in Russian, from the
// distribution's Qt translations; once, and false when they are not
// installed (the texts then stay English).
bool InstallQtTranslations();

// The folder of the running executable, with a trailing separator, and its file name.
std::string ExecutableDir();
std::string ExecutableName();

} // namespace tarn
