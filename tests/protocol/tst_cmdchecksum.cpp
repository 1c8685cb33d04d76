// The checksum byte of commands.
#include "Cmd.h"

#include <QTest>

class TestCmdChecksum : public QObject {
    Q_OBJECT
private slots:
    void appendChecksum_data();
    void appendChecksum();
    void constants();
};

void TestCmdChecksum::appendChecksum_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty stays empty") << QByteArray() << QByteArray();
    QTest::newRow("abc") << QByteArray("abc") << QByteArray::fromHex("61626326");
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << QByteArray(2, '\0');
    QTest::newRow("bytes above 127 count unsigned")
        << QByteArray::fromHex("F401FF") << QByteArray::fromHex("F401FFF4");
    QTest::newRow("play 0") << QByteArray::fromHex("F40100") << QByteArray::fromHex("F40100F5");
    QTest::newRow("play 84") << QByteArray::fromHex("F40154") << QByteArray::fromHex("F4015449");
    QTest::newRow("flags 05") << QByteArray::fromHex("F40500") << QByteArray::fromHex("F40500F9");
    QTest::newRow("300 bytes FF") << QByteArray(300, '\xFF')
                                  << QByteArray(300, '\xFF') + QByteArray(1, '\xD4');
}

void TestCmdChecksum::appendChecksum() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, expected);
    Cmd::AppendChecksum(command);
    QCOMPARE(command.toHex(' '), expected.toHex(' '));
}

void TestCmdChecksum::constants() {
    QCOMPARE(Cmd::AckReply, QByteArray(1, '\x06'));
    QCOMPARE(int(Cmd::PlayCommandCode), 0xF4);
    QCOMPARE(int(Cmd::ProbeByte), 0x0D);
    QCOMPARE(Cmd::ReceiveTimeout, 300);
    QCOMPARE(Cmd::RetryCount, 0);
    QCOMPARE(Cmd::ReplyBufferSize, 256);
}

QTEST_APPLESS_MAIN(TestCmdChecksum)
#include "tst_cmdchecksum.moc"
