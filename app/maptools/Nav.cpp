#include "Nav.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "platform/Keys.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tarn {

namespace {

constexpr int ShapePen = 3;
constexpr int MinFrame = 10;   // smaller than this either way: the cross
constexpr int CrossArm = 10;
constexpr int CrossBar = 23;

void FillOwner(QWidget* owner, QWidget* child)
{
    QLayout* layout = owner->layout();
    if (!layout) {
        layout = new QVBoxLayout(owner);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(child);
}

bool MouseButton(const QMouseEvent* e, TMouseButton& b) { return MouseButtonOf(e->button(), b); }

// Pixels as a widget can take them.
int Pixels(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -(1 << 24), 1 << 24)); }

} // namespace

// ---------------------------------------------------------------- TShape

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::paintEvent(QPaintEvent*)
{
    // Pixel strips rather than a stroked rectangle: the bars of the cross
    // are the pen's width exactly.
    QPainter p(this);
    const int w = width(), h = height();
    if (w <= 2 * ShapePen || h <= 2 * ShapePen) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.fillRect(0, 0, w, ShapePen, Qt::black);
    p.fillRect(0, h - ShapePen, w, ShapePen, Qt::black);
    p.fillRect(0, 0, ShapePen, h, Qt::black);
    p.fillRect(w - ShapePen, 0, ShapePen, h, Qt::black);
}

void TShape::mousePressEvent(QMouseEvent* e) { e->accept(); }

void TShape::mouseReleaseEvent(QMouseEvent* e)
{
    TMouseButton b;
    if (!OnMouseUp || !MouseButton(e, b)) return;
    const QPoint at = e->position().toPoint();
    OnMouseUp(*this, b, ShiftStateOf(e->modifiers(), e->buttons()), at.x(), at.y());
}

void TShape::mouseDoubleClickEvent(QMouseEvent* e)
{
    // The map under the frame takes double clicks as well as clicks.
    e->accept();
    if (OnDoubleClick) OnDoubleClick(*this);
}

// ---------------------------------------------------------------- TNavigator

class TNavigator::TSink : public TSurfaceEvents {
public:
    explicit TSink(TNavigator& nav) : Nav(nav) {}
    void OnPaint(TWindowSurface&) override { Nav.PaintMap(); }
    void OnResize(TWindowSurface&) override { Nav.PanelResize(); }
    void OnMouseUp(TWindowSurface&, TMouseButton b, uint32_t shift, int32_t x, int32_t y) override
    {
        Nav.PBMouseUp(b, shift, x, y);
    }
    void OnDoubleClick(TWindowSurface&) override { Nav.PBMouseDblClick(); }

private:
    TNavigator& Nav;
};

TNavigator::TNavigator(QWidget* owner, TModel& mainModel, TView& mainView, const std::string& path)
    : QFrame(owner), MainModel(mainModel), MainView(mainView), Sink(std::make_unique<TSink>(*this))
{
    setObjectName("Navigator");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setContentsMargins(3, 3, 3, 3);
    FillOwner(owner, this);

    InnerPanel = new QWidget(this);
    InnerPanel->setObjectName("InnerPanel");
    auto* inner = new QVBoxLayout(this);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(InnerPanel);

    const QSize start = owner->size();
    Wnd = std::make_unique<TWindowSurface>(start.width(), start.height());
    Wnd->SetEvents(Sink.get());
    PaintBox = Wnd->CreateWidget(InnerPanel);
    PaintBox->setObjectName("PaintBox");
    PaintBox->setFocusPolicy(Qt::NoFocus);
    auto* box = new QVBoxLayout(InnerPanel);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(PaintBox);

    // Last in the main model's after-paint chain, after every tool.
    AfterPaintToken = MainModel.OnAfterPaint.Install([this](const auto& next, TDrawContext& c) {
        next(c);
        DrawModel();
    });

    OwnView = std::make_unique<TView>(Wnd.get());
    OwnView->NotifyWnd = MainView.NotifyWnd;
    OwnView->ClientRect = Wnd->ClientRect();
    OwnModel = std::make_unique<TModel>();
    OwnModel->AttachView(*OwnView);
    if (!std::filesystem::exists(std::filesystem::path(path))) throw ETarnError("Путь не найден: " + path);
    OwnModel->OpenFile(path);
    OwnModel->DoubleBuffer = 1;
    OwnModel->ZoomAll(*OwnView);

    FrameShape = new TShape(InnerPanel);
    FrameShape->setObjectName("FrameShape");
    CrossShape = new TShape(InnerPanel);
    CrossShape->setObjectName("CrossShape");
    for (TShape* s : {FrameShape, CrossShape}) {
        s->OnMouseUp = [this](TShape& shape, TMouseButton b, uint32_t shift, int32_t x, int32_t y) {
            ShapeMouseUp(shape, b, shift, x, y);
        };
        s->OnDoubleClick = [this](TShape&) { PBMouseDblClick(); };
        s->raise();
    }
    CrossShape->hide();
}

