#pragma once

#include "FileResult.h"
#include "SettingsFolder.h"
#include "SystemColors.h"

#include <QSize>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class IniDocument;
class QImage;

// One command button as stored in a layout or settings file.
struct PanelButton {
    QString caption;
    int top = 0;
    int left = 0;
    int width = 80;
    int height = 30;
    int motion = -1;   // play number ("Motion"): -1 OFF, 0-79 motions, 80-84 scenarios
    int shortCut = -1; // virtual-key code ("ShortCut"), -1 for none
    TColor color = clBtnFace;
    // Caption colour. Filled by LoadLayout with ContrastTextColor(color);
    // SaveLayout does not store it.
    TColor fontColor = clBlack;
    // Pad button ("Pad") as written, empty for none. Written only when set; a name this
    // program does not know is kept as it stands, so that a save does not lose it.
    QString pad;
    // Held buttons: "Repeat" the interval in ms while held (0 none), "Release" the number
    // played once when the hold ends (-1 none). Each written only when set.
    int repeat = 0;
    int release = -1;

    bool operator==(const PanelButton&) const = default;
};

// The whole panel as stored: the main window maps its widgets to and from this.
//
// Button order: `buttons` is in component order, first created first.
//
// Saving: pass the command buttons (the main window's components whose name
// begins with "CB_") in component order. Sections are written in the reverse
// order, so section Button1 holds buttons.back(), the most recently created.
//
// Loading: buttons are listed in the order the main window creates them, from
// the highest section number down. buttons[i] comes from section
// Button(n - i) with n = buttons.size(), and the caller names it "CB_" + (n - i):
// buttons.front() is CB_n, buttons.back() is CB_1 and becomes the most recently
// created button. A later SaveLayout then writes the same sections in the same order.
struct PanelLayout {
    int comm = 0; // link choice ("Comm"): 0 motion editor, 1-30 COM1-COM30, -1 none
    QString caption = QStringLiteral("Orvix Tapdeck3");
    int top = 0;
    int left = 0;
    int width = 320;
    int height = 240;
    TColor color = clBtnFace;
    QString backgroundFile; // "BmpFile": full path of the background picture, empty for none
    // Number the main window continues from when it creates a button. Loaded from
    // "Button" (capped at MaxLayoutButtons); SaveLayout writes buttons.size() instead.
    int buttonCounter = 0;
    std::vector<PanelButton> buttons;
    // The stop: "StopKey" a virtual-key code (-1 none), "StopPad" a pad button name (empty
    // none), "StopPlay" the number played after it (-1 none). Each written only when set.
    int stopKey = -1;
    QString stopPad;
    int stopPlay = -1;

    bool operator==(const PanelLayout&) const = default;
};

// A held button's repeat interval in ms; other values but 0 (none) are clamped to these.
inline constexpr int MinRepeatInterval = 50;
inline constexpr int MaxRepeatInterval = 5000;
// The highest play number: 0-79 motions, 80-84 scenarios.
inline constexpr int MaxPlayNumber = 84;

// 0 stays 0 (no repeat); anything else is brought into MinRepeatInterval-MaxRepeatInterval.
int ClampRepeatInterval(int ms);
// A play number 0-MaxPlayNumber as it is; anything else is -1, none.
int PlayNumberOrNone(int number);

// A corrupt button count never creates more buttons than this.
inline constexpr int MaxLayoutButtons = 10000;

// Captions longer than this many UTF-16 units are cut when loaded: a window system
// chokes on a title of megabytes, and no panel shows more.
inline constexpr qsizetype MaxLayoutCaption = 4096;

// Writes the panel to fileName, replacing the whole file (see WriteIniDocument). Returns
// false when the place cannot be written or the write fails, with what failed in
// `result`; the file then still holds its old panel. `comm` is written as given.
// `more` writes sections of the settings file's own after the panel's.
bool SaveLayout(const QString& fileName, const PanelLayout& layout, TFileResult* result = nullptr,
                const std::function<void(IniDocument&)>& more = {});

// Reads the panel from fileName. A missing file is created empty and gives the
// defaults; Top and Left default to the panel centred on `screenSize`. `comm` is not
// read (opening a layout never changes the link) and stays 0. Returns nullopt when
// the place cannot be written, with what failed in `result`: nothing was read, and the
// caller keeps its panel as it is.
std::optional<PanelLayout> LoadLayout(const QString& fileName, QSize screenSize,
                                      TFileResult* result = nullptr);

// Reads a layout the user chose to open, as LoadLayout does; but a file without a
// [Form] section (a picture, a text file) is no layout: nullopt, with the step
// NotALayout in `result`. Only files with that section load, however incomplete.
std::optional<PanelLayout> OpenLayout(const QString& fileName, QSize screenSize,
                                      TFileResult* result = nullptr);

// The same conversions on a document in memory, for callers that hold the bytes.
// WriteLayoutDocument replaces the document's whole content.
PanelLayout LayoutFromDocument(const IniDocument& doc, QSize screenSize);
void WriteLayoutDocument(IniDocument& doc, const PanelLayout& layout);

// Buttons as text in the layout file's own format, "[Button1]" ... sections as a layout
// would hold them (Button1 the last of `buttons`), for the clipboard.
QString ButtonSectionsText(const std::vector<PanelButton>& buttons);
// The buttons such text holds, in the order a load would create them; a [Form] section's
// count is used when there is one, else the sections Button1, Button2, ... up to the first
// missing. Text without button sections gives none.
std::vector<PanelButton> ButtonsFromSectionsText(const QString& text);

// The stored link choice: [Form] "Comm", default 0, returned as read (the caller
// treats values outside 0-30 as no selection). Returns nullopt when the settings file's
// place cannot be written, with what failed in `result`.
std::optional<int> LoadPortChoice(const QString& fileName, TFileResult* result = nullptr);

// Loads a background picture: ".bmp" (any letter case) as a Windows bitmap, anything
// else as a JPEG image. On any failure returns false, shows nothing and leaves
// `picture` untouched.
bool LoadBackground(const QString& fileName, QImage& picture);
