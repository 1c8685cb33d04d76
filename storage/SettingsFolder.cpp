#include "SettingsFolder.h"

#include "WritablePlace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString SettingsFilePath(const QString& folder) {
    const QString place = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    return QDir(place).filePath(QLatin1String(SettingsFileName));
}

QString UserSettingsFolder() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return QDir(base).filePath(QStringLiteral("tapdeck"));
}

bool IsInstalledProgramFolder(const QString& programFolder) {
    return QFileInfo(QDir(programFolder).filePath(QStringLiteral(TAPDECK_INSTALLED_MARK))).isFile();
}

QString SettingsFolderOf(const QString& programFolder) {
    if (IsInstalledProgramFolder(programFolder))
        return UserSettingsFolder();
    // A settings file made read-only beside a copy of the program stays where it is
    // (and is refused as before), rather than being silently replaced by another one.
    if (IsFolderWritable(programFolder) || IsIniPlaceWritable(SettingsFilePath(programFolder)))
        return programFolder;
    return UserSettingsFolder();
}

QString ChooseSettingsFolder(const QString& programFolder) {
    const QString folder = SettingsFolderOf(programFolder);
    if (folder != programFolder)
        QDir().mkpath(folder);
    return folder;
}
