#pragma once
// Writes files of the object database format ("tarn.dat", "tarn.dNN",
// "banners.dat"): the group/level table, then the records, each followed by
// its data bytes. Used by mkcity, the tests' large fixtures and the
// benchmarks. Strings are taken as code page 1251 bytes.
#include "data/ObjectKey.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::city {

struct TDataGroup {
    int32_t Id = 0;
    std::string Name;
    int32_t Level = 0;  // 0 group, 1 subgroup
};

struct TDataRecord {
    std::string Name;
    int32_t Group = 0;
    int32_t SubGroup = 0;
    bool Deleted = false;
    bool Archive = false;
    std::string Text;       // an archive's file to show
    std::string FileType;   // "???" for none; the data's extension otherwise
    bool ExtraListing = false;
    std::string Text2;
    TObjectKey Key;
    // Written after the record when the type is not "???" and DataPresent
    // is set; the record's offset and size then point at it (else both 0).
    std::string Data;
    bool DataPresent = true;
};

// The type of a record without data.
constexpr const char* NoData = "???";

class TDataFileWriter {
public:
    explicit TDataFileWriter(const std::vector<TDataGroup>& groups);

    // Appends a record (and its data). Throws EWriteError for a string with
    // a zero byte or a file that would pass 2 GiB.
    void Add(const TDataRecord& record);

    int32_t Records() const { return Count; }
    const std::string& Bytes() const { return Out; }
    // Through a temporary file renamed into place.
    void Save(const std::string& path) const;

private:
    void PutI32(int32_t v);
    void PutString(const std::string& s);

    std::string Out;
    int32_t Count = 0;
};

} // namespace tarn::city
