// User signs: the sign tool, its menu and its events.
#include "MainForm.h"

#include "model/WorkSign.h"

namespace tarn {

namespace {

constexpr int32_t SignLayerId = 307;
constexpr int32_t SignSheetId = 23;

} // namespace

// The sign tool on layer 307, new signs on sheet 23, with the events below
// (no before-move).
void TMainForm::CreateWorkSign()
{
    WorkSign = TOwned<TWorkSign>::Make(ModelPtr.get(), ViewPtr.get());
    MakeFieldQuery("", SignLayerId, WorkSign->SignLayer);
    WorkSign->SignSheetID = SignSheetId;
    WorkSign->OnBeforeAdd = [this](const TObjectKey& k, const TPoint& p, bool s) { return SignBeforeAdd(k, p, s); };
    WorkSign->OnAfterAdd = [this](const TObjectKey& k, const TPoint& p, bool s) { SignAfterAdd(k, p, s); };
    WorkSign->OnBeforeDelete = [this](const TObjectKey& k, bool c, bool s) { return SignBeforeDelete(k, c, s); };
    WorkSign->OnAfterDelete = [this](const TObjectKey& k, bool c, bool s) { SignAfterDelete(k, c, s); };
    WorkSign->OnAfterMove = [this](const TObjectKey& k, const TPoint& p, bool s) { SignAfterMove(k, p, s); };
}

void TMainForm::N1Click() {}

void TMainForm::N_2Click() {}

void TMainForm::N2Click() {}

int32_t TMainForm::SignBeforeAdd(const TObjectKey&, const TPoint&, bool) { return -1; }

void TMainForm::SignAfterAdd(const TObjectKey&, const TPoint&, bool) {}

int32_t TMainForm::SignBeforeDelete(const TObjectKey&, bool, bool) { return -1; }

void TMainForm::SignAfterDelete(const TObjectKey&, bool, bool) {}

void TMainForm::SignAfterMove(const TObjectKey&, const TPoint&, bool) {}

} // namespace tarn
