#include "DiskSync.h"

#include <QFile>
#include <QFileDevice>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>

#include <unistd.h>

bool SyncToDisk(QFileDevice& file) {
    if (!file.flush())
        return false;
    const int fd = file.handle();
    return fd >= 0 && ::fsync(fd) == 0;
}

bool SyncFolderToDisk(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

int ProbeTemporaryFile(const QString& fileName) {
    // An unnamed file where the file system has them, so that a process killed meanwhile
    // leaves nothing behind.
    const QString folder = fileName.left(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    int error = errno;
    if (fd < 0 && (error == EOPNOTSUPP || error == EISDIR)) {
        QByteArray name = QFile::encodeName(fileName + QStringLiteral(".XXXXXX"));
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        error = errno;
        if (fd >= 0)
            ::unlink(name.constData());
    }
    if (fd < 0)
        return error;
    ::close(fd);
    return 0;
}

bool RefusesNewFiles(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

int ReserveRoom(QFileDevice& file, long long size) {
    if (size <= file.size())
        return 0;
    // Blocks only: the size, and so what a reader sees, changes with the write.
    if (::fallocate(file.handle(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) == 0)
        return 0;
    return errno == EOPNOTSUPP ? 0 : errno;
}
