#include "ParmrkDecoder.h"

#include <QTest>

class TstParmrkDecoder : public QObject {
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void TstParmrkDecoder::decode_data() {
    // input: hex bytes, '|' where one read ends and the next begins
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("breaks");
    QTest::addColumn<int>("errors");
    QTest::newRow("plain") << "41 42 00 43" << QByteArray::fromHex("41420043") << 0 << 0;
    QTest::newRow("data FF") << "41 FF FF 42" << QByteArray::fromHex("41FF42") << 0 << 0;
    QTest::newRow("break") << "41 FF 00 00 42" << QByteArray::fromHex("4142") << 1 << 0;
    QTest::newRow("error on byte") << "FF 00 55" << QByteArray::fromHex("55") << 0 << 1;
    QTest::newRow("error on FF") << "FF 00 FF 41" << QByteArray::fromHex("FF41") << 0 << 1;
    QTest::newRow("split after FF") << "41 FF | FF 42" << QByteArray::fromHex("41FF42") << 0 << 0;
    QTest::newRow("split break 1") << "FF | 00 00" << QByteArray() << 1 << 0;
    QTest::newRow("split break 2") << "FF 00 | 00 | 07" << QByteArray::fromHex("07") << 1 << 0;
    QTest::newRow("split error") << "FF | 00 | 33" << QByteArray::fromHex("33") << 0 << 1;
    QTest::newRow("two breaks") << "FF 00 00 FF 00 00" << QByteArray() << 2 << 0;
    QTest::newRow("FF then other") << "FF 41" << QByteArray::fromHex("FF41") << 0 << 0;
}

void TstParmrkDecoder::decode() {
    QFETCH(QString, input);
    QFETCH(QByteArray, output);
    QFETCH(int, breaks);
    QFETCH(int, errors);

    TParmrkDecoder decoder;
    TParmrkDecoder::Marks marks;
    QByteArray decoded;
    for (const QString& part : input.split('|')) {
        const QByteArray bytes = QByteArray::fromHex(part.toLatin1());
        QByteArray out(bytes.size() + 1, '\0');
        const std::size_t n = decoder.Decode(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()),
            reinterpret_cast<std::uint8_t*>(out.data()), marks);
        QVERIFY(n <= std::size_t(bytes.size()) + 1);
        decoded += out.left(int(n));
    }
    QCOMPARE(decoded.toHex(' '), output.toHex(' '));
    QCOMPARE(marks.breaks, breaks);
    QCOMPARE(marks.errors, errors);
    QVERIFY(!decoder.InsideMark());
}

QTEST_APPLESS_MAIN(TstParmrkDecoder)
#include "tst_parmrkdecoder.moc"
