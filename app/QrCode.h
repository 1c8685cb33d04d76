#pragma once

#include <QImage>
#include <QString>

// The QR code of a text, black on white with a quiet zone of four modules, each module
// `scale` pixels wide; a null image when the text does not fit.
QImage QrCodeImage(const QString& text, int scale);
