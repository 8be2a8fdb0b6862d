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

// What reaches the handlers installed before the tool: the mouse events
// with their arguments, the after-paint contexts, the change codes.
struct TRecorder {
    explicit TRecorder(TModel& m)
    {
        T[0] = m.OnMouseDown.Install([this](const auto&, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            Add("down", v, int(b), s, x, y);
        });
        T[1] = m.OnMouseUp.Install([this](const auto&, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            Add("up", v, int(b), s, x, y);
        });
        T[2] = m.OnMouseMove.Install(
            [this](const auto&, TView& v, uint32_t s, int32_t x, int32_t y) { Add("move", v, -1, s, x, y); });
        T[3] = m.OnAfterPaint.Install([this](const auto&, TDrawContext& c) { Paints.push_back(&c); });
        T[4] = m.OnNotify.Install([this](const auto&, const TNotifyArgs& a) { Codes.push_back(a.Code); });
    }
    void Add(const char* what, TView& v, int b, uint32_t s, int32_t x, int32_t y)
    {
        std::ostringstream o;
        o << what << ' ' << &v << ' ' << b << ' ' << s << ' ' << x << ' ' << y;
        Mouse.push_back(o.str());
    }
    std::vector<std::string> Mouse;
    std::vector<const TDrawContext*> Paints;
    std::vector<int32_t> Codes;
    THookToken T[5];
};

