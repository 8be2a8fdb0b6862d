#include "TempFolders.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

namespace tarn {

namespace {

int OpenFolder(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool TryLock(int fd)
{
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    return rc == 0;
}

} // namespace

const std::vector<std::string>& TOwnedTempFolder::Prefixes()
{
    static const std::vector<std::string> prefixes = {"tarn-card-", "tarn-sound-"};
    return prefixes;
}

TOwnedTempFolder::TOwnedTempFolder(const std::string& tempDir, const std::string& prefix)
{
    std::string pattern = tempDir + "/" + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        Why = pattern + ": " + std::strerror(errno);
        return;
    }
    // Locked before it is marked: a marked folder without a lock is never
    // one being made.
    Fd = OpenFolder(pattern);
    const int marker = Fd >= 0 && TryLock(Fd)
                           ? ::open((pattern + "/" + Marker).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600)
                           : -1;
    if (marker < 0) {
        Why = pattern + ": " + std::strerror(errno);
        if (Fd >= 0) ::close(Fd);
        Fd = -1;
        std::error_code ec;
        std::filesystem::remove_all(pattern, ec);
        return;
    }
    // The owner's process id, for a person who looks.
    const std::string pid = std::to_string(::getpid()) + "\n";
    (void)!::write(marker, pid.data(), pid.size());
    ::close(marker);
    Dir = pattern;
}

TOwnedTempFolder::~TOwnedTempFolder()
{
    if (!Dir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    if (Fd >= 0) ::close(Fd);
}

int RemoveStaleTempFolders(const std::string& tempDir)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(tempDir.c_str()), ::closedir);
    if (!dir) return 0;
    std::vector<std::string> names;
    while (const dirent* d = ::readdir(dir.get())) {
        const std::string name = d->d_name;
        for (const std::string& p : TOwnedTempFolder::Prefixes())
            if (name.size() > p.size() && name.compare(0, p.size(), p) == 0) names.push_back(name);
    }
    int removed = 0;
    for (const std::string& name : names) {
        const std::string path = tempDir + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
        const int fd = OpenFolder(path);
        if (fd < 0) continue;
        struct stat marker {};
        // The lock is taken while the folder goes: two programs starting
        // at once never remove one folder twice.
        if (::fstatat(fd, TOwnedTempFolder::Marker, &marker, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(marker.st_mode) &&
            TryLock(fd)) {
            std::error_code ec;
            removed += std::filesystem::remove_all(path, ec) > 0;
        }
        ::close(fd);
    }
    return removed;
}

} // namespace tarn
