#include "Ini.h"
#include "Paths.h"
#include "SafeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unordered_set>

namespace tarn {

struct TIniFile::TOpenKey {};

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Upper case in code page 1251: Latin, Cyrillic and yo.
unsigned char Fold(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || c >= 0xE0) return static_cast<unsigned char>(c - 32);
    if (c == 0xB8) return 0xA8;
    return c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// The name as compared: every letter folded to upper case.
std::string Folded(std::string_view name)
{
    std::string f(name);
    for (char& c : f) c = static_cast<char>(Fold(static_cast<unsigned char>(c)));
    return f;
}

template <class Line>
Line ParseLine(std::string text)
{
    Line line;
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '[') {
        std::size_t close = t.rfind(']');
        line.Name = Trim(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
        line.Type = Line::Section;
    } else if (!t.empty() && t.front() != ';') {
        std::size_t eq = t.find('=');
        line.Name = Trim(t.substr(0, eq));
        if (eq != std::string_view::npos) line.Value = Trim(t.substr(eq + 1));
        if (!line.Name.empty()) line.Type = Line::Key;
    }
    line.Text = std::move(text);
    return line;
}

template <class Line>
int FindSection(const std::vector<Line>& lines, std::string_view section)
{
    section = Trim(section);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].Type == Line::Section && SameName(lines[i].Name, section)) return static_cast<int>(i);
    return -1;
}

// The first key line of the section that starts at sectionLine, or -1.
template <class Line>
int FindKey(const std::vector<Line>& lines, int sectionLine, std::string_view key)
{
    key = Trim(key);
    for (std::size_t i = static_cast<std::size_t>(sectionLine) + 1; i < lines.size(); ++i) {
        if (lines[i].Type == Line::Section) break;
        if (lines[i].Type == Line::Key && SameName(lines[i].Name, key)) return static_cast<int>(i);
    }
    return -1;
}

