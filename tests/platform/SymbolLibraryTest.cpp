// Our symbol library "tarn.dll", loaded as the program loads it and called
// through its exports with the request records.
#include "GdiSupport.h"

#include "platform/DynLib.h"
#include "platform/TarnSymbols.h"

#include <QPainter>

#include <string>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

const TDynLib& Library()
{
    static TDynLib lib = [] {
        TDynLib l;
        EXPECT_TRUE(l.Open(TARN_SYMBOLS_DLL)) << l.LastError();
        return l;
    }();
    return lib;
}

TSymbolProc Proc(const std::string& name)
{
    return reinterpret_cast<TSymbolProc>(Library().Symbol(name.c_str()));
}

constexpr TColorRef White = Rgb(255, 255, 255);

// Draws sign n centred in a fresh square image of `cell` pixels.
QImage Sign(int n, int size, bool selected, int cell = 64)
{
    TCanvas cv(cell, cell);
    TSignParams rec{};
    rec.X = cell / 2;
    rec.Y = cell / 2;
    rec.DC = cv.DC->Handle();
    rec.SignNumber = 0;
    rec.Size = size;
    rec.Selected = selected;
    TSymbolProc p = Proc("SIGN" + std::to_string(n));
    EXPECT_TRUE(p) << n;
    if (p) {
        EXPECT_EQ(p(1, &rec), 1) << n;
    }
    return cv.Img;
}

} // namespace

TEST(SymbolLibrary, ExportsGetSizeSixtySignsEightLinesAndEightFills)
{
    ASSERT_TRUE(Library().IsOpen());
    std::vector<std::string> names = {"GETSIZE"};
    for (int i = 1; i <= 60; ++i) names.push_back("SIGN" + std::to_string(i));
    for (int i = 1; i <= 8; ++i) {
        names.push_back("LINE" + std::to_string(i));
        names.push_back("FILL" + std::to_string(i));
    }
    for (const std::string& n : names) EXPECT_NE(Library().Symbol(n.c_str()), nullptr) << n;
    for (const char* absent : {"SIGN0", "SIGN61", "LINE0", "LINE9", "FILL0", "FILL9", "SIGN01", "DrawSign"})
        EXPECT_EQ(Library().Symbol(absent), nullptr) << absent;
    auto size = reinterpret_cast<TSymbolSizeProc>(Library().Symbol("GETSIZE"));
    ASSERT_TRUE(size);
    EXPECT_EQ(size(), 40);
}

TEST(SymbolLibrary, AllSixtySignsAreDistinctAndTheUserSignsDiffer)
{
    // One sheet of every sign, plain and selected, for a look.
    const int cell = 56, size = 40;
    QImage sheet(cell * 10, cell * 12, QImage::Format_RGB32);
    sheet.fill(QColor(236, 232, 222));
    std::vector<QImage> plain;
    {
        TDeviceContext dc(sheet);
        for (int n = 1; n <= 60; ++n)
            for (int sel = 0; sel < 2; ++sel) {
                TSignParams rec{};
                rec.X = ((n - 1) % 10) * cell + cell / 2;
                rec.Y = (((n - 1) / 10) * 2 + sel) * cell + cell / 2;
                rec.DC = dc.Handle();
                rec.Size = size;
                rec.Selected = uint8_t(sel);
                ASSERT_EQ(Proc("SIGN" + std::to_string(n))(1, &rec), 1);
            }
    }
    const std::string path = SaveImage(sheet, "tarn-dll-signs");
    for (int n = 1; n <= 60; ++n) {
        plain.push_back(Sign(n, size, false));
        const QRect ink = InkBox(plain.back(), White);
        EXPECT_GE(std::max(ink.width(), ink.height()), size * 3 / 4) << "sign " << n << " fills its size; " << path;
        EXPECT_LE(ink.width(), size + 1) << "sign " << n;
        EXPECT_LE(ink.height(), size + 1) << "sign " << n;
        EXPECT_TRUE(QRect(32 - size / 2 - 1, 32 - size / 2 - 1, size + 2, size + 2).contains(ink)) << "sign " << n;
    }
    for (int a = 1; a <= 60; ++a)
        for (int b = a + 1; b <= 60; ++b) EXPECT_FALSE(SameImage(plain[a - 1], plain[b - 1])) << a << " and " << b;
    // the signs the chooser offers differ clearly: many pixels apart
    for (int a = 37; a <= 45; ++a)
        for (int b = a + 1; b <= 45; ++b) {
            int differing = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) differing += plain[a - 1].pixel(x, y) != plain[b - 1].pixel(x, y);
            EXPECT_GT(differing, 200) << "user signs " << a << " and " << b;
        }
}

