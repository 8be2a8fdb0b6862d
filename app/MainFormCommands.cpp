// The running window's commands: the map panel's events, the keyboard mode,
// the tool modes, the zoom limits, the legend, update and the information
// tab. Settings, full screen, splitters, the navigator toggle and the
// options are in MainFormSettings.cpp.
#include "MainForm.h"

#include "app/Program.h"
#include "app/SecretPanel.h"
#include "app/cards/Cust_f.h"
#include "app/search/Info_f.h"
#include "app/common/Cursors.h"
#include "app/common/Info_mdl.h"
#include "app/maptools/BtnBox.h"
#include "app/search/SearchObj.h"
#include "app/search/SearchT.h"
#include "app/windows/Inf_f.h"
#include "app/windows/Legend_f.h"
#include "app/windows/Update_f.h"
#include "db/TarnData.h"
#include "platform/Keys.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

namespace tarn {

namespace {

// The zoom buttons' limits (scale denominators).
constexpr double FinestDenominator = 1000;
constexpr double CoarsestDenominator = 100000;
// The fixed objects of the information tab's labels (layer 11, sheet 5).
constexpr int32_t InfoObjectLayer = 11;
constexpr int32_t InfoObjectSheet = 5;
constexpr int32_t Label5Code = 4698;
constexpr int32_t Label6Code = 4680;
// The frame of the tools' column, blue while the lists have the keyboard.
constexpr int FocusFrame = 3;
const char* const ProductSite = "https://tarn.example.org/";
// The fixed objects of the places' layer whose actions F1 and the credits
// run; F1's is the help card.
constexpr int32_t HelpAction = -2;

double Denominator(const TView& v) { return v.Scale / v.MmPerPixel; }

// The side that has the keyboard shows blue: the tools' column as a frame
// around it, the map's side in its status bar (the map keeps its size).
void Mark(QWidget* panel, QWidget* inside, bool on)
{
    // What lies inside keeps its own colours.
    if (inside && !inside->testAttribute(Qt::WA_SetPalette)) inside->setPalette(inside->palette());
    QPalette p = panel->parentWidget()->palette();
    if (on) {
        p.setColor(QPalette::Window, QColor(0, 0, 255));
        p.setColor(QPalette::WindowText, QColor(255, 255, 255));
    }
    panel->setAutoFillBackground(on);
    panel->setPalette(p);
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

void TMainForm::ReleaseModeButtons(QToolButton* except)
{
    for (QToolButton* b : {LupaBtn, MoveBtn, WayBtn})
        if (b != except) b->setChecked(false);
    // The measured length shows only while measuring.
    if (WayPanel->isHidden() == WayBtn->isChecked()) {
        WayPanel->clear();
        WayPanel->setVisible(WayBtn->isChecked());
    }
}

void TMainForm::LupaBtnClick()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ReleaseModeButtons(LupaBtn);
    SetMapMode(LupaBtn->isChecked() ? ModeMagnifier : ModeNormal);
}

void TMainForm::MoveBtnClick()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ReleaseModeButtons(MoveBtn);
    SetMapMode(MoveBtn->isChecked() ? ModePan : ModeNormal);
}

void TMainForm::WayBtnClick()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    ReleaseModeButtons(WayBtn);
    WayPanel->clear();
    SetMapMode(WayBtn->isChecked() ? ModeMeasure : ModeNormal);
    ModelPtr->SetViewState(*ViewPtr);
}

// ---------------------------------------------------------------- map panel events

