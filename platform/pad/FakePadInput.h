#pragma once

#include "PadInput.h"

// Pad input for widget tests: a press happens when the test says so.
class TFakePadInput : public TPadInput {
    Q_OBJECT
public:
    using TPadInput::TPadInput;
    void Press(const QString& name) { emit ButtonPressed(name); }
};
