#pragma once
// The program block: the loading window, the main window's creation, the
// message loop and the end. A QApplication must exist.
#include "app/AppServices.h"

#include <string>

namespace tarn {

// Runs the program on its folder (ending in a separator); answers the
// process's exit code: 1 when start-up stopped (the message was shown).
int RunProgram(const std::string& programDir, TAppServices& services);

// The folder of the running executable, with a trailing separator.
std::string ExecutableDir();

} // namespace tarn
