#include "QrCode.h"

#include <qrencode.h>

#include <memory>

QImage QrCodeImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || scale < 1)
        return {};
    constexpr int Quiet = 4;
    const int modules = code->width;
    const int side = (modules + 2 * Quiet) * scale;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (int y = 0; y < modules; ++y) {
        for (int x = 0; x < modules; ++x) {
            // Bit 0 of each module is dark or light.
            if ((code->data[y * modules + x] & 1) == 0)
                continue;
            for (int dy = 0; dy < scale; ++dy) {
                uchar* line = image.scanLine((y + Quiet) * scale + dy);
                for (int dx = 0; dx < scale; ++dx)
                    line[(x + Quiet) * scale + dx] = 0;
            }
        }
    }
    return image;
}
