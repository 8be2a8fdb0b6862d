// The mouse tools on the sample city: which events pass on, pan, magnifier,
// select, group and ungroup, the feedback band left on the window, and
// showing one object.
//
// The sample's view is 200 x 200 pixels over the whole sheet (0..1000000
// both ways) at 5000 world units a pixel (1:20000 at 0.25 mm a pixel), so
// pixel (px, py) is world (5000 px, 1000000 - 5000 py). Sign 2 sits at
// pixel (20, 20), sign 5 at (100, 100) on the street (y 100), each hit
// within some 40 pixels; the block covers pixels 40..160; the street and
// the block form compound 7.
#include "ModelSupport.h"

#include "data/LayerWalk.h"
#include "data/MapObj.h"
#include "model/ViewWork.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace tarn::test {
namespace {

// The map panel: its paint event has the model draw the view.
struct TPanel : TSurfaceEvents {
    TPanel(TModel& m, TView& v) : Model(m), View(v) { View.Wnd->SetEvents(this); }
    void OnPaint(TWindowSurface&) override { Model.PaintView(View); }
    TModel& Model;
    TView& View;
};

// What reaches the handlers installed before the tool.
struct TRecorder {
    explicit TRecorder(TModel& m)
    {
        Tokens.push_back(m.OnMouseDown.Install([this](const auto&, TView& v, TMouseButton b, uint32_t s, int32_t x,
                                                      int32_t y) { Add("down", &v, int(b), s, x, y); }));
        Tokens.push_back(m.OnMouseUp.Install([this](const auto&, TView& v, TMouseButton b, uint32_t s, int32_t x,
                                                    int32_t y) { Add("up", &v, int(b), s, x, y); }));
        Tokens.push_back(m.OnMouseMove.Install(
            [this](const auto&, TView& v, uint32_t s, int32_t x, int32_t y) { Add("move", &v, -1, s, x, y); }));
        Tokens.push_back(m.OnAfterPaint.Install([this](const auto&, TDrawContext& c) {
            std::ostringstream o;
            o << "paint " << &c;
            Events.push_back(o.str());
        }));
        Tokens.push_back(m.OnNotify.Install([this](const auto&, const TNotifyArgs& a) {
            if (a.Code == 21 || a.Code == 22) return;
            std::ostringstream o;
            o << "notify " << a.Code << ' ' << a.A << ' ' << a.B << ' ' << a.C;
            Events.push_back(o.str());
        }));
    }
    void Add(const char* what, const TView* v, int b, uint32_t s, int32_t x, int32_t y)
    {
        std::ostringstream o;
        o << what << ' ' << v << ' ' << b << ' ' << s << ' ' << x << ' ' << y;
        Events.push_back(o.str());
    }
    std::vector<std::string> Take() { return std::exchange(Events, {}); }
    std::vector<std::string> Events;
    std::vector<THookToken> Tokens;
};

// The sample city with the tool installed over a recorder, on a painted
// window.
struct TToolCity : TOpenCity {
    TToolCity()
    {
        Tool = CreateViewWork(nullptr, *Model, 0, 0);
        Surface.Paint();
        Recorder.Take();
    }
    TModel& M() { return *Model; }
    TView& V() { return *View; }
    void Mode(int32_t mode) { View->ViewMode = mode; }
    void Press(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseDown(*View, b, 0, x, y); }
    void Move(int32_t x, int32_t y) { Model->MouseMove(*View, ShiftLeft, x, y); }
    void Release(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseUp(*View, b, 0, x, y); }
    // A left drag with a few moves on the way.
    void Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1, TMouseButton b = TMouseButton::Left)
    {
        Press(b, x0, y0);
        Move((x0 + x1) / 2, y0);
        Move(x1 + 3, (y0 + y1) / 2);
        Move(x1, y1);
        Release(b, x1, y1);
    }
    void Click(int32_t x, int32_t y, TMouseButton b = TMouseButton::Left) { Drag(x, y, x, y, b); }
    TPoint World(int32_t x, int32_t y) const
    {
        TPoint p;
        Model->ScreenToWorld(*View, x, y, p.X, p.Y);
        return p;
    }
    double Denominator() const { return View->Scale / View->MmPerPixel; }
    QImage Picture() { return Surface.Image().copy(); }
    std::vector<TObjectKey> Highlighted() const
    {
        std::vector<TObjectKey> keys;
        for (TObjectKey k : Model->Highlight) keys.push_back(Key(k.LayerID, k.Code, k.SheetID));
        std::sort(keys.begin(), keys.end(), [](const TObjectKey& a, const TObjectKey& b) {
            return std::tie(a.LayerID, a.Code) < std::tie(b.LayerID, b.Code);
        });
        return keys;
    }

