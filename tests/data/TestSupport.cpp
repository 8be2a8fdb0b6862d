#include "TestSupport.h"
#include "data/Registration.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

namespace tarn::test {

int TTestItem::Live = 0;

std::string Bytes(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

std::string Hex(const std::string& bytes, std::size_t from, std::size_t count)
{
    std::string out;
    for (std::size_t i = from; i < bytes.size() && i < from + count; ++i) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(bytes[i]));
        out += buf;
    }
    if (from + count < bytes.size()) out += "...";
    return out;
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    std::size_t from = i >= 8 ? i - 8 : 0;
    char at[32];
    std::snprintf(at, sizeof at, "0x%zX", i);
    return ::testing::AssertionFailure() << "bytes differ at offset " << at << " (sizes " << actual.size() << " and "
                                         << expected.size() << ")\n  actual:   " << Hex(actual, from)
                                         << "\n  expected: " << Hex(expected, from);
}

::testing::AssertionResult EveryTruncationFails(const std::string& bytes,
                                                const std::function<void(const std::string&)>& parse)
{
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::string cut = bytes.substr(0, n);
        try {
            parse(cut);
            return ::testing::AssertionFailure() << "a prefix of " << n << " bytes parsed without an error";
        } catch (const ETarnError&) {
            // expected
        } catch (const std::exception& e) {
            return ::testing::AssertionFailure() << "a prefix of " << n << " bytes raised a foreign exception: "
                                                 << e.what();
        }
    }
    return ::testing::AssertionSuccess();
}

std::string I32(int32_t value)
{
    uint32_t u = static_cast<uint32_t>(value);
    return Bytes({int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF), int(u >> 24)});
}

std::string PatchI32(std::string bytes, std::size_t offset, int32_t value)
{
    uint32_t u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(u >> (8 * i));
    return bytes;
}

std::string PatchU16(std::string bytes, std::size_t offset, uint16_t value)
{
    bytes[offset] = static_cast<char>(value);
    bytes[offset + 1] = static_cast<char>(value >> 8);
    return bytes;
}

void RegisterTestClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterMapEngineClasses();
        RegisterItemClass<TTestItem>(TestItemId);
        RegisterItemClass<TIdZeroItem>(0);
        RegisterTypeCode(TestItemMapCode, typeid(TTestItem), FilerFns<TTestItem>(), FilerFns<TTestItem>());
        RegisterTypeCode(TestItemProjectOnlyCode, typeid(TProjectOnlyItem), {}, FilerFns<TProjectOnlyItem>());
    });
}

TTempDir::TTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tarn-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    Dir = pattern;
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

} // namespace tarn::test
