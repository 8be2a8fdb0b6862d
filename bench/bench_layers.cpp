// Benchmarks of whole maps: a generated city of 100 000 objects (parks,
// buildings, streets, street names and signs in five layers) drawn into a
// 1920 x 1080 picture at the whole-map scale and at 1:2500, and the point
// and rectangle queries of a click on it. Each run reports the allocations
// made per drawing, to show that a layer pass allocates per layer, never
// per object.
#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/Layers.h"
#include "data/MapObj.h"
#include "data/Registration.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <random>

namespace {
// Of this thread: the threads that read sheets would otherwise fight over one counter.
thread_local long Allocations = 0;
}
void* operator new(std::size_t n)
{
    ++Allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace tarn;

namespace {

constexpr int W = 1920, H = 1080;
constexpr double MmPerPixel = 0.2646;
// The city: 20 km by 11.25 km in world units of a millimetre.
constexpr int32_t CityW = 20'000'000, CityH = 11'250'000;

TLayer* AddLayer(TMap& map, const char* name, int16_t kind, TColorRef colour, int32_t style1, int32_t style2,
                 int32_t style3)
{
    auto* l = new TLayer;
    l->Name = name;
    l->Kind = kind;
    l->Colour = int32_t(colour);
    l->Colour2 = int32_t(Rgb(90, 90, 90));
    l->Style1 = style1;
    l->Style2 = style2;
    l->Style3 = style3;
    l->ScaleLimit = 100'000'000;  // every layer drawn at every scale
    map.Insert(l);
    return l;
}

std::vector<TPoint> Ring(std::mt19937& rng, int n, int radius, TPoint c)
{
    std::uniform_real_distribution<double> wobble(0.7, 1.0);
    std::vector<TPoint> ring;
    for (int k = 0; k < n; ++k) {
        const double a = 6.283185307179586 * k / n, r = radius * wobble(rng);
        ring.push_back({int32_t(c.X + r * std::cos(a)), int32_t(c.Y + r * std::sin(a))});
    }
    return ring;
}

// 5 000 parks, 35 000 buildings, 30 000 streets, 15 000 names, 15 000 signs.
struct TCity {
    TMap Map;
    TDynLib Library;

    TCity()
    {
        RegisterMapEngineClasses();
        std::mt19937 rng(2024);
        std::uniform_int_distribution<int32_t> x(0, CityW), y(0, CityH);
        TLayer* parks = AddLayer(Map, "parks", LayerKindPolygon, Rgb(190, 230, 180), -1, 0, 0);
        parks->Colour2 = NoOutlineColour;
        TLayer* buildings = AddLayer(Map, "buildings", LayerKindPolygon, Rgb(220, 200, 170), -1, 0, 2);
        TLayer* streets = AddLayer(Map, "streets", LayerKindLine, Rgb(120, 120, 120), 0, 40, 0);
        TLayer* names = AddLayer(Map, "names", LayerKindText, Rgb(20, 20, 20), 0, 0, 0);
        names->TextFont.Height = 80;
        std::strcpy(names->TextFont.FaceName, "DejaVu Sans");
        TLayer* signs = AddLayer(Map, "signs", LayerKindSign, 0, 240, 0, 1);
        int32_t code = 0;
        for (int i = 0; i < 5000; ++i) {
            auto* p = new TPolygon;
            p->Points = Ring(rng, 8, 80'000, {x(rng), y(rng)});
            p->Code = ++code;
            parks->Insert(p);
        }
        for (int i = 0; i < 35000; ++i) {
            auto* p = new TPolygon;
            p->Points = Ring(rng, 6, 15'000, {x(rng), y(rng)});
            p->Code = ++code;
            buildings->Insert(p);
        }
        std::uniform_int_distribution<int32_t> step(-100'000, 100'000);
        for (int i = 0; i < 30000; ++i) {
            auto* s = new TPolyLine;
            TPoint p{x(rng), y(rng)};
            for (int k = 0; k < 5; ++k) {
                s->Points.push_back(p);
                p.X += step(rng);
                p.Y += step(rng) / 4;
            }
            s->X = s->Points[0].X;
            s->Y = s->Points[0].Y;
            s->Code = ++code;
            streets->Insert(s);
        }
        std::uniform_int_distribution<int> angle(-2, 2);
        for (int i = 0; i < 15000; ++i) {
            auto* t = new TText;
            t->Text = "\xF3\xEB. \xD1\xE0\xE4\xEE\xE2\xE0\xFF";  // "ул. Садовая"
            t->X = x(rng);
            t->Y = y(rng);
            t->Angle = angle(rng) * 150;
            t->Code = ++code;
            names->Insert(t);
        }
        for (int i = 0; i < 15000; ++i) {
            auto* s = new TSign;
            s->X = x(rng);
            s->Y = y(rng);
            s->SignNumber = 1 + i % 60;
            s->Code = ++code;
            signs->Insert(s);
        }
#ifdef TARN_SYMBOLS_DLL
        Library.Open(TARN_SYMBOLS_DLL);
#endif
    }
};

TCity& City()
{
    static TCity* city = new TCity;
    return *city;
}

struct TView {
    QImage Img{W, H, QImage::Format_RGB32};
    TDeviceContext DC{Img};
    TDrawContext C;
    // A view of the whole city (denominator 0) or centred on it at 1:denominator.
    explicit TView(int denominator)
    {
        DC.SetMillimetresPerPixel(MmPerPixel);
        const double scale = denominator ? denominator * MmPerPixel : std::max(double(CityW) / W, double(CityH) / H);
        const int32_t cx = CityW / 2, cy = CityH / 2;
        const int32_t hw = int32_t(W * scale / 2), hh = int32_t(H * scale / 2);
        C.DC = &DC;
        C.Scale = scale;
        C.WorldRect = {cx - hw, cy + hh, cx + hw, cy - hh};
        C.ClientRect = {0, 0, W, H};
        C.MmPerPixel = MmPerPixel;
        C.SelectColour = int32_t(Rgb(255, 0, 255));
        C.Library = &City().Library;
        C.LibraryLoaded = City().Library.IsOpen();
        SetHitTolerance(int32_t(3 * scale));
    }
    TPoint Random(std::mt19937& rng) const
    {
        std::uniform_int_distribution<int32_t> x(C.WorldRect.Left, C.WorldRect.Right),
            y(C.WorldRect.Bottom, C.WorldRect.Top);
        return {x(rng), y(rng)};
    }
};

} // namespace

// Arg: the scale denominator, 0 for the whole map.
static void BM_DrawMap(benchmark::State& state)
{
    TView v(int(state.range(0)));
    DrawMap(City().Map, v.C);  // warm the caches of faces and pens
    long before = Allocations;
    int64_t draws = 0;
    for (auto _ : state) {
        v.Img.fill(Qt::white);
        DrawMap(City().Map, v.C);
        ++draws;
    }
    state.counters["allocs/draw"] = double(Allocations - before) / double(draws);
    state.counters["objects"] = 100000;
}
BENCHMARK(BM_DrawMap)->Arg(0)->Arg(2500)->Unit(benchmark::kMillisecond);

static void BM_MarkObjectsInView(benchmark::State& state)
{
    TView v(int(state.range(0)));
    for (auto _ : state) MarkObjectsInView(City().Map, v.C);
}
BENCHMARK(BM_MarkObjectsInView)->Arg(0)->Arg(2500)->Unit(benchmark::kMillisecond);

// Arg 0: the whole map, else 1:2500. Arg 1: FindObjectsAt's flags: 2 the
// top object (a click), 3 every object (an information query).
static void BM_PointQuery(benchmark::State& state)
{
    TView v(int(state.range(0)));
    MarkObjectsInView(City().Map, v.C);  // the view as last drawn
    std::mt19937 rng(5);
    int64_t found = 0;
    for (auto _ : state) {
        TCollection result;
        FindObjectsAt(City().Map, v.C, uint32_t(state.range(1)), v.Random(rng), result);
        found += result.Count;
    }
    state.counters["hits/query"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_PointQuery)
    ->Args({0, FindAnyKind})
    ->Args({0, FindAnyKind | FindAll})
    ->Args({2500, FindAnyKind})
    ->Args({2500, FindAnyKind | FindAll})
    ->Unit(benchmark::kMicrosecond);

// A 100 x 100 pixel box dragged on the view.
static void BM_RectQuery(benchmark::State& state)
{
    TView v(int(state.range(0)));
    MarkObjectsInView(City().Map, v.C);
    std::mt19937 rng(6);
    int64_t found = 0;
    const int32_t side = int32_t(100 * v.C.Scale);
    for (auto _ : state) {
        const TPoint p = v.Random(rng);
        TCollection result;
        FindObjectsInRect(City().Map, v.C, {p.X, p.Y + side, p.X + side, p.Y}, result);
        found += result.Count;
    }
    state.counters["hits/query"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_RectQuery)->Arg(0)->Arg(2500)->Unit(benchmark::kMillisecond);

// One layer's pass at the whole-map scale (Arg: 0 parks, 1 buildings,
// 2 streets, 3 names, 4 signs), its objects marked beforehand.
static void BM_LayerPass(benchmark::State& state)
{
    TView v(0);
    MarkObjectsInView(City().Map, v.C);
    const auto* layer = static_cast<const TCustomLayer*>(City().Map.GetItem(int32_t(state.range(0))));
    for (auto _ : state) DrawLayer(*layer, v.C, nullptr);
    state.SetLabel(layer->Name);
}
BENCHMARK(BM_LayerPass)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// A point query right after each drawing of the view (the marking that
// refreshes the searches' summary is not timed).
static void BM_PointQueryAfterDrawing(benchmark::State& state)
{
    TView v(int(state.range(0)));
    std::mt19937 rng(5);
    for (auto _ : state) {
        state.PauseTiming();
        MarkObjectsInView(City().Map, v.C);
        state.ResumeTiming();
        TCollection result;
        FindObjectsAt(City().Map, v.C, FindAnyKind, v.Random(rng), result);
    }
}
BENCHMARK(BM_PointQueryAfterDrawing)->Arg(0)->Arg(2500)->Unit(benchmark::kMicrosecond);
