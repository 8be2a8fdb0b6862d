// Maps drawn into pictures layer by layer, checked by pixel probes, and the
// layer passes seen from inside by probe objects that keep what their
// context held.
#include "LayerTestSupport.h"
#include "PictureSupport.h"
#include "data/LayerOps.h"
#include "data/LayerDraw.h"
#include "data/LayerWalk.h"
#include "data/LoadDLL.h"
#include "data/MapObj.h"
#include "data/MapObjBmp.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

using namespace tarn;
using namespace tarn::test;

namespace {

constexpr int W = 120, H = 80;
constexpr TColorRef White = Rgb(255, 255, 255), Black = 0, Red = Rgb(255, 0, 0), Green = Rgb(0, 160, 0),
                    Blue = Rgb(0, 0, 255), Magenta = Rgb(255, 0, 255);

// A picture and the context a view would fill for it: Scale world units per
// pixel, 0.02 mm per pixel, so a scale of 100 is the denominator 5000.
struct TCanvas {
    QImage Img{W, H, QImage::Format_RGB32};
    std::unique_ptr<TDeviceContext> DC;
    TDrawContext C;

    explicit TCanvas(double scale = 100)
    {
        Img.fill(Qt::white);
        DC = std::make_unique<TDeviceContext>(Img);
        C.DC = DC.get();
        C.MmPerPixel = 0.02;
        C.SelectColour = int32_t(Magenta);
        SetScale(scale);
    }
    void SetScale(double scale)
    {
        C.Scale = scale;
        C.WorldRect = {0, int32_t(H * scale), int32_t(W * scale), 0};
        C.ClientRect = {0, 0, W, H};
    }
    // The world point drawn at pixel (px, py).
    TPoint World(int px, int py) const { return {int32_t(px * C.Scale), int32_t((H - py) * C.Scale)}; }
    TColorRef At(int x, int y) const { return DC->GetPixel(x, y); }
    int Count(TColorRef c, int l, int t, int r, int b) const
    {
        int n = 0;
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x) n += At(x, y) == c;
        return n;
    }
};

std::string Saved(const TCanvas& p, const std::string& name)
{
    std::filesystem::create_directories(TARN_TEST_OUTPUT);
    const std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    p.Img.save(QString::fromStdString(path));
    return path;
}

::testing::AssertionResult Pixel(const TCanvas& p, int x, int y, TColorRef want, const std::string& name)
{
    const TColorRef got = p.At(x, y);
    if (got == want) return ::testing::AssertionSuccess();
    std::ostringstream m;
    m << "pixel (" << x << ", " << y << ") is " << std::hex << got << " instead of " << want << "; picture in "
      << Saved(p, name);
    return ::testing::AssertionFailure() << m.str();
}

TLayer* AddLayer(TCollection& parent, const std::string& name, int16_t kind, TColorRef colour, int32_t style1,
                 int32_t style2 = 0, int32_t style3 = 0, int32_t scaleLimit = 1000000)
{
    auto* l = new TLayer;
    l->Name = name;
    l->Kind = kind;
    l->Colour = int32_t(colour);
    l->Colour2 = NoOutlineColour;
    l->Style1 = style1;
    l->Style2 = style2;
    l->Style3 = style3;
    l->ScaleLimit = scaleLimit;
    parent.Insert(l);
    return l;
}

TPolygon* Square(const TCanvas& cv, TCustomLayer& layer, int l, int t, int r, int b)
{
    auto* p = new TPolygon;
    p->Points = {cv.World(l, t), cv.World(r, t), cv.World(r, b), cv.World(l, b)};
    p->X = p->Points[0].X;
    p->Y = p->Points[0].Y;
    layer.Insert(p);
    return p;
}

TPolyLine* Line(const TCanvas& cv, TCustomLayer& layer, int x1, int y1, int x2, int y2)
{
    auto* p = new TPolyLine;
    p->Points = {cv.World(x1, y1), cv.World(x2, y2)};
    p->X = p->Points[0].X;
    p->Y = p->Points[0].Y;
    layer.Insert(p);
    return p;
}

// ---------------------------------------------------------------- probes

// What an object saw when it was drawn.
struct TSeen {
    int32_t Code = 0;
    std::string Layer;
    TDrawContext C;
    TLogFont Text{};
    TLogFont Label{};
    TColorRef DcTextColour = 0;
    uint32_t DcAlign = 0;
    int32_t DcBkMode = 0;
    TPen* DcPen = nullptr;
    TBrush* DcBrush = nullptr;
    int32_t FillHatch = -1;  // the pass's tools are freed after it: what they were
    TColorRef DcBrushColour = 0;
};
std::vector<TSeen> Seen;

