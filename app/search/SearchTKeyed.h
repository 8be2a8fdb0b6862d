#pragma once
// Entries with payloads that give up every entry of one object at the cost
// of that object's entries rather than of the whole list: supplements name
// thousands of objects again while loading, each taken out of lists of
// tens of thousands. An index links the entries of each object (made on
// the first removal, then kept up as entries are appended); taken entries
// are marked, and the list closes up before it is next read. An entry put
// anywhere but at the end drops the index until the next removal.
#include "app/search/SearchTData.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn {

struct TObjectIdHash {
    std::size_t operator()(const TObjectId& id) const
    {
        uint64_t h = (uint64_t(uint32_t(id.LayerID)) << 32 | uint32_t(id.SheetID)) * 0x9E3779B97F4A7C15ull;
        h = (h ^ uint32_t(id.Code)) * 0xC2B2AE3D27D4EB4Full;
        return std::size_t(h ^ h >> 31);
    }
};

// For keys that are hashes already.
struct TSameHash {
    std::size_t operator()(uint32_t h) const { return h; }
};

// Pairs of a key and a 32-bit value in one array, found by open
// addressing; a key may have several values. The loader adds one for nearly
// every record of a large database: a node per pair would cost more than
// the rest, and every page of the table is one the fresh process must
// fault in, so slots are small and the table at most 60% full.
template <class K, class Hash>
class TPairTable {
public:
    // Values at or above this mark a slot empty or erased.
    static constexpr uint32_t MaxValue = UINT32_MAX - 2;

    std::size_t size() const { return Live; }

    void clear()
    {
        Slots = {};
        Used = Live = 0;
    }

    // Room for n pairs without growing (a table about to be filled).
    void Reserve(std::size_t n)
    {
        if ((n + 1) * 5 > Slots.size() * 3) Grow(n);
    }

    void Add(const K& key, uint32_t value)
    {
        if ((Used + 1) * 5 > Slots.size() * 3) Grow(Live);
        std::size_t at = Home(key);
        while (Slots[at].Value < Erased) at = (at + 1) & (Slots.size() - 1);
        if (Slots[at].Value == Empty) ++Used;
        Slots[at] = {key, value};
        ++Live;
    }

    // Shows each value of the key to `f` (by reference) until it answers true;
    // answers whether one did.
    template <class F>
    bool Find(const K& key, F&& f)
    {
        if (Slots.empty()) return false;
        for (std::size_t at = Home(key); Slots[at].Value != Empty; at = (at + 1) & (Slots.size() - 1))
            if (Slots[at].Value < Erased && Slots[at].Key == key && f(Slots[at].Value)) return true;
        return false;
    }

    // Shows every pair to `f`.
    template <class F>
    void ForEach(F&& f) const
    {
        for (const TSlot& s : Slots)
            if (s.Value < Erased) f(s.Key, s.Value);
    }

    // Takes out the key's values that `f` answers true for.
    template <class F>
    void EraseIf(const K& key, F&& f)
    {
        if (Slots.empty()) return;
        for (std::size_t at = Home(key); Slots[at].Value != Empty; at = (at + 1) & (Slots.size() - 1))
            if (Slots[at].Value < Erased && Slots[at].Key == key && f(Slots[at].Value)) {
                Slots[at].Value = Erased;
                --Live;
            }
    }

private:
    static constexpr uint32_t Empty = UINT32_MAX;
    static constexpr uint32_t Erased = UINT32_MAX - 1;
    struct TSlot {
        K Key{};
        uint32_t Value = Empty;
    };

    std::size_t Home(const K& key) const { return Hash()(key) & (Slots.size() - 1); }

    // At least two and a half times `pairs`, erased slots dropped.
    void Grow(std::size_t pairs)
    {
        std::vector<TSlot> old;
        old.swap(Slots);
        std::size_t n = 16;
        while (n * 2 < (std::max(pairs, Live) + 1) * 5) n *= 2;
        Slots.assign(n, TSlot{});
        Used = Live = 0;
        for (const TSlot& s : old)
            if (s.Value < Erased) Add(s.Key, s.Value);
    }

    std::vector<TSlot> Slots;
    std::size_t Used = 0;  // slots not empty
    std::size_t Live = 0;  // slots full
};

