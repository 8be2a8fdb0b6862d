// Benchmarks of the drawing layer on a 1920 x 1080 image, each beside the
// same work done with plain QPainter: short polylines, small outlined
// polygons and labels.
#include "platform/Cp1251Qt.h"
#include "platform/gdi/Gdi.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace tarn;

namespace {
constexpr int W = 1920, H = 1080;
constexpr int Polylines = 200000, PolylinePoints = 4;  // three segments of up to 12 pixels each way
constexpr int Polygons = 200000, PolygonPoints = 6;    // hexagons of 4 to 10 pixels radius, about 110 pixels
constexpr int Labels = 20000;

struct TScene {
    std::vector<TPoint> Lines, Polys, OrderedPolys;
    std::vector<std::string> Texts;
    std::vector<TPoint> TextAt;
    TScene()
    {
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> x(0, W - 1), y(0, H - 1), step(-12, 12), r(4, 10);
        for (int i = 0; i < Polylines; ++i) {
            TPoint p{x(rng), y(rng)};
            for (int k = 0; k < PolylinePoints; ++k) {
                Lines.push_back(p);
                p.X += step(rng);
                p.Y += step(rng);
            }
        }
        for (int i = 0; i < Polygons; ++i) {
            int cx = x(rng), cy = y(rng);
            for (int k = 0; k < PolygonPoints; ++k) {
                double a = 6.283185307 * k / PolygonPoints;
                int rr = r(rng);
                Polys.push_back({cx + int(rr * std::cos(a)), cy + int(rr * std::sin(a))});
            }
        }
        // The same polygons in the order a map's layer tends to hold them:
        // neighbours after each other (here in bands 32 pixels high).
        std::vector<int> order(Polygons);
        for (int i = 0; i < Polygons; ++i) order[size_t(i)] = i;
        auto key = [&](int i) {
            const TPoint& p = Polys[size_t(i) * PolygonPoints];
            return std::pair{p.Y / 32, p.X};
        };
        std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
        for (int i : order)
            OrderedPolys.insert(OrderedPolys.end(), Polys.begin() + i * PolygonPoints,
                                Polys.begin() + (i + 1) * PolygonPoints);
        const char* words[] = {"\xD3\xEB\xE8\xF6\xE0", "\xCB\xE5\xED\xE8\xED\xE0", "\xCF\xF0\xEE\xF1\xEF\xE5\xEA\xF2",
                               "\xCC\xE8\xF0\xE0", "\xD1\xE0\xE4\xEE\xE2\xE0\xFF", "\xCF\xE5\xF0.", "1-\xFF"};
        std::uniform_int_distribution<int> w(0, 6);
        for (int i = 0; i < Labels; ++i) {
            Texts.push_back(std::string(words[w(rng)]) + " " + words[w(rng)]);
            TextAt.push_back({x(rng), y(rng)});
        }
    }
};
const TScene& Scene()
{
    static TScene s;
    return s;
}

QImage Blank()
{
    QImage img(W, H, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

TLogFont LabelFont(int escapement = 0)
{
    TLogFont lf{};
    lf.Height = -12;
    lf.Escapement = escapement;
    std::memcpy(lf.FaceName, "DejaVu Sans", 12);
    return lf;
}

void PerItem(benchmark::State& state, const char* name, double items)
{
    state.counters[name] =
        benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
} // namespace

static void BM_ShortPolylines_Ours(benchmark::State& state)
{
    const TScene& s = Scene();
    QImage img = Blank();
    TDeviceContext dc(img);
    auto pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(40, 40, 40));
    dc.SelectPen(pen);
    for (auto _ : state)
        for (int i = 0; i < Polylines; ++i) dc.Polyline(&s.Lines[size_t(i) * PolylinePoints], PolylinePoints);
    PerItem(state, "per_segment", double(Polylines) * (PolylinePoints - 1));
}
BENCHMARK(BM_ShortPolylines_Ours)->Unit(benchmark::kMillisecond);

static void BM_ShortPolylines_QPainter(benchmark::State& state)
{
    const TScene& s = Scene();
    QImage img = Blank();
    QPainter p(&img);
    p.setPen(QPen(QColor(40, 40, 40), 0));
    std::vector<QPoint> pts(PolylinePoints);
    for (auto _ : state)
        for (int i = 0; i < Polylines; ++i) {
            for (int k = 0; k < PolylinePoints; ++k)
                pts[size_t(k)] = QPoint(s.Lines[size_t(i) * PolylinePoints + k].X, s.Lines[size_t(i) * PolylinePoints + k].Y);
            p.drawPolyline(pts.data(), PolylinePoints);
        }
    PerItem(state, "per_segment", double(Polylines) * (PolylinePoints - 1));
}
BENCHMARK(BM_ShortPolylines_QPainter)->Unit(benchmark::kMillisecond);

// Argument 0: polygons in random order over the image; 1: in map order.
static void BM_SmallOutlinedPolygons_Ours(benchmark::State& state)
{
    const TScene& s = Scene();
    const std::vector<TPoint>& polys = state.range(0) ? s.OrderedPolys : s.Polys;
    QImage img = Blank();
    TDeviceContext dc(img);
    auto pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(0, 0, 0));
    auto brush = TBrush::CreateSolid(Rgb(250, 230, 180));
    dc.SelectPen(pen);
    dc.SelectBrush(brush);
    for (auto _ : state)
        for (int i = 0; i < Polygons; ++i) dc.Polygon(&polys[size_t(i) * PolygonPoints], PolygonPoints);
    PerItem(state, "per_polygon", Polygons);
}
BENCHMARK(BM_SmallOutlinedPolygons_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_SmallOutlinedPolygons_QPainter(benchmark::State& state)
{
    const TScene& s = Scene();
    const std::vector<TPoint>& polys = state.range(0) ? s.OrderedPolys : s.Polys;
    QImage img = Blank();
    QPainter p(&img);
    p.setPen(QPen(QColor(0, 0, 0), 0));
    p.setBrush(QColor(180, 230, 250));
    std::vector<QPoint> pts(PolygonPoints);
    for (auto _ : state)
        for (int i = 0; i < Polygons; ++i) {
            for (int k = 0; k < PolygonPoints; ++k)
                pts[size_t(k)] = QPoint(polys[size_t(i) * PolygonPoints + k].X, polys[size_t(i) * PolygonPoints + k].Y);
            p.drawPolygon(pts.data(), PolygonPoints, Qt::OddEvenFill);
        }
    PerItem(state, "per_polygon", Polygons);
}
BENCHMARK(BM_SmallOutlinedPolygons_QPainter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

static void BM_Labels_Ours(benchmark::State& state)
{
    EnsureGuiApplication();
    const TScene& s = Scene();
    QImage img = Blank();
    TDeviceContext dc(img);
    const int escapement = int(state.range(0));
    dc.SetBkMode(TGDI_TRANSPARENT);
    dc.SetTextAlign(TGDI_TA_BASELINE);
    const TLogFont lf = LabelFont(escapement);
    for (auto _ : state)
        for (int i = 0; i < Labels; ++i) {
            // as a map label does it: a font made for the label, selected,
            // the text written, the old font back
            auto font = TFont::Create(lf);
            auto old = dc.SelectFont(font);
            dc.TextOut(s.TextAt[size_t(i)].X, s.TextAt[size_t(i)].Y, s.Texts[size_t(i)]);
            dc.SelectFont(old);
        }
    PerItem(state, "per_label", Labels);
}
BENCHMARK(BM_Labels_Ours)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond);

// Labels seen for the first time: every one a text of its own, turned, in
// a context with no stamps yet (each is made, then blended).
static void BM_LabelsFirstDrawn_Ours(benchmark::State& state)
{
    EnsureGuiApplication();
    const TScene& s = Scene();
    QImage img = Blank();
    const int n = 2000;
    std::vector<std::string> texts;
    for (int i = 0; i < n; ++i) texts.push_back(s.Texts[size_t(i)] + " " + std::to_string(i));
    const TLogFont lf = LabelFont(int(state.range(0)));
    for (auto _ : state) {
        TDeviceContext dc(img);
        dc.SetBkMode(TGDI_TRANSPARENT);
        dc.SetTextAlign(TGDI_TA_BASELINE);
        auto font = TFont::Create(lf);
        dc.SelectFont(font);
        for (int i = 0; i < n; ++i) dc.TextOut(s.TextAt[size_t(i)].X, s.TextAt[size_t(i)].Y, texts[size_t(i)]);
    }
    PerItem(state, "per_label", n);
}
BENCHMARK(BM_LabelsFirstDrawn_Ours)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond);

static void BM_Labels_QPainter(benchmark::State& state)
{
    EnsureGuiApplication();
    const TScene& s = Scene();
    QImage img = Blank();
    QPainter p(&img);
    QFont f("DejaVu Sans");
    f.setPixelSize(12);
    f.setStyleStrategy(QFont::NoAntialias);
    p.setFont(f);
    p.setPen(Qt::black);
    const double angle = double(state.range(0)) / 10;
    for (auto _ : state)
        for (int i = 0; i < Labels; ++i) {
            QString text = Cp1251ToQString(s.Texts[size_t(i)]);
            if (angle == 0) {
                p.drawText(s.TextAt[size_t(i)].X, s.TextAt[size_t(i)].Y, text);
            } else {
                p.save();
                p.translate(s.TextAt[size_t(i)].X, s.TextAt[size_t(i)].Y);
                p.rotate(-angle);
                p.drawText(0, 0, text);
                p.restore();
            }
        }
    PerItem(state, "per_label", Labels);
}
BENCHMARK(BM_Labels_QPainter)->Arg(0)->Arg(300)->Unit(benchmark::kMillisecond);