class TProbe : public TBaseObject {
public:
    TProbe(int32_t code, TPoint at)
    {
        Code = code;
        X = at.X;
        Y = at.Y;
    }
    void Draw(const TDrawContext& c) const override
    {
        TSeen s;
        s.Code = Code;
        s.C = c;
        if (c.TextFont) s.Text = *c.TextFont;
        if (c.LabelFont) s.Label = *c.LabelFont;
        if (c.DC) {
            s.DcTextColour = c.DC->GetTextColor();
            s.DcAlign = c.DC->GetTextAlign();
            s.DcBkMode = c.DC->GetBkMode();
            s.DcPen = c.DC->Pen();
            s.DcBrush = c.DC->Brush();
            if (s.DcBrush) s.DcBrushColour = s.DcBrush->Color();
        }
        if (c.FillBrush) s.FillHatch = c.FillBrush->Hatch();
        Seen.push_back(s);
    }
    bool HitTest(const TDrawContext&, int32_t x, int32_t y, int32_t&) const override
    {
        const int64_t t = HitTolerance();
        return std::llabs(int64_t(x) - X) <= t && std::llabs(int64_t(y) - Y) <= t;
    }

protected:
    TProbe(const TProbe&) = default;
    TBaseObject* CreateCopy() const override { return new TProbe(*this); }
};

TProbe* Probe(TCustomLayer& layer, int32_t code, TPoint at, uint32_t flags = 0)
{
    auto* p = new TProbe(code, at);
    p->SetFlags(flags);
    layer.Insert(p);
    return p;
}

std::vector<int32_t> SeenCodes()
{
    std::vector<int32_t> codes;
    for (const TSeen& s : Seen) codes.push_back(s.Code);
    return codes;
}

// The model's side of code 21: keeps every call and sets the stop flag at
// the chosen layer and phase.
class TRecorder : public TDrawNotify {
public:
    struct TCall {
        int32_t Code;
        intptr_t Phase;
        const TCustomLayer* Layer;
    };
    std::vector<TCall> Calls;
    const TCustomLayer* StopAt = nullptr;
    intptr_t StopPhase = 0;
    bool Hook = true;

    bool HasNotifyHook() const override { return Hook; }
    void CallNotifyHook(int32_t code, intptr_t a, intptr_t b, intptr_t c) override
    {
        auto* layer = reinterpret_cast<const TCustomLayer*>(b);
        Calls.push_back({code, a, layer});
        if (code == 21 && layer == StopAt && a == StopPhase) reinterpret_cast<TDrawContext*>(c)->Flags |= DrawFlagStop;
    }
};

class LayerDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestClasses();
        Seen.clear();
    }
};

TDynLib OpenLibrary(const char* path)
{
    TDynLib lib;
    EXPECT_TRUE(lib.Open(path)) << lib.LastError();
    return lib;
}

} // namespace

TEST_F(LayerDrawing, LayersBottomToTopInTreeOrderAndHiddenOnesLeftOut)
{
    TCanvas cv;
    TMap map;
    Square(cv, *AddLayer(map, "A", LayerKindPolygon, Red, -1), 10, 10, 50, 50);
    Square(cv, *AddLayer(map, "B", LayerKindPolygon, Blue, -1), 30, 30, 70, 70);
    TGapLayer* g = AddGroup(map, "G");
    Square(cv, *AddLayer(*g, "C", LayerKindPolygon, Green, -1), 60, 10, 90, 40);
    TLayer* hidden = AddLayer(map, "D", LayerKindPolygon, Black, -1);
    hidden->Flags = LayerFlagHidden;
    Square(cv, *hidden, 0, 60, 20, 79);
    TGapLayer* hiddenGroup = AddGroup(map, "H", LayerFlagHidden);
    Square(cv, *AddLayer(*hiddenGroup, "E", LayerKindPolygon, Black, -1), 100, 0, 119, 20);

    DrawMap(map, cv.C);
    EXPECT_TRUE(Pixel(cv, 20, 20, Red, "order"));
    EXPECT_TRUE(Pixel(cv, 40, 40, Blue, "order"));   // B over A
    EXPECT_TRUE(Pixel(cv, 65, 35, Green, "order"));  // the group's layer over B
    EXPECT_TRUE(Pixel(cv, 10, 70, White, "order"));  // hidden layer
    EXPECT_TRUE(Pixel(cv, 110, 10, White, "order")); // layer of a hidden group
}

