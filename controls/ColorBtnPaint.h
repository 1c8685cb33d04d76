#pragma once

// Drawing of the colour button, free of widgets so that every pixel rule can be
// checked on an image: caption placement arithmetic, face, caption, frame, focus line.

#include "SystemColors.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <optional>

enum TNHAlignment { haLeft, haCenter, haRight };
enum TNVAlignment { vaTop, vaCenter, vaBottom };
enum TButtonStyle { bsStd, bsIELike, bsNone };

// What the caption's position depends on.
struct CaptionPlacement {
    int clientWidth = 0;
    int clientHeight = 0;
    int textHeight = 0;
    TNHAlignment alignH = haCenter;
    TNVAlignment alignV = vaCenter;
    TButtonStyle style = bsStd;
    bool capFixed = true;
    bool activeOrFocused = false;
    int offsetH = 0;
    int offsetV = 0;
    bool pressed = false;
};

// The rectangle the caption is drawn in: client width by text height, moved by the
// alignment margins, the loose-caption shift, the offsets and the pressed shift.
QRect CaptionTextRect(const CaptionPlacement& placement);

// Everything one paint of the button needs.
struct ColorBtnLook {
    int width = 75;
    int height = 25;
    QFont font;
    TColor fontColor = clWindowText;
    QString text; // lines separated by CR LF
    TColor color = clWindow;
    TColor frameColor = clWindowFrame;
    TColor edgeHighlight = clBtnHighlight;
    TColor edgeShadow = clBtnShadow;
    TNHAlignment alignH = haCenter;
    TNVAlignment alignV = vaCenter;
    TButtonStyle style = bsStd;
    bool capFixed = true;
    bool focusline = true;
    int offsetH = 0;
    int offsetV = 0;
    bool enabled = true;
    bool pressed = false;
    bool focused = false;
    bool active = false;
    bool hovered = false;
    // The outcome of the last press, as a frame of this colour inside the edge.
    std::optional<TColor> outcomeFrame;
};

// The outcome frames' colours: the board answered (or the message went out), or not.
inline constexpr TColor AcknowledgedFrame = 0x00C000; // green
inline constexpr TColor FailedFrame = 0x0000E0;       // red

// The outcome frame lies between two lines in the face's contrast colour, so that it
// shows on a face of its own colour too. How wide its colour is, how wide each line, and
// how far in from the button's side its colour starts: inside the edge the style draws
// (two pixels and the active outline for the standard one) and the outer line.
inline constexpr int OutcomeFrameWidth = 2;
inline constexpr int OutcomeSeparatorWidth = 1;
constexpr int OutcomeFrameInset(TButtonStyle style) {
    return (style == bsStd ? 3 : 1) + OutcomeSeparatorWidth;
}

// The caption text: `caption` when set, else the lines joined with CR LF.
QString ButtonText(const QString& caption, const QStringList& lines);

// Draws the button into a new image (in device pixels of the given ratio). The image
// holds only the `exposed` part of the button (in its own coordinates, cut to the
// button), so that the cost follows what is on the screen; a null rectangle stands for
// the whole button.
QImage PaintColorBtn(const ColorBtnLook& look, qreal devicePixelRatio = 1.0,
                     const QRect& exposed = QRect());
