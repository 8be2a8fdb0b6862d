#include "CityRaster.h"

#include "CityGeometry.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace tarn::city {

namespace {

// A page of ink: 1 where the pen went. Coordinates in pixels, y down.
class TPage {
public:
    TPage(int w, int h) : W(w), H(h), Ink(std::size_t(w) * std::size_t(h), 0) {}

    void Dot(int x, int y)
    {
        if (x >= 0 && y >= 0 && x < W && y < H) Ink[std::size_t(y) * std::size_t(W) + std::size_t(x)] = 1;
    }
    void Clear(int x, int y)
    {
        if (x >= 0 && y >= 0 && x < W && y < H) Ink[std::size_t(y) * std::size_t(W) + std::size_t(x)] = 0;
    }
    bool At(int x, int y) const { return Ink[std::size_t(y) * std::size_t(W) + std::size_t(x)] != 0; }

    void Line(TPt a, TPt b, double width)
    {
        const double r = width / 2;
        const int x0 = int(std::floor(std::min(a.X, b.X) - r - 1)), x1 = int(std::ceil(std::max(a.X, b.X) + r + 1));
        const int y0 = int(std::floor(std::min(a.Y, b.Y) - r - 1)), y1 = int(std::ceil(std::max(a.Y, b.Y) + r + 1));
        for (int y = std::max(0, y0); y <= std::min(H - 1, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(W - 1, x1); ++x)
                if (DistToSegment({x + 0.5, y + 0.5}, a, b) <= r) Dot(x, y);
    }
    void Ring(const TPath& ring, double width)
    {
        for (std::size_t k = 0; k < ring.size(); ++k) Line(ring[k], ring[(k + 1) % ring.size()], width);
    }
    void Polyline(const TPath& path, double width)
    {
        for (std::size_t k = 1; k < path.size(); ++k) Line(path[k - 1], path[k], width);
    }
    // Diagonal hatching inside a ring, every `step` pixels.
    void Hatch(const TPath& ring, int step, bool cross)
    {
        Inside(ring, [&](int x, int y) { return (x + y) % step == 0 || (cross && (x - y + 100000) % step == 0); });
    }
    void Fill(const TPath& ring)
    {
        Inside(ring, [](int, int) { return true; });
    }
    // Dots every pixel inside the ring that `on` chooses.
    template <class On>
    void Inside(const TPath& ring, On on)
    {
        double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
        for (const TPt& p : ring) {
            x0 = std::min(x0, p.X);
            y0 = std::min(y0, p.Y);
            x1 = std::max(x1, p.X);
            y1 = std::max(y1, p.Y);
        }
        for (int y = std::max(0, int(y0)); y <= std::min(H - 1, int(y1)); ++y)
            for (int x = std::max(0, int(x0)); x <= std::min(W - 1, int(x1)); ++x)
                if (on(x, y) && InsideRing({x + 0.5, y + 0.5}, ring)) Dot(x, y);
    }
    void Circle(TPt c, double r, double width)
    {
        TPath ring = Ellipse(c, r, r, 0, std::max(12, int(r * 2)));
        Ring(ring, width);
    }
    // Text in a 5 x 7 pixel font, each font pixel `k` pixels square.
    void Text(const std::string& utf8, int x, int y, int k);

    int W, H;
    std::vector<uint8_t> Ink;
};

const std::map<char32_t, const char*>& Font()
{
    static const std::map<char32_t, const char*> glyphs = {
        {U'П', "#####" "#...#" "#...#" "#...#" "#...#" "#...#" "#...#"},
        {U'Р', "####." "#...#" "#...#" "####." "#...." "#...." "#...."},
        {U'О', ".###." "#...#" "#...#" "#...#" "#...#" "#...#" ".###."},
        {U'Е', "#####" "#...." "#...." "####." "#...." "#...." "#####"},
        {U'К', "#...#" "#..#." "#.#.." "##..." "#.#.." "#..#." "#...#"},
        {U'Т', "#####" "..#.." "..#.." "..#.." "..#.." "..#.." "..#.."},
        {U'З', ".###." "#...#" "....#" "..##." "....#" "#...#" ".###."},
        {U'А', ".###." "#...#" "#...#" "#####" "#...#" "#...#" "#...#"},
        {U'С', ".###." "#...#" "#...." "#...." "#...." "#...#" ".###."},
        {U'И', "#...#" "#...#" "#..##" "#.#.#" "##..#" "#...#" "#...#"},
        {U'Й', ".#.#." "#...#" "#..##" "#.#.#" "##..#" "#...#" "#...#"},
        {U'М', "#...#" "##.##" "#.#.#" "#.#.#" "#...#" "#...#" "#...#"},
        {U'Н', "#...#" "#...#" "#...#" "#####" "#...#" "#...#" "#...#"},
        {U'Ю', "#..#." "#.#.#" "#.#.#" "###.#" "#.#.#" "#.#.#" "#..#."},
        {U'Г', "#####" "#...." "#...." "#...." "#...." "#...." "#...."},
        {U'В', "####." "#...#" "#...#" "####." "#...#" "#...#" "####."},
        {U'Ч', "#...#" "#...#" "#...#" ".####" "....#" "....#" "....#"},
        {U'Ы', "#...#" "#...#" "#...#" "##..#" "#.#.#" "#.#.#" "##..#"},
        {U'Л', "..###" ".#..#" ".#..#" ".#..#" ".#..#" ".#..#" "#...#"},
        {U'Д', "..##." ".#.#." ".#.#." ".#.#." ".#.#." "#####" "#...#"},
        {U'Ш', "#...#" "#...#" "#.#.#" "#.#.#" "#.#.#" "#.#.#" "#####"},
        {U'Ь', "#...." "#...." "#...." "####." "#...#" "#...#" "####."},
        {U'Ж', "#.#.#" "#.#.#" ".###." "..#.." ".###." "#.#.#" "#.#.#"},
        {U'Я', ".####" "#...#" "#...#" ".####" "..#.#" ".#..#" "#...#"},
        {U'-', "....." "....." "....." "#####" "....." "....." "....."},
        {U':', "....." "..#.." "..#.." "....." "..#.." "..#.." "....."},
        {U'.', "....." "....." "....." "....." "....." "..#.." "..#.."},
        {U'№', "#..#." "##.#." "#.##." "#..#." "....#" ".##.." "....."},
        {U'0', ".###." "#...#" "#..##" "#.#.#" "##..#" "#...#" ".###."},
        {U'1', "..#.." ".##.." "..#.." "..#.." "..#.." "..#.." ".###."},
        {U'2', ".###." "#...#" "....#" "...#." "..#.." ".#..." "#####"},
        {U'3', ".###." "#...#" "....#" "..##." "....#" "#...#" ".###."},
        {U'4', "...#." "..##." ".#.#." "#..#." "#####" "...#." "...#."},
        {U'5', "#####" "#...." "####." "....#" "....#" "#...#" ".###."},
    };
    return glyphs;
}

void TPage::Text(const std::string& s, int x, int y, int k)
{
    for (std::size_t i = 0; i < s.size();) {
        const char32_t cp = NextCodePoint(s, i);
        const auto it = Font().find(cp);
        if (it != Font().end())
            for (int gy = 0; gy < 7; ++gy)
                for (int gx = 0; gx < 5; ++gx)
                    if (it->second[gy * 5 + gx] == '#')
                        for (int py = 0; py < k; ++py)
                            for (int px = 0; px < k; ++px) Dot(x + gx * k + px, y + gy * k + py);
        x += 6 * k;
    }
}

TPath Rect(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

void PutU16(std::string& s, std::size_t at, uint16_t v)
{
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8);
}
void PutU32(std::string& s, std::size_t at, uint32_t v)
{
    for (int k = 0; k < 4; ++k) s[at + std::size_t(k)] = char((v >> (8 * k)) & 0xFF);
}

} // namespace

std::string MakeScanPicture(const TScanArea& area, uint32_t seed)
{
    const int W = area.PixelsW, H = area.PixelsH;
    TPage page(W, H);
    TRng r(seed ^ 0x51ed270bu);
    const double k = W / area.Width;  // pixels per metre
    auto px = [&](double x, double y) { return TPt{x * k, y * k}; };

    // The frame.
    page.Ring(Rect(36, 36, W - 36, H - 36), 5);
    page.Ring(Rect(50, 50, W - 50, H - 50), 2);

    // The district's streets: a boulevard across, a loop road, side streets.
    const double mx = area.Width / 2, my = area.Height * 0.46;
    auto road = [&](TPt a, TPt b, double half) {
        const TPt d = Unit(b - a), n = Perp(d) * half;
        page.Line(px((a + n).X, (a + n).Y), px((b + n).X, (b + n).Y), 2);
        page.Line(px((a - n).X, (a - n).Y), px((b - n).X, (b - n).Y), 2);
    };
    road({60, my}, {area.Width - 60, my}, 18);
    road({mx, 60}, {mx, area.Height - 60}, 12);
    const double lx0 = 260, ly0 = 240, lx1 = area.Width - 260, ly1 = area.Height - 260;
    road({lx0, ly0}, {lx1, ly0}, 8);
    road({lx0, ly1}, {lx1, ly1}, 8);
    road({lx0, ly0}, {lx0, ly1}, 8);
    road({lx1, ly0}, {lx1, ly1}, 8);
    // Trees along the boulevard.
    for (double x = 90; x < area.Width - 90; x += 14) {
        if (std::fabs(x - mx) < 30) continue;
        page.Circle(px(x, my - 30), 3.2 * k, 1.5);
        page.Circle(px(x, my + 30), 3.2 * k, 1.5);
    }
    // Four quarters of slabs round their courtyards, each with its school
    // or kindergarten in the middle.
    const double qx[2][2] = {{lx0 + 30, mx - 40}, {mx + 40, lx1 - 30}};
    const double qy[2][2] = {{ly0 + 30, my - 50}, {my + 50, ly1 - 30}};
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
            const double x0 = qx[a][0], x1 = qx[a][1], y0 = qy[b][0], y1 = qy[b][1];
            // Rows of slabs across the quarter, the middle left for the yard.
            const double cx0 = (x0 + x1) / 2, cy0 = (y0 + y1) / 2;
            for (double y = y0; y + 14 < y1; y += r.Range(52, 62)) {
                for (double x = x0; x + 40 < x1;) {
                    const double len = r.Range(70, 125);
                    const double e = std::min(x + len, x1);
                    const bool yard = std::fabs(y + 7 - cy0) < 75 && x < cx0 + 85 && e > cx0 - 85;
                    if (!yard && e - x > 35) {
                        const TPath ring = {px(x, y), px(e, y), px(e, y + 14), px(x, y + 14)};
                        page.Ring(ring, 2.5);
                        page.Hatch(ring, 6, false);
                    }
                    x = e + r.Range(18, 30);
                }
            }
            // The П-shaped school or the H-shaped kindergarten.
            const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
            std::vector<TPath> parts;
            if ((a + b) % 2 == 0) {
                parts = {Rect(cx - 45, cy - 30, cx + 45, cy - 15), Rect(cx - 45, cy - 15, cx - 30, cy + 30),
                         Rect(cx + 30, cy - 15, cx + 45, cy + 30)};
            } else {
                parts = {Rect(cx - 35, cy - 25, cx - 22, cy + 25), Rect(cx + 22, cy - 25, cx + 35, cy + 25),
                         Rect(cx - 22, cy - 6, cx + 22, cy + 6)};
            }
            for (const TPath& p : parts) {
                TPath ring;
                for (const TPt& q : p) ring.push_back(px(q.X, q.Y));
                page.Ring(ring, 2.5);
                page.Hatch(ring, 6, true);
            }
            // Its yard, fenced with a dashed line.
            TPath yard = Rect(cx - 70, cy - 50, cx + 70, cy + 55);
            for (std::size_t e = 0; e < 4; ++e) {
                const TPt p = px(yard[e].X, yard[e].Y), q = px(yard[(e + 1) % 4].X, yard[(e + 1) % 4].Y);
                const double len = Dist(p, q);
                for (double t = 0; t < len; t += 18) page.Line(Lerp(p, q, t / len), Lerp(p, q, std::min(1.0, (t + 10) / len)), 1.5);
            }
        }
    // A pond in the middle with ripples.
    const TPt pond = px(mx + 160, my - 150);
    page.Ring(Ellipse(pond, 70 * k / 1.6, 40 * k / 1.6, 0.3, 48), 2.5);
    for (int w = -2; w <= 2; ++w)
        for (double t = -40; t < 40; t += 10)
            page.Line(px(mx + 160 + t, my - 150 + w * 9 + (int(t / 10) % 2) * 2),
                      px(mx + 165 + t, my - 150 + w * 9 - (int(t / 10) % 2) * 2), 1.2);
    // The north arrow and the scale bar.
    page.Fill({px(120, 120), px(100, 200), px(120, 185), px(140, 200)});
    page.Text("С", int(120 * k) - 14, int(120 * k) - 52, 5);
    for (int s = 0; s < 5; ++s) {
        const TPath seg = {px(100 + s * 100, area.Height - 120), px(200 + s * 100, area.Height - 120),
                           px(200 + s * 100, area.Height - 110), px(100 + s * 100, area.Height - 110)};
        page.Ring(seg, 2);
        if (s % 2 == 0) page.Fill(seg);
    }
    page.Text("0", int(100 * k) - 8, int((area.Height - 150) * k) - 10, 4);
    page.Text("500 М", int(590 * k) - 20, int((area.Height - 150) * k) - 10, 4);
    // The title block.
    const int tx = W - 700, ty = H - 300;
    page.Ring(Rect(tx, ty, W - 60, H - 60), 3);
    page.Line({double(tx), ty + 78.0}, {W - 60.0, ty + 78.0}, 2);
    page.Text("ПРОЕКТ ЗАСТРОЙКИ", tx + 24, ty + 18, 6);
    page.Text("МИКРОРАЙОН ЮГО-ВОСТОЧНЫЙ", tx + 24, ty + 98, 4);
    page.Text("Г. ЛИСТОГРАД", tx + 24, ty + 144, 4);
    page.Text("М 1:2000   ЛИСТ 1", tx + 24, ty + 190, 4);

