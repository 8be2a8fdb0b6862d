// The object database reader: the input as "tarn.dat" of a program folder
// and as "banners.dat". What the loader hands on must keep its promises
// (no zero keys or deleted records; a card's data is read whole when it
// lies in the file and refused when it does not), and both readers must
// agree on the records.
#include "FuzzEntries.h"

#include "db/TarnData.h"

#include <filesystem>
#include <fstream>

namespace tarn::fuzz {

namespace {

[[noreturn]] void Broken(const std::string& what) { throw EFuzzCheck("tarndat: " + what); }

void CheckRecord(const TTarnData& d, int64_t fileSize)
{
    if (d.HasZeroKey()) Broken("a record of no object was handed on");
    if (d.Deleted) Broken("a deleted record was handed on");
    if (d.Key.LayerID == PlacesLayerID && d.Key.SheetID != PlacesSheetID) Broken("a place kept another sheet");
    if (d.FileType.size() > 3) Broken("a type of more than 3 characters");
    const int64_t strings = int64_t(d.Name.size() + d.Text.size() + d.Text2.size());
    if (strings > fileSize) Broken("strings longer than the file");
}

void CheckData(TStream& source, int32_t offset, int32_t size, int64_t fileSize)
{
    const bool inside = offset >= 0 && int64_t(offset) + size <= fileSize;
    try {
        if (ReadDataBytes(source, offset, size).size() != std::size_t(size)) Broken("data read short");
        if (!inside) Broken("data outside the file was read");
    } catch (const EFormatError&) {
        if (inside) Broken("data inside the file was refused");
    }
}

} // namespace

TFuzzResult FuzzTarnDat(const uint8_t* data, std::size_t size)
{
    const std::string dir = FuzzFolder() + "/tarndat";
    std::filesystem::create_directories(dir);
    for (const char* name : {"/tarn.dat", "/banners.dat"}) {
        std::ofstream f(dir + name, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        if (!f) Broken("cannot write the input");
    }
    const int64_t fileSize = int64_t(size);
    std::size_t handed = 0;
    bool refused = false;
    try {
        TTarnDatabase db(nullptr, nullptr);
        int32_t last = 0;
        db.OnGauge = [&last](int32_t g) {
            if (g < 50 || g > 99 || g <= last) Broken("gauge " + std::to_string(g) + " after " + std::to_string(last));
            last = g;
        };
        db.OnRecord = [&](const TLoadedRecord& r) {
            ++handed;
            CheckRecord(r.Record, fileSize);
            if (r.Kind == CardItemKind) {
                if (r.Card.DataSize < 1 || r.Record.HasNoData()) Broken("a card without data");
                if (r.Card.MainFile.size() > 100) Broken("a main file name of more than 100 characters");
                CheckData(*r.Card.Source, r.Card.DataOffset, r.Card.DataSize, fileSize);
            } else if (r.Kind != ObjectItemKind) {
                Broken("a record of kind " + std::to_string(r.Kind));
            }
        };
        db.Load(dir);
    } catch (const ETarnError&) {
        refused = true;
    }

    TBannerList banners;
    bool bannersRefused = false;
    try {
        LoadBannerFile(dir + "/banners.dat", banners);
    } catch (const ETarnError&) {
        bannersRefused = true;
    }
    for (const TTarnData& d : banners.Records) {
        CheckRecord(d, fileSize);
        if (!d.HasNoData() && d.DataSize >= 1) CheckData(*banners.Stream, d.DataOffset, d.DataSize, fileSize);
    }
    if (refused != bannersRefused || handed != banners.Records.size())
        Broken("the loader and the banner reader disagree (" + std::to_string(handed) + " and " +
               std::to_string(banners.Records.size()) + " records)");
    return refused ? TFuzzResult::Refused : TFuzzResult::Accepted;
}

} // namespace tarn::fuzz
