#include "platform/DynLib.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace tarn {

TDynLib::~TDynLib()
{
    Close();
}

TDynLib::TDynLib(TDynLib&& other) noexcept
    : Handle(std::exchange(other.Handle, nullptr)), LibPath(std::move(other.LibPath)), Error(std::move(other.Error))
{
}

TDynLib& TDynLib::operator=(TDynLib&& other) noexcept
{
    if (this != &other) {
        Close();
        Handle = std::exchange(other.Handle, nullptr);
        LibPath = std::move(other.LibPath);
        Error = std::move(other.Error);
    }
    return *this;
}

bool TDynLib::Open(const std::string& path)
{
    Close();
    Error.clear();
    if (path.find('/') == std::string::npos) {
        // dlopen would search the system's folders for a bare name
        Error = "no folder in library path \"" + path + "\"";
        return false;
    }
    Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Handle) {
        const char* e = dlerror();
        Error = e ? e : "cannot load " + path;
        return false;
    }
    LibPath = path;
    return true;
}

void TDynLib::Close()
{
    if (Handle) dlclose(Handle);
    Handle = nullptr;
    LibPath.clear();
}

void* TDynLib::Symbol(const char* name) const
{
    if (!Handle || !name) return nullptr;
    return dlsym(Handle, name);
}

namespace {
bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}
} // namespace

std::string ResolveLibraryPath(const std::string& name, const std::string& folder)
{
    namespace fs = std::filesystem;
    if (name.empty()) return {};
    fs::path p(name);
    if (p.is_relative()) {
        if (folder.empty()) return {};
        p = fs::path(folder) / p;
    }
    std::error_code ec;
    if (fs::exists(p, ec)) return p.string();
    fs::path dir = p.parent_path();
    const std::string want = p.filename().string();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string have = it->path().filename().string();
        if (SameIgnoringCase(have, want)) return it->path().string();
    }
    return p.string();
}

} // namespace tarn
