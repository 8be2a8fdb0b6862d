// Benchmarks of the data layer's hot paths.
#include "data/Utils.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace tarn;

static void BM_PointInPolygon(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<TPoint> ring;
    for (int i = 0; i < n; ++i) {
        double a = 6.283185307179586 * i / n;
        ring.push_back({static_cast<int32_t>(100000 * std::cos(a)), static_cast<int32_t>(100000 * std::sin(a))});
    }
    int32_t x = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PointInPolygon(x, 1234, ring.data(), n));
        x = (x + 7919) % 100000;
    }
}
BENCHMARK(BM_PointInPolygon)->Arg(16)->Arg(1024);
