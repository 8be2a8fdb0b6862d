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
    EXPECT_GE(ink.left(), 30);
    EXPECT_GE(ink.top(), 20);
    EXPECT_LE(ink.right(), 30 + ext.Cx);
    EXPECT_LE(ink.bottom(), 20 + ext.Cy);
    EXPECT_EQ(Count(cv.Img, White) + Count(cv.Img, Black), 200 * 60) << "no antialiasing: two colours only";
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

TEST(GdiText, UnderlineAddsInkBelowTheBaseline)
{
    TLogFont lf = DejaVu(-20);
    auto plain = TFont::Create(lf);
    lf.Underline = 1;
    auto under = TFont::Create(lf);
    auto inkOf = [](TFont* f) {
        TCanvas cv(200, 50);
        cv.DC->SelectFont(f);
        cv.DC->SetTextAlign(TGDI_TA_BASELINE);
        cv.DC->TextOut(10, 30, "HHH");
        return InkBox(cv.Img, White);
    };
    EXPECT_EQ(inkOf(plain).bottom(), 29);
    EXPECT_GT(inkOf(under).bottom(), 29);
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
