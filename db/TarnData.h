#pragma once
// The object database: "tarn.dat", its supplements "tarn.d01" to "tarn.d99"
// and the banner file "banners.dat", all in one format. A group/level table
// (count, then id, name, level), then object records to the end of the file:
// name, group, subgroup, deleted, archive, text, type, extra listing, second
// text, key, data offset, data size, data present, and the data bytes when
// the type is not "???" and data present is set. Strings are code page 1251,
// ended by one zero byte.
//
// The reader checks every field against the file and stops at the first bad
// one with an EFormatError naming the file, the offset and the field in
// Russian; the records before it have already been handed on. Data bytes
// are never read while loading: a card whose data lies outside its file is
// kept and fails only when it is opened. The files stay open for the
// program's life: cards read their data from them later.
#include "data/Errors.h"
#include "data/ObjectKey.h"
#include "data/Streams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace tarn {

class TModel;
class TView;

// Reads a data file through a window of its bytes, so that a record costs
// no call per byte; every read is checked against the end of the file.
// Data bytes past the window are skipped by seeking.
class TDataReader {
public:
    explicit TDataReader(TStream& stream);

    int64_t Position() const { return WindowStart + int64_t(At); }
    int64_t Size() const { return FileSize; }
    int64_t Remaining() const { return FileSize - Position(); }
    bool AtEnd() const { return Position() >= FileSize; }
    const std::string& Name() const { return Stream.Name(); }

    uint8_t readU8(const char* field);
    int32_t readI32LE(const char* field);
    TObjectKey readKey(const char* field);
    // A zero-terminated string; only its first `keep` bytes are kept, the
    // rest is read and dropped. Never longer than the bytes left.
    std::string readString(const char* field, std::size_t keep = std::string::npos);
    // Moves n bytes forward; they must lie in the file.
    void Skip(int64_t n, const char* field);

    [[noreturn]] void Fail(int64_t offset, const char* field, const std::string& message) const;

private:
    // Makes at least `need` bytes available at At, as far as the file goes;
    // answers how many are.
    std::size_t Fill(std::size_t need);

    TStream& Stream;
    int64_t FileSize = 0;
    std::vector<char> Window;
    int64_t WindowStart = 0;  // file position of Window[0]
    std::size_t At = 0;       // read position in Window
    std::size_t Held = 0;     // bytes of Window holding file data
};

// One entry of the group/level table.
struct TGroupLevelData {
    int32_t Id = 0;
    std::string Name;
    int32_t Level = 0;  // 0 group, 1 subgroup

    static TGroupLevelData CreateFromStream(TDataReader& reader);
};

using TGroupTable = std::vector<TGroupLevelData>;

// Replaces `table` by the file's group/level table; an empty file has none.
// Ids are meant to go up; an entry stored after a greater id is kept, and
// the look-up never reaches it.
void ReadGroupLevelTable(TDataReader& reader, TGroupTable& table);

// The name of the first entry with this id and level, scanning in table
// order and giving up at the first entry whose id is greater; empty when
// there is none.
std::string FindGroupLevelName(const TGroupTable& table, int32_t id, int32_t level);

// The same answers without the scan, for tables of any size: the first
// entry of each id and level that the scan reaches, sorted. The table must
// outlive the index and stay unchanged.
class TGroupIndex {
public:
    TGroupIndex() = default;
    explicit TGroupIndex(const TGroupTable& table);
    std::string Find(int32_t id, int32_t level) const;

private:
    struct TFirst {
        uint64_t IdLevel;
        uint32_t Entry;
    };
    const TGroupTable* Table = nullptr;
    std::vector<TFirst> Firsts;
};

// The type of a record without data.
constexpr const char* NoDataType = "???";

// One object record as stored.
struct TTarnData {
    std::string Name;
    int32_t Group = 0;
    int32_t SubGroup = 0;
    uint8_t Deleted = 0;
    uint8_t Archive = 0;
    std::string Text;
    std::string FileType;  // at most 3 characters
    uint8_t ExtraListing = 0;
    std::string Text2;
    TObjectKey Key;
    int32_t DataOffset = 0;
    int32_t DataSize = 0;
    uint8_t DataPresent = 0;

    // Reads the fields in file order (not the data bytes).
    static TTarnData CreateFromStream(TDataReader& reader);

    bool HasNoData() const { return FileType == NoDataType; }
    // The data bytes follow the record in the file.
    bool DataFollows() const { return !HasNoData() && DataPresent != 0; }
    // LayerID, SheetID and Code all 0: a record of no object.
    bool HasZeroKey() const { return Key.LayerID == 0 && Key.SheetID == 0 && Key.Code == 0; }
};

// Reads one record and moves past its data bytes. A negative size with
// data present and data past the end of the file are refused; the offset
// and size of a card are not looked at here.
TTarnData ReadTarnRecord(TDataReader& reader);

