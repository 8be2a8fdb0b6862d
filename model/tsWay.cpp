#include "tsWay.h"

#include "data/Utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarn {

namespace {

// Codes 21 and 22 come from drawing the map itself.
bool DrawingCode(int32_t code) { return code == 21 || code == 22; }

} // namespace

double SegmentMillimetres(const TPoint& a, const TPoint& b)
{
    const double dx = std::fabs(double(int64_t(b.X) - a.X)), dy = std::fabs(double(int64_t(b.Y) - a.Y));
    return double(RoundEven(std::sqrt(dx * dx + dy * dy)));
}

std::string FormatMetres(double millimetres, const std::string& separator)
{
    // From whole millimetres to centimetres, half up: exact in integers,
    // where a binary fraction of metres would round 1.005 down.
    const double mm = std::max(0.0, double(RoundEven(millimetres)));
    const uint64_t cm = (static_cast<uint64_t>(std::min(mm, 9.0e18)) + 5) / 10;
    std::string text = std::to_string(cm / 100);
    if (const uint64_t frac = cm % 100) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02u", unsigned(frac));
        text += separator;
        text += digits[0];
        if (digits[1] != '0') text += digits[1];
    }
    return text + " м";
}

// ---------------------------------------------------------------- installing

TWayWork::TWayWork(void* owner, TModel& model) : Owner(owner), Model(model)
{
    DownToken = Model.OnMouseDown.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            MouseDown(v, b, x, y);
            next(v, b, s, x, y);
        });
    UpToken = Model.OnMouseUp.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (v.ViewMode == ModeMeasure) MouseUp(v, x, y);
            next(v, b, s, x, y);
        });
    MoveToken = Model.OnMouseMove.Install([this](const auto& next, TView& v, uint32_t s, int32_t x, int32_t y) {
        MouseMove(v, x, y);
        next(v, s, x, y);
    });
    PaintToken = Model.OnAfterPaint.Install([this](const auto& next, TDrawContext& c) {
        // The picture under the rubber line is new: it is gone.
        if (c.Wnd == RubberWnd || !c.Wnd) RubberWnd = nullptr;
        if (Route.Count() > 0) DrawRoute(c);
        next(c);
    });
    NotifyToken = Model.OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
        // A change may be followed by a repaint under the line, which would
        // make the next move draw where there is nothing to take off.
        if (!DrawingCode(a.Code)) WipeRubber();
        next(a);
    });
}

TWayWork::~TWayWork()
{
    DownToken.Reset();
    UpToken.Reset();
    MoveToken.Reset();
    PaintToken.Reset();
    NotifyToken.Reset();
}

// ---------------------------------------------------------------- the rubber line

void TWayWork::DrawRubber(TWindowSurface& wnd) const
{
    TDeviceContext* dc = wnd.GetDC();
    if (!dc) return;
    const int32_t level = dc->SaveDC();
    dc->SetROP2(TGDI_R2_NOT);
    dc->SelectPen(StockPen(TGDI_BLACK_PEN));
    dc->MoveTo(LastPoint.X, LastPoint.Y);
    dc->LineTo(CurrentPoint.X, CurrentPoint.Y);
    dc->RestoreDC(level);
    wnd.ReleaseDC(dc);
}

void TWayWork::WipeRubber()
{
    const TWindowSurface* wnd = RubberWnd;
    RubberWnd = nullptr;
    if (!wnd) return;
    // Only a window one of the views still has is drawn into.
    for (TView* v : Model.Views)
        if (v->Wnd == wnd) {
            DrawRubber(*v->Wnd);
            return;
        }
}

// ---------------------------------------------------------------- the hooks

void TWayWork::MouseDown(TView& view, TMouseButton button, int32_t x, int32_t y)
{
    if (view.ViewMode != ModeMeasure) return;
    WipeRubber();
    Active = true;
    CurrentPoint = LastPoint = TPoint{x, y};
    if (button == TMouseButton::Left) AddPoint(view, x, y);
    else if (button == TMouseButton::Right) Clear(view);
}

void TWayWork::MouseMove(TView& view, int32_t x, int32_t y)
{
    if (view.ViewMode != ModeMeasure || !Active) return;
    WipeRubber();
    CurrentPoint = TPoint{x, y};
    if (view.Wnd) {
        DrawRubber(*view.Wnd);
        RubberWnd = view.Wnd;
    }
    ShowResult(view, x, y);
}

void TWayWork::MouseUp(TView& view, int32_t x, int32_t y)
{
    // A line on the window ends where it was drawn to; moved without it,
    // the next move would take off a line that is not there.
    const bool shown = RubberWnd != nullptr;
    WipeRubber();
    CurrentPoint = TPoint{x, y};
    if (shown && view.Wnd) {
        DrawRubber(*view.Wnd);
        RubberWnd = view.Wnd;
    }
}

void TWayWork::ShowResult(const TView& view, int32_t x, int32_t y)
{
    if (!OnResult) return;
    double mm = RouteMm;
    if (Route.Count() > 0) {
        // Without a point (a middle press came first) the route alone.
        TPoint w;
        Model.ScreenToWorld(view, x, y, w.X, w.Y);
        mm += SegmentMillimetres(Route.Points.back(), w);
    }
    OnResult(FormatMetres(mm, DecimalSeparator));
}

void TWayWork::AddPoint(TView& view, int32_t x, int32_t y)
{
    TPoint w;
    Model.ScreenToWorld(view, x, y, w.X, w.Y);
    if (!Route.Points.empty()) RouteMm += SegmentMillimetres(Route.Points.back(), w);
    Route.AddPoint(w, false);
    Length = RouteMm / 1000;

    // The route at once, as the next paint will draw it.
    TDeviceContext* dc = view.Wnd ? view.Wnd->GetDC() : nullptr;
    if (!dc) return;
    TDrawContext c{};
    c.DC = dc;
    c.Scale = view.Scale;
    c.WorldRect = view.WorldRect;
    c.ClientRect = view.ClientRect;
    c.MmPerPixel = view.MmPerPixel;
    c.SizeScale = view.Scale > 0 ? 1000 / view.Scale : 0;
    DrawRoute(c);
    view.Wnd->ReleaseDC(dc);
}

void TWayWork::DrawRoute(const TDrawContext& context) const
{
    if (!context.DC) return;
    // The pen the after-paint context carries, also for the draw at a press.
    TDrawContext c = context;
    c.LayerProc = nullptr;
    c.LayerPen = StockPen(TGDI_BLACK_PEN);
    Route.Draw(c);
}

void TWayWork::Clear(TView& view)
{
    WipeRubber();
    Route.Points.clear();
    Route.Points.shrink_to_fit();
    RouteMm = 0;
    Length = 0;
    Active = false;
    if (view.Wnd) view.Wnd->Invalidate(true);
}

} // namespace tarn
