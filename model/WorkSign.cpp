#include "WorkSign.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace tarn {

namespace {

// The codes of a ".map" sheet's objects are stored in 16 bits.
constexpr int32_t SheetCodeMax = 32767;

struct TSheetState {
    const TSheet* Record = nullptr;  // a record of the sheet, the loaded one when there is one
    bool Loaded = false;
    bool Writable = false;
};

TSheetState SheetState(const TProject* project, int32_t sheetID)
{
    TSheetState s;
    if (!project) return s;
    for (int32_t li = 0; li < project->Count; ++li) {
        const TLevel& level = *static_cast<const TLevel*>(project->GetItem(li));
        for (int32_t si = 0; si < level.Sheets->Count; ++si) {
            const TSheet& sheet = *static_cast<const TSheet*>(level.Sheets->GetItem(si));
            if (sheet.FileID != sheetID) continue;
            if (!s.Loaded) s.Record = &sheet;
            if (!(sheet.Flags & SheetFlagLoaded)) continue;
            s.Loaded = true;
            if (!(sheet.Flags & SheetFlagReadOnly)) s.Writable = true;
        }
    }
    return s;
}

// The keys of every object of the key's layer (GetObjectData op 5).
std::vector<TObjectKey> LayerKeys(TModel& model, TView* view, const TObjectKey& key)
{
    std::vector<uint8_t> b;
    std::vector<TObjectKey> keys;
    if (model.GetObjectData(view, 5, key, b) != ResultDone) return keys;
    keys.reserve(b.size() / ObjectKeySize);
    for (std::size_t at = 0; at + ObjectKeySize <= b.size(); at += ObjectKeySize)
        keys.push_back(DecodeObjectKey(b.data() + at));
    return keys;
}

} // namespace

TWorkSign::TWorkSign(TModel* model, TView* view) : Model(model), View(view)
{
    if (!Model) return;
    DownToken = Model->OnMouseDown.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (MouseDown(v, b, s, x, y)) next(v, b, s, x, y);
        });
    UpToken = Model->OnMouseUp.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (MouseUp(v, b, s, x, y)) next(v, b, s, x, y);
        });
}

TWorkSign::~TWorkSign()
{
    DownToken.Reset();
    UpToken.Reset();
}

// ---------------------------------------------------------------- the mouse

bool TWorkSign::Pick(TView& sender, int32_t x, int32_t y, TObjectKey& key)
{
    TPoint w;
    Model->ScreenToWorld(sender, x, y, w.X, w.Y);
    TKeyList found;
    Model->ObjectsAtPoint(View, 32, found, w);
    for (const TObjectKey& k : found)
        if (k.LayerID == SignLayer.LayerID) {
            key = k;
            return true;
        }
    return false;
}

bool TWorkSign::MouseDown(TView& sender, TMouseButton button, uint32_t /*shift*/, int32_t x, int32_t y)
{
    if (!Model || !View) return true;
    TObjectKey key;
    switch (sender.ViewMode) {
    case ModeAddSign: {
        if (button != TMouseButton::Left) return true;
        TPoint w;
        Model->ScreenToWorld(sender, x, y, w.X, w.Y);
        AddSign(NewObjectKey(Model->ModelNo, SignSheetID, SignLayer.LayerID, NextFreeCode()), w, false);
        return true;
    }
    case ModeDeleteSign:
        if (!Pick(sender, x, y, key)) return false;
        DeleteSign(key, false, false);
        return true;
    case ModeMoveSign:
        CurrentSign = TObjectKey{};
        if (!Pick(sender, x, y, key)) return false;
        CurrentSign = key;
        return true;
    default: return true;
    }
}

bool TWorkSign::MouseUp(TView& sender, TMouseButton /*button*/, uint32_t /*shift*/, int32_t x, int32_t y)
{
    if (!Model || !View || sender.ViewMode != ModeMoveSign) return true;
    if (CurrentSign.LayerID != SignLayer.LayerID) return false;  // nothing was picked
    TPoint w;
    Model->ScreenToWorld(sender, x, y, w.X, w.Y);
    MoveSign(CurrentSign, w, false);
    return true;
}

// ---------------------------------------------------------------- the operations

std::string TWorkSign::ChangeRefusal(const TObjectKey& key)
{
    if (!Model->ReadOnlyReason.empty()) return Model->ReadOnlyReason;
    const TSheetState sheet = SheetState(Model->Project.get(), key.SheetID);
    const std::string name = sheet.Record ? sheet.Record->Name : "номер " + std::to_string(key.SheetID);
    if (!sheet.Loaded) return "Лист пользовательских знаков " + name + " не загружен";
    if (!sheet.Writable) return "Лист пользовательских знаков " + name + " доступен только для чтения";
    return std::string();
}

bool TWorkSign::Refused(const TObjectKey& key, std::string why)
{
    Refusal = std::move(why);
    if (Refusal.empty()) return false;
    if (OnRefused) OnRefused(key, Refusal);
    return true;
}

