// Map objects drawn into pictures through a draw context, checked pixel by
// pixel; library procedures put into the context see exactly their record.
// World and pixel units are the same here: world (x, y) is pixel (x, 100 - y).
#include "TestSupport.h"
#include "support/Allocations.h"
#include "data/DrawContext.h"
#include "data/LoadDLL.h"
#include "data/MapObj.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <filesystem>
#include <memory>
#include <sstream>
#include <typeinfo>

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr int Side = 100;
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0, Red = Rgb(255, 0, 0), Green = Rgb(0, 160, 0),
                    Blue = Rgb(0, 0, 255), Yellow = Rgb(255, 255, 0), Cyan = Rgb(0, 255, 255),
                    Magenta = Rgb(255, 0, 255);

TPoint World(int32_t px, int32_t py) { return {px, Side - py}; }

struct TBox {
    int Left = Side, Top = Side, Right = -1, Bottom = -1;  // inclusive; empty when Right < Left
    bool Empty() const { return Right < Left; }
    int Width() const { return Right - Left + 1; }
    int Height() const { return Bottom - Top + 1; }
};

struct TPicture {
    QImage Img{Side, Side, QImage::Format_RGB32};
    std::unique_ptr<TDeviceContext> DC;
    TGdiRef<TPen> LayerPen = TPen::Create(TGDI_PS_SOLID, 0, Black);
    TGdiRef<TPen> SelectPen = TPen::Create(TGDI_PS_SOLID, 0, Blue);
    TGdiRef<TBrush> FillBrush = TBrush::CreateSolid(Yellow);
    TGdiRef<TBrush> SelectBrush = TBrush::CreateSolid(Cyan);
    TDrawContext C;

    TPicture()
    {
        Img.fill(Qt::white);
        DC = std::make_unique<TDeviceContext>(Img);
        C.DC = DC.get();
        C.Scale = 1;
        C.WorldRect = {0, Side, Side, 0};
        C.ClientRect = {0, 0, Side, Side};
        C.SizeScale = 1;
        C.LayerPen = LayerPen;
        C.SelectPen = SelectPen;
        C.FillBrush = FillBrush;
        C.SelectBrush = SelectBrush;
        C.SelectColour = int32_t(Red);
        C.LayerColour = int32_t(Green);
        C.MmPerPixel = 0.25;
        DC->SetBkMode(TGDI_TRANSPARENT);
    }
    TColorRef At(int x, int y) const { return DC->GetPixel(x, y); }
    int Count(TColorRef c, int l = 0, int t = 0, int r = Side - 1, int b = Side - 1) const
    {
        int n = 0;
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x) n += At(x, y) == c;
        return n;
    }
    TBox Ink() const
    {
        TBox box;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                if (At(x, y) != White) {
                    box.Left = std::min(box.Left, x);
                    box.Right = std::max(box.Right, x);
                    box.Top = std::min(box.Top, y);
                    box.Bottom = std::max(box.Bottom, y);
                }
        return box;
    }
};

std::string Saved(const TPicture& p, const std::string& name)
{
    std::filesystem::create_directories(TARN_TEST_OUTPUT);
    const std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    p.Img.save(QString::fromStdString(path));
    return path;
}

// The colour at a pixel, with the picture saved for a look when it is not.
::testing::AssertionResult Pixel(const TPicture& p, int x, int y, TColorRef want, const char* name)
{
    const TColorRef got = p.At(x, y);
    if (got == want) return ::testing::AssertionSuccess();
    std::ostringstream m;
    m << "pixel (" << x << ", " << y << ") is " << std::hex << got << " instead of " << want << "; picture in "
      << Saved(p, name);
    return ::testing::AssertionFailure() << m.str();
}

TLogFont DejaVu(int32_t height)
{
    TLogFont f{};
    f.Height = height;
    std::strcpy(f.FaceName, "DejaVu Sans");
    return f;
}

template <class T>
std::unique_ptr<T> Line(std::initializer_list<TPoint> pixels)
{
    auto o = std::make_unique<T>();
    for (TPoint p : pixels) o->Points.push_back(World(p.X, p.Y));
    return o;
}

// What an injected library procedure received.
struct TCaught {
    int Calls = 0;
    int32_t Mode = 0;
    std::string Record;
    std::vector<TPoint> Points;
};
TCaught Caught;

template <class Rec>
uint8_t Catch(int32_t mode, void* record)
{
    ++Caught.Calls;
    Caught.Mode = mode;
    Caught.Record.assign(static_cast<const char*>(record), sizeof(Rec));
    Caught.Points.clear();
    if constexpr (!std::is_same_v<Rec, TSignParams>) {
        Rec r;
        std::memcpy(&r, record, sizeof r);
        for (int32_t i = 0; i < r.Count; ++i) Caught.Points.push_back({r.Points[i].X, r.Points[i].Y});
    }
    return 1;
}

