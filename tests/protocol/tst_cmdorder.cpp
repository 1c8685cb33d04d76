// The order of the exchange's calls on the serial component, on a scripted fake device.
#include "Cmd.h"
#include "CommX.h"
#include "FakeBytes.h"

#include <QTest>

#include <memory>

class TestCmdOrder : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void failedProbeReadStopsAtOnce();
};

void TestCmdOrder::exchange_data() {
    QTest::addColumn<QByteArray>("probeReply");   // what the board sends after 0D
    QTest::addColumn<QByteArray>("commandReply"); // what it sends after the command
    QTest::addColumn<int>("replyLength");
    // The exchange's own calls, in order; the port takes each write at once, so a write
    // is with the driver before the read for its reply starts.
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("commandAfter");

    const QByteArray command = QByteArray::fromHex("F40100F5");
    const QStringList full{"PurgeComm 10", "WriteNow 1", "StartRead 1",
                           "PurgeComm 10", "WriteNow 4", "StartRead 1"};
    QTest::newRow("acknowledged") << QByteArray("\x0D") << QByteArray("\x06") << 1 << full
                                  << QByteArray("\x0D") + command << true << QByteArray("\x06")
                                  << QByteArray("\x06");
    // The second probe byte is purged before the command, so the reply is the board's own.
    QTest::newRow("probe answered twice")
        << QByteArray("\x0D\x0D") << QByteArray("\x06") << 1 << full << QByteArray("\x0D") + command
        << true << QByteArray("\x06") << QByteArray("\x06");
    QTest::newRow("probe unanswered") << QByteArray() << QByteArray("\x06") << 1
                                      << QStringList{"PurgeComm 10", "WriteNow 1", "StartRead 1"}
                                      << QByteArray("\x0D") << false << QByteArray() << command;
    QTest::newRow("command unanswered")
        << QByteArray("\x0D") << QByteArray() << 1 << full << QByteArray("\x0D") + command << false
        << QByteArray() << QByteArray();
    QTest::newRow("two-byte reply")
        << QByteArray("\x0D") << QByteArray("OK") << 2
        << QStringList{"PurgeComm 10", "WriteNow 1", "StartRead 1",
                       "PurgeComm 10", "WriteNow 4", "StartRead 2"}
        << QByteArray("\x0D") + command << true << QByteArray("OK") << QByteArray("OK");
    QTest::newRow("short reply") << QByteArray("\x0D") << QByteArray("O") << 2
                                 << QStringList{"PurgeComm 10", "WriteNow 1", "StartRead 1",
                                                "PurgeComm 10", "WriteNow 4", "StartRead 2"}
                                 << QByteArray("\x0D") + command << false << QByteArray()
                                 << QByteArray();
    QTest::newRow("no reply wanted")
        << QByteArray("\x0D") << QByteArray("\x06") << 0
        << QStringList{"PurgeComm 10", "WriteNow 1", "StartRead 1", "PurgeComm 10", "WriteNow 4"}
        << QByteArray("\x0D") + command << true << QByteArray() << QByteArray();
    QTest::newRow("reply longer than the buffer")
        << QByteArray("\x0D") << QByteArray("\x06") << Cmd::ReplyBufferSize + 1 << QStringList()
        << QByteArray() << false << QByteArray() << command;
}

void TestCmdOrder::exchange() {
    QFETCH(QByteArray, probeReply);
    QFETCH(QByteArray, commandReply);
    QFETCH(int, replyLength);
    QFETCH(QStringList, calls);
    QFETCH(QByteArray, written);
    QFETCH(bool, complete);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, commandAfter);

    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TCommX comm(nullptr, std::move(device));
    comm.SetTimeOutReceive(100);
    comm.Open();
    fake->SetReply([&](const Bytes& bytes) {
        return ToBytes(bytes == Bytes{Cmd::ProbeByte} ? probeReply : commandReply);
    });
    fake->ClearCalls();

    QByteArray command = QByteArray::fromHex("F40100F5");
    QByteArray received = "stale";
    QCOMPARE(Cmd::ExchangeCommand(comm, command, replyLength, received), complete);
    QCOMPARE(received.toHex(' '), reply.toHex(' '));
    QCOMPARE(command.toHex(' '), commandAfter.toHex(' '));

    // Nothing went through the transmit worker: the probe alone, then the command in
    // one write, each taken at once.
    QCOMPARE(comm.PendingChunks(), 0);
    QStringList own;
    for (const std::string& call : fake->Calls())
        if (call.rfind("PurgeComm", 0) == 0 || call.rfind("StartRead", 0) == 0 ||
            call.rfind("WriteNow", 0) == 0)
            own << QString::fromStdString(call);
    QCOMPARE(own, calls);
    QCOMPARE(FromBytes(fake->Written()).toHex(' '), written.toHex(' '));
    QVERIFY(fake->WriteSizes().empty());
    comm.Close();
}

void TestCmdOrder::failedProbeReadStopsAtOnce() {
    auto device = std::make_unique<TFakeCommDevice>();
    TFakeCommDevice* fake = device.get();
    TCommX comm(nullptr, std::move(device));
    comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
    comm.Open();
    fake->SetReply([](const Bytes&) { return Bytes{0x0D}; });
    fake->Refuse("StartRead", 1);
    QVERIFY(!Cmd::SendPlayCommand(comm, 1, 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(comm.PendingChunks(), 0, 2000);
    QCOMPARE(FromBytes(fake->Written()), QByteArray("\x0D"));
    comm.Close();
}

QTEST_GUILESS_MAIN(TestCmdOrder)
#include "tst_cmdorder.moc"
