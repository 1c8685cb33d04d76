#pragma once

#include "BtnPrm.h"
#include "CmdMain.h"
#include "SessionSignals.h"

#include <QString>

// The program's windows, created in start-up order: the main window restores the panel,
// then the property editor is created. The session's end-of-program signals close the
// main window as its close box would.
class TProgram {
public:
    // settingsFolder: where the settings file lives; empty for the executable's folder.
    explicit TProgram(const QString& settingsFolder = QString());

    TCmdMain CmdMain;
    TBtnPrm BtnPrm;
    TSessionSignals Signals;
};
