#include "ViewWork.h"

#include "data/MapObj.h"
#include "data/Utils.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace tarn {

namespace {

bool OwnMode(int32_t mode) { return static_cast<uint32_t>(mode) - uint32_t(ModePan) < 5u; }

bool Button(TMouseButton b) { return b == TMouseButton::Left || b == TMouseButton::Right; }

int64_t Apart(int32_t a, int32_t b) { return std::llabs(int64_t(a) - b); }

int32_t Sat32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

TRect SatRect(int64_t left, int64_t top, int64_t right, int64_t bottom)
{
    return TRect{Sat32(left), Sat32(top), Sat32(right), Sat32(bottom)};
}

// The magnifier's step: the denominator times factor, to single precision
// as the buttons and keys have it.
double StepDenominator(const TView& view, double factor)
{
    return static_cast<double>(static_cast<float>(view.Scale / view.MmPerPixel * factor));
}

void TellWindow(TView& view)
{
    if (view.NotifyWnd) view.NotifyWnd(MessageViewChanged, 0, 0);
}

// The members of a compound (op 0, mode 0: identifier, count, 12 spare
// bytes, then 32 bytes a member) as keys of this model.
void AppendMembers(const std::vector<uint8_t>& b, int32_t modelNo, TKeyList& to)
{
    constexpr std::size_t Head = 20, Record = 32;
    if (b.size() < Head) return;
    const int32_t count = GetI32(b.data() + 4);
    if (count < 0 || uint64_t(count) > (b.size() - Head) / Record) return;
    for (int32_t m = 0; m < count; ++m) {
        const TObjectKey k = DecodeObjectKey(b.data() + Head + Record * std::size_t(m));
        TObjectKey member;
        member.ModelNo = modelNo;
        member.LayerID = k.LayerID;
        member.SheetID = k.SheetID;
        member.Code = k.Code;
        to.push_back(member);
    }
}

} // namespace

// ---------------------------------------------------------------- installing

TViewWork::TViewWork(void* owner, TModel& model) : Owner(owner), Model(model)
{
    DownToken = Model.OnMouseDown.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (!MouseDown(v, b, s, x, y)) next(v, b, s, x, y);
        });
    UpToken = Model.OnMouseUp.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (!MouseUp(v, b, s, x, y)) next(v, b, s, x, y);
        });
    MoveToken = Model.OnMouseMove.Install([this](const auto& next, TView& v, uint32_t s, int32_t x, int32_t y) {
        if (!MouseMove(v, s, x, y)) next(v, s, x, y);
    });
    PaintToken = Model.OnAfterPaint.Install([this](const auto& next, TDrawContext& c) {
        next(c);
        AfterPaint(c);
    });
    NotifyToken = Model.OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
        Notify(a);
        next(a);
    });
}

TViewWork::~TViewWork()
{
    DownToken.Reset();
    UpToken.Reset();
    MoveToken.Reset();
    PaintToken.Reset();
    NotifyToken.Reset();
}

std::unique_ptr<TViewWork> CreateViewWork(void* owner, TModel& model, int32_t /*a*/, int32_t /*b*/)
{
    return std::make_unique<TViewWork>(owner, model);
}

TViewWork& RegisterViewWork(TModel& model, std::unique_ptr<TViewWork> tool)
{
    if (!tool) throw ETarnError("no mouse tool to register");
    TViewWork& registered = *tool;
    model.AddObject<TViewWork>(ViewWorkName, std::move(tool));
    return registered;
}

// ---------------------------------------------------------------- the feedback band

bool TViewWork::ViewAlive(const TView* view) const
{
    return view && std::find(Model.Views.begin(), Model.Views.end(), view) != Model.Views.end();
}

