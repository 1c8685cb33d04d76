#include "KeyCodes.h"
#include "KeyRecorder.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

#include <X11/keysym.h>
#include <linux/input-event-codes.h>

namespace {

// The X keycode of a Linux input code.
constexpr quint32 X(quint32 inputCode) {
    return inputCode + 8;
}

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Keypad = Qt::KeypadModifier;

void AddColumns() {
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<quint32>("keysym");
    QTest::addColumn<int>("expected");
}

// A key from the X server: the Qt key, modifiers, keycode and keysym it reports.
void AddX(const char* name, int qtKey, Qt::KeyboardModifiers modifiers, quint32 inputCode,
          quint32 keysym, int expected) {
    QTest::newRow(name) << qtKey << modifiers << X(inputCode) << keysym << expected;
}

// A synthetic key: only the Qt key and the modifiers.
void AddQt(const char* name, int qtKey, Qt::KeyboardModifiers modifiers, int expected) {
    QTest::newRow(name) << qtKey << modifiers << 0u << 0u << expected;
}

} // namespace

class TestKeyCodes : public QObject {
    Q_OBJECT
private slots:
    void letters_data();
    void letters() { Check(); }
    void digitRow_data();
    void digitRow() { Check(); }
    void punctuation_data();
    void punctuation() { Check(); }
    void keypad_data();
    void keypad() { Check(); }
    void modifierKeys_data();
    void modifierKeys() { Check(); }
    void functionKeys_data();
    void functionKeys() { Check(); }
    void namedKeys_data();
    void namedKeys() { Check(); }
    void japaneseKeys_data();
    void japaneseKeys() { Check(); }
    void noCode_data();
    void noCode() { Check(); }
    void keyEvent_data();
    void keyEvent();
    void keyClick_data();
    void keyClick();

private:
    static void Check();
};

void TestKeyCodes::Check() {
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(quint32, keysym);
    QFETCH(int, expected);
    QCOMPARE(VirtualKeyCode(qtKey, modifiers, scanCode, keysym), expected);
}

void TestKeyCodes::letters_data() {
    AddColumns();
    AddX("a", Qt::Key_A, None, KEY_A, 'a', 'A');
    AddX("shift+a", Qt::Key_A, Shift, KEY_A, 'A', 'A');
    AddX("ctrl+a", Qt::Key_A, Qt::ControlModifier, KEY_A, 'a', 'A');
    AddX("alt+x", Qt::Key_X, Qt::AltModifier, KEY_X, 'x', 'X');
    AddX("z", Qt::Key_Z, None, KEY_Z, 'z', 'Z');
    AddX("shift+z", Qt::Key_Z, Shift, KEY_Z, 'Z', 'Z');
    // Layouts with Latin letters name the letter keys, as Windows does.
    AddX("German z on the US y key", Qt::Key_Z, None, KEY_Y, 'z', 'Z');
    AddX("German y on the US z key", Qt::Key_Y, None, KEY_Z, 'y', 'Y');
    AddX("French a on the US q key", Qt::Key_A, None, KEY_Q, 'a', 'A');
    AddX("French m on the US ; key", Qt::Key_M, None, KEY_SEMICOLON, 'm', 'M');
    // Other scripts: the letter of the US key at that place.
    AddX("Cyrillic a on the f key", 0x410, None, KEY_F, XK_Cyrillic_a, 'F');
    AddX("shift+Cyrillic ya on the z key", 0x42f, Shift, KEY_Z, XK_Cyrillic_YA, 'Z');
    AddX("Greek alpha on the a key", 0x391, None, KEY_A, XK_Greek_alpha, 'A');
    AddX("keysym only, lower case", 0, None, 0, 'q', 'Q');
    AddQt("synthetic A", Qt::Key_A, None, 'A');
    AddQt("synthetic shift+Z", Qt::Key_Z, Shift, 'Z');
    AddQt("synthetic ctrl+M", Qt::Key_M, Qt::ControlModifier, 'M');
}

