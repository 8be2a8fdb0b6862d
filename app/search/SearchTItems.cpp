#include "SearchTItems.h"

#include "platform/Cp1251Compare.h"

#include <algorithm>

namespace tarn {

std::size_t TSearchItems::SortedPlace(std::string_view name, bool& equal) const
{
    const std::vector<TEntry>& all = Entries.All();
    std::size_t lo = 0, hi = all.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (CompareTextCp1251(all[mid].Name, name) < 0) lo = mid + 1;
        else hi = mid;
    }
    equal = lo < all.size() && CompareTextCp1251(all[lo].Name, name) == 0;
    return lo;
}

uint32_t TSearchItems::KeyHash(const TEntry& e) const
{
    uint64_t h = e.KeyWords;
    for (uint32_t w = 0; w < e.KeyWords; ++w) h = (h ^ Keys[e.KeyStart + w]) * 0x9E3779B97F4A7C15ull;
    return uint32_t(h >> 32 ^ h);
}

bool TSearchItems::Hold(const TEntry& e)
{
    HeldFresh();
    const std::size_t at = Entries.RawSize();
    const uint32_t h = KeyHash(e);
    // Equal keys, then the names themselves: Ё and Е share a key.
    const bool held = Held.Find(h, [&](uint32_t& other) {
        const TEntry& o = Entries.Raw(other);
        return o.KeyWords == e.KeyWords &&
               std::equal(Keys.begin() + o.KeyStart, Keys.begin() + o.KeyStart + o.KeyWords,
                          Keys.begin() + e.KeyStart) &&
               CompareTextCp1251(o.Name, e.Name) == 0;
    });
    if (!held) Held.Add(h, uint32_t(at));
    return !held;
}

void TSearchItems::HeldFresh()
{
    if (HeldMoves == Entries.Moves()) return;
    Held.clear();
    const std::vector<TEntry>& all = Entries.All();
    Held.Reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) Held.Add(KeyHash(all[i]), uint32_t(i));
    HeldMoves = Entries.Moves();
}

void TSearchItems::AddKey(TEntry& e)
{
    // Made while the name is at hand: read again at the update's end, the
    // names scattered over the heap would cost a cache miss each.
    const auto& collation = CollationTableCp1251();
    const std::size_t n = (e.Name.size() + 7) / 8;
    e.KeyStart = uint32_t(Keys.size());
    e.KeyWords = uint32_t(n);
    for (std::size_t w = 0; w < n; ++w) {
        uint64_t word = 0;
        for (std::size_t k = w * 8; k < w * 8 + 8; ++k)
            word = word << 8 | (k < e.Name.size() ? collation[uint8_t(e.Name[k])] : 0u);
        Keys.push_back(word);
    }
}

void TSearchItems::Add(std::string name, TDataPtr data)
{
    Changed();
    if (!Sorted) {
        Entries.push_back({std::move(name), std::move(data)});
        return;
    }
    if (Postponed) {
        TEntry e{std::move(name), std::move(data)};
        AddKey(e);
        if (!Hold(e)) {
            Keys.resize(e.KeyStart);
            return;
        }
        Entries.push_back(std::move(e));
        return;
    }
    bool equal = false;
    const std::size_t at = SortedPlace(name, equal);
    if (equal) return;
    Entries.insert(at, {std::move(name), std::move(data)});
}

// Held follows the moved entries when next used.
void TSearchItems::Delete(int32_t i)
{
    Entries.erase(std::size_t(i));
    Changed();
}

void TSearchItems::Clear()
{
    Entries.clear();
    Keys.clear();
    Held.clear();
    Changed();
}

int32_t TSearchItems::RemoveByKey(const TObjectId& id)
{
    const bool held = Sorted && Postponed;
    if (held) HeldFresh();
    const int32_t n = Entries.Take(id, [&](const TEntry& e, std::size_t at) {
        if (held) Held.EraseIf(KeyHash(e), [at](uint32_t other) { return other == at; });
    });
    if (n > 0) Changed();
    return n;
}

