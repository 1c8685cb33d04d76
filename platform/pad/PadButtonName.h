#pragma once

#include <QString>

// The names pad buttons have in layouts and in the editor. A game controller's buttons
// have fixed names whatever the make of the pad: A, B, X, Y, LB, RB, LT, RT (a trigger
// past half its travel), Back, Start, LS, RS and the D-pad's Up, Down, Left, Right. A pad
// known only as a joystick names its buttons by number from 1 ("Button1") and its first
// hat as the D-pad.
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
    Count
};

QString PadButtonName(TControllerButton button);
// number counts from 1.
QString JoystickButtonName(int number);
// True for every name PadButtonName or JoystickButtonName gives, exactly as written.
bool IsPadButtonName(const QString& name);
