// The serial port component on a real line: a pseudo-terminal linked as ports/COMn.

#include "CommX.h"
#include "PtyPair.h"
#include "TermiosCommDevice.h"

#include <QElapsedTimer>
#include <QTest>

#include <termios.h>
#include <thread>

namespace {
const char* const MsgCannotOpen = "ポートをオープンできませんでした";

std::unique_ptr<TCommX> MakeComm(const TPtyPair& pty, int portNo = 5) {
    auto comm = std::make_unique<TCommX>(
        nullptr, std::make_unique<TTermiosCommDevice>(pty.Folder().toStdString()));
    comm->SetPortNo(portNo);
    return comm;
}

QString OpenMessage(TCommX& comm) {
    try {
        comm.Open();
    } catch (const ECommError& error) {
        return error.Message();
    }
    return {};
}

// The panel's own sequence when the user picks a COM port.
QString SelectPort(TCommX& comm, int portNo) {
    try {
        comm.Close();
        comm.SetBitRate(115200);
        comm.SetPortNo(portNo);
        comm.SetTimeOutReceive(300);
        comm.Open();
        comm.SetDTR(true);
        comm.SetDTR(false);
        comm.PurgeReceive();
        comm.PurgeTrans();
    } catch (const ECommError& error) {
        comm.Close();
        return error.Message();
    }
    return {};
}

} // namespace

class TstCommXPty : public QObject {
    Q_OBJECT

private slots:
    void openAppliesSettings();
    void openMissingPort();
    void dataBothWays();
    void writeAtOnceThenQueued();
    void exchangeLikeAPress();
    void receiveEvent_data();
    void receiveEvent();
    void secondComponentRefused();
    void purgeReceive();
    void hangUpDuringRead();
    void closeWithUnreadOutput();
};

void TstCommXPty::openAppliesSettings() {
    TPtyPair pty(5);
    QVERIFY(pty.IsValid());
    auto comm = MakeComm(pty);
    comm->SetFlowCtrl(cfcNone);
    QCOMPARE(SelectPort(*comm, 5), QString());
    QVERIFY(comm->IsOpen());
    QVERIFY(comm->Handle() != INVALID_HANDLE_VALUE);
    termios t;
    QCOMPARE(::tcgetattr(int(comm->Handle()), &t), 0);
    QCOMPARE(cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(t.c_iflag & (INPCK | PARMRK), tcflag_t(INPCK | PARMRK));
    QCOMPARE(comm->DeviceControl().BaudRate, 115200u);
    QCOMPARE(comm->CharTime(), 1);
    comm->Close();
    QCOMPARE(comm->Handle(), INVALID_HANDLE_VALUE);
}

void TstCommXPty::openMissingPort() {
    TPtyPair pty(5);
    QVERIFY(QFile::link(pty.Folder() + "/unplugged", pty.PortPath(6)));
    auto comm = MakeComm(pty, 6);
    QCOMPARE(OpenMessage(*comm), QString::fromUtf8(MsgCannotOpen));
    QCOMPARE(comm->Handle(), INVALID_HANDLE_VALUE);
    QVERIFY(!comm->IsOpen());
}

void TstCommXPty::dataBothWays() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    QCOMPARE(SelectPort(*comm, 5), QString());
    QVERIFY(comm->SendChar(0x0D));
    QVERIFY(comm->SendString(QByteArray::fromHex("F4010050FF00")));
    QCOMPARE(pty.ReadMaster(7).toHex(' '), QByteArray("0d f4 01 00 50 ff 00"));

    // Every FF arrives doubled in the driver's queue; only data bytes count.
    QVERIFY(pty.WriteMaster(QByteArray::fromHex("06FFFF15")));
    unsigned char buffer[8] = {};
    QTRY_COMPARE(comm->ReceiveCount(), 4);
    QCOMPARE(comm->Read(buffer, 8), 4);
    QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 4).toHex(' '), QByteArray("06 ff ff 15"));
    comm->Close();
}

void TstCommXPty::writeAtOnceThenQueued() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    comm->SetBufLenTrans(16384);
    QCOMPARE(SelectPort(*comm, 5), QString());
    // Idle line: the byte is with the driver when SendChar returns, nothing is queued.
    QVERIFY(comm->SendChar(0x0D));
    QCOMPARE(comm->PendingBytes(), 0);
    QCOMPARE(pty.ReadMaster(1), QByteArray(1, 0x0D));

    // More than the line holds while nobody reads the far end: the driver takes what
    // fits at once, the worker gets the rest, and Write does not wait for the line (it
    // could not return while nobody reads, and the rest would not be queued).
    QByteArray data(256 * 1024, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 253);
    QVERIFY(comm->SendString(data));
    const int queued = comm->PendingBytes();
    QVERIFY2(queued > 0 && queued < data.size(), qPrintable(QString::number(queued)));
    // A later write queues behind it instead of overtaking it.
    QVERIFY(comm->SendString("end"));
    QCOMPARE(comm->PendingBytes(), queued + 3);
    QCOMPARE(pty.ReadMaster(int(data.size()) + 3, 5000), data + "end");
    QTRY_COMPARE(comm->PendingBytes(), 0);
    comm->Close();
}