std::string LE64(const void* p)
{
    const uint64_t v = reinterpret_cast<uintptr_t>(p);
    std::string s;
    for (int i = 0; i < 8; ++i) s += char((v >> (8 * i)) & 0xFF);
    return s;
}

// The point address a record carried.
const void* PointsOf(const std::string& record)
{
    const void* p;
    std::memcpy(&p, record.data() + 8, sizeof p);
    return p;
}

struct TOwnerHook : TDrawNotify {
    int Calls = 0;
    int32_t Code = 0;
    bool GotRecord = false;
    std::vector<TPoint> Points;
    const TBaseObject* Object = nullptr;
    bool HasNotifyHook() const override { return true; }
    void CallNotifyHook(int32_t code, intptr_t, intptr_t, intptr_t c) override
    {
        ++Calls;
        Code = code;
        auto* rec = reinterpret_cast<const TOwnerDrawRec*>(c);
        GotRecord = rec != nullptr;
        if (rec) {
            Points.assign(rec->Points, rec->Points + rec->Count);
            Object = rec->Object;
        }
    }
};

} // namespace

TEST(ObjectDrawing, PolylineInTheLayersPens)
{
    TPicture p;
    auto line = Line<TPolyLine>({{10, 50}, {90, 50}});
    TPen* before = p.DC->Pen();
    line->Draw(p.C);
    EXPECT_TRUE(Pixel(p, 50, 50, Black, "line-layer"));
    EXPECT_TRUE(Pixel(p, 50, 51, White, "line-layer"));
    EXPECT_EQ(p.DC->Pen(), before) << "the previous pen is selected back";
    line->SetFlags(ObjFlagSelected);
    line->Draw(p.C);
    EXPECT_TRUE(Pixel(p, 50, 50, Blue, "line-selected"));

    TPicture dashed;
    TGdiRef<TPen> dash = TPen::Create(TGDI_PS_DASH, 0, Red);
    dashed.C.LayerPen = dash;
    line->SetFlags(0);
    line->Draw(dashed.C);
    const int red = dashed.Count(Red, 10, 50, 89, 50);
    EXPECT_GT(red, 20);
    EXPECT_LT(red, 80) << "a dashed pen leaves gaps";
}

TEST(ObjectDrawing, StyledPolylineOwnAttributesOnlyInOwnAttributeMode)
{
    auto line = Line<TPolyLineEx>({{10, 50}, {90, 50}});
    line->Color = Green;
    line->Width = 30;  // 30 x SizeScale / 10 = 3 pixels
    line->PenStyle = TGDI_PS_SOLID;

    TPicture layer;
    line->Draw(layer.C);
    EXPECT_TRUE(Pixel(layer, 50, 50, Black, "lineex-layer")) << "layer style ignores the own colour";
    EXPECT_TRUE(Pixel(layer, 50, 51, White, "lineex-layer")) << "and the own width";

    TPicture own;
    own.C.OwnAttributes = 1;
    line->Draw(own.C);
    for (int y : {49, 50, 51}) EXPECT_TRUE(Pixel(own, 50, y, Green, "lineex-own"));
    EXPECT_TRUE(Pixel(own, 50, 53, White, "lineex-own"));

    TPicture selected;
    selected.C.OwnAttributes = 1;
    line->SetFlags(ObjFlagSelected);
    line->Draw(selected.C);
    EXPECT_TRUE(Pixel(selected, 50, 51, Red, "lineex-selected")) << "SelectColour, own width";

    TPicture dotted;
    dotted.C.OwnAttributes = 1;
    line->SetFlags(0);
    line->Width = 0;
    line->PenStyle = TGDI_PS_DOT;
    line->Draw(dotted.C);
    const int green = dotted.Count(Green, 10, 50, 89, 50);
    EXPECT_GT(green, 10);
    EXPECT_LT(green, 80);
}

TEST(ObjectDrawing, PolygonInTheLayersPenAndBrush)
{
    auto area = Line<TPolygon>({{20, 20}, {80, 20}, {80, 80}, {20, 80}});
    TPicture p;
    TBrush* before = p.DC->Brush();
    area->Draw(p.C);
    EXPECT_TRUE(Pixel(p, 50, 50, Yellow, "area-layer"));
    EXPECT_TRUE(Pixel(p, 20, 50, Black, "area-layer"));
    EXPECT_EQ(p.DC->Brush(), before);
    area->SetFlags(ObjFlagSelected);
    area->Draw(p.C);
    EXPECT_TRUE(Pixel(p, 50, 50, Cyan, "area-selected"));
    EXPECT_TRUE(Pixel(p, 20, 50, Blue, "area-selected"));

    TPicture hatched;
    TGdiRef<TBrush> hatch = TBrush::CreateHatch(TGDI_HS_HORIZONTAL, Green);
    hatched.C.FillBrush = hatch;
    area->SetFlags(0);
    area->Draw(hatched.C);
    const int green = hatched.Count(Green, 21, 21, 79, 79), white = hatched.Count(White, 21, 21, 79, 79);
    EXPECT_GT(green, 0);
    EXPECT_GT(white, green) << "a horizontal hatch every eight rows, gaps left in transparent mode";
}