void TMainForm::MapPanelPaint()
{
    // The hourglass while the map is drawn (a big city takes a moment).
    TBusy busy(Services);
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

void TMainForm::ExecuteObjectAction(const TObjectKey& key)
{
    if (SearchObject) SearchObject->ExecuteObjectAction(key);
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

    // A Shift-click names the object under the mouse: its layer and code.
    if (ViewPtr->ViewMode != ModeNormal && ViewPtr->ViewMode != ModeHover) return;
    TKeyList found;
    if (shift & ShiftKey) {
        TPoint w;
        ModelPtr->ScreenToWorld(*ViewPtr, x, y, w.X, w.Y);
        ModelPtr->ObjectsAtPoint(ViewPtr.get(), 3, found, w);
    }
    if (found.empty()) {
        NumPanel->clear();
        NumPanel->hide();
        return;
    }
    TObjectKey key = found.front();

    // With the right button, the information layer's object under the others.
    if (shift == (ShiftKey | ShiftRight))
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            if (it->LayerID == InfoObjectLayer) {
                key = *it;
                break;
            }
    NumPanel->setText(QString::number(key.LayerID) + QStringLiteral("; ") + QString::number(key.Code));
    NumPanel->show();
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

void TMainForm::MapPanelClick() { SetMapFocused(true); }

// ---------------------------------------------------------------- keyboard mode

void TMainForm::SetMapFocused(bool value)
{
    // In full screen the lists are out of sight: the map keeps the keyboard.
    if (!value && LeftPanel->isHidden()) return;
    MapFocused = value;
    LeftPanel->layout()->setContentsMargins(FocusFrame, FocusFrame, FocusFrame, FocusFrame);
    Mark(RightPanel, Panel2, value);
    Mark(LeftPanel, PanelPanel, !value);
    if (value && PageControl1->currentWidget() == TabSheet2) PageControl1->setCurrentWidget(TabSheet1);
    // Qt's focus stays in the tab's edit; the key preview routes the keys.
    if (PageControl1->currentWidget() == TabSheet1) StreetE->setFocus();
    else if (PageControl1->currentWidget() == TabSheet3) ObjE->setFocus();
    // Keys typed go to the lists only while the lists have the keyboard.
    for (TSearchText* list : {StreetSearch.get(), ObjectSearch.get()})
        if (list) list->SetAutoSearch(!value);
    if (ButtonBox) ButtonBox->Enabled = value;
}

void TMainForm::StreetListEnter() { SetMapFocused(false); }

void TMainForm::SetFalseMapFocused() { SetMapFocused(false); }

void TMainForm::FormKeyDown(TKeyArgs& key)
{
    const uint32_t mods = key.Shift & (ShiftKey | ShiftAlt | ShiftCtrl);
    if (key.Key == VkF1 + 3 && mods == ShiftAlt) {
        close();
        return;
    }
    if (key.Key == VkF1 + 4 && mods == 0) ToggleFullScreen(!LeftPanel->isHidden());
    if (key.Key == VkF1 && mods == 0) RunObjectAction(HelpAction);
    // The button box zoomed in by a key: the keys stop where the buttons do.
    if (key.Key == 0 && ModelPtr && ViewPtr->Scale < ViewPtr->PrevScale) ZoomInBtnClick();
    if (!MapFocused || key.Key == VkTab) return;  // Tab is the short cut's
    // A letter or digit, also with Ctrl or Alt, hands the keyboard to the
    // lists; a key the button box took (0) or the numeric pad's never does.
    if (key.Key != 0 && IsLetterOrDigitKey(key.Key, key.Text)) {
        // The character goes on to the edit that now has the keyboard,
        // and starts its search afresh (with Ctrl or Alt it types nothing).
        if (PageControl1->currentWidget() == TabSheet2) PageControl1->setCurrentWidget(TabSheet1);
        (PageControl1->currentWidget() == TabSheet3 ? ObjE : StreetE)->clear();
        SetMapFocused(false);
    }
    if (ModelPtr && (key.Shift & ShiftCtrl)) {
        ModelPtr->GetViewState(*ViewPtr);
        SetMapMode(ModeMagnifier);
    }
    if (ModelPtr && (key.Shift & ShiftAlt)) {
        ModelPtr->GetViewState(*ViewPtr);
        SetMapMode(ModePan);
    }
    key.Key = 0;
}

void TMainForm::FormKeyUp(TKeyArgs&)
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    SetMapMode(ModeNormal);
}

void TMainForm::AppEvents1ShortCut(TKeyArgs& key)
{
    if (key.Key != VkTab || (key.Shift & (ShiftCtrl | ShiftAlt))) return;
    SetMapFocused(!MapFocused);
    key.Key = 0;
}

void TMainForm::StreetEKeyPress(QChar& key)
{
    if (key == QLatin1Char('\r') || key == QLatin1Char('\n')) key = QChar();
}

void TMainForm::StreetListMouseMove(QListWidget* sender, uint32_t, int32_t x, int32_t y)
{
    const QListWidgetItem* item = sender->itemAt(x, y);
    sender->setToolTip(item ? PlainToolTip(item->text()) : QString());
}

void TMainForm::PageControl1Change()
{
    if (PageControl1->currentWidget() == TabSheet1) StreetE->setFocus();
    else if (PageControl1->currentWidget() == TabSheet3) ObjE->setFocus();
}

// ---------------------------------------------------------------- zoom limits

void TMainForm::ZoomInBtnClick()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    if (Denominator(*ViewPtr) / 2 < FinestDenominator) ModelPtr->SetScaleDenominator(*ViewPtr, FinestDenominator);
}

