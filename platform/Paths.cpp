#include "Paths.h"
#include "Error.h"

#include <filesystem>
#include <sys/stat.h>

namespace tarn {

namespace fs = std::filesystem;

std::string RealPath(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path.empty() ? "." : path), ec);
    if (ec) p = fs::path(path);
    fs::path real = fs::weakly_canonical(p, ec);
    return (ec ? p.lexically_normal() : real).string();
}

bool LeadsInside(const std::string& folder, const std::string& path)
{
    const fs::path base = fs::path(RealPath(folder)).lexically_normal();
    const fs::path real = fs::path(RealPath(path)).lexically_normal();
    // Below the folder: every part of the folder, then at least one more.
    auto b = base.begin(), r = real.begin();
    for (; b != base.end(); ++b, ++r) {
        if (b->empty() && std::next(b) == base.end()) break;  // a trailing separator
        if (r == real.end() || *r != *b) return false;
    }
    for (; r != real.end(); ++r)
        if (!r->empty()) return true;
    return false;
}

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void ThrowLinkRefused(const std::string& path)
{
    throw EFileError(path + ": это ссылка на другой файл; программа не читает и не записывает файлы через ссылки");
}

} // namespace tarn