TEST(ObjectDrawing, StyledPolygonBrushesAndOutline)
{
    auto area = Line<TPolygonEx>({{20, 20}, {80, 20}, {80, 80}, {20, 80}});
    area->FillColor = Magenta;
    area->OutlineColor = Green;
    area->OutlinePen = (uint32_t(TGDI_PS_SOLID) << 16) | 1;
    struct Case {
        const char* Name;
        int32_t FillStyle;
        uint32_t Flags;
        TColorRef Inside;
    } cases[] = {
        {"no fill", -2, 0, White},
        {"no fill, selected", -2, ObjFlagSelected, Red},
        {"solid", -1, 0, Magenta},
        {"solid, selected", -1, ObjFlagSelected, Red},
    };
    for (const Case& c : cases) {
        TPicture p;
        p.C.OwnAttributes = 1;
        area->FillStyle = c.FillStyle;
        area->SetFlags(c.Flags);
        area->Draw(p.C);
        EXPECT_TRUE(Pixel(p, 50, 50, c.Inside, c.Name)) << c.Name;
        EXPECT_TRUE(Pixel(p, 20, 50, Green, c.Name)) << c.Name << ": outline in its own colour";
    }
    TPicture hatched;
    hatched.C.OwnAttributes = 1;
    area->FillStyle = TGDI_HS_VERTICAL;
    area->SetFlags(0);
    area->Draw(hatched.C);
    EXPECT_GT(hatched.Count(Magenta, 21, 50, 79, 50), 0);
    EXPECT_GT(hatched.Count(White, 21, 50, 79, 50), 0);

    TPicture layer;  // layer style: the layer's pen and brush
    area->Draw(layer.C);
    EXPECT_TRUE(Pixel(layer, 50, 50, Yellow, "areaex-layer"));
    EXPECT_TRUE(Pixel(layer, 20, 50, Black, "areaex-layer"));
}

TEST(ObjectDrawing, HugePolygonAroundTheViewFillsItAndOneOutsideDrawsNothing)
{
    const int32_t g = 1'000'000'000;
    TPolygon huge;
    huge.Points = {{-g, -g}, {g, -g}, {g, g}, {-g, g}};
    TPicture p;
    huge.Draw(p.C);
    EXPECT_EQ(p.Count(Yellow), Side * Side) << Saved(p, "huge-polygon");

    TPolygon outside;
    outside.Points = {{-g, -g}, {-g + 10, -g}, {-g, -g + 10}};
    TPicture q;
    outside.Draw(q.C);
    EXPECT_EQ(q.Count(White), Side * Side) << Saved(q, "outside-polygon");

    // A ring of 50 000 points around the view: half of them survive the
    // first edge, far more than a fixed clip buffer held.
    TPolygon ring;
    for (int32_t k = 0; k < 50'000; ++k) {
        const double a = 2 * 3.14159265358979 * k / 50'000;
        ring.Points.push_back({int32_t(50 + 1e9 * std::cos(a)), int32_t(50 + 1e9 * std::sin(a))});
    }
    TPicture r;
    TGdiRef<TPen> red = TPen::Create(TGDI_PS_SOLID, 0, Red);
    r.C.LayerPen = red;
    ring.Draw(r.C);
    EXPECT_EQ(r.Count(Yellow), Side * Side) << Saved(r, "ring-polygon");
}

TEST(ObjectDrawing, TextAtZeroAndNineHundredTenths)
{
    TLogFont font = DejaVu(-20);
    for (int32_t angle : {0, 900}) {
        TPicture p;
        p.C.TextFont = &font;
        p.DC->SetTextAlign(TGDI_TA_BASELINE);
        TText t;
        t.Text = "Ab";
        const TPoint at = World(40, 70);
        t.X = at.X;
        t.Y = at.Y;
        t.Angle = angle;
        t.Draw(p.C);
        const TBox ink = p.Ink();
        ASSERT_FALSE(ink.Empty()) << angle;
        if (angle == 0) {
            EXPECT_GE(ink.Left, 40);
            EXPECT_LE(ink.Bottom, 70) << "above the baseline";
            EXPECT_LT(ink.Top, 60);
            EXPECT_GT(ink.Width(), ink.Height() / 2);
            EXPECT_GT(ink.Right, 55) << "along the text to the right";
        } else {
            EXPECT_LE(ink.Right, 41) << "turned: the letters stand left of the anchor";
            EXPECT_LE(ink.Bottom, 70);
            EXPECT_LT(ink.Top, 55) << "the text runs upward";
            EXPECT_LT(ink.Width(), 20);
        }
        if (HasFailure()) Saved(p, "text-" + std::to_string(angle));
    }
    EXPECT_EQ(font.Escapement, 0) << "the layer's font record keeps its escapement";
}

