// Levels of detail of the demo city: zooming from the whole map to 1:2500
// loads the detail sheets into the view's map; opening the project and
// fitting the whole map loads the overview.
#include "BenchCity.h"
#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "model/Models.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace tarn {
namespace {

int64_t ObjectCount(const TMap& map)
{
    std::vector<TCustomLayer*> layers;
    CollectLayers(map, true, layers);
    int64_t n = 0;
    for (const TCustomLayer* l : layers) n += l->Count;
    return n;
}

// From the whole map to 1:2500: the switch to the detail level, timed alone.
// Arg: the threads that read the sheets (0: one per core).
void BM_DemoCityDetailSwitch(benchmark::State& state)
{
    static TDemoView d;
    TModel& m = *d.Model;
    TView& v = *d.View;
    m.LoadThreads = int32_t(state.range(0));
    int64_t objects = 0;
    for (auto _ : state) {
        state.PauseTiming();
        m.ZoomAll(v);
        // The user's pause, in which what the switch let go of is freed.
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        state.ResumeTiming();
        m.SetScaleDenominator(v, 2500);
        state.PauseTiming();
        objects = ObjectCount(*v.Map);
        state.ResumeTiming();
    }
    state.counters["objects"] = double(objects);
    state.counters["ns_per_object"] =
        benchmark::Counter(double(objects) * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_DemoCityDetailSwitch)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Opening the project into a model whose view then shows the whole map.
void BM_DemoCityOpen(benchmark::State& state)
{
    DemoCityDir();
    for (auto _ : state) {
        TDemoView d;
        d.Model->ZoomAll(*d.View);
        benchmark::DoNotOptimize(d.View->Map.get());
    }
}
BENCHMARK(BM_DemoCityOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
} // namespace tarn

namespace tarn {
namespace {

// The marking of what lies in view alone, at 1:2500 (part of every redraw).
void BM_DemoCityMark2500(benchmark::State& state)
{
    static TDemoView d;
    d.Model->ZoomAll(*d.View);
    d.Model->SetScaleDenominator(*d.View, 2500);
    d.Model->FillDrawContext(*d.View, nullptr);
    for (auto _ : state) MarkObjectsInView(*d.View->Map, d.View->Context);
}
BENCHMARK(BM_DemoCityMark2500)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarn
