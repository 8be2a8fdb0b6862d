#pragma once
// Object database files written by hand, field by field in the stored
// layout, and a load that keeps what was handed on before an error.
#include "../data/TestSupport.h"
#include "db/TarnData.h"
#include "platform/Cp1251.h"

#include <string>
#include <vector>

namespace tarn::test {

// Appends stored fields: little-endian integers, zero-terminated strings
// (given in UTF-8, stored in code page 1251).
struct TDbBytes {
    std::string B;
    TDbBytes& I32(int32_t v)
    {
        B += tarn::test::I32(v);
        return *this;
    }
    TDbBytes& U8(int v)
    {
        B += char(v);
        return *this;
    }
    TDbBytes& Str(const std::string& utf8)
    {
        B += Utf8ToCp1251(utf8);
        B += '\0';
        return *this;
    }
    TDbBytes& Raw(const std::string& bytes)
    {
        B += bytes;
        return *this;
    }
    TDbBytes& Key(int32_t force, int32_t model, int32_t layer, int32_t sheet, int32_t code)
    {
        return I32(force).I32(model).I32(layer).I32(sheet).I32(code);
    }
    std::size_t Size() const { return B.size(); }
};

// One group/level entry: id, name, level.
inline TDbBytes& Group(TDbBytes& b, int32_t id, const std::string& name, int32_t level)
{
    return b.I32(id).Str(name).I32(level);
}

// The fields of a record in their stored order.
struct TRecordFields {
    std::string Name = "ИМЯ";
    int32_t Group = 0;
    int32_t SubGroup = 0;
    int Deleted = 0;
    int Archive = 0;
    std::string Text;
    std::string Type = "???";
    int Extra = 0;
    std::string Text2;
    TObjectKey Key{0, 1, 134, 24, 1};
    int32_t Offset = 0;
    int32_t Size = 0;
    int Present = 0;
    std::string Data;  // appended after the record as given
};

inline TDbBytes& Record(TDbBytes& b, const TRecordFields& r)
{
    b.Str(r.Name).I32(r.Group).I32(r.SubGroup).U8(r.Deleted).U8(r.Archive).Str(r.Text).Str(r.Type).U8(r.Extra);
    b.Str(r.Text2).Key(r.Key.Force, r.Key.ModelNo, r.Key.LayerID, r.Key.SheetID, r.Key.Code);
    return b.I32(r.Offset).I32(r.Size).U8(r.Present).Raw(r.Data);
}

// A card whose data follows it; its offset is where the data lands.
inline TDbBytes& CardRecord(TDbBytes& b, TRecordFields r)
{
    r.Size = int32_t(r.Data.size());
    r.Present = 1;
    r.Offset = int32_t(b.Size() + Utf8ToCp1251(r.Name).size() + 1 + 4 + 4 + 1 + 1 + Utf8ToCp1251(r.Text).size() +
                       1 + r.Type.size() + 1 + 1 + Utf8ToCp1251(r.Text2).size() + 1 + 20 + 4 + 4 + 1);
    return Record(b, r);
}

// What a load handed on, and the message that ended it (empty: none).
struct TLoaded {
    std::vector<TLoadedRecord> Records;
    std::vector<int32_t> Gauge;
    std::string Error;
};

inline TLoaded LoadFolder(const std::string& dir)
{
    TLoaded out;
    TTarnDatabase db(nullptr, nullptr);
    db.OnRecord = [&out](const TLoadedRecord& r) { out.Records.push_back(r); };
    db.OnGauge = [&out](int32_t g) { out.Gauge.push_back(g); };
    try {
        db.Load(dir);
    } catch (const ETarnError& e) {
        out.Error = e.what();
    }
    return out;
}

inline std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

} // namespace tarn::test
