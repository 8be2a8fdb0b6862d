#include "Filer.h"
#include "Errors.h"

namespace tarn {

int32_t TReader::ReadInteger(const char* field)
{
    int64_t at = S.Position();
    uint8_t tag = S.readU8(field);
    switch (tag) {
    case 2: return S.readI8(field);
    case 3: return S.readI16LE(field);
    case 4: return S.readI32LE(field);
    default:
        ThrowFormat(S.Name(), at, field, "invalid integer tag " + std::to_string(tag));
    }
}

void TWriter::WriteInteger(int32_t value)
{
    if (value >= -128 && value <= 127) {
        S.writeU8(2);
        S.writeI8(static_cast<int8_t>(value));
    } else if (value >= -32768 && value <= 32767) {
        S.writeU8(3);
        S.writeI16LE(static_cast<int16_t>(value));
    } else {
        S.writeU8(4);
        S.writeI32LE(value);
    }
}

void CheckPStr(std::string_view text, const char* field)
{
    if (text.size() > 65535)
        throw EWriteError(std::string(field ? field : "string") + ": " + std::to_string(text.size()) +
                          " bytes cannot be stored (at most 65535)");
}

std::string ReadPStrStream(TStream& stream, const char* field)
{
    uint16_t n = stream.readU16LE(field);
    return stream.readBytes(n, field);
}

void WritePStrStream(TStream& stream, std::string_view text)
{
    CheckPStr(text);
    stream.writeU16LE(static_cast<uint16_t>(text.size()));
    stream.writeBytes(text);
}

std::string ReadPStr(TReader& reader, const char* field) { return ReadPStrStream(reader.Stream(), field); }

void WritePStr(TWriter& writer, std::string_view text) { WritePStrStream(writer.Stream(), text); }

} // namespace tarn