TEST(ObjectDrawing, LabelsOfFourPixelsOrLessAreNotDrawn)
{
    for (auto [height, drawn] : {std::pair{4, false}, std::pair{-4, false}, std::pair{3, false}, std::pair{0, false},
                                 std::pair{5, true}, std::pair{-5, true}, std::pair{12, true}}) {
        TLogFont font = DejaVu(height);
        TPicture p;
        p.C.TextFont = &font;
        TText t;
        t.Text = "WWWW";
        t.X = 10;
        t.Y = 50;
        t.Draw(p.C);
        EXPECT_EQ(p.Count(White) < Side * Side, drawn) << height;
    }

    // Styled texts in their own size: Size x SizeScale / 10 pixels.
    TLogFont font = DejaVu(-30);
    for (auto [size, drawn] : {std::pair{40, false}, std::pair{44, false}, std::pair{50, true}, std::pair{-45, false}}) {
        TPicture p;
        p.C.TextFont = &font;
        p.C.OwnAttributes = 1;
        TTextEx t;
        t.Text = "WWWW";
        t.X = 10;
        t.Y = 50;
        t.Size = size;
        t.Draw(p.C);
        EXPECT_EQ(p.Count(White) < Side * Side, drawn) << size;
    }
    EXPECT_EQ(font.Height, -30) << "the layer's record keeps its height";

    // Labels of styled lines: the label font scaled by SizeScale / 10.
    for (auto [height, drawn] : {std::pair{-40, false}, std::pair{-50, true}}) {
        TLogFont label = DejaVu(height);
        TPicture p;
        p.C.LabelFont = &label;
        p.C.ShowLabels = 1;
        p.C.LabelColour = int32_t(Magenta);
        auto line = Line<TPolyLineEx>({{0, 99}, {1, 99}});
        line->Label = "WWWW";
        line->X = 10;
        line->Y = 50;
        line->Draw(p.C);
        // Smoothed letters mix magenta into the white: red and blue stay full.
        int tinted = 0;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const TColorRef c = p.At(x, y);
                tinted += c != White && (c & 0xFF) == 0xFF && (c >> 16 & 0xFF) == 0xFF;
            }
        EXPECT_EQ(tinted > 0, drawn) << height;
        EXPECT_EQ(label.Height, height);
    }
}

TEST(ObjectDrawing, StyledLabelsFollowTheObjectsFlagInOwnAttributeMode)
{
    TLogFont label = DejaVu(-120);  // 12 pixels at SizeScale 1
    auto sign = std::make_unique<TSignEx>();
    sign->Label = "Lbl";
    const TPoint at = World(20, 50);
    sign->X = at.X;
    sign->Y = at.Y;
    sign->LabelOffset = {10, -20};  // world units: 10 right, 20 down
    struct Case {
        uint8_t Own, ShowLabels;
        uint32_t Flags;
        bool Drawn;
    } cases[] = {{0, 1, 0, true}, {0, 0, ObjFlagShowLabel, false}, {1, 0, ObjFlagShowLabel, true}, {1, 1, 0, false}};
    for (const Case& c : cases) {
        TPicture p;
        p.C.LabelFont = &label;
        p.C.LabelColour = int32_t(Magenta);
        p.C.OwnAttributes = c.Own;
        p.C.ShowLabels = c.ShowLabels;
        p.C.LayerProc = DefaultSignProc;
        p.C.LayerProcKind = SymbolKindSign;
        p.DC->SetTextAlign(TGDI_TA_BASELINE);
        sign->SetFlags(c.Flags);
        sign->Draw(p.C);
        EXPECT_EQ(p.Count(Magenta) > 0, c.Drawn) << int(c.Own) << int(c.ShowLabels) << c.Flags;
        if (c.Drawn) {
            // Left and baseline of the label at the offset point (30, 70).
            EXPECT_EQ(p.Count(Magenta, 0, 0, 29, Side - 1), 0);
            EXPECT_EQ(p.Count(Magenta, 0, 71, Side - 1, Side - 1), 0);
        }
    }
}

TEST(ObjectDrawing, SelectedLabelFrameDrawnTwiceRestoresThePicture)
{
    TLogFont font = DejaVu(-20);
    TText t;
    t.Text = "Frame";
    const TPoint at = World(20, 60);
    t.X = at.X;
    t.Y = at.Y;
    auto setUp = [&](TPicture& p) {
        p.C.TextFont = &font;
        p.DC->SetTextAlign(TGDI_TA_BASELINE);
        p.DC->SelectBrush(p.SelectBrush);  // as the text layer does
    };
    TPicture plain, once, twice;
    setUp(plain);
    setUp(once);
    setUp(twice);
    t.Draw(plain.C);
    t.SetFlags(ObjFlagSelected);
    t.Draw(once.C);
    EXPECT_NE(once.At(21, 59), plain.At(21, 59)) << "the frame shows inside, near the anchor";
    t.Draw(twice.C);
    t.Draw(twice.C);
    // The frame goes away again; the solid parts of the letters, drawn anew
    // each time under the frame, look as after one selected draw (their
    // smoothed edges mix with what lies under them, so they are not compared).
    int differ = 0;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const TColorRef letter = plain.At(x, y);
            if (letter == White) differ += twice.At(x, y) != White;
            else if (letter == Black) differ += twice.At(x, y) != once.At(x, y);
        }
    EXPECT_EQ(differ, 0) << Saved(twice, "frame-twice");
    EXPECT_GT(plain.Count(Black), 20) << "there are letters";
    EXPECT_EQ(twice.DC->GetROP2(), TGDI_R2_COPYPEN) << "the mix is restored";
    EXPECT_EQ(twice.DC->GetBkColor(), White);
}

