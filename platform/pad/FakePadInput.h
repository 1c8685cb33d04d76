#pragma once

#include "PadInput.h"

// Pad input for widget tests: a press or a release happens when the test says so.
class TFakePadInput : public TPadInput {
    Q_OBJECT
public:
    using TPadInput::TPadInput;
    void Press(const QString& name) { emit ButtonPressed(name); }
    void Release(const QString& name) { emit ButtonReleased(name); }
};
