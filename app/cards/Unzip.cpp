#include "Unzip.h"

#include <zip.h>

#include <QDir>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <vector>

namespace tarn {

namespace {

constexpr int MaxPartBytes = 255;
constexpr int MaxPathBytes = 1024;

// Code page 866 from 0x80 on.
constexpr char16_t Cp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x0401, 0x0451, 0x0404, 0x0454, 0x0407,
    0x0457, 0x040E, 0x045E, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

struct TZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct TFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

[[noreturn]] void Refuse(const std::string& source, const QString& entry, const std::string& why)
{
    std::string message = source;
    if (!entry.isEmpty()) message += ", entry \"" + entry.toStdString() + "\"";
    throw EZipError(message + ": " + why);
}

struct TEntry {
    zip_uint64_t Index;
    QString Path;  // checked, relative
    bool Folder;
    zip_uint64_t Size;
};

QString EntryName(zip_t* z, zip_uint64_t i)
{
    const char* raw = zip_get_name(z, i, ZIP_FL_ENC_RAW);
    if (!raw) return {};
    const std::string_view bytes(raw);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) < 0x80; }))
        return QString::fromLatin1(raw);
    // Read as the archive says, a name marked UTF-8 is the stored bytes;
    // any other comes back converted from the DOS code page.
    const char* strict = zip_get_name(z, i, ZIP_FL_ENC_STRICT);
    if (strict && bytes == strict) return QString::fromUtf8(raw);
    return Cp866ToQString(bytes);
}

bool IsFolderAttribute(zip_t* z, zip_uint64_t i, const QString& entry, const std::string& source)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z, i, 0, &system, &attributes) != 0) return false;
    if (system == ZIP_OPSYS_UNIX) {
        const uint32_t type = (attributes >> 16) & S_IFMT;
        if (type == S_IFLNK) Refuse(source, entry, "a link");
        if (type != 0 && type != S_IFREG && type != S_IFDIR) Refuse(source, entry, "a special file");
        return type == S_IFDIR;
    }
    return (attributes & 0x10) != 0;  // the DOS folder attribute
}

void MakeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0) return;
    struct stat st {};
    if (errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    ThrowFileError(path, "cannot create the folder", errno);
}

} // namespace

QString Cp866ToQString(std::string_view bytes)
{
    QString s;
    s.reserve(qsizetype(bytes.size()));
    for (char c : bytes) s += uint8_t(c) < 0x80 ? QChar(uint8_t(c)) : QChar(Cp866High[uint8_t(c) - 0x80]);
    return s;
}

QString SafeRelativePath(const QString& name, QString* why)
{
    const auto refuse = [why](const char* reason) {
        if (why) *why = QString::fromUtf8(reason);
        return QString();
    };
    QString n = name;
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (n.isEmpty()) return refuse("an empty name");
    for (QChar c : n)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return refuse("a control character in the name");
    if (n.startsWith(QLatin1Char('/'))) return refuse("an absolute path");
    if (n.contains(QLatin1Char(':'))) return refuse("a drive letter or a colon in the name");
    const bool folder = n.endsWith(QLatin1Char('/'));
    QStringList parts;
    for (const QString& part : n.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) return refuse("\"..\" in the name");
        if (part.toUtf8().size() > MaxPartBytes) return refuse("a name part longer than 255 bytes");
        parts += part;
    }
    if (parts.isEmpty()) return refuse("a name of no file");
    QString path = parts.join(QLatin1Char('/'));
    if (folder) path += QLatin1Char('/');
    if (path.toUtf8().size() > MaxPathBytes) return refuse("a path longer than 1024 bytes");
    if (why) why->clear();
    return path;
}