TEST(ObjectDrawing, VertexMarksAnchorMarkAndArrows)
{
    auto line = Line<TPolyLine>({{20, 50}, {50, 50}, {80, 20}});
    TGdiRef<TBrush> green = TBrush::CreateSolid(Green);

    TPicture marks;
    marks.DC->SelectBrush(green);
    marks.C.DrawOptions[DrawOptionVertexMarks] = 1;
    line->Draw(marks.C);
    EXPECT_TRUE(Pixel(marks, 52, 52, Red, "marks")) << "cross at the inner vertex";
    EXPECT_TRUE(Pixel(marks, 48, 52, Red, "marks"));
    EXPECT_TRUE(Pixel(marks, 18, 51, Red, "marks")) << "open diamond at the first vertex";
    EXPECT_TRUE(Pixel(marks, 19, 50, White, "marks"));
    EXPECT_TRUE(Pixel(marks, 81, 20, Green, "marks")) << "filled diamond at the last vertex";
    EXPECT_TRUE(Pixel(marks, 82, 21, Red, "marks"));
    EXPECT_EQ(marks.DC->GetROP2(), TGDI_R2_COPYPEN);

    TPicture none;
    line->Draw(none.C);
    EXPECT_TRUE(Pixel(none, 52, 52, White, "no-marks"));
    EXPECT_EQ(none.Count(Blue), 0);

    TPicture anchor;
    anchor.C.DrawOptions[DrawOptionLineAnchors] = 1;
    const TPoint a = World(30, 20);
    line->X = a.X;
    line->Y = a.Y;
    line->Draw(anchor.C);
    EXPECT_TRUE(Pixel(anchor, 32, 22, Red, "anchor"));
    EXPECT_TRUE(Pixel(anchor, 28, 22, Red, "anchor"));

    TPicture arrows;
    arrows.C.DrawOptions[DrawOptionArrows] = 1;
    line->Draw(arrows.C);
    // First segment: tip at its middle (35, 50), barbs back at (20, 44) and (20, 56).
    EXPECT_TRUE(Pixel(arrows, 35 - 5, 48, Blue, "arrows"));
    EXPECT_TRUE(Pixel(arrows, 35 - 5, 52, Blue, "arrows"));
    EXPECT_GT(arrows.Count(Blue, 55, 20, 80, 50), 3) << "one arrow on the second segment too";
    EXPECT_EQ(arrows.Count(Blue, 36, 40, 49, 60), 0) << "the tip points along the line";
}

TEST(ObjectDrawing, StyledPolylineArrowsAndMarksByPointCount)
{
    TPicture one;
    one.C.DrawOptions[DrawOptionArrows] = 1;
    one.C.DrawOptions[DrawOptionStyledVertexMarks] = 1;
    Line<TPolyLineEx>({{50, 50}})->Draw(one.C);
    EXPECT_EQ(one.Count(Blue), 0) << "one point: no arrow";
    EXPECT_TRUE(Pixel(one, 48, 51, Red, "lineex-one")) << "its diamonds";

    TPicture two;
    two.C.DrawOptions[DrawOptionArrows] = 1;
    two.C.DrawOptions[DrawOptionStyledVertexMarks] = 1;
    Line<TPolyLineEx>({{20, 50}, {80, 50}})->Draw(two.C);
    EXPECT_GT(two.Count(Blue), 10) << "two points: one arrow";
    EXPECT_TRUE(Pixel(two, 18, 51, Red, "lineex-two"));

    TPicture three;
    three.C.DrawOptions[DrawOptionStyledVertexMarks] = 1;
    Line<TPolyLineEx>({{20, 50}, {50, 50}, {80, 50}})->Draw(three.C);
    EXPECT_TRUE(Pixel(three, 52, 52, White, "lineex-three")) << "no crosses without the first option";
    three.C.DrawOptions[DrawOptionVertexMarks] = 1;
    Line<TPolyLineEx>({{20, 50}, {50, 50}, {80, 50}})->Draw(three.C);
    EXPECT_TRUE(Pixel(three, 52, 52, Red, "lineex-three"));
}

