#pragma once
// Persistent items and the containers everything else stands on.
//
// Items follow the document's ownership rules: a list frees what it holds when
// it is destroyed, an item may sit in several lists, and an item that has an
// owner unlinks itself from it when freed.
#include "Errors.h"
#include "Streams.h"

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

namespace tarn {

class TAbstractItem {
public:
    // The stream-load base: no reference, no owner.
    TAbstractItem() = default;
    // Create(Owner): reference count 1.
    explicit TAbstractItem(TAbstractItem* owner) : RefCount(1), Owner(owner) {}
    // Load(Stream, Owner) at this level only sets the owner.
    TAbstractItem(TStream&, TAbstractItem* owner) : Owner(owner) {}
    virtual ~TAbstractItem();

    TAbstractItem(const TAbstractItem&) = delete;
    TAbstractItem& operator=(const TAbstractItem&) = delete;

    virtual void BeforeRelease() {}
    virtual void Store(TStream&) const {}
    int32_t AddRef() { return ++RefCount; }
    virtual void SetOwner(TAbstractItem* owner) { Owner = owner; }
    virtual void RemoveItem(TAbstractItem*) {}
    virtual int8_t Compare(const TAbstractItem* item1, const TAbstractItem* item2) const;
    virtual int8_t CompareKey(const void* key) const;
    virtual const void* GetKey() const { return this; }
    // True for map objects (TBaseObject): asked of every object read, where
    // a dynamic cast costs more than the rest of the check.
    virtual bool IsMapObject() const { return false; }

    // Decrements the count, frees the item at 0 or below; -1 for no item.
    static int32_t Release(TAbstractItem* item);

    int32_t RefCount = 0;
    TAbstractItem* Owner = nullptr;
};

// Readable class name of an item ("tarn::TPolyLine" -> "TPolyLine").
std::string ClassNameOf(const std::type_info& type);
inline std::string ClassNameOf(const TAbstractItem& item) { return ClassNameOf(typeid(item)); }

// --- stream class registry: ids 0..199, exact classes only ---

using TItemLoader = TAbstractItem* (*)(TStream&, TAbstractItem* owner);

constexpr int ItemClassCount = 200;

void RegisterItemClass(const std::type_info& type, int id, TItemLoader loader);

template <class T>
void RegisterItemClass(int id)
{
    RegisterItemClass(typeid(T), id,
                      [](TStream& s, TAbstractItem* owner) -> TAbstractItem* { return new T(s, owner); });
}

// The id of an item's exact class; throws EItemClass when not registered.
int GetItemClassId(const std::type_info& type);
int GetItemClassId(const TAbstractItem* item);
// The loader registered under id, or none.
TItemLoader ItemClassLoader(int id);

// Writes the u16 class id and the item.
void StoreItem(TStream& stream, const TAbstractItem* item);
// Reads the u16 class id and builds the item with the given owner.
TAbstractItem* LoadRegisteredItem(TStream& stream, TAbstractItem* owner);

// --- TObjList ---

class TObjList : public TAbstractItem {
public:
    static constexpr int32_t MaxCapacity = 10'000'000;

    TObjList() : TAbstractItem(nullptr) {}
    explicit TObjList(TAbstractItem* owner) : TAbstractItem(owner) {}
    // Stream form: count, grow delta (ignored), then each item with its class id.
    TObjList(TStream& stream, TAbstractItem* owner);
    ~TObjList() override;

    void Store(TStream& stream) const override;
    void RemoveItem(TAbstractItem* item) override;

    virtual void FreeItem(TAbstractItem* item) { delete item; }
    virtual TAbstractItem* LoadItem(TStream& stream) { return LoadRegisteredItem(stream, this); }
    virtual void StoreItem(TStream& stream, const TAbstractItem* item) const { tarn::StoreItem(stream, item); }
    virtual int32_t GrowDelta() const;
    // Frees the items by Release instead of freeing them, then the list.
    void DestroyReleasing();
    virtual void Delete(int32_t index);
    virtual void FreeAt(int32_t index);
    virtual void ReleaseAt(int32_t index);
    virtual int32_t IndexOf(const TAbstractItem* item) const;
    // Appends; returns the new count (not the index).
    virtual int32_t Add(TAbstractItem* item);
    virtual void SetCapacity(int32_t newCapacity);
    virtual bool FindByKey(const void* key, int32_t& index) const;

    void InsertAt(int32_t index, TAbstractItem* item);
    TAbstractItem* GetItem(int32_t index) const;
    void SetItem(int32_t index, TAbstractItem* item);
    void Remove(TAbstractItem* item);
    // Empties the list without freeing any item.
    void Clear();
    void FreeAll();
    void ReleaseAll();

    int32_t Count = 0;
    int32_t Capacity = 0;
    int32_t LockCount = 0;
    std::vector<TAbstractItem*> Items; // Capacity entries

protected:
    // Reads the stream form into this (empty) list; for derived load constructors.
    void LoadList(TStream& stream);
    void Grow();
};

// --- TOpenArray and the sorted arrays ---

class TOpenArray : public TAbstractItem {
public:
    TOpenArray(TAbstractItem* owner, int32_t itemSize);
    // Stream form: item size, capacity, grow delta, count, then the records.
    // A header that cannot be right raises EFormatError before anything is allocated.
    TOpenArray(TStream& stream, TAbstractItem* owner);
    ~TOpenArray() override = default;

    void Store(TStream& stream) const override;

    virtual void SetCapacity(int32_t newCapacity);
    virtual int32_t GrowDelta() const;
    // Appends a copy of the record; returns its index.
    virtual int32_t Add(const void* record);

    uint8_t* ItemPtr(int32_t index) { return Data.data() + std::size_t(index) * std::size_t(ItemSize); }
    const uint8_t* ItemPtr(int32_t index) const
    {
        return Data.data() + std::size_t(index) * std::size_t(ItemSize);
    }
    uint8_t* Last();
    uint8_t* InsertAt(int32_t index, const void* record);
    void DeleteAt(int32_t index);
    void Clear();

    int32_t Count = 0;
    int32_t ItemSize = 0;
    int32_t Capacity = 0;
    std::function<void(void* record)> OnFreeItem;

protected:
    std::vector<uint8_t> Data; // Capacity x ItemSize bytes
};

class TSortedArray : public TOpenArray {
public:
    using TOpenArray::TOpenArray;

    // Unsigned byte-wise comparison of ItemSize bytes.
    virtual int8_t CompareKeys(const void* key1, const void* key2) const;
    virtual const void* KeyOf(const void* record) const { return record; }
    // Lower bound: Index is the first record whose key is not less than Key.
    virtual bool Search(const void* key, int32_t& index) const;
    int32_t Add(const void* record) override;
};

class TIntSortArray : public TSortedArray {
public:
    using TSortedArray::TSortedArray;
    // Compares the first 4 bytes of each key as signed 32-bit integers.
    int8_t CompareKeys(const void* key1, const void* key2) const override;
};

} // namespace tarn
