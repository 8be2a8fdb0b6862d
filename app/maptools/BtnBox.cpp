#include "BtnBox.h"

#include "platform/Keys.h"

#include <QAbstractButton>

#include <algorithm>
#include <cstdint>

namespace tarn {

namespace {

constexpr int32_t MinStep = 10;   // percent
constexpr int32_t CtrlStep = 30;  // with Ctrl, and a page up or down
// The finest scale (world units a pixel) the model fits a view to.
constexpr double FinestScale = 12.0;

bool Fits32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Which way a direction moves the area: -1, 0 or 1 across and up.
void Way(int32_t direction, int& across, int& up)
{
    static constexpr int Across[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int Up[8] = {1, 1, 0, -1, -1, -1, 0, 1};
    across = up = 0;
    if (direction < 0 || direction > 7) return;
    across = Across[direction];
    up = Up[direction];
}

// The rows of the key table that move, in their order: key, second key
// (0 none), direction, always 30 %.
struct TMoveRow {
    int32_t Key;
    int32_t Other;
    int32_t Direction;
    bool Page;
};
constexpr TMoveRow MoveRows[] = {
    {VkLeft, VkNumpad0 + 4, DirLeft, false},
    {VkRight, VkNumpad0 + 6, DirRight, false},
    {VkUp, VkNumpad0 + 8, DirUp, false},
    {VkDown, VkNumpad0 + 2, DirDown, false},
    {VkNumpad0 + 9, 0, DirUpRight, false},
    {VkNumpad0 + 3, 0, DirDownRight, false},
    {VkNumpad0 + 1, 0, DirDownLeft, false},
    {VkNumpad0 + 7, 0, DirUpLeft, false},
    {VkPrior, 0, DirUp, true},
    {VkNext, 0, DirDown, true},
};

} // namespace

TButtonBox::TButtonBox(TModel& model, TView& view) : Model(model), View(view) {}

TButtonBox::~TButtonBox()
{
    for (TBinding* b : {&Left, &Right, &Up, &Down, &UpLeft, &DownLeft, &UpRight, &DownRight, &Form, &ZoomIn, &ZoomOut})
        b->Token.Reset();
    FormKeyPress.Reset();
}

// ---------------------------------------------------------------- binding

void TButtonBox::Bind(TBinding& binding, QWidget* control, int32_t direction)
{
    binding.Token.Reset();
    binding.Control = control;
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (!button) return;
    using TNext = THook<TMouseButton, uint32_t, int32_t, int32_t>::TNext;
    auto& press = TControlHooks::Of(button).OnMousePress;
    if (&binding == &ZoomIn || &binding == &ZoomOut) {
        const bool in = &binding == &ZoomIn;
        // The button goes down as usual: its click, on the release, is
        // where the window sets the limits.
        binding.Token = press.Install([this, in](const TNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (in) ZoomInView();
            else ZoomOutView();
            next(b, s, x, y);
        });
        return;
    }
    SetTag(button, direction);
    binding.Token = press.Install([this, button](const TNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
        ButtonMouseDown(button, next, b, s, x, y);
    });
}

void TButtonBox::SetKeyForm(QWidget* form, TKeyHandler formKeyDown)
{
    Form.Token.Reset();
    FormKeyPress.Reset();
    Form.Control = form;
    FormKeyDown = std::move(formKeyDown);
    if (!form) return;
    TControlHooks& hooks = TControlHooks::Of(form);
    Form.Token = hooks.OnKeyDown.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        KeyDown(k);
        next(k);
    });
    // The character of a pad key the map took comes as an event of its own.
    FormKeyPress = hooks.OnKeyPress.Install([this](const THook<QChar&>::TNext& next, QChar& c) {
        if (PadKeyDown) c = QChar();
        PadKeyDown = false;
        next(c);
    });
    hooks.SetKeyPreview(true);
}

// ---------------------------------------------------------------- moving and zooming

bool TButtonBox::MoveView(int32_t direction)
{
    if (Step < MinStep) Step = MinStep;
    Model.GetViewState(View);
    const TRect& r = View.WorldRect;
    // Spans of up to 2^32 times a step below 2^31 stay inside 64 bits.
    const int64_t dy = (int64_t(r.Bottom) - r.Top) * Step / 100;  // negative: Top is above Bottom
    const int64_t dx = (int64_t(r.Right) - r.Left) * Step / 100;
    int across, up;
    Way(direction, across, up);
    const int64_t left = r.Left + across * dx, right = r.Right + across * dx;
    const int64_t top = r.Top - up * dy, bottom = r.Bottom - up * dy;
    if (!Fits32(left) || !Fits32(right) || !Fits32(top) || !Fits32(bottom)) return false;
    return Model.SetViewRect(View, TRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)}) == ResultDone;
}

void TButtonBox::ZoomInView()
{
    Model.GetViewState(View);
    const double scale = std::max(View.Scale / 2, std::min(View.Scale, FinestScale));
    Model.SetScaleDenominator(View, scale / View.MmPerPixel);
}

void TButtonBox::ZoomOutView()
{
    Model.GetViewState(View);
    Model.SetScaleDenominator(View, View.Scale * 2 / View.MmPerPixel);
}

void TButtonBox::ButtonMouseDown(QWidget* sender, const THook<TMouseButton, uint32_t, int32_t, int32_t>::TNext& next,
                                 TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    const int32_t direction = qobject_cast<QAbstractButton*>(sender) ? TagOf(sender) : -1;
    MoveView(direction);
    if (direction >= 0 && direction <= 7) next(button, shift, x, y);
}

// ---------------------------------------------------------------- keys

void TButtonBox::CallForm(TKeyArgs& key) const
{
    if (FormKeyDown) FormKeyDown(key);
}

void TButtonBox::KeyDown(TKeyArgs& key)
{
    // Disabled, the form's handler is skipped; the key still goes on to
    // the control that has the keyboard (a search edit).
    PadKeyDown = Enabled && IsNumpadKey(key.Key);
    if (!Enabled) return;
    if (key.Key < 0 || key.Key > 255 || !KeySet.test(std::size_t(key.Key))) {
        CallForm(key);
        return;
    }
    const bool ctrl = key.Shift & ShiftCtrl;
    if (key.Key == VkAdd || key.Key == VkShift) {
        if (ctrl) return;
        // The window may stop the zoom at its limit: one level switch, for
        // where it ends.
        TModel::TLevelHold hold(Model, View);
        ZoomInView();
        key.Key = 0;
        CallForm(key);
        return;
    }
    if (key.Key == VkSubtract || key.Key == VkOemMinus) {
        ZoomOutView();
        key.Key = 0;
    }
    if (key.Key == VkF1 + 4 || key.Key == VkNumpad0 + 5) Model.ZoomAll(View);
    for (const TMoveRow& row : MoveRows) {
        if (key.Key == 0 || (key.Key != row.Key && key.Key != row.Other)) continue;
        if (ctrl || row.Page) Step = CtrlStep;
        MoveView(row.Direction);
        Step = 0;
        key.Key = 0;
    }
    CallForm(key);
}

} // namespace tarn
