// The copy mix takes shortcuts of its own (no read of the screen, rows
// asked for ahead). On a black screen the merge mix (pen | screen) and on a
// white one the mask mix (pen & screen) leave exactly the pen's colour, and
// go the general way: each shape must come out the same all three ways.
#include "GdiSupport.h"

#include <functional>
#include <random>

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr TColorRef White = Rgb(255, 255, 255), Black = 0;

using TDraw = std::function<void(TDeviceContext&)>;

// The shape drawn with the copy mix and with the mix that copies on that
// background, pen and brush as the shape sets them.
::testing::AssertionResult SameThroughEveryMix(const TDraw& draw, int w = 120, int h = 90)
{
    for (auto [background, mix] : {std::pair{Black, TGDI_R2_MERGEPEN}, std::pair{White, TGDI_R2_MASKPEN}}) {
        TCanvas copy(w, h, background), general(w, h, background);
        draw(*copy.DC);
        general.DC->SetROP2(mix);
        draw(*general.DC);
        if (auto r = SameImage(copy.Img, general.Img); !r) return r << " (mix " << mix << ")";
    }
    return ::testing::AssertionSuccess();
}

TDraw Ellipse(int l, int t, int r, int b, TColorRef pen, int penWidth, bool fill)
{
    return [=](TDeviceContext& dc) {
        auto p = TPen::Create(TGDI_PS_SOLID, penWidth, pen);
        auto brush = fill ? TBrush::CreateSolid(Rgb(40, 200, 90)) : TGdiRef<TBrush>(StockBrush(TGDI_NULL_BRUSH));
        dc.SelectPen(p);
        dc.SelectBrush(brush);
        dc.Ellipse(l, t, r, b);
    };
}

} // namespace

TEST(GdiMixPaths, EllipsesComeOutTheSameThroughEveryMix)
{
    const TColorRef red = Rgb(230, 20, 20);
    struct TCase {
        const char* What;
        TDraw Draw;
    } cases[] = {
        {"sign-sized disc", Ellipse(20, 20, 33, 33, red, 0, true)},
        {"outline only", Ellipse(20, 20, 33, 33, red, 1, false)},
        {"one pixel", Ellipse(5, 5, 6, 6, red, 0, true)},
        {"two by three", Ellipse(5, 5, 7, 8, red, 0, true)},
        {"flat", Ellipse(10, 40, 110, 43, red, 0, true)},
        {"tall", Ellipse(60, 2, 63, 88, red, 0, true)},
        {"cut by the left edge", Ellipse(-7, 30, 9, 46, red, 0, true)},
        {"cut by the top edge", Ellipse(30, -9, 46, 7, red, 0, true)},
        {"cut by the right edge", Ellipse(111, 30, 127, 46, red, 0, true)},
        {"cut by the bottom edge", Ellipse(30, 81, 46, 97, red, 0, true)},
        {"larger than the screen", Ellipse(-50, -40, 170, 130, red, 0, true)},
        {"taller than the prefetched rows", Ellipse(10, -100, 110, 190, red, 0, false)},
        {"no pen", [=](TDeviceContext& dc) {
             dc.SelectPen(StockPen(TGDI_NULL_PEN));
             dc.Ellipse(20, 20, 45, 41);
         }},
    };
    for (const TCase& c : cases) EXPECT_TRUE(SameThroughEveryMix(c.Draw)) << c.What;
}

TEST(GdiMixPaths, ScatteredDiscsComeOutTheSameThroughEveryMix)
{
    // a map's signs in cells of a grid (so none overlaps another), some
    // beyond the edges
    EXPECT_TRUE(SameThroughEveryMix([](TDeviceContext& dc) {
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> at(0, 4), size(1, 20), colour(0, 255);
        for (int i = 0; i < 7 * 5; ++i) {
            const int x = -10 + 25 * (i % 7) + at(rng), y = -10 + 25 * (i / 7) + at(rng), d = size(rng);
            auto pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(colour(rng), colour(rng), colour(rng)));
            auto brush = TBrush::CreateSolid(Rgb(colour(rng), colour(rng), colour(rng)));
            dc.SelectPen(pen);
            dc.SelectBrush(brush);
            dc.Ellipse(x, y, x + d, y + d);
        }
    }));
}
