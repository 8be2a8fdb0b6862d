#pragma once
// The loading window: shown while the main window loads, with a gauge the
// main window moves after each step.
#include <QWidget>

class QLabel;
class QProgressBar;

namespace tarn {

class TGaugeForm : public QWidget {
public:
    explicit TGaugeForm(QWidget* parent = nullptr);

    // Shows the window and waits until it is on the screen and painted
    // (a second at most): the loading that follows runs without the
    // message loop, which would otherwise never let it appear.
    void ShowNow();
    // Sets the gauge and, when the window is shown, repaints it and lets
    // the screen take the new picture at once.
    void SetProgress(int value);
    int Progress() const;

    QLabel* Image1;
    QLabel* Image2;
    QLabel* Label1;
    QProgressBar* Gauge1;
};

} // namespace tarn
