#include "Program.h"

#include "CommPortPath.h"
#include "SdlPadInput.h"
#include "SettingsFolder.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// The program started as itself keeps its settings and its ports/ links in one folder.
QString ResolveSettingsFolder(const QString& settingsFolder) {
    if (!settingsFolder.isEmpty())
        return settingsFolder;
    const QString folder = ChooseSettingsFolder(QCoreApplication::applicationDirPath());
    SetCommPortFolder(QFile::encodeName(folder).toStdString());
    return folder;
}

} // namespace

TProgram::TProgram(const QString& settingsFolder)
    : CmdMain(ResolveSettingsFolder(settingsFolder)), BtnPrm(&CmdMain) {
    CmdMain.SetEditor(&BtnPrm);
    CmdMain.SetPadInput(std::make_unique<TSdlPadInput>());
    QObject::connect(&Signals, &TSessionSignals::Received, &CmdMain, [this] { CmdMain.close(); });
}
