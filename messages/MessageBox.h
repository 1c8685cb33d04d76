#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

// Results, as the identifiers of the button that closed the box.
enum MessageBoxResult : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
    IDHELP = 9,
};

// Icon flags of the four kinds and the flags of the button sets.
enum MessageBoxFlag : unsigned int {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_ABORTRETRYIGNORE = 0x2,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_HELP = 0x4000,
};

// The kind codes of ShowMessageBox: each gives the box its caption and icon.
enum MessageBoxKind : unsigned char {
    MessageKindWarning = 0,
    MessageKindInformation = 1,
    MessageKindQuestion = 2,
    MessageKindError = 3,
};

// The button-set codes of ShowMessageBox; codes above 6 are a single OK.
enum MessageBoxButtons : unsigned char {
    MessageButtonsAbortRetryIgnore = 0,
    MessageButtonsOkHelp = 1,
    MessageButtonsOk = 2,
    MessageButtonsOkCancel = 3,
    MessageButtonsRetryCancel = 4,
    MessageButtonsYesNo = 5,
    MessageButtonsYesNoCancel = 6,
};

// Everything one call decides before the box is shown.
struct MessageBoxRequest {
    unsigned char kind = 0;
    unsigned char buttons = 0;
    int messageIndex = 0;
    int language = 0;
    unsigned int iconFlag = 0;   // MB_ICON..., 0 for no icon
    unsigned int buttonFlag = 0; // MB_OK, MB_YESNO, MB_HELP, ...
    QString caption;
    QString text;
    QList<int> answers; // result of each button shown, first is the default button

    unsigned int flags() const { return iconFlag | buttonFlag; }
};

// kind: 0 warning, 1 information, 2 question, 3 error. buttons: button-set code 0-6.
// messageIndex 0 shows `text`, any other value a canned message. language 0 Japanese, 1 English.
int ShowMessageBox(unsigned char kind, unsigned char buttons, int messageIndex, const QString& text,
                   int language);

// The caption, icon, text and buttons ShowMessageBox would show, without showing anything.
MessageBoxRequest DescribeMessageBox(unsigned char kind, unsigned char buttons, int messageIndex,
                                     const QString& text, int language);

// The main window calls this once it exists; boxes are then modal to it and centred on it.
void SetMessageBoxOwner(QWidget* owner);
QWidget* MessageBoxOwner();

// How a box's caption becomes its title (an empty caption must stay an empty title, which
// takes the window system's help); empty: the widget's own setWindowTitle.
using MessageBoxTitleWriter = std::function<void(QWidget& box, const QString& caption)>;
void SetMessageBoxTitleWriter(MessageBoxTitleWriter writer);

// Seam: while a handler is installed it answers every box instead of the real dialog.
// Returns the previous handler; an empty handler restores the real dialog.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
