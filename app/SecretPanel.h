#pragma once
// The ticker: a panel that scrolls its lines, as one line in one colour,
// from its right edge out past its left edge, then stops and reports the
// end of the scroll.
#include "platform/gdi/Gdi.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>

class QTimer;

namespace tarn {

class TSecretPanel : public QWidget {
public:
    explicit TSecretPanel(QWidget* parent = nullptr);

    void ClearLines() { Lines.clear(); }
    void AddLine(const QString& line) { Lines.append(line); }
    const QStringList& GetLines() const { return Lines; }
    // The colour of the text (0x00BBGGRR).
    void SetFontColor(TColorRef color);
    TColorRef FontColor() const { return Color; }

    // Starts the scroll with the text entering at the right edge.
    void Play();
    // Stops where it is, without the end-of-scroll event.
    void Stop();
    bool Playing() const;
    // One step of the scroll (the timer's tick): the text moves Step
    // pixels to the left; once it has left the panel the scroll stops and
    // OnStopPlay runs.
    void ScrollStep();
    // Where the text's left edge is now, in the panel's pixels.
    int32_t TextLeft() const { return Left; }

    int32_t Step = 2;          // pixels a tick
    std::function<void()> OnStopPlay;
    void SetInterval(int32_t ms);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString Text() const { return Lines.join(QStringLiteral("   ")); }
    int32_t TextWidth() const;

    QStringList Lines;
    TColorRef Color = 0;
    int32_t Left = 0;
    QTimer* Timer;
};

} // namespace tarn
