// The search lists and the object database: the street list filled from
// the map's layers, the object list and the object actions filled from
// "tarn.dat" and its supplements.
#include "MainForm.h"

#include "app/search/ObjectDb.h"
#include "app/search/SearchObj.h"
#include "platform/Cp1251.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tarn {

namespace {

std::string Cp(const char* utf8) { return Utf8ToCp1251(utf8); }

} // namespace

// The street-type words and the street-name normaliser.
void TMainForm::CreateSubText()
{
    SubText = TOwned<TSubText>::Make();
    for (const char* word : {"УЛ.", "ПР.", "ПЕР.", "ПЛ.", "ТУПИК", "ПРОСПЕКТ", "ПЛОЩАДЬ"})
        SubText->Words.push_back(Cp(word));
}

// The street list bound to StreetList, StreetE and ShowStreetBtn, filled
// from the layer "Названия улиц".
void TMainForm::CreateStreetSearch()
{
    StreetSearch = TOwned<TSearchText>::Make(&InfoModule, ModelPtr.get(), ViewPtr.get());
    TSubText* words = SubText.get();
    StreetSearch->OnItem = [words](std::string& name, const TDataPtr& data) {
        return words->NormalizeStreetName(name, data);
    };
    StreetSearch->UseOnItem = true;
    StreetSearch->SetListBox(StreetList);
    StreetSearch->SetEdit(StreetE);
    StreetSearch->SetButton(ShowStreetBtn);
    for (QWidget* w : {static_cast<QWidget*>(StreetE), static_cast<QWidget*>(StreetList),
                       static_cast<QWidget*>(ShowStreetBtn)})
        w->setEnabled(true);
    StreetSearch->FillList(Cp("Названия улиц"));
}

// The second town's streets: «ЛЕСНАЯ, УЛ. (Вербинск)».
void TMainForm::FillSecondTownStreets() { StreetSearch->FillSubList(Cp("Улицы ВЕРБИНСКА"), Cp("Вербинск")); }

// The districts, from the layer "Наименование районов".
void TMainForm::FillDistricts() { StreetSearch->FillList(Cp("Наименование районов")); }

// The object list, its rows drawn with icons, bound to ObjList, ObjE and ObjBtn.
void TMainForm::CreateObjectSearch()
{
    ObjectSearch = TOwned<TSearchText>::Make(&InfoModule, ModelPtr.get(), ViewPtr.get());
    SetOwnerDrawn(ObjList, true);
    ObjectSearch->SetListBox(ObjList);
    ObjectSearch->SetEdit(ObjE);
    ObjectSearch->SetButton(ObjBtn);
    for (QWidget* w :
         {static_cast<QWidget*>(ObjE), static_cast<QWidget*>(ObjList), static_cast<QWidget*>(ObjBtn)})
        w->setEnabled(true);
}

// The object actions and the map hover.
void TMainForm::CreateSearchObject()
{
    SearchObject = TOwned<TSearchObject>::Make(&InfoModule, ModelPtr.get(), ViewPtr.get());
}

void TMainForm::LoadObjectList()
{
    // The object list's update ends also when loading fails.
    ObjectSearch->BeginUpdate();
    try {
        LoadObjectDatabase();
    } catch (...) {
        ObjectSearch->EndUpdate();
        throw;
    }
    ObjectSearch->EndUpdate();
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

int32_t TMainForm::PlaceObjectRecord(const TLoadedRecord& record)
{
    return tarn::PlaceObjectRecord(*ObjectSearch, *SearchObject, record);
}

} // namespace tarn
