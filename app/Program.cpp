#include "Program.h"

TProgram::TProgram(const QString& settingsFolder) : CmdMain(settingsFolder), BtnPrm(&CmdMain) {
    CmdMain.SetEditor(&BtnPrm);
    QObject::connect(&Signals, &TSessionSignals::Received, &CmdMain, [this] { CmdMain.close(); });
}