    TPanel Panel{*Model, *View};
    TRecorder Recorder{*Model};
    std::unique_ptr<TViewWork> Tool;
};

std::string SaveImage(const QImage& image, const std::string& name)
{
    QDir().mkpath(TARN_TEST_OUTPUT);
    std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name + ".png";
    image.save(QString::fromStdString(path));
    return path;
}

// Equal pictures, or the first differing pixel and both pictures saved.
::testing::AssertionResult SameImage(const QImage& actual, const QImage& expected, const std::string& name)
{
    if (actual == expected) return ::testing::AssertionSuccess();
    for (int y = 0; y < std::min(actual.height(), expected.height()); ++y)
        for (int x = 0; x < std::min(actual.width(), expected.width()); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return ::testing::AssertionFailure()
                       << "first difference at pixel (" << x << ", " << y << "): " << std::hex << actual.pixel(x, y)
                       << " instead of " << expected.pixel(x, y) << "; see " << SaveImage(actual, name + "-actual")
                       << " and " << SaveImage(expected, name + "-expected");
    return ::testing::AssertionFailure() << "sizes differ";
}

bool Selected(TView& v, const TObjectKey& k)
{
    TCustomLayer* l = FindLayerById(*v.Map, k.LayerID);
    TBaseObject* o = l ? l->FindObject(k.SheetID, k.Code) : nullptr;
    return o && o->Selected();
}

// The mouse events among what the earlier handlers saw.
std::size_t MouseEvents(const std::vector<std::string>& events)
{
    return std::count_if(events.begin(), events.end(), [](const std::string& e) {
        return e.rfind("down", 0) == 0 || e.rfind("up", 0) == 0 || e.rfind("move", 0) == 0;
    });
}

TKeyList NothingAt(TToolCity& c, int32_t x, int32_t y)
{
    TKeyList found;
    c.M().ObjectsAtPoint(&c.V(), FindAll | FindAnyKind, found, c.World(x, y));
    return found;
}

// ---------------------------------------------------------------- what passes on

TEST(ViewWorkHooks, OutsideItsModesEveryEventReachesTheEarlierHandlersUnchanged)
{
    for (int32_t mode : {ModeNormal, ModeAddSign, ModeMeasure, ModeHover, 179, 185, -1, INT32_MIN, INT32_MAX}) {
        TToolCity c;
        c.Mode(mode);
        const void* v = &c.V();
        c.M().OnMouseDown(c.V(), TMouseButton::Left, 9, 10, 20);
        c.M().OnMouseMove(c.V(), 9, 30, 40);
        c.M().OnMouseUp(c.V(), TMouseButton::Right, 9, 50, 60);
        c.M().Notify(5, -1, 0, 0);
        c.Surface.Invalidate();
        c.Surface.Paint();
        std::ostringstream o;
        o << v;
        const std::string p = o.str();
        std::ostringstream ctx;
        ctx << "paint " << &c.V().Context;
        EXPECT_EQ(c.Recorder.Take(), (std::vector<std::string>{"down " + p + " 0 9 10 20", "move " + p + " -1 9 30 40",
                                                              "up " + p + " 1 9 50 60", "notify 5 -1 0 0", ctx.str()}))
            << "mode " << mode;
    }
}

TEST(ViewWorkHooks, InItsModesPressesMovesAndReleasesStopAtTheTool)
{
    struct TCase {
        int32_t Mode;
        TMouseButton Button;
        bool PassedOn;  // press and release reach the earlier handlers
    };
    const TCase cases[] = {
        {ModePan, TMouseButton::Left, false},          {ModePan, TMouseButton::Right, false},
        {ModeMagnifier, TMouseButton::Left, false},    {ModeSelect, TMouseButton::Right, false},
        {ModeSelectGroup, TMouseButton::Left, false},  {ModePick, TMouseButton::Right, false},
        {ModePan, TMouseButton::Middle, true},         {ModeSelect, TMouseButton::Middle, true},
    };
    for (const TCase& t : cases) {
        TToolCity c;
        c.Mode(t.Mode);
        c.Press(t.Button, 190, 190);
        EXPECT_TRUE(c.Tool->Dragging) << "any press starts a drag";
        c.Move(191, 191);
        c.Release(t.Button, 191, 191);
        EXPECT_FALSE(c.Tool->Dragging);
        std::vector<std::string> events = c.Recorder.Take();
        auto count = [&](const char* what) {
            return std::count_if(events.begin(), events.end(),
                                 [&](const std::string& e) { return e.rfind(what, 0) == 0; });
        };
        EXPECT_EQ(count("down"), t.PassedOn ? 1 : 0) << "mode " << t.Mode << " button " << int(t.Button);
        EXPECT_EQ(count("up"), t.PassedOn ? 1 : 0) << "mode " << t.Mode << " button " << int(t.Button);
        EXPECT_EQ(count("move"), 0) << "moves during a drag in the tool's modes stop at the tool";
    }
    TToolCity c;
    c.Mode(ModePan);
    c.Move(10, 10);
    EXPECT_EQ(c.Recorder.Take().size(), 1u) << "a move without a drag passes on";
}

TEST(ViewWorkHooks, ARightReleaseInPanSelectAndPickDoesNothingAndStops)
{
    for (int32_t mode : {ModePan, ModeSelect, ModePick}) {
        TToolCity c;
        TKeyList sign = {Key(SignsId, 5)};
        c.M().HighlightObjects(&c.V(), 1, sign);
        c.Recorder.Take();
        c.Mode(mode);
        const TRect rect = c.V().WorldRect;
        const double scale = c.V().Scale;
        c.Drag(100, 100, 60, 100, TMouseButton::Right);
        EXPECT_EQ(c.V().WorldRect, rect) << "mode " << mode;
        EXPECT_EQ(c.V().Scale, scale) << "mode " << mode;
        EXPECT_EQ(c.M().Compounds->Count, 1) << "mode " << mode;
        EXPECT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(SignsId, 5)})) << "mode " << mode;
        EXPECT_FALSE(c.Surface.IsInvalid()) << "mode " << mode;
        EXPECT_TRUE(c.Recorder.Take().empty()) << "mode " << mode;
    }
}