TEST_F(LayerDrawing, ScaleLimitsAndTheAllScalesFlag)
{
    // A polygon layer of limit 5000 at the denominators 5000 and 5001.
    for (auto [scale, drawn] : {std::pair{100.0, true}, std::pair{100.02, false}}) {
        TCanvas cv(scale);
        TMap map;
        Square(cv, *AddLayer(map, "P", LayerKindPolygon, Red, -1, 0, 0, 5000), 10, 10, 50, 50);
        DrawMap(map, cv.C);
        EXPECT_TRUE(Pixel(cv, 30, 30, drawn ? Red : White, "limit"));
    }
    // At the denominator 1 a line layer of limit 0 needs flag 8; a text or
    // sign layer of limit 0 is not drawn even then.
    for (bool all : {false, true}) {
        TCanvas cv(1);
        cv.C.MmPerPixel = 1;  // the denominator 1
        if (all) cv.C.Flags |= DrawFlagAllScales;
        TMap map;
        Line(cv, *AddLayer(map, "L", LayerKindLine, Blue, 0, 0, 0, 0), 10, 40, 100, 40);
        Probe(*AddLayer(map, "T", LayerKindText, Black, 0, 0, 0, 0), 1, cv.World(20, 20));
        Probe(*AddLayer(map, "S", LayerKindSign, Black, 12, 0, 1, 0), 2, cv.World(30, 20));
        Probe(*AddLayer(map, "Q", LayerKindStyledPolygon, Black, -1, 0, 0, 0), 3, cv.World(40, 20));
        DrawMap(map, cv.C);
        EXPECT_TRUE(Pixel(cv, 50, 40, all ? Blue : White, all ? "flag8" : "noflag8"));
        EXPECT_EQ(SeenCodes(), all ? std::vector<int32_t>{3} : std::vector<int32_t>{});
        Seen.clear();
    }
}

TEST_F(LayerDrawing, StopRequestedThroughTheChangeHook)
{
    struct Case {
        const char* Name;
        int StopLayer;  // -1: the context's stop flag set before drawing
        intptr_t Phase;
        bool Drawn[3];
        std::size_t Calls;
    } cases[] = {
        {"no stop", 99, 0, {true, true, true}, 6},
        {"stop before the second", 1, 0, {true, false, false}, 4},
        {"stop after the second", 1, 1, {true, true, false}, 4},
        {"stop set on entry", -1, 0, {false, false, false}, 2},
    };
    const TColorRef colours[3] = {Red, Green, Blue};
    for (const Case& c : cases) {
        TCanvas cv;
        TMap map;
        TLayer* layers[3];
        for (int i = 0; i < 3; ++i) {
            layers[i] = AddLayer(map, "L" + std::to_string(i), LayerKindPolygon, colours[i], -1);
            Square(cv, *layers[i], 10 + 30 * i, 10, 30 + 30 * i, 30);
        }
        TRecorder model;
        model.StopAt = c.StopLayer >= 0 && c.StopLayer < 3 ? layers[c.StopLayer] : nullptr;
        model.StopPhase = c.Phase;
        cv.C.Model = &model;
        if (c.StopLayer < 0) cv.C.Flags |= DrawFlagStop;
        DrawMap(map, cv.C);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(Pixel(cv, 20 + 30 * i, 20, c.Drawn[i] ? colours[i] : White, c.Name)) << c.Name << " " << i;
        ASSERT_EQ(model.Calls.size(), c.Calls) << c.Name;
        for (std::size_t k = 0; k < model.Calls.size(); ++k) {
            EXPECT_EQ(model.Calls[k].Code, 21);
            EXPECT_EQ(model.Calls[k].Phase, intptr_t(k % 2));
            EXPECT_EQ(model.Calls[k].Layer, layers[k / 2]);
        }
    }
    // Without a hook nothing is called.
    TCanvas cv;
    TMap map;
    Square(cv, *AddLayer(map, "L", LayerKindPolygon, Red, -1), 10, 10, 30, 30);
    TRecorder model;
    model.Hook = false;
    cv.C.Model = &model;
    DrawMap(map, cv.C);
    EXPECT_TRUE(model.Calls.empty());
    EXPECT_TRUE(Pixel(cv, 20, 20, Red, "nohook"));
}

