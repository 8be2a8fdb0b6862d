#pragma once
// The flat block file ("FM00"): one file holding many byte blocks, each
// addressed by a 32-bit handle, so that one block can be rewritten without
// rewriting the rest. The block map lives in the file itself (handle 3); its
// three indexes (by handle, by offset, by free gap) let a grown block move to
// the smallest gap that holds it.
//
// A file is validated when opened: the header, the map's offset, every block
// record (inside the file, chained without overlap, its bytes held by the
// disk rather than a hole), every index entry. A
// damaged or foreign file is refused with EFormatError, and a map that fails
// its check is never written back.
#include "UArrays.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tarn {

class TSafeFileBatch;

class EInvalidObjectHandle : public ETarnError {
public:
    using ETarnError::ETarnError;
};

class TIndexedArray;

// Record numbers of an indexed array in ascending order of the signed 32-bit
// field at FieldOffset of each record.
class TIndex : public TIntSortArray {
public:
    TIndex(TIndexedArray* owner, int32_t fieldOffset);
    // Stream form: the entries as an array, then FieldOffset.
    TIndex(TStream& stream, TIndexedArray* owner);
    void Store(TStream& stream) const override;
    const void* KeyOf(const void* entry) const override;

    int32_t RecNoAt(int32_t position) const;

    TIndexedArray* OwnerArray = nullptr; // not owned
    int32_t FieldOffset = 0;
};

// Fixed-size records with secondary indexes on 32-bit fields.
class TIndexedArray : public TOpenArray {
public:
    TIndexedArray(TAbstractItem* owner, const std::vector<int32_t>& fieldOffsets, int32_t itemSize);
    // Stream form: the records, the index count, each index as its class
    // name (a short string, "TIndex") and its own form, then the free list.
    TIndexedArray(TStream& stream, TAbstractItem* owner);
    ~TIndexedArray() override;
    void Store(TStream& stream) const override;

    void GetRecord(int32_t recNo, void* buffer) const;
    // Reuses a free record or appends one; enters it in every index.
    int32_t AppendRecord(const void* record);
    // Overwrites a record, moving its entries in the indexes whose key changed.
    void UpdateRecord(int32_t recNo, const void* record);
    // Lower-bound search for key in an index: RecNo is the record at the
    // position found (-1 when the key is above every entry); true when the
    // key was found exactly.
    bool FindRecord(int32_t indexNo, int32_t key, int32_t& recNo) const;
    int32_t RecordAt(int32_t indexNo, int32_t position) const;

    int32_t IndexCount() const { return static_cast<int32_t>(Indexes.size()); }

    std::vector<std::unique_ptr<TIndex>> Indexes;
    std::unique_ptr<TIntSortArray> FreeRecords;

protected:
    // Replaces the whole array with its stream form read from stream.
    void ReadIndexedForm(TStream& stream);
    // Where recNo stands in the index, among the entries with its key.
    int32_t PositionOf(const TIndex& index, int32_t recNo, int32_t key) const;

private:
    void ReadIndexes(TStream& stream);
    // Every live record once in every index, in key order; free records in range.
    void CheckIndexes(const TStream& stream) const;
};

// One record of the block map, 16 bytes in the file.
struct TFlatFileBlock {
    int32_t Handle = 0;
    int32_t Offset = 0;
    int32_t Size = 0; // data length + 1
    int32_t Gap = 0;  // free bytes after the block
};

class TObjectStream;

class TFlatFile : public TIndexedArray {
public:
    enum class TOpenMode { Read, ReadWrite };

    static constexpr int32_t FirstHandle = 1;
    static constexpr int32_t TailHandle = 2;
    static constexpr int32_t MapHandle = 3;
    static constexpr int32_t HeaderSize = 256;
    static constexpr int32_t TailGap = 2147483647;
    // How far past the end of the file the blocks may reach when opened.
    static constexpr int64_t MaxSlackPastEnd = int64_t(64) << 10;
    // How many bytes of the blocks and their gaps may be holes in the file
    // (never written, so held by no disk): a save would copy them all.
    static constexpr int64_t MaxHoleBytes = int64_t(1) << 20;