void TViewWork::DrawBand(TDeviceContext& dc, int32_t shape) const
{
    // Not-xor: drawn twice, the window is as it was.
    const int32_t level = dc.SaveDC();
    dc.SetROP2(TGDI_R2_NOT);
    dc.SelectPen(StockPen(TGDI_BLACK_PEN));
    if (shape == ModePan) {
        dc.MoveTo(DragStart.X, DragStart.Y);
        dc.LineTo(DragCurrent.X, DragCurrent.Y);
    } else {
        dc.SelectBrush(StockBrush(TGDI_NULL_BRUSH));
        dc.Rectangle(DragStart.X, DragStart.Y, DragCurrent.X, DragCurrent.Y);
    }
    dc.RestoreDC(level);
}

// Takes the band off its window. `current` is the view of the event being
// handled (alive by definition); any other view is used only while the
// model still holds it.
void TViewWork::WipeBand(TView* current)
{
    if (!BandShape) return;
    TView* view = BandView == current ? current : (ViewAlive(BandView) ? BandView : nullptr);
    if (view && view->Wnd && view->Wnd == BandWnd)
        if (TDeviceContext* dc = view->Wnd->GetDC()) {
            DrawBand(*dc, BandShape);
            view->Wnd->ReleaseDC(dc);
        }
    BandShape = 0;
    BandView = nullptr;
    BandWnd = nullptr;
}

void TViewWork::EndDrag(TView* current)
{
    WipeBand(current);
    Dragging = false;
}

// ---------------------------------------------------------------- the hooks

bool TViewWork::MouseDown(TView& view, TMouseButton button, uint32_t /*shift*/, int32_t x, int32_t y)
{
    WipeBand(&view);  // a second button pressed during a drag starts afresh
    DragStart = DragCurrent = TPoint{x, y};
    Dragging = true;
    return Button(button) && OwnMode(view.ViewMode);
}

bool TViewWork::MouseMove(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    if (!Dragging || !OwnMode(view.ViewMode)) return false;
    return RubberBand(view, shift, x, y);
}

bool TViewWork::MouseUp(TView& view, TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    const bool handled = Dragging && Button(button) && OwnMode(view.ViewMode);
    // Off before any step draws on the window or has it repainted.
    WipeBand(&view);
    // Every release ends the drag, also one whose step throws.
    struct TDragEnd {
        bool& Flag;
        ~TDragEnd() { Flag = false; }
    } end{Dragging};
    if (!handled) return false;
    return button == TMouseButton::Left ? LeftUp(view, shift, x, y) : RightUp(view, shift, x, y);
}

void TViewWork::Notify(const TNotifyArgs& args)
{
    // Codes 21 and 22 come from drawing the map: a repaint keeps the drag.
    if (args.Code == 21 || args.Code == 22) return;
    EndDrag(nullptr);
}

void TViewWork::AfterPaint(TDrawContext& context)
{
    // The repaint covered the band; put it back so that the next move or
    // the release takes off what is really there.
    if (BandShape && context.DC && context.Wnd == BandWnd) DrawBand(*context.DC, BandShape);
}

// ---------------------------------------------------------------- the steps

bool TViewWork::RubberBand(TView& view, uint32_t /*shift*/, int32_t x, int32_t y)
{
    if (view.ViewMode == ModePick) return true;
    WipeBand(&view);
    DragCurrent = TPoint{x, y};
    TDeviceContext* dc = view.Wnd ? view.Wnd->GetDC() : nullptr;
    if (!dc) return true;
    DrawBand(*dc, view.ViewMode);
    BandShape = view.ViewMode;
    BandView = &view;
    BandWnd = view.Wnd;
    view.Wnd->ReleaseDC(dc);
    return true;
}

