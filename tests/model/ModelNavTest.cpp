// View navigation: fitting, the maximum scale, holding the view inside the
// project extent, the history and message 2026, the guards and the
// conversions.
//
// The sample city's extent is (0, 1000000, 1000000, 0); its views have
// 0.25 mm per pixel, so a scale s is the denominator 4 s.
#include "ModelSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarn::test {
namespace {

// Counts what a view reports: message 2026 and the model's codes.
struct TWatch {
    explicit TWatch(TOpenCity& c) : View(*c.View)
    {
        View.NotifyWnd = [this](int32_t msg, intptr_t w, intptr_t l) {
            EXPECT_EQ(msg, 2026);
            EXPECT_EQ(w, 0);
            EXPECT_EQ(l, 0);
            ++Messages;
        };
        Token = c.Model->OnNotify.Install([this](const auto& next, const TNotifyArgs& a) {
            ++Codes[a.Code];
            next(a);
        });
    }
    int Code(int code) const { return Codes[code]; }
    int Total() const
    {
        int n = 0;
        for (int v : Codes) n += v;
        return n;
    }
    TView& View;
    int Messages = 0;
    int Codes[32] = {};
    THookToken Token;
};

void SetClient(TOpenCity& c, int32_t width, int32_t height)
{
    c.Surface.Resize(width, height);
    c.View->ClientRect = c.Surface.ClientRect();
}

int32_t HistoryCount(const TView& v) { return v.History ? v.History->Count : 0; }

const TWndState& HistoryAt(const TView& v, int32_t i) { return *static_cast<const TWndState*>(v.History->GetItem(i)); }

// ---------------------------------------------------------------- fitting

TEST(ViewFit, ZoomAllFitsTheLongerSideAndAlignsAWideViewLeft)
{
    TOpenCity c;
    SetClient(c, 400, 200);
    TWatch w(c);
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);
    // 1000000 / 400 = 2500 across, 1000000 / 200 = 5000 down: 5000 wins; the
    // 2000000-wide rectangle runs past the right, then past the left, and ends
    // aligned on the left.
    EXPECT_EQ(c.View->Scale, 5000.0);
    EXPECT_EQ(c.View->WorldRect, (TRect{0, 1000000, 2000000, 0}));
    EXPECT_EQ(c.View->MaxScale, 7500.0);
    EXPECT_EQ(w.Code(18), 1);
    EXPECT_EQ(w.Code(19), 1);
    EXPECT_EQ(w.Messages, 1);
    EXPECT_TRUE(c.Surface.IsInvalid());
}

TEST(ViewFit, AnExtentSmallerThanTheWindowFitsAtTwelveAndAlignsLeftAndTop)
{
    TOpenCity c;
    c.Model->Project->Extent = TRect{0, 1000, 1000, 0};
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);
    EXPECT_EQ(c.View->Scale, 12.0) << "1000 / 200 = 5 is raised to 12";
    // 2400 x 2400 world units against a 1000 x 1000 extent: the last steps
    // put left on the extent's left and top on its top.
    EXPECT_EQ(c.View->WorldRect, (TRect{0, 1000, 2400, -1400}));
    EXPECT_EQ(c.View->MaxScale, 18.0);
}

TEST(ViewFit, SetViewRectGrowsToTheWindowFromLeftAndTop)
{
    TOpenCity c;
    SetClient(c, 400, 200);
    TWatch w(c);
    ASSERT_EQ(c.Model->SetViewRect(*c.View, TRect{100000, 600000, 300000, 500000}), 0);
    // 200000 / 400 = 500, 100000 / 200 = 500.
    EXPECT_EQ(c.View->Scale, 500.0);
    EXPECT_EQ(c.View->WorldRect, (TRect{100000, 600000, 300000, 500000}));
    ASSERT_EQ(c.Model->SetViewRect(*c.View, TRect{100000, 600000, 140000, 500000}), 0);
    EXPECT_EQ(c.View->Scale, 500.0) << "the height decides";
    EXPECT_EQ(c.View->WorldRect, (TRect{100000, 600000, 300000, 500000})) << "grown to the right";
    EXPECT_EQ(w.Messages, 1) << "the second call moved nothing";
    EXPECT_EQ(HistoryCount(*c.View), 2) << "but still pushed";
}

TEST(ViewFit, SetViewRectHonoursTheMaximumUnlessFlagged)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);  // 5000, maximum 7500
    const TRect huge{0, 1000000, 4000000, -3000000};
    ASSERT_EQ(c.Model->SetViewRect(*c.View, huge), 0);
    EXPECT_EQ(c.View->Scale, 7500.0);
    c.View->Flags |= ViewFlagIgnoreMax;
    ASSERT_EQ(c.Model->SetViewRect(*c.View, huge), 0);
    EXPECT_EQ(c.View->Scale, 20000.0);
}

// ---------------------------------------------------------------- scale denominators

