// Merged layer trees, layer lists and attributes, point and rectangle
// queries, the highlight set and compound objects.
#include "ModelsInternal.h"

#include "data/LayerDraw.h"
#include "data/LayerOps.h"
#include "data/LayerWalk.h"
#include "data/MapObj.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace tarn {

namespace {

const std::string& ItemName(const TAbstractItem* item)
{
    static const std::string none;
    if (const TCustomLayer* l = AsLayer(item)) return l->Name;
    if (const TGapLayer* g = dynamic_cast<const TGapLayer*>(item)) return g->Name;
    if (const TMap* m = dynamic_cast<const TMap*>(item)) return m->Name;
    return none;
}

// The last group named name in the tree, or null.
TGapLayer* FindGroup(TCollection& tree, const std::string& name, int depth = 0)
{
    if (depth > MaxLayerTreeDepth) throw ETarnError("the layer tree is nested too deeply");
    TGapLayer* found = nullptr;
    for (int32_t i = 0; i < tree.Count; ++i)
        if (TGapLayer* g = dynamic_cast<TGapLayer*>(tree.GetItem(i))) {
            if (g->Name == name) found = g;
            if (TGapLayer* inner = FindGroup(*g, name, depth + 1)) found = inner;
        }
    return found;
}

bool HasName(TMap& map, const std::string& name)
{
    return !name.empty() ? FindLayerByName(map, name) != &map : false;
}

TCollection& ParentIn(TMap& dest, const std::string& parentName, bool parentIsMap)
{
    if (parentIsMap) return dest;
    TGapLayer* g = FindGroup(dest, parentName);
    return g ? static_cast<TCollection&>(*g) : static_cast<TCollection&>(dest);
}

std::unique_ptr<TAbstractItem> NewEntry(const TAbstractItem* source, bool info)
{
    if (const TGapLayer* g = dynamic_cast<const TGapLayer*>(source)) {
        auto n = std::make_unique<TGapLayer>();
        n->Name = g->Name;
        n->Flags = g->Flags;
        return n;
    }
    const TCustomLayer* l = AsLayer(source);
    std::unique_ptr<TCustomLayer> n;
    if (info) n = std::make_unique<TInfoLayer>();
    else n = std::make_unique<TLayer>();
    CopyLayerStyle(*l, *n);
    n->Name = l->Name;
    return n;
}

struct TMerge {
    TModel& Model;
    TMap& Dest;
    uint8_t Mode;
    std::unique_ptr<TUniqueID> Ids;
    // The group of Dest each parent name led to, until a group is added.
    std::unordered_map<std::string, TCollection*> Parents = {};

    TCollection& DestParent(const std::string& parentName, bool parentIsMap)
    {
        if (parentIsMap) return Dest;
        const auto known = Parents.find(parentName);
        if (known != Parents.end()) return *known->second;
        TCollection& parent = ParentIn(Dest, parentName, false);
        Parents.emplace(parentName, &parent);
        return parent;
    }

    void Walk(const TCollection& tree, const std::string& parentName, bool parentIsMap, int depth)
    {
        if (depth > MaxLayerTreeDepth) throw ETarnError("the layer tree is nested too deeply");
        for (int32_t i = 0; i < tree.Count; ++i) {
            const TAbstractItem* item = tree.GetItem(i);
            const std::string& name = ItemName(item);
            Add(item, name, parentName, parentIsMap);
            if (const TGapLayer* g = dynamic_cast<const TGapLayer*>(item)) Walk(*g, name, false, depth + 1);
        }
    }

