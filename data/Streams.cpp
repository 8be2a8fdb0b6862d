#include "Streams.h"
#include "Errors.h"
#include "platform/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

void TStream::Fail(const char* field, const std::string& message) const
{
    ThrowFormat(StreamName, Position(), field, message);
}

void TStream::Require(uint64_t n, const char* field) const
{
    uint64_t left = static_cast<uint64_t>(Remaining());
    if (n > left)
        Fail(field, "unexpected end of data (" + std::to_string(n) + " bytes needed, " +
                        std::to_string(left) + " left)");
}

void TStream::ReadBufferSlow(void* buffer, std::size_t n, const char* field)
{
    if (n == 0) return;
    Require(n, field);
    if (Read(buffer, n) != n) Fail(field, "unexpected end of data");
}

void TStream::Skip(uint64_t n, const char* field)
{
    Require(n, field);
    Seek(Position() + static_cast<int64_t>(n));
}

double TStream::readF64LE(const char* field)
{
    uint8_t b[8];
    ReadBuffer(b, 8, field);
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}

std::string TStream::readBytes(std::size_t n, const char* field)
{
    Require(n, field);
    std::string s(n, '\0');
    ReadBuffer(s.data(), n, field);
    return s;
}

void TStream::writeU16LE(uint16_t v)
{
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    Write(b, 2);
}

void TStream::writeU32LE(uint32_t v)
{
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Write(b, 4);
}

void TStream::writeF64LE(double v)
{
    uint64_t u;
    std::memcpy(&u, &v, 8);
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = uint8_t(u >> (8 * i));
    Write(b, 8);
}

// --- memory stream ---

std::size_t TMemoryStream::Read(void* buffer, std::size_t n)
{
    const std::size_t pos = Cur();
    if (pos >= Data.size()) return 0;
    std::size_t k = std::min(n, Data.size() - pos);
    std::memcpy(buffer, Data.data() + pos, k);
    Sync(pos + k);
    return k;
}

void TMemoryStream::Write(const void* buffer, std::size_t n)
{
    if (n == 0) return;
    const std::size_t pos = Cur();
    if (pos + n > Data.size()) Data.resize(pos + n);
    std::memcpy(Data.data() + pos, buffer, n);
    Sync(pos + n);
}

void TMemoryStream::Seek(int64_t position)
{
    if (position < 0) Fail(nullptr, "seek before the start");
    // Seeking past the end is allowed; a later write fills the gap with zeros.
    Sync(static_cast<std::size_t>(position));
}

void TMemoryStream::SetSize(std::size_t n)
{
    const std::size_t pos = std::min(Cur(), n);
    Data.resize(n);
    Sync(pos);
}

void TMemoryStream::LoadFromFile(const std::string& path)
{
    TFileStream f(path, TFileStream::Mode::Read);
    std::string bytes(static_cast<std::size_t>(f.Size()), '\0');
    if (!bytes.empty()) f.ReadBuffer(bytes.data(), bytes.size());
    Data = std::move(bytes);
    Sync(0);
    SetName(path);
}

void TMemoryStream::SaveToFile(const std::string& path) const
{
    WriteFileAtomically(path, Data.data(), Data.size());
}

// --- file stream ---

TFileStream::TFileStream(const std::string& path, Mode mode)
{
    SetName(path);
    int flags = mode == Mode::Read ? O_RDONLY
                : mode == Mode::ReadWrite ? O_RDWR
                : mode == Mode::OpenOrCreate ? O_RDWR | O_CREAT
                : O_RDWR | O_CREAT | O_TRUNC;
    // Not blocking: a pipe is refused below instead of waiting for a writer.
    int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) ThrowFileError(path, "не удалось открыть файл", errno);
    F = ::fdopen(fd, mode == Mode::Read ? "rb" : "r+b");
    if (!F) {
        int err = errno;
        ::close(fd);
        ThrowFileError(path, "не удалось открыть файл", err);
    }
    struct stat st {};
    if (::fstat(fileno(F), &st) != 0) {
        int err = errno;
        std::fclose(F);
        ThrowFileError(path, "не удалось узнать размер файла", err);
    }
    if (S_ISDIR(st.st_mode)) {
        std::fclose(F);
        ThrowFileError(path, "не удалось открыть файл", EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        std::fclose(F);
        throw EFileError(path + ": не обычный файл");
    }
    CachedSize = st.st_size;
}

TFileStream::~TFileStream()
{
    if (F) std::fclose(F);
}

void TFileStream::Switch(LastOp op)
{
    // stdio needs a seek between a read and a write on the same stream.
    if (Last != op && Last != LastOp::None) ::fseeko(F, static_cast<off_t>(Pos), SEEK_SET);
    Last = op;
}

