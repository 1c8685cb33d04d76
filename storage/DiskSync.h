#pragma once

class QFileDevice;
class QString;

// The file system calls the file layer makes beyond Qt's. One implementation per
// platform, chosen by the build.

// Pushes the bytes written to an open file down to the disk, so that a rename over
// the old file never exposes a file whose content is not stored yet.
bool SyncToDisk(QFileDevice& file);

// Pushes a folder's entries down to the disk, so that a rename in it outlives a power
// cut. False when the folder cannot be opened or synced.
bool SyncFolderToDisk(const QString& folder);

// Makes a temporary file beside `fileName` and removes it again: 0 when the folder takes
// one, else the errno of the attempt.
int ProbeTemporaryFile(const QString& fileName);

// True for the errors of a folder that itself turns new files away (its permissions, a
// read-only mount), as against a full disk or too many open files.
bool RefusesNewFiles(int error);

// Makes sure the open file has room for `size` bytes without changing its size or
// content: 0 when it has (or the file system cannot tell in advance), else the errno.
int ReserveRoom(QFileDevice& file, long long size);
