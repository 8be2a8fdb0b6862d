#include "TarnData.h"

#include "data/Errors.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tarn {

namespace {

// Large enough that a record rarely straddles a refill, small enough to stay
// in the cache.
constexpr std::size_t WindowSize = 64 * 1024;

// The smallest group table entry: id, an empty name, level.
constexpr int64_t MinGroupEntry = 4 + 1 + 4;

std::string Join(const std::string& dir, const std::string& name)
{
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

} // namespace

// ---------------------------------------------------------------- reader

TDataReader::TDataReader(TStream& stream) : Stream(stream), FileSize(stream.Size()), Window(WindowSize)
{
    WindowStart = Stream.Position();
}

void TDataReader::Fail(int64_t offset, const char* field, const std::string& message) const
{
    ThrowFormat(Name(), offset, field, message);
}

std::size_t TDataReader::Fill(std::size_t need)
{
    if (Held - At >= need) return Held - At;
    // Keep what is left, read on from the file behind it.
    const std::size_t left = Held - At;
    if (left > 0 && At > 0) std::memmove(Window.data(), Window.data() + At, left);
    WindowStart += int64_t(At);
    At = 0;
    Held = left;
    const int64_t from = WindowStart + int64_t(Held);
    if (from >= FileSize) return Held;
    Stream.Seek(from);
    const std::size_t want = std::size_t(std::min<int64_t>(int64_t(Window.size() - Held), FileSize - from));
    const std::size_t got = Stream.Read(Window.data() + Held, want);
    if (got < want) {
        // The file shrank under us: what is there is all there is.
        FileSize = from + int64_t(got);
    }
    Held += got;
    return Held - At;
}

uint8_t TDataReader::readU8(const char* field)
{
    if (Fill(1) < 1) Fail(Position(), field, "unexpected end of data (1 byte needed, none left)");
    return uint8_t(Window[At++]);
}

int32_t TDataReader::readI32LE(const char* field)
{
    const std::size_t n = Fill(4);
    if (n < 4)
        Fail(Position(), field, "unexpected end of data (4 bytes needed, " + std::to_string(n) + " left)");
    const auto* b = reinterpret_cast<const uint8_t*>(Window.data() + At);
    At += 4;
    return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}

TObjectKey TDataReader::readKey(const char* field)
{
    const std::size_t n = Fill(ObjectKeySize);
    if (n < ObjectKeySize)
        Fail(Position(), field, "unexpected end of data (20 bytes needed, " + std::to_string(n) + " left)");
    const TObjectKey key = DecodeObjectKey(reinterpret_cast<const uint8_t*>(Window.data() + At));
    At += ObjectKeySize;
    return key;
}

std::string TDataReader::readString(const char* field, std::size_t keep)
{
    const int64_t start = Position();
    std::string s;
    for (;;) {
        if (Fill(1) == 0) Fail(start, field, "the string has no end (no zero byte before the end of the file)");
        const char* from = Window.data() + At;
        const std::size_t avail = Held - At;
        const void* zero = std::memchr(from, 0, avail);
        const std::size_t n = zero ? std::size_t(static_cast<const char*>(zero) - from) : avail;
        if (s.size() < keep) s.append(from, std::min(n, keep - s.size()));
        if (zero) {
            At += n + 1;
            return s;
        }
        At = Held;
    }
}

void TDataReader::Skip(int64_t n, const char* field)
{
    if (n < 0) Fail(Position(), field, "cannot skip back " + std::to_string(-n) + " bytes");
    if (n > Remaining())
        Fail(Position(), field,
             "unexpected end of data (" + std::to_string(n) + " bytes needed, " + std::to_string(Remaining()) +
                 " left)");
    if (uint64_t(n) <= uint64_t(Held - At)) {
        At += std::size_t(n);
        return;
    }
    // Past the window: the bytes are never read.
    WindowStart = Position() + n;
    At = Held = 0;
}

// ---------------------------------------------------------------- group table

TGroupLevelData TGroupLevelData::CreateFromStream(TDataReader& reader)
{
    TGroupLevelData g;
    g.Id = reader.readI32LE("group id");
    g.Name = reader.readString("group name");
    g.Level = reader.readI32LE("group level");
    return g;
}

void ReadGroupLevelTable(TDataReader& reader, TGroupTable& table)
{
    table.clear();
    if (reader.AtEnd()) return;
    const int64_t at = reader.Position();
    const int32_t count = reader.readI32LE("group count");
    if (count < 0) reader.Fail(at, "group count", "negative count " + std::to_string(count));
    const int64_t most = reader.Remaining() / MinGroupEntry;
    if (count > most)
        reader.Fail(at, "group count",
                    "count " + std::to_string(count) + " larger than the file allows (at most " +
                        std::to_string(most) + ")");
    table.reserve(std::size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        const int64_t entry = reader.Position();
        TGroupLevelData g = TGroupLevelData::CreateFromStream(reader);
        if (!table.empty() && g.Id < table.back().Id)
            reader.Fail(entry, "group id",
                        "id " + std::to_string(g.Id) + " after " + std::to_string(table.back().Id) +
                            " (the table must be in ascending order)");
        table.push_back(std::move(g));
    }
}

std::string FindGroupLevelName(const TGroupTable& table, int32_t id, int32_t level)
{
    for (const TGroupLevelData& g : table) {
        if (g.Id > id) break;
        if (g.Id == id && g.Level == level) return g.Name;
    }
    return {};
}

// ---------------------------------------------------------------- records

TTarnData TTarnData::CreateFromStream(TDataReader& reader)
{
    TTarnData d;
    d.Name = reader.readString("name");
    d.Group = reader.readI32LE("group");
    d.SubGroup = reader.readI32LE("subgroup");
    d.Deleted = reader.readU8("deleted");
    d.Archive = reader.readU8("archive");
    d.Text = reader.readString("text");
    d.FileType = reader.readString("type", 3);
    d.ExtraListing = reader.readU8("extra listing");
    d.Text2 = reader.readString("second text");
    d.Key = reader.readKey("key");
    d.DataOffset = reader.readI32LE("data offset");
    d.DataSize = reader.readI32LE("data size");
    d.DataPresent = reader.readU8("data present");
    return d;
}

TTarnData ReadTarnRecord(TDataReader& reader)
{
    TTarnData d = TTarnData::CreateFromStream(reader);
    // The last three fields: offset (4), size (4), present (1).
    const int64_t sizeAt = reader.Position() - 5;
    const int64_t offsetAt = sizeAt - 4;
    if (d.DataFollows()) {
        if (d.DataSize < 0)
            reader.Fail(sizeAt, "data size", "negative size " + std::to_string(d.DataSize) + " with data present");
        if (d.DataSize > reader.Remaining())
            reader.Fail(sizeAt, "data size",
                        std::to_string(d.DataSize) + " bytes of data, " + std::to_string(reader.Remaining()) +
                            " left in the file");
        reader.Skip(d.DataSize, "data");
    }
    if (!d.HasNoData() && d.DataSize >= 1) {
        const int64_t end = int64_t(d.DataOffset) + d.DataSize;
        if (d.DataOffset < 0 || end > reader.Size())
            reader.Fail(offsetAt, "data offset",
                        "data at " + std::to_string(d.DataOffset) + ".." + std::to_string(end) +
                            " lies outside the file of " + std::to_string(reader.Size()) + " bytes");
    }
    return d;
}

// ---------------------------------------------------------------- files

std::shared_ptr<TStream> OpenDataFile(const std::string& path)
{
    return std::make_shared<TFileStream>(path, TFileStream::Mode::Read);
}

std::string ReadDataBytes(TStream& source, int64_t offset, int64_t size)
{
    const int64_t fileSize = source.Size();
    if (offset < 0 || size < 0 || offset > fileSize || size > fileSize - offset)
        ThrowFormat(source.Name(), offset, "card data",
                    std::to_string(size) + " bytes at " + std::to_string(offset) + " lie outside the file of " +
                        std::to_string(fileSize) + " bytes");
    source.Seek(offset);
    return source.readBytes(std::size_t(size), "card data");
}

std::string TTarnDatabase::SupplementName(int32_t number)
{
    char name[16];
    std::snprintf(name, sizeof name, "tarn.d%02d", int(number));
    return name;
}

void TTarnDatabase::Load(const std::string& programDir)
{
    LoadFile(Join(programDir, "tarn.dat"), 0);
    for (int32_t n = 1; n <= 99; ++n) {
        const std::string path = Join(programDir, SupplementName(n));
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) continue;
        LoadFile(path, n);
    }
}

