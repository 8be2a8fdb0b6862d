// mkcity: writes the demo city's program folder.
#include "City.h"

#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

// The symbol library: beside the program's own build, else where the
// build put it.
std::string SymbolLibrary()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        for (const fs::path& p : {self.parent_path() / "tarn.dll", self.parent_path().parent_path() / "symbols" / "tarn.dll"})
            if (fs::is_regular_file(p, ec)) return p.string();
    }
    return TARN_SYMBOLS_DLL;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return tarn::city::RunMkCity(args, SymbolLibrary(), std::cout, std::cerr);
}
