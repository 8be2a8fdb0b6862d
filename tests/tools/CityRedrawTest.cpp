// The demo city drawn with the drawing shortcuts and the plain way, pixel
// for pixel the same.
#include "CitySupport.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// The view drawn afresh over a colour the map never uses, so that nothing
// of an earlier drawing can hide a difference.
QImage DrawAfresh(TCityView& v, bool shortcuts)
{
    gdi::Shortcuts = shortcuts;
    v.Surface.Image().fill(qRgb(255, 0, 255));
    v.View->NeedsRedraw = true;
    QImage image = v.Draw();
    gdi::Shortcuts = true;
    return image;
}

TEST(CityRedraw, ShortcutsDrawEveryPixelAsThePlainWay)
{
    // The whole map, 1:10 000 and 1:2 500 at its centre and off it (roads
    // and borders running out of the window), into the window and through
    // the off-screen picture.
    struct TCase {
        double Denominator;
        double Dx, Dy;  // metres from the centre of the whole map
    } cases[] = {{0, 0, 0}, {10000, 0, 0}, {10000, 1700, -900}, {2500, 0, 0}, {2500, -450, 300}};
    TCityView v(SharedCity().File(city::ProjectFile), 1920, 1080);
    const TRect& all = v.View->WorldRect;
    const double cx = (double(all.Left) + all.Right) / 2000, cy = (double(all.Top) + all.Bottom) / 2000;
    for (const TCase& c : cases)
        for (uint8_t buffered : {0, 1}) {
            v.Model->DoubleBuffer = buffered;
            if (c.Denominator > 0) v.Show(cx + c.Dx, cy + c.Dy, c.Denominator);
            else v.ShowAll();
            const QImage fast = DrawAfresh(v, true), plain = DrawAfresh(v, false);
            const std::string name = "redraw-" + std::to_string(int(c.Denominator)) + "-" + std::to_string(int(c.Dx)) +
                                     "-" + std::to_string(buffered);
            ASSERT_EQ(fast.size(), plain.size());
            bool same = true;
            for (int y = 0; y < fast.height() && same; ++y)
                for (int x = 0; x < fast.width() && same; ++x)
                    if (fast.pixel(x, y) != plain.pixel(x, y)) {
                        same = false;
                        ADD_FAILURE() << name << ": first difference at (" << x << ", " << y << "): " << std::hex
                                      << fast.pixel(x, y) << " with shortcuts, " << plain.pixel(x, y)
                                      << " the plain way; pictures " << SaveImage(fast, name + "-fast") << " and "
                                      << SaveImage(plain, name + "-plain");
                    }
        }
}

} // namespace
} // namespace tarn::test