std::size_t TFileStream::Read(void* buffer, std::size_t n)
{
    Switch(LastOp::Read);
    std::size_t k = std::fread(buffer, 1, n, F);
    Pos += static_cast<int64_t>(k);
    return k;
}

void TFileStream::Write(const void* buffer, std::size_t n)
{
    if (n == 0) return;
    Switch(LastOp::Write);
    if (std::fwrite(buffer, 1, n, F) != n) ThrowFileError(Name(), "не удалось записать файл", errno);
    Pos += static_cast<int64_t>(n);
    if (Pos > CachedSize) CachedSize = Pos;
}

int64_t TFileStream::Position() const { return Pos; }

void TFileStream::Seek(int64_t position)
{
    if (position < 0) Fail(nullptr, "seek before the start");
    if (::fseeko(F, static_cast<off_t>(position), SEEK_SET) != 0)
        ThrowFileError(Name(), "не удалось перейти к месту в файле", errno);
    Pos = position;
    Last = LastOp::None;
}

int64_t TFileStream::Size() const { return CachedSize; }

int64_t TFileStream::HoleBytes(int64_t from, int64_t to, int64_t& firstHole)
{
    firstHole = -1;
    if (std::fflush(F) != 0) ThrowFileError(Name(), "не удалось записать файл", errno);
    const int fd = fileno(F);
    const off_t saved = ::lseek(fd, 0, SEEK_CUR);
    if (saved < 0) return 0;
    int64_t holes = 0;
    // A file system that keeps no holes answers the end of the file.
    for (int64_t at = std::max<int64_t>(from, 0); at < to;) {
        const off_t hole = ::lseek(fd, static_cast<off_t>(at), SEEK_HOLE);
        if (hole < 0 || hole >= to) break;
        off_t data = ::lseek(fd, hole, SEEK_DATA);
        const int64_t end = data < 0 ? to : std::min<int64_t>(data, to);
        if (firstHole < 0) firstHole = hole;
        holes += end - hole;
        at = end;
    }
    // stdio keeps its own idea of where the file is: give it back.
    ::lseek(fd, saved, SEEK_SET);
    return holes;
}

void TFileStream::Flush()
{
    if (std::fflush(F) != 0) ThrowFileError(Name(), "не удалось записать файл", errno);
}

// --- file reader ---

TFileReader::TFileReader(const std::string& path, std::size_t bufferSize)
{
    SetName(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) ThrowFileError(path, "не удалось открыть файл", errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        ThrowFileError(path, "не удалось узнать размер файла", err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFileError(path + ": не обычный файл");
    }
    Fd = fd;
    FileSize = st.st_size;
    Buf.resize(static_cast<std::size_t>(std::min<int64_t>(int64_t(bufferSize), std::max<int64_t>(FileSize, 1))));
    WinCur = WinEnd = Buf.data();
}

TFileReader::~TFileReader()
{
    if (Fd >= 0) ::close(Fd);
}

std::size_t TFileReader::Read(void* buffer, std::size_t n)
{
    char* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        std::size_t have = static_cast<std::size_t>(WinEnd - WinCur);
        if (have > 0) {
            std::size_t k = std::min(have, n - done);
            std::memcpy(out + done, WinCur, k);
            WinCur += k;
            done += k;
            continue;
        }
        // Refill from the position; a read larger than the buffer goes straight through.
        const int64_t at = Position();
        if (at >= FileSize) break;
        char* to = n - done >= Buf.size() ? out + done : Buf.data();
        std::size_t want = to == Buf.data() ? Buf.size() : n - done;
        ssize_t got = ::pread(Fd, to, want, static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowFileError(Name(), "не удалось прочитать файл", errno);
        }
        if (got == 0) break;
        BufStart = at;
        WinCur = WinEnd = Buf.data();
        if (to == Buf.data()) {
            WinEnd = Buf.data() + got;
        } else {
            BufStart = at + got;
            done += static_cast<std::size_t>(got);
        }
    }
    return done;
}

void TFileReader::Write(const void*, std::size_t) { throw EFileError(Name() + ": opened for reading only"); }

void TFileReader::Seek(int64_t position)
{
    if (position < 0) Fail(nullptr, "seek before the start");
    if (position >= BufStart && position <= BufStart + (WinEnd - Buf.data())) {
        WinCur = Buf.data() + (position - BufStart);
        return;
    }
    BufStart = position;
    WinCur = WinEnd = Buf.data();
}

TFileStream* OpenOrCreateFileStream(const std::string& name)
{
    // One open call without truncation: an existing file is never replaced.
    return new TFileStream(name, TFileStream::Mode::OpenOrCreate);
}

} // namespace tarn
