#pragma once
// The filer: the reader and writer of the ".prj" and ".map" forms. Besides raw
// bytes they carry tagged integers (a tag byte 2, 3 or 4, then 1, 2 or 4
// little-endian bytes) and length-prefixed strings.
#include "Streams.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

class TReader {
public:
    explicit TReader(TStream& stream) : S(stream) {}

    TStream& Stream() { return S; }
    TFileContext& Context() { return S.Context(); }
    int64_t Position() const { return S.Position(); }
    int64_t Remaining() const { return S.Remaining(); }
    void Require(uint64_t n, const char* field = nullptr) const { S.Require(n, field); }
    [[noreturn]] void Fail(const char* field, const std::string& message) const { S.Fail(field, message); }

    void Read(void* buffer, std::size_t n, const char* field = nullptr) { S.ReadBuffer(buffer, n, field); }
    // Tagged integer: any of the tags 2, 3, 4 whatever the value.
    int32_t ReadInteger(const char* field = nullptr);
    uint8_t ReadU8(const char* field = nullptr) { return S.readU8(field); }
    int16_t ReadI16LE(const char* field = nullptr) { return S.readI16LE(field); }
    uint16_t ReadU16LE(const char* field = nullptr) { return S.readU16LE(field); }
    int32_t ReadI32LE(const char* field = nullptr) { return S.readI32LE(field); }
    uint32_t ReadU32LE(const char* field = nullptr) { return S.readU32LE(field); }
    double ReadF64LE(const char* field = nullptr) { return S.readF64LE(field); }
    std::string ReadBytes(std::size_t n, const char* field = nullptr) { return S.readBytes(n, field); }

private:
    TStream& S;
};

class TWriter {
public:
    explicit TWriter(TStream& stream) : S(stream) {}

    TStream& Stream() { return S; }
    TFileContext& Context() { return S.Context(); }
    int64_t Position() const { return S.Position(); }

    void Write(const void* buffer, std::size_t n) { S.Write(buffer, n); }
    // The shortest tag: 2 for -128..127, 3 for -32768..32767, else 4.
    void WriteInteger(int32_t value);
    void WriteU8(uint8_t v) { S.writeU8(v); }
    void WriteI16LE(int16_t v) { S.writeI16LE(v); }
    void WriteU16LE(uint16_t v) { S.writeU16LE(v); }
    void WriteI32LE(int32_t v) { S.writeI32LE(v); }
    void WriteU32LE(uint32_t v) { S.writeU32LE(v); }
    void WriteF64LE(double v) { S.writeF64LE(v); }
    void WriteBytes(std::string_view b) { S.writeBytes(b); }

private:
    TStream& S;
};

// Length-prefixed strings: u16 length, then the bytes (code page 1251), no
// terminator. An empty string and no string are both written as length 0.
// Strings of more than 65535 bytes are refused with EWriteError.
std::string ReadPStr(TReader& reader, const char* field = nullptr);
void WritePStr(TWriter& writer, std::string_view text);
std::string ReadPStrStream(TStream& stream, const char* field = nullptr);
void WritePStrStream(TStream& stream, std::string_view text);
// Throws EWriteError when text cannot be stored as a length-prefixed string.
void CheckPStr(std::string_view text, const char* field = nullptr);

} // namespace tarn
