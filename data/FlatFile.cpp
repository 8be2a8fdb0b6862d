#include "FlatFile.h"
#include "platform/SafeFile.h"
#include "Errors.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>

namespace tarn {

namespace {

int32_t GetI32(const void* p)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
}

void PutI32(void* p, int32_t v)
{
    uint8_t* b = static_cast<uint8_t*>(p);
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
}

constexpr int32_t MaxBlockLength = 2147483646;
constexpr char IndexClassName[] = "TIndex";

enum : int32_t { ByHandle = 0, ByOffset = 1, ByGap = 2 };
constexpr int32_t HandleField = 0, OffsetField = 4, SizeField = 8, GapField = 12, BlockRecordSize = 16;

std::string Str(int64_t v) { return std::to_string(v); }

struct TBlockRecord {
    uint8_t Bytes[BlockRecordSize];
    explicit TBlockRecord(const TFlatFileBlock& b)
    {
        PutI32(Bytes + HandleField, b.Handle);
        PutI32(Bytes + OffsetField, b.Offset);
        PutI32(Bytes + SizeField, b.Size);
        PutI32(Bytes + GapField, b.Gap);
    }
};

} // namespace

// ---------------------------------------------------------------- TIndex

TIndex::TIndex(TIndexedArray* owner, int32_t fieldOffset)
    : TIntSortArray(nullptr, 4), OwnerArray(owner), FieldOffset(fieldOffset)
{
}

TIndex::TIndex(TStream& stream, TIndexedArray* owner) : TIntSortArray(stream, nullptr), OwnerArray(owner)
{
    FieldOffset = stream.readI32LE("index field offset");
}

void TIndex::Store(TStream& stream) const
{
    TIntSortArray::Store(stream);
    stream.writeI32LE(FieldOffset);
}

const void* TIndex::KeyOf(const void* entry) const { return OwnerArray->ItemPtr(GetI32(entry)) + FieldOffset; }

int32_t TIndex::RecNoAt(int32_t position) const { return GetI32(ItemPtr(position)); }

// ---------------------------------------------------------------- TIndexedArray

TIndexedArray::TIndexedArray(TAbstractItem* owner, const std::vector<int32_t>& fieldOffsets, int32_t itemSize)
    : TOpenArray(owner, itemSize), FreeRecords(std::make_unique<TIntSortArray>(nullptr, 4))
{
    for (int32_t offset : fieldOffsets) {
        if (offset < 0 || offset > itemSize - 4)
            throw ETarnError("index field offset " + Str(offset) + " lies outside a record of " + Str(itemSize) +
                             " bytes");
        Indexes.push_back(std::make_unique<TIndex>(this, offset));
    }
}

TIndexedArray::TIndexedArray(TStream& stream, TAbstractItem* owner) : TOpenArray(stream, owner)
{
    ReadIndexes(stream);
}

TIndexedArray::~TIndexedArray() = default;

void TIndexedArray::ReadIndexedForm(TStream& stream)
{
    TOpenArray records(stream, nullptr);
    Count = 0;
    SetCapacity(0);
    ItemSize = records.ItemSize;
    SetCapacity(records.Count);
    if (records.Count > 0)
        std::memcpy(Data.data(), records.ItemPtr(0), std::size_t(records.Count) * std::size_t(ItemSize));
    Count = records.Count;
    Indexes.clear();
    ReadIndexes(stream);
}