TEST_F(LayerDrawing, PolygonFillsAndOutlines)
{
    TDynLib ours = OpenLibrary(TARN_SYMBOLS_DLL);
    struct Case {
        const char* Name;
        int32_t Style1;
        int32_t Colour2;
        bool Library;
        TColorRef Inside;    // at the centre; White for a hatch or nothing
        int InsideColoured;  // pixels of Colour among the inner 20 x 20: 0 none, 1 some, 2 all
        TColorRef Border;    // on the left edge
    } cases[] = {
        {"hollow", -2, int32_t(Black), false, White, 0, Black},
        {"solid", -1, int32_t(Black), false, Red, 2, Black},
        {"solid no outline", -1, NoOutlineColour, false, Red, 2, Red},
        {"hollow no outline", -2, NoOutlineColour, false, White, 0, White},
        {"cross hatch", 4, NoOutlineColour, false, White, 1, White},
        {"unknown hatch", 77, NoOutlineColour, false, Red, 2, Red},
        {"below hollow", -5, NoOutlineColour, false, Red, 2, Red},
    };
    for (const Case& c : cases) {
        TCanvas cv;
        TMap map;
        TLayer* l = AddLayer(map, "P", LayerKindPolygon, Red, c.Style1, TGDI_PS_SOLID, 1);
        l->Colour2 = c.Colour2;
        Square(cv, *l, 20, 20, 60, 60);
        DrawMap(map, cv.C);
        const int reds = cv.Count(Red, 30, 30, 49, 49);
        EXPECT_EQ(reds == 0 ? 0 : reds == 400 ? 2 : 1, c.InsideColoured) << c.Name << ": " << reds;
        if (c.InsideColoured != 1) {  // a hatch may or may not pass a given pixel
            EXPECT_TRUE(Pixel(cv, 40, 40, c.Inside, c.Name)) << c.Name;
            EXPECT_TRUE(Pixel(cv, 20, 40, c.Border, c.Name)) << c.Name;
        }
    }
    // A library fill beyond 100: the built-in black hatch without a library,
    // the library's own fill with one.
    for (bool loaded : {false, true}) {
        TCanvas cv;
        cv.C.LibraryLoaded = loaded;
        cv.C.Library = &ours;
        TMap map;
        Square(cv, *AddLayer(map, "P", LayerKindPolygon, Red, 105), 20, 20, 60, 60);
        DrawMap(map, cv.C);
        const int blacks = cv.Count(Black, 25, 25, 55, 55), whites = cv.Count(White, 25, 25, 55, 55);
        if (!loaded) {
            EXPECT_GT(blacks, 50) << Saved(cv, "builtin-fill");
            EXPECT_GT(whites, 300) << Saved(cv, "builtin-fill");
        } else {
            EXPECT_LT(whites, 961) << Saved(cv, "library-fill");
        }
    }
}

TEST_F(LayerDrawing, LinePensAndLibraryLines)
{
    struct Case {
        const char* Name;
        int32_t Style1;
        int32_t Style2;
        int Thickness;  // coloured rows at the line's middle
        bool Gaps;
    } cases[] = {
        {"solid 1", TGDI_PS_SOLID, 1, 1, false},
        {"solid 5", TGDI_PS_SOLID, 5, 5, false},
        {"dots", TGDI_PS_DOT, 1, 1, true},
        {"unknown style", 77, 1, 1, false},
    };
    for (const Case& c : cases) {
        TCanvas cv;
        TMap map;
        Line(cv, *AddLayer(map, "L", LayerKindLine, Blue, c.Style1, c.Style2), 10, 40, 110, 40);
        DrawMap(map, cv.C);
        EXPECT_EQ(cv.Count(Blue, 60, 30, 60, 50), c.Thickness) << c.Name << " " << Saved(cv, c.Name);
        const int along = cv.Count(Blue, 20, 40, 99, 40);
        EXPECT_EQ(along < 80, c.Gaps) << c.Name << ": " << along;
    }
    // Style 102: the library's "LINE2" gets the layer colour, size 10 and
    // ten times the pixel width.
    TDynLib test = OpenLibrary(TARN_SYMTEST_DLL);
    auto lastCall = reinterpret_cast<int32_t (*)(int32_t*, int32_t*, uint8_t*, TgdiPoint*)>(test.Symbol("TestLastCall"));
    ASSERT_NE(lastCall, nullptr);
    TCanvas cv;
    cv.C.LibraryLoaded = 1;
    cv.C.Library = &test;
    TMap map;
    Line(cv, *AddLayer(map, "L", LayerKindLine, Blue, 102, 5), 10, 40, 110, 40);
    DrawMap(map, cv.C);
    int32_t proc = 0, mode = 0;
    uint8_t rec[64] = {};
    TgdiPoint first{};
    ASSERT_EQ(lastCall(&proc, &mode, rec, &first), int32_t(sizeof(TLineParams)));
    TLineParams line;
    std::memcpy(&line, rec, sizeof line);
    EXPECT_EQ(proc, 102);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(line.Count, 2);
    EXPECT_EQ(line.Size, 10);
    EXPECT_EQ(line.Width, 50);
    EXPECT_EQ(line.Colour, int32_t(Blue));
    EXPECT_EQ(first.X, 10);
    EXPECT_EQ(first.Y, 40);
}

