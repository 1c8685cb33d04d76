#pragma once

#include <QFlags>

class QInputEvent;

// The keys and mouse buttons held during a mouse event; ssDouble marks the second press
// of a double click.
enum TShiftFlag {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
Q_DECLARE_FLAGS(TShiftState, TShiftFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShiftState)

// The shift state of a mouse event as the button sees it.
TShiftState ShiftStateOf(const QInputEvent& event);