    // The scanner: dust, a grey margin on the left edge, a few lost pixels.
    // One draw a statement: compilers order a call's arguments differently.
    for (int n = 0; n < W * H / 900; ++n) {
        const int y = r.Int(0, H - 1), x = r.Int(0, W - 1);
        page.Dot(x, y);
    }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < 14; ++x)
            if (r.Chance(0.5 - x * 0.035)) page.Dot(x, y);
    for (int n = 0; n < W * H / 1500; ++n) {
        const int y = r.Int(0, H - 1), x = r.Int(0, W - 1);
        page.Clear(x, y);
    }

    // The ".bmp": file and information headers, two colours, rows bottom up.
    const uint32_t rowBytes = uint32_t((W + 31) / 32 * 4);
    const uint32_t offset = 14 + 40 + 8;
    std::string bmp(offset + rowBytes * uint32_t(H), '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutU32(bmp, 2, uint32_t(bmp.size()));
    PutU32(bmp, 10, offset);
    PutU32(bmp, 14, 40);
    PutU32(bmp, 18, uint32_t(W));
    PutU32(bmp, 22, uint32_t(H));
    PutU16(bmp, 26, 1);
    PutU16(bmp, 28, 1);
    PutU32(bmp, 34, rowBytes * uint32_t(H));
    PutU32(bmp, 38, 3780);  // 96 dots an inch
    PutU32(bmp, 42, 3780);
    PutU32(bmp, 46, 2);
    PutU32(bmp, 50, 2);
    PutU32(bmp, 54, 0x00000000);  // 0: ink
    PutU32(bmp, 58, 0x00FFFFFF);  // 1: paper
    for (int y = 0; y < H; ++y) {
        const std::size_t row = offset + std::size_t(rowBytes) * std::size_t(H - 1 - y);
        for (int x = 0; x < W; ++x)
            if (!page.At(x, y)) bmp[row + std::size_t(x / 8)] = char(uint8_t(bmp[row + std::size_t(x / 8)]) | (0x80 >> (x % 8)));
    }
    return bmp;
}

} // namespace tarn::city
