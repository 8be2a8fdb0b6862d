// Benchmarks of the map objects on a 1920 x 1080 view: drawing polylines,
// polygons and labels through their Draw, hit testing a line layer, and
// clipping a large outline.
#include "data/Bools.h"
#include "data/MapObj.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

using namespace tarn;

namespace {
constexpr int W = 1920, H = 1080;
constexpr double Scale = 10;  // world units per pixel

struct TView {
    QImage Img{W, H, QImage::Format_RGB32};
    TDeviceContext DC{Img};
    TGdiRef<TPen> Pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(0, 0, 128));
    TGdiRef<TBrush> Brush = TBrush::CreateSolid(Rgb(200, 230, 200));
    TLogFont Font{};
    TDrawContext C;
    TView()
    {
        Img.fill(Qt::white);
        C.DC = &DC;
        C.Scale = Scale;
        C.WorldRect = {0, int32_t(H * Scale), int32_t(W * Scale), 0};
        C.ClientRect = {0, 0, W, H};
        C.SizeScale = 1000 / Scale;
        C.LayerPen = Pen;
        C.SelectPen = Pen;
        C.FillBrush = Brush;
        C.SelectBrush = Brush;
        Font.Height = -12;
        std::strcpy(Font.FaceName, "DejaVu Sans");
        C.TextFont = &Font;
        DC.SetBkMode(TGDI_TRANSPARENT);
        DC.SetTextAlign(TGDI_TA_BASELINE);
    }
};

// Short streets: four points, three segments each.
std::vector<std::unique_ptr<TPolyLine>> Streets(int n)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> x(0, int(W * Scale)), y(0, int(H * Scale)), step(-120, 120);
    std::vector<std::unique_ptr<TPolyLine>> v;
    for (int i = 0; i < n; ++i) {
        auto o = std::make_unique<TPolyLine>();
        TPoint p{x(rng), y(rng)};
        for (int k = 0; k < 4; ++k) {
            o->Points.push_back(p);
            p.X += step(rng);
            p.Y += step(rng);
        }
        v.push_back(std::move(o));
    }
    return v;
}

std::vector<TPoint> Ring(int n, double radius, TPoint centre)
{
    std::vector<TPoint> ring;
    for (int k = 0; k < n; ++k) {
        const double a = 6.283185307179586 * k / n;
        ring.push_back({int32_t(centre.X + radius * std::cos(a)), int32_t(centre.Y + radius * std::sin(a))});
    }
    return ring;
}
} // namespace

static void BM_DrawPolylines(benchmark::State& state)
{
    TView v;
    auto streets = Streets(int(state.range(0)));
    for (auto _ : state)
        for (const auto& s : streets) s->Draw(v.C);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawPolylines)->Arg(100000)->Unit(benchmark::kMillisecond);

static void BM_DrawSmallPolygons(benchmark::State& state)
{
    TView v;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> x(0, int(W * Scale)), y(0, int(H * Scale));
    std::vector<std::unique_ptr<TPolygon>> blocks;
    for (int i = 0; i < state.range(0); ++i) {
        auto o = std::make_unique<TPolygon>();
        o->Points = Ring(6, 80, {x(rng), y(rng)});
        blocks.push_back(std::move(o));
    }
    for (auto _ : state)
        for (const auto& b : blocks) b->Draw(v.C);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawSmallPolygons)->Arg(100000)->Unit(benchmark::kMillisecond);

// A district outline far larger than the view: clipped, then filled.
static void BM_DrawHugePolygon(benchmark::State& state)
{
    TView v;
    TPolygon district;
    district.Points = Ring(int(state.range(0)), 1e8, {int32_t(W * Scale / 2), int32_t(H * Scale / 2)});
    for (auto _ : state) district.Draw(v.C);
}
BENCHMARK(BM_DrawHugePolygon)->Arg(50000)->Unit(benchmark::kMillisecond);

static void BM_DrawLabels(benchmark::State& state)
{
    TView v;
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> x(0, int(W * Scale)), y(0, int(H * Scale)), angle(0, 3);
    std::vector<std::unique_ptr<TText>> labels;
    for (int i = 0; i < state.range(0); ++i) {
        auto t = std::make_unique<TText>();
        t->Text = "\xD3\xEB\xE8\xF6\xE0 \xCC\xE8\xF0\xE0";
        t->X = x(rng);
        t->Y = y(rng);
        t->Angle = angle(rng) * 300;
        labels.push_back(std::move(t));
    }
    for (auto _ : state)
        for (const auto& t : labels) t->Draw(v.C);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawLabels)->Arg(20000)->Unit(benchmark::kMillisecond);

// A click on a layer of streets: every object's view and hit test.
static void BM_HitTestStreets(benchmark::State& state)
{
    TView v;
    auto streets = Streets(int(state.range(0)));
    SetHitTolerance(int32_t(3 * Scale));
    int32_t x = 0, hits = 0;
    for (auto _ : state) {
        for (const auto& s : streets) {
            int32_t index = 0;
            hits += s->InView(v.C) && s->HitTest(v.C, x, 5000, index);
        }
        x = (x + 7919) % int32_t(W * Scale);
    }
    benchmark::DoNotOptimize(hits);
    SetHitTolerance(0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HitTestStreets)->Arg(100000)->Unit(benchmark::kMillisecond);

static void BM_ClipPolygon(benchmark::State& state)
{
    const auto ring = Ring(int(state.range(0)), 1e6, {0, 0});
    std::vector<TPoint> out;
    for (auto _ : state) {
        ClipPolygonToRect(-500000, -500000, 500000, 500000, ring.data(), int32_t(ring.size()), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClipPolygon)->Arg(50000)->Unit(benchmark::kMillisecond);
