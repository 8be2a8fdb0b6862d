#include "Models.h"
#include "ModelsInternal.h"

#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"
#include "data/Registration.h"
#include "data/Utils.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace tarn {

// ---------------------------------------------------------------- notification arguments

namespace {

template <class T>
T* AsPtr(intptr_t v)
{
    return reinterpret_cast<T*>(v);
}

} // namespace

TView* TNotifyArgs::View() const
{
    if (Code == 18 || Code == 19 || Code == 20) return AsPtr<TView>(B);
    if (Code == 12) return AsPtr<TView>(C);
    return nullptr;
}
const TObjectKey* TNotifyArgs::Key() const
{
    return Code == 2 || Code == 3 || Code == 10 ? AsPtr<const TObjectKey>(B) : nullptr;
}
const void* TNotifyArgs::Buffer() const
{
    return Code == 2 || Code == 3 || Code == 10 ? AsPtr<const void>(C) : nullptr;
}
int32_t* TNotifyArgs::Answer() const { return Code == 17 ? AsPtr<int32_t>(B) : nullptr; }
const TLayerSelector* TNotifyArgs::Selector() const { return Code == 4 ? AsPtr<const TLayerSelector>(B) : nullptr; }
const TLayerRec* TNotifyArgs::LayerRecord() const { return Code == 4 ? AsPtr<const TLayerRec>(C) : nullptr; }
const TKeyList* TNotifyArgs::Keys() const { return Code == 8 ? AsPtr<const TKeyList>(C) : nullptr; }
TCustomLayer* TNotifyArgs::Layer() const { return Code == 21 ? AsPtr<TCustomLayer>(B) : nullptr; }
TDrawContext* TNotifyArgs::Context() const { return Code == 21 ? AsPtr<TDrawContext>(C) : nullptr; }
const TOwnerDrawRec* TNotifyArgs::OwnerDraw() const { return Code == 22 ? AsPtr<const TOwnerDrawRec>(C) : nullptr; }

// ---------------------------------------------------------------- TView

TView::TView(TWindowSurface* wnd) : Wnd(wnd)
{
    if (Wnd) {
        double mm = Wnd->MmPerPixel();
        MmPerPixel = mm > 0 && std::isfinite(mm) ? mm : 1.0;
        ClientRect = Wnd->ClientRect();
    }
}

TView::~TView()
{
    if (Model) Model->DetachView(*this);
}

// ---------------------------------------------------------------- TModel

TModel::TModel()
    : TAbstractItem(nullptr), WorkMap(std::make_unique<TMap>()), CollectionA(std::make_unique<TCollection>()),
      Compounds(std::make_unique<TCollection>()), CollectionB(std::make_unique<TCollection>()),
      Header(std::make_unique<TMapHeaderBlock>()), UIServices(std::make_shared<TModelUI>()),
      ReadFiles(std::make_unique<TReadFiles>())
{
    RegisterMapEngineClasses();
}

TModel::~TModel()
{
    JoinMapFreer();
    try {
        SaveIfModified(false);
    } catch (...) {
        // A failed save on close leaves the files as they were; nothing to report to.
    }
    for (TView* v : Views) JoinDrawThread(*v);
    NamedObjects.clear();
    Library.Close();
    LibraryLoaded = 0;
    for (TView* v : Views) v->Model = nullptr;
    Views.clear();
}

void TModel::SetUI(std::shared_ptr<TModelUI> ui)
{
    UIServices = ui ? std::move(ui) : std::make_shared<TModelUI>();
}

int32_t TModel::AttachView(TView& view)
{
    if (view.Model && view.Model != this) view.Model->DetachView(view);
    view.History = std::make_shared<THistory>();
    view.Model = this;
    if (std::find(Views.begin(), Views.end(), &view) == Views.end()) Views.push_back(&view);
    return 0;
}

void TModel::DetachView(TView& view)
{
    Views.erase(std::remove(Views.begin(), Views.end(), &view), Views.end());
    if (view.Model == this) view.Model = nullptr;
}

TView* TModel::FindView(const TView& view) const
{
    for (TView* v : Views)
        if (v->Wnd == view.Wnd && v->ClientRect == view.ClientRect) return v;
    return nullptr;
}

