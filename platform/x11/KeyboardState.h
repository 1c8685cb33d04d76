#pragma once

#include <QtGlobal>

// Whether the X server holds a key down now, by its keycode (a key event's native scan
// code). Qt does not always tell the key-up and key-down pairs of the keyboard's own
// auto-repeat from a real release; the server knows. False off X11 and for keycode 0,
// which synthetic events carry.
bool IsKeyHeldDown(quint32 keycode);
