#include "SafeFile.h"
#include "Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

void ThrowFileError(const std::string& path, const std::string& what, int err)
{
    throw EFileError(path + ": " + what + ": " + std::strerror(err));
}

TSafeFileWriter::TSafeFileWriter(std::string targetPath) : Target(std::move(targetPath))
{
    std::filesystem::path t(Target);
    std::string dir = t.has_parent_path() ? t.parent_path().string() : std::string(".");
    std::string pattern = dir + "/." + t.filename().string() + ".XXXXXX";
    std::string buf = pattern;
    Fd = ::mkstemp(buf.data());
    if (Fd < 0) ThrowFileError(Target, "cannot create a temporary file", errno);
    Temp = buf;
    // Keep the permissions of the file being replaced, else the usual 0644.
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(Target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    ::fchmod(Fd, mode);
}

TSafeFileWriter::~TSafeFileWriter()
{
    if (Fd >= 0) ::close(Fd);
    if (!Committed && !Temp.empty()) ::unlink(Temp.c_str());
}

void TSafeFileWriter::Write(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(Fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(Target, "cannot write", errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void TSafeFileWriter::Commit()
{
    if (::fsync(Fd) != 0) ThrowFileError(Target, "cannot flush", errno);
    int fd = Fd;
    Fd = -1;
    if (::close(fd) != 0) ThrowFileError(Target, "cannot close", errno);
    if (::rename(Temp.c_str(), Target.c_str()) != 0) ThrowFileError(Target, "cannot replace", errno);
    Committed = true;
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    TSafeFileWriter w(path);
    w.Write(data, size);
    w.Commit();
}

} // namespace tarn
