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

    // Sets the gauge and repaints the window at once (the loading runs
    // without the message loop).
    void SetProgress(int value);
    int Progress() const;

    QLabel* Image1;
    QLabel* Image2;
    QLabel* Label1;
    QProgressBar* Gauge1;
};

} // namespace tarn
