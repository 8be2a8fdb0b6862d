#include "Gauge_f.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

namespace tarn {

namespace {

constexpr int ClientWidth = 287;
constexpr int ClientHeight = 123;
constexpr int GaugeHeight = 13;
constexpr int ShowWaitMs = 1000;

// The backdrop: a pale map of blocks and two streets, and the name.
QPixmap Backdrop()
{
    QPixmap pm(ClientWidth, ClientHeight - GaugeHeight);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, pm.height());
    g.setColorAt(0, QColor(236, 242, 250));
    g.setColorAt(1, QColor(200, 216, 236));
    p.fillRect(pm.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(222, 214, 196));
    for (int y = 8; y < pm.height(); y += 26)
        for (int x = 110 + (y / 26 % 2) * 12; x < pm.width(); x += 34) p.drawRect(x, y, 24, 16);
    p.setPen(QPen(QColor(250, 250, 250), 6));
    p.drawLine(100, pm.height() - 20, pm.width(), 30);
    p.drawLine(180, 0, 200, pm.height());
    QFont title("DejaVu Sans");
    title.setBold(true);
    title.setPixelSize(22);
    p.setFont(title);
    p.setPen(QColor(40, 60, 110));
    p.drawText(68, 44, QStringLiteral("TARN"));
    return pm;
}

// The emblem: a compass rose.
QPixmap Emblem()
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 110), 2));
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(4, 4, 40, 40);
    p.setBrush(QColor(180, 30, 30));
    const QPointF north[] = {{24, 6}, {29, 24}, {19, 24}};
    p.drawPolygon(north, 3);
    p.setBrush(QColor(40, 60, 110));
    const QPointF south[] = {{24, 42}, {29, 24}, {19, 24}};
    p.drawPolygon(south, 3);
    return pm;
}

} // namespace

TGaugeForm::TGaugeForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName("GaugeForm");
    setWindowTitle(QString::fromUtf8("Загрузка системы..."));
    setFixedSize(ClientWidth, ClientHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setScaledContents(true);
    Image1->setPixmap(Backdrop());
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight - GaugeHeight);

    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setPixmap(Emblem());
    Image2->setGeometry(12, 12, 48, 48);

    Label1 = new QLabel(QString::fromUtf8("   версия от 01.02.2000  "), this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(12, ClientHeight - GaugeHeight - 26, ClientWidth - 24, 20);

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(false);
    Gauge1->setGeometry(0, ClientHeight - GaugeHeight, ClientWidth, GaugeHeight);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        move(s.x() + (s.width() - ClientWidth) / 2, s.y() + (s.height() - ClientHeight) / 2);
    }
}

void TGaugeForm::ShowNow()
{
    show();
    QElapsedTimer waited;
    waited.start();
    while (!(windowHandle() && windowHandle()->isExposed()) && waited.elapsed() < ShowWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TGaugeForm::SetProgress(int value)
{
    Gauge1->setValue(value);
    if (!isVisible()) return;
    repaint();
    // Only what the screen needs: clicks and keys wait for the main window.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int TGaugeForm::Progress() const { return Gauge1->value(); }

} // namespace tarn
