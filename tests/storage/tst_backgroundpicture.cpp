#include "BackgroundPicture.h"
#include "JpegDecoder.h"
#include "PanelLayout.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

// Background pictures: the extension rule, the bitmap reader, the JPEG decoder and
// every way a picture file can be broken.
class TestBackgroundPicture : public QObject {
    Q_OBJECT
private slots:
    void extension_data();
    void extension();
    void load_data();
    void load();
    void failureLeavesThePicture_data();
    void failureLeavesThePicture();
    void everyTruncationFailsCleanly();
    void corruptedBytesNeverCrash();
};

static QString Data(const QString& name) {
    return QStringLiteral(TAPDECK_TEST_DATA "/storage/") + name;
}

static QImage Marker() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    return image;
}

// Per channel within tolerance: JPEG is lossy.
static bool Near(QRgb a, QRgb b, int tolerance) {
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

void TestBackgroundPicture::extension_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lower case") << "/a/b/picture.bmp"
                                << ".bmp";
    QTest::newRow("capitals") << "/a/PICTURE.BMP"
                              << ".bmp";
    QTest::newRow("last dot counts") << "/a/archive.bmp.jpg"
                                     << ".jpg";
    QTest::newRow("dot in the folder only") << "/a.bmp/picture"
                                            << "";
    QTest::newRow("no dot") << "picture"
                            << "";
    QTest::newRow("trailing dot") << "/a/picture."
                                  << ".";
    QTest::newRow("name is the extension") << "/a/.bmp"
                                           << ".bmp";
}

void TestBackgroundPicture::extension() {
    QFETCH(QString, fileName);
    QFETCH(QString, expected);
    QCOMPARE(PictureExtension(fileName), expected);
}

void TestBackgroundPicture::load_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("bitmap") << "picture.bmp" << QSize(4, 3) << QPoint(1, 1) << qRgb(0, 255, 0) << 0;
    QTest::newRow("bitmap corner")
        << "picture.bmp" << QSize(4, 3) << QPoint(3, 2) << qRgb(0, 0, 255) << 0;
    QTest::newRow(".BMP in capitals")
        << "picture_caps.BMP" << QSize(4, 3) << QPoint(0, 0) << qRgb(255, 0, 0) << 0;
    QTest::newRow("JPEG") << "picture.jpg" << QSize(16, 8) << QPoint(1, 1) << qRgb(255, 0, 0) << 24;
    QTest::newRow("JPEG bottom right")
        << "picture.jpg" << QSize(16, 8) << QPoint(14, 6) << qRgb(255, 255, 255) << 24;
    QTest::newRow("grayscale JPEG")
        << "grayscale.jpg" << QSize(16, 8) << QPoint(14, 6) << qRgb(255, 255, 255) << 24;
    QTest::newRow("CMYK JPEG, paper")
        << "cmyk.jpg" << QSize(8, 8) << QPoint(1, 1) << qRgb(255, 255, 255) << 24;
    QTest::newRow("CMYK JPEG, red ink")
        << "cmyk.jpg" << QSize(8, 8) << QPoint(6, 6) << qRgb(255, 0, 0) << 48;
    QTest::newRow("no extension goes to JPEG")
        << "jpeg_without_extension" << QSize(16, 8) << QPoint(1, 1) << qRgb(255, 0, 0) << 24;
}

void TestBackgroundPicture::load() {
    QFETCH(QString, fileName);
    QFETCH(QSize, size);
    QFETCH(QPoint, at);
    QFETCH(QRgb, colour);
    QFETCH(int, tolerance);
    QImage picture = Marker();
    QVERIFY(LoadBackground(Data(fileName), picture));
    QCOMPARE(picture.size(), size);
    QVERIFY2(Near(picture.pixel(at), colour, tolerance),
             qPrintable(QString::number(picture.pixel(at), 16)));
}

void TestBackgroundPicture::failureLeavesThePicture_data() {
    QTest::addColumn<QString>("fileName");
    QTest::newRow("PNG named .png goes to JPEG and fails") << Data("picture.png");
    QTest::newRow("truncated JPEG") << Data("truncated.jpg");
    QTest::newRow("huge declared JPEG size") << Data("huge_dimensions.jpg");
    QTest::newRow("text named .jpg") << Data("not_a_picture.jpg");
    QTest::newRow("bitmap named .jpg") << Data("bitmap_named.jpg");
    QTest::newRow("JPEG named .bmp") << Data("jpeg_named.bmp");
    QTest::newRow("missing file") << Data("no_such_picture.jpg");
    QTest::newRow("missing bitmap") << Data("no_such_picture.bmp");
    QTest::newRow("empty name") << QString();
    QTest::newRow("a folder") << QStringLiteral(TAPDECK_TEST_DATA);
}

void TestBackgroundPicture::failureLeavesThePicture() {
    QFETCH(QString, fileName);
    QImage picture = Marker();
    QVERIFY(!LoadBackground(fileName, picture));
    QCOMPARE(picture, Marker());
}

// A file cut at any byte either decodes (never, short of the end marker) or fails.
void TestBackgroundPicture::everyTruncationFailsCleanly() {
    QFile file(Data("picture.jpg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    QVERIFY(DecodeJpeg(whole).has_value());
    for (qsizetype length = 0; length < whole.size() - 2; ++length)
        QVERIFY2(!DecodeJpeg(QByteArrayView(whole).first(length)).has_value(),
                 qPrintable(QString::number(length)));
}

// Flipped bytes all through the file: the decoder may succeed or fail but must return.
void TestBackgroundPicture::corruptedBytesNeverCrash() {
    QTemporaryDir dir;
    QFile file(Data("picture.jpg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    int failures = 0;
    for (qsizetype i = 2; i < whole.size(); ++i) {
        QByteArray broken = whole;
        broken[i] = static_cast<char>(broken[i] ^ 0xA5);
        const std::optional<QImage> image = DecodeJpeg(broken);
        if (!image)
            ++failures;
        else
            QCOMPARE(image->format(), QImage::Format_RGB32);
    }
    QVERIFY(failures > 0);
    // The same through the file path, for a header and a data byte.
    for (qsizetype i : {qsizetype(20), whole.size() / 2}) {
        QByteArray broken = whole;
        broken[i] = static_cast<char>(broken[i] ^ 0xFF);
        QFile out(dir.filePath(QStringLiteral("broken.jpg")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(broken);
        out.close();
        QImage picture = Marker();
        if (!LoadBackground(out.fileName(), picture))
            QCOMPARE(picture, Marker());
    }
}

QTEST_GUILESS_MAIN(TestBackgroundPicture)
#include "tst_backgroundpicture.moc"
