// The running window's commands: the map panel's events, the keyboard mode,
// the tool modes, full screen, the navigator toggle, splitters, options,
// legend, update and the information tab.
#include "MainForm.h"

#include "app/Cursors.h"
#include "app/SecretPanel.h"

#include <QToolButton>

namespace tarn {

namespace {

// Only one of the mode buttons is down at a time; a button let up leaves
// the plain mode.
void ModeButtonClick(TMainForm& form, QToolButton* button, int32_t mode)
{
    if (!form.Model()) return;
    form.Model()->GetViewState(*form.View());
    for (QToolButton* other : {form.LupaBtn, form.MoveBtn, form.WayBtn})
        if (other != button) other->setChecked(false);
    form.SetMapMode(button->isChecked() ? mode : ModeNormal);
}

} // namespace

// ---------------------------------------------------------------- modes and cursors

int32_t TMainForm::CursorOfMode(int32_t mode)
{
    switch (mode) {
    case ModeAddSign:
    case ModeMeasure: return CursorIdPen;
    case ModeDeleteSign:
    case ModeMoveSign:
    case ModeHover: return CursorHandPoint;
    case ModePan: return CursorIdHand;
    case ModeMagnifier: return CursorIdZoom;
    default: return CursorDefault;
    }
}

void TMainForm::SetMapMode(int32_t mode)
{
    if (ViewPtr) ViewPtr->ViewMode = mode;
    MapPanel->SetMapCursor(CursorOfMode(mode));
}

void TMainForm::LupaBtnClick() { ModeButtonClick(*this, LupaBtn, ModeMagnifier); }

void TMainForm::MoveBtnClick() { ModeButtonClick(*this, MoveBtn, ModePan); }

void TMainForm::WayBtnClick() {}

// ---------------------------------------------------------------- map panel events

void TMainForm::MapPanelPaint()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ModelPtr->PaintView(*ViewPtr);
    // What the user saw was drawn at the panel's real size.
    if (StartIsPending && MapPanel->isVisible()) StartIsPending = false;
}

void TMainForm::FormResize()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ViewPtr->ClientRect = MapPanel->ClientRect();
    ModelPtr->SetViewState(*ViewPtr);
    // Until the map was first painted, a resize is the panel taking its
    // real size: fit the start rectangle to it rather than keep the scale
    // fitted to the size it had unshown.
    if (StartIsPending) ApplyStartRect();
}

void TMainForm::ClearMapSelection()
{
    TKeyList keys;
    ModelPtr->HighlightObjects(ViewPtr.get(), 0, keys);
    if (!keys.empty()) ModelPtr->HighlightObjects(ViewPtr.get(), 2, keys);
}

void TMainForm::MapPanelMouseDown(TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    ClearMapSelection();
    SetMapFocused(true);
    if (ViewPtr->ViewMode == ModePan && button == TMouseButton::Right) return;
    MouseDownOnMap = true;
    ModelPtr->GetViewState(*ViewPtr);
    if (button == TMouseButton::Right) ModelPtr->RightMouseDown(*ViewPtr, shift, x, y);
    else if (button == TMouseButton::Left) ModelPtr->LeftMouseDown(*ViewPtr, shift, x, y);
    // The object numbers under a Shift-click (NumPanel) come with the commands.
}

void TMainForm::MapPanelMouseMove(uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    int32_t mode = ViewPtr->ViewMode;
    if (LupaBtn->isChecked()) mode = ModeMagnifier;
    if (MoveBtn->isChecked()) mode = ModePan;
    if (WayBtn->isChecked()) mode = ModeMeasure;
    SetMapMode(mode);
    if (mode == ModePan && (shift & ShiftRight)) return;
    ModelPtr->MouseMove(*ViewPtr, shift, x, y);
}

void TMainForm::MapPanelMouseUp(TMouseButton button, uint32_t shift, int32_t x, int32_t y)
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    if (ViewPtr->ViewMode == ModePan && button == TMouseButton::Right) return;
    if (!MouseDownOnMap) return;
    if (button == TMouseButton::Right) ModelPtr->RightMouseUp(*ViewPtr, shift, x, y);
    else if (button == TMouseButton::Left) ModelPtr->LeftMouseUp(*ViewPtr, shift, x, y);
    MouseDownOnMap = false;
}

void TMainForm::MapPanelClick() {}

// ---------------------------------------------------------------- keyboard mode

void TMainForm::SetMapFocused(bool) {}

void TMainForm::StreetListEnter() {}

void TMainForm::SetFalseMapFocused() {}

void TMainForm::FormKeyDown(TKeyArgs&) {}

void TMainForm::FormKeyUp(TKeyArgs&) {}

void TMainForm::AppEvents1ShortCut(TKeyArgs&) {}

void TMainForm::StreetEKeyPress(QChar&) {}

void TMainForm::StreetListMouseMove(QListWidget*, uint32_t, int32_t, int32_t) {}

void TMainForm::PageControl1Change() {}

// ---------------------------------------------------------------- commands

void TMainForm::SpeedButton1Click() {}

void TMainForm::SpeedButton9Click() {}

void TMainForm::UpdateBtnClick() {}

void TMainForm::SpeedButton10Click()
{
    if (ModelPtr) ModelPtr->ZoomAll(*ViewPtr);
}

void TMainForm::ZoomInBtnClick() {}

void TMainForm::ZoomOutBtnClick() {}

void TMainForm::Image1Click(QObject*) {}

void TMainForm::Label5Click() {}

void TMainForm::Label6Click() {}

void TMainForm::GifAnimator1Click() {}

void TMainForm::ToggleFullScreen(bool) {}

void TMainForm::miNavClick(bool) {}

// ---------------------------------------------------------------- splitters and panels

void TMainForm::Splitter1Moved() {}

void TMainForm::Splitter2Moved() {}

bool TMainForm::Splitter1CanResize(int32_t) { return true; }

bool TMainForm::Splitter2CanResize(int32_t) { return true; }

void TMainForm::Panel2Resize() {}

void TMainForm::FormClose() { SecretPanel1->Stop(); }

} // namespace tarn