void TIndexedArray::ReadIndexes(TStream& stream)
{
    int64_t at = stream.Position();
    int32_t count = stream.readI32LE("index count");
    // Each index takes at least its name's length byte, an array header and a field offset.
    if (count < 0 || int64_t(count) * 21 > stream.Remaining())
        ThrowFormat(stream.Name(), at, "index count", "impossible index count " + Str(count));
    std::vector<std::unique_ptr<TIndex>> indexes;
    for (int32_t i = 0; i < count; ++i) {
        int64_t nameAt = stream.Position();
        uint8_t length = stream.readU8("index class name");
        std::string name = stream.readBytes(length, "index class name");
        if (name != IndexClassName)
            ThrowFormat(stream.Name(), nameAt, "index class name", "Class " + name + " not found");
        indexes.push_back(std::make_unique<TIndex>(stream, this));
    }
    // A free list whose record size cannot be right is replaced by an empty one.
    int64_t freeAt = stream.Position();
    int32_t freeItemSize = stream.readI32LE("free record list");
    stream.Seek(freeAt);
    std::unique_ptr<TIntSortArray> freeRecords;
    if (freeItemSize < 1) {
        stream.Skip(16, "free record list");
        freeRecords = std::make_unique<TIntSortArray>(nullptr, 4);
    } else {
        freeRecords = std::make_unique<TIntSortArray>(stream, nullptr);
    }
    Indexes = std::move(indexes);
    FreeRecords = std::move(freeRecords);
    CheckIndexes(stream);
}

void TIndexedArray::CheckIndexes(const TStream& stream) const
{
    auto fail = [&](const std::string& message) { ThrowFormat(stream.Name(), -1, "record index", message); };
    if (FreeRecords->ItemSize != 4)
        fail("the free record list has entries of " + Str(FreeRecords->ItemSize) + " bytes");
    std::vector<uint8_t> isFree(static_cast<std::size_t>(Count), 0);
    for (int32_t i = 0; i < FreeRecords->Count; ++i) {
        int32_t r = GetI32(FreeRecords->ItemPtr(i));
        if (r < 0 || r >= Count || isFree[static_cast<std::size_t>(r)])
            fail("the free record list names record " + Str(r) + " wrongly");
        isFree[static_cast<std::size_t>(r)] = 1;
    }
    int32_t live = Count - FreeRecords->Count;
    std::vector<uint8_t> seen;
    for (std::size_t k = 0; k < Indexes.size(); ++k) {
        const TIndex& ix = *Indexes[k];
        std::string which = "index " + Str(static_cast<int64_t>(k)) + ": ";
        if (ix.ItemSize != 4) fail(which + "entries of " + Str(ix.ItemSize) + " bytes");
        if (ix.FieldOffset < 0 || ix.FieldOffset > ItemSize - 4)
            fail(which + "field offset " + Str(ix.FieldOffset) + " outside a record of " + Str(ItemSize) + " bytes");
        if (ix.Count != live) fail(which + Str(ix.Count) + " entries for " + Str(live) + " records");
        seen.assign(static_cast<std::size_t>(Count), 0);
        for (int32_t p = 0; p < ix.Count; ++p) {
            int32_t r = ix.RecNoAt(p);
            if (r < 0 || r >= Count || isFree[static_cast<std::size_t>(r)] || seen[static_cast<std::size_t>(r)])
                fail(which + "entry " + Str(p) + " names record " + Str(r) + " wrongly");
            seen[static_cast<std::size_t>(r)] = 1;
            if (p > 0 && GetI32(ix.KeyOf(ix.ItemPtr(p - 1))) > GetI32(ix.KeyOf(ix.ItemPtr(p))))
                fail(which + "entries out of order at " + Str(p));
        }
    }
}

void TIndexedArray::Store(TStream& stream) const
{
    TOpenArray::Store(stream);
    stream.writeI32LE(IndexCount());
    for (const auto& ix : Indexes) {
        stream.writeU8(static_cast<uint8_t>(sizeof IndexClassName - 1));
        stream.writeBytes(IndexClassName);
        ix->Store(stream);
    }
    FreeRecords->Store(stream);
}

void TIndexedArray::GetRecord(int32_t recNo, void* buffer) const
{
    if (recNo < 0 || recNo >= Count) throw EObjList("Index out of range");
    std::memcpy(buffer, ItemPtr(recNo), std::size_t(ItemSize));
}

int32_t TIndexedArray::AppendRecord(const void* record)
{
    int32_t recNo;
    if (FreeRecords->Count > 0) {
        recNo = GetI32(FreeRecords->Last());
        FreeRecords->DeleteAt(FreeRecords->Count - 1);
        std::memcpy(ItemPtr(recNo), record, std::size_t(ItemSize));
    } else {
        recNo = TOpenArray::Add(record);
    }
    uint8_t entry[4];
    PutI32(entry, recNo);
    for (auto& ix : Indexes) ix->Add(entry);
    return recNo;
}

