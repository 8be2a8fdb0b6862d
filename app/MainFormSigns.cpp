// User signs: the sign tool, its menu and its events.
#include "MainForm.h"

#include "app/Program.h"
#include "app/common/Info_mdl.h"
#include "app/windows/SelSgn_f.h"
#include "model/WorkSign.h"

#include <QToolButton>

namespace tarn {

namespace {

constexpr int32_t SignLayerId = 307;
constexpr int32_t SignSheetId = 23;
constexpr uint16_t FlagSizeInMapUnits = 8;
constexpr int32_t SignRecordSize = 20;

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
    // Nobody is asked about a sign the sheet or the folder cannot take: the
    // user is told why, once, and the mode ends.
    WorkSign->OnRefused = [this](const TObjectKey&, const std::string& why) {
        SetMapMode(ModeNormal);
        Services.ShowError(why);
    };
    UserSignBtn->setEnabled(true);
}

// The menu's modes let the other mode buttons up: a button left down would
// take its mode back at the next mouse move.
void TMainForm::N1Click()
{
    if (!ModelPtr) return;
    ReleaseModeButtons(nullptr);
    SetMapMode(ModeAddSign);
}

void TMainForm::N_2Click()
{
    if (!ModelPtr) return;
    ReleaseModeButtons(nullptr);
    SetMapMode(ModeDeleteSign);
}

void TMainForm::N2Click()
{
    if (!ModelPtr) return;
    ReleaseModeButtons(nullptr);
    SetMapMode(ModeMoveSign);
}

int32_t TMainForm::SignBeforeAdd(const TObjectKey&, const TPoint&, bool)
{
    TSelectSignForm* chooser = InfoModule.Windows ? InfoModule.Windows->SelectSignForm.get() : nullptr;
    if (chooser && chooser->exec() == QDialog::Accepted) return 0;
    SetMapMode(ModeNormal);
    return -1;
}

void TMainForm::SignAfterAdd(const TObjectKey& key, const TPoint&, bool)
{
    const TSelectSignForm* chooser = InfoModule.Windows ? InfoModule.Windows->SelectSignForm.get() : nullptr;
    std::string error;
    bool placed = false;
    bool kept = false;
    try {
        std::vector<uint8_t> header;
        if (chooser && chooser->SignPanel->Selected >= 0 &&
            ModelPtr->GetObjectData(ViewPtr.get(), 1, key, header) == ResultDone && header.size() >= ObjectHeaderSize) {
            // The size is the map's, not the screen's.
            TObjectHeader h = DecodeObjectHeader(header.data());
            h.Flags |= FlagSizeInMapUnits;
            EncodeObjectHeader(h, header.data());
            int32_t size = int32_t(ObjectHeaderSize);
            uint8_t sign[SignRecordSize] = {};
            PutI32(sign + 12, chooser->SignPanel->Selected);
            PutI32(sign + 16, chooser->Size * 100);
            int32_t signSize = SignRecordSize;
            if (ModelPtr->SetObjectData(ViewPtr.get(), 11, key, header.data(), size) == ResultDone &&
                ModelPtr->SetObjectData(ViewPtr.get(), 14, key, sign, signSize) == ResultDone) {
                WorkSign->SaveModel();
                placed = true;
            }
        }
    } catch (const EFileChanged& e) {
        // The sheet changed under the program: the sign stays on the map,
        // though not in the file.
        error = e.what();
        kept = true;
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (placed || kept) {
        ModelPtr->InvalidateView(*ViewPtr);
        if (!error.empty()) Services.ShowError(error);
    } else {
        // A sign that cannot be kept does not stay on the map.
        WorkSign->RemoveSign(key);
        if (!error.empty()) Services.ShowError(error);
    }
    SetMapMode(ModeNormal);
}

int32_t TMainForm::SignBeforeDelete(const TObjectKey&, bool, bool)
{
    const bool go = Services.Confirm("Отменить удаление будет невозможно! Продолжить?");
    MapPanel->SurfaceWidget()->update();
    return go ? 0 : -1;
}

void TMainForm::SignAfterDelete(const TObjectKey&, bool, bool)
{
    try {
        WorkSign->SaveModel();
    } catch (const std::exception& e) {
        Services.ShowError(e.what());
    }
    ModelPtr->InvalidateView(*ViewPtr);
}

void TMainForm::SignAfterMove(const TObjectKey&, const TPoint&, bool)
{
    try {
        WorkSign->SaveModel();
    } catch (const std::exception& e) {
        Services.ShowError(e.what());
    }
    ModelPtr->InvalidateView(*ViewPtr);
}

} // namespace tarn
