#include "SearchTItems.h"

#include "platform/Cp1251Compare.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarn {

namespace {

// Keys first; equal keys only differ by Ё against Е.
int Order(std::string_view keyA, std::string_view nameA, std::string_view keyB, std::string_view nameB)
{
    if (const int c = keyA.compare(keyB); c != 0) return c;
    return CompareTextCp1251(nameA, nameB);
}

} // namespace

std::size_t TSearchItems::SortedPlace(std::string_view name, std::string_view key, bool& equal) const
{
    std::size_t lo = 0, hi = Entries.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (Order(Entries[mid].Key, Entries[mid].Name, key, name) < 0) lo = mid + 1;
        else hi = mid;
    }
    equal = lo < Entries.size() && Order(Entries[lo].Key, Entries[lo].Name, key, name) == 0;
    return lo;
}

void TSearchItems::Add(std::string name, TDataPtr data)
{
    std::string key = CollationKeyCp1251(name);
    Changed();
    if (!Sorted || Postponed) {
        Entries.push_back({std::move(name), std::move(key), std::move(data)});
        return;
    }
    bool equal = false;
    const std::size_t at = SortedPlace(name, key, equal);
    if (equal) return;
    Entries.insert(Entries.begin() + std::ptrdiff_t(at), {std::move(name), std::move(key), std::move(data)});
}

void TSearchItems::Delete(int32_t i)
{
    Entries.erase(Entries.begin() + i);
    Changed();
}

void TSearchItems::Clear()
{
    Entries.clear();
    Changed();
}

void TSearchItems::Defer(bool on)
{
    if (on == Postponed) return;
    Postponed = on;
    if (on || !Sorted || Entries.size() < 2) return;
    // Stable: of equal names the one added first comes first and stays.
    std::vector<uint32_t> order(Entries.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [this](uint32_t a, uint32_t b) {
        const TEntry &x = Entries[a], &y = Entries[b];
        return Order(x.Key, x.Name, y.Key, y.Name) < 0;
    });
    std::vector<TEntry> sorted;
    sorted.reserve(Entries.size());
    for (uint32_t i : order) {
        TEntry& e = Entries[i];
        if (!sorted.empty() && Order(sorted.back().Key, sorted.back().Name, e.Key, e.Name) == 0) continue;
        sorted.push_back(std::move(e));
    }
    Entries = std::move(sorted);
    Changed();
}

int32_t TSearchItems::FindPrefix(std::string_view text) const
{
    const std::string key = CollationKeyCp1251(text);
    if (!Sorted || Postponed) {
        for (std::size_t i = 0; i < Entries.size(); ++i)
            if (Entries[i].Key.compare(0, key.size(), key) == 0) return int32_t(i);
        return -1;
    }
    const auto it = std::lower_bound(Entries.begin(), Entries.end(), key,
                                     [](const TEntry& e, const std::string& k) { return e.Key < k; });
    if (it == Entries.end() || it->Key.compare(0, key.size(), key) != 0) return -1;
    return int32_t(it - Entries.begin());
}

void TSearchItems::Join() const
{
    if (JoinedValid) return;
    std::size_t total = 0;
    for (const TEntry& e : Entries) total += e.Key.size() + 1;
    Joined.clear();
    Joined.reserve(total);
    Starts.clear();
    Starts.reserve(Entries.size() + 1);
    for (const TEntry& e : Entries) {
        Starts.push_back(uint32_t(Joined.size()));
        Joined += e.Key;
        Joined += '\0';
    }
    Starts.push_back(uint32_t(Joined.size()));
    JoinedValid = true;
}

int32_t TSearchItems::FindWords(const std::vector<std::string>& words, std::size_t minLength) const
{
    if (words.empty() || Entries.empty()) return -1;
    std::vector<std::string> keys;
    keys.reserve(words.size());
    for (const std::string& w : words) {
        // A word that is empty, or would match across two names, occurs nowhere.
        if (w.empty() || w.find('\0') != std::string::npos) return -1;
        keys.push_back(CollationKeyCp1251(w));
    }
    // The longest word finds the fewest candidates.
    const std::size_t anchor = std::size_t(
        std::max_element(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); }) -
        keys.begin());
    Join();
    const char* base = Joined.data();
    const std::string& a = keys[anchor];
    std::size_t from = 0;
    while (from < Joined.size()) {
        const void* hit = memmem(base + from, Joined.size() - from, a.data(), a.size());
        if (!hit) return -1;
        const std::size_t at = std::size_t(static_cast<const char*>(hit) - base);
        const std::size_t item = std::size_t(std::upper_bound(Starts.begin(), Starts.end(), uint32_t(at)) -
                                             Starts.begin()) - 1;
        const std::string_view key(base + Starts[item], Starts[item + 1] - Starts[item] - 1);
        bool all = key.size() >= minLength;
        for (std::size_t w = 0; all && w < keys.size(); ++w)
            if (w != anchor && key.find(keys[w]) == std::string_view::npos) all = false;
        if (all) return int32_t(item);
        from = Starts[item + 1];
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
