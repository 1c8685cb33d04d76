#include "IniFile.h"

#include "DiskSync.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

// Qt's file classes keep the system's text but not errno; errno is read right after the
// failed call, and is 0 when Qt failed without a system call.
TFileResult FailedCall(TFileResult::Step step, const QString& path, const QFileDevice& file,
                       int error) {
    return TFileResult::Failed(step, path, error, file.errorString());
}

TFileResult RefusedPlace(const QString& fileName) {
    TFileResult refused;
    refused.step = TFileResult::PlaceRefused;
    refused.path = fileName;
    return refused;
}

// The write test. It changes no byte of an existing file: the file is opened for
// writing without truncating it. A missing file is created empty.
TFileResult PassWriteTest(const QString& fileName) {
    if (!IsIniPlaceWritable(fileName))
        return RefusedPlace(fileName);
    QFile file(SaveTargetOf(fileName).absoluteFilePath());
    const QIODevice::OpenMode mode = file.exists() ? QIODevice::WriteOnly | QIODevice::Append
                                                   : QIODevice::WriteOnly | QIODevice::NewOnly;
    errno = 0;
    if (!file.open(mode))
        return FailedCall(TFileResult::Open, file.fileName(), file, errno);
    return {};
}

// A file the user may write in a folder that takes no new file: written over where it
// is. The old bytes stay until the new ones are written, and the tail is cut only then.
TFileResult WriteInPlace(const QFileInfo& target, const QByteArray& bytes) {
    QFile file(target.absoluteFilePath());
    errno = 0;
    if (!file.open(QIODevice::ReadWrite))
        return FailedCall(TFileResult::Open, file.fileName(), file, errno);
    // Room first: a full disk then fails the save with the old content whole.
    if (const int error = ReserveRoom(file, bytes.size()))
        return TFileResult::Failed(TFileResult::Write, file.fileName(), error);
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.resize(bytes.size()))
        return FailedCall(TFileResult::Write, file.fileName(), file, errno);
    errno = 0;
    if (!SyncToDisk(file))
        return FailedCall(TFileResult::Sync, file.fileName(), file, errno);
    return {};
}

TFileResult ReplaceWhole(const QString& fileName, const QFileInfo& target,
                         const QByteArray& bytes) {
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return FailedCall(TFileResult::CreateTemporary, target.absolutePath(), file, errno);
    errno = 0;
    if (file.write(bytes) != bytes.size() || !SyncToDisk(file)) {
        const TFileResult failed = FailedCall(TFileResult::Write, fileName, file, errno);
        file.cancelWriting();
        return failed;
    }
    errno = 0;
    if (!file.commit())
        return FailedCall(TFileResult::Replace, fileName, file, errno);
    // The new content is in place either way; this only makes the rename itself
    // outlive a power cut, so its failure changes nothing the caller could act on.
    SyncFolderToDisk(target.absolutePath());
    return {};
}

} // namespace

TFileResult WriteIniDocument(const QString& fileName, const IniDocument& document) {
    if (!IsIniPlaceWritable(fileName))
        return RefusedPlace(fileName);
    const QFileInfo target = SaveTargetOf(fileName);
    const QByteArray bytes = document.toBytes();
    // Written over in place only where the folder itself takes no new file; any other
    // failure to make one (a full disk or quota, no free inode, too many open files)
    // fails the save, since writing over the file could then leave half of it.
    const int error = ProbeTemporaryFile(target.absoluteFilePath());
    if (error == 0)
        return ReplaceWhole(fileName, target, bytes);
    if (RefusesNewFiles(error))
        return WriteInPlace(target, bytes);
    return TFileResult::Failed(TFileResult::CreateTemporary, target.absolutePath(), error);
}

std::optional<IniDocument> OpenIniDocument(const QString& fileName, TFileResult* result) {
    std::optional<IniDocument> document;
    // The test comes first: a pipe or a device could keep the read waiting for ever or
    // never end.
    TFileResult outcome = PassWriteTest(fileName);
    if (outcome.ok()) {
        QFile file(fileName);
        errno = 0;
        if (!file.open(QIODevice::ReadOnly)) {
            outcome = FailedCall(TFileResult::Open, fileName, file, errno);
        } else {
            errno = 0;
            document = IniDocument::fromBytes(file.readAll());
            if (file.error() != QFileDevice::NoError) {
                outcome = FailedCall(TFileResult::Read, fileName, file, errno);
                document.reset();
            }
        }
    }
    if (result)
        *result = outcome;
    return document;
}
