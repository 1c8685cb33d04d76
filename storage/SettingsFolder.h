#pragma once

#include <QString>

// The folder of the settings file for the program started as itself: beside the
// program when that place can be written (the demo, a copy in the user's own folder),
// else the user's configuration folder (an installed program), made when missing.
QString ChooseSettingsFolder(const QString& programFolder);

// $XDG_CONFIG_HOME/tapdeck, or ~/.config/tapdeck when that variable is unset or not an
// absolute path.
QString UserSettingsFolder();
