#pragma once
// A window the model draws on at any time: a persistent RGB32 picture with
// one device context. Drawing through GetDC lands in the picture at once;
// releasing the context or invalidating asks the widget (when there is one)
// for a repaint. A repaint runs the owner's paint handler only after an
// invalidation, then shows the picture, so uncovering a window never draws
// the map again. Tests use a surface without a widget.
//
// No Qt in this header, so the model can hold surfaces.
#include "platform/Types.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>

class QImage;
class QWidget;

namespace tarn {

// Mouse buttons and shift state, numbered as the map tools expect them.
enum class TMouseButton : uint8_t { Left = 0, Right = 1, Middle = 2 };
constexpr uint32_t ShiftKey = 0x01;
constexpr uint32_t ShiftAlt = 0x02;
constexpr uint32_t ShiftCtrl = 0x04;
constexpr uint32_t ShiftLeft = 0x08;
constexpr uint32_t ShiftRight = 0x10;
constexpr uint32_t ShiftMiddle = 0x20;
constexpr uint32_t ShiftDouble = 0x40;

// Cursor ids: the stock shapes are negative, the program's own cursors
// (registered with RegisterSurfaceCursor) positive.
constexpr int32_t CursorDefault = 0;
constexpr int32_t CursorArrow = -2;
constexpr int32_t CursorCross = -3;
constexpr int32_t CursorWait = -11;
constexpr int32_t CursorHandPoint = -21;
constexpr int32_t CursorSizeAll = -22;

class TWindowSurface;

// What a surface reports to its owner. Key codes are the virtual-key codes
// of the original platform (0x25 left arrow ... 0x28 down, 0x6B add, ...).
class TSurfaceEvents {
public:
    virtual void OnPaint(TWindowSurface&) {}
    virtual void OnResize(TWindowSurface&) {}
    virtual void OnMouseDown(TWindowSurface&, TMouseButton, uint32_t /*shift*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnMouseUp(TWindowSurface&, TMouseButton, uint32_t /*shift*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnMouseMove(TWindowSurface&, uint32_t /*shift*/, int32_t /*x*/, int32_t /*y*/) {}
    virtual void OnDoubleClick(TWindowSurface&) {}
    virtual bool OnKeyDown(TWindowSurface&, int32_t /*key*/, uint32_t /*shift*/) { return false; }
    virtual void OnMouseLeave(TWindowSurface&) {}

protected:
    ~TSurfaceEvents() = default;
};

class TWindowSurface {
public:
    // A surface of the given client size (at least 1 x 1 pixels are kept in
    // the picture; ClientRect reports the size given, which may be empty).
    TWindowSurface(int32_t width, int32_t height);
    ~TWindowSurface();
    TWindowSurface(const TWindowSurface&) = delete;
    TWindowSurface& operator=(const TWindowSurface&) = delete;

    // (0, 0, width, height).
    TRect ClientRect() const { return TRect{0, 0, ClientWidth, ClientHeight}; }
    void Resize(int32_t width, int32_t height);

    // The context that draws into the picture; valid until the next resize.
    TDeviceContext* GetDC();
    // Shows what was drawn (schedules a repaint of the widget, no paint handler).
    void ReleaseDC(TDeviceContext* dc);
    // Asks for a repaint that runs the paint handler; with `erase` the
    // picture is cleared to the background colour first.
    void Invalidate(bool erase = true);
    bool IsInvalid() const { return Invalid; }
    // Runs the paint handler when invalidated (the widget's paint event and
    // tests call this); answers whether it ran.
    bool Paint();

    void SetEvents(TSurfaceEvents* events) { Events = events; }
    TSurfaceEvents* EventSink() const { return Events; }

    TColorRef Background() const { return BackgroundColor; }
    void SetBackground(TColorRef color) { BackgroundColor = color; }

    // Millimetres per screen pixel: fixed when set (> 0), else the screen's.
    double MmPerPixel() const;
    void SetMmPerPixel(double mm);

    void SetCursor(int32_t cursor);
    int32_t Cursor() const { return CursorId; }

    QImage& Image() { return *Img; }
    QWidget* Widget() const { return View; }

    // The widget that shows the surface (made on first call; owned by its Qt parent).
    QWidget* CreateWidget(QWidget* parent);

private:
    friend class TSurfaceWidget;
    void Update();
    void Recreate();

    int32_t ClientWidth;
    int32_t ClientHeight;
    std::unique_ptr<QImage> Img;
    std::unique_ptr<TDeviceContext> DC;
    TSurfaceEvents* Events = nullptr;
    QWidget* View = nullptr;
    bool Invalid = true;
    bool Erase = true;
    TColorRef BackgroundColor = Rgb(255, 255, 255);
    double FixedMm = 0;
    int32_t CursorId = CursorDefault;
};

// Registers a cursor of the program's own: ARGB pixels, width x height, hot spot.
void RegisterSurfaceCursor(int32_t id, const uint32_t* argb, int32_t width, int32_t height, int32_t hotX, int32_t hotY);

} // namespace tarn
