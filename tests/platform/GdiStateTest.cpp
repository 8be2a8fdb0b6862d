// Selection, save and restore, handles, stock objects, device caps.
#include "GdiSupport.h"

#include "platform/Error.h"
#include "platform/gdi/Handles.h"

using namespace tarn;
using namespace tarn::test;

TEST(GdiState, SelectingAnswersThePreviousObject)
{
    TCanvas cv(10, 10);
    auto pen = TPen::Create(TGDI_PS_SOLID, 2, Rgb(1, 2, 3));
    TGdiRef<TPen> old = cv.DC->SelectPen(pen);
    EXPECT_EQ(old.get(), StockPen(TGDI_BLACK_PEN));
    EXPECT_EQ(cv.DC->Pen(), pen.get());
    EXPECT_FALSE(cv.DC->SelectPen(nullptr)) << "null selects nothing";
    EXPECT_EQ(cv.DC->Pen(), pen.get());
    EXPECT_EQ(cv.DC->SelectPen(old).get(), pen.get());

    auto font = TFont::Create(DejaVu(-12));
    TGdiRef<TFont> oldFont = cv.DC->SelectFont(font);
    EXPECT_EQ(static_cast<TGdiObject*>(oldFont.get()), GetStockObject(TGDI_SYSTEM_FONT));
}

TEST(GdiState, SaveAndRestoreBringBackTheWholeStateNested)
{
    TCanvas cv(10, 10);
    auto pen = TPen::Create(TGDI_PS_DOT, 0, Rgb(9, 9, 9));
    auto brush = TBrush::CreateHatch(TGDI_HS_CROSS, Rgb(1, 1, 1));
    auto font = TFont::Create(DejaVu(-30));
    TDeviceContext& dc = *cv.DC;
    const TGdiObject* stockFont = GetStockObject(TGDI_SYSTEM_FONT);

    EXPECT_EQ(dc.SaveDC(), 1);
    dc.SelectPen(pen);
    dc.SelectBrush(brush);
    dc.SelectFont(font);
    dc.SetBkColor(Rgb(4, 5, 6));
    dc.SetTextColor(Rgb(7, 8, 9));
    dc.SetBkMode(TGDI_TRANSPARENT);
    dc.SetROP2(TGDI_R2_NOT);
    dc.SetTextAlign(TGDI_TA_BASELINE);
    dc.SetStretchBltMode(TGDI_HALFTONE);
    dc.SetMapMode(7);
    dc.MoveTo(3, 4);
    EXPECT_EQ(dc.SaveDC(), 2);
    dc.SelectPen(StockPen(TGDI_WHITE_PEN));
    dc.SetROP2(TGDI_R2_XORPEN);
    EXPECT_EQ(dc.SaveDC(), 3);
    dc.SetBkMode(TGDI_OPAQUE);

    ASSERT_TRUE(dc.RestoreDC(-1));  // back to level 3's saved state
    EXPECT_EQ(dc.GetBkMode(), TGDI_TRANSPARENT);
    EXPECT_EQ(dc.GetROP2(), TGDI_R2_XORPEN);
    ASSERT_TRUE(dc.RestoreDC(-1));
    EXPECT_EQ(dc.Pen(), pen.get());
    EXPECT_EQ(dc.Brush(), brush.get());
    EXPECT_EQ(dc.Font(), font.get());
    EXPECT_EQ(dc.GetBkColor(), Rgb(4, 5, 6));
    EXPECT_EQ(dc.GetTextColor(), Rgb(7, 8, 9));
    EXPECT_EQ(dc.GetROP2(), TGDI_R2_NOT);
    EXPECT_EQ(dc.GetTextAlign(), uint32_t(TGDI_TA_BASELINE));
    EXPECT_EQ(dc.GetStretchBltMode(), TGDI_HALFTONE);
    EXPECT_EQ(dc.GetMapMode(), 7);
    EXPECT_EQ(dc.CurrentPosition(), (TPoint{3, 4}));

    EXPECT_EQ(dc.SaveDC(), 2);
    dc.SaveDC();
    ASSERT_TRUE(dc.RestoreDC(1)) << "a positive level jumps over the later ones";
    EXPECT_EQ(dc.Pen(), StockPen(TGDI_BLACK_PEN));
    EXPECT_EQ(dc.Brush(), StockBrush(TGDI_WHITE_BRUSH));
    EXPECT_EQ(static_cast<TGdiObject*>(dc.SelectFont(font).get()), stockFont);
    EXPECT_EQ(dc.GetBkMode(), TGDI_OPAQUE);
    EXPECT_EQ(dc.GetROP2(), TGDI_R2_COPYPEN);
    EXPECT_EQ(dc.GetBkColor(), Rgb(255, 255, 255));
    EXPECT_FALSE(dc.RestoreDC(-1)) << "nothing left to restore";
    EXPECT_FALSE(dc.RestoreDC(0));
    EXPECT_FALSE(dc.RestoreDC(5));
}

