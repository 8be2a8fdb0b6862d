#include "SafeFile.h"
#include "Error.h"
#include "Paths.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

std::mutex HookLock;
TWriteFaultHook& Hook()
{
    static TWriteFaultHook hook;
    return hook;
}

int Fault(const std::string& target, TWriteStep step)
{
    std::lock_guard<std::mutex> guard(HookLock);
    return Hook() ? Hook()(target, step) : 0;
}

std::string FolderOf(const std::string& path)
{
    std::filesystem::path t(path);
    return t.has_parent_path() ? t.parent_path().string() : std::string(".");
}

// ".name." followed by six letters or digits, what mkstemp makes of our
// pattern, answered with the name; empty for any other entry.
std::string TemporaryTarget(const std::string& entry)
{
    if (entry.size() < 9 || entry[0] != '.') return std::string();
    const std::size_t dot = entry.size() - 7;
    if (entry[dot] != '.' || dot < 2) return std::string();
    for (std::size_t i = dot + 1; i < entry.size(); ++i)
        if (!std::isalnum(static_cast<unsigned char>(entry[i]))) return std::string();
    return entry.substr(1, dot - 1);
}

// A free name of our temporary form beside target, taken by a hard link to it.
std::string LinkBeside(const std::string& target)
{
    static thread_local std::mt19937 rng(std::random_device{}());
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string base = FolderOf(target) + "/." + std::filesystem::path(target).filename().string() + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = base;
        for (int i = 0; i < 6; ++i) name += letters[rng() % (sizeof letters - 1)];
        if (::link(target.c_str(), name.c_str()) == 0) return name;
        if (errno != EEXIST) return std::string();
    }
    return std::string();
}

} // namespace

void ThrowFileError(const std::string& path, const std::string& what, int err)
{
    throw EFileError(path + ": " + what + ": " + std::strerror(err));
}

void SetWriteFaultHook(TWriteFaultHook hook)
{
    std::lock_guard<std::mutex> guard(HookLock);
    Hook() = std::move(hook);
}

void CheckReplaceable(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;  // a new file, or reported when it is written
    // Renaming over a link would cut it off from the file it names.
    if (S_ISLNK(st.st_mode)) ThrowLinkRefused(path);
    if (!S_ISREG(st.st_mode)) throw EFileError(path + ": не обычный файл, он не будет заменён");
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw EFileError(path + ": файл только для чтения, он не будет заменён");
}

