#include "DiskSync.h"

#include <QFile>
#include <QFileDevice>
#include <QString>

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
