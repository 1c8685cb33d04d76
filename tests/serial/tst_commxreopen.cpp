// A port whose device went away and came back: Reopen opens it again with the settings
// the component holds, and leaves a port that another program has taken to it.
#include "Cmd.h"
#include "CommX.h"
#include "FakePort.h"
#include "ReplugCases.h"
#include "SimulatorProcess.h"
#include "TermiosCommDevice.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <termios.h>

namespace {

constexpr int BoardPort = 4;

// The component as the link selection leaves it on COMn.
void SelectPort(TCustomCommX& comm, int portNo) {
    comm.Close();
    comm.SetFlowCtrl(cfcNone);
    comm.SetBitRate(115200);
    comm.SetPortNo(portNo);
    comm.SetTimeOutReceive(Cmd::ReceiveTimeout);
    comm.Open();
}

bool SameState(const DCB& a, const DCB& b) {
    return std::memcmp(&a, &b, sizeof(DCB)) == 0;
}

bool SameTimeouts(const COMMTIMEOUTS& a, const COMMTIMEOUTS& b) {
    return std::memcmp(&a, &b, sizeof(COMMTIMEOUTS)) == 0;
}

} // namespace

class TstCommXReopen : public QObject {
    Q_OBJECT

private slots:
    void reopenOnFakeDevice_data();
    void reopenOnFakeDevice();
    void reopenAfterReplug_data();
    void reopenAfterReplug();
};

void TstCommXReopen::reopenOnFakeDevice_data() {
    QTest::addColumn<int>("refusedOpens"); // opens that fail before the device is back
    QTest::addColumn<bool>("ownerCloses"); // the owner closes the port after a failed try
    QTest::newRow("device back") << 0 << false;
    QTest::newRow("still missing once") << 1 << false;
    QTest::newRow("still missing twice") << 2 << false;
    QTest::newRow("closed by its owner meanwhile") << 1 << true;
}

void TstCommXReopen::reopenOnFakeDevice() {
    QFETCH(int, refusedOpens);
    QFETCH(bool, ownerCloses);
    TFakePort port;
    port.comm->SetBitRate(115200);
    port.comm->SetPortNo(7);
    port.comm->SetTimeOutReceive(300);
    port.comm->SetBufLenReceive(1024);
    port.comm->SetParityBit(cpbEven);
    QVERIFY(RaisedMessage([&] { port.comm->Open(); }).isEmpty());
    const DCB state = port.fake->State();
    const COMMTIMEOUTS timeouts = port.fake->Timeouts();

    port.fake->Vanish();
    QTRY_VERIFY(port.comm->DeviceGone());
    for (int i = 1; i <= refusedOpens; ++i) {
        port.fake->Refuse("Open", 1);
        QVERIFY(!port.comm->Reopen());
        QVERIFY(!port.comm->IsOpen());
        // Still marked, so the next try comes; and the data path fails at once.
        QVERIFY(port.comm->DeviceGone());
        QVERIFY(!port.comm->SendChar(1));
    }
    if (ownerCloses) {
        port.comm->Close();
        QVERIFY(!port.comm->DeviceGone());
        return;
    }
    port.fake->ClearCalls();
    QVERIFY(port.comm->Reopen());
    QVERIFY(port.comm->IsOpen());
    QVERIFY(!port.comm->DeviceGone());
    QVERIFY(Texts(port.fake->Calls()).contains("Open 7"));
    QVERIFY(SameState(port.fake->State(), state));
    QVERIFY(SameTimeouts(port.fake->Timeouts(), timeouts));
    QCOMPARE(port.fake->InQueue(), 1024);
    QCOMPARE(port.fake->Mask(), CommEventMask);
    QVERIFY(port.comm->SendString("back"));
    QTRY_COMPARE(port.fake->Written(), (TFakeCommDevice::Bytes{'b', 'a', 'c', 'k'}));
    QCOMPARE(port.comm->PendingChunks(), 0);
}

void TstCommXReopen::reopenAfterReplug_data() {
    AddReplugRows();
}

// The simulator links ports/COMn to its pseudo-terminal; stopping it removes the link and
// hangs the line up, as an unplugged adapter does, and a new one links a new line there.
void TstCommXReopen::reopenAfterReplug() {
    QFETCH(bool, boardBack);
    QFETCH(bool, takenByOther);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimulatorProcess first;
    QVERIFY2(first.Start(dir.path(), BoardPort), qPrintable(first.ErrorString()));
    TCommX comm(nullptr, std::make_unique<TTermiosCommDevice>(dir.path().toStdString()));
    SelectPort(comm, BoardPort);
    QVERIFY(Cmd::SendPlayCommand(comm, 1, 0, 0));

    QVERIFY(first.Stop());
    QTRY_VERIFY(comm.DeviceGone());
    QVERIFY(!Cmd::SendPlayCommand(comm, 1, 0, 1));

    SimulatorProcess second;
    if (boardBack)
        QVERIFY2(second.Start(dir.path(), BoardPort), qPrintable(second.ErrorString()));
    std::unique_ptr<TOtherOpener> other;
    if (takenByOther) {
        other = std::make_unique<TOtherOpener>(second.LinkPath());
        QVERIFY(other->Holds());
    }
    if (!takenByOther && boardBack) {
        QVERIFY(comm.Reopen());
    } else {
        QVERIFY(!comm.Reopen());
        QVERIFY(!comm.IsOpen());
        QVERIFY(comm.DeviceGone());
        QVERIFY(!Cmd::SendPlayCommand(comm, 1, 0, 2));
        if (takenByOther) {
            // Not forced: the other program keeps the port, and the board heard nothing.
            QVERIFY(other->Holds());
            QCOMPARE(second.Traffic(), QStringList());
            other->Release();
        } else {
            QVERIFY2(second.Start(dir.path(), BoardPort), qPrintable(second.ErrorString()));
        }
        QVERIFY(comm.Reopen());
    }
    QVERIFY(!comm.DeviceGone());
    termios t;
    QCOMPARE(::tcgetattr(int(comm.Handle()), &t), 0);
    QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
    QCOMPARE(comm.TimeOutReceive(), Cmd::ReceiveTimeout);
    QVERIFY(Cmd::SendPlayCommand(comm, 1, 0, 3));
    QVERIFY(second.WaitForTraffic(4, 2000));
    QVERIFY2(second.Traffic().contains("rx F4 01 03 F8"), qPrintable(second.Traffic().join('|')));
    comm.Close();
}

QTEST_GUILESS_MAIN(TstCommXReopen)
#include "tst_commxreopen.moc"
