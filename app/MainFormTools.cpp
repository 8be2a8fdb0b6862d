// The map tools of the main window: the navigator, the arrow and zoom
// buttons and keys, distance measuring and the mouse tool.
#include "MainForm.h"

#include "model/ViewWork.h"

namespace tarn {

// The navigator in IvPanel, on "nav.prj" with a model and view of its own.
void TMainForm::CreateNavigator() {}

// The arrow and zoom buttons and the map's keys (33, 34, 37-40, 97-105,
// 107, 109) with the window as the key form.
void TMainForm::CreateButtonBox() {}

// Distance measuring, its result in WayPanel.
void TMainForm::CreateWayWork() {}

// Pan, magnifier and select, registered in the model as "tsMapView".
void TMainForm::CreateMouseTool() { RegisterViewWork(*ModelPtr, CreateViewWork(this, *ModelPtr, 0, 0)); }

} // namespace tarn
