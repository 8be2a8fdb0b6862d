#pragma once
// The map panel: a window surface shown inside a widget. It paints nothing
// of its own beyond its colour; its owner draws everything through OnPaint,
// which runs only after the surface was invalidated. Mouse events arrive in
// client pixels with the tools' button and shift numbering; while a button
// is held the panel keeps the mouse, so a release outside it still arrives.
#include "platform/WindowSurface.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

namespace tarn {

class TTessaraPanel : public QWidget {
public:
    explicit TTessaraPanel(QWidget* parent = nullptr);
    ~TTessaraPanel() override;

    TWindowSurface& Surface() { return *Wnd; }
    // (0, 0, width, height) of the surface.
    TRect ClientRect() const { return Wnd->ClientRect(); }
    // The colour the surface is cleared to before the owner paints.
    void SetColor(TColorRef color) { Wnd->SetBackground(color); }
    // A cursor id of the window surface (stock or registered).
    void SetMapCursor(int32_t cursor) { Wnd->SetCursor(cursor); }
    // The widget that shows the surface and takes the mouse.
    QWidget* SurfaceWidget() const { return Inner; }

    using TMouseEvent = std::function<void(TTessaraPanel&, TMouseButton, uint32_t shift, int32_t x, int32_t y)>;
    std::function<void(TTessaraPanel&)> OnPaint;
    std::function<void(TTessaraPanel&)> OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    std::function<void(TTessaraPanel&, uint32_t shift, int32_t x, int32_t y)> OnMouseMove;

private:
    class TSink;
    std::unique_ptr<TSink> Sink;
    std::unique_ptr<TWindowSurface> Wnd;
    QWidget* Inner = nullptr;  // owned by this widget
};

} // namespace tarn