TEST_F(LayerDrawing, SignLayersThroughTheLibraryAndTheBuiltIns)
{
    TDynLib ours = OpenLibrary(TARN_SYMBOLS_DLL);
    // Style1 24 gives round(2 x 24 / 120 / 0.02) = 20 pixels: the built-in
    // circle of radius 10, white inside a black ring.
    for (bool loaded : {false, true}) {
        TCanvas cv;
        cv.C.LibraryLoaded = loaded;
        cv.C.Library = &ours;
        TMap map;
        TLayer* signs = AddLayer(map, "S", LayerKindSign, Black, 24, 0, 1);
        auto* s = new TSign;
        s->SetFlags(ObjFlagFromFile);
        const TPoint at = cv.World(60, 40);
        s->X = at.X;
        s->Y = at.Y;
        s->SignNumber = 99;  // the layer's sign number counts, not the object's
        signs->Insert(s);
        DrawMap(map, cv.C);
        if (!loaded) {
            EXPECT_TRUE(Pixel(cv, 60, 40, White, "builtin-sign"));
            EXPECT_TRUE(Pixel(cv, 50, 40, Black, "builtin-sign"));
            EXPECT_TRUE(Pixel(cv, 47, 40, White, "builtin-sign"));
        } else {
            EXPECT_TRUE(Pixel(cv, 60, 40, Rgb(220, 30, 40), "library-sign")) << "the hospital's red cross";
        }
    }
    // Sizes handed to the library: screen units, and map units with flag 0x20.
    TDynLib test = OpenLibrary(TARN_SYMTEST_DLL);
    auto lastCall = reinterpret_cast<int32_t (*)(int32_t*, int32_t*, uint8_t*, TgdiPoint*)>(test.Symbol("TestLastCall"));
    for (auto [flags, style1, size] : {std::tuple{0u, 24, 20}, std::tuple{LayerFlagSignMapUnits, 200, 20},
                                       std::tuple{LayerFlagSignMapUnits, 1234, 123}}) {
        TCanvas cv;
        cv.C.LibraryLoaded = 1;
        cv.C.Library = &test;
        TMap map;
        TLayer* signs = AddLayer(map, "S", LayerKindSign, Black, style1, 0, 7);
        signs->Flags = flags;
        auto* s = new TSign;
        const TPoint at = cv.World(30, 20);
        s->X = at.X;
        s->Y = at.Y;
        s->SetFlags(ObjFlagInView);
        signs->Insert(s);
        DrawMap(map, cv.C);
        int32_t proc = 0, mode = 0;
        uint8_t rec[64] = {};
        TgdiPoint first{};
        lastCall(&proc, &mode, rec, &first);
        TSignParams sign;
        std::memcpy(&sign, rec, sizeof sign);
        EXPECT_EQ(proc, 7);
        EXPECT_EQ(sign.Size, size) << style1;
        EXPECT_EQ(sign.X, 30);
        EXPECT_EQ(sign.Y, 20);
    }
}

