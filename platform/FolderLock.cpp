#include "FolderLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarn {

TFolderLock::TFolderLock(const std::string& folder)
{
    std::string dir = folder.empty() ? std::string(".") : folder;
    if (dir.back() == '/') dir.pop_back();
    const std::string path = dir + "/" + FileName;
    // Never through a link: the lock belongs to this folder.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    // Another user's lock file can still be locked when it can be read.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        Why = "Папку " + dir + " нельзя закрепить за этой копией программы (" + path + ": " + std::strerror(errno) +
              "): знаки и проект в ней не будут изменены";
        return;
    }
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        const int err = errno;
        ::close(fd);
        Why = err == EWOULDBLOCK
                  ? "Из папки " + dir + " уже запущена другая копия программы: в этой копии знаки и проект "
                                        "не могут быть изменены"
                  : "Папку " + dir + " нельзя закрепить за этой копией программы (" + path + ": " +
                        std::strerror(err) + "): знаки и проект в ней не будут изменены";
        return;
    }
    Fd = fd;
}

TFolderLock::~TFolderLock()
{
    if (Fd >= 0) ::close(Fd);  // closing lets go of the lock
}

} // namespace tarn
