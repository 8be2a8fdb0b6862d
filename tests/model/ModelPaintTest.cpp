// Drawing a view: directly or through its off-screen picture, repaints that
// draw nothing again, invalidation after a change, the after-paint layer,
// and the block of the sample city at the right pixels at two scales.
//
// The sample's block is the square (200000..800000) in both directions,
// filled green with a one-pixel black outline.
#include "ModelSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include <set>
#include <vector>

namespace tarn::test {
namespace {

constexpr TColorRef Grey = 0xE0E0E0;     // the window's colour in these tests
constexpr TColorRef Magenta = 0xFF00FF;  // left in a picture before a drawing
constexpr TColorRef Black = 0x000000;

// The map panel: its paint event has the model draw the view.
struct TPanel : TSurfaceEvents {
    TPanel(TModel& m, TView& v) : Model(m), View(v) { View.Wnd->SetEvents(this); }
    void OnPaint(TWindowSurface&) override { Model.PaintView(View); }
    TModel& Model;
    TView& View;
};

// Counts the layers drawn (code 21, phase 0).
struct TLayerCount {
    explicit TLayerCount(TModel& m)
    {
        Token = m.OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
            Layers += a.Code == 21 && a.A == 0;
            next(a);
        });
    }
    int Layers = 0;
    THookToken Token;
};

std::vector<TColorRef> Pixels(TWindowSurface& s)
{
    TDeviceContext* dc = s.GetDC();
    std::vector<TColorRef> out;
    for (int32_t y = 0; y < dc->Height(); ++y)
        for (int32_t x = 0; x < dc->Width(); ++x) out.push_back(dc->GetPixel(x, y));
    return out;
}

void Fill(TWindowSurface& s, TColorRef colour)
{
    TGdiRef<TBrush> b = TBrush::CreateSolid(colour);
    s.GetDC()->FillRect(s.ClientRect(), b.get());
}

std::string Saved(TWindowSurface& s, const std::string& name)
{
    QDir().mkpath(TARN_TEST_OUTPUT);
    std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    s.Image().save(QString::fromStdString(path));
    return path;
}

struct TCity : TOpenCity {
    TCity()
    {
        Surface.SetBackground(Grey);
        Model->DoubleBuffer = 1;
    }
    TPanel Panel{*Model, *View};
};

// ---------------------------------------------------------------- the picture

TEST(PaintView, TheBlockLandsOnItsPixelsAtTwoScales)
{
    struct TProbe {
        int32_t X, Y;
        TColorRef Colour;
    };
    struct TCase {
        const char* Name;
        double Denominator;  // 0: the whole sheet at 1:20000
        TPoint Centre;
        std::vector<TProbe> Probes;
    };
    // 1:20000 shows 5000 units a pixel: the block spans pixels 40..160. At
    // 1:10000 around its top-left corner the view is held at (0, 1000000)
    // and the corner sits at pixel (80, 80). The probes keep clear of the
    // signs' discs (at the sheet's centre and at (100000, 900000)).
    const TCase cases[] = {
        {"whole", 0, {}, {{150, 50, BlockColour}, {150, 150, BlockColour}, {38, 150, Grey}, {150, 38, Grey},
                          {162, 60, Grey}, {60, 162, Grey}, {40, 70, Black}, {70, 40, Black}}},
        {"corner", 10000, {200000, 800000}, {{90, 90, BlockColour}, {150, 100, BlockColour}, {78, 90, Grey},
                                             {90, 78, Grey}, {80, 120, Black}, {120, 80, Black}}},
    };
    for (const TCase& t : cases) {
        TCity c;
        if (t.Denominator > 0) {
            ASSERT_EQ(c.Model->ZoomAtPoint(*c.View, t.Centre, t.Denominator), 0);
        }
        c.Surface.Invalidate(false);
        ASSERT_TRUE(c.Surface.Paint());
        TDeviceContext* dc = c.Surface.GetDC();
        for (const TProbe& p : t.Probes) {
            EXPECT_EQ(dc->GetPixel(p.X, p.Y), p.Colour)
                << t.Name << " (" << p.X << ", " << p.Y << "), see " << Saved(c.Surface, std::string("block-") + t.Name);
        }
    }
}