// One past the section's last line; lines beyond the last non-blank one
// (the blank lines before the next section) are not counted.
template <class Line>
std::size_t SectionEnd(const std::vector<Line>& lines, int sectionLine)
{
    std::size_t end = static_cast<std::size_t>(sectionLine) + 1;
    for (std::size_t i = end; i < lines.size() && lines[i].Type != Line::Section; ++i)
        if (!Trim(lines[i].Text).empty()) end = i + 1;
    return end;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void Refuse(const std::string& path, const std::string& what, std::string_view name, const char* why)
{
    throw EIniError(path + ": " + what + " \"" + std::string(name) + "\" cannot be stored: " + why);
}

void CheckSection(const std::string& path, std::string_view section)
{
    std::string_view s = Trim(section);
    if (s.empty()) Refuse(path, "section", section, "the name is empty");
    if (HasLineBreak(s)) Refuse(path, "section", section, "it holds a line break");
    if (s.find(']') != std::string_view::npos) Refuse(path, "section", section, "it holds \"]\"");
}

void CheckKey(const std::string& path, std::string_view key)
{
    std::string_view k = Trim(key);
    if (k.empty()) Refuse(path, "key", key, "the name is empty");
    if (HasLineBreak(k)) Refuse(path, "key", key, "it holds a line break");
    if (k.find('=') != std::string_view::npos) Refuse(path, "key", key, "it holds \"=\"");
    if (k.front() == '[' || k.front() == ';') Refuse(path, "key", key, "it begins with \"[\" or \";\"");
}

void CheckValue(const std::string& path, std::string_view key, std::string_view value)
{
    if (HasLineBreak(value)) Refuse(path, "the value of key", Trim(key), "it holds a line break");
}

std::string Unquote(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

} // namespace

int32_t ParseProfileInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t value = 0; // wraps like the 32-bit conversion of the profile functions
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

std::shared_ptr<TIniFile> TIniFile::Open(const std::string& path)
{
    namespace fs = std::filesystem;
    // The folder's links are followed, the file's own never: a settings
    // file that is a link is refused where it stands.
    const fs::path p(path);
    const std::string key =
        (fs::path(RealPath(p.has_parent_path() ? p.parent_path().string() : ".")) / p.filename()).string();

    static std::mutex registryLock;
    static std::map<std::string, std::weak_ptr<TIniFile>> registry;
    std::lock_guard<std::mutex> guard(registryLock);
    for (auto it = registry.begin(); it != registry.end();)
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    std::weak_ptr<TIniFile>& slot = registry[key];
    if (std::shared_ptr<TIniFile> open = slot.lock()) return open;
    auto made = std::make_shared<TIniFile>(key, TOpenKey{});
    slot = made;
    return made;
}

TIniFile::TIniFile(std::string path, const TOpenKey&) : Path(std::move(path)) {}

namespace {

void CheckIniFile(const std::string& path, const struct stat& st)
{
    if (S_ISLNK(st.st_mode)) ThrowLinkRefused(path);
    if (!S_ISREG(st.st_mode)) throw EFileError(path + ": не обычный файл, настройки из него не читаются");
    if (int64_t(st.st_size) > TIniFile::MaxSize)
        throw EFileError(path + ": файл настроек больше допустимого: " + std::to_string(st.st_size) +
                         " байт, допустимо " + std::to_string(TIniFile::MaxSize));
}

} // namespace

void TIniFile::Refresh()
{
    struct stat st {};
    if (::lstat(Path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR) ThrowFileError(Path, "не удалось прочитать файл", errno);
        // No file: every read gives its default.
        Lines.clear();
        Loaded = true;
        StampTime = StampSize = -1;
        StampInode = 0;
        return;
    }
    CheckIniFile(Path, st);
    int64_t time = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (Loaded && time == StampTime && int64_t(st.st_size) == StampSize && uint64_t(st.st_ino) == StampInode)
        return;

    // Not blocking: what replaced the file since the stat may be a pipe.
    int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0 && errno == ELOOP) ThrowLinkRefused(Path);  // made a link since the look above
    if (fd < 0) ThrowFileError(Path, "не удалось открыть файл", errno);
    std::string bytes;
    int err = 0;
    if (::fstat(fd, &st) != 0) {
        err = errno;
    } else {
        try {
            CheckIniFile(Path, st);
        } catch (...) {
            ::close(fd);
            throw;
        }
        char buf[65536];
        for (;;) {
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) err = errno;
            if (n <= 0) break;
            bytes.append(buf, std::size_t(n));
            if (int64_t(bytes.size()) > MaxSize) break;  // grew while read: refused below
        }
    }
    ::close(fd);
    if (err) ThrowFileError(Path, "не удалось прочитать файл", err);
    if (int64_t(bytes.size()) > MaxSize)
        throw EFileError(Path + ": файл настроек больше допустимого: более " + std::to_string(MaxSize) + " байт");

    std::vector<TLine> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::size_t stop = end;
        if (stop > start && bytes[stop - 1] == '\r') --stop;
        lines.push_back(ParseLine<TLine>(bytes.substr(start, stop - start)));
        start = end + 1;
    }
    Lines = std::move(lines);
    Loaded = true;
    StampTime = time;
    StampSize = int64_t(st.st_size);
    StampInode = uint64_t(st.st_ino);
}

void TIniFile::Save(std::vector<TLine>& lines)
{
    std::string bytes;
    for (const TLine& l : lines) {
        bytes += l.Text;
        bytes += "\r\n";
    }
    // What a killed write of any settings file left here goes, as a save's
    // does; a write still running holds its temporary.
    RemoveLeftoverTemporaries(std::filesystem::path(Path).parent_path().string());
    WriteFileAtomically(Path, bytes);
    Lines = std::move(lines);
    struct stat st {};
    if (::stat(Path.c_str(), &st) == 0) {
        StampTime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        StampSize = int64_t(st.st_size);
        StampInode = uint64_t(st.st_ino);
    } else {
        Loaded = false; // read it again next time
    }
}

TIniFile::THold::THold(TIniFile& ini) : Ini(ini)
{
    Ini.Lock.lock();
    if (Ini.HoldDepth++ == 0) {
        try {
            Ini.TakeFileLock();
        } catch (...) {
            --Ini.HoldDepth;
            Ini.Lock.unlock();
            throw;
        }
    }
}

TIniFile::THold::~THold()
{
    if (--Ini.HoldDepth == 0) Ini.DropFileLock();
    Ini.Lock.unlock();
}

