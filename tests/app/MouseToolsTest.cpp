// The mouse tools on the main window's map, driven by synthetic mouse
// events on the map panel: the view and the highlight change as the tools
// say, and no feedback band is left on the map.
#include "AppSupport.h"

#include "model/ViewWork.h"

#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tarn::test {
namespace {

struct TMapFixture : ::testing::Test {
    void SetUp() override
    {
        Form = StartForm(City.ProgramDir(), Services);
        ASSERT_NE(Form->Model(), nullptr);
        Map = Form->MapPanel->SurfaceWidget();
    }

    TModel& Model() { return *Form->Model(); }
    TView& View() { return *Form->View(); }
    double Denominator() { return View().Scale / View().MmPerPixel; }

    // The city's middle at 1:denominator.
    void ShowCentre(double denominator)
    {
        const TRect p = Model().ProjectRect();
        const TPoint centre{p.Left + (p.Right - p.Left) / 4, p.Top - (p.Top - p.Bottom) / 4};
        ASSERT_EQ(Model().ZoomAtPoint(View(), centre, denominator), ResultDone);
        Settle();
    }
    TPoint World(int32_t x, int32_t y)
    {
        TPoint w;
        Model().ScreenToWorld(View(), x, y, w.X, w.Y);
        return w;
    }
    void Settle()
    {
        QCoreApplication::processEvents();
        Map->repaint();
    }
    // A press, moves in steps, and the release, all on the map panel.
    void Drag(Qt::MouseButton button, QPoint from, QPoint to, int steps = 4)
    {
        QTest::mousePress(Map, button, Qt::NoModifier, from);
        for (int i = 1; i <= steps; ++i) QTest::mouseMove(Map, from + (to - from) * i / steps);
        QTest::mouseRelease(Map, button, Qt::NoModifier, to);
        Settle();
    }
    // Any pixel of a feedback band left behind makes the map as shown
    // differ from the reference.
    ::testing::AssertionResult SameMap(const QImage& shownImage, const QImage& referenceImage, const std::string& name)
    {
        const QImage shown = shownImage.convertToFormat(QImage::Format_RGB32);
        const QImage reference = referenceImage.convertToFormat(QImage::Format_RGB32);
        if (shown == reference) return ::testing::AssertionSuccess();
        int64_t differ = 0;
        for (int y = 0; y < std::min(shown.height(), reference.height()); ++y)
            for (int x = 0; x < std::min(shown.width(), reference.width()); ++x)
                differ += shown.pixel(x, y) != reference.pixel(x, y);
        return ::testing::AssertionFailure() << differ << " pixels differ; see " << SaveAppImage(shown, name + "-shown")
                                             << " and " << SaveAppImage(reference, name + "-reference");
    }
    // The map as shown against a full redraw of the same view.
    ::testing::AssertionResult NoBandLeft(const std::string& name)
    {
        const QImage shown = GrabMapPanel(*Form);
        View().NeedsRedraw = true;
        Form->MapPanel->Surface().Invalidate();
        Settle();
        return SameMap(shown, GrabMapPanel(*Form), name);
    }
    // Keys at a client pixel that are in no compound object (a compound
    // object toggles as a whole).
    TKeyList PlainObjectsAt(QPoint p)
    {
        TKeyList keys;
        Model().ObjectsAtPoint(&View(), 2, keys, World(p.x(), p.y()));
        for (const TObjectKey& k : keys)
            if (Model().CompoundOf(k)) return {};
        return keys;
    }