int32_t TIndexedArray::PositionOf(const TIndex& index, int32_t recNo, int32_t key) const
{
    uint8_t k[4];
    PutI32(k, key);
    int32_t p;
    index.Search(k, p);
    for (; p < index.Count && GetI32(index.KeyOf(index.ItemPtr(p))) == key; ++p)
        if (index.RecNoAt(p) == recNo) return p;
    throw ETarnError("record index does not hold record " + Str(recNo) + " under key " + Str(key));
}

void TIndexedArray::UpdateRecord(int32_t recNo, const void* record)
{
    if (recNo < 0 || recNo >= Count) throw EObjList("Index out of range");
    const uint8_t* fresh = static_cast<const uint8_t*>(record);
    for (auto& ix : Indexes) {
        int32_t oldKey = GetI32(ItemPtr(recNo) + ix->FieldOffset);
        int32_t newKey = GetI32(fresh + ix->FieldOffset);
        if (oldKey == newKey) continue;
        int32_t p = PositionOf(*ix, recNo, oldKey);
        uint8_t k[4];
        PutI32(k, newKey);
        int32_t q;
        ix->Search(k, q);
        if (q == p || q == p + 1) continue; // already in order where it stands
        ix->DeleteAt(p);
        if (q > p) --q;
        uint8_t entry[4];
        PutI32(entry, recNo);
        ix->InsertAt(q, entry);
    }
    std::memmove(ItemPtr(recNo), record, std::size_t(ItemSize));
}

bool TIndexedArray::FindRecord(int32_t indexNo, int32_t key, int32_t& recNo) const
{
    if (indexNo < 0 || indexNo >= IndexCount()) throw EObjList("Index out of range");
    const TIndex& ix = *Indexes[static_cast<std::size_t>(indexNo)];
    uint8_t k[4];
    PutI32(k, key);
    int32_t p;
    bool found = ix.Search(k, p);
    recNo = p < ix.Count ? ix.RecNoAt(p) : -1;
    return found;
}

int32_t TIndexedArray::RecordAt(int32_t indexNo, int32_t position) const
{
    if (indexNo < 0 || indexNo >= IndexCount()) throw EObjList("Index out of range");
    const TIndex& ix = *Indexes[static_cast<std::size_t>(indexNo)];
    if (position < 0 || position >= ix.Count) throw EObjList("Index out of range");
    return ix.RecNoAt(position);
}

// ---------------------------------------------------------------- TFlatFile

TFlatFile::TFlatFile(std::unique_ptr<TStream> stream, TOpenMode mode)
    : TIndexedArray(nullptr, {HandleField, OffsetField, GapField}, BlockRecordSize), File(std::move(stream)),
      ChangedHandles(std::make_unique<TIntSortArray>(nullptr, 4)), OpenMode(mode)
{
    if (!File) throw ETarnError("a block file needs a stream");
    int64_t size = File->Size();
    bool blockFile = false;
    if (size >= 4) {
        char magic[4];
        File->Seek(0);
        File->ReadBuffer(magic, 4, "block file magic");
        blockFile = std::memcmp(magic, "FM00", 4) == 0;
    }
    if (blockFile) {
        if (size < HeaderSize)
            ThrowFormat(File->Name(), size, "block file header",
                        "the block file is cut short inside its 256-byte header");
        File->Seek(0);
        File->ReadBuffer(Header, HeaderSize, "block file header");
        LoadMap(size);
        CheckHoles(size);
    } else {
        if (size > 0 && mode == TOpenMode::Read)
            ThrowFormat(File->Name(), 0, "block file header", "not a block file: it does not begin with \"FM00\"");
        // Written over as a new block file; a full header is kept as it was.
        if (size >= HeaderSize) {
            File->Seek(0);
            File->ReadBuffer(Header, HeaderSize, "block file header");
        }
        NewMap();
    }
    CheckMap();
}

