#pragma once
// Writing files without ever losing the old one: the bytes go to a private
// temporary file in the target's folder (".name.XXXXXX", locked while it
// lives), are flushed, and only then renamed over the target. A target that
// is read-only or not a regular file is refused before a byte is written.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// Refuses (EFileError naming the file) a target that exists and is
// read-only (no write permission bits, whoever runs the program) or is not
// a regular file.
void CheckReplaceable(const std::string& path);

// Replaces (or creates) `path` with exactly `size` bytes from `data`.
// Throws EFileError and leaves any existing file untouched on failure.
void WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

inline void WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    WriteFileAtomically(path, bytes.data(), bytes.size());
}

// A temporary file beside a target that is renamed into place by Commit();
// removed by the destructor when not committed.
class TSafeFileWriter {
public:
    explicit TSafeFileWriter(std::string targetPath);
    ~TSafeFileWriter();
    TSafeFileWriter(const TSafeFileWriter&) = delete;
    TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;

    void Write(const void* data, std::size_t size);
    // Flushes the bytes to the disk; the file stays open (and locked)
    // until it is renamed or dropped.
    void Flush();
    // Flushes when not yet flushed, then renames over the target. Throws on failure.
    void Commit();
    const std::string& TempPath() const { return Temp; }
    const std::string& TargetPath() const { return Target; }

private:
    friend class TSafeFileBatch;
    void Rename();

    std::string Target;
    std::string Temp;
    int Fd = -1;
    bool Flushed = false;
    bool Committed = false;
};

// Files replaced together, all or nothing: each is written to its
// temporary file and flushed; only when every one is written are they
// renamed into place. A failure before that removes the temporaries and
// leaves every old file; a rename that fails puts back the files already
// replaced (where the folder takes a hard link to keep the old one).
class TSafeFileBatch {
public:
    TSafeFileBatch() = default;
    ~TSafeFileBatch();
    TSafeFileBatch(const TSafeFileBatch&) = delete;
    TSafeFileBatch& operator=(const TSafeFileBatch&) = delete;

    // A new file of the batch, to write into.
    TSafeFileWriter& Add(const std::string& target);
    void Add(const std::string& target, std::string_view bytes);
    void Commit();
    std::size_t Count() const { return Files.size(); }

private:
    std::vector<std::unique_ptr<TSafeFileWriter>> Files;
};

// Removes from folder the temporary files of our own naming (".name.XXXXXX",
// beside a file "name") that a killed save left; those a running save still
// holds stay. Answers
// how many were removed; never throws.
int RemoveLeftoverTemporaries(const std::string& folder);

// For tests that simulate a full disk or a failing rename: the hook runs
// before each file's bytes are written (Write) and before each rename
// (Replace); an errno other than 0 fails that step as the system would.
enum class TWriteStep { Write, Replace };
using TWriteFaultHook = std::function<int(const std::string& target, TWriteStep step)>;
void SetWriteFaultHook(TWriteFaultHook hook);

} // namespace tarn