TEST(ViewScale, ADenominatorKeepsTheCentreAndIsCutAtOneAndAHalfTimesTheFit)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);  // 5000 = 1:20000
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 10000), 0);
    EXPECT_EQ(c.View->Scale, 2500.0);
    EXPECT_EQ(c.View->PrevScale, 5000.0);
    EXPECT_EQ(c.View->WorldRect, (TRect{250000, 750000, 750000, 250000}));
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 40000), 0);
    EXPECT_EQ(c.View->Scale, 7500.0) << "1:40000 would be 10000, above the maximum";
    // 1500000 wide around 500000: held inside on the left and the top.
    EXPECT_EQ(c.View->WorldRect, (TRect{0, 1000000, 1500000, -500000}));
}

TEST(ViewScale, TheSameDenominatorTwicePushesTwiceAndTellsOnce)
{
    TOpenCity c;
    TWatch w(c);
    const TRect r0 = c.View->WorldRect;
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 8000), 0);
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 8000), 0);
    ASSERT_EQ(HistoryCount(*c.View), 2);
    EXPECT_EQ(HistoryAt(*c.View, 0).WorldRect, r0);
    EXPECT_EQ(HistoryAt(*c.View, 0).Scale, 5000.0);
    EXPECT_EQ(HistoryAt(*c.View, 1).WorldRect, c.View->WorldRect);
    EXPECT_EQ(HistoryAt(*c.View, 1).Scale, 2000.0);
    EXPECT_EQ(w.Messages, 1);
}

TEST(ViewScale, AQuietViewIsNeitherToldNorInvalidated)
{
    TOpenCity c;
    TWatch w(c);
    c.Surface.Paint();
    c.View->Flags |= ViewFlagQuiet;
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 8000), 0);
    EXPECT_EQ(c.View->Scale, 2000.0);
    EXPECT_EQ(w.Messages, 0);
    EXPECT_FALSE(c.Surface.IsInvalid());
}

TEST(ViewScale, ZoomAtPointCentresAndOptionallyRescales)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 4000), 0);  // scale 1000
    TWatch w(c);
    const int32_t pushed = HistoryCount(*c.View);
    ASSERT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{400000, 300000}, 0), 0);
    EXPECT_EQ(c.View->Scale, 1000.0) << "denominator 0 keeps the scale";
    EXPECT_EQ(c.View->WorldRect, (TRect{300000, 400000, 500000, 200000}));
    EXPECT_EQ(HistoryCount(*c.View), pushed) << "nothing pushed without a new denominator";
    ASSERT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{400000, 300000}, 4000.02), 0);
    EXPECT_EQ(c.View->Scale, 1000.0) << "within 0.01 of the scale: no change";
    EXPECT_EQ(HistoryCount(*c.View), pushed);
    const TRect r0 = c.View->WorldRect;
    ASSERT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{600000, 500000}, 2000), 0);
    EXPECT_EQ(c.View->Scale, 500.0);
    EXPECT_EQ(c.View->WorldRect, (TRect{550000, 550000, 650000, 450000}));
    ASSERT_EQ(HistoryCount(*c.View), pushed + 1);
    EXPECT_EQ(HistoryAt(*c.View, pushed).WorldRect, r0) << "the position left";
    EXPECT_EQ(w.Messages, 2) << "one per call that moved";
}

TEST(ViewScale, ZoomAtPointNearAnEdgeIsHeldInside)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);
    ASSERT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{990000, 10000}, 4000), 0);
    EXPECT_EQ(c.View->WorldRect, (TRect{800000, 200000, 1000000, 0}));
}

// ---------------------------------------------------------------- guards

TEST(ViewGuards, NavigationWithoutAProjectAnswersMinusFive)
{
    TWindowSurface s(200, 200);
    TModel m;
    TView v(&s);
    m.AttachView(v);
    EXPECT_EQ(m.ZoomAll(v), ResultNoData);
    EXPECT_EQ(m.SetViewRect(v, TRect{0, 100, 100, 0}), ResultNoData);
    EXPECT_EQ(m.SetScaleDenominator(v, 1000), ResultNoData);
    EXPECT_EQ(m.ZoomAtPoint(v, TPoint{1, 1}, 1000), ResultNoData);
    EXPECT_EQ(v.Scale, 0.0);
    EXPECT_EQ(v.History->Count, 0);
}

TEST(ViewGuards, AnEmptyClientIsNeverFitted)
{
    for (auto [w, h] : {std::pair{0, 200}, std::pair{200, 0}, std::pair{0, 0}}) {
        TOpenCity c;
        SetClient(c, w, h);
        TWatch watch(c);
        const TRect r0 = c.View->WorldRect;
        EXPECT_EQ(c.Model->ZoomAll(*c.View), ResultNoData) << w << " x " << h;
        EXPECT_EQ(c.Model->SetViewRect(*c.View, TRect{0, 100, 100, 0}), ResultNoData);
        EXPECT_EQ(c.View->Scale, 5000.0);
        EXPECT_EQ(c.View->WorldRect, r0);
        EXPECT_EQ(watch.Total(), 0);
        EXPECT_EQ(HistoryCount(*c.View), 0);
    }
}