TFlatFile::~TFlatFile()
{
    for (TObjectStream* s : OpenStreams) s->FlatFile = nullptr;
    if (CommitPath.empty() && OpenMode == TOpenMode::ReadWrite && !Broken) {
        try {
            SaveMap();
            if (auto* fs = dynamic_cast<TFileStream*>(File.get())) fs->Flush();
        } catch (...) {
            // Destructors only try; Commit reports.
        }
    }
}

std::unique_ptr<TFlatFile> TFlatFile::OpenForReading(const std::string& path)
{
    auto stream = std::make_unique<TFileStream>(path, TFileStream::Mode::Read);
    return std::make_unique<TFlatFile>(std::move(stream), TOpenMode::Read);
}

std::unique_ptr<TFlatFile> TFlatFile::OpenForWriting(const std::string& path)
{
    auto memory = std::make_unique<TMemoryStream>();
    memory->SetName(path);
    std::error_code ec;
    bool exists = std::filesystem::exists(std::filesystem::path(path), ec);
    if (ec) ThrowFileError(path, "не удалось открыть файл", ec.value());
    if (exists) {
        // Checked where it lies first; then only what its blocks reach is
        // copied (a file that is no block file keeps only its header).
        auto file = std::make_unique<TFileStream>(path, TFileStream::Mode::Read);
        int64_t extent = std::min<int64_t>(file->Size(), HeaderSize);
        char magic[4] = {};
        if (file->Size() >= 4) {
            file->ReadBuffer(magic, 4, "block file magic");
            file->Seek(0);
        }
        if (std::memcmp(magic, "FM00", 4) == 0) {
            TFlatFile checked(std::move(file), TOpenMode::Read);
            extent = std::min<int64_t>(checked.Stream().Size(), int64_t(checked.BlockOf(TailHandle).Offset) - 1);
            file.reset(static_cast<TFileStream*>(checked.File.release()));
        }
        std::string bytes(static_cast<std::size_t>(extent), '\0');
        file->Seek(0);
        file->ReadBuffer(bytes.data(), bytes.size(), "block file");
        memory = std::make_unique<TMemoryStream>(std::move(bytes));
        memory->SetName(path);
    }
    auto flat = std::make_unique<TFlatFile>(std::move(memory), TOpenMode::ReadWrite);
    flat->CommitPath = path;
    return flat;
}

void TFlatFile::NewMap()
{
    for (const TFlatFileBlock& b : {TFlatFileBlock{FirstHandle, HeaderSize, 1, 0},
                                    TFlatFileBlock{MapHandle, HeaderSize + 1, 1, 0},
                                    TFlatFileBlock{TailHandle, HeaderSize + 2, 0, TailGap}})
        AppendRecord(TBlockRecord(b).Bytes);
}

void TFlatFile::LoadMap(int64_t fileSize)
{
    int32_t mapOffset = GetI32(Header + 4);
    if (mapOffset <= HeaderSize || mapOffset >= fileSize)
        ThrowFormat(File->Name(), 4, "block map offset",
                    "the block map offset " + Str(mapOffset) + " lies outside the file of " + Str(fileSize) +
                        " bytes");
    try {
        File->Seek(mapOffset);
        ReadIndexedForm(*File);
        CheckLoadedMap(fileSize, mapOffset, File->Position());
    } catch (ETarnError& e) {
        e.AddContext("damaged block map");
        throw;
    }
}

