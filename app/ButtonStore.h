#pragma once

#include "PanelLayout.h"

#include <QRect>

class TColorBtn;

// A command button's stored values, read from it and given to it: the one mapping
// between the widget and what layout files, snapshots and the clipboard hold.
PanelButton StoredButton(const TColorBtn& button);
void ApplyStoredButton(TColorBtn& button, const PanelButton& stored);

// Stored extremes kept within what a widget holds, so that no edge overflows an int.
int WidgetPosition(int v);
QRect ButtonGeometry(const PanelButton& stored);
