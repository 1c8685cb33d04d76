#pragma once

#include "ColorBtnPaint.h"
#include "PanelLink.h"

#include <QString>

// What a button shows after a press: a frame inside its edge for a while, and a tooltip
// that names the outcome and, for a failure, its reason.
struct TPressFeedback {
    TColor frame;
    int ms;
    QString toolTip;
};

inline constexpr int AcknowledgedMs = 300;
// A failure stays until the button is pressed again, at most this long.
inline constexpr int FailedMs = 3000;

TPressFeedback FeedbackFor(TPressOutcome outcome, bool motionEditorLink);
