#include "SettingsFolder.h"

#include "IniFile.h"
#include "PanelLayout.h"

#include <QDir>

QString UserSettingsFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir(base).filePath(QStringLiteral("tapdeck"));
}

QString ChooseSettingsFolder(const QString& programFolder) {
    // A settings file made read-only beside a copy of the program stays where it is
    // (and is refused as before), rather than being silently replaced by another one.
    if (IsFolderWritable(programFolder) || IsIniPlaceWritable(SettingsFilePath(programFolder)))
        return programFolder;
    const QString folder = UserSettingsFolder();
    QDir().mkpath(folder);
    return folder;
}
