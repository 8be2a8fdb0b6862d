// Qt's keys as the virtual-key codes the windows and tools test.
#include "platform/Keys.h"

#include <QKeyEvent>
#include <QString>

#include <gtest/gtest.h>

namespace tarn::test {
namespace {

TEST(Keys, QtKeysGiveTheirVirtualKeys)
{
    const Qt::KeyboardModifiers none{}, pad = Qt::KeypadModifier;
    struct TCase {
        const char* What;
        int Key;
        Qt::KeyboardModifiers Modifiers;
        const char* Text;  // UTF-8
        int32_t Expected;
    };
    const TCase cases[] = {
        {"letter", Qt::Key_A, none, "a", 'A'},
        {"capital", Qt::Key_Z, Qt::ShiftModifier, "Z", 'Z'},
        {"Ctrl with a letter types no letter", Qt::Key_C, Qt::ControlModifier, "\x03", 'C'},
        {"Cyrillic by its text", 0x0424, none, "ф", 'A'},
        {"Cyrillic capital", 0x042F, Qt::ShiftModifier, "Я", 'Z'},
        {"Cyrillic on the bracket key", 0x0425, none, "х", 0xDB},
        {"Cyrillic on the comma key", 0x0411, none, "б", 0xBC},
        {"Ё on the back-quote key", 0x0401, none, "ё", 0xC0},
        {"Cyrillic key without text (Ctrl held)", 0x0419, Qt::ControlModifier, "", 'Q'},
        {"Latin key reporting a Cyrillic text", Qt::Key_D, none, "в", 'D'},
        {"digit", Qt::Key_7, none, "7", '7'},
        {"numeric pad digit", Qt::Key_7, pad, "7", 103},
        {"numeric pad 0", Qt::Key_0, pad, "0", 96},
        {"numeric pad 9", Qt::Key_9, pad, "9", 105},
        {"numeric pad 5 without Num Lock", Qt::Key_Clear, pad, "", 12},
        {"numeric pad add", Qt::Key_Plus, pad, "+", 107},
        {"numeric pad minus", Qt::Key_Minus, pad, "-", 109},
        {"main minus", Qt::Key_Minus, none, "-", 189},
        {"main plus", Qt::Key_Plus, Qt::ShiftModifier, "+", 187},
        {"numeric pad multiply", Qt::Key_Asterisk, pad, "*", 106},
        {"numeric pad divide", Qt::Key_Slash, pad, "/", 111},
        {"page up", Qt::Key_PageUp, none, "", 33},
        {"page down", Qt::Key_PageDown, none, "", 34},
        {"left", Qt::Key_Left, none, "", 37},
        {"up", Qt::Key_Up, none, "", 38},
        {"right", Qt::Key_Right, none, "", 39},
        {"down", Qt::Key_Down, none, "", 40},
        {"numeric pad arrow without Num Lock", Qt::Key_Left, pad, "", 37},
        {"F1", Qt::Key_F1, none, "", 112},
        {"F5", Qt::Key_F5, none, "", 116},
        {"Enter", Qt::Key_Return, none, "\r", 13},
        {"numeric pad Enter", Qt::Key_Enter, pad, "\r", 13},
        {"Tab", Qt::Key_Tab, none, "\t", 9},
        {"Escape", Qt::Key_Escape, none, "\x1b", 27},
        {"Backspace", Qt::Key_Backspace, none, "\b", 8},
        {"Delete", Qt::Key_Delete, none, "", 46},
        {"blank", Qt::Key_Space, none, " ", 32},
        {"Shift", Qt::Key_Shift, Qt::ShiftModifier, "", 16},
        {"Ctrl", Qt::Key_Control, Qt::ControlModifier, "", 17},
        {"Alt", Qt::Key_Alt, Qt::AltModifier, "", 18},
        {"unknown", Qt::Key_LaunchMail, none, "", 0},
        {"a letter of neither alphabet", Qt::Key_unknown, none, "ß", 0},
    };
    for (const TCase& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        EXPECT_EQ(VirtualKeyOf(c.Key, c.Modifiers, text), c.Expected) << c.What;
        QKeyEvent e(QEvent::KeyPress, c.Key, c.Modifiers, text);
        EXPECT_EQ(VirtualKeyOf(e), c.Expected) << c.What << " (event)";
    }
}

TEST(Keys, LettersAndDigitsOfEitherAlphabetStartTyping)
{
    struct TCase {
        int32_t Key;
        const char* Text;
        bool Expected;
    } const cases[] = {
        {'A', "a", true},   {'0', "0", true},   {'Z', "", true},     {0xDB, "х", true}, {0xBC, "б", true},
        {0xBC, ",", false}, {37, "", false},    {32, " ", false},    {0, "ß", true},    {189, "-", false},
        {13, "\r", false},  {0x3A, "", false},
        // The numeric pad's keys are the map's, whatever Num Lock makes them type.
        {103, "7", false},  {96, "0", false},   {101, "5", false},   {107, "+", false}, {111, "/", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLetterOrDigitKey(c.Key, QString::fromUtf8(c.Text)), c.Expected) << c.Key << " " << c.Text;
}

TEST(Keys, ModifiersAndButtonsGiveTheToolsShiftBits)
{
    EXPECT_EQ(ShiftStateOf({}), 0u);
    EXPECT_EQ(ShiftStateOf(Qt::ShiftModifier | Qt::ControlModifier), ShiftKey | ShiftCtrl);
    EXPECT_EQ(ShiftStateOf(Qt::AltModifier | Qt::KeypadModifier), ShiftAlt);
    EXPECT_EQ(ShiftStateOf({}, Qt::LeftButton | Qt::MiddleButton), ShiftLeft | ShiftMiddle);
    EXPECT_EQ(ShiftStateOf(Qt::ShiftModifier, Qt::RightButton), ShiftKey | ShiftRight);
    TMouseButton b{};
    EXPECT_TRUE(MouseButtonOf(Qt::RightButton, b));
    EXPECT_EQ(b, TMouseButton::Right);
    EXPECT_FALSE(MouseButtonOf(Qt::BackButton, b));
}

} // namespace
} // namespace tarn::test
