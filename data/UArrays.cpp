#include "UArrays.h"
#include "Nesting.h"

#include <algorithm>
#include <cstring>
#include <cxxabi.h>
#include <limits>
#include <memory>
#include <typeindex>
#include <unordered_map>

namespace tarn {

// ---------------------------------------------------------------- items

TAbstractItem::~TAbstractItem()
{
    if (Owner) Owner->RemoveItem(this);
}

int32_t TAbstractItem::Release(TAbstractItem* item)
{
    if (!item) return -1;
    int32_t n = --item->RefCount;
    item->BeforeRelease();
    if (n <= 0) delete item;
    return n;
}

int8_t TAbstractItem::Compare(const TAbstractItem* item1, const TAbstractItem* item2) const
{
    int id1 = GetItemClassId(item1);
    int id2 = GetItemClassId(item2);
    if (id1 < id2) return -1;
    if (id1 > id2) return 1;
    return item1->CompareKey(item2->GetKey());
}

int8_t TAbstractItem::CompareKey(const void*) const { return 0; }

std::string ClassNameOf(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    auto colon = name.rfind("::");
    return colon == std::string::npos ? name : name.substr(colon + 2);
}

// ---------------------------------------------------------------- registry

namespace {

struct RegistryEntry {
    const std::type_info* Type = nullptr;
    TItemLoader Loader = nullptr;
};

struct Registry {
    RegistryEntry Entries[ItemClassCount];
    std::unordered_map<std::type_index, int> Ids;
};

Registry& TheRegistry()
{
    static Registry r;
    return r;
}

} // namespace

void RegisterItemClass(const std::type_info& type, int id, TItemLoader loader)
{
    Registry& r = TheRegistry();
    if (id < 0 || id >= ItemClassCount)
        throw EItemClass("Class identifier " + std::to_string(id) + " of class '" + ClassNameOf(type) +
                         "' is outside 0 to 199");
    if (r.Entries[id].Type)
        throw EItemClass("Попытка зарегистрировать класс '" + ClassNameOf(type) +
                         "' с тем же идентификатором что и класс '" + ClassNameOf(*r.Entries[id].Type) + "'");
    if (r.Ids.count(std::type_index(type)))
        throw EItemClass("Bad TAbstractItem.VMTIdPlace container (may be because of second call to Register or "
                         "improper overriding)");
    r.Entries[id] = {&type, loader};
    r.Ids.emplace(std::type_index(type), id);
}

int GetItemClassId(const std::type_info& type)
{
    const Registry& r = TheRegistry();
    auto it = r.Ids.find(std::type_index(type));
    if (it == r.Ids.end())
        throw EItemClass("The Item's class was not be registered (" + ClassNameOf(type) + ")");
    return it->second;
}

int GetItemClassId(const TAbstractItem* item)
{
    if (!item) throw EItemClass("Invalid Class Pointer");
    return GetItemClassId(typeid(*item));
}

TItemLoader ItemClassLoader(int id)
{
    if (id < 0 || id >= ItemClassCount) return nullptr;
    return TheRegistry().Entries[id].Loader;
}

void StoreItem(TStream& stream, const TAbstractItem* item)
{
    int id = GetItemClassId(item);
    if (id == 0) throw EItemClass("Saving class was not registered '" + ClassNameOf(*item) + "'");
    stream.writeU16LE(static_cast<uint16_t>(id));
    item->Store(stream);
}

TAbstractItem* LoadRegisteredItem(TStream& stream, TAbstractItem* owner)
{
    int64_t at = stream.Position();
    TNestingGuard nesting(stream, "class id");
    uint16_t id = stream.readU16LE("class id");
    TItemLoader loader = ItemClassLoader(id);
    if (!loader)
        ThrowFormat(stream.Name(), at, "class id",
                    "The Item class was not be registered in Load Time (" + std::to_string(id) + ")");
    return loader(stream, owner);
}

// ---------------------------------------------------------------- TObjList

TObjList::TObjList(TStream& stream, TAbstractItem* owner) : TAbstractItem(owner)
{
    LoadList(stream);
}

void TObjList::LoadList(TStream& stream)
{
    int64_t at = stream.Position();
    int32_t count = stream.readI32LE("list count");
    stream.readI32LE("list grow delta");
    // Every item takes at least its two-byte class id.
    if (count < 0 || count > MaxCapacity || int64_t(count) * 2 > stream.Remaining())
        ThrowFormat(stream.Name(), at, "list count", "impossible item count " + std::to_string(count));
    SetCapacity(count);
    try {
        for (int32_t i = 0; i < count; ++i) {
            TAbstractItem* item = LoadItem(stream);
            Items[static_cast<std::size_t>(Count++)] = item;
        }
    } catch (...) {
        // A constructor that throws gets no destructor: free what was read.
        FreeAll();
        throw;
    }
}

TObjList::~TObjList()
{
    FreeAll();
}

void TObjList::Store(TStream& stream) const
{
    stream.writeI32LE(Count);
    stream.writeI32LE(GrowDelta());
    for (int32_t i = 0; i < Count; ++i) StoreItem(stream, Items[static_cast<std::size_t>(i)]);
}

void TObjList::RemoveItem(TAbstractItem* item)
{
    if (LockCount != 0) return;
    int32_t i = IndexOf(item);
    if (i >= 0) Delete(i);
}

int32_t TObjList::GrowDelta() const
{
    return std::max<int32_t>(8, static_cast<int32_t>(int64_t(Count) * 20 / 100));
}

void TObjList::DestroyReleasing()
{
    ReleaseAll();
    delete this;
}

void TObjList::Delete(int32_t index)
{
    auto b = Items.begin();
    std::move(b + index + 1, b + Count, b + index);
    --Count;
    Items[static_cast<std::size_t>(Count)] = nullptr;
}

void TObjList::FreeAt(int32_t index)
{
    if (index < 0 || index >= Count) return;
    ++LockCount;
    if (TAbstractItem* item = Items[static_cast<std::size_t>(index)]) {
        try {
            FreeItem(item);
        } catch (...) {
            --LockCount;
            throw;
        }
    }
    --LockCount;
    Delete(index);
}

void TObjList::ReleaseAt(int32_t index)
{
    if (index < 0 || index >= Count) return;
    ++LockCount;
    if (TAbstractItem* item = Items[static_cast<std::size_t>(index)]) {
        try {
            TAbstractItem::Release(item);
        } catch (...) {
            --LockCount;
            throw;
        }
    }
    --LockCount;
    Delete(index);
}

int32_t TObjList::IndexOf(const TAbstractItem* item) const
{
    for (int32_t i = 0; i < Count; ++i)
        if (Items[static_cast<std::size_t>(i)] == item) return i;
    return -1;
}

void TObjList::Grow()
{
    if (Capacity >= MaxCapacity) throw EObjList("List is full (" + std::to_string(MaxCapacity) + " items)");
    SetCapacity(static_cast<int32_t>(std::min<int64_t>(int64_t(Capacity) + GrowDelta(), MaxCapacity)));
}

int32_t TObjList::Add(TAbstractItem* item)
{
    InsertAt(Count, item);
    return Count;
}

void TObjList::InsertAt(int32_t index, TAbstractItem* item)
{
    if (index < 0 || index > Count) throw EObjList("Index out of range");
    if (Count == Capacity) Grow();
    auto b = Items.begin();
    std::move_backward(b + index, b + Count, b + Count + 1);
    ++Count;
    Items[static_cast<std::size_t>(index)] = item;
}

void TObjList::SetCapacity(int32_t n)
{
    if (n < 0) n = 0;
    if (n < Count) Count = n;
    if (n > MaxCapacity) n = MaxCapacity;
    if (n != Capacity) {
        Items.resize(static_cast<std::size_t>(n), nullptr);
        Items.shrink_to_fit();
        Capacity = n;
    }
}

bool TObjList::FindByKey(const void* key, int32_t& index) const
{
    for (int32_t i = 0; i < Count; ++i) {
        const TAbstractItem* item = Items[static_cast<std::size_t>(i)];
        if (item && item->CompareKey(key) == 0) {
            index = i;
            return true;
        }
    }
    return false;
}

TAbstractItem* TObjList::GetItem(int32_t index) const
{
    if (index < 0 || index >= Count) throw EObjList("Index out of range");
    return Items[static_cast<std::size_t>(index)];
}

void TObjList::SetItem(int32_t index, TAbstractItem* item)
{
    if (index < 0 || index >= Count) throw EObjList("Index out of range");
    Items[static_cast<std::size_t>(index)] = item;
}

void TObjList::Remove(TAbstractItem* item)
{
    int32_t i = IndexOf(item);
    if (i < 0) throw EObjList("Item not found");
    Delete(i);
}

void TObjList::Clear()
{
    Count = 0;
    SetCapacity(0);
}

void TObjList::FreeAll()
{
    int32_t i = 0;
    while (i < Count) {
        TAbstractItem* item = Items[static_cast<std::size_t>(i)];
        if (item) FreeItem(item);
        // An item owned by this list removed itself; the next one slid into i.
        if (i < Count && Items[static_cast<std::size_t>(i)] == item) ++i;
    }
    Count = 0;
    SetCapacity(0);
}

void TObjList::ReleaseAll()
{
    int32_t i = 0;
    while (i < Count) {
        TAbstractItem* item = Items[static_cast<std::size_t>(i)];
        if (item) TAbstractItem::Release(item);
        if (i < Count && Items[static_cast<std::size_t>(i)] == item) ++i;
    }
    Count = 0;
    SetCapacity(0);
}

// ---------------------------------------------------------------- TOpenArray

TOpenArray::TOpenArray(TAbstractItem* owner, int32_t itemSize) : TAbstractItem(owner), ItemSize(itemSize)
{
    if (itemSize < 1) throw ETarnError("ItemSize = 0");
    SetCapacity(GrowDelta());
}

TOpenArray::TOpenArray(TStream& stream, TAbstractItem* owner) : TAbstractItem(owner)
{
    int64_t at = stream.Position();
    if (stream.Remaining() <= 0) ThrowFormat(stream.Name(), at, "array", "Массив невозможно восстановить из потока");
    int32_t itemSize = stream.readI32LE("array item size");
    int32_t capacity = stream.readI32LE("array capacity");
    stream.readI32LE("array grow delta");
    int32_t count = stream.readI32LE("array count");
    if (itemSize < 1 || count < 0 || count > 10'000'000 || count > capacity ||
        int64_t(count) * itemSize > stream.Remaining())
        ThrowFormat(stream.Name(), at, "array header",
                    "Параметры массива имеют неверные значения (item size " + std::to_string(itemSize) + ", count " +
                        std::to_string(count) + ", capacity " + std::to_string(capacity) + ")");
    ItemSize = itemSize;
    SetCapacity(count);
    if (count > 0) stream.ReadBuffer(Data.data(), std::size_t(count) * std::size_t(itemSize), "array records");
    Count = count;
}

void TOpenArray::Store(TStream& stream) const
{
    stream.writeI32LE(ItemSize);
    stream.writeI32LE(Capacity);
    stream.writeI32LE(GrowDelta());
    stream.writeI32LE(Count);
    stream.Write(Data.data(), std::size_t(Count) * std::size_t(ItemSize));
}

void TOpenArray::SetCapacity(int32_t n)
{
    if (n < 0) n = 0;
    if (n < Count) Count = n;
    if (n != Capacity) {
        Data.resize(std::size_t(n) * std::size_t(ItemSize));
        Data.shrink_to_fit();
        Capacity = n;
    }
}

int32_t TOpenArray::GrowDelta() const
{
    if (ItemSize < 1) return 1;
    return std::max<int32_t>((ItemSize + 31) / ItemSize, static_cast<int32_t>(int64_t(Count) * 20 / 100));
}

int32_t TOpenArray::Add(const void* record)
{
    int32_t index = Count;
    InsertAt(index, record);
    return index;
}

uint8_t* TOpenArray::Last()
{
    if (Count == 0) throw ETarnError("Невозможно взять элемент списка, т.к. список пуст");
    return ItemPtr(Count - 1);
}

uint8_t* TOpenArray::InsertAt(int32_t index, const void* record)
{
    if (index < 0 || index > Count) throw EObjList("Index out of range");
    if (Count == Capacity) {
        int64_t grown = int64_t(Capacity) + GrowDelta();
        if (grown > std::numeric_limits<int32_t>::max() / ItemSize) throw EObjList("Array is full");
        SetCapacity(static_cast<int32_t>(grown));
    }
    std::size_t sz = std::size_t(ItemSize);
    uint8_t* p = ItemPtr(index);
    std::memmove(p + sz, p, (std::size_t(Count) - std::size_t(index)) * sz);
    std::memcpy(p, record, sz);
    ++Count;
    return p;
}

void TOpenArray::DeleteAt(int32_t index)
{
    if (index < 0 || index >= Count) throw EObjList("Index out of range");
    uint8_t* p = ItemPtr(index);
    if (OnFreeItem) OnFreeItem(p);
    std::size_t sz = std::size_t(ItemSize);
    std::memmove(p, p + sz, (std::size_t(Count) - std::size_t(index) - 1) * sz);
    --Count;
}

void TOpenArray::Clear()
{
    if (OnFreeItem)
        for (int32_t i = 0; i < Count; ++i) OnFreeItem(ItemPtr(i));
    Count = 0;
}

// ---------------------------------------------------------------- sorted arrays

int8_t TSortedArray::CompareKeys(const void* key1, const void* key2) const
{
    int c = std::memcmp(key1, key2, std::size_t(ItemSize));
    return static_cast<int8_t>(c > 0 ? 1 : c < 0 ? -1 : 0);
}

bool TSortedArray::Search(const void* key, int32_t& index) const
{
    bool found = false;
    int32_t low = 0, high = Count - 1;
    while (low <= high) {
        int32_t mid = low + (high - low) / 2;
        int8_t c = CompareKeys(KeyOf(ItemPtr(mid)), key);
        if (c >= 0) {
            high = mid - 1;
            if (c == 0) found = true;
        } else {
            low = mid + 1;
        }
    }
    index = low;
    return found;
}

int32_t TSortedArray::Add(const void* record)
{
    int32_t index;
    Search(KeyOf(record), index);
    InsertAt(index, record);
    return index;
}

namespace {
int32_t LoadI32(const void* p)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
}
} // namespace

int8_t TIntSortArray::CompareKeys(const void* key1, const void* key2) const
{
    int32_t a = LoadI32(key1), b = LoadI32(key2);
    return static_cast<int8_t>(a > b ? 1 : a < b ? -1 : 0);
}

} // namespace tarn