TEST(ViewGuards, UnusableDenominatorsAreRefusedWithNothingChanged)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct TCase {
        const char* Name;
        double Denominator;
    };
    // No maximum yet (no ZoomAll), so nothing cuts the large ones.
    const TCase cases[] = {
        {"zero", 0}, {"negative", -2500}, {"NaN", nan}, {"infinite", inf},
        {"corners past 32 bits", 1e12},  // 2.5e11 per pixel x 100 pixels each way
        {"just past 32 bits", 4.0 * (2147483648.0 + 500000) / 100 * 1.001},
    };
    for (const TCase& t : cases) {
        TOpenCity c;
        TWatch w(c);
        const TRect r0 = c.View->WorldRect;
        EXPECT_EQ(c.Model->SetScaleDenominator(*c.View, t.Denominator), ResultOutOfRange) << t.Name;
        EXPECT_EQ(c.View->Scale, 5000.0) << t.Name;
        EXPECT_EQ(c.View->WorldRect, r0) << t.Name;
        EXPECT_EQ(HistoryCount(*c.View), 0) << t.Name;
        EXPECT_EQ(w.Total() + w.Messages, 0) << t.Name;
    }
    TOpenCity c;
    EXPECT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{0, 0}, nan), ResultOutOfRange);
    EXPECT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{0, 0}, 1e12), ResultOutOfRange);
    EXPECT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{0, 0}, -1), 0) << "a denominator not above 0 keeps the scale";
    EXPECT_EQ(c.View->Scale, 5000.0);
}

TEST(ViewGuards, TheMaximumScaleBringsALargeDenominatorBackInRange)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->ZoomAll(*c.View), 0);
    EXPECT_EQ(c.Model->SetScaleDenominator(*c.View, 1e12), 0);
    EXPECT_EQ(c.View->Scale, 7500.0);
}

TEST(ViewGuards, PointsAndRectanglesThatPushCornersPast32BitsAreRefused)
{
    TOpenCity c;
    const TRect r0 = c.View->WorldRect;
    const int32_t top = std::numeric_limits<int32_t>::max(), bottom = std::numeric_limits<int32_t>::min();
    // 100 pixels x 5000 either side of the point.
    EXPECT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{top - 400000, 0}, 0), ResultOutOfRange);
    EXPECT_EQ(c.Model->ZoomAtPoint(*c.View, TPoint{0, bottom + 400000}, 0), ResultOutOfRange);
    SetClient(c, 400, 200);
    // The whole 32-bit square on a window twice as wide: the fit takes the
    // height, and the width doubles past the top of the range.
    EXPECT_EQ(c.Model->SetViewRect(*c.View, TRect{bottom, top, top, bottom}), ResultOutOfRange);
    EXPECT_EQ(c.View->WorldRect, r0);
    EXPECT_EQ(c.View->Scale, 5000.0);
    EXPECT_EQ(HistoryCount(*c.View), 0);
}

// ---------------------------------------------------------------- conversions

TEST(ViewConversions, ClientPixelsAndWorldPointsBothWays)
{
    TOpenCity c;
    ASSERT_EQ(c.Model->SetScaleDenominator(*c.View, 4000), 0);  // scale 1000, rect (400000, 600000, 600000, 400000)
    struct TCase {
        int32_t X, Y, WX, WY;
    };
    const TCase cases[] = {{0, 0, 400000, 600000}, {100, 100, 500000, 500000}, {200, 50, 600000, 550000}};
    for (const TCase& t : cases) {
        int32_t x = t.X, y = t.Y;
        c.Model->ScreenToWorld(*c.View, x, y, x, y);  // the same variables in and out
        EXPECT_EQ(x, t.WX);
        EXPECT_EQ(y, t.WY);
        c.Model->ViewWorldToScreen(*c.View, x, y, x, y);
        EXPECT_EQ(x, t.X);
        EXPECT_EQ(y, t.Y);
    }
}

TEST(ViewConversions, FarPointsSaturateInsteadOfWrapping)
{
    TOpenCity c;
    c.View->Scale = 1;
    c.View->WorldRect = TRect{-2000000000, 2000000000, -1999999800, 1999999800};
    int32_t x = 0, y = 0;
    // 4e9 pixels right and down: wrapped in 32 bits it would turn negative.
    c.Model->ViewWorldToScreen(*c.View, 2000000000, -2000000000, x, y);
    EXPECT_EQ(x, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(y, std::numeric_limits<int32_t>::max());
    c.View->Scale = 3e9;
    c.Model->ScreenToWorld(*c.View, 199, 199, x, y);
    EXPECT_EQ(x, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(y, std::numeric_limits<int32_t>::min());
}

} // namespace
} // namespace tarn::test
