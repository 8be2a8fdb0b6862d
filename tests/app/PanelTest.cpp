// The map panel on its own: painting handed to the owner, mouse events with
// the tools' numbering, the mouse kept while a button is held, and the
// program's cursors.
#include "AppSupport.h"

#include "app/common/Cursors.h"
#include "app/common/TSPanel.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace tarn::test {
namespace {

struct TMouseRecord {
    char Kind;  // 'd' down, 'u' up, 'm' move
    TMouseButton Button;
    uint32_t Shift;
    int32_t X, Y;
};

// A panel in a top-level window, recording its events.
struct TPanelHost {
    TPanelHost()
    {
        Window.resize(300, 200);
        Panel = new TTessaraPanel(&Window);
        Panel->setGeometry(50, 40, 200, 120);
        Panel->OnPaint = [this](TTessaraPanel& p) {
            ++Paints;
            TGdiRef<TBrush> red = TBrush::CreateSolid(Rgb(255, 0, 0));
            p.Surface().GetDC()->FillRect(TRect{0, 0, 10, 10}, red.get());
        };
        Panel->OnResize = [this](TTessaraPanel& p) { Sizes.push_back(p.ClientRect()); };
        Panel->OnMouseDown = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            Events.push_back({'d', b, s, x, y});
        };
        Panel->OnMouseUp = [this](TTessaraPanel&, TMouseButton b, uint32_t s, int32_t x, int32_t y) {
            Events.push_back({'u', b, s, x, y});
        };
        Panel->OnMouseMove = [this](TTessaraPanel&, uint32_t s, int32_t x, int32_t y) {
            Events.push_back({'m', TMouseButton::Left, s, x, y});
        };
        Window.show();
        SettleWindow(Window);
    }
    QWidget* Target() const { return Panel->SurfaceWidget(); }

    QWidget Window;
    TTessaraPanel* Panel;
    int Paints = 0;
    std::vector<TRect> Sizes;
    std::vector<TMouseRecord> Events;
};

TEST(MapPanel, HandsPaintingToItsOwnerOnlyAfterAnInvalidation)
{
    TPanelHost h;
    const int first = h.Paints;
    EXPECT_GE(first, 1);
    h.Panel->repaint();  // uncovering shows the picture again, the owner draws nothing
    EXPECT_EQ(h.Paints, first);
    h.Panel->Surface().Invalidate();
    h.Panel->repaint();
    EXPECT_EQ(h.Paints, first + 1);

    const QImage shown = h.Panel->grab().toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(50, 50), QColor(255, 255, 255));  // its own colour around the owner's drawing
}

TEST(MapPanel, TakesItsSizeFromTheLayoutAndReportsEachResize)
{
    TPanelHost h;
    EXPECT_EQ(h.Panel->ClientRect(), (TRect{0, 0, 200, 120}));
    h.Panel->resize(150, 90);
    QCoreApplication::processEvents();
    ASSERT_FALSE(h.Sizes.empty());
    EXPECT_EQ(h.Sizes.back(), (TRect{0, 0, 150, 90}));
    EXPECT_EQ(h.Panel->ClientRect(), (TRect{0, 0, 150, 90}));
}

