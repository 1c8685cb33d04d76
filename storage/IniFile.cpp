#include "IniFile.h"

#include "DiskSync.h"
#include "MessageBox.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

// Whether the folder takes a temporary file. An unnamed one where the file system has
// them, so that a process killed meanwhile leaves nothing behind.
bool FolderTakesTemporaryFile(const QFileInfo& target) {
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR)
        return false;
    QTemporaryFile probe(target.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    return probe.open();
}

// The write test. It changes no byte of an existing file: the file is opened for
// writing without truncating it, and the folder must take (and give back) the
// temporary file that a save renames over it. A missing file is created empty.
bool PassesWriteTest(const QString& fileName) {
    if (!IsIniPlaceWritable(fileName))
        return false;
    const QFileInfo target = TargetOf(fileName);
    if (!FolderTakesTemporaryFile(target))
        return false;
    QFile file(target.absoluteFilePath());
    const QIODevice::OpenMode mode = file.exists() ? QIODevice::WriteOnly | QIODevice::Append
                                                   : QIODevice::WriteOnly | QIODevice::NewOnly;
    return file.open(mode);
}

} // namespace

QString CannotSaveMessage() {
    return QStringLiteral("指定の場所には保存できません");
}

void ShowCannotSaveMessage() {
    ShowMessageBox(MessageKindError, MessageButtonsOk, 0, CannotSaveMessage(), 0);
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
    if (!file.commit())
        return false;
    // The new content is in place either way; this only makes the rename itself
    // outlive a power cut, so its failure changes nothing the caller could act on.
    SyncFolderToDisk(TargetOf(fileName).absolutePath());
    return true;
}

std::optional<IniDocument> OpenIniDocument(const QString& fileName) {
    std::optional<IniDocument> document;
    QFile file(fileName);
    // The test comes first: a pipe or a device could keep the read waiting for ever or
    // never end.
    if (PassesWriteTest(fileName) && file.open(QIODevice::ReadOnly)) {
        document = IniDocument::fromBytes(file.readAll());
        if (file.error() != QFileDevice::NoError)
            document.reset();
    }
    if (!document)
        ShowCannotSaveMessage();
    return document;
}