// The places' layer, whose records always name the places' sheet.
constexpr int32_t PlacesLayerID = 67;
constexpr int32_t PlacesSheetID = 24;

// The information-card descriptor: the record's data, read from the open
// file when the card is shown.
struct TCardRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    TObjectKey Key;
    std::string FileType;        // the data's extension, at most 3 characters
    std::shared_ptr<TStream> Source;
    int32_t DataOffset = 0;      // from the start of Source
    int32_t DataSize = 0;
    uint8_t Archive = 0;
    std::string ContainerType = "ZIP";
    std::string MainFile;        // the file to show from an archive, at most 100 characters
    std::string Name;            // the record's name, for messages about the card
};

// The key record: a map object without a card.
struct TObjectItemRec {
    TModel* Model = nullptr;
    TView* View = nullptr;
    TObjectKey Key;
};

// Payload kinds of the records the loader makes.
constexpr uint8_t ObjectItemKind = 1;
constexpr uint8_t CardItemKind = 6;

// What the loader hands on for each record that survives its first steps
// (zero keys and deleted records dropped, layer 67 moved to sheet 24).
struct TLoadedRecord {
    TTarnData Record;
    std::string GroupName;      // empty: the group id names no group of the file's table
    std::string SubGroupName;   // empty: likewise for the subgroup
    int32_t FileNumber = 0;     // 0 "tarn.dat", 1..99 "tarn.d01".."tarn.d99"
    // An earlier record handed on named the same layer, sheet and code: a
    // supplement's record has items of its object to take out first.
    bool KeySeen = true;
    uint8_t Kind = ObjectItemKind;
    TCardRec Card;              // Kind 6
    TObjectItemRec Item;        // Kind 1
};

// Reads the object database of a program folder: "tarn.dat", then each
// supplement present, in number order. For each file the group table is
// replaced; each record is handed to OnRecord in file order. A bad field
// raises EFormatError after the records before it were handed on.
class TTarnDatabase {
public:
    TTarnDatabase(TModel* model, TView* view) : Model(model), View(view) {}
    // The group index points into the table.
    TTarnDatabase(const TTarnDatabase&) = delete;
    TTarnDatabase& operator=(const TTarnDatabase&) = delete;

    std::function<void(const TLoadedRecord&)> OnRecord;
    // The loading gauge while "tarn.dat" is read: 50 + position * 50 / size,
    // called when the value changes.
    std::function<void(int32_t)> OnGauge;

    // "tarn.dat" must exist; a missing supplement is skipped.
    void Load(const std::string& programDir);
    // One file; number 0 is "tarn.dat" (the gauge moves), 1 to 99 a supplement.
    void LoadFile(const std::string& path, int32_t fileNumber);

    // The table of the file read last.
    const TGroupTable& GroupTable() const { return Groups; }
    // Every file opened, open for the cards.
    const std::vector<std::shared_ptr<TStream>>& Files() const { return Opened; }

    static std::string SupplementName(int32_t number);  // "tarn.d05"

private:
    TModel* Model;
    TView* View;
    TGroupTable Groups;
    TGroupIndex GroupIndex;
    std::vector<std::shared_ptr<TStream>> Opened;
    // Layer, sheet and code of every record handed on.
    using TObjectIdKey = std::array<int32_t, 3>;
    struct TIdHash {
        std::size_t operator()(const TObjectIdKey& k) const
        {
            uint64_t h = 0;
            for (int32_t v : k) h = (h ^ uint32_t(v)) * 0x9E3779B97F4A7C15ull;
            return std::size_t(h ^ h >> 29);
        }
    };
    std::unordered_set<TObjectIdKey, TIdHash> Seen;
};

// "banners.dat": the open stream and the banner records in file order
// (zero keys and deleted records dropped, layer 67 moved to sheet 24).
struct TBannerList {
    std::shared_ptr<TStream> Stream;
    std::vector<TTarnData> Records;
};

// Opens and reads the banner file into `banners`; on a bad field the
// records before it stay and EFormatError is raised.
void LoadBannerFile(const std::string& path, TBannerList& banners);

// A stream opened for reading and kept shared (a card's or banner's Source).
std::shared_ptr<TStream> OpenDataFile(const std::string& path);

// The most a card's or a banner's data may hold: the viewers hold it whole
// in memory, and no real card comes near it.
constexpr int64_t MaxRecordDataBytes = int64_t(64) << 20;

// The data bytes of a record in its open file, checked against the file and
// against MaxRecordDataBytes before anything is read: EFormatError names
// the file, the offset and the record (`record`: its name, code page 1251).
std::string ReadDataBytes(TStream& source, int64_t offset, int64_t size, const std::string& record = {});
inline std::string ReadCardData(const TCardRec& card)
{
    if (!card.Source) return {};
    return ReadDataBytes(*card.Source, card.DataOffset, card.DataSize, card.Name);
}

} // namespace tarn