// The sample city painted on its window, the tool installed over a recorder.
struct TToolCity : TOpenCity {
    explicit TToolCity(int32_t denominator = 20000)
    {
        Tool = CreateViewWork(nullptr, *Model, 0, 0);
        if (denominator != 20000) Model->SetScaleDenominator(*View, denominator);
        Surface.Paint();
        Recorder.Mouse.clear();
    }
    TModel& M() { return *Model; }
    TView& V() { return *View; }
    void Press(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseDown(*View, b, 0, x, y); }
    void Move(int32_t x, int32_t y) { Model->MouseMove(*View, ShiftLeft, x, y); }
    void Release(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseUp(*View, b, 0, x, y); }
    // A drag with two moves on the way.
    void Drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1, TMouseButton b = TMouseButton::Left)
    {
        Press(b, x0, y0);
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
    // The highlight set as (layer, code) pairs, sorted.
    std::vector<std::pair<int32_t, int32_t>> Highlighted() const
    {
        std::vector<std::pair<int32_t, int32_t>> keys;
        for (const TObjectKey& k : Model->Highlight) keys.emplace_back(k.LayerID, k.Code);
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    TPanel Panel{*Model, *View};
    TRecorder Recorder{*Model};
    std::unique_ptr<TViewWork> Tool;
};

// Equal pictures, or the first differing pixel with both pictures saved
// under the build folder.
::testing::AssertionResult SameImage(const QImage& actual, const QImage& expected, const std::string& name)
{
    if (actual == expected) return ::testing::AssertionSuccess();
    if (actual.size() != expected.size()) return ::testing::AssertionFailure() << "sizes differ";
    QDir().mkpath(TARN_TEST_OUTPUT);
    const std::string path = std::string(TARN_TEST_OUTPUT) + "/" + name;
    actual.save(QString::fromStdString(path + "-actual.png"));
    expected.save(QString::fromStdString(path + "-expected.png"));
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return ::testing::AssertionFailure() << "first difference at pixel (" << x << ", " << y << "); see "
                                                     << path << "-actual.png";
    return ::testing::AssertionFailure() << "pixel formats differ";
}

bool Selected(TView& v, int32_t layerId, int32_t code)
{
    TCustomLayer* l = FindLayerById(*v.Map, layerId);
    TBaseObject* o = l ? l->FindObject(SheetId, code) : nullptr;
    return o && o->Selected();
}

std::size_t Count(const std::vector<std::string>& events, const char* prefix)
{
    return std::count_if(events.begin(), events.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
}

// ---------------------------------------------------------------- what passes on

TEST(ViewWorkHooks, OutsideItsModesEveryEventPassesOnUnchanged)
{
    for (int32_t mode : {ModeNormal, ModeAddSign, ModeMeasure, ModeHover, 179, 185, -1, INT32_MIN, INT32_MAX}) {
        TToolCity c;
        c.V().ViewMode = mode;
        c.Recorder.Codes.clear();
        c.Recorder.Paints.clear();
        c.M().OnMouseDown(c.V(), TMouseButton::Left, 9, 10, 20);
        c.M().OnMouseMove(c.V(), 9, 30, 40);
        c.M().OnMouseUp(c.V(), TMouseButton::Right, 9, 50, 60);
        c.M().Notify(5, -1, 0, 0);
        c.Surface.Invalidate();
        c.Surface.Paint();
        std::ostringstream v;
        v << &c.V();
        EXPECT_EQ(c.Recorder.Mouse, (std::vector<std::string>{"down " + v.str() + " 0 9 10 20",
                                                               "move " + v.str() + " -1 9 30 40",
                                                               "up " + v.str() + " 1 9 50 60"}))
            << "mode " << mode;
        EXPECT_EQ(std::count(c.Recorder.Codes.begin(), c.Recorder.Codes.end(), 5), 1) << "mode " << mode;
        EXPECT_EQ(c.Recorder.Paints, (std::vector<const TDrawContext*>{&c.V().Context})) << "mode " << mode;
    }
}

TEST(ViewWorkHooks, InItsModesOnlyTheMiddleButtonPassesOnAndARightReleaseMayDoNothing)
{
    struct TCase {
        int32_t Mode;
        TMouseButton Button;
        bool PassedOn;   // press and release reach the earlier handlers
        bool Unchanged;  // view, highlight, compounds and window as they were
    };
    const TCase cases[] = {
        {ModePan, TMouseButton::Right, false, true},      {ModeSelect, TMouseButton::Right, false, true},
        {ModePick, TMouseButton::Right, false, true},     {ModeMagnifier, TMouseButton::Left, false, false},
        {ModeSelectGroup, TMouseButton::Left, false, false}, {ModePan, TMouseButton::Middle, true, true},
        {ModeSelect, TMouseButton::Middle, true, true},
    };
    for (const TCase& t : cases) {
        TToolCity c;
        TKeyList sign = {Key(SignsId, 5)};
        c.M().HighlightObjects(&c.V(), 1, sign);
        c.V().ViewMode = t.Mode;
        const TRect rect = c.V().WorldRect;
        c.Press(t.Button, 100, 100);
        EXPECT_TRUE(c.Tool->Dragging) << "any press starts a drag";
        c.Move(80, 100);
        c.Release(t.Button, 60, 100);
        EXPECT_FALSE(c.Tool->Dragging) << "any release ends it";
        SCOPED_TRACE(::testing::Message() << "mode " << t.Mode << " button " << int(t.Button));
        EXPECT_EQ(Count(c.Recorder.Mouse, "down"), t.PassedOn ? 1u : 0u);
        EXPECT_EQ(Count(c.Recorder.Mouse, "up"), t.PassedOn ? 1u : 0u);
        EXPECT_EQ(Count(c.Recorder.Mouse, "move"), 0u);
        if (t.Unchanged) {
            EXPECT_EQ(c.V().WorldRect, rect);
            EXPECT_EQ(c.M().Compounds->Count, 1);
            EXPECT_EQ(c.Highlighted(), (std::vector<std::pair<int32_t, int32_t>>{{SignsId, 5}}));
            EXPECT_FALSE(c.Surface.IsInvalid());
        }
    }
    TToolCity c;
    c.V().ViewMode = ModePan;
    c.Move(10, 10);
    EXPECT_EQ(Count(c.Recorder.Mouse, "move"), 1u) << "a move without a drag passes on";
}

TEST(ViewWorkHooks, FreeingGivesTheEventsBackAndTheModelOwnsARegisteredTool)
{
    TToolCity c;
    c.V().ViewMode = ModePan;
    c.Tool.reset();
    EXPECT_EQ(c.M().OnMouseDown.Count(), 1u);
    EXPECT_EQ(c.M().OnNotify.Count(), 1u);
    c.Click(50, 50);
    EXPECT_EQ(c.Recorder.Mouse.size(), 4u) << "press, two moves, release";

    c.Recorder.Mouse.clear();
    TViewWork& tool = RegisterViewWork(c.M(), CreateViewWork(&c, c.M()));
    EXPECT_EQ(c.M().FindNamedObject<TViewWork>("tsMapView"), &tool);
    EXPECT_EQ(tool.Owner, &c);
    c.Click(50, 50);
    EXPECT_TRUE(c.Recorder.Mouse.empty()) << "the registered tool handles the click";
    EXPECT_THROW(RegisterViewWork(c.M(), nullptr), ETarnError);
}

// ---------------------------------------------------------------- pan and magnifier

TEST(ViewWorkPan, TheMapFollowsTheMouseEvenAcrossARepaint)
{
    struct TCase {
        int32_t X0, Y0, X1, Y1;
        bool Repaint;
    };
    const TCase cases[] = {{100, 100, 130, 120, false}, {100, 100, 60, 70, false}, {100, 100, 140, 60, false},
                           {100, 100, 70, 140, false},  {100, 100, 60, 70, true}};
    for (const TCase& t : cases) {
        TToolCity c(5000);
        const TPoint grabbed = c.World(t.X0, t.Y0);
        const double scale = c.V().Scale;
        c.V().ViewMode = ModePan;
        c.Press(TMouseButton::Left, t.X0, t.Y0);
        c.Move(t.X1 + 5, t.Y1);
        if (t.Repaint) {
            c.Surface.Invalidate();
            c.Surface.Paint();
        }
        c.Move(t.X1, t.Y1);
        c.Release(TMouseButton::Left, t.X1, t.Y1);
        EXPECT_EQ(c.World(t.X1, t.Y1), grabbed) << "drag to " << t.X1 << ", " << t.Y1;
        EXPECT_EQ(c.V().Scale, scale);
        EXPECT_TRUE(c.Surface.IsInvalid());
    }
}


TEST(ViewWorkMagnifier, UnderFivePixelsBothWaysIsAClickElseABoxAndTheRightButtonStepsOut)
{
    // From 1:10000 (2500 world units a pixel), pressed at the centre.
    struct TCase {
        TMouseButton Button;
        int32_t Dx, Dy;
        double Denominator;  // 0: a box zoom
    };
    const TCase cases[] = {{TMouseButton::Left, 4, 4, 5000},  {TMouseButton::Left, -4, -4, 5000},
                           {TMouseButton::Left, 0, 0, 5000},  {TMouseButton::Left, 5, 0, 0},
                           {TMouseButton::Left, 0, 5, 0},     {TMouseButton::Left, -5, 4, 0},
                           {TMouseButton::Left, 4, -5, 0},    {TMouseButton::Left, 30, 20, 0},
                           {TMouseButton::Right, 30, 20, 20000}};
    for (const TCase& t : cases) {
        TToolCity c(10000);
        int messages = 0;
        c.V().NotifyWnd = [&](int32_t msg, intptr_t, intptr_t) { messages += msg == 2026; };
        c.V().ViewMode = ModeMagnifier;
        const TPoint s = c.World(100, 100), e = c.World(100 + t.Dx, 100 + t.Dy);
        c.Drag(100, 100, 100 + t.Dx, 100 + t.Dy, t.Button);
        SCOPED_TRACE(::testing::Message() << "drag " << t.Dx << ", " << t.Dy << " button " << int(t.Button));
        if (t.Denominator != 0) {
            EXPECT_DOUBLE_EQ(c.Denominator(), t.Denominator);
            EXPECT_EQ(c.World(100, 100), s) << "centred on the press";
        } else {
            const double side = std::max(std::abs(t.Dx), std::abs(t.Dy)) * 2500.0;
            EXPECT_DOUBLE_EQ(c.V().Scale, std::max(side / 200, 12.0)) << "the box fills the view";
            EXPECT_EQ(c.V().WorldRect.Left, std::min(s.X, e.X));
            EXPECT_EQ(c.V().WorldRect.Top, std::max(s.Y, e.Y));
        }
        EXPECT_GE(messages, 1);
        EXPECT_TRUE(c.Surface.IsInvalid());
    }
}

// ---------------------------------------------------------------- select, group, ungroup

TEST(ViewWorkSelect, UnderSevenPixelsBothWaysIsAPointQueryElseABoxWithARedraw)
{
    const std::pair<int32_t, int32_t> points[] = {{6, 6}, {-6, 6}, {0, 0}};
    const std::pair<int32_t, int32_t> boxes[] = {{7, 0}, {0, 7}, {-7, -6}, {6, -7}};
    for (int32_t mode : {ModeSelect, ModeSelectGroup})
        for (bool point : {true, false})
            for (auto [dx, dy] : point ? std::vector(std::begin(points), std::end(points))
                                       : std::vector(std::begin(boxes), std::end(boxes))) {
                TToolCity c;
                c.V().ViewMode = mode;
                c.Drag(20 - dx, 20 - dy, 20, 20);  // released on sign 2
                SCOPED_TRACE(::testing::Message() << "mode " << mode << " drag " << dx << ", " << dy);
                EXPECT_EQ(c.Surface.IsInvalid(), !point);
                if (point) {
                    EXPECT_EQ(c.Highlighted(), (std::vector<std::pair<int32_t, int32_t>>{{SignsId, 2}}));
                }
            }
}

TEST(ViewWorkSelect, EachHitTogglesByItsOwnStateAndACompoundTogglesWhole)
{
    using TSet = std::vector<std::pair<int32_t, int32_t>>;
    struct TStep {
        int32_t X0, Y0, X1, Y1;
        TSet Expected;
    };
    const TStep steps[] = {
        {20, 20, 20, 20, {{SignsId, 2}}},
        {20, 20, 20, 20, {}},
        {10, 10, 150, 30, {{SignsId, 2}, {StyledSignsId, 1}}},  // a box over sign 2 and the mark
        {20, 20, 20, 20, {{StyledSignsId, 1}}},
        {30, 100, 30, 100, {{StreetsId, 1}, {BlocksId, 1}, {StyledSignsId, 1}}},  // the street: compound 7
        {150, 150, 150, 150, {{StyledSignsId, 1}}},                             // the block: the same
        {150, 30, 10, 10, {{SignsId, 2}}},
    };
    TToolCity c;
    c.V().ViewMode = ModeSelect;
    for (const TStep& t : steps) {
        c.Drag(t.X0, t.Y0, t.X1, t.Y1);
        TSet expected = t.Expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(c.Highlighted(), expected) << "after " << t.X0 << ", " << t.Y0 << " to " << t.X1 << ", " << t.Y1;
        for (auto [layer, code] : {std::pair{SignsId, 2}, {StyledSignsId, 1}, {StreetsId, 1}, {BlocksId, 1}})
            EXPECT_EQ(Selected(c.V(), layer, code),
                      std::find(expected.begin(), expected.end(), std::pair{layer, code}) != expected.end())
                << "layer " << layer;
    }
}

TEST(ViewWorkGroup, ARightReleaseGroupsTheHighlightIntoANewCompoundAndAPickDissolvesOne)
{
    TToolCity c;
    c.V().ViewMode = ModeSelectGroup;
    c.Click(20, 20);
    c.Click(100, 100);  // sign 5
    const int32_t id = c.M().Project->NextID + 1;
    c.Click(190, 190, TMouseButton::Right);
    ASSERT_EQ(c.M().Compounds->Count, 2);
    std::vector<uint8_t> b;
    ASSERT_EQ(c.M().CompoundObjects(0, TObjectKey{0, 1, -1, -1, id}, b, 0), 0);
    ASSERT_EQ(GetI32(b.data() + 4), 2);
    EXPECT_EQ(DecodeObjectKey(b.data() + 20), Key(SignsId, 2));
    EXPECT_EQ(DecodeObjectKey(b.data() + 52), Key(SignsId, 5));
    TCustomLayer* signs = FindLayerById(*c.V().Map, SignsId);
    EXPECT_TRUE(signs->FindObject(SheetId, 2)->Flags() & 0x20);
    EXPECT_TRUE(signs->FindObject(SheetId, 5)->Flags() & 0x20);
    c.Click(20, 20);
    EXPECT_TRUE(c.Highlighted().empty()) << "one click takes both off";
    c.Click(190, 190, TMouseButton::Right);
    EXPECT_EQ(c.M().Compounds->Count, 2) << "nothing highlighted: no empty compound";
    EXPECT_EQ(c.M().Project->NextID, id);

    c.V().ViewMode = ModePick;
    c.Click(190, 190);  // nothing there
    c.Click(20, 20);    // sign 2: the new compound
    EXPECT_EQ(c.M().Compounds->Count, 1);
    c.Click(30, 100);   // the street: compound 7
    EXPECT_EQ(c.M().Compounds->Count, 0);
    EXPECT_NE(FindLayerById(*c.V().Map, StreetsId)->FindObject(SheetId, 1), nullptr) << "the members stay";
    EXPECT_FALSE(c.Surface.IsInvalid());
}

// ---------------------------------------------------------------- the band and the drag's end

TEST(ViewWorkBand, NoBandPixelsStayAfterTheRelease)
{
    enum TMidway { None, Repaint, Notify, ModeChange };
    struct TCase {
        const char* Name;
        int32_t Mode;
        TMouseButton Button;
        TMidway Midway;
        uint8_t DoubleBuffer;
    };
    const TCase cases[] = {
        {"pan", ModePan, TMouseButton::Left, None, 0},
        {"magnifier", ModeMagnifier, TMouseButton::Left, None, 0},
        {"magnifier-right", ModeMagnifier, TMouseButton::Right, None, 0},
        {"select-box", ModeSelect, TMouseButton::Left, None, 0},
        {"group-right", ModeSelectGroup, TMouseButton::Right, None, 0},
        {"pick", ModePick, TMouseButton::Left, None, 0},
        {"middle", ModeSelect, TMouseButton::Middle, None, 0},
        {"repaint", ModeSelect, TMouseButton::Left, Repaint, 0},
        {"repaint-buffered", ModeSelect, TMouseButton::Left, Repaint, 1},
        {"notify", ModeSelect, TMouseButton::Left, Notify, 0},
        {"mode-change", ModePan, TMouseButton::Left, ModeChange, 0},
    };
    // Over empty ground, so that only the band could change the picture;
    // the release is 4 pixels from the press: a point query when selecting.
    for (bool point : {false, true})
        for (const TCase& t : cases) {
            TToolCity c;
            c.M().DoubleBuffer = t.DoubleBuffer;
            c.Surface.Invalidate();
            c.Surface.Paint();
            const std::string name = std::string("band-") + t.Name + (point ? "-point" : "");
            SCOPED_TRACE(name);
            const int32_t x0 = point ? 190 : 165, y0 = point ? 185 : 172;
            c.V().ViewMode = t.Mode;
            const QImage before = c.Picture();
            c.Press(t.Button, x0, y0);
            c.Move(183, 199);
            const QImage band = c.Picture();
            EXPECT_EQ(band != before, t.Mode != ModePick) << "the band is shown";
            if (t.Midway == Repaint) {
                c.Surface.Invalidate();
                ASSERT_TRUE(c.Surface.Paint());
                EXPECT_TRUE(c.Tool->Dragging) << "the drawing's own codes leave the drag on";
                EXPECT_TRUE(SameImage(c.Picture(), band, name + "-repainted"));
            } else if (t.Midway == Notify) {
                c.M().Notify(5, -1, 0, 0);
                EXPECT_FALSE(c.Tool->Dragging) << "a change ends the drag";
                EXPECT_TRUE(SameImage(c.Picture(), before, name + "-notified"));
            } else if (t.Midway == ModeChange) {
                c.V().ViewMode = ModeSelect;
                c.Move(185, 190);
                c.V().ViewMode = ModeNormal;
            }
            c.Move(186, 189);
            c.Release(t.Button, 186, 189);
            EXPECT_FALSE(c.Tool->Dragging);
            EXPECT_TRUE(SameImage(c.Picture(), before, name));
            const bool toolsRelease = t.Midway != Notify && t.Midway != ModeChange && t.Button != TMouseButton::Middle;
            EXPECT_EQ(Count(c.Recorder.Mouse, "up"), toolsRelease ? 0u : 1u);
        }
}

TEST(ViewWorkBand, AReleaseWhoseStepThrowsStillEndsTheDrag)
{
    // A sign size too large for the point query: the release throws before
    // the model sends anything.
    TToolCity c(40000);
    FindLayerById(*c.V().Map, SignsId)->Style1 = INT32_MAX;
    const QImage before = c.Picture();
    c.V().ViewMode = ModeSelect;
    c.Press(TMouseButton::Left, 100, 100);
    c.Move(102, 103);
    EXPECT_THROW(c.Release(TMouseButton::Left, 101, 101), ETarnError);
    EXPECT_FALSE(c.Tool->Dragging);
    EXPECT_TRUE(SameImage(c.Picture(), before, "band-throw"));

    // Grouping out of identifiers marks nothing and stores nothing.
    FindLayerById(*c.V().Map, SignsId)->Style1 = 12;
    TKeyList sign = {Key(SignsId, 5)};
    c.M().HighlightObjects(&c.V(), 1, sign);
    c.M().Project->NextID = INT32_MAX;
    c.V().ViewMode = ModeSelectGroup;
    c.Press(TMouseButton::Right, 170, 175);
    EXPECT_THROW(c.Release(TMouseButton::Right, 190, 190), ETarnError);
    EXPECT_FALSE(c.Tool->Dragging);
    EXPECT_EQ(c.M().Compounds->Count, 1);
    EXPECT_FALSE(FindLayerById(*c.V().Map, SignsId)->FindObject(SheetId, 5)->Flags() & 0x20);
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
    EXPECT_TRUE(ZoomToObject(c.M(), c.V(), Key(LabelsId, 1)));
    EXPECT_EQ(c.V().WorldRect, (TRect{288000, 312000, 312000, 288000}));
    EXPECT_DOUBLE_EQ(c.V().Scale, 120);

    // The park (850000..950000 both ways) runs into the extent's corner: the
    // scale fits the margin, the view is held inside the extent.
    EXPECT_TRUE(ZoomToObject(c.M(), c.V(), Key(StyledAreasId, 1)));
    EXPECT_DOUBLE_EQ(c.V().Scale, 360000.0 / 200);
    EXPECT_EQ(c.V().WorldRect, (TRect{640000, 1000000, 1000000, 640000}));

    const TRect shown = c.V().WorldRect;
    EXPECT_FALSE(ZoomToObject(c.M(), c.V(), Key(SignsId, 99))) << "no such object";
    EXPECT_FALSE(ZoomToObject(c.M(), c.V(), Key(4242, 1))) << "no such layer";
    EXPECT_EQ(c.V().WorldRect, shown) << "an object not found leaves the view";
}

} // namespace
} // namespace tarn::test
