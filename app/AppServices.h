#pragma once
// What the application asks of its surroundings: showing an error, the
// loading gauge's progress, confirmations, the busy cursor and the message
// loop. The program uses these defaults; tests put a stub in their place.
#include <cstdint>
#include <string>

namespace tarn {

class TMainForm;

class TAppServices {
public:
    virtual ~TAppServices() = default;
    // The application's handler of an exception that left a step: shows the
    // message (UTF-8) in a message box.
    virtual void ShowError(const std::string& message);
    // An OK/Cancel question; true for OK.
    virtual bool Confirm(const std::string& message);
    virtual void SetBusy(bool busy);
    // Each value the loading gauge is set to, after the gauge shows it.
    virtual void Progress(int32_t value) { (void)value; }
    // Runs the message loop while the main window lives; answers its exit code.
    virtual int RunLoop(TMainForm& form);
};

// The application title, shown with messages and in the task list.
extern const char* const ApplicationTitle;

} // namespace tarn