void TFlatFile::CheckLoadedMap(int64_t fileSize, int32_t mapOffset, int64_t mapEnd) const
{
    auto fail = [&](const std::string& message) { ThrowFormat(File->Name(), mapOffset, "block map", message); };
    if (ItemSize != BlockRecordSize) fail("records of " + Str(ItemSize) + " bytes where 16 are expected");
    if (IndexCount() != 3 || Indexes[ByHandle]->FieldOffset != HandleField ||
        Indexes[ByOffset]->FieldOffset != OffsetField || Indexes[ByGap]->FieldOffset != GapField)
        fail("its indexes are not those of a block map");
    const TIndex& byHandle = *Indexes[ByHandle];
    const TIndex& byOffset = *Indexes[ByOffset];
    int32_t n = byOffset.Count;
    if (n < 3) fail("it holds fewer than the three reserved blocks");
    for (int32_t p = 1; p < n; ++p)
        if (GetI32(byHandle.KeyOf(byHandle.ItemPtr(p - 1))) == GetI32(byHandle.KeyOf(byHandle.ItemPtr(p))))
            fail("handle " + Str(GetI32(byHandle.KeyOf(byHandle.ItemPtr(p)))) + " appears twice");
    bool mapSeen = false;
    for (int32_t p = 0; p < n; ++p) {
        TFlatFileBlock b = Block(byOffset.RecNoAt(p));
        std::string which = "block " + Str(b.Handle) + " (offset " + Str(b.Offset) + ", size " + Str(b.Size) +
                            ", gap " + Str(b.Gap) + ")";
        if (p == 0 && (b.Handle != FirstHandle || b.Offset != HeaderSize || b.Size != 1))
            fail(which + " comes first where the fixed block at offset 256 belongs");
        if (p == n - 1) {
            if (b.Handle != TailHandle || b.Size != 0 || b.Gap != TailGap)
                fail(which + " comes last where the tail belongs");
            // The blocks and the free gaps between them lie in the file, but
            // for the unwritten end of the map's block (under 1 KiB as
            // written): a save then copies and grows no more than the file.
            if (int64_t(b.Offset) - 1 > fileSize + MaxSlackPastEnd)
                fail("the blocks and their gaps reach " + Str(int64_t(b.Offset) - 1) +
                     " bytes, far beyond the end of the file (" + Str(fileSize) + " bytes)");
            break;
        }
        if (b.Handle == TailHandle) fail("the tail is not the last block");
        if (b.Size < 1 || b.Gap < 0) fail(which + ": impossible size or gap");
        TFlatFileBlock next = Block(byOffset.RecNoAt(p + 1));
        if (int64_t(b.Offset) + b.Size + b.Gap != next.Offset)
            fail(which + " does not end where the next block (offset " + Str(next.Offset) + ") begins");
        if (b.Handle == MapHandle) {
            if (b.Offset != mapOffset || mapEnd - mapOffset > int64_t(b.Size) - 1)
                fail(which + " does not hold the block map that the header points to");
            mapSeen = true;
        } else if (int64_t(b.Offset) + b.Size - 1 > fileSize) {
            fail(which + ": its data lies beyond the end of the file (" + Str(fileSize) + " bytes)");
        }
    }
    if (!mapSeen) fail("it has no block for itself (handle 3)");
}

void TFlatFile::CheckHoles(int64_t fileSize) const
{
    const TIndex& byOffset = *Indexes[ByOffset];
    const int32_t n = byOffset.Count;
    const int64_t reach = std::min<int64_t>(fileSize, int64_t(Block(byOffset.RecNoAt(n - 1)).Offset) - 1);
    int64_t first = -1;
    const int64_t holes = File->HoleBytes(HeaderSize, reach, first);
    if (holes <= MaxHoleBytes) return;
    for (int32_t p = 0; p + 1 < n; ++p) {
        const TFlatFileBlock b = Block(byOffset.RecNoAt(p));
        if (first < b.Offset || first >= int64_t(b.Offset) + b.Size + b.Gap) continue;
        ThrowFormat(File->Name(), first, "block data",
                    "block " + Str(b.Handle) + " (offset " + Str(b.Offset) + ", size " + Str(b.Size) + ", gap " +
                        Str(b.Gap) + ") states more bytes than the file holds: " + Str(holes) +
                        " bytes of the blocks are a hole in the file");
    }
    ThrowFormat(File->Name(), first, "block data", Str(holes) + " bytes of the blocks are a hole in the file");
}