void TIniFile::TakeFileLock()
{
    namespace fs = std::filesystem;
    const fs::path p(Path);
    const std::string lockName = (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
    // Without a lock file (a folder we cannot write) writes fail anyway;
    // reads go on unlocked.
    LockFd = ::open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (LockFd >= 0) {
        while (::flock(LockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    // Another program may have written within the same time stamp.
    Loaded = false;
}

void TIniFile::DropFileLock()
{
    if (LockFd >= 0) ::close(LockFd);  // closing releases the lock
    LockFd = -1;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def,
                                 std::size_t maxLength)
{
    std::lock_guard<std::recursive_mutex> guard(Lock);
    Refresh();
    std::string value;
    int s = FindSection(Lines, section);
    int k = s < 0 ? -1 : FindKey(Lines, s, key);
    if (k >= 0) {
        value = Unquote(Lines[static_cast<std::size_t>(k)].Value);
    } else {
        while (!def.empty() && (def.back() == ' ' || def.back() == '\t')) def.remove_suffix(1);
        value = def;
    }
    if (value.size() > maxLength) value.resize(maxLength);
    return value;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def)
{
    std::string v = ReadString(section, key, "");
    return v.empty() ? def : ParseProfileInt(v);
}

bool TIniFile::SectionExists(std::string_view section)
{
    std::lock_guard<std::recursive_mutex> guard(Lock);
    Refresh();
    return FindSection(Lines, section) >= 0;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key)
{
    std::lock_guard<std::recursive_mutex> guard(Lock);
    Refresh();
    int s = FindSection(Lines, section);
    return s >= 0 && FindKey(Lines, s, key) >= 0;
}

std::vector<std::string> TIniFile::ReadSections()
{
    std::lock_guard<std::recursive_mutex> guard(Lock);
    Refresh();
    // Only the first of equal names counts; a set keeps a file of many
    // sections linear.
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const TLine& line : Lines)
        if (line.Type == TLine::Section && seen.insert(Folded(line.Name)).second) names.push_back(line.Name);
    return names;
}

std::vector<std::string> TIniFile::ReadSectionKeys(std::string_view section)
{
    std::vector<std::string> keys;
    for (auto& [key, value] : ReadSectionValues(section)) keys.push_back(std::move(key));
    return keys;
}

std::vector<std::pair<std::string, std::string>> TIniFile::ReadSectionValues(std::string_view section)
{
    std::lock_guard<std::recursive_mutex> guard(Lock);
    Refresh();
    std::vector<std::pair<std::string, std::string>> values;
    int s = FindSection(Lines, section);
    if (s < 0) return values;
    std::unordered_set<std::string> seen;
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < Lines.size() && Lines[i].Type != TLine::Section; ++i)
        if (Lines[i].Type == TLine::Key && seen.insert(Folded(Lines[i].Name)).second)
            values.emplace_back(Lines[i].Name, Unquote(Lines[i].Value));
    return values;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    CheckSection(Path, section);
    CheckKey(Path, key);
    CheckValue(Path, key, value);
    THold hold(*this);
    Refresh();
    std::vector<TLine> lines = Lines;
    int s = FindSection(lines, section);
    if (s < 0) {
        if (!lines.empty() && !Trim(lines.back().Text).empty()) lines.push_back(ParseLine<TLine>(""));
        lines.push_back(ParseLine<TLine>("[" + std::string(Trim(section)) + "]"));
        s = static_cast<int>(lines.size()) - 1;
    }
    int k = FindKey(lines, s, key);
    if (k >= 0) {
        TLine& line = lines[static_cast<std::size_t>(k)];
        std::string text = line.Name + "=" + std::string(value);
        if (text == line.Text) return; // nothing changes on disk
        line = ParseLine<TLine>(std::move(text));
    } else {
        std::size_t at = SectionEnd(lines, s);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     ParseLine<TLine>(std::string(Trim(key)) + "=" + std::string(value)));
    }
    Save(lines);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key)
{
    THold hold(*this);
    Refresh();
    int s = FindSection(Lines, section);
    int k = s < 0 ? -1 : FindKey(Lines, s, key);
    if (k < 0) return;
    std::vector<TLine> lines = Lines;
    lines.erase(lines.begin() + k);
    Save(lines);
}

void TIniFile::EraseSection(std::string_view section)
{
    THold hold(*this);
    Refresh();
    int s = FindSection(Lines, section);
    if (s < 0) return;
    std::vector<TLine> lines = Lines;
    std::size_t end = static_cast<std::size_t>(s) + 1;
    while (end < lines.size() && lines[end].Type != TLine::Section) ++end;
    lines.erase(lines.begin() + s, lines.begin() + static_cast<std::ptrdiff_t>(end));
    Save(lines);
}

} // namespace tarn