TEST(PaintView, DirectAndDoubleBufferedDrawTheSamePicture)
{
    TCity c;
    c.Model->DoubleBuffer = 0;
    Fill(c.Surface, Magenta);
    ASSERT_EQ(c.Model->PaintView(*c.View), 0);
    const std::vector<TColorRef> direct = Pixels(c.Surface);
    EXPECT_EQ(std::set<TColorRef>(direct.begin(), direct.end()).count(Magenta), 0u) << "cleared first";
    EXPECT_GE(std::set<TColorRef>(direct.begin(), direct.end()).size(), 4u) << "a picture worth comparing";

    c.Model->DoubleBuffer = 1;
    Fill(c.Surface, Magenta);
    ASSERT_EQ(c.Model->PaintView(*c.View), 0);
    const std::vector<TColorRef> buffered = Pixels(c.Surface);
    ASSERT_EQ(buffered.size(), direct.size());
    for (std::size_t i = 0; i < direct.size(); ++i)
        ASSERT_EQ(buffered[i], direct[i]) << "pixel (" << i % 200 << ", " << i / 200 << "), see "
                                          << Saved(c.Surface, "double-buffered");
}

// ---------------------------------------------------------------- redrawing

TEST(PaintView, ARepaintFromThePictureDrawsNothingAgain)
{
    TCity c;
    TLayerCount drawn(*c.Model);
    c.Model->InvalidateView(*c.View);
    ASSERT_TRUE(c.Surface.Paint());
    ASSERT_GT(drawn.Layers, 0);
    const std::vector<TColorRef> first = Pixels(c.Surface);
    const int layers = drawn.Layers;
    Fill(c.Surface, Magenta);  // the window uncovered with rubbish on it
    c.Model->InvalidateView(*c.View);
    ASSERT_TRUE(c.Surface.Paint());
    EXPECT_EQ(drawn.Layers, layers) << "no code 21: the map was not drawn again";
    EXPECT_TRUE(Pixels(c.Surface) == first);
}

TEST(PaintView, ANavigationInvalidatesAndTheNextPaintRedraws)
{
    TCity c;
    TLayerCount drawn(*c.Model);
    c.Surface.Paint();
    const int layers = drawn.Layers;
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 10000), 0);
    EXPECT_TRUE(c.Surface.IsInvalid());
    ASSERT_TRUE(c.Surface.Paint());
    EXPECT_EQ(drawn.Layers, 2 * layers);
    EXPECT_EQ(c.Surface.GetDC()->GetPixel(20, 20), BlockColour) << "the view is inside the block now";
}

TEST(PaintView, AnObjectChangeIsSeenInEveryViewOnItsNextPaint)
{
    TCity c;
    TWindowSurface other(200, 200);
    other.SetMmPerPixel(0.25);
    other.SetBackground(Grey);
    TView second(&other);
    second.Scale = 5000;
    second.WorldRect = c.View->WorldRect;
    c.Model->AttachView(second);
    c.Model->LevelSwitch(second);
    TPanel panel(*c.Model, second);
    c.Surface.Paint();
    other.Paint();
    ASSERT_EQ(other.GetDC()->GetPixel(50, 50), BlockColour);

    TObjectKey block = Key(BlocksId, 1);
    ASSERT_EQ(c.Model->CreateObject(&second, 2, block, nullptr, 0), 0);  // from the second view's map
    TLayerCount drawn(*c.Model);
    for (TView* v : {c.View.get(), &second}) {
        c.Model->RedrawView(*v);
        ASSERT_TRUE(v->Wnd->Paint());
    }
    EXPECT_GT(drawn.Layers, 0);
    EXPECT_EQ(other.GetDC()->GetPixel(50, 50), Grey) << "the block is gone from the second view";
    EXPECT_EQ(c.Surface.GetDC()->GetPixel(50, 50), BlockColour)
        << "the first view's own map still holds its copy, drawn again all the same";
    EXPECT_FALSE(c.View->NeedsRedraw);
    EXPECT_FALSE(second.NeedsRedraw);
}

TEST(PaintView, APictureOfANewSizeIsDrawnAgain)
{
    TCity c;
    TLayerCount drawn(*c.Model);
    c.Surface.Paint();
    const int layers = drawn.Layers;
    c.Surface.Resize(150, 100);
    c.View->ClientRect = c.Surface.ClientRect();
    c.View->NeedsRedraw = false;  // no change code came: only the size moved
    ASSERT_TRUE(c.Surface.Paint());
    EXPECT_EQ(drawn.Layers, 2 * layers);
    EXPECT_EQ(c.View->Bitmap.Width(), 150);
    EXPECT_EQ(c.View->Bitmap.Height(), 100);
}

