// The document model: opening a generated city of 200 000 objects (a
// project and its sheet), point and rectangle queries on its view, and
// drawing a 1920 x 1080 view of it.
#include "data/LayerWalk.h"
#include "data/Registration.h"
#include "model/Models.h"
#include "model/WorkSign.h"
#include "model/tsWay.h"
#include "tools/City.h"
#include "BenchCity.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

namespace tarn {
namespace {

namespace fs = std::filesystem;

constexpr int32_t Side = 30000;  // sheet side in metres (stored units)

struct TCity {
    std::string Dir;
    std::string Prj;
    TCity()
    {
        RegisterMapEngineClasses();
        char pattern[] = "/tmp/tarn-bench-XXXXXX";
        Dir = mkdtemp(pattern);
        std::string map = Dir + "/city.map";
        Prj = Dir + "/city.prj";
        TMap sheet;
        sheet.Name = "Город";
        sheet.MapParams.Ints = {Side, Side, 10000, 0, 0, 0, 0, 0};
        sheet.MapParams.Reals = {0, 0, double(Side), double(Side)};
        auto layer = [&](const char* name, int16_t kind, int32_t style1) {
            auto l = std::make_unique<TLayer>();
            l->Name = name;
            l->Kind = kind;
            l->Style1 = style1;
            l->ScaleLimit = 100000000;
            TLayer* p = l.get();
            sheet.Add(l.release());
            return p;
        };
        // A sheet stores codes in 16 bits: at most 32767 objects a layer here.
        TLayer* blockLayers[4] = {layer("Кварталы", 1, -1), layer("Дома", 1, -1), layer("Сады", 1, -1),
                                  layer("Склады", 1, -1)};
        TLayer* streetLayers[4] = {layer("Улицы", 0, 0), layer("Проезды", 0, 0), layer("Тропы", 0, 0),
                                   layer("Трамваи", 0, 0)};
        TLayer* signLayers[2] = {layer("Знаки", 7, 12), layer("Остановки", 7, 12)};
        std::mt19937 rng(7);
        std::uniform_int_distribution<int32_t> at(10, Side - 60);
        auto world = [](int32_t m) { return m * 1000; };
        for (int32_t i = 0; i < 80000; ++i) {
            int32_t x = at(rng), y = at(rng);
            auto p = std::make_unique<TPolygon>();
            p->Code = i / 4 + 1;
            p->Points = {{world(x), world(y)}, {world(x + 40), world(y)}, {world(x + 40), world(y + 30)},
                         {world(x), world(y + 30)}};
            p->X = world(x);
            p->Y = world(y);
            blockLayers[i % 4]->Add(p.release());
        }
        for (int32_t i = 0; i < 70000; ++i) {
            int32_t x = at(rng), y = at(rng);
            auto p = std::make_unique<TPolyLine>();
            p->Code = i / 4 + 1;
            p->Points = {{world(x), world(y)}, {world(x + 50), world(y + 10)}, {world(x + 55), world(y + 50)}};
            p->X = world(x);
            p->Y = world(y);
            streetLayers[i % 4]->Add(p.release());
        }
        for (int32_t i = 0; i < 50000; ++i) {
            auto s = std::make_unique<TSign>();
            s->Code = i / 2 + 1;
            s->X = world(at(rng));
            s->Y = world(at(rng));
            signLayers[i % 2]->Add(s.release());
        }
        TFileContext c;
        c.FilerScale = 1.0;
        c.MapScale = 1.0;
        c.YBase = Side;
        TMemoryStream ms;
        ms.SetContext(c);
        TWriter w(ms);
        sheet.WriteFiler16(w);
        ms.SaveToFile(map);
        // The project is the model's own: the lone sheet saved as a ".prj".
        TModel m;
        m.ProgramDir = Dir;
        m.OpenFile(map);
        m.SaveFile(Prj, 0);
    }
    ~TCity() { fs::remove_all(Dir); }
};

TCity& City()
{
    static TCity city;
    return city;
}

struct TOpened {
    TWindowSurface Surface{1920, 1080};
    std::unique_ptr<TModel> Model = std::make_unique<TModel>();
    std::unique_ptr<TView> View;
    TOpened()
    {
        Surface.SetMmPerPixel(0.25);
        Model->ProgramDir = City().Dir;
        View = std::make_unique<TView>(&Surface);
        View->Scale = 1000.0 * Side / 1920;  // the whole city across the window
        View->WorldRect = TRect{0, Side * 1000, Side * 1000, 0};
        Model->AttachView(*View);
        Model->OpenFile(City().Prj);
    }
};

void BM_ModelOpenProject200k(benchmark::State& state)
{
    City();
    for (auto _ : state) {
        TOpened o;
        benchmark::DoNotOptimize(o.View->Map.get());
    }
}
BENCHMARK(BM_ModelOpenProject200k)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ModelObjectsAtPoint(benchmark::State& state)
{
    static TOpened o;
    o.View->Scale = 250;  // 1:1000, a click's tolerance is a few metres
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> at(0, Side * 1000);
    TKeyList keys;
    for (auto _ : state) {
        keys.clear();
        o.Model->ObjectsAtPoint(o.View.get(), uint32_t(state.range(0)), keys, TPoint{at(rng), at(rng)});
        benchmark::DoNotOptimize(keys.data());
    }
}
BENCHMARK(BM_ModelObjectsAtPoint)->Arg(0x2)->Arg(0x3)->Unit(benchmark::kMicrosecond);

void BM_ModelObjectsInRect(benchmark::State& state)
{
    static TOpened o;
    int32_t side = int32_t(state.range(0)) * 1000;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int32_t> at(0, Side * 1000 - side);
    TKeyList keys;
    std::size_t found = 0;
    for (auto _ : state) {
        keys.clear();
        int32_t x = at(rng), y = at(rng);
        o.Model->ObjectsInRect(o.View.get(), 0, keys, TRect{x, y + side, x + side, y});
        found += keys.size();
    }
    state.counters["found"] = benchmark::Counter(double(found), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ModelObjectsInRect)->Arg(200)->Arg(3000)->Unit(benchmark::kMicrosecond);

// A box select as the mouse tool makes it: the objects in a square, all
// highlighted, then all unhighlighted again.
void BM_ModelBoxSelect(benchmark::State& state)
{
    static TOpened o;
    const int32_t side = int32_t(state.range(0)) * 1000;
    const int32_t x = Side * 500 - side / 2, y = Side * 500 - side / 2;
    TKeyList found;
    o.Model->ObjectsInRect(o.View.get(), 2, found, TRect{x, y + side, x + side, y});
    for (auto _ : state) {
        TKeyList add = found, remove = found;
        o.Model->HighlightObjects(o.View.get(), 1, add);
        o.Model->HighlightObjects(o.View.get(), 2, remove);
    }
    state.counters["objects"] = double(found.size());
}
BENCHMARK(BM_ModelBoxSelect)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The generated sign layers keep a size of 12 (80-pixel discs at every
// scale, each covering as much as 5000 pixels); drawing is measured with
// signs of a city map's size, 13 pixels across.
TOpened& DrawnCity()
{
    static TOpened o;
    static bool sized = [] {
        std::vector<TCustomLayer*> layers;
        CollectLayers(*o.Model->WorkMap, true, layers);
        for (TCustomLayer* l : layers)
            if (l->Kind == 7) l->Style1 = 200;  // round(2 x 200 / 120 / 0.25) = 13 pixels
        o.Model->LevelSwitch(*o.View);
        return true;
    }();
    (void)sized;
    return o;
}

// A full redraw of the view (arg 1: through the off-screen picture, 0:
// directly into the window) at the whole city and at 1:2500.
void Redraw(benchmark::State& state, TModel& model, TView& view, double denominator)
{
    model.DoubleBuffer = uint8_t(state.range(0));
    model.ZoomAll(view);
    if (denominator > 0) model.SetScaleDenominator(view, denominator);
    int layers = 0;
    THookToken t = model.OnNotify.Install([&](const auto& next, const TNotifyArgs& a) {
        layers += a.Code == 21 && a.A == 0;
        next(a);
    });
    for (auto _ : state) {
        view.NeedsRedraw = true;
        model.PaintView(view);
    }
    state.counters["layers"] = benchmark::Counter(double(layers), benchmark::Counter::kAvgIterations);
    state.counters["denominator"] = view.Scale / view.MmPerPixel;
}
void ViewRedraw(benchmark::State& state, double denominator)
{
    TOpened& o = DrawnCity();
    Redraw(state, *o.Model, *o.View, denominator);
}
void BM_ViewRedrawWholeCity(benchmark::State& state) { ViewRedraw(state, 0); }
BENCHMARK(BM_ViewRedrawWholeCity)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
void BM_ViewRedraw2500(benchmark::State& state) { ViewRedraw(state, 2500); }
BENCHMARK(BM_ViewRedraw2500)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// A repaint of an unchanged view: the off-screen picture copied to the window.
void BM_ViewRepaintFromPicture(benchmark::State& state)
{
    TOpened& o = DrawnCity();
    o.Model->DoubleBuffer = 1;
    o.Model->ZoomAll(*o.View);
    o.Model->PaintView(*o.View);
    for (auto _ : state) o.Model->PaintView(*o.View);
}
BENCHMARK(BM_ViewRepaintFromPicture)->Unit(benchmark::kMillisecond);

// The demo city as mkcity writes it (200 000 objects, its levels of detail,
// its symbol library), drawn through the model in a 1920 x 1080 view: the
// whole city, and 1:2500 in its centre. Arg 1: through the off-screen
// picture, 0: directly into the window.
void DemoRedraw(benchmark::State& state, double denominator)
{
    static TDemoView v;
    Redraw(state, *v.Model, *v.View, denominator);
    KeepPicture(v.Surface, "redraw-" + std::to_string(int(denominator)) + "-" + std::to_string(state.range(0)));
}
void BM_DemoCityRedrawWhole(benchmark::State& state) { DemoRedraw(state, 0); }
BENCHMARK(BM_DemoCityRedrawWhole)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
void BM_DemoCityRedraw2500(benchmark::State& state) { DemoRedraw(state, 2500); }
BENCHMARK(BM_DemoCityRedraw2500)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
void BM_DemoCityRedraw10000(benchmark::State& state) { DemoRedraw(state, 10000); }
BENCHMARK(BM_DemoCityRedraw10000)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// A repaint from the off-screen picture with a measured route of n points
// over it: what measuring adds to every paint.
void BM_ToolsRepaintWithRoute(benchmark::State& state)
{
    TOpened& o = DrawnCity();
    o.Model->DoubleBuffer = 1;
    o.Model->ZoomAll(*o.View);
    TWayWork way(nullptr, *o.Model);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> at(0, Side * 1000);
    for (int64_t i = 0; i < state.range(0); ++i) way.Route.AddPoint(TPoint{at(rng), at(rng)}, false);
    o.Model->PaintView(*o.View);
    for (auto _ : state) o.Model->PaintView(*o.View);
}
BENCHMARK(BM_ToolsRepaintWithRoute)->Arg(0)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

// The code a new sign gets in a layer of 25 000 signs (codes 1 to 25 000).
void BM_ToolsNextFreeCode(benchmark::State& state)
{
    static TOpened o;
    std::vector<TCustomLayer*> layers;
    CollectLayers(*o.View->Map, true, layers);
    const auto signs = std::find_if(layers.begin(), layers.end(), [](TCustomLayer* l) { return l->Kind == 7; });
    TWorkSign tool(o.Model.get(), o.View.get());
    tool.SignLayer.LayerID = (*signs)->LayerId;
    tool.SignSheetID = (*signs)->Object(0)->SheetID;
    int32_t code = 0;
    for (auto _ : state) {
        code = tool.NextFreeCode();
        benchmark::DoNotOptimize(code);
    }
    state.counters["code"] = code;
}
BENCHMARK(BM_ToolsNextFreeCode)->Unit(benchmark::kMicrosecond);
// Zooming from 1:2500 to another scale and back: across a boundary of the
// levels of detail the view's map is rebuilt from the sheets of the new
// level, twice an iteration (1:40 000 leaves the city's level, 1:5 000 its
// band of labels).
void BM_DemoCityLevelSwitch(benchmark::State& state)
{
    static TDemoView v;
    v.Model->ZoomAll(*v.View);
    v.Model->SetScaleDenominator(*v.View, 2500);
    for (auto _ : state) {
        v.Model->SetScaleDenominator(*v.View, double(state.range(0)));
        v.Model->SetScaleDenominator(*v.View, 2500);
    }
}
BENCHMARK(BM_DemoCityLevelSwitch)->Arg(40000)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

// Made once for the run, removed at exit; TARN_BENCH_CITY names a folder
// written by mkcity to use instead (kept).
const std::string& DemoCityDir()
{
    static const char* given = std::getenv("TARN_BENCH_CITY");
    static const std::string givenDir = given ? given : "";
    if (!givenDir.empty()) return givenDir;
    return DemoCityDir(200000);
}

const std::string& DemoCityDir(int32_t objects)
{
    struct TDemoCity {
        std::string Dir;
        explicit TDemoCity(int32_t objects)
        {
            char pattern[] = "/tmp/tarn-bench-city-XXXXXX";
            Dir = mkdtemp(pattern);
            city::TCityOptions o;
            o.OutDir = Dir;
            o.Objects = objects;
            o.SymbolLibrary = TARN_SYMBOLS_DLL;
            city::MakeCity(o);
        }
        ~TDemoCity() { fs::remove_all(Dir); }
    };
    static std::map<int32_t, std::unique_ptr<TDemoCity>> cities;
    auto& c = cities[objects];
    if (!c) c = std::make_unique<TDemoCity>(objects);
    return c->Dir;
}

} // namespace tarn