    void Add(const TAbstractItem* item, const std::string& name, const std::string& parentName, bool parentIsMap)
    {
        if (!((Mode & TModel::MergeSkipNamed) && HasName(Dest, name))) {
            bool info = (Mode & TModel::MergeInfoLayers) && AsLayer(item);
            std::unique_ptr<TAbstractItem> entry = NewEntry(item, info);
            if (info && (Mode & TModel::MergeLayerIds)) AsLayer(entry.get())->LayerId = Ids->GetLayerID(name);
            TCollection& parent = DestParent(parentName, parentIsMap);
            if (dynamic_cast<const TGapLayer*>(entry.get())) Parents.clear();
            parent.Add(entry.get());
            entry.release();
        }
        if (!(Mode & TModel::MergeToLevels) || !Model.Project) return;
        for (int32_t li = 0; li < Model.Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Model.Project->GetItem(li));
            if (!level.Map || level.Map->Name.empty()) {
                std::unique_ptr<TMap> fresh;
                Model.MergeLayers(*Model.WorkMap, fresh, 0);
                level.Map = std::move(fresh);
            }
            if (HasName(*level.Map, name)) continue;
            std::unique_ptr<TAbstractItem> entry = NewEntry(item, false);
            TCollection& parent = ParentIn(*level.Map, parentName, parentIsMap);
            parent.Add(entry.get());
            entry.release();
        }
    }
};

void KeysOf(const TCollection& hits, int32_t modelNo, TKeyList& list)
{
    for (int32_t i = 0; i < hits.Count; ++i) {
        const TInsideObj* h = static_cast<const TInsideObj*>(hits.GetItem(i));
        TObjectKey k;
        k.ModelNo = modelNo;
        k.LayerID = h->Layer->LayerId;
        k.SheetID = h->Object->SheetID;
        k.Code = h->Object->Code;
        list.push_back(k);
    }
}

bool SameObject(const TObjectKey& a, const TObjectKey& b)
{
    return a.LayerID == b.LayerID && a.SheetID == b.SheetID && a.Code == b.Code;
}

void CopyName(char (&to)[101], const std::string& from)
{
    std::memset(to, 0, sizeof to);
    std::memcpy(to, from.data(), std::min(from.size(), LayerNameMax));
}

TCollection* FindSelected(TMap& map, const TLayerSelector& selector)
{
    if (selector.LayerID != -1) return FindLayerById(map, selector.LayerID);
    return FindLayerByName(map, std::string(SelectorName(selector)));
}

} // namespace

// ---------------------------------------------------------------- merging

bool TModel::MergeLayers(const TMap& source, std::unique_ptr<TMap>& dest, uint8_t mode)
{
    if (!dest) dest = std::make_unique<TMap>();
    TMap& d = *dest;
    d.Name = source.Name;
    d.Flags = source.Flags;
    d.MapParams = source.MapParams;
    d.MapExtra = source.MapExtra;
    d.ShortName = source.ShortName;
    d.ExtraText1 = source.ExtraText1;
    d.ExtraText2 = source.ExtraText2;
    d.ExtraText3 = source.ExtraText3;
    if ((mode & MergeFreeLevelMaps) && Project)
        for (int32_t li = 0; li < Project->Count; ++li)
            static_cast<TLevel*>(Project->GetItem(li))->Map = std::make_unique<TMap>();
    TMerge merge{*this, d, mode, nullptr};
    if (mode & MergeLayerIds) merge.Ids = std::make_unique<TUniqueID>(UniqueIdDir());
    merge.Walk(source, source.Name, true, 1);
    return true;
}

std::unique_ptr<TMap> TModel::CopyMapWithObjects(const TMap& source)
{
    std::unique_ptr<TMap> dest;
    MergeLayers(source, dest, 0);
    std::vector<TCustomLayer*> layers;
    CollectLayers(source, true, layers);
    for (TCustomLayer* layer : layers) {
        TCustomLayer* target = AsLayer(FindLayerByName(*dest, layer->Name));
        if (target) CloneLayerObjects(*layer, *target);
    }
    return dest;
}

// ---------------------------------------------------------------- queries

bool TModel::ObjectsAtPoint(TView* view, uint32_t mask, TKeyList& list, const TPoint& p)
{
    if (!view || !view->Map) return false;
    SetHitToleranceFor(*view);
    FillDrawContext(*view, nullptr);
    TCollection hits;  // frees the hit records, not what they point at
    bool found = FindObjectsAt(*view->Map, view->Context, mask, p, hits);
    KeysOf(hits, ModelNo, list);
    return found;
}

bool TModel::ObjectsInRect(TView* view, uint32_t /*mask*/, TKeyList& list, const TRect& rect)
{
    if (!view || !view->Map) return false;
    SetHitToleranceFor(*view);
    FillDrawContext(*view, nullptr);
    TCollection hits;  // frees the hit records, not what they point at
    bool found = FindObjectsInRect(*view->Map, view->Context, rect, hits);
    KeysOf(hits, ModelNo, list);
    return found;
}

