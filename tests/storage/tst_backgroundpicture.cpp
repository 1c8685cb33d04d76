#include "BackgroundPicture.h"
#include "JpegDecoder.h"
#include "PanelLayout.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>

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
    void everyBitmapTruncationFails();
    void scanCount_data();
    void scanCount();
    void fileWithoutEndFailsAtOnce_data();
    void fileWithoutEndFailsAtOnce();
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
    QTest::newRow("JPEG with stray bytes before a marker")
        << "extraneous_bytes.jpg" << QSize(16, 8) << QPoint(1, 1) << qRgb(255, 0, 0) << 24;
    QTest::newRow("JPEG with stray bytes, bottom right")
        << "extraneous_bytes.jpg" << QSize(16, 8) << QPoint(14, 6) << qRgb(255, 255, 255) << 24;
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
    QTest::newRow("huge declared bitmap size") << Data("huge_dimensions.bmp");
    QTest::newRow("bitmap cut in the header") << Data("truncated.bmp");
    QTest::newRow("bitmap cut in the pixel rows") << Data("truncated_pixels.bmp");
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

void TestBackgroundPicture::everyBitmapTruncationFails() {
    QTemporaryDir dir;
    QFile file(Data("picture.bmp"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    for (qsizetype length = 0; length < whole.size(); ++length) {
        QFile out(dir.filePath(QStringLiteral("cut.bmp")));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(whole.first(length));
        out.close();
        QImage picture = Marker();
        QVERIFY2(!LoadBackground(out.fileName(), picture), qPrintable(QString::number(length)));
        QCOMPARE(picture, Marker());
    }
}

// A valid progressive JPEG that refines every AC coefficient of every component one
// bit per scan: 1 + components * 63 * 11 scans.
static QByteArray ProgressiveJpeg(int components) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    std::vector<jpeg_scan_info> scans;
    jpeg_scan_info dc{};
    dc.comps_in_scan = components;
    for (int c = 0; c < components; ++c)
        dc.component_index[c] = c;
    scans.push_back(dc);
    for (int c = 0; c < components; ++c)
        for (int k = 1; k < 64; ++k)
            for (int ah = 0; ah <= 10; ++ah) {
                jpeg_scan_info ac{};
                ac.comps_in_scan = 1;
                ac.component_index[0] = c;
                ac.Ss = ac.Se = k;
                ac.Ah = ah == 0 ? 0 : 11 - ah;
                ac.Al = 10 - ah;
                scans.push_back(ac);
            }
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(8 * components), 200);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

void TestBackgroundPicture::scanCount_data() {
    QTest::addColumn<int>("components");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("694 scans are a picture") << 1 << true;
    QTest::newRow("2080 scans are refused") << 3 << false;
}

void TestBackgroundPicture::scanCount() {
    QFETCH(int, components);
    QFETCH(bool, decodes);
    const std::optional<QImage> image = DecodeJpeg(ProgressiveJpeg(components));
    QCOMPARE(image.has_value(), decodes);
    if (decodes)
        QVERIFY(Near(image->pixel(4, 4), qRgb(200, 200, 200), 8));
}

void TestBackgroundPicture::fileWithoutEndFailsAtOnce_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("pipe named .jpg") << "picture.jpg";
    QTest::newRow("pipe named .bmp") << "picture.bmp";
    QTest::newRow("endless device") << "/dev/zero";
}

// A name that is no regular file (a pipe, a device) is no picture: reading it could wait
// for ever or never end.
void TestBackgroundPicture::fileWithoutEndFailsAtOnce() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    QString fileName = name;
    int writer = -1;
    std::atomic<bool> finished{false};
    std::thread closer;
    if (!name.startsWith(QLatin1Char('/'))) {
        fileName = dir.filePath(name);
        QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
        // Held open, so that a reader waits; let go later so that a waiting reader ends.
        writer = ::open(QFile::encodeName(fileName).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0);
        closer = std::thread([writer, &finished] {
            for (int i = 0; i < 100 && !finished; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ::close(writer);
        });
    }
    QImage picture = Marker();
    QElapsedTimer timer;
    timer.start();
    const bool loaded = LoadBackground(fileName, picture);
    const qint64 elapsed = timer.elapsed();
    finished = true;
    if (closer.joinable())
        closer.join();
    QVERIFY(!loaded);
    QCOMPARE(picture, Marker());
    QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(TestBackgroundPicture)
#include "tst_backgroundpicture.moc"
