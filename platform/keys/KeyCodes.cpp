#include "KeyCodes.h"

#include <QKeyEvent>

#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <span>

namespace {

// Keys from first to last; first has the code `code`, each next key the next code.
struct Span {
    quint32 first;
    quint32 last;
    int code;
};

constexpr Span One(quint32 value, int code) {
    return {value, value, code};
}

// Keys whose values and codes both count up together; keys that share one code take One each.
constexpr Span Counting(quint32 first, quint32 last, int firstCode) {
    return {first, last, firstCode};
}

// The codes a Japanese keyboard's driver gives its own keys on the system the layouts come
// from: 変換 VK_CONVERT, 無変換 VK_NONCONVERT, カタカナ/ひらがな VK_OEM_COPY, 半角/全角
// VK_OEM_AUTO (VK_OEM_ENLW on alternate presses while an input method is on; one key keeps
// one code here) and 英数 (Caps Lock without Shift) VK_OEM_ATTN.
constexpr int kConvert = 28;
constexpr int kNonConvert = 29;
constexpr int kOemAttn = 240;
constexpr int kOemCopy = 242;
constexpr int kOemAuto = 243;

// Keys named by where they sit, as on a US keyboard: what they type changes with Shift and
// the layout, their code does not. Linux input codes; the X keycode is 8 more.
constexpr quint32 kXKeycodeOffset = 8;
constexpr Span kPhysicalKeys[] = {
    Counting(KEY_1, KEY_9, '1'),
    One(KEY_0, '0'),
    One(KEY_MINUS, 189),
    One(KEY_EQUAL, 187),
    One(KEY_Q, 'Q'),
    One(KEY_W, 'W'),
    One(KEY_E, 'E'),
    One(KEY_R, 'R'),
    One(KEY_T, 'T'),
    One(KEY_Y, 'Y'),
    One(KEY_U, 'U'),
    One(KEY_I, 'I'),
    One(KEY_O, 'O'),
    One(KEY_P, 'P'),
    One(KEY_LEFTBRACE, 219),
    One(KEY_RIGHTBRACE, 221),
    One(KEY_A, 'A'),
    One(KEY_S, 'S'),
    One(KEY_D, 'D'),
    One(KEY_F, 'F'),
    One(KEY_G, 'G'),
    One(KEY_H, 'H'),
    One(KEY_J, 'J'),
    One(KEY_K, 'K'),
    One(KEY_L, 'L'),
    One(KEY_SEMICOLON, 186),
    One(KEY_APOSTROPHE, 222),
    One(KEY_GRAVE, 192),
    One(KEY_BACKSLASH, 220),
    One(KEY_Z, 'Z'),
    One(KEY_X, 'X'),
    One(KEY_C, 'C'),
    One(KEY_V, 'V'),
    One(KEY_B, 'B'),
    One(KEY_N, 'N'),
    One(KEY_M, 'M'),
    One(KEY_COMMA, 188),
    One(KEY_DOT, 190),
    One(KEY_SLASH, 191),
    One(KEY_102ND, 226),
    One(KEY_RO, 226),
    One(KEY_YEN, 220),
    // With Alt these type Mode_switch and Romaji, which name no key.
    One(KEY_HENKAN, kConvert),
    One(KEY_KATAKANAHIRAGANA, kOemCopy),
};

// The keys of a Japanese keyboard that name themselves wherever the layout puts them (半角/全角
// sits where the grave key is).
constexpr Span kJapaneseKeysyms[] = {
    One(XK_Henkan_Mode, kConvert),
    One(XK_Muhenkan, kNonConvert),
    One(XK_Hiragana_Katakana, kOemCopy),
    One(XK_Hiragana, kOemCopy), // the same key with Shift or an input method
    One(XK_Katakana, kOemCopy),
    One(XK_Zenkaku_Hankaku, kOemAuto),
    One(XK_Kanji, kOemAuto), // 半角/全角 with Alt
    One(XK_Eisu_toggle, kOemAttn),
};

// Keys whose X keysym names the key itself. The keypad's keysym also tells the Num Lock
// state: KP_5 with it, KP_Begin without.
constexpr Span kKeysyms[] = {
    One(XK_BackSpace, 8),
    One(XK_Tab, 9),
    One(XK_ISO_Left_Tab, 9),
    One(XK_Clear, 12),
    One(XK_Return, 13),
    One(XK_Shift_L, 16),
    One(XK_Shift_R, 16),
    One(XK_Control_L, 17),
    One(XK_Control_R, 17),
    One(XK_Alt_L, 18),
    One(XK_Alt_R, 18),
    One(XK_Meta_L, 18), // the Alt keys pressed after Shift
    One(XK_Meta_R, 18),
    One(XK_ISO_Level3_Shift, 18),
    One(XK_Mode_switch, 18),
    One(XK_Pause, 19),
    One(XK_Break, 3),
    One(XK_Caps_Lock, 20),
    One(XK_Escape, 27),
    One(XK_space, 32),
    One(XK_KP_Space, 32),
    Counting(XK_Prior, XK_End, 33),
    One(XK_Home, 36),
    Counting(XK_Left, XK_Down, 37),
    One(XK_Print, 44),
    One(XK_Sys_Req, 44),
    One(XK_Insert, 45),
    One(XK_Delete, 46),
    Counting(XK_Super_L, XK_Super_R, 91),
    One(XK_Menu, 93),
    One(XK_Num_Lock, 144),
    One(XK_Scroll_Lock, 145),
    Counting(XK_F1, XK_F24, 112),
    One(XK_KP_Tab, 9),
    One(XK_KP_Enter, 13),
    One(XK_KP_Home, 36),
    Counting(XK_KP_Left, XK_KP_Down, 37),
    Counting(XK_KP_Prior, XK_KP_End, 33),
    One(XK_KP_Begin, 12),
    One(XK_KP_Insert, 45),
    One(XK_KP_Delete, 46),
    Counting(XK_KP_0, XK_KP_9, 96),
    One(XK_KP_Multiply, 106),
    One(XK_KP_Add, 107),
    One(XK_KP_Separator, 110), // the decimal key of layouts that write a decimal comma
    One(XK_KP_Subtract, 109),
    One(XK_KP_Decimal, 110),
    One(XK_KP_Divide, 111),
};

// Synthetic events carry only the Qt key: the shifted characters are those of a US keyboard.
constexpr Span kQtKeys[] = {
    One(Qt::Key_Backspace, 8),
    One(Qt::Key_Tab, 9),
    One(Qt::Key_Backtab, 9),
    One(Qt::Key_Clear, 12),
    One(Qt::Key_Return, 13),
    One(Qt::Key_Enter, 13),
    One(Qt::Key_Shift, 16),
    One(Qt::Key_Control, 17),
    One(Qt::Key_Alt, 18),
    One(Qt::Key_AltGr, 18),
    One(Qt::Key_Pause, 19),
    One(Qt::Key_CapsLock, 20),
    One(Qt::Key_Escape, 27),
    One(Qt::Key_Space, 32),
    Counting(Qt::Key_PageUp, Qt::Key_PageDown, 33),
    One(Qt::Key_End, 35),
    One(Qt::Key_Home, 36),
    Counting(Qt::Key_Left, Qt::Key_Down, 37),
    One(Qt::Key_Print, 44),
    One(Qt::Key_SysReq, 44),
    One(Qt::Key_Insert, 45),
    One(Qt::Key_Delete, 46),
    Counting(Qt::Key_0, Qt::Key_9, '0'),
    One(Qt::Key_ParenRight, '0'),
    One(Qt::Key_Exclam, '1'),
    One(Qt::Key_At, '2'),
    Counting(Qt::Key_NumberSign, Qt::Key_Percent, '3'),
    One(Qt::Key_AsciiCircum, '6'),
    One(Qt::Key_Ampersand, '7'),
    One(Qt::Key_Asterisk, '8'),
    One(Qt::Key_ParenLeft, '9'),
    Counting(Qt::Key_A, Qt::Key_Z, 'A'),
    One(Qt::Key_Meta, 91),
    Counting(Qt::Key_Super_L, Qt::Key_Super_R, 91),
    One(Qt::Key_Menu, 93),
    Counting(Qt::Key_F1, Qt::Key_F24, 112),
    One(Qt::Key_NumLock, 144),
    One(Qt::Key_ScrollLock, 145),
    One(Qt::Key_Semicolon, 186),
    One(Qt::Key_Colon, 186),
    One(Qt::Key_Equal, 187),
    One(Qt::Key_Plus, 187),
    One(Qt::Key_Comma, 188),
    One(Qt::Key_Less, 188),
    One(Qt::Key_Minus, 189),
    One(Qt::Key_Underscore, 189),
    One(Qt::Key_Period, 190),
    One(Qt::Key_Greater, 190),
    One(Qt::Key_Slash, 191),
    One(Qt::Key_Question, 191),
    One(Qt::Key_QuoteLeft, 192),
    One(Qt::Key_AsciiTilde, 192),
    One(Qt::Key_BracketLeft, 219),
    One(Qt::Key_BraceLeft, 219),
    One(Qt::Key_Backslash, 220),
    One(Qt::Key_Bar, 220),
    One(Qt::Key_BracketRight, 221),
    One(Qt::Key_BraceRight, 221),
    One(Qt::Key_Apostrophe, 222),
    One(Qt::Key_QuoteDbl, 222),
    One(Qt::Key_Henkan, kConvert),
    One(Qt::Key_Muhenkan, kNonConvert),
    One(Qt::Key_Hiragana_Katakana, kOemCopy),
    One(Qt::Key_Hiragana, kOemCopy),
    One(Qt::Key_Katakana, kOemCopy),
    One(Qt::Key_Zenkaku_Hankaku, kOemAuto),
    One(Qt::Key_Eisu_toggle, kOemAttn),
};

// The Qt keys that mean another key when they come from the keypad; its navigation keys
// are the same as the others.
constexpr Span kKeypadQtKeys[] = {
    Counting(Qt::Key_0, Qt::Key_9, 96),
    One(Qt::Key_Asterisk, 106),
    One(Qt::Key_Plus, 107),
    One(Qt::Key_Minus, 109),
    One(Qt::Key_Period, 110),
    One(Qt::Key_Comma, 110),
    One(Qt::Key_Slash, 111),
};

int Find(std::span<const Span> table, quint32 value) {
    for (const Span& span : table) {
        if (value >= span.first && value <= span.last)
            return span.code + static_cast<int>(value - span.first);
    }
    return 0;
}

} // namespace

int VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode, quint32 keysym) {
    // A layout with Latin letters decides which key is which letter, whatever the case.
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= 'A' && keysym <= 'Z'))
        return static_cast<int>(keysym & ~0x20u);
    if (const int code = Find(kJapaneseKeysyms, keysym))
        return code;
    if (scanCode >= kXKeycodeOffset) {
        if (const int code = Find(kPhysicalKeys, scanCode - kXKeycodeOffset))
            return code;
    }
    if (const int code = Find(kKeysyms, keysym))
        return code;
    const quint32 key = static_cast<quint32>(qtKey);
    if (modifiers.testFlag(Qt::KeypadModifier)) {
        if (const int code = Find(kKeypadQtKeys, key))
            return code;
    }
    return Find(kQtKeys, key);
}

int VirtualKeyCode(const QKeyEvent& event) {
    return VirtualKeyCode(event.key(), event.modifiers(), event.nativeScanCode(),
                          event.nativeVirtualKey());
}
