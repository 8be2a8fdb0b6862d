#include "FileNames.h"
#include "Utils.h"
#include "_Common.h"
#include "platform/Paths.h"

#include <algorithm>
#include <filesystem>

namespace tarn {

namespace fs = std::filesystem;

std::string NameInFolder(std::string_view storedName)
{
    std::string name(storedName);
    std::replace(name.begin(), name.end(), '\\', '/');
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (drive || (!name.empty() && name[0] == '/')) name = FileNamePart(name);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        if (part == "..") {
            if (parts.empty())
                throw EOutsideFolder("\"" + std::string(storedName) + "\": путь ведёт за пределы папки проекта");
            parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    if (parts.empty() && !name.empty())
        throw EOutsideFolder("\"" + std::string(storedName) + "\": это папка проекта, а не файл в ней");
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

const TFolderNames::TListing& TFolderNames::Listing(const std::string& folder)
{
    auto found = Folders.find(folder);
    if (found != Folders.end()) return found->second;
    TListing& l = Folders[folder];
    ++ListedCount;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string entry = it->path().filename().string();
        // The type comes with the listing on most file systems: no call per entry.
        if (it->is_symlink(ec)) l.Links.insert(entry);
        ec.clear();
        l.Exact.emplace(entry, entry);
        auto [slot, added] = l.Folded.emplace(RusUpperCase(entry), entry);
        if (!added) slot->second.clear();
    }
    return l;
}

std::string TFolderNames::Match(const std::string& folder, const std::string& name)
{
    const TListing& l = Listing(folder);
    if (l.Exact.count(name)) return name;
    auto f = l.Folded.find(RusUpperCase(name));
    return f == l.Folded.end() ? std::string() : f->second;
}

std::string TFolderNames::Find(const std::string& path)
{
    if (path.empty()) return path;
    fs::path p(path);
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : std::string();
    const std::string name = p.filename().string();
    if (name.empty() || name == "." || name == "..") return path;
    std::string match = Match(folder, name);
    if (match.empty() || match == name) return path;
    return (p.parent_path() / match).string();
}

std::string TFolderNames::Resolve(const std::string& folder, std::string_view storedName)
{
    const std::string relative = NameInFolder(storedName);
    fs::path found = folder;
    if (relative.empty()) return found.string();
    for (const fs::path& part : fs::path(relative)) {
        const std::string at = found.string();
        std::string match = Match(at, part.string());
        found /= match.empty() ? part : fs::path(match);
        // A link is followed only when it leads inside; a folder it leads
        // out to is not even listed.
        if (!match.empty() && Listing(at).Links.count(match) && !LeadsInside(folder, found.string()))
            throw EOutsideFolder("\"" + std::string(storedName) + "\": ссылка ведёт за пределы папки проекта");
    }
    return found.string();
}

} // namespace tarn
