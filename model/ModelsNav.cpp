// Scale and position of a view: fitting, centring, the project extent, the
// history and message 2026, and the conversions between client pixels and
// world coordinates.
//
// Every operation first works its result out in 64 bits and refuses, with
// nothing changed, a state whose corners would not fit 32 bits; only then
// does it change the view, so the steps below it (level switch, extent
// clamp, notifications) always see a sound view.
#include "ModelsInternal.h"

#include "data/Utils.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarn {

namespace {

constexpr double MinFitScale = 12.0;
constexpr double MaxScaleFactor = 1.5;
constexpr double ScaleMoved = 0.01;

// Rounded to nearest, halves to even, held within +-2^62 so that a few of
// them add up without overflow; such values never fit 32 bits anyway.
constexpr int64_t Far = int64_t(1) << 62;
int64_t Round64(long double v)
{
    if (std::isnan(v) || v >= static_cast<long double>(Far)) return Far;
    if (v <= -static_cast<long double>(Far)) return -Far;
    return RoundEven(v);
}

int64_t ClientWidth(const TView& v) { return std::llabs(int64_t(v.ClientRect.Right) - v.ClientRect.Left); }
int64_t ClientHeight(const TView& v) { return std::llabs(int64_t(v.ClientRect.Bottom) - v.ClientRect.Top); }
bool EmptyClient(const TView& v) { return ClientWidth(v) == 0 || ClientHeight(v) == 0; }

// World units covered by so many pixels.
int64_t Span(int64_t pixels, double scale) { return Round64(static_cast<long double>(pixels) * scale); }

bool Fits32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }
int32_t Sat32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A world rectangle in 64 bits.
struct TBox {
    int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;

    static TBox Of(const TRect& r) { return TBox{r.Left, r.Top, r.Right, r.Bottom}; }
    bool Fits() const { return Fits32(Left) && Fits32(Top) && Fits32(Right) && Fits32(Bottom); }
    TRect Rect() const { return TRect{Sat32(Left), Sat32(Top), Sat32(Right), Sat32(Bottom)}; }
};

// right := left + width x scale, bottom := top - height x scale.
TBox Recomputed(TBox b, const TView& v, double scale)
{
    b.Right = b.Left + Span(ClientWidth(v), scale);
    b.Bottom = b.Top - Span(ClientHeight(v), scale);
    return b;
}

// The window's worth of world around (x, y).
TBox CentredAt(const TView& v, int64_t x, int64_t y, double scale)
{
    int64_t hw = Round64(static_cast<long double>(ClientWidth(v)) * scale / 2);
    int64_t hh = Round64(static_cast<long double>(ClientHeight(v)) * scale / 2);
    return TBox{x - hw, y + hh, x + hw, y - hh};
}

// The centre a change of scale keeps, rounded.
void CentreOf(const TBox& b, int64_t& x, int64_t& y)
{
    x = Round64(static_cast<long double>(b.Left) + static_cast<long double>(std::llabs(b.Left - b.Right)) / 2);
    y = Round64(static_cast<long double>(b.Top) - static_cast<long double>(std::llabs(b.Bottom - b.Top)) / 2);
}

// Held inside the extent e: a view wider than the extent ends aligned on
// its left, one taller on its bottom.
TBox Clamped(TBox r, const TRect& e, const TView& v, double scale)
{
    if (r.Left >= e.Left && r.Top <= e.Top && r.Right <= e.Right && r.Bottom >= e.Bottom) return r;
    const int64_t w = Span(ClientWidth(v), scale), h = Span(ClientHeight(v), scale);
    if (r.Right > e.Right) {
        r.Right = e.Right;
        r.Left = r.Right - w;
    }
    if (r.Left < e.Left) {
        r.Left = e.Left;
        r.Right = r.Left + w;
    }
    if (r.Bottom < e.Bottom) {
        r.Bottom = e.Bottom;
        r.Top = r.Bottom + h;
    }
    if (r.Top > e.Top) {
        r.Top = e.Top;
        r.Bottom = r.Top - h;
    }
    return r;
}