TSafeFileWriter::TSafeFileWriter(std::string targetPath) : Target(std::move(targetPath))
{
    CheckReplaceable(Target);
    const std::string pattern = FolderOf(Target) + "/." + std::filesystem::path(Target).filename().string() + ".XXXXXX";
    // Held while the file lives, so another save in the folder sees that it
    // is not a leftover. Another program's clean-up may take the new file
    // for one before it is held: then it is made again.
    for (int attempt = 0; Fd < 0; ++attempt) {
        std::string buf = pattern;
        int fd = ::mkstemp(buf.data());
        if (fd < 0) ThrowFileError(Target, "не удалось создать временный файл", errno);
        // A folder without locks (some network folders) keeps the file unlocked.
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat held {}, named {};
        if (!taken && ::fstat(fd, &held) == 0 && ::lstat(buf.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
            held.st_dev == named.st_dev) {
            Fd = fd;
            Temp = buf;
            break;
        }
        ::close(fd);
        if (attempt == 10) ThrowFileError(Target, "не удалось создать временный файл", EEXIST);
    }
    // Keep the permissions of the file being replaced, else the usual 0644.
    struct stat st {};
    mode_t mode = 0644;
    if (::stat(Target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    ::fchmod(Fd, mode);
    if (int err = Fault(Target, TWriteStep::Write)) {
        ::unlink(Temp.c_str());
        ::close(Fd);
        ThrowFileError(Target, "не удалось записать файл", err);
    }
}

TSafeFileWriter::~TSafeFileWriter()
{
    if (!Committed && !Temp.empty()) ::unlink(Temp.c_str());
    if (Fd >= 0) ::close(Fd);
}

void TSafeFileWriter::Write(const void* data, std::size_t size)
{
    if (Fd < 0 || Flushed) throw EFileError(Target + ": written after it was flushed");
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(Fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(Target, "не удалось записать файл", errno);
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

void TSafeFileWriter::Flush()
{
    if (Flushed) return;
    if (::fsync(Fd) != 0) ThrowFileError(Target, "не удалось записать файл на диск", errno);
    Flushed = true;
}

void TSafeFileWriter::Rename()
{
    if (int err = Fault(Target, TWriteStep::Replace)) ThrowFileError(Target, "не удалось заменить файл", err);
    if (::rename(Temp.c_str(), Target.c_str()) != 0) ThrowFileError(Target, "не удалось заменить файл", errno);
    Committed = true;
    int fd = Fd;
    Fd = -1;
    ::close(fd);  // the data is on the disk: a late close error changes nothing
}

void TSafeFileWriter::Commit()
{
    Flush();
    Rename();
}

void WriteFileAtomically(const std::string& path, const void* data, std::size_t size)
{
    TSafeFileWriter w(path);
    w.Write(data, size);
    w.Commit();
}

// ---------------------------------------------------------------- batches

TSafeFileBatch::~TSafeFileBatch() = default;

TSafeFileWriter& TSafeFileBatch::Add(const std::string& target)
{
    for (const auto& f : Files)
        if (f->Target == target) throw EFileError(target + ": written twice by one save");
    Files.push_back(std::make_unique<TSafeFileWriter>(target));
    return *Files.back();
}

void TSafeFileBatch::Add(const std::string& target, std::string_view bytes)
{
    Add(target).Write(bytes.data(), bytes.size());
}

void TSafeFileBatch::Commit()
{
    for (auto& f : Files) f->Flush();
    // The old files stay reachable under names of our own (locked, so no
    // other save takes them for leftovers) until every new one is in place.
    std::vector<std::string> kept(Files.size());
    std::vector<bool> existed(Files.size());
    std::vector<int> locks;
    auto release = [&](std::size_t from) {
        for (std::size_t i = from; i < kept.size(); ++i)
            if (!kept[i].empty()) ::unlink(kept[i].c_str());
        for (int fd : locks) ::close(fd);
    };
    for (std::size_t i = 0; i < Files.size(); ++i) {
        struct stat st {};
        if (::stat(Files[i]->Target.c_str(), &st) != 0) continue;
        existed[i] = true;
        kept[i] = LinkBeside(Files[i]->Target);
        if (kept[i].empty()) continue;
        int fd = ::open(kept[i].c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            locks.push_back(fd);
        }
    }
    std::size_t done = 0;
    try {
        for (; done < Files.size(); ++done) Files[done]->Rename();
    } catch (...) {
        for (std::size_t i = 0; i < done; ++i) {
            // An old file no link could keep (a folder without hard links)
            // cannot come back: its new version stays rather than nothing.
            if (!kept[i].empty()) ::rename(kept[i].c_str(), Files[i]->Target.c_str());
            else if (!existed[i]) ::unlink(Files[i]->Target.c_str());
        }
        release(done);
        Files.clear();  // the temporaries go at once
        throw;
    }
    release(0);
    Files.clear();
}

int RemoveLeftoverTemporaries(const std::string& folder)
{
    int removed = 0;
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return 0;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const std::string target = TemporaryTarget(name);
        if (target.empty()) continue;
        const std::string dir = folder.empty() ? std::string(".") : folder;
        // A user's hidden file may look like ours (".bashrc.backup"); ours
        // stand beside the file they replace.
        struct stat targetStat {};
        if (::lstat((dir + "/" + target).c_str(), &targetStat) != 0 || !S_ISREG(targetStat.st_mode)) continue;
        const std::string path = dir + "/" + name;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0) continue;
        struct stat st {};
        // Only a regular file nobody holds: a save in progress keeps its lock.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (::unlink(path.c_str()) == 0) ++removed;
        }
        ::close(fd);
    }
    ::closedir(d);
    return removed;
}

} // namespace tarn
