// Distance measuring and the order of the map tools on the sample city:
// which tool sees an event and passes it on, the length text, the route
// over every paint, and no rubber line left behind.
//
// The sample's view is 200 x 200 pixels over the whole sheet at 5000 world
// units a pixel: pixel (px, py) is world (5000 px, 1000000 - 5000 py).
// Sign 5 sits at pixel (100, 100); the green block covers pixels 40..160.
#include "ModelSupport.h"

#include "data/LayerWalk.h"
#include "model/ViewWork.h"
#include "model/WorkSign.h"
#include "model/tsWay.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <vector>

namespace tarn::test {
namespace {

// Writes down the name of each handler an event reaches, and passes it on.
struct TTrace {
    TTrace(TModel& m, std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name))
    {
        Down = m.OnMouseDown.Install([this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x,
                                            int32_t y) {
            Log.push_back(Name);
            next(v, b, s, x, y);
        });
        Up = m.OnMouseUp.Install([this](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            Log.push_back(Name);
            next(v, b, s, x, y);
        });
        Move = m.OnMouseMove.Install([this](const auto& next, TView& v, uint32_t s, int32_t x, int32_t y) {
            Log.push_back(Name);
            next(v, s, x, y);
        });
    }
    std::vector<std::string>& Log;
    std::string Name;
    THookToken Down, Up, Move;
};

// The sample city with the tools in the main window's order, a trace below
// each: the object tool's place at the bottom, then signs, measuring and
// the mouse tool.
struct TToolStack : TOpenCity {
    TToolStack()
    {
        Signs = std::make_unique<TWorkSign>(Model.get(), View.get());
        MakeFieldQuery("", SignsId, Signs->SignLayer);
        Signs->SignSheetID = SheetId;
        SignsTrace = std::make_unique<TTrace>(*Model, Log, "signs");
        Way = std::make_unique<TWayWork>(nullptr, *Model);
        Way->OnResult = [this](const std::string& text) { Result = text; };
        WayTrace = std::make_unique<TTrace>(*Model, Log, "measuring");
        Mouse = CreateViewWork(nullptr, *Model);
        MouseTrace = std::make_unique<TTrace>(*Model, Log, "mouse");
        Surface.Paint();
    }
    void Down(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseDown(*View, b, 0, x, y); }
    void Up(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseUp(*View, b, 0, x, y); }
    void MoveTo(int32_t x, int32_t y) { Model->OnMouseMove(*View, ShiftLeft, x, y); }
    int32_t SignCount() const { return FindLayerById(*View->Map, SignsId)->Count; }
    void Repaint()
    {
        Surface.Invalidate();
        Surface.Paint();
    }