TEST(ObjectDrawing, PolygonMarksEveryDrawnPoint)
{
    TPicture p;
    p.C.DrawOptions[DrawOptionVertexMarks] = 1;
    Line<TPolygon>({{20, 20}, {80, 20}, {50, 80}})->Draw(p.C);
    for (TPoint v : {TPoint{20, 20}, TPoint{80, 20}, TPoint{50, 80}})
        EXPECT_TRUE(Pixel(p, v.X - 2, v.Y - 2, Red, "polygon-marks")) << v.X << "," << v.Y;
}

TEST(ObjectDrawing, LineRecordReachesTheLayerProcedure)
{
    TPicture p;
    p.C.LayerProc = Catch<TLineParams>;
    p.C.LayerProcKind = SymbolKindLine;
    p.C.SymbolSize = 10;
    p.C.LinePixelWidth = 45;
    p.C.LayerColour = 0x123456;
    auto line = Line<TPolyLine>({{10, 20}, {30, 40}, {50, 60}});
    for (bool selected : {false, true}) {
        line->SetFlags(selected ? ObjFlagSelected : 0);
        Caught = {};
        line->Draw(p.C);
        ASSERT_EQ(Caught.Calls, 1);
        EXPECT_EQ(Caught.Mode, 1);
        const std::string want = LE64(p.DC->Handle()) + LE64(PointsOf(Caught.Record)) + I32(3) + I32(10) + I32(45) +
                                 I32(selected ? int32_t(Red) : 0x123456) + Bytes({selected ? 1 : 0});
        EXPECT_TRUE(SameBytes(Caught.Record, want)) << selected;
        EXPECT_EQ(Caught.Points, (std::vector<TPoint>{{10, 20}, {30, 40}, {50, 60}}));
    }
    EXPECT_EQ(p.Count(White), Side * Side) << "the procedure draws, not the object";

    // Styled lines in layer style always pass SelectColour.
    auto ex = Line<TPolyLineEx>({{10, 20}, {30, 40}});
    Caught = {};
    ex->Draw(p.C);
    EXPECT_TRUE(SameBytes(Caught.Record.substr(16), I32(2) + I32(10) + I32(45) + I32(int32_t(Red)) + Bytes({0})));
}

TEST(ObjectDrawing, FillAndSignRecordsReachTheLayerProcedure)
{
    TPicture p;
    p.C.LayerProc = Catch<TFillParams>;
    p.C.LayerProcKind = SymbolKindFill;
    auto area = Line<TPolygon>({{10, 20}, {30, 40}, {50, 20}});
    area->SetFlags(ObjFlagSelected);
    Caught = {};
    area->Draw(p.C);
    ASSERT_EQ(Caught.Calls, 1);
    EXPECT_TRUE(SameBytes(Caught.Record, LE64(p.DC->Handle()) + LE64(PointsOf(Caught.Record)) + I32(3) + I32(1) +
                                             I32(int32_t(Red)) + Bytes({1})));
    EXPECT_EQ(Caught.Points, (std::vector<TPoint>{{10, 20}, {30, 40}, {50, 20}}));

    p.C.LayerProc = Catch<TSignParams>;
    p.C.LayerProcKind = SymbolKindSign;
    p.C.SymbolSize = 250000;
    TSign sign;
    const TPoint at = World(33, 44);
    sign.X = at.X;
    sign.Y = at.Y;
    sign.SignNumber = -7;
    Caught = {};
    sign.Draw(p.C);
    ASSERT_EQ(Caught.Calls, 1);
    EXPECT_TRUE(SameBytes(Caught.Record,
                          I32(33) + I32(44) + LE64(p.DC->Handle()) + I32(-7) + I32(100000) + Bytes({0})))
        << "X 0, Y 4, DC 8, sign 16, size 20 (capped), selected 24";
}

// A layer's file may hold objects of another kind than the layer: its
// procedure must get only its own record (a longer one would be read past
// the end of the shorter).
TEST(ObjectDrawing, ALayerProcedureGetsOnlyItsOwnKindOfRecord)
{
    struct Case {
        TSymbolProc Proc;
        uint8_t Kind;
        int Sign, Line, Area;  // calls each object makes
    } cases[] = {{Catch<TSignParams>, SymbolKindSign, 1, 0, 0},
                 {Catch<TLineParams>, SymbolKindLine, 0, 1, 0},
                 {Catch<TFillParams>, SymbolKindFill, 0, 0, 1}};
    for (const Case& c : cases) {
        TPicture p;
        p.C.LayerProc = c.Proc;
        p.C.LayerProcKind = c.Kind;
        p.C.SymbolSize = 10;
        TSign sign;
        const TPoint at = World(50, 50);
        sign.X = at.X;
        sign.Y = at.Y;
        auto line = Line<TPolyLine>({{10, 20}, {30, 40}});
        auto area = Line<TPolygon>({{10, 20}, {30, 40}, {50, 20}});
        const std::pair<TBaseObject*, int> draws[] = {{&sign, c.Sign}, {line.get(), c.Line}, {area.get(), c.Area}};
        for (auto [object, calls] : draws) {
            Caught = {};
            object->Draw(p.C);
            EXPECT_EQ(Caught.Calls, calls) << int(c.Kind) << " " << typeid(*object).name();
        }
    }
}

