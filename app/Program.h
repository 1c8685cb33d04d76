#pragma once

#include "BtnPrm.h"
#include "CmdMain.h"
#include "SessionSignals.h"

#include <QString>

// The program's windows, created in start-up order: the main window restores the panel,
// then the property editor is created. The session's end-of-program signals close the
// main window as its close box would; they are caught from the start, so one that arrives
// while a start-up message box is open is acted on once the event loop runs.
class TProgram {
public:
    // settingsFolder: where the settings file lives; empty for the executable's folder,
    // or the user's configuration folder where that one cannot be written.
    explicit TProgram(const QString& settingsFolder = QString());

    TSessionSignals Signals;
    TCmdMain CmdMain;
    TBtnPrm BtnPrm;
};
