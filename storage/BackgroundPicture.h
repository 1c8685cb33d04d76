#pragma once

#include <QString>

// The extension that decides how a picture is read: from the last "." of the
// file-name part, in lower case; empty when that part has no ".".
QString PictureExtension(const QString& fileName);