TEST(ObjectDrawing, SignsWithoutAProcedureDrawNothingNotEvenTheirAnchor)
{
    TPicture p;
    p.C.DrawOptions[DrawOptionSignAnchors] = 1;
    TSign sign;
    const TPoint at = World(50, 50);
    sign.X = at.X;
    sign.Y = at.Y;
    sign.Draw(p.C);
    EXPECT_EQ(p.Count(White), Side * Side);
    p.C.LayerProc = DefaultSignProc;
    p.C.LayerProcKind = SymbolKindSign;
    p.C.SymbolSize = 10;
    sign.Draw(p.C);
    EXPECT_TRUE(Pixel(p, 52, 52, Red, "sign-anchor")) << "the anchor mark over the sign";
    EXPECT_TRUE(Pixel(p, 50, 46, White, "sign-anchor")) << "a white circle of radius 5";
    EXPECT_TRUE(Pixel(p, 50, 45, Black, "sign-anchor"));
}

TEST(ObjectDrawing, OwnAttributeStylesComeFromTheSymbolLibrary)
{
    TDynLib lib;
    ASSERT_TRUE(lib.Open(TARN_SYMTEST_DLL)) << lib.LastError();
    using TLastCall = int32_t (*)(int32_t*, int32_t*, uint8_t*, TgdiPoint*);
    auto lastCall = reinterpret_cast<TLastCall>(lib.Symbol("TestLastCall"));
    ASSERT_NE(lastCall, nullptr);
    auto last = [&](int32_t& proc) {
        int32_t mode;
        uint8_t bytes[64];
        TgdiPoint first;
        const int32_t n = lastCall(&proc, &mode, bytes, &first);
        return std::string(reinterpret_cast<const char*>(bytes), std::size_t(n));
    };

    TPicture p;
    p.C.OwnAttributes = 1;
    p.C.LibraryLoaded = 1;
    p.C.Library = &lib;
    p.C.SizeScale = 10;
    int32_t proc = 0;

    auto line = Line<TPolyLineEx>({{10, 20}, {30, 40}});
    line->PenStyle = 102;  // "LINE2"
    line->Width = 13;      // 13 x 10 / 10
    line->Draw(p.C);
    std::string rec = last(proc);
    EXPECT_EQ(proc, 102);
    EXPECT_TRUE(SameBytes(rec.substr(16), I32(2) + I32(10) + I32(13) + I32(int32_t(Red)) + Bytes({0})));

    auto area = Line<TPolygonEx>({{10, 20}, {30, 40}, {50, 20}});
    area->FillStyle = 105;  // "FILL5"
    area->FillColor = Green;
    area->Draw(p.C);
    rec = last(proc);
    EXPECT_EQ(proc, 205);
    EXPECT_TRUE(SameBytes(rec.substr(16), I32(3) + I32(1) + I32(int32_t(Red)) + Bytes({0})))
        << "SelectColour, never the own colour";

    TSignEx sign;
    const TPoint at = World(33, 44);
    sign.X = at.X;
    sign.Y = at.Y;
    sign.SignNumber = 3;
    sign.DllSignNumber = 7;  // "SIGN7"
    sign.Size = 52;
    sign.Draw(p.C);  // 52 / 26 x MmPerPixel 0.25 = 0.5 -> 0
    rec = last(proc);
    EXPECT_EQ(proc, 7);
    EXPECT_TRUE(SameBytes(rec, I32(33) + I32(44) + LE64(p.DC->Handle()) + I32(3) + I32(0) + Bytes({0})));
    sign.SetFlags(ObjFlagSizeInMapUnits | ObjFlagSelected);
    sign.Draw(p.C);  // 52 x 10 / 100 = 5.2 -> 5
    rec = last(proc);
    EXPECT_TRUE(SameBytes(rec, I32(33) + I32(44) + LE64(p.DC->Handle()) + I32(3) + I32(5) + Bytes({1})));

    // A style the library lacks falls back to the built-in procedure.
    EXPECT_EQ(p.Count(White), Side * Side);
    line->PenStyle = 103;
    line->Draw(p.C);
    EXPECT_GT(p.Count(Black), 10) << "the built-in line, black when not selected";
}