TEST(GdiState, RestoredStateDrawsWithTheRestoredObjects)
{
    TCanvas cv(20, 20);
    auto red = TPen::Create(TGDI_PS_SOLID, 0, Rgb(255, 0, 0));
    cv.DC->SelectPen(red);
    cv.DC->SaveDC();
    cv.DC->SelectPen(StockPen(TGDI_NULL_PEN));
    cv.DC->SetROP2(TGDI_R2_NOP);
    cv.DC->RestoreDC(-1);
    cv.DC->MoveTo(0, 3);
    cv.DC->LineTo(10, 3);
    EXPECT_EQ(cv.At(5, 3), Rgb(255, 0, 0));
}

TEST(GdiState, InvalidModesChangeNothing)
{
    TDeviceContext dc;
    EXPECT_EQ(dc.SetROP2(0), 0);
    EXPECT_EQ(dc.SetROP2(17), 0);
    EXPECT_EQ(dc.GetROP2(), TGDI_R2_COPYPEN);
    EXPECT_EQ(dc.SetBkMode(3), 0);
    EXPECT_EQ(dc.GetBkMode(), TGDI_OPAQUE);
    EXPECT_EQ(dc.SetStretchBltMode(9), 0);
    EXPECT_EQ(dc.SetROP2(TGDI_R2_NOT), TGDI_R2_COPYPEN);
}

TEST(GdiState, ObjectsFreedWhileSelectedLiveUntilDeselected)
{
    TCanvas cv(20, 20);
    TPen* raw;
    {
        auto pen = TPen::Create(TGDI_PS_SOLID, 0, Rgb(0, 0, 255));
        raw = pen.get();
        cv.DC->SelectPen(pen);
        cv.DC->SaveDC();  // the saved state holds it too
    }
    EXPECT_EQ(raw->RefCount(), 2);
    cv.DC->MoveTo(0, 1);
    cv.DC->LineTo(10, 1);
    EXPECT_EQ(cv.At(4, 1), Rgb(0, 0, 255));
    cv.DC->SelectPen(StockPen(TGDI_BLACK_PEN));
    EXPECT_EQ(raw->RefCount(), 1);
}

TEST(GdiState, CInterfaceDeletesOnlyItsOwnObjectsAndKeepsSelectedOnesAlive)
{
    TCanvas cv(20, 20);
    TgdiHandle dc = cv.DC->Handle();
    TgdiGetStockObject(TGDI_BLACK_PEN);
    const std::size_t live = TGdiHandles::LiveCount();
    TgdiHandle pen = TgdiCreatePen(TGDI_PS_SOLID, 0, TGDI_RGB(0, 255, 0));
    ASSERT_NE(pen, nullptr);
    TgdiHandle old = TgdiSelectObject(dc, pen);
    EXPECT_EQ(old, TgdiGetStockObject(TGDI_BLACK_PEN));
    EXPECT_EQ(TgdiDeleteObject(pen), 1) << "the handle goes";
    EXPECT_EQ(TgdiDeleteObject(pen), 0) << "and is not found again";
    TgdiMoveTo(dc, 0, 2);
    TgdiLineTo(dc, 10, 2);
    EXPECT_EQ(cv.At(3, 2), Rgb(0, 255, 0)) << "the deleted pen stays in use while selected";
    TgdiHandle back = TgdiSelectObject(dc, old);
    EXPECT_NE(back, pen);
    EXPECT_EQ(TGdiHandles::Object(back), nullptr) << "freed with its last reference";
    EXPECT_EQ(TgdiDeleteObject(back), 0);
    EXPECT_EQ(TgdiDeleteObject(TgdiGetStockObject(TGDI_BLACK_PEN)), 0) << "stock objects stay";
    EXPECT_EQ(TGdiHandles::LiveCount(), live) << "no handle is left behind";

    auto own = TPen::Create(TGDI_PS_SOLID, 0, 0);
    TgdiHandle ownHandle = own->Handle();
    EXPECT_EQ(TgdiDeleteObject(ownHandle), 0) << "objects of the program are not the library's to delete";
    EXPECT_EQ(TGdiHandles::Object(ownHandle), own.get());
}

