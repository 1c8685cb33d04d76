#pragma once

#include <QObject>
#include <QString>

// Where pad presses come from. The panel hears them whichever window is active: a pad has
// no keyboard focus. A button is reported when it goes down and when it comes up; held
// down, it is reported once.
//
// While the object lives, every ButtonPressed is followed by exactly one ButtonReleased of
// the same name, and no ButtonReleased comes without its press; a pad that goes away
// releases what it held. Nothing is reported as the object goes. Each pad reports its own
// presses and releases: when two pads hold the same name, that name has two presses, and
// is up again only after both releases. Consumers count.
class TPadInput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // name as PadButtonName or JoystickButtonName gives it, or a pair's (TPadPairs).
    void ButtonPressed(const QString& name);
    void ButtonReleased(const QString& name);
};
