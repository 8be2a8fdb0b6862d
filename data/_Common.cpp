#include "_Common.h"
#include "Errors.h"
#include "Filer.h"
#include "Utils.h"
#include "platform/Ini.h"
#include "platform/SafeFile.h"

#include <filesystem>
#include <limits>

namespace tarn {

// ---------------------------------------------------------------- THistory

int32_t THistory::PutPresentInstance(std::unique_ptr<TWndState> state)
{
    if (!state) throw ETarnError("the view history takes no empty state");
    while (Count >= MaxEntries) FreeAt(0);
    Insert(state.get());
    state.release();
    return Count;
}

std::unique_ptr<TWndState> THistory::GetPrevInstance()
{
    if (Count == 0) return nullptr;
    auto* newest = static_cast<TWndState*>(Items[static_cast<std::size_t>(Count - 1)]);
    Delete(Count - 1);
    return std::unique_ptr<TWndState>(newest);
}

// ---------------------------------------------------------------- backups

std::string BackupName(const std::string& fileName)
{
    std::size_t slash = fileName.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return fileName + ".~";
    return fileName.substr(0, dot) + ".~" + fileName.substr(dot + 1, 2);
}

namespace {

// The backup's name when there is a file to back up; "" when there is none.
std::string BackupTarget(const std::string& fileName)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(fs::path(fileName), ec)) {
        if (ec) ThrowFileError(fileName, "не удалось сделать резервную копию", ec.value());
        return std::string();  // nothing to keep
    }
    std::string backup = BackupName(fileName);
    if (backup == fileName)
        throw EFileError(fileName + ": не удалось сделать резервную копию: она совпала бы с самим файлом");
    return backup;
}

void CopyInto(const std::string& fileName, TSafeFileWriter& target)
{
    TFileStream source(fileName, TFileStream::Mode::Read);
    std::string buffer(1 << 16, '\0');
    while (std::size_t n = source.Read(buffer.data(), buffer.size())) target.Write(buffer.data(), n);
    if (source.Position() != source.Size()) throw EFileError(fileName + ": не удалось прочитать файл до конца");
}

} // namespace

std::string MakeBackup(const std::string& fileName)
{
    std::string backup = BackupTarget(fileName);
    if (backup.empty()) return backup;
    try {
        TSafeFileWriter target(backup);
        CopyInto(fileName, target);
        target.Commit();
    } catch (ETarnError& e) {
        // The message names the file that failed; this says what was being done.
        e.AddContext("резервная копия " + fileName);
        throw;
    }
    // Like a system file copy, the backup keeps the original's time stamp.
    std::error_code ec;
    std::filesystem::last_write_time(backup, std::filesystem::last_write_time(fileName, ec), ec);
    return backup;
}

std::string AddBackup(TSafeFileBatch& batch, const std::string& fileName)
{
    std::string backup = BackupTarget(fileName);
    if (backup.empty()) return backup;
    try {
        CopyInto(fileName, batch.Add(backup));
    } catch (ETarnError& e) {
        e.AddContext("резервная копия " + fileName);
        throw;
    }
    return backup;
}

// ---------------------------------------------------------------- TUniqueID

namespace {

bool NeedsHexInKey(unsigned char c)
{
    switch (c) {
    case '%': case '=': case '\r': case '\n': case '\0': case '[': case ';': case ' ': case '\t': case '\v':
    case '\f':
        return true;
    default:
        return false;
    }
}

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// The runtime's string-to-integer conversion: an optional sign and decimal
// digits, nothing else, within 32 bits.
bool ParseDecimal(std::string_view s, int32_t& value)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min()) return false;
    value = static_cast<int32_t>(v);
    return true;
}

} // namespace

std::string TUniqueID::KeyOf(std::string_view name)
{
    bool escape = name.empty() || name.front() == '%' || name.front() == '[' || name.front() == ';' ||
                  IsBlank(static_cast<unsigned char>(name.front())) ||
                  IsBlank(static_cast<unsigned char>(name.back())) || RusUpperCase(name) == "MAXS" ||
                  name.find_first_of(std::string_view("=\r\n\0", 4)) != std::string_view::npos;
    if (!escape) return std::string(name);
    static const char hex[] = "0123456789ABCDEF";
    std::string key = "%";
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (NeedsHexInKey(c)) {
            key += '%';
            key += hex[c >> 4];
            key += hex[c & 15];
        } else {
            key += ch;
        }
    }
    return key;
}

std::string FileNamePart(std::string_view path)
{
    std::size_t cut = path.find_last_of("/\\:");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

TUniqueID::TUniqueID(const std::string& programDir)
    : TAbstractItem(nullptr), IniName((std::filesystem::path(programDir) / FileName).string()),
      Ini(TIniFile::Open(IniName))
{
}

TUniqueID::~TUniqueID() = default;

int32_t TUniqueID::GetLayerID(std::string_view layerName) { return GetUniqueID("Layers", layerName); }

int32_t TUniqueID::GetFileID(std::string_view fileName) { return GetUniqueID("Files", FileNamePart(fileName)); }

int32_t TUniqueID::GetUniqueID(const char* section, std::string_view name)
{
    // Another running copy may hand out identifiers at the same time: the
    // file stays held from reading the highest to writing the new one.
    TIniFile::THold hold = Ini->Hold();
    std::string key = KeyOf(name);
    auto readInt = [&](const std::string& k) {
        std::string text = Ini->ReadString(section, k, "-1", 100);
        int32_t v = 0;
        if (!ParseDecimal(text, v))
            throw EFormatError(IniName + ": [" + section + "] " + k + ": '" + text +
                               "' is not a valid integer value");
        return v;
    };
    int32_t max = readInt("Maxs");
    if (max == -1) max = 0;
    int32_t id = readInt(key);
    if (id == -1) {
        // A damaged or hand-edited file may lack "Maxs" or give a name more
        // than it: the new identifier must still be one nobody has.
        for (const auto& [name, value] : Ini->ReadSectionValues(section)) {
            int32_t used = 0;
            if (ParseDecimal(std::string_view(value).substr(0, 100), used) && used > max) max = used;
        }
        if (max == std::numeric_limits<int32_t>::max())
            throw ETarnError(IniName + ": [" + section + "] has no identifiers left");
        id = ++max;
    }
    // The highest identifier first: a write cut short between the two can
    // only skip an identifier, never hand one out twice.
    Ini->WriteInteger(section, "Maxs", max);
    Ini->WriteInteger(section, key, id);
    return id;
}

// ---------------------------------------------------------------- TMapHeaderBlock

TMapHeaderBlock::TMapHeaderBlock(TStream& stream, TAbstractItem* owner) : TAbstractItem(stream, owner)
{
    Version = stream.readI32LE("header block version");
    Text1 = ReadPStrStream(stream, "header block text 1");
    Text2 = ReadPStrStream(stream, "header block text 2");
}

void TMapHeaderBlock::Store(TStream& stream) const
{
    CheckPStr(Text1, "header block text 1");
    CheckPStr(Text2, "header block text 2");
    stream.writeI32LE(Version);
    WritePStrStream(stream, Text1);
    WritePStrStream(stream, Text2);
}

} // namespace tarn