std::string TWorkSign::AddRefusal(const TObjectKey& key)
{
    if (std::string why = ChangeRefusal(key); !why.empty()) return why;
    const TSheetState sheet = SheetState(Model->Project.get(), key.SheetID);
    const std::string& name = sheet.Record->Name;
    if (LowerExtension(name) != ".map") return std::string();
    // The code the model will give: the key's, or the layer's largest + 1
    // when the key's is taken.
    int64_t code = key.Code, largest = std::numeric_limits<int32_t>::min();
    bool taken = false;
    for (const TObjectKey& k : LayerKeys(*Model, View, key)) {
        largest = std::max<int64_t>(largest, k.Code);
        taken = taken || k.Code == key.Code;
    }
    if (taken) code = largest + 1;
    if (code > SheetCodeMax || code < -SheetCodeMax - 1)
        return "Код знака " + std::to_string(code) + " не помещается в 16-разрядные коды листа " + name;
    return std::string();
}

int32_t TWorkSign::AddSign(TObjectKey key, const TPoint& p, bool save)
{
    Refusal.clear();
    if (!Model || !View) return 0;
    // Refused ahead of the before-event: nobody is asked for a sign that
    // cannot be placed, and no save would later fail on it.
    if (Refused(key, AddRefusal(key))) return 0;
    if (OnBeforeAdd && OnBeforeAdd(key, p, save) != 0) return 0;
    TObjectHeader h;
    h.Compound = 1;
    h.X = p.X;
    h.Y = p.Y;
    h.Flags = 1;
    uint8_t header[ObjectHeaderSize];
    EncodeObjectHeader(h, header);
    const int32_t result = Model->CreateObject(View, 3, key, header, int32_t(sizeof header)) == ResultDone ? 1 : 0;
    Model->DrawObjects(*View, TKeyList{key});
    if (save) SaveModel();
    if (OnAfterAdd) OnAfterAdd(key, p, save);
    return result;
}

int32_t TWorkSign::DeleteSign(const TObjectKey& key, bool confirm, bool save)
{
    Refusal.clear();
    if (!Model || !View || Refused(key, ChangeRefusal(key))) return 0;
    if (OnBeforeDelete && OnBeforeDelete(key, confirm, save) != 0) return 0;
    if (confirm && !Model->UI().Confirm("Удалить объект?")) return 0;
    TObjectKey k = key;
    const int32_t result = Model->CreateObject(View, 2, k, nullptr, 0) == ResultDone ? 1 : 0;
    if (save) SaveModel();
    Model->GetViewState(*View);
    Model->PaintView(*View);
    if (OnAfterDelete) OnAfterDelete(key, confirm, save);
    return result;
}

int32_t TWorkSign::MoveSign(const TObjectKey& key, const TPoint& p, bool save)
{
    Refusal.clear();
    if (!Model || !View || Refused(key, ChangeRefusal(key))) return 0;
    if (OnBeforeMove && OnBeforeMove(key, p, save) != 0) return 0;
    std::vector<uint8_t> b;
    if (Model->GetObjectData(View, 1, key, b) != ResultDone || b.size() < ObjectHeaderSize) return 0;
    TObjectHeader h = DecodeObjectHeader(b.data());
    h.X = p.X;
    h.Y = p.Y;
    EncodeObjectHeader(h, b.data());
    int32_t size = int32_t(ObjectHeaderSize);
    const int32_t result = Model->SetObjectData(View, 11, key, b.data(), size) == ResultDone ? 1 : 0;
    Model->DrawObjects(*View, TKeyList{key});
    if (save) SaveModel();
    if (OnAfterMove) OnAfterMove(key, p, save);
    return result;
}

int32_t TWorkSign::RemoveSign(const TObjectKey& key)
{
    if (!Model || !View) return 0;
    TObjectKey k = key;
    if (Model->CreateObject(View, 2, k, nullptr, 0) != ResultDone) return 0;
    Model->RedrawView(*View);
    return 1;
}

void TWorkSign::SaveModel()
{
    if (Model) Model->SaveFile(Model->FileName, 1);
}

int32_t TWorkSign::NextFreeCode()
{
    if (!Model || !View) return 1;
    const TObjectKey key = NewObjectKey(Model->ModelNo, SignSheetID, SignLayer.LayerID, 1);
    Model->GetViewState(*View);
    std::vector<int32_t> codes;
    for (const TObjectKey& k : LayerKeys(*Model, View, key))
        if (k.SheetID == SignSheetID && k.Code >= 1) codes.push_back(k.Code);
    std::sort(codes.begin(), codes.end());
    int32_t code = 1;
    for (int32_t c : codes) {
        if (c > code) break;
        if (c == code) {
            if (code == std::numeric_limits<int32_t>::max()) break;
            ++code;
        }
    }
    return code;
}

} // namespace tarn
