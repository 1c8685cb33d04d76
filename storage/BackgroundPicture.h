#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>
#include <optional>

// The extension that decides how a picture is read: from the last "." of the
// file-name part, in lower case; empty when that part has no ".".
QString PictureExtension(const QString& fileName);

// Decodes a Windows bitmap held in memory; nullopt for anything that is not a whole
// bitmap of at most MaxPicturePixels pixels.
std::optional<QImage> DecodeBitmap(QByteArrayView bytes);
