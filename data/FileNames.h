#pragma once
// Names of files taken from files (sheets, pictures, the symbol library)
// resolve inside the project's folder: a name never leads above it, neither
// by ".." nor through a link (of the file or of a folder on the way), and is
// never looked for in the process's current directory. A part of a name
// that does not exist as written is looked up without regard to letter
// case; each folder is listed once for as long as one TFolderNames lives
// (one load), however many names are looked up in it.
#include "data/Errors.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tarn {

// A stored name whose ".." parts, or a link on its way, lead out of its folder.
class EOutsideFolder : public ETarnError {
public:
    using ETarnError::ETarnError;
};

// A stored name (possibly written on Windows: "C:\CITY\TARN.MAP",
// "maps\north.map") as a path relative to its folder with "/" separators.
// Absolute names and names with a drive letter keep only their file name;
// "." parts go, and ".." takes back the part before it. EOutsideFolder when
// ".." would leave the folder, or nothing but folders is left.
std::string NameInFolder(std::string_view storedName);

class TFolderNames {
public:
    // The full path of a stored name inside folder (see NameInFolder);
    // EOutsideFolder when a link on its way leads out.
    std::string Resolve(const std::string& folder, std::string_view storedName);
    // The path as given when its file exists; otherwise the one entry of its
    // folder whose name differs only in letter case, if any; otherwise the
    // path as given.
    std::string Find(const std::string& path);
    // How many folders were listed.
    int32_t Listed() const { return ListedCount; }

private:
    struct TListing {
        std::unordered_map<std::string, std::string> Exact;     // name -> name
        std::unordered_map<std::string, std::string> Folded;    // upper-cased name -> name; "" when two match
        std::unordered_set<std::string> Links;                  // entries that are links
    };
    const TListing& Listing(const std::string& folder);
    // The entry of folder named name, exactly or else in another case; "" when none or several.
    std::string Match(const std::string& folder, const std::string& name);

    std::unordered_map<std::string, TListing> Folders;
    int32_t ListedCount = 0;
};

} // namespace tarn