int32_t UnzipToFolder(std::string_view archive, const std::string& folder, const std::string& source,
                      const TZipLimits& limits)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    if (!src) Refuse(source, {}, zip_error_strerror(&error));
    std::unique_ptr<zip_t, TZipCloser> z(zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!z) {
        zip_source_free(src);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        Refuse(source, {}, "not a readable zip archive (" + why + ")");
    }
    zip_error_fini(&error);

    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    if (count < 0) Refuse(source, {}, "no entry table");
    if (uint64_t(count) > limits.MaxEntries)
        Refuse(source, {}, std::to_string(count) + " entries, more than " + std::to_string(limits.MaxEntries));

    // Every entry is checked before the first byte is written.
    std::vector<TEntry> entries;
    uint64_t total = 0;
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        const QString name = EntryName(z.get(), i);
        QString why;
        const QString path = SafeRelativePath(name, &why);
        if (path.isEmpty()) Refuse(source, name, why.toStdString());
        const bool folder = IsFolderAttribute(z.get(), i, name, source) || path.endsWith(QLatin1Char('/'));
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(z.get(), i, 0, &st) != 0) Refuse(source, name, zip_strerror(z.get()));
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
            Refuse(source, name, "encrypted");
        if (folder) {
            entries.push_back({i, path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'), true, 0});
            continue;
        }
        if (!zip_compression_method_supported(st.comp_method, 0)) Refuse(source, name, "an unknown packing method");
        total += st.size;
        if (total > limits.MaxTotal)
            Refuse(source, name, "more than " + std::to_string(limits.MaxTotal) + " bytes unpacked");
        if (st.size > limits.RatioFrom && st.size / std::max<zip_uint64_t>(st.comp_size, 1) >= limits.MaxRatio)
            Refuse(source, name, "packed more than " + std::to_string(limits.MaxRatio) + " to 1");
        entries.push_back({i, path, false, st.size});
    }

    std::vector<std::string> written;
    try {
        std::vector<char> buffer(1 << 16);
        for (const TEntry& e : entries) {
            const QStringList parts = e.Path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
            std::string at = folder;
            for (qsizetype p = 0; p + (e.Folder ? 0 : 1) < parts.size(); ++p) {
                at += "/" + parts[p].toStdString();
                MakeFolder(at);
            }
            if (e.Folder) continue;
            const std::string file = folder + "/" + e.Path.toStdString();
            std::unique_ptr<zip_file_t, TFileCloser> in(zip_fopen_index(z.get(), e.Index, 0));
            if (!in) Refuse(source, e.Path, zip_strerror(z.get()));
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) ThrowFileError(file, "cannot create the file", errno);
            written.push_back(file);
            struct TFd {
                int Fd;
                ~TFd() { ::close(Fd); }
            } closer{fd};
            uint64_t got = 0;
            for (;;) {
                const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
                if (n < 0) Refuse(source, e.Path, std::string("damaged: ") + zip_file_strerror(in.get()));
                if (n == 0) break;
                got += uint64_t(n);
                if (got > e.Size) Refuse(source, e.Path, "more bytes than its size says");
                for (zip_int64_t done = 0; done < n;) {
                    const ssize_t w = ::write(fd, buffer.data() + done, std::size_t(n - done));
                    if (w < 0 && errno == EINTR) continue;
                    if (w <= 0) ThrowFileError(file, "cannot write", errno);
                    done += w;
                }
            }
            if (got != e.Size) Refuse(source, e.Path, "fewer bytes than its size says");
        }
    } catch (...) {
        for (const std::string& f : written) ::unlink(f.c_str());
        throw;
    }
    return int32_t(std::count_if(entries.begin(), entries.end(), [](const TEntry& e) { return !e.Folder; }));
}

std::string FindInFolder(const std::string& folder, const QString& name)
{
    const QString path = SafeRelativePath(name);
    if (path.isEmpty()) return {};
    std::string at = folder;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const std::string exact = at + "/" + part.toStdString();
        struct stat st {};
        if (::lstat(exact.c_str(), &st) == 0) {
            if (S_ISLNK(st.st_mode)) return {};
            at = exact;
            continue;
        }
        // The first name that differs only in case, in sorted order.
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(at.c_str()), ::closedir);
        if (!dir) return {};
        std::string best;
        while (const dirent* d = ::readdir(dir.get())) {
            const QString candidate = QString::fromUtf8(d->d_name);
            if (candidate.compare(part, Qt::CaseInsensitive) == 0 && (best.empty() || d->d_name < best)) best = d->d_name;
        }
        if (best.empty()) return {};
        at += "/" + best;
        if (::lstat(at.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return {};
    }
    return at;
}

} // namespace tarn
