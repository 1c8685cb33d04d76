#include "BackgroundPicture.h"

#include "JpegDecoder.h"
#include "PanelLayout.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

namespace {

// A picture file bigger than this is not a background picture.
constexpr qint64 MaxPictureFileSize = 256LL * 1024 * 1024;

std::optional<QImage> ReadBitmap(const QString& fileName) {
    QImageReader reader(fileName, "bmp");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPicturePixels)
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

std::optional<QImage> ReadJpeg(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPictureFileSize)
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return DecodeJpeg(bytes);
}

} // namespace

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
