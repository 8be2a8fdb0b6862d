#include "SecretPanel.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace tarn {

TSecretPanel::TSecretPanel(QWidget* parent) : QWidget(parent), Timer(new QTimer(this))
{
    setObjectName("SecretPanel1");
    // Its own face: the panel under it changes colour with the keyboard mode.
    QPalette face = palette();
    face.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Button));
    setPalette(face);
    Timer->setInterval(30);
    connect(Timer, &QTimer::timeout, this, [this] { ScrollStep(); });
}

void TSecretPanel::SetFontColor(TColorRef color)
{
    Color = color;
    update();
}

void TSecretPanel::SetInterval(int32_t ms) { Timer->setInterval(ms); }

int32_t TSecretPanel::TextWidth() const { return QFontMetrics(font()).horizontalAdvance(Text()); }

void TSecretPanel::Play()
{
    Left = width();
    Timer->start();
    update();
}

void TSecretPanel::Stop() { Timer->stop(); }

bool TSecretPanel::Playing() const { return Timer->isActive(); }

void TSecretPanel::ScrollStep()
{
    if (!Timer->isActive()) return;
    Left -= std::max(Step, 1);
    update();
    if (Left + TextWidth() > 0) return;
    Timer->stop();
    if (OnStopPlay) OnStopPlay();
}

void TSecretPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(QColor(int(Color & 0xFF), int((Color >> 8) & 0xFF), int((Color >> 16) & 0xFF)));
    p.setFont(font());
    p.drawText(QRect(Left, 0, std::max(TextWidth(), 1), height()), Qt::AlignVCenter | Qt::AlignLeft, Text());
}

} // namespace tarn
