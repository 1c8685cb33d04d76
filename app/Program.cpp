#include "Program.h"

TProgram::TProgram(const QString& settingsFolder)
    : CmdMain(settingsFolder), BtnPrm(&CmdMain, settingsFolder) {
    CmdMain.SetEditor(&BtnPrm);
    // The first link selection follows here once the link can be chosen.
    QObject::connect(&Signals, &TSessionSignals::Received, &CmdMain, [this] { CmdMain.close(); });
}
