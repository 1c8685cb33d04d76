#include "DiskSync.h"

#include <QFileDevice>

#include <unistd.h>

bool SyncToDisk(QFileDevice& file) {
    if (!file.flush())
        return false;
    const int fd = file.handle();
    return fd >= 0 && ::fsync(fd) == 0;
}
