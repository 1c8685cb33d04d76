#pragma once

#include <QString>

// File name of the settings file, kept beside the executable.
inline constexpr const char* SettingsFileName = "Vodazevivuzo3.ini";
// The settings file in a folder; an empty folder is the executable's.
QString SettingsFilePath(const QString& folder);

// The folder of the settings file for the program started as itself: beside the
// program when that place can be written (the demo, a copy in the user's own folder),
// else the user's configuration folder, made when missing. A program in the folder it was
// installed to keeps its settings in the user's folder even where it could write its own
// (root may write /usr/bin), so that removing the package leaves nothing behind.
QString ChooseSettingsFolder(const QString& programFolder);

// True for the bin folder of an installed program: the desktop entry the install puts
// beside it is where it puts it.
bool IsInstalledProgramFolder(const QString& programFolder);

// The same choice without making anything, for a program that only names the folder.
QString SettingsFolderOf(const QString& programFolder);

// $XDG_CONFIG_HOME/tapdeck, or ~/.config/tapdeck when that variable is unset or not an
// absolute path.
QString UserSettingsFolder();
