#pragma once
// Taking over a control's events. A window or a search list that wants a
// control's key, mouse, click or row-drawing events installs a handler on
// the control's chain; the handler gets the rest of the chain and decides
// whether to pass the event on. The bottom of every chain is the control's
// own behaviour: an event that does not get there (or a key set to 0 on
// the way) never reaches the control. As on the original platform, the
// character a key types comes after its key-down as an event of its own
// (OnKeyPress), whatever became of the key-down. The handler installed last runs
// first, and dropping its token removes it, in any order (model/Hooks.h).
//
// One hooks object per control, made on first use and destroyed with the
// control, so tokens held by longer-lived owners then do nothing.
//
// Key preview: a window that previews keys sees the key events of every
// control in it before the control does, on its own chains. A character
// whose key-down a preview handler took (key 0) after moving the focus
// is typed into the control that has the focus now.
#include "model/Hooks.h"
#include "platform/WindowSurface.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QStyleOptionViewItem;
class QWidget;

namespace tarn {

// A key event: the virtual key (platform/Keys.h, 0 takes it), the shift
// bits and what the key typed.
struct TKeyArgs {
    int32_t Key = 0;
    uint32_t Shift = 0;
    QString Text;
};

// One row of a list to draw. The default drawing (the bottom of the
// chain) draws the row as the list would.
struct TDrawItemArgs {
    QPainter& Painter;
    const QStyleOptionViewItem& Option;
    QRect Rect;
    int32_t Index = -1;
    bool Selected = false;
    bool Focused = false;
};

class TControlHooks : public QObject {
public:
    // The control's hooks, made on first use.
    static TControlHooks& Of(QWidget* control);
    // Its hooks when it has any.
    static TControlHooks* Find(const QWidget* control);

    QWidget* Control() const { return Target; }

    THook<TKeyArgs&> OnKeyDown;
    // The character typed; 0 takes it, another character is typed instead.
    THook<QChar&> OnKeyPress;
    THook<TKeyArgs&> OnKeyUp;
    // Mouse events in the control's client pixels (a list's or an edit's
    // visible area); a double click's press comes with ShiftDouble.
    THook<TMouseButton, uint32_t, int32_t, int32_t> OnMousePress;
    THook<TMouseButton, uint32_t, int32_t, int32_t> OnMouseRelease;
    THook<uint32_t, int32_t, int32_t> OnMouseMove;
    // A button's click; a list's click on a row or move of its current row
    // by a key; any other control's left press and release over it. The
    // control has already acted on it: the bottom of this chain is empty.
    THook<> OnClick;
    THook<> OnDoubleClick;
    // The control takes or loses the keyboard focus.
    THook<> OnEnter;
    THook<> OnExit;
    // The control has its new size (after the fact: the bottom is empty).
    THook<> OnResize;
    // Rows of a list (an item view).
    THook<TDrawItemArgs&> OnDrawItem;

    // The control's window sees its controls' keys first (see above).
    void SetKeyPreview(bool on);
    bool KeyPreview() const { return Preview; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TControlHooks(QWidget* control);
    class TRowPainter;
    class TPreviewFilter;

    bool KeyPress(QKeyEvent* event);
    bool KeyRelease(QKeyEvent* event);
    bool PreviewKey(QWidget* control, QKeyEvent* event);
    bool Mouse(QMouseEvent* event);
    // Delivers the event to the receiver now, past this filter and the
    // key preview; a character alone skips the receiver's key-down chain.
    void Deliver(QObject* receiver, QEvent* event, bool charOnly = false);
    // Types the character into the receiver; false for one that types nothing.
    bool DeliverTyped(QWidget* receiver, const QKeyEvent& event, QChar c);

    QWidget* Target;
    QWidget* Area = nullptr;  // a scroll area's visible part, where its mouse events arrive
    // Set by the bottom of a chain when an event got there.
    std::shared_ptr<bool> Reached = std::make_shared<bool>(false);
    std::vector<THookToken> Bottoms;
    bool Preview = false;
    bool LeftDown = false;  // a left press on a plain control, for its click
    bool IsButton = false;
    bool IsItemView = false;
};

// From now on every context menu the mouse asks for opens on the right
// button's release, as on the original platform, not on its press: the
// control under the mouse gets the press and the release first (a list's
// hint shows while the button is held and goes with the release), and a
// menu never takes the release from it. Once per application.
void OpenContextMenusOnRelease();

// The number a control carries for its handlers (a direction, a fixed
// object's code); 0 when none was set.
int32_t TagOf(const QObject* control);
void SetTag(QObject* control, int32_t tag);

} // namespace tarn