    std::vector<std::string> Log;
    std::string Result;
    TPanel Panel{*Model, *View};
    TTrace Bottom{*Model, Log, "object"};
    std::unique_ptr<TWorkSign> Signs;
    std::unique_ptr<TTrace> SignsTrace;
    std::unique_ptr<TWayWork> Way;
    std::unique_ptr<TTrace> WayTrace;
    std::unique_ptr<TViewWork> Mouse;
    std::unique_ptr<TTrace> MouseTrace;
};

using TLog = std::vector<std::string>;

TEST(MapTools, EachToolSeesAnEventInTurnAndOnlyTheMouseAndSignToolsKeepIt)
{
    const TLog all = {"mouse", "measuring", "signs", "object"};
    const TLog toSigns = {"mouse", "measuring", "signs"};
    struct TCase {
        const char* What;
        int32_t Mode;
        char Event;  // d press, u release, m move
        TMouseButton Button;
        int32_t X, Y;
        TLog Seen;
    } const cases[] = {
        {"plain press", ModeNormal, 'd', TMouseButton::Left, 60, 60, all},
        {"plain move", ModeNormal, 'm', TMouseButton::Left, 60, 60, all},
        {"pan press", ModePan, 'd', TMouseButton::Left, 60, 60, {"mouse"}},
        {"measuring press", ModeMeasure, 'd', TMouseButton::Left, 60, 60, all},
        {"measuring right press", ModeMeasure, 'd', TMouseButton::Right, 60, 60, all},
        {"measuring release", ModeMeasure, 'u', TMouseButton::Left, 60, 60, all},
        {"adding a sign", ModeAddSign, 'd', TMouseButton::Left, 60, 60, all},
        {"right press while adding", ModeAddSign, 'd', TMouseButton::Right, 60, 60, all},
        {"deleting beside the signs", ModeDeleteSign, 'd', TMouseButton::Left, 150, 150, toSigns},
        {"deleting a sign", ModeDeleteSign, 'd', TMouseButton::Left, 100, 100, all},
        {"picking beside the signs", ModeMoveSign, 'd', TMouseButton::Left, 150, 150, toSigns},
        {"picking a sign", ModeMoveSign, 'd', TMouseButton::Left, 100, 100, all},
        {"release with nothing picked", ModeMoveSign, 'u', TMouseButton::Left, 150, 150, toSigns},
        {"move while moving signs", ModeMoveSign, 'm', TMouseButton::Left, 150, 150, all},
    };
    for (const TCase& c : cases) {
        TToolStack s;
        s.View->ViewMode = c.Mode;
        switch (c.Event) {
        case 'd': s.Down(c.Button, c.X, c.Y); break;
        case 'u': s.Up(c.Button, c.X, c.Y); break;
        default: s.MoveTo(c.X, c.Y); break;
        }
        EXPECT_EQ(s.Log, c.Seen) << c.What;
    }
}

TEST(MapTools, MeasuringActsOnlyInItsModeAndTheSignToolOnlyInItsOwn)
{
    TToolStack s;
    s.View->ViewMode = ModeNormal;
    s.Down(TMouseButton::Left, 60, 60);
    s.MoveTo(90, 60);
    EXPECT_EQ(s.Way->Route.Count(), 0);
    EXPECT_FALSE(s.Way->Active);
    EXPECT_EQ(s.SignCount(), 2);

    s.View->ViewMode = ModeMeasure;
    s.Down(TMouseButton::Middle, 60, 60);
    EXPECT_TRUE(s.Way->Active) << "any press starts the rubber line";
    EXPECT_EQ(s.Way->Route.Count(), 0) << "only the left button adds a point";
    s.MoveTo(70, 60);
    EXPECT_EQ(s.Result, "0 м") << "no point yet: the route alone";
    s.Down(TMouseButton::Left, 60, 60);
    s.MoveTo(60, 100);
    EXPECT_EQ(s.Way->Route.Count(), 1);
    EXPECT_EQ(s.Result, "200 м");
    s.Up(TMouseButton::Left, 60, 100);
    EXPECT_EQ(s.Way->CurrentPoint, (TPoint{60, 100}));
    EXPECT_EQ(s.SignCount(), 2) << "no sign added, deleted or moved";
}

// ---------------------------------------------------------------- the length

TEST(MapTools, LengthTextHasAtMostTwoDecimalsInTheLocalesSeparator)
{
    struct TCase {
        double Millimetres;
        const char* Dot;
        const char* Comma;
    } const cases[] = {
        {0, "0 м", "0 м"},
        {3000, "3 м", "3 м"},
        {1334567, "1334.57 м", "1334,57 м"},
        {1334500, "1334.5 м", "1334,5 м"},
        {1005, "1.01 м", "1,01 м"},          // half up, as decimals are
        {1004, "1 м", "1 м"},
        {999995, "1000 м", "1000 м"},
        {10, "0.01 м", "0,01 м"},
        {4, "0 м", "0 м"},
        {1234567890123.0, "1234567890.12 м", "1234567890,12 м"},  // no thousands separator
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FormatMetres(c.Millimetres, "."), c.Dot) << c.Millimetres;
        EXPECT_EQ(FormatMetres(c.Millimetres, ","), c.Comma) << c.Millimetres;
    }
    // Any two 32-bit points are measured, never -1.
    EXPECT_EQ(SegmentMillimetres({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}), 6074000999.0);
    EXPECT_EQ(SegmentMillimetres({0, 0}, {3, 4}), 5.0);
    EXPECT_EQ(SegmentMillimetres({0, 0}, {1, 1}), 1.0);
}

