#include "TarnData.h"

#include "data/Errors.h"
#include "platform/Cp1251.h"

#include <algorithm>
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

// "<file>, смещение 0x1A, <field>: <message>"; a negative offset is left out.
[[noreturn]] void ThrowAt(const std::string& file, int64_t offset, const char* field, const std::string& message)
{
    std::string where = file;
    if (offset >= 0) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(offset));
        where += std::string(", смещение ") + hex;
    }
    if (field && *field) where += std::string(", ") + field;
    throw EFormatError(where + ": " + message);
}

// "1 байт", "3 байта", "11 байт".
std::string ByteCount(int64_t n)
{
    const int64_t last = (n < 0 ? -n : n) % 100;
    const bool few = last % 10 >= 2 && last % 10 <= 4 && (last < 12 || last > 14);
    return std::to_string(n) + (few ? " байта" : " байт");
}

[[noreturn]] void ThrowShort(const TDataReader& reader, int64_t at, const char* field, int64_t need)
{
    reader.Fail(at, field,
                "файл кончается раньше времени: нужно " + ByteCount(need) + ", осталось " +
                    ByteCount(std::max<int64_t>(reader.Remaining(), 0)));
}

} // namespace

// ---------------------------------------------------------------- reader

TDataReader::TDataReader(TStream& stream) : Stream(stream), FileSize(stream.Size()), Window(WindowSize)
{
    WindowStart = Stream.Position();
}

void TDataReader::Fail(int64_t offset, const char* field, const std::string& message) const
{
    ThrowAt(Name(), offset, field, message);
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
    if (Fill(1) < 1) ThrowShort(*this, Position(), field, 1);
    return uint8_t(Window[At++]);
}

