#include "ObjKey.h"

#include <algorithm>
#include <cstring>

namespace tarn {

void MakeObjectKey(int32_t modelNo, int32_t sheetID, int32_t layerID, int32_t code, TObjectKey& key)
{
    key.ModelNo = modelNo;
    key.SheetID = sheetID;
    key.LayerID = layerID;
    key.Code = code;
}

TObjectKey NewObjectKey(int32_t modelNo, int32_t sheetID, int32_t layerID, int32_t code)
{
    TObjectKey key;
    key.Force = 1;
    MakeObjectKey(modelNo, sheetID, layerID, code, key);
    return key;
}

void MakeFieldQuery(std::string_view name, int32_t layerID, TLayerSelector& selector)
{
    std::size_t n = std::min(name.size(), LayerNameMax);
    std::memset(selector.Name, 0, sizeof selector.Name);
    std::memcpy(selector.Name, name.data(), n);
    selector.LayerID = layerID;
}

std::string_view SelectorName(const TLayerSelector& selector)
{
    const char* end = static_cast<const char*>(std::memchr(selector.Name, 0, sizeof selector.Name));
    return std::string_view(selector.Name, end ? std::size_t(end - selector.Name) : sizeof selector.Name);
}

TObjectHeader DecodeObjectHeader(const uint8_t* b)
{
    TObjectHeader h;
    h.Compound = GetI32(b);
    h.X = GetI32(b + 4);
    h.Y = GetI32(b + 8);
    h.Flags = GetU16(b + 12);
    h.GeometrySize = GetU16(b + 14);
    h.TextSize = GetU16(b + 16);
    h.AttributeSize = GetU16(b + 18);
    return h;
}

void EncodeObjectHeader(const TObjectHeader& h, uint8_t* b)
{
    PutI32(b, h.Compound);
    PutI32(b + 4, h.X);
    PutI32(b + 8, h.Y);
    PutU16(b + 12, h.Flags);
    PutU16(b + 14, h.GeometrySize);
    PutU16(b + 16, h.TextSize);
    PutU16(b + 18, h.AttributeSize);
}

std::vector<uint8_t> EncodeKeyList(const TKeyList& keys)
{
    std::vector<uint8_t> out(4 + keys.size() * ObjectKeySize);
    PutI32(out.data(), static_cast<int32_t>(keys.size()));
    for (std::size_t i = 0; i < keys.size(); ++i) EncodeObjectKey(keys[i], out.data() + 4 + i * ObjectKeySize);
    return out;
}

bool DecodeKeyList(const uint8_t* bytes, std::size_t size, TKeyList& keys)
{
    if (!bytes || size < 4) return false;
    int32_t count = GetI32(bytes);
    if (count < 0 || uint64_t(count) * ObjectKeySize > size - 4) return false;
    keys.clear();
    keys.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) keys.push_back(DecodeObjectKey(bytes + 4 + std::size_t(i) * ObjectKeySize));
    return true;
}

} // namespace tarn
