#pragma once
// Byte streams. Every read is bounds-checked and throws EFormatError naming the
// stream, the offset and the field on overrun; multi-byte values are
// little-endian, as the function names say.
#include "FileContext.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class TStream {
public:
    TStream() = default;
    virtual ~TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to n bytes; returns how many were read.
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Writes all n bytes or throws.
    virtual void Write(const void* buffer, std::size_t n) = 0;
    virtual int64_t Position() const = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Size() const = 0;

    // How many bytes of [from, to) the file leaves as holes (space never
    // written, read as zeros though the disk holds nothing), and where the
    // first begins (-1 when none). Streams without holes answer 0.
    virtual int64_t HoleBytes(int64_t from, int64_t to, int64_t& firstHole)
    {
        (void)from;
        (void)to;
        firstHole = -1;
        return 0;
    }

    int64_t Remaining() const
    {
        int64_t r = Size() - Position();
        return r > 0 ? r : 0;
    }

    // Reads exactly n bytes or throws EFormatError ("unexpected end of data").
    void ReadBuffer(void* buffer, std::size_t n, const char* field = nullptr)
    {
        if (std::size_t(WinEnd - WinCur) >= n) {
            if (n) std::memcpy(buffer, WinCur, n);
            WinCur += n;
            return;
        }
        ReadBufferSlow(buffer, n, field);
    }
    // Throws EFormatError unless n bytes are left; used before allocating.
    void Require(uint64_t n, const char* field = nullptr) const;
    // Skips n bytes that must be present.
    void Skip(uint64_t n, const char* field = nullptr);

    uint8_t readU8(const char* field = nullptr)
    {
        uint8_t b[1];
        ReadBuffer(b, 1, field);
        return b[0];
    }
    int8_t readI8(const char* field = nullptr) { return static_cast<int8_t>(readU8(field)); }
    uint16_t readU16LE(const char* field = nullptr)
    {
        uint8_t b[2];
        ReadBuffer(b, 2, field);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    int16_t readI16LE(const char* field = nullptr) { return static_cast<int16_t>(readU16LE(field)); }
    uint32_t readU32LE(const char* field = nullptr)
    {
        uint8_t b[4];
        ReadBuffer(b, 4, field);
        return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    }
    int32_t readI32LE(const char* field = nullptr) { return static_cast<int32_t>(readU32LE(field)); }
    double readF64LE(const char* field = nullptr);
    std::string readBytes(std::size_t n, const char* field = nullptr);

    void writeU8(uint8_t v) { Write(&v, 1); }
    void writeI8(int8_t v) { writeU8(static_cast<uint8_t>(v)); }
    void writeU16LE(uint16_t v);
    void writeI16LE(int16_t v) { writeU16LE(static_cast<uint16_t>(v)); }
    void writeU32LE(uint32_t v);
    void writeI32LE(int32_t v) { writeU32LE(static_cast<uint32_t>(v)); }
    void writeF64LE(double v);
    void writeBytes(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

    // Name used in error messages (normally the file path).
    const std::string& Name() const { return StreamName; }
    void SetName(std::string name) { StreamName = std::move(name); }

    // The reading and writing state of the document this stream belongs to.
    TFileContext& Context() { return *Ctx; }
    void SetContext(TFileContext& ctx) { Ctx = &ctx; }

    [[noreturn]] void Fail(const char* field, const std::string& message) const;

protected:
    // The bytes at the position that reads take without a call (a memory
    // stream's data, a file reader's buffer); empty when there are none.
    // A stream with a window counts what reads took from it in Position().
    const char* WinCur = nullptr;
    const char* WinEnd = nullptr;

private:
    void ReadBufferSlow(void* buffer, std::size_t n, const char* field);

    std::string StreamName = "stream";
    TFileContext OwnContext;
    TFileContext* Ctx = &OwnContext;
};

// A growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() { Sync(0); }
    explicit TMemoryStream(std::string bytes) : Data(std::move(bytes)) { Sync(0); }
    TMemoryStream(const void* data, std::size_t n) : Data(static_cast<const char*>(data), n) { Sync(0); }

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    int64_t Position() const override { return static_cast<int64_t>(Cur()); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return static_cast<int64_t>(Data.size()); }

    const std::string& Bytes() const { return Data; }
    std::string TakeBytes()
    {
        std::string taken = std::move(Data);
        Data.clear();
        Sync(0);
        return taken;
    }
    void Clear()
    {
        Data.clear();
        Sync(0);
    }
    void SetSize(std::size_t n);
    // Reads the whole file; throws EFileError when it cannot be read.
    void LoadFromFile(const std::string& path);
    // Writes the whole content through a temporary file renamed into place.
    void SaveToFile(const std::string& path) const;

private:
    // The window covers the data from the position; a position past the
    // end (a seek there) leaves it empty and lives in Pos.
    std::size_t Cur() const { return WinCur ? static_cast<std::size_t>(WinCur - Data.data()) : Pos; }
    void Sync(std::size_t position)
    {
        Pos = position;
        if (position <= Data.size()) {
            WinCur = Data.data() + position;
            WinEnd = Data.data() + Data.size();
        } else {
            WinCur = WinEnd = nullptr;
        }
    }

    std::string Data;
    std::size_t Pos = 0;
};

// A stream over an open file.
class TFileStream : public TStream {
public:
    // Create makes a new empty file or truncates one; callers that must not
    // lose data write through TSafeFileWriter instead.
    enum class Mode { Read, ReadWrite, OpenOrCreate, Create };
    TFileStream(const std::string& path, Mode mode);
    ~TFileStream() override;

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    int64_t Position() const override;
    void Seek(int64_t position) override;
    int64_t Size() const override;
    int64_t HoleBytes(int64_t from, int64_t to, int64_t& firstHole) override;
    void Flush();

private:
    enum class LastOp { None, Read, Write };
    void Switch(LastOp op);
    std::FILE* F = nullptr;
    LastOp Last = LastOp::None;
    int64_t Pos = 0;
    int64_t CachedSize = 0;
};

// A file read through a buffer of its own and never held whole, so a large
// file whose content ends early costs no more memory than a small one.
// Only regular files open: a pipe or a device would block or never end.
class TFileReader : public TStream {
public:
    explicit TFileReader(const std::string& path, std::size_t bufferSize = std::size_t(1) << 18);
    ~TFileReader() override;

    std::size_t Read(void* buffer, std::size_t n) override;
    // Refused: the reader only reads.
    void Write(const void* buffer, std::size_t n) override;
    int64_t Position() const override { return BufStart + (WinCur - Buf.data()); }
    void Seek(int64_t position) override;
    int64_t Size() const override { return FileSize; }

private:
    int Fd = -1;
    std::vector<char> Buf;
    int64_t BufStart = 0;  // file offset of Buf[0]; the window holds what was read there
    int64_t FileSize = 0;
};

// Opens an existing file for reading and writing, or creates it empty when it
// does not exist. An existing file that cannot be opened is reported, never
// truncated or replaced.
TFileStream* OpenOrCreateFileStream(const std::string& name);

} // namespace tarn
