#pragma once

#include <QByteArrayView>
#include <QImage>
#include <optional>

// Pictures above this many pixels are refused before any pixel memory is taken.
inline constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;

// Decodes a JPEG image held in memory with libjpeg into an RGB32 image. An error of the
// decoder, or data that ends before the picture does, gives nullopt; other warnings do
// not. The decoder never prints and never ends the program.
std::optional<QImage> DecodeJpeg(QByteArrayView bytes);
