#include "Keys.h"

#include <QKeyEvent>
#include <QString>

namespace tarn {

namespace {

// The Russian layout over the keys of the Latin one: А..Я, then Ё.
constexpr int32_t CyrillicKeys[33] = {
    'F', 0xBC, 'D', 'U', 'L', 'T', 0xBA, 'P', 'B', 'Q', 'R', 'K', 'V', 'Y', 'J', 'G', 'H',
    'C', 'N', 'E', 'A', 0xDB, 'W', 'X', 'I', 'O', 0xDD, 'S', 'M', 0xDE, 0xBE, 'Z', 0xC0,
};

// The key a letter of either alphabet sits on; 0 for other characters.
int32_t LetterKey(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    if (u >= u'A' && u <= u'Z') return u;
    if (u >= u'А' && u <= u'Я') return CyrillicKeys[u - u'А'];
    if (u == u'Ё') return CyrillicKeys[32];
    return 0;
}

} // namespace

uint32_t ShiftStateOf(Qt::KeyboardModifiers m, Qt::MouseButtons b)
{
    uint32_t s = 0;
    if (m & Qt::ShiftModifier) s |= ShiftKey;
    if (m & Qt::AltModifier) s |= ShiftAlt;
    if (m & Qt::ControlModifier) s |= ShiftCtrl;
    if (b & Qt::LeftButton) s |= ShiftLeft;
    if (b & Qt::RightButton) s |= ShiftRight;
    if (b & Qt::MiddleButton) s |= ShiftMiddle;
    return s;
}

bool MouseButtonOf(Qt::MouseButton b, TMouseButton& out)
{
    switch (b) {
    case Qt::LeftButton: out = TMouseButton::Left; return true;
    case Qt::RightButton: out = TMouseButton::Right; return true;
    case Qt::MiddleButton: out = TMouseButton::Middle; return true;
    default: return false;
    }
}

int32_t VirtualKeyOf(int k, Qt::KeyboardModifiers modifiers, const QString& text)
{
    // What the key typed decides for letters; with Ctrl or Alt held the
    // text is a control character or nothing, and the key itself tells.
    if (text.size() == 1 && text[0].isLetter())
        if (int32_t vk = LetterKey(text[0])) return vk;
    if (k > 0 && k <= 0xFFFF && QChar(char16_t(k)).isLetter())
        if (int32_t vk = LetterKey(QChar(char16_t(k)))) return vk;

    const bool keypad = modifiers & Qt::KeypadModifier;
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return keypad ? VkNumpad0 + (k - Qt::Key_0) : '0' + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return VkF1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return VkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VkTab;
    case Qt::Key_Clear: return VkClear;  // the numeric pad's 5 without Num Lock
    case Qt::Key_Return:
    case Qt::Key_Enter: return VkReturn;
    case Qt::Key_Shift: return VkShift;
    case Qt::Key_Control: return VkControl;
    case Qt::Key_Alt: return VkMenu;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Escape: return VkEscape;
    case Qt::Key_Space: return VkSpace;
    case Qt::Key_PageUp: return VkPrior;
    case Qt::Key_PageDown: return VkNext;
    case Qt::Key_End: return VkEnd;
    case Qt::Key_Home: return VkHome;
    case Qt::Key_Left: return VkLeft;
    case Qt::Key_Up: return VkUp;
    case Qt::Key_Right: return VkRight;
    case Qt::Key_Down: return VkDown;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Insert: return VkInsert;
    case Qt::Key_Delete: return VkDelete;
    case Qt::Key_Asterisk: return keypad ? VkMultiply : 0;
    case Qt::Key_Plus: return keypad ? VkAdd : VkOemPlus;
    case Qt::Key_Equal: return VkOemPlus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return keypad ? VkSubtract : VkOemMinus;
    case Qt::Key_Period: return keypad ? VkDecimal : 0xBE;
    case Qt::Key_Comma: return keypad ? VkDecimal : 0xBC;
    case Qt::Key_Slash: return keypad ? VkDivide : 0xBF;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    case Qt::Key_Semicolon: return 0xBA;
    case Qt::Key_BracketLeft: return 0xDB;
    case Qt::Key_Backslash: return 0xDC;
    case Qt::Key_BracketRight: return 0xDD;
    case Qt::Key_Apostrophe: return 0xDE;
    case Qt::Key_QuoteLeft: return 0xC0;
    default: return 0;
    }
}

int32_t VirtualKeyOf(const QKeyEvent& e) { return VirtualKeyOf(e.key(), e.modifiers(), e.text()); }

bool IsNumpadKey(int32_t vk) { return vk >= VkNumpad0 && vk <= VkDivide; }

bool IsLetterOrDigitKey(int32_t vk, const QString& text)
{
    if (IsNumpadKey(vk)) return false;
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return true;
    return text.size() == 1 && text[0].isLetterOrNumber();
}

} // namespace tarn
