#pragma once

#include <QObject>
#include <QString>

// Where pad presses come from. The panel hears them whichever window is active: a pad has
// no keyboard focus. A button held down is reported once, when it goes down.
class TPadInput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // name as PadButtonName or JoystickButtonName gives it.
    void ButtonPressed(const QString& name);
};
