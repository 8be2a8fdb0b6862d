// Fonts and text: sizes, alignment, escapement, background, measuring.
#include "GdiSupport.h"

#include <cstring>

using namespace tarn;
using namespace tarn::test;

namespace {
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0;
const std::string Cyrillic = "\xD2\xE5\xEA\xF1\xF2";  // "Текст" in code page 1251
} // namespace

TEST(GdiText, PositiveHeightIsTheCellAndNegativeTheCharacterHeight)
{
    TDeviceContext dc;  // measuring only
    for (int h : {8, 12, 16, 20, 33, 60}) {
        auto cell = TFont::Create(DejaVu(h));
        dc.SelectFont(cell);
        EXPECT_LE(dc.GetTextExtent("Hg").Cy, h) << "cell height " << h;
        EXPECT_GE(dc.GetTextExtent("Hg").Cy, h - 2) << "cell height " << h;
        auto chr = TFont::Create(DejaVu(-h));
        dc.SelectFont(chr);
        EXPECT_GT(dc.GetTextExtent("Hg").Cy, h) << "character height " << h << " has a larger cell";
    }
    auto byDefault = TFont::Create(DejaVu(0));
    dc.SelectFont(byDefault);
    EXPECT_GT(dc.GetTextExtent("Hg").Cy, 8);
}

TEST(GdiText, ExtentAddsWholePixelAdvancesAndWeightWidens)
{
    TDeviceContext dc;
    auto normal = TFont::Create(DejaVu(-20)), bold = TFont::Create(DejaVu(-20, 0, 700));
    dc.SelectFont(normal);
    const TSize a = dc.GetTextExtent("ab"), b = dc.GetTextExtent("a"), c = dc.GetTextExtent("b");
    EXPECT_EQ(a.Cx, b.Cx + c.Cx);
    EXPECT_EQ(dc.GetTextExtent("").Cx, 0);
    const int32_t w = dc.GetTextExtent(Cyrillic).Cx;
    EXPECT_GT(w, 5 * 8) << "Cyrillic letters have real glyphs";
    dc.SelectFont(bold);
    EXPECT_GT(dc.GetTextExtent(Cyrillic).Cx, w);
}

TEST(GdiText, AnAbsentFaceIsDrawnAsDejaVuSans)
{
    TDeviceContext dc;
    TLogFont lf = DejaVu(-18);
    std::memset(lf.FaceName, 0, sizeof lf.FaceName);
    std::strcpy(lf.FaceName, "No Such Face Anywhere");
    auto missing = TFont::Create(lf), dejavu = TFont::Create(DejaVu(-18));
    dc.SelectFont(missing);
    const TSize a = dc.GetTextExtent(Cyrillic);
    dc.SelectFont(dejavu);
    EXPECT_EQ(a, dc.GetTextExtent(Cyrillic));
}

TEST(GdiText, WidthStretchesTheFont)
{
    TDeviceContext dc;
    TLogFont lf = DejaVu(-20);
    auto natural = TFont::Create(lf);
    lf.Width = 20;
    auto wide = TFont::Create(lf);
    dc.SelectFont(natural);
    const int32_t w = dc.GetTextExtent("mmmm").Cx;
    dc.SelectFont(wide);
    EXPECT_GT(dc.GetTextExtent("mmmm").Cx, w);
}

TEST(GdiText, TopLeftAlignmentPutsTheTextBelowAndRightOfThePoint)
{
    TCanvas cv(200, 60);
    auto font = TFont::Create(DejaVu(-20));
    cv.DC->SelectFont(font);
    cv.DC->SetBkMode(TGDI_TRANSPARENT);
    cv.DC->TextOut(30, 20, Cyrillic);
    const QRect ink = InkBox(cv.Img, White);
    const TSize ext = cv.DC->GetTextExtent(Cyrillic);
    ASSERT_FALSE(ink.isEmpty());
    // A letter's smoothed edge may touch the pixel before the point.
    EXPECT_GE(ink.left(), 29);
    EXPECT_GE(ink.top(), 20);
    EXPECT_LE(ink.right(), 30 + ext.Cx);
    EXPECT_LE(ink.bottom(), 20 + ext.Cy);
}

