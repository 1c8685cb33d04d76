#pragma once

#include <QString>

class TColorBtn;

// What the panel keeps in a command button: its play number in Tag, its shortcut in
// Param1, its pad button in Param2, and what it does while held. Everyone reads and
// writes them through these, never through the free values themselves.
inline constexpr int NoPlayNumber = -1;
inline constexpr int NoShortcut = -1;
inline constexpr int NoRepeat = 0;
inline constexpr int NoReleasePlay = -1;

int PlayNumber(const TColorBtn& button);
void SetPlayNumber(TColorBtn& button, int number);
int ShortcutKey(const TColorBtn& button);
void SetShortcutKey(TColorBtn& button, int keyCode);
QString PadButton(const TColorBtn& button);
void SetPadButton(TColorBtn& button, const QString& name);
// Milliseconds between plays while held; NoRepeat for none.
int RepeatInterval(const TColorBtn& button);
void SetRepeatInterval(TColorBtn& button, int ms);
// The number played once when a hold ends; NoReleasePlay for none.
int ReleasePlay(const TColorBtn& button);
void SetReleasePlay(TColorBtn& button, int number);
// A button with a repeat or a release play is held while its input is down; any other
// button is pressed once per click, key-down or pad press.
bool IsHeldButton(const TColorBtn& button);
