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

namespace {

// A picture of every depth with bytes from a seed; its pixel (x, row from
// the top) as 0x00BBGGRR, read by hand from the bytes.
struct TPicture {
    TBitmapInfo Info;
    std::vector<uint8_t> Bits;
    uint32_t Colors[256];
    int64_t RowBytes;

    TPicture(int32_t w, int32_t h, uint16_t depth, bool bottomUp, uint32_t seed)
    {
        std::mt19937 rng(seed);
        for (uint32_t& c : Colors) c = rng() & 0xFFFFFFu;
        Info.Width = w;
        Info.Height = bottomUp ? h : -h;
        Info.BitCount = depth;
        Info.Colors = Colors;
        Info.ColorCount = depth <= 8 ? 1u << depth : 0;
        RowBytes = ((int64_t(w) * depth + 31) / 32) * 4;
        Bits.resize(size_t(RowBytes * h));
        for (uint8_t& b : Bits) b = uint8_t(rng());
    }
    TColorRef At(int32_t x, int32_t y) const
    {
        const int32_t h = std::abs(Info.Height);
        const uint8_t* row = Bits.data() + (Info.Height > 0 ? h - 1 - y : y) * RowBytes;
        uint32_t rgb;  // 0x00RRGGBB
        switch (Info.BitCount) {
        case 1: rgb = Colors[(row[x / 8] >> (7 - x % 8)) & 1]; break;
        case 4: rgb = Colors[x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4]; break;
        case 8: rgb = Colors[row[x]]; break;
        default: {
            const uint8_t* p = row + x * (Info.BitCount / 8);
            rgb = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
        }
        return Rgb(int(rgb >> 16), int((rgb >> 8) & 255), int(rgb & 255));
    }
};

} // namespace

TEST(GdiMixPaths, UnstretchedPicturesCopyAndMaskEachSourcePixel)
{
    // every depth, both row orders, placed across each edge of the screen
    // and taken from inside and across the edges of the picture
    struct TPlace {
        int32_t X, Y, SX, SY;
    } places[] = {{10, 8, 0, 0}, {-9, -5, 3, 2}, {50, 40, 0, 0}, {20, 10, -4, -3}, {5, 5, 30, 20}};
    const TColorRef screen = Rgb(180, 120, 60);
    for (uint16_t depth : {1, 4, 8, 24, 32})
        for (bool bottomUp : {true, false})
            for (const TPlace& at : places)
                for (uint32_t rop : {TGDI_SRCCOPY, TGDI_SRCAND}) {
                    const TPicture pic(37, 23, depth, bottomUp, depth * 7 + bottomUp);
                    const int32_t w = 37, h = 23;
                    TCanvas cv(60, 45, screen);
                    EXPECT_EQ(cv.DC->StretchDIBits(at.X, at.Y, w, h, at.SX, at.SY, w, h, pic.Bits.data(),
                                                   pic.Bits.size(), pic.Info, rop),
                              h);
                    // the source's y counts from its bottom row in a bottom-up picture
                    const int32_t top = bottomUp ? 23 - (at.SY + h) : at.SY;
                    int wrong = 0;
                    for (int32_t y = 0; y < 45; ++y)
                        for (int32_t x = 0; x < 60; ++x) {
                            const int32_t px = x - at.X + at.SX, py = y - at.Y + top;
                            const bool in = x >= at.X && x < at.X + w && y >= at.Y && y < at.Y + h && px >= 0 &&
                                            px < 37 && py >= 0 && py < 23;
                            TColorRef want = screen;
                            if (in) want = rop == TGDI_SRCCOPY ? pic.At(px, py) : (pic.At(px, py) & screen);
                            wrong += cv.At(x, y) != want;
                        }
                    EXPECT_EQ(wrong, 0) << "depth " << depth << (bottomUp ? " bottom-up" : " top-down") << " at ("
                                        << at.X << ", " << at.Y << ") from (" << at.SX << ", " << at.SY << ") rop "
                                        << std::hex << rop;
                }
}

TEST(GdiMixPaths, PrefetchHintsDrawNothingWhereverTheyPoint)
{
    TCanvas cv(40, 30, Rgb(10, 20, 30));
    const QImage before = cv.Img.copy();
    const int32_t far[] = {INT32_MIN, -1, 0, 15, 39, 40, INT32_MAX};
    for (int32_t x : far)
        for (int32_t y : far)
            for (int32_t half : {0, 1, 16, INT32_MAX}) cv.DC->Prefetch(x, y, half);
    EXPECT_TRUE(SameImage(cv.Img, before));
}

TEST(GdiMixPaths, LinesAndPolygonsComeOutTheSameThroughEveryMix)
{
    // one shape to a cell of a grid, so that none overlaps another; some
    // cross the edges of the screen
    EXPECT_TRUE(SameThroughEveryMix([](TDeviceContext& dc) {
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> at(0, 20), colour(0, 255), kind(0, 3);
        for (int i = 0; i < 7 * 5; ++i) {
            const int x = -10 + 25 * (i % 7), y = -10 + 25 * (i / 7);
            TPoint p[5];
            for (TPoint& q : p) q = {x + at(rng), y + at(rng)};
            auto pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(colour(rng), colour(rng), colour(rng)));
            auto brush = TBrush::CreateSolid(Rgb(colour(rng), colour(rng), colour(rng)));
            dc.SelectPen(pen);
            dc.SelectBrush(brush);
            switch (kind(rng)) {
            case 0: dc.Polyline(p, 5); break;
            case 1:  // the outline would cover the fill's edge: one at a time
                dc.SelectPen(StockPen(TGDI_NULL_PEN));
                dc.Polygon(p, 5);
                break;
            case 2:
                dc.SelectBrush(StockBrush(TGDI_NULL_BRUSH));
                dc.Polygon(p, 5);
                break;
            default:
                dc.MoveTo(p[0].X, p[0].Y);
                dc.LineTo(p[1].X, p[1].Y);
            }
        }
    }));
}
