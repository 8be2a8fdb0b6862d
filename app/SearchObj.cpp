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
        const bool first = Index.count(id) == 0;
        std::string kept = first ? name : std::string();
        const int32_t result = TSearch::AddItem(model, view, std::move(name), data, false);
        if (result == 1 && first) Index.emplace(id, TAction{std::move(kept), std::move(data)});
        return result;
    } catch (const std::exception&) {
        return 0;
    }
}

int32_t TSearchObject::RemoveItemsByKey(const TObjectKey& key)
{
    const int32_t removed = TSearch::RemoveItemsByKey(key);
    Index.erase(TObjectId(key));
    return removed;
}

bool TSearchObject::ExecuteObjectAction(const TObjectKey& key)
{
    const auto it = Index.find(TObjectId(key));
    if (it == Index.end()) return false;
    // A copy: the action may change the registry.
    const TAction action = it->second;
    const TData& data = *action.Data;
    if (data.Kind == ObjectItemKind) {
        HideHint();
        if (!Info) return true;
        QWidget* map = View && View->Wnd ? View->Wnd->Widget() : nullptr;
        const QPoint at = map ? map->mapToGlobal(QPoint(LastPoint.X, LastPoint.Y)) : QPoint(LastPoint.X, LastPoint.Y);
        Info->Services.ShowHint(Cp1251ToQString(action.Name).toStdString(), at.x(), at.y(), HintMaxWidth);
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
    const auto it = Index.find(TObjectId(key));
    if (it == Index.end()) return QString();
    TAction found = it->second;
    if (found.Data->Kind == FormItemKind) {
        // Forms have no text: the first other item of the object.
        found = {};
        for (int32_t i = 0; i < Items.Count() && !found.Data; ++i)
            if (Items.Data(i)->Matches(key) && Items.Data(i)->Kind != FormItemKind) found = {Items.Name(i), Items.Data(i)};
        if (!found.Data) return QString();
    }
    if (found.Data->Kind == ObjectItemKind) return Cp1251ToQString(found.Name);
    if (const auto* text = found.Data->As<TTextItemRec>()) return Cp1251ToQString(text->Text);
    if (const auto* card = found.Data->As<TCardRec>()) {
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
