#pragma once

// Panels for the benchmarks: a 1280 x 1000 panel whose buttons (40 x 24, 32 to a row)
// fill it row by row; 1,000 buttons are all in view, more run on below its bottom edge.

#include "PanelLayout.h"

#include <QString>

namespace bench {

inline constexpr int PanelWidth = 1280;
inline constexpr int PanelHeight = 1000;
inline constexpr int GridButtonWidth = 40;
inline constexpr int GridButtonHeight = 24;
inline constexpr int GridColumns = PanelWidth / GridButtonWidth;

// Every button has a letter key (A-Z) as its shortcut; the link is the motion editor's.
PanelLayout GridLayout(int buttons);

// Writes GridLayout(buttons) to path; false (with a message on stderr) on failure.
bool WriteGridLayout(const QString& path, int buttons);

// Copies the real program into folder, beside a settings file of GridLayout(buttons);
// returns the copy's path, or an empty string on failure. The program finds its settings
// beside its own resolved path, so a link would not do.
QString PreparePanelCopy(const QString& folder, int buttons);

} // namespace bench