TEST(ViewWorkHooks, FreeingTheToolGivesTheEventsBackAndRegisteringHandsItToTheModel)
{
    TToolCity c;
    c.Mode(ModePan);
    EXPECT_EQ(c.M().OnMouseDown.Count(), 2u);
    c.Tool.reset();
    EXPECT_EQ(c.M().OnMouseDown.Count(), 1u);
    EXPECT_EQ(c.M().OnNotify.Count(), 1u);
    c.Click(50, 50);
    EXPECT_EQ(c.Recorder.Take().size(), 5u) << "press, three moves, release";

    TViewWork& tool = RegisterViewWork(c.M(), CreateViewWork(&c, c.M()));
    EXPECT_EQ(c.M().FindNamedObject<TViewWork>("tsMapView"), &tool);
    EXPECT_EQ(tool.Owner, &c);
    c.Click(50, 50);
    EXPECT_EQ(MouseEvents(c.Recorder.Take()), 0u) << "the registered tool handles the click";
    EXPECT_THROW(RegisterViewWork(c.M(), nullptr), ETarnError);
}

// ---------------------------------------------------------------- pan and magnifier

TEST(ViewWorkPan, TheMapFollowsTheMouseInEveryDirection)
{
    struct TCase {
        int32_t X0, Y0, X1, Y1;
    };
    const TCase cases[] = {{100, 100, 130, 120}, {100, 100, 60, 70}, {100, 100, 140, 60}, {100, 100, 70, 140}};
    for (const TCase& t : cases) {
        TToolCity c;
        ASSERT_EQ(c.M().SetScaleDenominator(c.V(), 5000), 0);
        const double scale = c.V().Scale;
        const TPoint grabbed = c.World(t.X0, t.Y0);
        c.Mode(ModePan);
        c.Drag(t.X0, t.Y0, t.X1, t.Y1);
        EXPECT_EQ(c.World(t.X1, t.Y1), grabbed) << "drag to " << t.X1 << ", " << t.Y1;
        EXPECT_EQ(c.V().Scale, scale);
        EXPECT_TRUE(c.Surface.IsInvalid());
    }
}

