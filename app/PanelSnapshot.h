#pragma once

#include "PanelLayout.h"
#include "PressControl.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

// One command button as the panel holds it: its component name and what it stores.
struct TNamedButton {
    QString name;
    PanelButton button;

    bool operator==(const TNamedButton&) const = default;
};

// Everything an edit can change on the panel, to go back to. The selection rides along,
// so that an undo shows what it brought back, but a change of it alone is no edit.
struct TPanelSnapshot {
    QString caption;
    QRect bounds; // outer frame on the screen, as asked for
    TColor color = clBtnFace;
    QString backgroundFile;
    int stopKey = -1;
    QString stopPad;
    int stopPlay = -1;
    int buttonCounter = 0;
    std::vector<TNamedButton> buttons; // component order
    QString selected;
    QStringList selection;

    bool SameContent(const TPanelSnapshot& other) const;
};