// TEntry has a TDataPtr `Data`.
template <class TEntry>
class TKeyedEntries {
public:
    using const_iterator = typename std::vector<TEntry>::const_iterator;

    std::size_t size() const { return All().size(); }
    bool empty() const { return All().empty(); }
    const TEntry& operator[](std::size_t i) const { return All()[i]; }
    const_iterator begin() const { return All().begin(); }
    const_iterator end() const { return All().end(); }

    // The entries, closed up.
    const std::vector<TEntry>& All() const
    {
        Tidy();
        return Entries;
    }
    // The entries to reorder or change in place.
    std::vector<TEntry>& Edit()
    {
        Tidy();
        Unlink();
        ++MoveCount;
        return Entries;
    }
    // An entry where it stands, taken ones not closed up; valid while
    // Moves() stays the same.
    const TEntry& Raw(std::size_t at) const { return Entries[at]; }
    std::size_t RawSize() const { return Entries.size(); }
    // Goes up whenever entries may have moved.
    uint32_t Moves() const { return MoveCount; }

    void push_back(TEntry e)
    {
        Entries.push_back(std::move(e));
        if (Linked) Link(Entries.size() - 1);
    }
    void insert(std::size_t at, TEntry e) { Edit().insert(Entries.begin() + std::ptrdiff_t(at), std::move(e)); }
    void erase(std::size_t at) { Edit().erase(Entries.begin() + std::ptrdiff_t(at)); }
    void clear()
    {
        Entries.clear();
        Taken = 0;
        Unlink();
        ++MoveCount;
    }

    // Takes out every entry of the object, showing each and where it
    // stands to `each` first; answers how many.
    template <class F>
    int32_t Take(const TObjectId& id, F&& each)
    {
        if (!Linked) MakeIndex();
        uint32_t first = End;
        if (!Heads.Find(id, [&](uint32_t& head) {
                first = head;
                return true;
            }))
            return 0;
        int32_t n = 0;
        for (uint32_t at = first; at != End;) {
            const uint32_t next = Next[at];
            each(static_cast<const TEntry&>(Entries[at]), std::size_t(at));
            Next[at] = Gone;
            ++n;
            at = next;
        }
        Heads.EraseIf(id, [](uint32_t) { return true; });
        Taken += n;
        return n;
    }
    int32_t Take(const TObjectId& id)
    {
        return Take(id, [](const TEntry&, std::size_t) {});
    }

private:
    static constexpr uint32_t End = UINT32_MAX;
    static constexpr uint32_t Gone = UINT32_MAX - 1;

    // Entries without an object key are in no chain.
    void Link(std::size_t at)
    {
        Next.push_back(End);
        const TObjectKey* key = Entries[at].Data ? Entries[at].Data->Key() : nullptr;
        if (!key) return;
        const TObjectId id(*key);
        if (!Heads.Find(id, [&](uint32_t& head) {
                Next[at] = head;
                head = uint32_t(at);
                return true;
            }))
            Heads.Add(id, uint32_t(at));
    }
    void MakeIndex()
    {
        Tidy();
        Unlink();
        Linked = true;
        Next.reserve(Entries.size());
        Heads.Reserve(Entries.size());
        for (std::size_t i = 0; i < Entries.size(); ++i) Link(i);
    }
    void Unlink() const
    {
        Linked = false;
        Heads.clear();
        Next.clear();
    }
    // Closes up over the taken entries (which only a linked list has).
    void Tidy() const
    {
        if (Taken == 0) return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < Entries.size(); ++i) {
            if (Next[i] == Gone) continue;
            if (kept != i) Entries[kept] = std::move(Entries[i]);
            ++kept;
        }
        Entries.erase(Entries.begin() + std::ptrdiff_t(kept), Entries.end());
        Taken = 0;
        Unlink();
        ++MoveCount;
    }

    // Closing up is put off to the next read, which may be a const one.
    mutable std::vector<TEntry> Entries;
    mutable TPairTable<TObjectId, TObjectIdHash> Heads;  // the newest entry of each object
    mutable std::vector<uint32_t> Next;  // per entry: the one before it of its object, End, or Gone
    mutable bool Linked = false;
    mutable int32_t Taken = 0;
    mutable uint32_t MoveCount = 0;
};

} // namespace tarn