TEST(ViewWorkMagnifier, UnderFivePixelsBothWaysIsAClickElseABox)
{
    struct TCase {
        int32_t Dx, Dy;
        bool Click;
    };
    const TCase cases[] = {{4, 4, true}, {-4, -4, true}, {0, 0, true}, {5, 0, false},
                           {0, 5, false}, {-5, 4, false}, {4, -5, false}, {30, 20, false}};
    for (const TCase& t : cases) {
        TToolCity c;
        int messages = 0;
        c.V().NotifyWnd = [&](int32_t msg, intptr_t, intptr_t) { messages += msg == 2026; };
        c.Mode(ModeMagnifier);
        const TPoint s = c.World(100, 100), e = c.World(100 + t.Dx, 100 + t.Dy);
        c.Drag(100, 100, 100 + t.Dx, 100 + t.Dy);
        SCOPED_TRACE(::testing::Message() << "drag " << t.Dx << ", " << t.Dy);
        if (t.Click) {
            EXPECT_DOUBLE_EQ(c.Denominator(), 10000) << "the denominator halved";
            EXPECT_EQ(c.World(100, 100), s) << "centred on the press";
        } else {
            const double side = std::max(std::abs(t.Dx), std::abs(t.Dy)) * 5000.0;
            EXPECT_DOUBLE_EQ(c.V().Scale, std::max(side / 200, 12.0)) << "the box fills the view";
            EXPECT_EQ(c.V().WorldRect.Left, std::min(s.X, e.X));
            EXPECT_EQ(c.V().WorldRect.Top, std::max(s.Y, e.Y));
        }
        EXPECT_GE(messages, 1);
        EXPECT_TRUE(c.Surface.IsInvalid());
    }
}

TEST(ViewWorkMagnifier, ARightReleaseZoomsOutAtThePress)
{
    TToolCity c;
    ASSERT_EQ(c.M().SetScaleDenominator(c.V(), 5000), 0);
    const TPoint press = c.World(120, 80);
    int messages = 0;
    c.V().NotifyWnd = [&](int32_t msg, intptr_t, intptr_t) { messages += msg == 2026; };
    c.Mode(ModeMagnifier);
    c.Drag(120, 80, 180, 170, TMouseButton::Right);
    EXPECT_DOUBLE_EQ(c.Denominator(), 10000);
    EXPECT_EQ(c.World(100, 100), press);
    EXPECT_GE(messages, 1);
}

// ---------------------------------------------------------------- select, group, ungroup

TEST(ViewWorkSelect, UnderSevenPixelsBothWaysIsAPointQueryElseABoxWithARedraw)
{
    struct TCase {
        int32_t Dx, Dy;
        bool Point;
    };
    const TCase cases[] = {{6, 6, true}, {-6, 6, true}, {0, 0, true},   {7, 0, false},
                           {0, 7, false}, {-7, -6, false}, {6, -7, false}};
    for (int32_t mode : {ModeSelect, ModeSelectGroup})
        for (const TCase& t : cases) {
            TToolCity c;
            c.Mode(mode);
            // Released on sign 2: a point query finds it.
            c.Drag(20 - t.Dx, 20 - t.Dy, 20, 20);
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " drag " << t.Dx << ", " << t.Dy);
            EXPECT_EQ(c.Surface.IsInvalid(), !t.Point);
            if (t.Point) {
                EXPECT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(SignsId, 2)}));
            }
        }
}

