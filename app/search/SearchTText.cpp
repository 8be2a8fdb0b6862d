// A list bound to a search panel: binding, typing, keys and running items.
#include "SearchT.h"

#include "app/cards/Cust_f.h"
#include "app/common/Info_mdl.h"
#include "app/search/Group_f.h"
#include "app/search/Info_f.h"
#include "platform/Cp1251Compare.h"
#include "platform/Cp1251Qt.h"
#include "platform/Keys.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace tarn {

namespace {

const QChar EnterChar(VkReturn);

} // namespace

TSearchText::TSearchText(TInfoModule* info, TModel* model, TView* view) : TSearch(info, model, view, true)
{
    for (int32_t k = 1; k <= 47; ++k)
        if (k != VkReturn) IgnoredKeys.set(std::size_t(k));
}

TSearchText::~TSearchText() { QObject::disconnect(EditChanged); }

// ---------------------------------------------------------------- binding

QListWidget* TSearchText::ListBox() const { return List.data(); }
QLineEdit* TSearchText::Edit() const { return EditCtl.data(); }
QAbstractButton* TSearchText::Button() const { return ButtonCtl.data(); }

void TSearchText::UnbindList() { ListHooks.clear(); }

void TSearchText::SetListBox(QListWidget* list)
{
    UnbindList();
    List = list;
    if (!list) return;
    TControlHooks& h = TControlHooks::Of(list);
    using TMouse = THook<TMouseButton, uint32_t, int32_t, int32_t>;
    ListHooks.push_back(h.OnClick.Install([this](const THook<>::TNext& next) {
        if (ListClick()) next();
    }));
    ListHooks.push_back(h.OnMousePress.Install(
        [this](const TMouse::TNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (ListMouseDown(b, x, y)) next(b, s, x, y);
        }));
    ListHooks.push_back(h.OnMouseRelease.Install(
        [this](const TMouse::TNext& next, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            if (ListMouseUp(b)) next(b, s, x, y);
        }));
    ListHooks.push_back(h.OnDoubleClick.Install([this, list](const THook<>::TNext& next) {
        if (ExecuteItem(list)) next();
    }));
    ListHooks.push_back(h.OnKeyPress.Install([this](const THook<QChar&>::TNext& next, QChar& c) {
        if (ListKeyPress(c)) next(c);
    }));
    ListHooks.push_back(h.OnDrawItem.Install([this](const THook<TDrawItemArgs&>::TNext& next, TDrawItemArgs& a) {
        if (ListDrawItem(a)) next(a);
    }));
    // Rows of one height: a long list lays out at once.
    list->setUniformItemSizes(true);
    ShowItems();
}

void TSearchText::SetEdit(QLineEdit* edit)
{
    EditHooks.clear();
    QObject::disconnect(EditChanged);
    EditCtl = edit;
    Edited = false;
    if (!edit) return;
    EditChanged = QObject::connect(edit, &QLineEdit::textEdited, edit, [this] { Edited = true; });
    TControlHooks& h = TControlHooks::Of(edit);
    EditHooks.push_back(h.OnKeyUp.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        if (EditKeyUp(k)) next(k);
    }));
    EditHooks.push_back(h.OnKeyDown.Install([this](const THook<TKeyArgs&>::TNext& next, TKeyArgs& k) {
        if (EditKeyDown(k)) next(k);
    }));
    EditHooks.push_back(h.OnKeyPress.Install([this](const THook<QChar&>::TNext& next, QChar& c) {
        if (EditKeyPress(c)) next(c);
    }));
}

void TSearchText::SetButton(QAbstractButton* button)
{
    ButtonHooks.clear();
    ButtonCtl = button;
    if (!button) return;
    ButtonHooks.push_back(TControlHooks::Of(button).OnClick.Install([this, button](const THook<>::TNext& next) {
        if (ExecuteItem(button)) next();
    }));
}

void TSearchText::ShowItems()
{
    // The list box's rows are new: nothing is chosen any more.
    ItemIndex = -1;
    if (!List) return;
    QStringList names;
    names.reserve(Items.Count());
    for (int32_t i = 0; i < Items.Count(); ++i) names.append(Cp1251ToQString(Items.Name(i)));
    List->clear();
    List->addItems(names);
}

// ---------------------------------------------------------------- typing