TEST(ObjectDrawing, ObjectsDrawnByTheirOwnerOnlyTellTheModel)
{
    TOwnerHook hook;
    TPicture p;
    p.C.Model = &hook;
    auto area = Line<TPolygonEx>({{20, 20}, {80, 20}, {50, 80}});
    area->SetFlags(ObjFlagOwnerDraw);
    area->Draw(p.C);
    EXPECT_EQ(hook.Calls, 1);
    EXPECT_EQ(hook.Code, 22);
    ASSERT_TRUE(hook.GotRecord);
    EXPECT_EQ(hook.Object, area.get());
    EXPECT_EQ(hook.Points, (std::vector<TPoint>{{20, 20}, {80, 20}, {50, 80}})) << "device points";

    TLogFont font = DejaVu(-20);
    p.C.TextFont = &font;
    TTextEx text;
    text.Text = "Owner";
    text.SetFlags(ObjFlagOwnerDraw);
    text.Draw(p.C);
    EXPECT_EQ(hook.Calls, 2);
    EXPECT_FALSE(hook.GotRecord) << "texts and signs pass no record";
    TSign sign;
    sign.SetFlags(ObjFlagOwnerDraw);
    p.C.LayerProc = DefaultSignProc;
    p.C.LayerProcKind = SymbolKindSign;
    sign.Draw(p.C);
    EXPECT_EQ(hook.Calls, 3);
    EXPECT_EQ(p.Count(White), Side * Side);
}

TEST(ObjectDrawing, SteadyDrawingAllocatesNothing)
{
    // The objects' own work only: a context that draws nothing (what the
    // painter does inside the drawing layer is that layer's business).
    TPicture p;
    TDeviceContext quiet;
    p.C.DC = &quiet;
    TLogFont font = DejaVu(-14);
    p.C.TextFont = &font;
    p.C.DrawOptions[DrawOptionVertexMarks] = 1;
    p.C.DrawOptions[DrawOptionArrows] = 1;
    std::vector<std::unique_ptr<TBaseObject>> layer;
    for (int i = 0; i < 50; ++i) {
        auto line = Line<TPolyLine>({{i, 10}, {i + 30, 40}, {i + 5, 90}});
        auto area = Line<TPolygon>({{i, 20}, {i + 40, 25}, {i + 20, 70}});
        auto styled = Line<TPolygonEx>({{i, 20}, {i + 40, 25}, {i + 20, 70}});
        styled->FillStyle = TGDI_HS_CROSS;
        styled->OutlinePen = 2;
        auto sign = std::make_unique<TSign>();
        sign->X = i;
        sign->Y = 50;
        auto text = std::make_unique<TText>();
        text->Text = "Label";
        text->X = i;
        text->Y = 30;
        text->Angle = (i % 3) * 450;
        layer.push_back(std::move(line));
        layer.push_back(std::move(area));
        layer.push_back(std::move(styled));
        layer.push_back(std::move(sign));
        layer.push_back(std::move(text));
    }
    auto pass = [&](bool own) {
        p.C.OwnAttributes = own;
        p.C.LayerProc = nullptr;
        p.C.LayerProcKind = SymbolKindNone;
        for (auto& o : layer) {
            p.C.LayerProc = dynamic_cast<TSign*>(o.get()) ? DefaultSignProc : nullptr;
            p.C.LayerProcKind = dynamic_cast<TSign*>(o.get()) ? SymbolKindSign : SymbolKindNone;
            p.C.SymbolSize = 8;
            o->Draw(p.C);
        }
    };
    pass(false);
    pass(true);  // the first passes make the pens, brushes and fonts
    const long before = AllocationCount();
    pass(false);
    pass(true);
    EXPECT_EQ(AllocationCount() - before, 0);
}

TEST(ObjectDrawing, NothingIsDrawnWithoutAUsableScale)
{
    TLogFont font = DejaVu(-20);
    TOwnerHook hook;
    std::vector<std::unique_ptr<TBaseObject>> objects;
    objects.push_back(Line<TPolyLine>({{10, 10}, {90, 90}}));
    objects.push_back(Line<TPolygon>({{10, 10}, {90, 10}, {50, 90}}));
    objects.push_back(Line<TPolyLineEx>({{10, 10}, {90, 90}}));
    objects.push_back(Line<TPolygonEx>({{10, 10}, {90, 10}, {50, 90}}));
    for (TText* t : {new TText, static_cast<TText*>(new TTextEx)}) {
        t->Text = "Text";
        objects.emplace_back(t);
    }
    objects.push_back(std::make_unique<TSign>());
    objects.push_back(std::make_unique<TSignEx>());
    for (double scale : {0.0, -1.0, std::nan("")}) {
        TPicture p;
        p.C.Scale = scale;
        p.C.TextFont = &font;
        p.C.LayerProc = DefaultSignProc;
        p.C.LayerProcKind = SymbolKindSign;
        p.C.SymbolSize = 20;
        p.C.Model = &hook;
        for (auto& o : objects) {
            o->SetFlags(0);
            o->Draw(p.C);
            o->SetFlags(ObjFlagOwnerDraw);
            o->Draw(p.C);
        }
        EXPECT_EQ(p.Count(White), Side * Side) << scale;
    }
    EXPECT_EQ(hook.Calls, 0);
}
