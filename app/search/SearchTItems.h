#pragma once
// The items of a search list: display names (code page 1251) with their
// payloads. A plain list keeps insertion order and equal names; a sorted
// list orders names ignoring case (platform/Cp1251Compare) and keeps only
// the first of equal names.
//
// While deferred (a list's update), a sorted list appends and sorts once
// when the update ends: a sorted insert per name would be quadratic over a
// large database. Whether a name is held already is still decided when it
// is added, by a set of the names held (by their collation keys), which
// forgets the names of items taken out; so a list that loses an item and
// gains another meanwhile ends as if each had been sorted in at once.
//
// The incremental search compares the names' collation keys: a binary
// search for a prefix, and for the words a pass over the keys laid end to
// end with a summary of the character pairs of each (made when first
// searched after a change), so a keystroke costs microseconds over tens
// of thousands of names.
#include "app/search/SearchTData.h"
#include "app/search/SearchTKeyed.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class TSearchItems {
public:
    explicit TSearchItems(bool sorted) : Sorted(sorted) {}

    bool IsSorted() const { return Sorted; }
    int32_t Count() const { return int32_t(Entries.size()); }
    const std::string& Name(int32_t i) const { return Entries[std::size_t(i)].Name; }
    const TDataPtr& Data(int32_t i) const { return Entries[std::size_t(i)].Data; }

    // A sorted list does not take a name equal to one it holds (ignoring case).
    void Add(std::string name, TDataPtr data);
    void Delete(int32_t i);
    void Clear();
    // Takes out every item of the object; answers how many.
    int32_t RemoveByKey(const TObjectId& id);
    // Deferring off sorts what was appended.
    void Defer(bool on);
    bool Deferred() const { return Postponed; }

    // The first item, in list order, whose name begins with
    // the text (compared as by collation key), -1 when none.
    int32_t FindPrefix(std::string_view text) const;
    // The first item, in list order, at least minLength long whose name
    // holds every word; -1 when none. An empty word occurs nowhere.
    int32_t FindWords(const std::vector<std::string>& words, std::size_t minLength) const;

private:
    struct TEntry {
        std::string Name;
        TDataPtr Data;
        // The name's collation key in Keys while the list is deferred.
        uint32_t KeyStart = 0;
        uint32_t KeyWords = 0;
    };
    void AddKey(TEntry& e);
    uint32_t KeyHash(const TEntry& e) const;
    // Takes the name of the entry about to be appended (its key made) into
    // Held; false when a name equal to it is held.
    bool Hold(const TEntry& e);
    // Held made anew when the entries have moved.
    void HeldFresh();
    // Where the name goes in a sorted list; `equal` when it is there already.
    std::size_t SortedPlace(std::string_view name, bool& equal) const;
    void Changed() { JoinedValid = false; }
    void Join() const;

    const bool Sorted;
    bool Postponed = false;
    TKeyedEntries<TEntry> Entries;
    std::vector<uint64_t> Keys;  // while deferred: the keys in words of 8 characters
    // While deferred: the entries of the names held, by their keys' hash.
    TPairTable<uint32_t, TSameHash> Held;
    uint32_t HeldMoves = 0;  // Entries.Moves() when Held was made
    // The keys laid end to end, where each starts, and the pairs of
    // neighbouring characters each holds (64 bits of a hash).
    mutable std::string Joined;
    mutable std::vector<uint32_t> Starts;
    mutable std::vector<uint64_t> Pairs;
    mutable bool JoinedValid = false;
};

// The words of a typed text: split at each blank, the part after the last
// blank also at each hyphen; empty words kept.
std::vector<std::string> SplitWords(std::string_view text);

} // namespace tarn
