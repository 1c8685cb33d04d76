#include "PanelFolder.h"

#include "SettingsFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace board {

namespace {

const QString PanelName = QStringLiteral("tapdeck");
// Where the panel is built, from the simulator's own folder in the same tree.
const QString BuildTreePanel = QStringLiteral("../../app/tapdeck");

bool IsProgram(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::string Encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString PanelFolderOf(const PanelPlace& panel) {
    return QFileInfo(QFile::decodeName(panel.program.c_str())).absolutePath();
}

} // namespace

PanelPlace FindPanel(const std::string& simulatorFolder) {
    const QDir here(QFile::decodeName(simulatorFolder.c_str()));
    PanelPlace panel;
    QString program = here.filePath(PanelName);
    panel.installed = IsProgram(program);
    if (!panel.installed) {
        program = QDir::cleanPath(here.filePath(BuildTreePanel));
        if (!IsProgram(program))
            return panel;
    }
    panel.program = Encoded(program);
    panel.portFolder = Encoded(SettingsFolderOf(PanelFolderOf(panel)));
    return panel;
}

std::string MakePortFolder(const PanelPlace& panel) {
    return Encoded(ChooseSettingsFolder(PanelFolderOf(panel)));
}

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

} // namespace board