bool TFlatFile::CheckMap() const
{
    const TIndex& byOffset = *Indexes[ByOffset];
    int32_t n = byOffset.Count;
    if (n == 0 || Block(byOffset.RecNoAt(0)).Offset != HeaderSize) return false;
    for (int32_t p = 0; p < n; ++p) {
        TFlatFileBlock b = Block(byOffset.RecNoAt(p));
        bool bad = b.Gap < 0;
        if (p + 1 < n) {
            TFlatFileBlock next = Block(byOffset.RecNoAt(p + 1));
            bad = bad || b.Size < 1 || int64_t(b.Offset) + b.Size + b.Gap != next.Offset;
        }
        if (bad) throw ETarnError("Error occured when flat file map checking.");
    }
    return true;
}

TFlatFileBlock TFlatFile::Block(int32_t recNo) const
{
    if (recNo < 0 || recNo >= Count) throw EObjList("Index out of range");
    const uint8_t* p = ItemPtr(recNo);
    return {GetI32(p + HandleField), GetI32(p + OffsetField), GetI32(p + SizeField), GetI32(p + GapField)};
}

void TFlatFile::PutBlock(int32_t recNo, const TFlatFileBlock& b) { UpdateRecord(recNo, TBlockRecord(b).Bytes); }

void TFlatFile::FailMap(const std::string& message) const { throw ETarnError(File->Name() + ": " + message); }

void TFlatFile::CheckWritable(const char* operation) const
{
    if (OpenMode == TOpenMode::Read) FailMap(std::string("opened for reading: cannot ") + operation);
    if (Broken) FailMap(std::string("an earlier write failed halfway: cannot ") + operation);
}

void TFlatFile::CheckUserHandle(int32_t handle) const
{
    if (handle == FirstHandle || handle == TailHandle || handle == MapHandle)
        throw EInvalidObjectHandle(File->Name() + ", handle " + Str(handle) + ": reserved for the block file itself");
}

bool TFlatFile::ObjectExists(int32_t handle) const
{
    int32_t recNo;
    return FindRecord(ByHandle, handle, recNo);
}

int32_t TFlatFile::RecordOf(int32_t handle) const
{
    int32_t recNo;
    if (!FindRecord(ByHandle, handle, recNo))
        throw EInvalidObjectHandle(File->Name() + ", handle " + Str(handle) + ": Invalid Object Handle.");
    return recNo;
}

int32_t TFlatFile::NewObject(int32_t handle)
{
    CheckWritable("create a block");
    int32_t h = handle;
    if (h == 0 || ObjectExists(h)) {
        const TIndex& byHandle = *Indexes[ByHandle];
        int32_t largest = GetI32(byHandle.KeyOf(byHandle.ItemPtr(byHandle.Count - 1)));
        if (largest == std::numeric_limits<int32_t>::max()) FailMap("no block handles left");
        h = std::max(10, largest + 1);
    }
    int32_t t = RecordOf(TailHandle);
    TFlatFileBlock tail = Block(t);
    if (tail.Offset == std::numeric_limits<int32_t>::max())
        throw EWriteError(File->Name() + ": the block file cannot grow beyond 2 GiB");
    AppendRecord(TBlockRecord({h, tail.Offset, 1, 0}).Bytes);
    tail.Offset += 1;
    PutBlock(t, tail);
    return h;
}

int32_t TFlatFile::NewObject(int32_t handle, std::unique_ptr<TObjectStream>& stream)
{
    int32_t h = NewObject(handle);
    stream = std::make_unique<TObjectStream>(this, h);
    return h;
}

std::unique_ptr<TObjectStream> TFlatFile::OpenObject(int32_t handle, bool rewrite)
{
    CheckUserHandle(handle);
    if (ObjectExists(handle)) {
        if (!rewrite) return std::make_unique<TObjectStream>(this, handle, ReadObject(handle));
        CheckWritable("rewrite a block");
        return std::make_unique<TObjectStream>(this, handle);
    }
    if (!rewrite) RecordOf(handle); // raises "Invalid Object Handle."
    std::unique_ptr<TObjectStream> stream;
    if (NewObject(handle, stream) != handle)
        throw ETarnError("Cannot create object with given handle. Internal error.");
    return stream;
}

