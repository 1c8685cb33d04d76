#pragma once

#include <QFileInfo>
#include <QString>

// The file a save really replaces: the target of a symbolic link.
QFileInfo SaveTargetOf(const QString& fileName);

// True when fileName can be written: an existing file is a regular file that can be read
// and written (its folder may be read-only); a missing one can be made in its folder.
// Permission bits are honoured even for a superuser, so a read-only file stays read-only.
bool IsIniPlaceWritable(const QString& fileName);

// True when a file can be made in the folder, by the same permission rule.
bool IsFolderWritable(const QString& folderName);
