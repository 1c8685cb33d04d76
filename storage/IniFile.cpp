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
// writing without truncating it. A missing file is created empty.
bool PassesWriteTest(const QString& fileName) {
    if (!IsIniPlaceWritable(fileName))
        return false;
    QFile file(TargetOf(fileName).absoluteFilePath());
    const QIODevice::OpenMode mode = file.exists() ? QIODevice::WriteOnly | QIODevice::Append
                                                   : QIODevice::WriteOnly | QIODevice::NewOnly;
    return file.open(mode);
}

// A file the user may write in a folder they may not: written over where it is. The old
// bytes stay until the new ones are written, and the tail is cut only then.
bool WriteInPlace(const QFileInfo& target, const QByteArray& bytes) {
    QFile file(target.absoluteFilePath());
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return file.write(bytes) == bytes.size() && file.resize(bytes.size()) && SyncToDisk(file);
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
    if (file.exists())
        return file.isFile() && file.isReadable() && file.isWritable() &&
               (file.permissions() & AnyWrite);
    return IsFolderWritable(file.absolutePath());
}

bool IsFolderWritable(const QString& folderName) {
    const QFileInfo folder(folderName);
    return folder.isDir() && folder.isWritable() && (folder.permissions() & AnyWrite);
}

bool WriteIniDocument(const QString& fileName, const IniDocument& document) {
    if (!IsIniPlaceWritable(fileName))
        return false;
    const QFileInfo target = TargetOf(fileName);
    const QByteArray bytes = document.toBytes();
    if (!FolderTakesTemporaryFile(target))
        return WriteInPlace(target, bytes);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size() || !SyncToDisk(file)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    // The new content is in place either way; this only makes the rename itself
    // outlive a power cut, so its failure changes nothing the caller could act on.
    SyncFolderToDisk(target.absolutePath());
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