// ---------------------------------------------------------------- layer attributes and lists

int32_t TModel::GetLayerInfo(const TLayerSelector& selector, TLayerRec& rec)
{
    TInfoLayer* layer = dynamic_cast<TInfoLayer*>(FindSelected(*WorkMap, selector));
    if (!layer) return -1;
    FillInfoLayerRec(false, *layer, rec);
    return 0;
}

int32_t TModel::SetLayerInfo(const TLayerSelector& selector, const TLayerRec& rec)
{
    TCollection* found = FindSelected(*WorkMap, selector);
    if (!found) return ResultNoData;
    std::string newName(rec.Name, strnlen(rec.Name, sizeof rec.Name));
    TCollection* named = FindLayerByName(*WorkMap, newName);
    if (named != WorkMap.get() && named != found) return ResultOutOfRange;
    TLayerRec copy = rec;
    if (TInfoLayer* info = dynamic_cast<TInfoLayer*>(found)) FillInfoLayerRec(true, *info, copy);
    else if (TLayer* layer = dynamic_cast<TLayer*>(found)) FillLayerRec(true, *layer, copy);
    else if (TGapLayer* group = dynamic_cast<TGapLayer*>(found)) FillGapLayerRec(true, *group, copy);
    else if (TMap* map = dynamic_cast<TMap*>(found)) FillMapRec(true, *map, copy);
    Notify(4, -1, reinterpret_cast<intptr_t>(&selector), reinterpret_cast<intptr_t>(&rec));
    return 0;
}

int32_t TModel::SetLayerRecord(const TLayerSelector& selector, uint8_t form, const TLayerRec& rec)
{
    TCollection* found = FindSelected(*WorkMap, selector);
    if (!found) return ResultNoData;
    std::string oldName = ItemName(found);
    std::string newName(rec.Name, strnlen(rec.Name, sizeof rec.Name));
    TCollection* named = FindLayerByName(*WorkMap, newName);
    if (named != WorkMap.get() && named != found) return ResultOutOfRange;
    auto apply = [&](TCollection* target) {
        TLayerRec copy = rec;
        if (TInfoLayer* info = dynamic_cast<TInfoLayer*>(target); info && form == 1) FillInfoLayerRec(true, *info, copy);
        else if (TLayer* layer = dynamic_cast<TLayer*>(target); layer && form == 1) FillLayerRec(true, *layer, copy);
        else if (TGapLayer* group = dynamic_cast<TGapLayer*>(target); group && form == 0) FillGapLayerRec(true, *group, copy);
        else if (TMap* map = dynamic_cast<TMap*>(target); map && form == 0) FillMapRec(true, *map, copy);
    };
    apply(found);
    if (OpenedFromMap && Project)
        for (int32_t li = 0; li < Project->Count; ++li) {
            TLevel& level = *static_cast<TLevel*>(Project->GetItem(li));
            if (!level.Map) continue;
            TCollection* same = FindLayerByName(*level.Map, oldName);
            if (same && (same != level.Map.get() || found == WorkMap.get())) apply(same);
        }
    Notify(4, -1, reinterpret_cast<intptr_t>(&selector), reinterpret_cast<intptr_t>(&rec));
    return 0;
}

void TModel::GetLayerList(int32_t mode, std::vector<TLayerSelector>& list)
{
    int32_t low = mode & 0xFFFF;
    const TMap* map = WorkMap.get();
    bool ids = true;
    TCollection entries;
    switch (low) {
    case 0: ListLayerTree(*map, entries); break;
    case 1: case 64: case 65: ListAllLayers(*map, entries); break;
    case 2: case 66: ListVisibleLayers(*map, entries); break;
    case 16: case 32: {
        int32_t li = mode >> 16;
        if (!Project || li < 0 || li >= Project->Count) return;
        const TLevel& level = *static_cast<const TLevel*>(Project->GetItem(li));
        if (!level.Map) return;
        if (low == 16) ListLayerTree(*level.Map, entries);
        else ListAllLayers(*level.Map, entries);
        ids = false;
        break;
    }
    default: return;
    }
    for (int32_t i = 0; i < entries.Count; ++i) {
        const TItem* e = static_cast<const TItem*>(entries.GetItem(i));
        const TCustomLayer* layer = AsLayer(e->Layer);
        if ((low & 64) && layer && (layer->Flags & 0x80)) continue;
        TLayerSelector s;
        CopyName(s.Name, e->Name);
        s.LayerID = ids && layer ? layer->LayerId : (ids ? 0 : -1);
        list.push_back(s);
    }
}

