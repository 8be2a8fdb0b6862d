#pragma once
// The arrow and zoom buttons and the map's keys. Eight direction buttons
// move the visible area by a share of its size, two zoom buttons halve or
// double the scale denominator, and keys of a set move, zoom or show the
// whole map. The box takes over the buttons' presses (any mouse button)
// and, ahead of the window's own handler, the window's keys.
#include "app/common/ControlHooks.h"
#include "model/Models.h"

#include <QPointer>
#include <QWidget>

#include <bitset>
#include <cstdint>
#include <functional>

namespace tarn {

// Directions, clockwise from up; a direction button's tag holds its number.
enum TDirection : int32_t {
    DirUp = 0,
    DirUpRight = 1,
    DirRight = 2,
    DirDownRight = 3,
    DirDown = 4,
    DirDownLeft = 5,
    DirLeft = 6,
    DirUpLeft = 7,
};

class TButtonBox {
public:
    using TKeyHandler = std::function<void(TKeyArgs& key)>;

    TButtonBox(TModel& model, TView& view);
    // Gives the buttons and the window their presses and keys back.
    ~TButtonBox();
    TButtonBox(const TButtonBox&) = delete;
    TButtonBox& operator=(const TButtonBox&) = delete;

    // Binds a direction button: a button (QAbstractButton) gets the
    // direction as its tag and moves the view on a press; any other control
    // is only kept.
    void SetUpButton(QWidget* control) { Bind(Up, control, DirUp); }
    void SetUpRightButton(QWidget* control) { Bind(UpRight, control, DirUpRight); }
    void SetRightButton(QWidget* control) { Bind(Right, control, DirRight); }
    void SetDownRightButton(QWidget* control) { Bind(DownRight, control, DirDownRight); }
    void SetDownButton(QWidget* control) { Bind(Down, control, DirDown); }
    void SetDownLeftButton(QWidget* control) { Bind(DownLeft, control, DirDownLeft); }
    void SetLeftButton(QWidget* control) { Bind(Left, control, DirLeft); }
    void SetUpLeftButton(QWidget* control) { Bind(UpLeft, control, DirUpLeft); }
    // A press zooms; the button's click still follows on the release.
    void SetZoomInButton(QWidget* control) { Bind(ZoomIn, control, -1); }
    void SetZoomOutButton(QWidget* control) { Bind(ZoomOut, control, -1); }
    // Handles the form's keys ahead of its controls (key preview). The
    // form's own key-down handler is the box's to call from now on: with
    // the key, set to 0 when the box handled it, or not at all while the
    // box is disabled; the key reaches the form's controls unless it is 0.
    // While enabled, a key of the numeric pad types nothing (with Num Lock
    // on it would type its digit or sign into the focused edit).
    void SetKeyForm(QWidget* form, TKeyHandler formKeyDown);
    QWidget* KeyForm() const { return Form.Control; }

    // Moves the visible area one step (Step percent, at least 10) in a
    // direction; any other number sets the same area again. A move that
    // would leave 32-bit world coordinates is refused (false).
    bool MoveView(int32_t direction);
    // Halves or doubles the scale denominator. Zooming in stops at the
    // finest scale the model fits a view to; out, at the view's maximum.
    void ZoomInView();
    void ZoomOutView();
    // The form's key, by the key table.
    void KeyDown(TKeyArgs& key);

    TModel& Model;
    TView& View;
    int32_t Step = 0;                // percent; below 10 counts as 10
    bool Enabled = false;            // keys are handled only while true
    std::bitset<256> KeySet;         // the keys handled

private:
    struct TBinding {
        QPointer<QWidget> Control;
        THookToken Token;
    };
    void Bind(TBinding& binding, QWidget* control, int32_t direction);
    void ButtonMouseDown(QWidget* sender, const THook<TMouseButton, uint32_t, int32_t, int32_t>::TNext& next,
                         TMouseButton button, uint32_t shift, int32_t x, int32_t y);
    void CallForm(TKeyArgs& key) const;

    TBinding Left, Right, Up, Down, UpLeft, DownLeft, UpRight, DownRight;
    TBinding Form;
    TBinding ZoomIn, ZoomOut;
    THookToken FormKeyPress;
    TKeyHandler FormKeyDown;
    bool PadKeyDown = false;  // the last key down was the numeric pad's, taken by the map
};

} // namespace tarn