TEST(ViewWorkSelect, AClickTogglesTheHighlight)
{
    TToolCity c;
    c.Mode(ModeSelect);
    c.Click(20, 20);
    EXPECT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(SignsId, 2)}));
    EXPECT_TRUE(Selected(c.V(), Key(SignsId, 2)));
    c.Click(20, 20);
    EXPECT_TRUE(c.Highlighted().empty());
    EXPECT_FALSE(Selected(c.V(), Key(SignsId, 2)));
}

TEST(ViewWorkSelect, ABoxTogglesEveryObjectHitEachByItsOwnState)
{
    TToolCity c;
    TKeyList sign = {Key(SignsId, 2)};
    c.M().HighlightObjects(&c.V(), 1, sign);
    c.Mode(ModeSelect);
    // Signs 2 and 5 and the diagonal of the hidden layer are far from it;
    // the box holds sign 2 and the mark at (140, 20).
    c.Drag(10, 10, 150, 30);
    EXPECT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(StyledSignsId, 1)}));
    c.Drag(150, 30, 10, 10);
    EXPECT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(SignsId, 2)}));
}

TEST(ViewWorkSelect, AMemberOfACompoundTogglesTheWholeCompound)
{
    TToolCity c;
    c.Mode(ModeSelect);
    const std::vector<TObjectKey> compound = {Key(StreetsId, 1), Key(BlocksId, 1)};
    c.Click(30, 100);  // on the street, outside the block
    EXPECT_EQ(c.Highlighted(), compound);
    EXPECT_TRUE(Selected(c.V(), Key(StreetsId, 1)));
    EXPECT_TRUE(Selected(c.V(), Key(BlocksId, 1)));
    c.Click(150, 150);  // in the block only
    EXPECT_TRUE(c.Highlighted().empty());
    EXPECT_FALSE(Selected(c.V(), Key(StreetsId, 1)));
}

TEST(ViewWorkGroup, ARightReleaseGroupsTheHighlightedObjectsIntoANewCompound)
{
    TToolCity c;
    c.Mode(ModeSelectGroup);
    c.Click(20, 20);
    c.Click(100, 100);  // sign 5
    ASSERT_EQ(c.Highlighted(), (std::vector<TObjectKey>{Key(SignsId, 2), Key(SignsId, 5)}));
    const int32_t next = c.M().Project->NextID + 1;
    c.Click(190, 190, TMouseButton::Right);
    ASSERT_EQ(c.M().Compounds->Count, 2);
    std::vector<uint8_t> b;
    ASSERT_EQ(c.M().CompoundObjects(0, TObjectKey{0, 1, -1, -1, next}, b, 0), 0);
    ASSERT_EQ(GetI32(b.data() + 4), 2);
    EXPECT_EQ(DecodeObjectKey(b.data() + 20).Code, 2);
    EXPECT_EQ(DecodeObjectKey(b.data() + 52).Code, 5);
    TCustomLayer* signs = FindLayerById(*c.V().Map, SignsId);
    EXPECT_TRUE(signs->FindObject(SheetId, 2)->Flags() & 0x20);
    EXPECT_TRUE(signs->FindObject(SheetId, 5)->Flags() & 0x20);

    // Now a click on either toggles both.
    c.Click(20, 20);
    EXPECT_TRUE(c.Highlighted().empty());

    // Nothing highlighted: no empty compound is stored.
    c.Click(190, 190, TMouseButton::Right);
    EXPECT_EQ(c.M().Compounds->Count, 2);
    EXPECT_EQ(c.M().Project->NextID, next);
}

