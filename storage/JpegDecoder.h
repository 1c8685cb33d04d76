#pragma once

#include <QByteArrayView>
#include <QImage>
#include <optional>

// Pictures above this many pixels are refused before any pixel memory is taken.
inline constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;

// Decodes a JPEG image held in memory with libjpeg into an RGB32 image. Any error or
// warning of the decoder (corrupt or truncated data included) gives nullopt; the
// decoder never prints and never ends the program.
std::optional<QImage> DecodeJpeg(QByteArrayView bytes);
