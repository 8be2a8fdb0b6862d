#pragma once
// Ini files with the private-profile rules the stored settings were written
// under: section and key names are trimmed and compared without regard to
// case (Latin and Cyrillic, code page 1251), values are trimmed and lose one
// pair of enclosing quotes, a missing file or key gives the default, and the
// file is created by the first write. Bytes are passed through unchanged.
//
// Every user of one path shares one TIniFile, so writes are seen at once;
// each write replaces the file atomically before the call returns, and a
// file changed on disk by someone else is read again before the next access.
// A write re-reads, changes and replaces the file under an advisory lock on
// a lock file beside it (".name.lock"), so two running copies of the
// program lose none of each other's keys; Hold keeps that lock across a
// sequence of reads and writes. Only a regular file of at most MaxSize
// bytes is read: a pipe, a device or a link named like the file is
// refused, and nothing is written through a link. A write also removes what
// killed writes left in the folder.
#include "Error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarn {

// A name or value that cannot be stored without breaking the file (a line
// break, "=" in a key, "]" in a section name, an empty name).
class EIniError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

class TIniFile {
public:
    static constexpr std::size_t NoLimit = static_cast<std::size_t>(-1);
    static constexpr int64_t MaxSize = int64_t(4) << 20;

    // The file held for this process and against other programs while it
    // lives; the file is read afresh when the outermost hold is taken.
    class THold {
    public:
        explicit THold(TIniFile& ini);
        ~THold();
        THold(const THold&) = delete;
        THold& operator=(const THold&) = delete;

    private:
        TIniFile& Ini;
    };
    THold Hold() { return THold(*this); }

    // The shared instance for path (made absolute). Nothing is read or
    // created until the first call.
    static std::shared_ptr<TIniFile> Open(const std::string& path);

    const std::string& FileName() const { return Path; }

    // At most maxLength bytes of the value; def (less its trailing blanks)
    // when the section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def,
                           std::size_t maxLength = NoLimit);
    // The value converted as the profile functions do: leading blanks, an
    // optional sign, then decimal digits up to the first other character (0
    // when there are none, wrapping like a 32-bit register); def when the key
    // is missing or its value is empty.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def);
    bool SectionExists(std::string_view section);
    bool ValueExists(std::string_view section, std::string_view key);
    // Section names, and the keys of one section, in file order.
    std::vector<std::string> ReadSections();
    std::vector<std::string> ReadSectionKeys(std::string_view section);
    // The keys of one section with their values (as ReadString gives them).
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section);

    // Each writes the whole file through a temporary file before returning;
    // EFileError when it cannot be written (memory and disk then unchanged),
    // EIniError for names or values that cannot be stored.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

    struct TOpenKey; // only Open makes instances
    TIniFile(std::string path, const TOpenKey&);
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

private:
    struct TLine {
        std::string Text;  // the line as it stands in the file
        std::string Name;  // section or key name, trimmed; empty for other lines
        std::string Value; // key value, trimmed
        enum Kind : uint8_t { Other, Section, Key } Type = Other;
    };

    void Refresh();
    void Save(std::vector<TLine>& lines);
    void TakeFileLock();
    void DropFileLock();

    std::string Path;
    std::recursive_mutex Lock;
    int HoldDepth = 0;
    int LockFd = -1;
    std::vector<TLine> Lines;
    bool Loaded = false;
    // What the file looked like when last read or written, to notice changes.
    int64_t StampTime = -1;
    int64_t StampSize = -1;
    uint64_t StampInode = 0;
};

// The profile functions' integer conversion (see ReadInteger); text is the value.
int32_t ParseProfileInt(std::string_view text);

} // namespace tarn