void TestKeyCodes::digitRow_data() {
    AddColumns();
    AddX("1", Qt::Key_1, None, KEY_1, '1', '1');
    AddX("shift+1", Qt::Key_Exclam, Shift, KEY_1, XK_exclam, '1');
    AddX("shift+2", Qt::Key_At, Shift, KEY_2, XK_at, '2');
    AddX("9", Qt::Key_9, None, KEY_9, '9', '9');
    AddX("shift+9", Qt::Key_ParenLeft, Shift, KEY_9, XK_parenleft, '9');
    AddX("0", Qt::Key_0, None, KEY_0, '0', '0');
    AddX("shift+0", Qt::Key_ParenRight, Shift, KEY_0, XK_parenright, '0');
    AddX("French & on the 1 key", Qt::Key_Ampersand, None, KEY_1, XK_ampersand, '1');
    AddX("French shift+1", Qt::Key_1, Shift, KEY_1, '1', '1');
    AddX("French e acute on the 2 key", Qt::Key_Eacute, None, KEY_2, XK_eacute, '2');
    AddX("Japanese shift+2 is a double quote", Qt::Key_QuoteDbl, Shift, KEY_2, XK_quotedbl, '2');
    // Without a keycode the characters are read as a US keyboard's.
    AddQt("synthetic 0", Qt::Key_0, None, '0');
    AddQt("synthetic 5", Qt::Key_5, None, '5');
    AddQt("synthetic 9", Qt::Key_9, None, '9');
    AddQt("synthetic )", Qt::Key_ParenRight, Shift, '0');
    AddQt("synthetic !", Qt::Key_Exclam, Shift, '1');
    AddQt("synthetic @", Qt::Key_At, Shift, '2');
    AddQt("synthetic #", Qt::Key_NumberSign, Shift, '3');
    AddQt("synthetic $", Qt::Key_Dollar, Shift, '4');
    AddQt("synthetic %", Qt::Key_Percent, Shift, '5');
    AddQt("synthetic ^", Qt::Key_AsciiCircum, Shift, '6');
    AddQt("synthetic &", Qt::Key_Ampersand, Shift, '7');
    AddQt("synthetic *", Qt::Key_Asterisk, Shift, '8');
    AddQt("synthetic (", Qt::Key_ParenLeft, Shift, '9');
}

void TestKeyCodes::punctuation_data() {
    AddColumns();
    struct Key {
        const char* plain;
        const char* shifted;
        quint32 inputCode;
        int plainKey;
        int shiftedKey;
        int code;
    };
    const Key keys[] = {
        {";", ":", KEY_SEMICOLON, Qt::Key_Semicolon, Qt::Key_Colon, 186},
        {"=", "+", KEY_EQUAL, Qt::Key_Equal, Qt::Key_Plus, 187},
        {",", "<", KEY_COMMA, Qt::Key_Comma, Qt::Key_Less, 188},
        {"-", "_", KEY_MINUS, Qt::Key_Minus, Qt::Key_Underscore, 189},
        {".", ">", KEY_DOT, Qt::Key_Period, Qt::Key_Greater, 190},
        {"/", "?", KEY_SLASH, Qt::Key_Slash, Qt::Key_Question, 191},
        {"`", "~", KEY_GRAVE, Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, 192},
        {"[", "{", KEY_LEFTBRACE, Qt::Key_BracketLeft, Qt::Key_BraceLeft, 219},
        {"\\", "|", KEY_BACKSLASH, Qt::Key_Backslash, Qt::Key_Bar, 220},
        {"]", "}", KEY_RIGHTBRACE, Qt::Key_BracketRight, Qt::Key_BraceRight, 221},
        {"'", "\"", KEY_APOSTROPHE, Qt::Key_Apostrophe, Qt::Key_QuoteDbl, 222},
    };
    // The US keysyms are the characters themselves, the Qt keys too.
    for (const Key& key : keys) {
        const quint32 plain = key.plainKey;
        const quint32 shifted = key.shiftedKey;
        QTest::addRow("%s", key.plain)
            << key.plainKey << None << X(key.inputCode) << plain << key.code;
        QTest::addRow("shift+%s", key.plain)
            << key.shiftedKey << Shift << X(key.inputCode) << shifted << key.code;
        QTest::addRow("synthetic %s", key.plain) << key.plainKey << None << 0u << 0u << key.code;
        QTest::addRow("synthetic %s", key.shifted)
            << key.shiftedKey << Shift << 0u << 0u << key.code;
        QTest::addRow("keysym only %s", key.shifted)
            << key.shiftedKey << Shift << 0u << shifted << key.code;
    }
    AddX("German o umlaut on the ; key", Qt::Key_Odiaeresis, None, KEY_SEMICOLON, XK_odiaeresis,
         186);
    AddX("German sharp s on the - key", Qt::Key_ssharp, None, KEY_MINUS, XK_ssharp, 189);
    AddX("dead acute on the ' key", Qt::Key_Dead_Acute, None, KEY_APOSTROPHE, XK_dead_acute, 222);
    AddX("ISO key left of z", Qt::Key_Less, None, KEY_102ND, XK_less, 226);
    AddX("Japanese ro key", Qt::Key_Backslash, None, KEY_RO, XK_backslash, 226);
    AddX("Japanese yen key", Qt::Key_yen, None, KEY_YEN, XK_yen, 220);
}

