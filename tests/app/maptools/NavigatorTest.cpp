// The navigator over the demo city's "nav.prj": the frame or cross over the
// overview, clicks that centre the main view, double clicks that show the
// whole map, the origins of the two projects; and in the main window,
// where a damaged "nav.prj" leaves the window running without it.
#include "../../model/ModelSupport.h"
#include "../../tools/CitySupport.h"
#include "../AppSupport.h"

#include "app/maptools/Nav.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace tarn::test {
namespace {

// A main model and view of their own (the navigator's project serves as
// the main one too), and the navigator in a window of its own.
struct TNavCity {
    TNavCity()
    {
        MainSurface.SetMmPerPixel(0.25);
        Main = std::make_unique<TModel>();
        MainView = std::make_unique<TView>(&MainSurface);
        Main->AttachView(*MainView);
        Main->OpenFile(SharedCity().File("nav.prj"));
        Main->ZoomAll(*MainView);
        Panel = std::make_unique<TPanel>(*Main, *MainView);
        Owner.resize(220, 180);
        Nav = std::make_unique<TNavigator>(&Owner, *Main, *MainView, SharedCity().File("nav.prj"));
        Owner.show();
        SettleWindow(Owner);
        MainSurface.Paint();
    }
    TModel& Own() { return *Nav->OwnModel; }
    TView& OwnView() { return *Nav->OwnView; }
    // The centre of the main view in the main project's world.
    TPoint MainCentre() const
    {
        const TRect& r = MainView->WorldRect;
        return TPoint{int32_t((int64_t(r.Left) + r.Right) / 2), int32_t((int64_t(r.Top) + r.Bottom) / 2)};
    }
    // Where a navigator pixel lies in the main project's world.
    TPoint MainPointOf(int32_t x, int32_t y)
    {
        TPoint w;
        Own().ScreenToWorld(OwnView(), x, y, w.X, w.Y);
        return Main->WorldToProject(Own().ProjectToWorld(w));
    }
    // The main view centred at a navigator pixel at 1:denominator.
    void ShowAt(int32_t x, int32_t y, double denominator)
    {
        ASSERT_EQ(Main->ZoomAtPoint(*MainView, MainPointOf(x, y), denominator), ResultDone);
        MainSurface.Paint();
    }
    QRect Frame() const { return Nav->FrameShape->geometry(); }

