#include "IniFile.h"

#include "DiskSync.h"
#include "MessageBox.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr QFileDevice::Permissions AnyWrite =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

// The file a save really replaces: the target of a symbolic link.
QFileInfo TargetOf(const QString& fileName) {
    QFileInfo info(fileName);
    if (!info.isSymLink())
        return info;
    return QFileInfo(info.exists() ? info.canonicalFilePath() : info.symLinkTarget());
}

} // namespace

QString CannotSaveMessage() {
    return QStringLiteral("指定の場所には保存できません");
}

void ShowCannotSaveMessage() {
    ShowMessageBox(3, 2, 0, CannotSaveMessage(), 0);
}

bool IsIniPlaceWritable(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    const QFileInfo file = TargetOf(fileName);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir() || !folder.isWritable() || !(folder.permissions() & AnyWrite))
        return false;
    if (!file.exists())
        return true;
    return file.isFile() && file.isReadable() && file.isWritable() &&
           (file.permissions() & AnyWrite);
}

bool WriteIniDocument(const QString& fileName, const IniDocument& document) {
    if (!IsIniPlaceWritable(fileName))
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = document.toBytes();
    if (file.write(bytes) != bytes.size() || !SyncToDisk(file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<IniDocument> OpenIniDocument(const QString& fileName) {
    // Checked before reading, too: a pipe or a device could keep the read waiting for
    // ever or never end.
    if (!IsIniPlaceWritable(fileName)) {
        ShowCannotSaveMessage();
        return std::nullopt;
    }
    IniDocument document;
    bool readable = true;
    QFile file(fileName);
    if (file.exists()) {
        readable = file.open(QIODevice::ReadOnly);
        if (readable)
            document = IniDocument::fromBytes(file.readAll());
        readable = readable && file.error() == QFileDevice::NoError;
    }
    if (!readable || !WriteIniDocument(fileName, document)) {
        ShowCannotSaveMessage();
        return std::nullopt;
    }
    return document;
}
