// The map tools on the sample city in the main window's order (which tool
// sees an event, in turn), and distance measuring: the length text, the
// route over every paint, no rubber line left behind.
//
// Pixel (px, py) is world (5000 px, 1000000 - 5000 py); sign 5 sits at
// pixel (100, 100); the green block covers pixels 40..160.
#include "ModelSupport.h"

#include "model/ViewWork.h"
#include "model/WorkSign.h"
#include "model/tsWay.h"

#include <gtest/gtest.h>

#include <QImage>

namespace tarn::test {
namespace {

using TLog = std::vector<std::string>;

// Writes down each mouse event that reaches it, and passes it on.
struct TTrace {
    TTrace(TModel& m, TLog& log, std::string name)
    {
        Down = m.OnMouseDown.Install([&log, name](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x,
                                                  int32_t y) {
            log.push_back(name);
            next(v, b, s, x, y);
        });
        Up = m.OnMouseUp.Install([&log, name](const auto& next, TView& v, TMouseButton b, uint32_t s, int32_t x,
                                              int32_t y) {
            log.push_back(name);
            next(v, b, s, x, y);
        });
    }
    THookToken Down, Up;
};

// The tools as the main window installs them, a trace below each.
struct TToolStack : TOpenCity {
    TToolStack()
    {
        Signs->SignLayer.LayerID = SignsId;
        Signs->SignSheetID = SheetId;
        Way.OnResult = [this](const std::string& text) { Result = text; };
        Surface.Paint();
    }
    void Press(TMouseButton b, int32_t x, int32_t y) { Model->OnMouseDown(*View, b, 0, x, y); }
    void MoveTo(int32_t x, int32_t y) { Model->OnMouseMove(*View, ShiftLeft, x, y); }
    void Repaint()
    {
        Surface.Invalidate();
        Surface.Paint();
    }
    QRgb At(int x, int y) { return Surface.Image().pixel(x, y); }