TEST(ViewWorkGroup, APickDissolvesTheCompoundOfTheClickedObjectOnly)
{
    TToolCity c;
    c.Mode(ModePick);
    c.Click(20, 20);  // sign 2: in no compound
    c.Click(190, 190);  // nothing there
    EXPECT_EQ(c.M().Compounds->Count, 1);
    c.Click(30, 100);  // the street
    EXPECT_EQ(c.M().Compounds->Count, 0);
    EXPECT_NE(FindLayerById(*c.V().Map, StreetsId)->FindObject(SheetId, 1), nullptr) << "the members stay";
    EXPECT_NE(FindLayerById(*c.V().Map, BlocksId)->FindObject(SheetId, 1), nullptr);
    EXPECT_FALSE(c.Surface.IsInvalid());
}

// ---------------------------------------------------------------- the band and the drag's end

TEST(ViewWorkBand, NoBandPixelsStayAfterTheRelease)
{
    struct TCase {
        const char* Name;
        int32_t Mode;
        TMouseButton Button;
        int32_t X0, Y0, X1, Y1;
    };
    // Over empty ground, so that only the band could change the picture.
    const TCase cases[] = {
        {"pan", ModePan, TMouseButton::Left, 185, 185, 170, 195},
        {"magnifier-box", ModeMagnifier, TMouseButton::Left, 170, 175, 195, 195},
        {"magnifier-right", ModeMagnifier, TMouseButton::Right, 170, 175, 195, 195},
        {"select-point", ModeSelect, TMouseButton::Left, 190, 185, 186, 189},
        {"select-box", ModeSelect, TMouseButton::Left, 170, 175, 195, 195},
        {"group-right", ModeSelectGroup, TMouseButton::Right, 170, 175, 195, 195},
        {"pick", ModePick, TMouseButton::Left, 185, 185, 195, 195},
        {"middle", ModeSelect, TMouseButton::Middle, 170, 175, 195, 195},
    };
    for (const TCase& t : cases) {
        TToolCity c;
        ASSERT_TRUE(NothingAt(c, t.X1, t.Y1).empty()) << t.Name;
        c.Mode(t.Mode);
        const QImage before = c.Picture();
        c.Press(t.Button, t.X0, t.Y0);
        c.Move(t.X1 - 3, t.Y1 + 4);
        if (t.Mode != ModePick) {
            EXPECT_TRUE(c.Picture() != before) << t.Name << ": the band is shown";
        }
        c.Move(t.X1, t.Y1);
        c.Release(t.Button, t.X1, t.Y1);
        EXPECT_TRUE(SameImage(c.Picture(), before, std::string("band-") + t.Name)) << t.Name;
    }
}

TEST(ViewWorkBand, AModeChangedDuringADragTakesOffTheShapeDrawn)
{
    TToolCity c;
    const QImage before = c.Picture();
    c.Mode(ModePan);
    c.Press(TMouseButton::Left, 185, 185);
    c.Move(170, 195);
    c.Mode(ModeSelect);
    c.Move(175, 190);
    c.Mode(ModeNormal);
    c.Release(TMouseButton::Left, 176, 190);
    EXPECT_TRUE(SameImage(c.Picture(), before, "band-mode-change"));
    EXPECT_FALSE(c.Tool->Dragging);
}

