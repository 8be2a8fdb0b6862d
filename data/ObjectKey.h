#pragma once
// The key naming one object of a model: five signed 32-bit integers, stored
// as 20 little-endian bytes wherever it appears (compound objects, the object
// database), and decoded field by field.
#include "Streams.h"

#include <cstddef>
#include <cstdint>

namespace tarn {

struct TObjectKey {
    int32_t Force = 0;   // nonzero: look the layer up even when its sheet is not loaded
    int32_t ModelNo = 0;
    int32_t LayerID = 0;
    int32_t SheetID = 0;
    int32_t Code = 0;
    friend bool operator==(const TObjectKey&, const TObjectKey&) = default;
};

constexpr std::size_t ObjectKeySize = 20;

inline TObjectKey DecodeObjectKey(const uint8_t* bytes)
{
    auto at = [bytes](int i) {
        const uint8_t* b = bytes + 4 * i;
        return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                    (uint32_t(b[3]) << 24));
    };
    return {at(0), at(1), at(2), at(3), at(4)};
}

inline void EncodeObjectKey(const TObjectKey& key, uint8_t* bytes)
{
    const int32_t fields[5] = {key.Force, key.ModelNo, key.LayerID, key.SheetID, key.Code};
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 4; ++k)
            bytes[4 * i + k] = static_cast<uint8_t>(static_cast<uint32_t>(fields[i]) >> (8 * k));
}

inline TObjectKey ReadObjectKey(TStream& stream, const char* field = "object key")
{
    uint8_t b[ObjectKeySize];
    stream.ReadBuffer(b, sizeof b, field);
    return DecodeObjectKey(b);
}

inline void WriteObjectKey(TStream& stream, const TObjectKey& key)
{
    uint8_t b[ObjectKeySize];
    EncodeObjectKey(key, b);
    stream.Write(b, sizeof b);
}

} // namespace tarn
