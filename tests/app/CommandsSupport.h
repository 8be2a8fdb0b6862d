#pragma once
// Driving the main window's modal windows and reading its map's scale in
// the tests of its commands.
#include "AppSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

namespace tarn::test {

// Acts on every modal window that shows while it lives (the command that
// opened the window goes on once `act` closes it); Seen counts them.
class TModalDriver {
public:
    explicit TModalDriver(std::function<void(QWidget& modal, int index)> act) : Act(std::move(act))
    {
        Timer.setInterval(0);
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget(); w && w != Last) {
                Last = w;
                Act(*w, Seen++);
                Last = nullptr;
                // A window the test left open would hold it for ever.
                if (QApplication::activeModalWidget() == w) {
                    ADD_FAILURE() << "the modal window " << w->objectName().toStdString() << " stayed open";
                    if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
                    else w->close();
                }
            }
        });
        Timer.start();
    }
    int Seen = 0;

private:
    std::function<void(QWidget&, int)> Act;
    QWidget* Last = nullptr;
    QTimer Timer;
};

// Runs the application's own message loop with `start` as its first
// event, as the program does; only a quit ends it, not the last window
// closing. A loop still running after the watchdog's time ends with 1 and
// sets timedOut.
inline int RunProgramLoop(QObject* context, std::function<void()> start, int watchdogMs, bool& timedOut)
{
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, context, std::move(start));
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(watchdogMs);
    const int code = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(true);
    return code;
}

// The map's scale denominator.
inline double DenominatorOf(const TMainForm& form) { return form.View()->Scale / form.View()->MmPerPixel; }

// A city copy whose symbol library is another one (e.g. a test library).
inline void UseSymbolLibrary(const TCityCopy& city, const char* path)
{
    std::filesystem::copy_file(path, city.File("tarn.dll"), std::filesystem::copy_options::overwrite_existing);
}

} // namespace tarn::test
