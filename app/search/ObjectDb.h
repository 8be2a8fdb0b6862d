#pragma once
// Where the records of the object database go: the object list (the main
// list, a group's or subgroup's list, or both) and the action registry.
//
//   group and subgroup  the subgroup's list inside the group's list; with
//                       the extra-listing flag also a top-level list named
//                       after the subgroup (counted)
//   group only          the group's list, and the main list with the flag (counted)
//   subgroup only       the same with the subgroup's list (counted)
//   neither             the main list (counted)
//
// Every record is registered once: a card, or a key record without a
// subgroup, under its name; a key record with a subgroup as "Subgroup
// (Name)". The ticker's card is registered and not listed. A record of a
// supplement first takes the earlier items of its object out of both.
#include "db/TarnData.h"

#include <cstdint>

namespace tarn {

class TSearchObject;
class TSearchText;

// The ticker text's layer and object.
constexpr int32_t TickerLayerID = 9999;
constexpr TObjectKey TickerKey{0, 1, TickerLayerID, 5, 99};

// Answers how many items count in the object count.
int32_t PlaceObjectRecord(TSearchText& objects, TSearchObject& actions, const TLoadedRecord& record);

} // namespace tarn