void TSearchText::SelectItem(int32_t index, bool complete, std::size_t typed)
{
    ItemIndex = index;
    if (complete && EditCtl) {
        const QString name = Cp1251ToQString(UpperCp1251(Items.Name(index)));
        EditCtl->setText(name);
        EditCtl->setSelection(int(typed), int(name.size()) - int(typed));
    }
    if (List) {
        List->setCurrentRow(index);
        if (QListWidgetItem* item = List->item(index)) List->scrollToItem(item);
    }
}

bool TSearchText::EditKeyUp(TKeyArgs& key)
{
    if (!AutoSearch) {
        key.Key = 0;
        return false;
    }
    if (!EditCtl || (key.Key >= 0 && key.Key <= 255 && IgnoredKeys.test(std::size_t(key.Key)))) return false;
    if (key.Key == VkReturn) {
        if (ItemIndex >= 0 && ItemIndex < Items.Count()) EditCtl->setText(Cp1251ToQString(Items.Name(ItemIndex)));
        return false;
    }
    if (!Edited) return true;
    Edited = false;
    ItemIndex = -1;
    if (List) List->setCurrentRow(-1);
    const std::string typed = UpperCp1251(QStringToCp1251(EditCtl->text()));
    if (typed.empty()) return false;
    if (const int32_t i = Items.FindPrefix(typed); i >= 0) {
        SelectItem(i, true, typed.size());
        return false;
    }
    if (const int32_t i = Items.FindWords(SplitWords(typed), typed.size()); i >= 0) {
        SelectItem(i, false, typed.size());
        return false;
    }
    return true;
}

bool TSearchText::EditKeyDown(TKeyArgs& key)
{
    int32_t step = 0;
    switch (key.Key) {
    case VkDown: step = 1; break;
    case VkNext: step = 10; break;
    case VkUp: step = -1; break;
    case VkPrior: step = -10; break;
    default: return true;
    }
    const int32_t count = Items.Count();
    if (count == 0) return true;
    ItemIndex = std::clamp(ItemIndex + step, 0, count - 1);
    if (List) {
        List->setCurrentRow(ItemIndex);
        if (EditCtl && List->currentItem()) {
            EditCtl->setText(List->currentItem()->text());
            EditCtl->selectAll();
        }
    }
    return true;
}

bool TSearchText::EditKeyPress(QChar& key)
{
    if (!AutoSearch) {
        key = QChar();
        return false;
    }
    if (key == EnterChar && !IgnoredKeys.test(VkReturn)) ExecuteItem(nullptr);
    return true;
}

bool TSearchText::ListKeyPress(QChar& key)
{
    if (AutoSearch && key == EnterChar && !IgnoredKeys.test(VkReturn)) ExecuteItem(List);
    return true;
}

bool TSearchText::ListClick()
{
    if (!List) return true;
    ItemIndex = List->currentRow();
    if (EditCtl && ItemIndex >= 0 && List->currentItem()) {
        EditCtl->setText(List->currentItem()->text());
        EditCtl->selectAll();
    }
    return true;
}

// ---------------------------------------------------------------- running an item

bool ShowFormItem(const TFormItemRec& form)
{
    auto* dialog = qobject_cast<QDialog*>(form.Form.data());
    if (!dialog) return false;
    dialog->setProperty("Record", QVariant::fromValue(static_cast<const void*>(&form)));
    dialog->exec();
    return true;
}

bool TSearchText::ExecuteItem(QObject* sender)
{
    if (ItemIndex < 0 || ItemIndex >= Items.Count()) return false;
    // Held here: the action may change the list.
    const TDataPtr data = Items.Data(ItemIndex);
    if (const auto* object = data->As<TObjectItemRec>()) {
        TModel* model = object->Model ? object->Model : Model;
        TView* view = object->View ? object->View : View;
        // An object the view cannot find leaves the map as it is.
        if (model && view) ShowObjectOnMap(*model, *view, object->Key);
    } else if (const auto* text = data->As<TTextItemRec>()) {
        if (Info) ShowTextWindow(*Info, *text);
    } else if (const auto* sub = data->As<TSubListRec>()) {
        if (const auto child = sub->Child.lock(); child && Info) OpenGroupWindow(*Info, child, List);
    } else if (const auto* form = data->As<TFormItemRec>()) {
        if (!ShowFormItem(*form)) return false;
    } else if (const auto* card = data->As<TCardRec>()) {
        if (Info) OpenCardWindow(*Info, *card);
    } else if (data->Kind == ActionKind) {
        if (OnAction) OnAction(sender);
    }
    return true;
}

} // namespace tarn