    // Takes the stream. Read refuses a non-empty stream that is not a block
    // file; ReadWrite treats such a stream as new (its header bytes kept).
    // Damaged block files are refused in both modes.
    TFlatFile(std::unique_ptr<TStream> stream, TOpenMode mode);
    // A stream-backed file tries to write its map (errors are dropped); a
    // file from OpenForWriting writes nothing: only Commit does.
    ~TFlatFile() override;

    // Reads in place; nothing can be written.
    static std::unique_ptr<TFlatFile> OpenForReading(const std::string& path);
    // Works on a copy in memory (an empty one when the file is missing);
    // Commit replaces the file through a temporary file.
    static std::unique_ptr<TFlatFile> OpenForWriting(const std::string& path);

    bool ObjectExists(int32_t handle) const;
    // The block's data, or an empty stream to rewrite it (created when missing).
    std::unique_ptr<TObjectStream> OpenObject(int32_t handle, bool rewrite);
    // A new empty block: Handle when it is free and not 0, else
    // max(10, largest handle + 1). Returns the handle.
    int32_t NewObject(int32_t handle);
    int32_t NewObject(int32_t handle, std::unique_ptr<TObjectStream>& stream);
    // Replaces the block's data (moving the block) and writes the map.
    void WriteObject(int32_t handle, const void* buffer, int32_t count);
    // The block's data.
    std::string ReadObject(int32_t handle);
    int32_t RecordOf(int32_t handle) const;

    TFlatFileBlock Block(int32_t recNo) const;
    TFlatFileBlock BlockOf(int32_t handle) const { return Block(RecordOf(handle)); }
    void PutBlock(int32_t recNo, const TFlatFileBlock& block);

    void ResizeBlock(int32_t handle, int32_t newLength);
    void MarkBlock(int32_t handle, bool dataWrite);
    // Writes the block map into block 3 and the header, when blocks changed.
    void SaveMap();
    // True when the blocks chain from offset 256 without gaps or overlaps;
    // false when the first block is not at 256; throws on a broken chain.
    bool CheckMap() const;
    // Writes the map and, for OpenForWriting, replaces the file. Reports failures.
    void Commit();
    // The same, the file replaced as one of a batch of files replaced together.
    void Commit(TSafeFileBatch& batch);

    TStream& Stream() { return *File; }
    TOpenMode Mode() const { return OpenMode; }

    uint8_t Header[HeaderSize] = {};

private:
    friend class TObjectStream;

    void CommitMap();
    void NewMap();
    void LoadMap(int64_t fileSize);
    void CheckLoadedMap(int64_t fileSize, int32_t mapOffset, int64_t mapEnd) const;
    void CheckHoles(int64_t fileSize) const;
    void CheckWritable(const char* operation) const;
    void CheckUserHandle(int32_t handle) const;
    void CheckResize(int32_t handle, int32_t newLength) const;
    void DoResizeBlock(int32_t handle, int32_t newLength);
    [[noreturn]] void FailMap(const std::string& message) const;

    std::unique_ptr<TStream> File;
    std::unique_ptr<TIntSortArray> ChangedHandles;
    bool SaveDue = false;
    bool InSave = false;
    bool Broken = false; // an operation failed halfway: nothing more is written
    bool Dirty = false;  // written since opened or last committed
    TOpenMode OpenMode;
    std::string CommitPath; // set by OpenForWriting
    std::set<TObjectStream*> OpenStreams;
};

// One block's data in memory. Commit writes it back when it was written to;
// the destructor only tries.
class TObjectStream : public TMemoryStream {
public:
    TObjectStream(TFlatFile* flatFile, int32_t handle, std::string bytes = std::string());
    ~TObjectStream() override;

    void Write(const void* buffer, std::size_t n) override;
    void Commit();

    TFlatFile* FlatFile; // not owned; cleared when the flat file goes first
    int32_t Handle;
    bool Modified = false;
};

} // namespace tarn