int32_t TModel::GetViewState(TView& view)
{
    TView* reg = FindView(view);
    if (!reg) return ResultNoData;
    if (reg == &view) return 0;
    view.Map = reg->Map;
    view.History = reg->History;
    view.ClientRect = reg->ClientRect;
    view.WorldRect = reg->WorldRect;
    view.Scale = reg->Scale;
    view.NotifyWnd = reg->NotifyWnd;
    view.KeptValues = reg->KeptValues;
    view.ViewMode = reg->ViewMode;
    return 0;
}

int32_t TModel::SetViewState(TView& view)
{
    TView* reg = Project ? FindView(view) : nullptr;
    if (!reg) return ResultNoData;
    reg->ViewMode = view.ViewMode;
    RecomputeRect(view);
    ClampToExtent(view);
    Notify(20, -1, reinterpret_cast<intptr_t>(&view), 0);
    return 0;
}

int32_t TModel::Notify(int32_t code, intptr_t a, intptr_t b, intptr_t c)
{
    switch (code) {
    case 4: case 5: case 6: case 7: case 10: case 13: case 15: Modified = 1; break;
    case 2: case 3: StructureChanged = 1; break;
    default: break;
    }
    switch (code) {
    case 2: case 3: case 4: case 5: case 8: case 11: case 12: case 13: case 18: case 19: case 20:
        NeedsRedraw = 1;
        for (TView* v : Views) v->NeedsRedraw = true;
        break;
    default: break;
    }
    CallNotifyHook(code, a, b, c);
    return 0;
}

void TModel::CallNotifyHook(int32_t code, intptr_t a, intptr_t b, intptr_t c)
{
    if (!OnNotify.Assigned()) return;
    TNotifyArgs args{code, a, b, c};
    try {
        OnNotify(args);
    } catch (const std::exception& e) {
        LastHookError = e.what();
    } catch (...) {
        LastHookError = "unknown exception";
    }
}

int32_t TModel::LeftMouseDown(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    OnMouseDown(view, TMouseButton::Left, shift, x, y);
    return 0;
}
int32_t TModel::RightMouseDown(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    OnMouseDown(view, TMouseButton::Right, shift, x, y);
    return 0;
}
int32_t TModel::LeftMouseUp(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    OnMouseUp(view, TMouseButton::Left, shift, x, y);
    return 0;
}
int32_t TModel::RightMouseUp(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    OnMouseUp(view, TMouseButton::Right, shift, x, y);
    return 0;
}
int32_t TModel::MouseMove(TView& view, uint32_t shift, int32_t x, int32_t y)
{
    OnMouseMove(view, shift, x, y);
    return 0;
}

// ---------------------------------------------------------------- view geometry

TRect TModel::ProjectRect() const
{
    if (!Project) return TRect{};
    return TRect{Project->Extent.Left, Project->Extent.Top, Project->Extent.Right, Project->Extent.Bottom};
}

void TModel::SetHitToleranceFor(const TView& view) const
{
    SetHitTolerance(RoundEvenSat(static_cast<long double>(PixelTolerance) * 0.5L * view.Scale));
}

void TModel::FillDrawContext(TView& view, TDeviceContext* dc)
{
    TDrawContext& c = view.Context;
    c = TDrawContext{};
    c.Flags = view.Flags;
    c.DC = dc;
    c.Wnd = view.Wnd;
    c.Scale = view.Scale;
    c.WorldRect = view.WorldRect;
    c.ClientRect = view.ClientRect;
    c.MmPerPixel = view.MmPerPixel;
    for (std::size_t i = 0; i < DrawOptions.size(); ++i) c.DrawOptions[i] = DrawOptions[i];
    c.DrawOptions[5] = 0;
    c.SelectColour = SelectColour;
    c.Spare2 = Spare2;
    c.PixelTolerance = PixelTolerance;
    c.LibraryLoaded = LibraryLoaded;
    c.Library = LibraryLoaded ? &Library : nullptr;
    c.LabelFont = &LabelFont;
    c.Model = this;
}

void TModel::MarkViewObjects(TView& view)
{
    if (!view.Map) return;
    TDrawContext c{};
    c.Wnd = view.Wnd;
    c.Scale = view.Scale;
    c.WorldRect = view.WorldRect;
    c.ClientRect = view.ClientRect;
    c.MmPerPixel = view.MmPerPixel;
    c.Model = this;
    MarkObjectsInView(*view.Map, c);
}

} // namespace tarn
