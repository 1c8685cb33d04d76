#include "WritablePlace.h"

namespace {

constexpr QFileDevice::Permissions AnyWrite =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;

} // namespace

QFileInfo SaveTargetOf(const QString& fileName) {
    QFileInfo info(fileName);
    if (!info.isSymLink())
        return info;
    return QFileInfo(info.exists() ? info.canonicalFilePath() : info.symLinkTarget());
}

bool IsIniPlaceWritable(const QString& fileName) {
    if (fileName.isEmpty())
        return false;
    const QFileInfo file = SaveTargetOf(fileName);
    if (file.exists())
        return file.isFile() && file.isReadable() && file.isWritable() &&
               (file.permissions() & AnyWrite);
    return IsFolderWritable(file.absolutePath());
}

bool IsFolderWritable(const QString& folderName) {
    const QFileInfo folder(folderName);
    return folder.isDir() && folder.isWritable() && (folder.permissions() & AnyWrite);
}