// ---------------------------------------------------------------- highlight

namespace {

// Keys are the same object when layer, sheet and code agree; a box select
// hands over thousands, so sets of them are hashed, never searched.
struct TKeyHash {
    std::size_t operator()(const TObjectKey& k) const noexcept
    {
        uint64_t h = uint64_t(uint32_t(k.LayerID)) * 0x9E3779B97F4A7C15ull;
        h ^= (uint64_t(uint32_t(k.SheetID)) << 32 | uint32_t(k.Code)) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
        return std::size_t(h ^ (h >> 29));
    }
};
struct TKeySame {
    bool operator()(const TObjectKey& a, const TObjectKey& b) const noexcept { return SameObject(a, b); }
};

}  // namespace

void TModel::SetObjectFlags(TView& view, int32_t mode, const TKeyList& entries)
{
    if (!view.Map || mode < 1 || mode > 4) return;
    // The spare map's objects would miss the change.
    if (!entries.empty()) DropSpare();
    TObjectFinder finder(*view.Map);
    for (const TObjectKey& k : entries) {
        TBaseObject* o = finder.Find(k.LayerID, k.SheetID, k.Code);
        if (!o) continue;
        uint32_t f = o->Flags();
        switch (mode) {
        case 1: f |= ObjFlagSelected; break;
        case 2: f &= ~ObjFlagSelected; break;
        case 3: f |= 0x20; break;
        case 4: f &= ~uint32_t(0x20); break;
        }
        o->SetFlags(f);
    }
}

void TModel::HighlightObjects(TView* view, uint16_t mode, TKeyList& list)
{
    if (mode != 0) DropSpare();
    if (mode == 0) {
        list.insert(list.end(), Highlight.begin(), Highlight.end());
    } else if (mode == 1) {
        TKeyList added;
        std::unordered_set<TObjectKey, TKeyHash, TKeySame> known(Highlight.begin(), Highlight.end(),
                                                                  Highlight.size() + list.size());
        for (const TObjectKey& k : list) {
            if (!known.insert(k).second) continue;
            Highlight.push_back(k);
            added.push_back(k);
        }
        if (view) {
            SetObjectFlags(*view, 1, added);
            DrawObjects(*view, added);
        }
    } else if (mode == 2) {
        TKeyList removed;
        // Where each highlighted key stands; a removed one is forgotten, so a
        // key listed twice is removed once.
        std::unordered_map<TObjectKey, std::size_t, TKeyHash, TKeySame> at(Highlight.size());
        for (std::size_t i = 0; i < Highlight.size(); ++i) at.emplace(Highlight[i], i);
        std::vector<bool> gone(Highlight.size(), false);
        for (const TObjectKey& k : list) {
            auto it = at.find(k);
            if (it == at.end()) continue;
            removed.push_back(Highlight[it->second]);
            gone[it->second] = true;
            at.erase(it);
        }
        if (!removed.empty()) {
            std::size_t w = 0;
            for (std::size_t i = 0; i < Highlight.size(); ++i)
                if (!gone[i]) Highlight[w++] = Highlight[i];
            Highlight.resize(w);
        }
        if (view) {
            SetObjectFlags(*view, 2, removed);
            DrawObjects(*view, removed);
        }
    }
    Notify(8, mode, 0, reinterpret_cast<intptr_t>(&list));
}

void TModel::DrawObjects(TView& view, const TKeyList& keys)
{
    if (!view.Map || !view.Wnd || keys.empty()) return;
    TDeviceContext* dc = view.Wnd->GetDC();
    if (!dc) return;
    SetHitToleranceFor(view);
    FillDrawContext(view, dc);
    dc->SaveDC();
    try {
        DrawObjectList(*view.Map, view.Context, keys);
    } catch (...) {
        dc->RestoreDC(-1);
        view.Wnd->ReleaseDC(dc);
        throw;
    }
    dc->RestoreDC(-1);
    view.Wnd->ReleaseDC(dc);
}

