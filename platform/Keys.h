#pragma once
// Qt's keys and modifiers as the virtual-key codes and shift bits the
// windows and map tools test (0x25 left arrow ... 0x28 down, 0x60..0x69
// the numeric pad's digits, 0x6B add, 0x6D the numeric pad's minus, 0xBD
// the main minus).
//
// Letters are recognised by the text the key typed, so a Cyrillic layout
// gives the code of the key it sits on (Ф on A gives 'A', Х gives the
// bracket key 0xDB), as the keyboard layer of the original platform does.
#include "platform/WindowSurface.h"

#include <QtCore/qnamespace.h>

#include <cstdint>

class QKeyEvent;
class QString;

namespace tarn {

constexpr int32_t VkBack = 0x08;
constexpr int32_t VkTab = 0x09;
constexpr int32_t VkClear = 0x0C;
constexpr int32_t VkReturn = 0x0D;
constexpr int32_t VkShift = 0x10;
constexpr int32_t VkControl = 0x11;
constexpr int32_t VkMenu = 0x12;  // Alt
constexpr int32_t VkEscape = 0x1B;
constexpr int32_t VkSpace = 0x20;
constexpr int32_t VkPrior = 0x21;  // page up
constexpr int32_t VkNext = 0x22;   // page down
constexpr int32_t VkEnd = 0x23;
constexpr int32_t VkHome = 0x24;
constexpr int32_t VkLeft = 0x25;
constexpr int32_t VkUp = 0x26;
constexpr int32_t VkRight = 0x27;
constexpr int32_t VkDown = 0x28;
constexpr int32_t VkInsert = 0x2D;
constexpr int32_t VkDelete = 0x2E;
constexpr int32_t VkNumpad0 = 0x60;  // .. VkNumpad0 + 9
constexpr int32_t VkMultiply = 0x6A;
constexpr int32_t VkAdd = 0x6B;
constexpr int32_t VkSubtract = 0x6D;
constexpr int32_t VkDecimal = 0x6E;
constexpr int32_t VkDivide = 0x6F;
constexpr int32_t VkF1 = 0x70;  // .. VkF1 + 23
constexpr int32_t VkOemPlus = 0xBB;
constexpr int32_t VkOemMinus = 0xBD;

// The shift bits of the tools (ShiftKey, ShiftAlt, ShiftCtrl and the
// mouse buttons of WindowSurface.h).
uint32_t ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = {});
// The tools' numbering of a mouse button; false for the buttons they do not know.
bool MouseButtonOf(Qt::MouseButton button, TMouseButton& out);

// The virtual key of a Qt key with its modifiers (the keypad modifier
// tells the numeric pad) and the text it typed; 0 for a key without one.
int32_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);
int32_t VirtualKeyOf(const QKeyEvent& event);

// A key of the numeric pad's digits and signs (0x60..0x6F), whatever it
// types with Num Lock on.
bool IsNumpadKey(int32_t virtualKey);
// A key that types a letter or a digit: a code from '0' to 'Z', or a text
// of one letter or digit of any alphabet; never a key of the numeric pad.
bool IsLetterOrDigitKey(int32_t virtualKey, const QString& text);

} // namespace tarn
