#include "platform/WindowSurface.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace tarn;

namespace {

struct TCountingPainter : TSurfaceEvents {
    int Paints = 0;
    TColorRef Ink = Rgb(255, 0, 0);
    void OnPaint(TWindowSurface& s) override
    {
        ++Paints;
        TGdiRef<TBrush> b = TBrush::CreateSolid(Ink);
        s.GetDC()->FillRect(TRect{2, 2, 4, 4}, b.get());
    }
};

TColorRef PixelAt(TWindowSurface& s, int x, int y) { return s.GetDC()->GetPixel(x, y); }

} // namespace

TEST(WindowSurface, PaintsOnlyAfterAnInvalidation)
{
    TWindowSurface s(10, 8);
    TCountingPainter p;
    s.SetEvents(&p);
    EXPECT_TRUE(s.Paint()); // new surfaces start invalid
    EXPECT_FALSE(s.Paint()); // uncovering copies the picture, nothing is drawn again
    EXPECT_EQ(p.Paints, 1);
    s.Invalidate();
    EXPECT_TRUE(s.Paint());
    EXPECT_EQ(p.Paints, 2);
}

TEST(WindowSurface, DrawingThroughTheContextLandsAtOnceAndSurvivesRepaints)
{
    TWindowSurface s(10, 8);
    s.Paint();
    TDeviceContext* dc = s.GetDC();
    TGdiRef<TBrush> green = TBrush::CreateSolid(Rgb(0, 255, 0));
    dc->FillRect(TRect{0, 0, 1, 1}, green.get());
    s.ReleaseDC(dc);
    EXPECT_EQ(PixelAt(s, 0, 0), Rgb(0, 255, 0));
    EXPECT_FALSE(s.IsInvalid()); // releasing shows, it does not ask the owner to paint
}

TEST(WindowSurface, ErasingInvalidationClearsToTheBackground)
{
    TWindowSurface s(10, 8);
    s.SetBackground(Rgb(0, 0, 255));
    TCountingPainter p;
    s.SetEvents(&p);
    s.Invalidate(true);
    s.Paint();
    EXPECT_EQ(PixelAt(s, 0, 0), Rgb(0, 0, 255));
    EXPECT_EQ(PixelAt(s, 2, 2), Rgb(255, 0, 0));

    p.Ink = Rgb(0, 255, 0);
    TGdiRef<TBrush> black = TBrush::CreateSolid(0);
    s.GetDC()->FillRect(TRect{8, 6, 9, 7}, black.get());
    s.Invalidate(false); // keeps what is there
    s.Paint();
    EXPECT_EQ(PixelAt(s, 8, 6), 0u);
    EXPECT_EQ(PixelAt(s, 2, 2), Rgb(0, 255, 0));
}

TEST(WindowSurface, ResizeMakesANewPictureAndAsksForAPaint)
{
    TWindowSurface s(10, 8);
    s.Paint();
    s.Resize(30, 20);
    EXPECT_EQ(s.ClientRect(), (TRect{0, 0, 30, 20}));
    EXPECT_EQ(s.GetDC()->Width(), 30);
    EXPECT_TRUE(s.IsInvalid());
    s.Resize(0, 0); // an empty client area keeps a drawable picture
    EXPECT_EQ(s.ClientRect(), (TRect{0, 0, 0, 0}));
    ASSERT_NE(s.GetDC(), nullptr);
    EXPECT_TRUE(s.Paint());
}

TEST(WindowSurface, FixedMillimetresPerPixelReachTheContext)
{
    TWindowSurface s(10, 8);
    s.SetMmPerPixel(0.25);
    EXPECT_DOUBLE_EQ(s.MmPerPixel(), 0.25);
    EXPECT_DOUBLE_EQ(s.GetDC()->MillimetresPerPixel(), 0.25);
    s.Resize(20, 20);
    EXPECT_DOUBLE_EQ(s.GetDC()->MillimetresPerPixel(), 0.25);
    s.SetMmPerPixel(0); // back to the screen's
    EXPECT_GT(s.MmPerPixel(), 0.0);
}