// The scale that shows r whole in the view's client area (non-empty): at
// least 12, at most maxScale when that is not 0.
double FittedScale(const TView& v, const TRect& r, double maxScale)
{
    double sx = static_cast<double>(std::llabs(int64_t(r.Right) - r.Left)) / static_cast<double>(ClientWidth(v));
    double sy = static_cast<double>(std::llabs(int64_t(r.Top) - r.Bottom)) / static_cast<double>(ClientHeight(v));
    double s = std::max(sx, sy);
    if (s < MinFitScale) s = MinFitScale;
    if (maxScale != 0 && maxScale < s) s = maxScale;
    return s;
}

double FitLimit(const TView& v) { return (v.Flags & ViewFlagIgnoreMax) ? 0.0 : v.MaxScale; }

// The scale of 1:denominator, no larger than the view's maximum; 0 when
// the denominator gives no usable scale.
double ScaleOfDenominator(const TView& v, double denominator)
{
    if (!(denominator > 0) || !std::isfinite(denominator)) return 0;
    double s = denominator * v.MmPerPixel;
    if (v.MaxScale != 0 && v.MaxScale < s) s = v.MaxScale;
    return std::isfinite(s) && s > 0 ? s : 0;
}

// Where a change of scale keeping the centre of `from` ends, or false.
bool ScaleChangeFits(const TView& v, const TBox& from, double scale, const TRect& extent)
{
    int64_t x, y;
    CentreOf(from, x, y);
    TBox centred = CentredAt(v, x, y, scale);
    return centred.Fits() && Clamped(centred, extent, v, scale).Fits();
}

void PushHistory(TView& v, const TRect& r, double scale)
{
    if (v.History) v.History->PutPresentInstance(std::make_unique<TWndState>(r, scale));
}

intptr_t Arg(TView& v) { return reinterpret_cast<intptr_t>(&v); }

} // namespace

// ---------------------------------------------------------------- steps

void TModel::RecomputeRect(TView& view) const
{
    view.WorldRect = Recomputed(TBox::Of(view.WorldRect), view, view.Scale).Rect();
}

void TModel::ClampToExtent(TView& view)
{
    view.WorldRect = Clamped(TBox::Of(view.WorldRect), ProjectRect(), view, view.Scale).Rect();
    MarkViewObjects(view);
    Notify(19, -1, Arg(view), 0);
}

void TModel::FitScale(TView& view)
{
    double s = FittedScale(view, view.WorldRect, FitLimit(view));
    view.PrevScale = view.Scale;
    view.Scale = s;
    Notify(18, -1, Arg(view), 0);
}

void TModel::Recentre(TView& view, const TPoint& p)
{
    view.WorldRect = CentredAt(view, p.X, p.Y, view.Scale).Rect();
}

void TModel::ApplyScaleDenominator(TView& view, double scale)
{
    view.PrevScale = view.Scale;
    view.Scale = scale;
    int64_t x, y;
    CentreOf(TBox::Of(view.WorldRect), x, y);
    view.WorldRect = CentredAt(view, x, y, scale).Rect();
    LevelCheck(view);
    ClampToExtent(view);
}

void TModel::CloseNavigation(TView& view, const TRect& r0, double s0)
{
    if (view.WorldRect == r0 && std::fabs(view.Scale - s0) <= ScaleMoved) return;
    if (view.Flags & ViewFlagQuiet) return;
    JoinDrawThread(view);
    if (view.NotifyWnd) view.NotifyWnd(MessageViewChanged, 0, 0);
    InvalidateView(view);
}

// ---------------------------------------------------------------- operations

