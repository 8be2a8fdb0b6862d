// Drawing a view: directly into its window or through its off-screen
// picture, then the tools' after-paint layer.
#include "ModelsInternal.h"

#include "data/LayerDraw.h"
#include "data/MapObj.h"

namespace tarn {

namespace {

constexpr int32_t MapModeIsotropic = 7;

// The context's state saved for the length of a drawing.
class TSavedDC {
public:
    explicit TSavedDC(TDeviceContext& dc) : Dc(dc), Level(dc.SaveDC()) {}
    ~TSavedDC() { Dc.RestoreDC(Level); }
    TSavedDC(const TSavedDC&) = delete;
    TSavedDC& operator=(const TSavedDC&) = delete;

private:
    TDeviceContext& Dc;
    int32_t Level;
};

// The window's context, released (and the view's drawing contexts
// forgotten) however the drawing ends.
class TDrawingDCs {
public:
    TDrawingDCs(TView& view, TDeviceContext* windowDC) : View(view), WindowDC(windowDC) {}
    ~TDrawingDCs()
    {
        if (WindowDC) View.Wnd->ReleaseDC(WindowDC);
        View.WindowDC = nullptr;
        View.DrawDC = nullptr;
    }
    TDrawingDCs(const TDrawingDCs&) = delete;
    TDrawingDCs& operator=(const TDrawingDCs&) = delete;

private:
    TView& View;
    TDeviceContext* WindowDC;
};

bool EmptyClient(const TRect& r) { return r.Right == r.Left || r.Bottom == r.Top; }

} // namespace

bool TViewBitmap::Resize(int32_t width, int32_t height)
{
    if (Dc && width == W && height == H) return false;
    Dc.reset();
    W = H = 0;
    TGdiRef<TBitmap> bitmap = TBitmap::Create(width, height);
    if (!bitmap) return true;
    Dc = std::make_unique<TDeviceContext>(*bitmap);
    W = width;
    H = height;
    return true;
}

void TModel::DrawInto(TView& view, TDeviceContext& dc, bool clear)
{
    FillDrawContext(view, &dc);
    TSavedDC saved(dc);
    if (view.Flags & ViewFlagOwnDC) {
        int32_t res = dc.GetDeviceCaps(TGDI_HORZRES);
        view.Context.MmPerPixel = res == 0 ? 1.0 : dc.MillimetresPerPixel();
    } else {
        dc.SetMapMode(MapModeIsotropic);
    }
    if (!(view.Flags & ViewFlagKeepExtents)) {
        dc.SetWindowExt(1, 1);
        dc.SetViewportExt(1, 1);
    }
    if (clear) {
        TGdiRef<TBrush> background = TBrush::CreateSolid(view.Wnd->Background());
        dc.FillRect(TRect{0, 0, view.ClientRect.Right, view.ClientRect.Bottom}, background.get());
    }
    if (view.Map) DrawMap(*view.Map, view.Context);
}

void TModel::AfterPaint(TView& view)
{
    if ((view.Flags & ViewFlagOwnDC) || !OnAfterPaint.Assigned()) return;
    TDrawContext& c = view.Context;
    c.OwnAttributes = 0;
    c.LayerProc = nullptr;
    c.LayerPen = StockPen(TGDI_BLACK_PEN);
    OnAfterPaint(c);
}

int32_t TModel::PaintView(TView& view)
{
    if (EmptyClient(view.ClientRect)) return ResultNoData;
    SetHitToleranceFor(view);

    if (view.Flags & ViewFlagOwnDC) {
        if (!view.DrawDC) return ResultNoData;
        DrawInto(view, *view.DrawDC, false);
        return 0;
    }
    if (!view.Wnd) return ResultNoData;
    TDeviceContext* windowDC = view.Wnd->GetDC();
    if (!windowDC) return ResultNoData;
    TDrawingDCs release(view, windowDC);
    view.WindowDC = windowDC;

    if (!DoubleBuffer) {
        view.DrawDC = windowDC;
        DrawInto(view, *windowDC, true);
        AfterPaint(view);
        return 0;
    }

    const int32_t width = view.ClientRect.Right, height = view.ClientRect.Bottom;
    if (width <= 0 || height <= 0) return ResultNoData;
    if (view.Bitmap.Resize(width, height)) view.NeedsRedraw = true;
    TDeviceContext* bitmapDC = view.Bitmap.DC();
    if (!bitmapDC) return ResultNoData;
    bitmapDC->SetMillimetresPerPixel(windowDC->MillimetresPerPixel());
    view.DrawDC = bitmapDC;
    if (view.NeedsRedraw) {
        DrawInto(view, *bitmapDC, true);
        view.NeedsRedraw = false;
        NeedsRedraw = 0;
    } else {
        FillDrawContext(view, bitmapDC);
    }
    windowDC->BitBlt(0, 0, width, height, bitmapDC, 0, 0, TGDI_SRCCOPY);
    // The tools draw on the window, over the copied picture.
    view.Context.DC = windowDC;
    AfterPaint(view);
    return 0;
}

void TModel::InvalidateView(TView& view)
{
    if (view.Wnd) view.Wnd->Invalidate(!DoubleBuffer);
}

void TModel::RedrawView(TView& view)
{
    JoinDrawThread(view);
    InvalidateView(view);
}

void TModel::JoinDrawThread(TView& view) { view.DrawThread = 0; }

} // namespace tarn
