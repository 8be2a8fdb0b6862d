#pragma once
// Writing files without ever losing the old one: the bytes go to a private
// temporary file in the target's folder, are flushed, and only then renamed
// over the target.
#include <cstddef>
#include <string>
#include <string_view>

namespace tarn {

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
    // Flushes, closes and renames over the target. Throws on failure.
    void Commit();
    const std::string& TempPath() const { return Temp; }

private:
    std::string Target;
    std::string Temp;
    int Fd = -1;
    bool Committed = false;
};

} // namespace tarn
