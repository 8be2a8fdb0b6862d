// A scanned city plan: a 20 000 x 20 000 one-bit picture. Building its
// ".tr" cache, and drawing a 1920 x 1080 window of it at three scales.
#include "data/Rasters.h"
#include "data/Streams.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace tarn;

namespace {

constexpr int32_t PlanSide = 20000;

// A plan-like pattern: a street grid, house blocks and some speckle.
bool PlanPixel(int32_t x, int32_t y)
{
    if (x % 400 < 6 || y % 400 < 6) return true;
    if ((x / 25 + y / 25) % 7 == 0 && x % 25 < 18 && y % 25 < 18) return (x + y) % 3 != 0;
    uint32_t h = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    return ((h >> 13) & 63) == 0;
}

class TPlanFile {
public:
    TPlanFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tarn-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        Dir = pattern;
        Bmp = Dir + "/plan.bmp";
        const int64_t rowBytes = (int64_t(PlanSide) + 31) / 32 * 4;
        TFileStream f(Bmp, TFileStream::Mode::Create);
        std::string head = "BM";
        auto put32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) head.push_back(char((v >> (8 * i)) & 0xFF));
        };
        put32(uint32_t(62 + rowBytes * PlanSide));
        put32(0);
        put32(62);
        put32(40);
        put32(PlanSide);
        put32(PlanSide);
        head += std::string("\x01\x00\x01\x00", 4);
        for (int i = 0; i < 6; ++i) put32(i == 4 ? 2 : 0);
        put32(0x000000);
        put32(0xFFFFFF);
        f.writeBytes(head);
        std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
        for (int32_t r = 0; r < PlanSide; ++r) {
            const int32_t y = PlanSide - 1 - r;
            std::fill(row.begin(), row.end(), 0xFF);  // white paper (entry 1)
            for (int32_t x = 0; x < PlanSide; ++x)
                if (PlanPixel(x, y)) row[size_t(x / 8)] &= uint8_t(~(0x80 >> (x % 8)));
            f.Write(row.data(), row.size());
        }
    }
    ~TPlanFile()
    {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::string Dir, Bmp;
};

TPlanFile& Plan()
{
    static TPlanFile plan;
    return plan;
}

double MaxRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

} // namespace

static void BM_TiledRasterBuild20000(benchmark::State& state)
{
    const TPlanFile& plan = Plan();
    const std::string tr = TrCacheName(plan.Bmp);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(tr);
        state.ResumeTiming();
        auto raster = TTiledRaster::OpenRaster(plan.Bmp);
        benchmark::DoNotOptimize(raster.get());
    }
    state.counters["tr_MB"] = double(std::filesystem::file_size(tr)) / (1 << 20);
    state.counters["maxrss_MB"] = MaxRssMb();
}
BENCHMARK(BM_TiledRasterBuild20000)->Unit(benchmark::kMillisecond)->Iterations(3);

static void BM_TiledRasterOpenValid20000(benchmark::State& state)
{
    const TPlanFile& plan = Plan();
    TTiledRaster::OpenRaster(plan.Bmp);
    for (auto _ : state) benchmark::DoNotOptimize(TTiledRaster::OpenRaster(plan.Bmp));
}
BENCHMARK(BM_TiledRasterOpenValid20000)->Unit(benchmark::kMillisecond);

// A 1920 x 1080 window showing picture pixels at 1, 3, 4 and ~10.4 picture
// pixels per screen pixel (the last is the whole width of the plan), moved
// about the plan from one drawing to the next.
static void BM_TiledRasterDraw1920x1080(benchmark::State& state)
{
    const TPlanFile& plan = Plan();
    auto raster = TTiledRaster::OpenRaster(plan.Bmp);
    const double ratio = state.range(0) == 0 ? double(PlanSide) / 1920 : double(state.range(0));
    const int32_t sw = int32_t(1920 * ratio), sh = int32_t(1080 * ratio);
    TGdiRef<TBitmap> screen = TBitmap::Create(1920, 1080);
    TDeviceContext dc(*screen);
    int32_t step = 0;
    for (auto _ : state) {
        const int32_t x = (step * 7919) % std::max(1, PlanSide - sw), y = (step * 6271) % std::max(1, PlanSide - sh);
        raster->DrawRaster(dc, {0, 0, 1920, 1080}, {x, y, x + sw, y + sh}, TGDI_SRCCOPY);
        ++step;
    }
    state.counters["maxrss_MB"] = MaxRssMb();
}
BENCHMARK(BM_TiledRasterDraw1920x1080)->Arg(1)->Arg(3)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond);
