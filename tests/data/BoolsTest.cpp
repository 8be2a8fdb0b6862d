// Polygon clipping against a rectangle, edge by edge.
#include "data/Bools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace tarn;

namespace {

using TPoints = std::vector<TPoint>;

TPoints Clip(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const TPoints& in, int32_t* code = nullptr)
{
    TPoints out{{-1, -1}};  // junk the clip must clear
    const int32_t c = ClipPolygonToRect(x1, y1, x2, y2, in.data(), static_cast<int32_t>(in.size()), out);
    if (code) *code = c;
    return out;
}

// The same ring whatever its starting point.
bool SameRing(TPoints a, const TPoints& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a == b) return true;
        std::rotate(a.begin(), a.begin() + 1, a.end());
    }
    return a.empty();
}

bool Within(const TPoints& pts, int32_t minX, int32_t minY, int32_t maxX, int32_t maxY)
{
    return std::all_of(pts.begin(), pts.end(),
                       [&](const TPoint& p) { return p.X >= minX && p.X <= maxX && p.Y >= minY && p.Y <= maxY; });
}

} // namespace

TEST(PolygonClipping, InsideComesBackAsItWas)
{
    const TPoints square{{2, 2}, {8, 2}, {8, 8}, {2, 8}};
    int32_t code = -1;
    EXPECT_EQ(Clip(0, 0, 10, 10, square, &code), square);
    EXPECT_EQ(code, ClipDone);
    const TPoints onEdges{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_EQ(Clip(0, 0, 10, 10, onEdges), onEdges) << "points on an edge line are inside";
}

TEST(PolygonClipping, WhollyOutsideComesBackUnchanged)
{
    const TPoints far{{100, 100}, {120, 100}, {110, 130}};
    EXPECT_EQ(Clip(0, 0, 10, 10, far), far);
    const TPoints left{{-50, 2}, {-40, 2}, {-45, 8}};
    EXPECT_EQ(Clip(0, 0, 10, 10, left), left);
}

TEST(PolygonClipping, TriangleCrossingTheLeftEdgeGainsTwoPointsRoundedToEven)
{
    // Entry on x = 0 at y = 1.5 (-> 2), exit at y = 4.5 (-> 4).
    const TPoints tri{{-5, 2}, {5, 1}, {5, 7}};
    EXPECT_EQ(Clip(0, 0, 10, 10, tri), (TPoints{{0, 2}, {5, 1}, {5, 7}, {0, 4}}));
}

TEST(PolygonClipping, CornersInAnyOrder)
{
    const TPoints poly{{-5, -5}, {15, 3}, {4, 20}};
    const TPoints a = Clip(0, 0, 10, 10, poly);
    EXPECT_EQ(Clip(10, 0, 0, 10, poly), a);
    EXPECT_EQ(Clip(10, 10, 0, 0, poly), a);
    EXPECT_TRUE(Within(a, 0, 0, 10, 10));
    EXPECT_GT(a.size(), 3u);
}

TEST(PolygonClipping, EmptyListAnswers255AndNoPoints)
{
    int32_t code = 0;
    EXPECT_TRUE(Clip(0, 0, 10, 10, {}, &code).empty());
    EXPECT_EQ(code, ClipNoPoints);
}

TEST(PolygonClipping, HugeSquareAroundASmallViewBecomesTheView)
{
    const int32_t g = 1'000'000'000;
    const TPoints huge{{-g, -g}, {g, -g}, {g, g}, {-g, g}};
    EXPECT_TRUE(SameRing(Clip(0, 0, 100, 100, huge), TPoints{{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
    const int32_t m = 2'147'483'000;
    const TPoints extreme{{-m, -m}, {m, -m}, {m, m}, {-m, m}};
    EXPECT_TRUE(SameRing(Clip(-7, 3, 9, 11, extreme), TPoints{{-7, 3}, {9, 3}, {9, 11}, {-7, 11}}));
}

TEST(PolygonClipping, FiftyThousandPointsClipWithoutLoss)
{
    // A zigzag across x = 0: every inside point comes with an entry and an
    // exit, 75 000 points in all, beyond any 16-bit count.
    TPoints zig;
    for (int32_t k = 0; k < 50'000; ++k) zig.push_back({k % 2 ? 10 : -10, k});
    int32_t code = -1;
    const TPoints out = Clip(0, 0, 100, 100'000, zig, &code);
    EXPECT_EQ(code, ClipDone);
    ASSERT_EQ(out.size(), 75'000u);
    EXPECT_TRUE(Within(out, 0, 0, 100, 100'000));
    for (std::size_t k = 0; k < 25'000; ++k) {
        ASSERT_EQ(out[3 * k + 1], zig[2 * k + 1]) << k;
        ASSERT_EQ(out[3 * k].X, 0);
        ASSERT_EQ(out[3 * k + 2].X, 0);
    }
}

TEST(PolygonClipping, DrawingClipWidensTheViewByThreePixels)
{
    const int32_t g = 1'000'000'000;
    const TPoints huge{{-g, -g}, {g, -g}, {g, g}, {-g, g}};
    struct Case {
        double Scale;
        int32_t Margin;
    } cases[] = {{1, 3}, {2.4, 6}, {2.5, 6}, {3.5, 12}, {0.4, 0}};
    for (const Case& c : cases) {
        TDrawContext ctx;
        ctx.Scale = c.Scale;
        ctx.WorldRect = {0, 100, 100, 0};
        TPoints out;
        ClipForDrawing(ctx, huge.data(), 4, out);
        const int32_t d = c.Margin;
        EXPECT_TRUE(SameRing(out, TPoints{{-d, -d}, {100 + d, -d}, {100 + d, 100 + d}, {-d, 100 + d}})) << c.Scale;
    }
    TDrawContext ctx;
    ctx.Scale = 1;
    ctx.WorldRect = {0, 100, 100, 0};
    TPoints out{{1, 1}};
    ClipForDrawing(ctx, nullptr, 0, out);
    EXPECT_TRUE(out.empty());
    const TPoints far{{500, 500}, {600, 500}, {550, 600}};
    ClipForDrawing(ctx, far.data(), 3, out);
    EXPECT_EQ(out, far);
}