TNavigator::~TNavigator()
{
    AfterPaintToken.Reset();
    OwnModel.reset();
    OwnView.reset();
    // Qt frees the overview's widget after the members.
    Wnd->SetEvents(nullptr);
}

void TNavigator::DrawModel() { UpdateFrame(); }

void TNavigator::PaintMap()
{
    if (!OwnModel) return;
    TBusyCursor busy(MainModel.UI());
    OwnModel->GetViewState(*OwnView);
    OwnModel->PaintView(*OwnView);
    const TRect& client = OwnView->ClientRect;
    if (PaintBox->isVisible() && client.Right > client.Left && client.Bottom > client.Top) Fitted = true;
    UpdateFrame();
}

void TNavigator::PanelResize()
{
    if (!OwnModel) return;
    OwnModel->GetViewState(*OwnView);
    OwnView->ClientRect = Wnd->ClientRect();
    // Fitted to the size the panel had before it was shown, the overview
    // would keep that scale for ever.
    if (!Fitted) OwnModel->ZoomAll(*OwnView);
    else OwnModel->SetViewState(*OwnView);
}

void TNavigator::PBMouseUp(TMouseButton, uint32_t, int32_t x, int32_t y)
{
    if (!OwnModel) return;
    TBusyCursor busy(MainModel.UI());
    OwnModel->GetViewState(*OwnView);
    TPoint w;
    OwnModel->ScreenToWorld(*OwnView, x, y, w.X, w.Y);
    // The two projects share one world up to their origins.
    const TPoint p = MainModel.WorldToProject(OwnModel->ProjectToWorld(w));
    MainModel.GetViewState(MainView);
    MainModel.ZoomAtPoint(MainView, p, 0);
    UpdateFrame();
}

void TNavigator::ShapeMouseUp(TShape& shape, TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    const QPoint at = PaintBox->mapFrom(InnerPanel, shape.mapTo(InnerPanel, QPoint(x, y)));
    PBMouseUp(button, shift, at.x(), at.y());
}

void TNavigator::PBMouseDblClick()
{
    TBusyCursor busy(MainModel.UI());
    MainModel.GetViewState(MainView);
    MainModel.ZoomAll(MainView);
}

void TNavigator::UpdateFrame()
{
    if (!OwnModel) return;
    MainModel.GetViewState(MainView);
    const TRect& r = MainView.WorldRect;
    TPoint a = MainModel.ProjectToWorld(TPoint{r.Left, r.Top});
    TPoint b = MainModel.ProjectToWorld(TPoint{r.Right, r.Bottom});
    OwnModel->GetViewState(*OwnView);
    if (!(OwnView->Scale > 0)) return;  // not fitted yet: nowhere to mark
    a = OwnModel->WorldToProject(a);
    b = OwnModel->WorldToProject(b);
    OwnModel->ViewWorldToScreen(*OwnView, a.X, a.Y, FrameRect.Left, FrameRect.Top);
    OwnModel->ViewWorldToScreen(*OwnView, b.X, b.Y, FrameRect.Right, FrameRect.Bottom);
    PlaceShapes();
}

bool TNavigator::FrameBigEnough() const
{
    return std::llabs(int64_t(FrameRect.Right) - FrameRect.Left) >= MinFrame &&
           std::llabs(int64_t(FrameRect.Bottom) - FrameRect.Top) >= MinFrame;
}

void TNavigator::PlaceShapes()
{
    const QPoint origin = PaintBox->mapTo(InnerPanel, QPoint(0, 0));
    const int64_t left = FrameRect.Left, top = FrameRect.Top, right = FrameRect.Right, bottom = FrameRect.Bottom;
    if (FrameBigEnough()) {
        CrossShape->hide();
        FrameShape->setGeometry(origin.x() + Pixels(left), origin.y() + Pixels(top), Pixels(right - left),
                                Pixels(bottom - top));
    } else {
        // Truncating toward zero, as the frame's corners may lie either way.
        const int cx = Pixels(left + (right - left) / 2), cy = Pixels(top + (bottom - top) / 2);
        FrameShape->setGeometry(origin.x() + cx, origin.y() + cy - CrossArm, ShapePen, CrossBar);
        CrossShape->setGeometry(origin.x() + cx - CrossArm, origin.y() + cy, CrossBar, ShapePen);
        CrossShape->show();
    }
    FrameShape->show();
}

} // namespace tarn