TEST_F(LayerDrawing, EachPassGetsItsToolsAndSelectPen)
{
    TDynLib test = OpenLibrary(TARN_SYMTEST_DLL);
    struct Case {
        const char* Name;
        int16_t Kind;
        uint32_t Flags;
        int32_t Style1, Style2, Style3;
        bool Proc;          // a symbol procedure
        TSymbolProc Builtin;  // which, when no library is loaded
        bool LayerPen, SelectPen, FillBrush;
        int32_t SymbolSize;
    } cases[] = {
        {"line pen", 0, 0, 0, 3, 0, false, nullptr, true, true, false, 0},
        {"line library", 0, 0, 102, 3, 0, true, DefaultLineProc, false, true, false, 10},
        {"styled line own", 9, LayerFlagOwnAttributes, 0, 3, 0, false, nullptr, false, true, false, 0},
        {"styled line as layer", 9, 0, 0, 3, 0, false, nullptr, true, true, false, 0},
        {"polygon hatch", 1, 0, 2, 0, 1, false, nullptr, true, true, true, 0},
        {"polygon library", 1, 0, 105, 0, 1, true, DefaultFillProc, true, true, false, 10},
        {"styled polygon own", 10, LayerFlagOwnAttributes, -1, 0, 1, false, nullptr, false, true, false, 0},
        {"sign", 7, 0, 24, 0, 7, true, DefaultSignProc, false, false, false, 20},
        {"styled sign own", 12, LayerFlagOwnAttributes | LayerFlagShowLabels, 24, 0, 7, false, nullptr, false, false,
         false, 0},
        {"opaque bitmap", 13, LayerFlagOpaqueBitmap, 0, 0, 0, false, nullptr, false, false, false, 0xCC0020},
        {"raster", 14, 0, 0, 0, 0, false, nullptr, false, false, false, int32_t(0x8800C6)},
    };
    for (bool loaded : {false, true}) {
        for (const Case& c : cases) {
            Seen.clear();
            TCanvas cv;
            cv.C.LibraryLoaded = loaded;
            cv.C.Library = &test;
            TMap map;
            TLayer* l = AddLayer(map, "L", c.Kind, Red, c.Style1, c.Style2, c.Style3);
            l->Flags = c.Flags;
            l->LabelFont = Font(9, 0, 0, 400, 0, "DejaVu Sans");
            l->LabelColour = int32_t(Green);
            Probe(*l, 1, cv.World(10, 10));
            DrawMap(map, cv.C);
            ASSERT_EQ(Seen.size(), 1u) << c.Name;
            const TDrawContext& s = Seen[0].C;
            SCOPED_TRACE(::testing::Message() << c.Name << (loaded ? ", library" : ", built-ins"));
            EXPECT_EQ(s.SizeScale, 10.0);
            EXPECT_EQ(s.LayerPen != nullptr, c.LayerPen);
            EXPECT_EQ(s.SelectPen != nullptr, c.SelectPen);
            EXPECT_EQ(s.FillBrush != nullptr, c.FillBrush);
            EXPECT_EQ(s.SymbolSize, c.SymbolSize);
            EXPECT_EQ(s.LayerProc != nullptr, c.Proc);
            if (c.Proc && !loaded) {
                EXPECT_EQ(s.LayerProc, c.Builtin);
            }
            if (c.Proc && loaded) {
                EXPECT_NE(s.LayerProc, c.Builtin) << "the library's procedure";
            }
            EXPECT_EQ(s.OwnAttributes, (c.Flags & LayerFlagOwnAttributes) ? 1 : 0);
            EXPECT_EQ(s.ShowLabels, (c.Flags & LayerFlagShowLabels) ? 1 : 0);
            EXPECT_EQ(s.LabelColour, int32_t(Green));
            EXPECT_STREQ(Seen[0].Label.FaceName, "DejaVu Sans");
            EXPECT_EQ(Seen[0].DcBkMode, TGDI_TRANSPARENT);
            if (IsLineKind(c.Kind)) {
                EXPECT_EQ(s.LinePixelWidth, 30);
            }
            if (IsPolygonKind(c.Kind) && c.LayerPen) {
                EXPECT_EQ(Seen[0].DcPen, s.LayerPen) << "outline pen selected";
            }
            if (c.Kind == 1 && c.Style1 == 2) {
                EXPECT_EQ(Seen[0].FillHatch, 2);
            }
            if (c.Kind == 13) {
                EXPECT_EQ(s.LayerColour, 0);
            }
        }
    }
}

