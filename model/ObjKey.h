#pragma once
// Naming objects and layers from outside the map engine: object keys, layer
// selectors, the object-access result codes and the byte layouts of the
// buffers exchanged with the model.
#include "data/ObjectKey.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarn {

// Results of the model's operations.
constexpr int32_t ResultDone = 0;
constexpr int32_t ResultNoLayer = -1;
constexpr int32_t ResultNoObject = -2;
constexpr int32_t ResultOutOfRange = -4;
constexpr int32_t ResultNoData = -5;  // no view, map, data or project; short buffer

// A list of keys handed between the model and its callers; the receiver owns it.
using TKeyList = std::vector<TObjectKey>;

// A layer named by identifier or, with LayerID -1, by name. 105 packed bytes.
#pragma pack(push, 1)
struct TLayerSelector {
    char Name[101] = {};  // zero-terminated, at most 100 characters
    int32_t LayerID = -1;
};
#pragma pack(pop)
static_assert(sizeof(TLayerSelector) == 105);

constexpr std::size_t LayerNameMax = 100;

// Sets ModelNo, LayerID, SheetID and Code (note the order: sheet before
// layer); Force stays as the caller had it.
void MakeObjectKey(int32_t modelNo, int32_t sheetID, int32_t layerID, int32_t code, TObjectKey& key);
// A key with every field set, Force 1: for objects made by the tools,
// whose sheet need not be loaded.
TObjectKey NewObjectKey(int32_t modelNo, int32_t sheetID, int32_t layerID, int32_t code);
// Copies at most 100 characters of name and a terminator, and the identifier.
void MakeFieldQuery(std::string_view name, int32_t layerID, TLayerSelector& selector);
std::string_view SelectorName(const TLayerSelector& selector);

// The object header of GetObjectData op 1 (20 bytes, little-endian):
// compound member flag, anchor X, Y, flags (16 bits), geometry, text and
// attribute sizes (16 bits each).
struct TObjectHeader {
    int32_t Compound = 0;
    int32_t X = 0;
    int32_t Y = 0;
    uint16_t Flags = 0;
    uint16_t GeometrySize = 0;
    uint16_t TextSize = 0;
    uint16_t AttributeSize = 0;
};
constexpr std::size_t ObjectHeaderSize = 20;
TObjectHeader DecodeObjectHeader(const uint8_t* bytes);
void EncodeObjectHeader(const TObjectHeader& header, uint8_t* bytes);

// The key list of compound-object operations 2 and 3: a 32-bit count, then
// that many 20-byte keys.
std::vector<uint8_t> EncodeKeyList(const TKeyList& keys);
// False when the buffer is shorter than its count says.
bool DecodeKeyList(const uint8_t* bytes, std::size_t size, TKeyList& keys);

// Little-endian helpers for the exchange buffers.
inline int32_t GetI32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                (uint32_t(p[3]) << 24));
}
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void PutI32(uint8_t* p, int32_t v)
{
    for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k));
}
inline void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

} // namespace tarn
