#pragma once

#include <QString>
#include <QStringList>

// The names pad buttons have in layouts and in the editor. A game controller's buttons
// have fixed names whatever the make of the pad: A, B, X, Y, LB, RB, LT, RT (a trigger
// past 0.6 of its travel), Back, Start, LS, RS, the D-pad's Up, Down, Left, Right and each
// stick's four directions, LS-Up to RS-Right. A pad known only as a joystick names its
// buttons by number from 1 ("Button1"), its first hat as the D-pad and its first two axes
// as the left stick. Two names joined by "+" (Back+Start) are a pair: both held together.
enum class TControllerButton {
    A,
    B,
    X,
    Y,
    LB,
    RB,
    LT,
    RT,
    Back,
    Start,
    LS,
    RS,
    Up,
    Down,
    Left,
    Right,
    LSUp,
    LSDown,
    LSLeft,
    LSRight,
    RSUp,
    RSDown,
    RSLeft,
    RSRight,
    Count
};

QString PadButtonName(TControllerButton button);
// number counts from 1.
QString JoystickButtonName(int number);
// True for every name PadButtonName or JoystickButtonName gives, exactly as written.
bool IsPadButtonName(const QString& name);

// "first+second"; the order is the one they went down in.
QString PadPairName(const QString& first, const QString& second);
// The two parts of a pair of two different pad button names, else empty.
QStringList PadPairParts(const QString& name);
