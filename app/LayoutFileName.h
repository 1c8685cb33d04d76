#pragma once

#include <QString>

// The name with its extension (from the last "." of the file-name part on) replaced by
// ".vmd"; a name without an extension gets ".vmd" appended.
QString WithLayoutExtension(const QString& fileName);