TEST(SymbolLibrary, SelectedSignsStandOut)
{
    for (int n = 1; n <= 60; ++n) {
        const QImage plain = Sign(n, 30, false), selected = Sign(n, 30, true);
        EXPECT_GT(InkBox(selected, White).width(), InkBox(plain, White).width()) << "sign " << n;
        EXPECT_GT(Count(selected, Rgb(255, 225, 0)), 20) << "sign " << n << " has its halo";
    }
}

TEST(SymbolLibrary, SignsScaleWithTheirSizeAndStayInsideIt)
{
    for (int n : {1, 12, 15, 38, 41, 60}) {
        for (int size : {6, 12, 24, 48, 90}) {
            const QRect ink = InkBox(Sign(n, size, false, 128), White);
            ASSERT_FALSE(ink.isEmpty()) << "sign " << n << " size " << size;
            EXPECT_LE(ink.width(), size + 1) << "sign " << n << " size " << size;
            EXPECT_GE(ink.width(), size * 2 / 3) << "sign " << n << " size " << size;
        }
        EXPECT_TRUE(InkBox(Sign(n, 0, false), White).isEmpty()) << "size 0 draws nothing";
    }
}

TEST(SymbolLibrary, ProceduresLeaveTheContextAsTheyFoundIt)
{
    TCanvas cv(120, 120);
    auto pen = TPen::Create(TGDI_PS_DOT, 0, Rgb(1, 2, 3));
    auto brush = TBrush::CreateHatch(TGDI_HS_CROSS, Rgb(4, 5, 6));
    auto font = TFont::Create(DejaVu(-11));
    cv.DC->SelectPen(pen);
    cv.DC->SelectBrush(brush);
    cv.DC->SelectFont(font);
    cv.DC->SetROP2(TGDI_R2_NOTXORPEN);
    cv.DC->SetBkMode(TGDI_OPAQUE);
    cv.DC->SetTextColor(Rgb(7, 8, 9));
    cv.DC->SetTextAlign(TGDI_TA_RIGHT);
    TSignParams s{60, 60, cv.DC->Handle(), 0, 50, 1};
    Proc("SIGN15")(1, &s);  // draws text
    TgdiPoint pts[3] = {{10, 10}, {100, 30}, {20, 100}};
    TLineParams l{cv.DC->Handle(), pts, 3, 10, 30, 0xFF, 0};
    TFillParams f{cv.DC->Handle(), pts, 3, 1, 0xFF00, 1};
    for (int i = 1; i <= 8; ++i) {
        Proc("LINE" + std::to_string(i))(1, &l);
        Proc("FILL" + std::to_string(i))(1, &f);
    }
    EXPECT_EQ(cv.DC->Pen(), pen.get());
    EXPECT_EQ(cv.DC->Brush(), brush.get());
    EXPECT_EQ(cv.DC->Font(), font.get());
    EXPECT_EQ(cv.DC->GetROP2(), TGDI_R2_NOTXORPEN);
    EXPECT_EQ(cv.DC->GetBkMode(), TGDI_OPAQUE);
    EXPECT_EQ(cv.DC->GetTextColor(), Rgb(7, 8, 9));
    EXPECT_EQ(cv.DC->GetTextAlign(), uint32_t(TGDI_TA_RIGHT));
}

TEST(SymbolLibrary, LinesHonourWidthAndColour)
{
    const TColorRef red = Rgb(200, 0, 0);
    for (int n = 1; n <= 8; ++n) {
        int previous = 0;
        for (int width : {10, 40, 80}) {
            TCanvas cv(200, 60);
            TgdiPoint pts[2] = {{20, 30}, {180, 30}};
            TLineParams rec{cv.DC->Handle(), pts, 2, 10, width, int32_t(red), 0};
            ASSERT_EQ(Proc("LINE" + std::to_string(n))(1, &rec), 1);
            const QRect ink = InkBox(cv.Img, White);
            ASSERT_FALSE(ink.isEmpty()) << "line " << n;
            EXPECT_GE(ink.left(), 10) << "line " << n;
            EXPECT_LE(ink.right(), 190) << "line " << n;
            EXPECT_GT(ink.width(), 140) << "line " << n << " runs the whole way";
            EXPECT_GE(ink.height(), previous) << "line " << n << " width " << width;
            previous = ink.height();
            if (n != 3 && n != 6) {
                EXPECT_GT(Count(cv.Img, red), 10) << "line " << n << " in its colour";
            }
        }
        EXPECT_GT(previous, 6) << "line " << n << " grows with its width";
    }
}

