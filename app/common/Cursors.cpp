#include "Cursors.h"

#include "platform/Error.h"
#include "platform/WindowSurface.h"

#include <cstring>
#include <vector>

namespace tarn {

namespace {

struct TCursorEntry {
    const char* Name;
    const char* Resource;
    int32_t HotX, HotY;
};

// Hot spots: the middle of the palm, the centre of the lens, the pen's tip.
constexpr TCursorEntry CursorTable[] = {
    {"HAND", ":/cursors/hand.xpm", 16, 15},
    {"ZOOM", ":/cursors/zoom.xpm", 12, 12},
    {"PEN", ":/cursors/pen.xpm", 1, 30},
};

} // namespace

TCursorPicture LoadCursorResource(const char* name)
{
    for (const TCursorEntry& e : CursorTable) {
        if (std::strcmp(e.Name, name) != 0) continue;
        QImage img(QString::fromLatin1(e.Resource));
        if (img.isNull()) break;
        return TCursorPicture{img.convertToFormat(QImage::Format_ARGB32), e.HotX, e.HotY};
    }
    throw ETarnError(std::string("no cursor resource ") + name);
}

void RegisterProgramCursors()
{
    auto reg = [](int32_t id, const char* name) {
        const TCursorPicture c = LoadCursorResource(name);
        std::vector<uint32_t> argb(std::size_t(c.Image.width()) * std::size_t(c.Image.height()));
        for (int y = 0; y < c.Image.height(); ++y)
            std::memcpy(argb.data() + std::size_t(y) * std::size_t(c.Image.width()), c.Image.constScanLine(y),
                        std::size_t(c.Image.width()) * 4);
        RegisterSurfaceCursor(id, argb.data(), c.Image.width(), c.Image.height(), c.HotX, c.HotY);
    };
    reg(CursorIdHandSpare, "HAND");
    reg(CursorIdHand, "HAND");
    reg(CursorIdZoom, "ZOOM");
    reg(CursorIdPen, "PEN");
}

} // namespace tarn
