#pragma once
// The mouse tools of a map view and showing one object.
//
// TViewWork takes the model's five event hooks. While the view's mouse
// mode is one of its own (ModePan .. ModePick, 180..184) it turns drags and
// clicks into panning, magnifying, selecting, grouping and ungrouping, and
// the events go no further; in every other mode they pass on unchanged to
// the handlers installed before it.
//
// ZoomToObject shows one object in the middle of the view with a wide
// margin; ObjectExtent and PointObjectExtent work out the rectangle.
#include "model/Models.h"

#include <cstdint>
#include <memory>

namespace tarn {

// The name under which the application registers the tool in the model's
// named objects.
inline constexpr const char* ViewWorkName = "tsMapView";

class TViewWork {
public:
    // Installs the handlers on OnMouseDown, OnMouseUp, OnMouseMove,
    // OnAfterPaint and OnNotify, in that order.
    TViewWork(void* owner, TModel& model);
    // Removes the handlers (down, up, move, after paint, notify); the ones
    // installed before take the events again.
    ~TViewWork();
    TViewWork(const TViewWork&) = delete;
    TViewWork& operator=(const TViewWork&) = delete;

    void* const Owner;        // the creating window; kept, never used
    TModel& Model;
    TPoint DragStart{};       // client pixel where the button went down
    TPoint DragCurrent{};     // latest client pixel of the drag
    bool Dragging = false;    // a button is down over the view

private:
    bool MouseDown(TView& view, TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    bool MouseUp(TView& view, TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    bool MouseMove(TView& view, uint32_t shift, int32_t x, int32_t y);
    void AfterPaint(TDrawContext& context);
    void Notify(const TNotifyArgs& args);

    bool RubberBand(TView& view, uint32_t shift, int32_t x, int32_t y);
    bool LeftUp(TView& view, uint32_t shift, int32_t x, int32_t y);
    bool RightUp(TView& view, uint32_t shift, int32_t x, int32_t y);
    void Select(TView& view, const TPoint& c, const TRect& r, bool& redraw);
    void Ungroup(TView& view, const TPoint& c);
    void Group(TView& view);

    // The feedback band: which shape is on the window now (0 none, else
    // the mode it was drawn in), and on which view's window.
    void DrawBand(TDeviceContext& dc, int32_t shape) const;
    void WipeBand(TView* view);
    void EndDrag(TView* view);
    bool ViewAlive(const TView* view) const;

    int32_t BandShape = 0;
    TView* BandView = nullptr;
    const TWindowSurface* BandWnd = nullptr;

    THookToken DownToken;
    THookToken UpToken;
    THookToken MoveToken;
    THookToken PaintToken;
    THookToken NotifyToken;
};

// Creates the tool on the model's hooks. The two further arguments are
// not used (the application passes 0 and 0).
std::unique_ptr<TViewWork> CreateViewWork(void* owner, TModel& model, int32_t a = 0, int32_t b = 0);

// Hands the tool to the model's named objects under ViewWorkName; the
// model frees it when it closes. Answers the tool.
TViewWork& RegisterViewWork(TModel& model, std::unique_ptr<TViewWork> tool);

// Shows the object of key with a margin of 1.3 times its size on each
// side (a point object: a square by its layer's font height or sign size).
// A key that is not found (its sheet not loaded at the view's level of
// detail included), or an object without points, leaves the view as it
// was and answers false; callers then skip what they meant to do there.
bool ZoomToObject(TModel& model, TView& view, const TObjectKey& key);
// The rectangle ZoomToObject shows for the object; false when the view
// cannot find it or it has no points.
bool ObjectViewRect(TModel& model, TView& view, const TObjectKey& key, TRect& r);

// The points' bounding box grown by 1.3 times its width and height on each
// side, in world orientation (Top above Bottom); fewer than two points: a
// square of half-side 100000 around the first. No points: r unchanged.
void ObjectExtent(int32_t count, const TPoint* points, TRect& r);

// A square around a point object: half-side the absolute font height of a
// text layer (kind 6) times 1000, or the sign size of a sign layer (kind 7).
// Other kinds, or a key that is not found, leave r unchanged.
void PointObjectExtent(TModel& model, TView& view, const TObjectKey& key, TRect& r);

} // namespace tarn
