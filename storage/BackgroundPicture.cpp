#include "BackgroundPicture.h"

#include "JpegDecoder.h"
#include "PanelLayout.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace {

// A picture file bigger than this is not a background picture.
constexpr qint64 MaxPictureFileSize = 256LL * 1024 * 1024;

quint32 ReadLe(QByteArrayView bytes, qsizetype at, int size) {
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Qt's reader accepts a bitmap whose pixel rows stop early and leaves the missing
// rows undefined; an uncompressed bitmap must hold all its rows.
bool HoldsAllRows(QByteArrayView bytes) {
    if (bytes.size() < 26 || !bytes.startsWith("BM"))
        return false;
    const qint64 dataOffset = ReadLe(bytes, 10, 4);
    const quint32 headerSize = ReadLe(bytes, 14, 4);
    qint64 width = 0;
    qint64 height = 0;
    qint64 bitsPerPixel = 0;
    quint32 compression = 0;
    if (headerSize == 12) {
        width = static_cast<qint16>(ReadLe(bytes, 18, 2));
        height = static_cast<qint16>(ReadLe(bytes, 20, 2));
        bitsPerPixel = ReadLe(bytes, 24, 2);
    } else {
        if (bytes.size() < 34)
            return false;
        width = static_cast<qint32>(ReadLe(bytes, 18, 4));
        height = static_cast<qint32>(ReadLe(bytes, 22, 4));
        bitsPerPixel = ReadLe(bytes, 28, 2);
        compression = ReadLe(bytes, 30, 4);
    }
    constexpr quint32 Uncompressed = 0, BitFields = 3, AlphaBitFields = 6;
    if (compression != Uncompressed && compression != BitFields && compression != AlphaBitFields)
        return true; // run-length data has no fixed size
    if (qAbs(width) * qAbs(height) > MaxPicturePixels || bitsPerPixel > 64)
        return false;
    const qint64 rowBytes = (qAbs(width) * bitsPerPixel + 31) / 32 * 4;
    return dataOffset + rowBytes * qAbs(height) <= bytes.size();
}

std::optional<QByteArray> ReadPictureFile(const QString& fileName) {
    // A pipe or a device has no size to check and may never end.
    if (!QFileInfo(fileName).isFile())
        return std::nullopt;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPictureFileSize)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

std::optional<QImage> ReadBitmap(const QString& fileName) {
    const std::optional<QByteArray> bytes = ReadPictureFile(fileName);
    if (!bytes)
        return std::nullopt;
    return DecodeBitmap(*bytes);
}

std::optional<QImage> ReadJpeg(const QString& fileName) {
    const std::optional<QByteArray> bytes = ReadPictureFile(fileName);
    if (!bytes)
        return std::nullopt;
    return DecodeJpeg(*bytes);
}

} // namespace

std::optional<QImage> DecodeBitmap(QByteArrayView bytes) {
    if (!HoldsAllRows(bytes))
        return std::nullopt;
    QByteArray data = bytes.toByteArray();
    QBuffer buffer(&data);
    QImageReader reader(&buffer, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPicturePixels)
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

QString PictureExtension(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return QString();
    return fileName.sliced(dot).toLower();
}

bool LoadBackground(const QString& fileName, QImage& picture) {
    if (fileName.isEmpty())
        return false;
    const std::optional<QImage> image = PictureExtension(fileName) == QLatin1String(".bmp")
                                            ? ReadBitmap(fileName)
                                            : ReadJpeg(fileName);
    if (!image)
        return false;
    picture = *image;
    return true;
}
