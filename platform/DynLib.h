#pragma once
// Dynamic libraries (the symbol library): an owned handle over dlopen.
// Names are resolved against a given folder, never against the current
// directory or the system's search path.
#include <string>

namespace tarn {

class TDynLib {
public:
    TDynLib() = default;
    ~TDynLib();
    TDynLib(TDynLib&& other) noexcept;
    TDynLib& operator=(TDynLib&& other) noexcept;
    TDynLib(const TDynLib&) = delete;
    TDynLib& operator=(const TDynLib&) = delete;

    // Closes what was open, then loads `path`, which must name a file by a
    // path with a folder in it. Every symbol is bound now, so a library that
    // needs something missing fails here rather than when called. False on
    // failure, with the loader's reason in LastError().
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return Handle != nullptr; }
    // Address of an exported name, null when absent.
    void* Symbol(const char* name) const;
    const std::string& Path() const { return LibPath; }
    const std::string& LastError() const { return Error; }

private:
    void* Handle = nullptr;
    std::string LibPath;
    std::string Error;
};

// `name` as a path: an absolute name stays, a relative one is taken inside
// `folder`; when that file is missing, a file of the folder whose name
// differs only in letter case is taken. Empty when a relative name has no
// folder to go with.
std::string ResolveLibraryPath(const std::string& name, const std::string& folder);

} // namespace tarn
