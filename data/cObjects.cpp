#include "cObjects.h"
#include "Errors.h"
#include "Nesting.h"

#include <cstring>
#include <typeindex>
#include <unordered_map>

namespace tarn {

namespace {

struct CodeEntry {
    uint16_t Code = 0;
    const std::type_info* Type = nullptr;
    TFilerFormFns Forms[2];
};

struct CodeTable {
    std::unordered_map<uint16_t, CodeEntry> ByCode;
    std::unordered_map<std::type_index, uint16_t> ByType;
};

CodeTable& Table()
{
    static CodeTable t;
    return t;
}

int FormIndex(TFilerForm form) { return form == TFilerForm::Map16 ? 0 : 1; }

const char* FormName(TFilerForm form) { return form == TFilerForm::Map16 ? "map sheet" : "project"; }

TAbstractItem* ReadCoded(TReader& reader, TFilerForm form)
{
    int64_t at = reader.Position();
    TNestingGuard nesting(reader.Stream(), "type code");
    uint16_t code = reader.ReadU16LE("type code");
    const CodeTable& t = Table();
    auto it = t.ByCode.find(code);
    TFilerItemReader read = it == t.ByCode.end() ? nullptr : it->second.Forms[FormIndex(form)].Read;
    if (!read)
        ThrowFormat(reader.Stream().Name(), at, "type code",
                    "unknown type code " + std::to_string(code) + " in the " + FormName(form) + " form");
    return read(reader);
}

const TFilerFormFns* FormFnsOf(const std::type_info& type, TFilerForm form)
{
    const CodeTable& t = Table();
    auto it = t.ByType.find(std::type_index(type));
    if (it == t.ByType.end()) return nullptr;
    const TFilerFormFns& f = t.ByCode.at(it->second).Forms[FormIndex(form)];
    return f.Write ? &f : nullptr;
}

void WriteCoded(TWriter& writer, const TAbstractItem* item, TFilerForm form)
{
    if (!item) throw EWriteError("an empty collection entry cannot be written");
    const TFilerFormFns* f = FormFnsOf(typeid(*item), form);
    if (!f)
        throw EWriteError("class " + ClassNameOf(*item) + " has no type code in the " + FormName(form) + " form");
    writer.WriteU16LE(TypeCodeOf(typeid(*item), form));
    f->Write(writer, *item);
}

} // namespace

void RegisterTypeCode(uint16_t code, const std::type_info& type, TFilerFormFns map16, TFilerFormFns project)
{
    CodeTable& t = Table();
    if (t.ByCode.count(code) || t.ByType.count(std::type_index(type)))
        throw EItemClass("type code " + std::to_string(code) + " or class " + ClassNameOf(type) +
                         " is registered already");
    CodeEntry e;
    e.Code = code;
    e.Type = &type;
    e.Forms[0] = map16;
    e.Forms[1] = project;
    t.ByCode.emplace(code, e);
    t.ByType.emplace(std::type_index(type), code);
}

uint16_t TypeCodeOf(const std::type_info& type, TFilerForm form)
{
    const CodeTable& t = Table();
    auto it = t.ByType.find(std::type_index(type));
    if (it == t.ByType.end()) return 0;
    return t.ByCode.at(it->second).Forms[FormIndex(form)].Write ? it->second : 0;
}

TAbstractItem* ReadMapObject(TReader& reader) { return ReadCoded(reader, TFilerForm::Map16); }
void WriteMapObject(TWriter& writer, const TAbstractItem* item) { WriteCoded(writer, item, TFilerForm::Map16); }
TAbstractItem* ReadProjectItem(TReader& reader) { return ReadCoded(reader, TFilerForm::Project); }
void WriteProjectItem(TWriter& writer, const TAbstractItem* item) { WriteCoded(writer, item, TFilerForm::Project); }

// ---------------------------------------------------------------- TCollection

TCollection::TCollection(TStream& stream, TAbstractItem* owner) : TObjList(owner)
{
    LoadList(stream);
}

void TCollection::CheckWritable(TFilerForm form) const
{
    if (form == TFilerForm::Map16 && Count > 65535)
        throw EWriteError("a collection of " + std::to_string(Count) +
                          " items cannot be written to a map sheet (at most 65535)");
    for (int32_t i = 0; i < Count; ++i) {
        const TAbstractItem* item = Items[static_cast<std::size_t>(i)];
        if (!item) throw EWriteError("an empty collection entry cannot be written");
        if (!FormFnsOf(typeid(*item), form))
            throw EWriteError("class " + ClassNameOf(*item) + " has no type code in the " + FormName(form) +
                              " form");
    }
}

void TCollection::WriteFiler16(TWriter& writer) const
{
    CheckWritable(TFilerForm::Map16);
    uint16_t n = static_cast<uint16_t>(Count);
    writer.WriteU16LE(n);
    writer.WriteU16LE(n);
    writer.WriteU16LE(16);
    for (int32_t i = 0; i < Count; ++i) WriteMapObject(writer, Items[static_cast<std::size_t>(i)]);
}

void TCollection::WriteFiler(TWriter& writer) const
{
    CheckWritable(TFilerForm::Project);
    writer.WriteInteger(Count);
    writer.WriteInteger(Count);
    writer.WriteInteger(16);
    for (int32_t i = 0; i < Count; ++i) WriteProjectItem(writer, Items[static_cast<std::size_t>(i)]);
}

void TCollection::ReadItems16(TReader& reader)
{
    int64_t at = reader.Position();
    uint16_t count = reader.ReadU16LE("collection count");
    reader.ReadU16LE("collection count");
    reader.ReadU16LE("collection delta");
    // Each item takes at least its two-byte code.
    if (int64_t(count) * 2 > reader.Remaining())
        ThrowFormat(reader.Stream().Name(), at, "collection count",
                    "impossible item count " + std::to_string(count));
    SetCapacity(count);
    try {
        for (int32_t i = 0; i < count; ++i) {
            // A list may refuse an item (layers hold map objects only).
            std::unique_ptr<TAbstractItem> item(ReadMapObject(reader));
            Add(item.get());
            item.release();
        }
    } catch (...) {
        FreeAll(); // constructors that throw get no destructor
        throw;
    }
}

void TCollection::ReadItems(TReader& reader)
{
    int64_t at = reader.Position();
    int32_t count = reader.ReadInteger("collection count");
    reader.ReadInteger("collection count");
    reader.ReadInteger("collection delta");
    if (count < 0 || count > MaxCapacity || int64_t(count) * 2 > reader.Remaining())
        ThrowFormat(reader.Stream().Name(), at, "collection count",
                    "impossible item count " + std::to_string(count));
    SetCapacity(count);
    try {
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<TAbstractItem> item(ReadProjectItem(reader));
            Add(item.get());
            item.release();
        }
    } catch (...) {
        FreeAll();
        throw;
    }
}

void TCollection::AppendItems(const TCollection* source)
{
    if (!source || source->Count == 0) return;
    int64_t total = int64_t(Count) + source->Count;
    if (total > MaxCapacity) throw EObjList("List is full (" + std::to_string(MaxCapacity) + " items)");
    SetCapacity(static_cast<int32_t>(total));
    std::copy(source->Items.begin(), source->Items.begin() + source->Count, Items.begin() + Count);
    Count = static_cast<int32_t>(total);
}

// ---------------------------------------------------------------- TMemoryBlockList

int32_t TMemoryBlockList::Insert(const void* block, std::size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(block);
    Blocks.emplace_back(p, p + size);
    return Count();
}

void RegisterCollectionClasses() { RegisterItemClass<TCollection>(130); }

} // namespace tarn
