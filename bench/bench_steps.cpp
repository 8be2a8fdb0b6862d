// The steps a user of the demo city feels: a zoom step across a band of
// labels, the zoom from the whole map into the city, Enter on a street
// ("show on the map"), the zoom-in key down to 1:1 000, each with the paint
// that follows; and the memory the process holds after a zoom tour. Arg:
// the objects of the city.
#include "BenchCity.h"
#include "app/common/Info_mdl.h"
#include "app/maptools/BtnBox.h"
#include "data/LayerWalk.h"
#include "platform/Cp1251.h"
#include "platform/Keys.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace tarn {
namespace {

TDemoView& ViewOf(int64_t objects)
{
    static std::map<int64_t, std::unique_ptr<TDemoView>> views;
    auto& v = views[objects];
    if (!v) v = std::make_unique<TDemoView>(DemoCityDir(int32_t(objects)));
    return *v;
}

// Counts the level switches of the view's map.
struct TSwitchCount {
    int64_t Switches = 0, Timed = 0, From = 0;
    THookToken Token;
    explicit TSwitchCount(TModel& m)
        : Token(m.OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
              Switches += a.Code == 12;
              next(a);
          }))
    {
    }
    // The switches between Start and Stop alone are reported.
    void Start() { From = Switches; }
    void Stop() { Timed += Switches - From; }
    void Report(benchmark::State& state) const
    {
        state.counters["switches"] = benchmark::Counter(double(Timed), benchmark::Counter::kAvgIterations);
    }
};

// Between the timed steps: the user's pause, in which what a switch let
// go of is freed.
void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(60)); }

void Paint(TDemoView& d)
{
    d.View->NeedsRedraw = true;
    d.Model->PaintView(*d.View);
}

// One step between 1:2 500 and 1:5 000 (the next band of labels), turn
// about, the paint left out.
void BM_DemoCityBandStep(benchmark::State& state)
{
    TDemoView& d = ViewOf(state.range(0));
    d.Model->ZoomAll(*d.View);
    d.Model->SetScaleDenominator(*d.View, 2500);
    TSwitchCount count(*d.Model);
    bool out = true;
    for (auto _ : state) {
        count.Start();
        d.Model->SetScaleDenominator(*d.View, out ? 5000 : 2500);
        count.Stop();
        out = !out;
    }
    count.Report(state);
}
BENCHMARK(BM_DemoCityBandStep)->Arg(200000)->Arg(600000)->Unit(benchmark::kMillisecond);

// Each iteration: the view set up by `from` and painted, the user's pause,
// then `step` and its paint timed, with the level switches it made.
template <class From, class Step>
void TimeStep(benchmark::State& state, TDemoView& d, TSwitchCount& count, From from, Step step)
{
    for (auto _ : state) {
        state.PauseTiming();
        from();
        Paint(d);
        Pause();
        count.Start();
        state.ResumeTiming();
        step();
        Paint(d);
        count.Stop();
    }
}

// From the whole map to 1:10 000 in the centre, and its paint.
void BM_DemoCityIntoCity(benchmark::State& state)
{
    TDemoView& d = ViewOf(state.range(0));
    TSwitchCount count(*d.Model);
    TimeStep(state, d, count, [&] { d.Model->ZoomAll(*d.View); },
             [&] { d.Model->SetScaleDenominator(*d.View, 10000); });
    count.Report(state);
    KeepPicture(d.Surface, "into-city-" + std::to_string(state.range(0)));
}
BENCHMARK(BM_DemoCityIntoCity)->Arg(200000)->Arg(600000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The key of the central avenue's name in the list of street names.
TObjectKey AvenueKey(TDemoView& d)
{
    d.Model->ZoomAll(*d.View);
    auto* l = AsLayer(FindLayerByName(*d.View->Map, Utf8ToCp1251("Названия улиц")));
    for (int32_t i = 0; l && i < l->Count; ++i)
        if (auto* t = dynamic_cast<TText*>(l->Object(i)); t && t->Text == Utf8ToCp1251(city::CentralAvenueName))
            return {0, 1, l->LayerId, t->SheetID, t->Code};
    throw std::runtime_error("no central avenue");
}

// Enter on the central avenue in the street list, from the whole map: its
// place shown at 1:2 500, highlighted, and the paint.
void BM_DemoCityShowStreet(benchmark::State& state)
{
    TDemoView& d = ViewOf(state.range(0));
    const TObjectKey key = AvenueKey(d);
    TSwitchCount count(*d.Model);
    TimeStep(state, d, count, [&] { d.Model->ZoomAll(*d.View); }, [&] {
        if (!ShowObjectOnMap(*d.Model, *d.View, key)) state.SkipWithError("not shown");
    });
    state.counters["denominator"] = d.View->Scale / d.View->MmPerPixel;
    count.Report(state);
    KeepPicture(d.Surface, "show-" + std::to_string(state.range(0)));
}
BENCHMARK(BM_DemoCityShowStreet)->Arg(200000)->Arg(600000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The zoom-in key at 1:2 500, as the main window takes it: the button box
// halves the scale, the window stops it at 1:1 000; and the paint.
void BM_DemoCityZoomInKey(benchmark::State& state)
{
    TDemoView& d = ViewOf(state.range(0));
    TModel& m = *d.Model;
    TView& v = *d.View;
    TButtonBox box(m, v);
    box.Enabled = true;
    box.KeySet.set(VkAdd);
    box.SetKeyForm(nullptr, [&](TKeyArgs& key) {
        // The main window's stop (TMainForm::ZoomInBtnClick).
        if (key.Key == 0 && v.Scale < v.PrevScale && v.Scale / v.MmPerPixel / 2 < 1000)
            m.SetScaleDenominator(v, 1000);
    });
    TSwitchCount count(m);
    TimeStep(
        state, d, count,
        [&] {
            m.ZoomAll(v);
            m.SetScaleDenominator(v, 2500);
        },
        [&] {
            TKeyArgs key{VkAdd, 0, {}};
            box.KeyDown(key);
        });
    state.counters["denominator"] = v.Scale / v.MmPerPixel;
    count.Report(state);
    KeepPicture(d.Surface, "zoom-in-key");
}
BENCHMARK(BM_DemoCityZoomInKey)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

int64_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4096;
}

// The city opened in a fresh process (run this benchmark alone), a zoom
// tour over the scales a user visits, painted at each: what the process
// holds at the end, a moment later, and the heap in use.
void BM_DemoCityTourMemory(benchmark::State& state)
{
    for (auto _ : state) {
        TDemoView d(DemoCityDir(int32_t(state.range(0))));
        for (int round = 0; round < 3; ++round)
            for (double denominator : {0.0, 10000.0, 5000.0, 2500.0, 1000.0, 2500.0, 20000.0}) {
                if (denominator == 0) d.Model->ZoomAll(*d.View);
                else d.Model->SetScaleDenominator(*d.View, denominator);
                Paint(d);
            }
        // The user looks at the map a while.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        state.counters["rss_MB"] = double(ResidentBytes()) / 1e6;
        state.counters["heap_MB"] = double(mallinfo2().uordblks) / 1e6;
    }
}
BENCHMARK(BM_DemoCityTourMemory)->Arg(200000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tarn
