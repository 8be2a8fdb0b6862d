#include "ObjectDb.h"

#include "app/search/SearchObj.h"

#include <algorithm>

namespace tarn {

int32_t PlaceObjectRecord(TSearchText& objects, TSearchObject& actions, const TLoadedRecord& record)
{
    const TTarnData& r = record.Record;
    // The lists hold only what the loader placed: an object no earlier
    // record named has no items, and the scan of every list is spared.
    if (record.FileNumber >= 1 && record.KeySeen) {
        objects.RemoveItemsByKey(r.Key);
        actions.RemoveItemsByKey(r.Key);
    }
    const bool card = record.Kind == CardItemKind;
    // One payload for the lists and the registry; it goes with the last of them.
    const TDataPtr data = card ? MakeData(record.Card) : MakeData(record.Item);
    if (card && r.Key.LayerID == TickerLayerID) {
        actions.RegisterObject(r.Name, data);
        return 0;
    }
    const std::string& group = record.GroupName;
    const std::string& subgroup = record.SubGroupName;
    const bool extra = r.ExtraListing != 0;
    int32_t counted = 0;
    if (!group.empty() && !subgroup.empty()) {
        objects.AddToSubGroup(group, subgroup, r.Name, false, data);
        if (extra) counted = objects.AddToSubList(subgroup, r.Name, false, data);
    } else if (!group.empty()) {
        counted = objects.AddToSubList(group, r.Name, extra, data);
    } else if (!subgroup.empty()) {
        counted = objects.AddToSubList(subgroup, r.Name, extra, data);
    } else {
        counted = objects.AddItem(r.Name, data);
    }
    actions.RegisterObject(!card && !subgroup.empty() ? subgroup + " (" + r.Name + ")" : r.Name, data);
    // A failed add answers -1; it lists nothing.
    return std::max(counted, 0);
}

} // namespace tarn