void TMainForm::ZoomOutBtnClick()
{
    if (!ModelPtr) return;
    ModelPtr->GetViewState(*ViewPtr);
    // Toward the limit only from a larger scale than the press left: the
    // whole city may be shown smaller than the limit.
    const double before = ViewPtr->PrevScale / ViewPtr->MmPerPixel;
    if (Denominator(*ViewPtr) * 2 > CoarsestDenominator && before < CoarsestDenominator)
        ModelPtr->SetScaleDenominator(*ViewPtr, CoarsestDenominator);
}

// ---------------------------------------------------------------- commands

void TMainForm::SpeedButton9Click()
{
    if (InfoModule.Windows && InfoModule.Windows->LegendForm) InfoModule.Windows->LegendForm->exec();
}

void TMainForm::UpdateBtnClick()
{
    if (!InfoModule.Windows || !InfoModule.Windows->UpdateForm) return;
    TUpdateForm& f = *InfoModule.Windows->UpdateForm;
    f.show();
    f.raise();
    f.activateWindow();
}

void TMainForm::SpeedButton10Click()
{
    if (ModelPtr) ModelPtr->ZoomAll(*ViewPtr);
}

void TMainForm::Image1Click(QObject* sender)
{
    if (const int32_t tag = TagOf(sender)) RunObjectAction(tag);
}

void TMainForm::RunObjectAction(int32_t code)
{
    if (!SearchObject) return;
    TBusy busy(Services);
    try {
        SearchObject->ExecuteObjectAction({0, 1, PlacesLayerID, PlacesSheetID, code});
    } catch (const std::exception& e) {
        Services.ShowError(e.what());
    }
}

void TMainForm::Label5Click() { InfoModule.ShowObjectOnMap({0, 1, InfoObjectLayer, InfoObjectSheet, Label5Code}); }

void TMainForm::Label6Click() { InfoModule.ShowObjectOnMap({0, 1, InfoObjectLayer, InfoObjectSheet, Label6Code}); }

void TMainForm::GifAnimator1Click() { Services.OpenAddress(ProductSite); }

void TMainForm::Panel2Resize()
{
    // The ticker lies over the status bar, just inside it.
    const QRect p = Panel2->geometry();
    SecretPanel1->setGeometry(p.left() + 4, p.bottom() + 1 + 5, p.width() - 8, StatusBar1->height() - 6);
}

void TMainForm::FormClose()
{
    SecretPanel1->Stop();
    Services.HideHint();
    // The program ends with its main window: every other window closes
    // (keeping its place), then the message loop ends, whatever is open.
    std::vector<QWidget*> open;
    if (InfoModule.CardForm) open.push_back(InfoModule.CardForm.get());
    if (InfoModule.TextForm) open.push_back(InfoModule.TextForm.get());
    for (const QPointer<QWidget>& group : InfoModule.GroupForms)
        if (group) open.push_back(group.data());
    if (TProgramWindows* w = InfoModule.Windows)
        for (QWidget* window : {static_cast<QWidget*>(w->UpdateForm.get()),
                                static_cast<QWidget*>(w->InformationForm.get())})
            if (window) open.push_back(window);
    for (QWidget* window : open)
        if (window->isVisible()) window->close();
    // Only the program's own loop ends (quit does nothing outside it).
    QCoreApplication::quit();
}

} // namespace tarn