TEST(GdiState, UnknownDeletedAndWrongKindHandlesDoNothing)
{
    TCanvas cv(30, 30);
    const QImage before = cv.Img.copy();
    TgdiHandle dc = cv.DC->Handle();
    TgdiHandle pen = TgdiCreatePen(TGDI_PS_SOLID, 3, TGDI_RGB(255, 0, 0));
    TgdiHandle brush = TgdiCreateSolidBrush(TGDI_RGB(255, 0, 0));
    TgdiDeleteObject(brush);
    auto forged = [](uintptr_t v) { return reinterpret_cast<TgdiHandle>(v); };
    const TgdiHandle bad[] = {nullptr, forged(1), forged(0x12345678), forged(~uintptr_t(0)), brush, pen};
    const TgdiPoint pts[3] = {{0, 0}, {20, 0}, {0, 20}};
    const TgdiRect rc{0, 0, 20, 20};
    for (TgdiHandle h : bad) {
        EXPECT_EQ(TgdiPolygon(h, pts, 3), 0);
        EXPECT_EQ(TgdiPolyline(h, pts, 3), 0);
        EXPECT_EQ(TgdiRectangle(h, 0, 0, 20, 20), 0);
        EXPECT_EQ(TgdiEllipse(h, 0, 0, 20, 20), 0);
        EXPECT_EQ(TgdiLineTo(h, 20, 20), 0);
        EXPECT_EQ(TgdiTextOut(h, 0, 0, "x", 1), 0);
        EXPECT_EQ(TgdiFillRect(h, &rc, TgdiGetStockObject(TGDI_BLACK_BRUSH)), 0);
        EXPECT_EQ(TgdiSetROP2(h, TGDI_R2_NOT), 0);
        EXPECT_EQ(TgdiSaveDC(h), 0);
        if (h != pen) {
            EXPECT_EQ(TgdiSelectObject(dc, h), nullptr);
        }
    }
    EXPECT_EQ(TgdiFillRect(dc, &rc, brush), 0) << "deleted brush";
    EXPECT_EQ(TgdiFillRect(dc, &rc, dc), 0) << "a context is no brush";
    EXPECT_EQ(TgdiSelectObject(dc, dc), nullptr);
    int32_t cx = -1, cy = -1;
    EXPECT_EQ(TgdiGetTextExtent(forged(77), "x", 1, &cx, &cy), 0);
    EXPECT_EQ(cx, -1);
    EXPECT_TRUE(SameImage(cv.Img, before));
    EXPECT_EQ(cv.DC->Pen(), StockPen(TGDI_BLACK_PEN));
    TgdiDeleteObject(pen);
}

TEST(GdiState, ContextHandleDiesWithTheContext)
{
    TgdiHandle h;
    {
        TCanvas cv(5, 5);
        h = cv.DC->Handle();
        EXPECT_EQ(TDeviceContext::FromHandle(h), cv.DC.get());
        EXPECT_EQ(cv.DC->Handle(), h) << "one handle per context";
    }
    EXPECT_EQ(TDeviceContext::FromHandle(h), nullptr);
    EXPECT_EQ(TgdiRectangle(h, 0, 0, 5, 5), 0);
}

TEST(GdiState, CInterfaceDrawsLikeTheContext)
{
    TCanvas a(60, 60), b(60, 60);
    TgdiHandle dc = a.DC->Handle();
    TgdiHandle pen = TgdiCreatePen(TGDI_PS_SOLID, 0, TGDI_RGB(10, 20, 30));
    TgdiHandle brush = TgdiCreateHatchBrush(TGDI_HS_DIAGCROSS, TGDI_RGB(200, 0, 0));
    TgdiSelectObject(dc, pen);
    TgdiSelectObject(dc, brush);
    TgdiSetBkMode(dc, TGDI_TRANSPARENT);
    const TgdiPoint tri[3] = {{5, 5}, {50, 10}, {20, 55}};
    TgdiPolygon(dc, tri, 3);
    TgdiEllipse(dc, 30, 30, 58, 50);

    auto p = TPen::Create(TGDI_PS_SOLID, 0, Rgb(10, 20, 30));
    auto br = TBrush::CreateHatch(TGDI_HS_DIAGCROSS, Rgb(200, 0, 0));
    b.DC->SelectPen(p);
    b.DC->SelectBrush(br);
    b.DC->SetBkMode(TGDI_TRANSPARENT);
    const TPoint t2[3] = {{5, 5}, {50, 10}, {20, 55}};
    b.DC->Polygon(t2, 3);
    b.DC->Ellipse(30, 30, 58, 50);
    EXPECT_TRUE(SameImage(a.Img, b.Img));
    TgdiSelectObject(dc, TgdiGetStockObject(TGDI_BLACK_PEN));
    TgdiSelectObject(dc, TgdiGetStockObject(TGDI_WHITE_BRUSH));
    TgdiDeleteObject(pen);
    TgdiDeleteObject(brush);
}

TEST(GdiState, DeviceCapsDescribeTheImage)
{
    TCanvas cv(1000, 500);
    cv.DC->SetMillimetresPerPixel(0.25);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_HORZRES), 1000);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_VERTRES), 500);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_HORZSIZE), 250);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_VERTSIZE), 125);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_SIZEPALETTE), 0);
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_RASTERCAPS) & 0x100, 0) << "no palette";
    EXPECT_EQ(cv.DC->GetDeviceCaps(TGDI_LOGPIXELSX), 102);
    EXPECT_EQ(TgdiGetDeviceCaps(cv.DC->Handle(), TGDI_HORZSIZE), 250);
    TDeviceContext measuring;
    EXPECT_EQ(measuring.GetDeviceCaps(TGDI_HORZRES), 0);
}

TEST(GdiState, ContextRefusesImagesOfAnotherFormat)
{
    QImage img(10, 10, QImage::Format_ARGB32);
    EXPECT_THROW({ TDeviceContext dc(img); }, ETarnError);
}
