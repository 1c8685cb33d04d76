#pragma once

#include <Qt>

class QKeyEvent;
// The Windows virtual-key code of the physical key of a key event; 0 when it has none.
int VirtualKeyCode(const QKeyEvent& event);

// The same from the parts of an event. scanCode is the X keycode (evdev code + 8) and keysym
// the X keysym, as the xcb and Wayland platforms give them; 0 for either when unknown, as in
// synthetic events, and then the Qt key decides.
int VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 scanCode, quint32 keysym);
