// The map tools of the main window: the navigator, the arrow and zoom
// buttons and keys, distance measuring and the mouse tool.
#include "MainForm.h"

#include "app/maptools/BtnBox.h"
#include "app/maptools/Nav.h"
#include "model/ViewWork.h"
#include "model/tsWay.h"

#include <QLabel>
#include <QLocale>
#include <QToolButton>

namespace tarn {

namespace {

// The keys the map takes: page up and down, the arrows, the numeric pad's
// digits 1 to 9, its add and subtract.
constexpr int32_t MapKeys[] = {33, 34, 37, 38, 39, 40, 97, 98, 99, 100, 101, 102, 103, 104, 105, 107, 109};

} // namespace

// The navigator in IvPanel, on "nav.prj" with a model and view of its own.
void TMainForm::CreateNavigator()
{
    Navigator = TOwned<TNavigator>::Make(IvPanel, *ModelPtr, *ViewPtr, ProgramDirName + "nav.prj");
}

// The arrow and zoom buttons and the map's keys with the window as the
// key form.
void TMainForm::CreateButtonBox()
{
    ButtonBox = TOwned<TButtonBox>::Make(*ModelPtr, *ViewPtr);
    ButtonBox->SetLeftButton(SpeedButton3);
    ButtonBox->SetRightButton(SpeedButton4);
    ButtonBox->SetUpButton(UpBtn);
    ButtonBox->SetDownButton(SpeedButton2);
    ButtonBox->SetUpLeftButton(SpeedButton5);
    ButtonBox->SetDownLeftButton(SpeedButton7);
    ButtonBox->SetUpRightButton(SpeedButton6);
    ButtonBox->SetDownRightButton(SpeedButton8);
    ButtonBox->SetZoomInButton(ZoomInBtn);
    ButtonBox->SetZoomOutButton(ZoomOutBtn);
    ButtonBox->SetKeyForm(this, [this](TKeyArgs& key) { FormKeyDown(key); });
    for (int32_t key : MapKeys) ButtonBox->KeySet.set(std::size_t(key));
    for (QToolButton* b : {SpeedButton3, SpeedButton4, UpBtn, SpeedButton2, SpeedButton5, SpeedButton7, SpeedButton6,
                           SpeedButton8, ZoomInBtn, ZoomOutBtn})
        b->setEnabled(true);
}

// Distance measuring, its result in WayPanel.
void TMainForm::CreateWayWork()
{
    WayWork = TOwned<TWayWork>::Make(this, *ModelPtr);
    WayWork->DecimalSeparator = QLocale().decimalPoint().toStdString();
    WayWork->OnResult = [this](const std::string& text) { WayPanel->setText(QString::fromStdString(text)); };
}

// Pan, magnifier and select, registered in the model as "tsMapView".
void TMainForm::CreateMouseTool() { RegisterViewWork(*ModelPtr, CreateViewWork(this, *ModelPtr, 0, 0)); }

} // namespace tarn
