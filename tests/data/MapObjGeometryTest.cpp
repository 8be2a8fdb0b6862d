// What users click and see: view tests, hit tests, point-in-polygon and
// rectangle tests of the map objects, at the edges where they matter.
#include "data/MapObj.h"
#include "data/Utils.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

using namespace tarn;

namespace {

// View (0, 100) - (100, 0) in world units.
TDrawContext View()
{
    TDrawContext c;
    c.Scale = 1;
    c.WorldRect = {0, 100, 100, 0};
    c.ClientRect = {0, 0, 100, 100};
    return c;
}

template <class T>
std::unique_ptr<T> With(std::vector<TPoint> pts)
{
    auto o = std::make_unique<T>();
    o->Points = std::move(pts);
    return o;
}

struct TToleranceScope {
    explicit TToleranceScope(int32_t t) { SetHitTolerance(t); }
    ~TToleranceScope() { SetHitTolerance(0); }
};

TLogFont DejaVu(int32_t height)
{
    TLogFont f{};
    f.Height = height;
    std::strcpy(f.FaceName, "DejaVu Sans");
    return f;
}

constexpr uint32_t ViewBits = ObjFlagInView | ObjFlagWhollyInView | ObjFlagPartlyInView | ObjFlagCoversView;

} // namespace

TEST(ObjectViews, PolylineInView)
{
    struct Case {
        const char* Name;
        std::vector<TPoint> Points;
        bool In;
        uint32_t Bits;  // of ViewBits afterwards
    } cases[] = {
        {"empty", {}, true, ObjFlagInView | ObjFlagWhollyInView},
        {"inside", {{10, 10}, {20, 90}}, true, ObjFlagInView | ObjFlagWhollyInView},
        {"a point on the border counts as outside", {{0, 50}, {50, 50}}, true, ObjFlagInView | ObjFlagPartlyInView},
        {"both ends outside, crossing", {{-10, 50}, {110, 50}}, true, ObjFlagInView | ObjFlagPartlyInView},
        {"beside the corner", {{-10, 95}, {5, 110}}, false, 0},
        {"apart", {{200, 200}, {300, 300}}, false, 0},
        {"one point outside", {{-1, 50}}, false, 0},
        {"along the border", {{0, 0}, {0, 100}}, false, 0},
    };
    for (const Case& c : cases) {
        auto o = With<TPolyLine>(c.Points);
        SetViewRect({});
        EXPECT_EQ(o->InView(View()), c.In) << c.Name;
        EXPECT_EQ(o->Flags() & ViewBits, c.Bits) << c.Name;
        EXPECT_EQ(ViewRect(), View().WorldRect) << c.Name;
    }
    // 1024 and 2048 are only ever added.
    auto o = With<TPolyLine>({{10, 10}, {20, 20}});
    o->InView(View());
    TDrawContext away = View();
    away.WorldRect = {500, 600, 600, 500};
    EXPECT_FALSE(o->InView(away));
    EXPECT_EQ(o->Flags() & ViewBits, ObjFlagWhollyInView);
}

TEST(ObjectViews, PolygonInView)
{
    struct Case {
        const char* Name;
        std::vector<TPoint> Points;
        bool In;
        uint32_t Bits;
    } cases[] = {
        {"view inside a large polygon", {{-1000, -1000}, {1000, -1000}, {1000, 1000}, {-1000, 1000}}, true,
         ObjFlagCoversView},
        {"small inside", {{10, 10}, {20, 10}, {15, 20}}, true, ObjFlagWhollyInView},
        {"reaching outside", {{10, 10}, {200, 10}, {15, 20}}, true, ObjFlagPartlyInView},
        {"touching the border from inside", {{0, 10}, {20, 10}, {15, 20}}, true, ObjFlagPartlyInView},
        {"outline crosses, no point inside", {{-50, 50}, {150, 50}, {50, 150}}, true, ObjFlagPartlyInView},
        {"only the closing side crosses", {{-10, 50}, {-20, -20}, {120, -20}, {110, 50}}, true, ObjFlagPartlyInView},
        {"beside the corner", {{-50, 10}, {10, -50}, {-60, -60}}, false, 0},
        {"empty", {}, false, 0},
    };
    for (const Case& c : cases) {
        auto o = With<TPolygon>(c.Points);
        o->SetFlags(ObjFlagInView);
        EXPECT_EQ(o->InView(View()), c.In) << c.Name;
        // Bit 1 is left to the caller when true, cleared when false.
        EXPECT_EQ(o->Flags() & ViewBits, c.Bits | (c.In ? ObjFlagInView : 0)) << c.Name;
    }
}