// Text is smoothed in grey levels only: every pixel is the background, the
// text colour or a mix of the two by one coverage (no colour fringes), at
// every angle and size, and the text colour itself is reached.
TEST(GdiText, TextIsSmoothedInGreyLevelsOfItsColour)
{
    const struct {
        int32_t Height, Escapement, Weight;
        TColorRef Text, Back;
    } cases[] = {
        {-9, 0, 400, Black, White},
        {-12, 0, 700, Rgb(40, 95, 175), Rgb(253, 246, 205)},
        {-12, 37, 400, Rgb(35, 35, 35), Rgb(226, 234, 247)},
        {-16, 300, 400, Rgb(125, 90, 150), White},
        {-20, 900, 700, Rgb(200, 30, 30), Rgb(166, 206, 238)},
        {-11, -1750, 400, Black, Rgb(200, 232, 185)},
    };
    for (const auto& c : cases) {
        TCanvas cv(260, 260, c.Back);
        auto font = TFont::Create(DejaVu(c.Height, c.Escapement, c.Weight));
        cv.DC->SelectFont(font);
        cv.DC->SetBkMode(TGDI_TRANSPARENT);
        cv.DC->SetTextColor(c.Text);
        cv.DC->SetTextAlign(TGDI_TA_BASELINE);
        cv.DC->TextOut(130, 130, Cyrillic + " 12/1");
        int mixed = 0, full = 0, fringes = 0;
        const int back[3] = {int(c.Back & 0xFF), int(c.Back >> 8 & 0xFF), int(c.Back >> 16 & 0xFF)};
        const int text[3] = {int(c.Text & 0xFF), int(c.Text >> 8 & 0xFF), int(c.Text >> 16 & 0xFF)};
        for (int y = 0; y < cv.Img.height(); ++y)
            for (int x = 0; x < cv.Img.width(); ++x) {
                const TColorRef p = cv.At(x, y);
                if (p == c.Back) continue;
                const int px[3] = {int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF)};
                // The coverage from the channel that changes most, then every
                // channel must agree with it.
                int k = 0;
                for (int i = 1; i < 3; ++i)
                    if (std::abs(text[i] - back[i]) > std::abs(text[k] - back[k])) k = i;
                const double a = double(px[k] - back[k]) / (text[k] - back[k]);
                for (int i = 0; i < 3; ++i) fringes += std::abs(back[i] + a * (text[i] - back[i]) - px[i]) > 3;
                (a > 0.97 ? full : mixed) += 1;
            }
        EXPECT_EQ(fringes, 0) << c.Height << " at " << c.Escapement;
        EXPECT_GT(mixed, 10) << "smoothed edges, " << c.Height << " at " << c.Escapement;
        EXPECT_GT(full, 3) << "solid stems, " << c.Height << " at " << c.Escapement;
    }
}

TEST(GdiText, BaselineAndRightAndCentreAlignmentMoveTheBox)
{
    auto font = TFont::Create(DejaVu(-20));
    auto inkFor = [&](uint32_t align) {
        TCanvas cv(300, 100);
        cv.DC->SelectFont(font);
        cv.DC->SetTextAlign(align);
        cv.DC->TextOut(150, 50, "HHHH");
        return InkBox(cv.Img, White);
    };
    const QRect base = inkFor(TGDI_TA_BASELINE), right = inkFor(TGDI_TA_RIGHT), centre = inkFor(TGDI_TA_CENTER);
    EXPECT_EQ(base.bottom(), 49) << "capitals stand on the baseline";
    EXPECT_LE(right.right(), 149);
    EXPECT_GT(right.right(), 140);
    EXPECT_LT(centre.left(), 150);
    EXPECT_GT(centre.right(), 150);
    EXPECT_LE(std::abs((centre.left() + centre.right()) / 2 - 150), 2);
}