std::string TFlatFile::ReadObject(int32_t handle)
{
    CheckUserHandle(handle);
    TFlatFileBlock b = BlockOf(handle);
    if (b.Size <= 1) return std::string();
    try {
        File->Seek(b.Offset);
        return File->readBytes(static_cast<std::size_t>(b.Size - 1), "block data");
    } catch (ETarnError& e) {
        e.AddContext("block " + Str(handle));
        throw;
    }
}

// The fit for a block of newLength bytes, checked before anything changes.
void TFlatFile::CheckResize(int32_t handle, int32_t newLength) const
{
    if (newLength < 0 || newLength > MaxBlockLength)
        throw EWriteError(File->Name() + ": a block of " + Str(newLength) + " bytes cannot be stored");
    int32_t b = RecordOf(handle);
    int32_t f;
    FindRecord(ByGap, newLength + 1, f);
    if (f < 0) FailMap("the block map has no tail");
    TFlatFileBlock fit = Block(f);
    if (f != b && int64_t(fit.Offset) + fit.Size + newLength + 1 > std::numeric_limits<int32_t>::max())
        throw EWriteError(File->Name() + ": the block file cannot grow beyond 2 GiB");
}

void TFlatFile::ResizeBlock(int32_t handle, int32_t newLength)
{
    CheckWritable("resize a block");
    if (handle == FirstHandle || handle == TailHandle) CheckUserHandle(handle);
    CheckResize(handle, newLength);
    try {
        DoResizeBlock(handle, newLength);
    } catch (...) {
        Broken = true;
        throw;
    }
}

void TFlatFile::DoResizeBlock(int32_t handle, int32_t newLength)
{
    auto fit32 = [&](int64_t v) {
        if (v < 0 || v > std::numeric_limits<int32_t>::max()) FailMap("block offset or gap out of range");
        return static_cast<int32_t>(v);
    };
    int32_t need = newLength + 1;
    int32_t b = RecordOf(handle);
    TFlatFileBlock B = Block(b);
    int32_t f;
    FindRecord(ByGap, need, f);
    int32_t position = PositionOf(*Indexes[ByOffset], b, B.Offset);
    if (position == 0) FailMap("the first block cannot be resized");
    int32_t p = Indexes[ByOffset]->RecNoAt(position - 1);
    TFlatFileBlock P = Block(p);
    int64_t room = int64_t(B.Size) + B.Gap;
    if (f != b) {
        // The block's old place joins the gap before it; it moves after the fit.
        P.Gap = fit32(P.Gap + room);
        PutBlock(p, P);
        TFlatFileBlock F = Block(f); // may be P
        B.Size = need;
        B.Offset = fit32(int64_t(F.Offset) + F.Size);
        if (F.Handle == TailHandle) {
            B.Gap = 0;
            F.Offset = fit32(int64_t(F.Offset) + need);
        } else {
            B.Gap = F.Gap - need;
            F.Gap = 0;
        }
        PutBlock(f, F);
        MarkBlock(P.Handle, false);
        MarkBlock(F.Handle, false);
    } else {
        // Its own gap is the best fit: the block moves to the end of its room.
        P.Gap = fit32(P.Gap + room - need);
        PutBlock(p, P);
        B.Offset = fit32(int64_t(P.Offset) + P.Size + P.Gap);
        B.Gap = 0;
        B.Size = need;
        MarkBlock(P.Handle, false);
    }
    PutBlock(b, B);
    MarkBlock(B.Handle, true);
}

void TFlatFile::WriteObject(int32_t handle, const void* buffer, int32_t count)
{
    CheckWritable("write a block");
    CheckUserHandle(handle);
    CheckResize(handle, count);
    try {
        DoResizeBlock(handle, count);
        if (!CheckMap()) FailMap("the first block is not at offset 256: nothing written");
        if (count > 0 && buffer) {
            File->Seek(BlockOf(handle).Offset);
            File->Write(buffer, static_cast<std::size_t>(count));
            Dirty = true;
        }
        MarkBlock(handle, true);
    } catch (...) {
        Broken = true;
        throw;
    }
}

