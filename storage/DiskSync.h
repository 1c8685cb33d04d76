#pragma once

class QFileDevice;

// Pushes the bytes written to an open file down to the disk, so that a rename over
// the old file never exposes a file whose content is not stored yet. One
// implementation per platform, chosen by the build.
bool SyncToDisk(QFileDevice& file);