void TestKeyCodes::keypad_data() {
    AddColumns();
    const quint32 keypadDigits[] = {KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                    KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
    for (int digit = 0; digit < 10; ++digit) {
        QTest::addRow("Num Lock on, keypad %d", digit)
            << Qt::Key_0 + digit << Keypad << X(keypadDigits[digit]) << quint32(XK_KP_0 + digit)
            << 96 + digit;
        QTest::addRow("synthetic keypad %d", digit)
            << Qt::Key_0 + digit << Keypad << 0u << 0u << 96 + digit;
    }
    // Num Lock off: Windows gives the codes of the keys printed below the digits.
    AddX("Num Lock off, keypad 0", Qt::Key_Insert, Keypad, KEY_KP0, XK_KP_Insert, 45);
    AddX("Num Lock off, keypad 1", Qt::Key_End, Keypad, KEY_KP1, XK_KP_End, 35);
    AddX("Num Lock off, keypad 2", Qt::Key_Down, Keypad, KEY_KP2, XK_KP_Down, 40);
    AddX("Num Lock off, keypad 3", Qt::Key_PageDown, Keypad, KEY_KP3, XK_KP_Next, 34);
    AddX("Num Lock off, keypad 4", Qt::Key_Left, Keypad, KEY_KP4, XK_KP_Left, 37);
    AddX("Num Lock off, keypad 5", Qt::Key_Clear, Keypad, KEY_KP5, XK_KP_Begin, 12);
    AddX("Num Lock off, keypad 6", Qt::Key_Right, Keypad, KEY_KP6, XK_KP_Right, 39);
    AddX("Num Lock off, keypad 7", Qt::Key_Home, Keypad, KEY_KP7, XK_KP_Home, 36);
    AddX("Num Lock off, keypad 8", Qt::Key_Up, Keypad, KEY_KP8, XK_KP_Up, 38);
    AddX("Num Lock off, keypad 9", Qt::Key_PageUp, Keypad, KEY_KP9, XK_KP_Prior, 33);
    AddX("Num Lock off, keypad .", Qt::Key_Delete, Keypad, KEY_KPDOT, XK_KP_Delete, 46);
    AddX("Num Lock on, shift+keypad 7", Qt::Key_Home, Keypad | Shift, KEY_KP7, XK_KP_Home, 36);
    AddX("keypad *", Qt::Key_Asterisk, Keypad, KEY_KPASTERISK, XK_KP_Multiply, 106);
    AddX("keypad +", Qt::Key_Plus, Keypad, KEY_KPPLUS, XK_KP_Add, 107);
    AddX("keypad -", Qt::Key_Minus, Keypad, KEY_KPMINUS, XK_KP_Subtract, 109);
    AddX("keypad .", Qt::Key_Period, Keypad, KEY_KPDOT, XK_KP_Decimal, 110);
    AddX("keypad decimal comma", Qt::Key_Comma, Keypad, KEY_KPDOT, XK_KP_Separator, 110);
    AddX("keypad /", Qt::Key_Slash, Keypad, KEY_KPSLASH, XK_KP_Divide, 111);
    AddX("keypad Enter", Qt::Key_Enter, Keypad, KEY_KPENTER, XK_KP_Enter, 13);
    AddQt("synthetic keypad 5 without Num Lock", Qt::Key_Clear, Keypad, 12);
    AddQt("synthetic keypad 7 without Num Lock", Qt::Key_Home, Keypad, 36);
    AddQt("synthetic keypad . without Num Lock", Qt::Key_Delete, Keypad, 46);
    AddQt("synthetic keypad *", Qt::Key_Asterisk, Keypad, 106);
    AddQt("synthetic keypad +", Qt::Key_Plus, Keypad, 107);
    AddQt("synthetic keypad -", Qt::Key_Minus, Keypad, 109);
    AddQt("synthetic keypad .", Qt::Key_Period, Keypad, 110);
    AddQt("synthetic keypad ,", Qt::Key_Comma, Keypad, 110);
    AddQt("synthetic keypad /", Qt::Key_Slash, Keypad, 111);
    AddQt("synthetic keypad Enter", Qt::Key_Enter, Keypad, 13);
    // The same Qt keys from the main keyboard.
    AddQt("synthetic main 5", Qt::Key_5, None, '5');
    AddQt("synthetic main *", Qt::Key_Asterisk, Shift, '8');
    AddQt("synthetic main +", Qt::Key_Plus, Shift, 187);
    AddQt("synthetic main /", Qt::Key_Slash, None, 191);
}

void TestKeyCodes::modifierKeys_data() {
    AddColumns();
    AddX("left Shift", Qt::Key_Shift, Shift, KEY_LEFTSHIFT, XK_Shift_L, 16);
    AddX("right Shift", Qt::Key_Shift, Shift, KEY_RIGHTSHIFT, XK_Shift_R, 16);
    AddX("left Ctrl", Qt::Key_Control, Qt::ControlModifier, KEY_LEFTCTRL, XK_Control_L, 17);
    AddX("right Ctrl", Qt::Key_Control, Qt::ControlModifier, KEY_RIGHTCTRL, XK_Control_R, 17);
    AddX("left Alt", Qt::Key_Alt, Qt::AltModifier, KEY_LEFTALT, XK_Alt_L, 18);
    AddX("right Alt", Qt::Key_Alt, Qt::AltModifier, KEY_RIGHTALT, XK_Alt_R, 18);
    AddX("Alt after Shift", Qt::Key_Meta, Shift | Qt::AltModifier, KEY_LEFTALT, XK_Meta_L, 18);
    AddX("AltGr", Qt::Key_AltGr, Qt::GroupSwitchModifier, KEY_RIGHTALT, XK_ISO_Level3_Shift, 18);
    AddX("mode switch", Qt::Key_Mode_switch, None, KEY_RIGHTALT, XK_Mode_switch, 18);
    AddX("left Windows key", Qt::Key_Meta, Qt::MetaModifier, KEY_LEFTMETA, XK_Super_L, 91);
    AddX("right Windows key", Qt::Key_Meta, Qt::MetaModifier, KEY_RIGHTMETA, XK_Super_R, 92);
    AddX("Caps Lock", Qt::Key_CapsLock, None, KEY_CAPSLOCK, XK_Caps_Lock, 20);
    AddQt("synthetic Shift", Qt::Key_Shift, Shift, 16);
    AddQt("synthetic Ctrl", Qt::Key_Control, Qt::ControlModifier, 17);
    AddQt("synthetic Alt", Qt::Key_Alt, Qt::AltModifier, 18);
    AddQt("synthetic AltGr", Qt::Key_AltGr, None, 18);
    AddQt("synthetic Meta", Qt::Key_Meta, Qt::MetaModifier, 91);
    AddQt("synthetic left Super", Qt::Key_Super_L, None, 91);
    AddQt("synthetic right Super", Qt::Key_Super_R, None, 92);
    AddQt("synthetic Caps Lock", Qt::Key_CapsLock, None, 20);
}

void TestKeyCodes::functionKeys_data() {
    AddColumns();
    const quint32 inputCodes[] = {KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,
                                  KEY_F7,  KEY_F8,  KEY_F9,  KEY_F10, KEY_F11, KEY_F12,
                                  KEY_F13, KEY_F14, KEY_F15, KEY_F16, KEY_F17, KEY_F18,
                                  KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24};
    for (int n = 1; n <= 24; ++n) {
        QTest::addRow("F%d", n) << Qt::Key_F1 + n - 1 << None << X(inputCodes[n - 1])
                                << quint32(XK_F1 + n - 1) << 111 + n;
        QTest::addRow("synthetic F%d", n) << Qt::Key_F1 + n - 1 << None << 0u << 0u << 111 + n;
    }
    AddX("shift+F10", Qt::Key_F10, Shift, KEY_F10, XK_F10, 121);
    AddX("F25 has no code", Qt::Key_F25, None, 0, XK_F25, 0);
    AddQt("synthetic F25 has no code", Qt::Key_F25, None, 0);
}

void TestKeyCodes::namedKeys_data() {
    AddColumns();
    struct Key {
        const char* name;
        int qtKey;
        quint32 inputCode;
        quint32 keysym;
        int code;
    };
    const Key keys[] = {
        {"Back Space", Qt::Key_Backspace, KEY_BACKSPACE, XK_BackSpace, 8},
        {"Tab", Qt::Key_Tab, KEY_TAB, XK_Tab, 9},
        {"Enter", Qt::Key_Return, KEY_ENTER, XK_Return, 13},
        {"Pause", Qt::Key_Pause, KEY_PAUSE, XK_Pause, 19},
        {"Escape", Qt::Key_Escape, KEY_ESC, XK_Escape, 27},
        {"Space", Qt::Key_Space, KEY_SPACE, XK_space, 32},
        {"Page Up", Qt::Key_PageUp, KEY_PAGEUP, XK_Prior, 33},
        {"Page Down", Qt::Key_PageDown, KEY_PAGEDOWN, XK_Next, 34},
        {"End", Qt::Key_End, KEY_END, XK_End, 35},
        {"Home", Qt::Key_Home, KEY_HOME, XK_Home, 36},
        {"Left", Qt::Key_Left, KEY_LEFT, XK_Left, 37},
        {"Up", Qt::Key_Up, KEY_UP, XK_Up, 38},
        {"Right", Qt::Key_Right, KEY_RIGHT, XK_Right, 39},
        {"Down", Qt::Key_Down, KEY_DOWN, XK_Down, 40},
        {"Print Screen", Qt::Key_Print, KEY_SYSRQ, XK_Print, 44},
        {"Insert", Qt::Key_Insert, KEY_INSERT, XK_Insert, 45},
        {"Delete", Qt::Key_Delete, KEY_DELETE, XK_Delete, 46},
        {"Menu", Qt::Key_Menu, KEY_COMPOSE, XK_Menu, 93},
        {"Num Lock", Qt::Key_NumLock, KEY_NUMLOCK, XK_Num_Lock, 144},
        {"Scroll Lock", Qt::Key_ScrollLock, KEY_SCROLLLOCK, XK_Scroll_Lock, 145},
    };
    for (const Key& key : keys) {
        QTest::newRow(key.name) << key.qtKey << None << X(key.inputCode) << key.keysym << key.code;
        QTest::addRow("synthetic %s", key.name) << key.qtKey << None << 0u << 0u << key.code;
    }
    AddX("shift+Tab", Qt::Key_Backtab, Shift, KEY_TAB, XK_ISO_Left_Tab, 9);
    AddX("alt+Print Screen", Qt::Key_SysReq, Qt::AltModifier, KEY_SYSRQ, XK_Sys_Req, 44);
    AddX("ctrl+Pause", 0, Qt::ControlModifier, KEY_PAUSE, XK_Break, 3);
    AddX("Clear", Qt::Key_Clear, None, KEY_KP5, XK_Clear, 12);
    AddQt("synthetic Enter", Qt::Key_Enter, None, 13);
    AddQt("synthetic shift+Tab", Qt::Key_Backtab, Shift, 9);
    AddQt("synthetic alt+Print Screen", Qt::Key_SysReq, Qt::AltModifier, 44);
    AddQt("synthetic Clear", Qt::Key_Clear, None, 12);
}

void TestKeyCodes::japaneseKeys_data() {
    AddColumns();
    // The jp layout's keys as the X server gives them are pressed for real in
    // tst_keycodes_x11; here the levels it does not reach, and synthetic keys.
    AddX("shift+カタカナ/ひらがな", Qt::Key_Katakana, Shift, KEY_KATAKANAHIRAGANA, XK_Katakana,
         242);
    AddX("alt+変換 types Mode_switch", Qt::Key_Mode_switch, Qt::AltModifier, KEY_HENKAN,
         XK_Mode_switch, 28);
    AddX("shift+英数 is Caps Lock", Qt::Key_CapsLock, Shift, KEY_CAPSLOCK, XK_Caps_Lock, 20);
    AddQt("synthetic 変換", Qt::Key_Henkan, None, 28);
    AddQt("synthetic 無変換", Qt::Key_Muhenkan, None, 29);
    AddQt("synthetic ひらがな", Qt::Key_Hiragana, None, 242);
    AddQt("synthetic 半角/全角", Qt::Key_Zenkaku_Hankaku, None, 243);
    AddQt("synthetic 英数", Qt::Key_Eisu_toggle, None, 240);
}

void TestKeyCodes::noCode_data() {
    AddColumns();
    AddQt("nothing", 0, None, 0);
    AddQt("unknown key", Qt::Key_unknown, None, 0);
    AddQt("e acute", Qt::Key_Eacute, None, 0);
    AddQt("volume up", Qt::Key_VolumeUp, None, 0);
    AddX("mute key", Qt::Key_VolumeMute, None, KEY_MUTE, 0x1008ff12, 0);
    AddX("Cyrillic letter without a keycode", 0x410, None, 0, XK_Cyrillic_a, 0);
    // Keysyms beside the letters in ASCII are no letters.
    AddX("keysym @", 0, Shift, 0, XK_at, 0);
    AddX("keysym [", 0, None, 0, XK_bracketleft, 0);
    AddX("keysym `", 0, None, 0, XK_grave, 0);
    AddX("keysym {", 0, Shift, 0, XK_braceleft, 0);
}

void TestKeyCodes::keyEvent_data() {
    AddColumns();
    AddX("shift+1 from X", Qt::Key_Exclam, Shift, KEY_1, XK_exclam, '1');
    AddX("Cyrillic a from X", 0x410, None, KEY_F, XK_Cyrillic_a, 'F');
    AddX("keypad 5 without Num Lock from X", Qt::Key_Clear, Keypad, KEY_KP5, XK_KP_Begin, 12);
    AddX("keypad 5 with Num Lock from X", Qt::Key_5, Keypad, KEY_KP5, XK_KP_5, 101);
    AddQt("synthetic shift+1", Qt::Key_Exclam, Shift, '1');
    AddQt("synthetic keypad 5", Qt::Key_5, Keypad, 101);
}

// The event's own fields reach the mapping: the keycode as the scan code, the keysym as the
// native virtual key.
void TestKeyCodes::keyEvent() {
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(quint32, keysym);
    QFETCH(int, expected);
    const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, keysym, 0);
    QCOMPARE(VirtualKeyCode(event), expected);
}