TEST(ObjectViews, PolylineInRectNeedsTheViewAndEveryPointStrictlyInside)
{
    const TRect r{10, 60, 60, 10};
    struct Case {
        const char* Name;
        std::vector<TPoint> Points;
        bool In;
    } cases[] = {
        {"inside", {{20, 20}, {50, 50}}, true},
        {"on the rectangle's border", {{10, 20}, {50, 50}}, false},
        {"one point out", {{20, 20}, {70, 50}}, false},
        {"empty", {}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(With<TPolyLine>(c.Points)->InRect(View(), r), c.In) << c.Name;
        EXPECT_EQ(With<TPolygon>(c.Points)->InRect(View(), r), c.In) << c.Name;
    }
    TDrawContext away = View();
    away.WorldRect = {500, 600, 600, 500};
    EXPECT_FALSE(With<TPolyLine>({{20, 20}, {50, 50}})->InRect(away, r)) << "out of the view";
}

TEST(ObjectHits, PolylineToleranceSquare)
{
    TToleranceScope t(5);
    const auto o = With<TPolyLine>({{0, 0}, {100, 0}, {100, 100}});
    struct Case {
        const char* Name;
        int32_t X, Y;
        bool Hit;
        int32_t Index;
    } cases[] = {
        {"near the first segment", 50, 3, true, 0},
        {"one beyond the tolerance", 50, 6, false, 1},
        {"exactly T from a vertex: only the line test hits", 105, 0, true, 0},
        {"the segment's end strictly inside the square", 104, 0, true, 1},
        {"the start strictly inside the square", -4, 2, true, 0},
        {"beyond the line's end along its line", 120, 0, false, 1},
        {"second segment", 98, 50, true, 1},
        {"past the end of the last segment", 100, 106, false, 1},
    };
    for (const Case& c : cases) {
        int32_t index = -7;
        EXPECT_EQ(o->HitTest(View(), c.X, c.Y, index), c.Hit) << c.Name;
        EXPECT_EQ(index, c.Index) << c.Name;
    }
    int32_t index = -7;
    EXPECT_FALSE(With<TPolyLine>({{0, 0}})->HitTest(View(), 0, 0, index));
    EXPECT_EQ(index, -7) << "fewer than two points leave the index alone";
}

TEST(ObjectHits, PolygonOutlineAndClosingSide)
{
    TToleranceScope t(5);
    const auto square = With<TPolygon>({{0, 0}, {100, 0}, {100, 100}, {0, 100}});
    struct Case {
        const char* Name;
        int32_t X, Y;
        bool Hit;
        int32_t Index;
    } cases[] = {
        {"closing side", 2, 50, true, 3},
        {"first side", 50, -3, true, 0},
        {"interior", 50, 50, false, 2},
        {"outside near the closing side's line, past its end", 0, 120, false, 2},
        {"the last side's end strictly inside the square", 1, 99, true, 3},
    };
    for (const Case& c : cases) {
        int32_t index = -7;
        EXPECT_EQ(square->HitTest(View(), c.X, c.Y, index), c.Hit) << c.Name;
        EXPECT_EQ(index, c.Index) << c.Name;
    }
    const auto two = With<TPolygon>({{0, 0}, {100, 100}});
    int32_t index = -1;
    EXPECT_TRUE(two->HitTest(View(), 50, 52, index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(TPolygon().HitTest(View(), 0, 0, index));
    EXPECT_FALSE(With<TPolygon>({{0, 0}})->HitTest(View(), 0, 0, index)) << "one point: no side to hit";
}

TEST(ObjectHits, ContainsPoint)
{
    const auto square = With<TPolygon>({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    struct Case {
        int32_t X, Y;
        bool In;
    } cases[] = {{5, 5, true},   {15, 5, false}, {0, 0, true},  {10, 10, true},
                 {0, 5, true},   {10, 5, false}, {5, 10, false}, {5, 0, false}};
    for (const Case& c : cases) EXPECT_EQ(square->ContainsPoint(c.X, c.Y), c.In) << c.X << "," << c.Y;

    // A local peak on the point's line changes nothing; a vertex between
    // neighbours on both sides counts once.
    EXPECT_FALSE(With<TPolygon>({{0, 0}, {10, 10}, {20, 0}, {20, -10}, {0, -10}})->ContainsPoint(15, 10));
    const auto notch = With<TPolygon>({{0, 0}, {10, 10}, {0, 20}, {30, 20}, {30, 0}});
    EXPECT_TRUE(notch->ContainsPoint(20, 10));
    EXPECT_FALSE(notch->ContainsPoint(5, 10));

    // The first vertex counts, unlike in PointInPolygon.
    const auto tri = With<TPolygon>({{0, 0}, {10, 0}, {0, 10}});
    EXPECT_FALSE(PointInPolygon(0, 0, tri->Points.data(), 3));
    EXPECT_TRUE(tri->ContainsPoint(0, 0));
    EXPECT_FALSE(TPolygon().ContainsPoint(0, 0));
}

TEST(ObjectHits, SignSquaresOverlapByACorner)
{
    TToleranceScope t(10);
    TSign s;
    TDrawContext c = View();
    c.SymbolSize = 2;  // half side 500
    struct Case {
        int32_t X, Y;
        bool Hit;
    } cases[] = {
        {510, 0, true},     // the click square's corner on the sign square's edge
        {511, 0, false},
        {0, 0, true},       // the click square inside
        {-510, -510, true}, // corner to corner
        {-511, 0, false},
    };
    for (const Case& k : cases) {
        int32_t index = 0;
        EXPECT_EQ(s.HitTest(c, k.X, k.Y, index), k.Hit) << k.X << "," << k.Y;
    }
    // The sign square inside a large click square.
    SetHitTolerance(2000);
    int32_t index = 0;
    EXPECT_TRUE(s.HitTest(c, 100, 100, index));
}

TEST(ObjectViews, TextBoxReachesIntoTheView)
{
    TDrawContext c = View();
    c.WorldRect = {0, 10000, 10000, 0};
    TLogFont font = DejaVu(10);  // box 4 x 600 wide, 1000 high
    c.TextFont = &font;
    struct Case {
        const char* Name;
        int32_t X, Y, Angle;
        bool In;
    } cases[] = {
        {"anchor inside", 5000, 5000, 0, true},
        {"anchor on the border", 0, 0, 0, true},
        {"box reaches in along the text", -1000, 5000, 0, true},
        {"box falls short", -3000, 5000, 0, false},
        {"below, horizontal", 5000, -1500, 0, false},
        {"below, turned a quarter upward", 5000, -1500, 900, true},
        {"left, turned: the box goes up", -100, 5000, 900, false},
    };
    for (const Case& k : cases) {
        TText t;
        t.Text = "ABCD";
        t.X = k.X;
        t.Y = k.Y;
        t.Angle = k.Angle;
        EXPECT_EQ(t.InView(c), k.In) << k.Name;
        EXPECT_EQ(t.Flags(), 0u) << "texts leave their flags to the caller";
    }
}

namespace {
bool TextInView(const TDrawContext& c, const std::string& text, int32_t x, int32_t y, int32_t angle)
{
    TText t;
    t.Text = text;
    t.X = x;
    t.Y = y;
    t.Angle = angle;
    return t.InView(c);
}
} // namespace

TEST(ObjectViews, LongTextTurnedByATenthOfADegreeSwingsIntoTheView)
{
    // A text 6 000 000 units long, its anchor 5 000 left of the view: upright
    // (a quarter turn) its far end stays left; a tenth of a degree less and
    // it leans 10 472 units to the right, into the view. Turns outside one
    // circle either way and negative turns count the same.
    TDrawContext c = View();
    c.WorldRect = {0, 10000000, 10000000, -10000000};
    TLogFont font = DejaVu(1000);  // 60 000 a character, 100 000 high
    c.TextFont = &font;
    const struct {
        int32_t Angle;
        bool In;
    } cases[] = {{900, false}, {899, true}, {901, false}, {898, true}, {4499, true}, {4500, false},
                 {-2701, true}, {-2700, false}, {-6301, true}, {1, true}};
    for (const auto& k : cases)
        EXPECT_EQ(TextInView(c, std::string(100, 'A'), -5000, 0, k.Angle), k.In) << "turned " << k.Angle << " tenths";
}

TEST(ObjectViews, TurnedTextReachesTheViewByItsHeight)
{
    // One character: 600 along, 1000 across. Turned a quarter, its box
    // stretches 1000 to the left of an anchor right of the view, and its
    // far side lands exactly on the view's right edge.
    TDrawContext c = View();
    c.WorldRect = {0, 10000, 10000, 0};
    TLogFont font = DejaVu(10);
    c.TextFont = &font;
    const struct {
        int32_t X, Y, Angle;
        bool In;
    } cases[] = {{11000, 5000, 900, true}, {11001, 5000, 900, false}, {11000, 5000, -900, false},
                 {5000, -1000, 0, true}, {5000, -1001, 0, false}, {-1600, 5000, 0, false}};
    for (const auto& k : cases)
        EXPECT_EQ(TextInView(c, "A", k.X, k.Y, k.Angle), k.In) << "at (" << k.X << ", " << k.Y << ") turned " << k.Angle;
}

TEST(ObjectViews, TextInRect)
{
    TDrawContext c = View();
    TLogFont font = DejaVu(12);
    font.Width = 8;
    c.TextFont = &font;
    TText t;
    t.Text = "AB";  // 16 wide, 12 high, from (X, Y - 12) to (X + 16, Y)
    t.X = 50;
    t.Y = 50;
    struct Case {
        const char* Name;
        TRect R;
        int32_t Angle;
        bool In;
    } cases[] = {
        {"partly overlapping at angle 0", {60, 100, 100, 0}, 0, true},
        {"touching only", {66, 100, 100, 0}, 0, false},
        {"above the baseline box", {0, 100, 100, 50}, 0, false},
        {"turned, wholly inside", {30, 80, 70, 30}, 900, true},
        {"turned, partly", {45, 100, 100, 0}, 900, false},
    };
    for (const Case& k : cases) {
        t.Angle = k.Angle;
        EXPECT_EQ(t.InRect(c, k.R), k.In) << k.Name;
    }
}

class TextHits : public ::testing::Test {
protected:
    void SetUp() override
    {
        Font = DejaVu(-20);
        Measure.SelectFont(TFont::Create(Font));
        Ext = Measure.GetTextExtent("Wide label");
        Ctx = View();
        Ctx.Scale = 10;
        Ctx.WorldRect = {-100000, 100000, 100000, -100000};
        Ctx.SizeScale = 100;
        Ctx.TextDC = &Measure;
        Ctx.TextFont = &Font;
        Text.Text = "Wide label";
        W = Ext.Cx * 10;
        H = Ext.Cy * 10;
    }
    void TearDown() override { SetHitTolerance(0); }
    bool Hit(int32_t x, int32_t y, int32_t t = 0) const
    {
        SetHitTolerance(t);
        int32_t index = 0;
        return Text.HitTest(Ctx, x, y, index);
    }

    TLogFont Font;
    TDeviceContext Measure;  // measures only
    TSize Ext;
    TDrawContext Ctx;
    TText Text;
    int32_t W = 0, H = 0;
};

TEST_F(TextHits, BoxAtAngleZeroExtendsAlongAndAboveTheAnchor)
{
    ASSERT_GT(Ext.Cx, Ext.Cy);
    EXPECT_TRUE(Hit(W / 2, H / 2));
    EXPECT_FALSE(Hit(W / 2, -H / 2)) << "below the baseline";
    EXPECT_FALSE(Hit(W + 100, H / 2));
    EXPECT_FALSE(Hit(-H / 2, W / 2)) << "where the turned label would be";
    EXPECT_TRUE(Hit(W / 2, -50, 60)) << "the tolerance square reaches the box";
}

TEST_F(TextHits, BoxAtNineHundredTurnsUpwardAndLeft)
{
    Text.Angle = 900;
    EXPECT_TRUE(Hit(-H / 2, W / 2));
    EXPECT_FALSE(Hit(W / 2, H / 2));
    EXPECT_FALSE(Hit(H / 2, W / 2)) << "right of the anchor";
}

TEST_F(TextHits, SquareAndBoxCrossingWithoutCorners)
{
    // A square taller than the box and narrower than it: no corner of
    // either lies in the other, but the square's right side crosses the box.
    ASSERT_GT(W, 3 * H);
    const int32_t t = H;
    EXPECT_TRUE(Hit(W / 2, H / 2, t));
    EXPECT_TRUE(Hit(W / 2, H / 2, W)) << "the box inside the square";
}

TEST_F(TextHits, NoTextNoMeasuringContextOrOutOfViewNeverHits)
{
    TText empty;
    int32_t index = 0;
    EXPECT_FALSE(empty.HitTest(Ctx, 0, 0, index));
    TDrawContext noDc = Ctx;
    noDc.TextDC = nullptr;
    EXPECT_FALSE(Text.HitTest(noDc, W / 2, H / 2, index));
    TDrawContext away = Ctx;
    away.WorldRect = {500000, 600000, 600000, 500000};
    EXPECT_FALSE(Text.HitTest(away, W / 2, H / 2, index));
}

TEST_F(TextHits, StyledTextMeasuresWithItsOwnSize)
{
    TTextEx t;
    t.Text = "Wide label";
    t.Size = 2;  // 2 x 100 / 10 = 20 pixels cell height, whatever the mode
    TFont* before = Measure.Font();
    SetHitTolerance(0);
    int32_t index = 0;
    const int32_t y = 25 * 10;  // above a 20-pixel cell, inside a 40-pixel one
    EXPECT_FALSE(t.HitTest(Ctx, 10, y, index));
    t.Size = 4;
    EXPECT_TRUE(t.HitTest(Ctx, 10, y, index));
    EXPECT_EQ(Measure.Font(), before) << "the caller's font is put back";
    EXPECT_EQ(Font.Height, -20) << "the layer's font record is not changed";
}

TEST(ObjectShapes, PolyLengthAndAddPoint)
{
    EXPECT_EQ(With<TPolyLine>({{0, 0}, {3, 4}, {3, 10}})->PolyLength(), 11);
    EXPECT_EQ(With<TPolyLine>({{0, 0}})->PolyLength(), 0);
    EXPECT_EQ(TPolyLine().PolyLength(), 0);
    const int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(With<TPolyLine>({{lo, 0}, {hi, 0}})->PolyLength(), hi) << "a segment longer than 32 bits is clamped";
    EXPECT_EQ(With<TPolyLine>({{0, 0}, {0, 2'000'000'000}, {0, 0}})->PolyLength(), hi) << "and so is the sum";

    TPolyLine line;
    line.X = 7;
    line.Y = 8;
    line.AddPoint({1, 2}, true);
    EXPECT_EQ(line.Points, (std::vector<TPoint>{{1, 2}}));
    EXPECT_EQ((TPoint{line.X, line.Y}), (TPoint{7, 8})) << "the anchor stays";
    line.AddPoint({3, 4}, false);
    line.AddPoint({5, 6}, true);
    EXPECT_EQ(line.Points, (std::vector<TPoint>{{5, 6}, {1, 2}, {3, 4}}));
}

TEST(ObjectShapes, CloneIsDeepAndOfTheSameClass)
{
    auto line = With<TPolyLine>({{1, 2}, {3, 4}});
    line->Code = 5;
    std::unique_ptr<TBaseObject> copy = line->Clone();
    ASSERT_EQ(typeid(*copy), typeid(TPolyLine));
    line->Points[0] = {9, 9};
    EXPECT_EQ(static_cast<TPolyLine&>(*copy).Points, (std::vector<TPoint>{{1, 2}, {3, 4}}));
    EXPECT_EQ(copy->Code, 5);

    TPolyLineEx ex;
    ex.Label = "L";
    ex.ValueMode = 2;
    ex.Values = {1, 2};
    auto exCopy = ex.Clone();
    ASSERT_EQ(typeid(*exCopy), typeid(TPolyLineEx));
    EXPECT_EQ(static_cast<TPolyLineEx&>(*exCopy).Values, ex.Values);
    EXPECT_EQ(static_cast<TPolyLineEx&>(*exCopy).Label, "L");

    TSignEx sign;
    sign.DllSignNumber = 4;
    sign.Size = 9;
    auto signCopy = sign.Clone();
    ASSERT_EQ(typeid(*signCopy), typeid(TSignEx));
    EXPECT_EQ(static_cast<TSignEx&>(*signCopy).Size, 9);
    EXPECT_EQ(typeid(*TExactPoint().Clone()), typeid(TExactPoint));
    EXPECT_EQ(typeid(*TTextEx().Clone()), typeid(TTextEx));
    EXPECT_EQ(typeid(*TPolygonEx().Clone()), typeid(TPolygonEx));
}