TEST(MapTools, MeasuringShowsTheRouteAndTheRunningSegment)
{
    // One world unit a pixel (1:4 at 0.25 mm): pixels are millimetres.
    TToolStack s;
    ASSERT_EQ(s.Model->SetScaleDenominator(*s.View, 4), ResultDone);
    s.View->ViewMode = ModeMeasure;
    s.Down(TMouseButton::Left, 10, 10);
    EXPECT_EQ(s.Way->Route.Count(), 1);
    EXPECT_EQ(s.Way->Length, 0);
    s.MoveTo(10 + 1800, 10 + 2400);
    EXPECT_EQ(s.Result, "3 м");

    s.Down(TMouseButton::Left, 10 + 100000, 10);
    EXPECT_EQ(s.Way->Route.Count(), 2);
    EXPECT_EQ(s.Way->Length, 100);
    s.MoveTo(10 + 100000 + 1234567, 10);
    EXPECT_EQ(s.Result, "1334.57 м");
    s.Way->DecimalSeparator = ",";
    s.MoveTo(10 + 100000 + 1234567, 10);
    EXPECT_EQ(s.Result, "1334,57 м");

    // The route's points are the world points pressed, in order.
    TPoint first, second;
    s.Model->ScreenToWorld(*s.View, 10, 10, first.X, first.Y);
    s.Model->ScreenToWorld(*s.View, 10 + 100000, 10, second.X, second.Y);
    EXPECT_EQ(s.Way->Route.Points, (std::vector<TPoint>{first, second}));

    s.Down(TMouseButton::Right, 50, 50);
    EXPECT_EQ(s.Way->Route.Count(), 0);
    EXPECT_FALSE(s.Way->Active);
    EXPECT_EQ(s.Way->Length, 0);
    EXPECT_TRUE(s.Surface.IsInvalid()) << "the map is drawn again without the route";
    s.Down(TMouseButton::Right, 50, 50);
    EXPECT_EQ(s.Way->Route.Count(), 0) << "clearing an empty route is harmless";
}

// ---------------------------------------------------------------- the picture

// The route is drawn after every paint and the rubber line leaves nothing
// behind, drawn directly and through the off-screen picture.
TEST(MapTools, RouteSurvivesARepaintAndNoRubberLineIsLeft)
{
    for (uint8_t doubleBuffer : {0, 1}) {
        SCOPED_TRACE(doubleBuffer ? "through the off-screen picture" : "directly");
        TToolStack s;
        s.Model->DoubleBuffer = doubleBuffer;
        s.Repaint();
        const QImage map = s.Surface.Image().copy();
        s.View->ViewMode = ModeMeasure;
        s.Down(TMouseButton::Left, 50, 60);
        s.Down(TMouseButton::Left, 120, 60);
        EXPECT_EQ(s.Surface.Image().pixel(80, 60), qRgb(0, 0, 0)) << "the route at once";
        s.MoveTo(120, 130);  // the rubber line down from the last point
        EXPECT_NE(s.Surface.Image().pixel(120, 110), map.pixel(120, 110));

        s.Repaint();
        const QImage repainted = s.Surface.Image().copy();
        EXPECT_EQ(repainted.pixel(80, 60), qRgb(0, 0, 0)) << "the route after the paint";
        EXPECT_EQ(repainted.pixel(120, 110), map.pixel(120, 110)) << "the paint took the rubber line";

        s.MoveTo(120, 20);  // the rubber line up
        const QImage moved = s.Surface.Image().copy();
        EXPECT_NE(moved.pixel(120, 40), repainted.pixel(120, 40));
        for (int y = 61; y < 140; ++y)
            ASSERT_EQ(moved.pixel(120, y), repainted.pixel(120, y)) << "rubber pixel left at (120, " << y << ")";

        // A change of the model takes the line off at once.
        s.Model->Notify(5, -1, 0, 0);
        EXPECT_EQ(s.Surface.Image().pixel(120, 40), repainted.pixel(120, 40));
        s.MoveTo(120, 30);
        s.Repaint();
        s.MoveTo(150, 150);
        s.Up(TMouseButton::Left, 150, 150);
        s.View->ViewMode = ModeNormal;
        s.Repaint();
        EXPECT_EQ(s.Surface.Image().pixel(80, 60), qRgb(0, 0, 0)) << "the route stays in every mode";
        EXPECT_EQ(s.Surface.Image().pixel(120, 110), map.pixel(120, 110));

        s.View->ViewMode = ModeMeasure;
        s.Down(TMouseButton::Right, 10, 10);
        s.Surface.Paint();
        EXPECT_EQ(s.Surface.Image().pixel(80, 60), map.pixel(80, 60)) << "cleared: the map alone";
    }
}

} // namespace
} // namespace tarn::test