bool TViewWork::LeftUp(TView& view, uint32_t /*shift*/, int32_t x, int32_t y)
{
    DragCurrent = TPoint{x, y};
    TPoint s, c;
    Model.ScreenToWorld(view, DragStart.X, DragStart.Y, s.X, s.Y);
    Model.ScreenToWorld(view, DragCurrent.X, DragCurrent.Y, c.X, c.Y);
    const int32_t mode = view.ViewMode;
    TRect r{s.X, s.Y, c.X, c.Y};
    if (mode != ModePan) {
        if (r.Left > r.Right) std::swap(r.Left, r.Right);
        if (r.Bottom > r.Top) std::swap(r.Top, r.Bottom);
    }
    bool redraw = false;
    switch (mode) {
    case ModePan: {
        // Not normalised: the map follows the mouse.
        const int64_t dx = int64_t(s.X) - c.X, dy = int64_t(s.Y) - c.Y;
        const TRect& w = view.WorldRect;
        const int64_t v[4] = {w.Left + dx, w.Top + dy, w.Right + dx, w.Bottom + dy};
        if (std::all_of(v, v + 4, [](int64_t e) { return e >= INT32_MIN && e <= INT32_MAX; }))
            Model.SetViewRect(view, TRect{int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])});
        redraw = true;
        break;
    }
    case ModeMagnifier:
        if (Apart(DragStart.X, DragCurrent.X) < 5 && Apart(DragStart.Y, DragCurrent.Y) < 5)
            Model.ZoomAtPoint(view, s, StepDenominator(view, 0.5));
        else
            Model.SetViewRect(view, r);
        redraw = true;
        TellWindow(view);
        break;
    case ModeSelect:
    case ModeSelectGroup: Select(view, c, r, redraw); break;
    case ModePick: Ungroup(view, c); break;
    default: break;
    }
    if (redraw) Model.RedrawView(view);
    return true;
}

bool TViewWork::RightUp(TView& view, uint32_t /*shift*/, int32_t x, int32_t y)
{
    switch (view.ViewMode) {
    case ModeMagnifier: {
        DragCurrent = TPoint{x, y};
        TPoint s;
        Model.ScreenToWorld(view, DragStart.X, DragStart.Y, s.X, s.Y);
        Model.ZoomAtPoint(view, s, StepDenominator(view, 2.0));
        Model.RedrawView(view);
        TellWindow(view);
        break;
    }
    case ModeSelectGroup: Group(view); break;
    default: break;
    }
    return true;
}

// A click or a box toggles the highlight of every object hit; an object of
// a compound toggles all the compound's members with it.
void TViewWork::Select(TView& view, const TPoint& c, const TRect& r, bool& redraw)
{
    TKeyList found, toAdd, toRemove;
    if (Apart(DragCurrent.Y, DragStart.Y) < 7 && Apart(DragStart.X, DragCurrent.X) < 7) {
        Model.ObjectsAtPoint(&view, 2, found, c);
    } else {
        Model.ObjectsInRect(&view, 2, found, r);
        redraw = true;
    }
    std::vector<uint8_t> header, compound, members;
    for (const TObjectKey& key : found) {
        const bool highlighted = Model.GetObjectData(&view, 1, key, header) == ResultDone &&
                                 header.size() >= ObjectHeaderSize &&
                                 (DecodeObjectHeader(header.data()).Flags & ObjFlagSelected);
        TKeyList& to = highlighted ? toRemove : toAdd;
        if (Model.CompoundObjects(0, key, compound, 2) != ResultDone || compound.size() < ObjectKeySize) {
            to.push_back(key);
            continue;
        }
        if (Model.CompoundObjects(0, DecodeObjectKey(compound.data()), members, 0) == ResultDone)
            AppendMembers(members, Model.ModelNo, to);
    }
    Model.HighlightObjects(&view, 2, toRemove);
    Model.HighlightObjects(&view, 1, toAdd);
}

// Dissolves the compound holding the clicked object; its members stay.
void TViewWork::Ungroup(TView& view, const TPoint& c)
{
    TKeyList found;
    Model.ObjectsAtPoint(&view, 2, found, c);
    if (found.empty()) return;
    std::vector<uint8_t> b;
    if (Model.CompoundObjects(0, found.front(), b, 2) != ResultDone || b.size() < ObjectKeySize) return;
    const TObjectKey compoundKey = DecodeObjectKey(b.data());
    std::vector<uint8_t> list = EncodeKeyList({compoundKey});
    Model.CompoundObjects(2, compoundKey, list, 0);
}

