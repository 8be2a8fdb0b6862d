// User signs: the sign tool, its menu and its events.
#include "MainForm.h"

namespace tarn {

// The sign tool on layer 307, new signs on sheet 23, with the events below.
void TMainForm::CreateWorkSign() {}

void TMainForm::N1Click() {}

void TMainForm::N_2Click() {}

void TMainForm::N2Click() {}

int32_t TMainForm::SignBeforeAdd(const TObjectKey&, const TPoint&, bool) { return -1; }

void TMainForm::SignAfterAdd(const TObjectKey&, const TPoint&, bool) {}

int32_t TMainForm::SignBeforeDelete(const TObjectKey&, bool, bool) { return -1; }

void TMainForm::SignAfterDelete(const TObjectKey&, bool, bool) {}

void TMainForm::SignAfterMove(const TObjectKey&, const TPoint&, bool) {}

} // namespace tarn