// ---------------------------------------------------------------- after paint and guards

TEST(PaintView, ToolsDrawOnTheWindowNotIntoThePicture)
{
    for (uint8_t doubleBuffer : {0, 1}) {
        TCity c;
        c.Model->DoubleBuffer = doubleBuffer;
        int calls = 0;
        THookToken t = c.Model->OnAfterPaint.Install([&](const auto&, TDrawContext& ctx) {
            EXPECT_EQ(ctx.DC, c.Surface.GetDC());
            EXPECT_EQ(ctx.LayerPen, StockPen(TGDI_BLACK_PEN));
            EXPECT_EQ(ctx.LayerProc, nullptr);
            EXPECT_EQ(ctx.OwnAttributes, 0);
            EXPECT_EQ(ctx.LabelFont, &c.Model->LabelFont);
            if (++calls == 1) {
                TGdiRef<TBrush> red = TBrush::CreateSolid(0x0000FF);
                ctx.DC->FillRect(TRect{60, 60, 70, 70}, red.get());
            }
        });
        c.Model->InvalidateView(*c.View);
        c.Surface.Paint();
        ASSERT_EQ(c.Surface.GetDC()->GetPixel(65, 65), 0x0000FFu);
        c.Model->InvalidateView(*c.View);
        c.Surface.Paint();
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(c.Surface.GetDC()->GetPixel(65, 65), BlockColour) << "double buffer " << int(doubleBuffer);
    }
}

TEST(PaintView, AViewWithoutAMapPaintsOnlyTheToolsOnACleanPicture)
{
    TWindowSurface s(100, 80);
    s.SetBackground(Grey);
    TModel m;
    m.DoubleBuffer = 1;
    TView v(&s);
    m.AttachView(v);
    int calls = 0;
    THookToken t = m.OnAfterPaint.Install([&](const auto&, TDrawContext&) { ++calls; });
    Fill(s, Magenta);
    ASSERT_EQ(m.PaintView(v), 0);
    EXPECT_EQ(calls, 1);
    const std::vector<TColorRef> px = Pixels(s);
    EXPECT_EQ(std::set<TColorRef>(px.begin(), px.end()), std::set<TColorRef>{Grey});
}

TEST(PaintView, TheCallersContextIsDrawnAsItIs)
{
    TCity c;
    TGdiRef<TBitmap> bitmap = TBitmap::Create(200, 200);
    TDeviceContext own(*bitmap);
    own.SetMillimetresPerPixel(0.25);
    own.SetMapMode(1);
    int calls = 0;
    THookToken t = c.Model->OnAfterPaint.Install([&](const auto&, TDrawContext&) { ++calls; });
    TLayerCount drawn(*c.Model);
    c.View->Flags |= ViewFlagOwnDC;
    c.View->DrawDC = &own;
    Fill(c.Surface, Magenta);
    ASSERT_EQ(c.Model->PaintView(*c.View), 0);
    EXPECT_GT(drawn.Layers, 0);
    EXPECT_EQ(calls, 0) << "no after-paint with the caller's context";
    EXPECT_EQ(own.GetMapMode(), 1);
    EXPECT_EQ(own.GetPixel(50, 50), BlockColour);
    EXPECT_EQ(own.GetPixel(20, 60), 0xFFFFFFu) << "not cleared: the caller prepared it";
    EXPECT_EQ(c.Surface.GetDC()->GetPixel(50, 50), Magenta) << "the window is not touched";
    c.View->DrawDC = nullptr;
    EXPECT_EQ(c.Model->PaintView(*c.View), ResultNoData);
}

TEST(PaintView, AnEmptyClientDrawsNothing)
{
    for (uint8_t doubleBuffer : {0, 1}) {
        TCity c;
        c.Model->DoubleBuffer = doubleBuffer;
        c.View->ClientRect.Right = 0;
        TLayerCount drawn(*c.Model);
        Fill(c.Surface, Magenta);
        EXPECT_EQ(c.Model->PaintView(*c.View), ResultNoData);
        EXPECT_EQ(drawn.Layers, 0);
        EXPECT_EQ(c.Surface.GetDC()->GetPixel(10, 10), Magenta);
    }
}

} // namespace
} // namespace tarn::test