void TFlatFile::MarkBlock(int32_t handle, bool dataWrite)
{
    if (dataWrite && SaveDue) {
        SaveMap();
        return;
    }
    uint8_t key[4];
    PutI32(key, handle);
    int32_t at;
    if (!ChangedHandles->Search(key, at)) {
        ChangedHandles->InsertAt(at, key);
        return;
    }
    if (dataWrite)
        SaveMap();
    else
        SaveDue = true;
}

void TFlatFile::SaveMap()
{
    if (InSave) return;
    SaveDue = false;
    if (ChangedHandles->Count == 0) return;
    CheckWritable("write its block map");
    struct TInSave {
        bool& Flag;
        explicit TInSave(bool& f) : Flag(f) { Flag = true; }
        ~TInSave() { Flag = false; }
    } inSave(InSave);
    auto checked = [&] {
        try {
            if (!CheckMap()) FailMap("the first block is not at offset 256");
        } catch (ETarnError& e) {
            Broken = true;
            e.AddContext("block map not written");
            throw;
        }
    };
    checked();
    TMemoryStream map;
    Store(map);
    int64_t rounded = (map.Size() + 1023) / 1024 * 1024;
    if (rounded > MaxBlockLength) throw EWriteError(File->Name() + ": the block map is too large");
    CheckResize(MapHandle, static_cast<int32_t>(rounded));
    try {
        DoResizeBlock(MapHandle, static_cast<int32_t>(rounded));
        map.Clear();
        Store(map); // again: the move changed the map
        checked();
        TFlatFileBlock b = BlockOf(MapHandle);
        if (map.Size() > int64_t(b.Size) - 1) FailMap("Internal error");
        File->Seek(b.Offset);
        File->Write(map.Bytes().data(), map.Bytes().size());
        std::memcpy(Header, "FM00", 4);
        PutI32(Header + 4, b.Offset);
        File->Seek(0);
        File->Write(Header, HeaderSize);
        Dirty = true;
        ChangedHandles->Clear();
    } catch (...) {
        Broken = true;
        throw;
    }
}

void TFlatFile::CommitMap()
{
    CheckWritable("commit");
    SaveMap();
    try {
        if (!CheckMap()) FailMap("the first block is not at offset 256: nothing written");
    } catch (...) {
        Broken = true;
        throw;
    }
    if (auto* fs = dynamic_cast<TFileStream*>(File.get())) fs->Flush();
}

void TFlatFile::Commit()
{
    if (OpenMode == TOpenMode::Read) return;
    CommitMap();
    if (!CommitPath.empty() && Dirty) {
        static_cast<TMemoryStream&>(*File).SaveToFile(CommitPath);
        Dirty = false;
    }
}

void TFlatFile::Commit(TSafeFileBatch& batch)
{
    if (OpenMode == TOpenMode::Read) return;
    CommitMap();
    if (!CommitPath.empty() && Dirty) {
        batch.Add(CommitPath, static_cast<TMemoryStream&>(*File).Bytes());
        Dirty = false;
    }
}

// ---------------------------------------------------------------- TObjectStream

TObjectStream::TObjectStream(TFlatFile* flatFile, int32_t handle, std::string bytes)
    : TMemoryStream(std::move(bytes)), FlatFile(flatFile), Handle(handle)
{
    if (FlatFile) {
        SetName(FlatFile->Stream().Name() + ", block " + Str(handle));
        FlatFile->OpenStreams.insert(this);
    }
}

TObjectStream::~TObjectStream()
{
    if (Modified) {
        try {
            Commit();
        } catch (...) {
            // Destructors only try; Commit reports.
        }
    }
    if (FlatFile) FlatFile->OpenStreams.erase(this);
}

void TObjectStream::Write(const void* buffer, std::size_t n)
{
    TMemoryStream::Write(buffer, n);
    Modified = true;
}

void TObjectStream::Commit()
{
    if (!Modified) return;
    if (!FlatFile) throw ETarnError(Name() + ": its block file is closed");
    if (Size() > MaxBlockLength) throw EWriteError(Name() + ": " + Str(Size()) + " bytes do not fit one block");
    FlatFile->WriteObject(Handle, Bytes().data(), static_cast<int32_t>(Size()));
    Modified = false;
}

} // namespace tarn