TEST_F(LayerDrawing, TextPassAndTheDeviceContextLeftAsFound)
{
    TCanvas cv;
    TDeviceContext& dc = *cv.DC;
    TGdiRef<TPen> pen = TPen::Create(TGDI_PS_SOLID, 0, Green);
    TGdiRef<TBrush> brush = TBrush::CreateSolid(Green);
    TGdiRef<TFont> font = TFont::Create(Font(30, 0, 0, 400, 0, "DejaVu Sans"));
    dc.SelectPen(pen);
    dc.SelectBrush(brush);
    dc.SelectFont(font);
    dc.SetTextColor(Green);
    dc.SetTextAlign(TGDI_TA_LEFT);
    dc.SetBkMode(TGDI_OPAQUE);
    dc.SetROP2(TGDI_R2_COPYPEN);

    TMap map;
    TLayer* names = AddLayer(map, "Names", LayerKindText, Red, 0);
    names->TextFont = Font(20, 0, 0, 400, 0, "DejaVu Sans");
    Probe(*names, 1, cv.World(10, 10));
    auto* text = new TText;
    const TPoint at = cv.World(10, 40);
    text->X = at.X;
    text->Y = at.Y;
    text->Text = "Hi";
    names->Insert(text);
    TLayer* signs = AddLayer(map, "Signs", LayerKindSign, Black, 24, 0, 1);
    Probe(*signs, 2, cv.World(10, 10));
    DrawMap(map, cv.C);

    ASSERT_EQ(Seen.size(), 2u);
    const TSeen& t = Seen[0];
    EXPECT_EQ(t.Text.Height, 20) << "round(20 x SizeScale 10 / 10)";
    EXPECT_EQ(t.C.TextDC, &dc);
    EXPECT_EQ(t.DcTextColour, Red);
    EXPECT_EQ(t.DcAlign, uint32_t(TGDI_TA_BASELINE));
    EXPECT_EQ(t.DcBrushColour, Magenta) << "a brush in the select colour";
    // The next layer finds the device context as it was before the text layer.
    const TSeen& s = Seen[1];
    EXPECT_EQ(s.DcTextColour, Green);
    EXPECT_EQ(s.DcAlign, uint32_t(TGDI_TA_LEFT));
    EXPECT_EQ(s.DcBrush, brush.get());
    EXPECT_EQ(s.C.TextFont, nullptr);
    // And so does the caller.
    EXPECT_EQ(dc.Pen(), pen.get());
    EXPECT_EQ(dc.Brush(), brush.get());
    EXPECT_EQ(dc.Font(), font.get());
    EXPECT_EQ(dc.GetTextColor(), Green);
    EXPECT_EQ(dc.GetTextAlign(), uint32_t(TGDI_TA_LEFT));
    EXPECT_EQ(dc.GetBkMode(), TGDI_OPAQUE);
    // The label is drawn in the layer's colour above its baseline; the
    // layer's font keeps its stored height.
    EXPECT_GT(cv.Count(Red, 10, 20, 40, 40), 10) << Saved(cv, "text");
    EXPECT_EQ(cv.Count(Red, 10, 41, 40, 60), 0) << Saved(cv, "text");
    EXPECT_EQ(names->TextFont.Height, 20);
}

TEST_F(LayerDrawing, WhichObjectsAreDrawnAndMarked)
{
    TCanvas cv;
    TMap map;
    TLayer* l = AddLayer(map, "P", LayerKindPolygon, Red, -1);
    Probe(*l, 1, cv.World(10, 10));
    TProbe* outside = Probe(*l, 2, {-500, -500}, ObjFlagInView);
    Probe(*l, 3, cv.World(20, 10), ObjFlagTemporary);
    Probe(*l, 4, cv.World(30, 10), ObjFlagHidden);
    Probe(*l, 5, cv.World(40, 10));
    TLayer* hidden = AddLayer(map, "H", LayerKindPolygon, Red, -1);
    hidden->Flags = LayerFlagHidden;
    TProbe* unmarked = Probe(*hidden, 6, cv.World(10, 10));
    DrawMap(map, cv.C);
    EXPECT_EQ(SeenCodes(), (std::vector<int32_t>{1, 5}));
    EXPECT_EQ(outside->Flags() & ObjFlagInView, 0u) << "cleared by the marking";
    EXPECT_EQ(l->Object(0)->Flags() & ObjFlagInView, ObjFlagInView);
    EXPECT_EQ(unmarked->Flags() & ObjFlagInView, 0u) << "hidden layers are not marked";
}