TEST(MapPanel, MouseEventsCarryButtonsAndShiftInClientPixels)
{
    TPanelHost h;
    struct TCase {
        Qt::MouseButton Button;
        Qt::KeyboardModifiers Keys;
        TMouseButton Expected;
        uint32_t Shift;  // at the press: the keys and the button now down
    };
    const TCase cases[] = {
        {Qt::LeftButton, Qt::NoModifier, TMouseButton::Left, ShiftLeft},
        {Qt::RightButton, Qt::ShiftModifier, TMouseButton::Right, ShiftKey | ShiftRight},
        {Qt::MiddleButton, Qt::ControlModifier | Qt::AltModifier, TMouseButton::Middle,
         ShiftCtrl | ShiftAlt | ShiftMiddle},
    };
    for (const TCase& c : cases) {
        h.Events.clear();
        QTest::mousePress(h.Target(), c.Button, c.Keys, QPoint(17, 23));
        QTest::mouseRelease(h.Target(), c.Button, c.Keys, QPoint(19, 29));
        ASSERT_GE(h.Events.size(), 2u);
        const TMouseRecord& down = h.Events.front();
        const TMouseRecord& up = h.Events.back();
        EXPECT_EQ(down.Kind, 'd');
        EXPECT_EQ(down.Button, c.Expected);
        EXPECT_EQ(down.Shift, c.Shift);
        EXPECT_EQ(down.X, 17);
        EXPECT_EQ(down.Y, 23);
        EXPECT_EQ(up.Kind, 'u');
        EXPECT_EQ(up.Button, c.Expected);
        EXPECT_EQ(up.Shift & ~(ShiftLeft | ShiftRight | ShiftMiddle), c.Shift & ~(ShiftLeft | ShiftRight | ShiftMiddle));
        EXPECT_EQ(up.X, 19);
        EXPECT_EQ(up.Y, 29);
    }
}

TEST(MapPanel, ReleaseOutsideThePanelStillArrives)
{
    TPanelHost h;
    QWindow* window = h.Window.windowHandle();
    ASSERT_NE(window, nullptr);
    // Pressed inside the panel (window 60, 50 = panel 10, 10), dragged and
    // released over the window outside it, and beyond the window too.
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, QPoint(60, 50));
    QTest::mouseMove(window, QPoint(20, 10));
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    auto down = std::find_if(h.Events.begin(), h.Events.end(), [](const TMouseRecord& e) { return e.Kind == 'd'; });
    ASSERT_NE(down, h.Events.end());
    EXPECT_EQ(down->X, 10);
    EXPECT_EQ(down->Y, 10);
    const TMouseRecord& up = h.Events.back();
    EXPECT_EQ(up.Kind, 'u');
    EXPECT_EQ(up.X, 5 - 50);
    EXPECT_EQ(up.Y, 5 - 40);
    // The move outside arrived too, in panel pixels.
    bool movedOutside = false;
    for (const TMouseRecord& e : h.Events) movedOutside |= e.Kind == 'm' && e.X == -30 && e.Y == -30;
    EXPECT_TRUE(movedOutside);
}

TEST(ProgramCursors, EachModeShowsItsCursorWithItsHotSpot)
{
    RegisterProgramCursors();
    TPanelHost h;
    struct TCase {
        int32_t Cursor;
        QPoint Hot;
    };
    const TCase cases[] = {{CursorIdHandSpare, {16, 15}}, {CursorIdHand, {16, 15}}, {CursorIdZoom, {12, 12}},
                           {CursorIdPen, {1, 30}}};
    for (const TCase& c : cases) {
        h.Panel->SetMapCursor(c.Cursor);
        const QCursor shown = h.Target()->cursor();
        EXPECT_EQ(shown.shape(), Qt::BitmapCursor) << c.Cursor;
        EXPECT_EQ(shown.hotSpot(), c.Hot) << c.Cursor;
        // The hot spot lies on the drawn shape, not on a transparent pixel.
        const QImage img = shown.pixmap().toImage();
        EXPECT_GT(qAlpha(img.pixel(c.Hot)), 0) << c.Cursor;
    }
    h.Panel->SetMapCursor(CursorDefault);
    EXPECT_EQ(h.Target()->cursor().shape(), Qt::ArrowCursor);
}

TEST(ProgramCursors, AnUnknownResourceIsRefused)
{
    EXPECT_THROW(LoadCursorResource("ARROW"), ETarnError);
    const TCursorPicture pen = LoadCursorResource("PEN");
    EXPECT_EQ(pen.Image.size(), QSize(32, 32));
}

} // namespace
} // namespace tarn::test