void TModel::RefreshLayers()
{
    RefreshViews();
    Notify(5, -1, 0, 0);
}

// ---------------------------------------------------------------- compound objects

TComplObject* TModel::CompoundOf(const TObjectKey& key) const
{
    for (int32_t i = 0; i < Compounds->Count; ++i) {
        TComplObject* c = static_cast<TComplObject*>(Compounds->GetItem(i));
        for (int32_t m = 0; m < c->Count; ++m)
            if (SameObject(static_cast<const TComplItem*>(c->GetItem(m))->Key, key)) return c;
    }
    return nullptr;
}

int32_t TModel::CompoundObjects(uint16_t op, const TObjectKey& key, std::vector<uint8_t>& buffer, int32_t mode)
{
    int32_t result = 0;
    auto compoundKey = [&](int32_t id) {
        TObjectKey k;
        k.ModelNo = ModelNo;
        k.LayerID = -1;
        k.SheetID = -1;
        k.Code = id;
        return k;
    };
    if (op == 0 && mode == 0) {
        TComplObject* found = nullptr;
        for (int32_t i = 0; i < Compounds->Count && !found; ++i) {
            TComplObject* c = static_cast<TComplObject*>(Compounds->GetItem(i));
            if (c->Identifier == key.Code) found = c;
        }
        if (!found) result = ResultNoData;
        else {
            // Identifier, member count and 12 zero bytes; then per member its
            // key (Force, ModelNo, LayerID, SheetID, Code) and 12 zero bytes.
            buffer.assign(20 + 32 * std::size_t(found->Count), 0);
            PutI32(buffer.data(), found->Identifier);
            PutI32(buffer.data() + 4, found->Count);
            for (int32_t m = 0; m < found->Count; ++m)
                EncodeObjectKey(static_cast<const TComplItem*>(found->GetItem(m))->Key, buffer.data() + 20 + 32 * m);
        }
    } else if (op == 0 && mode == 1) {
        TKeyList keys;
        for (int32_t i = 0; i < Compounds->Count; ++i)
            keys.push_back(compoundKey(static_cast<TComplObject*>(Compounds->GetItem(i))->Identifier));
        buffer = EncodeKeyList(keys);
    } else if (op == 0 && mode == 2) {
        TComplObject* c = CompoundOf(key);
        if (!c) result = ResultNoObject;
        else {
            buffer.assign(ObjectKeySize, 0);
            EncodeObjectKey(compoundKey(c->Identifier), buffer.data());
        }
    } else if (op == 0) {
        result = ResultOutOfRange;
    } else if (op == 2 || op == 3) {
        TKeyList keys;
        if (!DecodeKeyList(buffer.data(), buffer.size(), keys)) result = ResultNoData;
        else if (op == 2) {
            for (int32_t i = Compounds->Count - 1; i >= 0; --i) {
                TComplObject* c = static_cast<TComplObject*>(Compounds->GetItem(i));
                bool hit = false;
                for (const TObjectKey& k : keys) {
                    // A compound's own key (layer and sheet -1) names it by its identifier.
                    if (k.LayerID == -1 && k.SheetID == -1 && k.Code == c->Identifier) hit = true;
                    for (int32_t m = 0; m < c->Count && !hit; ++m)
                        hit = SameObject(static_cast<const TComplItem*>(c->GetItem(m))->Key, k);
                    if (hit) break;
                }
                if (hit) Compounds->FreeAt(i);
            }
        } else {
            auto c = std::make_unique<TComplObject>();
            c->Identifier = key.Code;
            for (const TObjectKey& k : keys) {
                auto item = std::make_unique<TComplItem>();
                item->Key = k;
                c->Add(item.get());
                item.release();
            }
            Compounds->Add(c.get());
            c.release();
        }
    } else {
        result = ResultNoData;
    }
    Notify(10, op, reinterpret_cast<intptr_t>(&key), reinterpret_cast<intptr_t>(buffer.data()));
    return result;
}

} // namespace tarn