TEST(SymbolLibrary, FillsCoverTheAreaAndSelectionTakesTheGivenColour)
{
    const TColorRef green = Rgb(0, 200, 0);
    for (int n = 1; n <= 8; ++n) {
        for (int sel = 0; sel < 2; ++sel) {
            TCanvas cv(100, 100);
            TgdiPoint pts[4] = {{10, 10}, {90, 10}, {90, 90}, {10, 90}};
            TFillParams rec{cv.DC->Handle(), pts, 4, 1, int32_t(green), uint8_t(sel)};
            ASSERT_EQ(Proc("FILL" + std::to_string(n))(1, &rec), 1);
            // the outline pen runs on the points, so it may take the last
            // row and column too
            EXPECT_TRUE(QRect(9, 9, 83, 83).contains(InkBox(cv.Img, White))) << "fill " << n;
            EXPECT_EQ(Count(cv.Img.copy(10, 10, 80, 80), White), 0) << "fill " << n << " covers the whole area";
            if (sel) {
                EXPECT_GT(Count(cv.Img, green), 300) << "fill " << n;
            } else {
                EXPECT_EQ(Count(cv.Img, green), 0) << "fill " << n << " keeps its own colours";
            }
        }
    }
}

TEST(SymbolLibrary, BadRecordsAndOtherModesDrawNothing)
{
    TCanvas cv(80, 80);
    TgdiPoint pts[3] = {{10, 10}, {70, 10}, {40, 70}};
    TSignParams s{40, 40, reinterpret_cast<TgdiHandle>(uintptr_t(0x5151)), 0, 40, 0};
    TLineParams l{reinterpret_cast<TgdiHandle>(uintptr_t(0x77)), pts, 3, 10, 20, 0, 0};
    TFillParams f{nullptr, pts, 3, 1, 0, 0};
    for (int n = 1; n <= 60; ++n) Proc("SIGN" + std::to_string(n))(1, &s);
    for (int n = 1; n <= 8; ++n) {
        Proc("LINE" + std::to_string(n))(1, &l);
        Proc("FILL" + std::to_string(n))(1, &f);
    }
    s.DC = l.DC = f.DC = cv.DC->Handle();
    l.Count = -5;
    f.Points = nullptr;
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(Proc("LINE" + std::to_string(n))(1, &l), 1);
        EXPECT_EQ(Proc("FILL" + std::to_string(n))(1, &f), 1);
    }
    for (int mode : {0, 2, 3}) {
        EXPECT_EQ(Proc("SIGN1")(mode, &s), 0);
        EXPECT_EQ(Proc("LINE1")(mode, &l), 0);
    }
    EXPECT_EQ(Proc("SIGN1")(1, nullptr), 0);
    EXPECT_EQ(Count(cv.Img, White), 80 * 80);
}

TEST(SymbolLibrary, SampleOfACityMap)
{
    // Not a check of its own: a picture of lines, fills and signs together
    // under the build folder, and every call answers that it drew.
    TCanvas cv(480, 320, Rgb(245, 242, 235));
    TgdiHandle dc = cv.DC->Handle();
    for (int n = 1; n <= 8; ++n) {
        int x = 10 + ((n - 1) % 4) * 118, y = 10 + ((n - 1) / 4) * 80;
        TgdiPoint area[5] = {{x, y}, {x + 100, y + 6}, {x + 108, y + 60}, {x + 40, y + 70}, {x + 4, y + 50}};
        TFillParams f{dc, area, 5, 1, int32_t(Rgb(255, 0, 0)), uint8_t(n == 4)};
        EXPECT_EQ(Proc("FILL" + std::to_string(n))(1, &f), 1);
    }
    for (int n = 1; n <= 8; ++n) {
        int y = 180 + (n - 1) * 17;
        TgdiPoint road[4] = {{10, y}, {150, y + 8}, {300, y - 4}, {470, y + 6}};
        TLineParams l{dc, road, 4, 10, n == 1 ? 60 : 20, int32_t(n == 6 ? Rgb(60, 120, 210) : Rgb(90, 90, 90)), 0};
        EXPECT_EQ(Proc("LINE" + std::to_string(n))(1, &l), 1);
    }
    for (int n = 1; n <= 12; ++n) {
        TSignParams s{20 + (n - 1) * 40, 160, dc, 0, 28, uint8_t(n == 3)};
        EXPECT_EQ(Proc("SIGN" + std::to_string(n))(1, &s), 1);
    }
    SaveImage(cv.Img, "tarn-dll-sample");
}
