#pragma once

#include <QString>

// File name of the settings file, kept beside the executable.
inline constexpr const char* SettingsFileName = "Vodazevivuzo3.ini";
// The settings file in a folder; an empty folder is the executable's.
QString SettingsFilePath(const QString& folder);

// The folder of the settings file for the program started as itself: beside the
// program when that place can be written (the demo, a copy in the user's own folder),
// else the user's configuration folder (an installed program), made when missing.
QString ChooseSettingsFolder(const QString& programFolder);

// The same choice without making anything, for a program that only names the folder.
QString SettingsFolderOf(const QString& programFolder);

// $XDG_CONFIG_HOME/tapdeck, or ~/.config/tapdeck when that variable is unset or not an
// absolute path.
QString UserSettingsFolder();
