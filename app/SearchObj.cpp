#include "SearchObj.h"

#include "app/Cust_f.h"
#include "app/Info_f.h"
#include "app/Info_mdl.h"
#include "model/Models.h"
#include "platform/Cp1251Qt.h"

namespace tarn {

namespace {

bool NamesObject(uint8_t kind)
{
    return kind == ObjectItemKind || kind == TextItemKind || kind == FormItemKind || kind == CardItemKind;
}

bool ActsOnHover(int32_t mode) { return mode == ModeNormal || mode == ModeHover; }

} // namespace

// ---------------------------------------------------------------- the index

std::size_t TObjectIndex::Slot(const TObjectId& id) const
{
    const std::size_t mask = Slots.size() - 1;
    std::size_t i = std::size_t(id.Hash()) & mask;
    while (Slots[i].Data && !(Slots[i].Id == id)) i = (i + 1) & mask;
    return i;
}

const TDataPtr* TObjectIndex::Find(const TObjectId& id) const
{
    if (Used == 0) return nullptr;
    const TSlot& s = Slots[Slot(id)];
    return s.Data ? &s.Data : nullptr;
}

void TObjectIndex::Grow()
{
    std::vector<TSlot> old = std::move(Slots);
    Slots.assign(old.empty() ? 64 : old.size() * 2, TSlot{});
    for (TSlot& s : old)
        if (s.Data) Slots[Slot(s.Id)] = std::move(s);
}

bool TObjectIndex::Insert(const TObjectId& id, const TDataPtr& data)
{
    if (2 * (Used + 1) > Slots.size()) Grow();
    TSlot& s = Slots[Slot(id)];
    if (s.Data) return false;
    s = {id, data};
    ++Used;
    return true;
}

void TObjectIndex::Erase(const TObjectId& id)
{
    if (Used == 0) return;
    const std::size_t mask = Slots.size() - 1;
    std::size_t hole = Slot(id);
    if (!Slots[hole].Data) return;
    Slots[hole] = TSlot{};
    --Used;
    // Later entries of the run move back into the hole unless their home
    // lies after it.
    for (std::size_t j = (hole + 1) & mask; Slots[j].Data; j = (j + 1) & mask) {
        const std::size_t home = std::size_t(Slots[j].Id.Hash()) & mask;
        const bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (stays) continue;
        Slots[hole] = std::move(Slots[j]);
        Slots[j] = TSlot{};
        hole = j;
    }
}

// ---------------------------------------------------------------- the registry

TSearchObject::TSearchObject(TInfoModule* info, TModel* model, TView* view) : TSearch(info, model, view, false)
{
    Timer.setSingleShot(true);
    Timer.setInterval(HintMilliseconds);
    QObject::connect(&Timer, &QTimer::timeout, [this] { HideHint(); });
    if (!model) return;
    DownToken = model->OnMouseDown.Install(
        [this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (MouseDown(v, b, x, y)) next(v, b, s, x, y);
        });
    MoveToken = model->OnMouseMove.Install([this](const auto& next, TView& v, uint32_t s, int32_t x, int32_t y) {
        if (HoverMove(v, x, y)) next(v, s, x, y);
    });
}

TSearchObject::~TSearchObject()
{
    DownToken.Reset();
    MoveToken.Reset();
    if (Timer.isActive()) HideHint();
}

int32_t TSearchObject::AddItem(TModel* model, TView* view, std::string name, TDataPtr data, bool)
{
    if (!data || !NamesObject(data->Kind)) return 0;
    try {
        const TObjectId id(*data->Key());
        const int32_t result = TSearch::AddItem(model, view, std::move(name), data, false);
        // The first item of an object stays its action.
        if (result == 1) Index.Insert(id, data);
        return result;
    } catch (const std::exception&) {
        return 0;
    }
}

int32_t TSearchObject::RemoveItemsByKey(const TObjectKey& key)
{
    const int32_t removed = TSearch::RemoveItemsByKey(key);
    Index.Erase(TObjectId(key));
    return removed;
}

const std::string* TSearchObject::NameOf(const TData* data) const
{
    for (int32_t i = 0; i < Items.Count(); ++i)
        if (Items.Data(i).get() == data) return &Items.Name(i);
    return nullptr;
}

bool TSearchObject::ExecuteObjectAction(const TObjectKey& key)
{
    const TDataPtr* found = Index.Find(TObjectId(key));
    if (!found) return false;
    // Held here: the action may change the registry.
    const TDataPtr action = *found;
    const TData& data = *action;
    if (data.Kind == ObjectItemKind) {
        HideHint();
        const std::string* name = NameOf(action.get());
        if (!Info || !name) return true;
        QWidget* map = View && View->Wnd ? View->Wnd->Widget() : nullptr;
        const QPoint at = map ? map->mapToGlobal(QPoint(LastPoint.X, LastPoint.Y)) : QPoint(LastPoint.X, LastPoint.Y);
        Info->Services.ShowHint(Cp1251ToQString(*name).toStdString(), at.x(), at.y(), HintMaxWidth);
        Timer.start();
        return true;
    }
    if (const auto* text = data.As<TTextItemRec>()) {
        if (Info) ShowTextWindow(*Info, *text);
        return true;
    }
    if (const auto* form = data.As<TFormItemRec>()) return ShowFormItem(*form);
    if (const auto* card = data.As<TCardRec>()) {
        Enabled = false;
        try {
            if (Info) OpenCardWindow(*Info, *card);
        } catch (const std::exception&) {
            // The window stays as the failure left it; the map goes on.
        }
        Enabled = true;
        return true;
    }
    return false;
}

QString TSearchObject::GetObjectText(const TObjectKey& key)
{
    const TDataPtr* first = Index.Find(TObjectId(key));
    if (!first) return QString();
    TDataPtr found = *first;
    if (found->Kind == FormItemKind) {
        // Forms have no text: the first other item of the object.
        found.reset();
        for (int32_t i = 0; i < Items.Count() && !found; ++i)
            if (Items.Data(i)->Matches(key) && Items.Data(i)->Kind != FormItemKind) found = Items.Data(i);
        if (!found) return QString();
    }
    if (found->Kind == ObjectItemKind) {
        const std::string* name = NameOf(found.get());
        return name ? Cp1251ToQString(*name) : QString();
    }
    if (const auto* text = found->As<TTextItemRec>()) return Cp1251ToQString(text->Text);
    if (const auto* card = found->As<TCardRec>()) {
        try {
            return Info ? CardPlainText(*Info, *card) : QString();
        } catch (const std::exception&) {
            return QString();
        }
    }
    return QString();
}

bool TSearchObject::MouseDown(TView& sender, TMouseButton button, int32_t x, int32_t y)
{
    if (!Enabled) return false;
    if (ActsOnHover(sender.ViewMode) && button == TMouseButton::Left && Model && View) {
        LastPoint = {x, y};
        try {
            TPoint p{};
            Model->ScreenToWorld(sender, x, y, p.X, p.Y);
            TKeyList keys;
            Model->ObjectsAtPoint(View, 3, keys, p);
            for (const TObjectKey& key : keys)
                if (ExecuteObjectAction(key)) break;
        } catch (const std::exception&) {
            // A click that finds nothing to do leaves the map as it is.
        }
    }
    return true;
}

bool TSearchObject::HoverMove(TView& sender, int32_t x, int32_t y)
{
    if (!Enabled) return false;
    if (ActsOnHover(sender.ViewMode) && Model) {
        sender.ViewMode = ModeNormal;
        TPoint p{};
        Model->ScreenToWorld(sender, x, y, p.X, p.Y);
        TKeyList keys;
        Model->ObjectsAtPoint(&sender, 3, keys, p);
        for (const TObjectKey& key : keys)
            if (HasAction(key)) {
                sender.ViewMode = ModeHover;
                break;
            }
    }
    return true;
}

void TSearchObject::HideHint()
{
    Timer.stop();
    if (Info) Info->Services.HideHint();
}

} // namespace tarn
