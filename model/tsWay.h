#pragma once
// Distance measuring. In the view mouse mode 82 each left press adds the
// world point under the mouse to a route and a right press clears it; a
// rubber line follows the mouse from the last press, and the route's
// length plus the running segment, in metres, goes to OnResult. The route
// stays drawn over the map after every paint, in every mode. Measuring
// never keeps an event from the handlers installed before it.
//
// World units are millimetres on the ground.
#include "data/MapObj.h"
#include "model/Models.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tarn {

class TWayWork {
public:
    // Installs the handlers on OnMouseDown, OnMouseUp, OnMouseMove,
    // OnAfterPaint and OnNotify, in that order.
    TWayWork(void* owner, TModel& model);
    ~TWayWork();
    TWayWork(const TWayWork&) = delete;
    TWayWork& operator=(const TWayWork&) = delete;

    void* const Owner;  // the creating window; kept, not used
    TModel& Model;
    TPolyLine Route;          // the pressed points in world units, in order
    TPoint LastPoint{};       // client pixels: the rubber line's start (the last press)
    TPoint CurrentPoint{};    // and its end
    bool Active = false;      // a measuring press happened and the route was not cleared since
    double Length = 0;        // metres: the route at the last left press

    // The result text (UTF-8), "1334.57 м"; unset: shown nowhere.
    std::function<void(const std::string& text)> OnResult;
    // The locale's decimal separator for the text.
    std::string DecimalSeparator = ".";

    // A right press in mode 82: the route emptied, the measuring ended,
    // the view's window repainted without the route.
    void Clear(TView& view);

private:
    void MouseDown(TView& view, TMouseButton button, int32_t x, int32_t y);
    void MouseMove(TView& view, int32_t x, int32_t y);
    void MouseUp(TView& view, int32_t x, int32_t y);
    void AddPoint(TView& view, int32_t x, int32_t y);
    void DrawRoute(const TDrawContext& context) const;
    void ShowResult(const TView& view, int32_t x, int32_t y);

    // The rubber line is drawn not-xor: drawing it again takes it off.
    void DrawRubber(TWindowSurface& wnd) const;
    void WipeRubber();

    double RouteMm = 0;  // Length in whole millimetres
    const TWindowSurface* RubberWnd = nullptr;  // the window showing the rubber line now, or null

    THookToken DownToken;
    THookToken UpToken;
    THookToken MoveToken;
    THookToken PaintToken;
    THookToken NotifyToken;
};

// The distance of two world points in whole millimetres (rounded, halves
// to even), in double: any two 32-bit points have one.
double SegmentMillimetres(const TPoint& a, const TPoint& b);

// Whole millimetres as metres: at most two decimals, rounded half up, no
// trailing zeros and no thousands separator, then " м" ("3 м", "1334.57 м").
std::string FormatMetres(double millimetres, const std::string& separator);

} // namespace tarn
