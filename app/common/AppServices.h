#pragma once
// What the application asks of its surroundings: showing an error, the
// loading gauge's progress, confirmations, the busy cursor, the message
// loop, the desktop's shell (web and mail addresses, documents), sound and
// the hint window. The program uses these defaults; tests put a stub in
// their place, so they need no audio device, desktop or shell.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QFont;
class QSize;
class QString;
class QUrl;

namespace tarn {

class TMainForm;

class TAppServices {
public:
    TAppServices();
    virtual ~TAppServices();
    TAppServices(const TAppServices&) = delete;
    TAppServices& operator=(const TAppServices&) = delete;

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

    // A web or mail address ("http:", "https:", "mailto:") opened by the
    // desktop's browser or mail program; false when none took it, and the
    // user is told (ShowError).
    virtual bool OpenAddress(const std::string& address);
    // A local document (a path) opened with the desktop's application for
    // its kind; false when none took it, and the user is told.
    virtual bool OpenDocument(const std::string& path);

    // Plays a wave sound held in memory, or from a file, stopping the one
    // playing; a sound that cannot be played is dropped and the user told.
    virtual void PlaySound(const std::vector<uint8_t>& wave);
    virtual void PlaySoundFile(const std::string& path);
    virtual void StopSound();

    // The hint window: the text (UTF-8, shown as it stands, never as
    // markup) with its top-left corner at a screen point (kept on the
    // screen), wrapped at maxWidth pixels and not before; it stays until
    // hidden or shown elsewhere.
    virtual void ShowHint(const std::string& text, int32_t x, int32_t y, int32_t maxWidth);
    virtual void HideHint();

private:
    class TSound;
    class THintWindow;
    TSound& SoundPlayer();
    std::unique_ptr<TSound> Sound;
    std::unique_ptr<THintWindow> Hint;
};

// The busy cursor for the guard's lifetime, also when the work throws.
class TBusy {
public:
    explicit TBusy(TAppServices& s) : Services(s) { Services.SetBusy(true); }
    ~TBusy() { Services.SetBusy(false); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TAppServices& Services;
};

// "http:" and "https:" with a host, "mailto:" with an address.
bool IsWebOrMailAddress(const QUrl& url);

// Text from data files or the user as a tooltip that shows it as it
// stands: Qt would take a tooltip that looks like markup for markup (and
// load the pictures it names).
QString PlainToolTip(const QString& text);
// The size of a hint's text in the font: one line as wide as it is, or
// lines broken between words at maxWidth pixels (a word wider than that
// keeps its own width).
QSize HintTextSize(const QFont& font, const QString& text, int maxWidth);

// The application title, shown with messages and in the task list.
extern const char* const ApplicationTitle;

} // namespace tarn
