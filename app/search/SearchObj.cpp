#include "SearchObj.h"

#include "app/cards/Cust_f.h"
#include "app/common/Info_mdl.h"
#include "app/search/Info_f.h"
#include "model/Models.h"
#include "platform/Cp1251Qt.h"

#include <algorithm>

namespace tarn {

namespace {

bool NamesObject(uint8_t kind)
{
    return kind == ObjectItemKind || kind == TextItemKind || kind == FormItemKind || kind == CardItemKind;
}

bool ActsOnHover(int32_t mode) { return mode == ModeNormal || mode == ModeHover; }

bool Before(const TObjectId& a, const TObjectId& b)
{
    if (a.LayerID != b.LayerID) return a.LayerID < b.LayerID;
    if (a.SheetID != b.SheetID) return a.SheetID < b.SheetID;
    return a.Code < b.Code;
}

} // namespace

// ---------------------------------------------------------------- the index

int32_t TSearchObject::FirstItem(const TObjectKey& key) const
{
    if (!IndexValid) {
        Index.clear();
        Index.reserve(std::size_t(Items.Count()));
        for (int32_t i = 0; i < Items.Count(); ++i) Index.push_back({TObjectId(*Items.Data(i)->Key()), i});
        // Stable: of one object's items the first stays first.
        std::stable_sort(Index.begin(), Index.end(),
                         [](const TIndexEntry& a, const TIndexEntry& b) { return Before(a.Id, b.Id); });
        Index.erase(std::unique(Index.begin(), Index.end(),
                                [](const TIndexEntry& a, const TIndexEntry& b) { return a.Id == b.Id; }),
                    Index.end());
        IndexValid = true;
    }
    const TObjectId id(key);
    const auto it = std::lower_bound(Index.begin(), Index.end(), id,
                                     [](const TIndexEntry& e, const TObjectId& k) { return Before(e.Id, k); });
    return it != Index.end() && it->Id == id ? it->Item : -1;
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
    IndexValid = false;
    return TSearch::AddItem(model, view, std::move(name), std::move(data), false);
}

int32_t TSearchObject::RemoveItemsByKey(const TObjectKey& key)
{
    IndexValid = false;
    return TSearch::RemoveItemsByKey(key);
}

bool TSearchObject::ExecuteObjectAction(const TObjectKey& key)
{
    const int32_t item = FirstItem(key);
    if (item < 0) return false;
    // Held here: the action may change the registry.
    const TDataPtr action = Items.Data(item);
    const TData& data = *action;
    if (data.Kind == ObjectItemKind) {
        HideHint();
        if (!Info) return true;
        QWidget* map = View && View->Wnd ? View->Wnd->Widget() : nullptr;
        const QPoint at = map ? map->mapToGlobal(QPoint(LastPoint.X, LastPoint.Y)) : QPoint(LastPoint.X, LastPoint.Y);
        Info->Services.ShowHint(Cp1251ToQString(Items.Name(item)).toStdString(), at.x(), at.y(), HintMaxWidth);
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
    int32_t item = FirstItem(key);
    if (item < 0) return QString();
    if (Items.Data(item)->Kind == FormItemKind) {
        // Forms have no text: the first other item of the object.
        for (item = item + 1; item < Items.Count(); ++item)
            if (Items.Data(item)->Matches(key) && Items.Data(item)->Kind != FormItemKind) break;
        if (item >= Items.Count()) return QString();
    }
    const TDataPtr found = Items.Data(item);
    try {
        return ItemPlainText(Info, Items.Name(item), *found);
    } catch (const std::exception&) {
        // A card that cannot be read has no text to give.
        return QString();
    }
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