void TSearchItems::Defer(bool on)
{
    if (on == Postponed) return;
    Postponed = on;
    if (!Sorted) return;
    if (on) {
        Keys.clear();
        for (TEntry& e : Entries.Edit()) AddKey(e);
        HeldMoves = Entries.Moves() - 1;
        HeldFresh();
        return;
    }
    // No two names are equal (that was decided as they came). The keys
    // are big-endian words padded with zero bytes (which no character
    // has), compared a word at a time.
    struct TPlace {
        uint32_t Start;
        uint32_t Words;
        uint32_t Index;
    };
    std::vector<TEntry>& entries = Entries.Edit();
    std::vector<TPlace> places(entries.size());
    for (uint32_t i = 0; i < places.size(); ++i) places[i] = {entries[i].KeyStart, entries[i].KeyWords, i};
    // Keys, then Е before Ё.
    std::sort(places.begin(), places.end(), [&](const TPlace& a, const TPlace& b) {
        const uint64_t *x = Keys.data() + a.Start, *y = Keys.data() + b.Start;
        const uint32_t n = std::min(a.Words, b.Words);
        for (uint32_t w = 0; w < n; ++w)
            if (x[w] != y[w]) return x[w] < y[w];
        if (a.Words != b.Words) return a.Words < b.Words;
        return CompareTextCp1251(entries[a.Index].Name, entries[b.Index].Name) < 0;
    });
    std::vector<TEntry> sorted;
    sorted.reserve(entries.size());
    for (const TPlace& p : places) sorted.push_back(std::move(entries[p.Index]));
    entries = std::move(sorted);
    Keys = {};
    Held = {};
    Changed();
}

int32_t TSearchItems::FindPrefix(std::string_view text) const
{
    const std::string key = CollationKeyCp1251(text);
    const std::vector<TEntry>& all = Entries.All();
    if (!Sorted || Postponed) {
        for (std::size_t i = 0; i < all.size(); ++i)
            if (CollationStartsWithCp1251(all[i].Name, key)) return int32_t(i);
        return -1;
    }
    const auto it = std::lower_bound(all.begin(), all.end(), key, [](const TEntry& e, const std::string& k) {
        return CompareCollationCp1251(e.Name, k) < 0;
    });
    if (it == all.end() || !CollationStartsWithCp1251(it->Name, key)) return -1;
    return int32_t(it - all.begin());
}

namespace {

// One of 64 bits for a pair of neighbouring characters of a key.
uint64_t PairBit(uint8_t a, uint8_t b) { return uint64_t(1) << ((uint32_t(a << 8 | b) * 0x9E3779B1u) >> 26); }

uint64_t PairBits(std::string_view key)
{
    uint64_t bits = 0;
    for (std::size_t i = 1; i < key.size(); ++i) bits |= PairBit(uint8_t(key[i - 1]), uint8_t(key[i]));
    return bits;
}

} // namespace

void TSearchItems::Join() const
{
    if (JoinedValid) return;
    const std::vector<TEntry>& all = Entries.All();
    std::size_t total = 0;
    for (const TEntry& e : all) total += e.Name.size();
    Joined.resize(total);
    Starts.clear();
    Starts.reserve(all.size() + 1);
    Pairs.clear();
    Pairs.reserve(all.size());
    const auto& collation = CollationTableCp1251();
    std::size_t at = 0;
    for (const TEntry& e : all) {
        Starts.push_back(uint32_t(at));
        for (char c : e.Name) Joined[at++] = char(collation[uint8_t(c)]);
        Pairs.push_back(PairBits(std::string_view(Joined).substr(Starts.back(), e.Name.size())));
    }
    Starts.push_back(uint32_t(at));
    JoinedValid = true;
}

int32_t TSearchItems::FindWords(const std::vector<std::string>& words, std::size_t minLength) const
{
    if (words.empty() || Entries.empty()) return -1;
    std::vector<std::string> keys;
    keys.reserve(words.size());
    uint64_t needed = 0;
    for (const std::string& w : words) {
        // An empty word occurs nowhere.
        if (w.empty()) return -1;
        keys.push_back(CollationKeyCp1251(w));
        needed |= PairBits(keys.back());
    }
    Join();
    // A name lacking one of the words' character pairs cannot hold them:
    // most names are passed over on a glance at their pairs.
    const std::string_view all(Joined);
    for (std::size_t i = 0; i + 1 < Starts.size(); ++i) {
        if ((Pairs[i] & needed) != needed || Starts[i + 1] - Starts[i] < minLength) continue;
        const std::string_view key = all.substr(Starts[i], Starts[i + 1] - Starts[i]);
        bool every = true;
        for (std::size_t w = 0; every && w < keys.size(); ++w) every = key.find(keys[w]) != std::string_view::npos;
        if (every) return int32_t(i);
    }
    return -1;
}

std::vector<std::string> SplitWords(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t start = 0;
    for (std::size_t blank = text.find(' '); blank != std::string_view::npos; blank = text.find(' ', start)) {
        words.emplace_back(text.substr(start, blank - start));
        start = blank + 1;
    }
    for (std::size_t hyphen = text.find('-', start); hyphen != std::string_view::npos;
         hyphen = text.find('-', start)) {
        words.emplace_back(text.substr(start, hyphen - start));
        start = hyphen + 1;
    }
    words.emplace_back(text.substr(start));
    return words;
}

} // namespace tarn