int32_t TModel::ZoomAll(TView& view)
{
    if (!Project || EmptyClient(view)) return ResultNoData;
    const TRect e = ProjectRect();
    const double fitted = FittedScale(view, e, 0);
    TBox target = Recomputed(TBox::Of(e), view, fitted);
    if (!target.Fits() || !Clamped(target, e, view, fitted).Fits()) return ResultOutOfRange;

    const TRect r0 = view.WorldRect;
    const double s0 = view.Scale;
    view.MaxScale = 0;
    if (s0 != 0) PushHistory(view, r0, s0);
    view.WorldRect = e;
    FitScale(view);
    RecomputeRect(view);
    if (view.Scale != 0) view.MaxScale = MaxScaleFactor * view.Scale;
    LevelCheck(view);
    ClampToExtent(view);
    CloseNavigation(view, r0, s0);
    return 0;
}

int32_t TModel::SetViewRect(TView& view, const TRect& rect)
{
    if (!Project || EmptyClient(view)) return ResultNoData;
    const double fitted = FittedScale(view, rect, FitLimit(view));
    TBox target = Recomputed(TBox::Of(rect), view, fitted);
    if (!target.Fits() || !Clamped(target, ProjectRect(), view, fitted).Fits()) return ResultOutOfRange;

    const TRect r0 = view.WorldRect;
    const double s0 = view.Scale;
    PushHistory(view, r0, s0);
    view.WorldRect = rect;
    FitScale(view);
    RecomputeRect(view);
    LevelCheck(view);
    ClampToExtent(view);
    CloseNavigation(view, r0, s0);
    return 0;
}

int32_t TModel::SetScaleDenominator(TView& view, double denominator)
{
    if (!Project) return ResultNoData;
    const double scale = ScaleOfDenominator(view, denominator);
    if (scale == 0 || !ScaleChangeFits(view, TBox::Of(view.WorldRect), scale, ProjectRect()))
        return ResultOutOfRange;

    const TRect r0 = view.WorldRect;
    const double s0 = view.Scale;
    PushHistory(view, r0, s0);
    ApplyScaleDenominator(view, scale);
    CloseNavigation(view, r0, s0);
    return 0;
}

int32_t TModel::ZoomAtPoint(TView& view, const TPoint& p, double denominator)
{
    if (!Project) return ResultNoData;
    if (std::isnan(denominator) || std::isinf(denominator)) return ResultOutOfRange;
    const TBox centred = CentredAt(view, p.X, p.Y, view.Scale);
    if (!centred.Fits()) return ResultOutOfRange;
    const bool rescale = denominator > 0 && std::fabs(view.Scale - denominator * view.MmPerPixel) > ScaleMoved;
    const double scale = rescale ? ScaleOfDenominator(view, denominator) : view.Scale;
    if (rescale ? scale == 0 || !ScaleChangeFits(view, centred, scale, ProjectRect())
                : !Clamped(centred, ProjectRect(), view, scale).Fits())
        return ResultOutOfRange;

    const TRect r0 = view.WorldRect;
    const double s0 = view.Scale;
    Recentre(view, p);
    if (rescale) {
        // The history keeps the position left, not the passing recentred one.
        PushHistory(view, r0, s0);
        ApplyScaleDenominator(view, scale);
    } else {
        ClampToExtent(view);
    }
    CloseNavigation(view, r0, s0);
    return 0;
}

// ---------------------------------------------------------------- conversions

void TModel::ScreenToWorld(const TView& view, int32_t x, int32_t y, int32_t& wx, int32_t& wy) const
{
    tarn::ScreenToWorld(view.Scale, view.WorldRect, view.ClientRect, x, y, wx, wy);
}

void TModel::ViewWorldToScreen(const TView& view, int32_t wx, int32_t wy, int32_t& x, int32_t& y) const
{
    WorldToScreen(view.Scale, view.WorldRect, view.ClientRect, wx, wy, x, y);
}

TPoint TModel::ProjectToWorld(const TPoint& p) const
{
    if (!Project) return p;
    return TPoint{Sat32(int64_t(p.X) + Project->Origin.X), Sat32(int64_t(p.Y) + Project->Origin.Y)};
}

TPoint TModel::WorldToProject(const TPoint& p) const
{
    if (!Project) return p;
    return TPoint{Sat32(int64_t(p.X) - Project->Origin.X), Sat32(int64_t(p.Y) - Project->Origin.Y)};
}

} // namespace tarn
