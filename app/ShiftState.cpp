#include "ShiftState.h"

#include <QMouseEvent>

TShiftState ShiftStateOf(const QInputEvent& event) {
    TShiftState shift;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    if (const auto* mouse = dynamic_cast<const QMouseEvent*>(&event)) {
        const Qt::MouseButtons buttons = mouse->buttons();
        if (buttons & Qt::LeftButton)
            shift |= ssLeft;
        if (buttons & Qt::RightButton)
            shift |= ssRight;
        if (buttons & Qt::MiddleButton)
            shift |= ssMiddle;
        if (mouse->type() == QEvent::MouseButtonDblClick)
            shift |= ssDouble;
    }
    return shift;
}