void TTarnDatabase::LoadFile(const std::string& path, int32_t fileNumber)
{
    std::shared_ptr<TStream> stream = OpenDataFile(path);
    Opened.push_back(stream);
    TDataReader reader(*stream);
    ReadGroupLevelTable(reader, Groups);
    int32_t gauge = -1;
    while (!reader.AtEnd()) {
        if (fileNumber == 0 && OnGauge) {
            // In 64 bits: position times 50 passes 32 bits above 42 MB.
            const int32_t g = 50 + int32_t(reader.Position() * 50 / reader.Size());
            if (g != gauge) OnGauge(gauge = g);
        }
        TLoadedRecord out;
        out.Record = ReadTarnRecord(reader);
        TTarnData& d = out.Record;
        if (d.HasZeroKey() || d.Deleted) continue;
        if (d.Key.LayerID == PlacesLayerID) d.Key.SheetID = PlacesSheetID;
        out.FileNumber = fileNumber;
        out.KeySeen = !Seen.insert({d.Key.LayerID, d.Key.SheetID, d.Key.Code}).second;
        out.GroupName = FindGroupLevelName(Groups, d.Group, 0);
        out.SubGroupName = FindGroupLevelName(Groups, d.SubGroup, 1);
        // A record without data is a key record, whatever size it claims.
        if (d.DataSize >= 1 && !d.HasNoData()) {
            out.Kind = CardItemKind;
            TCardRec& c = out.Card;
            c.Model = Model;
            c.View = View;
            c.Key = d.Key;
            c.FileType = d.FileType;
            c.Source = stream;
            c.DataOffset = d.DataOffset;
            c.DataSize = d.DataSize;
            c.Archive = d.Archive;
            c.MainFile = d.Text.substr(0, 100);
        } else {
            out.Kind = ObjectItemKind;
            out.Item = {Model, View, d.Key};
        }
        if (OnRecord) OnRecord(out);
    }
}

void LoadBannerFile(const std::string& path, TBannerList& banners)
{
    banners.Records.clear();
    banners.Stream = OpenDataFile(path);
    TDataReader reader(*banners.Stream);
    TGroupTable unused;
    ReadGroupLevelTable(reader, unused);
    while (!reader.AtEnd()) {
        TTarnData d = ReadTarnRecord(reader);
        if (d.HasZeroKey() || d.Deleted) continue;
        if (d.Key.LayerID == PlacesLayerID) d.Key.SheetID = PlacesSheetID;
        banners.Records.push_back(std::move(d));
    }
}

} // namespace tarn
