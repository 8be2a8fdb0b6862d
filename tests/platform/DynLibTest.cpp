// Loading dynamic libraries by folder.
#include "platform/DynLib.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace tarn;
namespace fs = std::filesystem;

namespace {
struct TTempDir {
    fs::path Path;
    TTempDir()
    {
        Path = fs::temp_directory_path() / ("tarn-dynlib-" + std::to_string(::getpid()));
        fs::create_directories(Path);
    }
    ~TTempDir() { fs::remove_all(Path); }
};
} // namespace

TEST(DynLib, RelativeNamesAreTakenInsideTheFolderOnly)
{
    TTempDir dir;
    std::ofstream(dir.Path / "Tarn.DLL") << "x";
    EXPECT_EQ(ResolveLibraryPath("/abs/x.dll", "/elsewhere"), "/abs/x.dll");
    EXPECT_EQ(ResolveLibraryPath("sub/x.dll", "/base"), "/base/sub/x.dll");
    EXPECT_EQ(ResolveLibraryPath("x.dll", ""), "") << "never the current directory";
    EXPECT_EQ(ResolveLibraryPath("", "/base"), "");
    EXPECT_EQ(ResolveLibraryPath("tarn.dll", dir.Path.string()), (dir.Path / "Tarn.DLL").string())
        << "a name differing in case is found";
}

TEST(DynLib, OpenRefusesBareNamesAndReportsFailures)
{
    TDynLib lib;
    EXPECT_FALSE(lib.Open("libc.so.6")) << "would be searched for on the system's path";
    EXPECT_FALSE(lib.LastError().empty());
    EXPECT_FALSE(lib.Open("/nonexistent/folder/lib.so"));
    EXPECT_FALSE(lib.IsOpen());
    EXPECT_EQ(lib.Symbol("GETSIZE"), nullptr);

    TTempDir dir;
    std::ofstream(dir.Path / "bad.dll") << "not a library";
    EXPECT_FALSE(lib.Open((dir.Path / "bad.dll").string()));
}