// The highlighted objects become a new compound, each marked with flag 32.
void TViewWork::Group(TView& view)
{
    if (!Model.Project) return;
    TKeyList keys;
    Model.HighlightObjects(&view, 0, keys);
    if (keys.empty()) return;  // a compound of nothing would only be stored
    TObjectKey compoundKey;
    compoundKey.ModelNo = Model.ModelNo;
    compoundKey.LayerID = -1;
    compoundKey.SheetID = -1;
    compoundKey.Code = Model.Project->NewID();  // first: out of identifiers, nothing is marked
    Model.SetObjectFlags(view, 3, keys);
    std::vector<uint8_t> list = EncodeKeyList(keys);
    Model.CompoundObjects(3, compoundKey, list, 0);
}

// ---------------------------------------------------------------- showing one object

void ObjectExtent(int32_t count, const TPoint* points, TRect& r)
{
    if (count <= 0 || !points) return;
    const int64_t x = points[0].X, y = points[0].Y;
    if (count < 2) {
        r = SatRect(x - 100000, y + 100000, x + 100000, y - 100000);
        return;
    }
    int64_t left = x, right = x, top = y, bottom = y;
    for (int32_t i = 1; i < count; ++i) {
        left = std::min<int64_t>(left, points[i].X);
        right = std::max<int64_t>(right, points[i].X);
        top = std::max<int64_t>(top, points[i].Y);
        bottom = std::min<int64_t>(bottom, points[i].Y);
    }
    // The object ends up in the middle 1/3.6 of the width and height.
    const int64_t dx = RoundEven(1.3 * static_cast<double>(right - left));
    const int64_t dy = RoundEven(1.3 * static_cast<double>(top - bottom));
    r = SatRect(left - dx, top + dy, right + dx, bottom - dy);
}

void PointObjectExtent(TModel& model, TView& view, const TObjectKey& key, TRect& r)
{
    TLayerSelector selector;
    MakeFieldQuery("", key.LayerID, selector);
    TLayerRec layer{};
    if (model.GetLayerInfo(selector, layer) != 0) return;
    std::vector<uint8_t> b;
    if (model.GetObjectData(&view, 1, key, b) != ResultDone || b.size() < ObjectHeaderSize) return;
    const TObjectHeader h = DecodeObjectHeader(b.data());
    int64_t half;
    if (layer.Kind == LayerKindText) half = std::llabs(int64_t(layer.TextFont.Height)) * 1000;
    else if (layer.Kind == LayerKindSign) half = layer.Style1;
    else return;
    r = SatRect(int64_t(h.X) - half, int64_t(h.Y) + half, int64_t(h.X) + half, int64_t(h.Y) - half);
}

bool ZoomToObject(TModel& model, TView& view, const TObjectKey& key)
{
    TRect r{};
    return ObjectViewRect(model, view, key, r) && model.SetViewRect(view, r) == ResultDone;
}

bool ObjectViewRect(TModel& model, TView& view, const TObjectKey& key, TRect& r)
{
    std::vector<uint8_t> b;
    if (model.GetObjectData(&view, 2, key, b) != ResultDone) return false;
    const std::size_t n = std::min<std::size_t>(b.size() / 8, INT32_MAX);
    if (n == 0) return false;  // nothing to show
    std::vector<TPoint> points(n);
    for (std::size_t i = 0; i < n; ++i) points[i] = TPoint{GetI32(b.data() + 8 * i), GetI32(b.data() + 8 * i + 4)};
    ObjectExtent(static_cast<int32_t>(n), points.data(), r);
    if (n < 2) PointObjectExtent(model, view, key, r);
    return true;
}

} // namespace tarn
