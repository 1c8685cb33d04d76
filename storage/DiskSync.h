#pragma once

class QFileDevice;
class QString;

// Pushes the bytes written to an open file down to the disk, so that a rename over
// the old file never exposes a file whose content is not stored yet. One
// implementation per platform, chosen by the build.
bool SyncToDisk(QFileDevice& file);

// Pushes a folder's entries down to the disk, so that a rename in it outlives a power
// cut. False when the folder cannot be opened or synced.
bool SyncFolderToDisk(const QString& folder);
