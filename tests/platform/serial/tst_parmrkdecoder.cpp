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
    QTest::addColumn<int>("room"); // output room of each call; 0: one more than the input
    QTest::newRow("plain") << "41 42 00 43" << QByteArray::fromHex("41420043") << 0 << 0 << 0;
    QTest::newRow("data FF") << "41 FF FF 42" << QByteArray::fromHex("41FF42") << 0 << 0 << 0;
    QTest::newRow("break") << "41 FF 00 00 42" << QByteArray::fromHex("4142") << 1 << 0 << 0;
    QTest::newRow("error on byte") << "FF 00 55" << QByteArray::fromHex("55") << 0 << 1 << 0;
    QTest::newRow("error on FF") << "FF 00 FF 41" << QByteArray::fromHex("FF41") << 0 << 1 << 0;
    QTest::newRow("split after FF")
        << "41 FF | FF 42" << QByteArray::fromHex("41FF42") << 0 << 0 << 0;
    QTest::newRow("split break 1") << "FF | 00 00" << QByteArray() << 1 << 0 << 0;
    QTest::newRow("split break 2") << "FF 00 | 00 | 07" << QByteArray::fromHex("07") << 1 << 0 << 0;
    QTest::newRow("split error") << "FF | 00 | 33" << QByteArray::fromHex("33") << 0 << 1 << 0;
    QTest::newRow("two breaks") << "FF 00 00 FF 00 00" << QByteArray() << 2 << 0 << 0;
    QTest::newRow("FF then other") << "FF 41" << QByteArray::fromHex("FF41") << 0 << 0 << 0;
    // Never more out than the room, whatever comes in; the rest comes with later calls.
    QTest::newRow("FF then other, room 1")
        << "FF 41 42" << QByteArray::fromHex("FF4142") << 0 << 0 << 1;
    QTest::newRow("split FF then other, room 1")
        << "FF | 41" << QByteArray::fromHex("FF41") << 0 << 0 << 1;
    QTest::newRow("data FF, room 1")
        << "41 FF FF 42" << QByteArray::fromHex("41FF42") << 0 << 0 << 1;
    QTest::newRow("error, room 1") << "41 FF 00 55" << QByteArray::fromHex("4155") << 0 << 1 << 1;
    QTest::newRow("break after a full room")
        << "41 FF 00 00" << QByteArray::fromHex("41") << 1 << 0 << 1;
}

void TstParmrkDecoder::decode() {
    QFETCH(QString, input);
    QFETCH(QByteArray, output);
    QFETCH(int, breaks);
    QFETCH(int, errors);
    QFETCH(int, room);

    TParmrkDecoder decoder;
    TParmrkDecoder::Marks marks;
    QByteArray decoded;
    // Each part is one read; the last, empty one takes what the decoder still holds.
    const QStringList parts = (input + " |").split('|');
    for (const QString& part : parts) {
        const QByteArray bytes = QByteArray::fromHex(part.toLatin1());
        const std::size_t space = room > 0 ? std::size_t(room) : std::size_t(bytes.size()) + 1;
        qsizetype at = 0;
        TParmrkDecoder::Progress p;
        do {
            QByteArray out(qsizetype(space) + 1, '\x5A'); // one guard byte past the room
            p = decoder.Decode(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + at,
                               std::size_t(bytes.size() - at),
                               reinterpret_cast<std::uint8_t*>(out.data()), space, marks);
            QVERIFY(p.produced <= space);
            QCOMPARE(out.back(), '\x5A');
            decoded += out.left(qsizetype(p.produced));
            at += qsizetype(p.taken);
        } while (p.taken > 0 || p.produced > 0);
        QCOMPARE(at, bytes.size());
    }
    QCOMPARE(decoded.toHex(' '), output.toHex(' '));
    QCOMPARE(marks.breaks, breaks);
    QCOMPARE(marks.errors, errors);
    QVERIFY(!decoder.InsideMark());
}

QTEST_APPLESS_MAIN(TstParmrkDecoder)
#include "tst_parmrkdecoder.moc"