void TestKeyCodes::keyClick_data() {
    QTest::addColumn<int>("qtKey");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QList<int>>("expected");
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    // Modifiers are pressed as keys of their own before the key.
    QTest::newRow("a") << int(Qt::Key_A) << None << QList<int>{'A'};
    QTest::newRow("ctrl+a") << int(Qt::Key_A) << ctrl << QList<int>{17, 'A'};
    QTest::newRow("alt+x") << int(Qt::Key_X) << alt << QList<int>{18, 'X'};
    QTest::newRow("shift+1") << int(Qt::Key_Exclam) << Shift << QList<int>{16, '1'};
    QTest::newRow("keypad 5") << int(Qt::Key_5) << Keypad << QList<int>{101};
    QTest::newRow("keypad 5 without Num Lock") << int(Qt::Key_Clear) << Keypad << QList<int>{12};
    QTest::newRow("Enter") << int(Qt::Key_Return) << None << QList<int>{13};
    QTest::newRow("Escape") << int(Qt::Key_Escape) << None << QList<int>{27};
    QTest::newRow("F10") << int(Qt::Key_F10) << None << QList<int>{121};
    QTest::newRow(";") << int(Qt::Key_Semicolon) << None << QList<int>{186};
}

// Key presses sent the way widget tests send them carry no keycode: the Qt key decides.
void TestKeyCodes::keyClick() {
    QFETCH(int, qtKey);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QList<int>, expected);
    TKeyRecorder recorder;
    QTest::keyClick(&recorder, static_cast<Qt::Key>(qtKey), modifiers);
    QCOMPARE(recorder.codes, expected);
}

QTEST_MAIN(TestKeyCodes)
#include "tst_keycodes.moc"