void TstCommXPty::exchangeLikeAPress() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    QCOMPARE(SelectPort(*comm, 5), QString());
    // A board that answers the probe 20 ms later.
    std::thread board([&] {
        if (pty.ReadMaster(1, 2000) == QByteArray("\x0D")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pty.WriteMaster("\x06");
        }
    });
    comm->PurgeReceive();
    QVERIFY(comm->SendChar(0x0D));
    unsigned char reply = 0;
    QElapsedTimer timer;
    timer.start();
    const int n = comm->Read(&reply, 1);
    const qint64 ms = timer.elapsed();
    board.join();
    QCOMPARE(n, 1);
    QCOMPARE(int(reply), 0x06);
    QVERIFY2(ms < 250, qPrintable(QString::number(ms)));

    // A silent board: 0 after the 300 ms receive time-out.
    timer.restart();
    QCOMPARE(comm->Read(&reply, 1), 0);
    QVERIFY2(timer.elapsed() >= 250 && timer.elapsed() < 1000,
             qPrintable(QString::number(timer.elapsed())));
}

void TstCommXPty::receiveEvent_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("marked"); // false: the marks are sent as they are
    QTest::addColumn<int>("size");    // 0: no receive event
    QTest::addColumn<int>("breaks");
    QTest::newRow("plain bytes") << QByteArray("abc") << true << 3 << 0;
    QTest::newRow("data bytes FF") << QByteArray::fromHex("06FFFF15") << true << 4 << 0;
    QTest::newRow("a break alone") << QByteArray::fromHex("FF0000") << false << 0 << 1;
    QTest::newRow("a break and a byte") << QByteArray::fromHex("FF000041") << false << 1 << 1;
}

// The receive event counts data bytes only, never the driver's line marks.
void TstCommXPty::receiveEvent() {
    QFETCH(QByteArray, sent);
    QFETCH(bool, marked);
    QFETCH(int, size);
    QFETCH(int, breaks);
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    QList<int> sizes;
    int breaksSeen = 0;
    comm->SetOnReceive([&](QObject*, int n) { sizes << n; });
    comm->SetOnBreak([&](QObject*) { ++breaksSeen; });
    QCOMPARE(SelectPort(*comm, 5), QString());
    if (!marked) {
        // The line discipline passes the bytes on unchanged: a break as the device sees it.
        termios t;
        QCOMPARE(::tcgetattr(int(comm->Handle()), &t), 0);
        t.c_iflag &= ~tcflag_t(PARMRK);
        QCOMPARE(::tcsetattr(int(comm->Handle()), TCSANOW, &t), 0);
    }
    QVERIFY(pty.WriteMaster(sent));
    if (size > 0) {
        QTRY_VERIFY(!sizes.isEmpty());
        QTRY_COMPARE(sizes.last(), size);
    }
    QTRY_COMPARE(breaksSeen, breaks);
    QCOMPARE(comm->ReceiveCount(), size);
    if (size == 0)
        QCOMPARE(sizes, QList<int>());
}

void TstCommXPty::secondComponentRefused() {
    TPtyPair pty(5);
    auto first = MakeComm(pty);
    auto second = MakeComm(pty);
    QCOMPARE(OpenMessage(*first), QString());
    QCOMPARE(OpenMessage(*second), QString::fromUtf8(MsgCannotOpen));
    QVERIFY(first->IsOpen());
    first->Close();
    QCOMPARE(OpenMessage(*second), QString());
}

void TstCommXPty::purgeReceive() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    QCOMPARE(SelectPort(*comm, 5), QString());
    comm->SetTimeOutReceive(100);
    QVERIFY(pty.WriteMaster("stale"));
    QTRY_COMPARE(comm->ReceiveCount(), 5);
    comm->PurgeReceive();
    QCOMPARE(comm->ReceiveCount(), 0);
    unsigned char buffer[4];
    QCOMPARE(comm->Read(buffer, 4), 0);
}

void TstCommXPty::hangUpDuringRead() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    int gone = 0;
    comm->SetOnDeviceGone([&](QObject*) { ++gone; });
    QCOMPARE(SelectPort(*comm, 5), QString());
    comm->SetTimeOutReceive(3000);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pty.CloseMaster();
    });
    unsigned char buffer[1];
    QElapsedTimer timer;
    timer.start();
    const int n = comm->Read(buffer, 1);
    const qint64 ms = timer.elapsed();
    unplug.join();
    QCOMPARE(n, -1);
    QVERIFY2(ms < 1000, qPrintable(QString::number(ms)));

    // Nobody spins on the dead line: the workers sleep, reads fail at once. A spinning
    // worker would take a whole core for the second; the margin covers the sanitizers.
    const double cpuBefore = CpuMs();
    QTest::qWait(1000);
    QVERIFY2(CpuMs() - cpuBefore < 500, qPrintable(QString::number(CpuMs() - cpuBefore)));
    timer.restart();
    QCOMPARE(comm->Read(buffer, 1), -1);
    QVERIFY(timer.elapsed() < 150);
    // Reported once; the write fails at once and nothing stays counted.
    QTRY_COMPARE(gone, 1);
    QVERIFY(comm->DeviceGone());
    QVERIFY(!comm->SendChar(1));
    QCOMPARE(comm->PendingChunks(), 0);
    QCOMPARE(comm->PendingBytes(), 0);
    timer.restart();
    comm->Close();
    QVERIFY(timer.elapsed() < 2000);
}

void TstCommXPty::closeWithUnreadOutput() {
    TPtyPair pty(5);
    auto comm = MakeComm(pty);
    QCOMPARE(SelectPort(*comm, 5), QString());
    comm->SetTimeOutTrans(10000);
    // More than the line takes while nobody reads the other end.
    const QByteArray data(60 * 1024, 'q');
    QVERIFY(comm->SendString(data));
    QElapsedTimer timer;
    timer.start();
    comm->Close();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(comm->PendingBytes(), 0);
}

QTEST_GUILESS_MAIN(TstCommXPty)
#include "tst_commxpty.moc"
