#pragma once
// The document collection and its two filer forms, the type-code table that
// maps each persistent class to its 16-bit code, layer-list entries and raw
// memory-block lists.
#include "Filer.h"
#include "UArrays.h"

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace tarn {

// ---------------------------------------------------------------- type codes

// The two filer forms: ".map" sheets (16-bit counts) and ".prj" projects
// (tagged-integer counts).
enum class TFilerForm { Map16, Project };

using TFilerItemReader = TAbstractItem* (*)(TReader&);
using TFilerItemWriter = void (*)(TWriter&, const TAbstractItem&);

struct TFilerFormFns {
    TFilerItemReader Read = nullptr;  // null: the form does not read this code
    TFilerItemWriter Write = nullptr; // null: the form does not write this class
};

// Registers the code of an exact class and how each form reads and writes it.
// Later units register their classes into this table at start-up.
void RegisterTypeCode(uint16_t code, const std::type_info& type, TFilerFormFns map16, TFilerFormFns project);

// The code under which an item of the exact class is written in a form, or 0.
uint16_t TypeCodeOf(const std::type_info& type, TFilerForm form);

// Helpers for the common shapes: a class that reads with a T(TReader&)
// constructor and writes with its WriteFiler(TWriter&).
template <class T>
TFilerFormFns FilerFns()
{
    return {[](TReader& r) -> TAbstractItem* { return new T(r); },
            [](TWriter& w, const TAbstractItem& item) { static_cast<const T&>(item).WriteFiler(w); }};
}

// One item of the 16-bit form: the u16 code, then the record.
TAbstractItem* ReadMapObject(TReader& reader);
void WriteMapObject(TWriter& writer, const TAbstractItem* item);
// One item of the integer form: the u16 code (raw), then the record.
TAbstractItem* ReadProjectItem(TReader& reader);
void WriteProjectItem(TWriter& writer, const TAbstractItem* item);

// ---------------------------------------------------------------- TCollection

class TCollection : public TObjList {
public:
    TCollection() = default;
    // Stream form of the item list; items get no owner.
    TCollection(TStream& stream, TAbstractItem* owner);
    struct FromMap16 {};
    struct FromProject {};
    TCollection(TReader& reader, FromMap16) { ReadItems16(reader); }
    TCollection(TReader& reader, FromProject) { ReadItems(reader); }

    TAbstractItem* LoadItem(TStream& stream) override { return LoadRegisteredItem(stream, nullptr); }

    // 16-bit form: count, count again, 16 (three u16), then the items.
    virtual void WriteFiler16(TWriter& writer) const;
    // Integer form: the same three values as tagged integers, then the items.
    virtual void WriteFiler(TWriter& writer) const;

    // Appends; returns the new count.
    int32_t Insert(TAbstractItem* item) { return Add(item); }
    // Appends every item reference of source; source keeps them too.
    void AppendItems(const TCollection* source);

    // Throws EWriteError unless the collection can be written in the form;
    // called before any byte is written.
    void CheckWritable(TFilerForm form) const;

protected:
    // Read the list forms into this empty collection (for derived readers).
    void ReadItems16(TReader& reader);
    void ReadItems(TReader& reader);
};

// ---------------------------------------------------------------- TItem

// One entry of a layer list built by the layer-tree walks.
class TItem : public TAbstractItem {
public:
    TItem(TAbstractItem* layer, std::string name, int32_t depth, uint8_t kind)
        : TAbstractItem(nullptr), Name(std::move(name)), Depth(depth), Kind(kind), Layer(layer)
    {
    }

    std::string Name;
    int32_t Depth = 0;
    uint8_t Kind = 0;
    TAbstractItem* Layer = nullptr; // not owned
};

// ---------------------------------------------------------------- TMemoryBlockList

// A list of raw memory blocks (copies of fixed-size records), never stored.
class TMemoryBlockList {
public:
    // Appends a copy of size bytes; returns the new count.
    int32_t Insert(const void* block, std::size_t size);
    int32_t Count() const { return static_cast<int32_t>(Blocks.size()); }
    const uint8_t* Block(int32_t index) const { return Blocks.at(static_cast<std::size_t>(index)).data(); }
    std::size_t BlockSize(int32_t index) const { return Blocks.at(static_cast<std::size_t>(index)).size(); }
    void Delete(int32_t index) { Blocks.erase(Blocks.begin() + index); }
    void Clear() { Blocks.clear(); }

private:
    std::vector<std::vector<uint8_t>> Blocks;
};

// Registers TCollection (stream class id 130); part of the start-up registration.
void RegisterCollectionClasses();

} // namespace tarn
