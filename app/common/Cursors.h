#pragma once
// The program's own cursors, drawn as small pictures in its resources.
#include <QImage>

#include <cstdint>

namespace tarn {

// Screen cursor ids the main window registers and the modes use.
constexpr int32_t CursorIdHandSpare = 1;  // registered, not used
constexpr int32_t CursorIdHand = 3;       // pan
constexpr int32_t CursorIdZoom = 9;       // magnifier
constexpr int32_t CursorIdPen = 11;       // measuring, adding signs

struct TCursorPicture {
    QImage Image;  // ARGB32
    int32_t HotX = 0;
    int32_t HotY = 0;
};

// The resource of that name ("HAND", "ZOOM", "PEN"); ETarnError when the
// program carries no such picture.
TCursorPicture LoadCursorResource(const char* name);
// Registers ids 1 and 3 ("HAND"), 9 ("ZOOM") and 11 ("PEN") with the window surfaces.
void RegisterProgramCursors();

} // namespace tarn