TEST(ViewWorkBand, ARepaintDuringADragKeepsTheDragAndItsBand)
{
    for (uint8_t doubleBuffer : {0, 1}) {
        TToolCity c;
        c.M().DoubleBuffer = doubleBuffer;
        c.Surface.Invalidate();
        c.Surface.Paint();
        const QImage before = c.Picture();
        c.Mode(ModeSelect);
        c.Press(TMouseButton::Left, 170, 175);
        c.Move(190, 190);
        const QImage withBand = c.Picture();
        c.Surface.Invalidate();
        ASSERT_TRUE(c.Surface.Paint());
        EXPECT_TRUE(c.Tool->Dragging) << "the drawing's own codes leave the drag on";
        EXPECT_TRUE(SameImage(c.Picture(), withBand, "band-after-repaint")) << "double buffer " << int(doubleBuffer);
        c.Move(195, 195);
        c.Release(TMouseButton::Left, 195, 195);
        EXPECT_TRUE(SameImage(c.Picture(), before, "band-repaint-release")) << "double buffer " << int(doubleBuffer);
        EXPECT_EQ(MouseEvents(c.Recorder.Take()), 0u);
    }

    // A pan survives the repaint and still moves the map.
    TToolCity c;
    ASSERT_EQ(c.M().SetScaleDenominator(c.V(), 5000), 0);
    c.Surface.Paint();
    const TPoint grabbed = c.World(100, 100);
    c.Mode(ModePan);
    c.Press(TMouseButton::Left, 100, 100);
    c.Move(120, 110);
    c.Surface.Invalidate();
    c.Surface.Paint();
    c.Move(130, 120);
    c.Release(TMouseButton::Left, 130, 120);
    EXPECT_EQ(c.World(130, 120), grabbed);
}

TEST(ViewWorkBand, AChangeNotificationEndsTheDragAndTakesOffTheBand)
{
    TToolCity c;
    const QImage before = c.Picture();
    c.Mode(ModeSelect);
    c.Press(TMouseButton::Left, 170, 175);
    c.Move(190, 190);
    c.M().Notify(5, -1, 0, 0);
    EXPECT_FALSE(c.Tool->Dragging);
    EXPECT_TRUE(SameImage(c.Picture(), before, "band-notify"));
    c.Recorder.Take();
    c.Release(TMouseButton::Left, 190, 190);
    EXPECT_EQ(c.Recorder.Take().size(), 1u) << "the release of a cancelled drag passes on";
    EXPECT_TRUE(SameImage(c.Picture(), before, "band-notify-release"));
}

TEST(ViewWorkBand, AReleaseWhoseStepThrowsStillEndsTheDrag)
{
    // A sign size too large for the point query at 1:40000: the release
    // throws before the model sends anything.
    {
        TToolCity c;
        ASSERT_EQ(c.M().SetScaleDenominator(c.V(), 40000), 0);
        c.Surface.Paint();
        FindLayerById(*c.V().Map, SignsId)->Style1 = INT32_MAX;
        const QImage before = c.Picture();
        c.Mode(ModeSelect);
        c.Press(TMouseButton::Left, 100, 100);
        c.Move(102, 103);
        EXPECT_THROW(c.Release(TMouseButton::Left, 101, 101), ETarnError);
        EXPECT_FALSE(c.Tool->Dragging);
        EXPECT_TRUE(SameImage(c.Picture(), before, "band-throw"));
    }
    // The magnifier's window message throws; grouping runs out of identifiers.
    {
        TToolCity c;
        c.V().NotifyWnd = [](int32_t, intptr_t, intptr_t) { throw std::runtime_error("window gone"); };
        c.Mode(ModeMagnifier);
        c.Press(TMouseButton::Left, 100, 100);
        EXPECT_THROW(c.Release(TMouseButton::Left, 101, 101), std::runtime_error);
        EXPECT_FALSE(c.Tool->Dragging);
    }
    {
        TToolCity c;
        const QImage before = c.Picture();
        TKeyList sign = {Key(SignsId, 5)};
        c.M().HighlightObjects(&c.V(), 1, sign);
        c.M().Project->NextID = INT32_MAX;
        c.Mode(ModeSelectGroup);
        c.Press(TMouseButton::Right, 170, 175);
        c.Move(190, 190);
        EXPECT_THROW(c.Release(TMouseButton::Right, 190, 190), ETarnError);
        EXPECT_FALSE(c.Tool->Dragging);
        EXPECT_EQ(c.M().Compounds->Count, 1);
        c.Mode(ModeNormal);
        c.Recorder.Take();
        c.Release(TMouseButton::Right, 190, 190);
        EXPECT_EQ(c.Recorder.Take().size(), 1u) << "the next release is not the tool's";
    }
}

