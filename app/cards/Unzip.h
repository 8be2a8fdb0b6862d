#pragma once
// Zip archives of information cards, read from memory with libzip and
// unpacked into a card's private folder. An archive is checked whole before
// anything is written: entry names with "..", absolute paths, drive letters
// or colons, links and special files refuse it, and so do too many entries,
// too many bytes unpacked or a packing ratio no real page reaches. Names are
// UTF-8 when the archive says so, else code page 866; "\" separates folders
// as "/" does (old archives use it).
#include "platform/Error.h"

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

class EZipError : public ETarnError {
public:
    using ETarnError::ETarnError;
};

struct TZipLimits {
    uint32_t MaxEntries = 4096;
    uint64_t MaxTotal = uint64_t(256) << 20;  // bytes unpacked, all entries
    uint32_t MaxRatio = 200;                  // unpacked bytes per packed byte...
    uint64_t RatioFrom = uint64_t(1) << 20;   // ...for entries larger than this
};

// The relative path ("site/img/a.jpg", folders ending in "/") of a name as
// stored, or an empty string and `why` set when the name is refused.
QString SafeRelativePath(const QString& name, QString* why = nullptr);

// Code page 866 (the DOS Cyrillic code page of old archives) to Unicode.
QString Cp866ToQString(std::string_view bytes);

// Unpacks every entry of the archive into `folder` (an existing folder the
// caller owns), recreating stored folders; answers the number of files
// written. A refused archive raises EZipError naming `source`, the entry and
// the reason, and leaves the folder as it was.
int32_t UnzipToFolder(std::string_view archive, const std::string& folder, const std::string& source,
                      const TZipLimits& limits = {});

// The file or folder `name` (relative, checked by SafeRelativePath) inside
// `folder`, each part found exactly or else ignoring case; empty when the
// name is refused or nothing matches. Links are never followed.
std::string FindInFolder(const std::string& folder, const QString& name);

} // namespace tarn