    TWindowSurface MainSurface{400, 300};
    std::unique_ptr<TModel> Main;
    std::unique_ptr<TView> MainView;
    std::unique_ptr<TPanel> Panel;
    QWidget Owner;
    std::unique_ptr<TNavigator> Nav;
};

::testing::AssertionResult Near(const TPoint& a, const TPoint& b, int32_t tolerance)
{
    if (std::abs(a.X - b.X) <= tolerance && std::abs(a.Y - b.Y) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.X << ", " << a.Y << ") is not within " << tolerance << " of ("
                                         << b.X << ", " << b.Y << ")";
}

TEST(Navigator, ShowsItsProjectWholeAtItsRealSize)
{
    TNavCity c;
    const QSize box = c.Nav->PaintBox->size();
    ASSERT_GT(box.width(), 150);
    EXPECT_EQ(c.OwnView().ClientRect, (TRect{0, 0, box.width(), box.height()}));
    const TRect e = c.Own().ProjectRect();
    const double fitted = std::max({double(e.Right - e.Left) / box.width(), double(e.Top - e.Bottom) / box.height(), 12.0});
    EXPECT_DOUBLE_EQ(c.OwnView().Scale, fitted) << "fitted anew to the size it was shown at";
    EXPECT_TRUE(c.Own().DoubleBuffer);

    // Later sizes keep the scale.
    c.Owner.resize(260, 200);
    SettleWindow(c.Owner);
    EXPECT_DOUBLE_EQ(c.OwnView().Scale, fitted);
    EXPECT_EQ(c.OwnView().ClientRect.Right, c.Nav->PaintBox->width());
}

TEST(Navigator, SmallFramesBecomeACross)
{
    struct TCase {
        TRect Frame;
        bool Cross;
        QRect First, Second;  // the frame shape's, and the cross shape's when shown
    } const cases[] = {
        {{20, 30, 29, 70}, true, QRect(24, 40, 3, 23), QRect(14, 50, 23, 3)},
        {{20, 30, 30, 40}, false, QRect(20, 30, 10, 10), QRect()},
        {{20, 30, 60, 39}, true, QRect(40, 24, 3, 23), QRect(30, 34, 23, 3)},
        {{-20, -30, 40, 50}, false, QRect(-20, -30, 60, 80), QRect()},
    };
    TNavCity c;
    const QPoint at = c.Nav->PaintBox->mapTo(c.Nav->InnerPanel, QPoint(0, 0));
    for (const TCase& t : cases) {
        c.Nav->FrameRect = t.Frame;
        c.Nav->PlaceShapes();
        EXPECT_EQ(c.Nav->FrameBigEnough(), !t.Cross);
        EXPECT_EQ(c.Frame(), t.First.translated(at));
        EXPECT_TRUE(c.Nav->FrameShape->isVisible());
        EXPECT_EQ(c.Nav->CrossShape->isVisible(), t.Cross);
        if (t.Cross) {
            EXPECT_EQ(c.Nav->CrossShape->geometry(), t.Second.translated(at));
        }
    }
}

TEST(Navigator, FrameFollowsTheMainViewWhoseCentreAClickSetsAndADoubleClickShowsAll)
{
    TNavCity c;
    const QSize box = c.Nav->PaintBox->size();
    c.ShowAt(box.width() / 3, box.height() / 3, c.MainView->Scale / c.MainView->MmPerPixel / 8);
    const QRect before = c.Frame();
    const double scale = c.MainView->Scale;
    const QPoint p(2 * box.width() / 3, box.height() / 2);
    QTest::mousePress(c.Nav->PaintBox, Qt::LeftButton, {}, p);
    EXPECT_EQ(c.Frame(), before) << "nothing on the press";
    QTest::mouseRelease(c.Nav->PaintBox, Qt::LeftButton, {}, p);
    EXPECT_TRUE(Near(c.MainCentre(), c.MainPointOf(p.x(), p.y()), 1));
    EXPECT_DOUBLE_EQ(c.MainView->Scale, scale);
    c.MainSurface.Paint();
    EXPECT_EQ(c.Frame().size(), before.size());
    EXPECT_NEAR(c.Frame().center().x() - before.center().x(), box.width() / 3, 2);
    EXPECT_NEAR(c.Frame().center().y() - before.center().y(), box.height() / 6, 2);

    // The outline is drawn and the map shows inside it.
    const QImage shown = c.Owner.grab().toImage();
    const QRect f(c.Nav->FrameShape->mapTo(&c.Owner, QPoint(0, 0)), c.Nav->FrameShape->size());
    EXPECT_EQ(shown.pixel(f.left() + 1, f.center().y()), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(f.center()), c.Nav->Wnd->Image().pixel(c.Nav->PaintBox->mapFrom(&c.Owner, f.center())))
        << "see " << SaveAppImage(shown, "navigator");

    // Any button on the frame is a click on the map under it.
    const QPoint onFrame(2, c.Nav->FrameShape->height() / 2);
    const QPoint under =
        c.Nav->PaintBox->mapFrom(c.Nav->InnerPanel, c.Nav->FrameShape->mapTo(c.Nav->InnerPanel, onFrame));
    QTest::mouseClick(c.Nav->FrameShape, Qt::RightButton, {}, onFrame);
    EXPECT_TRUE(Near(c.MainCentre(), c.MainPointOf(under.x(), under.y()), 1));

    // Press, release, double click, release, on the map or on the frame:
    // the whole map.
    for (QWidget* on : {static_cast<QWidget*>(c.Nav->PaintBox), static_cast<QWidget*>(c.Nav->FrameShape)}) {
        c.ShowAt(box.width() / 2, box.height() / 2, c.MainView->Scale / c.MainView->MmPerPixel / 8);
        const QPoint at = on == c.Nav->PaintBox ? p : onFrame;
        QTest::mouseClick(on, Qt::LeftButton, {}, at);
        QTest::mouseDClick(on, Qt::LeftButton, {}, at);
        QTest::mouseRelease(on, Qt::LeftButton, {}, at);
        const double whole = c.MainView->Scale;
        ASSERT_EQ(c.Main->ZoomAll(*c.MainView), ResultDone);
        EXPECT_DOUBLE_EQ(c.MainView->Scale, whole) << on->objectName().toStdString();
    }
}

TEST(Navigator, TwoProjectsMeetThroughTheirOrigins)
{
    TNavCity c;
    const QSize box = c.Nav->PaintBox->size();
    c.ShowAt(box.width() / 2, box.height() / 2, c.MainView->Scale / c.MainView->MmPerPixel / 4);
    const QRect before = c.Frame();
    // The navigator's project lies 8 pixels' worth left of and 5 above
    // the main one: the same world point is further right and lower on it.
    const double s = c.OwnView().Scale;
    const TPoint shift{int32_t(8 * s), int32_t(5 * s)};
    c.Own().Project->Origin.X -= shift.X;
    c.Own().Project->Origin.Y += shift.Y;
    c.Nav->UpdateFrame();
    EXPECT_NEAR(c.Frame().left() - before.left(), 8, 1);
    EXPECT_NEAR(c.Frame().top() - before.top(), 5, 1);

    const QPoint p(box.width() / 2 + 10, box.height() / 2 + 10);
    QTest::mouseClick(c.Nav->PaintBox, Qt::LeftButton, {}, p);
    TPoint own;
    c.Own().ScreenToWorld(c.OwnView(), p.x(), p.y(), own.X, own.Y);
    EXPECT_TRUE(Near(c.MainCentre(), TPoint{own.X - shift.X, own.Y + shift.Y}, 1));
}

// ---------------------------------------------------------------- in the main window

TEST(Navigator, MainWindowMakesItInItsPlaceAndRunsWithoutADamagedOne)
{
    {
        TCityCopy city;
        TStubServices services;
        auto form = StartForm(city.ProgramDir(), services);
        ASSERT_NE(form->Navigator, nullptr);
        EXPECT_EQ(form->Navigator->parentWidget(), form->IvPanel);
        EXPECT_EQ(form->Navigator->OwnModel->FileName, city.File("nav.prj"));
        const QSize box = form->Navigator->PaintBox->size();
        EXPECT_GE(box.height(), 90) << "a place of its own in the left column";
        EXPECT_EQ(form->Navigator->OwnView->ClientRect, (TRect{0, 0, box.width(), box.height()}));
        EXPECT_TRUE(form->Navigator->FrameShape->isVisible()) << "the main view is marked";
        EXPECT_TRUE(services.Errors.empty());
    }
    TCityCopy city;
    WriteFileBytes(city.File("nav.prj"), "Tessara 4.02Project File, cut short");
    TStubServices services;
    auto form = StartForm(city.ProgramDir(), services);
    ASSERT_NE(form->Model(), nullptr);
    EXPECT_EQ(form->Navigator, nullptr);
    ASSERT_EQ(services.Errors.size(), 1u);
    EXPECT_NE(services.Errors[0].find("nav.prj"), std::string::npos) << services.Errors[0];
    EXPECT_TRUE(form->MapPanel->isVisible());
    EXPECT_EQ(form->Model()->OnAfterPaint.Count(), 2u) << "measuring and the mouse tool; no navigator left behind";
}

} // namespace
} // namespace tarn::test
