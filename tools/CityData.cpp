#include "CityData.h"

#include "CityBytes.h"

#include "data/Errors.h"
#include "platform/SafeFile.h"

#include <cstring>
#include <limits>

namespace tarn::city {

TDataFileWriter::TDataFileWriter(const std::vector<TDataGroup>& groups)
{
    PutI32(int32_t(groups.size()));
    for (const TDataGroup& g : groups) {
        PutI32(g.Id);
        PutString(g.Name);
        PutI32(g.Level);
    }
}

void TDataFileWriter::PutI32(int32_t v) { Put32(Out, uint32_t(v)); }

void TDataFileWriter::PutString(const std::string& s)
{
    if (s.find('\0') != std::string::npos) throw EWriteError("a string of the object database holds a zero byte");
    Out += s;
    Out += '\0';
}

void TDataFileWriter::Add(const TDataRecord& r)
{
    const bool follows = r.FileType != NoData && r.DataPresent;
    PutString(r.Name);
    PutI32(r.Group);
    PutI32(r.SubGroup);
    Out += char(r.Deleted ? 1 : 0);
    Out += char(r.Archive ? 1 : 0);
    PutString(r.Text);
    PutString(r.FileType);
    Out += char(r.ExtraListing ? 1 : 0);
    PutString(r.Text2);
    uint8_t key[ObjectKeySize];
    EncodeObjectKey(r.Key, key);
    Out.append(reinterpret_cast<const char*>(key), sizeof key);
    const std::size_t dataAt = Out.size() + 4 + 4 + 1;
    const std::size_t size = follows ? r.Data.size() : 0;
    if (dataAt + size > std::size_t(std::numeric_limits<int32_t>::max()))
        throw EWriteError("the object database would pass 2 GiB");
    PutI32(size > 0 ? int32_t(dataAt) : 0);
    PutI32(int32_t(size));
    Out += char(r.DataPresent ? 1 : 0);
    if (follows) Out += r.Data;
    ++Count;
}

void TDataFileWriter::Save(const std::string& path) const { WriteFileAtomically(path, Out); }

} // namespace tarn::city