TEST(GdiText, EscapementOf900RunsUpwardFromTheReferencePoint)
{
    TCanvas cv(120, 220);
    auto font = TFont::Create(DejaVu(-20, 900));
    cv.DC->SelectFont(font);
    cv.DC->SetBkMode(TGDI_TRANSPARENT);
    cv.DC->SetTextAlign(TGDI_TA_BASELINE);
    cv.DC->TextOut(60, 200, Cyrillic);
    const QRect ink = InkBox(cv.Img, White);
    const TSize ext = cv.DC->GetTextExtent(Cyrillic);
    ASSERT_FALSE(ink.isEmpty()) << SaveImage(cv.Img, "escapement-900");
    EXPECT_LE(ink.bottom(), 200) << "no ink below the reference point";
    EXPECT_GE(ink.top(), 200 - ext.Cx - 2);
    EXPECT_LE(ink.top(), 200 - ext.Cx + 6) << "it runs the text's width upward";
    EXPECT_LE(ink.right(), 60) << "the letters stand to the left of the line they run on";
    EXPECT_LT(ink.width(), ext.Cy);
}

TEST(GdiText, OpaqueModeFillsTheCellWithTheBackgroundColour)
{
    const TColorRef bk = Rgb(255, 255, 0);
    auto font = TFont::Create(DejaVu(-16));
    for (int mode : {TGDI_OPAQUE, TGDI_TRANSPARENT}) {
        TCanvas cv(120, 40);
        cv.DC->SelectFont(font);
        cv.DC->SetBkMode(mode);
        cv.DC->SetBkColor(bk);
        cv.DC->SetTextColor(Rgb(0, 0, 255));
        cv.DC->TextOut(10, 10, "Map");
        const TSize ext = cv.DC->GetTextExtent("Map");
        if (mode == TGDI_OPAQUE) {
            EXPECT_EQ(InkBox(cv.Img, White), QRect(10, 10, ext.Cx, ext.Cy));
            EXPECT_GT(Count(cv.Img, bk), ext.Cx * ext.Cy / 2);
        } else {
            EXPECT_EQ(Count(cv.Img, bk), 0);
        }
        EXPECT_GT(Count(cv.Img, Rgb(0, 0, 255)), 20) << "text colour";
    }
}

TEST(GdiText, DecorationsAndItalicChangeTheInk)
{
    auto inkOf = [](const TLogFont& lf) {
        auto font = TFont::Create(lf);
        TCanvas cv(200, 50);
        cv.DC->SelectFont(font);
        cv.DC->SetTextAlign(TGDI_TA_BASELINE);
        cv.DC->TextOut(10, 30, "HHH");
        return cv.Img;
    };
    const TLogFont plainFont = DejaVu(-20);
    const QImage plain = inkOf(plainFont);
    const QRect box = InkBox(plain, White);
    EXPECT_EQ(box.bottom(), 29) << "capitals stand on the baseline";
    TLogFont lf = plainFont;
    lf.Underline = 1;
    EXPECT_GT(InkBox(inkOf(lf), White).bottom(), 29) << "underline below the baseline";
    lf = plainFont;
    lf.StrikeOut = 1;
    const QImage struck = inkOf(lf);
    EXPECT_EQ(InkBox(struck, White).bottom(), 29);
    EXPECT_GT(Count(struck, Black), Count(plain, Black)) << "a line through the letters";
    lf = plainFont;
    lf.Italic = 1;
    EXPECT_FALSE(SameImage(inkOf(lf), plain)) << "slanted";
}

TEST(GdiText, MeasuringContextDrawsNothing)
{
    TDeviceContext dc;
    EXPECT_FALSE(dc.CanDraw());
    dc.TextOut(0, 0, "x");
    dc.Rectangle(0, 0, 10, 10);
    dc.LineTo(100, 100);
    EXPECT_EQ(dc.GetPixel(0, 0), InvalidColor);
    EXPECT_GT(dc.GetTextExtent("x").Cx, 0);
}
