// Every input that once broke a reader (tests/fixtures/<target>/) and every
// seed of the fuzz corpora (tests/fuzz/corpus/<target>/) goes through the
// same entry the fuzzer calls: each must end in a result or a clean refusal.
#include "FuzzEntries.h"

#include "tools/HostileCards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tarn::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Inputs(const fs::path& dir)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && it->path().extension() != ".md") files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class FuzzReplay : public ::testing::TestWithParam<const char*> {};

// Runs every input of dir; returns how many there were.
int Replay(const TFuzzTarget& target, const fs::path& dir)
{
    int count = 0;
    for (const fs::path& file : Inputs(dir)) {
        const std::string bytes = ReadAll(file);
        ++count;
        try {
            target.Run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << file << ": " << e.what();
        } catch (...) {
            ADD_FAILURE() << file << ": an exception of no known type";
        }
    }
    return count;
}

TEST_P(FuzzReplay, RegressionInputsAndSeedsEndCleanly)
{
    const TFuzzTarget* target = FindFuzzTarget(GetParam());
    ASSERT_NE(target, nullptr);
    const int fixtures = Replay(*target, fs::path(TARN_FUZZ_FIXTURES) / GetParam());
    const int seeds = Replay(*target, fs::path(TARN_FUZZ_CORPUS) / GetParam());
    EXPECT_GT(seeds, 0) << "no seed corpus for " << GetParam();
    RecordProperty("inputs", fixtures + seeds);
}

#ifdef __SANITIZE_ADDRESS__
constexpr double Limit = 60;
#else
constexpr double Limit = 10;
#endif

// The cards that once took minutes, too large to keep as files: each ends
// in seconds through the entry the fuzzer calls.
TEST(FuzzReplay, HostileCardsEndInTime)
{
    using city::THostileRtf;
    const struct {
        const char* Target;
        std::string Bytes;
    } cases[] = {
        {"wmf", city::FullFrameEllipsesWmf(1 << 20)},
        {"wmf", city::FullFrameEllipsesWmf(1 << 20, 4096 + 256)},
        {"rtf", city::HostileRtf(THostileRtf::LongTable, 2200 << 10)},
        {"rtf", city::HostileRtf(THostileRtf::ManyTables, 20 * 9999 * 32)},
        {"rtf", city::HostileRtf(THostileRtf::TablesAndText, 2 << 20)},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        FindFuzzTarget(c.Target)->Run(reinterpret_cast<const uint8_t*>(c.Bytes.data()), c.Bytes.size());
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, Limit) << c.Target << ", " << c.Bytes.size() << " bytes";
    }
}

std::vector<const char*> TargetNames()
{
    std::vector<const char*> names;
    for (const TFuzzTarget& t : FuzzTargets()) names.push_back(t.Name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, ::testing::ValuesIn(TargetNames()),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace tarn::fuzz
