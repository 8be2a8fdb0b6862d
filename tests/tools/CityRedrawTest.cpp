// The demo city drawn with the drawing shortcuts and the plain way.
#include "CitySupport.h"

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

// Drawn afresh over a colour the map never uses: nothing of an earlier
// drawing can hide a difference.
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
    // The whole map, 1:10 000 and 1:2 500 at its centre and off it (lines
    // running out of the window), into the window and through the picture.
    const double cases[][3] = {{0, 0, 0}, {10000, 0, 0}, {10000, 1700, -900}, {2500, 0, 0}, {2500, -450, 300}};
    TCityView v(SharedCity().File(city::ProjectFile), 1920, 1080);
    const TRect& all = v.View->WorldRect;
    const double cx = (double(all.Left) + all.Right) / 2000, cy = (double(all.Top) + all.Bottom) / 2000;
    for (const auto& [denominator, dx, dy] : cases)
        for (uint8_t buffered : {0, 1}) {
            v.Model->DoubleBuffer = buffered;
            if (denominator > 0) v.Show(cx + dx, cy + dy, denominator);
            else v.ShowAll();
            const QImage fast = DrawAfresh(v, true), plain = DrawAfresh(v, false);
            const std::string name = "redraw-" + std::to_string(int(denominator)) + "-" + std::to_string(int(dx)) +
                                     "-" + std::to_string(buffered);
            for (int i = 0; i < fast.width() * fast.height(); ++i)
                if (const int x = i % fast.width(), y = i / fast.width(); fast.pixel(x, y) != plain.pixel(x, y)) {
                    ADD_FAILURE() << name << ": first difference at (" << x << ", " << y << "): " << std::hex
                                  << fast.pixel(x, y) << " with shortcuts, " << plain.pixel(x, y) << " the plain way; "
                                  << SaveImage(fast, name + "-fast") << ", " << SaveImage(plain, name + "-plain");
                    break;
                }
        }
}

} // namespace
} // namespace tarn::test