TEST_F(LayerDrawing, ObjectListDrawsKeyedObjectsWithTheirLayersStyles)
{
    TCanvas cv;
    TMap map;
    TLayer* a = AddLayer(map, "A", LayerKindLine, Blue, 0, 20);
    a->LayerId = 5;
    TGapLayer* g = AddGroup(map, "G", LayerFlagHidden);
    TLayer* b = AddLayer(*g, "B", LayerKindPolygon, Red, -1);
    b->LayerId = 6;
    TProbe* p1 = Probe(*a, 1, cv.World(10, 10), ObjFlagInView);
    p1->SheetID = 3;
    TProbe* temp = Probe(*b, 2, cv.World(10, 10), ObjFlagTemporary);
    temp->SheetID = 3;
    // Linked objects: the same Attribute, in view and not temporary.
    for (int code : {10, 11, 12, 13}) {
        TProbe* p = Probe(*b, code, cv.World(code, 10), code == 12 ? ObjFlagTemporary : code == 13 ? 0 : ObjFlagInView);
        p->Attribute = 77;
    }
    const TObjectKey keys[] = {
        {0, 1, 5, 3, 1},    // drawn
        {0, 1, 99, 3, 1},   // no such layer
        {0, 1, 5, 4, 1},    // no such object
        {0, 1, 6, 3, 2},    // temporary, but the given object with link 0
        {0, 1, 6, 0, 11},   // linked: 10 and 11
    };
    DrawObjectList(map, cv.C, keys);
    EXPECT_EQ(SeenCodes(), (std::vector<int32_t>{1, 2, 10, 11}));
    EXPECT_EQ(Seen[0].C.LinePixelWidth, 200);
    EXPECT_NE(Seen[1].C.FillBrush, nullptr);
}

TEST_F(LayerDrawing, WidthsThatDoNotFitStopTheDrawing)
{
    TCanvas cv(0.001);
    TMap map;
    Line(cv, *AddLayer(map, "L", LayerKindLine, Blue, 0, 2000000000), 10, 40, 110, 40);
    EXPECT_THROW(DrawMap(map, cv.C), ERangeError);
    // Kinds without a drawing draw nothing; an unusable scale draws nothing.
    TMap other;
    for (int16_t kind : {2, 3, 4, 5, 8, 15, -1}) Probe(*AddLayer(other, "K", kind, Black, 0), kind, cv.World(5, 5));
    TCanvas fine;
    DrawMap(other, fine.C);
    EXPECT_TRUE(Seen.empty());
    fine.C.Scale = 0;
    Probe(*AddLayer(other, "P", LayerKindPolygon, Black, -1), 1, {0, 0});
    DrawMap(other, fine.C);
    EXPECT_TRUE(Seen.empty());
}

TEST_F(LayerDrawing, BitmapLayersCopyOrMaskTheirPictures)
{
    TTempDir dir;
    TTestBmp red{4, 4, 24, false, {}, 0, 40, [](int32_t, int32_t) { return uint32_t(0xFF0000); }};
    WriteFileBytes(dir.File("red.bmp"), MakeBmp(red));
    for (uint32_t flags : {0u, LayerFlagOpaqueBitmap}) {
        TCanvas cv;
        TMap map;
        Square(cv, *AddLayer(map, "under", LayerKindPolygon, Blue, -1), 0, 0, 30, 79);
        TLayer* pictures = AddLayer(map, "pictures", LayerKindBitmap, Black, 0);
        pictures->Flags = flags;
        auto* b = new TBmp;
        b->Left = 1000;
        b->Top = 7000;
        b->Width = 4000;
        b->Height = 4000;
        b->SetFileName(dir.File("red.bmp"));
        pictures->Insert(b);
        LoadLayerBitmaps(map);
        ASSERT_NE(b->Bitmap(), nullptr);
        b->SetFlags(b->Flags() | ObjFlagFromFile);
        DrawMap(map, cv.C);
        const bool opaque = flags & LayerFlagOpaqueBitmap;
        EXPECT_TRUE(Pixel(cv, 40, 30, Red, "bitmap")) << "over white";
        EXPECT_TRUE(Pixel(cv, 20, 30, opaque ? Red : Black, "bitmap")) << "over blue";
        EXPECT_TRUE(Pixel(cv, 20, 70, Blue, "bitmap")) << "beside the picture";
    }
    // Only the pictures of kind 13 are opened.
    TMap map;
    auto* b = new TBmp;
    b->SetFileName(dir.File("red.bmp"));
    AddLayer(map, "raster", LayerKindRaster, Black, 0)->Insert(b);
    LoadLayerBitmaps(map);
    EXPECT_EQ(b->Bitmap(), nullptr);
}