int32_t TDataReader::readI32LE(const char* field)
{
    if (Fill(4) < 4) ThrowShort(*this, Position(), field, 4);
    const auto* b = reinterpret_cast<const uint8_t*>(Window.data() + At);
    At += 4;
    return int32_t(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}

TObjectKey TDataReader::readKey(const char* field)
{
    if (Fill(ObjectKeySize) < ObjectKeySize) ThrowShort(*this, Position(), field, ObjectKeySize);
    const TObjectKey key = DecodeObjectKey(reinterpret_cast<const uint8_t*>(Window.data() + At));
    At += ObjectKeySize;
    return key;
}

std::string TDataReader::readString(const char* field, std::size_t keep)
{
    const int64_t start = Position();
    std::string s;
    for (;;) {
        if (Fill(1) == 0) Fail(start, field, "строка не закончена: до конца файла нет нулевого байта");
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
    if (n < 0) Fail(Position(), field, "нельзя пропустить назад " + ByteCount(-n));
    if (n > Remaining()) ThrowShort(*this, Position(), field, n);
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
    g.Id = reader.readI32LE("код группы");
    g.Name = reader.readString("название группы");
    g.Level = reader.readI32LE("уровень группы");
    return g;
}

void ReadGroupLevelTable(TDataReader& reader, TGroupTable& table)
{
    table.clear();
    if (reader.AtEnd()) return;
    const int64_t at = reader.Position();
    const int32_t count = reader.readI32LE("число групп");
    if (count < 0) reader.Fail(at, "число групп", "отрицательное число " + std::to_string(count));
    const int64_t most = reader.Remaining() / MinGroupEntry;
    if (count > most)
        reader.Fail(at, "число групп",
                    std::to_string(count) + " больше, чем вмещает файл (не более " + std::to_string(most) + ")");
    table.reserve(std::size_t(count));
    for (int32_t i = 0; i < count; ++i) table.push_back(TGroupLevelData::CreateFromStream(reader));
}

std::string FindGroupLevelName(const TGroupTable& table, int32_t id, int32_t level)
{
    for (const TGroupLevelData& g : table) {
        if (g.Id > id) break;
        if (g.Id == id && g.Level == level) return g.Name;
    }
    return {};
}

namespace {

uint64_t IdLevel(int32_t id, int32_t level) { return uint64_t(uint32_t(id) ^ 0x80000000u) << 32 | uint32_t(level); }

} // namespace

TGroupIndex::TGroupIndex(const TGroupTable& table) : Table(&table)
{
    // The scan for an id reaches an entry when no entry before it has a
    // greater id; once an entry of that id is out of reach, so are the
    // later ones.
    Firsts.reserve(table.size());
    int64_t greatest = INT64_MIN;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const TGroupLevelData& g = table[i];
        if (g.Id >= greatest) Firsts.push_back({IdLevel(g.Id, g.Level), uint32_t(i)});
        greatest = std::max<int64_t>(greatest, g.Id);
    }
    // Of each id and level the first entry stays.
    std::stable_sort(Firsts.begin(), Firsts.end(),
                     [](const TFirst& a, const TFirst& b) { return a.IdLevel < b.IdLevel; });
    Firsts.erase(std::unique(Firsts.begin(), Firsts.end(),
                             [](const TFirst& a, const TFirst& b) { return a.IdLevel == b.IdLevel; }),
                 Firsts.end());
}

std::string TGroupIndex::Find(int32_t id, int32_t level) const
{
    const uint64_t k = IdLevel(id, level);
    const auto it = std::lower_bound(Firsts.begin(), Firsts.end(), k,
                                     [](const TFirst& f, uint64_t key) { return f.IdLevel < key; });
    if (it == Firsts.end() || it->IdLevel != k) return {};
    return (*Table)[it->Entry].Name;
}

// ---------------------------------------------------------------- records

TTarnData TTarnData::CreateFromStream(TDataReader& reader)
{
    TTarnData d;
    d.Name = reader.readString("название");
    d.Group = reader.readI32LE("группа");
    d.SubGroup = reader.readI32LE("подгруппа");
    d.Deleted = reader.readU8("признак удаления");
    d.Archive = reader.readU8("признак архива");
    d.Text = reader.readString("текст");
    d.FileType = reader.readString("тип", 3);
    d.ExtraListing = reader.readU8("признак дополнительного списка");
    d.Text2 = reader.readString("второй текст");
    d.Key = reader.readKey("ключ объекта");
    d.DataOffset = reader.readI32LE("смещение данных");
    d.DataSize = reader.readI32LE("размер данных");
    d.DataPresent = reader.readU8("наличие данных");
    return d;
}

TTarnData ReadTarnRecord(TDataReader& reader)
{
    TTarnData d = TTarnData::CreateFromStream(reader);
    if (d.DataFollows()) {
        // The last two fields: size (4), present (1).
        const int64_t sizeAt = reader.Position() - 5;
        if (d.DataSize < 0)
            reader.Fail(sizeAt, "размер данных",
                        "отрицательный размер " + std::to_string(d.DataSize) + " при наличии данных");
        if (d.DataSize > reader.Remaining())
            reader.Fail(sizeAt, "размер данных",
                        "данных " + ByteCount(d.DataSize) + ", а до конца файла " + ByteCount(reader.Remaining()));
        reader.Skip(d.DataSize, "данные");
    }
    return d;
}

// ---------------------------------------------------------------- files

std::shared_ptr<TStream> OpenDataFile(const std::string& path)
{
    try {
        return std::make_shared<TFileStream>(path, TFileStream::Mode::Read);
    } catch (const EFileError& e) {
        throw EFileError("Не удаётся открыть файл " + path + " (" + e.what() + ")");
    }
}

std::string ReadDataBytes(TStream& source, int64_t offset, int64_t size, const std::string& record)
{
    const int64_t fileSize = source.Size();
    if (offset < 0 || size < 0 || offset > fileSize || size > fileSize - offset)
        ThrowAt(source.Name(), offset, "данные",
                (offset < 0 ? "отрицательное смещение " + std::to_string(offset) + ", " : std::string()) +
                    ByteCount(size) + " данных не лежат в файле длиной " + ByteCount(fileSize));
    if (size > MaxRecordDataBytes)
        ThrowAt(source.Name(), offset, "данные",
                (record.empty() ? std::string("запись") : "запись «" + Cp1251ToUtf8(record) + "»") + ": " +
                    ByteCount(size) + " данных, больше предела в " + ByteCount(MaxRecordDataBytes));
    source.Seek(offset);
    return source.readBytes(std::size_t(size), "данные");
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
    GroupIndex = {};
    ReadGroupLevelTable(reader, Groups);
    GroupIndex = TGroupIndex(Groups);
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
        out.GroupName = GroupIndex.Find(d.Group, 0);
        out.SubGroupName = GroupIndex.Find(d.SubGroup, 1);
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
            c.Name = d.Name;
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
