#pragma once

#include "PadInput.h"

// Pad input for widget tests: presses happen when the test says so.
class TFakePadInput : public TPadInput {
    Q_OBJECT
public:
    using TPadInput::TPadInput;
    int PadCount() const override { return m_pads; }
    void SetPadCount(int pads) { m_pads = pads; }
    void Press(const QString& name) { emit ButtonPressed(name); }

private:
    int m_pads = 1;
};