// ---------------------------------------------------------------- showing one object

TEST(ObjectExtent, GrowsTheBoxByOnePointThreeTimesEachSideRoundingHalvesToEven)
{
    struct TCase {
        std::vector<TPoint> Points;
        TRect Expected;
    };
    const TCase cases[] = {
        {{{1000, 500}, {1100, 500}}, {870, 500, 1230, 500}},                 // 360 wide, 0 high
        {{{0, 0}, {0, -5}}, {0, 6, 0, -11}},                                 // 6.5 -> 6
        {{{0, 0}, {15, 0}, {7, 3}}, {-20, 7, 35, -4}},                       // 19.5 -> 20, 3.9 -> 4
        {{{25, 10}, {0, 30}}, {-32, 56, 57, -16}},                           // 32.5 -> 32, 26
        {{{7, 8}}, {-99993, 100008, 100007, -99992}},                        // one point
        {{{INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}}, {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN}},
    };
    for (const TCase& t : cases) {
        TRect r{1, 2, 3, 4};
        ObjectExtent(static_cast<int32_t>(t.Points.size()), t.Points.data(), r);
        EXPECT_EQ(r, t.Expected) << "from " << t.Points.front().X << ", " << t.Points.front().Y;
    }
    TRect r{1, 2, 3, 4};
    ObjectExtent(0, nullptr, r);
    EXPECT_EQ(r, (TRect{1, 2, 3, 4})) << "no points: unchanged";
}

TEST(ObjectExtent, PointObjectsGetASquareByFontHeightOrSignSize)
{
    TToolCity c;
    TCustomLayer* labels = AsLayer(FindLayerById(*c.M().WorkMap, LabelsId));
    ASSERT_NE(labels, nullptr);
    labels->TextFont.Height = -12;
    const int32_t signSize = AsLayer(FindLayerById(*c.M().WorkMap, SignsId))->Style1;
    ASSERT_GT(signSize, 0);
    struct TCase {
        TObjectKey Key;
        TRect Expected;
    };
    const TRect untouched{1, 2, 3, 4};
    const TCase cases[] = {
        {Key(LabelsId, 1), {288000, 312000, 312000, 288000}},
        {Key(SignsId, 5), {500000 - signSize, 500000 + signSize, 500000 + signSize, 500000 - signSize}},
        {Key(StreetsId, 1), untouched},       // a line layer
        {Key(SignsId, 99), untouched},        // no such object
        {Key(4242, 1), untouched},            // no such layer
    };
    for (const TCase& t : cases) {
        TRect r = untouched;
        PointObjectExtent(c.M(), c.V(), t.Key, r);
        EXPECT_EQ(r, t.Expected) << "layer " << t.Key.LayerID << " code " << t.Key.Code;
    }
}

TEST(ZoomToObject, ShowsTheObjectInTheMiddleWithItsMargin)
{
    TToolCity c;
    AsLayer(FindLayerById(*c.M().WorkMap, LabelsId))->TextFont.Height = -12;
    ZoomToObject(c.M(), c.V(), Key(LabelsId, 1));
    EXPECT_EQ(c.V().WorldRect, (TRect{288000, 312000, 312000, 288000}));
    EXPECT_DOUBLE_EQ(c.V().Scale, 120);

    // The park (850000..950000 both ways) runs into the extent's corner: the
    // scale fits the margin, the view is held inside the extent.
    ZoomToObject(c.M(), c.V(), Key(StyledAreasId, 1));
    EXPECT_DOUBLE_EQ(c.V().Scale, 360000.0 / 200);
    EXPECT_EQ(c.V().WorldRect, (TRect{640000, 1000000, 1000000, 640000}));

    const TRect shown = c.V().WorldRect;
    ZoomToObject(c.M(), c.V(), Key(SignsId, 99));
    ZoomToObject(c.M(), c.V(), Key(4242, 1));
    EXPECT_EQ(c.V().WorldRect, shown) << "an object not found leaves the view";
}

} // namespace
} // namespace tarn::test