    TLog Log;
    std::string Result;
    TPanel Panel{*Model, *View};
    TTrace Object{*Model, Log, "object"};
    std::unique_ptr<TWorkSign> Signs = std::make_unique<TWorkSign>(Model.get(), View.get());
    TTrace SignsTrace{*Model, Log, "signs"};
    TWayWork Way{nullptr, *Model};
    TTrace WayTrace{*Model, Log, "measuring"};
    std::unique_ptr<TViewWork> Mouse = CreateViewWork(nullptr, *Model);
    TTrace MouseTrace{*Model, Log, "mouse"};
};

TEST(MapTools, EachToolSeesAnEventInTurnAndOnlyTheMouseAndSignToolsKeepIt)
{
    const TLog all = {"mouse", "measuring", "signs", "object"}, toSigns = {"mouse", "measuring", "signs"};
    struct TCase {
        int32_t Mode;
        bool Press;
        TMouseButton Button;
        int32_t X, Y;
        TLog Seen;
    } const cases[] = {
        {ModeNormal, true, TMouseButton::Left, 60, 60, all},
        {ModePan, true, TMouseButton::Left, 60, 60, {"mouse"}},
        {ModeMeasure, true, TMouseButton::Left, 60, 60, all},
        {ModeMeasure, false, TMouseButton::Right, 60, 60, all},
        {ModeAddSign, true, TMouseButton::Right, 60, 60, all},
        {ModeDeleteSign, true, TMouseButton::Left, 150, 150, toSigns},  // only the block there
        {ModeDeleteSign, true, TMouseButton::Left, 100, 100, all},
        {ModeMoveSign, true, TMouseButton::Left, 150, 150, toSigns},
        {ModeMoveSign, true, TMouseButton::Left, 100, 100, all},
        {ModeMoveSign, false, TMouseButton::Left, 150, 150, toSigns},  // nothing picked
    };
    for (const TCase& c : cases) {
        TToolStack s;
        s.View->ViewMode = c.Mode;
        if (c.Press) s.Press(c.Button, c.X, c.Y);
        else s.Model->OnMouseUp(*s.View, c.Button, 0, c.X, c.Y);
        EXPECT_EQ(s.Log, c.Seen) << "mode " << c.Mode << (c.Press ? " press" : " release");
        EXPECT_EQ(s.Way.Route.Count(), c.Mode == ModeMeasure && c.Press ? 1 : 0) << "mode " << c.Mode;
    }
}

TEST(MapTools, LengthIsTheRouteAndTheRunningSegmentInMetres)
{
    struct TCase {
        double Millimetres;
        const char* Dot;
        const char* Comma;
    } const cases[] = {
        {3000, "3 м", "3 м"},           {1334567, "1334.57 м", "1334,57 м"}, {1334500, "1334.5 м", "1334,5 м"},
        {1005, "1.01 м", "1,01 м"},     {4, "0 м", "0 м"},                   {999995, "1000 м", "1000 м"},
        {1234567890123.0, "1234567890.12 м", "1234567890,12 м"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(FormatMetres(c.Millimetres, "."), c.Dot);
        EXPECT_EQ(FormatMetres(c.Millimetres, ","), c.Comma);
    }
    EXPECT_EQ(SegmentMillimetres({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}), 6074000999.0) << "never -1";

    TToolStack s;  // at 1:4 a pixel is a millimetre
    ASSERT_EQ(s.Model->SetScaleDenominator(*s.View, 4), ResultDone);
    s.View->ViewMode = ModeMeasure;
    s.Press(TMouseButton::Middle, 10, 10);
    s.MoveTo(20, 10);
    EXPECT_EQ(s.Result, "0 м") << "a middle press starts the line and adds no point";
    s.Press(TMouseButton::Left, 10, 10);
    EXPECT_EQ(s.Way.Length, 0);
    s.MoveTo(10 + 1800, 10 + 2400);
    EXPECT_EQ(s.Result, "3 м");
    s.Press(TMouseButton::Left, 10 + 100000, 10);
    EXPECT_EQ(s.Way.Length, 100);
    s.Way.DecimalSeparator = ",";
    s.MoveTo(10 + 100000 + 1234567, 10);
    EXPECT_EQ(s.Result, "1334,57 м");
    s.Press(TMouseButton::Right, 50, 50);
    EXPECT_EQ(s.Way.Route.Count(), 0);
    EXPECT_FALSE(s.Way.Active);
    EXPECT_TRUE(s.Surface.IsInvalid()) << "drawn again without the route";
    s.Surface.Paint();
    s.Press(TMouseButton::Right, 50, 50);
    EXPECT_TRUE(s.Surface.IsInvalid()) << "an empty route is cleared as well";
}

// Drawn directly and through the off-screen picture: the route after every
// paint, and not one pixel of an earlier rubber line on the fresh picture.
TEST(MapTools, RouteSurvivesARepaintAndNoRubberLineIsLeft)
{
    for (uint8_t doubleBuffer : {0, 1}) {
        TToolStack s;
        s.Model->DoubleBuffer = doubleBuffer;
        s.Repaint();
        const QImage map = s.Surface.Image().copy();
        s.View->ViewMode = ModeMeasure;
        s.Press(TMouseButton::Left, 50, 60);
        s.Press(TMouseButton::Left, 120, 60);
        EXPECT_EQ(s.At(80, 60), qRgb(0, 0, 0)) << "the route at once";
        s.MoveTo(120, 130);
        EXPECT_NE(s.At(120, 110), map.pixel(120, 110)) << "the rubber line";
        s.Repaint();
        const QImage repainted = s.Surface.Image().copy();
        EXPECT_EQ(repainted.pixel(80, 60), qRgb(0, 0, 0));
        s.MoveTo(120, 20);
        EXPECT_NE(s.At(120, 40), repainted.pixel(120, 40));
        for (int y = 61; y < 140; ++y)
            ASSERT_EQ(s.At(120, y), repainted.pixel(120, y)) << "rubber pixel left at (120, " << y << ")";
        s.Model->Notify(5, -1, 0, 0);
        EXPECT_EQ(s.At(120, 40), repainted.pixel(120, 40)) << "a change takes the line off";
        s.MoveTo(120, 20);
        s.Model->OnMouseUp(*s.View, TMouseButton::Left, 0, 160, 20);  // released off the line's end
        s.MoveTo(60, 120);
        for (int y = 21; y < 60; ++y) ASSERT_EQ(s.At(120, y), repainted.pixel(120, y)) << "left at (120, " << y << ")";
        EXPECT_EQ(s.At(140, 40), repainted.pixel(140, 40));

        s.View->ViewMode = ModeNormal;
        s.Repaint();
        EXPECT_EQ(s.At(80, 60), qRgb(0, 0, 0)) << "the route stays in every mode";
        s.View->ViewMode = ModeMeasure;
        s.Press(TMouseButton::Right, 10, 10);
        s.Surface.Paint();
        EXPECT_EQ(s.At(80, 60), map.pixel(80, 60)) << "cleared";
    }
}

} // namespace
} // namespace tarn::test
