#pragma once

#include <QString>

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
};

// kind: 0 warning, 1 information, 2 question, 3 error. buttons: button-set code 0-6.
// messageIndex 0 shows `text`, any other value a canned message. language 0 Japanese, 1 English.
int ShowMessageBox(unsigned char kind, unsigned char buttons, int messageIndex, const QString& text,
                   int language);