    TCityCopy City;
    TStubServices Services;
    TStarted<> Form;
    QWidget* Map = nullptr;
};

TEST_F(TMapFixture, ToolIsRegisteredUnderItsName)
{
    TViewWork* tool = Model().FindNamedObject<TViewWork>("tsMapView");
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(&tool->Model, &Model());
}

TEST_F(TMapFixture, PanMovesTheMapWithTheMouse)
{
    ShowCentre(10000);
    QTest::mouseClick(Form->MoveBtn, Qt::LeftButton);
    ASSERT_EQ(View().ViewMode, ModePan);
    const TRect before = View().WorldRect;
    const double scale = View().Scale;
    const TPoint s = World(400, 300), c = World(250, 380);

    Drag(Qt::LeftButton, QPoint(400, 300), QPoint(250, 380));
    // The point under the press is under the release now.
    EXPECT_NEAR(View().WorldRect.Left, before.Left + (s.X - c.X), 2);
    EXPECT_NEAR(View().WorldRect.Top, before.Top + (s.Y - c.Y), 2);
    EXPECT_DOUBLE_EQ(View().Scale, scale);
    const TPoint under = World(250, 380);
    EXPECT_NEAR(under.X, s.X, scale + 1);
    EXPECT_NEAR(under.Y, s.Y, scale + 1);
    EXPECT_TRUE(NoBandLeft("pan"));

    // A right-button drag does not pan.
    const TRect after = View().WorldRect;
    Drag(Qt::RightButton, QPoint(300, 300), QPoint(100, 100));
    EXPECT_EQ(View().WorldRect, after);
}

TEST_F(TMapFixture, MagnifierZoomsToTheDraggedRectangle)
{
    ShowCentre(20000);
    QTest::mouseClick(Form->LupaBtn, Qt::LeftButton);
    ASSERT_EQ(View().ViewMode, ModeMagnifier);
    const double scale = View().Scale;
    // Dragged from the lower right to the upper left: the rectangle is the same.
    const TPoint topLeft = World(200, 150);
    Drag(Qt::LeftButton, QPoint(440, 330), QPoint(200, 150), 6);
    EXPECT_LT(View().Scale, scale / 2);
    EXPECT_NEAR(View().WorldRect.Left, topLeft.X, 2);
    EXPECT_NEAR(View().WorldRect.Top, topLeft.Y, 2);
    EXPECT_TRUE(NoBandLeft("magnifier-box"));
}

TEST_F(TMapFixture, MagnifierClickHalvesAndRightClickDoublesTheScale)
{
    ShowCentre(20000);
    QTest::mouseClick(Form->LupaBtn, Qt::LeftButton);
    const TPoint at = World(300, 200);
    // Four pixels both ways is still a click.
    Drag(Qt::LeftButton, QPoint(300, 200), QPoint(304, 204), 2);
    EXPECT_NEAR(Denominator(), 10000, 1);
    const TRect r = View().WorldRect;
    EXPECT_NEAR((r.Left + r.Right) / 2.0, at.X, View().Scale + 1);
    EXPECT_NEAR((r.Top + r.Bottom) / 2.0, at.Y, View().Scale + 1);
    EXPECT_TRUE(NoBandLeft("magnifier-click"));

    QTest::mouseClick(Map, Qt::RightButton, Qt::NoModifier, QPoint(200, 150));
    Settle();
    EXPECT_NEAR(Denominator(), 20000, 2);
}

TEST_F(TMapFixture, PointSelectHighlightsTheObjectsUnderTheMouse)
{
    // The whole map: objects with bare paper near them, where a band left
    // behind would show.
    View().ViewMode = ModeSelect;
    const QPoint step(6, 6);  // under 7 pixels both ways: a point select
    const TRect client = View().ClientRect;
    int tried = 0;
    for (int y = 20; y < client.Bottom - 20 && tried < 20; y += 9)
        for (int x = 20; x < client.Right - 20 && tried < 20; x += 9) {
            const QPoint at(x, y), press = at - step;
            const TKeyList found = PlainObjectsAt(at);
            const QImage before = GrabMapPanel(*Form).convertToFormat(QImage::Format_RGB32);
            if (found.empty() || before.pixel(press) != qRgb(255, 255, 255)) continue;
            ++tried;

            Drag(Qt::LeftButton, press, at, 3);
            TKeyList lit;
            Model().HighlightObjects(&View(), 0, lit);
            ASSERT_EQ(lit.size(), found.size());
            for (const TObjectKey& k : found)
                EXPECT_TRUE(std::any_of(lit.begin(), lit.end(), [&](const TObjectKey& h) {
                    return h.LayerID == k.LayerID && h.SheetID == k.SheetID && h.Code == k.Code;
                }));
            const QImage shown = GrabMapPanel(*Form);
            EXPECT_NE(shown.convertToFormat(QImage::Format_RGB32), before) << "the highlight shows on the map";

            // A point select draws the new highlight over the map as it
            // was, with no redraw: the same drawing over the picture from
            // before the drag, and the press point still bare paper.
            TWindowSurface& surface = Form->MapPanel->Surface();
            QImage picture = before;
            TDeviceContext source(picture);
            surface.GetDC()->BitBlt(0, 0, picture.width(), picture.height(), &source, 0, 0, TGDI_SRCCOPY);
            Model().DrawObjects(View(), lit);
            const QImage reference = surface.Image().copy(0, 0, shown.width(), shown.height());
            if (reference.pixel(press) != qRgb(255, 255, 255)) continue;  // the highlight covers the band's corner
            EXPECT_TRUE(SameMap(shown, reference, "select-point"));
            return;
        }
    FAIL() << "no object with bare paper beside it among " << tried << " tries";
}

TEST_F(TMapFixture, BoxSelectHighlightsEveryObjectInTheBox)
{
    ShowCentre(2500);
    View().ViewMode = ModeSelect;
    const TRect box{World(100, 100).X, World(100, 100).Y, World(600, 500).X, World(600, 500).Y};
    TKeyList inside;
    Model().ObjectsInRect(&View(), 2, inside, box);
    ASSERT_FALSE(inside.empty());

    Drag(Qt::LeftButton, QPoint(100, 100), QPoint(600, 500), 5);
    TKeyList lit;
    Model().HighlightObjects(&View(), 0, lit);
    EXPECT_GE(lit.size(), inside.size());
    EXPECT_TRUE(NoBandLeft("select-box"));
}

TEST_F(TMapFixture, InNormalModeTheMapIsLeftAlone)
{
    ShowCentre(10000);
    const TRect before = View().WorldRect;
    Drag(Qt::LeftButton, QPoint(400, 300), QPoint(100, 100));
    EXPECT_EQ(View().WorldRect, before);
    TKeyList lit;
    Model().HighlightObjects(&View(), 0, lit);
    EXPECT_TRUE(lit.empty());
    EXPECT_TRUE(NoBandLeft("normal"));
}

} // namespace
} // namespace tarn::test
