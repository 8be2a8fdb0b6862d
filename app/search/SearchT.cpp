// The list itself: adding, updates, child lists and removal by key.
#include "SearchT.h"

#include "platform/Cp1251.h"

namespace tarn {

TSearch::TSearch(TInfoModule* info, TModel* model, TView* view, bool sorted)
    : Name(Utf8ToCp1251("Основной список")), Items(sorted), Info(info), Model(model), View(view)
{
}

// Payloads go with the last list that holds them. A child list kept alive
// elsewhere no longer tells this one what it is given.
TSearch::~TSearch()
{
    for (const auto& child : Children) child->Parent = nullptr;
}

int32_t TSearch::AddItem(TModel*, TView*, std::string name, TDataPtr data, bool alsoIndex)
{
    try {
        if (UseOnItem && OnItem) OnItem(name, data);
        if (alsoIndex) SubLists.push_back({name, data});
        AddListed(std::move(name), std::move(data));
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

void TSearch::AddListed(std::string name, TDataPtr data)
{
    if (Parent && Parent->HeldByChildMade && data)
        if (const TObjectKey* key = data->Key()) Parent->ChildHolds(TObjectId(*key), ChildNumber);
    Items.Add(std::move(name), std::move(data));
}

void TSearch::ChildHolds(const TObjectId& id, uint32_t child)
{
    // Known here, so known above too.
    if (HeldByChild.Find(id, [child](uint32_t& c) { return c == child; })) return;
    HeldByChild.Add(id, child);
    if (Parent && Parent->HeldByChildMade) Parent->ChildHolds(id, ChildNumber);
}

void TSearch::MakeHeldByChild()
{
    HeldByChild.clear();
    for (uint32_t i = 0; i < Children.size(); ++i) {
        TSearch& child = *Children[i];
        if (!child.HeldByChildMade) child.MakeHeldByChild();
        const auto note = [&](const TObjectId& id) {
            if (!HeldByChild.Find(id, [i](uint32_t& c) { return c == i; })) HeldByChild.Add(id, i);
        };
        const auto noteKey = [&](const TDataPtr& data) {
            if (const TObjectKey* key = data ? data->Key() : nullptr) note(TObjectId(*key));
        };
        for (const TSearchEntry& e : child.SubLists) noteKey(e.Data);
        for (int32_t k = 0; k < child.Items.Count(); ++k) noteKey(child.Items.Data(k));
        child.HeldByChild.ForEach([&](const TObjectId& id, uint32_t) { note(id); });
    }
    HeldByChildMade = true;
}

int32_t TSearch::AddItem(std::string name, TDataPtr data)
{
    const int32_t result = AddItem(Model, View, std::move(name), std::move(data), true);
    ShowIfAdded(result);
    return result;
}

void TSearch::BeginUpdate()
{
    Updating = true;
    Items.Defer(true);
    for (const auto& child : Children) child->BeginUpdate();
}

void TSearch::EndUpdate()
{
    for (const auto& child : Children) child->EndUpdate();
    Items.Defer(false);
    Updating = false;
    ShowItems();
}

TSearchText* TSearch::FindChild(const std::string& name) const
{
    const auto it = ChildIndex.find(name);
    return it == ChildIndex.end() ? nullptr : it->second.get();
}

std::shared_ptr<TSearchText> TSearch::ChildList(const std::string& name, bool& created)
{
    created = false;
    if (const auto it = ChildIndex.find(name); it != ChildIndex.end()) return it->second;
    auto child = std::make_shared<TSearchText>(Info, Model, View);
    child->Name = name;
    child->Parent = this;
    child->ChildNumber = uint32_t(Children.size());
    child->HeldByChildMade = HeldByChildMade;
    if (Updating) child->BeginUpdate();
    Children.push_back(child);
    ChildIndex.emplace(name, child);
    created = true;
    AddItem(Model, View, name, MakeData(TSubListRec{Model, View, child}), true);
    return child;
}

int32_t TSearch::AddToSubList(const std::string& subName, const std::string& itemName, bool alsoMain, TDataPtr data)
{
    int32_t result = -1;
    try {
        bool created = false;
        const std::shared_ptr<TSearchText> child = ChildList(subName, created);
        result = child->AddItem(itemName, data);
        if (alsoMain) AddItem(Model, View, itemName, std::move(data), true);
    } catch (const std::exception&) {
        result = -1;
    }
    ShowIfAdded(result);
    return result;
}

int32_t TSearch::AddToSubGroup(const std::string& groupName, const std::string& subgroupName,
                               const std::string& itemName, bool alsoMain, TDataPtr data)
{
    int32_t result = -1;
    try {
        bool created = false;
        const std::shared_ptr<TSearchText> group = ChildList(groupName, created);
        result = group->AddToSubList(subgroupName, itemName, created && alsoMain, data);
        if (alsoMain) AddItem(Model, View, itemName, std::move(data), true);
    } catch (const std::exception&) {
        result = -1;
    }
    ShowIfAdded(result);
    return result;
}

int32_t TSearch::RemoveItemsByKey(const TObjectKey& key)
{
    const TObjectId id(key);
    int32_t removed = 0;
    if (!HeldByChildMade) MakeHeldByChild();
    // A child list's removal touches only its own lists, never this table.
    HeldByChild.Find(id, [&](uint32_t& child) {
        removed += Children[child]->RemoveItemsByKey(key);
        return false;
    });
    HeldByChild.EraseIf(id, [](uint32_t) { return true; });
    SubLists.Take(id);
    removed += Items.RemoveByKey(id);
    if (removed > 0 && !Updating) ShowItems();
    return removed;
}

} // namespace tarn
