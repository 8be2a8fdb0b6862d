#include "WindowSurface.h"

#include "platform/Keys.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <map>

namespace tarn {

namespace {

std::map<int32_t, QCursor>& OwnCursors()
{
    static std::map<int32_t, QCursor> cursors;
    return cursors;
}

QCursor CursorFor(int32_t id)
{
    switch (id) {
    case CursorCross: return QCursor(Qt::CrossCursor);
    case CursorWait: return QCursor(Qt::WaitCursor);
    case CursorHandPoint: return QCursor(Qt::PointingHandCursor);
    case CursorSizeAll: return QCursor(Qt::SizeAllCursor);
    default: break;
    }
    auto it = OwnCursors().find(id);
    return it != OwnCursors().end() ? it->second : QCursor(Qt::ArrowCursor);
}

} // namespace

class TSurfaceWidget : public QWidget {
public:
    TSurfaceWidget(TWindowSurface* surface, QWidget* parent) : QWidget(parent), Surface(surface)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        resize(surface->ClientWidth, surface->ClientHeight);
    }
    ~TSurfaceWidget() override
    {
        if (Surface) Surface->View = nullptr;
    }

    TWindowSurface* Surface;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!Surface) return;
        Surface->Paint();
        QPainter p(this);
        p.drawImage(0, 0, Surface->Image(), 0, 0, Surface->ClientWidth, Surface->ClientHeight);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (!Surface) return;
        Surface->Resize(width(), height());
        if (Surface->Events) Surface->Events->OnResize(*Surface);
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        TMouseButton b;
        if (!Surface || !Surface->Events || !MouseButtonOf(e->button(), b)) return;
        QPoint p = e->position().toPoint();
        Surface->Events->OnMouseDown(*Surface, b, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        TMouseButton b;
        if (!Surface || !Surface->Events || !MouseButtonOf(e->button(), b)) return;
        QPoint p = e->position().toPoint();
        Surface->Events->OnMouseUp(*Surface, b, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        // The press of a double click still reaches the tools, as a press.
        mousePressEvent(e);
        if (Surface && Surface->Events) Surface->Events->OnDoubleClick(*Surface);
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!Surface || !Surface->Events) return;
        QPoint p = e->position().toPoint();
        Surface->Events->OnMouseMove(*Surface, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
    }
    void leaveEvent(QEvent*) override
    {
        if (Surface && Surface->Events) Surface->Events->OnMouseLeave(*Surface);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        int32_t vk = VirtualKeyOf(*e);
        if (Surface && Surface->Events && vk && Surface->Events->OnKeyDown(*Surface, vk, ShiftStateOf(e->modifiers(), {})))
            return;
        QWidget::keyPressEvent(e);
    }
};

TWindowSurface::TWindowSurface(int32_t width, int32_t height)
    : ClientWidth(std::max(width, 0)), ClientHeight(std::max(height, 0))
{
    EnsureGuiApplication();
    Recreate();
}

TWindowSurface::~TWindowSurface()
{
    if (View) static_cast<TSurfaceWidget*>(View)->Surface = nullptr;
    DC.reset();
}

void TWindowSurface::Recreate()
{
    DC.reset();
    Img = std::make_unique<QImage>(std::max(ClientWidth, 1), std::max(ClientHeight, 1), QImage::Format_RGB32);
    Img->fill(QColor(BackgroundColor & 0xFF, (BackgroundColor >> 8) & 0xFF, (BackgroundColor >> 16) & 0xFF));
    DC = std::make_unique<TDeviceContext>(*Img);
    if (FixedMm > 0) DC->SetMillimetresPerPixel(FixedMm);
    else DC->SetMillimetresPerPixel(MmPerPixel());
}

void TWindowSurface::Resize(int32_t width, int32_t height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == ClientWidth && height == ClientHeight) return;
    ClientWidth = width;
    ClientHeight = height;
    Recreate();
    Invalid = true;
    Erase = true;
}

TDeviceContext* TWindowSurface::GetDC() { return DC.get(); }

void TWindowSurface::ReleaseDC(TDeviceContext*) { Update(); }

void TWindowSurface::Invalidate(bool erase)
{
    Invalid = true;
    Erase = Erase || erase;
    Update();
}

void TWindowSurface::Update()
{
    if (View) View->update();
}

bool TWindowSurface::Paint()
{
    if (!Invalid) return false;
    Invalid = false;
    if (Erase) {
        TGdiRef<TBrush> bg = TBrush::CreateSolid(BackgroundColor);
        DC->FillRect(TRect{0, 0, Img->width(), Img->height()}, bg.get());
    }
    Erase = false;
    if (Events) Events->OnPaint(*this);
    return true;
}

double TWindowSurface::MmPerPixel() const
{
    if (FixedMm > 0) return FixedMm;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QScreen* s = app->primaryScreen()) {
            double dpi = s->physicalDotsPerInchX();
            if (dpi > 1) return 25.4 / dpi;
        }
    return 25.4 / 96.0;
}

void TWindowSurface::SetMmPerPixel(double mm)
{
    FixedMm = mm > 0 ? mm : 0;
    if (DC) DC->SetMillimetresPerPixel(MmPerPixel());
}

void TWindowSurface::SetCursor(int32_t cursor)
{
    CursorId = cursor;
    if (View) View->setCursor(CursorFor(cursor));
}

QWidget* TWindowSurface::CreateWidget(QWidget* parent)
{
    if (!View) {
        View = new TSurfaceWidget(this, parent);
        View->setCursor(CursorFor(CursorId));
    }
    return View;
}

void RegisterSurfaceCursor(int32_t id, const uint32_t* argb, int32_t width, int32_t height, int32_t hotX,
                           int32_t hotY)
{
    if (!argb || width <= 0 || height <= 0) return;
    QImage img(reinterpret_cast<const uchar*>(argb), width, height, width * 4, QImage::Format_ARGB32);
    OwnCursors()[id] = QCursor(QPixmap::fromImage(img.copy()), hotX, hotY);
}

} // namespace tarn
